#include "engine/video/tone_map.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <vector>

#include "engine/media/av_types.h"
#include "engine/media/media_lib.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace vexo {

namespace {

// Linear light is counted in units of 100 cd/m2, the nominal white of SDR.
constexpr double kNominalWhite = 100;
// The peak the tone curve maps to white: 1000 cd/m2, the reference display
// of HLG and the usual mastering peak of PQ consumer video.
constexpr double kPeak = 10;

double PqToLinear(double e) {
  const double m1 = 2610.0 / 16384, m2 = 2523.0 / 4096 * 128, c1 = 3424.0 / 4096,
               c2 = 2413.0 / 4096 * 32, c3 = 2392.0 / 4096 * 32;
  const double p = std::pow(std::max(e, 0.0), 1 / m2);
  return std::pow(std::max(p - c1, 0.0) / (c2 - c3 * p), 1 / m1) * 10000 / kNominalWhite;
}

double HlgToScene(double e) {
  const double a = 0.17883277, b = 1 - 4 * a, c = 0.5 - a * std::log(4 * a);
  e = std::max(e, 0.0);
  return e <= 0.5 ? e * e / 3 : (std::exp((e - c) / a) + b) / 12;
}

// The filmic curve of John Hable (Uncharted 2).
double Hable(double x) {
  const double a = 0.15, b = 0.50, c = 0.10, d = 0.20, e = 0.02, f = 0.30;
  return (x * (x * a + c * b) + d * e) / (x * (x * a + b) + d * f) - e / f;
}

// Display light to a BT.709 signal as a BT.1886 screen shows it back (pure
// gamma 2.4), which is what ordinary screens do and what the reference
// tools write for display-referred light. Light above white, and the
// negative light of BT.2020 colours outside BT.709, are kept (mirrored) so
// that the luma stays right: the conversion to the screen clips them.
double Bt709Signal(double l) {
  return std::copysign(std::pow(std::fabs(l), 1 / 2.4), l);
}

uint8_t Byte(double v) {
  return uint8_t(std::clamp(std::lround(v), 0L, 255L));
}

// Y, Cb, Cr normalised (Y in [0, 1], chroma in [-0.5, 0.5]) to the 8-bit
// BT.709 samples of the tone-mapped colour, unrounded: Y, Cb, Cr in limited
// range, or B, G, R in full range.
void MapNormalised(TColourTransfer transfer, TToneOutput output, double y, double cb, double cr,
                   double out[3]) {
  // BT.2020 non-constant luminance.
  double rgb[3] = {y + 1.4746 * cr, 0, y + 1.8814 * cb};
  rgb[1] = (y - 0.2627 * rgb[0] - 0.0593 * rgb[2]) / 0.6780;
  double lin[3];
  if (transfer == TColourTransfer::Pq) {
    for (int i = 0; i < 3; ++i) lin[i] = PqToLinear(rgb[i]);
  } else {
    // HLG: scene light, then the display's system gamma of 1.2 at 1000 cd/m2.
    for (int i = 0; i < 3; ++i) lin[i] = HlgToScene(rgb[i]);
    const double ys = 0.2627 * lin[0] + 0.6780 * lin[1] + 0.0593 * lin[2];
    const double gain = kPeak * std::pow(std::max(ys, 1e-9), 0.2);
    for (double& v : lin) v *= gain;
  }
  // BT.2020 primaries to BT.709.
  const double r = 1.6605 * lin[0] - 0.5876 * lin[1] - 0.0728 * lin[2];
  const double g = -0.1246 * lin[0] + 1.1329 * lin[1] - 0.0083 * lin[2];
  const double b = -0.0182 * lin[0] - 0.1006 * lin[1] + 1.1187 * lin[2];
  // The curve on the brightest channel, the colour scaled along with it.
  const double sig = std::max({r, g, b, 1e-6});
  const double scale = Hable(sig) / Hable(kPeak) / sig;
  const double rp = Bt709Signal(r * scale), gp = Bt709Signal(g * scale),
               bp = Bt709Signal(b * scale);
  const double yy = 0.2126 * rp + 0.7152 * gp + 0.0722 * bp;
  out[0] = 16 + 219 * yy;
  out[1] = 128 + 224 * (bp - yy) / 1.8556;
  out[2] = 128 + 224 * (rp - yy) / 1.5748;
  if (output == TToneOutput::Bgr) {
    // The colours that limited-range samples would show, bounded as their
    // bytes bound them, but unrounded.
    const double y8 = (std::clamp(out[0], 0.0, 255.0) - 16) / 219;
    const double pb = (std::clamp(out[1], 0.0, 255.0) - 128) / 224;
    const double pr = (std::clamp(out[2], 0.0, 255.0) - 128) / 224;
    const double r8 = y8 + 1.5748 * pr, b8 = y8 + 1.8556 * pb;
    out[0] = 255 * b8;
    out[1] = 255 * (y8 - 0.2126 * r8 - 0.0722 * b8) / 0.7152;
    out[2] = 255 * r8;
  }
}

// The table: kGrid points a side over the whole code range of each sample,
// with each entry the 8-bit result (three samples and a pad, so that an
// entry is one vector); trilinear between the points.
constexpr int kGrid = kToneGrid;
constexpr int kEntry = 4;
constexpr ptrdiff_t kCrStep = kEntry, kCbStep = kGrid * kCrStep, kLayerStep = kGrid * kCbStep;

struct TToneTable {
  TColourTransfer Transfer = TColourTransfer::Sdr;
  bool FullRange = false;
  std::vector<float> Entries;  // kGrid^3 entries
};

// The table of each output, for the last transfer and range it served.
TToneTable Tables[2];

const TToneTable& TableFor(TColourTransfer transfer, bool fullRange, TToneOutput output) {
  TToneTable& Table = Tables[output == TToneOutput::Bgr];
  if (Table.Transfer == transfer && Table.FullRange == fullRange && !Table.Entries.empty())
    return Table;
  Table.Transfer = transfer;
  Table.FullRange = fullRange;
  Table.Entries.assign(size_t(kLayerStep) * kGrid, 0.0f);
  float* e = Table.Entries.data();
  for (int y = 0; y < kGrid; ++y)
    for (int cb = 0; cb < kGrid; ++cb)
      for (int cr = 0; cr < kGrid; ++cr) {
        // Grid point i stands for code i / (kGrid - 1) of the whole code
        // range, read as the source's range says (nearly always limited).
        auto code = [](int i) { return double(i) / (kGrid - 1) * 1023; };
        const double yScale = fullRange ? 1023 : 876, cScale = fullRange ? 1023 : 896;
        const double yn = (code(y) - (fullRange ? 0 : 64)) / yScale;
        const double cbn = (code(cb) - 512) / cScale, crn = (code(cr) - 512) / cScale;
        double out[3];
        MapNormalised(transfer, output, yn, cbn, crn, out);
        e[0] = float(out[0]), e[1] = float(out[1]), e[2] = float(out[2]);
        e += kEntry;
      }
  return Table;
}

// Where a code falls on the grid: the lower point and the weight of the
// upper one, worked out once per code for a sample size.
struct TGridPlace {
  int32_t Point;
  float Weight;
};

const std::vector<TGridPlace>& GridPlaces(int bits) {
  static std::vector<TGridPlace> places[17];
  std::vector<TGridPlace>& p = places[bits];
  if (!p.empty()) return p;
  // A code of `bits` bits as a 10-bit code, in grid units.
  const float toGrid = float(kGrid - 1) / 1023 / float(1 << bits) * 1024;
  p.resize(size_t(1) << bits);
  for (size_t code = 0; code < p.size(); ++code) {
    const float g = float(code) * toGrid;
    const int32_t i = std::min(int32_t(g), kGrid - 2);
    p[code] = {i, std::min(g - float(i), 1.0f)};
  }
  return p;
}

}  // namespace

bool ToneMapsPicture(int32_t pixFmt, const TPictureColour& colour) {
  if (colour.Transfer == TColourTransfer::Sdr || AVParams.ToneMap == 0) return false;
  const AVPixFmtDescriptor* d = ff::av_pix_fmt_desc_get(AVPixelFormat(pixFmt));
  if (!d || d->nb_components < 3 ||
      (d->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_BE | AV_PIX_FMT_FLAG_FLOAT |
                   AV_PIX_FMT_FLAG_PAL | AV_PIX_FMT_FLAG_BAYER | AV_PIX_FMT_FLAG_BITSTREAM)))
    return false;
  // Y in a plane of its own, one sample of 8 to 16 bits per byte or word:
  // planar and semi-planar (NV12, P010) layouts.
  const AVComponentDescriptor& y = d->comp[0];
  if (y.plane != 0 || y.depth < 8 || y.depth > 16 || d->comp[1].plane == 0) return false;
  for (int c = 0; c < 3; ++c) {
    const AVComponentDescriptor& k = d->comp[c];
    const int bytes = k.depth + k.shift > 8 ? 2 : 1;
    if (k.depth != y.depth || k.step % bytes != 0 || k.offset % bytes != 0) return false;
  }
  return true;
}

void ToneMapSample(TColourTransfer transfer, int bits, int y, int cb, int cr, uint8_t out[3]) {
  const double unit = double(1 << (bits - 8));
  double v[3];
  MapNormalised(transfer, TToneOutput::Yuv, (y / unit - 16) / 219, (cb / unit - 128) / 224,
                (cr / unit - 128) / 224, v);
  for (int i = 0; i < 3; ++i) out[i] = Byte(v[i]);
}

namespace {

// Four floats of one table entry, or of a blend of entries.
#if defined(__SSE2__)
using TQuad = __m128;
inline TQuad LoadQuad(const float* p) {
  return _mm_loadu_ps(p);
}
inline TQuad Blend(TQuad a, TQuad b, float w) {
  return _mm_add_ps(a, _mm_mul_ps(_mm_sub_ps(b, a), _mm_set1_ps(w)));
}
// Y, Cb, Cr rounded and clamped to bytes, in the low three bytes.
inline uint32_t Bytes(TQuad q) {
  const __m128i i = _mm_cvtps_epi32(q);
  return uint32_t(_mm_cvtsi128_si32(_mm_packus_epi16(_mm_packs_epi32(i, i), i)));
}
#else
struct TQuad {
  float V[4];
};
inline TQuad LoadQuad(const float* p) {
  return {{p[0], p[1], p[2], p[3]}};
}
inline TQuad Blend(TQuad a, TQuad b, float w) {
  for (int c = 0; c < 4; ++c) a.V[c] += (b.V[c] - a.V[c]) * w;
  return a;
}
inline uint32_t Bytes(TQuad q) {
  uint32_t out = 0;
  for (int c = 0; c < 3; ++c) out |= uint32_t(std::clamp(std::lround(q.V[c]), 0L, 255L)) << (8 * c);
  return out;
}
#endif

// Codes along a row: bytes or native words.
struct TCodes {
  const void* P;
  bool Words;
  uint32_t operator[](int32_t i) const {
    return Words ? static_cast<const uint16_t*>(P)[i] : static_cast<const uint8_t*>(P)[i];
  }
};

// One component's codes along a row: read in place when they lie as plain
// bytes or native words, else gathered from their layout (semi-planar
// chroma, codes in the high bits of their word) into a buffer.
class TCodeRow {
 public:
  TCodeRow(const TAVPicture& pic, const AVComponentDescriptor& c, int32_t count)
      : FPic(pic), FComp(c), FWords(c.depth + c.shift > 8), FCount(count) {
    FPlain = c.shift == 0 && c.offset == 0 && c.step == (FWords ? 2 : 1);
    if (!FPlain) FBuffer.resize(size_t(count));
  }

  TCodes Row(int32_t row) {
    const uint8_t* p = FPic.data[FComp.plane] + ptrdiff_t(row) * FPic.linesize[FComp.plane];
    if (FPlain) return {p, FWords};
    p += FComp.offset;
    const unsigned mask = (1u << FComp.depth) - 1;
    for (int32_t i = 0; i < FCount; ++i, p += FComp.step) {
      uint16_t w = *p;
      if (FWords) std::memcpy(&w, p, 2);
      FBuffer[size_t(i)] = uint16_t((w >> FComp.shift) & mask);
    }
    return {FBuffer.data(), true};
  }

 private:
  const TAVPicture& FPic;
  const AVComponentDescriptor& FComp;
  bool FWords, FPlain = true;
  int32_t FCount;
  std::vector<uint16_t> FBuffer;
};

}  // namespace

void ToneMapPicture(const TAVPicture& src, int32_t pixFmt, int32_t width, int32_t height,
                    const TAVPicture& dst, TToneOutput output) {
  const AVPixFmtDescriptor* d = ff::av_pix_fmt_desc_get(AVPixelFormat(pixFmt));
  const float* entries =
      TableFor(src.Colour.Transfer, src.Colour.Range == TColourRange::Full, output).Entries.data();
  const std::vector<TGridPlace>& places = GridPlaces(d->comp[0].depth);
  const int hs = d->log2_chroma_w, vs = d->log2_chroma_h;
  const int32_t cw = -((-width) >> hs), ch = -((-height) >> vs);
  // Up to four luma rows share a chroma row; each keeps its own buffer.
  std::vector<TCodeRow> lumaRows;
  for (int r = 0; r < (1 << vs); ++r) lumaRows.emplace_back(src, d->comp[0], width);
  TCodeRow cbRow(src, d->comp[1], cw), crRow(src, d->comp[2], cw);
  TQuad layers[kGrid];
  const bool packed = output == TToneOutput::Bgr;
  for (int32_t cy = 0; cy < ch; ++cy) {
    const int32_t y0 = cy << vs, rows = std::min(height, (cy + 1) << vs) - y0;
    TCodes luma[4];
    uint8_t* outY[4];
    uint8_t* outCb[4];
    uint8_t* outCr[4];
    for (int32_t r = 0; r < rows; ++r) {
      luma[r] = lumaRows[size_t(r)].Row(y0 + r);
      outY[r] = dst.data[0] + ptrdiff_t(y0 + r) * dst.linesize[0];
      if (packed) continue;
      outCb[r] = dst.data[1] + ptrdiff_t(y0 + r) * dst.linesize[1];
      outCr[r] = dst.data[2] + ptrdiff_t(y0 + r) * dst.linesize[2];
    }
    const TCodes cb = cbRow.Row(cy), cr = crRow.Row(cy);
    for (int32_t cx = 0; cx < cw; ++cx) {
      const TGridPlace u = places[cb[cx]], v = places[cr[cx]];
      const float* base = entries + u.Point * kCbStep + v.Point * kCrStep;
      const int32_t x0 = cx << hs, x1 = std::min(width, (cx + 1) << hs);
      // The luma layers this sample's pixels fall between, blended over
      // Cb and Cr once for all of them.
      int32_t low = kGrid, high = -1;
      for (int32_t r = 0; r < rows; ++r)
        for (int32_t x = x0; x < x1; ++x) {
          const int32_t p = places[luma[r][x]].Point;
          low = std::min(low, p), high = std::max(high, p);
        }
      for (int32_t i = low; i <= high + 1; ++i) {
        const float* q = base + i * kLayerStep;
        const TQuad a = Blend(LoadQuad(q), LoadQuad(q + kCrStep), v.Weight);
        const TQuad b = Blend(LoadQuad(q + kCbStep), LoadQuad(q + kCbStep + kCrStep), v.Weight);
        layers[i] = Blend(a, b, u.Weight);
      }
      for (int32_t r = 0; r < rows; ++r)
        for (int32_t x = x0; x < x1; ++x) {
          const TGridPlace y = places[luma[r][x]];
          const uint32_t out = Bytes(Blend(layers[y.Point], layers[y.Point + 1], y.Weight));
          if (packed) {
            uint8_t* o = outY[r] + 3 * x;
            o[0] = uint8_t(out), o[1] = uint8_t(out >> 8), o[2] = uint8_t(out >> 16);
          } else {
            outY[r][x] = uint8_t(out);
            outCb[r][x] = uint8_t(out >> 8);
            outCr[r][x] = uint8_t(out >> 16);
          }
        }
    }
  }
}

std::vector<float> ToneMapTable(TColourTransfer transfer, bool fullRange) {
  return TableFor(transfer, fullRange, TToneOutput::Bgr).Entries;
}

bool HasDeepPlanes(int32_t pixFmt) {
  const AVPixFmtDescriptor* d = ff::av_pix_fmt_desc_get(AVPixelFormat(pixFmt));
  return d && d->log2_chroma_w == 1 && d->log2_chroma_h == 1;
}

void DeepPlanes(const TAVPicture& src, int32_t pixFmt, int32_t width, int32_t height,
                const TAVPicture& dst) {
  const AVPixFmtDescriptor* d = ff::av_pix_fmt_desc_get(AVPixelFormat(pixFmt));
  for (int c = 0; c < 3; ++c) {
    const int32_t w = c ? (width + 1) / 2 : width, h = c ? (height + 1) / 2 : height;
    const int up = 16 - d->comp[c].depth;
    TCodeRow codes(src, d->comp[c], w);
    for (int32_t y = 0; y < h; ++y) {
      const TCodes in = codes.Row(y);
      auto* out = reinterpret_cast<uint16_t*>(dst.data[c] + ptrdiff_t(y) * dst.linesize[c]);
      for (int32_t x = 0; x < w; ++x) out[x] = uint16_t(in[x] << up);
    }
  }
}

}  // namespace vexo

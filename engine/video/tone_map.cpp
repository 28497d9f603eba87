#include "engine/video/tone_map.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "engine/media/av_types.h"
#include "engine/media/media_lib.h"

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
// BT.709 limited-range samples of the tone-mapped colour, unrounded.
void MapNormalised(TColourTransfer transfer, double y, double cb, double cr, double out[3]) {
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
}

// The table: kGrid points a side over the whole code range of each sample,
// with each entry the 8-bit result; trilinear between the points.
constexpr int kGrid = 33;

struct TToneTable {
  TColourTransfer Transfer = TColourTransfer::Sdr;
  std::vector<float> Entries;  // kGrid^3 entries of Y, Cb, Cr
};

TToneTable Table;

const TToneTable& TableFor(TColourTransfer transfer) {
  if (Table.Transfer == transfer && !Table.Entries.empty()) return Table;
  Table.Transfer = transfer;
  Table.Entries.resize(size_t(kGrid) * kGrid * kGrid * 3);
  float* e = Table.Entries.data();
  for (int y = 0; y < kGrid; ++y)
    for (int cb = 0; cb < kGrid; ++cb)
      for (int cr = 0; cr < kGrid; ++cr) {
        // Grid point i stands for code i / (kGrid - 1) of the full code range,
        // taken as limited range (the range of every HDR format here).
        auto code = [](int i) { return double(i) / (kGrid - 1); };
        const double yn = (code(y) * 1023 - 64) / 876;
        const double cbn = (code(cb) * 1023 - 512) / 896, crn = (code(cr) * 1023 - 512) / 896;
        double out[3];
        MapNormalised(transfer, yn, cbn, crn, out);
        e[0] = float(out[0]), e[1] = float(out[1]), e[2] = float(out[2]);
        e += 3;
      }
  return Table;
}

}  // namespace

bool ToneMapsPicture(int32_t pixFmt, const TPictureColour& colour) {
  if (colour.Transfer == TColourTransfer::Sdr || AVParams.ToneMap == 0) return false;
  const AVPixFmtDescriptor* d = ff::av_pix_fmt_desc_get(AVPixelFormat(pixFmt));
  if (!d || d->nb_components < 3 || !(d->flags & AV_PIX_FMT_FLAG_PLANAR) ||
      (d->flags & (AV_PIX_FMT_FLAG_RGB | AV_PIX_FMT_FLAG_BE | AV_PIX_FMT_FLAG_FLOAT)))
    return false;
  return d->comp[0].depth > 8 && d->comp[0].step == 2 && d->comp[1].plane == 1 &&
         d->comp[2].plane == 2;
}

void ToneMapSample(TColourTransfer transfer, int bits, int y, int cb, int cr, uint8_t out[3]) {
  const double unit = double(1 << (bits - 8));
  double v[3];
  MapNormalised(transfer, (y / unit - 16) / 219, (cb / unit - 128) / 224, (cr / unit - 128) / 224,
                v);
  for (int i = 0; i < 3; ++i) out[i] = Byte(v[i]);
}

namespace {

// Trilinear lookups for the pixels that share one chroma sample: the
// chroma's bilinear weights are found once, and the bilinear value of each
// luma layer is kept while the next pixel falls into the same cell.
class TChromaCell {
 public:
  TChromaCell(const float* entries, float cb, float cr) : FEntries(entries) {
    Split(cb, FIu, FFu);
    Split(cr, FIv, FFv);
  }

  void Map(float y, uint8_t out[3]) {
    int iy;
    float fy;
    Split(y, iy, fy);
    if (iy != FLayer) {
      // The upper layer of the last cell is often the lower one of this.
      if (iy == FLayer + 1) {
        std::copy_n(FHigh, 3, FLow);
      } else {
        Layer(iy, FLow);
      }
      Layer(iy + 1, FHigh);
      FLayer = iy;
    }
    for (int c = 0; c < 3; ++c)
      out[c] = uint8_t(std::clamp(FLow[c] + (FHigh[c] - FLow[c]) * fy + 0.5f, 0.0f, 255.0f));
  }

 private:
  static void Split(float p, int& i, float& f) {
    i = std::min(int(p), kGrid - 2);
    f = std::min(p - float(i), 1.0f);
  }

  void Layer(int iy, float v[3]) const {
    const size_t su = size_t(kGrid) * 3, sv = 3;
    const float* q = FEntries + ((size_t(iy) * kGrid + FIu) * kGrid + FIv) * 3;
    for (int c = 0; c < 3; ++c, ++q) {
      const float a = q[0] + (q[sv] - q[0]) * FFv;
      const float b = q[su] + (q[su + sv] - q[su]) * FFv;
      v[c] = a + (b - a) * FFu;
    }
  }

  const float* FEntries;
  int FIu, FIv;
  float FFu, FFv;
  int FLayer = -2;
  float FLow[3] = {}, FHigh[3] = {};
};

}  // namespace

void ToneMapPicture(const TAVPicture& src, int32_t pixFmt, int32_t width, int32_t height,
                    const TAVPicture& dst) {
  const AVPixFmtDescriptor* d = ff::av_pix_fmt_desc_get(AVPixelFormat(pixFmt));
  const TToneTable& table = TableFor(src.Colour.Transfer);
  const int bits = d->comp[0].depth, hs = d->log2_chroma_w, vs = d->log2_chroma_h;
  // Codes scaled to grid units: a code of `bits` bits as a 10-bit code.
  const float toGrid = float(kGrid - 1) / 1023 / float(1 << bits) * 1024;
  const int32_t cw = -((-width) >> hs), ch = -((-height) >> vs);
  auto row16 = [](const TAVPicture& pic, int plane, int32_t y) {
    return reinterpret_cast<const uint16_t*>(pic.data[plane] + ptrdiff_t(y) * pic.linesize[plane]);
  };
  for (int32_t cy = 0; cy < ch; ++cy) {
    const uint16_t* u = row16(src, 1, cy);
    const uint16_t* v = row16(src, 2, cy);
    const int32_t y0 = cy << vs, y1 = std::min(height, (cy + 1) << vs);
    for (int32_t cx = 0; cx < cw; ++cx) {
      TChromaCell cell(table.Entries.data(), u[cx] * toGrid, v[cx] * toGrid);
      const int32_t x0 = cx << hs, x1 = std::min(width, (cx + 1) << hs);
      for (int32_t y = y0; y < y1; ++y) {
        const uint16_t* luma = row16(src, 0, y);
        for (int32_t x = x0; x < x1; ++x) {
          uint8_t out[3];
          cell.Map(luma[x] * toGrid, out);
          for (int c = 0; c < 3; ++c) dst.data[c][ptrdiff_t(y) * dst.linesize[c] + x] = out[c];
        }
      }
    }
  }
}

}  // namespace vexo

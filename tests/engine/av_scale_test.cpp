#include "engine/video/av_scale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <random>
#include <stdexcept>
#include <vector>

#include "engine/media/media_lib.h"
#include "engine/video/av_scale_utils.h"
#include "engine/video/av_yuv_to_bgra.h"
#include "engine/video/picture_turn.h"
#include "engine/video/streaming_store.h"

namespace vexo {
namespace {

// ---------------------------------------------------------------------------
// The reference: every formula evaluated per pixel in extended precision, as
// plainly as it can be written, for the fast conversion to agree with.

uint8_t RefClamp(long double x) {
  if (x < 0) return 0;
  if (x > 255) return 255;
  return uint8_t(std::nearbyint(x));
}

struct Plane {
  int32_t w = 0, h = 0, ls = 0;
  std::vector<uint8_t> bytes;  // exactly ls * h, so that overruns show
  uint8_t& at(int32_t x, int32_t y) { return bytes[size_t(y) * ls + x]; }
  uint8_t* data() { return bytes.empty() ? nullptr : bytes.data(); }
};

struct Picture {
  Plane p[3];
  TAVPicture View() {
    TAVPicture pic;
    for (int i = 0; i < 3; ++i) pic.data[i] = p[i].data(), pic.linesize[i] = p[i].ls;
    return pic;
  }
  bool operator==(const Picture& o) const {
    return p[0].bytes == o.p[0].bytes && p[1].bytes == o.p[1].bytes && p[2].bytes == o.p[2].bytes;
  }
};

int32_t CeilShift(int32_t v, int s) {
  return -((-v) >> s);
}

Plane MakePlane(int32_t w, int32_t h, int32_t ls, std::mt19937& rng) {
  Plane pl{w, h, ls, std::vector<uint8_t>(size_t(ls) * size_t(std::max(h, 0)))};
  for (auto& b : pl.bytes) b = uint8_t(rng());
  return pl;
}

struct SourceFormat {
  int32_t fmt;
  int h, v;  // chroma shifts; grey has no chroma planes
  bool grey;
};

const SourceFormat kPlanarFormats[] = {
    {PIX_FMT_YUV420P, 1, 1, false},    {PIX_FMT_YUVJ420P, 1, 1, false},
    {PIX_FMT_YUV411P, 2, 0, false},    {PIX_FMT_YUVJ422P, 1, 0, false},
    {PIX_FMT_YUVJ444P, 0, 0, false},   {PIX_FMT_YUVJ440P, 0, 1, false},
    {PIX_FMT_GRAY8, 1, 1, true},       {AV_PIX_FMT_YUV422P, 1, 0, false},
    {AV_PIX_FMT_YUV444P, 0, 0, false}, {AV_PIX_FMT_YUV440P, 0, 1, false},
};

Picture MakeSource(const SourceFormat& f, int32_t w, int32_t h, std::mt19937& rng) {
  Picture pic;
  if (f.fmt == PIX_FMT_BGR24) {
    pic.p[0] = MakePlane(w, h, 3 * w + int32_t(rng() % 9), rng);
    return pic;
  }
  pic.p[0] = MakePlane(w, h, w + int32_t(rng() % 40), rng);
  if (!f.grey) {
    const int32_t cw = CeilShift(w, f.h), ch = CeilShift(h, f.v);
    for (int i = 1; i <= 2; ++i) pic.p[i] = MakePlane(cw, ch, cw + int32_t(rng() % 40), rng);
  }
  return pic;
}

Picture MakeDestination(TFourCC code, int32_t w, int32_t h, std::mt19937& rng) {
  Picture pic;
  if (IsPlanar420FourCC(code)) {
    pic.p[0] = MakePlane(w, h, w + int32_t(rng() % 9), rng);
    const int32_t cw = CeilShift(w, 1), ch = CeilShift(h, 1);
    for (int i = 1; i <= 2; ++i) pic.p[i] = MakePlane(cw, ch, cw + int32_t(rng() % 9), rng);
  } else {
    const int32_t bpp = IsPacked422FourCC(code) ? 2 : 4;
    pic.p[0] = MakePlane(w, h, bpp * w + int32_t(rng() % 9), rng);
  }
  return pic;
}

struct Area {
  int32_t dw, dh, cw, ch, left, right, top, bottom;
};

Area MakeArea(int32_t dw, int32_t dh, int32_t cw, int32_t ch) {
  cw = std::min(cw, dw), ch = std::min(ch, dh);
  const int32_t left = (dw - cw) / 2, top = (dh - ch) / 2;
  return {dw, dh, cw, ch, left, dw - cw - left, top, dh - ch - top};
}

bool InBand(const Area& a, int32_t x, int32_t y) {
  return y < a.top || y >= a.dh - a.bottom || x < a.left || x >= a.dw - a.right;
}

// One plane into the content rectangle of another, then its bands. A null
// source stands for the neutral chroma of a grey picture.
void RefCopyPlane(Plane* src, int32_t sw, int32_t sh, int sh_, int sv, Plane& dst, const Area& area,
                  int dh_, int dv, bool fill, uint8_t border) {
  sw = sw > 0 ? std::max(sw >> sh_, 1) : 0, sh = sh > 0 ? std::max(sh >> sv, 1) : 0;
  const Area a{area.dw >> dh_,   area.dh >> dv,
               area.cw >> dh_,   area.ch >> dv,
               area.left >> dh_, (area.dw >> dh_) - (area.cw >> dh_) - (area.left >> dh_),
               area.top >> dv,   (area.dh >> dv) - (area.ch >> dv) - (area.top >> dv)};
  if (!src) {
    for (int32_t y = 0; y < a.ch; ++y)
      for (int32_t x = 0; x < a.cw; ++x) dst.at(a.left + x, a.top + y) = 128;
  } else if (a.dw == sw && a.dh == sh) {
    for (int32_t y = 0; y < a.dh; ++y)
      for (int32_t x = 0; x < std::min(src->ls, dst.ls); ++x) dst.at(x, y) = src->at(x, y);
  } else if (sw > 0 && sh > 0) {
    const float rx = float((long double)sw / a.cw), ry = float((long double)sh / a.ch);
    for (int32_t y = 0; y < a.ch; ++y)
      for (int32_t x = 0; x < a.cw; ++x)
        dst.at(a.left + x, a.top + y) =
            src->at(int32_t((long double)x * rx), int32_t((long double)y * ry));
  }
  if (fill)
    for (int32_t y = 0; y < a.dh; ++y)
      for (int32_t x = 0; x < a.dw; ++x)
        if (InBand(a, x, y)) dst.at(x, y) = border;
}

// A chroma sample of a picture whose written chroma covers cols x rows
// samples; positions past them read the last written one.
uint8_t RefChroma(Plane& pl, bool grey, int32_t x, int32_t y, int32_t cols, int32_t rows) {
  if (grey || cols <= 0 || rows <= 0) return 128;
  return pl.at(std::min(x, cols - 1), std::min(y, rows - 1));
}

void RefPutBgra(Plane& dst, const Area& a, int32_t x, int32_t row, uint8_t b, uint8_t g,
                uint8_t r) {
  const int32_t memRow = a.dh - 1 - (a.top + row);
  uint8_t* px = &dst.at(4 * (a.left + x), memRow);
  px[0] = b, px[1] = g, px[2] = r, px[3] = 0xFF;
}

// Bands of a bottom-up picture, as they appear on screen.
void RefFillBottomUp(Plane& dst, const Area& a) {
  for (int32_t y = 0; y < a.dh; ++y)
    for (int32_t x = 0; x < a.dw; ++x)
      if (InBand(a, x, y))
        for (int k = 0; k < 4; ++k) dst.at(4 * x + k, a.dh - 1 - y) = 0;
}

// The scratch: tight planes of the area in the source's subsampling, full
// of garbage before the source is copied in.
Picture RefScratch(const SourceFormat& f, Picture& src, int32_t sw, int32_t sh, const Area& a,
                   bool fill, std::mt19937& rng) {
  Picture s;
  s.p[0] = MakePlane(a.dw, a.dh, a.dw, rng);
  const int32_t cw = CeilShift(a.dw, f.h), ch = CeilShift(a.dh, f.v);
  for (int i = 1; i <= 2; ++i) s.p[i] = MakePlane(cw, ch, cw, rng);
  RefCopyPlane(&src.p[0], sw, sh, 0, 0, s.p[0], a, 0, 0, fill, 0);
  if (!f.grey)
    for (int i = 1; i <= 2; ++i)
      RefCopyPlane(&src.p[i], sw, sh, f.h, f.v, s.p[i], a, f.h, f.v, fill, 128);
  return s;
}

// The colour of an untagged source of `fmt`: every picture here is of
// standard definition, so BT.601, in limited range unless the format is a
// full-range one or grey.
TYuvToBgraFactors RefFactors(int32_t fmt) {
  return YuvToBgraFactors(YuvCoefficients(ResolvedColour({}, fmt, 64, 48)));
}

int32_t RefPlanar(const SourceFormat& f, Picture& src, int32_t sw, int32_t sh, Picture& dst,
                  TFourCC code, const Area& a, bool fill, std::mt19937& rng,
                  const TYuvToBgraFactors& colour) {
  auto chromaPlane = [&](int i) { return f.grey ? nullptr : &src.p[i]; };
  if (IsPlanar420FourCC(code)) {
    RefCopyPlane(&src.p[0], sw, sh, 0, 0, dst.p[0], a, 0, 0, fill, 0);
    const int u = code == FCC_ENC ? 1 : 2, v = code == FCC_ENC ? 2 : 1;
    RefCopyPlane(chromaPlane(1), sw, sh, f.h, f.v, dst.p[u], a, 1, 1, fill, 128);
    RefCopyPlane(chromaPlane(2), sw, sh, f.h, f.v, dst.p[v], a, 1, 1, fill, 128);
    return (dst.p[0].ls + dst.p[1].ls) * a.dh;
  }
  if (IsPacked422FourCC(code)) {
    Picture s = RefScratch(f, src, sw, sh, a, true, rng);
    const int32_t cols = a.dw >> f.h, rows = a.dh >> f.v;
    for (int32_t y = 0; y < a.dh; ++y)
      for (int32_t i = 0; i < a.dw / 2; ++i) {
        const uint8_t y0 = s.p[0].at(2 * i, y), y1 = s.p[0].at(2 * i + 1, y);
        const int32_t cx = (2 * i) >> f.h, cy = y >> f.v;
        const uint8_t u = RefChroma(s.p[1], f.grey, cx, cy, cols, rows);
        const uint8_t v = RefChroma(s.p[2], f.grey, cx, cy, cols, rows);
        uint8_t* out = &dst.p[0].at(4 * i, y);
        if (code == FCC_UYVY)
          out[0] = u, out[1] = y0, out[2] = v, out[3] = y1;
        else
          out[0] = y0, out[1] = u, out[2] = y1, out[3] = v;
      }
    return dst.p[0].ls * a.dh;
  }
  Picture scratch;
  Picture* pic = &src;
  int32_t cols = INT32_MAX, rows = INT32_MAX;
  if (sw != a.dw || sh != a.dh) {
    scratch = RefScratch(f, src, sw, sh, {a.cw, a.ch, a.cw, a.ch, 0, 0, 0, 0}, false, rng);
    pic = &scratch;
    cols = a.cw >> f.h, rows = a.ch >> f.v;
  }
  for (int32_t y = 0; y < a.ch; ++y)
    for (int32_t x = 0; x < (a.cw & ~1); ++x) {
      const int Y = pic->p[0].at(x, y);
      const int U = RefChroma(pic->p[1], f.grey, x >> f.h, y >> f.v, cols, rows);
      const int V = RefChroma(pic->p[2], f.grey, x >> f.h, y >> f.v, cols, rows);
      RefPutBgra(dst.p[0], a, x, y, YuvToB(Y, U, colour), YuvToG(Y, U, V, colour),
                 YuvToR(Y, V, colour));
    }
  if (fill) RefFillBottomUp(dst.p[0], a);
  return dst.p[0].ls * a.dh;
}

uint8_t RefLuma(const uint8_t* p) {
  return RefClamp((p[0] + p[1] + p[2]) / 3.0L);
}

int32_t RefPackedBgr(Picture& src, int32_t sw, int32_t sh, Picture& dst, TFourCC code,
                     const Area& a, bool fill) {
  const int32_t rows = std::min(a.ch, sh), cols = std::min(a.cw, sw);
  if (Is32BitFourCC(code)) {
    for (int32_t y = 0; y < rows; ++y)
      for (int32_t x = 0; x < cols; ++x) {
        const uint8_t* p = &src.p[0].at(3 * x, y);
        RefPutBgra(dst.p[0], a, x, y, p[0], p[1], p[2]);
      }
    if (fill) RefFillBottomUp(dst.p[0], a);
    return dst.p[0].ls * a.ch;
  }
  for (int32_t y = 0; y < rows; ++y)
    for (int32_t i = 0; i < cols / 2; ++i) {
      const uint8_t* p0 = &src.p[0].at(6 * i, y);
      const uint8_t* p1 = p0 + 3;
      const uint8_t y0 = RefLuma(p0), y1 = RefLuma(p1);
      const uint8_t u = RefClamp(p0[0] - y0 + 128.0L), v = RefClamp(p1[2] - y0 + 128.0L);
      if (IsPacked422FourCC(code)) {
        uint8_t* out = &dst.p[0].at(2 * a.left + 4 * i, a.top + y);
        if (code == FCC_UYVY)
          out[0] = u, out[1] = y0, out[2] = v, out[3] = y1;
        else
          out[0] = y0, out[1] = u, out[2] = y1, out[3] = v;
      } else {
        dst.p[0].at(2 * i, y) = y0, dst.p[0].at(2 * i + 1, y) = y1;
        if (y % 2 == 0) dst.p[2].at(i, y / 2) = u, dst.p[1].at(i, y / 2) = v;
      }
    }
  if (IsPacked422FourCC(code)) {
    if (fill)
      for (int32_t y = 0; y < a.dh; ++y)
        for (int32_t x = 0; x < a.dw; ++x)
          if (InBand(a, x, y)) dst.p[0].at(2 * x, y) = dst.p[0].at(2 * x + 1, y) = 0;
    return a.cw * a.ch * 2;
  }
  return int32_t(std::nearbyint(a.cw * a.ch * 1.5L));
}

// ---------------------------------------------------------------------------

class ConvertPictureTest : public ::testing::Test {
 protected:
  // The conversion needs only libavutil (picture sizes and layouts).
  void SetUp() override {
    MediaLibLoad();
    ASSERT_TRUE(MediaLibIsResolved(mlAvUtil));
  }
};

// The same conversions at every instruction-set level of the 32-bit rows
// that this processor has (the others are skipped), with ordinary stores and
// with the streaming stores that large pictures get.
struct TStoreCase {
  TYuvToBgraLevel Level;
  bool Streamed;
};

class ConvertAtEveryLevel : public ConvertPictureTest,
                            public ::testing::WithParamInterface<TStoreCase> {
 protected:
  void SetUp() override {
    ConvertPictureTest::SetUp();
    if (GetParam().Level > YuvToBgraBestLevel()) GTEST_SKIP() << "not on this processor";
    ASSERT_EQ(LimitYuvToBgraLevel(GetParam().Level), GetParam().Level);
    FStreamBytes = SetStreamingStoreBytes(GetParam().Streamed ? 0 : INT64_MAX);
  }
  void TearDown() override {
    LimitYuvToBgraLevel(YuvToBgraBestLevel());
    if (FStreamBytes) SetStreamingStoreBytes(*FStreamBytes);
  }
  std::optional<int64_t> FStreamBytes;
};

std::string LevelName(const ::testing::TestParamInfo<TStoreCase>& info) {
  const char* names[] = {"Scalar", "Sse2", "Avx2"};
  return std::string(names[int(info.param.Level)]) + (info.param.Streamed ? "Streamed" : "");
}

INSTANTIATE_TEST_SUITE_P(Levels, ConvertAtEveryLevel,
                         ::testing::Values(TStoreCase{TYuvToBgraLevel::Scalar, false},
                                           TStoreCase{TYuvToBgraLevel::Sse2, false},
                                           TStoreCase{TYuvToBgraLevel::Avx2, false},
                                           TStoreCase{TYuvToBgraLevel::Avx2, true}),
                         LevelName);

const TFourCC kAllCodes[] = {FCC_ENC,  FCC_YV12, FCC_I420, FCC_IYUV, FCC_GRAY,
                             FCC_UYVY, FCC_YUY2, FCC_ARGB, FCC_RGB3};

enum class Geometry { Unscaled, Bordered, Scaled, SameSizeSmallerContent };

// A stored picture turned upright by the plain definition of each turn:
// every plane turned whole; a quarter turn stands 4:2:2 chroma on end as
// 4:4:0 (and back), and 4:1:1 chroma is first widened to one sample a pixel.
struct TurnedSource {
  Picture pic;
  SourceFormat format;
  int32_t w, h;
};

// Where pixel (x, y) of the upright picture lies in a stored w x h plane.
void RefTurnedPixel(TPictureTurn turn, int32_t w, int32_t h, int32_t x, int32_t y, int32_t& sx,
                    int32_t& sy) {
  switch (turn) {
    case ptMirror:
      sx = w - 1 - x, sy = y;
      break;
    case ptRotate180:
      sx = w - 1 - x, sy = h - 1 - y;
      break;
    case ptFlip:
      sx = x, sy = h - 1 - y;
      break;
    case ptTranspose:
      sx = y, sy = x;
      break;
    case ptRotate90:
      sx = y, sy = h - 1 - x;
      break;  // the top row ends up on the right
    case ptTransverse:
      sx = w - 1 - y, sy = h - 1 - x;
      break;
    case ptRotate270:
      sx = w - 1 - y, sy = x;
      break;  // the top row ends up on the left
    default:
      sx = x, sy = y;
      break;
  }
}

TurnedSource RefTurn(Picture& src, const SourceFormat& f, int32_t sw, int32_t sh,
                     TPictureTurn turn) {
  const bool quarter = turn >= ptTranspose;
  const bool packed = f.fmt == PIX_FMT_BGR24, widen = quarter && f.fmt == PIX_FMT_YUV411P;
  TurnedSource t{{}, f, quarter ? sh : sw, quarter ? sw : sh};
  if (quarter) t.format = {f.fmt, f.v, f.h, f.grey};
  if (f.fmt == PIX_FMT_YUVJ422P && quarter) t.format.fmt = PIX_FMT_YUVJ440P;
  if (f.fmt == PIX_FMT_YUVJ440P && quarter) t.format.fmt = PIX_FMT_YUVJ422P;
  if (f.fmt == AV_PIX_FMT_YUV422P && quarter) t.format.fmt = AV_PIX_FMT_YUV440P;
  if (f.fmt == AV_PIX_FMT_YUV440P && quarter) t.format.fmt = AV_PIX_FMT_YUV422P;
  if (widen) t.format = {PIX_FMT_YUVJ444P, 0, 0, false};
  const int bytes = packed ? 3 : 1;
  for (int i = 0; i < (packed || f.grey ? 1 : 3); ++i) {
    const int32_t pw = i == 0 || widen ? sw : CeilShift(sw, f.h);
    const int32_t ph = i == 0 || widen ? sh : CeilShift(sh, f.v);
    const int32_t tw = quarter ? ph : pw, th = quarter ? pw : ph;
    Plane& out = t.pic.p[i];
    out = {tw, th, tw * bytes, std::vector<uint8_t>(size_t(tw) * bytes * size_t(th))};
    for (int32_t y = 0; y < th; ++y)
      for (int32_t x = 0; x < tw; ++x) {
        int32_t sx, sy;
        RefTurnedPixel(turn, pw, ph, x, y, sx, sy);
        // A widened 4:1:1 sample is the stored one that covers the pixel.
        if (widen && i > 0) sx = std::min(sx >> 2, CeilShift(sw, 2) - 1);
        for (int k = 0; k < bytes; ++k) out.at(bytes * x + k, y) = src.p[i].at(bytes * sx + k, sy);
      }
  }
  return t;
}

// Every source format to every destination code, on random pictures of odd
// and even sizes, unscaled, centred with borders and scaled either way. A
// turned conversion must equal the plain one of the turned picture.
void CheckEveryPath(TPictureTurn turn) {
  std::mt19937 rng(20240611 + (turn - ptNone));
  std::vector<SourceFormat> formats(std::begin(kPlanarFormats), std::end(kPlanarFormats));
  formats.push_back({PIX_FMT_BGR24, 0, 0, false});
  const bool quarter = turn >= ptTranspose;
  auto dim = [&](int32_t lo, int32_t hi) { return lo + int32_t(rng() % uint32_t(hi - lo + 1)); };
  for (const SourceFormat& f : formats)
    for (TFourCC code : kAllCodes)
      for (Geometry g : {Geometry::Unscaled, Geometry::Bordered, Geometry::Scaled,
                         Geometry::SameSizeSmallerContent})
        for (int fill = 0; fill <= 1; ++fill)
          for (int round = 0; round < 3; ++round) {
            // The upright size, which the destination geometry follows.
            int32_t uw = dim(1, 70), uh = dim(1, 21);
            int32_t dw = uw, dh = uh, cw = uw, ch = uh;
            if (g == Geometry::Bordered) dw = uw + dim(0, 9), dh = uh + dim(0, 9);
            if (g == Geometry::Scaled) {
              dw = dim(1, 90), dh = dim(1, 25);
              cw = dim(1, dw), ch = dim(1, dh);
            }
            if (g == Geometry::SameSizeSmallerContent) cw = dim(1, uw), ch = dim(1, uh);
            // The packed source is never scaled: its content is its own size.
            if (f.fmt == PIX_FMT_BGR24 && g == Geometry::Scaled) uw = cw, uh = ch;
            const int32_t sw = quarter ? uh : uw, sh = quarter ? uw : uh;
            SCOPED_TRACE(FourCCText(code) + " from " + std::to_string(f.fmt) + " " +
                         std::to_string(sw) + "x" + std::to_string(sh) + " -> " +
                         std::to_string(cw) + "x" + std::to_string(ch) + " in " +
                         std::to_string(dw) + "x" + std::to_string(dh) +
                         " fill=" + std::to_string(fill));
            Picture src = MakeSource(f, sw, sh, rng);
            Picture fast = MakeDestination(code, dw, dh, rng);
            Picture ref = fast;
            std::string err;
            const int32_t got = ConvertPicture(src.View(), fast.View(), sw, err, uint8_t(fill),
                                               code, f.fmt, dh, dw, ch, cw, sh, turn);
            const Area a = MakeArea(dw, dh, cw, ch);
            // Unturned, the source is converted as it lies, padding and all.
            TurnedSource t =
                turn == ptNone ? TurnedSource{src, f, sw, sh} : RefTurn(src, f, sw, sh, turn);
            const int32_t want = f.fmt == PIX_FMT_BGR24
                                     ? RefPackedBgr(t.pic, t.w, t.h, ref, code, a, fill)
                                     : RefPlanar(t.format, t.pic, t.w, t.h, ref, code, a, fill, rng,
                                                 RefFactors(f.fmt));
            EXPECT_EQ(err, "");
            EXPECT_EQ(got, want);
            ASSERT_TRUE(fast == ref);
          }
}

TEST_P(ConvertAtEveryLevel, EveryPathMatchesTheReferenceByteForByte) {
  CheckEveryPath(ptNone);
}

// Turned conversions at the best level this processor has: the turn comes
// before the rows, which the test above covers at every level.
class ConvertTurned : public ConvertPictureTest,
                      public ::testing::WithParamInterface<TPictureTurn> {};

std::string TurnName(const ::testing::TestParamInfo<TPictureTurn>& info) {
  const char* names[] = {"",          "None",     "Mirror",     "Rotate180", "Flip",
                         "Transpose", "Rotate90", "Transverse", "Rotate270"};
  return names[info.param];
}

INSTANTIATE_TEST_SUITE_P(Turns, ConvertTurned,
                         ::testing::Values(ptMirror, ptRotate180, ptFlip, ptTranspose, ptRotate90,
                                           ptTransverse, ptRotate270),
                         TurnName);

TEST_P(ConvertTurned, EveryPathMatchesTheReferenceOfTheTurnedPicture) {
  CheckEveryPath(GetParam());
}

// Every (Y, U, V) triple through the vector path and its tail: a 4:4:4 row of
// all 256 luma values per chroma pair, against the colour formulas, for every
// matrix in full and in limited range.
TEST_P(ConvertAtEveryLevel, EveryYuvTripleGivesTheFormulaColour) {
  std::vector<uint8_t> y(256 * 256), u(256 * 256), v(256 * 256), out(256 * 256 * 4);
  for (int row = 0; row < 256; ++row)
    for (int x = 0; x < 256; ++x) y[row * 256 + x] = uint8_t(x);
  for (TColourMatrix matrix : {TColourMatrix::Bt601, TColourMatrix::Bt709, TColourMatrix::Bt2020})
    for (TColourRange range : {TColourRange::Full, TColourRange::Limited}) {
      const TPictureColour colour{matrix, range};
      const TYuvToBgraFactors f = YuvToBgraFactors(YuvCoefficients(colour));
      for (int cu = 0; cu < 256; ++cu) {
        for (int row = 0; row < 256; ++row)
          for (int x = 0; x < 256; ++x)
            u[row * 256 + x] = uint8_t(cu), v[row * 256 + x] = uint8_t(row);
        TAVPicture src, dst;
        src.data[0] = y.data(), src.data[1] = u.data(), src.data[2] = v.data();
        src.linesize[0] = src.linesize[1] = src.linesize[2] = 256;
        src.Colour = colour;
        dst.data[0] = out.data(), dst.linesize[0] = 256 * 4;
        std::string err;
        ConvertPicture(src, dst, 256, err, 0, FCC_ARGB, AV_PIX_FMT_YUV444P, 256, 256, 256, 256,
                       256);
        for (int cv = 0; cv < 256; ++cv)
          for (int Y = 0; Y < 256; ++Y) {
            const uint8_t* px = &out[size_t(255 - cv) * 1024 + 4 * Y];
            if (px[0] != YuvToB(Y, cu, f) || px[1] != YuvToG(Y, cu, cv, f) ||
                px[2] != YuvToR(Y, cv, f) || px[3] != 0xFF)
              FAIL() << "Y=" << Y << " U=" << cu << " V=" << cv << " matrix " << int(matrix)
                     << " range " << int(range);
          }
      }
    }
}

// The fixed-point formulas stay within one and a half levels of the
// real-valued ones (the luma and the offset are each rounded) wherever the
// expanded luma lies inside a byte.
TEST(YuvFormulas, FixedPointIsCloseToTheRealFormula) {
  for (TColourMatrix matrix : {TColourMatrix::Bt601, TColourMatrix::Bt709, TColourMatrix::Bt2020})
    for (TColourRange range : {TColourRange::Full, TColourRange::Limited}) {
      const TYuvCoefficients c = YuvCoefficients({matrix, range});
      const TYuvToBgraFactors f = YuvToBgraFactors(c);
      for (int Y = range == TColourRange::Full ? 0 : 16;
           Y <= (range == TColourRange::Full ? 255 : 235); ++Y)
        for (int u = 0; u < 256; ++u)
          for (int v = 0; v < 256; ++v) {
            const double l = c.LumaScale * (Y - c.LumaOffset);
            const auto near = [](uint8_t got, double want) {
              return std::abs(got - std::clamp(want, 0.0, 255.0)) <= 1.5;
            };
            ASSERT_TRUE(near(YuvToR(Y, v, f), l + c.Rv * (v - 128)) &&
                        near(YuvToG(Y, u, v, f), l - c.Gu * (u - 128) - c.Gv * (v - 128)) &&
                        near(YuvToB(Y, u, f), l + c.Bu * (u - 128)))
                << "Y=" << Y << " U=" << u << " V=" << v;
          }
    }
}

// The rows store differently by where a destination row starts against a
// 32-byte boundary; at every start each pixel must land in place and the
// bytes around the row stay untouched.
TEST_P(ConvertAtEveryLevel, RowsLandWhereverTheDestinationStarts) {
  constexpr int32_t w = 100, h = 2, guard = 64;
  std::mt19937 rng(7);
  std::vector<uint8_t> y(w * h), u(w / 2), v(w / 2);
  for (auto& b : y) b = uint8_t(rng());
  for (int32_t i = 0; i < w / 2; ++i) u[i] = uint8_t(rng()), v[i] = uint8_t(rng());
  u[15] = 24, v[15] = 234, u[16] = 232, v[16] = 22, u[w / 2 - 1] = 24, v[w / 2 - 1] = 234;
  for (int32_t start : {0, 4, 8, 16, 20, 28}) {
    SCOPED_TRACE("row start " + std::to_string(start) + " bytes past a 32-byte boundary");
    const int32_t ls = 4 * w + 2 * guard;
    std::vector<uint8_t> buf(size_t(ls) * h + 64, 0xA5);
    uint8_t* base = buf.data() + (32 - reinterpret_cast<uintptr_t>(buf.data()) % 32) % 32;
    TAVPicture src, dst;
    src.data[0] = y.data(), src.data[1] = u.data(), src.data[2] = v.data();
    src.linesize[0] = w, src.linesize[1] = src.linesize[2] = w / 2;
    dst.data[0] = base + guard + start, dst.linesize[0] = ls;
    std::string err;
    ConvertPicture(src, dst, w, err, 0, FCC_ARGB, PIX_FMT_YUV420P, h, w, h, w, h);
    for (int32_t row = 0; row < h; ++row) {
      const uint8_t* out = dst.data[0] + ptrdiff_t(h - 1 - row) * ls;
      for (int32_t x = 0; x < w; ++x) {
        const int Y = y[row * w + x], U = u[x / 2], V = v[x / 2];
        const TYuvToBgraFactors f = RefFactors(PIX_FMT_YUV420P);
        const uint8_t want[4] = {YuvToB(Y, U, f), YuvToG(Y, U, V, f), YuvToR(Y, V, f), 0xFF};
        ASSERT_EQ(std::memcmp(out + 4 * x, want, 4), 0) << "row " << row << " pixel " << x;
      }
      for (int32_t k = 1; k <= start + guard - 16 && k <= 16; ++k)
        ASSERT_EQ(out[-k], 0xA5) << "before row " << row;
      for (int32_t k = 0; k < 16; ++k) ASSERT_EQ(out[4 * w + k], 0xA5) << "after row " << row;
    }
  }
}

TEST_F(ConvertPictureTest, UnsupportedSourceLeavesTheDestinationAlone) {
  std::vector<uint8_t> buf(64, 0x5A);
  TAVPicture src, dst;
  src.data[0] = dst.data[0] = buf.data();
  src.linesize[0] = dst.linesize[0] = 8;
  std::string err;
  // A hardware surface holds no samples in memory: it cannot be shown, and
  // the message names it.
  EXPECT_EQ(ConvertPicture(src, dst, 8, err, 1, FCC_YV12, AV_PIX_FMT_VAAPI, 8, 8, 8, 8, 8), 0);
  EXPECT_EQ(err, "Unsupported picture format: vaapi");
  EXPECT_EQ(buf, std::vector<uint8_t>(64, 0x5A));
}

TEST_F(ConvertPictureTest, UnknownDestinationCodeIsAProgrammingError) {
  std::vector<uint8_t> buf(256, 0);
  TAVPicture pic;
  for (int i = 0; i < 3; ++i) pic.data[i] = buf.data(), pic.linesize[i] = 8;
  std::string err;
  for (int32_t fmt : {int32_t(PIX_FMT_YUV420P), int32_t(PIX_FMT_BGR24)}) {
    try {
      ConvertPicture(pic, pic, 4, err, 0, MakeFourCC("NV12"), fmt, 4, 4, 4, 4, 4);
      ADD_FAILURE() << "no error for " << fmt;
    } catch (const std::logic_error& e) {
      EXPECT_EQ(std::string(e.what()),
                "Unexpected dst_fourcc: NV12 (src_pix_fmt: " + std::to_string(fmt) + ")");
    }
  }
  EXPECT_EQ(err, "");
}

// A 2 x 2 picture with U = 10 and V = 20 shows which plane gets which.
TEST_F(ConvertPictureTest, EncKeepsTheSourceChromaOrderAndYv12SwapsIt) {
  uint8_t y[4] = {1, 2, 3, 4}, u = 10, v = 20;
  TAVPicture src;
  src.data[0] = y, src.data[1] = &u, src.data[2] = &v;
  src.linesize[0] = 2, src.linesize[1] = src.linesize[2] = 1;
  for (auto [code, plane1, plane2] : {std::tuple{FCC_ENC, 10, 20}, {FCC_YV12, 20, 10}}) {
    uint8_t dy[4] = {}, d1 = 0, d2 = 0;
    TAVPicture dst;
    dst.data[0] = dy, dst.data[1] = &d1, dst.data[2] = &d2;
    dst.linesize[0] = 2, dst.linesize[1] = dst.linesize[2] = 1;
    std::string err;
    EXPECT_EQ(ConvertPicture(src, dst, 2, err, 1, code, PIX_FMT_YUV420P, 2, 2, 2, 2, 2), 6);
    EXPECT_EQ(d1, plane1) << FourCCText(code);
    EXPECT_EQ(d2, plane2) << FourCCText(code);
  }
}

TEST_F(ConvertPictureTest, Full444ChromaToUyvyKeepsTheEvenSamples) {
  uint8_t y[4] = {50, 51, 52, 53}, u[4] = {1, 2, 3, 4}, v[4] = {5, 6, 7, 8};
  TAVPicture src;
  src.data[0] = y, src.data[1] = u, src.data[2] = v;
  src.linesize[0] = src.linesize[1] = src.linesize[2] = 4;
  uint8_t out[8] = {};
  TAVPicture dst;
  dst.data[0] = out, dst.linesize[0] = 8;
  std::string err;
  EXPECT_EQ(ConvertPicture(src, dst, 4, err, 1, FCC_UYVY, PIX_FMT_YUVJ444P, 1, 4, 1, 4, 1), 8);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 8), (std::vector<uint8_t>{1, 50, 5, 51, 3, 52, 7, 53}));
}

// U comes from the first pixel's blue, V from the second one's red, both
// against the first pixel's luma.
TEST_F(ConvertPictureTest, PackedBgrChromaUsesTheFirstPixelsLuma) {
  uint8_t bgr[6] = {200, 100, 30, 10, 20, 240};  // Y0 = 110, Y1 = 90
  TAVPicture src;
  src.data[0] = bgr, src.linesize[0] = 6;
  uint8_t out[4] = {};
  TAVPicture dst;
  dst.data[0] = out, dst.linesize[0] = 4;
  std::string err;
  EXPECT_EQ(ConvertPicture(src, dst, 2, err, 0, FCC_YUY2, PIX_FMT_BGR24, 1, 2, 1, 2, 1), 4);
  EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{110, 218, 90, 255}));
}

// Every row of a packed source reaches the 32-bit picture, the bottom one too.
TEST_F(ConvertPictureTest, PackedBgrTo32BitWritesEveryContentRow) {
  std::vector<uint8_t> bgr(3 * 2 * 3, 7);
  TAVPicture src;
  src.data[0] = bgr.data(), src.linesize[0] = 6;
  std::vector<uint8_t> out(4 * 2 * 3, 0x33);
  TAVPicture dst;
  dst.data[0] = out.data(), dst.linesize[0] = 8;
  std::string err;
  EXPECT_EQ(ConvertPicture(src, dst, 2, err, 0, FCC_ARGB, PIX_FMT_BGR24, 3, 2, 3, 2, 3), 24);
  for (int i = 0; i < 6; ++i)
    EXPECT_EQ(std::vector<uint8_t>(out.begin() + 4 * i, out.begin() + 4 * i + 4),
              (std::vector<uint8_t>{7, 7, 7, 0xFF}));
}

// A content rectangle larger than the destination is cut to it instead of
// being written outside the caller's buffer.
TEST_F(ConvertPictureTest, OversizedContentStaysInsideTheDestination) {
  std::mt19937 rng(7);
  for (TFourCC code : kAllCodes) {
    Picture src = MakeSource(kPlanarFormats[0], 20, 10, rng);
    Picture a = MakeDestination(code, 16, 8, rng), b = a;
    std::string err;
    const int32_t big =
        ConvertPicture(src.View(), a.View(), 20, err, 1, code, PIX_FMT_YUV420P, 8, 16, 40, 90, 10);
    const int32_t fit =
        ConvertPicture(src.View(), b.View(), 20, err, 1, code, PIX_FMT_YUV420P, 8, 16, 8, 16, 10);
    EXPECT_EQ(big, fit) << FourCCText(code);
    EXPECT_TRUE(a == b) << FourCCText(code);
  }
}

TEST_F(ConvertPictureTest, ScratchBufferOnlyGrows) {
  FreeConvertScratch();
  std::mt19937 rng(3);
  auto convert = [&](int32_t w, int32_t h) {
    Picture src = MakeSource(kPlanarFormats[0], w, h, rng);
    Picture dst = MakeDestination(FCC_UYVY, w, h, rng);
    std::string err;
    ConvertPicture(src.View(), dst.View(), w, err, 1, FCC_UYVY, PIX_FMT_YUV420P, h, w, h, w, h);
  };
  convert(64, 32);
  EXPECT_EQ(ConvertScratchCapacity(), 64 * 32 * 3 / 2);
  convert(16, 8);
  EXPECT_EQ(ConvertScratchCapacity(), 64 * 32 * 3 / 2);
  convert(66, 40);
  EXPECT_EQ(ConvertScratchCapacity(), 66 * 40 + 2 * 33 * 20);
}

TEST(BorderSizes, OddDifferencesGoRightAndDown) {
  struct Case {
    int32_t dw, dh, cw, ch;
    TBorders want;
  };
  for (const Case& c : {Case{10, 10, 10, 10, {0, 0, 0, 0}}, Case{11, 7, 8, 4, {1, 2, 1, 2}},
                        Case{12, 9, 6, 2, {3, 3, 3, 4}}}) {
    const TBorders b = BorderSizes(c.dw, c.dh, c.cw, c.ch);
    EXPECT_EQ(b.Left, c.want.Left);
    EXPECT_EQ(b.Right, c.want.Right);
    EXPECT_EQ(b.Top, c.want.Top);
    EXPECT_EQ(b.Bottom, c.want.Bottom);
  }
}

}  // namespace
}  // namespace vexo

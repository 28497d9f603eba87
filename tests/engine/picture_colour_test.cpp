// Colour bars through the conversion, against libswscale's own RGB of the same
// samples with the same matrix and range.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/media/media_lib.h"
#include "engine/video/av_scale.h"
#include "engine/video/picture_colour.h"

namespace vexo {
namespace {

// White, yellow, cyan, green, magenta, red, blue, black as R, G, B.
const uint8_t kBars[8][3] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                             {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};

struct TBarsCase {
  const char* Name;
  TColourMatrix Matrix;  // what the picture is made with
  TColourRange Range;
  bool Tagged;  // whether the picture says so
  int32_t Width, Height;
  AVPixelFormat Format;
};

class ColourBars : public ::testing::TestWithParam<TBarsCase> {
 protected:
  void SetUp() override { ASSERT_TRUE(MediaLibLoad()); }
};

struct TImage {
  std::vector<uint8_t> Buf;
  TAVPicture Pic;
};

TImage Allocate(AVPixelFormat fmt, int32_t w, int32_t h) {
  TImage img;
  img.Buf.resize(size_t(ff::av_image_get_buffer_size(fmt, w, h, 1)));
  ff::av_image_fill_arrays(img.Pic.data, img.Pic.linesize, img.Buf.data(), fmt, w, h, 1);
  return img;
}

// libswscale from `from` to `to`, the Y, Cb, Cr side in `matrix` and `full` range.
void Swscale(const TAVPicture& src, AVPixelFormat from, TAVPicture& dst, AVPixelFormat to,
             int32_t w, int32_t h, TColourMatrix matrix, bool full) {
  SwsContext* ctx =
      ff::sws_getCachedContext(nullptr, w, h, from, w, h, to, SWS_POINT, nullptr, nullptr, nullptr);
  ASSERT_NE(ctx, nullptr);
  const int* table = ff::sws_getCoefficients(SwsColourSpace(matrix));
  ff::sws_setColorspaceDetails(ctx, table, full, table, full, 0, 1 << 16, 1 << 16);
  ff::sws_scale(ctx, src.data, src.linesize, 0, h, dst.data, dst.linesize);
  ff::sws_freeContext(ctx);
}

TEST_P(ColourBars, ConvertLikeLibswscaleWithinTwoLevels) {
  const TBarsCase& c = GetParam();
  const int32_t w = c.Width, h = c.Height;
  TImage rgb = Allocate(AV_PIX_FMT_RGB24, w, h);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      std::copy_n(kBars[x * 8 / w], 3, rgb.Pic.data[0] + y * rgb.Pic.linesize[0] + 3 * x);
  const bool full = c.Range == TColourRange::Full;
  TImage yuv = Allocate(c.Format, w, h);
  Swscale(rgb.Pic, AV_PIX_FMT_RGB24, yuv.Pic, c.Format, w, h, c.Matrix, full);
  TImage want = Allocate(AV_PIX_FMT_BGRA, w, h);
  Swscale(yuv.Pic, c.Format, want.Pic, AV_PIX_FMT_BGRA, w, h, c.Matrix, full);

  if (c.Tagged) yuv.Pic.Colour = {c.Matrix, c.Range};
  // The raster and colour-texture modes, and snapshots, take 32-bit pictures
  // bottom-up.
  std::vector<uint8_t> out(size_t(w) * h * 4);
  TAVPicture dst;
  dst.data[0] = out.data();
  dst.linesize[0] = 4 * w;
  std::string err;
  ConvertPicture(yuv.Pic, dst, w, err, 1, FCC_ARGB, c.Format, h, w, h, w, h);
  ASSERT_EQ(err, "");
  int worst = 0;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < 4 * w; ++x) {
      const int a = out[size_t(h - 1 - y) * 4 * w + x];
      const int b = want.Pic.data[0][y * want.Pic.linesize[0] + x];
      worst = std::max(worst, std::abs(a - b));
    }
  RecordProperty("worst_level_difference", worst);
  EXPECT_LE(worst, 2);
  // The red bar is red, not the washed-out (209, 31, 3) of the analogue formula.
  const uint8_t* red = &out[size_t(h / 2) * 4 * w + 4 * (5 * w / 8 + w / 16)];
  EXPECT_GE(red[2], 250);
  EXPECT_LE(red[1], 3);
  EXPECT_LE(red[0], 3);
  // The Y, Cb, Cr destinations keep the samples and tell their meaning.
  EXPECT_EQ(ConvertedColour(), ResolvedColour(yuv.Pic.Colour, c.Format, w, h));
  EXPECT_EQ(ConvertedColour().Matrix, c.Matrix);
  EXPECT_EQ(ConvertedColour().Range, c.Range);
}

std::string CaseName(const ::testing::TestParamInfo<TBarsCase>& info) {
  return info.param.Name;
}

using M = TColourMatrix;
using R = TColourRange;
INSTANTIATE_TEST_SUITE_P(
    Pictures, ColourBars,
    ::testing::Values(
        TBarsCase{"Bt601LimitedSd", M::Bt601, R::Limited, true, 720, 480, AV_PIX_FMT_YUV420P},
        TBarsCase{"Bt709LimitedHd", M::Bt709, R::Limited, true, 1280, 720, AV_PIX_FMT_YUV420P},
        TBarsCase{"Bt709LimitedSd", M::Bt709, R::Limited, true, 720, 480, AV_PIX_FMT_YUV420P},
        TBarsCase{"Bt601LimitedHd", M::Bt601, R::Limited, true, 1280, 720, AV_PIX_FMT_YUV420P},
        TBarsCase{"Bt601FullSd", M::Bt601, R::Full, true, 720, 480, AV_PIX_FMT_YUV420P},
        TBarsCase{"Bt709FullHd", M::Bt709, R::Full, true, 1280, 720, AV_PIX_FMT_YUV420P},
        TBarsCase{"Bt2020LimitedHd", M::Bt2020, R::Limited, true, 1280, 720, AV_PIX_FMT_YUV420P},
        // Untagged: limited range, the matrix guessed by size.
        TBarsCase{"UntaggedSdIsBt601", M::Bt601, R::Limited, false, 720, 576, AV_PIX_FMT_YUV420P},
        TBarsCase{"UntaggedHdIsBt709", M::Bt709, R::Limited, false, 1920, 1080, AV_PIX_FMT_YUV420P},
        // A JPEG photo's full-range format, untagged, and limited 4:2:2 and 4:4:4.
        TBarsCase{"JpegFullRange", M::Bt601, R::Full, false, 640, 480, AV_PIX_FMT_YUVJ420P},
        TBarsCase{"Limited422", M::Bt709, R::Limited, true, 1280, 720, AV_PIX_FMT_YUV422P},
        TBarsCase{"Limited444", M::Bt601, R::Limited, true, 640, 480, AV_PIX_FMT_YUV444P}),
    CaseName);

}  // namespace
}  // namespace vexo

namespace vexo {
namespace {

// Pictures with alpha are composed over black: a half-transparent white shows
// mid grey and a transparent colour black, whether the picture is R, G, B or
// Y, Cb, Cr.
TEST(AlphaPictures, AreComposedOverBlack) {
  ASSERT_TRUE(MediaLibLoad());
  struct TPixel {
    uint8_t R, G, B, A;
    uint8_t Shown;  // the grey level (or red level for red) expected
  };
  // Two-pixel columns, so that every chroma sample covers one kind of pixel.
  const TPixel pixels[4] = {{255, 0, 0, 255, 255},
                            {255, 255, 255, 128, 128},
                            {0, 255, 0, 0, 0},
                            {255, 255, 255, 255, 255}};
  const int32_t w = 8, h = 2;
  std::vector<uint8_t> rgba(size_t(w) * h * 4);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const TPixel& p = pixels[x / 2];
      uint8_t* o = &rgba[size_t(y * w + x) * 4];
      o[0] = p.R, o[1] = p.G, o[2] = p.B, o[3] = p.A;
    }
  for (AVPixelFormat fmt : {AV_PIX_FMT_RGBA, AV_PIX_FMT_YUVA420P}) {
    SCOPED_TRACE(ff::av_get_pix_fmt_name(fmt));
    TImage src = Allocate(fmt, w, h);
    TAVPicture packed;
    packed.data[0] = rgba.data();
    packed.linesize[0] = 4 * w;
    if (fmt == AV_PIX_FMT_RGBA) {
      std::copy(rgba.begin(), rgba.end(), src.Buf.begin());
    } else {
      SwsContext* ctx = ff::sws_getCachedContext(nullptr, w, h, AV_PIX_FMT_RGBA, w, h, fmt,
                                                 SWS_POINT, nullptr, nullptr, nullptr);
      ASSERT_NE(ctx, nullptr);
      ff::sws_scale(ctx, packed.data, packed.linesize, 0, h, src.Pic.data, src.Pic.linesize);
      ff::sws_freeContext(ctx);
    }
    std::vector<uint8_t> out(size_t(w) * h * 4);
    TAVPicture dst;
    dst.data[0] = out.data();
    dst.linesize[0] = 4 * w;
    std::string err;
    ConvertPicture(src.Pic, dst, w, err, 1, FCC_ARGB, fmt, h, w, h, w, h);
    ASSERT_EQ(err, "");
    for (int32_t x = 0; x < w; ++x) {
      const TPixel& p = pixels[x / 2];
      const uint8_t* o = &out[size_t(4 * x)];
      SCOPED_TRACE("pixel " + std::to_string(x));
      EXPECT_NEAR(o[2], p.R ? p.Shown : 0, 3);
      EXPECT_NEAR(o[1], p.G && p.R ? p.Shown : 0, 3);
      EXPECT_NEAR(o[0], p.B && p.R ? p.Shown : 0, 3);
    }
  }
}

}  // namespace
}  // namespace vexo

#include "engine/video/av_screen_utils.h"

#include <gtest/gtest.h>

namespace vexo {
namespace {

TEST(PackPixel, KeysFitTheSurfaceLayout) {
  struct Case {
    const char* name;
    TDevicePixelFormat format;
    uint32_t color;
    uint32_t key;
  };
  const Case cases[] = {
      // 16-bit surfaces drop the low bits of each channel.
      {"RGB565", {32, 0, 0, 16, 0xF800, 0x07E0, 0x001F, 0}, 0x00FF8040, 0x441F},
      {"RGB555", {32, 0, 0, 16, 0x7C00, 0x03E0, 0x001F, 0}, 0x00FF8040, 0x221F},
      {"RGB565 white", {32, 0, 0, 16, 0xF800, 0x07E0, 0x001F, 0}, 0x00FFFFFF, 0xFFFF},
      // Wider surfaces keep every bit; red is the low byte of the colour.
      {"XRGB32", {32, 0, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0}, 0x00FF8040, 0x004080FF},
      {"XBGR32", {32, 0, 0, 32, 0xFF, 0xFF00, 0xFF0000, 0}, 0x00FF8040, 0x00FF8040},
      {"RGB24", {32, 0, 0, 24, 0xFF0000, 0xFF00, 0xFF, 0}, 0x00090909, 0x00090909},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PackPixel(c.color, MakeSurfacePixelFormat(c.format)), c.key) << c.name;
}

TEST(SurfacePixelFormat, DerivesShiftsMaximaAndLosses) {
  const TSurfacePixelFormat f = MakeSurfacePixelFormat({32, 0, 0, 16, 0xF800, 0x07E0, 0x001F, 0});
  EXPECT_EQ(f.Shift[0], 11);
  EXPECT_EQ(f.Shift[1], 5);
  EXPECT_EQ(f.Shift[2], 0);
  EXPECT_EQ(f.Shift[3], 0);
  EXPECT_EQ(f.Max[0], 31);
  EXPECT_EQ(f.Max[1], 63);
  EXPECT_EQ(f.Max[3], 0);
  EXPECT_EQ(f.Loss[0], 3);
  EXPECT_EQ(f.Loss[1], 2);
  EXPECT_EQ(f.Loss[3], 8);
  EXPECT_EQ(f.BytesPerPixel, 2);
}

TEST(FrameLayout, LineAndPictureBytesPerFourCC) {
  struct Case {
    TFourCC fourCC;
    int32_t pixFmt;
    bool planar;
    int32_t lineBytes;     // at width 322
    int32_t pictureBytes;  // at 322 x 241
  };
  const Case cases[] = {
      {FCC_YV12, AV_PIX_FMT_YUV420P, true, 322, 322 * 241 + 2 * 161 * 121},
      {FCC_GRAY, AV_PIX_FMT_YUV420P, true, 322, 322 * 241},
      {FCC_UYVY, AV_PIX_FMT_UYVY422, false, 644, 644 * 241},
      {FCC_YUY2, AV_PIX_FMT_YUYV422, false, 644, 644 * 241},
      {FCC_ARGB, AV_PIX_FMT_RGB32, false, 1288, 1288 * 241},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(FourCCText(c.fourCC));
    EXPECT_EQ(PixFmtOfFourCC(c.fourCC), c.pixFmt);
    EXPECT_EQ(IsPlanarPixFmt(PixFmtOfFourCC(c.fourCC)), c.planar);
    EXPECT_EQ(FourCCLineBytes(c.fourCC, 322), c.lineBytes);
    EXPECT_EQ(FourCCPictureBytes(c.fourCC, 322, 241), c.pictureBytes);
    // Every layout fits the 32-bit frame bitmap of the same size.
    EXPECT_LE(c.pictureBytes, 322 * 4 * 241);
  }
}

TEST(NextPowerOfTwo, RoundsUpOnlyWhenNeeded) {
  EXPECT_EQ(NextPowerOfTwo(1), 1);
  EXPECT_EQ(NextPowerOfTwo(320), 512);
  EXPECT_EQ(NextPowerOfTwo(512), 512);
  EXPECT_EQ(NextPowerOfTwo(513), 1024);
}

TEST(ClipOverlayToScreen, CutsDestinationAndSourceAtScreenEdges) {
  struct Case {
    const char* name;
    TVideoRect dest;
    TVideoRect expectSource;
    TVideoRect expectDest;
  };
  const TVideoRect source{0, 0, 639, 479};
  const Case cases[] = {
      {"inside", {100, 100, 739, 579}, source, {100, 100, 739, 579}},
      // 280 of 399 destination pixels stay visible: 639 * 0.7017 = 448.4.
      {"past right", {1000, 100, 1399, 399}, {0, 0, 448, 479}, {1000, 100, 1280, 399}},
      {"past bottom", {0, 900, 639, 1199}, {0, 0, 639, 198}, {0, 900, 639, 1024}},
      // 200 of 799 pixels hidden on the left: 639 * 0.2503 = 159.95.
      {"left of screen", {-200, 0, 599, 599}, {159, 0, 640, 479}, {0, 0, 599, 599}},
      {"above screen", {0, -100, 399, 199}, {0, 160, 639, 480}, {0, 0, 399, 199}},
      // Left and top both negative: only the left is cut.
      {"left and above", {-100, -100, 299, 299}, {160, 0, 640, 479}, {0, -100, 299, 299}},
  };
  for (const Case& c : cases) {
    TVideoRect src = source, dst = c.dest;
    ClipOverlayToScreen(src, dst, 1280, 1024);
    EXPECT_EQ(src, c.expectSource) << c.name;
    EXPECT_EQ(dst, c.expectDest) << c.name;
  }
}

}  // namespace
}  // namespace vexo

// Clips of every family of pixel formats: the snapshot of the first picture
// against ffmpeg's own conversion of it to R, G, B, and the same picture in
// every output layout of the screen.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "engine/input/av_in_file_list.h"
#include "engine/media/av_types.h"
#include "engine/playlist/av_playlist.h"
#include "engine/video/av_screen.h"
#include "tests/support/decode_rig.h"
#include "tests/support/test_in_file.h"
#include "tests/support/test_media.h"

namespace vexo {
namespace {

struct TFamily {
  const char* File;
  int32_t PixFmt;  // what the decoder gives
};

const TFamily kFamilies[] = {
    {"numbered_hevc10.mp4", AV_PIX_FMT_YUV420P10LE},
    {"numbered_h264_422.mkv", AV_PIX_FMT_YUV422P},
    {"numbered_h264_444.mkv", AV_PIX_FMT_YUV444P},
    {"numbered_prores.mov", AV_PIX_FMT_YUV422P10LE},
    {"numbered_vp9_10bit.webm", AV_PIX_FMT_YUV420P10LE},
    {"numbered_vp9_alpha.webm", AV_PIX_FMT_YUV420P},
    {"numbered_av1_10bit.mkv", AV_PIX_FMT_YUV420P10LE},
    {"numbered_rgb24.mov", AV_PIX_FMT_RGB24},
    {"numbered_grey.mkv", AV_PIX_FMT_GRAY8},
    {"picture.png", AV_PIX_FMT_RGB24},
};

class PictureFormats : public ::testing::TestWithParam<TFamily> {
 protected:
  void SetUp() override {
    test::LoadMediaLib();
    AVParams = DefaultAVParams;
  }
  void TearDown() override { AVParams = DefaultAVParams; }
};

// ffmpeg's first picture of `path` as B, G, R, A rows, top-down.
std::vector<uint8_t> FfmpegBgra(const std::string& path) {
  char name[] = "/tmp/vexo-bgra-XXXXXX";
  const int fd = mkstemp(name);
  if (fd < 0) return {};
  close(fd);
  const std::string command = "ffmpeg -hide_banner -loglevel error -nostdin -y -i '" + path +
                              "' -frames:v 1 -pix_fmt bgra -f rawvideo '" + name + "'";
  std::vector<uint8_t> bytes;
  if (std::system(command.c_str()) == 0) {
    std::ifstream in(name, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  std::remove(name);
  return bytes;
}

double Psnr(double sumSquares, size_t samples) {
  if (sumSquares == 0) return 99;
  return 10 * std::log10(255.0 * 255.0 * double(samples) / sumSquares);
}

TEST_P(PictureFormats, SnapshotMatchesFfmpegsOwnConversion) {
  const TFamily& family = GetParam();
  TAVPlayList playList;
  playList.Add(test::MediaPath(family.File));
  std::string error, errorFile;
  TAVInFileList list(playList, TScreenSize{1920, 1080}, true, true, true, error, errorFile,
                     nullptr);
  ASSERT_EQ(error, "");
  TAVScreen screen(list.FrameWidth, list.FrameHeight, vmGDI, nullptr, 0, true, 0, 0,
                   list.FrameWidth, list.FrameHeight, list.FrameAspect);
  ASSERT_EQ(list.DecodeVideo(screen, dfShow), drPicture) << screen.FErrMsg;
  ASSERT_EQ(list.CurFileRef->DecFrame->format, family.PixFmt);
  TBitmap32 bitmap;
  ASSERT_TRUE(list.RenderToBitmap(bitmap, 0, 0, 0));
  const std::vector<uint8_t> want = FfmpegBgra(test::MediaPath(family.File));
  const int32_t w = bitmap.Width, h = bitmap.Height;
  ASSERT_EQ(want.size(), size_t(w) * size_t(h) * 4) << w << "x" << h;
  double sum = 0;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x)
      for (int c = 0; c < 3; ++c) {
        const double d = double(bitmap.Pixels[size_t(h - 1 - y) * bitmap.Stride() + 4 * x + c]) -
                         want[(size_t(y) * w + x) * 4 + c];
        sum += d * d;
      }
  // Rounding and dithering on two roads to 8 bits differ by a level or two
  // here and there: 40 dB is an average error below 2.6 levels. A wrong matrix,
  // range or plane order costs far more.
  const double psnr = Psnr(sum, size_t(w) * h * 3);
  RecordProperty("psnr", std::to_string(psnr));
  EXPECT_GE(psnr, 40.0) << family.File;
}

// Each output layout of the screen gets the picture: the frame number reads
// back from every one of them (overlay and OpenGL layouts are Y, Cb, Cr).
TEST_P(PictureFormats, EveryOutputLayoutShowsThePicture) {
  const TFamily& family = GetParam();
  if (std::string(family.File) == "picture.png") GTEST_SKIP() << "no frame number";
  for (uint8_t mode : {vmOverlay, vmDDraw, vmGDI, vmD3D, vmD3D_ARGB}) {
    SCOPED_TRACE("mode " + std::to_string(mode));
    test::TDecodeRig rig(320, 240, mode);
    auto file = rig.Open(family.File);
    for (int frame = 0; frame < 3; ++frame) {
      ASSERT_EQ(file->DecodeVideo(*rig.Screen, nullptr, dfShow, frame == 0), drPicture)
          << rig.Screen->FErrMsg;
      EXPECT_EQ(test::ReadFrameNumber(*rig.Screen), frame);
    }
  }
}

std::string FamilyName(const ::testing::TestParamInfo<TFamily>& info) {
  return test::TestName(info.param.File);
}

INSTANTIATE_TEST_SUITE_P(Families, PictureFormats, ::testing::ValuesIn(kFamilies), FamilyName);

}  // namespace
}  // namespace vexo

namespace vexo {
namespace {

// A stream whose pixel format changes midway plays on: every picture of both
// halves is shown, in order, in each layout.
TEST(PictureFormatChange, IsFollowedNotFatal) {
  test::LoadMediaLib();
  for (uint8_t mode : {vmDDraw, vmGDI}) {
    SCOPED_TRACE("mode " + std::to_string(mode));
    test::TDecodeRig rig(320, 240, mode);
    auto file = rig.Open("format_change.ts");
    std::vector<int32_t> formats;
    int32_t shown = 0;
    for (; shown < 60; ++shown) {
      const int r = file->DecodeVideo(*rig.Screen, nullptr, dfShow, shown == 0);
      if (r != drPicture) break;
      EXPECT_EQ(rig.Screen->FErrMsg, "");
      // Each half numbers its frames from 0.
      EXPECT_EQ(test::ReadFrameNumber(*rig.Screen), shown % 25) << "picture " << shown;
      if (formats.empty() || formats.back() != file->DecFrame->format)
        formats.push_back(file->DecFrame->format);
    }
    EXPECT_EQ(shown, 50);
    EXPECT_EQ(formats, (std::vector<int32_t>{AV_PIX_FMT_YUV420P, AV_PIX_FMT_YUV422P}));
  }
}

}  // namespace
}  // namespace vexo

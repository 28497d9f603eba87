// Clips of every family of pixel formats: the snapshot of the first picture
// against ffmpeg's own conversion of it to R, G, B, and the same picture in
// every output layout of the screen.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
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
#include "engine/media/media_lib.h"
#include "engine/playlist/av_playlist.h"
#include "engine/video/av_scale.h"
#include "engine/video/av_screen.h"
#include "engine/video/tone_map.h"
#include "tests/support/decode_rig.h"
#include "tests/support/hdr_reference.h"
#include "tests/support/test_in_file.h"
#include "tests/support/test_media.h"

namespace vexo {
namespace {

using test::FfmpegBgra;
using test::kToneMapChain;
using test::LumaPsnr;
using test::MeanLuma;
using test::Psnr;

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

// FFmpeg bound, and the engine's parameters as they start (a test may change them).
template <class TCase>
class TMediaParamTest : public ::testing::TestWithParam<TCase> {
 protected:
  void SetUp() override {
    test::LoadMediaLib();
    AVParams = DefaultAVParams;
  }
  void TearDown() override { AVParams = DefaultAVParams; }
};

class PictureFormats : public TMediaParamTest<TFamily> {};

// The snapshot of the first picture of `file` at the frame's size, as
// top-down B, G, R, A rows; the decoded pixel format in `pixFmt`.
std::vector<uint8_t> SnapshotOf(const char* file, int32_t& w, int32_t& h, int32_t& pixFmt) {
  TAVPlayList playList;
  playList.Add(test::MediaPath(file));
  std::string error, errorFile;
  TAVInFileList list(playList, TScreenSize{1920, 1080}, true, true, true, error, errorFile,
                     nullptr);
  EXPECT_EQ(error, "");
  TAVScreen screen(list.FrameWidth, list.FrameHeight, vmRaster, nullptr, 0, true, 0, 0,
                   list.FrameWidth, list.FrameHeight, list.FrameAspect);
  TBitmap32 bitmap;
  if (list.DecodeVideo(screen, dfShow) != drPicture) {
    ADD_FAILURE() << file << ": " << screen.FErrMsg;
    return {};
  }
  // A photo's frame takes the screen's shape: its own size is asked for.
  const AVFrame& decoded = *list.CurFileRef->DecFrame;
  const bool photo = list.CurFileRef->IsImage;
  if (!(photo ? list.RenderToBitmap(bitmap, decoded.width,
                                    float(decoded.width) / float(decoded.height), decoded.height)
              : list.RenderToBitmap(bitmap, 0, 0, 0))) {
    ADD_FAILURE() << file << ": " << screen.FErrMsg;
    return {};
  }
  pixFmt = list.CurFileRef->DecFrame->format;
  w = bitmap.Width, h = bitmap.Height;
  std::vector<uint8_t> rows(size_t(w) * h * 4);
  for (int32_t y = 0; y < h; ++y)
    std::copy_n(&bitmap.Pixels[size_t(h - 1 - y) * bitmap.Stride()], 4 * w,
                &rows[size_t(y) * w * 4]);
  return rows;
}

TEST_P(PictureFormats, SnapshotMatchesFfmpegsOwnConversion) {
  const TFamily& family = GetParam();
  int32_t w = 0, h = 0, pixFmt = -1;
  const std::vector<uint8_t> ours = SnapshotOf(family.File, w, h, pixFmt);
  ASSERT_EQ(pixFmt, family.PixFmt);
  const std::vector<uint8_t> want = FfmpegBgra(test::MediaPath(family.File));
  ASSERT_EQ(want.size(), ours.size()) << w << "x" << h;
  double sum = 0;
  for (size_t i = 0; i < ours.size(); ++i) {
    if (i % 4 == 3) continue;
    const double d = double(ours[i]) - want[i];
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
  for (uint8_t mode : {vmXVideo, vmGLShader, vmRaster, vmGLTextureGrey, vmGLTextureArgb}) {
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
  for (uint8_t mode : {vmGLShader, vmRaster}) {
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

namespace vexo {
namespace {

struct THdrCase {
  const char* File;
};

class HdrPictures : public TMediaParamTest<THdrCase> {};

// The tone-mapped snapshot against ffmpeg's own chain: the same curve on the
// same light, so a grey ramp comes out identical; across the colourful test
// pattern the luma agrees within 28 dB (the chain's 4:2:0 end filters chroma
// that ours keeps) and the mean brightness within 4 levels. Untouched, the
// picture is far off (about 19 dB, 20 levels brighter). Switched off, the
// samples are shown as they are.
TEST_P(HdrPictures, SnapshotIsToneMappedLikeFfmpegsChain) {
  int32_t w = 0, h = 0, pixFmt = -1;
  const std::vector<uint8_t> ours = SnapshotOf(GetParam().File, w, h, pixFmt);
  const std::vector<uint8_t> want = FfmpegBgra(test::MediaPath(GetParam().File), kToneMapChain);
  ASSERT_EQ(want.size(), ours.size());
  const double psnr = LumaPsnr(ours, want);
  const double luma = MeanLuma(ours), wantLuma = MeanLuma(want);
  RecordProperty("psnr", std::to_string(psnr));
  RecordProperty("mean_luma", std::to_string(luma));
  RecordProperty("reference_mean_luma", std::to_string(wantLuma));
  std::printf("%s: PSNR %.2f dB, mean luma %.1f (reference %.1f)\n", GetParam().File, psnr, luma,
              wantLuma);
  EXPECT_GE(psnr, 28.0);
  EXPECT_NEAR(luma, wantLuma, 4.0);

  AVParams.ToneMap = 0;
  const std::vector<uint8_t> plain = SnapshotOf(GetParam().File, w, h, pixFmt);
  const double plainPsnr = LumaPsnr(plain, want);
  std::printf("%s without tone mapping: PSNR %.2f dB, mean luma %.1f\n", GetParam().File, plainPsnr,
              MeanLuma(plain));
  EXPECT_LT(plainPsnr, psnr);
}

// An HDR picture in other layouts than the decoder's planar 10 bits, as
// hardware decoders and 8-bit encoders give them, is tone-mapped the same:
// semi-planar 10 bits (P010) and planar 12 bits exactly, 8 bits within the
// rounding of their samples (about 53 dB; untouched, they are 20 dB off).
// So is the same picture stored in full range (read as limited, its
// contrast and colours are off, about 37 dB).
TEST(HdrLayouts, AreToneMappedAlike) {
  test::LoadMediaLib();
  AVParams = DefaultAVParams;
  TAVPlayList playList;
  playList.Add(test::MediaPath("hlg.mp4"));
  std::string error, errorFile;
  TAVInFileList list(playList, TScreenSize{1920, 1080}, true, true, true, error, errorFile,
                     nullptr);
  TAVScreen screen(list.FrameWidth, list.FrameHeight, vmRaster, nullptr, 0, true, 0, 0,
                   list.FrameWidth, list.FrameHeight, list.FrameAspect);
  ASSERT_EQ(list.DecodeVideo(screen, dfShow), drPicture);
  const AVFrame& frame = *list.CurFileRef->DecFrame;
  ASSERT_EQ(frame.format, AV_PIX_FMT_YUV420P10LE);
  const int32_t w = frame.width, h = frame.height;
  auto toBgra = [&](const TAVPicture& src, int32_t pixFmt) {
    return test::CpuBgra(src, pixFmt, w, h);
  };
  const TAVPicture decoded = PictureOfFrame(frame);
  const std::vector<uint8_t> want = toBgra(decoded, frame.format);
  struct TLayout {
    AVPixelFormat Format;
    double MinPsnr;
    bool FullRange = false;
  };
  for (const TLayout layout :
       {TLayout{AV_PIX_FMT_P010LE, 99}, TLayout{AV_PIX_FMT_YUV420P, 45},
        TLayout{AV_PIX_FMT_NV12, 45}, TLayout{AV_PIX_FMT_YUV422P12LE, 60},
        TLayout{AV_PIX_FMT_YUV420P10LE, 45, true}, TLayout{AV_PIX_FMT_YUV420P, 45, true}}) {
    SCOPED_TRACE(PixFmtText(layout.Format) + (layout.FullRange ? " full range" : ""));
    AVFrame* other = ff::av_frame_alloc();
    other->format = layout.Format, other->width = w, other->height = h;
    ASSERT_EQ(ff::av_frame_get_buffer(other, 0), 0);
    if (layout.FullRange) {
      // Full range by its definition: codes 0 to 2^n - 1 for Y, 2^(n-1) for
      // no colour, where limited range leaves a foot and a head room.
      const bool words = layout.Format == AV_PIX_FMT_YUV420P10LE;
      const double top = words ? 1023 : 255, mid = words ? 512 : 128;
      for (int plane = 0; plane < 3; ++plane) {
        const int32_t pw = plane ? (w + 1) / 2 : w, ph = plane ? (h + 1) / 2 : h;
        for (int32_t row = 0; row < ph; ++row) {
          const auto* in =
              reinterpret_cast<const uint16_t*>(frame.data[plane] + row * frame.linesize[plane]);
          uint8_t* out = other->data[plane] + row * other->linesize[plane];
          for (int32_t x = 0; x < pw; ++x) {
            const double v = plane ? (in[x] - 512) / 896.0 * top + mid : (in[x] - 64) / 876.0 * top;
            const auto code = uint16_t(std::clamp(std::lround(v), 0L, long(top)));
            if (words)
              reinterpret_cast<uint16_t*>(out)[x] = code;
            else
              out[x] = uint8_t(code);
          }
        }
      }
    } else {
      SwsContext* sws =
          ff::sws_getCachedContext(nullptr, w, h, AVPixelFormat(frame.format), w, h, layout.Format,
                                   SWS_POINT, nullptr, nullptr, nullptr);
      ASSERT_NE(sws, nullptr);
      ff::sws_scale(sws, frame.data, frame.linesize, 0, h, other->data, other->linesize);
      ff::sws_freeContext(sws);
    }
    TAVPicture pic = PictureOfFrame(*other);
    pic.Colour = decoded.Colour;
    if (layout.FullRange) pic.Colour.Range = TColourRange::Full;
    const double psnr = LumaPsnr(toBgra(pic, layout.Format), want);
    std::printf("%s%s: PSNR %.2f dB against planar 10 bits\n", PixFmtText(layout.Format).c_str(),
                layout.FullRange ? " full range" : "", psnr);
    EXPECT_GE(psnr, layout.MinPsnr);
    ff::av_frame_free(&other);
  }
  AVParams = DefaultAVParams;
}

// What the shader mode's device gets of an HDR picture: its samples whole,
// as 16-bit words with the codes in the high bits, whatever the 4:2:0
// layout (planar 10 bits, semi-planar P010 and NV12, 8 bits).
TEST(HdrLayouts, GiveTheShaderTheirSamplesWhole) {
  test::LoadMediaLib();
  constexpr int32_t w = 6, h = 4;
  struct TLayout {
    AVPixelFormat Format;
    int Bits;
  };
  for (const TLayout layout : {TLayout{AV_PIX_FMT_YUV420P10LE, 10}, TLayout{AV_PIX_FMT_P010LE, 10},
                               TLayout{AV_PIX_FMT_NV12, 8}, TLayout{AV_PIX_FMT_YUV420P, 8},
                               TLayout{AV_PIX_FMT_YUV420P12LE, 12}}) {
    SCOPED_TRACE(PixFmtText(layout.Format));
    ASSERT_TRUE(HasDeepPlanes(layout.Format));
    AVFrame* frame = ff::av_frame_alloc();
    frame->format = layout.Format, frame->width = w, frame->height = h;
    ASSERT_EQ(ff::av_frame_get_buffer(frame, 0), 0);
    const AVPixFmtDescriptor* d = ff::av_pix_fmt_desc_get(layout.Format);
    // Each sample its own code: component c at (x, y) holds c * 37 + y * 7 + x.
    auto code = [&](int c, int x, int y) { return (c * 37 + y * 7 + x) % (1 << layout.Bits); };
    for (int c = 0; c < 3; ++c) {
      const AVComponentDescriptor& k = d->comp[c];
      const int32_t pw = c ? w / 2 : w, ph = c ? h / 2 : h;
      for (int32_t y = 0; y < ph; ++y)
        for (int32_t x = 0; x < pw; ++x) {
          uint8_t* p = frame->data[k.plane] + y * frame->linesize[k.plane] + k.offset + x * k.step;
          const unsigned v = unsigned(code(c, x, y)) << k.shift;
          if (k.depth + k.shift > 8)
            reinterpret_cast<uint16_t*>(p)[0] = uint16_t(v);
          else
            p[0] = uint8_t(v);
        }
    }
    std::vector<uint16_t> planes(
        size_t(ff::av_image_get_buffer_size(AV_PIX_FMT_YUV420P16, w, h, 1)) / 2);
    TAVPicture dst;
    ff::av_image_fill_arrays(dst.data, dst.linesize, reinterpret_cast<uint8_t*>(planes.data()),
                             AV_PIX_FMT_YUV420P16, w, h, 1);
    DeepPlanes(PictureOfFrame(*frame), layout.Format, w, h, dst);
    for (int c = 0; c < 3; ++c) {
      const int32_t pw = c ? w / 2 : w, ph = c ? h / 2 : h;
      for (int32_t y = 0; y < ph; ++y)
        for (int32_t x = 0; x < pw; ++x)
          EXPECT_EQ(reinterpret_cast<const uint16_t*>(dst.data[c] + y * dst.linesize[c])[x],
                    code(c, x, y) << (16 - layout.Bits))
              << "component " << c << " at " << x << "," << y;
    }
    ff::av_frame_free(&frame);
  }
  EXPECT_FALSE(HasDeepPlanes(AV_PIX_FMT_YUV422P10LE));
}

// A 32-bit picture of a smooth HDR ramp is as smooth as 8 bits go: each
// 10-bit HLG grey code a pixel, the shown levels climb by at most one and
// use nearly all 256 (through 8-bit limited-range samples in between they
// would climb by two in places and use 219).
TEST(HdrLayouts, AGreyRampKeepsEveryLevel) {
  test::LoadMediaLib();
  AVParams = DefaultAVParams;
  constexpr int32_t w = 876, h = 2;
  std::vector<uint16_t> y(size_t(w) * h), c(size_t(w / 2), 512);
  for (int32_t x = 0; x < w; ++x) y[size_t(x)] = y[size_t(w + x)] = uint16_t(64 + x);
  TAVPicture src;
  src.data[0] = reinterpret_cast<uint8_t*>(y.data());
  src.data[1] = src.data[2] = reinterpret_cast<uint8_t*>(c.data());
  src.linesize[0] = w * 2;
  src.Colour = {TColourMatrix::Bt2020, TColourRange::Limited, TColourTransfer::Hlg, true};
  const std::vector<uint8_t> bgra = test::CpuBgra(src, AV_PIX_FMT_YUV420P10LE, w, h);
  std::vector<bool> used(256);
  int largest = 0;
  for (int32_t x = 0; x < w; ++x) {
    const uint8_t* p = &bgra[size_t(4 * x)];
    EXPECT_LE(std::abs(p[0] - p[1]), 1) << "grey at " << x;
    EXPECT_LE(std::abs(p[2] - p[1]), 1) << "grey at " << x;
    used[p[1]] = true;
    if (x > 0) largest = std::max(largest, std::abs(p[1] - p[-3]));
  }
  EXPECT_LE(largest, 1);
  EXPECT_GE(std::count(used.begin(), used.end(), true), 250);
}

std::string HdrName(const ::testing::TestParamInfo<THdrCase>& info) {
  return test::TestName(info.param.File);
}

INSTANTIATE_TEST_SUITE_P(Transfers, HdrPictures,
                         ::testing::Values(THdrCase{"hlg.mp4"}, THdrCase{"pq.mp4"}), HdrName);

}  // namespace
}  // namespace vexo

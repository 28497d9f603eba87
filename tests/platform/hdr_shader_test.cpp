// Pictures of high dynamic range in the OpenGL shader mode: tone-mapped by
// the shader from their own 16-bit samples, read back from what the window
// shows, against the CPU's tone mapping and ffmpeg's reference chain.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/input/av_in_file_list.h"
#include "engine/media/media_lib.h"
#include "engine/playlist/av_playlist.h"
#include "engine/video/av_scale.h"
#include "engine/video/av_screen.h"
#include "engine/video/tone_map.h"
#include "platform/gl_video_window.h"
#include "platform/raster_video_device.h"
#include "platform/video_system.h"
#include "tests/support/captured_log.h"
#include "tests/support/desktop_app.h"
#include "tests/support/hdr_reference.h"
#include "tests/support/test_media.h"

extern "C" const char* __lsan_default_suppressions() {
  return "leak:libdbus-1\nleak:libGLX_mesa\nleak:swrast_dri\nleak:libLLVM\nleak:libxcb\n";
}

namespace vexo {
namespace {

::testing::Environment* const desktop = test::AddDesktopApp(
    "hdr_shader_test", test::TDesktopParts{}, false,
    [] { dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_NOW | RTLD_NODELETE); });

// A native window of the picture's own size, so that the shader draws each
// pixel once.
class TPictureWidget : public QWidget {
 public:
  TPictureWidget(int w, int h) : Canvas(this) {
    setAttribute(Qt::WA_NativeWindow);
    setGeometry(100, 100, w, h);
  }
  TRasterVideoCanvas Canvas;
};

void Pump(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

// B, G, R, A rows, top-down, of a picture read back from the window.
std::vector<uint8_t> BgraOf(const QImage& rgba) {
  std::vector<uint8_t> out(size_t(rgba.width()) * rgba.height() * 4);
  for (int y = 0; y < rgba.height(); ++y)
    for (int x = 0; x < rgba.width(); ++x) {
      const QRgb p = rgba.pixel(x, y);
      uint8_t* o = &out[(size_t(y) * rgba.width() + x) * 4];
      o[0] = uint8_t(qBlue(p)), o[1] = uint8_t(qGreen(p)), o[2] = uint8_t(qRed(p)), o[3] = 255;
    }
  return out;
}

double RgbPsnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  double sum = 0;
  size_t n = 0;
  for (size_t i = 0; i + 3 < a.size() && i + 3 < b.size(); i += 4)
    for (size_t c = 0; c < 3; ++c) {
      const double d = double(a[i + c]) - double(b[i + c]);
      sum += d * d, ++n;
    }
  return test::Psnr(sum, n);
}

class HdrShaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::LoadMediaLib();
    AVParams = DefaultAVParams;
    TGLVideoWindow::KeepShownPictures(true);
  }
  void TearDown() override {
    TGLVideoWindow::KeepShownPictures(false);
    screen.reset();
    widget.reset();
    AVParams = DefaultAVParams;
  }

  // A screen in the shader mode on a window of w x h.
  void MakeScreen(int32_t w, int32_t h) {
    widget = std::make_unique<TPictureWidget>(w, h);
    widget->show();
    QElapsedTimer timer;
    timer.start();
    while (!(widget->windowHandle() && widget->windowHandle()->isExposed()) &&
           timer.elapsed() < 5000)
      QApplication::processEvents(QEventLoop::AllEvents, 10);
    const QPoint origin = widget->mapToGlobal(QPoint(0, 0));
    screen = std::make_unique<TAVScreen>(w, h, vmGLShader, &widget->Canvas,
                                         TNativeWindow(widget->winId()), true, origin.x(),
                                         origin.y(), w, h, float(w) / float(h));
  }

  // The timeline of one clip with its first picture decoded into a shader
  // mode screen of its size; the log lines of the decoding in `lines`.
  std::unique_ptr<TAVInFileList> DecodeFirst(const std::string& path,
                                             std::vector<std::string>& lines) {
    TAVPlayList playList;
    playList.Add(path);
    std::string error, errorFile;
    auto list = std::make_unique<TAVInFileList>(playList, TScreenSize{1920, 1080}, true, true, true,
                                                error, errorFile, nullptr);
    EXPECT_EQ(error, "");
    MakeScreen(list->FrameWidth, list->FrameHeight);
    if (screen->FVideoMode != vmGLShader) {
      ADD_FAILURE() << "no shader mode";
      return nullptr;
    }
    test::TCapturedLog log;
    if (list->DecodeVideo(*screen, dfShow) != drPicture) {
      ADD_FAILURE() << screen->FErrMsg;
      return nullptr;
    }
    lines = log.Lines();
    return list;
  }

  // What the window shows of the frame buffer, B, G, R, A top-down. The
  // software driver's first buffers after the window took its size are
  // incomplete: the picture is shown until two in a row agree.
  std::vector<uint8_t> Shown() {
    QImage last;
    for (int i = 0; i < 20; ++i) {
      screen->ShowFrame();
      Pump(10);
      const QImage image = TGLVideoWindow::LastShownPicture();
      if (i > 0 && image == last) break;
      last = image;
    }
    const QImage image = TGLVideoWindow::LastShownPicture();
    // Kept for a look by eye when asked for, numbered in the order shown.
    if (const char* dir = std::getenv("VEXO_TEST_GRAB_DIR")) {
      static int shown = 0;
      const QString name = QString(::testing::UnitTest::GetInstance()->current_test_info()->name())
                               .replace('/', '_');
      image.save(QString("%1/%2-%3.png").arg(dir, name).arg(++shown));
    }
    EXPECT_EQ(image.size(), QSize(screen->Ovr_Width, screen->Ovr_Height));
    return BgraOf(image);
  }

  // `src` converted by the CPU into the screen's own 8-bit layout, and shown.
  std::vector<uint8_t> ShownThroughTheCpu(const TAVPicture& src, int32_t pixFmt) {
    screen->FFrameDeep = false;
    TAVPicture dst;
    ff::av_image_fill_arrays(dst.data, dst.linesize, screen->FFrameBuf,
                             AVPixelFormat(screen->FPixFmt), screen->Ovr_Width, screen->Ovr_Height,
                             1);
    screen->FFrameLineBytes = dst.linesize[0];
    std::string error;
    const int32_t w = screen->Ovr_Width, h = screen->Ovr_Height;
    ConvertPicture(src, dst, w, error, 1, screen->FFourCC, pixFmt, h, w, h, w, h);
    EXPECT_EQ(error, "");
    screen->FColour = ConvertedColour();
    return Shown();
  }

  std::unique_ptr<TPictureWidget> widget;
  std::unique_ptr<TAVScreen> screen;
  TDesktopVideoSystem system;
};

struct TClip {
  const char* File;
};

class HdrShaderClips : public HdrShaderTest, public ::testing::WithParamInterface<TClip> {};

// The clip's first picture goes to the shader as its own 10-bit samples and
// is tone-mapped through the CPU's table (the ramps below show it exact).
// The shader blends the half-size chroma between its samples where the CPU
// repeats each; across the test pattern's sharp colour edges that alone
// takes the pictures apart to 24 to 26 dB in R, G, B and 31 to 35 dB in luma (with
// the chroma sampled as the CPU does they agree to 96 dB), so the bound is
// 28 dB in luma. Against ffmpeg's reference chain, whose chroma is blended
// too, the shader does no worse than the CPU does, and the bounds of the
// CPU's own test hold (luma 28 dB, mean within 4 levels).
TEST_P(HdrShaderClips, AreToneMappedInTheShaderAsOnTheCpu) {
  const std::string path = test::MediaPath(GetParam().File);
  std::vector<std::string> lines;
  const std::unique_ptr<TAVInFileList> clip = DecodeFirst(path, lines);
  ASSERT_TRUE(clip);
  TAVInFileList& list = *clip;
  EXPECT_TRUE(screen->FFrameDeep);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "HDR tone mapping: OpenGL shader"), 1)
      << ::testing::PrintToString(lines);
  const std::vector<uint8_t> shader = Shown();

  TBitmap32 bitmap;
  ASSERT_TRUE(list.RenderToBitmap(bitmap, 0, 0, 0));
  const int32_t w = bitmap.Width, h = bitmap.Height;
  ASSERT_EQ(size_t(w) * h * 4, shader.size());
  std::vector<uint8_t> cpu(size_t(w) * h * 4);
  for (int32_t y = 0; y < h; ++y)
    std::copy_n(&bitmap.Pixels[size_t(h - 1 - y) * bitmap.Stride()], 4 * w,
                &cpu[size_t(y) * w * 4]);
  const AVFrame& frame = *list.CurFileRef->DecFrame;
  const std::vector<uint8_t> cpuInMode = ShownThroughTheCpu(PictureOfFrame(frame), frame.format);
  const std::vector<uint8_t> want = test::FfmpegBgra(path, test::kToneMapChain);
  ASSERT_EQ(want.size(), shader.size());

  const double rgb = RgbPsnr(shader, cpu), luma = test::LumaPsnr(shader, cpu);
  const double chain = test::LumaPsnr(shader, want);
  const double mean = test::MeanLuma(shader), wantMean = test::MeanLuma(want);
  std::printf(
      "%s: shader vs CPU 32-bit: R, G, B %.2f dB, luma %.2f dB; vs CPU in this mode (8-bit "
      "4:2:0): R, G, B %.2f dB; vs ffmpeg's chain: luma %.2f dB, mean luma %.1f (reference "
      "%.1f, CPU %.1f)\n",
      GetParam().File, rgb, luma, RgbPsnr(shader, cpuInMode), chain, mean, wantMean,
      test::MeanLuma(cpu));
  EXPECT_GE(luma, 28.0);
  EXPECT_GE(chain, 28.0);
  EXPECT_GE(chain, test::LumaPsnr(cpu, want) - 0.5);
  EXPECT_NEAR(mean, wantMean, 4.0);
}

INSTANTIATE_TEST_SUITE_P(Transfers, HdrShaderClips,
                         ::testing::Values(TClip{"hlg.mp4"}, TClip{"pq.mp4"}),
                         [](const ::testing::TestParamInfo<TClip>& info) {
                           return std::string(info.param.File).substr(0, 3) == "hlg" ? "Hlg" : "Pq";
                         });

// With tone mapping switched off, the shader shows the samples as they are,
// as the CPU does: nothing goes to the tone-mapping program.
TEST_F(HdrShaderTest, ToneMappingSwitchedOffReachesTheShaderToo) {
  AVParams.ToneMap = 0;
  const std::string path = test::MediaPath("hlg.mp4");
  std::vector<std::string> lines;
  ASSERT_TRUE(DecodeFirst(path, lines));
  EXPECT_FALSE(screen->FFrameDeep);
  EXPECT_TRUE(lines.empty()) << ::testing::PrintToString(lines);
  const std::vector<uint8_t> shown = Shown();
  const std::vector<uint8_t> want = test::FfmpegBgra(path, test::kToneMapChain);
  const std::vector<uint8_t> plain = test::FfmpegBgra(path);
  const double toMapped = test::LumaPsnr(shown, want), toPlain = test::LumaPsnr(shown, plain);
  std::printf(
      "off: luma %.2f dB against the tone-mapped chain, %.2f dB against the plain picture\n",
      toMapped, toPlain);
  EXPECT_GT(toPlain, toMapped + 10);
}

// An OpenGL 2.1 context has neither 16-bit nor float textures: the picture
// is tone-mapped on the CPU into this mode's 8-bit planes, as before, and
// the log says which way the file's pictures go. Mesa reads the version it
// gives once per process: the case runs in a program of its own (a ctest
// entry of its own sets the variable).
TEST_F(HdrShaderTest, AContextWithoutTheTexturesKeepsTheCpuPath) {
  const char* version = std::getenv("MESA_GL_VERSION_OVERRIDE");
  if (!version || std::string(version) != "2.1")
    GTEST_SKIP() << "runs with MESA_GL_VERSION_OVERRIDE=2.1";
  std::vector<std::string> lines;
  const std::unique_ptr<TAVInFileList> clip = DecodeFirst(test::MediaPath("hlg.mp4"), lines);
  ASSERT_TRUE(clip);
  EXPECT_FALSE(screen->FFrameDeep);
  EXPECT_EQ(lines, std::vector<std::string>{"HDR tone mapping: CPU"});
  const std::vector<uint8_t> shown = Shown();
  const std::vector<uint8_t> want =
      test::FfmpegBgra(test::MediaPath("hlg.mp4"), test::kToneMapChain);
  EXPECT_GE(test::LumaPsnr(shown, want), 28.0);
}

// A 10-bit HLG ramp, each luma code a pixel, under one colour: the shader
// reads the CPU's own table, so where the colour is flat (nothing for the
// chroma filtering to blend) it shows the CPU's 32-bit picture within the
// rounding of one level. Grey climbs by at most one level and uses nearly
// all 256 (the CPU path of this mode, through 8-bit limited-range planes,
// uses 219, climbing by two in places).
TEST_F(HdrShaderTest, ARampShowsTheCpusPictureAndKeepsEveryLevel) {
  constexpr int32_t w = 876, h = 4;
  MakeScreen(w, h);
  ASSERT_EQ(screen->FVideoMode, vmGLShader);
  struct TRamp {
    uint16_t Cb, Cr;
  };
  for (const TRamp ramp : {TRamp{512, 512}, TRamp{420, 640}, TRamp{700, 380}}) {
    SCOPED_TRACE(testing::Message() << "Cb " << ramp.Cb << " Cr " << ramp.Cr);
    const bool grey = ramp.Cb == 512 && ramp.Cr == 512;
    std::vector<uint16_t> y(size_t(w) * h), cb(size_t(w / 2) * (h / 2), ramp.Cb),
        cr(size_t(w / 2) * (h / 2), ramp.Cr);
    for (int32_t r = 0; r < h; ++r)
      for (int32_t x = 0; x < w; ++x) y[size_t(r * w + x)] = uint16_t(64 + x);
    TAVPicture src;
    src.data[0] = reinterpret_cast<uint8_t*>(y.data());
    src.data[1] = reinterpret_cast<uint8_t*>(cb.data());
    src.data[2] = reinterpret_cast<uint8_t*>(cr.data());
    src.linesize[0] = w * 2;
    src.linesize[1] = src.linesize[2] = w;
    src.Colour = {TColourMatrix::Bt2020, TColourRange::Limited, TColourTransfer::Hlg, true};
    ASSERT_TRUE(screen->DeviceToneMaps(AV_PIX_FMT_YUV420P10LE, src.Colour, w, h));

    // As the decoder fills the frame buffer for the device.
    screen->FFrameDeep = true;
    TAVPicture dst;
    ff::av_image_fill_arrays(dst.data, dst.linesize, screen->FFrameBuf, AV_PIX_FMT_YUV420P16, w, h,
                             1);
    DeepPlanes(src, AV_PIX_FMT_YUV420P10LE, w, h, dst);
    screen->FColour = src.Colour;
    const std::vector<uint8_t> shader = Shown();
    const std::vector<uint8_t> cpu = test::CpuBgra(src, AV_PIX_FMT_YUV420P10LE, w, h);
    int worst = 0;
    for (size_t i = 0; i < cpu.size(); i += 4)
      for (size_t c = 0; c < 3; ++c) worst = std::max(worst, std::abs(shader[i + c] - cpu[i + c]));
    EXPECT_LE(worst, 1);
    if (!grey) continue;

    auto levels = [&](const std::vector<uint8_t>& pixels, int& largest) {
      std::vector<bool> used(256);
      largest = 0;
      const uint8_t* row = &pixels[size_t(w) * 4];  // the second row
      for (int32_t x = 0; x < w; ++x) {
        const uint8_t* p = row + 4 * x;
        EXPECT_LE(std::abs(p[0] - p[1]), 1) << "grey at " << x;
        EXPECT_LE(std::abs(p[2] - p[1]), 1) << "grey at " << x;
        used[p[1]] = true;
        if (x > 0) largest = std::max(largest, std::abs(p[1] - p[-3]));
      }
      return int(std::count(used.begin(), used.end(), true));
    };
    int shaderStep = 0, cpuStep = 0;
    const int shaderLevels = levels(shader, shaderStep);
    const int cpuLevels = levels(ShownThroughTheCpu(src, AV_PIX_FMT_YUV420P10LE), cpuStep);
    std::printf("grey ramp: shader %d levels (largest step %d), CPU in this mode %d (step %d)\n",
                shaderLevels, shaderStep, cpuLevels, cpuStep);
    EXPECT_LE(shaderStep, 1);
    EXPECT_GE(shaderLevels, 250);
    EXPECT_GE(shaderLevels, cpuLevels);
  }
}

}  // namespace
}  // namespace vexo

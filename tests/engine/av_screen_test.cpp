#include "engine/video/av_screen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "engine/video/video_error_text.h"
#include "tests/support/captured_log.h"
#include "tests/support/memory_video_system.h"

namespace vexo {
namespace {

using test::TCapturedLog;
using test::TMemoryVideoSystem;

class AVScreenTest : public ::testing::Test {
 protected:
  void SetUp() override { AVParams = DefaultAVParams; }
  void TearDown() override { AVParams = DefaultAVParams; }

  std::unique_ptr<TAVScreen> Make(uint8_t mode, int32_t width = 320, int32_t height = 240,
                                  bool planar = true) {
    return std::make_unique<TAVScreen>(width, height, mode, nullptr, TNativeWindow(7), planar, 0, 0,
                                       800, 600, 4.0f / 3.0f);
  }
  bool Logged(const std::string& line) {
    const auto& lines = log.Lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  TMemoryVideoSystem system;
  TCapturedLog log;
};

TEST(AVScreenWindowRect, FitsThePictureWithItsAspect) {
  struct Case {
    const char* name;
    int32_t width, height;
    float aspect;
    int32_t winWidth, winHeight;
    TVideoRect display;
  };
  const Case cases[] = {
      {"equal aspect fills the window", 1280, 720, 16.0f / 9.0f, 1280, 720, {0, 0, 1279, 719}},
      {"equal aspect, scaled", 640, 480, 4.0f / 3.0f, 800, 600, {0, 0, 799, 599}},
      {"4:3 in 16:9 gets side bands", 640, 480, 4.0f / 3.0f, 1280, 720, {160, 0, 1119, 719}},
      // 321 band pixels: 160 on the left, 161 on the right.
      {"odd band pixel goes right", 640, 480, 4.0f / 3.0f, 1281, 720, {160, 0, 1119, 719}},
      {"16:9 in 4:3 gets top and bottom bands",
       1280,
       720,
       16.0f / 9.0f,
       800,
       600,
       {0, 75, 799, 524}},
      {"anamorphic pixels widen the picture",
       720,
       576,
       16.0f / 9.0f,
       1024,
       768,
       {0, 96, 1023, 671}},
  };
  for (const Case& c : cases) {
    TAVScreen screen(c.width, c.height, vmRaster, nullptr, 0, true, 100, 50, c.winWidth,
                     c.winHeight, c.aspect);
    EXPECT_EQ(screen.FDisplayRect, c.display) << c.name;
    const TVideoRect dest{c.display.Left + 100, c.display.Top + 50, c.display.Right + 100,
                          c.display.Bottom + 50};
    EXPECT_EQ(screen.FDstRect, dest) << c.name;
    EXPECT_EQ(screen.FSrcRect, (TVideoRect{0, 0, c.width - 1, c.height - 1})) << c.name;
  }
}

TEST(AVScreenWindowRect, EmptyWindowChangesNothing) {
  TAVScreen screen(640, 480, vmRaster, nullptr, 0, true, 0, 0, 800, 600, 4.0f / 3.0f);
  screen.SetWindowRect(10, 10, false, 0, 500);
  screen.SetWindowRect(10, 10, false, 500, 0);
  EXPECT_EQ(screen.FDisplayRect, (TVideoRect{0, 0, 799, 599}));
  EXPECT_EQ(screen.FWinWidth, 800);
}

TEST_F(AVScreenTest, OverlayIsCutToThePrimaryScreen) {
  auto screen = Make(vmXVideo, 640, 480);
  ASSERT_EQ(screen->FVideoMode, vmXVideo);
  // 800 x 600 at x = 1000 on a 1280 pixel wide screen: 280 of 799 columns show.
  screen->SetWindowRect(1000, 0, true, 600, 800);
  EXPECT_EQ(screen->FDstRect, (TVideoRect{1000, 0, 1280, 599}));
  EXPECT_EQ(screen->FSrcRect, (TVideoRect{0, 0, 223, 479}));
  EXPECT_EQ(screen->FDisplayRect, (TVideoRect{0, 0, 799, 599}));
  EXPECT_EQ(system.Surface->LastDest, screen->FDstRect);
  EXPECT_EQ(system.Surface->LastSource, screen->FSrcRect);
}

TEST_F(AVScreenTest, OtherModesAreNotCut) {
  auto screen = Make(vmGLShader, 640, 480);
  screen->SetWindowRect(1000, 0, true, 600, 800);
  EXPECT_EQ(screen->FDstRect, (TVideoRect{1000, 0, 1799, 599}));
  EXPECT_EQ(system.Surface->Updates, 0);
}

TEST_F(AVScreenTest, FrameBufferMatchesEveryMode) {
  struct Case {
    uint8_t mode;
    bool planar;
    TFourCC fourCC;
    int32_t pixFmt;
    bool isPlanar;
    int32_t lineBytes;
  };
  const Case cases[] = {
      {vmXVideo, true, FCC_YV12, AV_PIX_FMT_YUV420P, true, 320 + 64},
      {vmXVideo, false, FCC_UYVY, AV_PIX_FMT_UYVY422, false, 640 + 64},
      {vmGLShader, true, FCC_YV12, AV_PIX_FMT_YUV420P, true, 320 + 64},
      {vmRaster, true, FCC_ARGB, AV_PIX_FMT_RGB32, false, 1280},
      {vmGLTextureGrey, true, FCC_GRAY, AV_PIX_FMT_YUV420P, true, 320},
      {vmGLTextureArgb, true, FCC_ARGB, AV_PIX_FMT_RGB32, false, 1280},
  };
  for (const Case& c : cases) {
    TMemoryVideoSystem fresh;
    auto screen = Make(c.mode, 320, 240, c.planar);
    SCOPED_TRACE(int(c.mode));
    EXPECT_EQ(screen->FVideoMode, c.mode);
    EXPECT_EQ(FourCCText(screen->FFourCC), FourCCText(c.fourCC));
    EXPECT_EQ(screen->FPixFmt, c.pixFmt);
    EXPECT_EQ(screen->FPlanar, c.isPlanar);
    EXPECT_EQ(screen->Ovr_LineBytes, c.lineBytes);
    EXPECT_EQ(screen->FFrameStride, 1280);
    EXPECT_EQ(screen->FFrameBufSize, 1280 * 240);
    EXPECT_NE(screen->FFrameBuf, nullptr);
    EXPECT_TRUE(screen->FChanged);
    EXPECT_GE(screen->FFrameBufSize,
              FourCCPictureBytes(screen->FFourCC, screen->Ovr_Width, screen->Ovr_Height));
  }
}

TEST_F(AVScreenTest, ReInitToANewSizeClearsTheFrameRecord) {
  auto screen = Make(vmRaster);
  screen->FFrameBuf[0] = 0x55;
  screen->FFrameBytes = 100;
  screen->FFrameLineBytes = 1280;
  screen->ReInit(160, 120, false, vmRaster, nullptr, 0, true, 0, 0, 800, 600, 4.0f / 3.0f);
  EXPECT_EQ(screen->FFrameBufSize, 160 * 4 * 120);
  EXPECT_EQ(screen->FFrameBytes, 0);
  EXPECT_EQ(screen->FFrameLineBytes, 0);
  EXPECT_EQ(screen->FFrameBuf[0], 0);
}

TEST_F(AVScreenTest, WideOverlayIsRetriedAt640x480) {
  system.Surface->MaxWidth = 1000;
  auto screen = Make(vmXVideo, 1920, 1080);
  EXPECT_TRUE(Logged("FScreen: Create 1920x1080 failed, trying 640x480"));
  ASSERT_EQ(screen->FVideoMode, vmXVideo);
  EXPECT_EQ(screen->Ovr_Width, 640);
  EXPECT_EQ(screen->Ovr_Height, 480);
  EXPECT_EQ(screen->FFrameBufSize, 640 * 4 * 480);
  ASSERT_EQ(system.Surface->Tried.size(), 4u);
  EXPECT_EQ(system.Surface->Tried[2].Width, 1920);
  EXPECT_EQ(system.Surface->Tried[3].Width, 640);
  EXPECT_EQ(system.Surface->Tried[3].Height, 480);
  // The smaller surface still shows the picture with its own aspect.
  EXPECT_EQ(screen->FDisplayRect, (TVideoRect{0, 0, 799, 599}));
}

TEST_F(AVScreenTest, NarrowSurfaceFailureIsNotRetried) {
  system.Surface->MaxWidth = 100;
  auto screen = Make(vmGLShader, 640, 480);
  EXPECT_EQ(log.Lines(),
            (std::vector<std::string>{
                "DD7.CreateSurface(FSurface): : Not enough memory for the video surface."}));
  EXPECT_EQ(screen->FVideoMode, vmRaster);
  EXPECT_EQ(FourCCText(screen->FFourCC), "ARGB");
  EXPECT_EQ(screen->Ovr_Width, 640);
  EXPECT_EQ(screen->FFrameBufSize, 640 * 4 * 480);
}

TEST_F(AVScreenTest, PlanarOffNeverTriesYV12) {
  for (bool allowed : {false, true}) {
    TMemoryVideoSystem fresh;
    AVParams.Planar = allowed ? 0 : 1;
    auto screen = Make(vmXVideo, 320, 240, allowed);
    std::vector<std::string> tried;
    for (const TSurfaceDesc& desc : fresh.Surface->Tried) tried.push_back(FourCCText(desc.FourCC));
    EXPECT_EQ(tried, (std::vector<std::string>{"UYVY"}));
  }
}

TEST_F(AVScreenTest, FourCCsAreTriedInOrder) {
  system.Surface->FourCCs = {FCC_YUY2};
  auto screen = Make(vmXVideo);
  std::vector<std::string> tried;
  for (const TSurfaceDesc& desc : system.Surface->Tried) tried.push_back(FourCCText(desc.FourCC));
  EXPECT_EQ(tried, (std::vector<std::string>{"YV12", "UYVY", "YUY2"}));
  EXPECT_EQ(FourCCText(screen->FFourCC), "YUY2");
  EXPECT_TRUE(system.Surface->Created.Overlay);
  EXPECT_TRUE(system.Surface->Created.BackBuffer);
  EXPECT_TRUE(screen->HasBackBuffer());
}

TEST_F(AVScreenTest, MissingBackBufferIsLoggedAndTolerated) {
  system.Surface->BackBufferResult = veOutOfMemory;
  auto screen = Make(vmXVideo);
  EXPECT_TRUE(Logged("FOverlay.GetAttachedSurface: : Not enough memory for the video surface."));
  EXPECT_EQ(screen->FVideoMode, vmXVideo);
  EXPECT_FALSE(screen->HasBackBuffer());
}

TEST_F(AVScreenTest, DeviceFailuresFallBackToRasterWithTheirLines) {
  struct Case {
    const char* name;
    uint8_t mode;
    void (*prepare)(TMemoryVideoSystem&);
    const char* line;
  };
  const Case cases[] = {
      {"no display", vmGLShader,
       [](TMemoryVideoSystem& s) { s.Surface->ConfigureResult = veNoDisplay; },
       "DirectDrawCreate:: No display or window is available for video output."},
      {"no context", vmXVideo,
       [](TMemoryVideoSystem& s) { s.Surface->ConfigureResult = veNoContext; },
       "DirectDrawCreate:: No OpenGL context could be created for the window."},
      {"no overlay", vmXVideo, [](TMemoryVideoSystem& s) { s.Surface->Caps.Overlay = false; },
       "CheckVModeSupport: Video card doesn't support Overlay in current mode"},
      {"no colour key", vmXVideo,
       [](TMemoryVideoSystem& s) { s.Surface->Caps.OverlayColorKey = false; },
       "CheckVModeSupport: Video card doesn't support Color Keying"},
      {"no blitting", vmGLShader,
       [](TMemoryVideoSystem& s) {
         s.Surface->Caps.FourCCBlit = s.Surface->Caps.StretchBlit = false;
       },
       "CheckVModeSupport: Video card doesn't support DDraw Blitting"},
      {"no texture device", vmGLTextureGrey,
       [](TMemoryVideoSystem& s) { s.NoTextureDevice = true; }, "Direct3DCreate9 returned NULL"},
      {"no screen", vmGLTextureGrey,
       [](TMemoryVideoSystem& s) { s.Texture->ConfigureResult = veNoDisplay; },
       "D3D.CreateDevice:: No display or window is available for video output."},
      {"device", vmGLTextureArgb,
       [](TMemoryVideoSystem& s) { s.Texture->ConfigureResult = veNoContext; },
       "D3D.CreateDevice:: No OpenGL context could be created for the window."},
      {"static textures", vmGLTextureGrey,
       [](TMemoryVideoSystem& s) { s.Texture->Caps.DynamicTextures = false; },
       "CheckVModeSupport: Dynamic textures not supported"},
      {"lost context", vmGLTextureGrey,
       [](TMemoryVideoSystem& s) { s.Texture->TextureResult = veSurfaceLost; },
       "D3DDev.CreateTexture:: The video surface has been lost and must be "
       "restored."},
      {"texture", vmGLTextureArgb,
       [](TMemoryVideoSystem& s) { s.Texture->TextureResult = veOutOfMemory; },
       "D3DDev.CreateTexture:: Not enough memory for the video surface."},
  };
  for (const Case& c : cases) {
    TMemoryVideoSystem fresh;
    TCapturedLog lines;
    c.prepare(fresh);
    auto screen = Make(c.mode);
    EXPECT_EQ(lines.Lines(), std::vector<std::string>{c.line}) << c.name;
    EXPECT_EQ(screen->FVideoMode, vmRaster) << c.name;
    EXPECT_EQ(FourCCText(screen->FFourCC), "ARGB") << c.name;
    EXPECT_EQ(screen->Ovr_LineBytes, 320 * 4) << c.name;
  }
}

TEST_F(AVScreenTest, WithoutAVideoSystemOnlyRasterWorks) {
  SetVideoSystem(nullptr);
  auto screen = Make(vmXVideo);
  EXPECT_EQ(screen->FVideoMode, vmRaster);
  EXPECT_TRUE(Logged("DirectDrawCreate:: No display or window is available for video output."));
}

TEST_F(AVScreenTest, FailedLockWarnsAndTakesFourBytesAPixel) {
  system.Surface->UploadResult = veSurfaceLost;
  auto screen = Make(vmGLShader);
  EXPECT_TRUE(Logged(
      "Warning: AVScreen.ReInit: MyLockSurface() failed, taking Ovr_LineBytes = Ovr_Width * 4"));
  EXPECT_EQ(screen->Ovr_LineBytes, 320 * 4);
  EXPECT_EQ(screen->FVideoMode, vmGLShader);
  // A failed lock skips the copy, but the surface is still shown.
  screen->ShowFrame();
  EXPECT_EQ(system.Surface->Frames, 1);
}

TEST_F(AVScreenTest, ColorKeyIsPackedAndHandedToTheOverlay) {
  system.Surface->Caps.WindowFormat = {32, 0, 0, 16, 0xF800, 0x07E0, 0x001F, 0};
  auto screen = Make(vmXVideo);
  screen->SetColorKey(0x00FF8040);
  EXPECT_EQ(screen->FColorKey, 0x441Fu);
  EXPECT_EQ(system.Surface->LastColorKey, 0x441Fu);
  EXPECT_EQ(system.Surface->Updates, 1);
}

TEST_F(AVScreenTest, OverlayUpdateFailureIsLogged) {
  system.Surface->UpdateResult = veInvalidParams;
  auto screen = Make(vmXVideo);
  screen->UpdateOverlay();
  EXPECT_TRUE(Logged("UpdateOverlay: : One or more parameters are invalid for the video device."));
}

TEST_F(AVScreenTest, ClearSurfacePaintsBlackInEachLayout) {
  struct Case {
    std::vector<TFourCC> fourCCs;
    uint8_t first, second;
  };
  const Case cases[] = {{{FCC_UYVY}, 128, 0}, {{FCC_YUY2}, 0, 128}};
  for (const Case& c : cases) {
    TMemoryVideoSystem fresh;
    fresh.Surface->FourCCs = c.fourCCs;
    auto screen = Make(vmXVideo, 8, 4);
    screen->ClearSurface();
    const test::TMemorySurface& front = fresh.Surface->Front;
    for (int32_t y = 0; y < 4; ++y)
      for (int32_t x = 0; x < front.LineBytes; x += 2) {
        ASSERT_EQ(front.Bytes[y * front.LineBytes + x], c.first) << y << "," << x;
        ASSERT_EQ(front.Bytes[y * front.LineBytes + x + 1], c.second) << y << "," << x;
      }
  }
}

TEST_F(AVScreenTest, ClearSurfaceOnPlanarOverlayBlanksLumaAndChroma) {
  auto screen = Make(vmXVideo, 8, 4);
  ASSERT_EQ(screen->FFourCC, FCC_YV12);
  screen->ClearSurface();
  const test::TMemorySurface& front = system.Surface->Front;
  const size_t luma = size_t(front.LineBytes) * 4, chroma = size_t(front.LineBytes / 2) * 4;
  for (size_t i = 0; i < luma; ++i) ASSERT_EQ(front.Bytes[i], 0) << i;
  for (size_t i = luma; i < luma + chroma; ++i) ASSERT_EQ(front.Bytes[i], 128) << i;
  EXPECT_EQ(front.Bytes[luma + chroma], 0xEE);
}

TEST_F(AVScreenTest, ClearSurfaceLeavesOtherModesAlone) {
  auto screen = Make(vmGLShader, 8, 4);
  screen->ClearSurface();
  EXPECT_EQ(system.Surface->Uploads, 1);  // the line-size probe of ReInit only
}

// Fills a YV12 frame whose every byte tells its plane, row and column.
void FillPlanarFrame(TAVScreen& screen) {
  const int32_t w = screen.Ovr_Width, h = screen.Ovr_Height;
  screen.FFrameLineBytes = w;
  uint8_t* p = screen.FFrameBuf;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) *p++ = uint8_t(y * 16 + x);
  for (int plane = 0; plane < 2; ++plane)
    for (int32_t y = 0; y < (h + 1) / 2; ++y)
      for (int32_t x = 0; x < (w + 1) / 2; ++x) *p++ = uint8_t(0x80 + plane * 0x40 + y * 8 + x);
}

TEST_F(AVScreenTest, ShowFrameCopiesLumaAndBothChromaPlanes) {
  auto screen = Make(vmGLShader, 8, 6);
  FillPlanarFrame(*screen);
  screen->ShowFrame();
  const test::TMemorySurface& s = system.Surface->Front;
  const int32_t l = s.LineBytes;
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 8; ++x) ASSERT_EQ(s.Bytes[y * l + x], y * 16 + x);
  EXPECT_EQ(s.Bytes[8], 0xEE);  // beyond the row: untouched
  for (int plane = 0; plane < 2; ++plane)
    for (int32_t y = 0; y < 3; ++y)
      for (int32_t x = 0; x < 4; ++x)
        ASSERT_EQ(s.Bytes[l * 6 + plane * (l / 2) * 3 + y * (l / 2) + x],
                  0x80 + plane * 0x40 + y * 8 + x)
            << plane << ":" << y << "," << x;
  EXPECT_EQ(system.Surface->Frames, 1);
  EXPECT_EQ(system.Surface->LastFrameDest, screen->FDstRect);
}

TEST_F(AVScreenTest, ShowFrameFlipsTheOverlayBackBuffer) {
  auto screen = Make(vmXVideo, 8, 6);
  FillPlanarFrame(*screen);
  screen->ShowFrame();
  EXPECT_EQ(system.Surface->Frames, 1);
  // The copy went into the back buffer, which the flip brought to the front.
  EXPECT_EQ(system.Surface->Front.Bytes[1 * system.Surface->Front.LineBytes + 2], 18);
}

TEST_F(AVScreenTest, ShowFrameDoesNothingWhileBusy) {
  auto screen = Make(vmGLShader, 8, 6);
  FillPlanarFrame(*screen);
  const int uploads = system.Surface->Uploads;
  screen->BeginUpdate();
  EXPECT_TRUE(screen->IsBusy());
  screen->ShowFrame();
  EXPECT_EQ(system.Surface->Uploads, uploads);
  EXPECT_EQ(system.Surface->Frames, 0);
  screen->EndUpdate();
  EXPECT_FALSE(screen->IsBusy());
  screen->ShowFrame();
  EXPECT_EQ(system.Surface->Frames, 1);
}

TEST_F(AVScreenTest, ShowFrameIgnoresALineSizeBeyondTheFrameBuffer) {
  auto screen = Make(vmGLShader, 8, 6);
  screen->FFrameLineBytes = screen->FFrameStride * 2;
  screen->ShowFrame();
  EXPECT_EQ(system.Surface->Front.Bytes[0], 0xEE);
  EXPECT_EQ(system.Surface->Frames, 1);
}

TEST_F(AVScreenTest, BlitFailureIsLogged) {
  system.Surface->PresentResult = veSurfaceLost;
  auto screen = Make(vmGLShader, 8, 6);
  screen->ShowFrame();
  EXPECT_TRUE(
      Logged("FPrimarySurface.Blt: : The video surface has been lost and must be restored."));
}

TEST_F(AVScreenTest, ALostSurfaceIsRestoredAndTheOverlayPlacedAgain) {
  auto screen = Make(vmXVideo, 8, 6);
  system.Surface->Lost = true;
  const int updates = system.Surface->Updates;
  screen->ShowFrame();
  const std::vector<std::string> expected{"Surface lost: Restore Overlay/DDraw Surface"};
  EXPECT_EQ(log.Lines(), expected);
  EXPECT_EQ(system.Surface->Restores, 1);
  EXPECT_EQ(system.Surface->Updates, updates + 1);
  screen->ShowFrame();
  EXPECT_EQ(log.Lines().size(), 1u);
}

TEST_F(AVScreenTest, GreyTextureGetsTheLumaPlaneOnly) {
  auto screen = Make(vmGLTextureGrey, 8, 6);
  FillPlanarFrame(*screen);
  screen->ShowFrame();
  const std::vector<uint8_t>& t = system.Texture->Texels;
  ASSERT_EQ(t.size(), 48u);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 8; ++x) ASSERT_EQ(t[y * 8 + x], y * 16 + x);
  EXPECT_EQ(system.Texture->Draws, 1);
  EXPECT_EQ(system.Texture->Presents, 1);
  EXPECT_EQ(system.Texture->PresentedRect, screen->FDisplayRect);
}

TEST_F(AVScreenTest, ColourTextureIsUprightFromTheBottomUpFrame) {
  auto screen = Make(vmGLTextureArgb, 4, 3);
  screen->FFrameLineBytes = 16;
  // Bottom-up: memory row 0 is the picture's bottom row.
  for (int32_t row = 0; row < 3; ++row)
    for (int32_t i = 0; i < 16; ++i) screen->FFrameBuf[row * 16 + i] = uint8_t(row);
  screen->ShowFrame();
  const std::vector<uint8_t>& t = system.Texture->Texels;
  EXPECT_EQ(t[0], 2);       // texture top = picture top
  EXPECT_EQ(t[16 * 2], 0);  // texture bottom = picture bottom
}

TEST_F(AVScreenTest, PowerOfTwoTextureDrawsOnlyThePicture) {
  system.Texture->Caps.PowerOfTwoOnly = true;
  auto screen = Make(vmGLTextureGrey, 320, 240);
  EXPECT_EQ(system.Texture->TextureWidth, 512);
  EXPECT_EQ(system.Texture->TextureHeight, 256);
  const auto& v = screen->PlaneScene()->Vertices();
  EXPECT_FLOAT_EQ(v[3].U, 0.625f);
  EXPECT_FLOAT_EQ(v[3].V, 0.9375f);
  EXPECT_EQ(screen->Ovr_LineBytes, 512);
}

TEST_F(AVScreenTest, FailedPresentRecreatesTheDevice) {
  system.Texture->PresentFailures = 1;
  auto screen = Make(vmGLTextureArgb, 8, 6);
  screen->ShowFrame();
  const std::vector<std::string> expected{
      "D3DDev.Present: The video surface has been lost and must be restored.",
      "D3D: Trying to restore AVScreen", "D3D: Screen restored OK"};
  EXPECT_EQ(log.Lines(), expected);
  EXPECT_EQ(screen->FVideoMode, vmGLTextureArgb);
  EXPECT_EQ(system.Texture->DevicesCreated, 1);  // the fresh device
  EXPECT_EQ(system.Texture->Presents, 1);
}

TEST_F(AVScreenTest, DrawFailureSkipsThePresent) {
  auto screen = Make(vmGLTextureGrey, 8, 6);
  system.Texture->DrawResult = veSurfaceLost;
  screen->ShowFrame();
  EXPECT_EQ(system.Texture->Draws, 0);
  EXPECT_EQ(system.Texture->Presents, 0);
  const std::vector<std::string> expected{
      "D3DPlaneScene.DrawScene: The video surface has been lost and must be restored."};
  EXPECT_EQ(log.Lines(), expected);
  // The next frame draws and presents as usual once the device draws again.
  system.Texture->DrawResult = 0;
  screen->ShowFrame();
  EXPECT_EQ(system.Texture->Presents, 1);
}

TEST_F(AVScreenTest, RasterModeStretchesTheBitmapIntoTheDisplayRect) {
  struct TRecordingCanvas : TVideoCanvas {
    void StretchDraw(const TVideoRect& display, const TFrameBitmapView& bitmap) override {
      ++Draws;
      Display = display;
      Bitmap = bitmap;
    }
    int Draws = 0;
    TVideoRect Display;
    TFrameBitmapView Bitmap;
  } canvas;
  TAVScreen screen(640, 480, vmRaster, &canvas, 0, true, 0, 0, 1280, 720, 4.0f / 3.0f);
  screen.ShowFrame();
  EXPECT_EQ(canvas.Draws, 1);
  EXPECT_EQ(canvas.Display, (TVideoRect{160, 0, 1119, 719}));
  EXPECT_EQ(canvas.Bitmap.Pixels, screen.FFrameBuf);
  EXPECT_EQ(canvas.Bitmap.Width, 640);
  EXPECT_EQ(canvas.Bitmap.Stride, 2560);
}

TEST_F(AVScreenTest, NewWindowForcesNewDevices) {
  auto screen = Make(vmGLTextureGrey, 8, 6);
  system.Texture->NextHandle = 100;  // marks the first device's handles
  screen->ReInit(8, 6, false, vmGLTextureGrey, nullptr, TNativeWindow(8), true, 0, 0, 800, 600,
                 1.0f);
  EXPECT_LT(system.Texture->NextHandle, 100u);
  EXPECT_EQ(screen->Window(), TNativeWindow(8));
  EXPECT_EQ(screen->FVideoMode, vmGLTextureGrey);
}

}  // namespace
}  // namespace vexo

#include "engine/video/av_screen.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "engine/media/av_log.h"
#include "engine/video/tone_map.h"
#include "engine/video/video_error_text.h"

namespace vexo {

namespace {

// Composition is handled once per process, on the first overlay screen.
std::atomic<bool> compositionHandled{false};

void DisableComposition() {
  if (compositionHandled.exchange(true)) return;
  if (TVideoSystem* system = CurrentVideoSystem()) system->DisableComposition();
}

// Holds the screen busy for the whole re-initialisation, whatever way it ends.
class TUpdateGuard {
 public:
  explicit TUpdateGuard(TAVScreen& screen) : FScreen(screen) { FScreen.BeginUpdate(); }
  ~TUpdateGuard() { FScreen.EndUpdate(); }
  TUpdateGuard(const TUpdateGuard&) = delete;
  TUpdateGuard& operator=(const TUpdateGuard&) = delete;

 private:
  TAVScreen& FScreen;
};

}  // namespace

TAVScreen::TAVScreen(int32_t width, int32_t height, uint8_t mode, TVideoCanvas* canvas,
                     TNativeWindow window, bool planarAllowed, int32_t winLeft, int32_t winTop,
                     int32_t winWidth, int32_t winHeight, float aspect)
    : Ovr_Width(width), Ovr_Height(height), FCanvas(canvas), FWnd(window) {
  if (mode == vmXVideo) DisableComposition();
  if (mode != vmRaster) {
    if (!CreateDevices(mode, window)) {
      mode = vmRaster;
    } else {
      const std::string unsupported = CheckVModeSupport(mode);
      if (!unsupported.empty()) {
        Log(unsupported);
        mode = vmRaster;
      }
    }
    // Nothing of a mode given up may stay on the window.
    if (mode == vmRaster) ReleaseDevices();
  }
  ReInit(width, height, false, mode, canvas, window, planarAllowed, winLeft, winTop, winWidth,
         winHeight, aspect);
}

TAVScreen::~TAVScreen() {
  ReleaseSurfaces();
  ReleaseDevices();
}

void TAVScreen::ReInit(int32_t width, int32_t height, bool force, uint8_t mode,
                       TVideoCanvas* canvas, TNativeWindow window, bool planarAllowed,
                       int32_t winLeft, int32_t winTop, int32_t winWidth, int32_t winHeight,
                       float aspect) {
  TUpdateGuard busy(*this);
  ReleaseSurfaces();

  if ((window && window != FWnd) || (canvas && canvas != FCanvas)) force = true;
  if (window) FWnd = window;
  if (canvas) FCanvas = canvas;

  if (force) {
    ReleaseDevices();
    if (mode != vmRaster && !CreateDevices(mode, FWnd)) {
      ReleaseDevices();
      mode = vmRaster;
    }
  }

  Ovr_Width = width;
  Ovr_Height = height;
  FVideoMode = mode;
  FChanged = true;

  SetAspect(aspect);
  SetWindowRect(winLeft, winTop, false, winHeight, winWidth);

  if (FVideoMode == vmRaster) {
    FFourCC = FCC_ARGB;
  } else if (!CreateVideoSurface(FVideoMode, width, planarAllowed, height)) {
    FFourCC = FCC_ARGB;
    ReleaseSurfaces();
    ReleaseDevices();
    FVideoMode = vmRaster;
    // The retry may have left a smaller size behind.
    Ovr_Width = width;
    Ovr_Height = height;
  }
  if (Ovr_Width != width || Ovr_Height != height) {
    // The surface came in another size: the picture keeps its aspect in it.
    SetAspect(aspect);
    SetWindowRect(winLeft, winTop, false, winHeight, winWidth);
  }

  FPixFmt = PixFmtOfFourCC(FFourCC);

  if (FVideoMode == vmRaster) {
    Ovr_LineBytes = Ovr_Width * 4;
  } else {
    int32_t lines = 0;
    if (WritePicture([&lines](uint8_t*, int32_t lineBytes) { lines = lineBytes; }, false)) {
      Ovr_LineBytes = lines;
    } else {
      Log("Warning: AVScreen.ReInit: MyLockSurface() failed, taking Ovr_LineBytes = Ovr_Width * 4");
      Ovr_LineBytes = Ovr_Width * 4;
    }
  }

  FPlanar = IsPlanarPixFmt(FPixFmt);

  if (FBitmapWidth != Ovr_Width || FBitmapHeight != Ovr_Height) ResizeBitmap(Ovr_Width, Ovr_Height);
  // Only the device that took the picture's own samples can show them.
  if (FVideoMode != vmGLShader || !FFrameBuf) FFrameDeep = false;
}

void TAVScreen::ResizeBitmap(int32_t width, int32_t height) {
  FBitmapWidth = std::max(width, 0);
  FBitmapHeight = std::max(height, 0);
  FFrameStride = FBitmapWidth * 4;
  // A new bitmap starts black.
  FBitmap.assign(size_t(FFrameStride) * size_t(FBitmapHeight), 0);
  FFrameBuf = FBitmap.empty() ? nullptr : FBitmap.data();
  FFrameBufSize = FFrameStride * FBitmapHeight;
  FFrameBytes = 0;
  FFrameLineBytes = 0;
  FFrameDeep = false;
}

void TAVScreen::RecreateDevice(int32_t winLeft, int32_t winTop, TVideoCanvas* canvas,
                               TNativeWindow window, int32_t winWidth, int32_t winHeight) {
  if (!IsTextureMode()) return;
  ReInit(Ovr_Width, Ovr_Height, true, FVideoMode, canvas, window, FPlanar, winLeft, winTop,
         winWidth, winHeight, FAspect);
}

bool TAVScreen::CreateDevices(uint8_t mode, TNativeWindow window) {
  TVideoSystem* system = CurrentVideoSystem();
  if (mode == vmXVideo || mode == vmGLShader) {
    if (FSurfaceDevice) return true;
    std::unique_ptr<TSurfaceDevice> device = system ? system->NewSurfaceDevice(mode) : nullptr;
    const uint32_t configured =
        device ? device->Configure(window, FSurfaceCaps) : uint32_t(veNoDisplay);
    if (LogVideoError("DirectDrawCreate:", configured)) return false;
    FSurfaceDevice = std::move(device);
    FPixFormat = MakeSurfacePixelFormat(FSurfaceCaps.WindowFormat);
    return true;
  }
  if (mode == vmGLTextureGrey || mode == vmGLTextureArgb) {
    if (!FPlaneScene) FPlaneScene = std::make_unique<TPlaneScene>();
    if (FTextureDevice) return true;
    std::unique_ptr<TTextureDevice> device = system ? system->NewTextureDevice() : nullptr;
    if (!device) {
      Log("Direct3DCreate9 returned NULL");
      return false;
    }
    if (LogVideoError("D3D.CreateDevice:", device->Configure(window, FTextureCaps))) return false;
    FTextureDevice = std::move(device);
    return true;
  }
  return false;
}

std::string TAVScreen::CheckVModeSupport(uint8_t mode) {
  if (mode == vmXVideo || mode == vmGLShader) {
    if (!FSurfaceDevice) return "CheckVModeSupport: No surface device";
    const TSurfaceCaps& caps = FSurfaceCaps;
    if (mode == vmXVideo) {
      if (!caps.Overlay)
        return "CheckVModeSupport: Video card doesn't support Overlay in current mode";
      if (!caps.OverlayColorKey)
        return "CheckVModeSupport: Video card doesn't support Color Keying";
    } else if (!caps.FourCCBlit && !caps.StretchBlit) {
      return "CheckVModeSupport: Video card doesn't support DDraw Blitting";
    }
    return "";
  }
  if (mode == vmGLTextureGrey || mode == vmGLTextureArgb) {
    if (!FTextureDevice) return "CheckVModeSupport: No texture device";
    if (!FTextureCaps.DynamicTextures) return "CheckVModeSupport: Dynamic textures not supported";
  }
  return "";
}

bool TAVScreen::CreateVideoSurface(uint8_t mode, int32_t width, bool planarAllowed,
                                   int32_t height) {
  if (mode == vmXVideo || mode == vmGLShader)
    return CreateOverlaySurface(mode, width, planarAllowed, height);
  if (mode == vmGLTextureGrey || mode == vmGLTextureArgb) return CreateTexture(mode, width, height);
  return false;
}

bool TAVScreen::CreateOverlaySurface(uint8_t mode, int32_t width, bool planarAllowed,
                                     int32_t height) {
  if (!FSurfaceDevice) return false;
  TFccArray list;
  ParseFourCCList(list, planarAllowed && AVParams.Planar == 1 ? "YV12, UYVY, YUY2" : "UYVY, YUY2");
  TSurfaceDesc desc;
  desc.Width = width;
  desc.Height = height;
  desc.Overlay = mode == vmXVideo;
  desc.BackBuffer = desc.Overlay && AVParams.OverlayFlip != 0;
  uint32_t code = veNoFourCC;
  for (;;) {
    for (TFourCC fourCC : list) {
      desc.FourCC = fourCC;
      uint32_t backBufferCode = veOk;
      code = FSurfaceDevice->Configure(desc, backBufferCode);
      if (code != veOk) continue;
      FOverlay = true;
      FFourCC = fourCC;
      if (desc.BackBuffer && !LogVideoError("FOverlay.GetAttachedSurface: ", backBufferCode))
        FBackBuf = true;
      Ovr_Width = desc.Width;
      Ovr_Height = desc.Height;
      return true;
    }
    if (desc.Width <= 640) break;
    Log("FScreen: Create " + std::to_string(width) + "x" + std::to_string(height) +
        " failed, trying 640x480");
    desc.Width = 640;
    desc.Height = 480;
  }
  LogVideoError("DD7.CreateSurface(FSurface): ", code);
  return false;
}

bool TAVScreen::CreateTexture(uint8_t mode, int32_t width, int32_t height) {
  if (!FTextureDevice) return false;
  int32_t textureWidth = width;
  int32_t textureHeight = height;
  if (FTextureCaps.PowerOfTwoOnly) {
    textureWidth = NextPowerOfTwo(width);
    textureHeight = NextPowerOfTwo(height);
    FPlaneScene->SetTexRange(float(height) / float(textureHeight),
                             float(width) / float(textureWidth));
  }
  FFourCC = mode == vmGLTextureGrey ? FCC_GRAY : FCC_ARGB;
  const TTextureDesc desc{mode == vmGLTextureGrey ? tfLuminance8 : tfARGB32, textureWidth,
                          textureHeight};
  uint32_t texture = 0;
  if (LogVideoError("D3DDev.CreateTexture:", FTextureDevice->Configure(desc, texture)))
    return false;
  FTexture = texture;
  FPlaneScene->InitScene(FTextureDevice.get(), FAspect);
  return true;
}

void TAVScreen::ReleaseSurfaces() {
  if (FSurfaceDevice && FOverlay) FSurfaceDevice->Release();
  FBackBuf = false;
  FOverlay = false;
  if (FTextureDevice && FTexture) FTextureDevice->Release();
  FTexture = 0;
}

void TAVScreen::ReleaseDevices() {
  FSurfaceDevice.reset();
  // The scene was set up on the device and goes with it.
  FPlaneScene.reset();
  FTextureDevice.reset();
}

void TAVScreen::SetAspect(float aspect) {
  FAspect = aspect;
  FPixelAspect = aspect / float(Ovr_Width) * float(Ovr_Height);
}

void TAVScreen::SetWindowRect(int32_t left, int32_t top, bool updateOverlay, int32_t height,
                              int32_t width) {
  if (width == 0 || height == 0) return;
  float sx, sy;
  if (double(FAspect) - 0.001 >= double(width) / double(height)) {
    sx = float(width) / float(Ovr_Width);
    sy = sx / FPixelAspect;
  } else {
    sy = float(height) / float(Ovr_Height);
    sx = sy * FPixelAspect;
  }
  const int32_t w = std::min(int32_t(std::ceil(double(Ovr_Width) * double(sx))), width);
  const int32_t h = std::min(int32_t(std::ceil(double(Ovr_Height) * double(sy))), height);
  // Ties go to the even neighbour, so an odd band pixel lands on the right or bottom.
  const int32_t dx = int32_t(std::nearbyint((width - w) / 2.0));
  const int32_t dy = int32_t(std::nearbyint((height - h) / 2.0));

  FWinLeft = left;
  FWinTop = top;
  FWinWidth = width;
  FWinHeight = height;
  FDstRect = {left + dx, top + dy, left + dx + w - 1, top + dy + h - 1};
  FDisplayRect = {dx, dy, dx + w - 1, dy + h - 1};
  FSrcRect = {0, 0, Ovr_Width - 1, Ovr_Height - 1};

  if (FVideoMode == vmXVideo) {
    int32_t screenWidth = 0, screenHeight = 0;
    if (TVideoSystem* system = CurrentVideoSystem())
      system->PrimaryScreenSize(screenWidth, screenHeight);
    if (screenWidth > 0 && screenHeight > 0)
      ClipOverlayToScreen(FSrcRect, FDstRect, screenWidth, screenHeight);
  }

  const TVideoRect window{left, top, left + width - 1, top + height - 1};
  if (FSurfaceDevice) FSurfaceDevice->SetWindowRect(window, FDisplayRect);
  if (FTextureDevice) FTextureDevice->SetWindowRect(window, FDisplayRect);

  if (updateOverlay) UpdateOverlay();
}

void TAVScreen::UpdateOverlay(bool hide) {
  if (FVideoMode != vmXVideo || !FSurfaceDevice || !FOverlay) return;
  if (FSrcRect.Right < 0 || FSrcRect.Bottom < 0) return;
  LogVideoError("UpdateOverlay: ",
                FSurfaceDevice->Present(hide ? pkHide : pkPlace, {FSrcRect, FDstRect, FColorKey}));
}

void TAVScreen::SetColorKey(uint32_t color) {
  FColorKey = PackPixel(color, FPixFormat);
  UpdateOverlay();
}

bool TAVScreen::WritePicture(const TSurfaceWriter& write, bool front) {
  if (IsSurfaceMode() && FSurfaceDevice && FOverlay) {
    bool restored = false;
    const uint32_t code = FSurfaceDevice->Upload(write, front, restored);
    if (restored) {
      Log("Surface lost: Restore Overlay/DDraw Surface");
      UpdateOverlay();
    }
    return code == veOk;
  }
  if (IsTextureMode() && FTextureDevice && FTexture) return FTextureDevice->Upload(write) == veOk;
  return false;
}

void TAVScreen::ClearSurface() {
  if (FVideoMode != vmXVideo) return;
  WritePicture([this](uint8_t* address, int32_t lineBytes) { ClearPicture(address, lineBytes); },
               true);
}

void TAVScreen::HidePicture() {
  ClearSurface();
  if (IsTextureMode() && FTextureDevice) FTextureDevice->HidePicture();
}

void TAVScreen::ClearPicture(uint8_t* address, int32_t lineBytes) {
  if (FPlanar) {
    const size_t luma = size_t(lineBytes) * size_t(Ovr_Height);
    std::memset(address, 0, luma);
    std::memset(address + luma, 128, size_t(lineBytes / 2) * size_t(Ovr_Height));
  } else {
    // Luma 0 and chroma 128 in the byte order of the packed layout.
    const uint8_t pair[2] = {uint8_t(FFourCC == FCC_YUY2 ? 0 : 128),
                             uint8_t(FFourCC == FCC_YUY2 ? 128 : 0)};
    for (int32_t y = 0; y < Ovr_Height; ++y) {
      uint8_t* row = address + size_t(y) * size_t(lineBytes);
      for (int32_t x = 0; x + 1 < lineBytes; x += 2) {
        row[x] = pair[0];
        row[x + 1] = pair[1];
      }
    }
  }
}

void TAVScreen::CopyFrame(uint8_t* address, int32_t lineBytes) {
  const int32_t frameLine = FFrameLineBytes;
  if (!FFrameBuf || frameLine <= 0 || Ovr_Height <= 0) return;
  const bool chroma = FPlanar && FFourCC != FCC_GRAY;
  const int32_t rows = (Ovr_Height + 1) / 2;
  const int32_t chromaStep = (frameLine + 1) / 2;
  // A line size that does not fit the frame buffer would read past it.
  int64_t needed = int64_t(frameLine) * Ovr_Height;
  if (chroma) needed += 2 * int64_t(chromaStep) * rows;
  if (needed > FFrameBufSize) return;

  const int32_t lumaBytes = std::min(frameLine, lineBytes);
  // The 32-bit layout is stored bottom-up; surfaces and textures are top-down.
  const bool bottomUp = FFourCC == FCC_ARGB;
  for (int32_t y = 0; y < Ovr_Height; ++y) {
    const int32_t source = bottomUp ? Ovr_Height - 1 - y : y;
    std::memcpy(address + size_t(y) * size_t(lineBytes), FFrameBuf + size_t(source) * frameLine,
                size_t(lumaBytes));
  }
  if (!chroma) return;
  const int32_t chromaBytes = (lumaBytes + 1) / 2;
  const int32_t destStep = lineBytes / 2;
  uint8_t* dest = address + size_t(lineBytes) * size_t(Ovr_Height);
  for (int plane = 0; plane < 2; ++plane) {
    const uint8_t* source =
        FFrameBuf + size_t(frameLine) * Ovr_Height + size_t(plane) * chromaStep * rows;
    for (int32_t y = 0; y < rows; ++y) {
      std::memcpy(dest, source, size_t(std::min(chromaBytes, destStep)));
      dest += destStep;
      source += chromaStep;
    }
  }
}

bool TAVScreen::DeviceToneMaps(int32_t pixFmt, const TPictureColour& colour, int32_t width,
                               int32_t height) const {
  if (FVideoMode != vmGLShader || !FSurfaceDevice || !FOverlay ||
      !FSurfaceDevice->TakesDeepPictures())
    return false;
  if (width != Ovr_Width || height != Ovr_Height || !ToneMapsPicture(pixFmt, colour) ||
      !HasDeepPlanes(pixFmt))
    return false;
  const int64_t luma = int64_t(width) * height,
                chroma = int64_t((width + 1) / 2) * ((height + 1) / 2);
  return 2 * (luma + 2 * chroma) <= FFrameBufSize;
}

TDeepPlanes TAVScreen::DeepFrame() const {
  TDeepPlanes planes;
  const int32_t w = Ovr_Width, h = Ovr_Height, cw = (w + 1) / 2, ch = (h + 1) / 2;
  planes.Data[0] = FFrameBuf;
  planes.Data[1] = FFrameBuf + size_t(2 * w) * size_t(h);
  planes.Data[2] = planes.Data[1] + size_t(2 * cw) * size_t(ch);
  planes.LineBytes[0] = 2 * w;
  planes.LineBytes[1] = planes.LineBytes[2] = 2 * cw;
  planes.Width = w;
  planes.Height = h;
  return planes;
}

void TAVScreen::ShowFrame() {
  if (FBusy > 0) return;
  if (FVideoMode == vmRaster) {
    if (FCanvas && FFrameBuf)
      FCanvas->StretchDraw(FDisplayRect,
                           TFrameBitmapView{FFrameBuf, FBitmapWidth, FBitmapHeight, FFrameStride});
    return;
  }
  if (FFrameDeep && FVideoMode == vmGLShader && FSurfaceDevice && FOverlay && FFrameBuf) {
    FSurfaceDevice->SetPictureColour(FColour);
    LogVideoError("FPrimarySurface.Blt: ", FSurfaceDevice->UploadDeep(DeepFrame()));
  } else {
    WritePicture([this](uint8_t* address, int32_t lineBytes) { CopyFrame(address, lineBytes); },
                 false);
  }

  if (FVideoMode == vmXVideo) {
    // Without a back buffer the overlay shows the store as written.
    if (FBackBuf && FSurfaceDevice) FSurfaceDevice->Present(pkFrame, {FSrcRect, FDstRect, 0});
  } else if (FVideoMode == vmGLShader) {
    if (FSurfaceDevice) FSurfaceDevice->SetPictureColour(FColour);
    if (FSurfaceDevice && FOverlay)
      LogVideoError("FPrimarySurface.Blt: ",
                    FSurfaceDevice->Present(pkFrame, {FSrcRect, FDstRect, FColorKey}));
  } else if (IsTextureMode()) {
    PresentTexture();
  }
}

void TAVScreen::PresentTexture() {
  if (!FTextureDevice || !FPlaneScene) return;
  FTextureDevice->SetPictureColour(FColour);
  if (LogVideoError("D3DPlaneScene.DrawScene",
                    FPlaneScene->DrawScene(FTextureDevice.get(), FTexture)))
    return;
  if (!LogVideoError("D3DDev.Present", FTextureDevice->Present(FDisplayRect))) return;
  Log("D3D: Trying to restore AVScreen");
  RecreateDevice(FWinLeft, FWinTop, FCanvas, FWnd, FWinWidth, FWinHeight);
  if (IsTextureMode() && FTextureDevice && FTextureDevice->Present(FDisplayRect) == veOk)
    Log("D3D: Screen restored OK");
}

}  // namespace vexo

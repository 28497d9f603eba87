#include "engine/video/av_screen.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "engine/media/av_log.h"
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
  if (mode == vmOverlay) DisableComposition();
  if (mode != vmGDI) {
    if (!CreateDevices(mode, window)) {
      mode = vmGDI;
    } else {
      const std::string unsupported = CheckVModeSupport(mode);
      if (!unsupported.empty()) {
        Log(unsupported);
        mode = vmGDI;
      }
    }
    // Nothing of a mode given up may stay on the window.
    if (mode == vmGDI) ReleaseDevices();
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
    if (mode != vmGDI && !CreateDevices(mode, FWnd)) {
      ReleaseDevices();
      mode = vmGDI;
    }
  }

  Ovr_Width = width;
  Ovr_Height = height;
  FVideoMode = mode;
  FChanged = true;

  SetAspect(aspect);
  SetWindowRect(winLeft, winTop, false, winHeight, winWidth);

  if (FVideoMode == vmGDI) {
    FFourCC = FCC_ARGB;
  } else if (!CreateVideoSurface(FVideoMode, width, planarAllowed, height)) {
    FFourCC = FCC_ARGB;
    ReleaseSurfaces();
    ReleaseDevices();
    FVideoMode = vmGDI;
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

  if (FVideoMode == vmGDI) {
    Ovr_LineBytes = Ovr_Width * 4;
  } else {
    int32_t lineBytes = 0;
    uint8_t* address = nullptr;
    if (MyLockSurface(lineBytes, address, false)) {
      Ovr_LineBytes = lineBytes;
      UnlockSurface(false);
    } else {
      Log("Warning: AVScreen.ReInit: MyLockSurface() failed, taking Ovr_LineBytes = Ovr_Width * 4");
      Ovr_LineBytes = Ovr_Width * 4;
    }
  }

  FPlanar = IsPlanarPixFmt(FPixFmt);

  if (FBitmapWidth != Ovr_Width || FBitmapHeight != Ovr_Height) ResizeBitmap(Ovr_Width, Ovr_Height);
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
}

void TAVScreen::RecreateDevice(int32_t winLeft, int32_t winTop, TVideoCanvas* canvas,
                               TNativeWindow window, int32_t winWidth, int32_t winHeight) {
  if (!IsTextureMode()) return;
  ReInit(Ovr_Width, Ovr_Height, true, FVideoMode, canvas, window, FPlanar, winLeft, winTop,
         winWidth, winHeight, FAspect);
}

bool TAVScreen::CreateDevices(uint8_t mode, TNativeWindow window) {
  TVideoSystem* system = CurrentVideoSystem();
  if (mode == vmOverlay || mode == vmDDraw) {
    if (!DD7) {
      std::unique_ptr<TSurfaceDevice> device = system ? system->NewSurfaceDevice(mode) : nullptr;
      const uint32_t created = device ? device->Create() : uint32_t(veNoDisplay);
      if (LogDDrawError("DirectDrawCreate:", created)) return false;
      DD7 = std::move(device);
      if (LogDDrawError("SetCooperativeLevel:", DD7->SetCooperativeLevel(window))) return false;
    }
    if (!FPrimarySurface) {
      if (DD7->CreatePrimarySurface(window) != veOk) return false;
      FPrimarySurface = true;
      AttachClipper(mode, true, window);
      TDevicePixelFormat format;
      DD7->GetPrimaryPixelFormat(format);
      FPixFormat = MakeSurfacePixelFormat(format);
    }
    return true;
  }
  if (mode == vmD3D || mode == vmD3D_ARGB) {
    if (!D3DPlaneScene) D3DPlaneScene = std::make_unique<TPlaneScene9>();
    if (!D3D) {
      D3D = system ? system->NewTextureDevice() : nullptr;
      if (!D3D) {
        Log("Direct3DCreate9 returned NULL");
        return false;
      }
    }
    if (!D3DDev) {
      if (LogDDrawError("D3D.GetAdapterDisplayMode:", D3D->GetAdapterDisplayMode())) return false;
      if (LogDDrawError("D3D.CreateDevice:", D3D->CreateDevice(window))) return false;
      D3DDev = true;
    }
    return D3DDev;
  }
  return false;
}

void TAVScreen::AttachClipper(uint8_t mode, bool attach, TNativeWindow window) {
  DD7->SetClipper(attach && mode == vmDDraw && AVParams.DDrawClipper != 0, window);
}

std::string TAVScreen::CheckVModeSupport(uint8_t mode) {
  if (mode == vmOverlay || mode == vmDDraw) {
    TSurfaceCaps caps;
    if (!DD7 || DD7->GetCaps(caps) != veOk) return "CheckVModeSupport: Failed on DD7.GetCaps()";
    if (mode == vmOverlay) {
      if (!caps.Overlay)
        return "CheckVModeSupport: Video card doesn't support Overlay in current mode";
      if (!caps.OverlayColorKey)
        return "CheckVModeSupport: Video card doesn't support Color Keying";
    } else if (!caps.FourCCBlit && !caps.StretchBlit) {
      return "CheckVModeSupport: Video card doesn't support DDraw Blitting";
    }
    return "";
  }
  if (mode == vmD3D || mode == vmD3D_ARGB) {
    TTextureCaps caps;
    if (!D3D || D3D->GetDeviceCaps(caps) != veOk)
      return "CheckVModeSupport: Failed on D3D.GetDeviceCaps()";
    if (!caps.DynamicTextures) return "CheckVModeSupport: Dynamic textures not supported";
  }
  return "";
}

bool TAVScreen::CreateVideoSurface(uint8_t mode, int32_t width, bool planarAllowed,
                                   int32_t height) {
  if (mode == vmOverlay || mode == vmDDraw)
    return CreateOverlaySurface(mode, width, planarAllowed, height);
  if (mode == vmD3D || mode == vmD3D_ARGB) return CreateTexture(mode, width, height);
  return false;
}

bool TAVScreen::CreateOverlaySurface(uint8_t mode, int32_t width, bool planarAllowed,
                                     int32_t height) {
  if (!DD7) return false;
  TFccArray list;
  ParseFourCCList(list, planarAllowed && AVParams.Planar == 1 ? "YV12, UYVY, YUY2" : "UYVY, YUY2");
  TSurfaceDesc desc;
  desc.Width = width;
  desc.Height = height;
  desc.Overlay = mode == vmOverlay;
  desc.Flip = desc.Overlay && AVParams.OverlayFlip != 0;
  uint32_t code = veNoFourCC;
  for (;;) {
    for (TFourCC fourCC : list) {
      desc.FourCC = fourCC;
      code = DD7->CreateSurface(desc);
      if (code != veOk) continue;
      FOverlay = true;
      FFourCC = fourCC;
      if (desc.Flip && !LogDDrawError("FOverlay.GetAttachedSurface: ", DD7->GetAttachedSurface()))
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
  LogDDrawError("DD7.CreateSurface(FSurface): ", code);
  return false;
}

bool TAVScreen::CreateTexture(uint8_t mode, int32_t width, int32_t height) {
  if (!D3D || !D3DDev) return false;
  TTextureCaps caps;
  if (D3D->GetDeviceCaps(caps) != veOk) return false;
  int32_t textureWidth = width;
  int32_t textureHeight = height;
  if (caps.PowerOfTwoOnly) {
    textureWidth = NextPowerOfTwo(width);
    textureHeight = NextPowerOfTwo(height);
    D3DPlaneScene->SetTexRange(float(height) / float(textureHeight),
                               float(width) / float(textureWidth));
  }
  if (LogDDrawError("D3DDev.GetDisplayMode:", D3D->GetDisplayMode())) return false;
  FFourCC = mode == vmD3D ? FCC_GRAY : FCC_ARGB;
  const TTextureFormat format = mode == vmD3D ? tfLuminance8 : tfARGB32;
  uint32_t texture = 0;
  if (LogDDrawError("D3DDev.CreateTexture:",
                    D3D->CreateTexture(textureWidth, textureHeight, format, texture)))
    return false;
  FTexture = texture;
  D3DPlaneScene->InitScene(D3D.get(), FAspect);
  return true;
}

void TAVScreen::ReleaseSurfaces() {
  if (DD7) {
    if (FBackBuf) DD7->ReleaseBackBuffer();
    if (FOverlay) {
      if (FVideoMode == vmOverlay) UpdateOverlay(true);
      DD7->ReleaseSurface();
    }
  }
  FBackBuf = false;
  FOverlay = false;
  if (D3D && FTexture) D3D->ReleaseTexture(FTexture);
  FTexture = 0;
}

void TAVScreen::ReleaseDevices() {
  if (DD7 && FPrimarySurface) DD7->ReleasePrimarySurface();
  FPrimarySurface = false;
  DD7.reset();
  // The scene's vertex buffer belongs to the device and goes with it.
  D3DPlaneScene.reset();
  if (D3D && D3DDev) D3D->ReleaseDevice();
  D3DDev = false;
  D3D.reset();
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

  if (FVideoMode == vmOverlay) {
    int32_t screenWidth = 0, screenHeight = 0;
    if (TVideoSystem* system = CurrentVideoSystem())
      system->PrimaryScreenSize(screenWidth, screenHeight);
    if (screenWidth > 0 && screenHeight > 0)
      ClipOverlayToScreen(FSrcRect, FDstRect, screenWidth, screenHeight);
  }

  const TVideoRect window{left, top, left + width - 1, top + height - 1};
  if (DD7) DD7->SetWindowRect(window, FDisplayRect);
  if (D3D) D3D->SetWindowRect(window, FDisplayRect);

  if (updateOverlay) UpdateOverlay();
}

void TAVScreen::UpdateOverlay(bool hide) {
  if (FVideoMode != vmOverlay || !DD7 || !FOverlay) return;
  if (FSrcRect.Right < 0 || FSrcRect.Bottom < 0) return;
  LogDDrawError("UpdateOverlay: ", DD7->UpdateOverlay(FSrcRect, FDstRect, FColorKey, !hide));
}

void TAVScreen::SetColorKey(uint32_t color) {
  FColorKey = PackPixel(color, FPixFormat);
  UpdateOverlay();
}

bool TAVScreen::MyLockSurface(int32_t& lineBytes, uint8_t*& address, bool front) {
  lineBytes = 0;
  address = nullptr;
  if (IsSurfaceMode() && DD7 && FOverlay) {
    const TSurfaceId surface = FBackBuf && !front ? sidBackBuffer : sidOverlay;
    return DD7->Lock(surface, lineBytes, address) == veOk && address;
  }
  if (IsTextureMode() && D3D && FTexture)
    return D3D->LockTexture(FTexture, lineBytes, address) == veOk && address;
  return false;
}

void TAVScreen::UnlockSurface(bool front) {
  if (IsSurfaceMode() && DD7 && FOverlay)
    DD7->Unlock(FBackBuf && !front ? sidBackBuffer : sidOverlay);
  else if (IsTextureMode() && D3D && FTexture)
    D3D->UnlockTexture(FTexture);
}

void TAVScreen::ClearSurface() {
  if (FVideoMode != vmOverlay) return;
  int32_t lineBytes = 0;
  uint8_t* address = nullptr;
  if (!MyLockSurface(lineBytes, address, true)) return;
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
  UnlockSurface(true);
}

void TAVScreen::RestoreLostSurfaces() {
  if (!IsSurfaceMode() || !DD7) return;
  if (FPrimarySurface && DD7->IsLost(sidPrimary)) {
    DD7->Restore(sidPrimary);
    Log("Surface lost: Restore Primary Surface");
  }
  if (FBackBuf && DD7->IsLost(sidBackBuffer)) {
    DD7->Restore(sidBackBuffer);
    Log("Surface lost: Restore BackBuffer Surface");
  }
  if (FOverlay && DD7->IsLost(sidOverlay)) {
    DD7->Restore(sidOverlay);
    Log("Surface lost: Restore Overlay/DDraw Surface");
    UpdateOverlay();
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

void TAVScreen::ShowFrame() {
  if (FBusy > 0) return;
  if (FVideoMode == vmGDI) {
    if (FCanvas && FFrameBuf)
      FCanvas->StretchDraw(FDisplayRect,
                           TFrameBitmapView{FFrameBuf, FBitmapWidth, FBitmapHeight, FFrameStride});
    return;
  }
  RestoreLostSurfaces();

  int32_t lineBytes = 0;
  uint8_t* address = nullptr;
  if (MyLockSurface(lineBytes, address, false)) {
    CopyFrame(address, lineBytes);
    UnlockSurface(false);
  }

  if (FVideoMode == vmOverlay) {
    if (FBackBuf && DD7) DD7->Flip();
  } else if (FVideoMode == vmDDraw) {
    if (DD7) DD7->SetPictureColour(FColour);
    if (DD7 && FOverlay) LogDDrawError("FPrimarySurface.Blt: ", DD7->Blt(FDstRect));
  } else if (IsTextureMode()) {
    PresentTexture();
  }
}

void TAVScreen::PresentTexture() {
  if (!D3D || !D3DDev || !D3DPlaneScene) return;
  D3D->SetPictureColour(FColour);
  if (LogDDrawError("D3DPlaneScene.DrawScene", D3DPlaneScene->DrawScene(D3D.get(), FTexture)))
    return;
  if (!LogDDrawError("D3DDev.Present", D3D->Present(FDisplayRect))) return;
  Log("D3D: Trying to restore AVScreen");
  RecreateDevice(FWinLeft, FWinTop, FCanvas, FWnd, FWinWidth, FWinHeight);
  if (IsTextureMode() && D3D && D3DDev && D3D->Present(FDisplayRect) == veOk)
    Log("D3D: Screen restored OK");
}

}  // namespace vexo

#pragma once
// The video back ends as the screen sees them. The platform layer implements
// them (XVideo, OpenGL, raster painting) and installs a video system that
// makes them; tests install memory-only ones. Every call that can fail answers
// 0 or a code that LogVideoError describes.
#include <cstdint>
#include <memory>

#include "engine/media/av_types.h"
#include "engine/video/picture_colour.h"
#include "engine/video/plane_scene.h"

namespace vexo {

// A native window of the desktop (an X window id); 0 is none.
using TNativeWindow = uintptr_t;

// Left, top, right, bottom.
struct TVideoRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
  bool operator==(const TVideoRect&) const = default;
};

// The pixel format of a device's primary surface: bit count and masks.
struct TDevicePixelFormat {
  uint32_t Size = 32;
  uint32_t Flags = 0;
  uint32_t FourCC = 0;
  uint32_t BitCount = 0;
  uint32_t RBitMask = 0;
  uint32_t GBitMask = 0;
  uint32_t BBitMask = 0;
  uint32_t ABitMask = 0;
};

// What a surface device can do.
struct TSurfaceCaps {
  bool Overlay = false;
  bool OverlayColorKey = false;
  bool FourCCBlit = false;
  bool StretchBlit = false;
};

// The output surface asked for: an overlay (with a back buffer to flip when
// Flip is set) or an off-screen surface that is blitted to the window.
struct TSurfaceDesc {
  TFourCC FourCC = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  bool Overlay = false;
  bool Flip = false;
};

enum TSurfaceId : uint8_t { sidPrimary, sidBackBuffer, sidOverlay };

// Common to both kinds of device.
class TVideoDevice {
 public:
  virtual ~TVideoDevice() = default;
  // The owner window's client area (left and top in screen coordinates) and
  // the picture rectangle in it, told whenever they are computed.
  virtual void SetWindowRect(const TVideoRect& window, const TVideoRect& display) = 0;
  // What the Y, Cb, Cr samples handed over next mean (devices that turn them
  // into colours themselves read it).
  void SetPictureColour(const TPictureColour& colour) { FColour = colour; }

 protected:
  TPictureColour FColour;
};

// The surface modes' device: overlay (mode Overlay) or off-screen surface
// blitted to the window (mode GLShader).
class TSurfaceDevice : public TVideoDevice {
 public:
  virtual uint32_t Create() = 0;
  virtual uint32_t SetCooperativeLevel(TNativeWindow window) = 0;
  virtual uint32_t CreatePrimarySurface(TNativeWindow window) = 0;
  virtual void ReleasePrimarySurface() = 0;
  // Binds (attach) or clears the clipper that keeps a blit inside the window.
  virtual void SetClipper(bool attach, TNativeWindow window) = 0;
  virtual uint32_t GetPrimaryPixelFormat(TDevicePixelFormat& format) = 0;
  virtual uint32_t GetCaps(TSurfaceCaps& caps) = 0;
  virtual uint32_t CreateSurface(const TSurfaceDesc& desc) = 0;
  virtual void ReleaseSurface() = 0;
  virtual uint32_t GetAttachedSurface() = 0;
  virtual void ReleaseBackBuffer() = 0;
  virtual uint32_t Lock(TSurfaceId surface, int32_t& lineBytes, uint8_t*& address) = 0;
  virtual void Unlock(TSurfaceId surface) = 0;
  virtual uint32_t Flip() = 0;
  // Copies the surface to `dest` (screen coordinates) of the window.
  virtual uint32_t Blt(const TVideoRect& dest) = 0;
  // Shows (or hides) the overlay from `source` to `dest` (screen coordinates)
  // where the window shows the colour key.
  virtual uint32_t UpdateOverlay(const TVideoRect& source, const TVideoRect& dest,
                                 uint32_t colorKey, bool show) = 0;
  virtual bool IsLost(TSurfaceId surface) = 0;
  virtual uint32_t Restore(TSurfaceId surface) = 0;
};

enum TTextureFormat : uint8_t { tfLuminance8, tfARGB32 };

struct TTextureCaps {
  bool DynamicTextures = false;
  bool PowerOfTwoOnly = false;
};

// The texture modes' device: draws the plane scene and presents it.
class TTextureDevice : public TVideoDevice, public TPlaneDevice {
 public:
  virtual uint32_t GetAdapterDisplayMode() = 0;
  virtual uint32_t CreateDevice(TNativeWindow window) = 0;
  virtual void ReleaseDevice() = 0;
  virtual uint32_t GetDeviceCaps(TTextureCaps& caps) = 0;
  virtual uint32_t GetDisplayMode() = 0;
  virtual uint32_t CreateTexture(int32_t width, int32_t height, TTextureFormat format,
                                 uint32_t& texture) = 0;
  virtual void ReleaseTexture(uint32_t texture) = 0;
  virtual uint32_t LockTexture(uint32_t texture, int32_t& lineBytes, uint8_t*& address) = 0;
  virtual void UnlockTexture(uint32_t texture) = 0;
  // Shows the drawn back buffer in `display` (client coordinates).
  virtual uint32_t Present(const TVideoRect& display) = 0;
};

// The 32-bit frame bitmap: Width x Height pixels B, G, R, A, stored bottom-up
// (the lowest address holds the bottom row).
struct TFrameBitmapView {
  const uint8_t* Pixels = nullptr;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Stride = 0;
};

// The owner control's painting path: the raster mode stretches the frame
// bitmap into the picture rectangle through it.
class TVideoCanvas {
 public:
  virtual ~TVideoCanvas() = default;
  virtual void StretchDraw(const TVideoRect& display, const TFrameBitmapView& bitmap) = 0;
};

// Makes the devices of a mode and answers questions about the desktop.
class TVideoSystem {
 public:
  virtual ~TVideoSystem() = default;
  // nullptr when the mode has no device here.
  virtual std::unique_ptr<TSurfaceDevice> NewSurfaceDevice(uint8_t mode) = 0;
  virtual std::unique_ptr<TTextureDevice> NewTextureDevice() = 0;
  virtual void PrimaryScreenSize(int32_t& width, int32_t& height) = 0;
  // Turns desktop composition off where it hides overlays; a no-op elsewhere.
  virtual void DisableComposition() {}
};

// The installed video system, or nullptr (then only the raster mode works).
TVideoSystem* CurrentVideoSystem();
void SetVideoSystem(TVideoSystem* system);

}  // namespace vexo

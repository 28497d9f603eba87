#pragma once
// The video back ends as the screen sees them. The platform layer implements
// them (XVideo, OpenGL, raster painting) and installs a video system that
// makes them; tests install memory-only ones. Every call that can fail answers
// 0 or a code that LogVideoError describes.
#include <cstdint>
#include <functional>
#include <memory>

#include "engine/media/av_types.h"
#include "engine/video/picture_colour.h"
#include "engine/video/plane_scene.h"
#include "engine/video/video_error_text.h"

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

// What a surface device can do on its window, and the window's pixel format.
struct TSurfaceCaps {
  bool Overlay = false;
  bool OverlayColorKey = false;
  bool FourCCBlit = false;
  bool StretchBlit = false;
  TDevicePixelFormat WindowFormat;
};

// The picture store asked for: an overlay (with a back buffer to draw into
// when BackBuffer is set) or a picture that each present draws into the
// window.
struct TSurfaceDesc {
  TFourCC FourCC = 0;
  int32_t Width = 0;
  int32_t Height = 0;
  bool Overlay = false;
  bool BackBuffer = false;
};

// Fills the picture store: its first byte and its line size.
using TSurfaceWriter = std::function<void(uint8_t* address, int32_t lineBytes)>;

enum TPresentKind : uint8_t {
  pkFrame,  // a new picture was uploaded: show it
  pkPlace,  // show the overlay at the placement, where the window shows the colour key
  pkHide,   // take the overlay off the screen
};

// Where a present shows the picture: `Source` of the picture into `Dest`
// (screen coordinates).
struct TSurfacePlacement {
  TVideoRect Source;
  TVideoRect Dest;
  uint32_t ColorKey = 0;
};

// A picture of high dynamic range as the source holds it: Y, Cb, Cr 4:2:0
// planes of native 16-bit words, the codes in the high bits.
struct TDeepPlanes {
  const uint8_t* Data[3] = {};
  int32_t LineBytes[3] = {};
  int32_t Width = 0;
  int32_t Height = 0;
};

// The surface modes' device: an XVideo overlay (mode XVideo) or a picture
// drawn into the window by a shader (mode GLShader). Its life: configured on
// a window, configured for a picture, then uploads and presents per frame.
class TSurfaceDevice : public TVideoDevice {
 public:
  // Binds the device to `window` and tells what it can do there.
  virtual uint32_t Configure(TNativeWindow window, TSurfaceCaps& caps) = 0;
  // Makes the picture store, replacing any earlier one. A back buffer that
  // cannot be made leaves the store without one and its code in `backBufferCode`.
  virtual uint32_t Configure(const TSurfaceDesc& desc, uint32_t& backBufferCode) = 0;
  // Lets `write` fill the picture store: the back buffer if there is one,
  // unless `front`. A store lost with its window is made again first, and
  // `restored` says so.
  virtual uint32_t Upload(const TSurfaceWriter& write, bool front, bool& restored) = 0;
  virtual uint32_t Present(TPresentKind kind, const TSurfacePlacement& placement) = 0;
  // Frees the picture store, taking the overlay off the screen.
  virtual void Release() = 0;
  // Whether the device tone-maps pictures of high dynamic range itself, from
  // their own samples (UploadDeep), for the picture store configured now.
  virtual bool TakesDeepPictures() const { return false; }
  // Takes `planes` as the next picture instead of the store's, tone-mapped
  // as the picture colour's transfer and range say; the next frame present
  // shows it, and the next Upload goes back to the store.
  virtual uint32_t UploadDeep(const TDeepPlanes&) { return veUnsupported; }
};

enum TTextureFormat : uint8_t { tfLuminance8, tfARGB32 };

struct TTextureCaps {
  bool DynamicTextures = false;
  bool PowerOfTwoOnly = false;
};

// The picture's texture: its texel format and size.
struct TTextureDesc {
  TTextureFormat Format = tfLuminance8;
  int32_t Width = 0;
  int32_t Height = 0;
};

// The texture modes' device (modes GLTextureGrey and GLTextureArgb): the
// plane scene draws the picture's texture through it. Its life: configured
// on a window, configured for a texture and the plane, then per frame an
// upload, the plane drawn and a present.
class TTextureDevice : public TVideoDevice, public TPlaneDevice {
 public:
  // Binds the device to `window` and tells what it can do there.
  virtual uint32_t Configure(TNativeWindow window, TTextureCaps& caps) = 0;
  // Makes the picture's texture, replacing any earlier one; `texture` names
  // it to the plane scene.
  virtual uint32_t Configure(const TTextureDesc& desc, uint32_t& texture) = 0;
  // Lets `write` fill the texture's texels, which reach the device after it.
  virtual uint32_t Upload(const TSurfaceWriter& write) = 0;
  // Shows the drawn scene in `display` (client coordinates).
  virtual uint32_t Present(const TVideoRect& display) = 0;
  // Takes the picture off the screen until the next Present, so that what
  // the owner window paints shows in its place.
  virtual void HidePicture() {}
  // Frees the texture.
  virtual void Release() = 0;
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
  // Turns desktop composition off where it hides overlays; a no-op where it
  // does not, as on the desktops here.
  virtual void DisableComposition() {}
};

// The installed video system, or nullptr (then only the raster mode works).
TVideoSystem* CurrentVideoSystem();
void SetVideoSystem(TVideoSystem* system);

}  // namespace vexo

#pragma once
// Memory-only video back ends: surfaces and textures are byte arrays, every
// call is counted, and each can be told to fail.
#include <memory>
#include <vector>

#include "engine/video/video_device.h"

namespace vexo::test {

struct TMemorySurface {
  std::vector<uint8_t> Bytes;
  int32_t LineBytes = 0;
};

class TMemorySurfaceDevice : public TSurfaceDevice {
 public:
  // Settings the test chooses before the screen runs.
  uint32_t ConfigureResult = 0;
  TSurfaceCaps Caps{true, true, true, true, {32, 0, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0}};
  std::vector<TFourCC> FourCCs{FCC_YV12, FCC_UYVY, FCC_YUY2};
  int32_t MaxWidth = 4096;
  int32_t LinePadding = 64;  // bytes added to every surface line
  uint32_t BackBufferResult = 0;
  uint32_t UploadResult = 0;
  uint32_t PresentResult = 0;  // what presenting a frame answers
  uint32_t UpdateResult = 0;   // what placing the overlay answers
  bool Lost = false;           // the next upload finds the store lost

  // What the screen did.
  std::vector<TSurfaceDesc> Tried;
  TSurfaceDesc Created;
  TMemorySurface Front, Back;
  bool HasBack = false;
  int Uploads = 0, Frames = 0, Updates = 0, Hides = 0, Restores = 0;
  TVideoRect LastFrameDest, LastSource, LastDest;
  uint32_t LastColorKey = 0;
  TVideoRect Window, Display;

  uint32_t Configure(TNativeWindow, TSurfaceCaps& caps) override;
  uint32_t Configure(const TSurfaceDesc& desc, uint32_t& backBufferCode) override;
  uint32_t Upload(const TSurfaceWriter& write, bool front, bool& restored) override;
  uint32_t Present(TPresentKind kind, const TSurfacePlacement& placement) override;
  void Release() override;
  void SetWindowRect(const TVideoRect& window, const TVideoRect& display) override;
};

class TMemoryTextureDevice : public TTextureDevice {
 public:
  uint32_t ConfigureResult = 0;
  TTextureCaps Caps{true, false};
  uint32_t TextureResult = 0;
  int PresentFailures = 0;        // presents that fail before one succeeds
  uint32_t BackBufferResult = 0;  // what setting the plane up answers
  uint32_t DrawResult = 0;        // what every draw of the plane answers

  int DevicesCreated = 0, Presents = 0, Draws = 0, Clears = 0;
  int32_t TextureWidth = 0, TextureHeight = 0;
  TTextureFormat Format = tfLuminance8;
  std::vector<uint8_t> Texels;
  uint32_t NextHandle = 1;
  TPlaneMatrix Projection{}, View{};
  // The plane's vertices as the last draw took them.
  std::vector<TPlaneVertex> BufferVertices;
  TVideoRect Window, Display, PresentedRect;

  uint32_t Configure(TNativeWindow, TTextureCaps& caps) override;
  uint32_t Configure(const TTextureDesc& desc, uint32_t& texture) override;
  uint32_t Upload(const TSurfaceWriter& write) override;
  uint32_t Present(const TVideoRect& display) override;
  void Release() override { Texels.clear(); }
  void SetWindowRect(const TVideoRect& window, const TVideoRect& display) override;

  uint32_t ConfigurePlane(const TPlaneMatrix& view, const TPlaneMatrix& projection) override;
  uint32_t DrawPlane(uint32_t texture, const TPlaneStrip& strip, uint32_t clearArgb) override;
};

// Hands out the devices that the test prepared (each once) and a fixed screen
// size; installs itself for its lifetime.
class TMemoryVideoSystem : public TVideoSystem {
 public:
  TMemoryVideoSystem();
  ~TMemoryVideoSystem() override;

  std::unique_ptr<TSurfaceDevice> NewSurfaceDevice(uint8_t mode) override;
  std::unique_ptr<TTextureDevice> NewTextureDevice() override;
  void PrimaryScreenSize(int32_t& width, int32_t& height) override;

  // The device the next screen gets, then the one it got (valid while the
  // screen keeps it); a later request gets a fresh default device.
  TMemorySurfaceDevice* Surface = nullptr;
  TMemoryTextureDevice* Texture = nullptr;
  int32_t ScreenWidth = 1280;
  int32_t ScreenHeight = 1024;
  bool NoTextureDevice = false;

 private:
  std::unique_ptr<TMemorySurfaceDevice> FSurface;
  std::unique_ptr<TMemoryTextureDevice> FTexture;
};

}  // namespace vexo::test

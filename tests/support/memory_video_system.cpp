#include "tests/support/memory_video_system.h"

#include <algorithm>

#include "engine/video/av_screen_utils.h"
#include "engine/video/video_error_text.h"

namespace vexo::test {

uint32_t TMemorySurfaceDevice::Configure(TNativeWindow, TSurfaceCaps& caps) {
  caps = Caps;
  return ConfigureResult;
}

uint32_t TMemorySurfaceDevice::Configure(const TSurfaceDesc& desc, uint32_t& backBufferCode) {
  Release();
  Tried.push_back(desc);
  if (desc.Width > MaxWidth) return veOutOfMemory;
  if (std::find(FourCCs.begin(), FourCCs.end(), desc.FourCC) == FourCCs.end()) return veNoFourCC;
  Created = desc;
  Front.LineBytes = FourCCLineBytes(desc.FourCC, desc.Width) + LinePadding;
  // Planar surfaces keep their chroma planes at half the line size below luma.
  const size_t rows = size_t(desc.Height) + (desc.FourCC == FCC_YV12 ? desc.Height : 0);
  Front.Bytes.assign(size_t(Front.LineBytes) * rows, 0xEE);
  backBufferCode = desc.BackBuffer ? BackBufferResult : 0;
  if (desc.BackBuffer && !BackBufferResult) {
    Back = Front;
    HasBack = true;
  }
  return 0;
}

uint32_t TMemorySurfaceDevice::Upload(const TSurfaceWriter& write, bool front, bool& restored) {
  ++Uploads;
  restored = Lost;
  if (Lost) ++Restores;
  Lost = false;
  if (UploadResult) return UploadResult;
  TMemorySurface& surface = HasBack && !front ? Back : Front;
  if (surface.Bytes.empty()) return veSurfaceLost;
  write(surface.Bytes.data(), surface.LineBytes);
  return 0;
}

uint32_t TMemorySurfaceDevice::Present(TPresentKind kind, const TSurfacePlacement& placement) {
  if (kind == pkFrame) {
    ++Frames;
    LastFrameDest = placement.Dest;
    if (HasBack) std::swap(Front, Back);
    return PresentResult;
  }
  ++(kind == pkPlace ? Updates : Hides);
  LastSource = placement.Source;
  LastDest = placement.Dest;
  LastColorKey = placement.ColorKey;
  return UpdateResult;
}

void TMemorySurfaceDevice::Release() {
  Front = Back = TMemorySurface{};
  HasBack = false;
}

void TMemorySurfaceDevice::SetWindowRect(const TVideoRect& window, const TVideoRect& display) {
  Window = window;
  Display = display;
}

uint32_t TMemoryTextureDevice::Configure(TNativeWindow, TTextureCaps& caps) {
  if (ConfigureResult) return ConfigureResult;
  caps = Caps;
  ++DevicesCreated;
  return 0;
}

uint32_t TMemoryTextureDevice::Configure(const TTextureDesc& desc, uint32_t& texture) {
  Release();
  if (TextureResult) return TextureResult;
  TextureWidth = desc.Width;
  TextureHeight = desc.Height;
  Format = desc.Format;
  Texels.assign(size_t(desc.Width) * size_t(desc.Height) * (desc.Format == tfARGB32 ? 4 : 1), 0xEE);
  texture = NextHandle++;
  return 0;
}

uint32_t TMemoryTextureDevice::Upload(const TSurfaceWriter& write) {
  if (Texels.empty()) return veInvalidCall;
  write(Texels.data(), TextureWidth * (Format == tfARGB32 ? 4 : 1));
  return 0;
}

uint32_t TMemoryTextureDevice::Present(const TVideoRect& display) {
  ++Presents;
  PresentedRect = display;
  if (PresentFailures > 0) {
    --PresentFailures;
    return veSurfaceLost;
  }
  return 0;
}

void TMemoryTextureDevice::SetWindowRect(const TVideoRect& window, const TVideoRect& display) {
  Window = window;
  Display = display;
}

uint32_t TMemoryTextureDevice::ConfigurePlane(const TPlaneMatrix& view,
                                              const TPlaneMatrix& projection) {
  if (BackBufferResult) return BackBufferResult;
  View = view;
  Projection = projection;
  return 0;
}

uint32_t TMemoryTextureDevice::DrawPlane(uint32_t texture, const TPlaneStrip& strip, uint32_t) {
  BufferVertices.assign(strip.begin(), strip.end());
  ++Clears;
  if (!texture) return veInvalidCall;
  if (DrawResult) return DrawResult;
  ++Draws;
  return 0;
}

TMemoryVideoSystem::TMemoryVideoSystem() {
  FSurface = std::make_unique<TMemorySurfaceDevice>();
  FTexture = std::make_unique<TMemoryTextureDevice>();
  Surface = FSurface.get();
  Texture = FTexture.get();
  SetVideoSystem(this);
}

TMemoryVideoSystem::~TMemoryVideoSystem() {
  SetVideoSystem(nullptr);
}

std::unique_ptr<TSurfaceDevice> TMemoryVideoSystem::NewSurfaceDevice(uint8_t) {
  if (!FSurface) FSurface = std::make_unique<TMemorySurfaceDevice>();
  Surface = FSurface.get();
  return std::move(FSurface);
}

std::unique_ptr<TTextureDevice> TMemoryVideoSystem::NewTextureDevice() {
  if (NoTextureDevice) return nullptr;
  if (!FTexture) FTexture = std::make_unique<TMemoryTextureDevice>();
  Texture = FTexture.get();
  return std::move(FTexture);
}

void TMemoryVideoSystem::PrimaryScreenSize(int32_t& width, int32_t& height) {
  width = ScreenWidth;
  height = ScreenHeight;
}

}  // namespace vexo::test

#include "tests/support/memory_video_system.h"

#include <algorithm>
#include <cstring>

#include "engine/video/av_screen_utils.h"
#include "engine/video/video_error_text.h"

namespace vexo::test {

uint32_t TMemorySurfaceDevice::GetPrimaryPixelFormat(TDevicePixelFormat& format) {
  format = PixelFormat;
  return 0;
}

uint32_t TMemorySurfaceDevice::GetCaps(TSurfaceCaps& caps) {
  caps = Caps;
  return CapsResult;
}

uint32_t TMemorySurfaceDevice::CreateSurface(const TSurfaceDesc& desc) {
  Tried.push_back(desc);
  if (desc.Width > MaxWidth) return veOutOfMemory;
  if (std::find(FourCCs.begin(), FourCCs.end(), desc.FourCC) == FourCCs.end()) return veNoFourCC;
  Created = desc;
  TMemorySurface& surface = Surfaces[sidOverlay];
  surface.LineBytes = FourCCLineBytes(desc.FourCC, desc.Width) + LinePadding;
  // Planar surfaces keep their chroma planes at half the line size below luma.
  const size_t rows = size_t(desc.Height) + (desc.FourCC == FCC_YV12 ? desc.Height : 0);
  surface.Bytes.assign(size_t(surface.LineBytes) * rows, 0xEE);
  return 0;
}

uint32_t TMemorySurfaceDevice::GetAttachedSurface() {
  if (AttachResult) return AttachResult;
  Surfaces[sidBackBuffer] = Surfaces[sidOverlay];
  return 0;
}

uint32_t TMemorySurfaceDevice::Lock(TSurfaceId surface, int32_t& lineBytes, uint8_t*& address) {
  ++Locks;
  if (LockResult) return LockResult;
  auto found = Surfaces.find(surface);
  if (found == Surfaces.end()) return veSurfaceLost;
  lineBytes = found->second.LineBytes;
  address = found->second.Bytes.data();
  return 0;
}

uint32_t TMemorySurfaceDevice::Flip() {
  ++Flips;
  std::swap(Surfaces[sidOverlay], Surfaces[sidBackBuffer]);
  return 0;
}

uint32_t TMemorySurfaceDevice::Blt(const TVideoRect& dest) {
  ++Blts;
  LastBltDest = dest;
  return BltResult;
}

uint32_t TMemorySurfaceDevice::UpdateOverlay(const TVideoRect& source, const TVideoRect& dest,
                                             uint32_t colorKey, bool show) {
  ++(show ? Updates : Hides);
  LastSource = source;
  LastDest = dest;
  LastColorKey = colorKey;
  return UpdateResult;
}

uint32_t TMemorySurfaceDevice::Restore(TSurfaceId surface) {
  ++Restores;
  Lost[surface] = false;
  return 0;
}

void TMemorySurfaceDevice::SetWindowRect(const TVideoRect& window, const TVideoRect& display) {
  Window = window;
  Display = display;
}

uint32_t TMemoryTextureDevice::CreateDevice(TNativeWindow) {
  if (DeviceResult) return DeviceResult;
  ++DevicesCreated;
  return 0;
}

uint32_t TMemoryTextureDevice::GetDeviceCaps(TTextureCaps& caps) {
  caps = Caps;
  return CapsResult;
}

uint32_t TMemoryTextureDevice::CreateTexture(int32_t width, int32_t height, TTextureFormat format,
                                             uint32_t& texture) {
  if (TextureResult) return TextureResult;
  TextureWidth = width;
  TextureHeight = height;
  Format = format;
  Texels.assign(size_t(width) * size_t(height) * (format == tfARGB32 ? 4 : 1), 0xEE);
  texture = NextHandle++;
  return 0;
}

uint32_t TMemoryTextureDevice::LockTexture(uint32_t texture, int32_t& lineBytes,
                                           uint8_t*& address) {
  if (!texture) return veInvalidCall;
  lineBytes = TextureWidth * (Format == tfARGB32 ? 4 : 1);
  address = Texels.data();
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

uint32_t TMemoryTextureDevice::CreateVertexBuffer(uint32_t bytes, uint32_t, uint32_t& buffer) {
  BufferVertices.assign(bytes / sizeof(TPlaneVertex), TPlaneVertex{});
  buffer = NextHandle++;
  return 0;
}

uint32_t TMemoryTextureDevice::WriteVertexBuffer(uint32_t, const void* data, uint32_t bytes) {
  BufferVertices.resize(bytes / sizeof(TPlaneVertex));
  std::memcpy(BufferVertices.data(), data, bytes);
  return 0;
}

uint32_t TMemoryTextureDevice::SetTransform(TPlaneTransform kind, const TPlaneMatrix& matrix) {
  (kind == ptProjection ? Projection : View) = matrix;
  return 0;
}

uint32_t TMemoryTextureDevice::Clear(uint32_t, float, uint32_t) {
  ++Clears;
  return 0;
}

uint32_t TMemoryTextureDevice::DrawTexturedStrip(uint32_t texture, uint32_t buffer, uint32_t,
                                                 uint32_t, uint32_t) {
  if (!texture || !buffer) return veInvalidCall;
  if (DrawResult) return DrawResult;
  ++Draws;
  LastBuffer = buffer;
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

#pragma once
// The overlay mode on XVideo: an Xv port that takes the FourCC draws the
// picture from shared memory wherever the window shows the colour key.
#include <memory>

#include "engine/video/video_device.h"

namespace vexo {

class TXvSurfaceDevice : public TSurfaceDevice {
 public:
  TXvSurfaceDevice();
  ~TXvSurfaceDevice() override;

  uint32_t Create() override;
  uint32_t SetCooperativeLevel(TNativeWindow window) override;
  uint32_t CreatePrimarySurface(TNativeWindow window) override;
  void ReleasePrimarySurface() override;
  void SetClipper(bool, TNativeWindow) override {}
  uint32_t GetPrimaryPixelFormat(TDevicePixelFormat& format) override;
  uint32_t GetCaps(TSurfaceCaps& caps) override;
  uint32_t CreateSurface(const TSurfaceDesc& desc) override;
  void ReleaseSurface() override;
  uint32_t GetAttachedSurface() override;
  void ReleaseBackBuffer() override;
  uint32_t Lock(TSurfaceId surface, int32_t& lineBytes, uint8_t*& address) override;
  void Unlock(TSurfaceId) override {}
  uint32_t Flip() override;
  uint32_t Blt(const TVideoRect&) override;
  uint32_t UpdateOverlay(const TVideoRect& source, const TVideoRect& dest, uint32_t colorKey,
                         bool show) override;
  bool IsLost(TSurfaceId) override { return false; }
  uint32_t Restore(TSurfaceId) override { return 0; }
  void SetWindowRect(const TVideoRect& window, const TVideoRect& display) override;

 private:
  struct TState;
  std::unique_ptr<TState> F;
};

}  // namespace vexo

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

  uint32_t Configure(TNativeWindow window, TSurfaceCaps& caps) override;
  uint32_t Configure(const TSurfaceDesc& desc, uint32_t& backBufferCode) override;
  uint32_t Upload(const TSurfaceWriter& write, bool front, bool& restored) override;
  uint32_t Present(TPresentKind kind, const TSurfacePlacement& placement) override;
  void Release() override;
  void SetWindowRect(const TVideoRect& window, const TVideoRect& display) override;

 private:
  uint32_t Open(TNativeWindow window);
  uint32_t WindowFormat(TDevicePixelFormat& format);
  void QueryCaps(TSurfaceCaps& caps);
  uint32_t Show(const TSurfacePlacement& placement);
  struct TState;
  std::unique_ptr<TState> F;
};

}  // namespace vexo

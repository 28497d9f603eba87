#pragma once
// The desktop's video system: XVideo for the overlay mode, OpenGL for the
// blit and texture modes. Install one while a QGuiApplication runs.
#include "engine/video/video_device.h"

namespace vexo {

class TDesktopVideoSystem : public TVideoSystem {
 public:
  TDesktopVideoSystem() { SetVideoSystem(this); }
  ~TDesktopVideoSystem() override;
  TDesktopVideoSystem(const TDesktopVideoSystem&) = delete;
  TDesktopVideoSystem& operator=(const TDesktopVideoSystem&) = delete;

  std::unique_ptr<TSurfaceDevice> NewSurfaceDevice(uint8_t mode) override;
  std::unique_ptr<TTextureDevice> NewTextureDevice() override;
  void PrimaryScreenSize(int32_t& width, int32_t& height) override;
};

}  // namespace vexo

#include "platform/video_system.h"

#include <QGuiApplication>
#include <QScreen>

#include "platform/gl_surface_device.h"
#include "platform/gl_texture_device.h"
#include "platform/xv_video_device.h"

namespace vexo {

TDesktopVideoSystem::~TDesktopVideoSystem() {
  if (CurrentVideoSystem() == this) SetVideoSystem(nullptr);
}

std::unique_ptr<TSurfaceDevice> TDesktopVideoSystem::NewSurfaceDevice(uint8_t mode) {
  if (mode == vmXVideo) return std::make_unique<TXvSurfaceDevice>();
  if (mode == vmGLShader) return std::make_unique<TGLSurfaceDevice>();
  return nullptr;
}

std::unique_ptr<TTextureDevice> TDesktopVideoSystem::NewTextureDevice() {
  return std::make_unique<TGLTextureDevice>();
}

void TDesktopVideoSystem::PrimaryScreenSize(int32_t& width, int32_t& height) {
  const QScreen* screen = qGuiApp ? QGuiApplication::primaryScreen() : nullptr;
  width = screen ? screen->size().width() : 0;
  height = screen ? screen->size().height() : 0;
}

}  // namespace vexo

#pragma once
// The blit mode on OpenGL: the FourCC picture ("YV12", "UYVY" or "YUY2") is
// kept in memory, uploaded as textures at every blit and turned into RGB by a
// fragment shader in the child window that covers the destination.
#include <QOpenGLShaderProgram>
#include <vector>

#include "engine/video/video_device.h"
#include "platform/gl_video_window.h"

namespace vexo {

class TGLSurfaceDevice : public TSurfaceDevice {
 public:
  ~TGLSurfaceDevice() override { ReleasePrimarySurface(); }

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
  void ReleaseBackBuffer() override {}
  uint32_t Lock(TSurfaceId surface, int32_t& lineBytes, uint8_t*& address) override;
  void Unlock(TSurfaceId) override {}
  uint32_t Flip() override;
  uint32_t Blt(const TVideoRect& dest) override;
  uint32_t UpdateOverlay(const TVideoRect&, const TVideoRect&, uint32_t, bool) override;
  bool IsLost(TSurfaceId surface) override;
  uint32_t Restore(TSurfaceId surface) override;
  void SetWindowRect(const TVideoRect& window, const TVideoRect& display) override;

 private:
  void DeleteTextures();
  void Upload(int index, int32_t width, int32_t height, int32_t rowTexels, const uint8_t* data,
              bool rgba);

  TNativeWindow FWnd = 0;
  TGLVideoWindow FWindow;
  std::unique_ptr<QOpenGLShaderProgram> FProgram;
  uint32_t FQuad = 0;
  TSurfaceDesc FDesc;
  int32_t FLineBytes = 0;
  std::vector<uint8_t> FPixels;
  uint32_t FTextures[3] = {};
  TVideoRect FWindowRect;
};

}  // namespace vexo

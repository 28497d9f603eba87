#pragma once
// The texture modes on OpenGL: one texture of 8-bit luminance (grey) or
// 32-bit BGRA, drawn by the plane (platform/gl_plane.h) and presented by
// swapping the child window that covers the picture rectangle.
#include <vector>

#include "engine/video/video_device.h"
#include "platform/gl_plane.h"
#include "platform/gl_video_window.h"

namespace vexo {

class TGLTextureDevice : public TTextureDevice {
 public:
  ~TGLTextureDevice() override { ReleaseWindow(); }

  uint32_t Configure(TNativeWindow window, TTextureCaps& caps) override;
  uint32_t Configure(const TTextureDesc& desc, uint32_t& texture) override;
  uint32_t Upload(const TSurfaceWriter& write) override;
  uint32_t Present(const TVideoRect& display) override;
  void HidePicture() override;
  void Release() override;
  void SetWindowRect(const TVideoRect& window, const TVideoRect& display) override;

  uint32_t ConfigurePlane(const TPlaneMatrix& view, const TPlaneMatrix& projection) override;
  uint32_t DrawPlane(uint32_t texture, const TPlaneStrip& strip, uint32_t clearArgb) override;

 private:
  void ReleaseWindow();

  struct TTexture {
    int32_t Width = 0;
    int32_t Height = 0;
    TTextureFormat Format = tfLuminance8;
    std::vector<uint8_t> Staging;  // the locked pixels, uploaded on unlock
  };
  int32_t BytesPerTexel(const TTexture& t) const { return t.Format == tfARGB32 ? 4 : 1; }

  TGLVideoWindow FWindow;
  TGLPlane FPlane{FWindow};
  // The picture's texture, in OpenGL's name.
  uint32_t FTextureId = 0;
  TTexture FTexture;
};

}  // namespace vexo

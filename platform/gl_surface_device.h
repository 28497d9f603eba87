#pragma once
// The blit mode on OpenGL: the FourCC picture ("YV12", "UYVY" or "YUY2") is
// kept in memory, uploaded as textures at every present and turned into RGB by a
// fragment shader in the child window that covers the destination.
#include <QOpenGLShaderProgram>
#include <vector>

#include "engine/video/video_device.h"
#include "platform/gl_video_window.h"

namespace vexo {

class TGLSurfaceDevice : public TSurfaceDevice {
 public:
  ~TGLSurfaceDevice() override { ReleaseWindow(); }

  uint32_t Configure(TNativeWindow window, TSurfaceCaps& caps) override;
  uint32_t Configure(const TSurfaceDesc& desc, uint32_t& backBufferCode) override;
  uint32_t Upload(const TSurfaceWriter& write, bool front, bool& restored) override;
  uint32_t Present(TPresentKind kind, const TSurfacePlacement& placement) override;
  void Release() override;
  void SetWindowRect(const TVideoRect& window, const TVideoRect& display) override;
  bool TakesDeepPictures() const override;
  uint32_t UploadDeep(const TDeepPlanes& planes) override;

 private:
  // The child window with its context, shader program and quad.
  uint32_t OpenWindow();
  void ReleaseWindow();
  void DeleteTextures();
  void UploadPlane(int index, int32_t width, int32_t height, int32_t rowTexels, const uint8_t* data,
                   bool rgba);
  // The tone-mapping program and its table, where the context has what
  // they need: 16-bit textures, 3D textures and filtered float textures.
  void OpenDeepProgram();
  // Makes the window and the picture store again when the window went with
  // its parent; `restored` says so.
  uint32_t RestoreWindow(bool& restored);
  void BindPlane(int index, GLint filter);
  void UploadToneTable();
  void DrawQuad(QOpenGLShaderProgram& program);

  TNativeWindow FWnd = 0;
  TGLVideoWindow FWindow;
  std::unique_ptr<QOpenGLShaderProgram> FProgram;
  uint32_t FQuad = 0;
  TSurfaceDesc FDesc;
  int32_t FLineBytes = 0;
  std::vector<uint8_t> FPixels;
  uint32_t FTextures[3] = {};
  TVideoRect FWindowRect;
  std::unique_ptr<QOpenGLShaderProgram> FDeepProgram;
  uint32_t FToneTable = 0;
  // The transfer and range the table was made for.
  TPictureColour FTableColour;
  bool FTableMade = false;
  // The textures hold a deep picture, uploaded by UploadDeep.
  bool FDeepShown = false;
};

}  // namespace vexo

#pragma once
// The plane of the texture modes on OpenGL: the program that samples the
// picture's texture over the plane's strip, the buffer that holds the strip,
// and the view and projection it is seen through, all living in the context
// of one video window.
#include <QOpenGLShaderProgram>
#include <memory>

#include "engine/video/plane_scene.h"
#include "platform/gl_video_window.h"

namespace vexo {

// How texels become colours: clamp((texel - Offset) * Scale). The identity
// suits colours; luma samples of a limited range take the picture's own.
struct TGLLumaMap {
  float Scale = 1.0f;
  float Offset = 0.0f;
};

class TGLPlane {
 public:
  explicit TGLPlane(TGLVideoWindow& window) : FWindow(window) {}
  ~TGLPlane() { Release(); }
  TGLPlane(const TGLPlane&) = delete;
  TGLPlane& operator=(const TGLPlane&) = delete;

  // Builds the program in the window's context; answers 0 or veShader.
  uint32_t Open();
  // Frees the buffer and the program; before the window goes.
  void Release();
  // The plane device's calls, on the window's context.
  uint32_t Configure(const TPlaneMatrix& view, const TPlaneMatrix& projection);
  uint32_t Draw(uint32_t texture, const TPlaneStrip& strip, uint32_t clearArgb,
                const TGLLumaMap& luma);

 private:
  TGLVideoWindow& FWindow;
  std::unique_ptr<QOpenGLShaderProgram> FProgram;
  uint32_t FBuffer = 0;
  TPlaneMatrix FView{};
  TPlaneMatrix FProjection{};
};

}  // namespace vexo

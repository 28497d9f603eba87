#include "platform/gl_texture_device.h"

#include <QGuiApplication>
#include <QScreen>

#include "engine/video/video_error_text.h"

namespace vexo {

uint32_t TGLTextureDevice::Configure(TNativeWindow window, TTextureCaps& caps) {
  ReleaseWindow();
  if (!qGuiApp || !QGuiApplication::primaryScreen()) return veNoDisplay;
  if (uint32_t code = FWindow.Create(window)) return code;
  if (uint32_t code = FPlane.Open()) {
    ReleaseWindow();
    return code;
  }
  if (!FWindow.MakeCurrent()) return veSurfaceLost;
  caps.DynamicTextures = true;
  caps.PowerOfTwoOnly = !FWindow.Functions()->hasOpenGLFeature(QOpenGLFunctions::NPOTTextures);
  return veOk;
}

void TGLTextureDevice::ReleaseWindow() {
  Release();
  FPlane.Release();
  FWindow.Release();
}

uint32_t TGLTextureDevice::Configure(const TTextureDesc& desc, uint32_t& texture) {
  Release();
  texture = 0;
  if (!FWindow.IsValid() || !FWindow.MakeCurrent()) return veSurfaceLost;
  if (desc.Width <= 0 || desc.Height <= 0) return veInvalidParams;
  QOpenGLFunctions* gl = FWindow.Functions();
  GLint maxSize = 0;
  gl->glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  if (desc.Width > maxSize || desc.Height > maxSize) return veInvalidParams;
  GLuint id = 0;
  gl->glGenTextures(1, &id);
  if (!id) return veOutOfMemory;
  gl->glBindTexture(GL_TEXTURE_2D, id);
  if (desc.Format == tfARGB32)
    gl->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, desc.Width, desc.Height, 0, GL_BGRA,
                     GL_UNSIGNED_BYTE, nullptr);
  else
    gl->glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE, desc.Width, desc.Height, 0, GL_LUMINANCE,
                     GL_UNSIGNED_BYTE, nullptr);
  gl->glBindTexture(GL_TEXTURE_2D, 0);
  if (gl->glGetError() != GL_NO_ERROR) {
    gl->glDeleteTextures(1, &id);
    return veOutOfMemory;
  }
  FTextureId = id;
  FTexture.Width = desc.Width;
  FTexture.Height = desc.Height;
  FTexture.Format = desc.Format;
  FTexture.Staging.assign(
      size_t(desc.Width) * size_t(desc.Height) * size_t(BytesPerTexel(FTexture)), 0);
  texture = id;
  return veOk;
}

void TGLTextureDevice::Release() {
  if (FTextureId && FWindow.MakeCurrent()) FWindow.Functions()->glDeleteTextures(1, &FTextureId);
  FTextureId = 0;
  FTexture = TTexture{};
}

uint32_t TGLTextureDevice::Upload(const TSurfaceWriter& write) {
  if (!FTextureId) return veInvalidCall;
  const TTexture& t = FTexture;
  write(FTexture.Staging.data(), t.Width * BytesPerTexel(t));
  // Without the context the texels stay staged; the present reports the loss.
  if (!FWindow.MakeCurrent()) return veOk;
  QOpenGLFunctions* gl = FWindow.Functions();
  gl->glBindTexture(GL_TEXTURE_2D, FTextureId);
  gl->glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  gl->glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, t.Width, t.Height,
                      t.Format == tfARGB32 ? GL_BGRA : GL_LUMINANCE, GL_UNSIGNED_BYTE,
                      t.Staging.data());
  gl->glBindTexture(GL_TEXTURE_2D, 0);
  return veOk;
}

uint32_t TGLTextureDevice::Present(const TVideoRect&) {
  if (!FWindow.IsValid()) return veSurfaceLost;
  FWindow.SetVisible(true);
  FWindow.SwapBuffers();
  return veOk;
}

void TGLTextureDevice::HidePicture() {
  FWindow.SetVisible(false);
}

void TGLTextureDevice::SetWindowRect(const TVideoRect&, const TVideoRect& display) {
  // The back buffer is presented into the picture rectangle: the window is it.
  FWindow.SetGeometry(display);
}

uint32_t TGLTextureDevice::ConfigurePlane(const TPlaneMatrix& view,
                                          const TPlaneMatrix& projection) {
  return FPlane.Configure(view, projection);
}

uint32_t TGLTextureDevice::DrawPlane(uint32_t texture, const TPlaneStrip& strip,
                                     uint32_t clearArgb) {
  if (!texture || texture != FTextureId) return veInvalidCall;
  // A luminance texture holds the picture's luma samples; the 32-bit one
  // holds colours already.
  TGLLumaMap luma;
  if (FTexture.Format == tfLuminance8) {
    const TYuvCoefficients c = YuvCoefficients(FColour);
    luma = {float(c.LumaScale), float(c.LumaOffset / 255)};
  }
  return FPlane.Draw(texture, strip, clearArgb, luma);
}

}  // namespace vexo

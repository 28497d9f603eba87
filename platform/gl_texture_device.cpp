#include "platform/gl_texture_device.h"

#include <QGuiApplication>
#include <QScreen>

#include "engine/video/video_error_text.h"

namespace vexo {

namespace {

const char* const PlaneVertexShader = R"(
attribute vec3 position;
attribute vec4 diffuse;
attribute vec2 texCoord;
uniform mat4 projection;
uniform mat4 view;
varying vec4 color;
varying vec2 uv;
void main() {
  // The vertex colour is stored B, G, R, A.
  color = diffuse.bgra;
  uv = texCoord;
  // The matrices arrive as rows for row vectors, which GLSL reads transposed:
  // exactly what column vectors need.
  gl_Position = projection * view * vec4(position, 1.0);
}
)";

const char* const PlaneFragmentShader = R"(
uniform sampler2D picture;
uniform float alphaRef;
uniform vec2 lumaMap;
varying vec4 color;
varying vec2 uv;
void main() {
  vec4 texel = texture2D(picture, uv);
  vec4 c = vec4(clamp((texel.rgb - lumaMap.y) * lumaMap.x, 0.0, 1.0), texel.a * color.a);
  if (c.a <= alphaRef) discard;
  gl_FragColor = c;
}
)";

// Texels whose alpha times the vertex colour's is this or less (of 255) are
// left out; the rest blend over the clear colour by that alpha.
constexpr int PlaneAlphaRef = 16;

}  // namespace

uint32_t TGLTextureDevice::Configure(TNativeWindow window, TTextureCaps& caps) {
  ReleaseWindow();
  if (!qGuiApp || !QGuiApplication::primaryScreen()) return veNoDisplay;
  if (uint32_t code = FWindow.Create(window)) return code;
  FProgram = std::make_unique<QOpenGLShaderProgram>();
  if (uint32_t code = BuildProgram(*FProgram, PlaneVertexShader, PlaneFragmentShader)) {
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
  if (FPlaneBuffer && FWindow.MakeCurrent()) FWindow.Functions()->glDeleteBuffers(1, &FPlaneBuffer);
  FPlaneBuffer = 0;
  FProgram.reset();
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
  if (!FWindow.MakeCurrent()) return veSurfaceLost;
  QOpenGLFunctions* gl = FWindow.Functions();
  gl->glDisable(GL_CULL_FACE);
  gl->glEnable(GL_BLEND);
  gl->glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  if (!FPlaneBuffer) {
    // A buffer that cannot be made shows up in DrawPlane.
    GLuint id = 0;
    gl->glGenBuffers(1, &id);
    gl->glBindBuffer(GL_ARRAY_BUFFER, id);
    gl->glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(sizeof(TPlaneStrip)), nullptr, GL_DYNAMIC_DRAW);
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    FPlaneBuffer = id;
  }
  FView = view;
  FProjection = projection;
  return veOk;
}

uint32_t TGLTextureDevice::DrawPlane(uint32_t texture, const TPlaneStrip& strip,
                                     uint32_t clearArgb) {
  if (!FWindow.MakeCurrent() || !FProgram) return veSurfaceLost;
  if (!texture || texture != FTextureId || !FPlaneBuffer) return veInvalidCall;
  QOpenGLFunctions* gl = FWindow.Functions();
  gl->glBindBuffer(GL_ARRAY_BUFFER, FPlaneBuffer);
  gl->glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(sizeof(strip)), strip.data());

  const QSize size = FWindow.PixelSize();
  gl->glViewport(0, 0, size.width(), size.height());
  auto channel = [clearArgb](int shift) { return float((clearArgb >> shift) & 0xFF) / 255.0f; };
  gl->glClearColor(channel(16), channel(8), channel(0), channel(24));
  gl->glClearDepthf(1.0f);
  gl->glClearStencil(0);
  gl->glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_STENCIL_BUFFER_BIT);

  FProgram->bind();
  FProgram->setUniformValue("picture", 0);
  FProgram->setUniformValue("alphaRef", float(PlaneAlphaRef) / 255.0f);
  // A luminance texture holds the picture's luma samples; the 32-bit one
  // holds colours already.
  const bool luma = FTexture.Format == tfLuminance8;
  const TYuvCoefficients c = YuvCoefficients(FColour);
  FProgram->setUniformValue("lumaMap", luma ? float(c.LumaScale) : 1.0f,
                            luma ? float(c.LumaOffset / 255) : 0.0f);
  gl->glUniformMatrix4fv(FProgram->uniformLocation("projection"), 1, GL_FALSE, FProjection.data());
  gl->glUniformMatrix4fv(FProgram->uniformLocation("view"), 1, GL_FALSE, FView.data());

  gl->glActiveTexture(GL_TEXTURE0);
  gl->glBindTexture(GL_TEXTURE_2D, texture);
  gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  // One level only: a mip filter would leave the texture incomplete.
  gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);

  const GLsizei stride = sizeof(TPlaneVertex);
  const int position = FProgram->attributeLocation("position");
  const int diffuse = FProgram->attributeLocation("diffuse");
  const int texCoord = FProgram->attributeLocation("texCoord");
  gl->glEnableVertexAttribArray(GLuint(position));
  gl->glVertexAttribPointer(GLuint(position), 3, GL_FLOAT, GL_FALSE, stride, nullptr);
  if (diffuse >= 0) {
    gl->glEnableVertexAttribArray(GLuint(diffuse));
    gl->glVertexAttribPointer(GLuint(diffuse), 4, GL_UNSIGNED_BYTE, GL_TRUE, stride,
                              reinterpret_cast<const void*>(offsetof(TPlaneVertex, Color)));
  }
  gl->glEnableVertexAttribArray(GLuint(texCoord));
  gl->glVertexAttribPointer(GLuint(texCoord), 2, GL_FLOAT, GL_FALSE, stride,
                            reinterpret_cast<const void*>(offsetof(TPlaneVertex, U)));
  gl->glDrawArrays(GL_TRIANGLE_STRIP, 0, GLsizei(strip.size()));
  gl->glDisableVertexAttribArray(GLuint(position));
  if (diffuse >= 0) gl->glDisableVertexAttribArray(GLuint(diffuse));
  gl->glDisableVertexAttribArray(GLuint(texCoord));
  gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
  gl->glBindTexture(GL_TEXTURE_2D, 0);
  FProgram->release();
  if (gl->glGetError() != GL_NO_ERROR) return veGeneric;
  gl->glFlush();
  return veOk;
}

}  // namespace vexo

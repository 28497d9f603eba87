#include "platform/gl_plane.h"

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

uint32_t TGLPlane::Open() {
  Release();
  FProgram = std::make_unique<QOpenGLShaderProgram>();
  if (uint32_t code = BuildProgram(*FProgram, PlaneVertexShader, PlaneFragmentShader)) {
    FProgram.reset();
    return code;
  }
  return veOk;
}

void TGLPlane::Release() {
  if (FBuffer && FWindow.MakeCurrent()) FWindow.Functions()->glDeleteBuffers(1, &FBuffer);
  FBuffer = 0;
  FProgram.reset();
}

uint32_t TGLPlane::Configure(const TPlaneMatrix& view, const TPlaneMatrix& projection) {
  if (!FWindow.MakeCurrent()) return veSurfaceLost;
  QOpenGLFunctions* gl = FWindow.Functions();
  gl->glDisable(GL_CULL_FACE);
  gl->glEnable(GL_BLEND);
  gl->glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  if (!FBuffer) {
    // A buffer that cannot be made shows up in Draw.
    GLuint id = 0;
    gl->glGenBuffers(1, &id);
    gl->glBindBuffer(GL_ARRAY_BUFFER, id);
    gl->glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(sizeof(TPlaneStrip)), nullptr, GL_DYNAMIC_DRAW);
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    FBuffer = id;
  }
  FView = view;
  FProjection = projection;
  return veOk;
}

uint32_t TGLPlane::Draw(uint32_t texture, const TPlaneStrip& strip, uint32_t clearArgb,
                        const TGLLumaMap& luma) {
  if (!FWindow.MakeCurrent() || !FProgram) return veSurfaceLost;
  if (!FBuffer) return veInvalidCall;
  QOpenGLFunctions* gl = FWindow.Functions();
  gl->glBindBuffer(GL_ARRAY_BUFFER, FBuffer);
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
  FProgram->setUniformValue("lumaMap", luma.Scale, luma.Offset);
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

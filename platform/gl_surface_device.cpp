#include "platform/gl_surface_device.h"

#include <QGuiApplication>

#include "engine/video/av_screen_utils.h"
#include "engine/video/video_error_text.h"

namespace vexo {

namespace {

const char* const BlitVertexShader = R"(
attribute vec2 position;
attribute vec2 texCoord;
varying vec2 uv;
void main() {
  uv = texCoord;
  gl_Position = vec4(position, 0.0, 1.0);
}
)";

// Packing 0: planes Y, U, V; 1: "UYVY" and 2: "YUY2", two pixels per texel.
// The colours are those of the picture's matrix and range, as the converter
// gives them, so every mode shows the same colours.
const char* const BlitFragmentShader = R"(
uniform sampler2D plane0;
uniform vec4 lumaMap;
uniform vec4 chroma;
uniform sampler2D plane1;
uniform sampler2D plane2;
uniform int packing;
uniform float width;
varying vec2 uv;
void main() {
  float y;
  float u;
  float v;
  if (packing == 0) {
    y = texture2D(plane0, uv).r;
    u = texture2D(plane1, uv).r;
    v = texture2D(plane2, uv).r;
  } else {
    vec4 pair = texture2D(plane0, uv);
    bool second = mod(floor(uv.x * width), 2.0) >= 1.0;
    if (packing == 1) {
      u = pair.r; y = second ? pair.a : pair.g; v = pair.b;
    } else {
      y = second ? pair.b : pair.r; u = pair.g; v = pair.a;
    }
  }
  y = (y - lumaMap.y) * lumaMap.x;
  u -= 128.0 / 255.0;
  v -= 128.0 / 255.0;
  gl_FragColor = vec4(clamp(vec3(y + chroma.x * v, y - chroma.y * u - chroma.z * v,
                                 y + chroma.w * u), 0.0, 1.0), 1.0);
}
)";

// x, y, u, v for a strip top-left, bottom-left, top-right, bottom-right: the
// first picture row at the top.
const float QuadVertices[16] = {-1, 1, 0, 0, -1, -1, 0, 1, 1, 1, 1, 0, 1, -1, 1, 1};

}  // namespace

uint32_t TGLSurfaceDevice::Configure(TNativeWindow window, TSurfaceCaps& caps) {
  if (!qGuiApp || !window) return veNoDisplay;
  FWnd = window;
  if (uint32_t code = OpenWindow()) return code;
  caps = TSurfaceCaps{false, false, true, true, {32, 0, 0, 32, 0xFF0000, 0xFF00, 0xFF, 0}};
  return veOk;
}

uint32_t TGLSurfaceDevice::OpenWindow() {
  if (uint32_t code = FWindow.Create(FWnd)) return code;
  FProgram = std::make_unique<QOpenGLShaderProgram>();
  if (uint32_t code = BuildProgram(*FProgram, BlitVertexShader, BlitFragmentShader)) {
    ReleaseWindow();
    return code;
  }
  QOpenGLFunctions* gl = FWindow.Functions();
  gl->glGenBuffers(1, &FQuad);
  gl->glBindBuffer(GL_ARRAY_BUFFER, FQuad);
  gl->glBufferData(GL_ARRAY_BUFFER, sizeof QuadVertices, QuadVertices, GL_STATIC_DRAW);
  gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
  return veOk;
}

void TGLSurfaceDevice::ReleaseWindow() {
  Release();
  if (FQuad && FWindow.MakeCurrent()) FWindow.Functions()->glDeleteBuffers(1, &FQuad);
  FQuad = 0;
  FProgram.reset();
  FWindow.Release();
}

uint32_t TGLSurfaceDevice::Configure(const TSurfaceDesc& desc, uint32_t& backBufferCode) {
  Release();
  backBufferCode = veUnsupported;
  if (desc.Overlay) return veUnsupported;
  if (desc.FourCC != FCC_YV12 && desc.FourCC != FCC_UYVY && desc.FourCC != FCC_YUY2)
    return veNoFourCC;
  if (!FWindow.MakeCurrent()) return veSurfaceLost;
  GLint maxSize = 0;
  FWindow.Functions()->glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
  if (desc.Width <= 0 || desc.Height <= 0 || desc.Width > maxSize || desc.Height > maxSize)
    return veInvalidParams;
  FDesc = desc;
  // Even line sizes keep the half-size chroma lines whole.
  FLineBytes = (FourCCLineBytes(desc.FourCC, desc.Width) + 3) & ~3;
  const size_t rows =
      size_t(desc.Height) + (desc.FourCC == FCC_YV12 ? size_t((desc.Height + 1) / 2) : 0);
  FPixels.assign(size_t(FLineBytes) * rows, 0);
  FWindow.Functions()->glGenTextures(desc.FourCC == FCC_YV12 ? 3 : 1, FTextures);
  return veOk;
}

void TGLSurfaceDevice::DeleteTextures() {
  if (FTextures[0] && FWindow.MakeCurrent())
    FWindow.Functions()->glDeleteTextures(FDesc.FourCC == FCC_YV12 ? 3 : 1, FTextures);
  FTextures[0] = FTextures[1] = FTextures[2] = 0;
}

void TGLSurfaceDevice::Release() {
  DeleteTextures();
  FPixels.clear();
  FLineBytes = 0;
}

uint32_t TGLSurfaceDevice::Upload(const TSurfaceWriter& write, bool, bool& restored) {
  restored = false;
  // The window goes with its parent (a new top-level, a closed panel): the
  // picture store is made again on a new one.
  if (!FWindow.IsValid() && FWnd) {
    const TSurfaceDesc desc = FDesc;
    ReleaseWindow();
    if (uint32_t code = OpenWindow()) return code;
    uint32_t backBufferCode = veOk;
    if (desc.Width > 0)
      if (uint32_t code = Configure(desc, backBufferCode)) return code;
    restored = true;
  }
  if (FPixels.empty()) return veInvalidCall;
  write(FPixels.data(), FLineBytes);
  return veOk;
}

void TGLSurfaceDevice::UploadPlane(int index, int32_t width, int32_t height, int32_t rowTexels,
                                   const uint8_t* data, bool rgba) {
  QOpenGLFunctions* gl = FWindow.Functions();
  gl->glActiveTexture(GLenum(GL_TEXTURE0 + index));
  gl->glBindTexture(GL_TEXTURE_2D, FTextures[index]);
  gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  // Packed texels hold two pixels each: only exact sampling keeps them apart.
  const GLint filter = rgba ? GL_NEAREST : GL_LINEAR;
  gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  // Rows are laid out tightly per texel count; copy them row by row when the
  // line is wider than the texture.
  const GLenum format = rgba ? GL_RGBA : GL_LUMINANCE;
  const int32_t texelBytes = rgba ? 4 : 1;
  gl->glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  gl->glTexImage2D(GL_TEXTURE_2D, 0, GLint(format), width, height, 0, format, GL_UNSIGNED_BYTE,
                   nullptr);
  for (int32_t y = 0; y < height; ++y)
    gl->glTexSubImage2D(GL_TEXTURE_2D, 0, 0, y, width, 1, format, GL_UNSIGNED_BYTE,
                        data + size_t(y) * size_t(rowTexels) * size_t(texelBytes));
}

uint32_t TGLSurfaceDevice::Present(TPresentKind kind, const TSurfacePlacement& placement) {
  if (kind != pkFrame) return veUnsupported;
  if (FPixels.empty() || !FProgram) return veInvalidCall;
  const TVideoRect& dest = placement.Dest;
  // Placed before the context is made current, which takes the window's size.
  FWindow.SetGeometry({dest.Left - FWindowRect.Left, dest.Top - FWindowRect.Top,
                       dest.Right - FWindowRect.Left, dest.Bottom - FWindowRect.Top});
  if (!FWindow.MakeCurrent()) return veSurfaceLost;
  QOpenGLFunctions* gl = FWindow.Functions();
  const int32_t w = FDesc.Width, h = FDesc.Height;
  const bool planar = FDesc.FourCC == FCC_YV12;
  if (planar) {
    const int32_t cw = (w + 1) / 2, ch = (h + 1) / 2, chromaLine = FLineBytes / 2;
    const uint8_t* chroma = FPixels.data() + size_t(FLineBytes) * size_t(h);
    UploadPlane(0, w, h, FLineBytes, FPixels.data(), false);
    // "YV12" keeps V before U.
    UploadPlane(2, cw, ch, chromaLine, chroma, false);
    UploadPlane(1, cw, ch, chromaLine, chroma + size_t(chromaLine) * size_t(ch), false);
  } else {
    UploadPlane(0, (w + 1) / 2, h, FLineBytes / 4, FPixels.data(), true);
  }

  const QSize size = FWindow.PixelSize();
  gl->glViewport(0, 0, size.width(), size.height());
  gl->glDisable(GL_BLEND);
  FProgram->bind();
  FProgram->setUniformValue("plane0", 0);
  FProgram->setUniformValue("plane1", 1);
  FProgram->setUniformValue("plane2", 2);
  FProgram->setUniformValue("packing", planar ? 0 : FDesc.FourCC == FCC_UYVY ? 1 : 2);
  FProgram->setUniformValue("width", float(w));
  const TYuvCoefficients c = YuvCoefficients(FColour);
  FProgram->setUniformValue("lumaMap", float(c.LumaScale), float(c.LumaOffset / 255), 0.0f, 0.0f);
  FProgram->setUniformValue("chroma", float(c.Rv), float(c.Gu), float(c.Gv), float(c.Bu));
  gl->glBindBuffer(GL_ARRAY_BUFFER, FQuad);
  const int position = FProgram->attributeLocation("position");
  const int texCoord = FProgram->attributeLocation("texCoord");
  gl->glEnableVertexAttribArray(GLuint(position));
  gl->glVertexAttribPointer(GLuint(position), 2, GL_FLOAT, GL_FALSE, 16, nullptr);
  gl->glEnableVertexAttribArray(GLuint(texCoord));
  gl->glVertexAttribPointer(GLuint(texCoord), 2, GL_FLOAT, GL_FALSE, 16,
                            reinterpret_cast<const void*>(8));
  gl->glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  gl->glDisableVertexAttribArray(GLuint(position));
  gl->glDisableVertexAttribArray(GLuint(texCoord));
  gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
  FProgram->release();
  gl->glActiveTexture(GL_TEXTURE0);
  const bool drawn = gl->glGetError() == GL_NO_ERROR;
  FWindow.SwapBuffers();
  return drawn ? veOk : veGeneric;
}

void TGLSurfaceDevice::SetWindowRect(const TVideoRect& window, const TVideoRect&) {
  FWindowRect = window;
}

}  // namespace vexo

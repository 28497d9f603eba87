#include "platform/gl_surface_device.h"

#include <QGuiApplication>

#include "engine/media/av_log.h"
#include "engine/video/av_screen_utils.h"
#include "engine/video/tone_map.h"
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

// A picture of high dynamic range, from its own 16-bit Y, Cb, Cr planes
// through the tone-mapping table of the CPU's 32-bit path (the matrix, the
// range, the transfer, the curve and the primaries all in it), sampled
// trilinearly as the CPU does: B, G, R in 8-bit units, Cr along x, Cb along
// y, Y along z. `toGrid` takes a sample to its table coordinate.
const char* const DeepFragmentShader = R"(
uniform sampler2D plane0;
uniform sampler2D plane1;
uniform sampler2D plane2;
uniform sampler3D table;
uniform vec2 toGrid;
varying vec2 uv;
void main() {
  vec3 ycc = vec3(texture2D(plane0, uv).r, texture2D(plane1, uv).r, texture2D(plane2, uv).r);
  vec3 at = ycc * toGrid.x + toGrid.y;
  vec3 bgr = texture3D(table, at.zyx).rgb;
  gl_FragColor = vec4(clamp(bgr.bgr / 255.0, 0.0, 1.0), 1.0);
}
)";

// A 16-bit sample n / 65535 is the code n / 64 of the table's 10-bit scale,
// whose 0 to 1023 span the grid's points; a point's texel centre is half a
// texel in.
constexpr double kWordsPerCode = 64;
const float DeepToGridScale = float(65535 / kWordsPerCode / 1023 * (kToneGrid - 1) / kToneGrid);
const float DeepToGridOffset = 0.5f / kToneGrid;

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
  OpenDeepProgram();
  return veOk;
}

void TGLSurfaceDevice::OpenDeepProgram() {
  // Desktop OpenGL 3.0 has 16-bit textures, 3D textures and filtered float
  // textures in its core; OpenGL ES and older contexts keep the CPU's way.
  QOpenGLContext* context = FWindow.Context();
  if (!context || context->isOpenGLES() || context->format().majorVersion() < 3) return;
  auto program = std::make_unique<QOpenGLShaderProgram>();
  if (BuildProgram(*program, BlitVertexShader, DeepFragmentShader)) return;
  FDeepProgram = std::move(program);
  FWindow.Functions()->glGenTextures(1, &FToneTable);
  FTableMade = false;
}

bool TGLSurfaceDevice::TakesDeepPictures() const {
  return FDeepProgram && FToneTable && FTextures[0] && FDesc.FourCC == FCC_YV12;
}

void TGLSurfaceDevice::UploadToneTable() {
  if (FTableMade && FTableColour.Transfer == FColour.Transfer &&
      FTableColour.Range == FColour.Range)
    return;
  const std::vector<float> table =
      ToneMapTable(FColour.Transfer, FColour.Range == TColourRange::Full);
  QOpenGLExtraFunctions* gl = FWindow.ExtraFunctions();
  gl->glActiveTexture(GL_TEXTURE3);
  gl->glBindTexture(GL_TEXTURE_3D, FToneTable);
  for (GLenum wrap : {GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T, GL_TEXTURE_WRAP_R})
    gl->glTexParameteri(GL_TEXTURE_3D, wrap, GL_CLAMP_TO_EDGE);
  gl->glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  gl->glTexParameteri(GL_TEXTURE_3D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  gl->glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  gl->glTexImage3D(GL_TEXTURE_3D, 0, GL_RGBA32F, kToneGrid, kToneGrid, kToneGrid, 0, GL_RGBA,
                   GL_FLOAT, table.data());
  gl->glActiveTexture(GL_TEXTURE0);
  FTableColour = FColour;
  FTableMade = true;
}

void TGLSurfaceDevice::ReleaseWindow() {
  Release();
  if (FWindow.MakeCurrent()) {
    if (FQuad) FWindow.Functions()->glDeleteBuffers(1, &FQuad);
    if (FToneTable) FWindow.Functions()->glDeleteTextures(1, &FToneTable);
  }
  FQuad = 0;
  FToneTable = 0;
  FTableMade = false;
  FProgram.reset();
  FDeepProgram.reset();
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
  FDeepShown = false;
}

void TGLSurfaceDevice::Release() {
  DeleteTextures();
  FPixels.clear();
  FLineBytes = 0;
}

uint32_t TGLSurfaceDevice::RestoreWindow(bool& restored) {
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
  return veOk;
}

uint32_t TGLSurfaceDevice::Upload(const TSurfaceWriter& write, bool, bool& restored) {
  if (uint32_t code = RestoreWindow(restored)) return code;
  if (FPixels.empty()) return veInvalidCall;
  write(FPixels.data(), FLineBytes);
  FDeepShown = false;
  return veOk;
}

uint32_t TGLSurfaceDevice::UploadDeep(const TDeepPlanes& planes) {
  bool restored = false;
  if (uint32_t code = RestoreWindow(restored)) return code;
  if (!TakesDeepPictures()) return veUnsupported;
  if (planes.Width != FDesc.Width || planes.Height != FDesc.Height) return veInvalidParams;
  if (!FWindow.MakeCurrent()) return veSurfaceLost;
  QOpenGLFunctions* gl = FWindow.Functions();
  gl->glPixelStorei(GL_UNPACK_ALIGNMENT, 2);
  for (int i = 0; i < 3; ++i) {
    const int32_t w = i ? (planes.Width + 1) / 2 : planes.Width;
    const int32_t h = i ? (planes.Height + 1) / 2 : planes.Height;
    BindPlane(i, GL_LINEAR);
    gl->glPixelStorei(GL_UNPACK_ROW_LENGTH, planes.LineBytes[i] / 2);
    gl->glTexImage2D(GL_TEXTURE_2D, 0, GL_R16, w, h, 0, GL_RED, GL_UNSIGNED_SHORT, planes.Data[i]);
  }
  gl->glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  gl->glActiveTexture(GL_TEXTURE0);
  FDeepShown = true;
  return gl->glGetError() == GL_NO_ERROR ? veOk : veGeneric;
}

void TGLSurfaceDevice::BindPlane(int index, GLint filter) {
  QOpenGLFunctions* gl = FWindow.Functions();
  gl->glActiveTexture(GLenum(GL_TEXTURE0 + index));
  gl->glBindTexture(GL_TEXTURE_2D, FTextures[index]);
  gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
}

void TGLSurfaceDevice::UploadPlane(int index, int32_t width, int32_t height, int32_t rowTexels,
                                   const uint8_t* data, bool rgba) {
  QOpenGLFunctions* gl = FWindow.Functions();
  // Packed texels hold two pixels each: only exact sampling keeps them apart.
  BindPlane(index, rgba ? GL_NEAREST : GL_LINEAR);
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
  const QSize size = FWindow.PixelSize();
  gl->glViewport(0, 0, size.width(), size.height());
  gl->glDisable(GL_BLEND);
  if (FDeepShown) {
    UploadToneTable();
    FDeepProgram->bind();
    FDeepProgram->setUniformValue("plane0", 0);
    FDeepProgram->setUniformValue("plane1", 1);
    FDeepProgram->setUniformValue("plane2", 2);
    FDeepProgram->setUniformValue("table", 3);
    FDeepProgram->setUniformValue("toGrid", DeepToGridScale, DeepToGridOffset);
    gl->glActiveTexture(GL_TEXTURE3);
    gl->glBindTexture(GL_TEXTURE_3D, FToneTable);
    DrawQuad(*FDeepProgram);
    gl->glBindTexture(GL_TEXTURE_3D, 0);
    gl->glActiveTexture(GL_TEXTURE0);
    const bool drawn = gl->glGetError() == GL_NO_ERROR;
    FWindow.SwapBuffers();
    return drawn ? veOk : veGeneric;
  }
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

  FProgram->bind();
  FProgram->setUniformValue("plane0", 0);
  FProgram->setUniformValue("plane1", 1);
  FProgram->setUniformValue("plane2", 2);
  FProgram->setUniformValue("packing", planar ? 0 : FDesc.FourCC == FCC_UYVY ? 1 : 2);
  FProgram->setUniformValue("width", float(w));
  const TYuvCoefficients c = YuvCoefficients(FColour);
  FProgram->setUniformValue("lumaMap", float(c.LumaScale), float(c.LumaOffset / 255), 0.0f, 0.0f);
  FProgram->setUniformValue("chroma", float(c.Rv), float(c.Gu), float(c.Gv), float(c.Bu));
  DrawQuad(*FProgram);
  gl->glActiveTexture(GL_TEXTURE0);
  const bool drawn = gl->glGetError() == GL_NO_ERROR;
  FWindow.SwapBuffers();
  return drawn ? veOk : veGeneric;
}

// Draws the quad with `program`, bound, and releases it.
void TGLSurfaceDevice::DrawQuad(QOpenGLShaderProgram& program) {
  QOpenGLFunctions* gl = FWindow.Functions();
  gl->glBindBuffer(GL_ARRAY_BUFFER, FQuad);
  const int position = program.attributeLocation("position");
  const int texCoord = program.attributeLocation("texCoord");
  gl->glEnableVertexAttribArray(GLuint(position));
  gl->glVertexAttribPointer(GLuint(position), 2, GL_FLOAT, GL_FALSE, 16, nullptr);
  gl->glEnableVertexAttribArray(GLuint(texCoord));
  gl->glVertexAttribPointer(GLuint(texCoord), 2, GL_FLOAT, GL_FALSE, 16,
                            reinterpret_cast<const void*>(8));
  gl->glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
  gl->glDisableVertexAttribArray(GLuint(position));
  gl->glDisableVertexAttribArray(GLuint(texCoord));
  gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
  program.release();
}

void TGLSurfaceDevice::SetWindowRect(const TVideoRect& window, const TVideoRect&) {
  FWindowRect = window;
}

}  // namespace vexo

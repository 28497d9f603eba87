#pragma once
// The textured plane of the texture modes: one rectangle, drawn as a strip of
// two triangles, that fills the device's back buffer with the video texture.
#include <array>
#include <cstdint>

namespace vexo {

// One vertex as the device takes it: position, diffuse ARGB colour, texture
// coordinate.
struct TPlaneVertex {
  float X, Y, Z;
  uint32_t Color;
  float U, V;
};
static_assert(sizeof(TPlaneVertex) == 24);

// Vertex layout code: position, diffuse colour, one texture coordinate set.
inline constexpr uint32_t PlaneVertexFormat = 0x142;
inline constexpr uint32_t PlaneVertexBytes = 4 * sizeof(TPlaneVertex);

// A 4x4 transform, rows m11..m44, applied to row vectors (v * M).
using TPlaneMatrix = std::array<float, 16>;

enum TPlaneTransform : uint8_t { ptView, ptProjection };

enum TPlaneBlend : uint8_t { pbSrcAlpha, pbInvSrcAlpha };
enum TPlaneCompare : uint8_t { pcGreater };

// The fixed render and sampler states of the plane.
struct TPlaneStates {
  bool Culling = false;
  bool Lighting = false;
  bool AlphaBlend = true;
  TPlaneBlend SrcBlend = pbSrcAlpha;
  TPlaneBlend DestBlend = pbInvSrcAlpha;
  bool AlphaTest = true;
  uint8_t AlphaRef = 16;
  TPlaneCompare AlphaFunc = pcGreater;
  bool ClampU = true;
  bool ClampV = true;
  bool LinearMag = true;
  bool LinearMin = true;
  bool LinearMip = true;
};

// What the plane needs of a device. Every call answers 0 or a video error code.
// Textures and vertex buffers are handles; 0 is none.
class TPlaneDevice {
 public:
  virtual ~TPlaneDevice() = default;
  virtual uint32_t SetPlaneStates(const TPlaneStates& states) = 0;
  virtual uint32_t CreateVertexBuffer(uint32_t bytes, uint32_t format, uint32_t& buffer) = 0;
  virtual void ReleaseVertexBuffer(uint32_t buffer) = 0;
  virtual uint32_t WriteVertexBuffer(uint32_t buffer, const void* data, uint32_t bytes) = 0;
  // Answers whether the device has a back buffer to draw into.
  virtual uint32_t GetBackBuffer() = 0;
  virtual uint32_t SetTransform(TPlaneTransform kind, const TPlaneMatrix& matrix) = 0;
  virtual uint32_t Clear(uint32_t argb, float depth, uint32_t stencil) = 0;
  virtual uint32_t BeginScene() = 0;
  virtual uint32_t EndScene() = 0;
  // Binds the texture to stage 0 (colour from the texture, alpha modulated with
  // the diffuse colour), draws `primitives` triangles of a strip from vertex 0
  // and unbinds the texture again.
  virtual uint32_t DrawTexturedStrip(uint32_t texture, uint32_t buffer, uint32_t stride,
                                     uint32_t format, uint32_t primitives) = 0;
};

class TPlaneScene {
 public:
  TPlaneScene();

  uint32_t InitScene(TPlaneDevice* device, float aspect);
  // Only the used fraction of a larger (power-of-two) texture is drawn.
  void SetTexRange(float v, float u);
  uint32_t DrawScene(TPlaneDevice* device, uint32_t texture);

  const std::array<TPlaneVertex, 4>& Vertices() const { return FVertices; }
  uint32_t VertexBuffer() const { return FVertexBuffer; }

  static TPlaneMatrix Projection(float a);
  static TPlaneMatrix View(float a);

 private:
  std::array<TPlaneVertex, 4> FVertices;
  uint32_t FVertexBuffer = 0;
};

}  // namespace vexo

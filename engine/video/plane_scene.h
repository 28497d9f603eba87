#pragma once
// The textured plane of the texture modes: one rectangle, drawn as a strip of
// two triangles, that fills the device's back buffer with the video texture.
// The scene owns the plane's geometry (its vertices, the used part of the
// texture, the view and projection); the device only draws what it is given.
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

// The plane's four vertices in strip order: top-left, bottom-left, top-right,
// bottom-right.
using TPlaneStrip = std::array<TPlaneVertex, 4>;

// A 4x4 transform, rows m11..m44, applied to row vectors (v * M).
using TPlaneMatrix = std::array<float, 16>;

// What the plane needs of a device. Every call answers 0 or a video error code.
class TPlaneDevice {
 public:
  virtual ~TPlaneDevice() = default;
  // Readies the device to draw the plane into its back buffer, seen through
  // `view` and then `projection`, replacing any earlier set-up; answers
  // veSurfaceLost when there is no back buffer to draw into.
  virtual uint32_t ConfigurePlane(const TPlaneMatrix& view, const TPlaneMatrix& projection) = 0;
  // Draws one frame into the back buffer: cleared to `clearArgb`, then the
  // strip with `texture` sampled over it (clamped, filtered linearly), the
  // texel's alpha times the vertex colour's alpha blending it over the clear
  // colour and leaving out what is 16/255 or less.
  virtual uint32_t DrawPlane(uint32_t texture, const TPlaneStrip& strip, uint32_t clearArgb) = 0;
};

class TPlaneScene {
 public:
  TPlaneScene();

  // Fits the plane to a picture of `aspect` and sets it up on `device`.
  uint32_t InitScene(TPlaneDevice* device, float aspect);
  // Only the used fraction of a larger (power-of-two) texture is drawn.
  void SetTexRange(float v, float u);
  uint32_t DrawScene(TPlaneDevice* device, uint32_t texture);

  const TPlaneStrip& Vertices() const { return FVertices; }

  static TPlaneMatrix Projection(float a);
  static TPlaneMatrix View(float a);

 private:
  TPlaneStrip FVertices;
  // A device was set up; until then there is nothing to draw with. A set-up
  // that failed leaves the device to answer for itself at the next draw.
  bool FConfigured = false;
};

}  // namespace vexo

#include "engine/video/plane_scene.h"

#include "engine/video/video_error_text.h"

namespace vexo {

namespace {

constexpr uint32_t OpaqueBlack = 0xFF000000;

constexpr TPlaneMatrix Identity() {
  return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

// Index of element mRC (1-based row and column) in a row-major matrix.
constexpr int At(int row, int column) {
  return (row - 1) * 4 + (column - 1);
}

}  // namespace

TPlaneScene::TPlaneScene() {
  // Strip order: top-left, bottom-left, top-right, bottom-right.
  FVertices = {{{-1, 1, 0, 0xFFFFFFFF, 0, 0},
                {-1, -1, 0, 0xFFFFFFFF, 0, 1},
                {1, 1, 0, 0xFFFFFFFF, 1, 0},
                {1, -1, 0, 0xFFFFFFFF, 1, 1}}};
}

TPlaneMatrix TPlaneScene::Projection(float a) {
  TPlaneMatrix m = Identity();
  m[At(2, 2)] = a;
  m[At(3, 4)] = 1;
  m[At(4, 3)] = -1;
  m[At(4, 4)] = 0;
  return m;
}

TPlaneMatrix TPlaneScene::View(float a) {
  // The plane at z = 0 seen from distance a: x in [-a, a], y in [-1, 1] fills
  // the viewport exactly.
  TPlaneMatrix m = Identity();
  m[At(4, 3)] = a;
  return m;
}

uint32_t TPlaneScene::InitScene(TPlaneDevice* device, float aspect) {
  if (!device) return veNullPointer;
  const float a = aspect >= 1.0f ? aspect : 1.0f;
  FVertices[0].X = FVertices[1].X = -a;
  FVertices[2].X = FVertices[3].X = a;
  FConfigured = true;
  return device->ConfigurePlane(View(a), Projection(a));
}

void TPlaneScene::SetTexRange(float v, float u) {
  FVertices[0].U = 0;
  FVertices[0].V = 0;
  FVertices[1].U = 0;
  FVertices[1].V = v;
  FVertices[2].U = u;
  FVertices[2].V = 0;
  FVertices[3].U = u;
  FVertices[3].V = v;
}

uint32_t TPlaneScene::DrawScene(TPlaneDevice* device, uint32_t texture) {
  if (!device || !texture) return veNullPointer;
  if (!FConfigured) return veInvalidCall;
  return device->DrawPlane(texture, FVertices, OpaqueBlack);
}

}  // namespace vexo

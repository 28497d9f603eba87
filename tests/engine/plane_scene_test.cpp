#include "engine/video/plane_scene.h"

#include <gtest/gtest.h>

#include "engine/video/video_error_text.h"
#include "tests/support/memory_video_system.h"

namespace vexo {
namespace {

// Where a vertex lands in normalised device coordinates: v * View * Projection.
std::array<float, 4> Transform(const TPlaneVertex& v, const TPlaneMatrix& view,
                               const TPlaneMatrix& projection) {
  auto apply = [](const std::array<float, 4>& in, const TPlaneMatrix& m) {
    std::array<float, 4> out{};
    for (int c = 0; c < 4; ++c)
      for (int r = 0; r < 4; ++r) out[c] += in[r] * m[r * 4 + c];
    return out;
  };
  return apply(apply({v.X, v.Y, v.Z, 1}, view), projection);
}

TEST(PlaneScene, InitialPlaneCoversTheTextureOnce) {
  TPlaneScene scene;
  const auto& v = scene.Vertices();
  const float expected[4][4] = {{-1, 1, 0, 0}, {-1, -1, 0, 1}, {1, 1, 1, 0}, {1, -1, 1, 1}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(v[i].X, expected[i][0]);
    EXPECT_EQ(v[i].Y, expected[i][1]);
    EXPECT_EQ(v[i].Z, 0);
    EXPECT_EQ(v[i].U, expected[i][2]);
    EXPECT_EQ(v[i].V, expected[i][3]);
    EXPECT_EQ(v[i].Color, 0xFFFFFFFFu);
  }
}

TEST(PlaneScene, PlaneFillsTheViewportForEveryAspect) {
  for (float aspect : {0.5f, 1.0f, 4.0f / 3.0f, 16.0f / 9.0f}) {
    SCOPED_TRACE(aspect);
    test::TMemoryTextureDevice device;
    TPlaneScene scene;
    ASSERT_EQ(scene.InitScene(&device, aspect), 0u);
    // Narrow pictures are drawn with a = 1.
    const float a = aspect < 1 ? 1.0f : aspect;
    EXPECT_EQ(scene.Vertices()[0].X, -a);
    EXPECT_EQ(scene.Vertices()[3].X, a);
    // Rows m11..m44: the projection is the identity but for m22 = a, m34 = 1,
    // m43 = -1, m44 = 0; the view is the identity but for m43 = a.
    const TPlaneMatrix projection{1, 0, 0,  0,  //
                                  0, a, 0,  0,  //
                                  0, 0, 1,  1,  //
                                  0, 0, -1, 0};
    const TPlaneMatrix view{1, 0, 0, 0,  //
                            0, 1, 0, 0,  //
                            0, 0, 1, 0,  //
                            0, 0, a, 1};
    EXPECT_EQ(device.Projection, projection);
    EXPECT_EQ(device.View, view);
    const float corners[4][2] = {{-1, 1}, {-1, -1}, {1, 1}, {1, -1}};
    for (int i = 0; i < 4; ++i) {
      const auto p = Transform(scene.Vertices()[i], device.View, device.Projection);
      EXPECT_FLOAT_EQ(p[0] / p[3], corners[i][0]);
      EXPECT_FLOAT_EQ(p[1] / p[3], corners[i][1]);
    }
  }
}

TEST(PlaneScene, TexRangeLimitsTheSampledPart) {
  TPlaneScene scene;
  scene.SetTexRange(0.5f, 0.625f);
  const auto& v = scene.Vertices();
  EXPECT_EQ(v[0].U, 0);
  EXPECT_EQ(v[0].V, 0);
  EXPECT_EQ(v[1].V, 0.5f);
  EXPECT_EQ(v[2].U, 0.625f);
  EXPECT_EQ(v[3].U, 0.625f);
  EXPECT_EQ(v[3].V, 0.5f);
  // The device receives the range with the vertices of the next frame.
  test::TMemoryTextureDevice device;
  ASSERT_EQ(scene.InitScene(&device, 1.0f), 0u);
  ASSERT_EQ(scene.DrawScene(&device, 5), 0u);
  ASSERT_EQ(device.BufferVertices.size(), 4u);
  EXPECT_EQ(device.BufferVertices[3].U, 0.625f);
  EXPECT_EQ(device.BufferVertices[3].V, 0.5f);
}

TEST(PlaneScene, MissingPiecesAreReportedWithoutDrawing) {
  test::TMemoryTextureDevice device;
  TPlaneScene scene;
  EXPECT_EQ(scene.InitScene(nullptr, 1.0f), uint32_t(veNullPointer));
  EXPECT_EQ(scene.DrawScene(&device, 5), uint32_t(veInvalidCall));
  ASSERT_EQ(scene.InitScene(&device, 1.0f), 0u);
  EXPECT_EQ(scene.DrawScene(&device, 0), uint32_t(veNullPointer));
  EXPECT_EQ(scene.DrawScene(nullptr, 5), uint32_t(veNullPointer));
  EXPECT_EQ(device.Clears, 0);
  EXPECT_EQ(device.Draws, 0);
  EXPECT_EQ(scene.DrawScene(&device, 5), 0u);
  EXPECT_EQ(device.Draws, 1);
}

TEST(PlaneScene, FirstFailingCallEndsInit) {
  test::TMemoryTextureDevice device;
  device.BackBufferResult = veSurfaceLost;
  TPlaneScene scene;
  EXPECT_EQ(scene.InitScene(&device, 1.0f), uint32_t(veSurfaceLost));
  EXPECT_EQ(device.Projection, TPlaneMatrix{});
}

}  // namespace
}  // namespace vexo

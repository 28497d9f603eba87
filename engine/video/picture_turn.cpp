#include "engine/video/picture_turn.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace vexo {

namespace {

// A turn as the signed matrix that carries a stored point (x, y) to
// (A x + C y, B x + D y), in picture coordinates (y grows downwards).
struct TTurnMatrix {
  int A, B, C, D;
  bool operator==(const TTurnMatrix&) const = default;
};

constexpr TTurnMatrix kMatrices[9] = {
    {1, 0, 0, 1},                                                // (unused)
    {1, 0, 0, 1}, {-1, 0, 0, 1}, {-1, 0, 0, -1}, {1, 0, 0, -1},  // 1..4
    {0, 1, 1, 0}, {0, 1, -1, 0}, {0, -1, -1, 0}, {0, -1, 1, 0},  // 5..8
};

TTurnMatrix MatrixOf(TPictureTurn turn) {
  return kMatrices[TurnOfOrientation(turn)];
}

TPictureTurn TurnOfMatrix(const TTurnMatrix& m) {
  for (int value = 1; value <= 8; ++value)
    if (kMatrices[value] == m) return TPictureTurn(value);
  return ptNone;
}

int SignOf(int64_t v) {
  return v < 0 ? -1 : 1;
}

// Where the turned picture's origin, next column and next row lie in the
// stored plane, in samples: column x, row y of the turned picture reads
// stored sample (X0 + x XX + y YX, Y0 + x XY + y YY).
struct TTurnWalk {
  int32_t X0, Y0;
  int XX, XY, YX, YY;
};

TTurnWalk WalkOf(TPictureTurn turn, int32_t w, int32_t h) {
  switch (turn) {
    case ptMirror:
      return {w - 1, 0, -1, 0, 0, 1};
    case ptRotate180:
      return {w - 1, h - 1, -1, 0, 0, -1};
    case ptFlip:
      return {0, h - 1, 1, 0, 0, -1};
    case ptTranspose:
      return {0, 0, 0, 1, 1, 0};
    case ptRotate90:
      return {0, h - 1, 0, -1, 1, 0};
    case ptTransverse:
      return {w - 1, h - 1, 0, -1, -1, 0};
    case ptRotate270:
      return {w - 1, 0, 0, 1, -1, 0};
    default:
      return {0, 0, 1, 0, 0, 1};
  }
}

// Samples are copied whole; three-byte samples (B, G, R) as one unit.
template <int Bytes>
inline void CopySample(uint8_t* out, const uint8_t* in) {
  if constexpr (Bytes == 1)
    *out = *in;
  else
    std::memcpy(out, in, Bytes);
}

// Square tiles keep both the rows read and the rows written in the cache when
// a quarter turn reads the stored plane down its columns.
constexpr int32_t kTile = 32;

template <int Bytes>
void TurnSamples(const uint8_t* src, ptrdiff_t srcLineSize, const TTurnWalk& walk, int32_t outW,
                 int32_t outH, uint8_t* dst, ptrdiff_t dstLineSize) {
  const ptrdiff_t stepX = ptrdiff_t(walk.XX) * Bytes + ptrdiff_t(walk.XY) * srcLineSize;
  const ptrdiff_t stepY = ptrdiff_t(walk.YX) * Bytes + ptrdiff_t(walk.YY) * srcLineSize;
  const uint8_t* origin = src + ptrdiff_t(walk.X0) * Bytes + ptrdiff_t(walk.Y0) * srcLineSize;
  for (int32_t ty = 0; ty < outH; ty += kTile)
    for (int32_t tx = 0; tx < outW; tx += kTile) {
      const int32_t yEnd = std::min(ty + kTile, outH), xEnd = std::min(tx + kTile, outW);
      for (int32_t y = ty; y < yEnd; ++y) {
        const uint8_t* in = origin + y * stepY + tx * stepX;
        uint8_t* out = dst + y * dstLineSize + ptrdiff_t(tx) * Bytes;
        for (int32_t x = tx; x < xEnd; ++x, in += stepX, out += Bytes) CopySample<Bytes>(out, in);
      }
    }
}

}  // namespace

TPictureTurn TurnOfOrientation(int value) {
  return value >= 1 && value <= 8 ? TPictureTurn(value) : ptNone;
}

TPictureTurn TurnOfDisplayMatrix(const int32_t matrix[9]) {
  if (!matrix) return ptNone;
  const int64_t a = matrix[0], b = matrix[1], c = matrix[3], d = matrix[4];
  if (a == 0 && b == 0 && c == 0 && d == 0) return ptNone;
  if (std::llabs(a) + std::llabs(d) >= std::llabs(b) + std::llabs(c))
    return TurnOfMatrix({SignOf(a), 0, 0, SignOf(d)});
  return TurnOfMatrix({0, SignOf(b), SignOf(c), 0});
}

bool TurnSwapsAxes(TPictureTurn turn) {
  return MatrixOf(turn).A == 0;
}

TPictureTurn CombineTurns(TPictureTurn first, TPictureTurn then) {
  const TTurnMatrix f = MatrixOf(first), t = MatrixOf(then);
  // Column vectors: (x', y') = [[A, C], [B, D]] (x, y); `then` applies last.
  return TurnOfMatrix(
      {t.A * f.A + t.C * f.B, t.B * f.A + t.D * f.B, t.A * f.C + t.C * f.D, t.B * f.C + t.D * f.D});
}

TPictureTurn InverseTurn(TPictureTurn turn) {
  const TTurnMatrix m = MatrixOf(turn);
  return TurnOfMatrix({m.A, m.C, m.B, m.D});
}

void TurnedSourcePixel(TPictureTurn turn, int32_t width, int32_t height, int32_t x, int32_t y,
                       int32_t& sourceX, int32_t& sourceY) {
  const TTurnWalk walk = WalkOf(TurnOfOrientation(turn), width, height);
  sourceX = walk.X0 + x * walk.XX + y * walk.YX;
  sourceY = walk.Y0 + x * walk.XY + y * walk.YY;
}

void TurnPlane(const uint8_t* src, int32_t srcLineSize, int32_t width, int32_t height,
               int sampleBytes, TPictureTurn turn, uint8_t* dst, int32_t dstLineSize) {
  if (!src || !dst || width <= 0 || height <= 0) return;
  turn = TurnOfOrientation(turn);
  const TTurnWalk walk = WalkOf(turn, width, height);
  const bool swap = TurnSwapsAxes(turn);
  const int32_t outW = swap ? height : width, outH = swap ? width : height;
  if (sampleBytes == 3)
    TurnSamples<3>(src, srcLineSize, walk, outW, outH, dst, dstLineSize);
  else
    TurnSamples<1>(src, srcLineSize, walk, outW, outH, dst, dstLineSize);
}

}  // namespace vexo

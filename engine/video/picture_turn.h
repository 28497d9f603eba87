#pragma once
// How a stored picture is turned to be seen upright: a quarter turn, a half
// turn, a mirror or a mirror with a quarter turn. The values are those of the
// EXIF Orientation tag, which names the same eight cases; a video's display
// matrix is brought to the nearest of them.
#include <cstdint>

namespace vexo {

enum TPictureTurn : uint8_t {
  ptNone = 1,    // stored upright
  ptMirror = 2,  // left and right swapped
  ptRotate180 = 3,
  ptFlip = 4,        // top and bottom swapped
  ptTranspose = 5,   // mirrored, then a quarter turn anticlockwise
  ptRotate90 = 6,    // a quarter turn clockwise
  ptTransverse = 7,  // mirrored, then a quarter turn clockwise
  ptRotate270 = 8,   // a quarter turn anticlockwise
};

// 1..8 as the turn it names; anything else (a missing or broken tag) is ptNone.
TPictureTurn TurnOfOrientation(int value);

// The turn a 3x3 display matrix (16.16 fixed point, row-major, mapping a
// stored point (x, y) to (a x + c y, b x + d y) with a, b, c, d its first two
// entries of the first two rows) asks for. Angles between the quarters go to
// the nearest; a matrix that maps everything to a point is ptNone.
TPictureTurn TurnOfDisplayMatrix(const int32_t matrix[9]);

// The upright picture is as wide as the stored one is tall.
bool TurnSwapsAxes(TPictureTurn turn);

// `first`, then `then`, as one turn.
TPictureTurn CombineTurns(TPictureTurn first, TPictureTurn then);

// The turn that undoes `turn`.
TPictureTurn InverseTurn(TPictureTurn turn);

// Writes the turned copy of a plane of width x height samples of
// `sampleBytes` bytes each (1, 2, 3, 4, 6 or 8; any other leaves `dst` as it
// is) to `dst`, which must hold the turned size.
void TurnPlane(const uint8_t* src, int32_t srcLineSize, int32_t width, int32_t height,
               int sampleBytes, TPictureTurn turn, uint8_t* dst, int32_t dstLineSize);

}  // namespace vexo

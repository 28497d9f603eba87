#include "engine/video/picture_turn.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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
        for (int32_t x = tx; x < xEnd; ++x, in += stepX, out += Bytes) std::memcpy(out, in, Bytes);
      }
    }
}

// out row c, column r := in row r, column c, for rows x cols stored bytes.
// Either side may step backwards, which is how a quarter turn differs from
// a mirror turned about the diagonal.
#if defined(__SSE2__)
// One 16 x 16 block: four rounds of interleaving rows i and i + 8 rotate
// each byte's (row, column) index by four bits, which swaps them.
inline void Transpose16(const uint8_t* in, ptrdiff_t inStep, uint8_t* out, ptrdiff_t outStep) {
  // Fully unrolled, so that the sixteen rows stay in registers.
  __m128i r[16], t[16];
#pragma GCC unroll 16
  for (int i = 0; i < 16; ++i)
    r[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i * inStep));
#pragma GCC unroll 4
  for (int round = 0; round < 4; ++round) {
#pragma GCC unroll 8
    for (int i = 0; i < 8; ++i) {
      t[2 * i] = _mm_unpacklo_epi8(r[i], r[i + 8]);
      t[2 * i + 1] = _mm_unpackhi_epi8(r[i], r[i + 8]);
    }
#pragma GCC unroll 16
    for (int i = 0; i < 16; ++i) r[i] = t[i];
  }
#pragma GCC unroll 16
  for (int i = 0; i < 16; ++i)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i * outStep), r[i]);
}
constexpr int32_t kBlock = 16;
#else
constexpr int32_t kBlock = 0;
#endif

void TransposeBytes(const uint8_t* in, ptrdiff_t inStep, int32_t rows, int32_t cols, uint8_t* out,
                    ptrdiff_t outStep) {
  int32_t blockRows = 0, blockCols = 0;
#if defined(__SSE2__)
  blockRows = rows - rows % kBlock, blockCols = cols - cols % kBlock;
  // Strips of four blocks' rows fill whole 64-byte lines of each output row
  // before moving on, and read the same source lines while they are cached.
  constexpr int32_t kStrip = 4 * kBlock;
  for (int32_t strip = 0; strip < blockRows; strip += kStrip) {
    const int32_t stripEnd = std::min(strip + kStrip, blockRows);
    for (int32_t c = 0; c < blockCols; c += kBlock)
      for (int32_t r = strip; r < stripEnd; r += kBlock)
        Transpose16(in + r * inStep + c, inStep, out + c * outStep + r, outStep);
  }
#endif
  // The edges the blocks leave: the last columns of every row, then the
  // last rows.
  for (int32_t r = 0; r < blockRows; ++r)
    for (int32_t c = blockCols; c < cols; ++c) out[c * outStep + r] = in[r * inStep + c];
  for (int32_t r = blockRows; r < rows; ++r)
    for (int32_t c = 0; c < cols; ++c) out[c * outStep + r] = in[r * inStep + c];
}

// A row of bytes written back to front.
void ReverseRow(const uint8_t* in, int32_t width, uint8_t* out) {
  int32_t x = 0;
#if defined(__SSE2__)
  for (; x + 16 <= width; x += 16) {
    __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + width - 16 - x));
    v = _mm_shuffle_epi32(v, _MM_SHUFFLE(0, 1, 2, 3));
    v = _mm_shufflelo_epi16(v, _MM_SHUFFLE(2, 3, 0, 1));
    v = _mm_shufflehi_epi16(v, _MM_SHUFFLE(2, 3, 0, 1));
    v = _mm_or_si128(_mm_srli_epi16(v, 8), _mm_slli_epi16(v, 8));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), v);
  }
#endif
  for (; x < width; ++x) out[x] = in[width - 1 - x];
}

// Byte samples: whole rows moved or reversed, or a transpose with either
// side read backwards.
void TurnBytes(const uint8_t* src, ptrdiff_t ls, int32_t w, int32_t h, TPictureTurn turn,
               uint8_t* dst, ptrdiff_t outLs) {
  const uint8_t* lastRow = src + (h - 1) * ls;
  switch (turn) {
    case ptFlip:
      for (int32_t y = 0; y < h; ++y) std::memcpy(dst + y * outLs, lastRow - y * ls, size_t(w));
      return;
    case ptMirror:
      for (int32_t y = 0; y < h; ++y) ReverseRow(src + y * ls, w, dst + y * outLs);
      return;
    case ptRotate180:
      for (int32_t y = 0; y < h; ++y) ReverseRow(lastRow - y * ls, w, dst + y * outLs);
      return;
    case ptTranspose:
      TransposeBytes(src, ls, h, w, dst, outLs);
      return;
    case ptRotate90:
      TransposeBytes(lastRow, -ls, h, w, dst, outLs);
      return;
    case ptRotate270:
      TransposeBytes(src, ls, h, w, dst + (w - 1) * outLs, -outLs);
      return;
    case ptTransverse:
      TransposeBytes(lastRow, -ls, h, w, dst + (w - 1) * outLs, -outLs);
      return;
    default:
      for (int32_t y = 0; y < h; ++y) std::memcpy(dst + y * outLs, src + y * ls, size_t(w));
      return;
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

void TurnPlane(const uint8_t* src, int32_t srcLineSize, int32_t width, int32_t height,
               int sampleBytes, TPictureTurn turn, uint8_t* dst, int32_t dstLineSize) {
  if (!src || !dst || width <= 0 || height <= 0) return;
  turn = TurnOfOrientation(turn);
  if (sampleBytes == 1) {
    TurnBytes(src, srcLineSize, width, height, turn, dst, dstLineSize);
    return;
  }
  const TTurnWalk walk = WalkOf(turn, width, height);
  const bool swap = TurnSwapsAxes(turn);
  const int32_t outW = swap ? height : width, outH = swap ? width : height;
  switch (sampleBytes) {
    case 2:
      return TurnSamples<2>(src, srcLineSize, walk, outW, outH, dst, dstLineSize);
    case 3:
      return TurnSamples<3>(src, srcLineSize, walk, outW, outH, dst, dstLineSize);
    case 4:
      return TurnSamples<4>(src, srcLineSize, walk, outW, outH, dst, dstLineSize);
    case 6:
      return TurnSamples<6>(src, srcLineSize, walk, outW, outH, dst, dstLineSize);
    case 8:
      return TurnSamples<8>(src, srcLineSize, walk, outW, outH, dst, dstLineSize);
    default:
      return;
  }
}

}  // namespace vexo

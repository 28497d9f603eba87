#pragma once
// Exact fast YUV to 32-bit B, G, R, A rows. The colour of a pixel is
//   R = ClampByte(Y + 1.13983 (V - 128))
//   G = ClampByte(Y - 0.39465 (U - 128) - 0.5806 (V - 128))
//   B = ClampByte(Y + 2.03211 (U - 128))
// in extended precision. Since Y is an integer, rounding Y + f equals
// Y + round(f) unless f is an exact half, so each channel becomes Y plus an
// integer offset per chroma sample: a saturating byte add of its positive part
// and a saturating byte subtract of its negative part.
// Only two (U, V) pairs put G on an exact half; their pixels are recomputed.
#include <cstdint>
#include <vector>

namespace vexo {

// The colour formulas, evaluated directly; the fast rows must agree with them.
uint8_t YuvToR(int y, int v);
uint8_t YuvToG(int y, int u, int v);
uint8_t YuvToB(int y, int u);

// The instruction sets the rows can use, from the plainest.
enum class TYuvToBgraLevel { Scalar, Sse2, Avx2 };

// The best level this build and processor offer.
TYuvToBgraLevel YuvToBgraBestLevel();
// Keeps the rows at or below `cap` (so that tests reach every level) and
// returns the level they now use.
TYuvToBgraLevel LimitYuvToBgraLevel(TYuvToBgraLevel cap);

// Per-pixel offsets for one chroma row, reused by every luma row sharing it.
class TYuvToBgraRow {
 public:
  // Prepares `width` pixels; pixel x uses chroma sample x >> hShift (hShift
  // 0, 1 or 2), read at column min(x >> hShift, lastColumn).
  void SetChroma(const uint8_t* u, const uint8_t* v, int32_t width, int hShift, int32_t lastColumn);
  // Writes the prepared width of pixels from `luma` to `out`.
  void ConvertRow(const uint8_t* luma, uint8_t* out) const;
  // Rows of a picture that StreamsPicture picks are written past the caches
  // (where the level and the row's alignment allow).
  void SetStreaming(bool stream) { FStream = stream; }

  // A sample whose G offset lies on an exact half.
  struct THalf {
    int32_t Sample;
    uint8_t U, V;
  };

 private:
  TYuvToBgraLevel FLevel = TYuvToBgraLevel::Scalar;
  int32_t FWidth = 0;
  int FHShift = 0;
  bool FStream = false;
  // Six planes of FStride bytes: positive and negative parts of B, G and R,
  // each in the pixel order that the level's row loop wants.
  std::vector<uint8_t> FOffsets;
  int32_t FStride = 0;
  std::vector<THalf> FHalves;
};

}  // namespace vexo

#pragma once
// Fast YUV to 32-bit B, G, R, A rows in the colours of a picture's matrix and
// range (see picture_colour.h), in fixed point:
//   L = Y unchanged (full range), or round((Y - 16) 255 / 219) clamped to a byte
//   R = clamp(L + round(Rv (V - 128)))
//   G = clamp(L + round(-Gu (U - 128) - Gv (V - 128)))
//   B = clamp(L + round(Bu (U - 128)))
// each product in the fixed point of YuvToBgraFactors. Each channel is thus L
// plus an integer offset per chroma sample: a saturating byte add of its
// positive part and a saturating byte subtract of its negative part. Every
// level computes exactly the same bytes as the plain functions below.
#include <cstdint>
#include <vector>

#include "engine/video/picture_colour.h"

namespace vexo {

// The fixed-point factors of one colour.
struct TYuvToBgraFactors {
  int16_t R = 0, B = 0;    // Rv and Bu in units of 1/8192, even
  int16_t GU = 0, GV = 0;  // -Gu and -Gv in units of 1/4096
  int16_t Luma = 0;        // 255/219 in units of 1/1024, even; 0 keeps the luma as it is
  int16_t LumaOffset = 0;
  bool operator==(const TYuvToBgraFactors&) const = default;
};
TYuvToBgraFactors YuvToBgraFactors(const TYuvCoefficients& c);

// The formulas, evaluated plainly; the fast rows must agree with them.
uint8_t YuvLuma(int y, const TYuvToBgraFactors& f);
uint8_t YuvToR(int y, int v, const TYuvToBgraFactors& f);
uint8_t YuvToG(int y, int u, int v, const TYuvToBgraFactors& f);
uint8_t YuvToB(int y, int u, const TYuvToBgraFactors& f);

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
  // The colour of the rows that follow.
  void SetFactors(const TYuvToBgraFactors& factors) { FFactors = factors; }
  // Prepares `width` pixels; pixel x uses chroma sample x >> hShift (hShift
  // 0, 1 or 2), read at column min(x >> hShift, lastColumn).
  void SetChroma(const uint8_t* u, const uint8_t* v, int32_t width, int hShift, int32_t lastColumn);
  // Writes the prepared width of pixels from `luma` to `out`.
  void ConvertRow(const uint8_t* luma, uint8_t* out) const;
  // Rows of a picture that StreamsPicture picks are written past the caches
  // (where the level and the row's alignment allow).
  void SetStreaming(bool stream) { FStream = stream; }

 private:
  TYuvToBgraLevel FLevel = TYuvToBgraLevel::Scalar;
  TYuvToBgraFactors FFactors = YuvToBgraFactors(TYuvCoefficients{});
  int32_t FWidth = 0;
  bool FStream = false;
  // Six planes of FStride bytes: positive and negative parts of B, G and R,
  // each in the pixel order that the level's row loop wants.
  std::vector<uint8_t> FOffsets;
  int32_t FStride = 0;
  // A limited-range row's luma, expanded to full range.
  mutable std::vector<uint8_t> FLuma;
};

}  // namespace vexo

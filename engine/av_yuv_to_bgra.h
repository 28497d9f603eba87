#pragma once
// Exact fast YUV to 32-bit B, G, R, A rows. The colour of a pixel is
//   R = ClampByte(Y + 1.13983 (V - 128))
//   G = ClampByte(Y - 0.39465 (U - 128) - 0.5806 (V - 128))
//   B = ClampByte(Y + 2.03211 (U - 128))
// in extended precision. Since Y is an integer, rounding Y + f equals
// Y + round(f) unless f is an exact half, so each channel becomes Y plus a
// tabled offset per chroma value, a saturating add that runs in vector lanes.
// Only two (U, V) pairs put G on an exact half; their pixels are recomputed.
#include <cstdint>
#include <vector>

namespace vexo {

// The colour formulas, evaluated directly; the fast rows must agree with them.
uint8_t YuvToR(int y, int v);
uint8_t YuvToG(int y, int u, int v);
uint8_t YuvToB(int y, int u);

// Per-sample offsets for one chroma row, reused by every luma row sharing it.
class TYuvToBgraRow {
 public:
  // Tabulates `count` chroma samples; sample i reads column min(i, lastColumn).
  void SetChroma(const uint8_t* u, const uint8_t* v, int32_t count, int32_t lastColumn);
  // Writes `width` pixels from `luma0` to `out0` and, unless `luma1` is null,
  // from `luma1` to `out1`; pixel x uses chroma sample x >> hShift (0, 1 or 2),
  // which SetChroma must have covered.
  void ConvertRows(const uint8_t* luma0, uint8_t* out0, const uint8_t* luma1, uint8_t* out1,
                   int32_t width, int hShift) const;

 private:
  std::vector<int16_t> FR, FG, FB;
  std::vector<uint8_t> FU, FV;
  std::vector<int32_t> FHalves;  // samples whose G offset lies on an exact half
};

}  // namespace vexo

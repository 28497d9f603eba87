#pragma once
// Building blocks of the picture conversion: the colour byte clamp, the border
// geometry, nearest-sample plane scaling and border painting.
#include <cmath>
#include <cstdint>

#include "engine/media/av_types.h"

namespace vexo {

// Below 0 gives 0, above 255 gives 255, anything else rounds to nearest with
// ties to even. Every colour formula of the conversion goes through it.
inline uint8_t ClampByte(long double value) {
  if (value < 0) return 0;
  if (value > 255) return 255;
  return uint8_t(std::nearbyint(value));
}

// Sizes of the four bands around a centred content rectangle; the odd pixel of
// a difference goes to the right or the bottom band.
struct TBorders {
  int32_t Left = 0;
  int32_t Right = 0;
  int32_t Top = 0;
  int32_t Bottom = 0;
};

TBorders BorderSizes(int32_t dstWidth, int32_t dstHeight, int32_t contentWidth,
                     int32_t contentHeight);

// Chroma subsampling of a planar source as right shifts of its dimensions.
struct TChromaShifts {
  int H = 0;
  int V = 0;
};

// The planar source formats the conversion accepts; false for any other.
bool PlanarSourceShifts(int pixFmt, TChromaShifts& shifts);

bool IsPlanar420FourCC(TFourCC code);
bool IsPacked422FourCC(TFourCC code);
bool Is32BitFourCC(TFourCC code);

// Nearest-sample scaling of one byte plane into a content rectangle whose
// first byte is `dst`: output row y reads source row trunc(y * ry), column x
// reads column trunc(x * rx), with both ratios held as 32-bit floats.
// Degenerate sizes write nothing.
void ScalePlane(const uint8_t* src, int32_t srcLineSize, int32_t srcWidth, int32_t srcHeight,
                uint8_t* dst, int32_t dstLineSize, int32_t contentWidth, int32_t contentHeight);

// Paints the bands around a content rectangle with `value`: the top and bottom
// rows over the whole width, the left and right bands on every content row.
// Horizontal sizes are in bytes.
void FillBorders(uint8_t* plane, int32_t lineSize, int32_t width, int32_t height,
                 const TBorders& borders, uint8_t value);

}  // namespace vexo

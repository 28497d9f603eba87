#pragma once
// Packing of planar luma and chroma rows into packed 4:2:2 rows.
#include <cstdint>

namespace vexo {

// Writes `pairs` pixel pairs: "UYVY" order U, Y0, V, Y1 when `uyvy`, otherwise
// "YUY2" order Y0, U, Y1, V. Pair i takes chroma column (2i) >> hShift, capped
// at `lastColumn`, so a full-width chroma row gives its even samples.
void PackYuv422Row(const uint8_t* luma, const uint8_t* u, const uint8_t* v, int32_t pairs,
                   int hShift, int32_t lastColumn, bool uyvy, uint8_t* out);

}  // namespace vexo

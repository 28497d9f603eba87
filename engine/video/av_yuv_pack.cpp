#include "engine/video/av_yuv_pack.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vexo {

void PackYuv422Row(const uint8_t* luma, const uint8_t* u, const uint8_t* v, int32_t pairs,
                   int hShift, int32_t lastColumn, bool uyvy, uint8_t* out) {
  int32_t i = 0;
#if defined(__SSE2__)
  if (hShift == 1) {
    // One chroma sample per pair: 16 pairs from 32 luma and 16 + 16 chroma bytes.
    const int32_t vectorPairs = pairs < lastColumn + 1 ? pairs : lastColumn + 1;
    for (; i + 16 <= vectorPairs; i += 16) {
      const __m128i y0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(luma + 2 * i));
      const __m128i y1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(luma + 2 * i + 16));
      const __m128i cu = _mm_loadu_si128(reinterpret_cast<const __m128i*>(u + i));
      const __m128i cv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v + i));
      const __m128i uvLo = _mm_unpacklo_epi8(cu, cv);
      const __m128i uvHi = _mm_unpackhi_epi8(cu, cv);
      __m128i* dst = reinterpret_cast<__m128i*>(out + 4 * i);
      if (uyvy) {
        _mm_storeu_si128(dst + 0, _mm_unpacklo_epi8(uvLo, y0));
        _mm_storeu_si128(dst + 1, _mm_unpackhi_epi8(uvLo, y0));
        _mm_storeu_si128(dst + 2, _mm_unpacklo_epi8(uvHi, y1));
        _mm_storeu_si128(dst + 3, _mm_unpackhi_epi8(uvHi, y1));
      } else {
        _mm_storeu_si128(dst + 0, _mm_unpacklo_epi8(y0, uvLo));
        _mm_storeu_si128(dst + 1, _mm_unpackhi_epi8(y0, uvLo));
        _mm_storeu_si128(dst + 2, _mm_unpacklo_epi8(y1, uvHi));
        _mm_storeu_si128(dst + 3, _mm_unpackhi_epi8(y1, uvHi));
      }
    }
  }
#endif
  for (; i < pairs; ++i) {
    int32_t c = (2 * i) >> hShift;
    if (c > lastColumn) c = lastColumn;
    uint8_t* p = out + 4 * i;
    if (uyvy) {
      p[0] = u[c], p[1] = luma[2 * i], p[2] = v[c], p[3] = luma[2 * i + 1];
    } else {
      p[0] = luma[2 * i], p[1] = u[c], p[2] = luma[2 * i + 1], p[3] = v[c];
    }
  }
}

}  // namespace vexo

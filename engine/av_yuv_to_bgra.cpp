#include "engine/av_yuv_to_bgra.h"

#include <algorithm>
#include <cmath>

#include "engine/av_scale_utils.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vexo {

uint8_t YuvToR(int y, int v) {
  return ClampByte(y + 1.13983L * (v - 128));
}

uint8_t YuvToG(int y, int u, int v) {
  return ClampByte(y - 0.39465L * (u - 128) - 0.5806L * (v - 128));
}

uint8_t YuvToB(int y, int u) {
  return ClampByte(y + 2.03211L * (u - 128));
}

namespace {

struct TOffsetTables {
  int16_t R[256];
  int16_t B[256];
  int16_t G[256 * 256];
  uint8_t GHalf[256 * 256];

  TOffsetTables() {
    for (int c = 0; c < 256; ++c) {
      R[c] = int16_t(std::nearbyint(1.13983L * (c - 128)));
      B[c] = int16_t(std::nearbyint(2.03211L * (c - 128)));
    }
    for (int u = 0; u < 256; ++u)
      for (int v = 0; v < 256; ++v) {
        const long double f = -0.39465L * (u - 128) - 0.5806L * (v - 128);
        const long double frac = std::fabs(f - std::trunc(f));
        G[u << 8 | v] = int16_t(std::nearbyint(f));
        // The exact sum is a multiple of 1/20000; anything this close to a
        // half is a half, whose rounding depends on Y.
        GHalf[u << 8 | v] = std::fabs(frac - 0.5L) < 1e-9L;
      }
  }
};

const TOffsetTables& Tables() {
  static const TOffsetTables tables;
  return tables;
}

inline uint8_t SaturateByte(int value) {
  return uint8_t(value < 0 ? 0 : value > 255 ? 255 : value);
}

#if defined(__SSE2__)
// Offsets for 16 pixels starting at pixel x, as two vectors of 8.
template <int HShift>
inline void LoadOffsets(const int16_t* offsets, int32_t x, __m128i& lo, __m128i& hi) {
  if constexpr (HShift == 0) {
    lo = _mm_loadu_si128(reinterpret_cast<const __m128i*>(offsets + x));
    hi = _mm_loadu_si128(reinterpret_cast<const __m128i*>(offsets + x + 8));
  } else if constexpr (HShift == 1) {
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(offsets + x / 2));
    lo = _mm_unpacklo_epi16(c, c);
    hi = _mm_unpackhi_epi16(c, c);
  } else {
    const __m128i c = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(offsets + x / 4));
    const __m128i d = _mm_unpacklo_epi16(c, c);
    lo = _mm_unpacklo_epi16(d, d);
    hi = _mm_unpackhi_epi16(d, d);
  }
}

template <int HShift>
inline __m128i AddChannel(__m128i yLo, __m128i yHi, const int16_t* offsets, int32_t x) {
  __m128i lo, hi;
  LoadOffsets<HShift>(offsets, x, lo, hi);
  return _mm_packus_epi16(_mm_adds_epi16(yLo, lo), _mm_adds_epi16(yHi, hi));
}
#endif

template <int HShift>
void ConvertRowShifted(const uint8_t* luma, int32_t width, const int16_t* offR, const int16_t* offG,
                       const int16_t* offB, uint8_t* out) {
  int32_t x = 0;
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  const __m128i alpha = _mm_set1_epi8(char(0xFF));
  for (; x + 16 <= width; x += 16) {
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(luma + x));
    const __m128i yLo = _mm_unpacklo_epi8(y, zero);
    const __m128i yHi = _mm_unpackhi_epi8(y, zero);
    const __m128i r = AddChannel<HShift>(yLo, yHi, offR, x);
    const __m128i g = AddChannel<HShift>(yLo, yHi, offG, x);
    const __m128i b = AddChannel<HShift>(yLo, yHi, offB, x);
    const __m128i bgLo = _mm_unpacklo_epi8(b, g);
    const __m128i bgHi = _mm_unpackhi_epi8(b, g);
    const __m128i raLo = _mm_unpacklo_epi8(r, alpha);
    const __m128i raHi = _mm_unpackhi_epi8(r, alpha);
    __m128i* dst = reinterpret_cast<__m128i*>(out + 4 * x);
    _mm_storeu_si128(dst + 0, _mm_unpacklo_epi16(bgLo, raLo));
    _mm_storeu_si128(dst + 1, _mm_unpackhi_epi16(bgLo, raLo));
    _mm_storeu_si128(dst + 2, _mm_unpacklo_epi16(bgHi, raHi));
    _mm_storeu_si128(dst + 3, _mm_unpackhi_epi16(bgHi, raHi));
  }
#endif
  for (; x < width; ++x) {
    const int y = luma[x];
    const int c = x >> HShift;
    out[4 * x + 0] = SaturateByte(y + offB[c]);
    out[4 * x + 1] = SaturateByte(y + offG[c]);
    out[4 * x + 2] = SaturateByte(y + offR[c]);
    out[4 * x + 3] = 0xFF;
  }
}

}  // namespace

void TYuvToBgraRow::SetChroma(const uint8_t* u, const uint8_t* v, int32_t count,
                              int32_t lastColumn) {
  const TOffsetTables& t = Tables();
  // Whole vectors may read a few samples past the last one in use.
  const size_t size = size_t(count) + 16;
  FR.resize(size), FG.resize(size), FB.resize(size), FU.resize(size), FV.resize(size);
  FHalves.clear();
  for (int32_t i = 0; i < count; ++i) {
    const int32_t column = i < lastColumn ? i : lastColumn;
    const uint8_t cu = u[column], cv = v[column];
    FR[i] = t.R[cv];
    FB[i] = t.B[cu];
    FG[i] = t.G[cu << 8 | cv];
    if (t.GHalf[cu << 8 | cv]) [[unlikely]] {
      FHalves.push_back(i);
      FU[i] = cu, FV[i] = cv;
    }
  }
}

void TYuvToBgraRow::ConvertRow(const uint8_t* luma, int32_t width, int hShift, uint8_t* out) const {
  switch (hShift) {
    case 0:
      ConvertRowShifted<0>(luma, width, FR.data(), FG.data(), FB.data(), out);
      break;
    case 1:
      ConvertRowShifted<1>(luma, width, FR.data(), FG.data(), FB.data(), out);
      break;
    default:
      ConvertRowShifted<2>(luma, width, FR.data(), FG.data(), FB.data(), out);
      break;
  }
  for (int32_t i : FHalves) {
    const int32_t end = std::min(width, (i + 1) << hShift);
    for (int32_t x = i << hShift; x < end; ++x) out[4 * x + 1] = YuvToG(luma[x], FU[i], FV[i]);
  }
}

}  // namespace vexo

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

constexpr int16_t HalfMarker = INT16_MIN;

struct TOffsetTables {
  int16_t R[256];
  int16_t B[256];
  // A G offset on an exact half is stored as HalfMarker; the vector pass
  // writes a wrong byte for it, which the exact recomputation replaces.
  int16_t G[256 * 256];

  TOffsetTables() {
    for (int c = 0; c < 256; ++c) {
      R[c] = int16_t(std::nearbyint(1.13983L * (c - 128)));
      B[c] = int16_t(std::nearbyint(2.03211L * (c - 128)));
    }
    for (int u = 0; u < 256; ++u)
      for (int v = 0; v < 256; ++v) {
        const long double f = -0.39465L * (u - 128) - 0.5806L * (v - 128);
        const long double frac = std::fabs(f - std::trunc(f));
        // The exact sum is a multiple of 1/20000; anything this close to a
        // half is a half, whose rounding depends on Y.
        G[u << 8 | v] = std::fabs(frac - 0.5L) < 1e-9L ? HalfMarker : int16_t(std::nearbyint(f));
      }
  }
};

const TOffsetTables& Tables() {
  static const TOffsetTables tables;
  return tables;
}

#if defined(__SSE2__)
// The chroma offsets in 8.24 fixed point, eight samples at a time. The exact
// offsets lie at least 1e-5 from a half (bar G's two exact halves), and the
// fixed-point error stays below 4e-6 per term, so floor(t + 1/2) rounds
// exactly. R and B keep only the fraction of their factor beyond an integer
// (1 and 2) so that every sum fits 32 bits; madd of a high and a low 16-bit
// half of each constant gives the full products.
struct TFixedFactor {
  __m128i High, Low;
  TFixedFactor(long double forU, long double forV) {
    const int64_t ku = std::llround(forU * (1 << 24)), kv = std::llround(forV * (1 << 24));
    const int64_t hu = (ku + 32768) >> 16, hv = (kv + 32768) >> 16;
    High = Pair(int16_t(hu), int16_t(hv));
    Low = Pair(int16_t(ku - hu * 65536), int16_t(kv - hv * 65536));
  }
  static __m128i Pair(int16_t u, int16_t v) {
    return _mm_set1_epi32(int32_t(uint16_t(u)) | int32_t(uint32_t(uint16_t(v)) << 16));
  }
  // floor(offset + 1/2) of four interleaved (U - 128, V - 128) pairs.
  __m128i Round(__m128i uv) const {
    const __m128i t =
        _mm_add_epi32(_mm_slli_epi32(_mm_madd_epi16(uv, High), 16), _mm_madd_epi16(uv, Low));
    return _mm_srai_epi32(_mm_add_epi32(t, _mm_set1_epi32(1 << 23)), 24);
  }
};

// Offsets of samples [0, count) computed in vector lanes; returns how many.
int32_t ChromaOffsetsVector(const uint8_t* u, const uint8_t* v, int32_t count, int16_t* offR,
                            int16_t* offG, int16_t* offB, std::vector<int32_t>& halves) {
  static const TFixedFactor r(0, 0.13983L), g(-0.39465L, -0.5806L), b(0.03211L, 0);
  // The (U - 128, V - 128) pairs whose G offset is an exact half.
  const __m128i half1 = TFixedFactor::Pair(-104, 106), half2 = TFixedFactor::Pair(104, -106);
  const __m128i zero = _mm_setzero_si128(), bias = _mm_set1_epi16(128);
  int32_t i = 0;
  for (; i + 8 <= count; i += 8) {
    const __m128i du = _mm_sub_epi16(
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(u + i)), zero), bias);
    const __m128i dv = _mm_sub_epi16(
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(v + i)), zero), bias);
    const __m128i lo = _mm_unpacklo_epi16(du, dv), hi = _mm_unpackhi_epi16(du, dv);
    const __m128i fr = _mm_packs_epi32(r.Round(lo), r.Round(hi));
    const __m128i fb = _mm_packs_epi32(b.Round(lo), b.Round(hi));
    const __m128i fg = _mm_packs_epi32(g.Round(lo), g.Round(hi));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(offR + i), _mm_add_epi16(fr, dv));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(offB + i),
                     _mm_add_epi16(fb, _mm_add_epi16(du, du)));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(offG + i), fg);
    const __m128i onHalf =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi32(lo, half1), _mm_cmpeq_epi32(lo, half2)),
                     _mm_or_si128(_mm_cmpeq_epi32(hi, half1), _mm_cmpeq_epi32(hi, half2)));
    if (_mm_movemask_epi8(onHalf)) [[unlikely]] {
      for (int32_t k = i; k < i + 8; ++k)
        if (Tables().G[u[k] << 8 | v[k]] == HalfMarker) halves.push_back(k);
    }
  }
  return i;
}
#endif

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

inline __m128i AddChannel(__m128i yLo, __m128i yHi, __m128i lo, __m128i hi) {
  return _mm_packus_epi16(_mm_adds_epi16(yLo, lo), _mm_adds_epi16(yHi, hi));
}

struct TOffsetVectors {
  __m128i RLo, RHi, GLo, GHi, BLo, BHi;
};

inline void ConvertSixteen(const uint8_t* luma, const TOffsetVectors& o, uint8_t* out) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i alpha = _mm_set1_epi8(char(0xFF));
  const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(luma));
  const __m128i yLo = _mm_unpacklo_epi8(y, zero);
  const __m128i yHi = _mm_unpackhi_epi8(y, zero);
  const __m128i r = AddChannel(yLo, yHi, o.RLo, o.RHi);
  const __m128i g = AddChannel(yLo, yHi, o.GLo, o.GHi);
  const __m128i b = AddChannel(yLo, yHi, o.BLo, o.BHi);
  const __m128i bgLo = _mm_unpacklo_epi8(b, g);
  const __m128i bgHi = _mm_unpackhi_epi8(b, g);
  const __m128i raLo = _mm_unpacklo_epi8(r, alpha);
  const __m128i raHi = _mm_unpackhi_epi8(r, alpha);
  __m128i* dst = reinterpret_cast<__m128i*>(out);
  _mm_storeu_si128(dst + 0, _mm_unpacklo_epi16(bgLo, raLo));
  _mm_storeu_si128(dst + 1, _mm_unpackhi_epi16(bgLo, raLo));
  _mm_storeu_si128(dst + 2, _mm_unpacklo_epi16(bgHi, raHi));
  _mm_storeu_si128(dst + 3, _mm_unpackhi_epi16(bgHi, raHi));
}
#endif

// Rows sharing a chroma row are converted together so that each offset
// vector is loaded and widened once; `luma1` may be null.
template <int HShift>
void ConvertRowsShifted(const uint8_t* luma0, uint8_t* out0, const uint8_t* luma1, uint8_t* out1,
                        int32_t width, const int16_t* offR, const int16_t* offG,
                        const int16_t* offB) {
  int32_t x = 0;
#if defined(__SSE2__)
  for (; x + 16 <= width; x += 16) {
    TOffsetVectors o;
    LoadOffsets<HShift>(offR, x, o.RLo, o.RHi);
    LoadOffsets<HShift>(offG, x, o.GLo, o.GHi);
    LoadOffsets<HShift>(offB, x, o.BLo, o.BHi);
    ConvertSixteen(luma0 + x, o, out0 + 4 * x);
    if (luma1) ConvertSixteen(luma1 + x, o, out1 + 4 * x);
  }
#endif
  for (const uint8_t* luma : {luma0, luma1}) {
    if (!luma) break;
    uint8_t* out = luma == luma0 ? out0 : out1;
    for (int32_t px = x; px < width; ++px) {
      const int y = luma[px];
      const int c = px >> HShift;
      out[4 * px + 0] = SaturateByte(y + offB[c]);
      out[4 * px + 1] = SaturateByte(y + offG[c]);
      out[4 * px + 2] = SaturateByte(y + offR[c]);
      out[4 * px + 3] = 0xFF;
    }
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
  int32_t i = 0;
#if defined(__SSE2__)
  i = ChromaOffsetsVector(u, v, std::min(count, lastColumn + 1), FR.data(), FG.data(), FB.data(),
                          FHalves);
  for (int32_t k : FHalves) FU[k] = u[k], FV[k] = v[k];
#endif
  for (; i < count; ++i) {
    const int32_t column = i < lastColumn ? i : lastColumn;
    const uint8_t cu = u[column], cv = v[column];
    FR[i] = t.R[cv];
    FB[i] = t.B[cu];
    FG[i] = t.G[cu << 8 | cv];
    if (FG[i] == HalfMarker) [[unlikely]] {
      FHalves.push_back(i);
      FU[i] = cu, FV[i] = cv;
    }
  }
}

void TYuvToBgraRow::ConvertRows(const uint8_t* luma0, uint8_t* out0, const uint8_t* luma1,
                                uint8_t* out1, int32_t width, int hShift) const {
  switch (hShift) {
    case 0:
      ConvertRowsShifted<0>(luma0, out0, luma1, out1, width, FR.data(), FG.data(), FB.data());
      break;
    case 1:
      ConvertRowsShifted<1>(luma0, out0, luma1, out1, width, FR.data(), FG.data(), FB.data());
      break;
    default:
      ConvertRowsShifted<2>(luma0, out0, luma1, out1, width, FR.data(), FG.data(), FB.data());
      break;
  }
  for (int32_t i : FHalves) {
    const int32_t end = std::min(width, (i + 1) << hShift);
    for (int32_t x = i << hShift; x < end; ++x) {
      out0[4 * x + 1] = YuvToG(luma0[x], FU[i], FV[i]);
      if (luma1) out1[4 * x + 1] = YuvToG(luma1[x], FU[i], FV[i]);
    }
  }
}

}  // namespace vexo

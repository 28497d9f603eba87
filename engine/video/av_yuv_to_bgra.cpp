#include "engine/video/av_yuv_to_bgra.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/video/av_scale_utils.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace vexo {

TYuvToBgraFactors YuvToBgraFactors(const TYuvCoefficients& c) {
  TYuvToBgraFactors f;
  // Even factors: halved they give the same rounding through a rounding
  // multiply (see Avx2Scaled).
  f.R = int16_t(2 * std::lround(c.Rv * 4096));
  f.B = int16_t(2 * std::lround(c.Bu * 4096));
  f.GU = int16_t(std::lround(-c.Gu * 4096));
  f.GV = int16_t(std::lround(-c.Gv * 4096));
  if (c.LumaOffset != 0 || c.LumaScale != 1) {
    f.Luma = int16_t(2 * std::lround(c.LumaScale * 512));
    f.LumaOffset = int16_t(std::lround(c.LumaOffset));
  }
  return f;
}

namespace {

// round(d F / 8192) as the vector code gets it: the high half of the 16-bit
// product of d << 4 and F, halved with rounding up.
int ScaledOffset(int d, int factor) {
  return (((d * 16 * factor) >> 16) + 1) >> 1;
}

// An offset beyond a byte saturates every luma alike, so bytes carry it.
constexpr int OffsetLimit = 255;

int OffsetR(int dv, const TYuvToBgraFactors& f) {
  return std::clamp(ScaledOffset(dv, f.R), -OffsetLimit, OffsetLimit);
}
int OffsetB(int du, const TYuvToBgraFactors& f) {
  return std::clamp(ScaledOffset(du, f.B), -OffsetLimit, OffsetLimit);
}
// The sum is exact in a float and the scale a power of two: a single-precision
// round to nearest even gives the same as the vector conversion.
int OffsetG(int du, int dv, const TYuvToBgraFactors& f) {
  const int sum = du * f.GU + dv * f.GV;
  return std::clamp(int(std::nearbyint(float(sum) * (1.0f / 4096))), -OffsetLimit, OffsetLimit);
}

uint8_t AddOffset(int luma, int offset) {
  return uint8_t(std::clamp(luma + offset, 0, 255));
}

}  // namespace

uint8_t YuvLuma(int y, const TYuvToBgraFactors& f) {
  if (f.Luma == 0) return uint8_t(y);
  return uint8_t(std::clamp((((((y - f.LumaOffset) * 128) * f.Luma) >> 16) + 1) >> 1, 0, 255));
}

uint8_t YuvToR(int y, int v, const TYuvToBgraFactors& f) {
  return AddOffset(YuvLuma(y, f), OffsetR(v - 128, f));
}

uint8_t YuvToG(int y, int u, int v, const TYuvToBgraFactors& f) {
  return AddOffset(YuvLuma(y, f), OffsetG(u - 128, v - 128, f));
}

uint8_t YuvToB(int y, int u, const TYuvToBgraFactors& f) {
  return AddOffset(YuvLuma(y, f), OffsetB(u - 128, f));
}

namespace {

// Where the six offset planes sit in the buffer.
enum { PosB, NegB, PosG, NegG, PosR, NegR, PlaneCount };

// The widest block of pixels any level converts at once; planes are padded to it.
constexpr int32_t MaxBlock = 32;

// Where the chroma samples of one block come from: the row itself, or a copy
// when the block reaches past the `readable` samples, which then repeat the
// last readable one.
struct TSampleWindow {
  uint8_t BufU[MaxBlock], BufV[MaxBlock];
  const uint8_t* U;
  const uint8_t* V;

  TSampleWindow(const uint8_t* u, const uint8_t* v, int32_t first, int32_t n, int32_t readable) {
    if (first + n <= readable) {
      U = u + first, V = v + first;
      return;
    }
    for (int32_t i = 0; i < n; ++i) {
      const int32_t column = std::min(first + i, readable - 1);
      BufU[i] = u[column], BufV[i] = v[column];
    }
    U = BufU, V = BufV;
  }
};

// ---------------------------------------------------------------------------
// Plain code: one pixel at a time, in natural order.

void ScalarOffsets(const uint8_t* u, const uint8_t* v, int32_t stride, int hShift, int32_t readable,
                   uint8_t* planes, const TYuvToBgraFactors& f) {
  for (int32_t x = 0; x < stride; ++x) {
    const TSampleWindow w(u, v, x >> hShift, 1, readable);
    const int du = w.U[0] - 128, dv = w.V[0] - 128;
    const int offsets[3] = {OffsetB(du, f), OffsetG(du, dv, f), OffsetR(dv, f)};
    for (int c = 0; c < 3; ++c) {
      planes[(2 * c) * stride + x] = uint8_t(std::max(offsets[c], 0));
      planes[(2 * c + 1) * stride + x] = uint8_t(std::max(-offsets[c], 0));
    }
  }
}

void ScalarRow(const uint8_t* luma, uint8_t* out, int32_t width, const uint8_t* planes,
               int32_t stride) {
  for (int32_t x = 0; x < width; ++x) {
    for (int c = 0; c < 3; ++c)
      out[4 * x + c] = uint8_t(std::clamp(
          luma[x] + planes[(2 * c) * stride + x] - planes[(2 * c + 1) * stride + x], 0, 255));
    out[4 * x + 3] = 0xFF;
  }
}

// The last partial block of a row goes through copies padded to a block.
struct TTail {
  uint8_t Luma[MaxBlock] = {}, Out[4 * MaxBlock];
  TTail(const uint8_t* luma, int32_t pixels) { std::memcpy(Luma, luma, size_t(pixels)); }
  void Put(uint8_t* out, int32_t pixels) const { std::memcpy(out, Out, size_t(4 * pixels)); }
};

#if defined(__SSE2__)
// ---------------------------------------------------------------------------
// Vector arithmetic of the offsets, in 16-bit lanes, with the fixed point of
// the plain functions: R and B from the high half of (d << 4) F, G from the
// 32-bit dot product of (dU, dV) with its factors, scaled by 1/4096 in floats.

#define VEXO_INLINE inline __attribute__((always_inline))

// Positive and negative parts of the offsets of one channel, each in [0, 255].
struct TSse2Split {
  __m128i Pos, Neg;
};

struct TSse2Offsets {
  TSse2Split B, G, R;
};

VEXO_INLINE TSse2Split Sse2Split(__m128i o) {
  const __m128i pos = _mm_max_epi16(o, _mm_setzero_si128());
  return {pos, _mm_sub_epi16(pos, o)};
}

VEXO_INLINE __m128i Sse2Limit(__m128i o) {
  return _mm_min_epi16(_mm_max_epi16(o, _mm_set1_epi16(-OffsetLimit)), _mm_set1_epi16(OffsetLimit));
}

VEXO_INLINE __m128i Sse2Scaled(__m128i d, int16_t factor) {
  return _mm_srai_epi16(_mm_add_epi16(_mm_mulhi_epi16(_mm_slli_epi16(d, 4), _mm_set1_epi16(factor)),
                                      _mm_set1_epi16(1)),
                        1);
}

int32_t GPair(const TYuvToBgraFactors& f) {
  return int32_t(uint16_t(f.GU)) | int32_t(uint32_t(uint16_t(f.GV)) << 16);
}

// Offsets of eight samples given as 16-bit differences from 128.
VEXO_INLINE TSse2Offsets Sse2Offsets(__m128i du, __m128i dv, const TYuvToBgraFactors& f) {
  // Only B's offset can pass a byte (up to 2.14 x 128 for BT.2020 in
  // limited range); R's and G's stay below 240 for every matrix.
  const __m128i r = Sse2Scaled(dv, f.R);
  const __m128i b = Sse2Limit(Sse2Scaled(du, f.B));
  const __m128i factors = _mm_set1_epi32(GPair(f));
  const __m128 inv = _mm_set1_ps(1.0f / 4096);
  const __m128i lo = _mm_cvtps_epi32(
      _mm_mul_ps(_mm_cvtepi32_ps(_mm_madd_epi16(_mm_unpacklo_epi16(du, dv), factors)), inv));
  const __m128i hi = _mm_cvtps_epi32(
      _mm_mul_ps(_mm_cvtepi32_ps(_mm_madd_epi16(_mm_unpackhi_epi16(du, dv), factors)), inv));
  return {Sse2Split(b), Sse2Split(_mm_packs_epi32(lo, hi)), Sse2Split(r)};
}

VEXO_INLINE __m128i Sse2Diffs(const uint8_t* p) {
  return _mm_sub_epi16(
      _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_setzero_si128()),
      _mm_set1_epi16(128));
}

// Spreads each 16-bit lane's byte over the pixels of its sample.
template <int HShift>
VEXO_INLINE __m128i Sse2Spread(__m128i w) {
  const __m128i twice = _mm_or_si128(w, _mm_slli_epi16(w, 8));
  return HShift == 1 ? twice : _mm_unpacklo_epi16(twice, twice);
}

VEXO_INLINE void Sse2Store(uint8_t* p, __m128i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// Offset planes in natural order, 16 pixels at a time.
template <int HShift>
void Sse2OffsetRow(const uint8_t* u, const uint8_t* v, int32_t stride, int32_t readable,
                   uint8_t* planes, const TYuvToBgraFactors& f) {
  constexpr int32_t Read = HShift == 0 ? 16 : 8;
  for (int32_t x = 0; x < stride; x += 16) {
    const int32_t first = x >> HShift;
    const TSampleWindow w(u, v, first, Read, readable);
    TSse2Split c[3];
    if constexpr (HShift == 0) {
      const TSse2Offsets a = Sse2Offsets(Sse2Diffs(w.U), Sse2Diffs(w.V), f);
      const TSse2Offsets b = Sse2Offsets(Sse2Diffs(w.U + 8), Sse2Diffs(w.V + 8), f);
      c[0] = {_mm_packus_epi16(a.B.Pos, b.B.Pos), _mm_packus_epi16(a.B.Neg, b.B.Neg)};
      c[1] = {_mm_packus_epi16(a.G.Pos, b.G.Pos), _mm_packus_epi16(a.G.Neg, b.G.Neg)};
      c[2] = {_mm_packus_epi16(a.R.Pos, b.R.Pos), _mm_packus_epi16(a.R.Neg, b.R.Neg)};
    } else {
      const TSse2Offsets a = Sse2Offsets(Sse2Diffs(w.U), Sse2Diffs(w.V), f);
      c[0] = {Sse2Spread<HShift>(a.B.Pos), Sse2Spread<HShift>(a.B.Neg)};
      c[1] = {Sse2Spread<HShift>(a.G.Pos), Sse2Spread<HShift>(a.G.Neg)};
      c[2] = {Sse2Spread<HShift>(a.R.Pos), Sse2Spread<HShift>(a.R.Neg)};
    }
    for (int k = 0; k < 3; ++k) {
      Sse2Store(planes + 2 * k * stride + x, c[k].Pos);
      Sse2Store(planes + (2 * k + 1) * stride + x, c[k].Neg);
    }
  }
}

// A limited-range luma row expanded to full range, 16 samples at a time.
void Sse2LumaRow(const uint8_t* luma, uint8_t* out, int32_t width, const TYuvToBgraFactors& f) {
  const __m128i zero = _mm_setzero_si128(), offset = _mm_set1_epi16(f.LumaOffset);
  const __m128i factor = _mm_set1_epi16(f.Luma), one = _mm_set1_epi16(1);
  auto expand = [&](__m128i y) {
    const __m128i t = _mm_slli_epi16(_mm_sub_epi16(y, offset), 7);
    return _mm_srai_epi16(_mm_add_epi16(_mm_mulhi_epi16(t, factor), one), 1);
  };
  int32_t x = 0;
  for (; x + 16 <= width; x += 16) {
    const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(luma + x));
    _mm_storeu_si128(
        reinterpret_cast<__m128i*>(out + x),
        _mm_packus_epi16(expand(_mm_unpacklo_epi8(y, zero)), expand(_mm_unpackhi_epi8(y, zero))));
  }
  for (; x < width; ++x) out[x] = YuvLuma(luma[x], f);
}

VEXO_INLINE __m128i Sse2Load(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

VEXO_INLINE __m128i Sse2Channel(__m128i y, const uint8_t* pos, const uint8_t* neg) {
  return _mm_subs_epu8(_mm_adds_epu8(y, Sse2Load(pos)), Sse2Load(neg));
}

// 16 pixels: luma plus the positive part, minus the negative part, per channel.
VEXO_INLINE void Sse2PixelBlock(const uint8_t* luma, const uint8_t* planes, int32_t stride,
                                int32_t x, uint8_t* out) {
  const __m128i y = Sse2Load(luma);
  const uint8_t* p = planes + x;
  const __m128i b = Sse2Channel(y, p, p + stride);
  const __m128i g = Sse2Channel(y, p + 2 * stride, p + 3 * stride);
  const __m128i r = Sse2Channel(y, p + 4 * stride, p + 5 * stride);
  const __m128i alpha = _mm_set1_epi8(char(0xFF));
  const __m128i bgLo = _mm_unpacklo_epi8(b, g), bgHi = _mm_unpackhi_epi8(b, g);
  const __m128i raLo = _mm_unpacklo_epi8(r, alpha), raHi = _mm_unpackhi_epi8(r, alpha);
  Sse2Store(out, _mm_unpacklo_epi16(bgLo, raLo));
  Sse2Store(out + 16, _mm_unpackhi_epi16(bgLo, raLo));
  Sse2Store(out + 32, _mm_unpacklo_epi16(bgHi, raHi));
  Sse2Store(out + 48, _mm_unpackhi_epi16(bgHi, raHi));
}

void Sse2Row(const uint8_t* luma, uint8_t* out, int32_t width, const uint8_t* planes,
             int32_t stride) {
  int32_t x = 0;
  for (; x + 16 <= width; x += 16) Sse2PixelBlock(luma + x, planes, stride, x, out + 4 * x);
  if (x < width) {
    TTail tail(luma + x, width - x);
    Sse2PixelBlock(tail.Luma, planes, stride, x, tail.Out);
    tail.Put(out + 4 * x, width - x);
  }
}

// ---------------------------------------------------------------------------
// AVX2: 32 pixels at a time. Within a block the offset planes and the luma
// hold their four-pixel groups in the order 0, 2, 4, 6, 1, 3, 5, 7, so that
// the in-lane byte and word interleaves come out as pixels 0 to 31 in order.
// The chroma samples are loaded already shuffled so that one in-lane byte
// shuffle spreads them over their pixels in that order.

#define VEXO_AVX2_INLINE inline __attribute__((target("avx2"), always_inline))

struct TAvx2Split {
  __m256i Pos, Neg;
};

struct TAvx2Offsets {
  TAvx2Split B, G, R;
};

VEXO_AVX2_INLINE TAvx2Split Avx2Split(__m256i o) {
  const __m256i pos = _mm256_max_epi16(o, _mm256_setzero_si256());
  return {pos, _mm256_sub_epi16(pos, o)};
}

VEXO_AVX2_INLINE __m256i Avx2Limit(__m256i o) {
  return _mm256_min_epi16(_mm256_max_epi16(o, _mm256_set1_epi16(-OffsetLimit)),
                          _mm256_set1_epi16(OffsetLimit));
}

// With an even factor F, (mulhi(d << 4, F) + 1) >> 1 rounds d F / 8192 half
// up, as the rounding multiply of d << 3 by F / 2 does in one step.
VEXO_AVX2_INLINE __m256i Avx2Scaled(__m256i d, __m256i halfFactor) {
  return _mm256_mulhrs_epi16(_mm256_slli_epi16(d, 3), halfFactor);
}

// The factors spread over vectors once per row: the stores into the planes
// could alias the factors in memory, which would reload them every block.
struct TAvx2Factors {
  __m256i R, B, G;
};

// Offsets of 16 samples; the arithmetic of the eight-sample version. Its
// unpacking and packing stay within 128-bit lanes, so any sample order holds.
VEXO_AVX2_INLINE TAvx2Offsets Avx2Offsets(__m256i du, __m256i dv, const TAvx2Factors& f) {
  const __m256i r = Avx2Scaled(dv, f.R);
  const __m256i b = Avx2Limit(Avx2Scaled(du, f.B));
  const __m256i factors = f.G;
  const __m256 inv = _mm256_set1_ps(1.0f / 4096);
  const __m256i lo = _mm256_cvtps_epi32(_mm256_mul_ps(
      _mm256_cvtepi32_ps(_mm256_madd_epi16(_mm256_unpacklo_epi16(du, dv), factors)), inv));
  const __m256i hi = _mm256_cvtps_epi32(_mm256_mul_ps(
      _mm256_cvtepi32_ps(_mm256_madd_epi16(_mm256_unpackhi_epi16(du, dv), factors)), inv));
  return {Avx2Split(b), Avx2Split(_mm256_packs_epi32(lo, hi)), Avx2Split(r)};
}

// 16 samples (of which 4:1:1 uses eight) as differences from 128, in the
// order that the spread below turns into group order.
template <int HShift>
VEXO_AVX2_INLINE __m256i Avx2Diffs(const uint8_t* p) {
  const __m128i order =
      HShift == 0   ? _mm_setr_epi8(0, 1, 2, 3, 8, 9, 10, 11, 4, 5, 6, 7, 12, 13, 14, 15)
      : HShift == 1 ? _mm_setr_epi8(0, 1, 4, 5, 8, 9, 12, 13, 2, 3, 6, 7, 10, 11, 14, 15)
                    : _mm_setr_epi8(0, 2, 4, 6, 0, 0, 0, 0, 1, 3, 5, 7, 0, 0, 0, 0);
  const __m128i samples =
      _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), order);
  return _mm256_sub_epi16(_mm256_cvtepu8_epi16(samples), _mm256_set1_epi16(128));
}

template <int HShift>
VEXO_AVX2_INLINE __m256i Avx2Spread(__m256i w) {
  const __m256i spread =
      HShift == 1 ? _mm256_setr_epi8(0, 0, 2, 2, 4, 4, 6, 6, 8, 8, 10, 10, 12, 12, 14, 14, 0, 0, 2,
                                     2, 4, 4, 6, 6, 8, 8, 10, 10, 12, 12, 14, 14)
                  : _mm256_setr_epi8(0, 0, 0, 0, 2, 2, 2, 2, 4, 4, 4, 4, 6, 6, 6, 6, 0, 0, 0, 0, 2,
                                     2, 2, 2, 4, 4, 4, 4, 6, 6, 6, 6);
  return _mm256_shuffle_epi8(w, spread);
}

VEXO_AVX2_INLINE void Avx2Store(uint8_t* p, __m256i v) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// Offset planes in group order, 32 pixels at a time.
template <int HShift>
__attribute__((target("avx2"))) void Avx2OffsetRow(const uint8_t* u, const uint8_t* v,
                                                   int32_t stride, int32_t readable,
                                                   uint8_t* planes,
                                                   const TYuvToBgraFactors& factors) {
  const TAvx2Factors f{_mm256_set1_epi16(int16_t(factors.R / 2)),
                       _mm256_set1_epi16(int16_t(factors.B / 2)),
                       _mm256_set1_epi32(GPair(factors))};
  constexpr int32_t Read = HShift == 0 ? 32 : 16;
  for (int32_t x = 0; x < stride; x += 32) {
    const int32_t first = x >> HShift;
    const TSampleWindow w(u, v, first, Read, readable);
    TAvx2Split c[3];
    if constexpr (HShift == 0) {
      const TAvx2Offsets a = Avx2Offsets(Avx2Diffs<0>(w.U), Avx2Diffs<0>(w.V), f);
      const TAvx2Offsets b = Avx2Offsets(Avx2Diffs<0>(w.U + 16), Avx2Diffs<0>(w.V + 16), f);
      c[0] = {_mm256_packus_epi16(a.B.Pos, b.B.Pos), _mm256_packus_epi16(a.B.Neg, b.B.Neg)};
      c[1] = {_mm256_packus_epi16(a.G.Pos, b.G.Pos), _mm256_packus_epi16(a.G.Neg, b.G.Neg)};
      c[2] = {_mm256_packus_epi16(a.R.Pos, b.R.Pos), _mm256_packus_epi16(a.R.Neg, b.R.Neg)};
    } else {
      const TAvx2Offsets a = Avx2Offsets(Avx2Diffs<HShift>(w.U), Avx2Diffs<HShift>(w.V), f);
      c[0] = {Avx2Spread<HShift>(a.B.Pos), Avx2Spread<HShift>(a.B.Neg)};
      c[1] = {Avx2Spread<HShift>(a.G.Pos), Avx2Spread<HShift>(a.G.Neg)};
      c[2] = {Avx2Spread<HShift>(a.R.Pos), Avx2Spread<HShift>(a.R.Neg)};
    }
    for (int k = 0; k < 3; ++k) {
      Avx2Store(planes + 2 * k * stride + x, c[k].Pos);
      Avx2Store(planes + (2 * k + 1) * stride + x, c[k].Neg);
    }
  }
}

VEXO_AVX2_INLINE __m256i Avx2Load(const uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

VEXO_AVX2_INLINE __m256i Avx2Channel(__m256i y, const uint8_t* pos, const uint8_t* neg) {
  return _mm256_subs_epu8(_mm256_adds_epu8(y, Avx2Load(pos)), Avx2Load(neg));
}

// 32 pixels as four vectors of eight, in order.
struct TAvx2Pixels {
  __m256i P0, P1, P2, P3;
};

// Limited-range luma expanded to full range, as YuvLuma does: the unpacking
// and packing stay within lanes, so the sample order holds.
struct TAvx2Luma {
  __m256i Offset, HalfFactor;
};

// The rounding multiply by half the (even) factor, as in Avx2Scaled.
VEXO_AVX2_INLINE __m256i Avx2ExpandWords(__m256i w, const TAvx2Luma& l) {
  return _mm256_mulhrs_epi16(_mm256_slli_epi16(_mm256_sub_epi16(w, l.Offset), 6), l.HalfFactor);
}

VEXO_AVX2_INLINE __m256i Avx2ExpandLuma(__m256i y, const TAvx2Luma& l) {
  const __m256i zero = _mm256_setzero_si256();
  return _mm256_packus_epi16(Avx2ExpandWords(_mm256_unpacklo_epi8(y, zero), l),
                             Avx2ExpandWords(_mm256_unpackhi_epi8(y, zero), l));
}

template <bool Expand>
VEXO_AVX2_INLINE TAvx2Pixels Avx2PixelBlock(const uint8_t* luma, const uint8_t* planes,
                                            int32_t stride, int32_t x, const TAvx2Luma& l) {
  __m256i y = Avx2Load(luma);
  if constexpr (Expand) y = Avx2ExpandLuma(y, l);
  y = _mm256_permutevar8x32_epi32(y, _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7));
  const uint8_t* p = planes + x;
  const __m256i b = Avx2Channel(y, p, p + stride);
  const __m256i g = Avx2Channel(y, p + 2 * stride, p + 3 * stride);
  const __m256i r = Avx2Channel(y, p + 4 * stride, p + 5 * stride);
  const __m256i alpha = _mm256_set1_epi8(char(0xFF));
  const __m256i bgLo = _mm256_unpacklo_epi8(b, g), bgHi = _mm256_unpackhi_epi8(b, g);
  const __m256i raLo = _mm256_unpacklo_epi8(r, alpha), raHi = _mm256_unpackhi_epi8(r, alpha);
  return {_mm256_unpacklo_epi16(bgLo, raLo), _mm256_unpackhi_epi16(bgLo, raLo),
          _mm256_unpacklo_epi16(bgHi, raHi), _mm256_unpackhi_epi16(bgHi, raHi)};
}

VEXO_AVX2_INLINE void Avx2Store16(uint8_t* p, __m128i v) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

VEXO_AVX2_INLINE void Avx2StoreHalves(uint8_t* p, __m256i v) {
  Avx2Store16(p, _mm256_castsi256_si128(v));
  Avx2Store16(p + 16, _mm256_extracti128_si256(v, 1));
}

// A streaming store goes to memory without first reading the line into the
// caches (see streaming_store.h).
template <bool Stream>
VEXO_AVX2_INLINE void Avx2StoreAligned(uint8_t* p, __m256i v) {
  if constexpr (Stream)
    _mm256_stream_si256(reinterpret_cast<__m256i*>(p), v);
  else
    _mm256_store_si256(reinterpret_cast<__m256i*>(p), v);
}

// How a row's pixels reach memory. A 32-byte store across a cache line costs
// far more than two 16-byte ones: a row on a 32-byte boundary stores whole
// vectors; a row 16 bytes past one stores each vector's upper half joined
// with the next one's lower half, which lands on the boundaries; any other
// row stores in halves.
enum class TRowAlignment { Whole, Shifted, Halves };

template <TRowAlignment Alignment, bool Stream, bool Expand>
__attribute__((target("avx2"))) void Avx2Row(const uint8_t* luma, uint8_t* out, int32_t width,
                                             const uint8_t* planes, int32_t stride,
                                             const TYuvToBgraFactors& f) {
  const TAvx2Luma l{_mm256_set1_epi16(f.LumaOffset), _mm256_set1_epi16(int16_t(f.Luma / 2))};
  int32_t x = 0;
  __m128i carry = _mm_setzero_si128();  // the upper half of the last vector, still unstored
  for (; x + 32 <= width; x += 32) {
    const TAvx2Pixels px = Avx2PixelBlock<Expand>(luma + x, planes, stride, x, l);
    uint8_t* o = out + 4 * x;
    if constexpr (Alignment == TRowAlignment::Whole) {
      Avx2StoreAligned<Stream>(o, px.P0);
      Avx2StoreAligned<Stream>(o + 32, px.P1);
      Avx2StoreAligned<Stream>(o + 64, px.P2);
      Avx2StoreAligned<Stream>(o + 96, px.P3);
    } else if constexpr (Alignment == TRowAlignment::Shifted) {
      if (x == 0)
        Avx2Store16(o, _mm256_castsi256_si128(px.P0));
      else
        Avx2StoreAligned<Stream>(o - 16, _mm256_inserti128_si256(_mm256_castsi128_si256(carry),
                                                                 _mm256_castsi256_si128(px.P0), 1));
      Avx2StoreAligned<Stream>(o + 16, _mm256_permute2x128_si256(px.P0, px.P1, 0x21));
      Avx2StoreAligned<Stream>(o + 48, _mm256_permute2x128_si256(px.P1, px.P2, 0x21));
      Avx2StoreAligned<Stream>(o + 80, _mm256_permute2x128_si256(px.P2, px.P3, 0x21));
      carry = _mm256_extracti128_si256(px.P3, 1);
    } else {
      Avx2StoreHalves(o, px.P0);
      Avx2StoreHalves(o + 32, px.P1);
      Avx2StoreHalves(o + 64, px.P2);
      Avx2StoreHalves(o + 96, px.P3);
    }
  }
  if (Alignment == TRowAlignment::Shifted && x > 0) Avx2Store16(out + 4 * x - 16, carry);
  // Streamed pixels are ordered before whatever the caller stores next.
  if constexpr (Stream) _mm_sfence();
  if (x < width) {
    TTail tail(luma + x, width - x);
    const TAvx2Pixels px = Avx2PixelBlock<Expand>(tail.Luma, planes, stride, x, l);
    Avx2StoreHalves(tail.Out, px.P0);
    Avx2StoreHalves(tail.Out + 32, px.P1);
    Avx2StoreHalves(tail.Out + 64, px.P2);
    Avx2StoreHalves(tail.Out + 96, px.P3);
    tail.Put(out + 4 * x, width - x);
  }
}
#endif

TYuvToBgraLevel DetectLevel() {
#if defined(__SSE2__)
  return __builtin_cpu_supports("avx2") ? TYuvToBgraLevel::Avx2 : TYuvToBgraLevel::Sse2;
#else
  return TYuvToBgraLevel::Scalar;
#endif
}

TYuvToBgraLevel& LevelInUse() {
  static TYuvToBgraLevel level = YuvToBgraBestLevel();
  return level;
}

}  // namespace

TYuvToBgraLevel YuvToBgraBestLevel() {
  static const TYuvToBgraLevel best = DetectLevel();
  return best;
}

TYuvToBgraLevel LimitYuvToBgraLevel(TYuvToBgraLevel cap) {
  return LevelInUse() = std::min(cap, YuvToBgraBestLevel());
}

void TYuvToBgraRow::SetChroma(const uint8_t* u, const uint8_t* v, int32_t width, int hShift,
                              int32_t lastColumn) {
  FLevel = LevelInUse();
  FWidth = std::max(width, 0);
  FStride = (FWidth + MaxBlock - 1) / MaxBlock * MaxBlock;
  FOffsets.resize(size_t(FStride) * PlaneCount);
  if (FWidth == 0) return;
  const int32_t count = ((FWidth - 1) >> hShift) + 1;
  const int32_t readable = std::min(count, lastColumn + 1);
  const TYuvToBgraFactors& f = FFactors;
  switch (FLevel) {
#if defined(__SSE2__)
    case TYuvToBgraLevel::Avx2:
      (hShift == 0   ? Avx2OffsetRow<0>
       : hShift == 1 ? Avx2OffsetRow<1>
                     : Avx2OffsetRow<2>)(u, v, FStride, readable, FOffsets.data(), f);
      break;
    case TYuvToBgraLevel::Sse2:
      (hShift == 0   ? Sse2OffsetRow<0>
       : hShift == 1 ? Sse2OffsetRow<1>
                     : Sse2OffsetRow<2>)(u, v, FStride, readable, FOffsets.data(), f);
      break;
#endif
    default:
      ScalarOffsets(u, v, FStride, hShift, readable, FOffsets.data(), f);
      break;
  }
}

namespace {

#if defined(__SSE2__)
// A row at a given alignment and store kind, with or without the luma
// expanded on the way.
template <TRowAlignment Alignment, bool Stream>
void Avx2RowFor(bool expand, const uint8_t* luma, uint8_t* out, int32_t width,
                const uint8_t* planes, int32_t stride, const TYuvToBgraFactors& f) {
  (expand ? Avx2Row<Alignment, Stream, true>
          : Avx2Row<Alignment, Stream, false>)(luma, out, width, planes, stride, f);
}
#endif

}  // namespace

void TYuvToBgraRow::ConvertRow(const uint8_t* luma, uint8_t* out) const {
  const bool expand = FFactors.Luma != 0 && FWidth > 0;
#if defined(__SSE2__)
  if (FLevel == TYuvToBgraLevel::Avx2) {
    const uint8_t* p = FOffsets.data();
    switch (reinterpret_cast<uintptr_t>(out) % 32) {
      case 0:
        (FStream ? Avx2RowFor<TRowAlignment::Whole, true>
                 : Avx2RowFor<TRowAlignment::Whole, false>)(expand, luma, out, FWidth, p, FStride,
                                                            FFactors);
        break;
      case 16:
        (FStream ? Avx2RowFor<TRowAlignment::Shifted, true>
                 : Avx2RowFor<TRowAlignment::Shifted, false>)(expand, luma, out, FWidth, p, FStride,
                                                              FFactors);
        break;
      default:
        Avx2RowFor<TRowAlignment::Halves, false>(expand, luma, out, FWidth, p, FStride, FFactors);
        break;
    }
    return;
  }
#endif
  if (expand) {
    FLuma.resize(size_t(FWidth));
#if defined(__SSE2__)
    if (FLevel != TYuvToBgraLevel::Scalar)
      Sse2LumaRow(luma, FLuma.data(), FWidth, FFactors);
    else
#endif
      for (int32_t x = 0; x < FWidth; ++x) FLuma[size_t(x)] = YuvLuma(luma[x], FFactors);
    luma = FLuma.data();
  }
#if defined(__SSE2__)
  if (FLevel == TYuvToBgraLevel::Sse2) {
    Sse2Row(luma, out, FWidth, FOffsets.data(), FStride);
    return;
  }
#endif
  ScalarRow(luma, out, FWidth, FOffsets.data(), FStride);
}

}  // namespace vexo

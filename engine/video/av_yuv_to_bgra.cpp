#include "engine/video/av_yuv_to_bgra.h"

#include <algorithm>
#include <cstring>

#include "engine/video/av_scale_utils.h"

#if defined(__SSE2__)
#include <immintrin.h>
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

// The (U - 128, V - 128) pairs whose G offset is an exact half (+-20.5). The
// product of the two differences singles them out in a vector compare, along
// with (106, -104) and (-106, 104), which the exact check then drops.
bool IsHalf(int du, int dv) {
  return (du == -104 && dv == 106) || (du == 104 && dv == -106);
}
constexpr int16_t HalfProduct = -104 * 106;

// round(n / d) for d > 0 away from halves.
int RoundDiv(int n, int d) {
  const int t = 2 * n + d, q = t / (2 * d);
  return t % (2 * d) < 0 ? q - 1 : q;
}

// The decimal factors are exact ratios of integers, so every offset of the
// formulas away from G's two halves is an integer quotient rounded; the
// extended-precision form differs from it by far less than the 1e-5 that
// separates a quotient from a half.
int OffsetR(int dv) {
  return RoundDiv(113983 * dv, 100000);
}
int OffsetB(int du) {
  return RoundDiv(203211 * du, 100000);
}
int OffsetG(int du, int dv) {
  return RoundDiv(-7893 * du - 11612 * dv, 20000);
}

// An offset beyond a byte saturates every luma alike, so bytes carry it.
constexpr int OffsetLimit = 255;

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

// Records which of the `n` samples from `first` on lie on a G half.
void NoteHalves(const uint8_t* u, const uint8_t* v, int32_t first, int32_t n, int32_t count,
                std::vector<TYuvToBgraRow::THalf>& halves) {
  for (int32_t i = 0; i < n && first + i < count; ++i)
    if (IsHalf(u[i] - 128, v[i] - 128)) halves.push_back({first + i, u[i], v[i]});
}

// ---------------------------------------------------------------------------
// Plain code: one pixel at a time, in natural order.

void ScalarOffsets(const uint8_t* u, const uint8_t* v, int32_t stride, int hShift, int32_t count,
                   int32_t readable, uint8_t* planes, std::vector<TYuvToBgraRow::THalf>& halves) {
  for (int32_t x = 0; x < stride; ++x) {
    const int32_t s = x >> hShift;
    const TSampleWindow w(u, v, s, 1, readable);
    const int du = w.U[0] - 128, dv = w.V[0] - 128;
    if ((x & ((1 << hShift) - 1)) == 0) NoteHalves(w.U, w.V, s, 1, count, halves);
    const int offsets[3] = {std::clamp(OffsetB(du), -OffsetLimit, OffsetLimit), OffsetG(du, dv),
                            OffsetR(dv)};
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
// Vector arithmetic of the offsets, in 16-bit lanes.
// round(1.13983 d) and round(2.03211 d) for every d in [-128, 127] come out
// of (mulhi(d << Shift, Factor) + 1) >> 1 with these constants (found by
// exhaustive search; the tests check every triple).
constexpr int ShiftR = 3, ShiftB = 4;
constexpr int16_t FactorR = 18673, FactorB = 16647;
// 20000 G = -7893 dU - 11612 dV exactly in 32 bits (|.| < 2^24, so exact as a
// float too). The float quotient by 20000 is off by less than 1.6e-5 while a
// G off a half lies at least 5e-5 from one: rounding it to nearest is exact.
constexpr int16_t G20000U = -7893, G20000V = -11612;
constexpr int32_t G20000Pair =
    int32_t(uint16_t(G20000U)) | int32_t(uint32_t(uint16_t(G20000V)) << 16);
constexpr float InvG20000 = 1.0f / 20000;

#define VEXO_INLINE inline __attribute__((always_inline))

// Positive and negative parts of the offsets of one channel, each in [0, 255].
struct TSse2Split {
  __m128i Pos, Neg;
};

struct TSse2Offsets {
  TSse2Split B, G, R;
  int HalfMask;  // non-zero when a sample may lie on a G half
};

VEXO_INLINE TSse2Split Sse2Split(__m128i o) {
  const __m128i pos = _mm_max_epi16(o, _mm_setzero_si128());
  return {pos, _mm_sub_epi16(pos, o)};
}

// Offsets of eight samples given as 16-bit differences from 128.
VEXO_INLINE TSse2Offsets Sse2Offsets(__m128i du, __m128i dv) {
  const __m128i one = _mm_set1_epi16(1);
  const __m128i r = _mm_srai_epi16(
      _mm_add_epi16(_mm_mulhi_epi16(_mm_slli_epi16(dv, ShiftR), _mm_set1_epi16(FactorR)), one), 1);
  __m128i b = _mm_srai_epi16(
      _mm_add_epi16(_mm_mulhi_epi16(_mm_slli_epi16(du, ShiftB), _mm_set1_epi16(FactorB)), one), 1);
  b = _mm_min_epi16(_mm_max_epi16(b, _mm_set1_epi16(-OffsetLimit)), _mm_set1_epi16(OffsetLimit));
  const __m128i factors = _mm_set1_epi32(G20000Pair);
  const __m128 inv = _mm_set1_ps(InvG20000);
  const __m128i lo = _mm_cvtps_epi32(
      _mm_mul_ps(_mm_cvtepi32_ps(_mm_madd_epi16(_mm_unpacklo_epi16(du, dv), factors)), inv));
  const __m128i hi = _mm_cvtps_epi32(
      _mm_mul_ps(_mm_cvtepi32_ps(_mm_madd_epi16(_mm_unpackhi_epi16(du, dv), factors)), inv));
  return {Sse2Split(b), Sse2Split(_mm_packs_epi32(lo, hi)), Sse2Split(r),
          _mm_movemask_epi8(_mm_cmpeq_epi16(_mm_mullo_epi16(du, dv), _mm_set1_epi16(HalfProduct)))};
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
void Sse2OffsetRow(const uint8_t* u, const uint8_t* v, int32_t stride, int32_t count,
                   int32_t readable, uint8_t* planes, std::vector<TYuvToBgraRow::THalf>& halves) {
  constexpr int32_t Read = HShift == 0 ? 16 : 8, Used = 16 >> HShift;
  for (int32_t x = 0; x < stride; x += 16) {
    const int32_t first = x >> HShift;
    const TSampleWindow w(u, v, first, Read, readable);
    TSse2Split c[3];
    int halfMask;
    if constexpr (HShift == 0) {
      const TSse2Offsets a = Sse2Offsets(Sse2Diffs(w.U), Sse2Diffs(w.V));
      const TSse2Offsets b = Sse2Offsets(Sse2Diffs(w.U + 8), Sse2Diffs(w.V + 8));
      c[0] = {_mm_packus_epi16(a.B.Pos, b.B.Pos), _mm_packus_epi16(a.B.Neg, b.B.Neg)};
      c[1] = {_mm_packus_epi16(a.G.Pos, b.G.Pos), _mm_packus_epi16(a.G.Neg, b.G.Neg)};
      c[2] = {_mm_packus_epi16(a.R.Pos, b.R.Pos), _mm_packus_epi16(a.R.Neg, b.R.Neg)};
      halfMask = a.HalfMask | b.HalfMask;
    } else {
      const TSse2Offsets a = Sse2Offsets(Sse2Diffs(w.U), Sse2Diffs(w.V));
      c[0] = {Sse2Spread<HShift>(a.B.Pos), Sse2Spread<HShift>(a.B.Neg)};
      c[1] = {Sse2Spread<HShift>(a.G.Pos), Sse2Spread<HShift>(a.G.Neg)};
      c[2] = {Sse2Spread<HShift>(a.R.Pos), Sse2Spread<HShift>(a.R.Neg)};
      halfMask = a.HalfMask;
    }
    if (halfMask) [[unlikely]]
      NoteHalves(w.U, w.V, first, Used, count, halves);
    for (int k = 0; k < 3; ++k) {
      Sse2Store(planes + 2 * k * stride + x, c[k].Pos);
      Sse2Store(planes + (2 * k + 1) * stride + x, c[k].Neg);
    }
  }
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
  int HalfMask;
};

VEXO_AVX2_INLINE TAvx2Split Avx2Split(__m256i o) {
  const __m256i pos = _mm256_max_epi16(o, _mm256_setzero_si256());
  return {pos, _mm256_sub_epi16(pos, o)};
}

// Offsets of 16 samples; the arithmetic of the eight-sample version. Its
// unpacking and packing stay within 128-bit lanes, so any sample order holds.
VEXO_AVX2_INLINE TAvx2Offsets Avx2Offsets(__m256i du, __m256i dv) {
  const __m256i one = _mm256_set1_epi16(1);
  const __m256i r = _mm256_srai_epi16(
      _mm256_add_epi16(
          _mm256_mulhi_epi16(_mm256_slli_epi16(dv, ShiftR), _mm256_set1_epi16(FactorR)), one),
      1);
  __m256i b = _mm256_srai_epi16(
      _mm256_add_epi16(
          _mm256_mulhi_epi16(_mm256_slli_epi16(du, ShiftB), _mm256_set1_epi16(FactorB)), one),
      1);
  b = _mm256_min_epi16(_mm256_max_epi16(b, _mm256_set1_epi16(-OffsetLimit)),
                       _mm256_set1_epi16(OffsetLimit));
  const __m256i factors = _mm256_set1_epi32(G20000Pair);
  const __m256 inv = _mm256_set1_ps(InvG20000);
  const __m256i lo = _mm256_cvtps_epi32(_mm256_mul_ps(
      _mm256_cvtepi32_ps(_mm256_madd_epi16(_mm256_unpacklo_epi16(du, dv), factors)), inv));
  const __m256i hi = _mm256_cvtps_epi32(_mm256_mul_ps(
      _mm256_cvtepi32_ps(_mm256_madd_epi16(_mm256_unpackhi_epi16(du, dv), factors)), inv));
  return {Avx2Split(b), Avx2Split(_mm256_packs_epi32(lo, hi)), Avx2Split(r),
          _mm256_movemask_epi8(
              _mm256_cmpeq_epi16(_mm256_mullo_epi16(du, dv), _mm256_set1_epi16(HalfProduct)))};
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
                                                   int32_t stride, int32_t count, int32_t readable,
                                                   uint8_t* planes,
                                                   std::vector<TYuvToBgraRow::THalf>& halves) {
  constexpr int32_t Read = HShift == 0 ? 32 : 16, Used = 32 >> HShift;
  for (int32_t x = 0; x < stride; x += 32) {
    const int32_t first = x >> HShift;
    const TSampleWindow w(u, v, first, Read, readable);
    TAvx2Split c[3];
    int halfMask;
    if constexpr (HShift == 0) {
      const TAvx2Offsets a = Avx2Offsets(Avx2Diffs<0>(w.U), Avx2Diffs<0>(w.V));
      const TAvx2Offsets b = Avx2Offsets(Avx2Diffs<0>(w.U + 16), Avx2Diffs<0>(w.V + 16));
      c[0] = {_mm256_packus_epi16(a.B.Pos, b.B.Pos), _mm256_packus_epi16(a.B.Neg, b.B.Neg)};
      c[1] = {_mm256_packus_epi16(a.G.Pos, b.G.Pos), _mm256_packus_epi16(a.G.Neg, b.G.Neg)};
      c[2] = {_mm256_packus_epi16(a.R.Pos, b.R.Pos), _mm256_packus_epi16(a.R.Neg, b.R.Neg)};
      halfMask = a.HalfMask | b.HalfMask;
    } else {
      const TAvx2Offsets a = Avx2Offsets(Avx2Diffs<HShift>(w.U), Avx2Diffs<HShift>(w.V));
      c[0] = {Avx2Spread<HShift>(a.B.Pos), Avx2Spread<HShift>(a.B.Neg)};
      c[1] = {Avx2Spread<HShift>(a.G.Pos), Avx2Spread<HShift>(a.G.Neg)};
      c[2] = {Avx2Spread<HShift>(a.R.Pos), Avx2Spread<HShift>(a.R.Neg)};
      halfMask = a.HalfMask;
    }
    if (halfMask) [[unlikely]]
      NoteHalves(w.U, w.V, first, Used, count, halves);
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

VEXO_AVX2_INLINE TAvx2Pixels Avx2PixelBlock(const uint8_t* luma, const uint8_t* planes,
                                            int32_t stride, int32_t x) {
  const __m256i y =
      _mm256_permutevar8x32_epi32(Avx2Load(luma), _mm256_setr_epi32(0, 2, 4, 6, 1, 3, 5, 7));
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

template <TRowAlignment Alignment, bool Stream>
__attribute__((target("avx2"))) void Avx2Row(const uint8_t* luma, uint8_t* out, int32_t width,
                                             const uint8_t* planes, int32_t stride) {
  int32_t x = 0;
  __m128i carry = _mm_setzero_si128();  // the upper half of the last vector, still unstored
  for (; x + 32 <= width; x += 32) {
    const TAvx2Pixels px = Avx2PixelBlock(luma + x, planes, stride, x);
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
    const TAvx2Pixels px = Avx2PixelBlock(tail.Luma, planes, stride, x);
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
  FHShift = hShift;
  FStride = (FWidth + MaxBlock - 1) / MaxBlock * MaxBlock;
  FOffsets.resize(size_t(FStride) * PlaneCount);
  FHalves.clear();
  if (FWidth == 0) return;
  const int32_t count = ((FWidth - 1) >> hShift) + 1;
  const int32_t readable = std::min(count, lastColumn + 1);
  switch (FLevel) {
#if defined(__SSE2__)
    case TYuvToBgraLevel::Avx2:
      (hShift == 0   ? Avx2OffsetRow<0>
       : hShift == 1 ? Avx2OffsetRow<1>
                     : Avx2OffsetRow<2>)(u, v, FStride, count, readable, FOffsets.data(), FHalves);
      break;
    case TYuvToBgraLevel::Sse2:
      (hShift == 0   ? Sse2OffsetRow<0>
       : hShift == 1 ? Sse2OffsetRow<1>
                     : Sse2OffsetRow<2>)(u, v, FStride, count, readable, FOffsets.data(), FHalves);
      break;
#endif
    default:
      ScalarOffsets(u, v, FStride, hShift, count, readable, FOffsets.data(), FHalves);
      break;
  }
}

void TYuvToBgraRow::ConvertRow(const uint8_t* luma, uint8_t* out) const {
  switch (FLevel) {
#if defined(__SSE2__)
    case TYuvToBgraLevel::Avx2:
      switch (reinterpret_cast<uintptr_t>(out) % 32) {
        case 0:
          (FStream
               ? Avx2Row<TRowAlignment::Whole, true>
               : Avx2Row<TRowAlignment::Whole, false>)(luma, out, FWidth, FOffsets.data(), FStride);
          break;
        case 16:
          (FStream ? Avx2Row<TRowAlignment::Shifted, true>
                   : Avx2Row<TRowAlignment::Shifted, false>)(luma, out, FWidth, FOffsets.data(),
                                                             FStride);
          break;
        default:
          Avx2Row<TRowAlignment::Halves, false>(luma, out, FWidth, FOffsets.data(), FStride);
          break;
      }
      break;
    case TYuvToBgraLevel::Sse2:
      Sse2Row(luma, out, FWidth, FOffsets.data(), FStride);
      break;
#endif
    default:
      ScalarRow(luma, out, FWidth, FOffsets.data(), FStride);
      break;
  }
  for (const THalf& h : FHalves) {
    const int32_t end = std::min(FWidth, (h.Sample + 1) << FHShift);
    for (int32_t x = h.Sample << FHShift; x < end; ++x) out[4 * x + 1] = YuvToG(luma[x], h.U, h.V);
  }
}

}  // namespace vexo

#include "engine/video/streaming_store.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <utility>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace vexo {

namespace {

int64_t CoreCacheBytes() {
  const long bytes = sysconf(_SC_LEVEL2_CACHE_SIZE);
  return bytes > 0 ? bytes : int64_t(1) << 20;
}

int64_t& Threshold() {
  static int64_t bytes = CoreCacheBytes();
  return bytes;
}

}  // namespace

int64_t StreamingStoreBytes() {
  return Threshold();
}

int64_t SetStreamingStoreBytes(int64_t bytes) {
  return std::exchange(Threshold(), bytes);
}

void CopyBytes(uint8_t* dst, const uint8_t* src, size_t n, bool stream) {
#if defined(__SSE2__)
  if (stream) {
    // Up to the first 16-byte boundary of the destination, as usual.
    const size_t head = std::min(n, (16 - reinterpret_cast<uintptr_t>(dst) % 16) % 16);
    std::memcpy(dst, src, head);
    dst += head, src += head, n -= head;
    size_t i = 0;
    for (; i + 64 <= n; i += 64) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 16));
      const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 32));
      const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i + 48));
      _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i), a);
      _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i + 16), b);
      _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i + 32), c);
      _mm_stream_si128(reinterpret_cast<__m128i*>(dst + i + 48), d);
    }
    // Streamed bytes are ordered before whatever is stored next.
    _mm_sfence();
    std::memcpy(dst + i, src + i, n - i);
    return;
  }
#endif
  std::memcpy(dst, src, n);
}

}  // namespace vexo

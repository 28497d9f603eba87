#include "engine/video/streaming_store.h"

#include <unistd.h>

#include <utility>

namespace vexo {

namespace {

int64_t LastCacheBytes() {
  for (int level : {_SC_LEVEL3_CACHE_SIZE, _SC_LEVEL2_CACHE_SIZE}) {
    const long bytes = sysconf(level);
    if (bytes > 0) return bytes;
  }
  return int64_t(8) << 20;
}

int64_t& Threshold() {
  static int64_t bytes = LastCacheBytes();
  return bytes;
}

}  // namespace

int64_t StreamingStoreBytes() {
  return Threshold();
}

int64_t SetStreamingStoreBytes(int64_t bytes) {
  return std::exchange(Threshold(), bytes);
}

}  // namespace vexo

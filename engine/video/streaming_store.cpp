#include "engine/video/streaming_store.h"

#include <unistd.h>

#include <utility>

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

}  // namespace vexo

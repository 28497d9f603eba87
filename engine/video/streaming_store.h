#pragma once
// When stores bypass the caches. A converted 32-bit picture is read a frame period
// later, by painting or by the upload to the display, after the decoder has
// run through the caches; a picture larger than the core's own cache would be
// evicted by then anyway. Written past the caches it costs half the memory
// traffic: the lines are not read in first. (Plane copies stay with memcpy:
// streamed they came out slower.)
#include <cstdint>

namespace vexo {

// Pictures of at least this many bytes are stored past the caches; by
// default the size of the core's own (level 2) cache.
int64_t StreamingStoreBytes();
// Changes that size (tests reach both kinds of store with it); returns the old one.
int64_t SetStreamingStoreBytes(int64_t bytes);
inline bool StreamsPicture(int64_t bytes) {
  return bytes >= StreamingStoreBytes();
}

}  // namespace vexo

#pragma once
// When stores bypass the caches. A converted 32-bit picture is read soon
// after, by painting or by the upload to the display. A picture that fits in
// the last-level cache is still there when it is read, and is written in
// place in it the next frame: stored past the caches it would be written
// to memory and read back from there, which costs half again as much as
// the whole conversion. Only a picture larger than that cache, which cannot
// stay in it, is written past it, which saves reading its lines in first.
// (Plane copies stay with memcpy: streamed they came out slower.)
#include <cstdint>

namespace vexo {

// Pictures of at least this many bytes are stored past the caches; by
// default the size of the last-level cache.
int64_t StreamingStoreBytes();
// Changes that size (tests reach both kinds of store with it); returns the old one.
int64_t SetStreamingStoreBytes(int64_t bytes);
inline bool StreamsPicture(int64_t bytes) {
  return bytes >= StreamingStoreBytes();
}

}  // namespace vexo

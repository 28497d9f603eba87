#pragma once
// The growable byte array under the engine's packet, picture and sound buffers.
#include <cstdint>
#include <vector>

namespace vexo {

// Its length is its capacity; users grow it and never expect it to shrink.
using TBuffer = std::vector<uint8_t>;

}  // namespace vexo

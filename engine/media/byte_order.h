#pragma once
// Numbers stored in file headers and chunk tables, read byte by byte so that
// neither the machine's byte order nor the data's alignment matters.
#include <cstdint>

namespace vexo {

inline uint32_t BigEndian32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// Little-endian number of `bytes` bytes (1 to 4).
inline uint32_t LittleEndian(const uint8_t* p, int bytes) {
  uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = value << 8 | p[i];
  return value;
}

inline uint32_t LittleEndian32(const uint8_t* p) {
  return LittleEndian(p, 4);
}

}  // namespace vexo

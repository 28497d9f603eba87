#include "engine/media/wave_buffer.h"

#include <algorithm>
#include <cstring>

namespace vexo {

void TWaveBuffer::DropFront(int32_t n, int32_t filled) {
  filled = std::clamp(filled, 0, DataSize());
  n = std::clamp(n, 0, filled);
  if (n == 0) return;
  std::memmove(Data.data(), Data.data() + n, size_t(filled - n));
  std::memset(Data.data() + (filled - n), 0, size_t(n));
}

void TWaveBuffer::InsertSilence(int32_t n, int32_t filled) {
  if (n <= 0) return;
  filled = std::clamp(filled, 0, DataSize());
  if (DataSize() < filled + n) Data.resize(size_t(filled + n));
  std::memmove(Data.data() + n, Data.data(), size_t(filled));
  std::memset(Data.data(), 0, size_t(n));
}

}  // namespace vexo

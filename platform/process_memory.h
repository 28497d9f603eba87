#pragma once
#include <cstdint>

namespace vexo {

// Private memory of the own process in bytes (anonymous resident plus
// swapped out); 0 when it cannot be read.
int64_t ProcessMemory();

}  // namespace vexo

namespace vexo {

// Physical memory of the machine in bytes; 0 when it cannot be read.
int64_t TotalMemory();

}  // namespace vexo

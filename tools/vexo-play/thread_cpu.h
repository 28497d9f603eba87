#pragma once
// Processor time spent so far by the calling thread, user and system together.
#include <cstdint>

namespace vexo::play {

// Milliseconds, from /proc/self/task/<tid>/stat; -1 when it cannot be read.
int64_t ThreadCpuMs();

}  // namespace vexo::play

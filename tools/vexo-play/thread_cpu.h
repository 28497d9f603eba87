#pragma once
// Processor time spent so far by the calling thread, user and system together.
#include <cstdint>

namespace vexo::play {

// Milliseconds, from /proc/self/task/<tid>/stat; -1 when it cannot be read.
int64_t ThreadCpuMs();
// Nanoseconds from the thread's processor clock, for short spans.
int64_t ThreadCpuNs();

}  // namespace vexo::play

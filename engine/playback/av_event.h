#pragma once
// An auto-reset event: Set releases one waiter (or the next one to wait) and
// the event falls back to unsignalled as that wait returns.
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace vexo {

class TAVEvent {
 public:
  void Set();
  void Reset();
  // True when the event was signalled within `ms` milliseconds (negative: no limit).
  bool WaitFor(int64_t ms);

 private:
  std::mutex FMutex;
  std::condition_variable FCond;
  bool FSignalled = false;
};

}  // namespace vexo

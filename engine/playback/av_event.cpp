#include "engine/playback/av_event.h"

#include <chrono>

namespace vexo {

void TAVEvent::Set() {
  {
    std::lock_guard<std::mutex> lock(FMutex);
    FSignalled = true;
  }
  FCond.notify_one();
}

void TAVEvent::Reset() {
  std::lock_guard<std::mutex> lock(FMutex);
  FSignalled = false;
}

bool TAVEvent::WaitFor(int64_t ms) {
  std::unique_lock<std::mutex> lock(FMutex);
  if (ms < 0) {
    FCond.wait(lock, [this] { return FSignalled; });
  } else if (!FCond.wait_for(lock, std::chrono::milliseconds(ms), [this] { return FSignalled; })) {
    return false;
  }
  FSignalled = false;
  return true;
}

}  // namespace vexo

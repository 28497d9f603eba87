#include "engine/playback/av_clock.h"

#include <chrono>

namespace vexo {

namespace {

class TWallClock : public TAVClock {
 public:
  int64_t NowMs() override {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
  bool Wait(TAVEvent& event, int64_t ms) override { return event.WaitFor(ms); }
};

}  // namespace

TAVClock& WallClock() {
  static TWallClock clock;
  return clock;
}

}  // namespace vexo

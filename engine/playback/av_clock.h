#pragma once
// The time base of the video thread: milliseconds and the timed waits on its
// events. Playback uses the wall clock; tests put in a clock of their own.
#include <cstdint>

#include "engine/playback/av_event.h"

namespace vexo {

class TAVClock {
 public:
  virtual ~TAVClock() = default;
  // Milliseconds from an arbitrary fixed moment; never goes back.
  virtual int64_t NowMs() = 0;
  // Waits on `event` for at most `ms` milliseconds; true when it was signalled.
  virtual bool Wait(TAVEvent& event, int64_t ms) = 0;
};

// The monotonic wall clock.
TAVClock& WallClock();

}  // namespace vexo

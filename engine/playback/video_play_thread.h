#pragma once
// The thread that paces pictures: it has the user-interface thread decode the
// next frame, waits until the frame is due by the sound clock, then has it
// shown; frames that are too late are caught up by dropping up to a key frame.
#include <atomic>
#include <cstdint>
#include <functional>

#include "engine/playback/av_clock.h"
#include "engine/playback/av_event.h"
#include "engine/playback/av_thread.h"
#include "engine/playback/video_timeline.h"

namespace vexo {

class TVideoPlayThread : public TAVThread {
 public:
  using TOnFinished = std::function<void()>;
  using TOnPosition = std::function<void(int32_t position)>;
  using TOnSkipMode = std::function<void(bool active)>;

  // Starts at once. Notifications run on the user-interface thread. Without
  // `startEvent` (no sound) frames follow the clock from the start.
  TVideoPlayThread(TVideoTimeline* list, TOnFinished onFinished, TOnPosition onPosition,
                   TOnSkipMode onSkipMode, TAVEvent* startEvent, TAVClock& clock = WallClock());
  ~TVideoPlayThread() override;

  // Cuts the current wait short.
  void Wake() { FWakeEvent.Set(); }
  // Wall-clock time run minus sound time played, in milliseconds; written by
  // the audio thread.
  std::atomic<int32_t>* AVOffset() { return &FAVOffset; }
  bool Running() const { return FRunning.load(); }

  // How late a frame may be shown before catch-up starts: the larger of
  // `lagMinMs` and `lagFrames` frame durations.
  static int64_t LagThresholdMs(float frameRate, int32_t lagFrames, int32_t lagMinMs);
  // The position reported for the frame just decoded: the latest frame, kept
  // inside the current file when the file ran past its counted frames.
  static int32_t PositionOf(TVideoTimeline& list);

 protected:
  void Execute() override;

 private:
  void Decode(TVideoTimeline& list);

  std::atomic<int32_t> FAVOffset{0};
  TAVEvent FWakeEvent;
  TVideoTimeline* FListRef;
  uint32_t FDecodeFlags = 0;
  int32_t FDecodeResult = 0;
  std::atomic<bool> FRunning{false};
  bool FLate = false;
  TAVEvent* FStartEvent;
  TAVClock& FClock;
  TOnPosition FOnPosition;
  TOnFinished FOnFinished;
  TOnSkipMode FOnSkipMode;
  // Taken on the user-interface thread at creation, never read from the global.
  const int32_t FLagFrames;
  const int32_t FLagMinMs;
};

}  // namespace vexo

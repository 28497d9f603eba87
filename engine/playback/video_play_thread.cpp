#include "engine/playback/video_play_thread.h"

#include <cmath>
#include <exception>
#include <mutex>

#include "engine/media/av_log.h"
#include "engine/media/av_types.h"
#include "engine/playback/av_thread_lock.h"

namespace vexo {

namespace {

// Milliseconds of one frame; 0 for a missing rate rather than a division by zero.
double FrameDurationMs(float frameRate) {
  return frameRate > 0 ? 1000.0 / frameRate : 0.0;
}

}  // namespace

TVideoPlayThread::TVideoPlayThread(TVideoTimeline* list, TOnFinished onFinished,
                                   TOnPosition onPosition, TOnSkipMode onSkipMode,
                                   TAVEvent* startEvent, TAVClock& clock)
    : FListRef(list),
      FStartEvent(startEvent),
      FClock(clock),
      FOnPosition(std::move(onPosition)),
      FOnFinished(std::move(onFinished)),
      FOnSkipMode(std::move(onSkipMode)),
      FLagFrames(AVParams.LagFrames),
      FLagMinMs(AVParams.LagMinMs) {
  // Running from creation on, so that a stop right after creation waits for it.
  FRunning.store(true);
  Start();
}

TVideoPlayThread::~TVideoPlayThread() {
  Terminate();
  Wake();
  WaitFor();
}

int64_t TVideoPlayThread::LagThresholdMs(float frameRate, int32_t lagFrames, int32_t lagMinMs) {
  int64_t frames = int64_t(lagFrames) * std::llround(FrameDurationMs(frameRate));
  return frames > lagMinMs ? frames : lagMinMs;
}

int32_t TVideoPlayThread::PositionOf(TVideoTimeline& list) {
  int64_t position = list.FramePos() - 1;
  int32_t cur = list.CurFile();
  if (cur < list.Count() - 1) {
    int64_t nextStart = list.StartFrames(cur + 1);
    if (position >= nextStart) position = nextStart - 1;
  }
  return int32_t(position);
}

void TVideoPlayThread::Decode(TVideoTimeline& list) {
  std::lock_guard<std::mutex> lock(AVThreadLock);
  if (FLate) {
    list.ResetFrameRing();
    FDecodeFlags = kDecodeConvert | kDecodeCatchUp;
    if (list.CodecName() == "mjpeg") FDecodeFlags |= kDecodeMJpeg;
    do {
      Synchronize([&] { FDecodeResult = list.DecodeVideo(FDecodeFlags); });
    } while (FDecodeResult == kDecodeSkipped && !Terminated());
    FLate = false;
    Synchronize([&] {
      if (FOnSkipMode) FOnSkipMode(false);
    });
  } else {
    FDecodeFlags = kDecodeConvert;
    Synchronize([&] { FDecodeResult = list.DecodeVideo(FDecodeFlags); });
  }
}

void TVideoPlayThread::Execute() {
  FRunning.store(true);
  FLate = false;
  try {
    TVideoTimeline& list = *FListRef;
    int64_t startTime = FClock.NowMs();
    // The frame on screen when playback began.
    const int64_t startMs = list.FrameToMs(list.FramePos() - 1);
    bool imageShown = false;
    while (!Terminated()) {
      CheckSuspended();
      if (Terminated()) break;
      // A still image that opens the timeline is already decoded and on screen.
      if (list.FramePos() == 1 && list.FirstIsImage() && !imageShown) {
        imageShown = true;
        FDecodeResult = kDecodeReady;
      } else {
        Decode(list);
        if (!list.ScreenErrorText().empty()) {
          Terminate();
          break;
        }
      }
      if (FDecodeResult != kDecodeReady) break;

      if (FStartEvent && !Terminated()) {
        FClock.Wait(*FStartEvent, 1000);
        FStartEvent = nullptr;
        startTime = FClock.NowMs();
      }

      int64_t due = list.FrameToMs(list.FramePos() - 1) - startMs;
      int32_t offset = FAVOffset.load(std::memory_order_relaxed);
      if (offset != 0) due += offset;
      int64_t elapsed = FClock.NowMs() - startTime;
      float frameRate = list.FrameRate();
      int64_t threshold = LagThresholdMs(frameRate, FLagFrames, FLagMinMs);

      if (!Terminated()) {
        if (elapsed < due) {
          FClock.Wait(FWakeEvent, due - elapsed);
        } else if (elapsed - due > threshold) {
          FLate = true;
          Synchronize([&] {
            if (FOnSkipMode) FOnSkipMode(true);
          });
        }
      }
      if (!Terminated()) {
        int32_t position = PositionOf(list);
        Synchronize([&] {
          if (FOnPosition) FOnPosition(position);
        });
      }
      if (!Terminated() &&
          (list.FramePos() == list.TotalFrames() || list.FileFramePos() == list.FileFrameCount())) {
        // The last frame of a file stays on screen for its own duration.
        due += int64_t(list.FileFrameMs(list.FileFramePos() - 1));
        int64_t now = FClock.NowMs() - startTime;
        if (now < due) FClock.Wait(FWakeEvent, due - now);
      }
    }
  } catch (const std::exception& e) {
    Log(e.what());
  }
  try {
    Synchronize([&] {
      if (FOnFinished) FOnFinished();
    });
  } catch (const std::exception& e) {
    Log(e.what());
  }
  FRunning.store(false);
}

}  // namespace vexo

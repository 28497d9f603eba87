#include "engine/playback/audio_play_thread.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <exception>
#include <mutex>
#include <string>

#include "engine/media/av_log.h"
#include "engine/media/av_types.h"
#include "engine/playback/av_clock.h"
#include "engine/playback/av_thread_lock.h"
#include "engine/playback/sound_error_text.h"

namespace vexo {

namespace {

// Sound queued before the primary output starts playing.
constexpr int64_t kStartMarginMs = 300;

int64_t NowMs() {
  return WallClock().NowMs();
}

// At the start only one chunk is queued ahead of the sound: a thread that
// other work keeps off the processor for longer leaves a gap. Real-time
// scheduling where permitted, else a better nice value, else as it is.
void RaiseToHighestPriority() {
  sched_param param{};
  param.sched_priority = sched_get_priority_max(SCHED_RR);
  if (param.sched_priority >= 0 && pthread_setschedparam(pthread_self(), SCHED_RR, &param) == 0)
    return;
  setpriority(PRIO_PROCESS, id_t(gettid()), -10);
}

}  // namespace

TAudioPlayThread::TAudioPlayThread(TAudioSource* list, TOnError onError, uint32_t deviceId,
                                   std::atomic<int32_t>* avOffset, TAVEvent* startEvent,
                                   TSoundSystem* sound)
    : FAVOffsetRef(avOffset),
      FDeviceId(deviceId),
      FListRef(list),
      FStartEvent(startEvent),
      FOnError(std::move(onError)),
      FSound(sound) {
  if (AVParams.UseSoundServer == 1) {
    uint32_t code = sndNoOutput;
    if (FSound) FServerStream = FSound->CreateStream(code);
    if (!FServerStream) {
      Log("Error: Failed to create IDirectSound object, switching to MCI audio");
      AVParams.UseSoundServer = 0;
    }
  }
  // Running from creation on, so that a stop right after creation waits for it.
  FRunning.store(true);
  Start();
}

TAudioPlayThread::~TAudioPlayThread() {
  Terminate();
  WaitFor();
}

int64_t TAudioPlayThread::WriterSleepMs(int64_t queued, int64_t halfSize, int64_t bytesPerSecond) {
  if (queued <= halfSize || bytesPerSecond <= 0) return 0;
  return ((queued - halfSize) * 1000 + bytesPerSecond - 1) / bytesPerSecond;
}

int64_t TAudioPlayThread::StartMarginBytes(int64_t bytesPerSecond, int64_t halfSize) {
  int64_t margin = bytesPerSecond * kStartMarginMs / 1000;
  return margin < halfSize ? margin : halfSize;
}

int64_t TAudioPlayThread::PlayOutWaitMs(int64_t queued, int64_t bytesPerSecond) {
  return queued * 1000 / bytesPerSecond - 40;
}

void TAudioPlayThread::OpenDevice() {
  const int32_t rate = FListRef->OutRate();
  const int32_t channels = FListRef->OutChannels();
  if (rate <= 0 || channels <= 0) {
    FError = int32_t(sndNoFormat);
    return;
  }
  if (FServerStream) {
    FError = int32_t(FServerStream->Open(rate, channels, uint32_t(FBufSize)));
    return;
  }
  if (FSound) FFallback = FSound->CreateFallback(FDeviceId);
  FError =
      FFallback ? int32_t(FFallback->Open(rate, channels, 2 * FHalfSize)) : int32_t(sndNoOutput);
}

void TAudioPlayThread::CloseDevice() {
  if (FFallback) FFallback->Close();
  FFallback.reset();
  if (FServerStream) FServerStream->Close();
  FServerStream.reset();
}

void TAudioPlayThread::Execute() {
  FRunning.store(true);
  RaiseToHighestPriority();
  OpenDevice();
  if (FError != 0) {
    CloseDevice();
    try {
      Synchronize([this] {
        if (FOnError) FOnError();
      });
    } catch (const std::exception& e) {
      Log(e.what());
    }
    FRunning.store(false);
    return;
  }
  try {
    Stream(int64_t(FListRef->OutRate()) * FListRef->OutChannels() * 2);
  } catch (const std::exception& e) {
    Log(e.what());
  }
  CloseDevice();
  FRunning.store(false);
}

void TAudioPlayThread::Stream(int64_t bytesPerSecond) {
  TSoundDevice* device = FServerStream ? FServerStream.get() : FFallback.get();
  const bool streaming = FServerStream != nullptr;
  int64_t writePos = 0;  // bytes handed to the output
  int64_t startTime = NowMs();
  FChunkSize = 0;
  const int64_t startMargin = StartMarginBytes(bytesPerSecond, FHalfSize);
  auto publishOffset = [&] {
    if (!FAVOffsetRef || FStartEvent) return;
    int64_t playedMs = 0;
    if (!streaming || device->Playing())
      playedMs = std::llround(double(device->PlayedBytes()) * 1000.0 / double(bytesPerSecond));
    FAVOffsetRef->store(int32_t(NowMs() - startTime - playedMs));
  };
  // Both clocks restart when the sound is on its way.
  auto releaseStart = [&] {
    if (!FStartEvent || Terminated()) return;
    startTime = NowMs();
    if (FAVOffsetRef) FAVOffsetRef->store(0);
    FStartEvent->Set();
    FStartEvent = nullptr;
  };

  while (!Terminated()) {
    {
      std::lock_guard<std::mutex> lock(AVThreadLock);
      if (FListRef->DecodeAudio(FChunk, FChunkSize, 0) != 0) break;
    }
    publishOffset();

    // The fall-back plays as it is given: its sound is on its way with the first chunk.
    if (!streaming) releaseStart();
    if (Terminated() || FChunkSize <= 0) continue;

    if (streaming) {
      int64_t queued = writePos - (device->Playing() ? device->PlayedBytes() : 0);
      if (!SleepUnlessTerminated(WriterSleepMs(queued, FHalfSize, bytesPerSecond))) break;
      writePos += device->Write(FChunk, uint32_t(FChunkSize));
      // The server reads ahead of what is heard, and with a single chunk queued
      // it runs dry while the first pictures keep the next fetch waiting:
      // what comes after such a gap is played late or not at all.
      if (!device->Playing() && writePos >= startMargin) {
        device->Play();
        releaseStart();
      }
      SleepUnlessTerminated(1);
    } else {
      writePos += device->Write(FChunk, uint32_t(FChunkSize));
    }
  }
  // Sound shorter than the margin starts when it has all been fetched.
  if (streaming && !Terminated() && !device->Playing() && writePos > 0) {
    device->Play();
    releaseStart();
  }

  if (streaming && !Terminated()) {
    int64_t queued = writePos - (device->Playing() ? device->PlayedBytes() : 0);
    // An underrun leaves the played position ahead of what was written.
    if (queued < 0) queued = 0;
    int64_t wait = PlayOutWaitMs(queued, bytesPerSecond);
    Log("LAST mWait = " + std::to_string(wait));
    // The server's played position settles only after the sound has started:
    // the pictures keep following it while the last second or so plays out.
    const int64_t waitStart = NowMs();
    while (NowMs() - waitStart < wait && !Terminated()) {
      SleepUnlessTerminated(20);
      publishOffset();
    }
    device->Stop();
  } else if (!streaming && !Terminated()) {
    // Closing the fall-back discards what it still holds: let the last buffers play.
    int64_t left =
        std::llround(double(writePos - device->PlayedBytes()) * 1000.0 / double(bytesPerSecond));
    SleepUnlessTerminated(left);
  }
}

}  // namespace vexo

#pragma once
// The thread that plays the timeline's sound and provides the clock that the
// pictures follow: after every chunk it publishes how far the wall clock has
// run ahead of the sound heard.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "engine/playback/audio_source.h"
#include "engine/playback/av_event.h"
#include "engine/playback/av_thread.h"
#include "engine/playback/sound_device.h"

namespace vexo {

class TAudioPlayThread : public TAVThread {
 public:
  using TOnError = std::function<void()>;

  // Starts at once. With UseSoundServer set the primary output is connected
  // here; when that fails the fall-back is used from then on in this process.
  // `onError` runs on the user-interface thread when no device opens.
  TAudioPlayThread(TAudioSource* list, TOnError onError, uint32_t deviceId,
                   std::atomic<int32_t>* avOffset, TAVEvent* startEvent,
                   TSoundSystem* sound = SoundSystem());
  ~TAudioPlayThread() override;

  bool Running() const { return FRunning.load(); }

  // Milliseconds the writer sleeps so that no more than `halfSize` bytes stay queued.
  static int64_t WriterSleepMs(int64_t queued, int64_t halfSize, int64_t bytesPerSecond);
  // Bytes queued before the primary output starts: 300 ms, at most `halfSize`.
  static int64_t StartMarginBytes(int64_t bytesPerSecond, int64_t halfSize);
  // Milliseconds left to play out at the end: the queued sound less 40 ms.
  static int64_t PlayOutWaitMs(int64_t queued, int64_t bytesPerSecond);

 protected:
  void Execute() override;

 private:
  void OpenDevice();
  void CloseDevice();
  void Stream(int64_t bytesPerSecond);

  std::atomic<int32_t>* FAVOffsetRef;
  const uint32_t FHalfSize = 0x40000;
  const int32_t FBufSize = 2 * 0x40000;
  uint32_t FDeviceId;
  TAudioSource* FListRef;
  int32_t FError = 0;
  std::atomic<bool> FRunning{false};
  TAVEvent* FStartEvent;
  const uint8_t* FChunk = nullptr;
  int32_t FChunkSize = 0;
  TOnError FOnError;
  TSoundSystem* FSound;
  std::unique_ptr<TSoundDevice> FServerStream;  // the primary, streaming output
  std::unique_ptr<TSoundDevice> FFallback;
};

}  // namespace vexo

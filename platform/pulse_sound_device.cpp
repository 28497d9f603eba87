#include "platform/pulse_sound_device.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <stdexcept>
#include <thread>

#include "engine/media/av_log.h"
#include "engine/playback/sound_error_text.h"

namespace vexo {

namespace {

// A server that accepts the connection but never answers must not hang the player.
constexpr auto kAnswerTimeout = std::chrono::seconds(3);
constexpr pa_usec_t kTargetUsec = 200000;

class TLoopLock {
 public:
  explicit TLoopLock(pa_threaded_mainloop* loop) : FLoop(loop) { pa_threaded_mainloop_lock(FLoop); }
  ~TLoopLock() { pa_threaded_mainloop_unlock(FLoop); }

 private:
  pa_threaded_mainloop* FLoop;
};

// Waits, with the loop locked, until `settled` answers; false on time-out.
template <typename Settled>
bool WaitSettled(pa_threaded_mainloop* loop, Settled settled) {
  auto limit = std::chrono::steady_clock::now() + kAnswerTimeout;
  while (!settled()) {
    if (std::chrono::steady_clock::now() > limit) return false;
    pa_threaded_mainloop_unlock(loop);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    pa_threaded_mainloop_lock(loop);
  }
  return true;
}

void Unref(pa_operation* operation) {
  if (operation) pa_operation_unref(operation);
}

}  // namespace

std::unique_ptr<TPulseSoundDevice> TPulseSoundDevice::Connect(const std::string& server,
                                                              uint32_t& code) {
  std::unique_ptr<TPulseSoundDevice> device(new TPulseSoundDevice);
  code = sndNoOutput;
  device->FLoop = pa_threaded_mainloop_new();
  if (!device->FLoop) return nullptr;
  device->FContext = pa_context_new(pa_threaded_mainloop_get_api(device->FLoop), "Vexo Player");
  if (!device->FContext) return nullptr;
  if (pa_context_connect(device->FContext, server.empty() ? nullptr : server.c_str(),
                         PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
    return nullptr;
  if (pa_threaded_mainloop_start(device->FLoop) < 0) return nullptr;
  TLoopLock lock(device->FLoop);
  pa_context* context = device->FContext;
  bool answered = WaitSettled(device->FLoop, [context] {
    pa_context_state_t state = pa_context_get_state(context);
    return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
  });
  if (!answered || pa_context_get_state(context) != PA_CONTEXT_READY) return nullptr;
  code = 0;
  return device;
}

TPulseSoundDevice::~TPulseSoundDevice() {
  Close();
  if (FLoop) pa_threaded_mainloop_stop(FLoop);
  if (FContext) {
    pa_context_disconnect(FContext);
    pa_context_unref(FContext);
  }
  if (FLoop) pa_threaded_mainloop_free(FLoop);
}

uint32_t TPulseSoundDevice::Open(int32_t rate, int32_t channels, uint32_t bufferBytes) {
  const uint32_t result = OpenStream(rate, channels, bufferBytes);
  if (result == 0) FollowVolume();
  return result;
}

uint32_t TPulseSoundDevice::OpenStream(int32_t rate, int32_t channels, uint32_t bufferBytes) {
  TLoopLock lock(FLoop);
  pa_sample_spec spec{PA_SAMPLE_S16LE, uint32_t(rate), uint8_t(channels)};
  if (channels > int32_t(PA_CHANNELS_MAX) || !pa_sample_spec_valid(&spec)) {
    LogSoundError("DSBuffer.SetFormat", sndBadFormat);
    return sndBadFormat;
  }
  FFrameBytes = int64_t(channels) * 2;
  FBytesPerSecond = int64_t(rate) * FFrameBytes;
  FStream = pa_stream_new(FContext, "Vexo Player", &spec, nullptr);
  if (!FStream) {
    LogSoundError("CreateSoundBuffer", sndStreamFailed);
    return sndStreamFailed;
  }
  // No pre-buffering: the stream starts when uncorked, like a looping buffer
  // told to play, and keeps its clock running through an underrun. Left to the
  // server, pre-buffering waits for nearly the whole buffer: a shorter clip
  // never plays, while the stream's clock runs on as if it did. The target
  // length sets how far ahead of the listener the sink reads: asked for the
  // whole buffer, a sink reads up to two seconds ahead at once, far beyond
  // what is written at the start, and what is written after that gap is lost.
  // The buffer itself stays whole, for the writer's half-buffer queue.
  const uint32_t target = uint32_t(pa_usec_to_bytes(kTargetUsec, &spec));
  pa_buffer_attr attr{bufferBytes, target, 0, uint32_t(-1), uint32_t(-1)};
  auto flags = pa_stream_flags_t(PA_STREAM_START_CORKED | PA_STREAM_INTERPOLATE_TIMING |
                                 PA_STREAM_AUTO_TIMING_UPDATE);
  pa_stream* stream = FStream;
  // The stream's own volume, not the output's: the first sound is already
  // as loud as the player is set, and other programs are not touched.
  FChannels = uint8_t(channels);
  const pa_cvolume volume = StreamVolume(SoundVolume().Heard());
  if (pa_stream_connect_playback(stream, nullptr, &attr, flags, &volume, nullptr) < 0 ||
      !WaitSettled(FLoop,
                   [stream] {
                     pa_stream_state_t state = pa_stream_get_state(stream);
                     return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
                   }) ||
      pa_stream_get_state(stream) != PA_STREAM_READY) {
    LogSoundError("CreateSoundBuffer", sndStreamFailed);
    return sndStreamFailed;
  }
  FPlayed = 0;
  return 0;
}

bool TPulseSoundDevice::Playing() {
  TLoopLock lock(FLoop);
  return FStream && FPlaying;
}

void TPulseSoundDevice::Cork(bool cork) {
  TLoopLock lock(FLoop);
  if (!FStream || pa_stream_get_state(FStream) != PA_STREAM_READY) return;
  Unref(pa_stream_cork(FStream, cork ? 1 : 0, nullptr, nullptr));
  FPlaying = !cork;
}

void TPulseSoundDevice::Play() {
  Cork(false);
}

void TPulseSoundDevice::Stop() {
  Cork(true);
}

int64_t TPulseSoundDevice::PlayedBytes() {
  TLoopLock lock(FLoop);
  pa_usec_t usec = 0;
  if (FStream && pa_stream_get_time(FStream, &usec) >= 0) {
    int64_t bytes = int64_t(usec * uint64_t(FBytesPerSecond) / 1000000);
    FPlayed = bytes - bytes % FFrameBytes;
  }
  return FPlayed;
}

uint32_t TPulseSoundDevice::Write(const uint8_t* data, uint32_t size) {
  TLoopLock lock(FLoop);
  if (!FStream || pa_stream_write(FStream, data, size, nullptr, 0, PA_SEEK_RELATIVE) < 0)
    throw std::runtime_error("Unable to Lock Sound Buffer");
  return size;
}

pa_cvolume TPulseSoundDevice::StreamVolume(double level) const {
  pa_cvolume volume;
  pa_cvolume_set(&volume, FChannels,
                 pa_volume_t(std::lround(std::clamp(level, 0.0, 1.0) * PA_VOLUME_NORM)));
  return volume;
}

void TPulseSoundDevice::ApplyVolume(double level) {
  TLoopLock lock(FLoop);
  if (!FStream || pa_stream_get_state(FStream) != PA_STREAM_READY) return;
  const pa_cvolume volume = StreamVolume(level);
  Unref(pa_context_set_sink_input_volume(FContext, pa_stream_get_index(FStream), &volume, nullptr,
                                         nullptr));
}

void TPulseSoundDevice::Close() {
  if (!FLoop) return;
  UnfollowVolume();
  TLoopLock lock(FLoop);
  if (!FStream) return;
  pa_stream_disconnect(FStream);
  pa_stream_unref(FStream);
  FStream = nullptr;
  FPlaying = false;
}

}  // namespace vexo

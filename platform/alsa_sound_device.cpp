#include "platform/alsa_sound_device.h"

#include <chrono>
#include <cmath>
#include <stdexcept>

namespace vexo {

namespace {

// A device that takes nothing for this long is given up, never waited on for ever.
constexpr auto kStallLimit = std::chrono::seconds(2);

}  // namespace

uint32_t TAlsaSoundDevice::Open(int32_t rate, int32_t channels, uint32_t bufferBytes) {
  int result = snd_pcm_open(&FPcm, FName.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
  if (result < 0) {
    FPcm = nullptr;
    return uint32_t(-result);
  }
  FFrameBytes = int64_t(channels) * 2;
  FWritten = 0;
  const int64_t bytesPerSecond = int64_t(rate) * FFrameBytes;
  // Room for the two buffers the thread alternates between.
  const auto latencyUs = unsigned(int64_t(bufferBytes) * 1000000 / bytesPerSecond);
  result = snd_pcm_set_params(FPcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED,
                              unsigned(channels), unsigned(rate), 1, latencyUs);
  if (result < 0) {
    Close();
    return uint32_t(-result);
  }
  return 0;
}

void TAlsaSoundDevice::Stop() {
  if (FPcm) snd_pcm_drop(FPcm);
}

int64_t TAlsaSoundDevice::PlayedBytes() {
  if (!FPcm) return 0;
  snd_pcm_sframes_t delay = 0;
  // A device that ran dry (or never started) holds nothing more to play.
  if (snd_pcm_delay(FPcm, &delay) < 0 || delay < 0) delay = 0;
  int64_t played = FWritten - int64_t(delay) * FFrameBytes;
  return played > 0 ? played : 0;
}

uint32_t TAlsaSoundDevice::Write(const uint8_t* data, uint32_t size) {
  if (!FPcm) return 0;
  // The device has no volume of its own for this program: the samples are
  // scaled, and a change is heard once the buffers already written have played.
  const double factor = SoundVolumeFactor(SoundVolume().Heard());
  if (factor < 1) {
    FScaled.resize(size / 2);
    const auto* samples = reinterpret_cast<const int16_t*>(data);
    for (size_t i = 0; i < FScaled.size(); ++i)
      FScaled[i] = int16_t(std::lround(samples[i] * factor));
    data = reinterpret_cast<const uint8_t*>(FScaled.data());
  }
  const snd_pcm_uframes_t frames = snd_pcm_uframes_t(size / FFrameBytes);
  snd_pcm_uframes_t done = 0;
  auto lastProgress = std::chrono::steady_clock::now();
  while (done < frames) {
    snd_pcm_sframes_t n = snd_pcm_writei(FPcm, data + done * FFrameBytes, frames - done);
    if (n == -EAGAIN || n == 0) {
      if (std::chrono::steady_clock::now() - lastProgress > kStallLimit) break;
      snd_pcm_wait(FPcm, 100);
      continue;
    }
    if (n < 0) {
      if (snd_pcm_recover(FPcm, int(n), 1) < 0) throw std::runtime_error(snd_strerror(int(n)));
      continue;
    }
    done += snd_pcm_uframes_t(n);
    lastProgress = std::chrono::steady_clock::now();
  }
  FWritten += int64_t(done) * FFrameBytes;
  return uint32_t(int64_t(done) * FFrameBytes);
}

void TAlsaSoundDevice::Close() {
  if (!FPcm) return;
  snd_pcm_drop(FPcm);
  snd_pcm_close(FPcm);
  FPcm = nullptr;
}

}  // namespace vexo

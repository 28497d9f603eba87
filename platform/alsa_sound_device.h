#pragma once
// The fall-back sound output: an ALSA PCM device fed with blocking writes
// while up to two buffers of sound wait in it; the played position comes from
// the device's delay.
#include <alsa/asoundlib.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/playback/sound_device.h"

namespace vexo {

class TAlsaSoundDevice : public TSoundDevice {
 public:
  explicit TAlsaSoundDevice(std::string name) : FName(std::move(name)) {}
  ~TAlsaSoundDevice() override { Close(); }

  uint32_t Open(int32_t rate, int32_t channels, uint32_t bufferBytes) override;
  bool Playing() override { return FPcm != nullptr; }
  void Play() override {}
  void Stop() override;
  int64_t PlayedBytes() override;
  uint32_t Write(const uint8_t* data, uint32_t size) override;
  void Close() override;

  const std::string& Name() const { return FName; }

 private:
  std::string FName;
  snd_pcm_t* FPcm = nullptr;
  int64_t FFrameBytes = 0;
  int64_t FWritten = 0;
  std::vector<int16_t> FScaled;
};

}  // namespace vexo

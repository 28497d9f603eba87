#pragma once
// The operating system's sound outputs: PulseAudio first, ALSA as fall-back.
#include <cstdint>
#include <memory>
#include <string>

#include "engine/playback/sound_device.h"

namespace vexo {

class TPlatformSoundSystem : public TSoundSystem {
 public:
  // `pulseServer` empty: the client's usual server. `alsaDevice` is the
  // fall-back's device when no device number is asked for; device number N
  // selects "hw:N".
  explicit TPlatformSoundSystem(std::string pulseServer = {}, std::string alsaDevice = "default")
      : FPulseServer(std::move(pulseServer)), FAlsaDevice(std::move(alsaDevice)) {}

  std::unique_ptr<TSoundDevice> CreateStream(uint32_t& code) override;
  std::unique_ptr<TSoundDevice> CreateWaveOut(uint32_t deviceId) override;

 private:
  std::string FPulseServer;
  std::string FAlsaDevice;
};

}  // namespace vexo

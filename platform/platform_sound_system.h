#pragma once
// The operating system's sound outputs: PulseAudio first, ALSA as fall-back.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "engine/playback/sound_device.h"

namespace vexo {

class TPlatformSoundSystem : public TSoundSystem {
 public:
  // `pulseServer` empty: the client's usual server. `alsaDevice` is the
  // fall-back's device when no device number is asked for; device number N
  // selects "hw:N".
  explicit TPlatformSoundSystem(std::string pulseServer = {}, std::string alsaDevice = "default")
      : FPulseServer(std::move(pulseServer)),
        FDefaultAlsaDevice(std::move(alsaDevice)),
        FAlsaDevice(FDefaultAlsaDevice) {}

  std::unique_ptr<TSoundDevice> CreateStream(uint32_t& code) override;
  std::unique_ptr<TSoundDevice> CreateFallback(uint32_t deviceId) override;
  // "default" puts back the device given at construction.
  void SelectOutput(const std::string& name) override;
  std::string AlsaDevice() const;

 private:
  std::string FPulseServer;
  const std::string FDefaultAlsaDevice;
  mutable std::mutex FLock;  // the audio thread makes outputs while the user chooses
  std::string FAlsaDevice;
};

}  // namespace vexo

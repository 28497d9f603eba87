#include "platform/platform_sound_system.h"

#include "platform/alsa_sound_device.h"
#include "platform/pulse_sound_device.h"

namespace vexo {

std::unique_ptr<TSoundDevice> TPlatformSoundSystem::CreateStream(uint32_t& code) {
  return TPulseSoundDevice::Connect(FPulseServer, code);
}

std::unique_ptr<TSoundDevice> TPlatformSoundSystem::CreateWaveOut(uint32_t deviceId) {
  std::string name = deviceId == 0 ? FAlsaDevice : "hw:" + std::to_string(deviceId);
  return std::make_unique<TAlsaSoundDevice>(name);
}

}  // namespace vexo

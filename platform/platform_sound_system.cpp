#include "platform/platform_sound_system.h"

#include "platform/alsa_sound_device.h"
#include "platform/pulse_sound_device.h"
#include "platform/sound_outputs.h"

namespace vexo {

std::unique_ptr<TSoundDevice> TPlatformSoundSystem::CreateStream(uint32_t& code) {
  return TPulseSoundDevice::Connect(FPulseServer, code);
}

std::unique_ptr<TSoundDevice> TPlatformSoundSystem::CreateFallback(uint32_t deviceId) {
  std::string name = deviceId == 0 ? AlsaDevice() : "hw:" + std::to_string(deviceId);
  return std::make_unique<TAlsaSoundDevice>(name);
}

void TPlatformSoundSystem::SelectOutput(const std::string& name) {
  std::lock_guard<std::mutex> hold(FLock);
  FAlsaDevice = name.empty() || name == kDefaultSoundOutput ? FDefaultAlsaDevice : name;
}

std::string TPlatformSoundSystem::AlsaDevice() const {
  std::lock_guard<std::mutex> hold(FLock);
  return FAlsaDevice;
}

}  // namespace vexo

#include "engine/playback/sound_device.h"

#include <atomic>

namespace vexo {

namespace {
std::atomic<TSoundSystem*> theSoundSystem{nullptr};
}  // namespace

void SetSoundSystem(TSoundSystem* system) {
  theSoundSystem.store(system);
}

TSoundSystem* SoundSystem() {
  return theSoundSystem.load();
}

}  // namespace vexo

#include "engine/playback/sound_device.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

namespace vexo {

namespace {
std::atomic<TSoundSystem*> theSoundSystem{nullptr};

// Read by outputs while they hold their own locks, so never behind a mutex.
std::atomic<double> theLevel{1};
std::atomic<bool> theMuted{false};

// The open outputs that follow the volume; the mutex also keeps two changes
// from reaching them in a different order than they were made.
std::mutex theFollowersLock;
std::vector<TSoundDevice*>& Followers() {
  static std::vector<TSoundDevice*> followers;
  return followers;
}

}  // namespace

void SetSoundVolume(TSoundVolume volume) {
  volume.Level = std::clamp(volume.Level, 0.0, 1.0);
  std::lock_guard lock(theFollowersLock);
  theLevel.store(volume.Level);
  theMuted.store(volume.Muted);
  for (TSoundDevice* device : Followers()) device->ApplyVolume(volume.Heard());
}

TSoundVolume SoundVolume() {
  return TSoundVolume{theLevel.load(), theMuted.load()};
}

double SoundVolumeFactor(double level) {
  level = std::clamp(level, 0.0, 1.0);
  return level * level * level;
}

void TSoundDevice::FollowVolume() {
  std::lock_guard lock(theFollowersLock);
  Followers().push_back(this);
  ApplyVolume(SoundVolume().Heard());
}

void TSoundDevice::UnfollowVolume() {
  std::lock_guard lock(theFollowersLock);
  std::erase(Followers(), this);
}

void SetSoundSystem(TSoundSystem* system) {
  theSoundSystem.store(system);
}

TSoundSystem* SoundSystem() {
  return theSoundSystem.load();
}

}  // namespace vexo

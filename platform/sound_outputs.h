#pragma once
// The sound outputs a user can choose between.
#include <string>
#include <vector>

namespace vexo {

struct TSoundOutput {
  std::string Name;         // what the sound system is told; "default" for the first
  std::string Description;  // the device's own one-line description, may be empty
};

extern const char* const kDefaultSoundOutput;  // "default"

// "default" first (the sound server's default output, ALSA's default device
// when no server answers), then every ALSA playback device, each once.
std::vector<TSoundOutput> ListSoundOutputs();

}  // namespace vexo

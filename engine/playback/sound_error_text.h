#pragma once
// Failure codes of the sound outputs (the PulseAudio stream and the ALSA
// fall-back) and their descriptions, which the log shows after an
// operation's label. ALSA failures arrive as their positive errno values.
#include <cstdint>
#include <string>

namespace vexo {

enum TSoundError : uint32_t {
  sndOk = 0,
  sndNoOutput = 0x88790001,      // no sound server to connect to, or no output device
  sndStreamFailed = 0x88790002,  // the server would not make or start the stream
  sndBadFormat = 0x88790003,     // a rate or channel count the output cannot play
  sndNoFormat = 0x88790004,      // the timeline has no sound format to open with
};

// Description of a sound-output result code; empty for an unknown code.
std::string SoundErrorText(uint32_t code);

}  // namespace vexo

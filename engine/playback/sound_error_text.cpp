#include "engine/playback/sound_error_text.h"

namespace vexo {

std::string SoundErrorText(uint32_t code) {
  switch (code) {
    case sndNoOutput:
      return "No sound driver is available for use";
    case sndStreamFailed:
      return "The sound server could not make or start the stream";
    case sndBadFormat:
      return "The sound format is not supported";
    case sndNoFormat:
      return "The sound has no sample rate or channel count";
    default:
      return {};
  }
}

}  // namespace vexo

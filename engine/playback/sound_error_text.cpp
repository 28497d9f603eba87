#include "engine/playback/sound_error_text.h"

namespace vexo {

namespace {

struct SoundError {
  uint32_t code;
  const char* text;
};

// The sound back ends report their failures with these codes.
constexpr SoundError kSoundErrors[] = {
    {0x0878000A, "The call succeeded, but we had to substitute the 3D algorithm"},
    {0x80004001, "The function called is not supported at this time"},
    {0x80004002, "The requested COM interface is not available"},
    {0x80004005, "An undetermined error occurred inside the DirectSound subsystem"},
    {0x80040110, "This object does not support aggregation"},
    {0x80070005, "Access is denied"},
    {0x8007000E, "Not enough free memory is available to complete the operation"},
    {0x80070057, "An invalid parameter was passed to the returning function"},
    {0x8878000A,
     "The call failed because resources (such as a priority level) were already being used by "
     "another caller"},
    {0x8878001E, "The control (vol, pan, etc.) requested by the caller is not available"},
    {0x88780032, "This call is not valid for the current state of this object"},
    {0x88780046,
     "The caller does not have the priority level required for the function to succeed"},
    {0x88780064, "The specified WAVE format is not supported"},
    {0x88780078, "No sound driver is available for use"},
    {0x88780082, "This object is already initialized"},
    {0x88780096, "The buffer memory has been lost, and must be restored"},
    {0x887800A0, "Another app has a higher priority level, preventing this call from succeeding"},
    {0x887800AA, "This object has not been initialized"},
    {0x887800B4,
     "Tried to create a DSBCAPS_CTRLFX buffer shorter than DSBSIZE_FX_MIN milliseconds"},
    {0x887800BE, "Attempt to use DirectSound 8 functionality on an older DirectSound object"},
    {0x887800C8, "A circular loop of send effects was detected"},
    {0x887800D2, "The GUID specified in an audiopath file does not match a valid MIXIN buffer"},
    {0x887800DC,
     "The effects requested could not be found on the system, or they were found but in the "
     "wrong order, or in the wrong hardware/software locations."},
    {0x88781161, "The object requested was not found (numerically equal to DMUS_E_NOT_FOUND)"},
};

}  // namespace

std::string SoundErrorText(uint32_t code) {
  for (const SoundError& error : kSoundErrors)
    if (error.code == code) return error.text;
  return {};
}

}  // namespace vexo

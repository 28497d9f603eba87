#pragma once
#include <cstdint>
#include <string>

namespace vexo {

// Description of a sound-output result code; empty for an unknown code.
std::string SoundErrorText(uint32_t code);

}  // namespace vexo

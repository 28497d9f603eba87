#pragma once
// Sample-rate and channel converters for 16-bit interleaved sound.
#include <cstdint>

struct SwrContext;

namespace vexo {

// A converter from inRate Hz, inChannels to outRate Hz, outChannels, both
// signed 16-bit interleaved; channels are laid out as the library's default
// layout of their count. Throws std::bad_alloc when it cannot be made.
SwrContext* NewAudioResampler(int32_t outChannels, int32_t inChannels, int32_t outRate,
                              int32_t inRate);
void FreeAudioResampler(SwrContext*& resampler);

}  // namespace vexo

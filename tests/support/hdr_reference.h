#pragma once
// Pictures as ffmpeg's command line gives them, and how near two pictures
// are: the references of the colour and tone-mapping tests.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/video/av_scale.h"

namespace vexo::test {

// ffmpeg's tone mapping of an HDR picture to SDR BT.709, shown as R, G, B.
extern const char* const kToneMapChain;

// ffmpeg's first picture of `path` as B, G, R, A rows, top-down, through
// the filters `filters` when given.
std::vector<uint8_t> FfmpegBgra(const std::string& path, const std::string& filters = "");

// `src` (w x h in `pixFmt`) converted by the CPU into a 32-bit picture of
// its size: B, G, R, A rows, top-down.
std::vector<uint8_t> CpuBgra(const TAVPicture& src, int32_t pixFmt, int32_t w, int32_t h);

// PSNR of 8-bit samples from their summed squared differences; 99 when equal.
double Psnr(double sumSquares, size_t samples);

// The mean BT.709 luma of B, G, R, A pixels.
double MeanLuma(const std::vector<uint8_t>& bgra);

// PSNR of the luma of two B, G, R, A pictures: ffmpeg's chain ends in 4:2:0,
// whose chroma at the pattern's sharp colour edges differs from ours in
// 4:4:4 far more than the tone mapping does.
double LumaPsnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);

}  // namespace vexo::test

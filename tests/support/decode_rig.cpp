#include "tests/support/decode_rig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tests/support/test_in_file.h"

namespace vexo::test {

TDecodeRig::TDecodeRig(int32_t width, int32_t height, uint8_t mode) {
  Screen = std::make_unique<TAVScreen>(width, height, mode, nullptr, TNativeWindow(7), true, 0, 0,
                                       width, height, float(width) / float(height));
}

std::unique_ptr<TAVInFile> TDecodeRig::Open(const std::string& fixture) {
  std::string error;
  auto file = OpenFixture(fixture, error);
  EXPECT_EQ(error, "") << fixture;
  Attach(*file);
  return file;
}

void TDecodeRig::Attach(TAVInFile& file) {
  const bool sound = file.AudioCount > 0;
  Wave.OutRate = sound ? file.Audio[0].SampleRate : 44100;
  Wave.OutChannels = sound ? file.Audio[0].Channels : 2;
  Wave.ChunkBytes = int32_t(Wave.OutRate * 0.1 * Wave.OutChannels) * 2;
  Wave.OutBytes = 2 * Wave.ChunkBytes;
  Wave.Filled = 0;
  file.WaveBuf = &Wave;
  file.FrameBufRef = &Ring;
  file.FileCount = 1;
}

int32_t ReadFrameNumber(const TAVScreen& screen) {
  const int32_t y = 60 * screen.Ovr_Height / 240;
  int32_t number = 0;
  for (int bit = 0; bit < 16; ++bit) {
    const int32_t x = (bit * 20 + 10) * screen.Ovr_Width / 320;
    uint8_t level;
    if (screen.FFourCC == FCC_ARGB) {
      // Bottom-up rows of blue, green, red, alpha.
      const uint8_t* row =
          screen.FFrameBuf + size_t(screen.Ovr_Height - 1 - y) * size_t(screen.FFrameStride);
      level = row[4 * x + 1];
    } else if (screen.FFourCC == FCC_UYVY) {
      level = screen.FFrameBuf[size_t(y) * size_t(screen.FFrameLineBytes) + 2 * x + 1];
    } else if (screen.FFourCC == FCC_YUY2) {
      level = screen.FFrameBuf[size_t(y) * size_t(screen.FFrameLineBytes) + 2 * x];
    } else {
      // Planar: the luma plane comes first.
      level = screen.FFrameBuf[size_t(y) * size_t(screen.FFrameLineBytes) + x];
    }
    if (level > 64 && level < 192) return -1;
    if (level > 128) number |= 1 << bit;
  }
  return number;
}

std::vector<int16_t> DecodeAllSound(TAVInFile& file, int32_t* calls, int32_t* largestPiece) {
  std::vector<int16_t> sound;
  uint8_t* out = nullptr;
  int32_t count = 0, n = 0, largest = 0;
  while (file.DecodeAudio(out, count, 0, nullptr) == 0) {
    const size_t at = sound.size();
    sound.resize(at + size_t(count) / 2);
    std::memcpy(sound.data() + at, out, size_t(count));
    largest = std::max(largest, count);
    if (++n > 100000) break;  // a runaway decoder must not hang the test
  }
  if (calls) *calls = n;
  if (largestPiece) *largestPiece = largest;
  return sound;
}

}  // namespace vexo::test

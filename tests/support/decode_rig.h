#pragma once
// What a file list gives a file for decoding, for tests of one file: a video
// screen in memory, a wave buffer in the file's own sound format (no
// converter), a picture ring; and a reader of the frame numbers that the
// numbered clips draw.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/input/av_in_file.h"
#include "engine/media/av_frame_buf.h"
#include "engine/media/wave_buffer.h"
#include "engine/video/av_screen.h"
#include "tests/support/memory_video_system.h"

namespace vexo::test {

class TDecodeRig {
 public:
  // A screen of width x height pixels in `mode` (the memory devices serve
  // every mode), display aspect width / height.
  explicit TDecodeRig(int32_t width = 320, int32_t height = 240, uint8_t mode = vmRaster);

  // Opens a fixture and hands it the rig's buffers; fails the test on an error.
  std::unique_ptr<TAVInFile> Open(const std::string& fixture);
  // Hands the rig's buffers to a file: sound at the file's own rate and
  // channels (stereo 44100 without sound), chunks of 100 ms, pieces of 200 ms.
  void Attach(TAVInFile& file);

  TMemoryVideoSystem System;
  std::unique_ptr<TAVScreen> Screen;
  TWaveBuffer Wave;
  TAVFrameBuf Ring;
};

// The frame number the numbered clips draw into their top half, read from the
// screen's converted frame buffer; -1 when a bar is neither black nor white.
int32_t ReadFrameNumber(const TAVScreen& screen);

// Decodes sound until the file has none left; all bytes handed out, in order.
std::vector<int16_t> DecodeAllSound(TAVInFile& file, int32_t* calls = nullptr,
                                    int32_t* largestPiece = nullptr);

// A file name made fit to name a parameterised test: letters and digits only.
std::string TestName(std::string text);

}  // namespace vexo::test

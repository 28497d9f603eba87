#pragma once
// Helpers for tests that open media files with the engine.
#include <memory>
#include <string>
#include <vector>

#include "engine/input/av_in_file.h"
#include "tests/support/captured_log.h"

namespace vexo::test {

// Opens a fixture; `error` receives the file's error text.
std::unique_ptr<TAVInFile> OpenFixture(const std::string& name, std::string& error,
                                       int32_t index = 0, TAVInFile* prev = nullptr);

// What ffprobe reports for one stream of a file.
struct TProbeFacts {
  long long Packets = -1;      // -count_packets
  long long HeaderFrames = 0;  // nb_frames, what the container header states (0: nothing)
  double FrameRate = 0;        // avg_frame_rate
};
TProbeFacts FfprobeStream(const std::string& path, int streamIndex);

}  // namespace vexo::test

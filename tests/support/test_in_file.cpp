#include "tests/support/test_in_file.h"

#include <cctype>
#include <cstdio>
#include <sstream>

#include "tests/support/test_media.h"

namespace vexo::test {

std::unique_ptr<TAVInFile> OpenFixture(const std::string& name, std::string& error, int32_t index,
                                       TAVInFile* prev) {
  return std::make_unique<TAVInFile>(MediaPath(name), error, index, prev);
}

TProbeFacts FfprobeStream(const std::string& path, int streamIndex) {
  const std::string command =
      "ffprobe -v error -count_packets -select_streams " + std::to_string(streamIndex) +
      " -show_entries stream=nb_read_packets,nb_frames,avg_frame_rate -of default=nw=1 '" + path +
      "'";
  TProbeFacts facts;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return facts;
  char line[256];
  while (std::fgets(line, sizeof line, pipe)) {
    std::string text(line);
    if (text.rfind("nb_read_packets=", 0) == 0) facts.Packets = std::stoll(text.substr(16));
    if (text.rfind("nb_frames=", 0) == 0 && std::isdigit(static_cast<unsigned char>(text[10])))
      facts.HeaderFrames = std::stoll(text.substr(10));
    if (text.rfind("avg_frame_rate=", 0) == 0) {
      long long num = 0, den = 0;
      if (std::sscanf(text.c_str() + 15, "%lld/%lld", &num, &den) == 2 && den > 0)
        facts.FrameRate = double(num) / double(den);
    }
  }
  pclose(pipe);
  return facts;
}

}  // namespace vexo::test

#pragma once
// The sound streams of a file the user can choose from, and the choice the
// user made for a file, kept by its path while the program runs.
#include <cstdint>
#include <string>

namespace vexo {

// One sound stream of a file, as the container describes it.
struct TAudioStreamInfo {
  // The demultiplexer's stream number, which names the stream in a choice.
  int32_t StreamIndex = -1;
  // ISO 639 code as stored ("eng", "de"), empty when none is given.
  std::string Language;
  std::string Title;
  // FFmpeg's short name of the codec ("aac", "mp3").
  std::string CodecName;
  int32_t Channels = 0;
  int32_t SampleRate = 0;
};

// Remembers `streamIndex` as the sound stream to play for the file at `path`;
// any thread.
void RememberAudioStream(const std::string& path, int32_t streamIndex);
// The stream remembered for `path`, or -1.
int32_t RememberedAudioStream(const std::string& path);
// Forgets every choice.
void ForgetAudioStreams();

}  // namespace vexo

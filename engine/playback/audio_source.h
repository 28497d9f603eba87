#pragma once
// What the audio thread needs of the file list: the output sound format and
// the decoded sound, chunk by chunk. Samples are always 16-bit interleaved PCM.
#include <cstdint>

namespace vexo {

class TAudioSource {
 public:
  virtual ~TAudioSource() = default;
  virtual int32_t OutRate() = 0;
  virtual int32_t OutChannels() = 0;
  // Mode 0 is playback. Answers 0 while sound continues, with `out` and `size`
  // describing the next chunk (valid until the next call), and non-zero at the
  // end of the timeline's sound. Called with AVThreadLock held.
  virtual int32_t DecodeAudio(const uint8_t*& out, int32_t& size, int32_t mode = 0) = 0;
};

}  // namespace vexo

#pragma once
// The sound outputs the audio thread streams into, and the system that makes
// them. The primary output streams into a server's buffer that the thread
// keeps filled ahead; the fall-back plays what it is given and blocks while
// its two buffers are full. The operating-system back ends implement both.
#include <cstdint>
#include <memory>
#include <string>

namespace vexo {

class TSoundDevice {
 public:
  virtual ~TSoundDevice() = default;
  // Opens 16-bit interleaved PCM with room for `bufferBytes`; 0, or the
  // failure's sound result code (the device logs the failing step).
  virtual uint32_t Open(int32_t rate, int32_t channels, uint32_t bufferBytes) = 0;
  // Streaming output: plays from Play to Stop. The fall-back plays as written.
  virtual bool Playing() = 0;
  virtual void Play() = 0;
  virtual void Stop() = 0;
  // Bytes of sound heard since Open.
  virtual int64_t PlayedBytes() = 0;
  // Hands over `size` bytes; the result is the number taken. Raises an error
  // when the device fails for good.
  virtual uint32_t Write(const uint8_t* data, uint32_t size) = 0;
  // Releases whatever Open made; harmless on a device never opened.
  virtual void Close() = 0;
};

class TSoundSystem {
 public:
  virtual ~TSoundSystem() = default;
  // The primary, streaming output; nullptr with a result code in `code` when
  // no sound server can be reached.
  virtual std::unique_ptr<TSoundDevice> CreateStream(uint32_t& code) = 0;
  // The fall-back output on device `deviceId` (0: the default device).
  virtual std::unique_ptr<TSoundDevice> CreateFallback(uint32_t deviceId) = 0;
  // The user's choice of output: "default" for the server's default output,
  // or a device name for the fall-back. Outputs made later use it.
  virtual void SelectOutput(const std::string& name) { (void)name; }
};

// The sound system the audio threads use unless given one; the program sets
// the operating system's at start. None: no sound, and video plays alone.
void SetSoundSystem(TSoundSystem* system);
TSoundSystem* SoundSystem();

}  // namespace vexo

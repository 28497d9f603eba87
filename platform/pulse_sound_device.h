#pragma once
// The primary sound output: a PulseAudio playback stream (also served by
// PipeWire). Connecting to the server stands for creating the sound object;
// the played position comes from the stream's timing.
#include <pulse/pulseaudio.h>

#include <cstdint>
#include <memory>
#include <string>

#include "engine/playback/sound_device.h"

namespace vexo {

class TPulseSoundDevice : public TSoundDevice {
 public:
  // Connects to `server` (empty: the client's usual choice) without starting
  // one; nullptr and a result code when no server answers within a few seconds.
  static std::unique_ptr<TPulseSoundDevice> Connect(const std::string& server, uint32_t& code);
  ~TPulseSoundDevice() override;

  uint32_t Open(int32_t rate, int32_t channels, uint32_t bufferBytes) override;
  bool Playing() override;
  void Play() override;
  void Stop() override;
  int64_t PlayedBytes() override;
  uint32_t Write(const uint8_t* data, uint32_t size) override;
  void Close() override;
  // Sets the stream's volume on the server: heard at once, unlike samples
  // scaled here, which wait behind what the server holds already.
  void ApplyVolume(double level) override;

 private:
  TPulseSoundDevice() = default;
  uint32_t OpenStream(int32_t rate, int32_t channels, uint32_t bufferBytes);
  void Cork(bool cork);
  // The server's volume for the heard level, on every channel; the server's
  // scale is already the listener's, so the level maps on it evenly.
  pa_cvolume StreamVolume(double level) const;

  pa_threaded_mainloop* FLoop = nullptr;
  pa_context* FContext = nullptr;
  pa_stream* FStream = nullptr;
  uint8_t FChannels = 0;
  int64_t FBytesPerSecond = 0;
  int64_t FFrameBytes = 0;
  int64_t FPlayed = 0;
  bool FPlaying = false;
};

}  // namespace vexo

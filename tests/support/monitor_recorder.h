#pragma once
// Records the left channel of a PulseAudio null sink's monitor (44100 Hz,
// 16-bit stereo) on a connection and main loop of its own, so that recording
// and playing never wait on each other; every sample is timed by the wall
// clock as it arrives.
#include <pulse/pulseaudio.h>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace vexo::test {

class TMonitorRecorder {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr int kRate = 44100;
  static constexpr int kChannels = 2;

  // The monitor passes on what the sink renders only once it can no longer be
  // rewound, and a sink that nobody asks for low latency renders up to two
  // seconds ahead. `fragmentMs` > 0 asks for fragments that short, which keeps
  // that window as short, so that a sample arrives about when the sink plays
  // it; 0 leaves the sink as a player alone would find it. A fresh sink has
  // already rendered its window of silence ahead for nobody, and until that
  // has run out nothing reaches the recorder; hence WaitReceiving before playing.
  TMonitorRecorder(const std::string& server, const std::string& sink, int fragmentMs);
  ~TMonitorRecorder();
  TMonitorRecorder(const TMonitorRecorder&) = delete;
  TMonitorRecorder& operator=(const TMonitorRecorder&) = delete;

  bool WaitReceiving(std::chrono::milliseconds limit);
  // Waits until the recording reaches wall time `at`.
  bool WaitRecorded(Clock::time_point at, std::chrono::milliseconds limit);

  struct Take {
    std::vector<int16_t> left;
    Clock::time_point firstAt;  // when the sink played the recording's first sample
    Clock::time_point At(int64_t frame) const { return firstAt + FrameTime(frame); }
  };
  Take Recorded();

  static Clock::duration FrameTime(int64_t frames);

  bool connected = false;
  int holes = 0;

 private:
  template <typename Ready>
  bool WaitLocked(Ready ready);
  template <typename Done>
  bool WaitFor(std::chrono::milliseconds limit, Done done);
  static void Read(pa_stream* stream, size_t, void* self);
  void Append(pa_stream* from);

  pa_threaded_mainloop* loop = nullptr;
  pa_context* context = nullptr;
  pa_stream* stream = nullptr;
  std::mutex mutex;
  std::vector<int16_t> left;
  Clock::time_point firstAt;
};

}  // namespace vexo::test

#include "tests/support/monitor_recorder.h"

#include <thread>

namespace vexo::test {

TMonitorRecorder::TMonitorRecorder(const std::string& server, const std::string& sink,
                                   int fragmentMs) {
  loop = pa_threaded_mainloop_new();
  context = pa_context_new(pa_threaded_mainloop_get_api(loop), "vexo monitor recorder");
  if (pa_context_connect(context, server.c_str(), PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
      pa_threaded_mainloop_start(loop) < 0)
    return;
  pa_threaded_mainloop_lock(loop);
  if (WaitLocked([this] { return pa_context_get_state(context) == PA_CONTEXT_READY; })) {
    pa_sample_spec spec{PA_SAMPLE_S16LE, kRate, kChannels};
    stream = pa_stream_new(context, "monitor", &spec, nullptr);
    pa_stream_set_read_callback(stream, &TMonitorRecorder::Read, this);
    pa_buffer_attr attr{uint32_t(-1), uint32_t(-1), uint32_t(-1), uint32_t(-1), uint32_t(-1)};
    if (fragmentMs > 0) attr.fragsize = uint32_t(pa_usec_to_bytes(fragmentMs * 1000, &spec));
    connected = pa_stream_connect_record(
                    stream, (sink + ".monitor").c_str(), &attr,
                    fragmentMs > 0 ? PA_STREAM_ADJUST_LATENCY : PA_STREAM_NOFLAGS) >= 0 &&
                WaitLocked([this] { return pa_stream_get_state(stream) == PA_STREAM_READY; });
  }
  pa_threaded_mainloop_unlock(loop);
}

TMonitorRecorder::~TMonitorRecorder() {
  pa_threaded_mainloop_stop(loop);
  if (stream) pa_stream_unref(stream);
  pa_context_disconnect(context);
  pa_context_unref(context);
  pa_threaded_mainloop_free(loop);
}

bool TMonitorRecorder::WaitReceiving(std::chrono::milliseconds limit) {
  return WaitFor(limit, [this] { return !left.empty(); });
}

bool TMonitorRecorder::WaitRecorded(Clock::time_point at, std::chrono::milliseconds limit) {
  return WaitFor(limit,
                 [&] { return !left.empty() && firstAt + FrameTime(int64_t(left.size())) >= at; });
}

TMonitorRecorder::Take TMonitorRecorder::Recorded() {
  std::lock_guard<std::mutex> lock(mutex);
  return {left, firstAt};
}

TMonitorRecorder::Clock::duration TMonitorRecorder::FrameTime(int64_t frames) {
  return std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(double(frames) / kRate));
}

template <typename Ready>
bool TMonitorRecorder::WaitLocked(Ready ready) {
  auto limit = Clock::now() + std::chrono::seconds(5);
  while (!ready()) {
    if (Clock::now() > limit) return false;
    pa_threaded_mainloop_unlock(loop);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    pa_threaded_mainloop_lock(loop);
  }
  return true;
}

template <typename Done>
bool TMonitorRecorder::WaitFor(std::chrono::milliseconds limit, Done done) {
  auto until = Clock::now() + limit;
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (done()) return true;
    }
    if (Clock::now() > until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

void TMonitorRecorder::Read(pa_stream* stream, size_t, void* self) {
  static_cast<TMonitorRecorder*>(self)->Append(stream);
}

void TMonitorRecorder::Append(pa_stream* from) {
  const void* data = nullptr;
  size_t bytes = 0;
  while (pa_stream_peek(from, &data, &bytes) == 0 && bytes > 0) {
    auto now = Clock::now();
    std::lock_guard<std::mutex> lock(mutex);
    size_t frames = bytes / (sizeof(int16_t) * kChannels);
    // A hole in the recording is silence in the sink's output too.
    if (!data) ++holes;
    auto samples = static_cast<const int16_t*>(data);
    for (size_t i = 0; i < frames; ++i) left.push_back(data ? samples[i * kChannels] : 0);
    // Fragments arrive late by varying amounts, never early: the earliest
    // estimate of the first sample's time is the best.
    auto estimate = now - FrameTime(int64_t(left.size()));
    if (left.size() == frames || estimate < firstAt) firstAt = estimate;
    pa_stream_drop(from);
  }
}

}  // namespace vexo::test

// The audio thread on the real back ends: a private PulseAudio server with a
// null sink (consuming sound in real time, its monitor recorded), a server
// that is not there, ALSA's null device and no device at all.
#include <gtest/gtest.h>
#include <pulse/pulseaudio.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/media/av_log.h"
#include "engine/media/av_types.h"
#include "engine/playback/audio_play_thread.h"
#include "engine/playback/av_sync_queue.h"
#include "engine/playback/video_play_thread.h"
#include "platform/platform_sound_system.h"
#include "tests/support/monitor_recorder.h"
#include "tests/support/test_desktop.h"

// libpulse creates some of its mutexes lazily on whichever thread needs one
// first and publishes them through atomics the race detector cannot see, as
// the library is not instrumented: locking such a mutex from the test thread
// after the recorder's loop made it shows up as a race.
extern "C" __attribute__((used)) const char* __tsan_default_suppressions() {
  return "race:pa_mutex_lock\n";
}

namespace vexo {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr int kChunkFrames = kRate / 10;  // 100 ms, as the file list hands them out

constexpr double kToneAmplitude = 8000;

int16_t ToneSample(int64_t frame) {
  return int16_t(std::lround(kToneAmplitude * std::sin(2 * M_PI * 440.0 * double(frame) / kRate)));
}

// How a source spoils one chunk, to show that the recording catches it.
enum class Fault { None, SilentChunk, PhaseJump };
constexpr int kFaultyChunk = 10;  // the one starting at 1 s
// About half a period of the tone: the chunk starts in the wrong place.
constexpr int kJumpFrames = 50;

// A 440 Hz stereo tone, the same on both channels, in 100 ms chunks.
class ToneSource : public TAudioSource {
 public:
  explicit ToneSource(int chunks, Fault fault = Fault::None)
      : chunks(chunks), fault(fault), chunk(size_t(kChunkFrames) * kChannels) {}
  int32_t OutRate() override { return kRate; }
  int32_t OutChannels() override { return kChannels; }
  int32_t DecodeAudio(const uint8_t*& out, int32_t& size, int32_t) override {
    if (fetched == chunks) return 1;
    const bool faulty = fetched == kFaultyChunk;
    const int64_t from =
        int64_t(fetched) * kChunkFrames + (faulty && fault == Fault::PhaseJump ? kJumpFrames : 0);
    for (int i = 0; i < kChunkFrames; ++i)
      chunk[size_t(i) * 2] = chunk[size_t(i) * 2 + 1] =
          faulty && fault == Fault::SilentChunk ? 0 : ToneSample(from + i);
    ++fetched;
    out = reinterpret_cast<const uint8_t*>(chunk.data());
    size = int32_t(chunk.size() * sizeof(int16_t));
    return 0;
  }
  int64_t Frames() const { return int64_t(chunks) * kChunkFrames; }
  int chunks;
  Fault fault;
  std::atomic<int> fetched{0};
  std::vector<int16_t> chunk;
};

using MonitorRecorder = test::TMonitorRecorder;

// What a recording holds from its first sound on, walked in 10 ms windows.
struct ToneCheck {
  int64_t first = -1;  // the first sample that is not silence
  // The clip's time at `first`. The sink rewinds what it rendered ahead when
  // the stream starts, but the monitor may already have handed over those few
  // milliseconds of silence, so the recording can miss the clip's very start.
  double clipMs = 0;
  // From there, how long every window carried the tone's energy and followed
  // the clip sample by sample: to the clip's end, or to the first gap or jump.
  double toneMs = 0;
  double hz = 0;  // from the rising zero crossings within that time
};

ToneCheck CheckTone(const std::vector<int16_t>& left) {
  constexpr int64_t kWindow = kRate / 100;
  ToneCheck check;
  auto sound = std::find_if(left.begin(), left.end(), [](int16_t s) { return s != 0; });
  if (sound == left.end() || left.end() - sound < kWindow) return check;
  check.first = sound - left.begin();
  auto mismatch = [&](int64_t clipFrame) {
    double error = 0;
    for (int64_t i = 0; i < kWindow; ++i) {
      double d = left[size_t(check.first + i)] - ToneSample(clipFrame + i);
      error += d * d;
    }
    return error;
  };
  int64_t clipFirst = 0;
  double least = mismatch(0);
  for (int64_t k = 1; k < kRate / 20; ++k)
    if (double error = mismatch(k); error < least) clipFirst = k, least = error;
  check.clipMs = double(clipFirst) * 1000 / kRate;

  const double toneRms = kToneAmplitude / std::sqrt(2.0);
  int64_t end = check.first;
  for (; end + kWindow <= int64_t(left.size()); end += kWindow) {
    double energy = 0, error = 0;
    for (int64_t i = end; i < end + kWindow; ++i) {
      double expected = ToneSample(i - check.first + clipFirst);
      energy += double(left[size_t(i)]) * left[size_t(i)];
      error += (left[size_t(i)] - expected) * (left[size_t(i)] - expected);
    }
    double rms = std::sqrt(energy / kWindow), errorRms = std::sqrt(error / kWindow);
    if (std::abs(rms - toneRms) > 0.1 * toneRms || errorRms > 0.1 * toneRms) break;
  }
  check.toneMs = double(end - check.first) * 1000 / kRate;

  int64_t crossings = 0, firstCrossing = -1, lastCrossing = -1;
  for (int64_t i = check.first + 1; i < end; ++i)
    if (left[size_t(i) - 1] < 0 && left[size_t(i)] >= 0) {
      if (firstCrossing < 0) firstCrossing = i;
      lastCrossing = i;
      ++crossings;
    }
  if (crossings > 1)
    check.hz = double(crossings - 1) * kRate / double(lastCrossing - firstCrossing);
  return check;
}

class RecordingView : public TLogView {
 public:
  void AppendLine(const std::string& line) override { lines.push_back(line); }
  bool Has(const std::string& line) const {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  std::vector<std::string> lines;
};

constexpr const char* kSwitchLine =
    "Error: Failed to create IDirectSound object, switching to MCI audio";

class SoundOutputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AVParams = DefaultAVParams;
    CreateLog(&view, 0);
    view.SetVisible(true);
  }
  void TearDown() override {
    audio.reset();
    FreeLog();
    AVParams = DefaultAVParams;
  }
  void PlaySound(TAudioSource& source, TSoundSystem& system) {
    audio = std::make_unique<TAudioPlayThread>(
        &source, [this] { errors.push_back(IsUIThread()); }, 0, &offset, &startEvent, &system);
  }
  // Serves synchronised calls until the thread ends, sampling the published
  // offset from the moment sound started; `endedAt` is when the end was seen.
  void ServeUntilEnd(std::function<bool()> running, int seconds = 30) {
    auto limit = Clock::now() + std::chrono::seconds(seconds);
    while (running() && Clock::now() < limit) {
      CheckSynchronize(5);
      if (started) offsets.push_back({Clock::now(), offset.load()});
    }
    endedAt = Clock::now();
    ASSERT_FALSE(running()) << "the thread did not end";
    DrainLog();
  }

  // Plays `source` on a private server's null sink while recording the sink's
  // monitor, serving the thread until it ends.
  void PlayRecorded(ToneSource& source, MonitorRecorder::Take& recorded) {
    test::TTestDesktop server({.Screen = test::TScreen::None, .Sound = true, .Home = false});
    ASSERT_TRUE(server.Ready()) << server.Failure();
    MonitorRecorder recorder(server.PulseAddress(), test::TTestDesktop::kNullSink, 10);
    ASSERT_TRUE(recorder.connected) << "the monitor could not be recorded";
    ASSERT_TRUE(recorder.WaitReceiving(std::chrono::seconds(10))) << "the monitor sent nothing";
    TPlatformSoundSystem system(server.PulseAddress(), "null");
    PlaySound(source, system);
    // Stands in for the video thread's start wait.
    std::thread starter([&] {
      if (startEvent.WaitFor(5000)) startedAt = Clock::now(), started = true;
    });
    starter.join();
    ASSERT_TRUE(started) << "the start event was not released";
    ServeUntilEnd([&] { return audio->Running(); });
    audio.reset();
    ASSERT_TRUE(
        recorder.WaitRecorded(endedAt + std::chrono::milliseconds(100), std::chrono::seconds(10)))
        << "the recording fell behind";
    EXPECT_EQ(recorder.holes, 0);
    recorded = recorder.Recorded();
  }
  static double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
  }

  struct OffsetSample {
    Clock::time_point at;
    int32_t ms;
  };
  RecordingView view;
  std::atomic<int32_t> offset{0};
  TAVEvent startEvent;
  std::atomic<bool> started{false};
  Clock::time_point startedAt, endedAt;
  std::vector<bool> errors;
  std::vector<OffsetSample> offsets;
  std::unique_ptr<TAudioPlayThread> audio;
};

TEST_F(SoundOutputTest, PulseAudioPlaysTheClipAndTheOffsetFollowsTheSound) {
  ToneSource source(20);  // 2 s
  MonitorRecorder::Take recorded;
  ASSERT_NO_FATAL_FAILURE(PlayRecorded(source, recorded));

  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(AVParams.UseSoundServer, 1);
  EXPECT_FALSE(view.Has(kSwitchLine));
  EXPECT_EQ(source.fetched, 20);

  // Sound heard at wall time t is the clip at (t - start) - offset: once the
  // sound runs, the offset stays put as the null sink plays in real time.
  std::vector<int32_t> steady;
  for (const OffsetSample& s : offsets) {
    auto since = s.at - startedAt;
    if (since > std::chrono::milliseconds(500) && since < std::chrono::milliseconds(1800))
      steady.push_back(s.ms);
  }
  ASSERT_FALSE(steady.empty());
  auto [low, high] = std::minmax_element(steady.begin(), steady.end());
  EXPECT_LE(*high - *low, 40) << "offset drifted from " << *low << " to " << *high << " ms";

  // The thread ended once the sound heard reached the clip's end less the
  // 40 ms the play-out leaves off; where the sound stopped is measured in the
  // recording below. Closing the stream can take a while on a loaded machine.
  double median = steady[steady.size() / 2];
  double heardAtEnd = Ms(endedAt - startedAt) - median;
  EXPECT_GE(heardAtEnd, 2000 - 40 - 100);
  EXPECT_LE(heardAtEnd, 2000 - 40 + 400);

  // The sink played the whole clip without a gap or a jump, up to where the
  // play-out stopped it 40 ms before the end.
  ToneCheck tone = CheckTone(recorded.left);
  ASSERT_GE(tone.first, 0) << "the sink played nothing but silence";
  EXPECT_LE(tone.clipMs, 15) << "the clip's start is missing";
  EXPECT_GE(tone.clipMs + tone.toneMs, 2000 - 40 - 20) << "the tone broke off here";
  EXPECT_LE(tone.clipMs + tone.toneMs, 2000);
  EXPECT_NEAR(tone.hz, 440, 2);

  // And it played the clip's start when the offset says. The recorder times
  // samples by the wall clock as they arrive, not by the stream's clock; the
  // sink hands them to the monitor as it renders them, up to its 10 ms block
  // ahead of playing them.
  double startHeard = Ms(recorded.At(tone.first) - startedAt) - tone.clipMs;
  EXPECT_NEAR(startHeard, median, 30);
  std::printf(
      "offset %d..%d ms, clip start heard at %.1f ms, sound heard at the end %.0f ms, "
      "tone %.1f..%.1f ms at %.2f Hz\n",
      *low, *high, startHeard, heardAtEnd, tone.clipMs, tone.clipMs + tone.toneMs, tone.hz);
}

// A recording that would not show a gap or a jump in the sound would prove
// nothing: one chunk in the middle is spoilt.
class SoundFaultTest : public SoundOutputTest, public ::testing::WithParamInterface<Fault> {};

TEST_P(SoundFaultTest, TheRecordingShowsWhereTheSoundBreaks) {
  ToneSource source(20, GetParam());
  MonitorRecorder::Take recorded;
  ASSERT_NO_FATAL_FAILURE(PlayRecorded(source, recorded));
  ToneCheck tone = CheckTone(recorded.left);
  ASSERT_GE(tone.first, 0);
  EXPECT_NEAR(tone.clipMs + tone.toneMs, kFaultyChunk * 100, 10);
}

INSTANTIATE_TEST_SUITE_P(OneChunk, SoundFaultTest,
                         ::testing::Values(Fault::SilentChunk, Fault::PhaseJump),
                         [](const ::testing::TestParamInfo<Fault>& info) {
                           return info.param == Fault::SilentChunk ? "Silent" : "PhaseJump";
                         });

TEST_F(SoundOutputTest, NoServerSwitchesToAlsaForTheRestOfTheProcess) {
  TPlatformSoundSystem system("unix:/nonexistent/vexo-no-server", "null");
  ToneSource first(5);
  PlaySound(first, system);
  ServeUntilEnd([&] { return audio->Running(); });
  EXPECT_TRUE(view.Has(kSwitchLine));
  EXPECT_EQ(AVParams.UseSoundServer, 0);
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(first.fetched, 5) << "the null device did not play to the end";
  EXPECT_TRUE(startEvent.WaitFor(0));
  audio.reset();

  // Even with a server now, the next play goes straight to ALSA.
  test::TTestDesktop server({.Screen = test::TScreen::None, .Sound = true, .Home = false});
  ASSERT_TRUE(server.Ready()) << server.Failure();
  TPlatformSoundSystem withServer(server.PulseAddress(), "null");
  view.lines.clear();
  ToneSource second(3);
  PlaySound(second, withServer);
  ServeUntilEnd([&] { return audio->Running(); });
  EXPECT_FALSE(view.Has(kSwitchLine));
  EXPECT_EQ(second.fetched, 3);
  EXPECT_TRUE(errors.empty());
}

// Frames at 25 per second, laid out on the wall clock.
class WallTimeline : public TVideoTimeline {
 public:
  int64_t FramePos() override { return framePos; }
  int64_t TotalFrames() override { return 10; }
  int64_t FrameToMs(int64_t frame) override { return frame * 40; }
  int32_t CurFile() override { return 0; }
  int32_t Count() override { return 1; }
  int64_t StartFrames(int32_t) override { return 0; }
  bool FirstIsImage() override { return false; }
  float FrameRate() override { return 25; }
  int64_t FileFramePos() override { return framePos; }
  int64_t FileFrameCount() override { return 10; }
  std::string CodecName() override { return "mpeg4"; }
  void ResetFrameRing() override {}
  int32_t DecodeVideo(uint32_t) override { return framePos < 10 ? (++framePos, 0) : -1; }
  std::string ScreenErrorText() override { return {}; }
  int64_t framePos = 1;
};

TEST_F(SoundOutputTest, NoDeviceAtAllReportsAndPicturesPlayOnTheWallClock) {
  TPlatformSoundSystem system("unix:/nonexistent/vexo-no-server", "vexo_no_such_device");
  WallTimeline timeline;
  std::vector<int32_t> positions;
  bool finished = false;
  auto begin = Clock::now();
  TVideoPlayThread video(
      &timeline, [&] { finished = true; }, [&](int32_t p) { positions.push_back(p); }, [](bool) {},
      &startEvent);
  ToneSource source(10);
  PlaySound(source, system);
  ServeUntilEnd([&] { return !finished; });
  auto took = Clock::now() - begin;

  ASSERT_EQ(errors.size(), 1u);
  EXPECT_TRUE(errors[0]) << "FOnError ran off the user-interface thread";
  EXPECT_EQ(source.fetched, 0);
  EXPECT_EQ(positions, (std::vector<int32_t>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(offset.load(), 0);
  // The start wait gave up after a second; then the nine frames took their 360 ms.
  EXPECT_GE(took, std::chrono::milliseconds(1000 + 360));
  EXPECT_LT(took, std::chrono::seconds(10));
}

}  // namespace
}  // namespace vexo

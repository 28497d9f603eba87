// The audio thread on the real back ends: a private PulseAudio server with a
// null sink (consuming sound in real time, its monitor recorded), a server
// that is not there, ALSA's null device and no device at all.
#include <gtest/gtest.h>
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

#include "engine/audio_play_thread.h"
#include "engine/av_log.h"
#include "engine/av_sync_queue.h"
#include "engine/av_types.h"
#include "engine/video_play_thread.h"
#include "platform/platform_sound_system.h"
#include "tests/support/pulse_server.h"

namespace vexo {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRate = 44100;
constexpr int kChannels = 2;
constexpr int kChunkFrames = kRate / 10;  // 100 ms, as the file list hands them out

int16_t ToneSample(int64_t frame) {
  return int16_t(std::lround(8000 * std::sin(2 * M_PI * 440.0 * double(frame) / kRate)));
}

// A 440 Hz stereo tone, the same on both channels, in 100 ms chunks.
class ToneSource : public TAudioSource {
 public:
  explicit ToneSource(int chunks) : chunks(chunks), chunk(size_t(kChunkFrames) * kChannels) {}
  int32_t OutRate() override { return kRate; }
  int32_t OutChannels() override { return kChannels; }
  int32_t DecodeAudio(const uint8_t*& out, int32_t& size, int32_t) override {
    if (fetched == chunks) return 1;
    for (int i = 0; i < kChunkFrames; ++i)
      chunk[size_t(i) * 2] = chunk[size_t(i) * 2 + 1] =
          ToneSample(int64_t(fetched) * kChunkFrames + i);
    ++fetched;
    out = reinterpret_cast<const uint8_t*>(chunk.data());
    size = int32_t(chunk.size() * sizeof(int16_t));
    return 0;
  }
  int64_t Frames() const { return int64_t(chunks) * kChunkFrames; }
  int chunks;
  std::atomic<int> fetched{0};
  std::vector<int16_t> chunk;
};

using PulseServer = test::TPulseServer;

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
  // offset from the moment sound started.
  void ServeUntilEnd(std::function<bool()> running, int seconds = 30) {
    auto limit = Clock::now() + std::chrono::seconds(seconds);
    while (running() && Clock::now() < limit) {
      CheckSynchronize(5);
      if (started) offsets.push_back({Clock::now(), offset.load()});
    }
    ASSERT_FALSE(running()) << "the thread did not end";
    DrainLog();
  }

  struct OffsetSample {
    Clock::time_point at;
    int32_t ms;
  };
  RecordingView view;
  std::atomic<int32_t> offset{0};
  TAVEvent startEvent;
  std::atomic<bool> started{false};
  std::vector<bool> errors;
  std::vector<OffsetSample> offsets;
  std::unique_ptr<TAudioPlayThread> audio;
};

TEST_F(SoundOutputTest, PulseAudioPlaysTheClipAndTheOffsetFollowsTheSound) {
  PulseServer server;
  ASSERT_TRUE(server.Started()) << "no PulseAudio server could be started:\n" << server.Log();
  TPlatformSoundSystem system(server.Address(), "null");

  ToneSource source(20);  // 2 s
  Clock::time_point startedAt;
  std::thread starter;
  PlaySound(source, system);
  // Stands in for the video thread's start wait.
  starter = std::thread([&] {
    if (startEvent.WaitFor(5000)) startedAt = Clock::now(), started = true;
  });
  starter.join();
  ASSERT_TRUE(started) << "the start event was not released";
  ServeUntilEnd([&] { return audio->Running(); });
  auto endedAt = Clock::now();

  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(AVParams.UseDirectSound, 1);
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

  // The thread ended when the sound heard reached the clip's end less the
  // 40 ms the play-out leaves off.
  double median = steady[steady.size() / 2];
  double heardAtEnd =
      std::chrono::duration<double, std::milli>(endedAt - startedAt).count() - median;
  std::printf("offset %d..%d ms, sound heard at the end %.0f ms\n", *low, *high, heardAtEnd);
  EXPECT_NEAR(heardAtEnd, 2000 - 40, 100);
}

TEST_F(SoundOutputTest, NoServerSwitchesToAlsaForTheRestOfTheProcess) {
  TPlatformSoundSystem system("unix:/nonexistent/vexo-no-server", "null");
  ToneSource first(5);
  PlaySound(first, system);
  ServeUntilEnd([&] { return audio->Running(); });
  EXPECT_TRUE(view.Has(kSwitchLine));
  EXPECT_EQ(AVParams.UseDirectSound, 0);
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(first.fetched, 5) << "the null device did not play to the end";
  EXPECT_TRUE(startEvent.WaitFor(0));
  audio.reset();

  // Even with a server now, the next play goes straight to ALSA.
  PulseServer server;
  ASSERT_TRUE(server.Started());
  TPlatformSoundSystem withServer(server.Address(), "null");
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

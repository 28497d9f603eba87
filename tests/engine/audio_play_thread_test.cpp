#include "engine/playback/audio_play_thread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "engine/media/av_log.h"
#include "engine/media/av_types.h"
#include "engine/playback/av_sync_queue.h"
#include "engine/playback/av_thread_lock.h"
#include "engine/playback/sound_error_text.h"

namespace vexo {
namespace {

using Clock = std::chrono::steady_clock;

int64_t Ms(Clock::time_point t) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
}

// Hands out `chunks` chunks of silence of `chunkBytes` each.
class FakeSource : public TAudioSource {
 public:
  FakeSource(int32_t rate, int32_t channels, int chunks, int32_t chunkBytes)
      : rate(rate), channels(channels), chunks(chunks), chunk(size_t(chunkBytes)) {}
  int32_t OutRate() override { return rate; }
  int32_t OutChannels() override { return channels; }
  int32_t DecodeAudio(const uint8_t*& out, int32_t& size, int32_t mode) override {
    EXPECT_EQ(mode, 0);
    EXPECT_FALSE(AVThreadLock.try_lock()) << "fetching without AVThreadLock";
    if (failAt == fetched) throw std::runtime_error("Audio decoding failed");
    if (fetched == chunks) return 1;
    ++fetched;
    out = chunk.data();
    size = int32_t(chunk.size());
    return 0;
  }
  int32_t rate, channels;
  int chunks;
  std::vector<uint8_t> chunk;
  std::atomic<int> fetched{0};
  int failAt = -1;
};

// Plays in real time from Play on, like a sound server's stream.
class FakeDevice : public TSoundDevice {
 public:
  explicit FakeDevice(uint32_t openResult = 0) : openResult(openResult) {}
  uint32_t Open(int32_t rate, int32_t channels, uint32_t bufferBytes) override {
    std::lock_guard<std::mutex> lock(mutex);
    ++opens;
    bps = int64_t(rate) * channels * 2;
    buffer = bufferBytes;
    return openResult;
  }
  bool Playing() override {
    std::lock_guard<std::mutex> lock(mutex);
    return playStart >= 0;
  }
  void Play() override {
    std::lock_guard<std::mutex> lock(mutex);
    playStart = Ms(Clock::now());
    if (writtenAtPlay < 0) writtenAtPlay = written;
  }
  void Stop() override {
    std::lock_guard<std::mutex> lock(mutex);
    ++stops;
    playStart = -1;
  }
  int64_t PlayedBytes() override {
    std::lock_guard<std::mutex> lock(mutex);
    return Played();
  }
  uint32_t Write(const uint8_t*, uint32_t size) override {
    std::lock_guard<std::mutex> lock(mutex);
    maxQueued = std::max(maxQueued, written - Played());
    written += size;
    return size;
  }
  void Close() override {
    std::lock_guard<std::mutex> lock(mutex);
    ++closes;
  }
  int64_t Played() const {
    if (playStart < 0) return 0;
    return std::min(written, (Ms(Clock::now()) - playStart) * bps / 1000);
  }

  std::mutex mutex;
  uint32_t openResult;
  int64_t bps = 0, written = 0, maxQueued = 0, playStart = -1, writtenAtPlay = -1;
  uint32_t buffer = 0;
  int opens = 0, closes = 0, stops = 0;
};

class FakeSoundSystem : public TSoundSystem {
 public:
  std::unique_ptr<TSoundDevice> CreateStream(uint32_t& code) override {
    ++streamsAsked;
    if (!serverUp) {
      code = sndNoOutput;
      return nullptr;
    }
    return Hand(stream);
  }
  std::unique_ptr<TSoundDevice> CreateFallback(uint32_t deviceId) override {
    lastDeviceId = deviceId;
    ++waveOutsAsked;
    return Hand(waveOut);
  }
  // The test keeps looking at the device the thread owns.
  static std::unique_ptr<TSoundDevice> Hand(FakeDevice* device) {
    struct Borrowed : TSoundDevice {
      FakeDevice* d;
      explicit Borrowed(FakeDevice* d) : d(d) {}
      uint32_t Open(int32_t r, int32_t c, uint32_t b) override { return d->Open(r, c, b); }
      bool Playing() override { return d->Playing(); }
      void Play() override { d->Play(); }
      void Stop() override { d->Stop(); }
      int64_t PlayedBytes() override { return d->PlayedBytes(); }
      uint32_t Write(const uint8_t* p, uint32_t n) override { return d->Write(p, n); }
      void Close() override { d->Close(); }
    };
    return device ? std::make_unique<Borrowed>(device) : nullptr;
  }
  bool serverUp = true;
  FakeDevice* stream = nullptr;
  FakeDevice* waveOut = nullptr;
  int streamsAsked = 0, waveOutsAsked = 0;
  uint32_t lastDeviceId = 99;
};

class RecordingView : public TLogView {
 public:
  void AppendLine(const std::string& line) override { lines.push_back(line); }
  std::vector<std::string> lines;
};

class AudioThreadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AVParams.UseSoundServer = 1;
    CreateLog(&view, 0);
    view.SetVisible(true);
  }
  void TearDown() override {
    thread.reset();
    FreeLog();
    AVParams = DefaultAVParams;
  }
  void Play(FakeSource& source, TSoundSystem* system) {
    thread = std::make_unique<TAudioPlayThread>(
        &source, [this] { errors.push_back(IsUIThread()); }, 3, &offset, &startEvent, system);
  }
  // Serves the thread as the user-interface thread would, until it ends.
  void RunToEnd(int seconds = 30) {
    auto limit = Clock::now() + std::chrono::seconds(seconds);
    while (thread->Running() && Clock::now() < limit) CheckSynchronize(5);
    ASSERT_FALSE(thread->Running());
    thread->WaitFor();
    DrainLog();
  }
  bool Logged(const std::string& line) const {
    return std::find(view.lines.begin(), view.lines.end(), line) != view.lines.end();
  }

  RecordingView view;
  std::atomic<int32_t> offset{0};
  TAVEvent startEvent;
  std::vector<bool> errors;
  std::unique_ptr<TAudioPlayThread> thread;
};

TEST(AudioWriter, SleepsUntilHalfTheBufferIsLeft) {
  EXPECT_EQ(TAudioPlayThread::WriterSleepMs(300000, 262144, 176400), 215);
  EXPECT_EQ(TAudioPlayThread::WriterSleepMs(262144, 262144, 176400), 0);
  EXPECT_EQ(TAudioPlayThread::WriterSleepMs(262145, 262144, 176400), 1) << "rounded up";
  EXPECT_EQ(TAudioPlayThread::PlayOutWaitMs(0, 176400), -40);
  EXPECT_EQ(TAudioPlayThread::PlayOutWaitMs(176400, 176400), 960);
}

TEST_F(AudioThreadTest, StreamsEveryChunkAndKeepsHalfTheBufferQueued) {
  // 192 kHz, 8 channels: half the buffer (262144 bytes) is about 85 ms of sound.
  FakeSource source(192000, 8, 25, 61440);  // 20 ms chunks, 0.5 s
  FakeDevice stream;
  FakeSoundSystem system;
  system.stream = &stream;
  auto begin = Clock::now();
  Play(source, &system);
  ASSERT_TRUE(startEvent.WaitFor(5000)) << "the start event was not released";
  RunToEnd();
  auto took = Clock::now() - begin;

  EXPECT_EQ(stream.opens, 1);
  EXPECT_EQ(stream.buffer, 524288u);
  EXPECT_EQ(stream.written, 25 * 61440);
  EXPECT_LE(stream.maxQueued, 262144 + 61440) << "the writer ran ahead of half the buffer";
  EXPECT_EQ(stream.stops, 1);
  EXPECT_EQ(stream.closes, 1);
  EXPECT_TRUE(errors.empty());
  // Played out to the last 40 ms before the end.
  EXPECT_GE(took, std::chrono::milliseconds(500 - 40 - 15));
  bool lastWaitLogged = false;
  for (const std::string& line : view.lines) lastWaitLogged |= line.rfind("LAST mWait = ", 0) == 0;
  EXPECT_TRUE(lastWaitLogged);
  // The wall clock ran ahead of the sound by no more than the start-up.
  EXPECT_GE(offset.load(), -20);
  EXPECT_LE(offset.load(), 150);
}

// A server reads ahead of what is heard: started on one chunk, it runs dry
// while the first pictures hold the next fetch up. The stream starts with
// 300 ms queued (never more than half the buffer), or with all there is, and
// the pictures' clock starts with it.
struct StartCase {
  const char* name;
  int32_t rate, channels, chunks, chunkBytes;
  int64_t writtenAtPlay;
};

class AudioStartTest : public AudioThreadTest, public ::testing::WithParamInterface<StartCase> {};

TEST_P(AudioStartTest, TheStreamStartsWithAMarginQueued) {
  const StartCase c = GetParam();
  FakeSource source(c.rate, c.channels, c.chunks, c.chunkBytes);
  FakeDevice stream;
  FakeSoundSystem system;
  system.stream = &stream;
  Play(source, &system);
  ASSERT_TRUE(startEvent.WaitFor(5000)) << "the start event was not released";
  {
    std::lock_guard<std::mutex> lock(stream.mutex);
    EXPECT_GE(stream.playStart, 0) << "the start event came before the sound";
  }
  RunToEnd();
  EXPECT_EQ(stream.writtenAtPlay, c.writtenAtPlay);
  EXPECT_EQ(stream.written, int64_t(c.chunks) * c.chunkBytes);
}

INSTANTIATE_TEST_SUITE_P(
    Margins, AudioStartTest,
    ::testing::Values(StartCase{"ThreeChunksOf100ms", 44100, 2, 10, 17640, 3 * 17640},
                      StartCase{"ShorterThanTheMargin", 44100, 2, 2, 17640, 2 * 17640},
                      // 192 kHz x 8: 300 ms is more than half the buffer (262144 bytes).
                      StartCase{"HalfTheBufferAtMost", 192000, 8, 10, 61440, 5 * 61440}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(AudioThreadTest, EndAtTheFirstFetchOpensAndClosesOnly) {
  FakeSource source(44100, 2, 0, 17640);
  FakeDevice stream;
  FakeSoundSystem system;
  system.stream = &stream;
  Play(source, &system);
  RunToEnd();
  EXPECT_EQ(stream.opens, 1);
  EXPECT_EQ(stream.closes, 1);
  EXPECT_EQ(stream.written, 0);
  EXPECT_TRUE(Logged("LAST mWait = -40"));
}

TEST_F(AudioThreadTest, NoServerSwitchesToAlsaForTheRestOfTheProcess) {
  FakeSource first(44100, 2, 3, 17640);
  FakeDevice waveOut;
  FakeSoundSystem system;
  system.serverUp = false;
  system.waveOut = &waveOut;
  Play(first, &system);
  RunToEnd();
  EXPECT_TRUE(Logged("Error: Failed to create IDirectSound object, switching to MCI audio"));
  EXPECT_EQ(AVParams.UseSoundServer, 0);
  EXPECT_EQ(waveOut.written, 3 * 17640);
  EXPECT_EQ(system.lastDeviceId, 3u);
  EXPECT_TRUE(errors.empty());

  // The server is back, but the next play does not try it again.
  system.serverUp = true;
  view.lines.clear();
  FakeSource second(44100, 2, 2, 17640);
  Play(second, &system);
  RunToEnd();
  EXPECT_EQ(system.streamsAsked, 1);
  EXPECT_EQ(system.waveOutsAsked, 2);
  EXPECT_FALSE(Logged("Error: Failed to create IDirectSound object, switching to MCI audio"));
}

struct OpenFailure {
  const char* name;
  bool serverUp;
  uint32_t streamResult, waveOutResult;
  bool waveOutExists;
};

class AudioOpenFailureTest : public AudioThreadTest,
                             public ::testing::WithParamInterface<OpenFailure> {};

TEST_P(AudioOpenFailureTest, ReportsOnTheUserInterfaceThreadAndEnds) {
  const OpenFailure c = GetParam();
  FakeSource source(44100, 2, 5, 17640);
  FakeDevice stream(c.streamResult), waveOut(c.waveOutResult);
  FakeSoundSystem system;
  system.serverUp = c.serverUp;
  system.stream = &stream;
  system.waveOut = c.waveOutExists ? &waveOut : nullptr;
  Play(source, &system);
  RunToEnd();
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_TRUE(errors[0]) << "FOnError ran off the user-interface thread";
  EXPECT_EQ(source.fetched, 0);
  EXPECT_EQ(offset.load(), 0);
  EXPECT_FALSE(startEvent.WaitFor(0)) << "no sound, no start";
  EXPECT_EQ(stream.written + waveOut.written, 0);
}

INSTANTIATE_TEST_SUITE_P(Devices, AudioOpenFailureTest,
                         ::testing::Values(OpenFailure{"StreamBuffer", true, sndStreamFailed, 0,
                                                       true},
                                           OpenFailure{"FallbackDevice", false, 0, 2, true},
                                           OpenFailure{"NoFallbackAtAll", false, 0, 0, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(AudioThreadTest, NoSoundSystemAtAllIsAnOpenFailure) {
  FakeSource source(44100, 2, 5, 17640);
  Play(source, nullptr);
  RunToEnd();
  EXPECT_EQ(errors.size(), 1u);
}

TEST_F(AudioThreadTest, DecodeErrorEndsTheThreadAndClosesTheDevice) {
  FakeSource source(44100, 2, 10, 17640);
  source.failAt = 2;
  FakeDevice stream;
  FakeSoundSystem system;
  system.stream = &stream;
  Play(source, &system);
  RunToEnd();
  EXPECT_TRUE(Logged("Audio decoding failed"));
  EXPECT_EQ(stream.closes, 1);
  EXPECT_TRUE(errors.empty());
}

TEST_F(AudioThreadTest, StopDuringPlayOutReturnsAtOnce) {
  FakeSource source(44100, 2, 60, 17640);  // 6 s of sound
  FakeDevice stream;
  FakeSoundSystem system;
  system.stream = &stream;
  Play(source, &system);
  ASSERT_TRUE(startEvent.WaitFor(5000));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  auto before = Clock::now();
  thread.reset();
  EXPECT_LT(Clock::now() - before, std::chrono::seconds(1));
  EXPECT_EQ(stream.closes, 1);
  EXPECT_LT(source.fetched, 60);
}

}  // namespace
}  // namespace vexo

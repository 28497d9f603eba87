#include "engine/playback/video_play_thread.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include "engine/playback/av_sync_queue.h"
#include "engine/playback/av_thread_lock.h"

namespace vexo {
namespace {

// A clock that only moves when the thread waits (by the whole wait unless the
// event is already set) or when a fake decode takes its time.
class StepClock : public TAVClock {
 public:
  int64_t NowMs() override { return now.load(); }
  bool Wait(TAVEvent& event, int64_t ms) override {
    if (event.WaitFor(0)) return true;
    now += ms;
    return false;
  }
  std::atomic<int64_t> now{100000};
};

// Files of equal frame rate laid end to end; frame 0 is decoded and shown when
// playback starts, as after opening. Every call runs on the test's own thread
// (the user-interface thread) or on the video thread between its calls.
class FakeTimeline : public TVideoTimeline {
 public:
  FakeTimeline(std::vector<int64_t> fileFrames, float fps, TAVClock* clock = nullptr)
      : files(std::move(fileFrames)), fps(fps), clock(clock) {}

  int64_t FramePos() override { return framePos; }
  int64_t TotalFrames() override { return std::accumulate(files.begin(), files.end(), int64_t(0)); }
  int64_t FrameToMs(int64_t frame) override { return std::llround(frame * 1000.0 / fps); }
  int32_t CurFile() override { return cur; }
  int32_t Count() override { return int32_t(files.size()); }
  int64_t StartFrames(int32_t index) override {
    return std::accumulate(files.begin(), files.begin() + index, int64_t(0));
  }
  bool FirstIsImage() override { return false; }
  float FrameRate() override { return fps; }
  int64_t FileFramePos() override { return framePos - StartFrames(cur); }
  int64_t FileFrameCount() override { return files[cur]; }
  std::string CodecName() override { return codec; }
  void ResetFrameRing() override { ++ringResets; }
  std::string ScreenErrorText() override { return screenError; }

  int32_t DecodeVideo(uint32_t flags) override {
    EXPECT_TRUE(IsUIThread());
    EXPECT_FALSE(AVThreadLockFree()) << "decoding without AVThreadLock";
    if (framePos == TotalFrames()) return -1;
    if (cur < Count() - 1 && framePos == StartFrames(cur + 1)) ++cur;
    int64_t frame = framePos++;
    if (clock) {
      decodeTimes[frame] = clock->NowMs();
      auto cost = decodeCost.find(frame);
      if (cost != decodeCost.end()) static_cast<StepClock*>(clock)->now += cost->second;
    }
    decodeFlags.push_back(flags);
    if (frame == failAt) screenError = "Conversion failed";
    if ((flags & kDecodeCatchUp) && frame % keyInterval != 0) return kDecodeSkipped;
    return kDecodeReady;
  }

  static bool AVThreadLockFree() {
    if (!AVThreadLock.try_lock()) return false;
    AVThreadLock.unlock();
    return true;
  }

  std::vector<int64_t> files;
  float fps;
  TAVClock* clock;
  int64_t framePos = 1;
  int32_t cur = 0;
  int64_t keyInterval = 1;
  int64_t failAt = -1;
  std::string codec = "mpeg4";
  std::string screenError;
  int ringResets = 0;
  std::map<int64_t, int64_t> decodeCost;   // frame -> ms the decode takes
  std::map<int64_t, int64_t> decodeTimes;  // frame -> clock when its decode began
  std::vector<uint32_t> decodeFlags;
};

// Plays a timeline on the video thread and records what the control would see.
class VideoThreadTest : public ::testing::Test {
 protected:
  struct Event {
    std::string kind;  // "pos", "skip", "end"
    int64_t value;
    int64_t at;  // clock at the notification, relative to the start
  };

  void Play(FakeTimeline& list, TAVClock& clock, TAVEvent* startEvent = nullptr) {
    start = clock.NowMs();
    finished = false;
    thread = std::make_unique<TVideoPlayThread>(
        &list, [&] { Record(clock, "end", 0), finished = true; },
        [&](int32_t pos) { Record(clock, "pos", pos); },
        [&](bool on) { Record(clock, "skip", on); }, startEvent, clock);
  }
  void RunToEnd() {
    auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!finished && std::chrono::steady_clock::now() < limit) CheckSynchronize(10);
    ASSERT_TRUE(finished);
    thread.reset();
  }
  void Record(TAVClock& clock, const std::string& kind, int64_t value) {
    EXPECT_TRUE(IsUIThread());
    events.push_back({kind, value, clock.NowMs() - start});
  }
  std::vector<int64_t> Positions() const {
    std::vector<int64_t> out;
    for (const Event& e : events)
      if (e.kind == "pos") out.push_back(e.value);
    return out;
  }

  int64_t start = 0;
  bool finished = false;
  std::vector<Event> events;
  std::unique_ptr<TVideoPlayThread> thread;
};

TEST_F(VideoThreadTest, WithoutSoundFramesAreShownAtTheirOwnTimes) {
  StepClock clock;
  FakeTimeline list({10}, 25, &clock);
  Play(list, clock);
  RunToEnd();
  ASSERT_EQ(events.size(), 10u);
  for (int frame = 1; frame <= 9; ++frame) {
    EXPECT_EQ(events[frame - 1].kind, "pos");
    EXPECT_EQ(events[frame - 1].value, frame);
    EXPECT_EQ(events[frame - 1].at, frame * 40) << "frame " << frame;
  }
  // The last frame is held for its duration before the end is reported.
  EXPECT_EQ(events.back().kind, "end");
  EXPECT_EQ(events.back().at, 9 * 40 + 40);
  for (uint32_t flags : list.decodeFlags) EXPECT_EQ(flags, kDecodeConvert);
}

TEST_F(VideoThreadTest, SoundOffsetMovesTheDueTime) {
  StepClock clock;
  FakeTimeline list({3}, 25, &clock);
  Play(list, clock);
  *thread->AVOffset() = 25;  // the wall clock runs 25 ms ahead of the sound
  RunToEnd();
  ASSERT_GE(events.size(), 2u);
  EXPECT_EQ(events[0].at, 40 + 25);
  EXPECT_EQ(events[1].at, 80 + 25);
}

TEST_F(VideoThreadTest, LastFrameOfEachFileIsHeldBeforeTheNextFileIsRequested) {
  StepClock clock;
  FakeTimeline list({3, 3}, 25, &clock);
  list.decodeCost[2] = 30;  // frame 2 shows late, at 110 instead of 80
  Play(list, clock);
  RunToEnd();
  EXPECT_EQ(Positions(), (std::vector<int64_t>{1, 2, 3, 4, 5}));
  // Frame 2 ends its file: the next file's first frame is asked for after
  // frame 2's own duration from its due time (80 + 40), not at once.
  EXPECT_EQ(list.decodeTimes.at(3) - start, 120);
  // Inside a file the next decode follows the shown frame at once.
  EXPECT_EQ(list.decodeTimes.at(4) - start, 120);
}

// Pictures at their own times, as a clip whose rate drops from 30 to 5 a
// second: each is shown when its time comes, and the last one stays up for
// its own duration, not for one picture of the file's average rate.
TEST_F(VideoThreadTest, PicturesOfAVariableRateAreShownAtTheirOwnTimes) {
  struct TVariableTimeline : FakeTimeline {
    using FakeTimeline::FakeTimeline;
    int64_t FrameToMs(int64_t frame) override { return times[size_t(frame)]; }
    double FileFrameMs(int64_t frame) override {
      return double(times[size_t(frame) + 1] - times[size_t(frame)]);
    }
    std::vector<int64_t> times{0, 33, 67, 100, 300, 500, 700};  // and the end
  };
  StepClock clock;
  TVariableTimeline list({6}, 10, &clock);
  Play(list, clock);
  RunToEnd();
  EXPECT_EQ(Positions(), (std::vector<int64_t>{1, 2, 3, 4, 5}));
  for (size_t k = 0; k + 1 < events.size(); ++k)
    EXPECT_EQ(events[k].at, list.times[k + 1]) << "picture " << k + 1;
  EXPECT_EQ(events.back().kind, "end");
  EXPECT_EQ(events.back().at, 700);
}

struct LagCase {
  float fps;
  int64_t lateMs;
  bool catchUp;
};

class VideoLagTest : public VideoThreadTest, public ::testing::WithParamInterface<LagCase> {};

TEST_P(VideoLagTest, LateFrameIsShownAtOnceOrStartsCatchUp) {
  const LagCase c = GetParam();
  StepClock clock;
  FakeTimeline list({40}, c.fps, &clock);
  list.keyInterval = 10;
  const int64_t frameMs = std::llround(1000 / c.fps);
  // Frame 5 is asked for when frame 4 is due; its decode makes it late by lateMs.
  list.decodeCost[5] = frameMs + c.lateMs;
  Play(list, clock);
  RunToEnd();

  std::vector<std::string> seq;
  for (const Event& e : events) {
    if (e.kind == "pos" && e.value == 5) {
      EXPECT_EQ(e.at, 5 * frameMs + c.lateMs) << "shown at once";
    }
    seq.push_back(e.kind + std::to_string(e.value));
  }
  auto at5 = std::find(seq.begin(), seq.end(), "pos5");
  ASSERT_NE(at5, seq.end());
  if (c.catchUp) {
    // skip on, frame 5 shown, packets dropped to the key frame 10, skip off.
    ASSERT_GE(at5 - seq.begin(), 1);
    EXPECT_EQ(*(at5 - 1), "skip1");
    ASSERT_GE(seq.end() - at5, 3);
    EXPECT_EQ(*(at5 + 1), "skip0");
    EXPECT_EQ(*(at5 + 2), "pos10");
    EXPECT_EQ(list.ringResets, 1);
    EXPECT_EQ(list.decodeFlags[5], kDecodeConvert | kDecodeCatchUp);
  } else {
    EXPECT_EQ(std::count(seq.begin(), seq.end(), "skip1"), 0);
    EXPECT_EQ(*(at5 + 1), "pos6");
    EXPECT_EQ(list.ringResets, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Thresholds, VideoLagTest,
                         ::testing::Values(LagCase{25, 300, false}, LagCase{25, 340, true},
                                           LagCase{2, 900, false}, LagCase{2, 1040, true}));

TEST(VideoLagThreshold, LargerOfMinimumAndFrames) {
  EXPECT_EQ(TVideoPlayThread::LagThresholdMs(25, 2, 333), 333);
  EXPECT_EQ(TVideoPlayThread::LagThresholdMs(2, 2, 333), 1000);
  EXPECT_EQ(TVideoPlayThread::LagThresholdMs(29.97f, 2, 333), 333);
  EXPECT_EQ(TVideoPlayThread::LagThresholdMs(0, 2, 333), 333) << "no rate, no division by zero";
}

TEST_F(VideoThreadTest, CatchUpOfMotionJpegCarriesItsFlag) {
  StepClock clock;
  FakeTimeline list({12}, 25, &clock);
  list.codec = "mjpeg";
  list.keyInterval = 4;
  list.decodeCost[2] = 500;
  Play(list, clock);
  RunToEnd();
  ASSERT_GT(list.decodeFlags.size(), 2u);
  EXPECT_EQ(list.decodeFlags[2], kDecodeConvert | kDecodeCatchUp | kDecodeMJpeg);
}

TEST_F(VideoThreadTest, NothingIsTimedBeforeTheStartEvent) {
  StepClock clock;
  FakeTimeline list({3}, 25, &clock);
  TAVEvent startEvent;
  Play(list, clock, &startEvent);  // never set: the wait gives up after 1000 ms
  RunToEnd();
  ASSERT_FALSE(events.empty());
  // Frame 1 was decoded first, then the clock restarted after the wait.
  EXPECT_EQ(events[0].value, 1);
  EXPECT_EQ(events[0].at, 1000 + 40);
}

TEST_F(VideoThreadTest, StartEventReleasesTheWaitOnTheWallClock) {
  FakeTimeline list({3}, 25);
  TAVEvent startEvent;
  auto begin = std::chrono::steady_clock::now();
  Play(list, WallClock(), &startEvent);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  while (CheckSynchronize(0)) {
  }
  EXPECT_TRUE(Positions().empty()) << "a frame was shown before the start event";
  auto released = std::chrono::steady_clock::now();
  startEvent.Set();
  RunToEnd();
  ASSERT_FALSE(events.empty());
  auto total = std::chrono::steady_clock::now() - begin;
  EXPECT_GE(total, released - begin + std::chrono::milliseconds(80));
  EXPECT_LT(total, std::chrono::milliseconds(1000 + 300)) << "waited the full second";
}

TEST_F(VideoThreadTest, StopWhileWaitingForADistantFrameReturnsAtOnce) {
  FakeTimeline list({5}, 0.1f);  // one frame every ten seconds
  Play(list, WallClock());
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  CheckSynchronize(50);
  EXPECT_TRUE(thread->Running());
  auto before = std::chrono::steady_clock::now();
  thread->Wake();
  thread->Terminate();
  thread->WaitFor();
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
  EXPECT_TRUE(finished) << "the end is reported on a stop too";
  EXPECT_FALSE(thread->Running());
  thread.reset();
}

TEST_F(VideoThreadTest, StopWhileASynchronisedCallWaitsDoesNotDeadlock) {
  FakeTimeline list({5}, 25);
  Play(list, WallClock());
  // The thread now waits in its first synchronised decode, which nobody serves.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(list.decodeFlags.empty());
  auto before = std::chrono::steady_clock::now();
  thread->Terminate();
  thread->Wake();
  thread->WaitFor();  // serves the pending decode and the end notification
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
  EXPECT_EQ(list.decodeFlags.size(), 1u);
  EXPECT_TRUE(finished);
  EXPECT_TRUE(Positions().empty());
  thread.reset();
}

TEST_F(VideoThreadTest, ScreenErrorEndsTheThread) {
  StepClock clock;
  FakeTimeline list({10}, 25, &clock);
  list.failAt = 3;
  Play(list, clock);
  RunToEnd();
  EXPECT_EQ(Positions(), (std::vector<int64_t>{1, 2}));
  EXPECT_EQ(events.back().kind, "end");
}

TEST_F(VideoThreadTest, ErrorRaisedByTheDecodeStillReportsTheEnd) {
  struct ThrowingTimeline : FakeTimeline {
    using FakeTimeline::FakeTimeline;
    int32_t DecodeVideo(uint32_t) override { throw std::runtime_error("corrupt packet"); }
  };
  StepClock clock;
  ThrowingTimeline list({10}, 25, &clock);
  Play(list, clock);
  RunToEnd();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, "end");
}

TEST(VideoPosition, StaysInsideTheCurrentFile) {
  FakeTimeline list({5, 5}, 25);
  list.framePos = 4;
  EXPECT_EQ(TVideoPlayThread::PositionOf(list), 3);
  list.framePos = 7;  // the first file decoded more frames than it counted
  EXPECT_EQ(TVideoPlayThread::PositionOf(list), 4);
  list.cur = 1;  // in the last file nothing is clamped
  EXPECT_EQ(TVideoPlayThread::PositionOf(list), 6);
}

}  // namespace
}  // namespace vexo

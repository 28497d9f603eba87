// What vexo-play sounds like from the listener's side: a clip of a rising tone
// plays to a private PulseAudio null sink while its monitor is recorded the
// way any recording program would (without asking the sink for low latency),
// and the recording is matched against the clip sample by sample. Every start
// of playback (at the beginning, after a seek, after a pause) must be heard
// from its first few milliseconds to the end.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/monitor_recorder.h"
#include "tests/support/test_desktop.h"
#include "tests/support/test_media.h"

namespace vexo {
namespace {

using Clock = std::chrono::steady_clock;
using Recorder = test::TMonitorRecorder;
constexpr int kRate = Recorder::kRate;
constexpr int64_t kWindow = kRate / 100;  // 10 ms
constexpr double kClipMs = 3000;
constexpr double kFrameMs = 40;  // 25 pictures a second
// The clip's sound, as make-media.sh writes it: 0.25 * sin(2 pi (440 t + 40 t^2)),
// made stereo from mono at -3 dB a channel.
const double kAmplitude = 0.25 * 32768 / std::sqrt(2.0);

const std::vector<double>& Clip() {
  static const std::vector<double> clip = [] {
    std::vector<double> samples(size_t(kClipMs * kRate / 1000));
    for (size_t frame = 0; frame < samples.size(); ++frame) {
      const double t = double(frame) / kRate;
      samples[frame] = kAmplitude * std::sin(2 * M_PI * (440 * t + 40 * t * t));
    }
    return samples;
  }();
  return clip;
}

// One stretch of the recording that follows the clip sample by sample.
struct TStretch {
  double fromMs = 0, toMs = 0;  // clip time at its first and past its last sample
};

// Sum of squared differences between 10 ms of the recording at `at` and the
// clip at `clipFrame`, counted only as far as it stays below `limit`.
double Mismatch(const std::vector<int16_t>& rec, int64_t at, int64_t clipFrame, double limit) {
  double error = 0;
  for (int64_t i = 0; i < kWindow && error < limit; ++i) {
    const double d = rec[size_t(at + i)] - Clip()[size_t(clipFrame + i)];
    error += d * d;
  }
  return error;
}

// Every stretch of the clip the recording holds, in the order heard.
std::vector<TStretch> FindStretches(const std::vector<int16_t>& rec) {
  const int64_t clipFrames = int64_t(Clip().size());
  const double limit = std::pow(0.1 * kAmplitude / std::sqrt(2.0), 2) * kWindow;
  std::vector<TStretch> found;
  int64_t at = 0;
  int64_t previousEnd = 0;  // where in the recording the last stretch ended
  const int64_t size = int64_t(rec.size());
  while (at + kWindow <= size) {
    if (rec[size_t(at)] == 0) {
      ++at;
      continue;
    }
    // Where in the clip the sound starting here comes from.
    int64_t best = -1;
    double least = limit;
    for (int64_t c = 0; c + kWindow <= clipFrames; ++c)
      if (const double e = Mismatch(rec, at, c, least); e < least) least = e, best = c;
    if (best < 0) {  // noise, or a sound that is not the clip
      at += kWindow;
      continue;
    }
    int64_t end = at;
    while (end + kWindow <= size && best + (end - at) + kWindow <= clipFrames &&
           Mismatch(rec, end, best + (end - at), limit) < limit)
      end += kWindow;
    const TStretch stretch{double(best) * 1000 / kRate, double(best + end - at) * 1000 / kRate};
    // A sink that rewinds to mix a starting stream in may hand the monitor a
    // few milliseconds twice: heard again is not lost. Sound that resumes
    // after a silence in the recording (a pause) starts a stretch of its own,
    // however exactly it takes up where it stopped.
    const bool adjacent = at - previousEnd <= kWindow;
    if (!found.empty() && adjacent && stretch.fromMs <= found.back().toMs + 5 &&
        stretch.fromMs >= found.back().toMs - 20)
      found.back().toMs = std::max(found.back().toMs, stretch.toMs);
    else
      found.push_back(stretch);
    at = end;
    previousEnd = end;
  }
  return found;
}

test::TDesktopEnvironment* const desktop = test::AddDesktop({.Sound = true});

struct TSoundCase {
  const char* Name;
  std::vector<std::string> Args;
  int Stretches;  // heard: one, or two around a pause
};

class VexoPlaySoundTest : public ::testing::TestWithParam<TSoundCase> {
 protected:
  // Plays the clip with `args` while recording; what was heard and printed.
  void PlayRecorded(const std::vector<std::string>& args) {
    ASSERT_TRUE(desktop->Desktop && desktop->Desktop->Ready());
    Recorder recorder(desktop->Desktop->PulseAddress(), "vexo_null", 0);
    ASSERT_TRUE(recorder.connected) << "the monitor could not be recorded";
    ASSERT_TRUE(recorder.WaitReceiving(std::chrono::seconds(10))) << "the monitor sent nothing";
    // A sink that rewinds to mix in a stream starting within its first two
    // seconds of silence hands the monitor part of that silence instead of the
    // sound; the sound is played, but the recording would miss its start.
    std::this_thread::sleep_for(std::chrono::seconds(3));
    std::vector<std::string> argv = {std::string(VEXO_BIN_DIR) + "/vexo-play", "--mode", "2"};
    argv.insert(argv.end(), args.begin(), args.end());
    argv.push_back(test::MediaPath("chirp_44100_stereo.avi"));
    Run = test::RunProgram(
        argv, {"PULSE_SERVER=" + desktop->Desktop->PulseAddress(), "QT_QPA_PLATFORM=xcb"},
        std::chrono::seconds(120));
    for (const std::string& line : Run.Lines) Output += line + "\n";
    // The monitor hands sound on up to the sink's latency after it played.
    ASSERT_TRUE(recorder.WaitRecorded(Clock::now() + std::chrono::milliseconds(2500),
                                      std::chrono::seconds(10)))
        << "the recording fell behind";
    EXPECT_EQ(recorder.holes, 0);
    Heard = FindStretches(recorder.Recorded().left);
  }
  // The positions vexo-play printed, in order.
  std::vector<int> Positions() const {
    std::vector<int> positions;
    for (const std::string& line : Run.Lines)
      if (line.rfind("position ", 0) == 0) positions.push_back(std::stoi(line.substr(9)));
    return positions;
  }

  test::TRunResult Run;
  std::string Output;
  std::vector<TStretch> Heard;
};

// Each start is heard within 30 ms of where playback began, and the sound then
// runs on unbroken: to the pause, or to the end less the 40 ms that the
// play-out leaves off.
TEST_P(VexoPlaySoundTest, EveryStartIsHeardFromItsFirstMilliseconds) {
  const TSoundCase& c = GetParam();
  ASSERT_NO_FATAL_FAILURE(PlayRecorded(c.Args));
  ASSERT_EQ(Run.Status, 0) << Output;
  std::string heard;
  for (const TStretch& s : Heard)
    heard += std::to_string(int(s.fromMs)) + ".." + std::to_string(int(s.toMs)) + " ms ";
  ASSERT_EQ(int(Heard.size()), c.Stretches) << "heard " << heard << "\n" << Output;

  // Where each start should be heard from: the first picture shown.
  std::vector<double> expected;
  const std::vector<int> positions = Positions();
  if (c.Stretches == 1) {
    expected.push_back(c.Args[0] == "--seek-frame" ? std::stoi(c.Args[1]) * kFrameMs : 0);
  } else {
    ASSERT_FALSE(positions.empty()) << Output;
    expected = {0, positions.front() * kFrameMs};
  }
  for (size_t i = 0; i < Heard.size(); ++i) {
    const double loss = Heard[i].fromMs - expected[i];
    std::printf("%s: start %zu at %.0f ms heard from %.1f ms: loss %.1f ms\n", c.Name, i + 1,
                expected[i], Heard[i].fromMs, loss);
    EXPECT_GE(loss, -30) << "heard " << heard;
    EXPECT_LE(loss, 30) << "heard " << heard;
  }
  EXPECT_GE(Heard.back().toMs, kClipMs - 40 - 15) << "heard " << heard;
  if (c.Stretches == 2) {  // the pause came after a second of sound
    EXPECT_GE(Heard.front().toMs - Heard.front().fromMs, 900) << "heard " << heard;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Starts, VexoPlaySoundTest,
    ::testing::Values(
        TSoundCase{"AtTheBeginning", {"--play", "--exit-at-end"}, 1},
        TSoundCase{"AfterASeekToTheMiddle", {"--seek-frame", "37", "--play", "--exit-at-end"}, 1},
        TSoundCase{"AfterPauseThenPlay", {"--play", "--seconds", "1.2", "--resume", "3"}, 2}),
    [](const ::testing::TestParamInfo<TSoundCase>& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace vexo

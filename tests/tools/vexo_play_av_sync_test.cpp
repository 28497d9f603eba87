// What a viewer sees and hears of a clip whose picture rate changes: vexo-play
// shows it full screen on a private X server while the screen's centre is
// sampled and the sound sink's monitor is recorded, both against one clock.
// Every white flash must appear within 40 ms of the beep that goes with it,
// where the pictures come 5 a second as where they come 30 a second.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/monitor_recorder.h"
#include "tests/support/test_desktop.h"
#include "tests/support/test_media.h"

// Last: Xlib's macros (Status, None, Bool) would rename what the headers above declare.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#undef Status
#undef None
#undef Bool

namespace vexo {
namespace {

using Clock = std::chrono::steady_clock;
using Recorder = test::TMonitorRecorder;

test::TDesktopEnvironment* const desktop = test::AddDesktop({.Sound = true});

// Moments the centre of the screen turned white.
std::vector<Clock::time_point> SampleFlashes(const std::string& display, std::atomic<bool>& stop) {
  std::vector<Clock::time_point> flashes;
  Display* x = XOpenDisplay(display.c_str());
  if (!x) return flashes;
  const int screen = DefaultScreen(x);
  const int cx = DisplayWidth(x, screen) / 2, cy = DisplayHeight(x, screen) / 2;
  bool white = false;
  while (!stop.load()) {
    XImage* image = XGetImage(x, RootWindow(x, screen), cx, cy, 1, 1, AllPlanes, ZPixmap);
    const Clock::time_point at = Clock::now();
    if (image) {
      const unsigned long pixel = XGetPixel(image, 0, 0);
      XDestroyImage(image);
      const bool now = (pixel & 0xff) > 200 && ((pixel >> 8) & 0xff) > 200;
      if (now && !white) flashes.push_back(at);
      white = now;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  XCloseDisplay(x);
  return flashes;
}

// Where each beep starts in the recording: the first loud sample after at
// least 200 ms of quiet.
std::vector<int64_t> BeepStarts(const std::vector<int16_t>& left) {
  std::vector<int64_t> starts;
  int64_t quiet = Recorder::kRate;
  for (size_t i = 0; i < left.size(); ++i) {
    if (std::abs(int(left[i])) > 3000) {
      if (quiet >= Recorder::kRate / 5) starts.push_back(int64_t(i));
      quiet = 0;
    } else {
      ++quiet;
    }
  }
  return starts;
}

TEST(VexoPlayAvSync, EveryFlashOfAVariableRateClipComesWithItsBeep) {
  ASSERT_TRUE(desktop->Desktop && desktop->Desktop->Ready());
  // Short fragments: a sample reaches the recorder about when the sink plays it.
  Recorder recorder(desktop->Desktop->PulseAddress(), "vexo_null", 10);
  ASSERT_TRUE(recorder.connected) << "the monitor could not be recorded";
  ASSERT_TRUE(recorder.WaitReceiving(std::chrono::seconds(10))) << "the monitor sent nothing";
  std::this_thread::sleep_for(std::chrono::seconds(3));

  std::atomic<bool> stop{false};
  std::vector<Clock::time_point> flashes;
  std::thread sampler([&] { flashes = SampleFlashes(desktop->Desktop->Display(), stop); });
  const test::TRunResult run =
      test::RunProgram({std::string(VEXO_BIN_DIR) + "/vexo-play", "--mode", "2", "--fullscreen",
                        "--play", "--exit-at-end", test::MediaPath("vfr_flash_beep.mp4")},
                       {"PULSE_SERVER=" + desktop->Desktop->PulseAddress(), "QT_QPA_PLATFORM=xcb"},
                       std::chrono::seconds(60));
  stop = true;
  sampler.join();
  EXPECT_EQ(run.Status, 0);
  ASSERT_TRUE(recorder.WaitRecorded(Clock::now(), std::chrono::seconds(10)));
  const Recorder::Take take = recorder.Recorded();
  const std::vector<int64_t> beeps = BeepStarts(take.left);

  ASSERT_EQ(beeps.size(), 4u);
  ASSERT_EQ(flashes.size(), 4u);
  for (size_t k = 0; k < 4; ++k) {
    const double offsetMs =
        std::chrono::duration<double, std::milli>(flashes[k] - take.At(beeps[k])).count();
    std::printf("flash %zu: %+.1f ms from its beep\n", k + 1, offsetMs);
    EXPECT_LE(std::fabs(offsetMs), 40.0) << "flash " << k + 1;
  }
}

}  // namespace
}  // namespace vexo

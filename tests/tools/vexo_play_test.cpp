// vexo-play end to end: the player control in a real window of a private X
// server, with sound going to a private PulseAudio null sink. Each case runs
// the program with a script and reads what it printed, the pictures it saved
// and the window contents it grabbed.
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <QImage>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/desktop_environment.h"
#include "tests/support/test_media.h"

namespace vexo {
namespace {

using std::chrono::seconds;
namespace fs = std::filesystem;

test::TDesktop* const desktop = test::AddDesktop();

struct TPicture {
  int Width = 0, Height = 0;
  std::vector<uint8_t> Rgb;
  int Luma(int x, int y) const {
    const uint8_t* p = &Rgb[(size_t(y) * Width + x) * 3];
    return (p[0] * 299 + p[1] * 587 + p[2] * 114) / 1000;
  }
};

TPicture ReadJpeg(const std::string& path) {
  TPicture picture;
  std::vector<uint8_t> bytes;
  if (FILE* f = std::fopen(path.c_str(), "rb")) {
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
      bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(f);
  }
  tjhandle handle = tjInitDecompress();
  int subsamp = 0, colorspace = 0;
  if (!bytes.empty() && tjDecompressHeader3(handle, bytes.data(), bytes.size(), &picture.Width,
                                            &picture.Height, &subsamp, &colorspace) == 0) {
    picture.Rgb.resize(size_t(picture.Width) * picture.Height * 3);
    if (tjDecompress2(handle, bytes.data(), bytes.size(), picture.Rgb.data(), picture.Width, 0,
                      picture.Height, TJPF_RGB, 0) != 0)
      picture = {};
  }
  tjDestroy(handle);
  return picture;
}

// The frame number a frame-numbered clip shows: 16 bars across the top half,
// bit 0 on the left, white for 1.
int FrameNumberOf(const TPicture& picture) {
  if (picture.Width <= 0) return -1;
  int number = 0;
  for (int bit = 0; bit < 16; ++bit) {
    const int x = bit * picture.Width / 16 + picture.Width / 32;
    if (picture.Luma(x, picture.Height / 4) > 128) number |= 1 << bit;
  }
  return number;
}

class VexoPlayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(desktop->X->Running()) << "Xvfb did not start";
    ASSERT_TRUE(desktop->Pulse->Started()) << desktop->Pulse->Log();
    char pattern[] = "/tmp/vexo-play-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    Dir = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(Dir, ignored);
  }

  std::vector<std::string> Env() const {
    return {"PULSE_SERVER=" + desktop->Pulse->Address(), "QT_QPA_PLATFORM=xcb"};
  }
  test::TRunResult Play(std::vector<std::string> args, std::vector<std::string> env = {}) {
    args.insert(args.begin(), std::string(VEXO_BIN_DIR) + "/vexo-play");
    if (env.empty()) env = Env();
    test::TRunResult result = test::RunProgram(args, env, seconds(180));
    Output.clear();
    for (const std::string& line : result.Lines) Output += line + "\n";
    return result;
  }
  bool Has(const test::TRunResult& run, const std::string& line) const {
    return std::find(run.Lines.begin(), run.Lines.end(), line) != run.Lines.end();
  }
  // The first line starting with `prefix`, without it.
  std::string Value(const test::TRunResult& run, const std::string& prefix) const {
    for (const std::string& line : run.Lines)
      if (line.rfind(prefix, 0) == 0) return line.substr(prefix.size());
    return {};
  }
  int Count(const test::TRunResult& run, const std::string& prefix) const {
    return int(std::count_if(run.Lines.begin(), run.Lines.end(),
                             [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }));
  }
  std::string Snap() const { return Dir + "/snap.jpg"; }

  std::string Dir;
  std::string Output;
};

TEST_F(VexoPlayTest, OpeningShowsTheFirstPictureStopped) {
  const std::string grab = Dir + "/window.png";
  auto run = Play(
      {"--mode", "2", "--snapshot", Snap(), "--grab", grab, test::MediaPath("numbered_h264.mp4")});
  EXPECT_EQ(run.Status, 0) << Output;
  EXPECT_TRUE(Has(run, "state Closed -> Stopped")) << Output;
  EXPECT_EQ(Count(run, "error"), 0) << Output;
  EXPECT_EQ(FrameNumberOf(ReadJpeg(Snap())), 0) << Output;
  // The window shows the picture: its grey lower half, not the dark background.
  QImage shot(QString::fromStdString(grab));
  ASSERT_FALSE(shot.isNull()) << Output;
  const QColor middle = shot.pixelColor(shot.width() / 2, shot.height() * 3 / 4);
  EXPECT_GT(middle.value(), 80) << Output;
}

TEST_F(VexoPlayTest, PauseShowsExactlyTheFrameAtThePosition) {
  auto run = Play({"--mode", "2", "--play", "--seconds", "2.5", "--snapshot", Snap(),
                   test::MediaPath("numbered_h264.mp4")});
  ASSERT_TRUE(Has(run, "state Stopped -> Playing")) << Output;
  ASSERT_TRUE(Has(run, "state Playing -> Paused")) << Output;
  const int position = std::stoi(Value(run, "position "));
  EXPECT_GT(position, 10) << Output;
  EXPECT_EQ(FrameNumberOf(ReadJpeg(Snap())), position) << Output;
}

TEST_F(VexoPlayTest, StopRewindsToTheFirstFrame) {
  auto run = Play({"--mode", "2", "--play", "--seconds", "1.5", "--stop", "--snapshot", Snap(),
                   test::MediaPath("numbered_mpeg4.avi")});
  ASSERT_TRUE(Has(run, "state Paused -> Stopped")) << Output;
  EXPECT_TRUE(Has(run, "position 0")) << Output;
  EXPECT_EQ(FrameNumberOf(ReadJpeg(Snap())), 0) << Output;
}

TEST_F(VexoPlayTest, TheEndOfTheTimelineStops) {
  auto run = Play({"--mode", "2", "--play", "--exit-at-end", test::MediaPath("h264_aac.mp4")});
  EXPECT_EQ(run.Status, 0) << Output;
  EXPECT_TRUE(Has(run, "state Playing -> Stopped")) << Output;
  EXPECT_EQ(Count(run, "error"), 0) << Output;
}

TEST_F(VexoPlayTest, PlayingAtTheLastFrameStaysPaused) {
  auto run = Play({"--mode", "2", "--seek-frame", "299", "--play", "--seconds", "1",
                   test::MediaPath("numbered_mpeg4.avi")});
  EXPECT_TRUE(Has(run, "state Stopped -> Paused")) << Output;
  EXPECT_FALSE(Has(run, "state Stopped -> Playing")) << Output;
}

struct TSeekCase {
  const char* File;
  int Frame;
  int Expected;
};

class VexoPlaySeekTest : public VexoPlayTest, public ::testing::WithParamInterface<TSeekCase> {};

TEST_P(VexoPlaySeekTest, SeekingShowsTheFrame) {
  const TSeekCase& c = GetParam();
  auto run = Play({"--mode", "2", "--seek-frame", std::to_string(c.Frame), "--snapshot", Snap(),
                   test::MediaPath(c.File)});
  EXPECT_TRUE(Has(run, "position " + std::to_string(c.Expected))) << Output;
  EXPECT_EQ(FrameNumberOf(ReadJpeg(Snap())), c.Expected) << Output;
}

INSTANTIATE_TEST_SUITE_P(Containers, VexoPlaySeekTest,
                         ::testing::Values(TSeekCase{"numbered_h264.mp4", 137, 137},
                                           TSeekCase{"numbered_mpeg4.avi", 137, 137},
                                           TSeekCase{"numbered_mpeg2.mpg", 137, 137},
                                           TSeekCase{"numbered_flv1.flv", 137, 137},
                                           TSeekCase{"numbered_mjpeg.avi", 137, 137},
                                           TSeekCase{"numbered_h264.mp4", 1, 1},
                                           // Pictures stored out of display order.
                                           TSeekCase{"numbered_mpeg4_bf.avi", 50, 50},
                                           // A GOP's key picture stamped with the B picture
                                           // shown before it must not pass for the target.
                                           TSeekCase{"numbered_mpeg2.mpg", 44, 44},
                                           // Beyond the end: the last frame.
                                           TSeekCase{"numbered_h264.mp4", 100000, 299},
                                           TSeekCase{"numbered_mpeg2.mpg", 100000, 299}));

TEST_F(VexoPlayTest, APlaylistOfClipsAndAPhotoPlaysToTheEnd) {
  auto run = Play({"--mode", "2", "--play", "--exit-at-end", test::MediaPath("h264_aac.mp4"),
                   test::MediaPath("photo_640x480.jpg"), test::MediaPath("mpeg4_mp3.avi")});
  EXPECT_EQ(run.Status, 0) << Output;
  EXPECT_EQ(Value(run, "opened files=").substr(0, 2), "3 ") << Output;
  EXPECT_EQ(Count(run, "state Playing -> Stopped"), 1) << Output;
  EXPECT_EQ(Value(run, "stopped-count "), "2") << Output;  // the open and the end
  EXPECT_EQ(Count(run, "error"), 0) << Output;
}

TEST_F(VexoPlayTest, AnUnopenableFileShowsErrorFiveOnTheSurface) {
  const std::string grab = Dir + "/window.png";
  auto run = Play({"--mode", "2", "--grab", grab, test::MediaPath("not_media.avi")});
  EXPECT_EQ(run.Status, 1) << Output;
  EXPECT_NE(Value(run, "error 5 ").find("not_media.avi"), std::string::npos) << Output;
  QImage shot(QString::fromStdString(grab));
  ASSERT_FALSE(shot.isNull()) << Output;
  int bright = 0;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x) bright += shot.pixelColor(x, y).value() > 128;
  EXPECT_GT(bright, 100) << "no text drawn\n" << Output;
}

TEST_F(VexoPlayTest, AFileThatFailsWhileSeekingGivesErrorSix) {
  // A photo after a photo is only read when it is reached.
  auto run = Play({"--mode", "2", "--seek-frame", "100000", test::MediaPath("photo_640x480.jpg"),
                   test::MediaPath("not_picture.jpg")});
  EXPECT_NE(Value(run, "error 6 ").find("not_picture.jpg"), std::string::npos) << Output;
  EXPECT_TRUE(Has(run, "state Stopped -> Closed")) << Output;
}

TEST_F(VexoPlayTest, FullScreenOnAndOffRestoresTheWindow) {
  auto run = Play({"--mode", "2", "--fullscreen", test::MediaPath("h264_aac.mp4")});
  const std::string window = Value(run, "window ");
  ASSERT_FALSE(window.empty()) << Output;
  EXPECT_EQ(Value(run, "fullscreen on ").substr(0, 9), "1280x1024") << Output;
  EXPECT_EQ(Value(run, "fullscreen off "), window) << Output;
}

TEST_F(VexoPlayTest, ASnapshotHasSquarePixelsAndOpensElsewhere) {
  auto run = Play({"--mode", "2", "--snapshot", Snap(), test::MediaPath("pal_16x9.mpg")});
  ASSERT_TRUE(Has(run, "snapshot " + Snap())) << Output;
  const TPicture picture = ReadJpeg(Snap());
  EXPECT_EQ(picture.Width, 1024);
  EXPECT_EQ(picture.Height, 576);
  // Another reader agrees.
  auto djpeg = test::RunProgram({"/bin/sh", "-c", "djpeg -pnm '" + Snap() + "' | head -c 16"});
  ASSERT_EQ(djpeg.Status, 0);
  ASSERT_GE(djpeg.Lines.size(), 2u);
  EXPECT_EQ(djpeg.Lines[1], "1024 576");
}

// An MP4 taken from its header without probing: the pixels' 64:45 aspect
// comes from the container and the stream parameters.
TEST_F(VexoPlayTest, AnAnamorphicMp4ShowsAndSnapshotsAtItsDisplayAspect) {
  const std::string grab = Dir + "/window.png";
  auto run = Play({"--mode", "2", "--snapshot", Snap(), "--grab", grab,
                   test::MediaPath("anamorphic_718x406.mp4")});
  ASSERT_TRUE(Has(run, "snapshot " + Snap())) << Output;
  const TPicture picture = ReadJpeg(Snap());
  EXPECT_NEAR(picture.Width, 718 * 64 / 45, 1) << Output;  // 1021
  EXPECT_EQ(picture.Height, 406);
  // In the 640x480 window the picture fills the width and a band of
  // 640 / (1021.2 / 406) = 254 rows between the background above and below.
  QImage shot(QString::fromStdString(grab));
  ASSERT_FALSE(shot.isNull()) << Output;
  const QColor band = shot.pixelColor(shot.width() / 2, 0);
  int rows = 0;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); x += 8)
      if (shot.pixelColor(x, y) != band) {
        ++rows;
        break;
      }
  EXPECT_EQ(shot.width(), 640);
  EXPECT_NEAR(rows, 640 * 406 * 45 / (718 * 64), 2);
}

TEST_F(VexoPlayTest, WithoutAnySoundOutputPlaybackRunsOnTheWallClock) {
  const std::string noAlsa = Dir + "/no-alsa.conf";
  FILE* f = std::fopen(noAlsa.c_str(), "w");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  const auto start = std::chrono::steady_clock::now();
  auto run = Play({"--mode", "2", "--play", "--exit-at-end", test::MediaPath("h264_aac.mp4")},
                  {"PULSE_SERVER=unix:" + Dir + "/no-server", "ALSA_CONFIG_PATH=" + noAlsa,
                   "QT_QPA_PLATFORM=xcb"});
  const double elapsed =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_TRUE(Has(run, "state Playing -> Stopped")) << Output;
  EXPECT_EQ(Count(run, "error"), 0) << Output;
  // The 2 s clip took its time rather than racing through.
  EXPECT_GE(elapsed, 1.5) << Output;
}

TEST(VexoPlayListFiles, SaveAndPrintAsx) {
  char pattern[] = "/tmp/vexo-asx-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const std::string dir = pattern, asx = dir + "/list.asx";
  const std::string play = std::string(VEXO_BIN_DIR) + "/vexo-play";
  auto saved = test::RunProgram({play, "--save-asx", asx, "/no/such/a.avi", "b c.mp4"});
  EXPECT_EQ(saved.Status, 0);
  auto printed = test::RunProgram({play, "--print-asx", asx});
  EXPECT_EQ(printed.Status, 0);
  ASSERT_EQ(printed.Lines.size(), 3u);
  EXPECT_EQ(printed.Lines[0].rfind("name ", 0), 0u);
  EXPECT_EQ(printed.Lines[1], "entry /no/such/a.avi");
  EXPECT_EQ(printed.Lines[2], "entry b c.mp4");
  auto missing = test::RunProgram({play, "--print-asx", dir + "/missing.asx"});
  EXPECT_EQ(missing.Status, 1);
  ASSERT_EQ(missing.Lines.size(), 1u);
  EXPECT_EQ(missing.Lines[0].rfind("error ", 0), 0u);
  std::error_code ignored;
  fs::remove_all(dir, ignored);
}

}  // namespace
}  // namespace vexo

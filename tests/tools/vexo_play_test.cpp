// vexo-play end to end: the player control in a real window of a private X
// server, with sound going to a private PulseAudio null sink. Each case runs
// the program with a script and reads what it printed, the pictures it saved
// and the window contents it grabbed.
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <unistd.h>
#include <QColor>
#include <QImage>
#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/frame_bars.h"
#include "tests/support/test_desktop.h"
#include "tests/support/test_media.h"

namespace vexo {
namespace {

using std::chrono::seconds;
namespace fs = std::filesystem;

test::TDesktopEnvironment* const desktop = test::AddDesktop({.Sound = true});

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

int FrameNumberOf(const TPicture& picture) {
  return test::FrameNumberFromBars(picture.Width, picture.Height,
                                   [&](int x, int y) { return picture.Luma(x, y); });
}

class VexoPlayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(desktop->Desktop && desktop->Desktop->Ready());
    char pattern[] = "/tmp/vexo-play-test-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    Dir = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(Dir, ignored);
  }

  std::vector<std::string> Env() const {
    return {"PULSE_SERVER=" + desktop->Desktop->PulseAddress(), "QT_QPA_PLATFORM=xcb"};
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
  // Plays the clips as one list in the mode given: every file opens, the list
  // plays through once and nothing reports an error.
  template <size_t N>
  void ExpectListPlaysToTheEnd(const char* mode, const char* const (&clips)[N]) {
    std::vector<std::string> args = {"--mode", mode, "--play", "--exit-at-end"};
    for (const char* clip : clips) args.push_back(test::MediaPath(clip));
    auto run = Play(args);
    EXPECT_EQ(run.Status, 0) << Output;
    EXPECT_EQ(Value(run, "opened files=").substr(0, 2), std::to_string(N) + " ") << Output;
    EXPECT_EQ(Count(run, "state Playing -> Stopped"), 1) << Output;
    EXPECT_EQ(Count(run, "error"), 0) << Output;
  }

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

// A damaged Matroska file whose sound cannot be decoded (found by fuzzing)
// plays its pictures to the end and stops; the stop once crashed.
TEST_F(VexoPlayTest, AFileWhoseSoundCannotBeDecodedPlaysToItsEndAndStops) {
  const std::string fixture =
      std::string(VEXO_SOURCE_DIR) + "/../shared/fixtures/damaged-matroska-at-stop.mov";
  auto run = Play({"--mode", "2", "--play", "--exit-at-end", fixture});
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

// Processor seconds a process has used in all its threads, from
// /proc/<pid>/stat; negative when it cannot be read.
double CpuSecondsOf(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The program name may hold blanks and parentheses; the fields follow its last ')'.
  const size_t nameEnd = stat.rfind(')');
  if (nameEnd == std::string::npos) return -1;
  std::istringstream fields(stat.substr(nameEnd + 1));
  std::string field;
  unsigned long long ticks = 0;
  // Field 3 is the state; 14 and 15 are user and system time in clock ticks.
  for (int i = 3; i <= 15 && fields >> field; ++i)
    if (i >= 14) ticks += std::stoull(field);
  return double(ticks) / double(sysconf(_SC_CLK_TCK));
}

struct TIdleCase {
  const char* Name;
  std::vector<std::string> Args;
};

class VexoPlayIdleTest : public VexoPlayTest, public ::testing::WithParamInterface<TIdleCase> {};

// Nothing may spin while the picture stands still: waiting is the event
// loop's. Two percent of one core leaves room for the odd repaint.
TEST_P(VexoPlayIdleTest, AStillPlayerTakesNoProcessorTime) {
  std::vector<std::string> args = {std::string(VEXO_BIN_DIR) + "/vexo-play"};
  args.insert(args.end(), GetParam().Args.begin(), GetParam().Args.end());
  args.insert(args.end(), {"--hold", "4", test::MediaPath("h264_aac.mp4")});
  test::TChildProcess player(args, Env());
  ASSERT_TRUE(player.Started());
  ASSERT_FALSE(player.WaitLine("holding", seconds(120)).empty()) << player.Output();
  const auto start = std::chrono::steady_clock::now();
  const double before = CpuSecondsOf(player.Pid());
  std::this_thread::sleep_for(seconds(2));
  const double after = CpuSecondsOf(player.Pid());
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  ASSERT_GE(before, 0);
  ASSERT_GE(after, 0) << "the player ended before the measurement did\n" << player.Output();
  EXPECT_LE(after - before, 0.02 * wall)
      << "processor seconds " << after - before << " over " << wall << " s\n"
      << player.Output();
  EXPECT_EQ(player.Wait(seconds(60)), 0) << player.Output();
}

INSTANTIATE_TEST_SUITE_P(
    States, VexoPlayIdleTest,
    ::testing::Values(TIdleCase{"PausedRaster", {"--mode", "2", "--play", "--seconds", "1"}},
                      TIdleCase{"PausedOpenGL", {"--mode", "1", "--play", "--seconds", "1"}},
                      TIdleCase{"StoppedAfterPlaying",
                                {"--mode", "2", "--play", "--seconds", "1", "--stop"}},
                      TIdleCase{"JustOpened", {"--mode", "2"}}),
    [](const ::testing::TestParamInfo<TIdleCase>& info) { return std::string(info.param.Name); });

TEST_F(VexoPlayTest, ThePanelPlaysAPlaylistUnderItsControls) {
  const std::string grab = Dir + "/panel.png";
  auto run = Play({"--panel", "--mode", "2", "--play", "--seconds", "1.5", "--grab", grab,
                   test::MediaPath("numbered_h264.mp4"), test::MediaPath("h264_aac.mp4"),
                   test::MediaPath("numbered_mpeg4.avi")});
  EXPECT_EQ(run.Status, 0) << Output;
  EXPECT_TRUE(Has(run, "opened files=3 frames=650 mode=2")) << Output;
  EXPECT_TRUE(Has(run, "state Playing -> Paused")) << Output;
  // The whole window: the picture above, the light control strip along the bottom.
  QImage shot(QString::fromStdString(grab));
  ASSERT_FALSE(shot.isNull()) << Output;
  EXPECT_GT(shot.pixelColor(shot.width() / 2, shot.height() - 35).value(), 150) << Output;
  EXPECT_GT(shot.pixelColor(shot.width() / 2, shot.height() * 3 / 4).value(), 80) << Output;
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
                                           TSeekCase{"numbered_mpeg2.mpg", 100000, 299}),
                         [](const ::testing::TestParamInfo<TSeekCase>& info) {
                           std::string name = info.param.File;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name + "_frame_" + std::to_string(info.param.Frame);
                         });

TEST_F(VexoPlayTest, APlaylistOfClipsAndAPhotoPlaysToTheEnd) {
  auto run = Play({"--mode", "2", "--play", "--exit-at-end", test::MediaPath("h264_aac.mp4"),
                   test::MediaPath("photo_640x480.jpg"), test::MediaPath("mpeg4_mp3.avi")});
  EXPECT_EQ(run.Status, 0) << Output;
  EXPECT_EQ(Value(run, "opened files=").substr(0, 2), "3 ") << Output;
  EXPECT_EQ(Count(run, "state Playing -> Stopped"), 1) << Output;
  EXPECT_EQ(Value(run, "stopped-count "), "2") << Output;  // the open and the end
  EXPECT_EQ(Count(run, "error"), 0) << Output;
}

// One short clip of each of today's codecs and containers, with a photo
// between them, played through to the end with its sound.
TEST_F(VexoPlayTest, TodaysCodecsAndContainersPlayToTheEnd) {
  const char* clips[] = {"hevc_aac.mov", "av1_aac.mp4",   "theora_vorbis.ogv", "photo_100x75.jpg",
                         "wmv2_wma.wmv", "mpeg2_ac3.vob", "h264_aac.3gp"};
  ExpectListPlaysToTheEnd("2", clips);
}

// A playlist of today's pixel formats, a high-dynamic-range clip and a photo
// plays through to the end in the raster and the OpenGL mode.
TEST_F(VexoPlayTest, EveryPixelFormatFamilyPlaysToTheEnd) {
  const char* clips[] = {"hlg.mp4",
                         "numbered_h264_422.mkv",
                         "photo_100x75.jpg",
                         "numbered_prores.mov",
                         "numbered_vp9_10bit.webm",
                         "numbered_rgb24.mov",
                         "numbered_grey.mkv"};
  for (const char* mode : {"2", "1"}) {
    SCOPED_TRACE(std::string("mode ") + mode);
    ExpectListPlaysToTheEnd(mode, clips);
  }
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

// The menu demonstration: menu bar, tool bar and the File menu opened, with
// the English texts and our own pictures; the picture stays in the build
// folder to be looked at.
TEST_F(VexoPlayTest, MenusShowTheCommandTableWithPictures) {
  const std::string grab = std::string(VEXO_BIN_DIR) + "/../menus-demo.png";
  auto run = Play({"--menus", "--grab", grab});
  EXPECT_EQ(run.Status, 0) << Output;
  EXPECT_TRUE(Has(run, "grab " + grab)) << Output;
  QImage shot(QString::fromStdString(grab));
  ASSERT_FALSE(shot.isNull());
  // The green of the play picture in front of "Play selection".
  int green = 0;
  for (int y = 0; y < shot.height(); ++y)
    for (int x = 0; x < shot.width(); ++x) {
      const QColor c = shot.pixelColor(x, y);
      green += std::abs(c.red() - 0x2e) < 12 && std::abs(c.green() - 0x9b) < 12 &&
               std::abs(c.blue() - 0x3f) < 12;
    }
  EXPECT_GT(green, 20);
}

TEST_F(VexoPlayTest, PlaylistDialogOpensAFolderWithItsClipsFirst) {
  const std::string folder = Dir + "/media";
  fs::create_directories(folder);
  for (const char* name : {"photo_640x480.jpg", "photo_100x75.jpg", "mpeg4_mp3.avi"})
    fs::copy_file(test::MediaPath(name), folder + "/" + name);
  std::vector<std::string> env = Env();
  env.push_back("XDG_CONFIG_HOME=" + Dir);  // the player's default settings
  auto run = Play({"--pldialog", "--proceed", "--mode", "2", folder}, env);
  EXPECT_EQ(run.Status, 0) << Output;
  const std::string figures = Value(run, "pldialog ");
  EXPECT_EQ(figures.rfind("result=1 files=3 first-picture-ms=", 0), 0u) << Output;
  EXPECT_TRUE(Has(run, "state Closed -> Stopped")) << Output;
}

TEST_F(VexoPlayTest, OptionsAndAboutShowForALookAndAPicture) {
  const std::vector<std::string> env = {"QT_QPA_PLATFORM=xcb", "HOME=" + Dir,
                                        "XDG_CONFIG_HOME=" + Dir + "/config"};
  auto options = Play({"--options", "--page", "2", "--grab", Dir + "/options.png"}, env);
  EXPECT_EQ(options.Status, 0) << Output;
  EXPECT_TRUE(Has(options, "options cancelled")) << Output;
  // The dialog's own picture: at least its designed width, wider where a list's longest entry needs
  // it.
  EXPECT_GE(QImage(QString::fromStdString(Dir + "/options.png")).width(), 472);
  auto about = Play({"--about", "--grab", Dir + "/about.png"}, env);
  EXPECT_EQ(about.Status, 0) << Output;
  EXPECT_EQ(QImage(QString::fromStdString(Dir + "/about.png")).size(), QSize(389, 411));
  // Cancelled: no settings file was made.
  EXPECT_FALSE(fs::exists(Dir + "/config/Korvane Group/Vexo Player.conf"));
  EXPECT_EQ(Play({"--about", "clip.avi"}, env).Status, 2);
}

// Both developer programs print their usage on the output when asked, and succeed.
TEST(DeveloperPrograms, HelpPrintsTheUsage) {
  for (const char* program : {"vexo-play", "vexo-bench"}) {
    for (const char* flag : {"--help", "-h"}) {
      const auto run = test::RunProgram({std::string(VEXO_BIN_DIR) + "/" + program, flag});
      EXPECT_EQ(run.Status, 0) << program << " " << flag;
      ASSERT_FALSE(run.Lines.empty()) << program << " " << flag;
      EXPECT_EQ(run.Lines[0].rfind(std::string("usage: ") + program + " ", 0), 0u) << run.Lines[0];
    }
  }
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

// The player page in a main window, opened on a folder under a private home.
TEST_F(VexoPlayTest, PageOpensOnAFolderAndPlaysItsFirstFile) {
  const std::string folder = Dir + "/media";
  fs::create_directories(folder);
  for (const char* name : {"mpeg4_mp3.avi", "photo_640x480.jpg"})
    fs::copy_file(test::MediaPath(name), folder + "/" + name);
  std::vector<std::string> env = Env();
  env.push_back("HOME=" + Dir);
  env.push_back("XDG_CONFIG_HOME=" + Dir + "/config");
  const std::string grab = Dir + "/page.png";
  auto run = Play({"--page", folder, "--play", "--seconds", "1.5", "--grab", grab}, env);
  EXPECT_EQ(run.Status, 0) << Output;
  EXPECT_TRUE(Has(run, "playing " + folder + "/mpeg4_mp3.avi")) << Output;
  EXPECT_TRUE(Has(run, "grab " + grab)) << Output;
  EXPECT_GE(QImage(QString::fromStdString(grab)).width(), 500);
  // The browser position went into the settings at the end.
  EXPECT_TRUE(fs::exists(Dir + "/config/Korvane Group/Vexo Player.conf"));
}

}  // namespace
}  // namespace vexo

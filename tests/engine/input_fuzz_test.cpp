// Damaged copies of the generated media and of .asx playlists, read the way
// the player reads them: none may crash or hang. A fixed seed makes every
// run the same; `vexo-bench fuzz N` runs longer.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/playlist/av_playlist.h"
#include "tests/support/exif_writer.h"
#include "tests/support/fuzz_readers.h"
#include "tests/support/input_fuzz.h"
#include "tests/support/leak_checker.h"
#include "tests/support/media_test.h"
#include "tests/support/test_media.h"

namespace vexo {
namespace {

using test::FuzzReport;

std::string WorkDir(const std::string& name) {
  return ::testing::TempDir() + "vexo-fuzz-" + name;
}

class InputFuzzTest : public test::TMediaTest {};

// Damaged copies of each named medium in turn, `cases` in all; each copy keeps
// its original's extension: the player goes by it.
test::TFuzzResult FuzzMedia(const std::vector<std::string>& names, int cases, uint32_t seed,
                            const std::string& work) {
  test::TFuzzResult all;
  for (const std::string& name : names) {
    const std::string input = test::MediaPath(name);
    test::TFuzzRun one;
    one.Inputs = {input};
    one.Cases = cases / int(names.size());
    one.Extension = input.substr(input.rfind('.'));
    one.Seed = seed + uint32_t(all.Cases);
    one.WorkDir = WorkDir(work);
    one.Read = test::ReadMediaLikeThePlayer;
    test::AddFuzzResult(all, test::RunFuzz(one));
  }
  return all;
}

TEST_F(InputFuzzTest, DamagedMediaNeitherCrashNorHangThePlayer) {
  const test::TFuzzResult result =
      FuzzMedia({"mpeg1_program.mpg", "mpeg2_mp2.mpg", "h264_aac.mp4", "mpeg4_mp3.avi",
                 "flv1_mp3.flv", "h264.mov", "mjpeg.avi", "numbered_mpeg4_bf.avi",
                 "gl_440_44100_stereo.avi", "photo_100x75.jpg"},
                300, 14, "media");
  std::printf("media: %s\n", FuzzReport(result).c_str());
  EXPECT_EQ(result.Cases, 300);
  EXPECT_TRUE(test::FuzzClean(result)) << FuzzReport(result);
}

// Today's containers with sound, whose damaged codec data leaves a decoder
// that cannot open: Matroska, WebM, transport streams, 3GP, Ogg and WMV.
TEST_F(InputFuzzTest, DamagedTodaysContainersNeitherCrashNorHangThePlayer) {
  const test::TFuzzResult result = FuzzMedia(
      {"h264_aac.mkv", "numbered_h264_ac3.mkv", "numbered_vp9_opus.webm", "numbered_h264.ts",
       "h264_aac.3gp", "theora_vorbis.ogv", "theora_opus.ogv", "wmv2_wma.wmv"},
      160, 39, "containers");
  std::printf("containers: %s\n", FuzzReport(result).c_str());
  EXPECT_EQ(result.Cases, 160);
  EXPECT_TRUE(test::FuzzClean(result)) << FuzzReport(result);
}

// Subtitle tracks in every text format, read whole at opening and drawn.
TEST_F(InputFuzzTest, DamagedSubtitleTracksNeitherCrashNorHangThePlayer) {
  const test::TFuzzResult result =
      FuzzMedia({"subs_srt.mkv", "subs_movtext.mp4", "subs_webvtt.mkv", "subs_ass_red.mkv"}, 80, 51,
                "subtitles");
  std::printf("subtitles: %s\n", FuzzReport(result).c_str());
  EXPECT_EQ(result.Cases, 80);
  EXPECT_TRUE(test::FuzzClean(result)) << FuzzReport(result);
}

// Photos of today's formats with an EXIF block (PNG's chunk, WebP's chunk,
// HEIF's item), damaged, then read for their date and orientation and shown.
TEST_F(InputFuzzTest, DamagedPhotosOfTodaysFormatsNeitherCrashNorHangTheProgram) {
  const std::string dir = WorkDir("photo-seeds");
  std::filesystem::create_directories(dir);
  auto media = [](const char* name) { return test::ReadBytes(test::MediaPath(name)); };
  const std::vector<uint8_t> tiff = test::ExifTiff(6, "2021:07:14 16:05:09");
  ASSERT_TRUE(test::WriteBytes(dir + "/seed.png", test::WithPngExif(media("quadrants.png"), tiff)));
  ASSERT_TRUE(test::WriteBytes(dir + "/seed.webp",
                               test::WithWebpExif(media("quadrants_lossless.webp"), tiff, 96, 48)));
  const std::vector<uint8_t> jpeg =
      test::WithExif(media("quadrants.jpg"), 6, "2021:07:14 16:05:09");
  test::WriteHeifFromJpeg(dir + "/seed.heic", jpeg);
  test::WriteHeifFromJpeg(dir + "/seed.avif", jpeg);
  test::TFuzzResult all;
  for (const char* ext : {".png", ".webp", ".heic", ".avif"}) {
    test::TFuzzRun run;
    run.Inputs = {dir + "/seed" + ext};
    run.Cases = 40;
    run.Extension = ext;
    run.Seed = 36 + uint32_t(all.Cases);
    run.WorkDir = WorkDir("photos");
    run.Read = test::ReadPhotoLikeTheProgram;
    test::AddFuzzResult(all, test::RunFuzz(run));
  }
  std::printf("photos: %s\n", FuzzReport(all).c_str());
  EXPECT_EQ(all.Cases, 160);
  EXPECT_TRUE(test::FuzzClean(all)) << FuzzReport(all);
}

TEST(AsxFuzzTest, DamagedPlaylistsNeitherCrashNorHang) {
  const std::string dir = WorkDir("asx-seeds");
  std::filesystem::create_directories(dir);
  TAVPlayList list;
  for (const char* entry : {"/media/clips/first clip.avi", "C:\\Videos\\second.mp4",
                            "relative/photo & more.jpg", "/x/\xc3\xa9t\xc3\xa9.mpg"})
    list.Add(entry);
  list.SaveToFile(dir + "/list.asx");
  test::WriteBytes(dir + "/utf8.asx", [] {
    const std::string text =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ASX version=\"3.0\">"
        "<Title>t</Title><Entry><Ref HREF=\"a.avi\"/></Entry>"
        "<Entry><ref href=\"b.mp4\"/></Entry></ASX>\n";
    return std::vector<uint8_t>(text.begin(), text.end());
  }());
  test::TFuzzRun run;
  run.Inputs = {dir + "/list.asx", dir + "/utf8.asx"};
  run.Cases = 300;
  run.Seed = 14;
  run.WorkDir = WorkDir("asx");
  run.Extension = ".asx";
  run.CaseSeconds = 5;
  run.Read = test::ReadAsxPlaylist;
  const test::TFuzzResult result = test::RunFuzz(run);
  std::printf("asx: %s\n", FuzzReport(result).c_str());
  EXPECT_EQ(result.Cases, 300);
  EXPECT_TRUE(test::FuzzClean(result)) << FuzzReport(result);
}

// A seed file of `size` bytes `fill` for the runner's own tests.
std::string RunnerSeed(const std::string& name, char fill, size_t size = 64) {
  const std::string path = WorkDir("runner-" + name);
  test::WriteBytes(path, std::vector<uint8_t>(size, uint8_t(fill)));
  return path;
}

test::TFuzzRun RunnerRun(const std::string& name, std::vector<std::string> inputs, int cases) {
  test::TFuzzRun run;
  run.Inputs = std::move(inputs);
  run.Cases = cases;
  run.WorkDir = WorkDir("runner-work-" + name);
  return run;
}

// The runner itself: a reader that dies or never returns is counted, and the
// run goes on.
TEST(FuzzRunnerTest, CountsCrashesAndHangsAndGoesOn) {
  test::TFuzzRun run = RunnerRun("counts", {RunnerSeed("counts", 'x')}, 6);
  run.CaseSeconds = 0.5;
  int calls = 0;
  run.Read = [&calls](const std::string& path) -> bool {
    ++calls;
    if (std::filesystem::file_size(path) % 2) std::abort();
    for (;;) pause();
  };
  const test::TFuzzResult result = test::RunFuzz(run);
  EXPECT_EQ(result.Cases, 6);
  EXPECT_EQ(result.Crashes + result.Hangs, 6);
  EXPECT_EQ(result.Findings.size(), 6u);
  EXPECT_FALSE(test::FuzzClean(result));
  EXPECT_EQ(calls, 0) << "the reader ran in this process";
}

// A run proves it reached the reader's work: the cases that opened are
// counted per seed, and a seed none of whose copies opened fails the run.
TEST(FuzzRunnerTest, ASeedWhoseCopiesNeverOpenFailsTheRun) {
  const std::string never = RunnerSeed("never", 'n');
  test::TFuzzRun run = RunnerRun("reach", {RunnerSeed("opens", 'o'), never}, 8);
  // Opens what still holds much of the first seed's bytes: damage adds a few
  // bytes at most, never eight of one kind.
  run.Read = [](const std::string& path) {
    const std::vector<uint8_t> bytes = test::ReadBytes(path);
    return std::count(bytes.begin(), bytes.end(), uint8_t('o')) >= 8;
  };
  const test::TFuzzResult result = test::RunFuzz(run);
  EXPECT_EQ(result.Cases, 8);
  EXPECT_EQ(result.Crashes + result.Hangs, 0);
  EXPECT_GT(result.Opened, 0);
  EXPECT_LE(result.Opened, 4);
  ASSERT_EQ(result.Faults.size(), 1u) << FuzzReport(result);
  EXPECT_NE(result.Faults[0].find(never), std::string::npos) << result.Faults[0];
  EXPECT_FALSE(test::FuzzClean(result));
}

TEST(FuzzRunnerTest, AMissingOrEmptySeedFailsTheRunUnread) {
  for (const std::vector<std::string>& inputs :
       {std::vector<std::string>{WorkDir("runner-missing")},
        std::vector<std::string>{RunnerSeed("empty", 'e', 0)}, std::vector<std::string>{}}) {
    test::TFuzzRun run = RunnerRun("unread", inputs, 4);
    int calls = 0;
    run.Read = [&calls](const std::string&) { return ++calls > 0; };
    const test::TFuzzResult result = test::RunFuzz(run);
    EXPECT_EQ(result.Cases, 0);
    EXPECT_EQ(result.Faults.size(), 1u) << FuzzReport(result);
    EXPECT_FALSE(test::FuzzClean(result));
  }
}

// A child that cannot be waited for (here reaped by the system, as when
// SIGCHLD is ignored) is a failure, not a case that passed.
TEST(FuzzRunnerTest, AChildThatCannotBeWaitedForFailsTheRun) {
  test::TFuzzRun run = RunnerRun("lost", {RunnerSeed("lost", 'x')}, 3);
  run.Read = [](const std::string&) { return true; };
  struct sigaction before {};
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGCHLD, &ignore, &before);
  const test::TFuzzResult result = test::RunFuzz(run);
  sigaction(SIGCHLD, &before, nullptr);
  ASSERT_FALSE(result.Faults.empty());
  EXPECT_NE(result.Faults[0].find("could not be waited for"), std::string::npos)
      << FuzzReport(result);
  EXPECT_EQ(result.Cases, 1) << "the run went on without knowing how a case ended";
  EXPECT_FALSE(test::FuzzClean(result));
}

// Memory a case leaves unreachable is a finding; only the leak checker of an
// AddressSanitizer build can see it.
TEST(FuzzRunnerTest, ACaseThatLeaksIsAFinding) {
  if (!test::LeakCheckerBuilt()) GTEST_SKIP() << "no leak checker in this build";
  test::TFuzzRun run = RunnerRun("leak", {RunnerSeed("leak", 'x')}, 2);
  run.Read = [](const std::string& path) {
    // Several blocks, so that a stale copy of one pointer cannot hide them all.
    [[maybe_unused]] static char* volatile lost;
    for (int i = 0; i < 16; ++i) lost = new char[path.size() + 100];
    lost = nullptr;
    return true;
  };
  const test::TFuzzResult result = test::RunFuzz(run);
  EXPECT_EQ(result.Crashes, 2) << FuzzReport(result);
  ASSERT_EQ(result.Findings.size(), 2u);
  EXPECT_NE(result.Findings[0].find("-> leak"), std::string::npos) << result.Findings[0];
}

}  // namespace
}  // namespace vexo

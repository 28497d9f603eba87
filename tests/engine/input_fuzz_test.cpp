// Damaged copies of the generated media and of .asx playlists, read the way
// the player reads them: none may crash or hang. A fixed seed makes every
// run the same; `vexo-bench fuzz N` runs longer.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/playlist/av_playlist.h"
#include "tests/support/fuzz_readers.h"
#include "tests/support/input_fuzz.h"
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
  EXPECT_EQ(result.Crashes + result.Hangs, 0) << FuzzReport(result);
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
  EXPECT_EQ(result.Crashes + result.Hangs, 0) << FuzzReport(result);
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
  EXPECT_EQ(result.Crashes + result.Hangs, 0) << FuzzReport(result);
}

// The runner itself: a reader that dies or never returns is counted, and the
// run goes on.
TEST(FuzzRunnerTest, CountsCrashesAndHangsAndGoesOn) {
  const std::string seed = WorkDir("runner-seed");
  test::WriteBytes(seed, std::vector<uint8_t>(64, 'x'));
  test::TFuzzRun run;
  run.Inputs = {seed};
  run.Cases = 6;
  run.WorkDir = WorkDir("runner");
  run.CaseSeconds = 0.5;
  int calls = 0;
  run.Read = [&calls](const std::string& path) {
    ++calls;
    if (std::filesystem::file_size(path) % 2) std::abort();
    for (;;) pause();
  };
  const test::TFuzzResult result = test::RunFuzz(run);
  EXPECT_EQ(result.Cases, 6);
  EXPECT_EQ(result.Crashes + result.Hangs, 6);
  EXPECT_EQ(result.Findings.size(), 6u);
  EXPECT_EQ(calls, 0) << "the reader ran in this process";
}

}  // namespace
}  // namespace vexo

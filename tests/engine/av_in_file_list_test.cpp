#include "engine/input/av_in_file_list.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "engine/media/av_types.h"
#include "engine/media/media_lib.h"
#include "engine/playback/av_player.h"
#include "engine/playlist/av_playlist.h"
#include "engine/video/av_screen.h"
#include "tests/support/input_fuzz.h"
#include "tests/support/memory_player_host.h"
#include "tests/support/memory_video_system.h"
#include "tests/support/test_in_file.h"
#include "tests/support/test_media.h"

namespace vexo {
namespace {

constexpr TScreenSize kScreen{1920, 1080};

class FileListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::LoadMediaLib();
    AVParams = DefaultAVParams;
  }
  void TearDown() override { AVParams = DefaultAVParams; }

  // Opens the fixtures as one list; paths given with a '/' are taken as they stand.
  std::unique_ptr<TAVInFileList> Open(const std::vector<std::string>& names,
                                      TScreenSize screen = kScreen, bool fit = true,
                                      bool gapless = true) {
    TAVPlayList playList;
    for (const std::string& name : names)
      playList.Add(name.find('/') == std::string::npos ? test::MediaPath(name) : name);
    auto list =
        std::make_unique<TAVInFileList>(playList, screen, fit, gapless, true, error, errorFile,
                                        [this](TAVInFileList&, int32_t stage, int32_t index) {
                                          progress.emplace_back(stage, index);
                                        });
    return list;
  }

  std::string error, errorFile;
  std::vector<std::pair<int32_t, int32_t>> progress;
};

TEST_F(FileListTest, TwoFilesOf250FramesMakeOneTimeline) {
  auto list = Open({"frames250.avi", "frames250.avi"});
  ASSERT_EQ(error, "");
  EXPECT_EQ(list->StartFrames, (std::vector<int32_t>{0, 250}));
  EXPECT_EQ(list->StartMs, (std::vector<int32_t>{0, 10000}));
  EXPECT_EQ(list->TotalFrames, 500);
  EXPECT_FLOAT_EQ(list->TotalMs, 20000);

  struct Case {
    int32_t frame, ms;
  };
  for (Case c : {Case{0, 0}, Case{1, 40}, Case{249, 9960}, Case{250, 10000}, Case{260, 10400},
                 Case{499, 19960}})
    EXPECT_EQ(list->FrameToMs(c.frame), c.ms) << c.frame;
  // A time on a join belongs to the end of the file before it.
  for (Case c : {Case{0, 0}, Case{0, 39}, Case{1, 40}, Case{249, 9999}, Case{250, 10000},
                 Case{250, 10001}, Case{251, 10040}, Case{499, 19960}})
    EXPECT_EQ(list->MsToFrame(c.ms), c.frame) << c.ms;
  for (auto [frame, file] : {std::pair{0, 0}, {249, 0}, {250, 1}, {499, 1}, {600, 1}})
    EXPECT_EQ(list->FileIndexOfFrame(frame), file) << frame;
}

TEST_F(FileListTest, FramesToMillisecondsAtRatesThatAreNotWhole) {
  // 45 frames at 29.97 fps last 1501.5 ms; the next file starts at the rounded time.
  auto list = Open({"gl_1000_22050_mono.mov", "frames250.avi"});
  ASSERT_EQ(error, "");
  EXPECT_EQ(list->StartFrames, (std::vector<int32_t>{0, 45}));
  EXPECT_EQ(list->StartMs[1], 1502);
  EXPECT_EQ(list->FrameToMs(30), 1001);  // 30 / 29.97 s, whole
  EXPECT_EQ(list->FrameToMs(45), 1502);
  EXPECT_EQ(list->MsToFrame(1502), 45);
  EXPECT_EQ(list->MsToFrame(1503), 45);
}

TEST_F(FileListTest, ReportsProgressOfEveryFileThenOfTheWhole) {
  auto list = Open({"frames250.avi", "gl_silent_24fps.avi", "photo_640x480.jpg"});
  ASSERT_EQ(error, "");
  const std::vector<std::pair<int32_t, int32_t>> expected{
      {lpStarting, 2},   {lpFileOpened, 1}, {lpFileOpened, 2},
      {lpFileOpened, 3}, {lpAllOpened, 0},  {lpConvertersReady, 0}};
  EXPECT_EQ(progress, expected);

  progress.clear();
  auto single = Open({"frames250.avi"});
  EXPECT_TRUE(progress.empty());
}

TEST_F(FileListTest, ACancelFromTheProgressEventOpensNoFurtherFile) {
  struct Case {
    int32_t stage, index;  // the report that cancels
    int32_t opened;
  };
  for (Case c : {Case{lpStarting, 2, 0}, Case{lpFileOpened, 2, 2}}) {
    TAVPlayList playList;
    for (const char* name : {"frames250.avi", "gl_silent_24fps.avi", "mpeg4_mp3.avi"})
      playList.Add(test::MediaPath(name));
    progress.clear();
    TAVInFileList list(playList, kScreen, true, true, true, error, errorFile,
                       [&](TAVInFileList& l, int32_t stage, int32_t index) {
                         progress.emplace_back(stage, index);
                         if (stage == c.stage && index == c.index) l.CancelOpening();
                       });
    EXPECT_EQ(error, TAVInFileList::kOpenCancelled) << c.opened;
    EXPECT_EQ(list.Count, c.opened);
    EXPECT_EQ(list.Files.size(), size_t(c.opened));
    EXPECT_EQ(progress.back(), std::make_pair(c.stage, c.index));
  }
}

// An entry that cannot be opened (damaged, missing, not media) is left out
// with its error and the rest of the list opens; the timeline has no trace
// of it.
TEST_F(FileListTest, AnEntryThatCannotBeOpenedIsLeftOutAndTheRestOpens) {
  std::string alone;
  test::OpenFixture("not_media.avi", alone);
  ASSERT_NE(alone, "");
  const std::string randomBytes = ::testing::TempDir() + "vexo-random-bytes.mp4";
  {
    std::vector<uint8_t> bytes(300 * 1024);
    uint32_t x = 12345;
    for (uint8_t& b : bytes) b = uint8_t((x = x * 1664525u + 1013904223u) >> 24);
    test::WriteBytes(randomBytes, bytes);
  }

  struct Case {
    std::string entry;
    std::string error;
  };
  const Case cases[] = {
      {test::MediaPath("not_media.avi"), alone},
      {randomBytes, ""},
      {"/no/such/folder/missing.avi", "ErrorCode -2 on av_open_input_file"},
      {test::MediaPath("setup.EXE"), "not a video file"},
      {test::MediaPath("audio_only.mp3"), "No video stream found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    progress.clear();
    auto list = Open({"frames250.avi", "gl_silent_24fps.avi", c.entry, "mpeg4_mp3.avi"});
    EXPECT_EQ(error, "");
    EXPECT_EQ(errorFile, "");
    ASSERT_EQ(list->Count, 3);
    ASSERT_EQ(list->Files.size(), 3u);
    ASSERT_EQ(list->LeftOut.size(), 1u);
    EXPECT_EQ(list->LeftOut[0].Entry, 2);
    EXPECT_EQ(list->LeftOut[0].Path, c.entry);
    if (!c.error.empty()) {
      EXPECT_EQ(list->LeftOut[0].Error, c.error);
    }
    EXPECT_NE(list->LeftOut[0].Error, "");
    EXPECT_EQ(list->File(2).FileName, test::MediaPath("mpeg4_mp3.avi"));
    for (int32_t i = 0; i < 3; ++i) {
      EXPECT_EQ(list->File(i).FileIndex, i);
      EXPECT_EQ(list->File(i).FileCount, 3);
    }
    EXPECT_EQ(list->StartFrames.size(), 3u);
    EXPECT_EQ(list->TotalFrames, list->StartFrames[2] + int32_t(list->File(2).Video.FrameCount));
    const std::vector<std::pair<int32_t, int32_t>> expected{
        {lpStarting, 3},   {lpFileOpened, 1}, {lpFileOpened, 2},     {lpFileFailed, 0},
        {lpFileOpened, 4}, {lpAllOpened, 0},  {lpConvertersReady, 0}};
    EXPECT_EQ(progress, expected);
  }
}

// Only a list of which no entry opens fails, with its first entry's error.
TEST_F(FileListTest, AListOfWhichNothingOpensFailsWithTheFirstError) {
  auto list = Open({"not_media.avi", "/no/such/folder/missing.avi"});
  EXPECT_NE(error, "");
  EXPECT_EQ(errorFile, "not_media.avi");
  EXPECT_EQ(list->Count, 0);
  EXPECT_TRUE(list->LeftOut.empty());
}

// Open descriptors of this process.
int OpenDescriptors() {
  int count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
    ++count;
  return count;
}

// A list far longer than the descriptors a process may hold opens, plays
// across its files, seeks to its end and back, and keeps only the files near
// the play position open. Runs in a child process whose limit is lowered.
TEST_F(FileListTest, AListLongerThanTheDescriptorLimitOpensAndPlays) {
  constexpr int kEntries = 1100;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const rlimit limit{256, 256};
    setrlimit(RLIMIT_NOFILE, &limit);
    TAVPlayList playList;
    for (int i = 0; i < kEntries; ++i)
      playList.Add(test::MediaPath(i % 2 ? "gl_silent_24fps.avi" : "gl_440_44100_stereo.avi"));
    test::TMemoryVideoSystem videos;
    test::TMemoryHost host;
    TAVPlayer player(host);
    player.OpenPlayList(&playList, vmRaster);
    if (!player.IsOpen() || player.FileCount() != kEntries) _exit(1);
    if (OpenDescriptors() > 40) _exit(2);
    const int32_t frames = int32_t(player.TotalFrames());
    for (int32_t frame : {frames - 1, frames / 2, 75, 0}) {
      player.SeekToFrame(frame);
      if (player.ErrorCode() != peNone || player.Position() != frame) _exit(3);
    }
    // Through the first files on both sides, as playback goes.
    TAVInFileList& list = *player.List();
    uint8_t* out = nullptr;
    int32_t count = 0;
    for (int i = 0; i < 400; ++i) {
      if (list.DecodeVideo(*player.Screen(), dfShow) != drPicture) _exit(4);
      while (list.AudioTrack[0].AudioFile <= list.CurFile && list.DecodeAudio(out, count, 0) == 0) {
      }
    }
    if (list.CurFile < 10 || OpenDescriptors() > 40) _exit(5);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the child died";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(FileListTest, PlaysAllSoundInTheHighestRateAndChannelCount) {
  struct Case {
    std::vector<std::string> names;
    int32_t rate, channels;
    // Per file: has a converter; shares the previous file's converter.
    std::vector<std::pair<bool, bool>> converters;
  };
  const Case cases[] = {
      {{"gl_440_44100_stereo.avi", "gl_1000_22050_mono.mov"},
       44100,
       2,
       {{false, false}, {true, false}}},
      {{"gl_1000_22050_mono.mov", "gl_1000_22050_mono.mov", "gl_440_44100_stereo.avi",
        "gl_1000_22050_mono.mov"},
       44100,
       2,
       {{true, false}, {true, true}, {false, false}, {true, false}}},
      {{"gl_1000_22050_mono.mov", "gl_2500_48000_stereo.mov", "gl_440_44100_stereo.avi"},
       48000,
       2,
       {{true, false}, {false, false}, {true, false}}},
      // Silence is made in the output format and needs no converter.
      {{"gl_silent_24fps.avi", "gl_1000_22050_mono.mov", "photo_640x480.jpg"},
       22050,
       1,
       {{false, false}, {false, false}, {false, false}}},
  };
  for (const Case& c : cases) {
    auto list = Open(c.names);
    ASSERT_EQ(error, "");
    ASSERT_TRUE(list->HasAudio);
    EXPECT_EQ(list->OutRate, c.rate);
    EXPECT_EQ(list->OutChannels, c.channels);
    EXPECT_EQ(list->AudioTrack[0].MaxRate, c.rate);
    EXPECT_EQ(list->AudioTrack[0].MaxChannels, c.channels);
    for (int32_t i = 0; i < list->Count; ++i) {
      const TAVInFile& file = list->File(i);
      EXPECT_EQ(file.AudioResample != nullptr, c.converters[size_t(i)].first) << c.names[size_t(i)];
      if (i > 0 && file.AudioResample) {
        EXPECT_EQ(file.AudioResample == list->File(i - 1).AudioResample,
                  c.converters[size_t(i)].second)
            << c.names[size_t(i)];
      }
    }
  }
}

TEST_F(FileListTest, AFileWithoutSoundGetsASilentTrackOfTheOutputFormat) {
  auto list = Open({"gl_silent_24fps.avi", "gl_440_44100_stereo.avi"});
  ASSERT_EQ(error, "");
  const TAVInFile& silent = list->File(0);
  EXPECT_EQ(silent.AudioCount, 0);
  EXPECT_EQ(silent.Audio[0].SampleRate, 44100);
  EXPECT_EQ(silent.Audio[0].Channels, 2);
  EXPECT_FLOAT_EQ(silent.Audio[0].TicksPerSecond, 44100);
  EXPECT_FLOAT_EQ(silent.Audio[0].TicksPerFrame, 44100.0f / 24);
  EXPECT_EQ(silent.AudioResample, nullptr);

  auto mute = Open({"gl_silent_24fps.avi", "photo_640x480.jpg"});
  EXPECT_FALSE(mute->HasAudio);
  EXPECT_EQ(mute->OutRate, 0);
  EXPECT_EQ(mute->File(0).Audio[0].SampleRate, 0);
}

struct FrameSizeCase {
  const char* name;
  TScreenSize screen;
  bool gapless;
  uint8_t videoMode;
  uint8_t videoSizePreset;
  float aspect;
  int32_t width, height;
};

class FrameSizeTest : public FileListTest, public ::testing::WithParamInterface<FrameSizeCase> {};

TEST_P(FrameSizeTest, FitsTheFilesToTheScreenAspectWithinTheirOwn) {
  const FrameSizeCase& c = GetParam();
  AVParams.VideoMode = c.videoMode;
  AVParams.VideoSizePreset = c.videoSizePreset;
  auto list = Open({"size_640x480.avi", "size_1280x720.avi"}, c.screen, true, c.gapless);
  ASSERT_EQ(error, "");
  EXPECT_NEAR(list->FrameAspect, c.aspect, 1e-4);
  EXPECT_EQ(list->FrameWidth, c.width);
  EXPECT_EQ(list->FrameHeight, c.height);
  EXPECT_NEAR(list->FramePixelAspect, float(c.height) * c.aspect / float(c.width), 0.01);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FrameSizeTest,
    ::testing::Values(
        FrameSizeCase{
            "screen_16_10_lies_between", {1680, 1050}, true, vmXVideo, spNone, 1.6f, 1280, 800},
        FrameSizeCase{"screen_5_4_takes_the_narrowest",
                      {1280, 1024},
                      true,
                      vmXVideo,
                      spNone,
                      4.0f / 3,
                      1280,
                      960},
        FrameSizeCase{"screen_21_9_takes_the_widest",
                      {2560, 1080},
                      true,
                      vmXVideo,
                      spNone,
                      16.0f / 9,
                      1280,
                      720},
        FrameSizeCase{"not_gapless_takes_the_current_file",
                      {1680, 1050},
                      false,
                      vmXVideo,
                      spNone,
                      4.0f / 3,
                      640,
                      480},
        FrameSizeCase{
            "capped_by_the_video_preset", {1680, 1050}, true, vmXVideo, sp320x240, 1.6f, 384, 240},
        // 1280 / 1.65 = 775.76: planar surfaces need an even height, raster ones do not.
        FrameSizeCase{
            "planar_height_is_even", {1650, 1000}, true, vmXVideo, spNone, 1.65f, 1280, 774},
        FrameSizeCase{
            "raster_height_may_be_odd", {1650, 1000}, true, vmRaster, spNone, 1.65f, 1280, 775}),
    [](const auto& info) { return info.param.name; });

TEST_F(FileListTest, PhotosOpenedWithoutProbingDoNotWidenTheAspectRange) {
  auto list = Open({"size_640x480.avi", "photo_1024x768.jpg", "photo_640x480.jpg"},
                   TScreenSize{1000, 1000});
  ASSERT_EQ(error, "");
  EXPECT_EQ(list->File(2).StreamsInfoOK, 0);  // taken as its predecessor until it plays
  EXPECT_NEAR(list->MinAspect, 4.0f / 3, 1e-4);
  EXPECT_NEAR(list->FrameAspect, 4.0f / 3, 1e-4);
}

TEST_F(FileListTest, WithoutFitTheFrameIsTheEncoderPicture) {
  auto list = Open({"size_640x480.avi", "size_1280x720.avi"}, kScreen, false);
  ASSERT_EQ(error, "");
  EXPECT_EQ(list->FrameWidth, EncodeParams.Width);
  EXPECT_EQ(list->FrameHeight, EncodeParams.Height);
  EXPECT_NEAR(list->FrameAspect, float(EncodeParams.AspectNum) / EncodeParams.AspectDen, 1e-6);
  EXPECT_EQ(list->MaxVideoWidth, 1280);
  EXPECT_EQ(list->BiggestWidth, 1280);
  EXPECT_EQ(list->BiggestHeight, 720);
}

TEST_F(FileListTest, RendersTheCurrentPictureIntoABitmapOfTheAskedShape) {
  struct Case {
    const char* name;
    bool fit;
    int32_t width;
    float aspect;
    int32_t height;
    int32_t bitmapWidth, bitmapHeight;
    int32_t bandWidth;  // columns left of the picture
  };
  const Case cases[] = {
      {"the frame as it is", true, 0, 0, 0, 160, 120, 0},
      {"4:3 inside 16:9", true, 320, 16.0f / 9, 180, 320, 180, 40},
      // 720 x 480 shown at 4:3 has narrow pixels: square ones need 720 x 540.
      {"square pixels for the encoder frame", false, 0, 0, 0, 720, 540, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto list = Open({"gl_440_44100_stereo.avi"}, kScreen, c.fit);
    ASSERT_EQ(error, "");
    TBitmap32 bitmap;
    EXPECT_FALSE(list->RenderToBitmap(bitmap, c.width, c.aspect, c.height));  // nothing decoded
    TAVScreen screen(list->FrameWidth, list->FrameHeight, vmRaster, nullptr, 0, true, 0, 0,
                     list->FrameWidth, list->FrameHeight, list->FrameAspect);
    ASSERT_EQ(list->DecodeVideo(screen, dfShow), drPicture);
    ASSERT_TRUE(list->RenderToBitmap(bitmap, c.width, c.aspect, c.height));
    ASSERT_EQ(bitmap.Width, c.bitmapWidth);
    ASSERT_EQ(bitmap.Height, c.bitmapHeight);
    ASSERT_EQ(bitmap.Pixels.size(), size_t(bitmap.Stride()) * size_t(bitmap.Height));
    // Frame 0: black bars in the top half, grey below; rows are stored bottom-up.
    auto green = [&](int32_t x, int32_t yFromTop) {
      return int(bitmap.Pixels[size_t(bitmap.Height - 1 - yFromTop) * size_t(bitmap.Stride()) +
                               size_t(x) * 4 + 1]);
    };
    const int32_t middle = bitmap.Width / 2;
    EXPECT_LT(green(middle, bitmap.Height / 4), 40);
    EXPECT_NEAR(green(middle, bitmap.Height * 3 / 4), 128, 12);
    if (c.bandWidth > 0) {
      EXPECT_EQ(green(c.bandWidth / 2, bitmap.Height * 3 / 4), green(c.bandWidth / 2, 0));
      EXPECT_NEAR(green(c.bandWidth + 4, bitmap.Height * 3 / 4), 128, 12);
    }
  }
}

}  // namespace
}  // namespace vexo

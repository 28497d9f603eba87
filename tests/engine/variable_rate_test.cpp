// Clips whose picture rate changes midway: every picture is numbered by its
// place in presentation order and timed by its own stamp, as ffmpeg shows it.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "engine/input/av_in_file_list.h"
#include "engine/media/av_types.h"
#include "engine/playback/av_player.h"
#include "engine/playlist/av_playlist.h"
#include "engine/video/av_screen.h"
#include "tests/support/decode_rig.h"
#include "tests/support/frame_bars.h"
#include "tests/support/memory_player_host.h"
#include "tests/support/memory_video_system.h"
#include "tests/support/test_media.h"

namespace vexo {
namespace {

// Runs a command and returns what it printed.
std::string Output(const std::string& command) {
  std::string text;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return text;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) text.append(buffer, n);
  pclose(pipe);
  return text;
}

// The number on the picture that `ffmpeg -ss seconds` puts out first: the
// first picture that starts at or after that time.
int FfmpegNumberAt(const std::string& path, double seconds) {
  const std::string gray = Output("ffmpeg -v error -nostdin -ss " + std::to_string(seconds) +
                                  " -i '" + path + "' -frames:v 1 -f rawvideo -pix_fmt gray -");
  const int width = 160, height = 120;
  if (gray.size() < size_t(width * height)) return -1;
  return test::FrameNumberFromBars(
      width, height, [&](int x, int y) { return uint8_t(gray[size_t(y * width + x)]); });
}

// Presentation times of the clip's pictures in ms, as ffprobe lists them.
std::vector<double> FfprobeTimesMs(const std::string& path) {
  std::vector<double> times;
  const std::string text = Output(
      "ffprobe -v error -select_streams v -show_entries frame=pts_time -of csv=p=0 '" + path + "'");
  for (size_t at = 0; at < text.size();) {
    const size_t end = text.find('\n', at);
    const std::string line = text.substr(at, end - at);
    if (!line.empty()) times.push_back(std::stod(line) * 1000.0);
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return times;
}

struct TClip {
  const char* Name;
  int32_t Pictures;
  int32_t LengthMs;
};

void PrintTo(const TClip& clip, std::ostream* out) {
  *out << clip.Name;
}

// 30, 10 and 15 pictures a second; 5 and then 30.
const TClip kClips[] = {{"vfr_three_rates.mp4", 75, 4000},
                        {"vfr_three_rates.mkv", 75, 4000},
                        {"vfr_slow_start.mp4", 53, 3000},
                        {"vfr_slow_start.mkv", 53, 3000}};

class VariableRate : public ::testing::TestWithParam<TClip> {
 protected:
  void SetUp() override {
    test::LoadMediaLib();
    AVParams = DefaultAVParams;
    player = std::make_unique<TAVPlayer>(host);
  }
  void TearDown() override {
    player.reset();
    AVParams = DefaultAVParams;
  }
  void Open(const std::vector<std::string>& names) {
    list.Clear();
    for (const std::string& name : names) list.Add(test::MediaPath(name));
    player->OpenPlayList(&list, vmRaster);
  }

  test::TMemoryVideoSystem videos;
  test::TMemoryHost host;
  TAVPlayList list;
  std::unique_ptr<TAVPlayer> player;
};

// Dragging the position bar to a time and letting go shows the picture on
// show at that time, and the sound goes on from that picture's time.
TEST_P(VariableRate, SeekingToATimeShowsThePictureFfmpegShowsThere) {
  const TClip& clip = GetParam();
  const std::string path = test::MediaPath(clip.Name);
  Open({clip.Name});
  ASSERT_TRUE(player->IsOpen()) << player->ErrorText();
  EXPECT_EQ(player->TotalFrames(), clip.Pictures);
  EXPECT_NEAR(double(player->TotalDurationMs()), clip.LengthMs, 1.0);
  for (double seconds : {0.1, 0.55, 1.2, 1.45, 1.62, 2.05, 2.5, 2.96, 3.25, 3.7}) {
    if (seconds * 1000 >= clip.LengthMs) continue;
    SCOPED_TRACE(seconds);
    const int32_t ms = int32_t(seconds * 1000);
    player->SetState(psTracking);
    player->SeekMs(ms);
    player->SetState(psPaused);
    ASSERT_EQ(player->ErrorCode(), peNone) << player->ErrorText();
    const int32_t shown = test::ReadFrameNumber(*player->Screen());
    const int ffmpeg = FfmpegNumberAt(path, seconds);
    // ffmpeg puts out the next picture unless one starts right at the time.
    EXPECT_TRUE(shown == ffmpeg || shown == ffmpeg - 1) << shown << " vs ffmpeg " << ffmpeg;
    EXPECT_EQ(player->Position(), shown);
    EXPECT_LE(player->FrameToMs(shown), ms);
    EXPECT_GT(player->FrameToMs(shown + 1), ms);
    const TAVInFile& file = player->List()->File(0);
    const double soundMs = double(file.Audio[0].SkipTicks) * 1000 / file.Audio[0].TicksPerSecond;
    EXPECT_NEAR(soundMs, double(player->FrameToMs(shown)), 1.0);
  }
}

// Seeks by picture index land on that picture, and each picture is timed by
// its own stamp: the timeline's millisecond of every picture is ffprobe's.
TEST_P(VariableRate, EveryPictureKeepsItsPlaceAndItsOwnTime) {
  const TClip& clip = GetParam();
  const std::vector<double> times = FfprobeTimesMs(test::MediaPath(clip.Name));
  ASSERT_EQ(int32_t(times.size()), clip.Pictures);
  Open({clip.Name});
  ASSERT_TRUE(player->IsOpen()) << player->ErrorText();
  for (int32_t frame : {clip.Pictures - 1, 3, 44, 46, 20, 50, 0}) {
    SCOPED_TRACE(frame);
    player->SeekToFrame(frame);
    EXPECT_EQ(player->Position(), frame);
    EXPECT_EQ(test::ReadFrameNumber(*player->Screen()), frame);
  }
  for (int32_t frame = 0; frame < clip.Pictures; ++frame)
    EXPECT_NEAR(double(player->FrameToMs(frame)), times[size_t(frame)] - times[0], 1.0) << frame;

  // Decoded from the start, every picture comes in its place.
  test::TDecodeRig rig(160, 120);
  auto file = rig.Open(clip.Name);
  ASSERT_TRUE(file->VariableRate());
  for (int32_t frame = 0; frame < clip.Pictures; ++frame) {
    ASSERT_EQ(file->DecodeVideo(*rig.Screen, nullptr, dfShow, frame == 0), drPicture) << frame;
    ASSERT_EQ(file->Video.FramePos, frame + 1);
    ASSERT_EQ(test::ReadFrameNumber(*rig.Screen), frame);
  }
}

INSTANTIATE_TEST_SUITE_P(Clips, VariableRate, ::testing::ValuesIn(kClips),
                         [](const auto& info) { return test::TestName(info.param.Name); });

// A variable-rate clip between constant-rate files and a photo: its pictures
// keep their own times inside the timeline, the files after it start where it
// ends, and it is found again after the list closed it while far away.
TEST_F(VariableRate, AMixedTimelineSeeksIntoEveryFileByTime) {
  Open({"numbered_mpeg4.avi", "photo_640x480.jpg", "gl_440_44100_stereo.avi", "vfr_slow_start.mkv",
        "numbered_mpeg4_1000.avi"});
  ASSERT_TRUE(player->IsOpen()) << player->ErrorText();
  const TAVInFileList& timeline = *player->List();
  ASSERT_EQ(timeline.Count, 5);
  EXPECT_TRUE(timeline.File(3).VariableRate());
  EXPECT_NEAR(timeline.StartMs[4], timeline.StartMs[3] + 3000, 1);
  EXPECT_EQ(player->FrameToMs(timeline.StartFrames[4]), timeline.StartMs[4]);
  EXPECT_NEAR(double(player->TotalDurationMs()), timeline.StartMs[4] + 4000.0, 1.0);
  const std::string vfr = test::MediaPath("vfr_slow_start.mkv");
  struct TLanding {
    int32_t File;
    double Seconds;  // into the file
    int Number;      // -1: the one ffmpeg shows there
  };
  for (const TLanding& to : {TLanding{3, 1.55, -1}, TLanding{4, 0.1, 1002}, TLanding{3, 0.5, -1},
                             TLanding{0, 2.0, 50}, TLanding{3, 2.7, -1}}) {
    SCOPED_TRACE(to.File * 100 + to.Seconds);
    player->SetState(psTracking);
    player->SeekMs(timeline.StartMs[size_t(to.File)] + int32_t(to.Seconds * 1000));
    player->SetState(psPaused);
    ASSERT_EQ(player->ErrorCode(), peNone) << player->ErrorText();
    EXPECT_EQ(timeline.CurFile, to.File);
    const int32_t shown = test::ReadFrameNumber(*player->Screen());
    if (to.Number >= 0) {
      EXPECT_EQ(shown, to.Number);
    } else {
      const int ffmpeg = FfmpegNumberAt(vfr, to.Seconds);
      EXPECT_TRUE(shown == ffmpeg || shown == ffmpeg - 1) << shown << " vs ffmpeg " << ffmpeg;
      EXPECT_EQ(player->Position() - timeline.StartFrames[3], shown);
    }
  }
}

// A file whose pictures one rate places keeps numbering by that rate alone.
TEST(ConstantRate, KeepsNumberingByItsRate) {
  test::LoadMediaLib();
  test::TDecodeRig rig;
  for (const char* name : {"numbered_h264.mp4", "gl_3000_ac3_51.mkv", "numbered_flv1.flv",
                           "gl_2000_opus_vp9.webm", "numbered_mpeg4.avi"}) {
    auto file = rig.Open(name);
    EXPECT_FALSE(file->VariableRate()) << name;
  }
}

}  // namespace
}  // namespace vexo

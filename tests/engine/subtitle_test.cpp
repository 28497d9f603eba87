// Subtitles: the time-ordered event store, the tracks a file offers, and the
// text drawn into the converted picture in every frame-buffer layout, in step
// with the picture across seeks and the join of two files.
#include <gtest/gtest.h>

#include <string>

#include "engine/input/av_frame_seek.h"
#include "engine/input/av_in_file.h"
#include "engine/input/av_in_file_list.h"
#include "engine/input/subtitle_set.h"
#include "engine/playback/av_player.h"
#include "engine/playlist/av_playlist.h"
#include "engine/video/av_screen.h"
#include "tests/support/decode_rig.h"
#include "tests/support/media_test.h"
#include "tests/support/memory_player_host.h"
#include "tests/support/memory_video_system.h"
#include "tests/support/test_in_file.h"
#include "tests/support/test_media.h"

namespace vexo {
namespace {

constexpr int64_t kOpen = INT64_MAX;

TSubtitleEvent Event(int64_t start, int64_t end, const std::string& text) {
  TSubtitleEvent event;
  event.StartMs = start;
  event.EndMs = end;
  event.Line = "0,Default,,0,0,0,," + text;
  return event;
}

std::string Shown(const TSubtitleStore& store, int64_t ms) {
  std::string texts;
  for (const TSubtitleEvent* event : store.At(ms))
    texts += (texts.empty() ? "" : "+") + event->Line.substr(event->Line.rfind(',') + 1);
  return texts;
}

TEST(SubtitleStoreTest, AnEventShowsFromItsStartUpToItsEndAndOpenOnesUntilTheNext) {
  TSubtitleStore store;
  // Added out of order, as a seek back reads an earlier stretch later.
  store.Add(Event(4000, 5000, "B"));
  store.Add(Event(1000, 2500, "A"));
  store.Add(Event(2000, 3000, "C"));
  store.Add(Event(7000, kOpen, "D"));
  store.Add(Event(9000, kOpen, "E"));
  const struct {
    int64_t Ms;
    const char* Texts;
  } cases[] = {{999, ""},   {1000, "A"}, {2000, "A+C"}, {2499, "A+C"}, {2500, "C"}, {3000, ""},
               {4999, "B"}, {5000, ""},  {7000, "D"},   {8999, "D"},   {9000, "E"}, {99999, "E"}};
  for (const auto& c : cases) EXPECT_EQ(Shown(store, c.Ms), c.Texts) << c.Ms;
}

TEST(SubtitleStoreTest, TheSameEventReadAgainAfterASeekIsKeptOnce) {
  TSubtitleStore store;
  EXPECT_TRUE(store.Add(Event(1000, 2500, "A")));
  EXPECT_TRUE(store.Add(Event(4000, 5000, "B")));
  EXPECT_FALSE(store.Add(Event(1000, 2500, "A")));
  // Another line at the same time is another event.
  EXPECT_TRUE(store.Add(Event(1000, 2500, "Z")));
  EXPECT_EQ(store.Events().size(), 3u);
  EXPECT_EQ(Shown(store, 1500), "A+Z");
  // Serial numbers follow arrival, whatever the place in time.
  EXPECT_EQ(store.Events()[0].Serial, 1u);
  EXPECT_EQ(store.Events()[1].Serial, 3u);
  EXPECT_EQ(store.Version(), 3u);
}

class SubtitleFileTest : public test::TMediaTest {};

// The tracks each fixture offers and the one shown at first: a track inside
// the file when it is marked default or forced, a sidecar always.
TEST_F(SubtitleFileTest, EveryTextFormatIsListedReadWholeAndChosenByItsMarks) {
  const struct {
    const char* File;
    const char* Codec;
    bool Sidecar;
    int32_t Choice;
  } cases[] = {
      {"subs_srt.mkv", "subrip", false, 0},          {"subs_movtext.mp4", "mov_text", false, 0},
      {"subs_webvtt.mkv", "webvtt", false, 0},       {"subs_ass_red.mkv", "ass", false, 0},
      {"subs_not_default.mkv", "subrip", false, -1}, {"subs_sidecar.mp4", "subrip", true, 0},
  };
  for (const auto& c : cases) {
    std::string error;
    auto file = test::OpenFixture(c.File, error);
    ASSERT_EQ(error, "") << c.File;
    ASSERT_TRUE(file->Subtitles) << c.File;
    const auto& tracks = file->Subtitles->Tracks();
    ASSERT_EQ(tracks.size(), 1u) << c.File;
    const TSubtitleTrack& track = *tracks[0];
    EXPECT_EQ(track.CodecName, c.Codec) << c.File;
    EXPECT_EQ(track.Sidecar, c.Sidecar) << c.File;
    EXPECT_TRUE(track.Text) << c.File;
    EXPECT_TRUE(track.Complete) << c.File;
    EXPECT_EQ(file->Subtitles->Choice(), c.Choice) << c.File;
    const int64_t first = 1000;
    EXPECT_EQ(track.Store.At(first - 1).size(), 0u) << c.File;
    EXPECT_EQ(track.Store.At(first).size(), 1u) << c.File;
    EXPECT_EQ(track.Store.At(2499).size(), 1u) << c.File;
    EXPECT_EQ(track.Store.At(2500).size(), 0u) << c.File;
  }
  std::string error;
  auto french = test::OpenFixture("subs_not_default.mkv", error);
  EXPECT_EQ(french->Subtitles->Tracks()[0]->Language, "fre");
}

TEST_F(SubtitleFileTest, DamagedSubtitlesNeverStopThePicture) {
  for (const char* name : {"subs_noise.mp4", "subs_damaged.mkv", "subs_damaged.mp4"}) {
    test::TDecodeRig rig;
    auto file = rig.Open(name);
    ASSERT_TRUE(file) << name;
    for (int64_t frame : {0, 30, 110, 40})
      EXPECT_EQ(SeekFileToFrame(*file, *rig.Screen, frame, false), 0) << name << " " << frame;
  }
}

// Bright pixels of the converted picture: the white text on black.
int32_t BrightPixels(const TAVScreen& screen) {
  int32_t count = 0;
  for (int32_t y = 0; y < screen.Ovr_Height; ++y)
    for (int32_t x = 0; x < screen.Ovr_Width; ++x) {
      uint8_t level;
      if (screen.FFourCC == FCC_ARGB)
        level = screen.FFrameBuf[size_t(y) * size_t(screen.FFrameStride) + 4 * size_t(x) + 1];
      else if (screen.FFourCC == FCC_UYVY)
        level = screen.FFrameBuf[size_t(y) * size_t(screen.FFrameLineBytes) + 2 * size_t(x) + 1];
      else if (screen.FFourCC == FCC_YUY2)
        level = screen.FFrameBuf[size_t(y) * size_t(screen.FFrameLineBytes) + 2 * size_t(x)];
      else
        level = screen.FFrameBuf[size_t(y) * size_t(screen.FFrameLineBytes) + size_t(x)];
      count += level > 150;
    }
  return count;
}

// A file too large to read through at opening: its events come as the
// pictures are read, and reading a stretch again after a seek adds nothing.
TEST_F(SubtitleFileTest, ALargeFileCollectsItsEventsAsItIsReadAndKeepsThemAcrossSeeks) {
  const int64_t saved = SubtitleReadWholeBytes;
  SubtitleReadWholeBytes = 0;
  test::TDecodeRig rig;
  auto file = rig.Open("subs_srt.mkv");
  SubtitleReadWholeBytes = saved;
  ASSERT_TRUE(file);
  const TSubtitleTrack& track = *file->Subtitles->Tracks()[0];
  EXPECT_FALSE(track.Complete);
  EXPECT_TRUE(track.Store.Events().empty());
  for (int pass = 0; pass < 2; ++pass) {
    ASSERT_EQ(SeekFileToFrame(*file, *rig.Screen, 0, false), 0);
    while (file->Video.FramePos < 140)
      ASSERT_EQ(file->DecodeVideo(*rig.Screen, nullptr, dfShow, 0), drPicture);
  }
  EXPECT_EQ(track.Store.Events().size(), 2u);
  // Back into the first line from past it: the line is known already.
  ASSERT_EQ(SeekFileToFrame(*file, *rig.Screen, 50, false), 0);
  EXPECT_GT(BrightPixels(*rig.Screen), 50);
}

struct TModeCase {
  uint8_t Mode;
  const char* File;
};

class SubtitleDrawTest : public test::TMediaTest,
                         public ::testing::WithParamInterface<TModeCase> {};

// The text shows on the pictures of its time and on no other, whichever way
// the picture is reached, and goes when the track is switched off.
TEST_P(SubtitleDrawTest, TheTextIsOnThePicturesOfItsTimeOnly) {
  test::TDecodeRig rig(320, 240, GetParam().Mode);
  auto file = rig.Open(GetParam().File);
  ASSERT_TRUE(file);
  // Frames at 25 a second: 1.5 s, 3 s, 4.5 s, back to 1.04 s, then 0.96 s.
  const struct {
    int64_t Frame;
    bool Text;
  } steps[] = {{37, true}, {75, false}, {112, true}, {26, true}, {24, false}, {62, true}};
  for (const auto& step : steps) {
    ASSERT_EQ(SeekFileToFrame(*file, *rig.Screen, step.Frame, false), 0) << step.Frame;
    if (step.Text)
      EXPECT_GT(BrightPixels(*rig.Screen), 50) << step.Frame;
    else
      EXPECT_EQ(BrightPixels(*rig.Screen), 0) << step.Frame;
  }
  file->Subtitles->SetChoice(-1);
  ASSERT_TRUE(file->ShowDecodedPicture(*rig.Screen));
  EXPECT_EQ(BrightPixels(*rig.Screen), 0);
  file->Subtitles->SetChoice(0);
  ASSERT_TRUE(file->ShowDecodedPicture(*rig.Screen));
  EXPECT_GT(BrightPixels(*rig.Screen), 50);
}

std::string LayoutName(const ::testing::TestParamInfo<TModeCase>& info) {
  static const char* const modes[] = {"XVideo", "GLShader", "Raster", "GLTexture", "GLTextureArgb"};
  return std::string(info.param.Mode < 5 ? modes[info.param.Mode] : "Mode") + "_" +
         test::TestName(info.param.File);
}

INSTANTIATE_TEST_SUITE_P(Layouts, SubtitleDrawTest,
                         ::testing::Values(TModeCase{vmRaster, "subs_srt.mkv"},
                                           TModeCase{vmXVideo, "subs_movtext.mp4"},
                                           TModeCase{vmGLShader, "subs_webvtt.mkv"},
                                           TModeCase{vmGLTextureGrey, "subs_sidecar.mp4"},
                                           TModeCase{vmGLTextureArgb, "subs_srt.mkv"}),
                         LayoutName);

TEST_F(SubtitleFileTest, AssStylesKeepTheirColour) {
  test::TDecodeRig rig(320, 240, vmRaster);
  auto file = rig.Open("subs_ass_red.mkv");
  ASSERT_EQ(SeekFileToFrame(*file, *rig.Screen, 37, false), 0);
  int32_t red = 0, other = 0;
  const TAVScreen& screen = *rig.Screen;
  for (int32_t i = 0; i < screen.Ovr_Width * screen.Ovr_Height; ++i) {
    const uint8_t* px = screen.FFrameBuf + 4 * size_t(i);
    if (px[2] > 150 && px[1] < 60 && px[0] < 60) ++red;
    if (px[1] > 100) ++other;
  }
  EXPECT_GT(red, 100);
  EXPECT_EQ(other, 0);
}

// Two files on one timeline: the first's track is not marked to be shown,
// the second has a sidecar. Each file's events count from its own start.
TEST_F(SubtitleFileTest, EachFileOfATimelineShowsItsOwnSubtitlesAtItsOwnTime) {
  test::TMemoryVideoSystem videos;
  test::TMemoryHost host;
  TAVPlayer player(host);
  TAVPlayList playList;
  playList.Add(test::MediaPath("subs_not_default.mkv"));
  playList.Add(test::MediaPath("subs_sidecar.mp4"));
  player.OpenPlayList(&playList, vmRaster);
  ASSERT_TRUE(player.IsOpen());
  ASSERT_EQ(player.TotalFrames(), 300);
  TAVInFileList& list = *player.List();
  // Played through the join: text only from 1 s into the second file.
  player.SeekToFrame(140);
  for (int i = 0; i < 50; ++i) {
    ASSERT_EQ(list.DecodeVideo(*player.Screen(), dfShow), drPicture);
    const int32_t shown = list.FramePos - 1;
    if (shown < 174) {
      EXPECT_EQ(BrightPixels(*player.Screen()), 0) << shown;
    } else if (shown > 176) {
      EXPECT_GT(BrightPixels(*player.Screen()), 50) << shown;
    }
  }
  ASSERT_TRUE(player.Subtitles());
  EXPECT_TRUE(player.Subtitles()->Tracks()[0]->Sidecar);
  // Back in the first file, whose track is off until chosen.
  player.SeekToFrame(37);
  EXPECT_EQ(player.Subtitles()->Choice(), -1);
  EXPECT_EQ(BrightPixels(*player.Screen()), 0);
  player.SetSubtitleChoice(0);
  EXPECT_GT(BrightPixels(*player.Screen()), 50);
  // The snapshot shows what the screen shows.
  TBitmap32 snapshot;
  ASSERT_TRUE(list.RenderToBitmap(snapshot, 0, 0, 0));
  int32_t bright = 0;
  for (size_t i = 1; i < snapshot.Pixels.size(); i += 4) bright += snapshot.Pixels[i] > 150;
  EXPECT_GT(bright, 50);
  player.SetSubtitleChoice(-1);
  EXPECT_EQ(BrightPixels(*player.Screen()), 0);
  ASSERT_TRUE(list.RenderToBitmap(snapshot, 0, 0, 0));
  bright = 0;
  for (size_t i = 1; i < snapshot.Pixels.size(); i += 4) bright += snapshot.Pixels[i] > 150;
  EXPECT_EQ(bright, 0);
}

}  // namespace
}  // namespace vexo

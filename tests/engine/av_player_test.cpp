// The player control without a window: a memory host records what the
// player asks of it, the screen runs on the memory video back ends, and the
// timelines are real files.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/input/av_frame_seek.h"
#include "engine/input/av_in_file_list.h"
#include "engine/media/av_types.h"
#include "engine/playback/av_player.h"
#include "engine/playback/av_sync_queue.h"
#include "engine/playback/player_host.h"
#include "engine/playback/player_media_info.h"
#include "engine/playlist/av_playlist.h"
#include "engine/video/av_screen.h"
#include "tests/support/captured_log.h"
#include "tests/support/decode_rig.h"
#include "tests/support/memory_player_host.h"
#include "tests/support/memory_video_system.h"
#include "tests/support/test_media.h"

namespace vexo {
namespace {

using test::TMemoryHost;

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::LoadMediaLib();
    AVParams = DefaultAVParams;
    player = std::make_unique<TAVPlayer>(host);
    player->OnStateChange = [this](uint8_t from, uint8_t to) {
      states.push_back(std::string(PlayStateName(from)) + "->" + PlayStateName(to));
    };
    player->OnErrorText = [this](int32_t code, std::string& text, const std::string& argument,
                                 const std::string& detail) {
      errors.push_back(code);
      text = "error " + std::to_string(code) + " " + argument + ": " + detail;
    };
  }
  void TearDown() override {
    player.reset();
    AVParams = DefaultAVParams;
  }
  void Open(const std::vector<std::string>& names, uint8_t mode = vmRaster) {
    list.Clear();
    for (const std::string& name : names) list.Add(test::MediaPath(name));
    player->OpenPlayList(&list, mode);
  }
  bool Logged(const std::string& prefix) {
    const auto& lines = log.Lines();
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
  }

  test::TCapturedLog log;
  test::TMemoryVideoSystem videos;
  TMemoryHost host;
  TAVPlayList list;
  std::unique_ptr<TAVPlayer> player;
  std::vector<std::string> states;
  std::vector<int32_t> errors;
};

TEST_F(PlayerTest, AnEmptyPlaylistWhileClosedDoesNothing) {
  TAVPlayList empty;
  player->OpenPlayList(&empty, vmRaster);
  player->OpenPlayList(nullptr, vmRaster);
  EXPECT_TRUE(states.empty());
  EXPECT_EQ(host.Invalidates, 0);
  EXPECT_FALSE(player->IsOpen());
}

TEST_F(PlayerTest, OpeningStopsAtMinusOneWithTheFirstFrameAndTellsThePlaylist) {
  Open({"numbered_mpeg4.avi", "photo_640x480.jpg"});
  ASSERT_TRUE(player->IsOpen()) << player->ErrorText();
  EXPECT_EQ(states, std::vector<std::string>{"Closed->Stopped"});
  EXPECT_EQ(player->Position(), -1);
  EXPECT_EQ(player->List()->FramePos, 1);
  ASSERT_NE(list.GetItem(1), nullptr);
  EXPECT_EQ(list.GetItem(0)->FrameCount(), 300);
  EXPECT_EQ(list.GetItem(1)->StartFrame(), 300);
  EXPECT_TRUE(Logged("FInitScreen (Create new): OK, pix_fmt:"));
  EXPECT_TRUE(Logged("-------- FileList Info Begin ----------"));
  // Stopping right after opening does not seek.
  player->SetState(psPaused);
  player->SetState(psStopped);
  EXPECT_FALSE(Logged("ms_up "));
  EXPECT_EQ(player->FileListCaption(), "numbered_mpeg4.avi ... photo_640x480.jpg");
  int32_t videos = 0, pictures = 0;
  bool firstIsPicture = true;
  player->CountKinds(videos, pictures, firstIsPicture);
  EXPECT_EQ(videos, 1);
  EXPECT_EQ(pictures, 1);
  EXPECT_FALSE(firstIsPicture);
}

// The open goes to Stopped and then writes the file-list information; an
// owner that closes the player on that change (as an error does) must leave
// nothing behind for the open to touch.
TEST_F(PlayerTest, AnOpenClosedOnItsWayToStoppedTouchesNothingReleased) {
  player->OnStateChange = [this](uint8_t from, uint8_t to) {
    states.push_back(std::string(PlayStateName(from)) + "->" + PlayStateName(to));
    if (to == psStopped) {
      TAVPlayList empty;
      player->OpenPlayList(&empty, vmRaster);
    }
  };
  Open({"numbered_mpeg4.avi"});
  EXPECT_FALSE(player->IsOpen());
  EXPECT_EQ(states, (std::vector<std::string>{"Closed->Stopped", "Stopped->Closed"}));
  EXPECT_FALSE(Logged("-------- FileList Info Begin ----------"));
}

TEST_F(PlayerTest, AnUnopenableFileIsErrorFiveAndCloses) {
  Open({"not_media.avi"});
  EXPECT_EQ(errors, std::vector<int32_t>{peOpen});
  EXPECT_EQ(player->ErrorCode(), peOpen);
  EXPECT_EQ(player->ErrorText().rfind("error 5 not_media.avi: ", 0), 0u) << player->ErrorText();
  EXPECT_FALSE(player->IsOpen());
  EXPECT_FALSE(player->HasScreen());
  EXPECT_FALSE(player->PaintFrame(true));
  // An empty list now clears the error.
  TAVPlayList empty;
  player->OpenPlayList(&empty, vmRaster);
  EXPECT_EQ(player->ErrorCode(), peNone);
  EXPECT_TRUE(player->ErrorText().empty());
}

// A damaged entry of a list is left out of the playlist too, so that its
// count and timing agree with what plays; the owner learns which it was.
TEST_F(PlayerTest, AnEntryThatCannotBeOpenedIsLeftOutOfThePlaylist) {
  Open({"frames250.avi", "not_media.avi", "gl_silent_24fps.avi"});
  ASSERT_TRUE(player->IsOpen()) << player->ErrorText();
  EXPECT_EQ(player->ErrorCode(), peNone);
  EXPECT_EQ(player->LeftOutFiles(), std::vector<std::string>{test::MediaPath("not_media.avi")});
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Strings(1), test::MediaPath("gl_silent_24fps.avi"));
  EXPECT_EQ(player->FileCount(), 2);
  EXPECT_EQ(player->TotalFrames(), 250 + 24);
  Open({"frames250.avi"});
  EXPECT_TRUE(player->LeftOutFiles().empty());
}

TEST_F(PlayerTest, SeeksClampAndOnlyTrackingFollowsMilliseconds) {
  Open({"numbered_mpeg4.avi"});
  ASSERT_TRUE(player->IsOpen());
  player->SeekMs(4000);
  EXPECT_EQ(player->Position(), -1);
  player->SeekToFrame(100000);
  EXPECT_EQ(player->Position(), 299);
  player->SeekToFrame(-5);
  EXPECT_EQ(player->Position(), 0);
  player->SetState(psTracking);
  player->SeekMs(4000);
  player->SetState(psPaused);
  EXPECT_EQ(player->Position(), 100);
  EXPECT_TRUE(Logged("ms_up KeyFrPos="));
}

TEST_F(PlayerTest, PlayingAtTheLastFrameStaysPausedWithoutThreads) {
  Open({"numbered_mpeg4.avi"});
  player->SeekToFrame(299);
  states.clear();
  player->SetState(psPlaying);
  EXPECT_EQ(player->State(), psPaused);
  EXPECT_EQ(states, std::vector<std::string>{"Stopped->Paused"});
}

// Photos big enough that the picture demultiplexer reads them through the
// byte stream that opened them: a photo shown once shows again when sought
// back to, when the list stops (on its first picture) and when it is the
// next file again (a photo the video side had read ahead before a pause).
TEST_F(PlayerTest, PhotosShowAgainWhenSoughtBackToAndAtStop) {
  Open({"photo_640x480.jpg", "photo_1024x768.jpg", "photo_640x480.jpg"});
  ASSERT_TRUE(player->IsOpen()) << player->ErrorText();
  for (int32_t frame : {1, 0, 2, 1, 0, 1}) {
    player->SeekToFrame(frame);
    ASSERT_EQ(player->ErrorCode(), peNone) << frame << ": " << player->ErrorText();
    EXPECT_EQ(player->Position(), frame);
  }
  player->SetState(psPaused);
  player->NavigateKey(nkRight);
  ASSERT_EQ(player->ErrorCode(), peNone) << player->ErrorText();
  EXPECT_EQ(player->Position(), 2);
  player->SetState(psStopped);
  ASSERT_TRUE(player->IsOpen()) << player->ErrorText();
  EXPECT_EQ(player->State(), psStopped);
  EXPECT_EQ(player->Position(), 0);
}

TEST_F(PlayerTest, ModesOtherThanOverlayOpenWithoutGaplessPlay) {
  AVParams.GaplessPlay = 1;
  Open({"numbered_mpeg4.avi", "numbered_flv1.flv"}, vmGLShader);
  ASSERT_TRUE(player->IsOpen());
  EXPECT_EQ(player->List()->Gapless, 0);
  Open({"numbered_mpeg4.avi", "numbered_flv1.flv"}, vmXVideo);
  ASSERT_TRUE(player->IsOpen());
  EXPECT_EQ(player->List()->Gapless, 1);
}

TEST_F(PlayerTest, LeftGoesToThePreviousFileOnlyEarlyInAFile) {
  Open({"numbered_mpeg4.avi", "numbered_flv1.flv"});
  ASSERT_TRUE(player->IsOpen());
  player->SeekToFrame(310);  // 11th frame of the second file
  player->NavigateKey(nkLeft);
  EXPECT_EQ(player->Position(), 0);
  player->SeekToFrame(400);
  player->NavigateKey(nkLeft);
  EXPECT_EQ(player->Position(), 300);
  player->NavigateKey(nkEnd);
  EXPECT_EQ(player->Position(), 599);
  player->NavigateKey(nkHome);
  EXPECT_EQ(player->Position(), 0);
  player->NavigateKey(nkRight);
  EXPECT_EQ(player->Position(), 300);
}

TEST_F(PlayerTest, TheEndOfARunStopsOnlyThatRun) {
  Open({"h264.mov"});  // pictures only: no sound output needed
  player->SetState(psPlaying);
  ASSERT_EQ(player->State(), psPlaying);
  // Serve the video thread's calls until it reports its end.
  for (int i = 0; i < 3000 && host.Posted.empty(); ++i) CheckSynchronize(10);
  ASSERT_EQ(host.Posted.size(), 1u);
  player->EndOfPlay(host.Posted[0] + 1);  // an older run's end would look like this
  EXPECT_EQ(player->State(), psPlaying);
  player->EndOfPlay(host.Posted[0]);
  EXPECT_EQ(player->State(), psStopped);
  EXPECT_EQ(player->Position(), 0);
}

TEST_F(PlayerTest, TheCursorHidesAfterFiveTicksAndChangesOnlyWithItsFlag) {
  player->ShowCursor(false);
  player->ShowCursor(false);
  EXPECT_EQ(host.CursorCalls, std::vector<bool>{false});
  player->ShowCursor(true);
  for (int tick = 0; tick < 4; ++tick) player->CursorTick();
  EXPECT_TRUE(player->CursorVisible());
  player->CursorTick();
  EXPECT_FALSE(player->CursorVisible());
}

TEST_F(PlayerTest, FullScreenNeedsAnOwnerThatResizes) {
  Open({"numbered_mpeg4.avi"});
  player->SetFullScreen(true);
  EXPECT_FALSE(player->FullScreen());
  int calls = 0;
  player->OnFullScreen = [&] {
    ++calls;
    EXPECT_TRUE(player->ScreenLock());
  };
  player->SetFullScreen(true);
  EXPECT_TRUE(player->FullScreen());
  EXPECT_TRUE(host.TimerOn);
  player->SetFullScreen(false);
  EXPECT_FALSE(host.TimerOn);
  EXPECT_EQ(calls, 2);
  EXPECT_FALSE(player->ScreenLock());
}

TEST_F(PlayerTest, MediaInfoAndItsLogBlock) {
  EXPECT_EQ(player->GetMediaInfo().TotalFrames, 0);
  Open({"h264_aac.mp4"});
  ASSERT_TRUE(player->IsOpen());
  const TMediaInfo info = player->GetMediaInfo();
  EXPECT_EQ(info.BiggestWidth, 320);
  EXPECT_EQ(info.BiggestHeight, 240);
  EXPECT_EQ(info.TotalFrames, 50);
  EXPECT_EQ(info.OutChannels, 1);  // the fixture's tone is mono
  EXPECT_DOUBLE_EQ(info.FrameRate, 25.0);
  const auto& lines = log.Lines();
  auto begin = std::find(lines.begin(), lines.end(), "-------- FileList Info Begin ----------");
  ASSERT_NE(begin, lines.end());
  ASSERT_GE(lines.end() - begin, 7);
  EXPECT_EQ(*(begin - 1), "");
  EXPECT_EQ(begin[1], "vMode: GDI: ARGB");
  EXPECT_EQ(begin[2], "Source pix fmt: 0");  // 4:2:0 planar
  EXPECT_EQ(begin[3], "video  : h264, 320x240, 25.0000 fps");
  EXPECT_EQ(begin[4], "length : 00:02, 50 frames");
  EXPECT_EQ(begin[5], "audio  : aac 44100Hz Mono");
  EXPECT_EQ(begin[6], "-------- FileList Info End ----------");
}

// Where a seek must land: a timeline frame and the number its picture shows.
struct TLanding {
  int32_t Frame;
  int32_t Number;
};

// numbered_mpeg4.avi (frames 0-299), a portrait photo showing 77 (frame 300),
// and numbered_mpeg4_1000.avi (frames 301-400, showing 1000-1099): the clips
// share their decoders, the photo lies between them.
const std::vector<std::string> kClipPhotoClip{"numbered_mpeg4.avi", "photo_portrait_77.jpg",
                                              "numbered_mpeg4_1000.avi"};
const TLanding kAcrossFiles[] = {{120, 120},  {338, 1037}, {300, 77},   {381, 1080}, {5, 5},
                                 {311, 1010}, {299, 299},  {301, 1000}, {300, 77},   {0, 0}};

TEST_F(PlayerTest, ExactSeeksIntoOtherFilesShowTheirFrame) {
  Open(kClipPhotoClip);
  ASSERT_TRUE(player->IsOpen()) << player->ErrorText();
  for (const TLanding& to : kAcrossFiles) {
    SCOPED_TRACE(to.Frame);
    player->SeekToFrame(to.Frame);
    EXPECT_EQ(player->Position(), to.Frame);
    ASSERT_TRUE(player->HasScreen());
    EXPECT_EQ(test::ReadFrameNumber(*player->Screen()), to.Number);
  }
  // The second clip took over the first one's decoders when it was first sought.
  EXPECT_TRUE(Logged("VideoCodecCtx SHARE, FileInd: 0 -> 2"));
  EXPECT_EQ(player->ErrorCode(), peNone);
}

TEST_F(PlayerTest, DraggingIntoOtherFilesShowsTheirFrameOnRelease) {
  Open(kClipPhotoClip);
  ASSERT_TRUE(player->IsOpen()) << player->ErrorText();
  for (const TLanding& to : kAcrossFiles) {
    SCOPED_TRACE(to.Frame);
    // The middle of the frame's time, so that no file start is met.
    const int32_t ms = int32_t(player->FrameToMs(to.Frame)) + (to.Frame == 300 ? 1000 : 20);
    player->SetState(psTracking);
    player->SeekMs(ms);
    player->SetState(psPaused);
    EXPECT_EQ(player->Position(), to.Frame);
    ASSERT_TRUE(player->HasScreen());
    EXPECT_EQ(test::ReadFrameNumber(*player->Screen()), to.Number);
  }
}

// The quick positioning while the bar is dragged and the exact seek of one
// file search the key frame alike.
struct TKeyFrameCase {
  const char* Fixture;
  int32_t Target;
  int32_t KeyFrame;
};

class PlayerKeyFrame : public PlayerTest, public ::testing::WithParamInterface<TKeyFrameCase> {};

TEST_P(PlayerKeyFrame, DraggingAndExactSeekLandOnTheSameKeyFrame) {
  const TKeyFrameCase& c = GetParam();
  Open({c.Fixture});
  ASSERT_TRUE(player->IsOpen()) << player->ErrorText();
  player->SetState(psTracking);
  player->SeekMs(int32_t(player->FrameToMs(c.Target)) + 10);
  const TTrack& dragged = player->List()->File(0).Video;
  EXPECT_EQ(dragged.TargetFrame, c.Target);
  EXPECT_EQ(dragged.KeyFramePos, c.KeyFrame);

  test::TDecodeRig rig;
  auto file = rig.Open(c.Fixture);
  ASSERT_EQ(SeekFileToFrame(*file, *rig.Screen, c.Target, false), drPicture);
  EXPECT_EQ(file->Video.KeyFramePos, c.KeyFrame);
  EXPECT_EQ(test::ReadFrameNumber(*rig.Screen), c.Target);
}

INSTANTIATE_TEST_SUITE_P(
    Files, PlayerKeyFrame,
    ::testing::Values(TKeyFrameCase{"numbered_mpeg4.avi", 60, 50},    // a key frame every 25
                      TKeyFrameCase{"numbered_flv1.flv", 120, 100},   // every 50
                      TKeyFrameCase{"numbered_mpeg2.mpg", 70, 60},    // every 15, B pictures
                      TKeyFrameCase{"numbered_offset.mp4", 150, 100}  // every 100, starts at 3.2 s
                      ),
    [](const auto& info) { return test::TestName(info.param.Fixture); });

// A screen that fails while the timeline plays: error 7 with the screen's
// text, and the end of the run closes the player.
TEST_F(PlayerTest, AScreenErrorDuringPlaybackIsErrorSevenAndCloses) {
  Open({"h264.mov", "not_picture.jpg"});
  ASSERT_TRUE(player->IsOpen()) << player->ErrorText();
  player->SetState(psPlaying);
  ASSERT_EQ(player->State(), psPlaying);
  for (int i = 0; i < 3000 && host.Posted.empty(); ++i) CheckSynchronize(10);
  ASSERT_EQ(host.Posted.size(), 1u);
  EXPECT_EQ(errors, std::vector<int32_t>{peScreen});
  EXPECT_EQ(player->ErrorCode(), peScreen);
  // The decode names the file by its path here, as for any picture it fails on.
  EXPECT_EQ(player->ErrorText(),
            "error 7 " + test::MediaPath("not_picture.jpg") + ": Failed to decode 1st frame");
  player->EndOfPlay(host.Posted[0]);
  EXPECT_EQ(player->State(), psClosed);
  EXPECT_FALSE(player->IsOpen());
  EXPECT_FALSE(player->HasScreen());
  EXPECT_EQ(player->ErrorCode(), peScreen);  // painted until something else opens
}

// Without gapless play the screen takes each file's own shape when playback
// reaches it, and every picture shown is the file's own.
TEST_F(PlayerTest, WithoutGaplessPlayTheScreenFollowsEachFilesShape) {
  Open({"gl_silent_24fps.avi", "numbered_16x9.avi", "photo_portrait_77.jpg"});
  ASSERT_TRUE(player->IsOpen()) << player->ErrorText();
  ASSERT_EQ(player->List()->Gapless, 0);
  struct TShown {
    int32_t File, Width, Height, Number, Expected;
  };
  std::vector<TShown> shown;
  player->OnPosition = [&] {
    const TAVInFileList& list = *player->List();
    const TAVScreen& screen = *player->Screen();
    const int32_t file = list.CurFile;
    const int32_t inFile = player->Position() - int32_t(list.StartFrames[size_t(file)]);
    shown.push_back({file, screen.Ovr_Width, screen.Ovr_Height, test::ReadFrameNumber(screen),
                     file == 2 ? 77 : inFile});
  };
  player->SetState(psPlaying);
  for (int i = 0; i < 3000 && host.Posted.empty(); ++i) CheckSynchronize(10);
  ASSERT_EQ(host.Posted.size(), 1u);
  const int32_t sizes[3][2] = {{160, 120}, {320, 180}, {240, 320}};
  bool seen[3] = {};
  for (const TShown& s : shown) {
    SCOPED_TRACE(testing::Message() << "file " << s.File << " frame " << s.Expected);
    ASSERT_GE(s.File, 0);
    ASSERT_LT(s.File, 3);
    seen[s.File] = true;
    EXPECT_EQ(s.Width, sizes[s.File][0]);
    EXPECT_EQ(s.Height, sizes[s.File][1]);
    EXPECT_EQ(s.Number, s.Expected);
  }
  EXPECT_TRUE(seen[0] && seen[1] && seen[2]);
  EXPECT_TRUE(Logged("FInitScreen (Update): OK, pix_fmt:"));
  EXPECT_EQ(player->ErrorCode(), peNone);
}

TEST(PlayerMediaInfo, LengthAndChannelTexts) {
  struct {
    double Ms;
    const char* Text;
  } const lengths[] = {{0, "00:00"},     {187000, "03:07"},  {2500, "00:02"},    {3500, "00:04"},
                       {59499, "00:59"}, {3600000, "60:00"}, {6000000, "100:00"}};
  for (const auto& c : lengths) EXPECT_EQ(LengthText(c.Ms), c.Text) << c.Ms;
  EXPECT_EQ(ChannelText(1), "Mono");
  EXPECT_EQ(ChannelText(2), "Stereo");
  EXPECT_EQ(ChannelText(6), "6Ch");
}

}  // namespace
}  // namespace vexo

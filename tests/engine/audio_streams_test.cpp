// The sound streams a file offers and the switch between them while a list
// plays: decoded on both sides, interleaved as the playback threads
// interleave them, the new stream goes on from the sound's present time, the
// pictures do not notice, and the choice stays with the file.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/input/audio_streams.h"
#include "engine/input/av_in_file_list.h"
#include "engine/media/av_types.h"
#include "engine/playlist/av_playlist.h"
#include "engine/video/av_screen.h"
#include "tests/support/frame_bars.h"
#include "tests/support/test_media.h"
#include "tests/support/tone.h"

namespace vexo {
namespace {

using test::ToneAmplitude;

constexpr const char* kTwoTracks = "numbered_two_tracks.mkv";
constexpr double kMainHz = 440, kOtherHz = 1320;
// Stream numbers in the file: the pictures are stream 0.
constexpr int32_t kMainStream = 1, kOtherStream = 2;

// The frame number the numbered picture in the screen's frame buffer shows.
int32_t ShownNumber(const TAVScreen& screen) {
  const int32_t width = screen.Ovr_Width, height = screen.Ovr_Height;
  const int32_t stride = screen.FFrameStride > 0 ? screen.FFrameStride : width * 4;
  // Bottom-up rows of B, G, R, A.
  return test::FrameNumberFromBars(width, height, [&](int x, int y) {
    return screen.FFrameBuf[ptrdiff_t(height - 1 - y) * stride + 4 * x + 1];
  });
}

class AudioStreamsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::LoadMediaLib();
    AVParams = DefaultAVParams;
    AVParams.VideoMode = vmRaster;
    ForgetAudioStreams();
  }
  void TearDown() override {
    ForgetAudioStreams();
    AVParams = DefaultAVParams;
  }

  std::unique_ptr<TAVInFileList> Open(const std::vector<std::string>& names) {
    TAVPlayList playList;
    for (const std::string& name : names) playList.Add(test::MediaPath(name));
    std::string error, errorFile;
    auto list = std::make_unique<TAVInFileList>(playList, TScreenSize{640, 480}, false, true, true,
                                                error, errorFile);
    EXPECT_EQ(error, "") << errorFile;
    return list;
  }

  // Plays the whole list with the sound `leadMs` ahead of the pictures, as the
  // sound device's buffer keeps it; `atPicture` is called before each picture
  // is decoded. Collects the left channel and checks every picture's number.
  std::vector<int16_t> Play(TAVInFileList& list, double leadMs,
                            const std::function<void(int32_t picture)>& atPicture) {
    TAVScreen screen(list.FrameWidth, list.FrameHeight, vmRaster, nullptr, 0, true, 0, 0,
                     list.FrameWidth, list.FrameHeight, list.FrameAspect);
    const int32_t frameBytes = list.OutChannels * 2;
    std::vector<int16_t> left;
    int32_t pictures = 0;
    bool videoDone = false, audioDone = false;
    while (!videoDone || !audioDone) {
      const double soundMs = double(left.size()) * 1000 / list.OutRate;
      if (!audioDone && (videoDone || soundMs < list.FrameToMs(list.FramePos) + leadMs)) {
        uint8_t* out = nullptr;
        int32_t count = 0;
        if (list.DecodeAudio(out, count, 0) != 0) {
          audioDone = true;
          continue;
        }
        for (int32_t i = 0; i + 1 < count; i += frameBytes) {
          int16_t sample;
          std::memcpy(&sample, out + i, 2);
          left.push_back(sample);
        }
        continue;
      }
      if (atPicture) atPicture(pictures);
      const int32_t result = list.DecodeVideo(screen, dfShow);
      if (result != drPicture) {
        EXPECT_EQ(screen.FErrMsg, "");
        videoDone = true;
        continue;
      }
      // The pictures go on one by one whatever the sound does.
      EXPECT_EQ(ShownNumber(screen), pictures - list.StartFrames[size_t(list.CurFile)])
          << "picture " << pictures;
      ++pictures;
    }
    EXPECT_EQ(pictures, list.TotalFrames);
    return left;
  }
};

TEST_F(AudioStreamsTest, AFileListsItsSoundStreamsAndPlaysTheFirst) {
  auto list = Open({kTwoTracks, "numbered_h264.mp4", "mjpeg.avi"});
  ASSERT_EQ(list->Count, 3);
  const std::vector<TAudioStreamInfo>& two = list->File(0).AudioStreams;
  ASSERT_EQ(two.size(), 2u);
  EXPECT_EQ(two[0].StreamIndex, kMainStream);
  EXPECT_EQ(two[0].Language, "eng");
  EXPECT_EQ(two[0].Title, "");
  EXPECT_EQ(two[0].CodecName, "aac");
  EXPECT_EQ(two[0].Channels, 2);
  EXPECT_EQ(two[0].SampleRate, 44100);
  EXPECT_EQ(two[1].StreamIndex, kOtherStream);
  EXPECT_EQ(two[1].Language, "ger");
  EXPECT_EQ(two[1].Title, "Commentary");
  EXPECT_EQ(two[1].Channels, 1);
  EXPECT_EQ(two[1].SampleRate, 48000);
  EXPECT_EQ(list->File(0).AudioStreamIndex(), kMainStream);
  EXPECT_EQ(list->File(1).AudioStreams.size(), 1u);
  EXPECT_TRUE(list->File(2).AudioStreams.empty());
  EXPECT_EQ(list->File(2).AudioStreamIndex(), -1);
  // A stream the file does not offer, and the one playing, change nothing.
  EXPECT_FALSE(list->SelectAudioStream(0, 0));
  EXPECT_FALSE(list->SelectAudioStream(0, kMainStream));
  EXPECT_FALSE(list->SelectAudioStream(2, kMainStream));
}

// Switched four seconds in, with the sound 400 ms ahead of the pictures: the
// first tone plays up to the sound's time at the switch, the other from there
// to the end, the sound keeps the pictures' length, and the pictures run on.
TEST_F(AudioStreamsTest, TheSwitchGoesOnFromTheSoundsPresentTime) {
  auto list = Open({kTwoTracks});
  ASSERT_EQ(list->OutRate, 44100);
  ASSERT_EQ(list->OutChannels, 2);
  const int32_t rate = list->OutRate;
  constexpr int32_t kSwitchPicture = 100;
  int64_t switchedAt = -1;
  std::vector<int16_t> left;
  left = Play(*list, 400, [&](int32_t picture) {
    if (picture != kSwitchPicture) return;
    list->RequestAudioStream(0, kOtherStream);
    // Taken up by the sound side before its next chunk: where the sound
    // handed out so far ends.
    switchedAt = int64_t(list->File(0).Audio[0].DeliveredBytes / (list->OutChannels * 2));
  });
  ASSERT_GT(switchedAt, 0);
  EXPECT_EQ(list->File(0).AudioStreamIndex(), kOtherStream);
  EXPECT_EQ(int64_t(left.size()), list->File(0).LengthInSamples(rate));
  const double switchMs = double(switchedAt) * 1000 / rate;
  // Four seconds of pictures, the lead, and at most a chunk of 200 ms.
  EXPECT_GE(switchMs, 4400 - 1);
  EXPECT_LE(switchMs, 4600 + 1);

  const int64_t window = rate / 10;
  const double before = ToneAmplitude(left, switchedAt - 2 * window, window, kMainHz, rate);
  EXPECT_GT(before, 1000);
  EXPECT_LT(ToneAmplitude(left, switchedAt - 2 * window, window, kOtherHz, rate), before / 20);
  // The other stream within a short gap of the switch: the new stream's first
  // packets are the ones the file holds next.
  int64_t heard = -1;
  for (int64_t at = switchedAt; at + window / 5 < int64_t(left.size()); at += window / 10) {
    if (ToneAmplitude(left, at, window / 5, kOtherHz, rate) > 1000) {
      heard = at;
      break;
    }
  }
  ASSERT_GE(heard, 0) << "the other tone was never heard";
  const double gapMs = double(heard - switchedAt) * 1000 / rate;
  std::printf("the other stream is heard %.1f ms after the switch point\n", gapMs);
  EXPECT_LT(gapMs, 100);
  const double after = ToneAmplitude(left, switchedAt + window, window, kOtherHz, rate);
  EXPECT_GT(after, 1000);
  EXPECT_LT(ToneAmplitude(left, switchedAt + window, window, kMainHz, rate), after / 20);
  EXPECT_GT(ToneAmplitude(left, int64_t(left.size()) - 2 * window, window, kOtherHz, rate), 1000);
}

// The choice is kept by the file's path: the same file later in the list
// plays it from its start, and so does a list opened afterwards.
TEST_F(AudioStreamsTest, TheChoiceStaysWithTheFile) {
  const std::string path = test::MediaPath(kTwoTracks);
  auto list = Open({kTwoTracks, kTwoTracks});
  const int32_t rate = list->OutRate;
  std::vector<int16_t> left = Play(*list, 200, [&](int32_t picture) {
    if (picture == 25) {
      RememberAudioStream(path, kOtherStream);
      list->RequestAudioStream(0, kOtherStream);
    }
  });
  EXPECT_EQ(list->File(1).AudioStreamIndex(), kOtherStream);
  const int64_t second = list->File(0).LengthInSamples(rate);
  const int64_t window = rate / 10;
  EXPECT_GT(ToneAmplitude(left, second + window / 2, window, kOtherHz, rate), 1000);
  EXPECT_LT(ToneAmplitude(left, second + window / 2, window, kMainHz, rate), 100);

  auto again = Open({kTwoTracks});
  EXPECT_EQ(again->File(0).AudioStreamIndex(), kOtherStream);
  // The list plays in the chosen stream's format.
  EXPECT_EQ(again->OutRate, 48000);
  EXPECT_EQ(again->OutChannels, 1);
  left = Play(*again, 0, {});
  EXPECT_GT(ToneAmplitude(left, window, window, kOtherHz, again->OutRate), 1000);
  EXPECT_LT(ToneAmplitude(left, window, window, kMainHz, again->OutRate), 100);
}

}  // namespace
}  // namespace vexo

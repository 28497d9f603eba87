// A mixed playlist decoded whole on both sides, interleaved as the playback
// threads interleave them under their one lock: the sound must last exactly as
// long as the pictures, and each file's sound must start on its first picture.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/input/av_in_file_list.h"
#include "engine/media/av_types.h"
#include "engine/playlist/av_playlist.h"
#include "engine/video/av_screen.h"
#include "tests/support/test_media.h"
#include "tests/support/tone.h"

namespace vexo {
namespace {

using test::ToneAmplitude;

struct TEntry {
  const char* name;
  double tone;  // Hz; 0 for none
  // Seconds of the file's sound; 0 when the sound lasts as long as the pictures.
  double soundSeconds;
  bool numbered;  // the pictures show their frame number
};

const TEntry kPlayList[] = {
    {"gl_440_44100_stereo.avi", 440, 0, true},
    {"gl_1500_flac_44100.mp4", 1500, 0, true},
    // Pictures at 30, 10 and 15 a second, each at its own time.
    {"vfr_three_rates.mp4", 440, 0, true},
    {"gl_1000_22050_mono.mov", 1000, 0, true},
    {"photo_640x480.jpg", 0, 0, false},
    {"gl_silent_24fps.avi", 0, 0, true},
    {"vfr_slow_start.mp4", 440, 0, true},
    {"gl_2500_48000_stereo.mov", 2500, 1.2, true},
    {"photo_1024x768.jpg", 0, 0, false},
    {"photo_100x75.jpg", 0, 0, false},
    {"gl_440_44100_stereo.avi", 440, 0, true},
    // Lossy sound of today: Opus beside VP9 in WebM, AC-3 5.1 in Matroska.
    // The WebM muxer put the pictures 7 ms behind the sound to keep the Opus
    // priming's stamps positive: the tone ends 7 ms before the pictures do.
    {"gl_2000_opus_vp9.webm", 2000, 1.193, true},
    {"gl_3000_ac3_51.mkv", 3000, 0, true},
    {"gl_440_44100_stereo.avi", 440, 0, true},
    // Equal files in a row hand their decoders on to each other.
    {"gl_440_44100_stereo.avi", 440, 0, true},
};
constexpr int32_t kEntries = int32_t(std::size(kPlayList));

// Where the tone `hz` starts (rising) or stops (falling) between from and to:
// the centre of the first window whose amplitude crosses half of `steady`.
std::optional<int64_t> ToneEdge(const std::vector<int16_t>& left, int64_t from, int64_t to,
                                double hz, int32_t rate, bool rising, double steady) {
  const int64_t window = rate / 50;  // 20 ms
  for (int64_t start = from - window / 2; start + window <= to + window / 2; ++start) {
    if (start < 0 || start + window > int64_t(left.size())) continue;
    const double amplitude = ToneAmplitude(left, start, window, hz, rate);
    if (rising ? amplitude >= steady / 2 : amplitude < steady / 2) return start + window / 2;
  }
  return std::nullopt;
}

// The frame number that a numbered picture shows as 16 bars, bit 0 on the left.
int32_t ShownNumber(const TAVScreen& screen) {
  const int32_t width = screen.Ovr_Width, height = screen.Ovr_Height;
  const int32_t stride = screen.FFrameStride > 0 ? screen.FFrameStride : width * 4;
  // Bottom-up rows: the top quarter of the picture lies near the end.
  const uint8_t* row = screen.FFrameBuf + ptrdiff_t(height - 1 - height / 4) * stride;
  int32_t number = 0;
  for (int32_t bit = 0; bit < 16; ++bit) {
    const int32_t x = (2 * bit + 1) * width / 32;
    if (row[4 * x + 1] > 128) number |= 1 << bit;
  }
  return number;
}

class GaplessPlayTest : public ::testing::TestWithParam<double> {
 protected:
  void SetUp() override {
    test::LoadMediaLib();
    AVParams = DefaultAVParams;
    AVParams.PhotoDurationMs = 500;
    AVParams.VideoMode = vmRaster;
  }
  void TearDown() override { AVParams = DefaultAVParams; }
};

// The parameter is how far the sound side runs ahead of the pictures, in ms:
// ahead as the sound device's buffer keeps it, or behind after a stall.
TEST_P(GaplessPlayTest, SoundStartsOnEveryFilesFirstPictureAndLastsAsLongAsThePictures) {
  const double soundLeadMs = GetParam();
  TAVPlayList playList;
  for (const TEntry& entry : kPlayList) playList.Add(test::MediaPath(entry.name));
  std::string error, errorFile;
  TAVInFileList list(playList, TScreenSize{1920, 1080}, true, true, true, error, errorFile);
  ASSERT_EQ(error, "") << errorFile;
  ASSERT_EQ(list.OutRate, 48000);
  // The 5.1 file makes the whole timeline play in six channels.
  ASSERT_EQ(list.OutChannels, 6);
  const int32_t rate = list.OutRate;
  const int32_t frameBytes = list.OutChannels * 2;
  TAVScreen screen(list.FrameWidth, list.FrameHeight, vmRaster, nullptr, 0, true, 0, 0,
                   list.FrameWidth, list.FrameHeight, list.FrameAspect);

  std::vector<int16_t> left;
  int32_t pictures = 0;
  bool videoDone = false, audioDone = false;
  while (!videoDone || !audioDone) {
    const double soundMs = double(left.size()) * 1000 / rate;
    const double pictureMs = list.FrameToMs(list.FramePos);
    if (!audioDone && (videoDone || soundMs < pictureMs + soundLeadMs)) {
      uint8_t* out = nullptr;
      int32_t count = 0;
      if (list.DecodeAudio(out, count, 0) != 0) {
        audioDone = true;
        continue;
      }
      ASSERT_EQ(count % frameBytes, 0);
      for (int32_t i = 0; i < count; i += frameBytes) {
        int16_t sample;
        std::memcpy(&sample, out + i, 2);
        left.push_back(sample);
      }
    } else {
      const int32_t result = list.DecodeVideo(screen, dfShow);
      if (result != drPicture) {
        ASSERT_EQ(result, drEnd);
        ASSERT_EQ(screen.FErrMsg, "") << screen.FErrFile;
        videoDone = true;
        continue;
      }
      // Pictures come one by one in timeline order, each from its own file.
      ASSERT_EQ(list.FramePos, pictures + 1);
      ASSERT_EQ(list.FileIndexOfFrame(pictures), list.CurFile);
      const int32_t inFile = pictures - list.StartFrames[size_t(list.CurFile)];
      if (kPlayList[list.CurFile].numbered) {
        ASSERT_EQ(ShownNumber(screen), inFile) << pictures;
      }
      ++pictures;
    }
  }
  ASSERT_EQ(pictures, list.TotalFrames);

  // Each file contributes its video length of sound, to the sample.
  std::vector<int64_t> joins{0};
  for (int32_t i = 0; i < kEntries; ++i) {
    joins.push_back(joins.back() + list.File(i).LengthInSamples(rate));
  }
  EXPECT_EQ(int64_t(left.size()), joins.back());
  for (int32_t i = 0; i < kEntries; ++i)
    EXPECT_NEAR(double(joins[size_t(i)]) * 1000 / rate, list.StartMs[size_t(i)], 1.0) << i;

  // Every change of tone falls on its join, within 2 ms.
  const int64_t margin = rate / 10;
  for (int32_t i = 1; i < kEntries; ++i) {
    const int64_t join = joins[size_t(i)];
    const TEntry& before = kPlayList[i - 1];
    const TEntry& after = kPlayList[i];
    if (before.tone == after.tone) continue;  // nothing to hear
    if (after.tone > 0) {
      const double steady = ToneAmplitude(left, join + margin, rate / 50, after.tone, rate);
      const auto edge =
          ToneEdge(left, join - margin, join + margin, after.tone, rate, true, steady);
      ASSERT_TRUE(edge) << after.name;
      const double errorMs = double(*edge - join) * 1000 / rate;
      EXPECT_LE(std::fabs(errorMs), 2.0) << after.name << " starts " << errorMs << " ms off";
      std::printf("join %d: %s starts %+.3f ms from its first picture\n", i, after.name, errorMs);
    }
    if (before.tone > 0 && before.soundSeconds == 0) {
      const double steady =
          ToneAmplitude(left, join - margin - rate / 50, rate / 50, before.tone, rate);
      const auto edge =
          ToneEdge(left, join - margin, join + margin, before.tone, rate, false, steady);
      ASSERT_TRUE(edge) << before.name;
      const double errorMs = double(*edge - join) * 1000 / rate;
      EXPECT_LE(std::fabs(errorMs), 2.0) << before.name << " stops " << errorMs << " ms off";
      std::printf("join %d: %s stops %+.3f ms from the next file's first picture\n", i, before.name,
                  errorMs);
    }
    if (before.soundSeconds > 0) {
      // Sound shorter than the pictures stops where it stops, then silence.
      const int64_t stop = joins[size_t(i) - 1] + int64_t(before.soundSeconds * rate);
      const double steady = ToneAmplitude(left, stop - margin, rate / 50, before.tone, rate);
      const auto edge =
          ToneEdge(left, stop - margin, stop + margin, before.tone, rate, false, steady);
      ASSERT_TRUE(edge) << before.name;
      EXPECT_LE(std::fabs(double(*edge - stop) * 1000 / rate), 2.0) << before.name;
      EXPECT_LT(ToneAmplitude(left, stop + margin, join - stop - margin, before.tone, rate), 1.0);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(SoundLead, GaplessPlayTest, ::testing::Values(400.0, 0.0, -400.0),
                         [](const auto& info) {
                           return info.param > 0   ? std::string("SoundAhead")
                                  : info.param < 0 ? std::string("SoundBehind")
                                                   : std::string("InStep");
                         });

}  // namespace
}  // namespace vexo

// Sound of one input file: chunk sizes, the total against the video length,
// silence and cutting at the ends, and alignment after a seek.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "engine/input/av_frame_seek.h"
#include "engine/input/av_in_file.h"
#include "engine/media/av_types.h"
#include "tests/support/decode_rig.h"
#include "tests/support/media_test.h"
#include "tests/support/test_in_file.h"
#include "tests/support/test_media.h"

namespace vexo {
namespace {

class InFileAudioTest : public test::TMediaTest {};

// Index of the first sample louder than a whisper, or -1.
int64_t FirstSound(const std::vector<int16_t>& sound, size_t from = 0) {
  for (size_t i = from; i < sound.size(); ++i)
    if (std::abs(int(sound[i])) > 300) return int64_t(i);
  return -1;
}

// Gain in dB of a Butterworth low-pass of `order` made by the bilinear
// transform with pre-warping, whose gain at `corner` is `cornerGain`.
double ButterworthGainDb(double hz, double corner, double rate, int order, double cornerGain) {
  const double ratio =
      std::tan(std::numbers::pi * hz / rate) / std::tan(std::numbers::pi * corner / rate);
  const double epsilon2 = 1 / (cornerGain * cornerGain) - 1;
  return -10 * std::log10(1 + epsilon2 * std::pow(ratio, 2 * order));
}

// RMS level in dB of one channel of interleaved stereo sound relative to a
// full-scale sine, from `from` sample frames on.
double ChannelLevelDb(const std::vector<int16_t>& sound, int channel, size_t from) {
  double sum = 0;
  size_t n = 0;
  for (size_t i = from * 2 + size_t(channel); i < sound.size(); i += 2, ++n)
    sum += double(sound[i]) * sound[i];
  return 10 * std::log10(sum / double(n) / (32767.0 * 32767.0 / 2));
}

// A loud 440 Hz tone on the left and 9000 Hz on the right: each channel
// passes its own filter, so the low tone keeps its level and the high one
// loses what the filter's design says, with nothing of either leaking over.
TEST_F(InFileAudioTest, TheLowPassFilterWorksOnEachChannelAlone) {
  const double toneDb = 20 * std::log10(0.9);
  const size_t settled = 4410;  // 100 ms for the filters to settle
  for (bool on : {false, true}) {
    SCOPED_TRACE(on ? "filter on" : "filter off");
    AVParams.LowPassOn = on ? 1 : 0;
    test::TDecodeRig rig;
    auto file = rig.Open("lowpass_440_9000.mov");
    ASSERT_EQ(file->Audio[0].Channels, 2);
    ASSERT_EQ(file->LowPassOn, on ? 1 : 0);
    const auto sound = test::DecodeAllSound(*file);
    ASSERT_GT(sound.size(), 44100u * 2);
    const double left = ChannelLevelDb(sound, 0, settled);
    const double right = ChannelLevelDb(sound, 1, settled);
    const double lowGain = ButterworthGainDb(440, 7000, 44100, 3, 0.1);
    const double highGain = ButterworthGainDb(9000, 7000, 44100, 3, 0.1);
    EXPECT_NEAR(left, toneDb + (on ? lowGain : 0), 0.1);
    EXPECT_NEAR(right, toneDb + (on ? highGain : 0), 0.3);
  }
}

class WholeFileSound : public InFileAudioTest, public ::testing::WithParamInterface<const char*> {};

// Every file hands out exactly its video length of sound, to the sample, in
// pieces of at most 200 ms: shorter sound is followed by silence, longer sound
// is cut, a file without sound yields silence.
TEST_P(WholeFileSound, MatchesTheVideoLengthExactly) {
  test::TDecodeRig rig;
  auto file = rig.Open(GetParam());
  int32_t calls = 0, largest = 0;
  const auto sound = test::DecodeAllSound(*file, &calls, &largest);
  const int64_t expected = file->Audio[0].ExpectedBytes;
  const int64_t videoSamples =
      int64_t(double(file->Video.FrameCount) * rig.Wave.OutRate / file->Video.FrameRate);
  EXPECT_EQ(expected, videoSamples * rig.Wave.OutChannels * 2);
  EXPECT_EQ(int64_t(sound.size()) * 2, expected);
  EXPECT_EQ(file->Audio[0].DeliveredBytes, expected);
  EXPECT_LE(largest, rig.Wave.OutBytes);
  EXPECT_GT(calls, 0);
  uint8_t* out = nullptr;
  int32_t count = 7;
  EXPECT_EQ(file->DecodeAudio(out, count, 0, nullptr), -1);
  EXPECT_EQ(count, 0);
}

INSTANTIATE_TEST_SUITE_P(Files, WholeFileSound,
                         ::testing::Values("numbered_h264.mp4", "numbered_mpeg4.avi",
                                           "numbered_mpeg2.mpg", "numbered_flv1.flv",
                                           "numbered_mjpeg.avi", "sound_short.avi",
                                           "sound_long.avi", "tone_at_4s.mov", "tone_at_4s.mp4",
                                           "late_sound.mp4", "numbered_hevc.mp4",
                                           "numbered_vp9_opus.webm", "numbered_h264_ac3.mkv",
                                           "numbered_h264_late.ts", "numbered_h264_late.m2ts",
                                           "hevc_aac.mov", "av1_aac.mp4", "theora_vorbis.ogv",
                                           "wmv2_wma.wmv", "mpeg2_ac3.vob", "h264_aac.3gp"),
                         [](const auto& info) { return test::TestName(info.param); });

TEST_F(InFileAudioTest, SoundEndingBeforeTheVideoIsFollowedBySilence) {
  test::TDecodeRig rig;
  auto file = rig.Open("sound_short.avi");
  const auto sound = test::DecodeAllSound(*file);
  const size_t perSecond = size_t(rig.Wave.OutRate) * size_t(rig.Wave.OutChannels);
  EXPECT_GE(FirstSound(sound, perSecond * 4), 0) << "the tone runs to 5 s";
  EXPECT_EQ(FirstSound(sound, perSecond * 51 / 10), -1) << "silence after 5 s";
}

TEST_F(InFileAudioTest, SoundRunningPastTheVideoIsCutAtItsEnd) {
  test::TDecodeRig rig;
  auto file = rig.Open("sound_long.avi");
  const auto sound = test::DecodeAllSound(*file);
  const size_t perSecond = size_t(rig.Wave.OutRate) * size_t(rig.Wave.OutChannels);
  // The video runs a little over 10 s; the sound stops with it, not at 12 s.
  EXPECT_EQ(int64_t(sound.size()) * 2, file->Audio[0].ExpectedBytes);
  EXPECT_LT(sound.size(), perSecond * 21 / 2);
  EXPECT_GE(FirstSound(sound, sound.size() - perSecond / 20), 0) << "the tone runs to the cut";
}

struct AlignCase {
  const char* file;
  int64_t frame;        // seek target at 25 frames per second
  double soundAt;       // seconds where the sound starts in the file
  const char* logLine;  // the alignment line the first decode writes
};

class SoundAfterSeek : public InFileAudioTest, public ::testing::WithParamInterface<AlignCase> {};

// The first chunk after a seek starts at the target: a packet that begins
// before it is trimmed, a gap before the first packet becomes silence.
TEST_P(SoundAfterSeek, StartsAtTheTarget) {
  const AlignCase& c = GetParam();
  test::TDecodeRig rig;
  auto file = rig.Open(c.file);
  test::TCapturedLog log;
  ASSERT_EQ(SeekFileToFrame(*file, *rig.Screen, c.frame, true), drPicture);
  const auto sound = test::DecodeAllSound(*file);
  const double perSecond = double(rig.Wave.OutRate) * rig.Wave.OutChannels;
  const double target = double(c.frame) / 25.0;
  ASSERT_EQ(int64_t(sound.size()) * 2,
            file->Audio[0].ExpectedBytes - std::llround(target * perSecond) * 2);
  const int64_t first = FirstSound(sound);
  ASSERT_GE(first, 0);
  EXPECT_NEAR(double(first) / perSecond, std::max(c.soundAt - target, 0.0), 0.005);
  const auto lines = log.Take();
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& l) {
    return l.rfind(c.logLine, 0) == 0;
  })) << ::testing::PrintToString(lines);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SoundAfterSeek,
    ::testing::Values(AlignCase{"tone_at_4s.mov", 75, 4.0, "Audio trimBytes = "},
                      AlignCase{"tone_at_4s.mp4", 75, 4.0, "Audio trimBytes = "},
                      AlignCase{"tone_at_4s.mov", 113, 4.0, "Audio trimBytes = "},
                      AlignCase{"late_sound.mp4", 25, 2.0, "Audio waitBytes = "},
                      AlignCase{"tone_at_4s.mkv", 75, 4.0, "Audio trimBytes = "},
                      AlignCase{"tone_at_4s.mkv", 113, 4.0, "Audio trimBytes = "}),
    [](const auto& info) {
      return test::TestName(std::string(info.param.file) + "_" + std::to_string(info.param.frame));
    });

TEST_F(InFileAudioTest, ChunksAreCollectedBy100MsAndHandedOutBy200Ms) {
  test::TDecodeRig rig;
  auto file = rig.Open("tone_at_4s.mov");
  uint8_t* out = nullptr;
  int32_t count = 0;
  ASSERT_EQ(file->DecodeAudio(out, count, 0, nullptr), 0);
  EXPECT_GE(count, rig.Wave.ChunkBytes);
  EXPECT_LE(count, rig.Wave.OutBytes);
  EXPECT_EQ(count % (rig.Wave.OutChannels * 2), 0);
  EXPECT_EQ(file->Audio[0].DeliveredBytes, count);
}

}  // namespace
}  // namespace vexo

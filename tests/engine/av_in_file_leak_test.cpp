#include <gtest/gtest.h>

#include <algorithm>

#include "engine/input/av_in_file.h"
#include "tests/support/test_in_file.h"
#include "tests/support/test_media.h"

namespace vexo {
namespace {

// Opening and closing every fixture many times; the leak checker of the
// address sanitizer reports anything a file leaves behind.
TEST(InFileLifetime, EveryFixtureOpensAndClosesAHundredTimes) {
  test::LoadMediaLib();
  for (const char* name :
       {"h264_aac.mp4", "mpeg4_mp3.avi", "mjpeg.avi", "mpeg2_mp2.mpg", "flv1_mp3.flv", "h264.mov",
        "photo_640x480.jpg", "audio_only.mp3", "truncated.mp4", "corrupt_middle.avi",
        "not_media.avi", "two_video_two_audio.avi", "h264_aac24000.mp4", "h264_aac16000_mono.mp4",
        "width0.avi", "mpeg2_50fps.mpg"}) {
    std::string firstError;
    for (int round = 0; round < 100; ++round) {
      std::string error;
      auto file = test::OpenFixture(name, error);
      if (round == 0) firstError = error;
      ASSERT_EQ(error, firstError) << name << " round " << round;
    }
  }
}

// Three clips of one size and codec: their pictures share one decoder
// context down the chain, while the third clip's other sound releases the
// first two's shared sound context and opens its own.
TEST(InFileLifetime, SharedContextsAreFreedOnceInEitherOrder) {
  test::LoadMediaLib();
  for (int round = 0; round < 100; ++round) {
    for (bool firstGoesFirst : {true, false}) {
      TAVInFileArray files;
      std::string error;
      files.push_back(test::OpenFixture("mpeg4_mp3.avi", error, 0, nullptr));
      files.push_back(test::OpenFixture("mpeg4_mp3_b.avi", error, 1, files[0].get()));
      files.push_back(test::OpenFixture("numbered_mpeg4_1000.avi", error, 2, files[1].get()));
      for (auto& file : files) {
        file->FilesRef = &files;
        file->FileCount = int32_t(files.size());
      }
      for (size_t i = 1; i < files.size(); ++i)
        for (int32_t kind : {tkVideo, tkAudio})
          files[i]->OpenDecoder(kind, files[i - 1].get(), false);
      ASSERT_EQ(files[1]->Video.CodecCtx, files[0]->Video.CodecCtx);
      ASSERT_EQ(files[2]->Video.CodecCtx, files[0]->Video.CodecCtx);
      ASSERT_EQ(files[2]->Video.SharedFrom, 0);
      ASSERT_NE(files[1]->Audio[0].CodecCtx, files[0]->Audio[0].CodecCtx);
      ASSERT_EQ(files[2]->Audio[0].Opened, 1);
      if (firstGoesFirst) {
        files.front().reset();
      } else {
        std::reverse(files.begin(), files.end());
        files.front().reset();
      }
    }
  }
}

}  // namespace
}  // namespace vexo

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/test_media.h"

// The generated media exist before any test that needs them runs.
TEST(TestMedia, GeneratorMadeEveryFile) {
  for (const char* name : {"h264_aac.mp4", "mpeg4_mp3.avi", "mjpeg.avi", "mpeg2_mp2.mpg",
                           "flv1_mp3.flv", "h264.mov", "photo_640x480.jpg", "photo_1024x768.jpg",
                           "audio_only.mp3", "truncated.mp4", "corrupt_middle.avi"})
    EXPECT_TRUE(std::filesystem::exists(vexo::test::MediaPath(name))) << name;
}

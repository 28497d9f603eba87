#pragma once
// Base of tests that open media: FFmpeg is bound, and whatever a test does to
// the engine parameters is undone after it.
#include <gtest/gtest.h>

#include "engine/media/av_types.h"
#include "tests/support/test_media.h"

namespace vexo::test {

class TMediaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LoadMediaLib();
    FSavedParams = AVParams;
  }
  void TearDown() override { AVParams = FSavedParams; }

 private:
  TAVParams FSavedParams;
};

}  // namespace vexo::test

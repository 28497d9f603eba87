#include "engine/media/av_frame_buf.h"

#include <gtest/gtest.h>

#include <cstring>

#include "engine/media/media_lib.h"
#include "tests/support/test_media.h"

namespace vexo {
namespace {

constexpr AVPixelFormat kFmt = AV_PIX_FMT_YUV420P;

// An owned YUV 4:2:0 picture whose every byte is `fill`.
AVFrame* MakePicture(int w, int h, uint8_t fill) {
  AVFrame* frame = ff::av_frame_alloc();
  frame->format = kFmt;
  frame->width = w;
  frame->height = h;
  ff::av_frame_get_buffer(frame, 0);
  for (int plane = 0; plane < 3; ++plane) {
    const int rows = plane == 0 ? h : (h + 1) / 2;
    std::memset(frame->data[plane], fill, size_t(frame->linesize[plane]) * size_t(rows));
  }
  return frame;
}

class FrameBufTest : public ::testing::Test {
 protected:
  void SetUp() override { test::LoadMediaLib(); }
  void TearDown() override {
    for (AVFrame* frame : frames_) ff::av_frame_free(&frame);
  }
  AVFrame* Picture(int w, int h, uint8_t fill) {
    return frames_.emplace_back(MakePicture(w, h, fill));
  }
  std::vector<AVFrame*> frames_;
};

TEST_F(FrameBufTest, TakesPicturesInOrderAndKeepsStorage) {
  TAVFrameBuf ring;
  for (uint8_t fill : {10, 20, 30}) ring.Put(Picture(64, 48, fill), kFmt, 64, 48);
  EXPECT_EQ(ring.Count, 3);
  AVFrame* out = Picture(64, 48, 0);
  for (uint8_t fill : {10, 20, 30}) {
    AVFrame* dest = out;
    ring.Take(dest, kFmt, 64, 48);
    ASSERT_EQ(dest, out);
    EXPECT_EQ(out->data[0][0], fill);
    EXPECT_EQ(out->data[2][out->linesize[2] * 23 + 31], fill);
  }
  EXPECT_EQ(ring.Count, 0);
  for (int slot = 0; slot < 3; ++slot) {
    EXPECT_EQ(ring.Frames[size_t(slot)], nullptr);
    EXPECT_GE(ring.Buffers[size_t(slot)].size(), size_t(64 * 48 * 3 / 2));
  }
}

TEST_F(FrameBufTest, TakeOnEmptyRingEmptiesTheReference) {
  TAVFrameBuf ring;
  AVFrame* dest = Picture(16, 16, 1);
  ring.Take(dest, kFmt, 16, 16);
  EXPECT_EQ(dest, nullptr);
  EXPECT_EQ(ring.Count, 0);
}

TEST_F(FrameBufTest, FullRingDropsTheOldestPicture) {
  TAVFrameBuf ring;
  for (uint8_t fill = 1; fill <= 5; ++fill) ring.Put(Picture(16, 16, fill), kFmt, 16, 16);
  EXPECT_EQ(ring.Count, 4);
  AVFrame* out = Picture(16, 16, 0);
  for (uint8_t fill = 2; fill <= 5; ++fill) {
    AVFrame* dest = out;
    ring.Take(dest, kFmt, 16, 16);
    EXPECT_EQ(out->data[0][0], fill);
  }
  EXPECT_EQ(ring.Count, 0);
}

// After a Reset the slots still hold records sized for the old picture; a
// bigger one must get bigger storage, which the address sanitizer checks.
TEST_F(FrameBufTest, ResetThenLargerPictureIsStoredWhole) {
  TAVFrameBuf ring;
  ring.Put(Picture(16, 16, 1), kFmt, 16, 16);
  ring.Reset();
  ring.Put(Picture(320, 240, 9), kFmt, 320, 240);
  AVFrame* out = Picture(320, 240, 0);
  AVFrame* dest = out;
  ring.Take(dest, kFmt, 320, 240);
  EXPECT_EQ(out->data[0][out->linesize[0] * 239 + 319], 9);
}

}  // namespace
}  // namespace vexo

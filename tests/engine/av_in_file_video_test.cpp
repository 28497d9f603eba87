// Decoding pictures of one input file: every frame in order, exact seeks, and
// the errors a picture can end with.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>

#include "engine/input/av_frame_seek.h"
#include "engine/input/av_in_file.h"
#include "engine/media/av_types.h"
#include "engine/media/media_lib.h"
#include "tests/support/decode_rig.h"
#include "tests/support/media_test.h"
#include "tests/support/test_in_file.h"
#include "tests/support/test_media.h"

namespace vexo {
namespace {

class InFileVideoTest : public test::TMediaTest {};

struct NumberedClip {
  const char* file;
  int32_t firstNumber;              // the number frame 0 shows
  int32_t frames;                   // pictures the file shows
  int64_t lastSeek;                 // the last frame the seek table asks for; -1: none
  std::vector<int64_t> emptySlots;  // frame slots without a picture of their own

  // The number a frame slot shows: one less after each empty slot.
  int32_t NumberAt(int64_t slot) const {
    return firstNumber + int32_t(slot) -
           int32_t(std::count_if(emptySlots.begin(), emptySlots.end(),
                                 [slot](int64_t empty) { return slot > empty; }));
  }
  bool IsEmptySlot(int64_t slot) const {
    return std::find(emptySlots.begin(), emptySlots.end(), slot) != emptySlots.end();
  }
};

// Containers, codecs and start offsets the player meets. The cut MP4 starts in
// the middle of a GOP through its edit list: frame 0 shows number 33, and its
// header counts the 33 pictures before the cut too, which are decoded for the
// pictures after them but never shown or counted.
const NumberedClip kClips[] = {
    {"numbered_h264.mp4", 0, 300, 299, {}},
    {"numbered_mpeg4.avi", 0, 300, 299, {}},
    {"numbered_gap.avi", 0, 300, 300, {1}},
    {"numbered_mpeg2.mpg", 0, 300, 299, {}},
    {"numbered_flv1.flv", 0, 300, 299, {}},
    {"numbered_mjpeg.avi", 0, 300, 299, {}},
    {"numbered_offset.mp4", 0, 300, 299, {}},
    {"numbered_mpeg2_late.mpg", 0, 300, 299, {}},
    {"numbered_h264_cut.mp4", 33, 152, 151, {}},
    {"numbered_mpeg2.ts", 0, 300, 299, {}},
    {"numbered_h264.ts", 0, 300, 299, {}},
    // Pictures stored out of display order (two B-frames between references).
    {"numbered_mpeg4_bf.avi", 0, 300, 299, {}},
    // Today's containers, 4 s each: HEVC with B-frames in MP4, VP9 in WebM
    // (whose Opus priming puts the pictures 7 ms late), H.264 in Matroska, and
    // the same streams in a transport stream from 1000 s and an M2TS from 600 s.
    {"numbered_hevc.mp4", 0, 100, 99, {}},
    {"numbered_vp9_opus.webm", 0, 100, 99, {}},
    {"numbered_h264_ac3.mkv", 0, 100, 99, {}},
    {"numbered_h264_late.ts", 0, 100, 99, {}},
    {"numbered_h264_late.m2ts", 0, 100, 99, {}},
    // Every family of pixel formats: high bit depth, 4:2:2 and 4:4:4, R, G, B
    // and grey (and VP9 whose alpha the decoder leaves aside).
    {"numbered_hevc10.mp4", 0, 100, 99, {}},
    {"numbered_h264_422.mkv", 0, 100, 99, {}},
    {"numbered_h264_444.mkv", 0, 100, 99, {}},
    {"numbered_prores.mov", 0, 100, 99, {}},
    {"numbered_vp9_10bit.webm", 0, 100, 99, {}},
    {"numbered_vp9_alpha.webm", 0, 100, 99, {}},
    {"numbered_av1_10bit.mkv", 0, 100, 99, {}},
    {"numbered_rgb24.mov", 0, 100, 99, {}},
    {"numbered_grey.mkv", 0, 100, 99, {}},
};

std::string ClipName(const ::testing::TestParamInfo<NumberedClip>& info) {
  return test::TestName(info.param.file);
}

class NumberedClipTest : public InFileVideoTest,
                         public ::testing::WithParamInterface<NumberedClip> {};

// Catches a FramePos off by one, pictures dropped or repeated at B-frame
// reordering, and pictures lost when the decoder is drained at the end.
TEST_P(NumberedClipTest, DecodesEveryFrameInOrder) {
  const NumberedClip& clip = GetParam();
  test::TDecodeRig rig;
  auto file = rig.Open(clip.file);
  std::vector<int32_t> wrong;
  int32_t shown = 0;
  for (; shown < 400; ++shown) {
    const int r = file->DecodeVideo(*rig.Screen, nullptr, dfShow, shown == 0);
    if (r != drPicture) {
      EXPECT_EQ(r, drEnd);
      EXPECT_EQ(rig.Screen->FErrMsg, "");
      break;
    }
    // Every picture once, in order, at the frame slot that FramePos names.
    const int32_t number = test::ReadFrameNumber(*rig.Screen);
    if (number != clip.firstNumber + shown || number != clip.NumberAt(file->Video.FramePos - 1))
      wrong.push_back(shown);
  }
  EXPECT_EQ(shown, clip.frames);
  // The count the timeline uses: every shown picture and an empty slot.
  EXPECT_EQ(file->Video.FrameCount, clip.frames + int32_t(clip.emptySlots.size()));
  EXPECT_TRUE(wrong.empty()) << wrong.size() << " wrong pictures, the first at frame "
                             << wrong.front();
}

// Seeks the way the player control does (the key-frame search, then decoding
// forward to the frame) to every frame of `frames`; the frames that show
// another picture, with the number they show.
std::map<int64_t, int32_t> SeekMisses(const NumberedClip& clip,
                                      const std::vector<int64_t>& frames) {
  test::TDecodeRig rig;
  auto file = rig.Open(clip.file);
  std::map<int64_t, int32_t> wrong;
  for (int64_t frame : frames) {
    if (frame > clip.lastSeek || clip.IsEmptySlot(frame)) continue;
    const int r = SeekFileToFrame(*file, *rig.Screen, frame, true);
    EXPECT_EQ(r, drPicture) << "frame " << frame << ": " << rig.Screen->FErrMsg;
    EXPECT_EQ(file->Video.FramePos, frame + 1) << "frame " << frame;
    const int32_t number = test::ReadFrameNumber(*rig.Screen);
    if (number != clip.NumberAt(frame)) wrong[frame] = number;
  }
  return wrong;
}

// The table holds the first and last frames, frames on both sides of key
// frames of every GOP length used (15, 25, 50, 100), frames in the middle of
// GOPs, and jumps back and forth.
TEST_P(NumberedClipTest, SeeksExactlyToEveryFrameOfTheTable) {
  const std::vector<int64_t> table = {0,   1,   14,  15,  16,  24,  25,  26,  49,  50,  51,  99,
                                      100, 101, 137, 149, 150, 151, 199, 200, 201, 223, 249, 250,
                                      251, 267, 298, 299, 0,   150, 7,   299, 42,  151};
  EXPECT_EQ(SeekMisses(GetParam(), table), (std::map<int64_t, int32_t>{}));
}

// Every frame of the first GOPs, in order: key frames and the pictures next
// to them, where a key picture's own stamp may mislead the count (in MPEG
// program streams the parser may stamp it with the B picture shown before it).
TEST_P(NumberedClipTest, SeeksExactlyToEveryFrameAroundKeyFrames) {
  std::vector<int64_t> frames;
  for (int64_t frame = 0; frame <= 105; ++frame) frames.push_back(frame);
  EXPECT_EQ(SeekMisses(GetParam(), frames), (std::map<int64_t, int32_t>{}));
}

INSTANTIATE_TEST_SUITE_P(Clips, NumberedClipTest, ::testing::ValuesIn(kClips), ClipName);

// The frame number survives every output layout of the screen.
// H.264 with AAC in Matroska of more than a megabyte, as cameras write them:
// their frame count is read from their end, and afterwards the file must
// still open at its first picture, also after seeking away and back.
class LargeMatroskaTest : public InFileVideoTest,
                          public ::testing::WithParamInterface<const char*> {};

TEST_P(LargeMatroskaTest, OpensAtItsFirstPictureAndCountsItsFrames) {
  test::TDecodeRig rig;
  auto file = rig.Open(GetParam());
  ASSERT_TRUE(file);
  EXPECT_EQ(file->Video.FrameCount, test::FfprobeStream(test::MediaPath(GetParam()), 0).Packets);
  auto firstPicture = [&] {
    int result = drSkipped;
    for (int i = 0; i < 1000 && result == drSkipped; ++i)
      result = file->DecodeVideo(*rig.Screen, nullptr, dfShow | dfKeySeek, 1);
    return result;
  };
  ASSERT_EQ(firstPicture(), drPicture) << rig.Screen->FErrMsg;
  EXPECT_EQ(file->Video.FramePos, 1);
  EXPECT_EQ(SeekFileToFrame(*file, *rig.Screen, file->Video.FrameCount / 2, true, nullptr, 0),
            drPicture);
  EXPECT_EQ(file->Video.FramePos, file->Video.FrameCount / 2 + 1);
  file->Flush();
  file->Seek(0, true);
  ASSERT_EQ(firstPicture(), drPicture) << rig.Screen->FErrMsg;
  EXPECT_EQ(file->Video.FramePos, 1);
}

INSTANTIATE_TEST_SUITE_P(Files, LargeMatroskaTest,
                         ::testing::Values("mkv_960x540_25.mkv", "mkv_1280x720_30_g60.mkv",
                                           "mkv_320x180_50_g25_40s.mkv"),
                         [](const auto& info) { return test::TestName(info.param); });

TEST_F(InFileVideoTest, SeekLandsOnTheFrameInEveryScreenLayout) {
  for (uint8_t mode : {vmRaster, vmXVideo, vmGLShader, vmGLTextureGrey}) {
    test::TDecodeRig rig(320, 240, mode);
    auto file = rig.Open("numbered_mpeg4.avi");
    ASSERT_EQ(SeekFileToFrame(*file, *rig.Screen, 137, false), drPicture) << int(mode);
    EXPECT_EQ(test::ReadFrameNumber(*rig.Screen), 137)
        << int(mode) << " " << FourCCText(rig.Screen->FFourCC);
    EXPECT_GT(rig.Screen->FFrameBytes, 0);
    EXPECT_LE(rig.Screen->FFrameBytes, rig.Screen->FFrameBufSize);
  }
}

TEST_F(InFileVideoTest, KeySeekSkipsPacketsBeforeTheKeyFrameOnePerCall) {
  test::TDecodeRig rig;
  auto file = rig.Open("numbered_mpeg4.avi");
  // Seek ahead of frame 30 and drop the key packet that the seek found, as a
  // late video thread does.
  file->Seek(30, false);
  TAVPacket* key = nullptr;
  ASSERT_EQ(file->ReadPacket(key, file->Video.StreamIndex), 0);
  ASSERT_TRUE(key->flags & AV_PKT_FLAG_KEY);
  FreePacket(key);
  int skipped = 0, r;
  while ((r = file->DecodeVideo(*rig.Screen, nullptr, dfShow | dfKeySeek, 0)) == drSkipped)
    ++skipped;
  ASSERT_EQ(r, drPicture);
  EXPECT_EQ(skipped, 24);  // frames 26 to 49; GOP of 25
  EXPECT_EQ(file->Video.FramePos, 51);
  EXPECT_EQ(test::ReadFrameNumber(*rig.Screen), 50);
}

TEST_F(InFileVideoTest, ReadingNeedsAnEmptyPacketReference) {
  test::TDecodeRig rig;
  auto file = rig.Open("numbered_mpeg4.avi");
  TAVPacket* packet = NewPacket();
  try {
    file->ReadPacket(packet, 0);
    ADD_FAILURE() << "no error";
  } catch (const TAVDecodeError& e) {
    EXPECT_STREQ(e.what(), "r_pkt = nil, StreamInd = 0");
  }
  FreePacket(packet);
}

TEST_F(InFileVideoTest, PicturesOfTheOtherStreamWaitInTheirQueue) {
  test::TDecodeRig rig;
  auto file = rig.Open("numbered_mpeg2.mpg");
  uint8_t* out = nullptr;
  int32_t count = 0;
  // Sound first: the video packets met on the way are kept for the video side.
  ASSERT_EQ(file->DecodeAudio(out, count, 0, nullptr), 0);
  EXPECT_GT(file->Video.PacketQueue->Count, 0);
  for (int frame = 0; frame < 5; ++frame) {
    ASSERT_EQ(file->DecodeVideo(*rig.Screen, nullptr, dfShow, 0), drPicture);
    EXPECT_EQ(test::ReadFrameNumber(*rig.Screen), frame);
  }
}

struct ErrorCase {
  const char* name;
  const char* file;
  const char* error;  // what the decode raises or reports
  bool raised;
  const char* errFile;  // the screen's FErrFile
};

class InFileVideoErrors : public InFileVideoTest,
                          public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(InFileVideoErrors, EndTheDecodeWithTheirText) {
  const ErrorCase& c = GetParam();
  test::TDecodeRig rig;
  std::string error;
  auto file = test::OpenFixture(c.file, error);
  ASSERT_EQ(error, "");
  rig.Attach(*file);
  if (c.raised) {
    try {
      file->DecodeVideo(*rig.Screen, nullptr, dfShow, 1);
      ADD_FAILURE() << "no error";
    } catch (const TAVDecodeError& e) {
      EXPECT_EQ(e.what(), std::string(c.error));
    }
  } else {
    EXPECT_EQ(file->DecodeVideo(*rig.Screen, nullptr, dfShow, 1), drEnd);
  }
  if (std::string(c.errFile) != "-") {
    EXPECT_EQ(rig.Screen->FErrFile, c.errFile);
  }
  if (!c.raised) {
    EXPECT_EQ(rig.Screen->FErrMsg, c.error);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, InFileVideoErrors,
                         ::testing::Values(ErrorCase{"RawPacketOneByteShort", "raw_short.avi",
                                                     "Unexpected packet size (raw yuv)", true,
                                                     "-"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A header that names no pixel format (or another) opens on what the decoder
// gives: H.264 in 4:2:2 once failed here with the internal detection text.
TEST_F(InFileVideoTest, APictureFormatTheHeaderDoesNotNameOpensOnTheDecodersOwn) {
  test::TDecodeRig rig;
  auto file = rig.Open("h264_422.mp4");
  ASSERT_EQ(file->DecodeVideo(*rig.Screen, nullptr, dfShow, 1), drPicture);
  EXPECT_EQ(rig.Screen->FErrMsg, "");
  EXPECT_EQ(file->Video.HeaderPixFmt, AV_PIX_FMT_YUV422P);
}

TEST_F(InFileVideoTest, AFileWithoutPicturesFailsOnItsFirstFrame) {
  test::TDecodeRig rig;
  auto file = rig.Open("numbered_mpeg4.avi");
  file->Video.FramePos = 0;
  file->Seek(0, false);
  // Every packet is dropped as lying before a target beyond the end.
  file->Video.SeekFrame = 100000;
  EXPECT_EQ(file->DecodeVideo(*rig.Screen, nullptr, dfShow, 1), drEnd);
  EXPECT_EQ(rig.Screen->FErrMsg, "Failed to decode 1st frame");
  EXPECT_EQ(rig.Screen->FErrFile, test::MediaPath("numbered_mpeg4.avi"));
}

// A file of a list that ends before its counted frames keeps the timeline
// moving one frame per decode, showing its last picture.
TEST_F(InFileVideoTest, AShortFileOfAListAdvancesToItsCountedFrames) {
  test::TDecodeRig rig;
  auto file = rig.Open("numbered_mpeg4.avi");
  file->Video.FrameCount = 303;
  file->FileCount = 2;
  ASSERT_EQ(SeekFileToFrame(*file, *rig.Screen, 298, false), drPicture);
  ASSERT_EQ(file->DecodeVideo(*rig.Screen, nullptr, dfShow, 0), drPicture);
  for (int64_t pos = 301; pos <= 303; ++pos) {
    EXPECT_EQ(file->DecodeVideo(*rig.Screen, nullptr, dfShow, 0), drPicture);
    EXPECT_EQ(file->Video.FramePos, pos);
    EXPECT_EQ(test::ReadFrameNumber(*rig.Screen), 299);
  }
  EXPECT_EQ(file->DecodeVideo(*rig.Screen, nullptr, dfShow, 0), drEnd);
  EXPECT_EQ(rig.Screen->FErrMsg, "");
  // Alone, the file simply ends.
  file->FileCount = 1;
  file->Video.FramePos = 300;
  EXPECT_EQ(file->DecodeVideo(*rig.Screen, nullptr, dfShow, 0), drEnd);
}

TEST_F(InFileVideoTest, PicturesFillTheRingAndComeBackInOrder) {
  test::TDecodeRig rig;
  auto file = rig.Open("numbered_h264.mp4");
  for (int i = 0; i < TAVFrameBuf::Slots; ++i)
    ASSERT_EQ(file->DecodeVideo(*rig.Screen, nullptr, dfShow | dfFillRing, 0), drPicture);
  EXPECT_EQ(rig.Ring.Count, TAVFrameBuf::Slots);
  // Full: nothing more is decoded.
  EXPECT_EQ(file->DecodeVideo(*rig.Screen, nullptr, dfShow | dfFillRing, 0), drPicture);
  EXPECT_EQ(file->Video.FramePos, TAVFrameBuf::Slots);
  for (int i = 0; i < TAVFrameBuf::Slots; ++i) {
    ASSERT_EQ(file->DecodeVideo(*rig.Screen, nullptr, dfShow | dfRingOnly, 0), drPicture);
    EXPECT_EQ(test::ReadFrameNumber(*rig.Screen), i);
  }
  EXPECT_EQ(file->DecodeVideo(*rig.Screen, nullptr, dfShow | dfRingOnly, 0), drEnd);
  // Decoding goes on behind the pictures taken from the ring.
  ASSERT_EQ(file->DecodeVideo(*rig.Screen, nullptr, dfShow, 0), drPicture);
  EXPECT_EQ(test::ReadFrameNumber(*rig.Screen), TAVFrameBuf::Slots);
}

TEST_F(InFileVideoTest, EncoderPictureGetsTheFrameAtTheEncoderSize) {
  test::TDecodeRig rig;
  auto file = rig.Open("numbered_mpeg4.avi");
  AVFrame* enc = ff::av_frame_alloc();
  enc->format = AV_PIX_FMT_YUV420P;
  enc->width = EncodeParams.Width;
  enc->height = EncodeParams.Height;
  ASSERT_GE(ff::av_frame_get_buffer(enc, 0), 0);
  std::memset(enc->data[0], 0, size_t(enc->linesize[0]) * size_t(enc->height));
  file->EncPicture = enc;
  ASSERT_EQ(SeekFileToFrame(*file, *rig.Screen, 5, false), drPicture);
  ASSERT_EQ(file->DecodeVideo(*rig.Screen, nullptr, dfEncode, 1), drPicture);
  // Frame 6 is 0b110: bars 1 and 2 white, scaled to the encoder's width; the
  // content keeps its aspect, so the bars lie in the top half of the content.
  const int32_t y = enc->height / 2 - 10;
  auto luma = [&](int bit) {
    const int32_t x = (bit * 20 + 10) * file->FitWidth / 320 + (enc->width - file->FitWidth) / 2;
    const int32_t top = (enc->height - file->FitHeight) / 2;
    return enc->data[0][size_t(top + (y - top) / 2) * size_t(enc->linesize[0]) + size_t(x)];
  };
  EXPECT_LT(luma(0), 64);
  EXPECT_GT(luma(1), 192);
  EXPECT_GT(luma(2), 192);
  EXPECT_LT(luma(3), 64);
  ff::av_frame_free(&enc);
  file->EncPicture = nullptr;
}

TEST_F(InFileVideoTest, PictureFitsTheSurfaceKeepingItsAspect) {
  struct Case {
    float display, sample, pixel, screen;
    int32_t width, height;
  } cases[] = {
      {4.0f / 3, 1, 1, 4.0f / 3, 640, 480},            // same aspect: the whole surface
      {16.0f / 9, 1, 1, 4.0f / 3, 640, 360},           // wider: bands above and below
      {4.0f / 3, 1, 1, 16.0f / 9, 480, 360},           // narrower: bands left and right
      {4.0f / 3, 16.0f / 15, 1, 16.0f / 9, 512, 360},  // non-square source pixels
  };
  test::TDecodeRig rig;
  auto file = rig.Open("numbered_mpeg4.avi");
  for (const Case& c : cases) {
    file->Video.DisplayAspect = c.display;
    file->Video.SampleAspect = c.sample;
    const int32_t h = c.screen > 1.5f ? 360 : 480;
    file->FitPicture(640, h, c.pixel, c.screen);
    EXPECT_EQ(file->FitWidth, c.width) << c.display << " on " << c.screen;
    EXPECT_EQ(file->FitHeight, c.height) << c.display << " on " << c.screen;
  }
}

// Damaged files decode as far as they can and end cleanly; a time limit makes
// a hang fail instead of blocking the run.
TEST_F(InFileVideoTest, DamagedFilesEndCleanly) {
  struct Case {
    const char* file;
    int32_t minPictures;
  } cases[] = {{"truncated.mpg", 100},
               {"truncated_faststart.mp4", 100},
               {"corrupt_middle.avi", 40},
               {"truncated.mp4", 0}};
  for (const Case& c : cases) {
    test::TDecodeRig rig;
    std::string error;
    auto file = test::OpenFixture(c.file, error);
    if (!error.empty()) continue;  // refused at open: nothing to decode
    rig.Attach(*file);
    const auto start = std::chrono::steady_clock::now();
    int pictures = 0, r = drPicture;
    while ((r = file->DecodeVideo(*rig.Screen, nullptr, dfShow, pictures == 0)) == drPicture)
      ASSERT_LT(++pictures, 10000) << c.file;
    EXPECT_EQ(r, drEnd) << c.file;
    EXPECT_GE(pictures, c.minPictures) << c.file;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60)) << c.file;
    // Seeking and sound after the damage end cleanly too.
    SeekFileToFrame(*file, *rig.Screen, file->Video.FrameCount / 2, true);
    test::DecodeAllSound(*file);
  }
}

}  // namespace
}  // namespace vexo

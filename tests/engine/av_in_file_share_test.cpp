#include <gtest/gtest.h>

#include <algorithm>

#include "engine/input/av_in_file.h"
#include "engine/media/av_types.h"
#include "engine/media/media_lib.h"
#include "tests/support/media_test.h"
#include "tests/support/test_in_file.h"
#include "tests/support/test_media.h"

namespace vexo {
namespace {

// Files opened one after the other as a file list strings them together.
class DecoderShareTest : public test::TMediaTest {
 protected:
  void OpenList(std::initializer_list<const char*> names) {
    files_.clear();
    for (const char* name : names) {
      std::string error;
      TAVInFile* prev = files_.empty() ? nullptr : files_.back().get();
      files_.push_back(test::OpenFixture(name, error, int32_t(files_.size()), prev));
      ASSERT_EQ(error, "") << name;
    }
    for (auto& file : files_) {
      file->FilesRef = &files_;
      file->FileCount = int32_t(files_.size());
    }
  }
  // What the decode of file i does before its first picture or sound.
  void StartDecoding(size_t i, int32_t kind) {
    files_[i]->OpenDecoder(kind, i > 0 ? files_[i - 1].get() : nullptr, false);
  }
  // Starts both kinds of file i and returns what that logged.
  std::vector<std::string> StartBoth(size_t i) {
    test::TCapturedLog log;
    StartDecoding(i, tkVideo);
    StartDecoding(i, tkAudio);
    return log.Take();
  }
  static bool Has(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  TAVInFileArray files_;
};

TEST_F(DecoderShareTest, FirstFileOpensAtOnceLaterFilesDecideAtTheirFirstDecode) {
  test::TCapturedLog log;
  OpenList({"mpeg4_mp3.avi", "mpeg4_mp3_b.avi"});
  const auto lines = log.Take();
  EXPECT_TRUE(Has(lines, "VideoCodecCtx INIT, FileInd: 0"));
  EXPECT_TRUE(Has(lines, "AudioCodecCtx INIT, FileInd: 0"));
  EXPECT_FALSE(Has(lines, "VideoCodecCtx INIT, FileInd: 1"));
  EXPECT_EQ(files_[1]->Video.Opened, 0);
}

TEST_F(DecoderShareTest, EqualMpeg4FilesShareOneContextPerKind) {
  OpenList({"mpeg4_mp3.avi", "mpeg4_mp3_b.avi"});
  const auto lines = StartBoth(1);
  EXPECT_TRUE(Has(lines, "VideoCodecCtx SHARE, FileInd: 0 -> 1"));
  EXPECT_TRUE(Has(lines, "AudioCodecCtx SHARE, FileInd: 0 -> 1"));
  for (int32_t kind : {tkVideo, tkAudio}) {
    TTrack* second = files_[1]->TrackOf(kind);
    EXPECT_EQ(second->CodecCtx, files_[0]->TrackOf(kind)->CodecCtx);
    EXPECT_NE(second->CodecCtx, second->OwnCodecCtx);
    EXPECT_EQ(second->SharedFrom, 0);
    EXPECT_EQ(second->Opened, 0);
    EXPECT_EQ(files_[0]->TrackOf(kind)->Opened, 1);  // the chain's context stays open
  }
}

TEST_F(DecoderShareTest, H264FilesNeverShareAndReleaseThePreviousChain) {
  OpenList({"h264_aac.mp4", "h264_320x240.mp4"});
  test::TCapturedLog log;
  AVCodecContext* firstOwn = files_[0]->Video.OwnCodecCtx;
  StartDecoding(1, tkVideo);
  const auto lines = log.Take();
  EXPECT_TRUE(Has(lines, "VideoCodecCtx INIT, FileInd: 1"));
  EXPECT_FALSE(Has(lines, "VideoCodecCtx SHARE, FileInd: 0 -> 1"));
  EXPECT_EQ(files_[1]->Video.CodecCtx, files_[1]->Video.OwnCodecCtx);
  EXPECT_EQ(files_[1]->Video.Opened, 1);
  // The file left behind gets a fresh, closed context it can open again.
  EXPECT_EQ(files_[0]->Video.Opened, 0);
  EXPECT_NE(files_[0]->Video.OwnCodecCtx, firstOwn);
  EXPECT_EQ(files_[0]->Video.CodecCtx, files_[0]->Video.OwnCodecCtx);
  StartDecoding(0, tkVideo);
  EXPECT_EQ(files_[0]->Video.Opened, 1);
}

TEST_F(DecoderShareTest, ChainRunsBackToItsOwnerAndIsReleasedWhole) {
  OpenList({"mpeg4_mp3.avi", "mpeg4_mp3_b.avi", "mpeg4_mp3.avi"});
  test::TCapturedLog log;
  StartDecoding(1, tkVideo);
  StartDecoding(2, tkVideo);
  EXPECT_TRUE(Has(log.Take(), "VideoCodecCtx SHARE, FileInd: 1 -> 2"));
  EXPECT_EQ(files_[2]->Video.SharedFrom, 0);
  EXPECT_EQ(files_[2]->Video.CodecCtx, files_[0]->Video.OwnCodecCtx);
  TAVInFile::ReleaseSharedDecoders(files_[2].get(), tkVideo);
  for (auto& file : files_) {
    EXPECT_EQ(file->Video.Opened, 0);
    EXPECT_EQ(file->Video.SharedFrom, -1);
    EXPECT_EQ(file->Video.CodecCtx, file->Video.OwnCodecCtx);
  }
}

struct NoShareCase {
  const char* name;
  const char* first;
  const char* second;
  uint8_t share;  // AVParams.CodecCtxShare
};

class DecoderNoShare : public DecoderShareTest,
                       public ::testing::WithParamInterface<NoShareCase> {};

TEST_P(DecoderNoShare, OpensItsOwnVideoContext) {
  const NoShareCase& c = GetParam();
  AVParams.CodecCtxShare = c.share;
  OpenList({c.first, c.second});
  test::TCapturedLog log;
  StartDecoding(1, tkVideo);
  EXPECT_TRUE(Has(log.Take(), "VideoCodecCtx INIT, FileInd: 1"));
  EXPECT_EQ(files_[1]->Video.CodecCtx, files_[1]->Video.OwnCodecCtx);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DecoderNoShare,
    ::testing::Values(NoShareCase{"SharingSwitchedOff", "mpeg4_mp3.avi", "mpeg4_mp3_b.avi", 0},
                      NoShareCase{"OtherSize", "mpeg4_mp3.avi", "two_video_two_audio.avi", 1},
                      NoShareCase{"OtherDecoder", "mjpeg.avi", "mpeg4_mp3.avi", 1},
                      NoShareCase{"OtherContainer", "h264.mov", "mpeg4_mp3.avi", 1}),
    [](const auto& info) { return std::string(info.param.name); });

// The sound of a file of another picture size still takes over the context.
TEST_F(DecoderShareTest, KindsDecideIndependently) {
  OpenList({"mpeg4_mp3.avi", "two_video_two_audio.avi"});
  const auto lines = StartBoth(1);
  EXPECT_TRUE(Has(lines, "VideoCodecCtx INIT, FileInd: 1"));
  EXPECT_TRUE(Has(lines, "AudioCodecCtx SHARE, FileInd: 0 -> 1"));
}

TEST(CanShareDecoder, PictureCountRulesForStills) {
  test::LoadMediaLib();
  const AVCodec* mpeg2 = ff::avcodec_find_decoder(AV_CODEC_ID_MPEG2VIDEO);
  const AVCodec* mpeg4 = ff::avcodec_find_decoder(AV_CODEC_ID_MPEG4);
  auto track = [](const AVCodec* codec, int64_t frames) {
    TTrack t;
    t.Codec = codec;
    t.CodecName = codec->name;
    t.Width = 320;
    t.Height = 240;
    t.FrameCount = frames;
    return t;
  };
  struct {
    const AVCodec* codec;
    int64_t prevFrames, ownFrames;
    bool share;
  } cases[] = {{mpeg2, 1, 1, true},   {mpeg2, 1, 50, false}, {mpeg2, 50, 1, false},
               {mpeg2, 50, 60, true}, {mpeg4, 50, 1, false}, {mpeg4, 1, 50, true}};
  for (const auto& c : cases) {
    TTrack prev = track(c.codec, c.prevFrames), own = track(c.codec, c.ownFrames);
    EXPECT_EQ(TAVInFile::CanShareDecoder(&own, &prev, tkVideo), c.share)
        << c.codec->name << " " << c.prevFrames << " -> " << c.ownFrames;
  }
}

}  // namespace
}  // namespace vexo

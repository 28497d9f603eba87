#include "engine/input/av_in_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "engine/media/av_types.h"
#include "engine/media/media_lib.h"
#include "tests/support/media_test.h"
#include "tests/support/test_in_file.h"
#include "tests/support/test_media.h"

namespace vexo {
namespace {

namespace fs = std::filesystem;

class InFileTest : public test::TMediaTest {
 protected:
  void SetUp() override {
    TMediaTest::SetUp();
    dir_ = fs::temp_directory_path() /
           ("vexo_in_file_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override {
    TMediaTest::TearDown();
    fs::remove_all(dir_);
  }

  std::string Temp(const std::string& name) const { return (dir_ / name).string(); }

  static std::vector<char> Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }
  static void Write(const std::string& path, const std::vector<char>& bytes) {
    std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
  }

  fs::path dir_;
};

struct ErrorCase {
  const char* name;
  std::string path;  // a fixture name, or an absolute path
  std::string error;
};

class InFileErrors : public InFileTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(InFileErrors, ReportTheirText) {
  const ErrorCase& c = GetParam();
  const std::string path = c.path[0] == '/' ? c.path : test::MediaPath(c.path);
  std::string error = "stale";
  TAVInFile file(path, error, 0, nullptr);
  EXPECT_EQ(error, c.error);
}

const std::string kInvalidData = std::to_string(AVERROR_INVALIDDATA);

INSTANTIATE_TEST_SUITE_P(
    Cases, InFileErrors,
    ::testing::Values(ErrorCase{"Missing", "/nonexistent/clip.avi",
                                "ErrorCode -2 on av_open_input_file"},
                      ErrorCase{"NotMedia", "not_media.avi",
                                "ErrorCode " + kInvalidData + " on av_open_input_file"},
                      ErrorCase{"AudioOnly", "audio_only.mp3", "No video stream found"},
                      ErrorCase{"VorbisOnly", "vorbis.ogg", "No video stream found"},
                      ErrorCase{"WidthZero", "width0.avi", "Bad video stream (width=0)"},
                      // Never opened: the file does not even exist.
                      ErrorCase{"ExeUpper", "/nonexistent/SETUP.EXE", "not a video file"},
                      ErrorCase{"ExeMixed", "/nonexistent/setup.eXe", "not a video file"},
                      ErrorCase{"ExeOfMedia", "/nonexistent/h264_aac.mp4.exe", "not a video file"},
                      ErrorCase{"Truncated", "truncated.mp4",
                                "ErrorCode " + kInvalidData + " on av_open_input_file"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(InFileTest, WidthZeroAtOpenIsOnlyLoggedUntilTheDecoderSetUp) {
  test::TCapturedLog log;
  std::string error;
  auto file = test::OpenFixture("width0.avi", error);
  EXPECT_EQ(error, "Bad video stream (width=0)");
  const auto lines = log.Take();
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "Warning: vid.CodecCtx.width = 0, setting streams_info_OK to false"),
            lines.end());
}

// Damaged copies of files of every container either open with the picture size
// of the whole file and no more frames than it has, or report an error; the
// sanitizers catch anything worse.
TEST_F(InFileTest, DamagedFilesNeverCrash) {
  for (const char* name : {"h264_aac.mp4", "mpeg4_mp3.avi", "mjpeg.avi", "mpeg2_mp2.mpg",
                           "flv1_mp3.flv", "h264.mov", "photo_640x480.jpg"}) {
    std::string wholeError;
    const auto original = test::OpenFixture(name, wholeError);
    ASSERT_EQ(wholeError, "") << name;
    const std::vector<char> whole = Read(test::MediaPath(name));
    const std::string ext = fs::path(name).extension().string();
    std::vector<char> cut(whole.begin(), whole.begin() + std::ptrdiff_t(whole.size() / 3));
    std::vector<char> overwritten = whole;
    for (size_t i = whole.size() / 2; i < std::min(whole.size(), whole.size() / 2 + 3000); ++i)
      overwritten[i] = char((i * 7919) & 0xFF);
    std::vector<char> headless(whole.begin() + std::ptrdiff_t(whole.size() / 2), whole.end());
    for (const auto& [label, bytes] :
         {std::pair{"cut", cut}, {"overwritten", overwritten}, {"headless", headless}}) {
      const std::string path = Temp(std::string(label) + ext);
      Write(path, bytes);
      std::string error;
      TAVInFile file(path, error, 0, nullptr);
      if (error.empty()) {
        EXPECT_GE(file.Video.FrameCount, 1) << name << " " << label;
        EXPECT_LE(file.Video.FrameCount, original->Video.FrameCount) << name << " " << label;
        EXPECT_EQ(file.Video.Width, original->Video.Width) << name << " " << label;
        EXPECT_EQ(file.Video.Height, original->Video.Height) << name << " " << label;
      }
    }
  }
}

TEST_F(InFileTest, UsesTheLastVideoStreamAndTheFirstAudioStream) {
  std::string error;
  auto file = test::OpenFixture("two_video_two_audio.avi", error);
  ASSERT_EQ(error, "");
  EXPECT_EQ(file->Video.StreamIndex, 1);
  EXPECT_EQ(file->Video.Width, 160);
  EXPECT_EQ(file->Video.Height, 120);
  EXPECT_EQ(file->AudioCount, 2);
  EXPECT_EQ(file->Audio[0].StreamIndex, 2);
  EXPECT_EQ(file->Audio[0].SampleRate, 44100);
  EXPECT_EQ(file->StreamMap[1], &file->Video);
  EXPECT_EQ(file->StreamMap[2], &file->Audio[0]);
  EXPECT_EQ(file->StreamMap[0], nullptr);
  EXPECT_EQ(file->StreamMap[3], nullptr);
}

// Sample rate and channels of the first sound the library decodes from a file.
std::pair<int, int> DecodedAudioFormat(const std::string& path) {
  AVFormatContext* format = nullptr;
  std::pair<int, int> result{0, 0};
  if (ff::avformat_open_input(&format, path.c_str(), nullptr, nullptr) < 0) return result;
  ff::avformat_find_stream_info(format, nullptr);
  int index = -1;
  for (unsigned i = 0; i < format->nb_streams; ++i)
    if (format->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO) index = int(i);
  AVCodecContext* ctx = NewDecoderContext(format->streams[index]);
  ff::avcodec_open2(ctx, ff::avcodec_find_decoder(ctx->codec_id), nullptr);
  AVPacket* packet = ff::av_packet_alloc();
  AVFrame* frame = ff::av_frame_alloc();
  while (result.first == 0 && ff::av_read_frame(format, packet) >= 0) {
    if (packet->stream_index == index && ff::avcodec_send_packet(ctx, packet) >= 0 &&
        ff::avcodec_receive_frame(ctx, frame) >= 0)
      result = {frame->sample_rate, frame->ch_layout.nb_channels};
    ff::av_packet_unref(packet);
  }
  ff::av_frame_free(&frame);
  ff::av_packet_free(&packet);
  ff::avcodec_free_context(&ctx);
  ff::avformat_close_input(&format);
  return result;
}

// The old AAC decoder doubled 24000 and 16000 Hz; today's decoder reports what
// it outputs, and the track follows it.
TEST_F(InFileTest, LowRateAacPlaysAtTheRateTheDecoderOutputs) {
  struct {
    const char* name;
    int rate, channels;
  } cases[] = {{"h264_aac24000.mp4", 24000, 1}, {"h264_aac16000_mono.mp4", 16000, 1}};
  for (const auto& c : cases) {
    std::string error;
    auto file = test::OpenFixture(c.name, error);
    ASSERT_EQ(error, "") << c.name;
    const auto [rate, channels] = DecodedAudioFormat(test::MediaPath(c.name));
    EXPECT_EQ(file->Audio[0].CodecName, "aac");
    EXPECT_EQ(file->Audio[0].SampleRate, rate) << c.name;
    EXPECT_EQ(file->Audio[0].Channels, channels) << c.name;
    // Plain AAC-LC: no spectral band replication, so no doubling today.
    EXPECT_EQ(rate, c.rate) << c.name;
    EXPECT_EQ(channels, c.channels) << c.name;
  }
}

struct BitRateCase {
  const char* name;
  const char* ext;
  uint32_t bitRate;  // made by a uniform sample size over the 2 s, 50-picture clip
  int width, height;
};

class Mp4BitRate : public InFileTest, public ::testing::WithParamInterface<BitRateCase> {};

TEST_P(Mp4BitRate, CorrectsTheHeaderSize) {
  const BitRateCase& c = GetParam();
  std::vector<char> bytes = Read(test::MediaPath("h264_320x240.mp4"));
  const char tag[] = "stsz";
  auto at = std::search(bytes.begin(), bytes.end(), tag, tag + 4);
  ASSERT_NE(at, bytes.end());
  const uint32_t sampleSize = c.bitRate / 200;  // bits * 2 s / 8 / 50 pictures
  for (int i = 0; i < 4; ++i) at[8 + i] = char(sampleSize >> (24 - 8 * i));
  const std::string path = Temp(std::string("clip") + c.ext);
  Write(path, bytes);
  std::string error;
  TAVInFile file(path, error, 0, nullptr);
  ASSERT_EQ(error, "");
  ASSERT_EQ(file.Video.CodecCtx->bit_rate, c.bitRate);
  EXPECT_EQ(file.Video.Width, c.width);
  EXPECT_EQ(file.Video.Height, c.height);
}

INSTANTIATE_TEST_SUITE_P(Cases, Mp4BitRate,
                         ::testing::Values(BitRateCase{"Qcif", ".mp4", 256000, 176, 144},
                                           BitRateCase{"Vga2M", ".MP4", 2000000, 640, 480},
                                           BitRateCase{"Vga3M", ".mp4", 3000000, 640, 480},
                                           BitRateCase{"OtherRate", ".mp4", 1000000, 320, 240},
                                           BitRateCase{"NotMp4", ".mov", 256000, 320, 240}),
                         [](const auto& info) { return std::string(info.param.name); });

class FrameFigures : public InFileTest, public ::testing::WithParamInterface<const char*> {};

// The count is the container's own figure where it states one (an AVI counts
// the slots of skipped pictures too, which the timeline needs), else what the
// packets give.
TEST_P(FrameFigures, MatchFfprobe) {
  const std::string path = test::MediaPath(GetParam());
  std::string error;
  TAVInFile file(path, error, 0, nullptr);
  ASSERT_EQ(error, "");
  const test::TProbeFacts facts = test::FfprobeStream(path, file.Video.StreamIndex);
  ASSERT_GT(facts.Packets, 0) << "ffprobe failed on " << path;
  EXPECT_EQ(file.Video.FrameCount, facts.HeaderFrames > 0 ? facts.HeaderFrames : facts.Packets);
  EXPECT_NEAR(double(file.Video.FrameCount), double(facts.Packets), 2.0);
  EXPECT_NEAR(file.Video.FrameRate, facts.FrameRate, facts.FrameRate * 0.01);
  EXPECT_NEAR(file.Video.TicksPerFrame * file.Video.FrameRate, file.Video.TicksPerSecond,
              file.Video.TicksPerSecond * 1e-4);
}

INSTANTIATE_TEST_SUITE_P(Cases, FrameFigures,
                         ::testing::Values("h264_aac.mp4", "h264.mov", "mpeg4_mp3.avi", "mjpeg.avi",
                                           "mpeg2_mp2.mpg", "flv1_mp3.flv", "numbered_h264.mp4",
                                           "numbered_mpeg4.avi", "numbered_mpeg2.mpg",
                                           "numbered_flv1.flv", "numbered_mjpeg.avi",
                                           "two_video_two_audio.avi", "mpeg2_50fps.mpg",
                                           // Today's codecs and containers.
                                           "numbered_hevc.mp4", "hevc_aac.mov",
                                           "numbered_vp9_opus.webm", "numbered_h264_ac3.mkv",
                                           "numbered_h264_late.ts", "numbered_h264_late.m2ts",
                                           "av1_aac.mp4", "theora_vorbis.ogv", "wmv2_wma.wmv",
                                           "mpeg2_ac3.vob", "h264_aac.3gp"),
                         [](const auto& info) {
                           std::string name = info.param;
                           for (char& ch : name)
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           return name;
                         });

// A JPEG so small that the format probe reads it to its end comes as a JPEG
// stream rather than a picture file; it is a photo all the same, on screen
// for the photo duration.
TEST_F(InFileTest, ASmallJpegIsAPhoto) {
  std::string error;
  auto photo = test::OpenFixture("photo_portrait_77.jpg", error);
  ASSERT_EQ(error, "");
  EXPECT_EQ(photo->FormatName(), "jpeg_pipe");
  EXPECT_EQ(photo->IsImage, 1);
  EXPECT_EQ(photo->Video.FrameCount, 1);
  EXPECT_FLOAT_EQ(photo->Video.FrameRate, 0.5f);  // 1 frame in 2000 ms
}

// An MPEG-2 stream whose pictures come twice as fast as its header says was
// counted by its fields: it plays at the header's rate with half the count.
// One that really runs at 50 pictures a second keeps its rate.
TEST_F(InFileTest, MpegTwoCountedByFieldsPlaysAtHalfTheRate) {
  std::string error;
  auto fields = test::OpenFixture("mpeg2_field_rate.mpg", error);
  ASSERT_EQ(error, "");
  EXPECT_FLOAT_EQ(fields->Video.FrameRate, 25.0f);
  EXPECT_EQ(fields->Video.FrameCount, 25);
  auto real = test::OpenFixture("mpeg2_50fps.mpg", error);
  ASSERT_EQ(error, "");
  EXPECT_FLOAT_EQ(real->Video.FrameRate, 50.0f);
  EXPECT_EQ(real->Video.FrameCount, 50);
}

// Program streams without a duration in their header are timed by a scan.
TEST_F(InFileTest, ProgramStreamScanCountsLikeFfprobe) {
  for (const char* name : {"mpeg2_mp2.mpg", "numbered_mpeg2.mpg"}) {
    std::string error;
    auto file = test::OpenFixture(name, error);
    ASSERT_EQ(error, "");
    file->Video.Stream->duration = AV_NOPTS_VALUE;
    file->Video.FrameCount = 0;
    file->CountFrames();
    EXPECT_EQ(file->Video.FrameCount, test::FfprobeStream(test::MediaPath(name), 0).Packets)
        << name;
    // The scan leaves the file readable from its start.
    TAVPacket* packet = NewPacket();
    EXPECT_EQ(ff::av_read_frame(file->FormatCtx, packet), 0);
    FreePacket(packet);
  }
}

TEST_F(InFileTest, SlideshowProbesOnlyItsFirstPicture) {
  std::string error;
  auto first = test::OpenFixture("photo_640x480.jpg", error, 0, nullptr);
  ASSERT_EQ(error, "");
  auto second = test::OpenFixture("photo_1024x768.jpg", error, 1, first.get());
  ASSERT_EQ(error, "");
  EXPECT_EQ(first->IsImage, 1);
  EXPECT_EQ(first->StreamsInfoOK, 1);
  EXPECT_EQ(first->Video.Width, 640);
  EXPECT_EQ(first->Video.FrameCount, 1);
  EXPECT_FLOAT_EQ(first->Video.FrameRate, 0.5f);  // 2000 ms on screen
  EXPECT_EQ(second->StreamsInfoOK, 0);
  EXPECT_EQ(second->Video.Width, 640);  // taken from the picture before
  EXPECT_FLOAT_EQ(second->Video.FrameRate, 0.5f);
  EXPECT_EQ(second->Video.Codec, nullptr);

  // When it becomes current it is probed for itself.
  second->InitDecoders(first.get(), error);
  ASSERT_EQ(error, "");
  EXPECT_EQ(second->StreamsInfoOK, 1);
  EXPECT_EQ(second->Video.Width, 1024);
  EXPECT_EQ(second->Video.Height, 768);
  EXPECT_FLOAT_EQ(second->Video.FrameRate, 0.5f);
}

TEST_F(InFileTest, ProbeEachImageAndPhotoDurationAreHonoured) {
  AVParams.ProbeEachImage = 1;
  AVParams.PhotoDurationMs = 5000;
  std::string error;
  auto first = test::OpenFixture("photo_640x480.jpg", error, 0, nullptr);
  auto second = test::OpenFixture("photo_1024x768.jpg", error, 1, first.get());
  ASSERT_EQ(error, "");
  EXPECT_EQ(second->StreamsInfoOK, 1);
  EXPECT_EQ(second->Video.Width, 1024);
  EXPECT_FLOAT_EQ(second->Video.FrameRate, 0.2f);
}

TEST_F(InFileTest, LowPassFiltersFollowTheSoundAndTheSettings) {
  std::string error;
  auto stereo = test::OpenFixture("mpeg4_mp3.avi", error);  // 44100 Hz mono
  ASSERT_EQ(error, "");
  EXPECT_EQ(stereo->LowPassOn, 1);
  EXPECT_EQ(stereo->LowPass.size(), size_t(stereo->Audio[0].Channels));
  // 16000 * 0.4 is below the 7000 Hz corner: filtering would cut the sound.
  auto low = test::OpenFixture("h264_aac16000_mono.mp4", error);
  EXPECT_EQ(low->LowPassOn, 0);
  auto silent = test::OpenFixture("mjpeg.avi", error);
  EXPECT_EQ(silent->AudioCount, 0);
  EXPECT_EQ(silent->LowPassOn, 0);
  AVParams.LowPassOn = 0;
  auto off = test::OpenFixture("mpeg4_mp3.avi", error);
  EXPECT_EQ(off->LowPassOn, 0);
  EXPECT_TRUE(off->LowPass.empty());
}

}  // namespace
}  // namespace vexo

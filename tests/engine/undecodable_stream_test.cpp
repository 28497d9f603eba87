// Files that open but whose streams cannot all be decoded: damaged codec data
// makes a decoder fail to open. The file plays its pictures without sound (or
// fails with a clear error), and no stop, seek or flush touches a decoder
// that is not there.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/input/av_in_file.h"
#include "engine/input/av_in_file_list.h"
#include "engine/media/av_types.h"
#include "engine/playback/av_player.h"
#include "engine/playback/av_sync_queue.h"
#include "engine/playlist/av_playlist.h"
#include "tests/support/captured_log.h"
#include "tests/support/input_fuzz.h"
#include "tests/support/media_test.h"
#include "tests/support/memory_player_host.h"
#include "tests/support/memory_video_system.h"
#include "tests/support/test_in_file.h"
#include "tests/support/test_media.h"

namespace vexo {
namespace {

// Found by fuzzing: a Matroska file (despite its name) whose damaged header
// names an AAC profile the decoder does not implement. CI keeps it beside the
// clone.
std::string DamagedMatroskaFixture() {
  return std::string(VEXO_SOURCE_DIR) + "/../shared/fixtures/damaged-matroska-at-stop.mov";
}

// The Ogg checksum: CRC-32 with polynomial 04C11DB7, unreflected, over the
// page with its checksum field zeroed.
uint32_t OggChecksum(const uint8_t* page, size_t size) {
  uint32_t crc = 0;
  for (size_t i = 0; i < size; ++i) {
    crc ^= uint32_t(page[i]) << 24;
    for (int bit = 0; bit < 8; ++bit) crc = crc & 0x80000000u ? crc << 1 ^ 0x04C11DB7u : crc << 1;
  }
  return crc;
}

// A copy of theora_opus.ogv whose Opus header claims a channel mapping of
// family 1 without the table that family needs: the demultiplexer takes the
// stream, the decoder refuses to open. The page keeps a valid checksum.
std::string DamagedOgg(const std::string& dir) {
  std::vector<uint8_t> bytes = test::ReadBytes(test::MediaPath("theora_opus.ogv"));
  const std::string head = "OpusHead";
  auto at = std::search(bytes.begin(), bytes.end(), head.begin(), head.end());
  if (at == bytes.end()) return "";
  const size_t header = size_t(at - bytes.begin());
  bytes[header + 18] = 1;
  // The page holding the header starts at the last "OggS" before it.
  size_t page = header;
  while (page > 0 && std::memcmp(&bytes[page], "OggS", 4) != 0) --page;
  const size_t segments = bytes[page + 26];
  size_t size = 27 + segments;
  for (size_t i = 0; i < segments; ++i) size += bytes[page + 27 + i];
  std::fill(&bytes[page + 22], &bytes[page + 26], uint8_t(0));
  const uint32_t crc = OggChecksum(&bytes[page], size);
  for (int i = 0; i < 4; ++i) bytes[page + 22 + size_t(i)] = uint8_t(crc >> (8 * i));
  const std::string path = dir + "/opus_undecodable.ogv";
  test::WriteBytes(path, bytes);
  return path;
}

class UndecodableStreamTest : public test::TMediaTest {
 protected:
  void SetUp() override {
    test::TMediaTest::SetUp();
    AVParams = DefaultAVParams;
    dir = ::testing::TempDir() + "vexo-undecodable";
    std::filesystem::create_directories(dir);
  }
  bool Logged(const std::string& part) {
    const auto& lines = log.Lines();
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.find(part) != std::string::npos; });
  }

  std::string dir;
  test::TCapturedLog log;
};

struct TUndecodableCase {
  const char* Name;
  std::string (*Path)(const std::string& dir);
};

const TUndecodableCase kUndecodable[] = {
    {"DamagedMatroskaFixture", [](const std::string&) { return DamagedMatroskaFixture(); }},
    {"AacConfigInMatroska",
     [](const std::string&) { return test::MediaPath("aac_undecodable.mkv"); }},
    {"OpusHeaderInOgg", DamagedOgg},
};

class UndecodableSound : public UndecodableStreamTest,
                         public ::testing::WithParamInterface<TUndecodableCase> {};

// The file opens as silent video and says why in the log.
TEST_P(UndecodableSound, OpensAsSilentVideoAndSaysWhy) {
  const std::string path = GetParam().Path(dir);
  ASSERT_TRUE(std::filesystem::exists(path)) << path;
  std::string error;
  TAVInFile file(path, error, 0, nullptr);
  ASSERT_EQ(error, "");
  EXPECT_EQ(file.AudioCount, 0);
  EXPECT_EQ(file.TrackOf(tkAudio), nullptr);
  EXPECT_TRUE(Logged("AudioCodecCtx INIT failed, FileInd: 0"));
  EXPECT_TRUE(Logged("the file plays without sound"));
  // Flushing and seeking the file touch no decoder that is not there.
  file.Flush();
  file.Seek(0, true);
  file.Flush();
}

// Played to its end, stopped, played again and sought through the player:
// an error would be fine, a crash or a hang is not; these files play.
TEST_P(UndecodableSound, PlaysToItsEndStopsAndSeeksAgain) {
  const std::string path = GetParam().Path(dir);
  ASSERT_TRUE(std::filesystem::exists(path)) << path;
  test::TMemoryVideoSystem videos;
  test::TMemoryHost host;
  TAVPlayList list;
  list.Add(path);
  TAVPlayer player(host);
  player.OnErrorText = [](int32_t, std::string& text, const std::string& argument,
                          const std::string& detail) { text = argument + ": " + detail; };
  player.OpenPlayList(&list, vmRaster);
  ASSERT_TRUE(player.IsOpen()) << player.ErrorText();
  const int32_t frames = int32_t(player.TotalFrames());
  ASSERT_GT(frames, 10);
  auto playToEnd = [&] {
    host.Posted.clear();
    player.SetState(psPlaying);
    ASSERT_EQ(player.State(), psPlaying);
    for (int i = 0; i < 3000 && host.Posted.empty(); ++i) CheckSynchronize(10);
    ASSERT_EQ(host.Posted.size(), 1u) << "the run never ended";
    player.EndOfPlay(host.Posted[0]);  // the stop seeks to frame 0
  };
  player.SeekToFrame(frames - 8);
  playToEnd();
  ASSERT_TRUE(player.IsOpen()) << player.ErrorText();
  EXPECT_EQ(player.State(), psStopped);
  EXPECT_EQ(player.Position(), 0);
  player.SeekToFrame(frames - 5);
  playToEnd();
  ASSERT_TRUE(player.IsOpen()) << player.ErrorText();
  for (int32_t frame : {frames / 2, frames - 1, 0, frames / 3}) {
    player.SeekToFrame(frame);
    ASSERT_TRUE(player.IsOpen()) << player.ErrorText();
  }
  player.SetState(psStopped);
  EXPECT_EQ(player.ErrorCode(), peNone);
}

INSTANTIATE_TEST_SUITE_P(Files, UndecodableSound, ::testing::ValuesIn(kUndecodable),
                         [](const auto& info) { return std::string(info.param.Name); });

// In a list the second file's decoders open at its first decode, on the sound
// thread: its undecodable sound becomes silence of its video length, and the
// timeline still ends where it should.
TEST_F(UndecodableStreamTest, ALaterFileWithUndecodableSoundYieldsSilence) {
  TAVPlayList list;
  list.Add(test::MediaPath("h264_aac.mp4"));
  list.Add(test::MediaPath("aac_undecodable.mkv"));
  std::string error, errorFile;
  TAVInFileList files(list, TScreenSize{1920, 1080}, false, false, true, error, errorFile);
  ASSERT_EQ(error, "");
  ASSERT_TRUE(files.HasAudio);
  uint8_t* out = nullptr;
  int32_t count = 0;
  int64_t bytes[2] = {0, 0};
  int64_t loud = 0;
  for (int i = 0; i < 10000 && files.DecodeAudio(out, count, 0) == 0; ++i) {
    const int32_t file = files.AudioTrack[0].AudioFile;
    bytes[file] += count;
    if (file == 1)
      for (int32_t b = 0; b < count; ++b) loud += out[b] != 0;
  }
  EXPECT_EQ(files.File(1).AudioCount, 0);
  EXPECT_TRUE(Logged("AudioCodecCtx INIT failed, FileInd: 1"));
  const TAVInFile& second = files.File(1);
  const int64_t expected =
      int64_t(double(second.Video.FrameCount) * files.OutRate / second.Video.FrameRate) *
      files.OutChannels * 2;
  EXPECT_NEAR(double(bytes[1]), double(expected), double(files.OutChannels * 2 * 4));
  EXPECT_EQ(loud, 0);
  // Flushing either file afterwards is safe.
  files.File(1).Flush();
  files.File(0).Flush();
}

}  // namespace
}  // namespace vexo

// Damaged and hostile photos of today's formats: each is refused with a
// clear error before anything big is allocated, and a list goes on with the
// files that are sound.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "engine/input/av_in_file_list.h"
#include "engine/media/av_types.h"
#include "engine/playback/av_player.h"
#include "engine/playback/av_sync_queue.h"
#include "engine/playlist/av_playlist.h"
#include "engine/video/av_screen.h"
#include "tests/support/exif_writer.h"
#include "tests/support/input_fuzz.h"
#include "tests/support/memory_player_host.h"
#include "tests/support/memory_video_system.h"
#include "tests/support/test_media.h"

namespace vexo {
namespace {

namespace fs = std::filesystem;
using TBytes = std::vector<uint8_t>;

TBytes Media(const std::string& name) {
  return test::ReadBytes(test::MediaPath(name));
}

size_t Find(const TBytes& bytes, const std::string& tag) {
  const auto at = std::search(bytes.begin(), bytes.end(), tag.begin(), tag.end());
  if (at == bytes.end()) throw std::runtime_error("no " + tag);
  return size_t(at - bytes.begin());
}

void PutBig32(TBytes& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(value >> shift));
}

// A PNG that declares width x height of 8-bit RGB and holds a few bytes of
// picture data.
TBytes PngBomb(uint32_t width, uint32_t height) {
  TBytes png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  TBytes header;
  PutBig32(header, width);
  PutBig32(header, height);
  header.insert(header.end(), {8, 2, 0, 0, 0});
  // A stored deflate block of eight zero bytes.
  const TBytes data = {0x78, 0x01, 0x01, 8, 0, 0xF7, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 8, 0, 1};
  for (const TBytes& chunk :
       {test::PngChunk("IHDR", header), test::PngChunk("IDAT", data), test::PngChunk("IEND", {})})
    png.insert(png.end(), chunk.begin(), chunk.end());
  return png;
}

struct TBadPhoto {
  const char* name;
  const char* ext;
  std::function<TBytes()> make;
  const char* error;  // what the error text starts with
  // Known by its header, so it is left out when the list opens; otherwise
  // found only when its picture is read.
  bool headerTells = true;
};

const TBadPhoto kBadPhotos[] = {
    {"TruncatedHeic", ".heic",
     [] {
       TBytes heic = Media("quadrants.heic");
       heic.resize(heic.size() / 2);
       return heic;
     },
     "HEIF "},
    {"HeicWithoutItsImageItem", ".heic",
     [] {
       // The primary item names an item the file does not hold.
       TBytes heic = Media("quadrants.heic");
       const size_t pitm = Find(heic, "pitm");
       heic[pitm + 8] = 0;
       heic[pitm + 9] = 99;
       return heic;
     },
     "HEIF "},
    {"AvifWithBrokenSequenceHeader", ".avif",
     [] {
       TBytes avif = Media("quadrants.avif");
       // The picture data opens with the sequence header's unit.
       const size_t data = Find(avif, "mdat") + 4;
       for (size_t i = data + 2; i < data + 8; ++i) avif[i] = 0xFF;
       return avif;
     },
     "HEIF picture cannot be decoded", false},
    {"HeicWithDamagedPictureData", ".heic",
     [] {
       TBytes heic = Media("quadrants.heic");
       const size_t data = Find(heic, "mdat") + 4;
       for (size_t i = data; i < heic.size(); ++i) heic[i] = 0xFF;
       return heic;
     },
     "HEIF ", false},
    {"PngWithTooLittlePictureData", ".png", [] { return PngBomb(64, 64); }, nullptr, false},
    {"PngDeclaringTenGigapixels", ".png", [] { return PngBomb(100000, 100000); },
     "Picture too large (100000 x 100000)"},
    {"PngAboveThePixelLimit", ".png", [] { return PngBomb(12000, 12000); },
     "Picture too large (12000 x 12000)"},
    {"WebpWithALyingCanvas", ".webp",
     [] {
       return test::WithWebpExif(Media("quadrants_lossless.webp"), test::ExifTiff(1), 16000, 16000);
     },
     "Picture too large (16000 x 16000)"},
    {"WebpWithALyingFileSize", ".webp",
     [] {
       TBytes webp = Media("quadrants_lossless.webp");
       webp[4] = webp[5] = webp[6] = 0xF0;
       webp[7] = 0x7F;
       return webp;
     },
     "Picture cannot be decoded", false},
};

class BadPhotoTest : public ::testing::TestWithParam<TBadPhoto> {
 protected:
  void SetUp() override {
    test::LoadMediaLib();
    AVParams = DefaultAVParams;
    FDir = fs::temp_directory_path() / ("vexo_bad_photo_" + std::to_string(::getpid()));
    fs::create_directories(FDir);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(FDir, ignored);
  }

  // Opens the list and shows its first picture; the error, empty when it
  // was shown.
  static std::string OpenAndShow(const TAVPlayList& playList, TAVInFileList*& keep,
                                 std::unique_ptr<TAVInFileList>& list) {
    std::string error, errorFile;
    list = std::make_unique<TAVInFileList>(playList, TScreenSize{1920, 1080}, true, true, true,
                                           error, errorFile, nullptr);
    keep = list.get();
    if (!error.empty()) return error;
    TAVScreen screen(list->FrameWidth, list->FrameHeight, vmRaster, nullptr, 0, true, 0, 0,
                     list->FrameWidth, list->FrameHeight, list->FrameAspect);
    if (list->DecodeVideo(screen, dfShow) == drPicture) return {};
    return screen.FErrMsg.empty() ? "no picture" : screen.FErrMsg;
  }

  fs::path FDir;
};

std::string BadName(const ::testing::TestParamInfo<TBadPhoto>& info) {
  return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Files, BadPhotoTest, ::testing::ValuesIn(kBadPhotos), BadName);

TEST_P(BadPhotoTest, IsRefusedWithAClearErrorAndTheListGoesOn) {
  const std::string bad = (FDir / (std::string("bad") + GetParam().ext)).string();
  ASSERT_TRUE(test::WriteBytes(bad, GetParam().make()));
  TAVPlayList alone;
  alone.Add(bad);
  std::unique_ptr<TAVInFileList> list;
  TAVInFileList* opened = nullptr;
  const std::string error = OpenAndShow(alone, opened, list);
  if (GetParam().error) {
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(error.rfind(GetParam().error, 0), 0u) << error;
  }
  // In a list the damaged photo stays out of the way of the others.
  TAVPlayList mixed;
  mixed.Add(bad);
  mixed.Add(test::MediaPath("quadrants.png"));
  mixed.Add(test::MediaPath("quadrants.jpg"));
  EXPECT_EQ(OpenAndShow(mixed, opened, list), "");
  EXPECT_GE(list->Count, 2);
}

// A photo after a photo is not read before it becomes current, so damage its
// header does not tell shows only when playback reaches it: its time on the
// timeline shows its error instead of a picture, and playback goes on with
// the next file.
TEST_P(BadPhotoTest, ReachedWhilePlayingShowsItsErrorAndPlaybackGoesOn) {
  const std::string bad = (FDir / (std::string("bad") + GetParam().ext)).string();
  ASSERT_TRUE(test::WriteBytes(bad, GetParam().make()));
  AVParams.PhotoDurationMs = 200;
  test::TMemoryVideoSystem videos;
  test::TMemoryHost host;
  TAVPlayer player(host);
  player.OnErrorText = [&](int32_t code, std::string& text, const std::string& argument,
                           const std::string& detail) {
    text = "error " + std::to_string(code) + " " + argument + ": " + detail;
  };
  TAVPlayList list;
  for (const std::string& path :
       {test::MediaPath("gl_silent_24fps.avi"), test::MediaPath("quadrants.png"), bad,
        test::MediaPath("gl_silent_24fps.avi")})
    list.Add(path);
  player.OpenPlayList(&list, vmRaster);
  ASSERT_TRUE(player.IsOpen()) << player.ErrorText();
  if (GetParam().headerTells) {
    EXPECT_EQ(player.LeftOutFiles(), std::vector<std::string>{bad});
    return;
  }
  ASSERT_EQ(player.FileCount(), 4) << "left out at opening";
  // What each file showed: its error text, or none for a picture.
  std::vector<std::vector<std::string>> shown(4);
  player.OnPosition = [&] {
    const int32_t file = player.List()->CurFile;
    shown[size_t(file)].push_back(player.PictureErrorText());
  };
  player.SetState(psPlaying);
  for (int i = 0; i < 3000 && host.Posted.empty(); ++i) CheckSynchronize(10);
  ASSERT_EQ(host.Posted.size(), 1u);
  EXPECT_EQ(player.ErrorCode(), peNone) << player.ErrorText();
  player.EndOfPlay(host.Posted[0]);
  EXPECT_EQ(player.State(), psStopped);
  for (size_t file : {0u, 1u, 3u}) {
    EXPECT_FALSE(shown[file].empty()) << file;
    for (const std::string& text : shown[file]) EXPECT_EQ(text, "") << file;
  }
  ASSERT_FALSE(shown[2].empty());
  const std::string expected = "error 7 bad" + std::string(GetParam().ext) + ": ";
  for (const std::string& text : shown[2]) EXPECT_EQ(text.rfind(expected, 0), 0u) << text;
  // Sought to again, it shows its error and the player stays open.
  player.SeekToFrame(int32_t(player.List()->StartFrames[2]));
  EXPECT_EQ(player.ErrorCode(), peNone) << player.ErrorText();
  EXPECT_TRUE(player.IsOpen());
  EXPECT_EQ(player.PictureErrorText().rfind(expected, 0), 0u) << player.PictureErrorText();
  // In place of the picture the owner paints the background, with the text.
  const int backgrounds = host.Backgrounds;
  EXPECT_TRUE(player.PaintFrame(false));
  EXPECT_EQ(host.Backgrounds, backgrounds + 1);
  player.SeekToFrame(int32_t(player.List()->StartFrames[3]));
  EXPECT_EQ(player.PictureErrorText(), "");
}

}  // namespace
}  // namespace vexo

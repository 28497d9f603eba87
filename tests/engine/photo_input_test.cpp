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
#include "engine/playlist/av_playlist.h"
#include "engine/video/av_screen.h"
#include "tests/support/exif_writer.h"
#include "tests/support/input_fuzz.h"
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
     "HEIF picture cannot be decoded"},
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
     "Picture cannot be decoded"},
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

}  // namespace
}  // namespace vexo

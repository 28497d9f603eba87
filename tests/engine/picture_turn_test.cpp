// Portrait videos and photos shown upright: the turn a display matrix or an
// EXIF Orientation tag names, and what the screen and a snapshot show for it.
#include "engine/video/picture_turn.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "engine/input/av_in_file_list.h"
#include "engine/media/av_types.h"
#include "engine/media/exif_orientation.h"
#include "engine/playback/av_player.h"
#include "engine/playback/av_sync_queue.h"
#include "engine/playlist/av_playlist.h"
#include "engine/video/av_screen.h"
#include "tests/support/exif_writer.h"
#include "tests/support/heif_writer.h"
#include "tests/support/input_fuzz.h"
#include "tests/support/memory_player_host.h"
#include "tests/support/memory_video_system.h"
#include "tests/support/test_media.h"

namespace vexo {
namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// The turns themselves.

TEST(PictureTurn, DisplayMatricesNameTheirTurn) {
  constexpr int32_t one = 0x10000;
  struct Case {
    int32_t a, b, c, d;
    TPictureTurn want;
  };
  const Case cases[] = {
      {one, 0, 0, one, ptNone},
      {-one, 0, 0, one, ptMirror},
      {-one, 0, 0, -one, ptRotate180},
      {one, 0, 0, -one, ptFlip},
      {0, one, one, 0, ptTranspose},
      {0, one, -one, 0, ptRotate90},
      {0, -one, -one, 0, ptTransverse},
      {0, -one, one, 0, ptRotate270},
      {0, 0, 0, 0, ptNone},                   // maps everything to a point
      {one, one / 4, -one / 4, one, ptNone},  // 14 degrees: the nearest quarter
      {one / 4, one, -one, one / 4, ptRotate90},
  };
  for (const Case& c : cases) {
    const int32_t matrix[9] = {c.a, c.b, 0, c.c, c.d, 0, 0, 0, 1 << 30};
    EXPECT_EQ(TurnOfDisplayMatrix(matrix), c.want) << c.a << " " << c.b << " " << c.c << " " << c.d;
  }
  EXPECT_EQ(TurnOfDisplayMatrix(nullptr), ptNone);
}

TEST(PictureTurn, TurnsCombineAsTheyDoOnPaper) {
  EXPECT_EQ(CombineTurns(ptRotate90, ptRotate90), ptRotate180);
  EXPECT_EQ(CombineTurns(ptRotate90, ptRotate270), ptNone);
  EXPECT_EQ(CombineTurns(ptRotate180, ptRotate90), ptRotate270);
  // EXIF 5 and 7 are a mirror followed by a quarter turn.
  EXPECT_EQ(CombineTurns(ptMirror, ptRotate270), ptTranspose);
  EXPECT_EQ(CombineTurns(ptMirror, ptRotate90), ptTransverse);
  EXPECT_EQ(CombineTurns(ptMirror, ptRotate180), ptFlip);
  for (int value = 1; value <= 8; ++value) {
    const TPictureTurn turn = TPictureTurn(value);
    EXPECT_EQ(CombineTurns(turn, InverseTurn(turn)), ptNone) << value;
    EXPECT_EQ(CombineTurns(ptNone, turn), turn) << value;
  }
  for (int bad : {0, 9, -1, 255}) EXPECT_EQ(TurnOfOrientation(bad), ptNone) << bad;
}

// ---------------------------------------------------------------------------
// Files: the quadrant fixtures store red, lime / blue, white in 96 x 48.

enum TColour { cRed, cLime, cBlue, cWhite, cOther };

TColour ColourOf(const uint8_t* bgr) {
  const int b = bgr[0], g = bgr[1], r = bgr[2];
  auto hi = [](int v) { return v > 180; };
  auto lo = [](int v) { return v < 80; };
  if (hi(r) && lo(g) && lo(b)) return cRed;
  if (lo(r) && hi(g) && lo(b)) return cLime;
  if (lo(r) && lo(g) && hi(b)) return cBlue;
  if (hi(r) && hi(g) && hi(b)) return cWhite;
  return cOther;
}

// Top left, top right, bottom left, bottom right of what is seen.
using TQuadrants = std::array<TColour, 4>;

// A bottom-up 32-bit picture of width x height at `pixels`, `stride` apart,
// whose content of fitWidth x fitHeight is centred.
TQuadrants QuadrantsOf(const uint8_t* pixels, int32_t stride, int32_t width, int32_t height,
                       int32_t fitWidth, int32_t fitHeight) {
  const int32_t left = (width - fitWidth) / 2, top = (height - fitHeight) / 2;
  auto at = [&](int32_t x, int32_t y) {
    return ColourOf(pixels + ptrdiff_t(height - 1 - top - y) * stride + 4 * (left + x));
  };
  const int32_t w = fitWidth, h = fitHeight;
  return {at(w / 4, h / 4), at(w * 3 / 4, h / 4), at(w / 4, h * 3 / 4), at(w * 3 / 4, h * 3 / 4)};
}

std::string Text(const TQuadrants& q) {
  const char* names[] = {"red", "lime", "blue", "white", "other"};
  return std::string(names[q[0]]) + " " + names[q[1]] + " / " + names[q[2]] + " " + names[q[3]];
}

// What each turn shows of the stored red, lime / blue, white.
struct TTurnCase {
  TPictureTurn turn;
  const char* name;
  TQuadrants seen;
};

const TTurnCase kTurnCases[] = {
    {ptNone, "Upright", {cRed, cLime, cBlue, cWhite}},
    {ptMirror, "Mirror", {cLime, cRed, cWhite, cBlue}},
    {ptRotate180, "Rotate180", {cWhite, cBlue, cLime, cRed}},
    {ptFlip, "Flip", {cBlue, cWhite, cRed, cLime}},
    {ptTranspose, "Transpose", {cRed, cBlue, cLime, cWhite}},
    {ptRotate90, "Rotate90", {cBlue, cRed, cWhite, cLime}},
    {ptTransverse, "Transverse", {cWhite, cLime, cBlue, cRed}},
    {ptRotate270, "Rotate270", {cLime, cWhite, cRed, cBlue}},
};

std::string CaseName(const ::testing::TestParamInfo<TTurnCase>& info) {
  return info.param.name;
}

class TurnedFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::LoadMediaLib();
    AVParams = DefaultAVParams;
    FDir = fs::temp_directory_path() /
           ("vexo_turn_" + std::to_string(::getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(FDir);
  }
  void TearDown() override {
    AVParams = DefaultAVParams;
    std::error_code ignored;
    fs::remove_all(FDir, ignored);
  }

  std::string TempPath(const std::string& name) const { return (FDir / name).string(); }

  // Opens one file, decodes its first picture into a screen of the list's
  // frame size and checks what the screen and a snapshot show.
  void ExpectSeen(const std::string& path, const TQuadrants& seen, bool quarter) {
    TAVPlayList playList;
    playList.Add(path);
    std::string error, errorFile;
    TAVInFileList list(playList, TScreenSize{1920, 1080}, true, true, true, error, errorFile,
                       nullptr);
    ASSERT_EQ(error, "");
    // The file and the timeline describe the upright picture. A video's
    // frame is its own; a photo's takes the screen's shape.
    const TAVInFile& file = *list.Files[0];
    EXPECT_EQ(file.Video.Width, quarter ? 48 : 96);
    EXPECT_EQ(file.Video.Height, quarter ? 96 : 48);
    EXPECT_FLOAT_EQ(file.Video.DisplayAspect, quarter ? 0.5f : 2.0f);
    EXPECT_EQ(list.BiggestWidth, quarter ? 48 : 96);
    if (!file.IsImage) {
      EXPECT_EQ(list.FrameWidth, quarter ? 48 : 96);
      EXPECT_EQ(list.FrameHeight, quarter ? 96 : 48);
    }
    TAVScreen screen(list.FrameWidth, list.FrameHeight, vmRaster, nullptr, 0, true, 0, 0,
                     list.FrameWidth, list.FrameHeight, list.FrameAspect);
    ASSERT_EQ(list.DecodeVideo(screen, dfShow), drPicture) << screen.FErrMsg;
    const int32_t fitWidth = file.FitWidth, fitHeight = file.FitHeight;
    EXPECT_EQ(Text(QuadrantsOf(screen.FFrameBuf, screen.FFrameStride, screen.Ovr_Width,
                               screen.Ovr_Height, fitWidth, fitHeight)),
              Text(seen))
        << "screen";
    // The snapshot has square pixels; the upright picture fills its height
    // or its width.
    TBitmap32 snapshot;
    ASSERT_TRUE(list.RenderToBitmap(snapshot, 0, 0, 0));
    const float aspect = file.Video.DisplayAspect;
    const bool fillsHeight = aspect < float(snapshot.Width) / float(snapshot.Height);
    const int32_t shotWidth = fillsHeight ? int32_t(snapshot.Height * aspect) : snapshot.Width;
    const int32_t shotHeight = fillsHeight ? snapshot.Height : int32_t(snapshot.Width / aspect);
    EXPECT_EQ(Text(QuadrantsOf(snapshot.Pixels.data(), snapshot.Stride(), snapshot.Width,
                               snapshot.Height, shotWidth, shotHeight)),
              Text(seen))
        << "snapshot";
  }

  fs::path FDir;
};

// The quadrant clip with its track header's matrix replaced, as a camera
// writes it: a, b, c, d in 16.16 (the translation does not matter here).
std::vector<uint8_t> WithTrackMatrix(std::vector<uint8_t> mp4, const int32_t abcd[4]) {
  const char tag[] = "tkhd";
  auto at = std::search(mp4.begin(), mp4.end(), tag, tag + 4);
  if (at == mp4.end()) throw std::runtime_error("no track header");
  const size_t box = size_t(at - mp4.begin());
  const bool wide = mp4[box + 4] == 1;  // version 1 has 64-bit times
  const size_t matrix = box + 4 + (wide ? 52 : 40);
  const int32_t values[9] = {abcd[0], abcd[1], 0, abcd[2], abcd[3], 0, 0, 0, 1 << 30};
  for (int i = 0; i < 9; ++i)
    for (int k = 0; k < 4; ++k)
      mp4[matrix + 4 * i + k] = uint8_t(uint32_t(values[i]) >> (24 - 8 * k));
  return mp4;
}

class TurnedVideoTest : public TurnedFileTest, public ::testing::WithParamInterface<TTurnCase> {};

INSTANTIATE_TEST_SUITE_P(Matrices, TurnedVideoTest, ::testing::ValuesIn(kTurnCases), CaseName);

TEST_P(TurnedVideoTest, DisplayMatrixTurnsScreenSnapshotAndFrameSize) {
  constexpr int32_t one = 0x10000;
  // The matrices of the eight turns, written out as a muxer stores them.
  const std::array<std::array<int32_t, 4>, 9> matrices = {{{},
                                                           {one, 0, 0, one},
                                                           {-one, 0, 0, one},
                                                           {-one, 0, 0, -one},
                                                           {one, 0, 0, -one},
                                                           {0, one, one, 0},
                                                           {0, one, -one, 0},
                                                           {0, -one, -one, 0},
                                                           {0, -one, one, 0}}};
  const std::string path = TempPath("turned.mp4");
  test::WriteBytes(path, WithTrackMatrix(test::ReadBytes(test::MediaPath("quadrants.mp4")),
                                         matrices[GetParam().turn].data()));
  ExpectSeen(path, GetParam().seen, TurnSwapsAxes(GetParam().turn));
}

class TurnedPhotoTest : public TurnedFileTest, public ::testing::WithParamInterface<TTurnCase> {};

INSTANTIATE_TEST_SUITE_P(Orientations, TurnedPhotoTest, ::testing::ValuesIn(kTurnCases), CaseName);

TEST_P(TurnedPhotoTest, ExifOrientationTurnsScreenSnapshotAndFrameSize) {
  const std::string path = TempPath("turned.jpg");
  const std::vector<uint8_t> bytes =
      test::WithExif(test::ReadBytes(test::MediaPath("quadrants.jpg")), GetParam().turn);
  test::WriteBytes(path, bytes);
  ExpectSeen(path, GetParam().seen, TurnSwapsAxes(GetParam().turn));
  // Showing it never touches the file.
  EXPECT_EQ(test::ReadBytes(path), bytes);
}

// What ffmpeg's own rotate tag writes is shown the way ffmpeg shows it.
TEST_F(TurnedFileTest, RotateTagOfTheEncoderIsHonoured) {
  ExpectSeen(test::MediaPath("quadrants_rotate_tag.mp4"), {cLime, cWhite, cRed, cBlue}, true);
}

TEST_F(TurnedFileTest, MissingOrBrokenOrientationShowsThePhotoAsStored) {
  const std::vector<uint8_t> plain = test::ReadBytes(test::MediaPath("quadrants.jpg"));
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  };
  std::vector<uint8_t> cut = test::WithExif(plain, 6);
  cut.resize(30);  // the EXIF block ends inside its own header
  const Case cases[] = {{"no EXIF", plain},
                        {"no tag", test::WithExif(plain, -1, "2024:05:06 07:08:09")},
                        {"orientation 0", test::WithExif(plain, 0)},
                        {"orientation 9", test::WithExif(plain, 9)},
                        {"orientation 1000", test::WithExif(plain, 1000)}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = TempPath("photo.jpg");
    test::WriteBytes(path, c.bytes);
    EXPECT_EQ(ReadExifOrientation(path), 1);
    ExpectSeen(path, {cRed, cLime, cBlue, cWhite}, false);
  }
  EXPECT_EQ(ExifOrientationOfData(cut.data(), cut.size()), 1);
  EXPECT_EQ(ReadExifOrientation(TempPath("missing.jpg")), 1);
}

TEST_F(TurnedFileTest, EitherTurnCanBeSwitchedOff) {
  const std::string photo = TempPath("photo.jpg");
  test::WriteBytes(photo, test::WithExif(test::ReadBytes(test::MediaPath("quadrants.jpg")), 6));
  AVParams.TurnPhotos = 0;
  ExpectSeen(photo, {cRed, cLime, cBlue, cWhite}, false);
  ExpectSeen(test::MediaPath("quadrants_rotate_tag.mp4"), {cLime, cWhite, cRed, cBlue}, true);
  AVParams.TurnPhotos = 1;
  AVParams.TurnVideos = 0;
  ExpectSeen(photo, {cBlue, cRed, cWhite, cLime}, true);
  ExpectSeen(test::MediaPath("quadrants_rotate_tag.mp4"), {cRed, cLime, cBlue, cWhite}, false);
}

// ---------------------------------------------------------------------------
// Photos of today's formats: PNG and WebP carry the tag in a chunk of their
// own; HEIC and AVIF are turned by their own transform properties, which
// libheif applies, and never again by the tag beside them.

struct TFormatCase {
  const char* name;
  const char* file;  // the quadrants in that format, from the test media
  bool exifTurns;
};

const TFormatCase kFormatCases[] = {
    {"PNG", "quadrants.png", true},        {"LosslessWebP", "quadrants_lossless.webp", true},
    {"LossyWebP", "quadrants.webp", true}, {"AVIF", "quadrants.avif", false},
    {"HEIC", "quadrants.heic", false},
};

std::string FormatName(const ::testing::TestParamInfo<TFormatCase>& info) {
  return info.param.name;
}

class PhotoFormatTest : public TurnedFileTest, public ::testing::WithParamInterface<TFormatCase> {
 protected:
  std::string Extension() const { return fs::path(GetParam().file).extension().string(); }
  // The photo with an EXIF block holding `orientation` and a date.
  std::string WithTag(int orientation) {
    const std::string path = TempPath(std::string("tagged") + Extension());
    const std::vector<uint8_t> plain = test::ReadBytes(test::MediaPath(GetParam().file));
    const std::vector<uint8_t> tiff = test::ExifTiff(orientation, "2019:02:03 04:05:06");
    if (Extension() == ".png") {
      test::WriteBytes(path, test::WithPngExif(plain, tiff));
    } else if (Extension() == ".webp") {
      test::WriteBytes(path, test::WithWebpExif(plain, tiff, 96, 48));
    } else {
      test::WriteHeifFromJpeg(
          path, test::WithExif(test::ReadBytes(test::MediaPath("quadrants.jpg")), orientation,
                               "2019:02:03 04:05:06"));
    }
    return path;
  }
};

INSTANTIATE_TEST_SUITE_P(Formats, PhotoFormatTest, ::testing::ValuesIn(kFormatCases), FormatName);

TEST_P(PhotoFormatTest, OpensAsAPhotoAndShowsItsPicture) {
  const std::string path = test::MediaPath(GetParam().file);
  ExpectSeen(path, {cRed, cLime, cBlue, cWhite}, false);
  std::string error;
  const TAVInFile file(path, error, 0, nullptr);
  ASSERT_EQ(error, "");
  EXPECT_TRUE(file.IsImage);
  EXPECT_EQ(file.Video.FrameCount, 1);
}

TEST_P(PhotoFormatTest, ExifOrientationTurnsOnlyWhatTheFormatLeavesToIt) {
  const std::string path = WithTag(6);
  EXPECT_EQ(ReadExifOrientation(path), 6);
  if (GetParam().exifTurns)
    ExpectSeen(path, {cBlue, cRed, cWhite, cLime}, true);
  else
    ExpectSeen(path, {cRed, cLime, cBlue, cWhite}, false);
}

// A phone writes the turn twice: as the file's own transform properties and
// as the EXIF tag. libheif applies the first; the tag is not applied again.
TEST_P(TurnedPhotoTest, HeicTurnedByItsOwnPropertiesIsTurnedOnce) {
  const std::string path = TempPath("turned.heic");
  test::WriteTurnedHeic(path, GetParam().turn, test::ExifTiff(GetParam().turn));
  EXPECT_EQ(ReadExifOrientation(path), GetParam().turn);
  ExpectSeen(path, GetParam().seen, TurnSwapsAxes(GetParam().turn));
}

// A timeline of clips and photos of every format: each photo's picture is
// shown when the timeline reaches it, after a clip, a JPEG or another photo.
TEST_F(TurnedFileTest, PhotosOfEveryFormatPlayInATimelineWithClipsAndJpegs) {
  const char* const names[] = {"quadrants.mp4",  "quadrants.jpg",  "quadrants.heic",
                               "quadrants.png",  "quadrants.mp4",  "quadrants_lossless.webp",
                               "quadrants.avif", "quadrants.webp", "quadrants.jpg"};
  TAVPlayList playList;
  for (const char* name : names) playList.Add(test::MediaPath(name));
  std::string error, errorFile;
  TAVInFileList list(playList, TScreenSize{1920, 1080}, true, true, true, error, errorFile,
                     nullptr);
  ASSERT_EQ(error, "");
  ASSERT_EQ(list.Count, int32_t(std::size(names)));
  TAVScreen screen(list.FrameWidth, list.FrameHeight, vmRaster, nullptr, 0, true, 0, 0,
                   list.FrameWidth, list.FrameHeight, list.FrameAspect);
  std::vector<int32_t> photosSeen;
  for (int32_t picture = 0; picture < list.TotalFrames; ++picture) {
    ASSERT_EQ(list.DecodeVideo(screen, dfShow), drPicture) << picture << " " << screen.FErrMsg;
    const TAVInFile& file = *list.CurFileRef;
    if (!file.IsImage || list.StartFrames[size_t(list.CurFile)] != picture) continue;
    photosSeen.push_back(list.CurFile);
    EXPECT_EQ(file.Video.Width, 96) << names[list.CurFile];
    EXPECT_EQ(Text(QuadrantsOf(screen.FFrameBuf, screen.FFrameStride, screen.Ovr_Width,
                               screen.Ovr_Height, file.FitWidth, file.FitHeight)),
              Text({cRed, cLime, cBlue, cWhite}))
        << names[list.CurFile];
  }
  EXPECT_EQ(photosSeen, (std::vector<int32_t>{1, 2, 3, 5, 6, 7, 8}));
}

// A JPEG photo far bigger than the screen is decoded at the largest of 1/2,
// 1/4 and 1/8 that still covers its size there, and shows the same; a list
// that keeps pictures at their own size decodes it whole.
TEST_F(TurnedFileTest, BigJpegPhotosAreDecodedAtTheSizeTheScreenNeeds) {
  const std::string stored = TempPath("stored.jpg");
  const std::string command = "ffmpeg -v error -y -i '" + test::MediaPath("quadrants.jpg") +
                              "' -vf scale=3072:1536:flags=neighbor -q:v 2 '" + stored + "'";
  ASSERT_EQ(std::system(command.c_str()), 0);
  // Shown a quarter turned: 1536 x 3072 upright.
  const std::string photo = TempPath("big.jpg");
  ASSERT_TRUE(test::WriteBytes(photo, test::WithExif(test::ReadBytes(stored), 6)));
  const struct {
    TScreenSize Screen;
    bool Fit;
    int32_t DecodedWidth;
  } cases[] = {{{1920, 1080}, true, 1536}, {{400, 300}, true, 384}, {{1920, 1080}, false, 3072}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.Screen.Width) + (c.Fit ? " fitted" : " whole"));
    TAVPlayList playList;
    playList.Add(photo);
    std::string error, errorFile;
    TAVInFileList list(playList, c.Screen, c.Fit, true, true, error, errorFile, nullptr);
    ASSERT_EQ(error, "");
    TAVScreen screen(list.FrameWidth, list.FrameHeight, vmRaster, nullptr, 0, true, 0, 0,
                     list.FrameWidth, list.FrameHeight, list.FrameAspect);
    ASSERT_EQ(list.DecodeVideo(screen, dfShow), drPicture) << screen.FErrMsg;
    const TAVInFile& file = *list.Files[0];
    EXPECT_EQ(file.DecFrame->width, c.DecodedWidth);
    EXPECT_EQ(file.Video.Width, 1536);
    EXPECT_EQ(Text(QuadrantsOf(screen.FFrameBuf, screen.FFrameStride, screen.Ovr_Width,
                               screen.Ovr_Height, file.FitWidth, file.FitHeight)),
              Text({cBlue, cRed, cWhite, cLime}));
  }
}

// A HEIC with a preview, as phones store one, opened in a player without a
// window: the preview stands in while the picture is decoded, and the picture
// itself then takes its place on the screen, in the same place.
class HeicPreviewTest : public TurnedFileTest {
 protected:
  void SetUp() override {
    TurnedFileTest::SetUp();
    const std::string path = TempPath("preview.heic");
    test::WriteHeicWithPreview(path);
    FPlayList.Add(path);
    FPlayer = std::make_unique<TAVPlayer>(FHost);
  }
  void TearDown() override {
    FPlayer.reset();
    TurnedFileTest::TearDown();
  }
  void Open() {
    Player().OpenPlayList(&FPlayList, vmRaster);
    ASSERT_TRUE(Player().IsOpen()) << Player().ErrorText();
  }
  std::string Shown() {
    const TAVInFile& file = Player().List()->File(0);
    const TAVScreen& screen = *Player().Screen();
    return Text(QuadrantsOf(screen.FFrameBuf, screen.FFrameStride, screen.Ovr_Width,
                            screen.Ovr_Height, file.FitWidth, file.FitHeight));
  }

  test::TMemoryVideoSystem FVideos;
  test::TMemoryHost FHost;
  std::unique_ptr<TAVPlayer> FPlayer;
  TAVPlayer& Player() { return *FPlayer; }
  TAVPlayList FPlayList;
};

TEST_F(HeicPreviewTest, ThePictureReplacesThePreviewOnceDecoded) {
  Open();
  const TAVInFile& file = Player().List()->File(0);
  EXPECT_EQ(file.Video.Width, 384);
  EXPECT_EQ(file.Video.Height, 192);
  for (int i = 0; i < 1000 && FHost.PicturesReady == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_GT(FHost.PicturesReady, 0);
  Player().PictureReady();
  EXPECT_EQ(Shown(), Text({cRed, cLime, cBlue, cWhite}));
  EXPECT_EQ(Player().ErrorCode(), peNone);
}

// Made while playback ran, the picture replaces the preview when it pauses.
TEST_F(HeicPreviewTest, APictureMadeWhilePlayingIsShownOnPause) {
  AVParams.PhotoDurationMs = 10000;
  Open();
  Player().SetState(psPlaying);
  ASSERT_EQ(Player().State(), psPlaying);
  for (int i = 0; i < 1000 && FHost.PicturesReady == 0; ++i) CheckSynchronize(10);
  ASSERT_GT(FHost.PicturesReady, 0);
  Player().SetState(psPaused);
  EXPECT_EQ(Shown(), Text({cRed, cLime, cBlue, cWhite}));
}

}  // namespace
}  // namespace vexo

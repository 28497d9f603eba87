#include <gtest/gtest.h>
#include <libexif/exif-data.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cctype>
#include <cstring>
#include <vector>

#include "app/browser/photo_date.h"
#include "app/common/jpeg_rotation.h"
#include "app/common/language_list.h"
#include "engine/input/lossless_turn.h"
#include "engine/media/av_types.h"
#include "engine/media/exif_orientation.h"
#include "engine/video/picture_turn.h"
#include "qt_test_app.h"
#include "tests/support/exif_writer.h"
#include "tests/support/input_fuzz.h"
#include "tests/support/test_media.h"

namespace vexo {
namespace {

const char kRecorded[] = "2021:05:06 07:08:09";

// An APP1 block holding one EXIF tag, DateTimeOriginal, put right after SOI.
QByteArray WithExif(const QByteArray& jpeg) {
  QByteArray tiff("II*\0\x08\0\0\0", 8);
  auto u16 = [&](int v) { tiff.append(char(v & 0xFF)).append(char(v >> 8)); };
  auto u32 = [&](int v) { u16(v & 0xFFFF), u16(v >> 16); };
  u16(1);                                 // IFD0: one entry
  u16(0x8769), u16(4), u32(1), u32(26);   // pointer to the EXIF IFD
  u32(0);                                 // no next IFD
  u16(1);                                 // EXIF IFD at 26: one entry
  u16(0x9003), u16(2), u32(20), u32(44);  // DateTimeOriginal, ASCII, 20 bytes
  u32(0);
  tiff.append(kRecorded, 20);
  const QByteArray body = QByteArray("Exif\0\0", 6) + tiff;
  QByteArray segment("\xFF\xE1", 2);
  segment.append(char((body.size() + 2) >> 8)).append(char((body.size() + 2) & 0xFF));
  return jpeg.left(2) + segment + body + jpeg.mid(2);
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray Bytes(const std::vector<uint8_t>& bytes) {
  return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

std::vector<uint8_t> Vector(const QByteArray& bytes) {
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

void WriteAll(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(bytes);
}

struct TPixels {
  int Width = 0, Height = 0;
  std::vector<unsigned char> Rgb;
};

TPixels Decode(const QByteArray& jpeg) {
  TPixels out;
  tjhandle handle = tjInitDecompress();
  int subsamp = 0, colorspace = 0;
  const auto* data = reinterpret_cast<const unsigned char*>(jpeg.constData());
  if (tjDecompressHeader3(handle, data, jpeg.size(), &out.Width, &out.Height, &subsamp,
                          &colorspace) == 0) {
    out.Rgb.resize(size_t(out.Width) * out.Height * 3);
    if (tjDecompress2(handle, data, jpeg.size(), out.Rgb.data(), out.Width, 0, out.Height, TJPF_RGB,
                      0) != 0)
      out.Rgb.clear();
  }
  tjDestroy(handle);
  return out;
}

QString RecordedDate(const QString& path) {
  ExifData* exif = exif_data_new_from_file(QFile::encodeName(path).constData());
  if (!exif) return {};
  QString date;
  if (ExifEntry* entry = exif_data_get_entry(exif, EXIF_TAG_DATE_TIME_ORIGINAL)) {
    char text[64] = {};
    exif_entry_get_value(entry, text, sizeof text);
    date = QString::fromLatin1(text);
  }
  exif_data_unref(exif);
  return date;
}

class RotateJpegTest : public ::testing::Test {
 protected:
  // The note of temporaries lives in the data folder: a private one here.
  void SetUp() override {
    test::QtApp();
    // PNG and WebP photos are turned through the media libraries.
    test::LoadMediaLib();
    FSavedData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", FDir.filePath("data").toUtf8());
    AVParams = DefaultAVParams;
  }
  void TearDown() override {
    qputenv("XDG_DATA_HOME", FSavedData);
    AVParams = DefaultAVParams;
  }
  QByteArray FSavedData;
  QString Photo(const char* media, const QString& name = "photo.jpg") {
    const QByteArray bytes = WithExif(ReadAll(QString::fromStdString(test::MediaPath(media))));
    EXPECT_FALSE(bytes.isEmpty());
    const QString path = FDir.filePath(name);
    WriteAll(path, bytes);
    return path;
  }
  QByteArray Jpegtran(const QString& source, const char* rotate) {
    QProcess tool;
    tool.start("jpegtran", {"-rotate", rotate, "-perfect", "-copy", "all", source});
    EXPECT_TRUE(tool.waitForFinished(30000));
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    return tool.readAllStandardOutput();
  }
  QTemporaryDir FDir;
};

// A JPEG of the given size with 4:2:0 colour, whose blocks are 16 x 16: busy
// enough that every edge pixel counts.
QByteArray SyntheticJpeg(int width, int height) {
  std::vector<unsigned char> rgb(size_t(width) * height * 3);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      unsigned char* p = &rgb[(size_t(y) * width + x) * 3];
      p[0] = uint8_t(x * 255 / std::max(1, width - 1));
      p[1] = uint8_t(y * 255 / std::max(1, height - 1));
      p[2] = uint8_t(((x / 7) ^ (y / 5)) * 37);
    }
  tjhandle handle = tjInitCompress();
  unsigned char* out = nullptr;
  unsigned long size = 0;
  const int status =
      tjCompress2(handle, rgb.data(), width, 0, height, TJPF_RGB, &out, &size, TJSAMP_420, 90, 0);
  QByteArray jpeg =
      status == 0 ? QByteArray(reinterpret_cast<const char*>(out), qsizetype(size)) : QByteArray();
  tjFree(out);
  tjDestroy(handle);
  return jpeg;
}

TPixels Turned(const TPixels& source, TPictureTurn turn) {
  if (turn == ptNone || source.Rgb.empty()) return source;
  TPixels out;
  out.Width = TurnSwapsAxes(turn) ? source.Height : source.Width;
  out.Height = TurnSwapsAxes(turn) ? source.Width : source.Height;
  out.Rgb.resize(source.Rgb.size());
  TurnPlane(source.Rgb.data(), source.Width * 3, source.Width, source.Height, 3, turn,
            out.Rgb.data(), out.Width * 3);
  return out;
}

// The picture as a viewer shows it: decoded, then turned by its Orientation tag.
TPixels Shown(const QString& path) {
  return Turned(Decode(ReadAll(path)), TurnOfOrientation(ReadExifOrientation(path.toStdString())));
}

int LargestDifference(const TPixels& a, const TPixels& b) {
  if (a.Rgb.size() != b.Rgb.size() || a.Rgb.empty()) return 256;
  int largest = 0;
  for (size_t i = 0; i < a.Rgb.size(); ++i)
    largest = std::max(largest, std::abs(a.Rgb[i] - b.Rgb[i]));
  return largest;
}

// No turn loses a pixel, whether or not the size is a whole number of 16 x 16
// blocks: the picture shown after a turn is the picture shown before, turned,
// all of it; four turns give back the very same pixels.
TEST_F(RotateJpegTest, NoTurnLosesAPixel) {
  const struct { int Width, Height; } sizes[] = {{2592, 1944}, {1001, 751}, {640, 480}, {96, 50}};
  for (const auto& size : sizes)
    for (bool clockwise : {true, false}) {
      const std::string name = std::to_string(size.Width) + "x" + std::to_string(size.Height) +
                               (clockwise ? " cw" : " ccw");
      SCOPED_TRACE(name);
      const QString path = FDir.filePath("photo.jpg");
      WriteAll(path, SyntheticJpeg(size.Width, size.Height));
      const TPixels before = Shown(path);
      ASSERT_EQ(before.Width, size.Width);
      QString error;
      ASSERT_TRUE(RotateJpegFile(path, clockwise, &error)) << error.toStdString();
      const TPixels once = Shown(path);
      EXPECT_EQ(once.Width, size.Height);
      EXPECT_EQ(once.Height, size.Width);
      // Turning the coded picture computes its pixels afresh, within a few steps.
      EXPECT_LE(LargestDifference(once, Turned(before, clockwise ? ptRotate90 : ptRotate270)), 4);
      for (int i = 0; i < 3; ++i) ASSERT_TRUE(RotateJpegFile(path, clockwise, &error));
      const TPixels back = Shown(path);
      EXPECT_EQ(back.Width, size.Width);
      EXPECT_TRUE(back.Rgb == before.Rgb);
      EXPECT_EQ(ReadExifOrientation(path.toStdString()), 1);
      EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }
}

// Where only the tag can turn the picture, whatever else the file holds stays:
// an EXIF block without the tag keeps its other tags, one with the tag has it
// changed where it stands, a file without a block gets one.
TEST_F(RotateJpegTest, TurnByTagKeepsTheRestOfTheFile) {
  const QByteArray plain = SyntheticJpeg(1001, 751);
  const std::vector<uint8_t> stored(plain.begin(), plain.end());
  const struct {
    const char* Name;
    QByteArray Bytes;
    bool Dated;
  } cases[] = {
      {"no EXIF block", plain, false},
      {"EXIF without orientation", Bytes(test::WithExif(stored, -1, kRecorded)), true},
      {"EXIF with orientation", Bytes(test::WithExif(stored, 1, kRecorded)), true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const QString path = FDir.filePath("tagged.jpg");
    WriteAll(path, c.Bytes);
    ASSERT_TRUE(RotateJpegFile(path, true, nullptr));
    EXPECT_EQ(ReadExifOrientation(path.toStdString()), 6);
    if (c.Dated) {
      EXPECT_EQ(RecordedDate(path), kRecorded);
    }
    // The coded picture itself is untouched.
    EXPECT_TRUE(Decode(ReadAll(path)).Rgb == Decode(plain).Rgb);
    ASSERT_TRUE(RotateJpegFile(path, false, nullptr));
    EXPECT_EQ(ReadExifOrientation(path.toStdString()), 1);
    if (c.Dated) {
      EXPECT_EQ(RecordedDate(path), kRecorded);
    }
  }
}

// With photo orientation off the player would not show a turn by the tag:
// the photo is left alone and the user is told why.
TEST_F(RotateJpegTest, WithoutPhotoOrientationAnUnevenPhotoIsLeftAloneWithAReason) {
  test::TBoxRecorder boxes;
  LResList.LoadFile(VEXO_SOURCE_DIR "/resources/language/English.lrf");
  AVParams.TurnPhotos = 0;
  const QString path = FDir.filePath("uneven.jpg");
  const QByteArray original = SyntheticJpeg(1001, 751);
  WriteAll(path, original);
  EXPECT_EQ(RotateJpegPicture(path, true, nullptr), TRotation::NeedsOrientation);
  EXPECT_FALSE(RotateJpeg(path, true));
  EXPECT_EQ(ReadAll(path), original);
  ASSERT_EQ(boxes.Boxes.size(), 1u);
  EXPECT_EQ(boxes.Boxes[0].Text, LResList.GetText("AVPlayerEnc", 9004));
  // A turn that fits the blocks (a quarter anticlockwise: the right edge is whole
  // only when the width is, so a 1008-wide photo) still works.
  const QString even = FDir.filePath("even.jpg");
  WriteAll(even, SyntheticJpeg(1008, 751));
  EXPECT_TRUE(RotateJpegFile(even, false, nullptr));
  LResList.Clear();
}

// A run killed while writing the turned picture leaves its temporary under a
// hidden name the browser does not list, and the next start removes it; the
// photo stays whole. The kill comes from the file size limit, in a child.
TEST_F(RotateJpegTest, AKilledTurnLeavesNothingVisibleAndTheNextStartClearsUp) {
  const QString path = FDir.filePath("big.jpg");
  const QByteArray original = SyntheticJpeg(2592, 1944);
  ASSERT_GT(original.size(), 200000);
  WriteAll(path, original);
  const pid_t child = fork();
  if (child == 0) {
    const rlimit limit{100000, 100000}, noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    ::setrlimit(RLIMIT_FSIZE, &limit);
    RotateJpegFile(path, false, nullptr);
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status)) << "the turn was not cut short";
  EXPECT_EQ(ReadAll(path), original);
  const QString temporary = RotationTemporaryName(path);
  EXPECT_TRUE(QFileInfo(temporary).fileName().startsWith('.'));
  ASSERT_TRUE(QFile::exists(temporary));
  EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files), QStringList{"big.jpg"});
  RemoveRotationLeftovers();
  EXPECT_FALSE(QFile::exists(temporary));
  EXPECT_EQ(ReadAll(path), original);
  // A name in the note that is not one of ours is never removed.
  QDir().mkpath(FDir.filePath("data/vexoplayer"));
  WriteAll(FDir.filePath("data/vexoplayer/turning"), QFile::encodeName(path) + '\0');
  RemoveRotationLeftovers();
  EXPECT_EQ(ReadAll(path), original);
}

// The turned photo keeps the extended attributes and permissions of the
// original. Other hard links keep the picture as it was: the new file takes
// the name in one step and so is a file of its own.
TEST_F(RotateJpegTest, AttributesStayAndHardLinksKeepTheOriginal) {
  const QString path = FDir.filePath("tagged.jpg"), link = FDir.filePath("album.jpg");
  const QByteArray original = SyntheticJpeg(640, 480);
  WriteAll(path, original);
  const QByteArray native = QFile::encodeName(path);
  if (::setxattr(native.constData(), "user.vexo.rating", "5", 1, 0) != 0)
    GTEST_SKIP() << "no extended attributes here";
  ASSERT_EQ(::chmod(native.constData(), 0640), 0);
  ASSERT_EQ(::link(native.constData(), QFile::encodeName(link).constData()), 0);
  ASSERT_TRUE(RotateJpegFile(path, true, nullptr));
  char value[8] = {};
  EXPECT_EQ(::getxattr(native.constData(), "user.vexo.rating", value, sizeof value), 1);
  EXPECT_EQ(value[0], '5');
  struct stat info {};
  ASSERT_EQ(::stat(native.constData(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  EXPECT_NE(ReadAll(path), original);
  EXPECT_EQ(ReadAll(link), original);
}

TEST_F(RotateJpegTest, MatchesJpegtranPixelsAndKeepsExif) {
  struct Case {
    const char* Media;
    bool Clockwise;
    const char* Rotate;
  } cases[] = {{"photo_640x480.jpg", true, "90"}, {"photo_640x480.jpg", false, "270"}};
  // A photo whose size is not a whole number of blocks is not turned in its
  // coded picture at all (NoTurnLosesAPixel): cutting blocks off was the fault.
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.Media) + " " + c.Rotate);
    const QString path = Photo(c.Media);
    ASSERT_EQ(RecordedDate(path), kRecorded);
    const QByteArray expected = Jpegtran(path, c.Rotate);
    QString error;
    ASSERT_TRUE(RotateJpegFile(path, c.Clockwise, &error)) << error.toStdString();
    const TPixels ours = Decode(ReadAll(path)), theirs = Decode(expected);
    ASSERT_FALSE(ours.Rgb.empty());
    EXPECT_EQ(ours.Width, theirs.Width);
    EXPECT_EQ(ours.Height, theirs.Height);
    EXPECT_TRUE(ours.Rgb == theirs.Rgb);
    EXPECT_EQ(RecordedDate(path), kRecorded);
    EXPECT_FALSE(QFile::exists(RotationTemporaryName(path)));
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
  }
}

// Turning a photo through a link (as the browser lists linked folders and
// files) turns the target and leaves the link a link.
TEST_F(RotateJpegTest, ALinkedPhotoTurnsItsTarget) {
  const QString path = Photo("photo_640x480.jpg");
  const QString link = FDir.filePath("link.jpg");
  ASSERT_TRUE(QFile::link(path, link));
  ASSERT_TRUE(RotateJpegFile(link, true, nullptr));
  EXPECT_TRUE(QFileInfo(link).isSymLink());
  const TPixels turned = Decode(ReadAll(path));
  EXPECT_EQ(turned.Width, 480);
  EXPECT_EQ(turned.Height, 640);
  EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files | QDir::System).size(), 2);
}

TEST_F(RotateJpegTest, FourTurnsGiveTheSamePicture) {
  const QString path = Photo("photo_640x480.jpg");
  const TPixels before = Decode(ReadAll(path));
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(RotateJpegFile(path, true, nullptr));
  EXPECT_TRUE(Decode(ReadAll(path)).Rgb == before.Rgb);
}

TEST_F(RotateJpegTest, FailuresLeaveTheSourceByteForByte) {
  test::TBoxRecorder boxes;
  LResList.LoadFile(VEXO_SOURCE_DIR "/resources/language/English.lrf");
  const QByteArray photo = ReadAll(QString::fromStdString(test::MediaPath("photo_640x480.jpg")));
  struct Case {
    const char* Name;
    QByteArray Bytes;
  } cases[] = {
      {"not_a_picture.jpg", "This is not a JPEG file."},
      {"truncated.jpg", photo.left(photo.size() / 2)},
      {"empty.jpg", QByteArray()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const QString path = FDir.filePath(c.Name);
    WriteAll(path, c.Bytes);
    EXPECT_FALSE(RotateJpeg(path, true));
    EXPECT_EQ(ReadAll(path), c.Bytes);
    EXPECT_FALSE(QFile::exists(RotationTemporaryName(path)));
  }
  // The temporary name is taken by a folder: nothing can be written.
  const QString blocked = Photo("photo_640x480.jpg", "blocked.jpg");
  const QByteArray original = ReadAll(blocked);
  ASSERT_TRUE(QDir().mkdir(RotationTemporaryName(blocked)));
  EXPECT_FALSE(RotateJpeg(blocked, false));
  EXPECT_EQ(ReadAll(blocked), original);
  EXPECT_FALSE(RotateJpeg(FDir.filePath("missing.jpg"), true));

  ASSERT_EQ(boxes.Boxes.size(), 5u);
  for (const auto& box : boxes.Boxes) {
    EXPECT_EQ(box.Kind, TMsgKind::Error);
    EXPECT_EQ(box.Text, LResList.GetText("AVPlayerEnc", 9001));
  }
  LResList.Clear();
}

// The pixels of a JPEG turned losslessly by one operation, markers dropped.
QByteArray Transformed(const QByteArray& jpeg, int op) {
  tjhandle handle = tjInitTransform();
  tjtransform transform{};
  transform.op = op;
  transform.options = TJXOPT_COPYNONE;
  unsigned char* out = nullptr;
  unsigned long size = 0;
  const int status =
      tjTransform(handle, reinterpret_cast<const unsigned char*>(jpeg.constData()),
                  static_cast<unsigned long>(jpeg.size()), 1, &out, &size, &transform, 0);
  QByteArray result =
      status == 0 ? QByteArray(reinterpret_cast<const char*>(out), qsizetype(size)) : QByteArray();
  tjFree(out);
  tjDestroy(handle);
  return result;
}

// A photo shown turned by its Orientation tag is rotated from how it is
// shown: the same pixels as rotating an upright copy, Orientation 1 after,
// the other tags kept.
TEST_F(RotateJpegTest, OrientedPhotoTurnsFromHowItIsShown) {
  AVParams = DefaultAVParams;
  const QByteArray stored = ReadAll(QString::fromStdString(test::MediaPath("quadrants.jpg")));
  // What turns the stored pixels upright, for each Orientation 1..8.
  const int upright[9] = {0,           TJXOP_NONE,      TJXOP_HFLIP, TJXOP_ROT180,
                          TJXOP_VFLIP, TJXOP_TRANSPOSE, TJXOP_ROT90, TJXOP_TRANSVERSE,
                          TJXOP_ROT270};
  for (int orientation = 1; orientation <= 8; ++orientation)
    for (bool clockwise : {true, false}) {
      SCOPED_TRACE("orientation " + std::to_string(orientation) + (clockwise ? " cw" : " ccw"));
      const QString path = FDir.filePath("oriented.jpg"), copy = FDir.filePath("upright.jpg");
      WriteAll(path, Bytes(test::WithExif(Vector(stored), orientation, kRecorded)));
      WriteAll(copy, Bytes(test::WithExif(Vector(Transformed(stored, upright[orientation])), 1,
                                          kRecorded)));
      ASSERT_TRUE(RotateJpegFile(path, clockwise, nullptr));
      ASSERT_TRUE(RotateJpegFile(copy, clockwise, nullptr));
      const TPixels ours = Decode(ReadAll(path)), expected = Decode(ReadAll(copy));
      ASSERT_FALSE(ours.Rgb.empty());
      EXPECT_EQ(ours.Width, expected.Width);
      EXPECT_TRUE(ours.Rgb == expected.Rgb);
      EXPECT_EQ(ReadExifOrientation(path.toStdString()), 1);
      EXPECT_EQ(RecordedDate(path), kRecorded);
    }
  // Orientation 6 shows blue, red / white, lime; a clockwise turn of that
  // puts white top left and is written so.
  const QString path = FDir.filePath("six.jpg");
  WriteAll(path, Bytes(test::WithExif(Vector(stored), 6, kRecorded)));
  ASSERT_TRUE(RotateJpegFile(path, true, nullptr));
  const TPixels turned = Decode(ReadAll(path));
  ASSERT_EQ(turned.Width, 96);
  auto pixel = [&](int x, int y) { return &turned.Rgb[size_t(y * turned.Width + x) * 3]; };
  const unsigned char* topLeft = pixel(24, 12);
  const unsigned char* bottomRight = pixel(72, 36);
  EXPECT_GT(topLeft[0] + topLeft[1] + topLeft[2], 600);  // white
  EXPECT_GT(bottomRight[0], 180);                        // red
  EXPECT_LT(bottomRight[1] + bottomRight[2], 160);
}

// With photo orientation switched off the tag means nothing to the player:
// the pixels as stored are turned and the tag is left alone.
TEST_F(RotateJpegTest, WithoutPhotoOrientationTheStoredPixelsTurn) {
  AVParams = DefaultAVParams;
  AVParams.TurnPhotos = 0;
  const QByteArray stored = ReadAll(QString::fromStdString(test::MediaPath("quadrants.jpg")));
  const QString path = FDir.filePath("six.jpg"), plain = FDir.filePath("plain.jpg");
  WriteAll(path, Bytes(test::WithExif(Vector(stored), 6)));
  WriteAll(plain, stored);
  ASSERT_TRUE(RotateJpegFile(path, true, nullptr));
  ASSERT_TRUE(RotateJpegFile(plain, true, nullptr));
  EXPECT_TRUE(Decode(ReadAll(path)).Rgb == Decode(ReadAll(plain)).Rgb);
  EXPECT_EQ(ReadExifOrientation(path.toStdString()), 6);
  AVParams = DefaultAVParams;
}

// Folder permissions do not bind the super-user, so as root the rotation runs
// in a child process that has given up its privileges. Returns the rotation's
// result; a child that could not drop them fails the test.
bool RotateWithoutPrivileges(const QString& path) {
  if (geteuid() != 0) return RotateJpegFile(path, true, nullptr);
  const pid_t child = fork();
  if (child == 0) {
    constexpr uid_t kNobody = 65534;
    if (setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(2);
    _exit(RotateJpegFile(path, true, nullptr) ? 1 : 0);
  }
  int status = 0;
  EXPECT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 2) << "could not drop privileges";
  return !(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(RotateJpegTest, ReadOnlyFolderLeavesTheSourceUntouched) {
  const QString folder = FDir.filePath("locked");
  ASSERT_TRUE(QDir().mkdir(folder));
  const QString path = folder + "/photo.jpg";
  QFile::copy(Photo("photo_640x480.jpg"), path);
  const QByteArray original = ReadAll(path);
  const auto readable = QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther;
  const auto enterable = QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther;
  // Everyone may read and write the photo and enter the folders; nobody may write the folder.
  QFile::setPermissions(path, readable | QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther);
  QFile::setPermissions(FDir.path(), readable | enterable | QFile::WriteOwner);
  QFile::setPermissions(folder, readable | enterable);
  EXPECT_FALSE(RotateWithoutPrivileges(path));
  QFile::setPermissions(folder, readable | enterable | QFile::WriteOwner);
  EXPECT_EQ(ReadAll(path), original);
  EXPECT_EQ(QDir(folder).entryList(QDir::Files).size(), 1);
}

// ---- photos stored without loss, and those that are not turned ----

// A picture's pixels as 16-bit RGBA, which holds every layout PNG and
// lossless WebP store without changing a value, with its size.
struct TWidePixels {
  int Width = 0, Height = 0;
  QByteArray Rgba64;
};

TWidePixels WidePixels(const QString& path) {
  QProcess probe;
  probe.start("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries",
                          "stream=width,height", "-of", "csv=p=0", path});
  probe.waitForFinished(30000);
  const QStringList size = QString::fromLatin1(probe.readAllStandardOutput()).trimmed().split(',');
  QProcess decode;
  decode.start("ffmpeg",
               {"-v", "error", "-i", path, "-f", "rawvideo", "-pix_fmt", "rgba64le", "-"});
  decode.waitForFinished(30000);
  TWidePixels pixels;
  if (size.size() == 2) pixels = {size[0].toInt(), size[1].toInt(), decode.readAllStandardOutput()};
  return pixels;
}

// The picture turned a quarter clockwise.
TWidePixels Clockwise(const TWidePixels& in) {
  TWidePixels out{in.Height, in.Width, QByteArray(in.Rgba64.size(), 0)};
  for (int y = 0; y < out.Height; ++y)
    for (int x = 0; x < out.Width; ++x)
      std::memcpy(out.Rgba64.data() + (y * out.Width + x) * 8,
                  in.Rgba64.constData() + ((in.Height - 1 - x) * in.Width + y) * 8, 8);
  return out;
}

bool SamePixels(const TWidePixels& a, const TWidePixels& b) {
  return a.Width == b.Width && a.Height == b.Height && !a.Rgba64.isEmpty() && a.Rgba64 == b.Rgba64;
}

class LosslessTurnTest : public RotateJpegTest,
                         public ::testing::WithParamInterface<const char*> {};

INSTANTIATE_TEST_SUITE_P(Layouts, LosslessTurnTest,
                         ::testing::Values("busy_rgb.png", "busy_rgba.png", "busy_pal8.png",
                                           "busy_gray16.png", "busy_lossless.webp"),
                         [](const auto& info) {
                           std::string name = info.param;
                           for (char& c : name)
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           return name;
                         });

// Re-encoded, not a value changes: a quarter turn gives exactly the turned
// pixels, and turning back gives the very pixels of the start.
TEST_P(LosslessTurnTest, KeepsEveryPixelAndTurnsBack) {
  const QString path = FDir.filePath(QString::fromLatin1(GetParam()));
  ASSERT_TRUE(QFile::copy(QString::fromStdString(test::MediaPath(GetParam())), path));
  const TWidePixels before = WidePixels(path);
  ASSERT_FALSE(before.Rgba64.isEmpty());
  QString error;
  ASSERT_EQ(RotateJpegPicture(path, true, &error), TRotation::Turned) << error.toStdString();
  EXPECT_TRUE(SamePixels(WidePixels(path), Clockwise(before)));
  EXPECT_FALSE(QFile::exists(RotationTemporaryName(path)));
  ASSERT_EQ(RotateJpegPicture(path, false, &error), TRotation::Turned) << error.toStdString();
  EXPECT_TRUE(SamePixels(WidePixels(path), before));
}

// A PNG or WebP shown turned by its EXIF block turns from how it is shown:
// its pixels then stand upright, the tag says so, and the date stays.
TEST_F(RotateJpegTest, TaggedPngAndWebpTurnFromHowTheyAreShownAndKeepTheirDate) {
  const std::vector<uint8_t> tiff = test::ExifTiff(6, kRecorded);
  const struct {
    const char* Name;
    std::vector<uint8_t> Bytes;
  } cases[] = {
      {"tagged.png", test::WithPngExif(test::ReadBytes(test::MediaPath("busy_rgb.png")), tiff)},
      {"tagged.webp",
       test::WithWebpExif(test::ReadBytes(test::MediaPath("busy_lossless.webp")), tiff, 37, 23)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const QString path = FDir.filePath(c.Name);
    WriteAll(path, Bytes(c.Bytes));
    const TWidePixels stored = WidePixels(path);
    // Shown turned a quarter clockwise; a further quarter turns it upside down.
    ASSERT_TRUE(RotateJpegFile(path, true, nullptr));
    EXPECT_TRUE(SamePixels(WidePixels(path), Clockwise(Clockwise(stored))));
    EXPECT_EQ(ReadExifOrientation(path.toStdString()), 1);
    EXPECT_EQ(ReadPhotoDate(QFile::encodeName(path)), QDateTime(QDate(2021, 5, 6), QTime(7, 8, 9)));
  }
}

// Photos compressed with loss are never re-encoded: the file stays byte for
// byte, with the reason.
TEST_F(RotateJpegTest, LossyWebpHeicAndAvifAreNotTurned) {
  for (const char* name : {"quadrants.webp", "quadrants.heic", "quadrants.avif"}) {
    SCOPED_TRACE(name);
    const QString path = FDir.filePath(QString::fromLatin1(name));
    ASSERT_TRUE(QFile::copy(QString::fromStdString(test::MediaPath(name)), path));
    const QByteArray before = ReadAll(path);
    QString error;
    EXPECT_EQ(RotateJpegPicture(path, true, &error), TRotation::Failed);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(ReadAll(path), before);
    EXPECT_EQ(PhotoTurnKind(path.toStdString()),
              std::string(name).ends_with(".webp") ? tkLossyNoTurn : tkHeifNoTurn);
  }
  EXPECT_EQ(PhotoTurnKind(test::MediaPath("quadrants_lossless.webp")), tkLossless);
  // A colour profile longer than the head read first does not hide the
  // picture's kind behind it.
  std::vector<uint8_t> profiled = {
      'R', 'I',  'F', 'F', 0, 0,  0, 0, 'W', 'E', 'B', 'P', 'V', 'P', '8', 'X',  10,   0,    0,
      0,   0x20, 0,   0,   0, 95, 0, 0, 47,  0,   0,   'I', 'C', 'C', 'P', 0xA0, 0x86, 0x01, 0};
  profiled.resize(profiled.size() + 100000, 0);
  const std::vector<uint8_t> lossless = test::ReadBytes(test::MediaPath("quadrants_lossless.webp"));
  profiled.insert(profiled.end(), lossless.begin() + 12, lossless.end());
  const QString withProfile = FDir.filePath("profiled.webp");
  WriteAll(withProfile, Bytes(profiled));
  EXPECT_EQ(PhotoTurnKind(withProfile.toStdString()), tkLossless);
  EXPECT_EQ(PhotoTurnKind(test::MediaPath("quadrants.png")), tkLossless);
  EXPECT_EQ(PhotoTurnKind(test::MediaPath("quadrants.jpg")), tkJpeg);
}

}  // namespace
}  // namespace vexo

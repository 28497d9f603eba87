#include <gtest/gtest.h>
#include <libexif/exif-data.h>
#include <sys/wait.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <vector>

#include "app/common/jpeg_rotation.h"
#include "app/common/language_list.h"
#include "engine/media/av_types.h"
#include "engine/media/exif_orientation.h"
#include "qt_test_app.h"
#include "tests/support/exif_writer.h"
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
  void SetUp() override { test::QtApp(); }
  QString Photo(const char* media, const QString& name = "photo.jpg") {
    const QByteArray bytes = WithExif(ReadAll(QString::fromStdString(test::MediaPath(media))));
    EXPECT_FALSE(bytes.isEmpty());
    const QString path = FDir.filePath(name);
    WriteAll(path, bytes);
    return path;
  }
  QByteArray Jpegtran(const QString& source, const char* rotate) {
    QProcess tool;
    tool.start("jpegtran", {"-rotate", rotate, "-trim", "-copy", "all", source});
    EXPECT_TRUE(tool.waitForFinished(30000));
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    return tool.readAllStandardOutput();
  }
  QTemporaryDir FDir;
};

TEST_F(RotateJpegTest, MatchesJpegtranPixelsAndKeepsExif) {
  struct Case {
    const char* Media;
    bool Clockwise;
    const char* Rotate;
  } cases[] = {{"photo_640x480.jpg", true, "90"},
               {"photo_640x480.jpg", false, "270"},
               {"photo_100x75.jpg", true, "90"},
               {"photo_100x75.jpg", false, "270"}};
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
    EXPECT_FALSE(QFile::exists(path + "Rotated.jpg"));
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::Files).size(), 1);
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
    EXPECT_FALSE(QFile::exists(path + "Rotated.jpg"));
  }
  // The temporary name is taken by a folder: nothing can be written.
  const QString blocked = Photo("photo_640x480.jpg", "blocked.jpg");
  const QByteArray original = ReadAll(blocked);
  ASSERT_TRUE(QDir().mkdir(blocked + "Rotated.jpg"));
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

QByteArray Bytes(const std::vector<uint8_t>& bytes) {
  return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
}

std::vector<uint8_t> Vector(const QByteArray& bytes) {
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
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

}  // namespace
}  // namespace vexo

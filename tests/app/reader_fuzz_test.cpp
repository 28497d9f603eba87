// Damaged language files and settings files, read as the program reads them
// at start, and damaged camera photos, read for their date and orientation
// and turned: none may crash or hang it (the settings then fall back to their
// defaults, the texts to what the file still holds). Fixed seeds; each case
// runs in a child process.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <string>
#include <vector>

#include "app/browser/photo_date.h"
#include "app/common/jpeg_rotation.h"
#include "app/common/language_list.h"
#include "app/settings/options.h"
#include "engine/media/av_types.h"
#include "engine/media/exif_orientation.h"
#include "tests/app/qt_test_app.h"
#include "tests/support/exif_writer.h"
#include "tests/support/input_fuzz.h"
#include "tests/support/test_media.h"

namespace vexo {
namespace {

using test::FuzzReport;

class ReaderFuzzTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::QtApp();
    FSavedConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", FConfig.path().toUtf8());
  }
  void TearDown() override {
    qputenv("XDG_CONFIG_HOME", FSavedConfig);
    LResList.Clear();
  }
  std::string Work(const char* name) const { return FWork.filePath(name).toStdString(); }
  // `cases` damaged copies of the inputs in turn, from the fixed seed, each
  // written under the work folder `work` with `extension`.
  test::TFuzzRun Run(std::vector<std::string> inputs, int cases, const char* work,
                     const char* extension) const {
    test::TFuzzRun run;
    run.Inputs = std::move(inputs);
    run.Cases = cases;
    run.Seed = 14;
    run.WorkDir = Work(work);
    run.Extension = extension;
    run.CaseSeconds = 10;
    return run;
  }

  QTemporaryDir FProgram, FConfig, FWork;
  QByteArray FSavedConfig;
};

TEST_F(ReaderFuzzTest, DamagedLanguageFilesAreReadWithoutCrashing) {
  const std::string english = VEXO_SOURCE_DIR "/resources/language/English.lrf";
  // The same texts in UTF-16 with its mark, the other way the files come.
  const QString text = QString::fromUtf8(QByteArray::fromStdString([&] {
    const std::vector<uint8_t> bytes = test::ReadBytes(english);
    return std::string(bytes.begin(), bytes.end());
  }()));
  std::vector<uint8_t> utf16 = {0xFF, 0xFE};
  for (QChar c : text)
    utf16.push_back(uint8_t(c.unicode() & 0xFF)), utf16.push_back(uint8_t(c.unicode() >> 8));
  test::WriteBytes(Work("utf16.lrf"), utf16);

  test::TFuzzRun run = Run({english, Work("utf16.lrf")}, 200, "language", ".lrf");
  run.Read = [](const std::string& path) {
    test::TBoxRecorder boxes;
    LResList.LoadFile(QString::fromStdString(path));
    for (int number = 1; number < 40; ++number) LResList.ReadValue("Common", TextKey(number), "");
    // Reached: some text of the file still read.
    bool texts = !LResList.ReadValue("ProgLang", "LangName", "").isEmpty();
    for (int number = 101; number < 140; ++number)
      texts |= !LResList.ReadValue("Player", TextKey(number), "").isEmpty();
    LResList.GetTextRange("Options", 1, 20, " ");
    for (int index = 0; index < 10; ++index) texts |= !LResList.GetCommon(index).isEmpty();
    return texts;
  };
  const test::TFuzzResult result = test::RunFuzz(run);
  std::printf("language files: %s\n", FuzzReport(result).c_str());
  EXPECT_EQ(result.Cases, 200);
  EXPECT_TRUE(test::FuzzClean(result)) << FuzzReport(result);
}

TEST_F(ReaderFuzzTest, DamagedSettingsFilesLoadWithoutCrashing) {
  // A settings file as the program writes it, with recent files and a
  // multi-line text.
  {
    AVParams = DefaultAVParams;
    TOptions options(FProgram.path());
    options.LoadSave(false);
    for (const char* path : {"/media/a.avi", "/media/b c.mp4", "/m/\xc3\xa9.asx"})
      options.AddRecent(QString::fromUtf8(path));
    options.LoadSave(true);
  }
  const QString config = FConfig.filePath("Korvane Group/Vexo Player.conf");
  ASSERT_TRUE(QFile::exists(config));
  test::TFuzzRun run = Run({config.toStdString()}, 200, "settings", ".conf");
  const QString program = FProgram.path();
  run.Read = [config, program](const std::string& path) {
    test::TBoxRecorder boxes;
    QFile::remove(config);
    QFile::copy(QString::fromStdString(path), config);
    TOptions options(program);
    options.LoadSave(false);
    options.ApplyToEngine();
    for (const QString& recent : options.Recent()) (void)options.IsMediaExtension(recent.right(4));
    return !options.Recent().isEmpty();
  };
  const test::TFuzzResult result = test::RunFuzz(run);
  std::printf("settings files: %s\n", FuzzReport(result).c_str());
  EXPECT_EQ(result.Cases, 200);
  EXPECT_TRUE(test::FuzzClean(result)) << FuzzReport(result);
}

// Photos as cameras write them (maker's note, thumbnail, Orientation, dates,
// either byte order), damaged, then read for their date and orientation,
// marked upright and turned losslessly as the browser and the photo view do.
TEST_F(ReaderFuzzTest, DamagedCameraPhotosAreReadAndTurnedWithoutCrashing) {
  const std::vector<uint8_t> photo = test::ReadBytes(test::MediaPath("photo_640x480.jpg"));
  const std::vector<uint8_t> thumbnail = test::ReadBytes(test::MediaPath("photo_100x75.jpg"));
  ASSERT_FALSE(photo.empty());
  ASSERT_FALSE(thumbnail.empty());
  struct TSeed {
    const char* Name;
    test::TCameraExif Camera;
  };
  const TSeed seeds[] = {
      {"turned-right.jpg", {6, "2021:07:14 16:05:09", thumbnail, false}},
      {"upside-down-intel.jpg", {3, "2019:01:02 03:04:05", thumbnail, true}},
      {"turned-left-no-thumbnail.jpg", {8, "2023:12:31 23:59:59", {}, true}},
  };
  std::vector<std::string> inputs;
  for (const TSeed& seed : seeds) {
    ASSERT_TRUE(test::WriteBytes(Work(seed.Name), test::WithCameraExif(photo, seed.Camera)));
    inputs.push_back(Work(seed.Name));
  }
  test::TFuzzRun run = Run(inputs, 150, "photos", ".jpg");
  run.Read = [](const std::string& path) {
    test::TBoxRecorder boxes;
    const int32_t orientation = ReadExifOrientation(path);
    std::vector<uint8_t> bytes = test::ReadBytes(path);
    const int32_t inMemory = ExifOrientationOfData(bytes.data(), bytes.size());
    const bool marked = MarkExifUpright(bytes.data(), bytes.size());
    const QDateTime date = ReadPhotoDate(QFile::encodeName(QString::fromStdString(path)));
    QString error;
    const bool turned = RotateJpegFile(QString::fromStdString(path), orientation % 2 == 0, &error);
    // Reached: the EXIF block still read, or the picture still turned.
    return orientation != 1 || inMemory != 1 || marked || date.isValid() || turned;
  };
  const test::TFuzzResult result = test::RunFuzz(run);
  std::printf("camera photos: %s\n", FuzzReport(result).c_str());
  EXPECT_EQ(result.Cases, 150);
  EXPECT_TRUE(test::FuzzClean(result)) << FuzzReport(result);
}

}  // namespace
}  // namespace vexo

// Damaged language files and settings files, read as the program reads them
// at start: none may crash or hang it (the settings then fall back to their
// defaults, the texts to what the file still holds). Fixed seeds; each case
// runs in a child process.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <string>

#include "app/common/language_list.h"
#include "app/settings/options.h"
#include "engine/media/av_types.h"
#include "tests/app/qt_test_app.h"
#include "tests/support/input_fuzz.h"

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

  test::TFuzzRun run;
  run.Inputs = {english, Work("utf16.lrf")};
  run.Cases = 200;
  run.Seed = 14;
  run.WorkDir = Work("language");
  run.Extension = ".lrf";
  run.CaseSeconds = 10;
  run.Read = [](const std::string& path) {
    test::TBoxRecorder boxes;
    LResList.LoadFile(QString::fromStdString(path));
    for (int number = 1; number < 40; ++number) LResList.ReadValue("Common", TextKey(number), "");
    LResList.GetTextRange("Options", 1, 20, " ");
    for (int index = 0; index < 10; ++index) LResList.GetCommon(index);
  };
  const test::TFuzzResult result = test::RunFuzz(run);
  std::printf("language files: %s\n", FuzzReport(result).c_str());
  EXPECT_EQ(result.Cases, 200);
  EXPECT_EQ(result.Crashes + result.Hangs, 0) << FuzzReport(result);
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
  test::TFuzzRun run;
  run.Inputs = {config.toStdString()};
  run.Cases = 200;
  run.Seed = 14;
  run.WorkDir = Work("settings");
  run.Extension = ".conf";
  run.CaseSeconds = 10;
  const QString program = FProgram.path();
  run.Read = [config, program](const std::string& path) {
    test::TBoxRecorder boxes;
    QFile::remove(config);
    QFile::copy(QString::fromStdString(path), config);
    TOptions options(program);
    options.LoadSave(false);
    options.ApplyToEngine();
    for (const QString& recent : options.Recent()) (void)options.IsMediaExtension(recent.right(4));
  };
  const test::TFuzzResult result = test::RunFuzz(run);
  std::printf("settings files: %s\n", FuzzReport(result).c_str());
  EXPECT_EQ(result.Cases, 200);
  EXPECT_EQ(result.Crashes + result.Hangs, 0) << FuzzReport(result);
}

}  // namespace
}  // namespace vexo

// Message boxes, file dialogs, window placement and start-up folders.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include "app/common/file_dialogs.h"
#include "app/common/ini_file.h"
#include "app/common/program_environment.h"
#include "app/common/window_placement.h"
#include "qt_test_app.h"

namespace vexo {
namespace {

TEST(MessageBoxes, KindsButtonsAndBeeps) {
  test::QtApp();
  test::TBoxRecorder boxes(false);
  ShowError("e");
  ShowWarning("w");
  ShowInfo("i");
  ShowInfoHelp("h", 12);
  EXPECT_FALSE(AskYesNo("q", 34));
  ASSERT_EQ(boxes.Boxes.size(), 5u);
  const bool beeps[] = {true, true, false, false, false};
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(boxes.Boxes[i].Beep, beeps[i]) << i;
  EXPECT_TRUE(boxes.Boxes[3].HelpButton);
  EXPECT_EQ(boxes.Boxes[3].HelpContext, 12);
  EXPECT_FALSE(boxes.Boxes[3].YesNo);
  EXPECT_TRUE(boxes.Boxes[4].YesNo);
  EXPECT_EQ(boxes.Boxes[4].Kind, TMsgKind::Confirm);
}

TEST(MessageBoxes, RealBoxShowsTheAmpersandItself) {
  test::QtApp();
  QString shown;
  QTimer::singleShot(0, [&shown] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* box = qobject_cast<QMessageBox*>(w)) {
        auto* label = box->findChild<QLabel*>("qt_msgbox_label");
        if (label) shown = label->text();
        EXPECT_EQ(label ? label->textFormat() : Qt::RichText, Qt::PlainText);
        box->accept();
      }
  });
  ShowInfo("Tom & Jerry");
  EXPECT_EQ(shown, "Tom & Jerry");
}

class FileDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::QtApp();
    LastOpenDir = LastSaveDir = "/start";
    QFile file(FDir.filePath("clip.avi"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  void TearDown() override { SetFileDialogHook({}); }
  void Answer(QStringList files, int filterIndex = 2) {
    SetFileDialogHook([=, this](const TFileDialogRequest& r) {
      Requests.push_back(r);
      return TFileDialogAnswer{true, files, filterIndex};
    });
  }
  QTemporaryDir FDir;
  std::vector<TFileDialogRequest> Requests;
};

TEST_F(FileDialogTest, FilterIsTranslated) {
  EXPECT_EQ(QtFileFilter("Playlists|*.asx;*.wpl|All files|*.*"),
            "Playlists (*.asx *.wpl);;All files (*)");
  EXPECT_EQ(QtFileFilter(""), "");
}

TEST_F(FileDialogTest, OpenRemembersFolderAndReturnsFirstOfSeveral) {
  const QString clip = FDir.filePath("clip.avi");
  Answer({clip, FDir.filePath("other.avi")});
  QString name;
  QStringList list;
  int filter = 1;
  EXPECT_EQ(OpenFileDialog("Open", "Video|*.avi", "", name, &list, filter), clip);
  ASSERT_EQ(Requests.size(), 1u);
  EXPECT_EQ(Requests[0].Folder, "/start");
  EXPECT_TRUE(Requests[0].MultiSelect);
  EXPECT_EQ(Requests[0].Filter, "Video (*.avi)");
  EXPECT_EQ(list.size(), 2);
  EXPECT_EQ(filter, 2);
  EXPECT_EQ(LastOpenDir, FDir.path());
}

TEST_F(FileDialogTest, OpenReportsAMissingFile) {
  test::TBoxRecorder boxes;
  const QString missing = FDir.filePath("gone.avi");
  Answer({missing});
  QString name;
  int filter = 1;
  EXPECT_EQ(OpenFileDialog("Open", "", "/given", name, nullptr, filter), "");
  EXPECT_EQ(Requests[0].Folder, "/given");
  ASSERT_EQ(boxes.Boxes.size(), 1u);
  EXPECT_EQ(boxes.Boxes[0].Text, "File \"" + missing + "\" was not found!");
}

TEST_F(FileDialogTest, CancelKeepsEverything) {
  SetFileDialogHook([](const TFileDialogRequest&) { return TFileDialogAnswer{}; });
  QString name = "keep";
  int filter = 3;
  EXPECT_EQ(OpenFileDialog("Open", "", "", name, nullptr, filter), "");
  EXPECT_EQ(SaveFileDialog("Save", "", "", name, true, "asx", ""), "");
  EXPECT_EQ(name, "keep");
  EXPECT_EQ(filter, 3);
  EXPECT_EQ(LastOpenDir, "/start");
  EXPECT_EQ(LastSaveDir, "/start");
}

TEST_F(FileDialogTest, SaveRemembersItsOwnFolder) {
  const QString target = FDir.filePath("new.asx");
  Answer({target});
  QString name;
  EXPECT_EQ(SaveFileDialog("Save", "Playlist|*.asx", "", name, true, "asx", "My list"), target);
  EXPECT_EQ(Requests[0].FileName, "My list");
  EXPECT_TRUE(Requests[0].OverwritePrompt);
  EXPECT_EQ(Requests[0].Folder, "/start");
  EXPECT_EQ(LastSaveDir, FDir.path());
  EXPECT_EQ(LastOpenDir, "/start");
}

TEST(WindowPlacement, WorkAreaRules) {
  test::QtApp();
  WorkArea = QRect(0, 30, 1000, 700);
  EXPECT_EQ(PercentOfWorkArea(80), QSize(800, 560));
  QWidget window;
  window.resize(1200, 500);
  CenterInWorkArea(&window);
  EXPECT_EQ(window.geometry(), QRect(0, 130, 1000, 500));
}

TEST(WindowPlacement, StoredPlacementAppliesOnlyAtTheSamePixelDensity) {
  test::QtApp();
  QTemporaryDir dir;
  TSIniFile ini(dir.filePath("w.ini"));
  QWidget window;
  window.setGeometry(100, 120, 640, 480);
  SaveWindowPlacement(&window, ini, "Window");
  EXPECT_EQ(ini.ReadInteger("Window", "Width", 0), 640);
  EXPECT_FALSE(ini.ReadBool("Window", "Maximized", true));

  WorkArea = QRect(0, 0, 800, 600);
  ini.WriteInteger("Window", "Left", -50);
  ini.WriteInteger("Window", "Width", 100);
  ini.WriteBool("Window", "Maximized", true);
  QWidget other;
  EXPECT_TRUE(LoadWindowPlacement(&other, ini, "Window"));
  EXPECT_EQ(other.x(), 0);
  EXPECT_EQ(other.width(), 400);
  EXPECT_EQ(other.height(), 480);

  ini.WriteInteger("Window", "PPI", ini.ReadInteger("Window", "PPI", 0) + 1);
  QWidget third;
  third.setGeometry(1, 2, 300, 200);
  EXPECT_FALSE(LoadWindowPlacement(&third, ini, "Window"));
  EXPECT_EQ(third.geometry(), QRect(1, 2, 300, 200));
}

// Stored positions at the ends of the integer range must not wrap round
// when the size is added: the window still lands on the desktop.
TEST(WindowPlacement, PositionsOutOfRangeComeBackOnTheDesktop) {
  test::QtApp();
  QTemporaryDir dir;
  TSIniFile ini(dir.filePath("w.ini"));
  QWidget probe;
  SaveWindowPlacement(&probe, ini, "Window");
  WorkArea = QRect(0, 0, 800, 600);
  const QRect desktop = probe.screen()->virtualGeometry();
  const struct {
    int Left, Top;
  } cases[] = {{2147483000, 2147483000}, {2147483647, 10}, {-2147483000, -2147483647}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.Left) + "," + std::to_string(c.Top));
    ini.WriteInteger("Window", "Left", c.Left);
    ini.WriteInteger("Window", "Top", c.Top);
    ini.WriteInteger("Window", "Width", 640);
    ini.WriteInteger("Window", "Height", 480);
    QWidget window;
    LoadWindowPlacement(&window, ini, "Window");
    EXPECT_TRUE(desktop.contains(window.geometry()))
        << window.geometry().x() << "," << window.geometry().y();
  }
}

TEST(ProgramEnvironment, FoldersAreSetAndMade) {
  test::QtApp();
  QTemporaryDir home;
  const QByteArray savedData = qgetenv("XDG_DATA_HOME"), savedHome = qgetenv("HOME");
  qputenv("XDG_DATA_HOME", home.filePath("data").toUtf8());
  qputenv("HOME", home.path().toUtf8());
  InitProgramEnvironment(home.path() + "/prog/");
  qputenv("XDG_DATA_HOME", savedData);
  qputenv("HOME", savedHome);
  EXPECT_EQ(ProgramDir, home.path() + "/prog");
  EXPECT_EQ(ProgramDirSlash, home.path() + "/prog/");
  EXPECT_EQ(SpecialDirs[1], home.filePath("data"));
  EXPECT_TRUE(QDir(SpecialDirs[1]).exists());
  EXPECT_TRUE(SpecialDirs[0].startsWith(home.path()));
  EXPECT_TRUE(QDir(SpecialDirs[0]).exists());
  EXPECT_EQ(SpecialDirs[2], SpecialDirs[0]);
  EXPECT_EQ(LastOpenDir, SpecialDirs[0]);
  EXPECT_EQ(LastSaveDir, SpecialDirs[0]);
  EXPECT_EQ(UiFontName, QApplication::font().family());
  EXPECT_FALSE(WorkArea.isEmpty());
  // A folder that cannot be made falls back.
  QFile blocker(home.filePath("file"));
  ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  EXPECT_EQ(EnsureFolder(home.filePath("file/sub"), ProgramDir), ProgramDir);
  EXPECT_EQ(EnsureFolder("", ProgramDir), ProgramDir);
}

TEST(ProgramEnvironment, CharsetsOfLocales) {
  EXPECT_EQ(CharsetForLocale(QLocale(QLocale::Japanese)), 128);
  EXPECT_EQ(
      CharsetForLocale(QLocale(QLocale::Chinese, QLocale::SimplifiedChineseScript, QLocale::China)),
      134);
  EXPECT_EQ(CharsetForLocale(
                QLocale(QLocale::Chinese, QLocale::TraditionalChineseScript, QLocale::Taiwan)),
            136);
  EXPECT_EQ(CharsetForLocale(QLocale(QLocale::Russian)), 204);
  EXPECT_EQ(CharsetForLocale(QLocale(QLocale::Polish)), 238);
  EXPECT_EQ(CharsetForLocale(QLocale(QLocale::German)), 1);
}

}  // namespace
}  // namespace vexo

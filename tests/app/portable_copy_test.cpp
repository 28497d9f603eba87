// The copy of the player onto a removable drive, on a private X server: a
// temporary folder poses as the drive through a stand-in of the drive
// information. The designed files and autorun.inf land there; removal and
// failed copies leave the drive as it was; the checks before the dialog
// refuse a drive without room before anything is written.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <map>
#include <optional>

#include "app/common/language_list.h"
#include "app/common/text_utils.h"
#include "app/settings/options.h"
#include "app/shell/autorun_inf.h"
#include "app/shell/portable_dialog.h"
#include "app/shell/portable_target_checks.h"
#include "engine/media/media_lib.h"
#include "platform/drive_info.h"
#include "settings_sandbox.h"
#include "xvfb_qt_app.h"

namespace vexo {
namespace {

// A folder that the program takes for the root of a drive of a given kind.
class TStandInDrive : public IDriveInfo {
 public:
  int DriveKind(const std::string&) const override { return Kind; }
  int64_t DiskFree(const std::string&) const override { return Free; }
  bool IsVolumeRoot(const std::string& path) const override {
    return QFileInfo(QString::fromStdString(path)).canonicalFilePath() == Root;
  }
  QString Root;
  int Kind = dkRemovable;
  int64_t Free = int64_t(1) << 30;
};

// Every folder and file below root with the bytes of the files.
using TTree = std::map<QString, QByteArray>;

TTree TreeOf(const QString& root) {
  TTree tree;
  QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QFileInfo info(it.next());
    const QString relative = QDir(root).relativeFilePath(info.filePath());
    if (info.isDir()) {
      tree[relative + '/'] = {};
    } else {
      QFile file(info.filePath());
      tree[relative] = file.open(QIODevice::ReadOnly) ? file.readAll() : "<unreadable>";
    }
  }
  return tree;
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).path());
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
  file.write(bytes);
}

QByteArray AutorunFor(const QByteArray& program, const QByteArray& eol = "\r\n") {
  return "[autorun]" + eol + "open=" + program + eol + "icon=" + program + eol +
         "action=Open Vexo Player" + eol + "shell\\open\\command=" + program + eol;
}

QString Text(int number) {
  return LResList.GetText("PortableDialog", number);
}

class PortableCopyTest : public ::testing::Test {
 public:
  void SetUp() override {
    ASSERT_TRUE(test::XvfbQtApp()) << "Xvfb did not start";
    ASSERT_TRUE(FDrive.isValid());
    Drives.Root = QFileInfo(FDrive.path()).canonicalFilePath();
    SetDriveInfo(&Drives);
    MakeProgramFolder(false);
    Options = std::make_unique<TOptions>(Sandbox.ProgramDir());
    Options->GetOption(oPhotoSec).SetInt(9);
  }
  void TearDown() override {
    Options.reset();
    SetDriveInfo(nullptr);
  }

  QString Program(const QString& relative) const {
    return QDir(Sandbox.ProgramDir()).filePath(relative);
  }
  QString Drive(const QString& relative = {}) const {
    return relative.isEmpty() ? FDrive.path() : QDir(FDrive.path()).filePath(relative);
  }

  // What the built program folder holds, in small.
  void MakeProgramFolder(bool ownLibraries) {
    WriteFile(Program("vexoplayer"),
              "\x7f"
              "ELF a player");
    QFile::setPermissions(Program("vexoplayer"), QFile::permissions(Program("vexoplayer")) |
                                                     QFile::ExeOwner | QFile::ExeUser);
    WriteFile(Program("language/language.ini"), "[Language]\nName=English\n");
    WriteFile(Program("help/index.html"), "<html>help</html>");
    WriteFile(Program("help/pictures/browser.svg"), "<svg/>");
    WriteFile(Program("Skins/BlueIce.qss"), "QWidget { color: navy; }");
    WriteFile(Program("Skins/DarkGlass.qss"), "QWidget { color: white; }");
    if (!ownLibraries) return;
    for (int lib = 0; lib < mlCount; ++lib)
      WriteFile(Program(MediaLibFileName(TMediaLib(lib))),
                QByteArray("library ") + char('0' + lib));
    WriteFile(Program("LGPL.TXT"), "licence");
  }
  // The files a copy of that folder consists of, relative to its folder.
  std::vector<QString> ExpectedFiles(bool ownLibraries) const {
    std::vector<QString> files = {
        "vexoplayer",         "language/English.lrf",      "language/language.ini",
        "help/index.html",    "help/pictures/browser.svg", "Skins/BlueIce.qss",
        "Skins/DarkGlass.qss"};
    if (ownLibraries) {
      for (int lib = 0; lib < mlCount; ++lib) files.push_back(MediaLibFileName(TMediaLib(lib)));
      files.push_back("LGPL.TXT");
    }
    return files;
  }

  std::unique_ptr<TPortableDialog> OpenDialog() {
    auto dialog = std::make_unique<TPortableDialog>(nullptr, *Options);
    dialog->Init(Drive(), "STICK (" + Drive() + ")");
    dialog->open();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    return dialog;
  }
  // Proceeds with the chosen work and waits for its end.
  static bool Proceed(TPortableDialog& dialog) {
    QSignalSpy done(&dialog, &TPortableDialog::WorkDone);
    QTest::mouseClick(dialog.Buttons->Button(bProceed), Qt::LeftButton);
    EXPECT_TRUE(dialog.Working() || !done.isEmpty());
    if (done.isEmpty()) {
      EXPECT_TRUE(done.wait(30000));
    }
    return !done.isEmpty() && done.front().front().toBool();
  }
  // Copies the player to the stand-in drive and closes the dialog.
  void CopyOnce() {
    auto dialog = OpenDialog();
    ASSERT_TRUE(Proceed(*dialog));
    QTest::mouseClick(dialog->Buttons->Button(bCancel), Qt::LeftButton);
  }
  static void ExpectDoneState(TPortableDialog& dialog) {
    EXPECT_FALSE(dialog.Buttons->Button(bProceed)->isVisible());
    EXPECT_TRUE(dialog.Buttons->Button(bCancel)->isEnabled());
    EXPECT_TRUE(dialog.Buttons->Button(bDlgHelp)->isEnabled());
    EXPECT_EQ(dialog.Buttons->Button(bCancel)->text(), dialog.Buttons->Caption(bClose));
    EXPECT_FALSE(dialog.ProgressBar->isVisible());
  }

  test::TSettingsSandbox Sandbox;
  TStandInDrive Drives;
  std::unique_ptr<TOptions> Options;

 private:
  QTemporaryDir FDrive;
};

// ---- the copy ----

struct TCopyCase {
  const char* Name;
  bool Misc;           // the drive has a folder MISC
  bool OwnLibraries;   // the program folder carries the media libraries
  QByteArray Autorun;  // autorun.inf found on the drive; null: none
  QByteArray Expected;
};

class PortableCopyCases : public PortableCopyTest,
                          public ::testing::WithParamInterface<TCopyCase> {};

TEST_P(PortableCopyCases, CarriesTheFileSetAndStartsItFromAutorun) {
  const TCopyCase& c = GetParam();
  if (c.OwnLibraries) MakeProgramFolder(true);
  if (c.Misc) QDir(Drive()).mkdir("MISC");
  if (!c.Autorun.isNull()) WriteFile(Drive("autorun.inf"), c.Autorun);
  const TTree before = TreeOf(Drive());

  auto dialog = OpenDialog();
  const QString target = Drive(c.Misc ? "MISC/VexoPlayer" : "VexoPlayer");
  EXPECT_EQ(dialog->TargetFolder, target);
  EXPECT_FALSE(dialog->PlayerPresent);
  EXPECT_FALSE(dialog->Choice[1]->isEnabled());
  EXPECT_TRUE(dialog->Choice[0]->isChecked());
  EXPECT_EQ(dialog->StatusLabel->text(), Text(31) + ": " + target);
  EXPECT_EQ(TreeOf(Drive()), before) << "nothing changes before Proceed";
  EXPECT_TRUE(dialog->grab().save(VEXO_BIN_DIR "/../portable_dialog.png"));

  ASSERT_TRUE(Proceed(*dialog)) << dialog->StatusLabel->text().toStdString();
  ExpectDoneState(*dialog);
  EXPECT_EQ(dialog->StatusLabel->text(), Text(41) + " " + Text(42));
  EXPECT_TRUE(dialog->grab().save(VEXO_BIN_DIR "/../portable_dialog_done.png"));

  QFile autorun(Drive("autorun.inf"));
  ASSERT_TRUE(autorun.open(QIODevice::ReadOnly));
  EXPECT_EQ(autorun.readAll(), c.Expected);
  TTree copied = TreeOf(target);
  for (const QString& file : ExpectedFiles(c.OwnLibraries)) {
    QFile source(Program(file));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly)) << file.toStdString();
    EXPECT_EQ(copied[file], source.readAll()) << file.toStdString();
    copied.erase(file);
  }
  EXPECT_TRUE(QFileInfo(target + "/vexoplayer").isExecutable());
  // Beside the files only their folders and the settings remain.
  EXPECT_EQ(copied.count("vexoplayer.ini"), 1u);
  copied.erase("vexoplayer.ini");
  for (const auto& [path, bytes] : copied) EXPECT_TRUE(path.endsWith('/')) << path.toStdString();
  EXPECT_FALSE(QFileInfo::exists(target + ".partial"));
  EXPECT_FALSE(QFileInfo::exists(target + ".old"));

  // Carried anywhere, even to a fixed disk, the copy runs portable with the
  // user's choices.
  Drives.Kind = dkFixed;
  TOptions copy(target);
  EXPECT_TRUE(copy.Portable);
  copy.LoadSave(false);
  EXPECT_EQ(copy.GetOption(oPhotoSec).GetInt(), 9);
  EXPECT_TRUE(copy.Recent().isEmpty());

  QTest::mouseClick(dialog->Buttons->Button(bCancel), Qt::LeftButton);
  EXPECT_EQ(dialog->result(), QDialog::Accepted);
}

const QByteArray kVexo = "VexoPlayer\\vexoplayer";

INSTANTIATE_TEST_SUITE_P(
    Drives, PortableCopyCases,
    ::testing::Values(
        TCopyCase{"EmptyStick", false, false, {}, AutorunFor(kVexo)},
        TCopyCase{"MiscFolderAndOwnLibraries",
                  true,
                  true,
                  {},
                  AutorunFor("MISC\\VexoPlayer\\vexoplayer")},
        TCopyCase{
            "OtherEntriesAndSectionsKept", false, false,
            "[AutoRun]\r\nopen=setup.exe\r\nlabel=Holiday\r\n\r\n[Content]\r\nMusicFiles=1\r\n",
            "[Content]\r\nMusicFiles=1\r\n\r\n" + AutorunFor(kVexo)},
        TCopyCase{"LineFeedsAndNoFinalBreak", false, false, "; made by a camera\n[Content]\nA=1",
                  "; made by a camera\n[Content]\nA=1\n\n" + AutorunFor(kVexo, "\n")}),
    [](const auto& info) { return std::string(info.param.Name); });

// ---- removal ----

class PortableRemoveCases : public PortableCopyTest,
                            public ::testing::WithParamInterface<TCopyCase> {};

TEST_P(PortableRemoveCases, LeavesTheDriveAsBefore) {
  const TCopyCase& c = GetParam();
  if (c.Misc) QDir(Drive()).mkdir("MISC");
  if (!c.Autorun.isNull()) WriteFile(Drive("autorun.inf"), c.Autorun);
  WriteFile(Drive("DCIM/100CANON/IMG_0001.JPG"), "a photo");
  const TTree before = TreeOf(Drive());
  CopyOnce();
  ASSERT_NE(TreeOf(Drive()), before);

  auto dialog = OpenDialog();
  EXPECT_TRUE(dialog->PlayerPresent);
  EXPECT_TRUE(dialog->Choice[1]->isEnabled());
  EXPECT_TRUE(dialog->Choice[1]->isChecked()) << "an existing copy offers its removal first";
  ASSERT_TRUE(Proceed(*dialog)) << dialog->StatusLabel->text().toStdString();
  ExpectDoneState(*dialog);
  EXPECT_EQ(dialog->StatusLabel->text(), Text(51) + " " + Text(52));
  EXPECT_EQ(TreeOf(Drive()), before);
}

INSTANTIATE_TEST_SUITE_P(Drives, PortableRemoveCases,
                         ::testing::Values(TCopyCase{"NothingBefore", false, false, {}, {}},
                                           TCopyCase{"MiscAndAnotherProgramsAutorun",
                                                     true,
                                                     false,
                                                     "[Content]\r\nMusicFiles=1\r\n",
                                                     {}}),
                         [](const auto& info) { return std::string(info.param.Name); });

// ---- failures ----

struct TFailureCase {
  const char* Name;
  bool CopyFirst;  // a complete copy is already on the drive
  std::function<void(PortableCopyTest&)> Spoil;
  int ErrorText;
};

class PortableFailureCases : public PortableCopyTest,
                             public ::testing::WithParamInterface<TFailureCase> {};

// Half a copy never poses as a copy: what the drive held stays as it was.
TEST_P(PortableFailureCases, LeaveTheDriveAsItWas) {
  const TFailureCase& c = GetParam();
  WriteFile(Drive("autorun.inf"), "[Content]\r\nMusicFiles=1\r\n");
  if (c.CopyFirst) {
    CopyOnce();
    // The copy's own settings, changed on the drive.
    WriteFile(Drive("VexoPlayer/vexoplayer.ini"), "[Options]\noPhotoSec=4\n");
  }
  c.Spoil(*this);
  const TTree before = TreeOf(Drive());

  auto dialog = OpenDialog();
  dialog->Choice[0]->setChecked(true);
  EXPECT_FALSE(Proceed(*dialog));
  ExpectDoneState(*dialog);
  EXPECT_EQ(dialog->LastError().Text, c.ErrorText);
  EXPECT_TRUE(dialog->StatusLabel->text().startsWith(Text(45) + " " + Text(46) + "\n"))
      << dialog->StatusLabel->text().toStdString();
  EXPECT_EQ(TreeOf(Drive()), before);
  EXPECT_TRUE(dialog->grab().save(VEXO_BIN_DIR "/../portable_dialog_failed.png"));
  QTest::mouseClick(dialog->Buttons->Button(bCancel), Qt::LeftButton);
  EXPECT_EQ(dialog->result(), QDialog::Rejected);
}

void RemoveLanguageFile(PortableCopyTest& t) {
  // Late in the list: the executable and the libraries are copied by then.
  ASSERT_TRUE(QFile::remove(t.Program("language/English.lrf")));
}

INSTANTIATE_TEST_SUITE_P(
    Drives, PortableFailureCases,
    ::testing::Values(
        TFailureCase{"SourceMissingHalfWay", false, RemoveLanguageFile, peCopyFile},
        TFailureCase{"OldCopyKeptWhenTheNewFails", true, RemoveLanguageFile, peCopyFile},
        TFailureCase{"UsersFileInTheWay", false,
                     [](PortableCopyTest& t) { WriteFile(t.Drive("VexoPlayer"), "my notes"); },
                     peNotAFolder}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(PortableCopyTest, UnwritableAutorunEndsInTheDoneStateWithTheCopyInPlace) {
  // A folder of that name cannot be replaced by a file.
  ASSERT_TRUE(QDir(Drive()).mkdir("autorun.inf"));
  auto dialog = OpenDialog();
  EXPECT_FALSE(Proceed(*dialog));
  ExpectDoneState(*dialog);
  EXPECT_EQ(dialog->LastError().Text, peWriteFile);
  EXPECT_EQ(dialog->LastError().Path, Drive("autorun.inf"));
  EXPECT_TRUE(QFileInfo(Drive("VexoPlayer/vexoplayer")).isFile());
  EXPECT_TRUE(QFileInfo(Drive("autorun.inf")).isDir());
}

TEST_F(PortableCopyTest, WindowKeepsReactingWhileALargeFileIsCopied) {
  // 48 MB of executable, written as a hole so that only the copy costs.
  ASSERT_TRUE(QFile(Program("vexoplayer")).resize(48 << 20));
  auto dialog = OpenDialog();
  const QString copyingExecutable = Text(32) + " " + Drive("VexoPlayer/vexoplayer");
  bool executableShown = false;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (executableShown || !dialog->Working()) return;
    if (dialog->StatusLabel->text() != copyingExecutable) return;
    executableShown = true;
    EXPECT_TRUE(dialog->ProgressBar->isVisible());
    EXPECT_GT(dialog->ProgressBar->value(), 0) << "the folders come first";
    EXPECT_TRUE(dialog->grab().save(VEXO_BIN_DIR "/../portable_dialog_working.png"));
  });
  timer.start(5);
  EXPECT_TRUE(Proceed(*dialog));
  EXPECT_TRUE(executableShown) << "the window was repainted while the executable was copied";
  EXPECT_EQ(QFileInfo(Drive("VexoPlayer/vexoplayer")).size(), 48 << 20);
  // Closing is refused only while the work runs.
  dialog->close();
  EXPECT_FALSE(dialog->isVisible());
}

TEST_F(PortableCopyTest, EveryErrorHasItsText) {
  for (int text : {peCopyFile, peMakeFolder, peWriteFile, peRemove, peNotAFolder, peOwnFolder})
    EXPECT_TRUE(LResList.ReadValue("PortableDialog", TextKey(text), {}).contains("%s")) << text;
}

// ---- the checks before the dialog ----

struct TCheckCase {
  const char* Name;
  const char* Path;  // relative to the drive; null: no selection
  int64_t Free;
  int Kind;
  bool Removable;
  bool Answer;
  qint64 ExecutableSize;
  int BoxText;  // of section Player, 0: no box
  bool DialogShown;
};

class PortableCheckCases : public PortableCopyTest,
                           public ::testing::WithParamInterface<TCheckCase> {};

TEST_P(PortableCheckCases, DecideWhetherTheDialogOpens) {
  const TCheckCase& c = GetParam();
  Drives.Free = c.Free;
  Drives.Kind = c.Kind;
  if (c.ExecutableSize) {
    ASSERT_TRUE(QFile(Program("vexoplayer")).resize(c.ExecutableSize));
  }
  QDir(Drive()).mkdir("Music");
  const TTree before = TreeOf(Drive());

  TPortableTarget target;
  if (c.Path) target.Path = QString(c.Path).isEmpty() ? Drive() : Drive(c.Path);
  target.DisplayText = "STICK";
  target.Removable = c.Removable;
  std::optional<QString> shownFor;
  test::TBoxRecorder boxes(c.Answer);
  const bool result = CopyPlayerToTarget(target, Sandbox.ProgramDir(),
                                         [&](const QString& drive, const QString& name) {
                                           shownFor = drive + "|" + name;
                                           return true;
                                         });
  EXPECT_EQ(result, c.DialogShown);
  EXPECT_EQ(shownFor.has_value(), c.DialogShown);
  if (c.DialogShown) {
    EXPECT_EQ(*shownFor, Drive() + "|STICK");
  }
  if (c.BoxText == 0) {
    EXPECT_TRUE(boxes.Boxes.empty());
  } else {
    ASSERT_EQ(boxes.Boxes.size(), 1u);
    const QString expected =
        c.BoxText == 2011
            ? LResList.GetText("Player", 2011) + "\n\n" + LResList.GetText("Player", 2012)
            : FormatText(LResList.GetText("Player", c.BoxText), {Drive()});
    EXPECT_EQ(boxes.Boxes[0].Text, expected);
    EXPECT_EQ(boxes.Boxes[0].YesNo, c.BoxText >= 2021);
    EXPECT_EQ(boxes.Boxes[0].HelpContext, TPortableDialog::kHelpContext);
  }
  EXPECT_EQ(TreeOf(Drive()), before) << "the checks write nothing";
}

constexpr int64_t kGiB = int64_t(1) << 30;

INSTANTIATE_TEST_SUITE_P(
    Targets, PortableCheckCases,
    ::testing::Values(
        TCheckCase{"NoSelection", nullptr, kGiB, dkRemovable, true, true, 0, 2011, false},
        TCheckCase{"FolderOnTheDrive", "Music", kGiB, dkRemovable, true, true, 0, 2011, false},
        TCheckCase{"OneByteShortOfTheMinimum", "", 9999999, dkRemovable, true, true, 0, 2015,
                   false},
        TCheckCase{"ExactlyTheMinimum", "", 10000000, dkRemovable, true, true, 0, 0, true},
        TCheckCase{"UnknownFreeSpace", "", -1, dkRemovable, true, true, 0, 2015, false},
        TCheckCase{"RoomForTheMinimumButNotForThisCopy", "", 11000000, dkRemovable, true, true,
                   12000000, 2015, false},
        TCheckCase{"DriveNotFoundAnsweredNo", "", kGiB, dkNoRoot, true, false, 0, 2021, false},
        TCheckCase{"DriveNotFoundAnsweredYes", "", kGiB, dkNoRoot, true, true, 0, 2021, true},
        TCheckCase{"FixedDriveAnsweredNo", "", kGiB, dkFixed, false, false, 0, 2022, false},
        TCheckCase{"FixedDriveAnsweredYes", "", kGiB, dkFixed, false, true, 0, 2022, true}),
    [](const auto& info) { return std::string(info.param.Name); });

// ---- autorun.inf of other makers ----

struct TAutorunCase {
  const char* Name;
  QByteArray Bytes;
  bool StartsPlayer;
  QByteArray AfterRemoval;
};

class AutorunInfCases : public ::testing::TestWithParam<TAutorunCase> {};

TEST_P(AutorunInfCases, TellsAndDropsThePlayersSection) {
  const TAutorunCase& c = GetParam();
  TAutorunInf autorun(c.Bytes);
  EXPECT_EQ(autorun.StartsPlayer(), c.StartsPlayer);
  autorun.RemoveAutorun();
  EXPECT_EQ(autorun.Bytes(), c.AfterRemoval);
}

INSTANTIATE_TEST_SUITE_P(
    Files, AutorunInfCases,
    ::testing::Values(TAutorunCase{"KeysAndSectionsInAnyCase",
                                   "[AUTORUN]\r\nOpen = VexoPlayer\\vexoplayer\r\n", true, ""},
                      TAutorunCase{"AnotherProgram", "[autorun]\r\nopen=setup.exe\r\n", false, ""},
                      TAutorunCase{"OpenOutsideTheSection", "[Content]\r\nopen=vexoplayer\r\n",
                                   false, "[Content]\r\nopen=vexoplayer\r\n"},
                      TAutorunCase{
                          "ByteOrderMarkAndTwoSections",
                          "\xEF\xBB\xBF[autorun]\r\nopen=x\\vexoplayer\r\n[Other]\r\nk=v\r\n"
                          "[autorun]\r\nicon=y\r\n",
                          true, "[Other]\r\nk=v\r\n"}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace vexo

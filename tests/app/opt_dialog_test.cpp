// The options dialog in a real window on a private X server, with a private
// home: what it shows, what OK and Cancel leave behind in the settings file
// and the engine, and the buttons' work.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include "app/common/dialog_btn_panel.h"
#include "app/common/language_choice.h"
#include "app/settings/opt_dialog.h"
#include "picture_checks.h"
#include "settings_sandbox.h"
#include "url_catcher.h"
#include "xvfb_qt_app.h"

namespace vexo {
namespace {

class OptDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(test::XvfbQtApp()) << "Xvfb did not start";
    Sandbox = std::make_unique<test::TSettingsSandbox>();
    Options = std::make_unique<TOptions>(Sandbox->ProgramDir());
    Options->LoadSave(false);
    AVParams = DefaultAVParams;
  }
  void TearDown() override {
    Dialog.reset();
    Options.reset();
    Sandbox.reset();
  }

  // The dialog open and active at page.
  void Open(int page = opGeneral) {
    Dialog = std::make_unique<TOptDialog>(*Options);
    Dialog->Init(page);
    Dialog->open();
    Dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Dialog.get()));
  }
  void ShowPage(int page) {
    QTabBar* tabs = Dialog->Pages->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(page).center());
    ASSERT_EQ(Dialog->Pages->currentIndex(), page);
  }
  void Click(QWidget* widget) {
    ASSERT_TRUE(widget->isVisible());
    QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(8, widget->height() / 2));
  }
  void Press(int kind) { Click(Dialog->BtnPanel->Button(kind)); }
  template <class T>
  T* Control(int option) const {
    return qobject_cast<T*>(Dialog->OptionControl(option));
  }
  QSettings Stored() const { return QSettings(Sandbox->ConfigFile(), QSettings::IniFormat); }

  std::unique_ptr<test::TSettingsSandbox> Sandbox;
  std::unique_ptr<TOptions> Options;
  std::unique_ptr<TOptDialog> Dialog;
};

TEST_F(OptDialogTest, PagesShowTheStoredValues) {
  Sandbox->WriteConfig(
      "[Options]\noPhotoSec=7\noSortType=1\noAVFullScreenKey=2\noAVPlanar=0\n"
      "seMOV=0\nseCstm=1\noCustomExt=mkv\n");
  Options->LoadSave(false);
  // A text missing from the language file would show a box.
  test::TBoxRecorder missingTexts;
  Open(opBrowser);
  EXPECT_TRUE(missingTexts.Boxes.empty()) << missingTexts.Boxes[0].Text.toStdString();
  EXPECT_EQ(Dialog->Pages->count(), 3);
  EXPECT_EQ(Dialog->Pages->currentIndex(), opBrowser);
  EXPECT_EQ(Dialog->windowTitle(), "Options");
  EXPECT_EQ(Control<QSpinBox>(oPhotoSec)->value(), 7);
  EXPECT_EQ(Control<QSpinBox>(oPhotoSec)->minimum(), 1);
  EXPECT_EQ(Control<QSpinBox>(oPhotoSec)->maximum(), 15);
  EXPECT_EQ(Control<QComboBox>(oSortType)->currentIndex(), 1);
  EXPECT_EQ(Control<QComboBox>(oAVFullScreenKey)->currentText(), "Alt+Enter");
  EXPECT_EQ(Control<QComboBox>(oAVVideoMode)->count(), 3);
  EXPECT_FALSE(Control<QCheckBox>(oAVPlanar)->isChecked());
  EXPECT_TRUE(Dialog->TypeBox(seAVI)->isChecked());
  EXPECT_FALSE(Dialog->TypeBox(seMOV)->isChecked());
  EXPECT_EQ(Dialog->TypeBox(seDVX)->text(), "DIVX");
  EXPECT_TRUE(Dialog->TypeBox(seCstm)->isChecked());
  EXPECT_EQ(Control<QLineEdit>(oCustomExt)->text(), "mkv");
  EXPECT_TRUE(Control<QLineEdit>(oCustomExt)->isEnabled());
  // Options the player keeps for itself have no control.
  for (int option : {oSkinName, oPlayFolders, oPlayMirraDay, oPlayOrder})
    EXPECT_EQ(Dialog->OptionControl(option), nullptr) << option;
  // The sound outputs start with the server's default.
  auto* sound = Control<QComboBox>(oAVSoundDevice);
  ASSERT_GE(sound->count(), 1);
  EXPECT_EQ(sound->itemData(0).toString(), "default");
  EXPECT_EQ(sound->currentIndex(), 0);
  EXPECT_EQ(Dialog->BtnPanel->Button(bDefault)->width(), 120);
  // As wide as drawn, or wider where a list's longest entry needs it.
  EXPECT_GE(Dialog->width(), 472);
  EXPECT_EQ(Dialog->Pages->geometry(), QRect(8, 8, Dialog->width() - 16, Dialog->Pages->height()));
}

TEST_F(OptDialogTest, OkStoresOneChangeFromEachPageAndTheEngineFollows) {
  QFile test(Sandbox->LanguageDir() + "/Test.lrf");
  ASSERT_TRUE(test.open(QIODevice::WriteOnly));
  test.write("[ProgLang]\nLangName=Testish\n");
  test.close();
  test::TBoxRecorder boxes;
  Open();
  // General: a check box, the photo time by its arrows, the language.
  Click(Control<QCheckBox>(oPlayExpandTree));
  auto* seconds = Control<QSpinBox>(oPhotoSec);
  seconds->setFocus();
  for (int i = 0; i < 3; ++i) QTest::keyClick(seconds, Qt::Key_Up);
  QComboBox* language = Dialog->LanguageBox();
  language->setCurrentIndex(language->findText("Testish"));
  // Browser: sorting by keyboard and one media type off.
  ShowPage(opBrowser);
  Control<QComboBox>(oSortType)->setFocus();
  QTest::keyClick(Control<QComboBox>(oSortType), Qt::Key_Down);
  Click(Dialog->TypeBox(seFLV));
  // Playback: the plain drawing output, packed pictures.
  ShowPage(opPlayback);
  Control<QComboBox>(oAVVideoMode)->setCurrentIndex(vmRaster);
  Click(Control<QCheckBox>(oAVPlanar));
  ASSERT_TRUE(Control<QCheckBox>(oAVTurnPhoto)->isChecked());
  EXPECT_EQ(Control<QCheckBox>(oAVTurnPhoto)->text(),
            "Turn photos upright as the camera recorded them");
  Click(Control<QCheckBox>(oAVTurnPhoto));
  Press(bOK);

  EXPECT_FALSE(Dialog->isVisible());
  EXPECT_EQ(Dialog->result(), QDialog::Accepted);
  EXPECT_TRUE(Dialog->TreeRefreshNeeded);
  QSettings stored = Stored();
  EXPECT_EQ(stored.value("Options/oPlayExpandTree").toString(), "1");
  EXPECT_EQ(stored.value("Options/oPhotoSec").toString(), "5");
  EXPECT_EQ(stored.value("Options/oSortType").toString(), "1");
  EXPECT_EQ(stored.value("Options/seFLV").toString(), "0");
  EXPECT_EQ(stored.value("Options/seAVI").toString(), "1");
  EXPECT_EQ(stored.value("Options/oAVVideoMode").toString(), "2");
  EXPECT_EQ(stored.value("Options/oAVSoundDevice").toString(), "default");
  EXPECT_EQ(AVParams.PhotoDurationMs, 5000);
  EXPECT_EQ(AVParams.VideoMode, vmRaster);
  EXPECT_EQ(stored.value("Options/oAVPlanar").toString(), "0");
  EXPECT_EQ(AVParams.Planar, 0);
  EXPECT_EQ(stored.value("Options/oAVTurnPhoto").toString(), "0");
  EXPECT_EQ(AVParams.TurnPhotos, 0);
  EXPECT_EQ(AVParams.TurnVideos, 1);
  EXPECT_EQ(Options->GetOption(oPhotoSec).GetInt(), 5);
  // The language is the next start's; the user is told so.
  EXPECT_EQ(ReadLanguageChoice(Sandbox->LanguageDir()), "Test");
  EXPECT_EQ(LResList.LangName, "English");
  ASSERT_EQ(boxes.Boxes.size(), 1u);
  EXPECT_EQ(boxes.Boxes[0].Text, LResList.GetText("DlgOpt", 9002));
  TLResList next;
  next.Load(Sandbox->ProgramDir());
  EXPECT_EQ(next.FileName, Sandbox->LanguageDir() + "/Test.lrf");
}

TEST_F(OptDialogTest, OnlyThePhotoTimeChangedNeedsNoNewBrowserTree) {
  Open();
  Control<QSpinBox>(oPhotoSec)->setValue(9);
  Press(bOK);
  EXPECT_EQ(Dialog->result(), QDialog::Accepted);
  EXPECT_FALSE(Dialog->TreeRefreshNeeded);
  EXPECT_EQ(AVParams.PhotoDurationMs, 9000);
}

TEST_F(OptDialogTest, CancelAndEscapeLeaveEverythingAsItWas) {
  Options->GetOption(oPhotoSec).SetInt(4);
  for (bool escape : {false, true}) {
    Open();
    Click(Control<QCheckBox>(oPlayShowPLDlg));
    Control<QSpinBox>(oPhotoSec)->setValue(11);
    ShowPage(opBrowser);
    Click(Dialog->TypeButton(1));
    if (escape)
      QTest::keyClick(Dialog.get(), Qt::Key_Escape);
    else
      Press(bCancel);
    EXPECT_FALSE(Dialog->isVisible()) << escape;
    EXPECT_EQ(Dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(QFile::exists(Sandbox->ConfigFile())) << "nothing saved";
    EXPECT_FALSE(QFile::exists(Sandbox->LanguageDir() + "/language.ini"));
    EXPECT_EQ(Options->GetOption(oPhotoSec).GetInt(), 4);
    EXPECT_TRUE(Options->GetOption(oPlayShowPLDlg).GetBool());
    EXPECT_TRUE(Options->GetExtOption(seAVI)->GetBool());
    EXPECT_EQ(AVParams.PhotoDurationMs, DefaultAVParams.PhotoDurationMs);
  }
}

struct TBadFile {
  const char* Name;
  QByteArray Bytes;
};

void PrintTo(const TBadFile& file, std::ostream* os) {
  *os << file.Name;
}

class OptDialogBadFileTest : public OptDialogTest,
                             public ::testing::WithParamInterface<TBadFile> {};

TEST_P(OptDialogBadFileTest, OpensWithClampedValuesOrDefaults) {
  Sandbox->WriteConfig(GetParam().Bytes);
  Options->LoadSave(false);
  Open();
  const int seconds = Control<QSpinBox>(oPhotoSec)->value();
  EXPECT_TRUE(seconds == 2 || seconds == 15) << seconds;
  const int sort = Control<QComboBox>(oSortType)->currentIndex();
  EXPECT_TRUE(sort == 0 || sort == 1) << sort;
  EXPECT_EQ(Control<QComboBox>(oAVVideoMode)->currentIndex(), 1);
  const int key = Control<QComboBox>(oAVFullScreenKey)->currentIndex();
  EXPECT_TRUE(key >= 0 && key <= 2) << key;
  EXPECT_TRUE(Control<QCheckBox>(oAVPhotoSeek)->isChecked());
  EXPECT_EQ(Control<QComboBox>(oAVSoundDevice)->currentIndex(), 0);
  // OK writes back what was shown, nothing of the garbage.
  Press(bOK);
  EXPECT_EQ(Dialog->result(), QDialog::Accepted);
  TOptions reread(Sandbox->ProgramDir());
  reread.LoadSave(false);
  EXPECT_EQ(reread.GetOption(oPhotoSec).GetInt(), seconds);
  EXPECT_EQ(reread.GetOption(oAVVideoMode).GetInt(), 1);
  EXPECT_EQ(reread.GetOption(oAVFullScreenKey).GetInt(), key);
}

INSTANTIATE_TEST_SUITE_P(
    Files, OptDialogBadFileTest,
    ::testing::Values(
        TBadFile{"OutOfRange",
                 "[Options]\noPhotoSec=99\noSortType=7\noAVFullScreenKey=-1\noAVVideoMode=abc\n"
                 "oAVPhotoSeek=perhaps\noAVSoundDevice=\n"},
        TBadFile{"WrongTypes", "[Options]\noPhotoSec=two\noSortType=1.5\noAVFullScreenKey=\n"},
        TBadFile{"Binary", QByteArray("\xFF\xFE[\0O\0p\0\x00\x01\x02\n=\xC3\x28[Options\n", 24)},
        TBadFile{"CutOff", "[Options]\noPhotoSec=99"}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(OptDialogTest, ModesOnlyTheSettingsFileSetsStayUntilChanged) {
  Options->GetOption(oAVVideoMode).SetInt(vmGLTextureArgb);
  Open(opPlayback);
  auto* mode = Control<QComboBox>(oAVVideoMode);
  EXPECT_EQ(mode->count(), 5);
  EXPECT_EQ(mode->currentIndex(), vmGLTextureArgb);
  Press(bOK);
  EXPECT_EQ(Options->GetOption(oAVVideoMode).GetInt(), vmGLTextureArgb);
  EXPECT_EQ(AVParams.VideoMode, vmGLTextureArgb);
}

TEST_F(OptDialogTest, TheLanguageListShowsEveryLanguageFileByItsName) {
  const std::pair<const char*, const char*> files[] = {
      {"Test.lrf", "[ProgLang]\nLangName=Testish\n"},
      {"german.lrf", "[Player]\nIDS_2001=tragbar\n"},  // no name of its own
      {"Notes.txt", "[ProgLang]\nLangName=Not a language\n"},
  };
  for (const auto& [name, text] : files) {
    QFile file(Sandbox->LanguageDir() + "/" + name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
  }
  SaveLanguageChoice(Sandbox->LanguageDir(), "german", nullptr);
  Open();
  QComboBox* list = Dialog->LanguageBox();
  QStringList shown;
  for (int i = 0; i < list->count(); ++i) shown << list->itemText(i);
  EXPECT_EQ(shown, QStringList({"English", "german", "Testish"}));
  EXPECT_EQ(list->currentText(), "german");
  // A choice saved in lower case still finds its file.
  TLResList next;
  next.Load(Sandbox->ProgramDir());
  EXPECT_TRUE(next.IsLoaded());
  EXPECT_EQ(next.GetText("Player", 2001), "tragbar");
}

TEST_F(OptDialogTest, DefaultsResetTheActivePageAndTheMediaTypesOnly) {
  Options->GetOption(oPlayExpandTree).SetBool(true);
  Options->GetOption(oSortType).SetInt(1);
  Options->GetOption(oAVVideoMode).SetInt(vmRaster);
  Options->GetOption(oAVFullScreenKey).SetInt(1);
  Options->GetOption(oAVPhotoSeek).SetBool(false);
  Options->GetOption(oAVPlanar).SetBool(false);
  Options->GetOption(oAVSoundDevice).SetText("hw:CARD=Gone,DEV=0");
  Options->GetExtOption(seJPG)->SetBool(false);
  Open(opPlayback);
  EXPECT_EQ(Control<QComboBox>(oAVSoundDevice)->currentData().toString(), "hw:CARD=Gone,DEV=0");
  Press(bDefault);
  EXPECT_TRUE(Dialog->isVisible());
  EXPECT_EQ(Control<QComboBox>(oAVVideoMode)->currentIndex(), 1);
  EXPECT_EQ(Control<QComboBox>(oAVFullScreenKey)->currentIndex(), 0);
  EXPECT_TRUE(Control<QCheckBox>(oAVPhotoSeek)->isChecked());
  EXPECT_TRUE(Control<QCheckBox>(oAVPlanar)->isChecked());
  EXPECT_EQ(Control<QComboBox>(oAVSoundDevice)->currentIndex(), 0);
  EXPECT_TRUE(Dialog->TypeBox(seJPG)->isChecked());
  EXPECT_TRUE(Control<QCheckBox>(oPlayExpandTree)->isChecked());
  EXPECT_EQ(Control<QComboBox>(oSortType)->currentIndex(), 1);
  // Nothing reaches the options before OK.
  EXPECT_EQ(Options->GetOption(oAVVideoMode).GetInt(), vmRaster);
  Press(bOK);
  EXPECT_EQ(Options->GetOption(oAVVideoMode).GetInt(), vmGLShader);
  EXPECT_EQ(Options->GetOption(oAVSoundDevice).GetText(), "default");
  EXPECT_TRUE(Options->GetOption(oPlayExpandTree).GetBool());
  EXPECT_TRUE(Dialog->TreeRefreshNeeded);
}

TEST_F(OptDialogTest, NoMediaTypeLeftKeepsTheDialogOpenOnTheBrowserPage) {
  test::TBoxRecorder boxes;
  Open();
  ShowPage(opBrowser);
  Click(Dialog->TypeButton(1));
  for (int type = 0; type < kExtOptionCount; ++type)
    EXPECT_FALSE(Dialog->TypeBox(type)->isChecked()) << type;
  ShowPage(opPlayback);
  Press(bOK);
  EXPECT_TRUE(Dialog->isVisible());
  EXPECT_EQ(Dialog->Pages->currentIndex(), opBrowser);
  ASSERT_EQ(boxes.Boxes.size(), 1u);
  EXPECT_EQ(boxes.Boxes[0].Text, LResList.GetText("DlgOpt", 9001));
  EXPECT_FALSE(QFile::exists(Sandbox->ConfigFile()));
  // Select all puts every type back, the dialog then closes.
  Click(Dialog->TypeButton(0));
  EXPECT_TRUE(Dialog->TypeBox(seCstm)->isChecked());
  Press(bOK);
  EXPECT_FALSE(Dialog->isVisible());
  EXPECT_TRUE(Options->GetExtOption(seCstm)->GetBool());
}

TEST_F(OptDialogTest, TheOwnTypeIsStoredWithoutDotOrBlanks) {
  for (const char* typed : {".mkv", "  mkv  "}) {
    Options->GetExtOption(seCstm)->SetBool(false);
    Open(opBrowser);
    auto* edit = Control<QLineEdit>(oCustomExt);
    EXPECT_FALSE(edit->isEnabled());
    Click(Dialog->TypeBox(seCstm));
    EXPECT_TRUE(edit->isEnabled());
    EXPECT_TRUE(edit->hasFocus());
    edit->selectAll();
    QTest::keyClicks(edit, typed);
    Press(bOK);
    EXPECT_EQ(Options->GetOption(oCustomExt).GetText(), "mkv") << typed;
    EXPECT_TRUE(Options->IsMediaExtension(".MKV"));
    EXPECT_TRUE(Dialog->TreeRefreshNeeded);
  }
}

TEST_F(OptDialogTest, HelpOpensTheDialogsPageOfTheHelpFolder) {
  test::TUrlCatcher browser;
  ASSERT_TRUE(QDir().mkpath(Sandbox->ProgramDir() + "/help"));
  for (const char* page : {"index.html", "options.html"}) {
    QFile file(Sandbox->ProgramDir() + "/help/" + page);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  }
  Open();
  Press(bDlgHelp);
  EXPECT_TRUE(Dialog->isVisible());
  ASSERT_EQ(browser.Urls.size(), 1u);
  const QUrl url = browser.Urls[0];
  EXPECT_TRUE(url.isLocalFile());
  EXPECT_EQ(url.toLocalFile(), Sandbox->ProgramDir() + "/help/options.html");
}

// Today's video types sit beside the others on the browser page, each a box
// of its own that says what it holds, and one switched off is saved as such.
TEST_F(OptDialogTest, TheLaterVideoTypesHaveBoxesOfTheirOwn) {
  Open(opBrowser);
  QWidget* page = Dialog->Pages->currentWidget();
  for (int type = 0; type < kExtOptionCount; ++type) {
    QCheckBox* box = Dialog->TypeBox(type);
    ASSERT_TRUE(box) << type;
    EXPECT_TRUE(box->isVisible()) << type;
    EXPECT_FALSE(box->toolTip().isEmpty()) << type;
    // Nothing cut off at the page's edges.
    EXPECT_TRUE(page->rect().contains(box->geometry())) << type;
    EXPECT_EQ(box->isChecked(), type != seCstm) << type;
  }
  EXPECT_EQ(Dialog->TypeBox(seM2TS)->text(), "M2TS");
  EXPECT_EQ(Dialog->TypeBox(seMKV)->toolTip(), "Matroska video");
  // No two boxes share a spot.
  for (int a = 0; a < kExtOptionCount; ++a)
    for (int b = a + 1; b < kExtOptionCount; ++b)
      EXPECT_FALSE(Dialog->TypeBox(a)->geometry().intersects(Dialog->TypeBox(b)->geometry()))
          << a << " " << b;
  Click(Dialog->TypeBox(seMKV));
  Press(bOK);
  EXPECT_EQ(Dialog->result(), QDialog::Accepted);
  EXPECT_TRUE(Dialog->TreeRefreshNeeded);
  EXPECT_EQ(Stored().value("Options/seMKV").toString(), "0");
  EXPECT_EQ(Stored().value("Options/seWEBM").toString(), "1");
  EXPECT_FALSE(Options->IsMediaExtension(".mkv"));
  EXPECT_TRUE(Options->IsMediaExtension(".webm"));
}

// Every page as a person sees it: its controls with their texts inside the
// dialog, none over another, each drawn; a check mark shows where a box is
// ticked. The pictures are kept for a look.
TEST_F(OptDialogTest, EveryPageShowsItsControlsApartAndDrawnAndIsSavedAsAPicture) {
  Open();
  for (int page = 0; page < kOptPageCount; ++page) {
    SCOPED_TRACE(page);
    ShowPage(page);
    QTest::qWait(30);
    const QImage shot = Dialog->grab().toImage();
    const std::vector<const QWidget*> controls = test::TextControls(Dialog.get());
    EXPECT_FALSE(controls.empty());
    test::ExpectLaidOut(Dialog.get(), controls, shot);
    const QString file = QStringLiteral(VEXO_BIN_DIR "/../options_page%1.png").arg(page);
    EXPECT_TRUE(shot.save(file)) << file.toStdString();
  }
  // The tick itself: the box's mark differs between ticked and not.
  ShowPage(0);
  QCheckBox* box = nullptr;
  for (QCheckBox* candidate : Dialog->findChildren<QCheckBox*>())
    if (candidate->isVisibleTo(Dialog.get()) && candidate->isEnabled()) box = candidate;
  ASSERT_NE(box, nullptr);
  QStyleOptionButton option;
  option.initFrom(box);
  const QRect mark = box->style()
                         ->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box)
                         .translated(test::PlaceIn(Dialog.get(), box).topLeft());
  box->setChecked(true);
  const QImage ticked = Dialog->grab().toImage().copy(mark);
  box->setChecked(false);
  const QImage plain = Dialog->grab().toImage().copy(mark);
  EXPECT_NE(ticked, plain);
  EXPECT_GT(test::ColoursIn(ticked, ticked.rect()), test::ColoursIn(plain, plain.rect()));
}

}  // namespace
}  // namespace vexo

#include "moc_url_catcher.cpp"

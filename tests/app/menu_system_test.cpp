// The menu system on real widgets under a private X server: menus, tool bar
// and pop-up menus built from the player's command table, their texts from
// language files, run-time lists, enabling, showing, checking and shortcuts.
#include <gtest/gtest.h>

#include <QActionGroup>
#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <memory>

#include "app/common/language_list.h"
#include "app/common/menu_system.h"
#include "app/common/message_boxes.h"
#include "app/common/shortcut_text.h"
#include "app/shell/command_table.h"
#include "tests/app/picture_checks.h"
#include "tests/support/desktop_app.h"

extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\nleak:libdbus-1\nleak:libxcb\n";
}

namespace vexo {
namespace {

::testing::Environment* const desktop =
    test::AddDesktopApp("menu_system_test", test::TDesktopParts{});

const QString kEnglish = QStringLiteral(VEXO_SOURCE_DIR "/resources/language/English.lrf");

// A menu as a list of row numbers: "-" for a separator, a trailing ">" for
// an item that opens a sub-menu, the caption for a run-time entry.
QStringList Layout(const QWidget* menu) {
  QStringList out;
  for (QAction* item : menu->actions()) {
    if (item->isSeparator()) {
      out << "-";
    } else if (auto* entry = qobject_cast<TMSAction*>(item); entry && entry->IsListEntry()) {
      out << entry->Caption();
    } else {
      out << QString::number(item->data().toInt()) + (item->menu<QMenu*>() ? ">" : "");
    }
  }
  return out;
}

QMenu* SubMenuOf(const QWidget* menu, int row) {
  for (QAction* item : menu->actions())
    if (!item->isSeparator() && item->data().toInt() == row && item->menu<QMenu*>())
      return item->menu<QMenu*>();
  return nullptr;
}

QStringList RowTexts(std::initializer_list<int> rows) {
  QStringList out;
  for (int row : rows) out << (row < 0 ? QStringLiteral("-") : QString::number(row));
  return out;
}

void RunDeferredDeletes() {
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

class MenuSystemTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LResList.LoadFile(kEnglish);
    ASSERT_TRUE(LResList.IsLoaded());
    Window = std::make_unique<QMainWindow>();
    Menus = new TMenuSystem(Window.get(), PlayerCommandTable(), CommandImages());
  }
  void TearDown() override {
    Window.reset();
    RunDeferredDeletes();
    LResList.Clear();
  }
  // What the main window builds when it is first shown.
  void BuildAll() {
    Menus->BuildMainMenu(kMainMenuCommands);
    Menus->BuildToolBar(kToolBarCommands);
    Menus->BuildPopupMenu(kBrowserPopupCommands);
    Menus->BuildPopupMenu(kVideoPopupCommands);
  }
  QMenu* TopMenu(int row) { return SubMenuOf(Window->menuBar(), row); }
  // Records the rows of the commands that reach the window's handler.
  void RecordCommands(bool handled = true) {
    Menus->OnExecuteCommand = [this, handled](TMSAction& action, bool& done) {
      Executed.push_back(action.Index() * 100 + action.SubIndex() + 1);
      done = handled;
    };
  }

  std::unique_ptr<QMainWindow> Window;
  TMenuSystem* Menus = nullptr;
  std::vector<int> Executed;  // row * 100 + position in its list + 1
};

TEST_F(MenuSystemTest, MainMenuHasTheDesignedEntriesSeparatorsAndOrder) {
  BuildAll();
  EXPECT_EQ(Layout(Window->menuBar()), QStringList({"0>", "12>", "27>", "31>"}));
  EXPECT_EQ(Window->menuBar()->actions()[0]->text(), "&File");
  EXPECT_EQ(Layout(TopMenu(mFile)),
            QStringList({"1", "2", "-", "3", "4", "6", "35", "-", "7>", "-", "10", "-", "11"}));
  // Row 16 opens the Edit menu without a separator although it asks for one.
  EXPECT_EQ(Layout(TopMenu(mEdit)), RowTexts({16, 17, -1, 18, -1, 19}));
  EXPECT_EQ(Layout(TopMenu(mTools)), QStringList({"28", "-", "29>"}));
  EXPECT_EQ(Layout(TopMenu(mHelp)), RowTexts({32, 33, -1, 34}));
  // The skins list is empty and its item waits for it, disabled.
  EXPECT_TRUE(Layout(SubMenuOf(TopMenu(mTools), mTools_Skins)).isEmpty());
  EXPECT_FALSE(Menus->FindAction(mTools_Skins)->isEnabled());
  EXPECT_FALSE(Menus->FindAction(mFile_OpenRecent)->isEnabled());
  // Commands the main-menu set covers get actions even where no menu shows them.
  for (int row : {mFile_New, mEdit_Cut, mProj, mProj_Settings}) {
    ASSERT_NE(Menus->FindAction(row), nullptr) << row;
    EXPECT_FALSE(Menus->FindAction(row)->text().isEmpty()) << row;
  }
  // Rows that carry no command in this program never get one.
  for (int row = mFile_OpenFolder + 1; row < mtViewSett; ++row)
    EXPECT_EQ(Menus->FindAction(row), nullptr) << row;
  EXPECT_EQ(Menus->MinIndex(), mFile);
  EXPECT_EQ(Menus->MaxIndex(), mvSoundTrack);
}

TEST_F(MenuSystemTest, ToolBarHasButtonsGapsAndPictures) {
  QToolBar* bar = Menus->BuildToolBar(kToolBarCommands);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(Layout(bar),
            RowTexts({mFile_OpenPL, -1, mFile_SavePL, -1, mEdit_RotateCW, mEdit_RotateCCW, -1,
                      mEdit_CopyTo, mEdit_Delete, -1, mTools_Options, -1, mHelp_Contents}));
  EXPECT_EQ(bar->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
  EXPECT_EQ(bar->iconSize(), QSize(20, 20));
  for (QAction* item : bar->actions()) {
    if (item->isSeparator()) {
      EXPECT_EQ(bar->widgetForAction(item)->width(), 7);
      continue;
    }
    // Our own pictures must load where the desktop has no icon theme.
    EXPECT_FALSE(item->icon().pixmap(20, 20).isNull()) << item->data().toInt();
  }
  // A button says its shorter tool-bar caption, or shows the picture alone.
  auto button = [bar, this](int row) {
    return qobject_cast<QToolButton*>(bar->widgetForAction(Menus->FindAction(row)));
  };
  ASSERT_NE(button(mFile_OpenPL), nullptr);
  EXPECT_EQ(button(mFile_OpenPL)->text(), "Open");
  EXPECT_EQ(button(mFile_OpenPL)->toolTip(), "Open a saved playlist");
  EXPECT_EQ(button(mFile_OpenPL)->toolButtonStyle(), Qt::ToolButtonTextBesideIcon);
  EXPECT_EQ(button(mEdit_RotateCW)->toolButtonStyle(), Qt::ToolButtonIconOnly);
  EXPECT_EQ(button(mEdit_RotateCW)->accessibleName(), "Turn the selected photo clockwise");
  EXPECT_EQ(Menus->FindAction(mFile_OpenPL)->text(), "&Open playlist...");
}

// A command is one action wherever it stands: the Tools menu, the tool bar
// and the video pop-up menu all hold the Options action, each way of firing
// it reaches the one handler, and its state shows the same in all three.
TEST_F(MenuSystemTest, ACommandIsOneActionInMenuToolBarAndPopup) {
  BuildAll();
  Window->resize(800, 400);
  Window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
  TMSAction* options = Menus->FindAction(mTools_Options);
  ASSERT_NE(options, nullptr);
  QToolBar* bar = Window->findChild<QToolBar*>();
  QMenu* popup = Menus->GetPopupMenu(kVideoPopup);
  EXPECT_TRUE(TopMenu(mTools)->actions().contains(options));
  EXPECT_TRUE(bar->actions().contains(options));
  EXPECT_TRUE(popup->actions().contains(options));
  auto* button = qobject_cast<QToolButton*>(bar->widgetForAction(options));
  ASSERT_NE(button, nullptr);

  std::vector<int> ran;
  Menus->SetCommandHandler(mTools_Options,
                           [&ran](TMSAction& action) { ran.push_back(action.Index()); });
  QTest::mouseClick(button, Qt::LeftButton);
  popup->popup(Window->mapToGlobal(QPoint(100, 100)));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(popup));
  popup->setActiveAction(options);
  QTest::keyClick(popup, Qt::Key_Return);
  EXPECT_EQ(ran, std::vector<int>({mTools_Options, mTools_Options}));

  Menus->SetEnabled(mTools_Options, false);
  EXPECT_FALSE(button->isEnabled());
  for (const QWidget* holder :
       {static_cast<QWidget*>(TopMenu(mTools)), static_cast<QWidget*>(popup)})
    for (QAction* item : holder->actions())
      if (item->data().toInt() == mTools_Options) {
        EXPECT_FALSE(item->isEnabled());
      }
  QTest::mouseClick(button, Qt::LeftButton);
  EXPECT_EQ(ran.size(), 2u);
  Menus->SetEnabled(mTools_Options, true);
  EXPECT_TRUE(button->isEnabled());
}

TEST_F(MenuSystemTest, PopupMenusAreNumberedInCreationOrder) {
  BuildAll();
  ASSERT_EQ(Menus->PopupMenuCount(), 2);
  EXPECT_EQ(Layout(Menus->GetPopupMenu(kBrowserPopup)),
            RowTexts({1, 2, -1, 16, 17, -1, 18, -1, 19, -1, 70}));
  // The options follow full screen in the video menu, as they come after it.
  EXPECT_EQ(Layout(Menus->GetPopupMenu(kVideoPopup)),
            QStringList({"79", "-", "28", "-", "81", "-", "82>", "83>"}));
  // The same command in two menus is one action.
  EXPECT_EQ(Menus->GetPopupMenu(kBrowserPopup)->actions()[0], TopMenu(mFile)->actions()[0]);
  EXPECT_EQ(Menus->BuildPopupMenu({}), nullptr);
  EXPECT_EQ(Menus->PopupMenuCount(), 2);
}

TEST_F(MenuSystemTest, TextsComeFromTheLanguageFile) {
  BuildAll();
  const TMSAction* open = Menus->FindAction(mFile_OpenPL);
  EXPECT_EQ(open->text(), "&Open playlist...");
  EXPECT_EQ(open->statusTip(), "Open a saved playlist");
  EXPECT_EQ(open->shortcut(), QKeySequence("Ctrl+O"));
  EXPECT_TRUE(Menus->FindAction(mFile_CreatePL)->shortcut().isEmpty());
  EXPECT_FALSE(Menus->FindAction(mFile_OpenPL)->icon().isNull());
  EXPECT_TRUE(Menus->FindAction(mFile_OptionsPL)->icon().isNull());
}

TEST_F(MenuSystemTest, AnotherLanguageFileGivesItsOwnTexts) {
  QTemporaryDir dir;
  const QString path = dir.filePath("Test.lrf");
  {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(
        "\xEF\xBB\xBF[Menu]\n"
        "mFile=&Datei\n"
        "mFile_OpenPL=Wiedergabeliste \xC3\xB6\x66\x66nen\n"
        "mFile_OpenPLH=L\xC3\xA4\x64t eine Liste\n"
        "mFile_OpenPLS=Ctrl+Shift+W\n"
        "mFile_SavePL=Speichern\n"
        "mFile_SavePLS=Strg+Nirgends\n");
  }
  LResList.LoadFile(path);
  std::vector<QString> boxes;
  SetMessageBoxHook([&boxes](const TMsgBoxRequest& box) {
    boxes.push_back(box.Text);
    return true;
  });
  Menus->RegisterCommands({mFile, mFile_OpenPL, mFile_SavePL});
  EXPECT_TRUE(boxes.empty());
  // Tool-bar captions may be missing without a message: the button shows the
  // picture alone.
  Menus->RegisterCommands(kToolBarCommands);
  boxes.clear();
  QToolBar* bar = Menus->BuildToolBar(kToolBarCommands);
  EXPECT_TRUE(boxes.empty());
  auto* openButton =
      qobject_cast<QToolButton*>(bar->widgetForAction(Menus->FindAction(mFile_OpenPL)));
  ASSERT_NE(openButton, nullptr);
  EXPECT_EQ(openButton->toolButtonStyle(), Qt::ToolButtonIconOnly);
  EXPECT_EQ(Menus->FindAction(mFile)->text(), "&Datei");
  const TMSAction* open = Menus->FindAction(mFile_OpenPL);
  EXPECT_EQ(open->text(), QString::fromUtf8("Wiedergabeliste öffnen"));
  EXPECT_EQ(open->statusTip(), QString::fromUtf8("Lädt eine Liste"));
  EXPECT_EQ(open->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_W));
  // A missing hint is empty; a shortcut text that names no key gives none.
  EXPECT_EQ(Menus->FindAction(mFile_SavePL)->statusTip(), "");
  EXPECT_TRUE(Menus->FindAction(mFile_SavePL)->shortcut().isEmpty());
  // A missing menu caption is shown as such.
  Menus->RegisterCommands({mFile_Exit});
  SetMessageBoxHook({});
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "Value of \"mFile_Exit\" in section \"Menu\" of language file was not found");
  EXPECT_EQ(Menus->FindAction(mFile_Exit)->text(), "NOT FOUND");
}

TEST_F(MenuSystemTest, RecentListEnablesItsItemOnlyWhenFilled) {
  BuildAll();
  QMenu* recent = SubMenuOf(TopMenu(mFile), mFile_OpenRecent);
  ASSERT_NE(recent, nullptr);
  Menus->FillList(mFile_OpenRecent, {});
  EXPECT_FALSE(Menus->FindAction(mFile_OpenRecent)->isEnabled());
  EXPECT_FALSE(recent->menuAction()->isEnabled());
  Menus->FillList(mFile_OpenRecent, {"/home/me/party.asx", "/home/me/R&B mix.asx"});
  EXPECT_TRUE(recent->menuAction()->isEnabled());
  EXPECT_EQ(Layout(recent), QStringList({"/home/me/party.asx", "/home/me/R&B mix.asx"}));
  for (QAction* entry : recent->actions()) EXPECT_FALSE(entry->isChecked());
  // A path's "&" is shown, not taken as an access key.
  EXPECT_EQ(recent->actions()[1]->text(), "/home/me/R&&B mix.asx");
  // The list replaces exactly its own entries.
  QPointer<QAction> old = recent->actions()[0];
  Menus->FillList(mFile_OpenRecent, {"/tmp/new.asx|hint of new"});
  RunDeferredDeletes();
  EXPECT_TRUE(old.isNull());
  EXPECT_EQ(Layout(recent), QStringList({"/tmp/new.asx"}));
  EXPECT_EQ(recent->actions()[0]->statusTip(), "hint of new");
  EXPECT_EQ(Layout(TopMenu(mFile)),
            QStringList({"1", "2", "-", "3", "4", "6", "35", "-", "7>", "-", "10", "-", "11"}));
}

TEST_F(MenuSystemTest, ListUnderTwoParentsFillsBoth) {
  BuildAll();
  QMenu* popup = Menus->BuildPopupMenu({mFile_OpenRecent, mFile_Exit});
  EXPECT_EQ(Layout(popup), QStringList({"7>", "-", "11"}));
  Menus->FillList(mFile_OpenRecent, {"/a.asx", "/b.asx"});
  EXPECT_EQ(Layout(SubMenuOf(popup, mFile_OpenRecent)), QStringList({"/a.asx", "/b.asx"}));
  EXPECT_EQ(Layout(SubMenuOf(TopMenu(mFile), mFile_OpenRecent)), QStringList({"/a.asx", "/b.asx"}));
  // Both items follow the one command: disabling it disables both.
  Menus->SetEnabled(mFile_OpenRecent, false);
  EXPECT_FALSE(SubMenuOf(popup, mFile_OpenRecent)->menuAction()->isEnabled());
  EXPECT_FALSE(SubMenuOf(TopMenu(mFile), mFile_OpenRecent)->menuAction()->isEnabled());
}

TEST_F(MenuSystemTest, SkinListsAreRadioItemsAndRefillCleanly) {
  BuildAll();
  QMenu* skins = SubMenuOf(TopMenu(mTools), mTools_Skins);
  ASSERT_NE(skins, nullptr);
  QPointer<TMSAction> skinsAction = Menus->FindAction(mTools_Skins);
  QPointer<TMSAction> moreAction = Menus->FindAction(mTools_SkinsAdtnl);
  for (int pass = 0; pass < 2; ++pass) {
    Menus->FillList(mTools_Skins, {"None", "", "BlueIce", "WMP11"}, 2);
    Menus->FillList(mTools_SkinsAdtnl, {"Desert", "Retro"}, -1);
    RunDeferredDeletes();
  }
  EXPECT_EQ(Layout(skins), QStringList({"None", "-", "BlueIce", "WMP11", "-", "30>"}));
  EXPECT_FALSE(skinsAction.isNull());
  EXPECT_FALSE(moreAction.isNull());
  EXPECT_TRUE(skinsAction->isEnabled());
  EXPECT_TRUE(skins->actions()[2]->isChecked());
  EXPECT_TRUE(skins->actions()[2]->actionGroup()->isExclusive());
  QMenu* more = SubMenuOf(skins, mTools_SkinsAdtnl);
  ASSERT_NE(more, nullptr);
  EXPECT_EQ(Layout(more), QStringList({"Desert", "Retro"}));
  EXPECT_TRUE(moreAction->isEnabled());
  // Refilling the outer list leaves the inner one to be filled again.
  Menus->FillList(mTools_Skins, {"None"}, 0);
  EXPECT_FALSE(moreAction->isEnabled());
  EXPECT_EQ(Layout(SubMenuOf(skins, mTools_SkinsAdtnl)), QStringList());
}

TEST_F(MenuSystemTest, RadioEntryIsCheckedOnlyWhenItsCommandIsHandled) {
  BuildAll();
  Menus->FillList(mTools_Skins, {"None", "", "BlueIce", "WMP11"}, 0);
  QMenu* skins = SubMenuOf(TopMenu(mTools), mTools_Skins);
  RecordCommands(false);
  skins->actions()[3]->trigger();
  EXPECT_EQ(Executed, std::vector<int>({mTools_Skins * 100 + 4}));
  EXPECT_TRUE(skins->actions()[0]->isChecked());
  EXPECT_FALSE(skins->actions()[3]->isChecked());
  RecordCommands(true);
  skins->actions()[3]->trigger();
  EXPECT_FALSE(skins->actions()[0]->isChecked());
  EXPECT_TRUE(skins->actions()[3]->isChecked());
}

TEST_F(MenuSystemTest, OnlyExecutableCommandsReachTheHandler) {
  BuildAll();
  Menus->FillList(mFile_OpenRecent, {"/a.asx", "/b.asx"});
  RecordCommands();
  EXPECT_FALSE(Menus->ExecuteAction(Menus->FindAction(mFile_OpenRecent)));
  EXPECT_FALSE(Menus->ExecuteAction(Menus->FindAction(mFile)));
  EXPECT_TRUE(Executed.empty());
  SubMenuOf(TopMenu(mFile), mFile_OpenRecent)->actions()[1]->trigger();
  Menus->FindAction(mvSaveAs)->trigger();
  EXPECT_EQ(Executed, std::vector<int>({mFile_OpenRecent * 100 + 2, mvSaveAs * 100}));
  // A handler of its own row comes first.
  int own = 0;
  Menus->SetCommandHandler(mvSaveAs, [&own](TMSAction& action) { own = action.Index(); });
  EXPECT_TRUE(Menus->ExecuteAction(Menus->FindAction(mvSaveAs)));
  EXPECT_EQ(own, mvSaveAs);
  EXPECT_EQ(Executed.size(), 2u);
}

TEST_F(MenuSystemTest, HandlerMayRefillTheListOfTheEntryItRuns) {
  BuildAll();
  Menus->FillList(mFile_OpenRecent, {"/a.asx", "/b.asx"});
  Menus->OnExecuteCommand = [this](TMSAction& action, bool& handled) {
    handled = true;
    Menus->FillList(mFile_OpenRecent, {action.Caption(), "/a.asx"});
  };
  QMenu* recent = SubMenuOf(TopMenu(mFile), mFile_OpenRecent);
  recent->actions()[1]->trigger();
  RunDeferredDeletes();
  EXPECT_EQ(Layout(recent), QStringList({"/b.asx", "/a.asx"}));
}

TEST_F(MenuSystemTest, CheckMarkBelongsToTheProgramNotTheClick) {
  BuildAll();
  RecordCommands();
  Menus->SetChecked(mvFullScreen, true);
  TMSAction* full = Menus->FindAction(mvFullScreen);
  full->trigger();
  EXPECT_TRUE(full->isChecked());
  Menus->SetChecked(mvFullScreen, false);
  EXPECT_FALSE(full->isChecked());
  EXPECT_EQ(Executed.size(), 1u);
}

struct TEnableCase {
  const char* Name;
  TCommandSet Enable, Disable;
  bool Before, After;
};

void PrintTo(const TEnableCase& c, std::ostream* os) {
  *os << c.Name;
}

class EnableCommandsTest : public MenuSystemTest,
                           public ::testing::WithParamInterface<TEnableCase> {};

TEST_P(EnableCommandsTest, PairOfSets) {
  BuildAll();
  TMSAction* save = Menus->FindAction(mvSaveAs);
  save->setEnabled(GetParam().Before);
  Menus->EnableCommands(GetParam().Enable, GetParam().Disable);
  EXPECT_EQ(save->isEnabled(), GetParam().After);
  // Showing follows the same rule.
  save->setVisible(GetParam().Before);
  Menus->ShowCommands(GetParam().Enable, GetParam().Disable);
  EXPECT_EQ(save->isVisible(), GetParam().After);
}

INSTANTIATE_TEST_SUITE_P(
    Rule, EnableCommandsTest,
    ::testing::Values(TEnableCase{"InEnableOnly", {mvSaveAs}, {}, false, true},
                      TEnableCase{"InDisableOnly", {}, {mvSaveAs}, true, false},
                      TEnableCase{"InBothEnableWins", {mvSaveAs}, {mvSaveAs}, false, true},
                      TEnableCase{"InNeitherKeepsOn", {mvFullScreen}, {mvFullScreen}, true, true},
                      TEnableCase{"InNeitherKeepsOff", {mEdit_Cut}, {mEdit_Copy}, false, false}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(MenuSystemTest, HiddenCopyCommandDropsItsSeparator) {
  BuildAll();
  Window->resize(600, 400);
  Window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
  Menus->ShowCommands({}, {mFile_CopyPlayer});
  QMenu* file = TopMenu(mFile);
  file->popup(Window->mapToGlobal(QPoint(10, 10)));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(file));
  // The separators on both sides of the hidden item collapse into one.
  int visibleSeparators = 0, visibleItems = 0;
  for (QAction* item : file->actions()) {
    if (file->actionGeometry(item).isEmpty()) continue;
    (item->isSeparator() ? visibleSeparators : visibleItems)++;
  }
  EXPECT_EQ(visibleItems, 8);
  EXPECT_EQ(visibleSeparators, 3);
  file->hide();
}

TEST_F(MenuSystemTest, ShortcutsFireEnabledVisibleCommandsOnly) {
  BuildAll();
  RecordCommands();
  Window->resize(600, 400);
  Window->show();
  Window->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
  QTest::keyClick(Window.get(), Qt::Key_O, Qt::ControlModifier);
  QTest::keyClick(Window.get(), Qt::Key_F1);
  EXPECT_EQ(Executed, std::vector<int>({mFile_OpenPL * 100, mHelp_Contents * 100}));
  Menus->EnableCommands({}, {mFile_OpenPL});
  Menus->ShowCommands({}, {mHelp_Contents});
  QTest::keyClick(Window.get(), Qt::Key_O, Qt::ControlModifier);
  QTest::keyClick(Window.get(), Qt::Key_F1);
  EXPECT_EQ(Executed.size(), 2u);
}

TEST_F(MenuSystemTest, MenuHintsShowInTheStatusBar) {
  BuildAll();
  Window->statusBar();
  Window->resize(600, 400);
  Window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
  QMenu* file = TopMenu(mFile);
  Window->menuBar()->setActiveAction(file->menuAction());
  ASSERT_TRUE(QTest::qWaitForWindowExposed(file));
  file->setActiveAction(Menus->FindAction(mFile_SavePL));
  EXPECT_EQ(Window->statusBar()->currentMessage(), "Save the current playlist to a file");
  file->hide();
  QMenu* video = Menus->GetPopupMenu(kVideoPopup);
  video->popup(Window->mapToGlobal(QPoint(100, 100)));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(video));
  video->setActiveAction(Menus->FindAction(mvSaveAs));
  EXPECT_EQ(Window->statusBar()->currentMessage(), "Save the picture on screen as a JPEG file");
  video->hide();
  EXPECT_EQ(Window->statusBar()->currentMessage(), "");
}

// Tools, Skins and More skins unfolded with the video pop-up menu beside
// them, saved into the build folder to be looked at.
TEST_F(MenuSystemTest, SkinMenusUnfoldBesideTheirEntriesDrawnAndAreSavedAsAPicture) {
  BuildAll();
  Menus->FillList(mTools_Skins, {"None", "", "BlueIce", "WMP11"}, 2);
  Menus->FillList(mTools_SkinsAdtnl, {"Desert", "Retro"}, -1);
  Menus->EnableCommands({}, {mvSaveAs});
  Menus->SetChecked(mvFullScreen, true);
  Window->statusBar();
  Window->move(0, 0);
  Window->resize(720, 360);
  Window->show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
  QMenu* tools = TopMenu(mTools);
  Window->menuBar()->setActiveAction(tools->menuAction());
  ASSERT_TRUE(QTest::qWaitForWindowExposed(tools));
  QMenu* skins = SubMenuOf(tools, mTools_Skins);
  tools->setActiveAction(skins->menuAction());
  skins->popup(tools->mapToGlobal(tools->actionGeometry(skins->menuAction()).topRight()));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(skins));
  QMenu* more = SubMenuOf(skins, mTools_SkinsAdtnl);
  skins->setActiveAction(more->menuAction());
  more->popup(skins->mapToGlobal(skins->actionGeometry(more->menuAction()).topRight()));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(more));
  QTest::qWait(200);
  const QRect area = Window->frameGeometry().united(more->geometry());
  QImage shot =
      Window->screen()->grabWindow(0, 0, 0, area.right() + 8, area.bottom() + 8).toImage();
  // The video menu opens on its own, so it is drawn into the picture beside.
  QMenu* video = Menus->GetPopupMenu(kVideoPopup);
  video->popup(QPoint(shot.width() - 10, 10));
  ASSERT_TRUE(QTest::qWaitForWindowExposed(video));
  QTest::qWait(200);
  const QImage menuShot = video->grab().toImage();
  // Each submenu opens beside the entry that leads to it, each menu's entries
  // have their texts, and every menu is drawn.
  EXPECT_GT(skins->geometry().left(), tools->geometry().center().x());
  EXPECT_GT(more->geometry().left(), skins->geometry().center().x());
  for (const QMenu* menu : {tools, skins, more, video}) {
    ASSERT_FALSE(menu->actions().isEmpty()) << menu->title().toStdString();
    for (const QAction* action : menu->actions()) {
      if (!action->isSeparator()) {
        EXPECT_FALSE(action->text().isEmpty());
      }
    }
  }
  for (const QMenu* menu : {tools, skins, more})
    EXPECT_GT(test::ColoursIn(shot, menu->geometry()), 1) << menu->title().toStdString();
  EXPECT_GT(test::ColoursIn(menuShot, menuShot.rect()), 1);
  QImage both(shot.width() + menuShot.width() + 16, std::max(shot.height(), menuShot.height()),
              QImage::Format_RGB32);
  both.fill(Qt::darkGray);
  QPainter painter(&both);
  painter.drawImage(0, 0, shot);
  painter.drawImage(shot.width() + 16, 0, menuShot);
  painter.end();
  const QString file = QStringLiteral(VEXO_BIN_DIR "/../menu-system-skins.png");
  EXPECT_TRUE(both.save(file)) << file.toStdString();
  video->hide();
  more->hide();
  skins->hide();
  tools->hide();
}

TEST(CommandSet, ElevenBytesBitPerRow) {
  const TCommandSet set = {0, 9, 87};
  const std::array<std::uint8_t, 11> bytes = {1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0x80};
  EXPECT_EQ(set.Bytes(), bytes);
  EXPECT_EQ(set.Rows(), std::vector<int>({0, 9, 87}));
  EXPECT_FALSE(set.Contains(88));
  EXPECT_FALSE(set.Contains(-1));
  EXPECT_EQ(TCommandSet::Range(3, 5) & TCommandSet({1, 4, 5}), TCommandSet({4, 5}));
  EXPECT_EQ(TCommandSet::Range(3, 5) - TCommandSet({4}), TCommandSet({3, 5}));
  EXPECT_TRUE(TCommandSet().Empty());
  // The shared table's rows up to About, and the player's own Open folder.
  EXPECT_EQ(kMainMenuCommands.Rows().size(), size_t(mHelp_About) + 2);
  EXPECT_TRUE(kMainMenuCommands.Contains(mFile_OpenFolder));
}

struct TShortcutCase {
  const char* Name;
  const char* Text;
  QKeyCombination Key;  // QKeyCombination() for none
};

void PrintTo(const TShortcutCase& c, std::ostream* os) {
  *os << c.Name;
}

class ShortcutTextTest : public ::testing::TestWithParam<TShortcutCase> {};

TEST_P(ShortcutTextTest, Converts) {
  const QKeySequence seq = ShortcutFromText(GetParam().Text);
  if (GetParam().Key == QKeyCombination())
    EXPECT_TRUE(seq.isEmpty()) << seq.toString().toStdString();
  else
    EXPECT_EQ(seq, QKeySequence(GetParam().Key));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ShortcutTextTest,
    ::testing::Values(TShortcutCase{"CtrlLetter", "Ctrl+O", Qt::CTRL | Qt::Key_O},
                      TShortcutCase{"FunctionKey", "F1", QKeyCombination(Qt::Key_F1)},
                      TShortcutCase{"Blanks", "  Shift+Del ", Qt::SHIFT | Qt::Key_Delete},
                      TShortcutCase{"Empty", "", QKeyCombination()},
                      TShortcutCase{"UnknownKey", "Ctrl+Nowhere", QKeyCombination()},
                      TShortcutCase{"TwoKeys", "Ctrl+K, Ctrl+L", QKeyCombination()},
                      TShortcutCase{"ModifierAlone", "Ctrl", QKeyCombination()},
                      TShortcutCase{"Garbage", "+++", QKeyCombination()}),
    [](const auto& info) { return std::string(info.param.Name); });

}  // namespace
}  // namespace vexo

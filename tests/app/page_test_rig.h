#pragma once
// The player page in a main window as the program builds it, on the test
// desktop: sound goes to its null sink, settings to its private home.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QMainWindow>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <memory>
#include <ostream>

#include "app/browser/shell_grid.h"
#include "app/common/language_list.h"
#include "app/common/menu_system.h"
#include "app/player/av_panel.h"
#include "app/settings/options.h"
#include "app/shell/command_table.h"
#include "app/shell/player_page.h"
#include "app/shell/status_panels.h"
#include "engine/media/av_types.h"
#include "platform/platform_sound_system.h"
#include "platform/video_system.h"
#include "tests/support/desktop_app.h"
#include "tests/support/test_media.h"

// Readable texts in the tests' failure messages.
inline void PrintTo(const QString& text, std::ostream* out) {
  *out << '"' << text.toStdString() << '"';
}

namespace vexo::test {

// makeFolders fills the private home once the desktop is up.
class TPageDesktop : public TDesktopApp {
 public:
  TPageDesktop(const char* programName, std::function<void(TPageDesktop&)> makeFolders)
      : TDesktopApp(programName, {.Sound = true}, true), FMakeFolders(std::move(makeFolders)) {}
  void SetUp() override {
    TDesktopApp::SetUp();
    if (!Ready()) return;
    LResList.LoadFile(VEXO_SOURCE_DIR "/resources/language/English.lrf");
    if (FMakeFolders) FMakeFolders(*this);
  }
  QString HomePath() const { return QString::fromStdString(Desktop->HomeDir()); }
  // A generated test medium copied under the home folder.
  void Copy(const char* name, const QString& to) const {
    QFile::copy(QString::fromStdString(MediaPath(name)), to);
  }

 private:
  std::function<void(TPageDesktop&)> FMakeFolders;
};

// Builds TPage in a main window with the program's menus, on options kept in
// the private settings file, and drives its browser.
template <typename TPage>
class TPageRig {
 public:
  void Build(const std::function<void(TOptions&)>& adjust = {}) {
    Options = std::make_unique<TOptions>();
    Options->LoadSave(false);
    if (adjust) adjust(*Options);
    Options->ApplyToEngine();
    Window = std::make_unique<QMainWindow>();
    Menus = new TMenuSystem(Window.get(), PlayerCommandTable(), CommandImages());
    Menus->BuildMainMenu(kMainMenuCommands);
    Menus->BuildToolBar(kToolBarCommands);
    Menus->BuildPopupMenu(kBrowserPopupCommands);
    Menus->BuildPopupMenu(kVideoPopupCommands);
    Status = std::make_unique<TStatusPanels>(Window->statusBar());
    Page = new TPage(*Options, Window.get());
    Window->setCentralWidget(Page);
    Restored = false;
    QObject::connect(Page, &TPlayerPage::BrowserRestored, [this] { Restored = true; });
    QObject::connect(Page, &TPlayerPage::SelectionHandled, [this] { ++Handled; });
    Page->Init(
        Menus, Status.get(), [this] { ++TitleChanges; }, Window.get());
    Window->resize(1000, 640);
    Window->show();
    Window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
    ASSERT_TRUE(QTest::qWaitFor([this] { return Restored; }, 10000));
    Page->AfterShow();
  }
  // The page as most tests want it: plain drawing, no playlist dialog,
  // files in browser order, the tree kept open.
  void BuildStandard(const TPageDesktop& desktop) {
    ASSERT_TRUE(desktop.Ready());
    LoadMediaLib();
    Build([](TOptions& options) {
      options.GetOption(oAVVideoMode).SetInt(vmRaster);
      options.GetOption(oPlayShowPLDlg).SetBool(false);
      options.GetOption(oPlayOrder).SetInt(2);
      options.GetOption(oPlayExpandTree).SetBool(true);
    });
  }
  void Destroy() {
    if (!Window) return;
    Page->BeforeClose();
    Page->SaveLayout();
    Options->LoadSave(true);
    Window.reset();
    Status.reset();
    Options.reset();
  }

  TAVPlayer& Player() { return *Page->VideoPanel()->Player(); }
  TShellGrid& Grid() { return *Page->Grid(); }
  bool Enabled(int row) {
    TMSAction* action = Menus->FindAction(row);
    return action && action->isEnabled();
  }
  void Execute(int row) { Menus->ExecuteAction(Menus->FindAction(row)); }

  // Finds the path in the browser, selects it and waits until the page has
  // handled the selection.
  TShellNode* Select(const QString& path) { return Select(QFile::encodeName(path)); }
  // The same for a path as the file system's bytes.
  TShellNode* Select(const QByteArray& path) {
    TShellNode* found = Locate(path);
    if (!found) return nullptr;
    // The position of an earlier run may have selected it already.
    if (Grid().SelectedNode() == found && Grid().SelectedCount() == 1) return found;
    const int before = Handled;
    Grid().SelectNode(found);
    EXPECT_TRUE(QTest::qWaitFor([&] { return Handled > before && !Page->SelectionPending(); }));
    return found;
  }
  // Finds the path in the browser, opening the folders on the way.
  TShellNode* Locate(const QString& path) { return Locate(QFile::encodeName(path)); }
  TShellNode* Locate(const QByteArray& path) {
    TShellNode* found = nullptr;
    bool done = false;
    Grid().LocatePath(path, [&](TShellNode* node) {
      found = node;
      done = true;
    });
    EXPECT_TRUE(QTest::qWaitFor([&] { return done; }, 10000)) << path.toStdString();
    return found;
  }
  void Expand(TShellNode* node) {
    bool done = false;
    Grid().ExpandNode(node, [&](bool) { done = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] { return done; }, 10000));
  }
  QString SelectedFile() {
    const TShellNode* node = Grid().SelectedNode();
    return node ? QString::fromLocal8Bit(node->Path) : QString();
  }
  QString OpenFile() { return QString::fromStdString(Player().CurrentFilePath()); }

  std::unique_ptr<TOptions> Options;
  std::unique_ptr<QMainWindow> Window;
  std::unique_ptr<TStatusPanels> Status;
  TMenuSystem* Menus = nullptr;
  TPage* Page = nullptr;
  bool Restored = false;
  int Handled = 0;
  int TitleChanges = 0;
};

}  // namespace vexo::test

#include "tools/vexo-play/page_demo.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "app/browser/shell_grid.h"
#include "app/common/menu_system.h"
#include "app/player/av_panel.h"
#include "app/settings/options.h"
#include "app/shell/command_table.h"
#include "app/shell/player_page.h"
#include "app/shell/status_panels.h"

namespace vexo::play {

namespace {

void Print(const QString& line) {
  std::printf("%s\n", qPrintable(line));
  std::fflush(stdout);
}

// Opens the folder, then with --play starts its first file.
void OpenFolder(TPlayerPage& page, const TPlayOptions& options) {
  TShellGrid* grid = page.Grid();
  // The grid finds folders by their absolute path; a user may name one relative to here.
  const QByteArray folder = QFile::encodeName(
      QFileInfo(QString::fromLocal8Bit(options.PageArg.c_str())).absoluteFilePath());
  grid->LocatePath(folder, [&page, grid, options](TShellNode* node) {
    if (!node) return Print("page-not-found");
    grid->SelectNode(node);
    grid->ExpandNode(node, [&page, grid, node, options](bool) {
      Print("page " + grid->NodeDisplayPath(node));
      if (!options.Play) return;
      TShellNode* first = node->FirstChild();
      while (first && first->IsFolder()) first = first->NextSibling();
      if (!first) return;
      grid->SelectNode(first);
      QObject::connect(
          &page, &TPlayerPage::SelectionHandled, &page,
          [&page] {
            TAVPlayer* player = page.VideoPanel()->Player();
            if (!player->IsOpen() || player->State() != psStopped) return;
            player->SetState(psPlaying);
            Print("playing " + QString::fromStdString(player->CurrentFilePath()));
          },
          Qt::SingleShotConnection);
    });
  });
}

}  // namespace

int RunPageDemo(const TPlayOptions& options) {
  TOptions store;
  store.LoadSave(false);
  store.ApplyToEngine();
  // Declared before the window: the page it holds writes to the panels to its end.
  std::unique_ptr<TStatusPanels> status;
  QMainWindow window;
  window.setWindowTitle(store.ProductTitle());
  window.resize(1000, 640);
  auto* menus = new TMenuSystem(&window, PlayerCommandTable(), CommandImages());
  menus->BuildMainMenu(kMainMenuCommands);
  menus->BuildToolBar(kToolBarCommands);
  menus->BuildPopupMenu(kBrowserPopupCommands);
  menus->BuildPopupMenu(kVideoPopupCommands);
  status = std::make_unique<TStatusPanels>(window.statusBar());
  auto* page = new TPlayerPage(store, &window);
  window.setCentralWidget(page);
  // The position of the last run may be restored before Init returns.
  QObject::connect(
      page, &TPlayerPage::BrowserRestored, page, [page, options] { OpenFolder(*page, options); },
      Qt::SingleShotConnection);
  page->Init(
      menus, status.get(),
      [&window, page, &store] {
        const QString list = page->PlayListTitle();
        window.setWindowTitle(store.ProductTitle() + (list.isEmpty() ? "" : " - " + list));
      },
      &window);
  // The page runs its own commands; the rest are only reported.
  menus->OnExecuteCommand = [menus](TMSAction& action, bool& handled) {
    Print(QString("command %1").arg(menus->Table().Rows[action.Index()].Name));
    handled = true;
  };
  menus->SetCommandHandler(mFile_Exit, [&window](TMSAction&) { window.close(); });
  QObject::connect(qApp, &QApplication::aboutToQuit, page, [page, &store] {
    page->BeforeClose();
    page->SaveLayout();
    if (!store.Portable) store.LoadSave(true);
  });
  // A skin chosen on the command line is already on.
  page->SetSkinActive(!qApp->styleSheet().isEmpty());
  window.show();
  page->AfterShow();
  if (!options.Grab.empty()) {
    const QString file = QString::fromStdString(options.Grab);
    QTimer::singleShot(options.Seconds ? int(*options.Seconds * 1000) : 3000, &window,
                       [&window, file] {
                         const QPixmap shot = window.screen()->grabWindow(window.winId());
                         const bool saved = shot.save(file, "PNG");
                         Print(QString(saved ? "grab %1" : "grab-failed %1").arg(file));
                         window.close();
                       });
  }
  return QApplication::exec();
}

}  // namespace vexo::play

#include "tools/vexo-play/menu_demo.h"

#include <QApplication>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "app/common/menu_system.h"
#include "app/shell/command_table.h"

namespace vexo::play {

namespace {

QMenu* SubMenuOf(const QWidget* menu, int row) {
  for (QAction* item : menu->actions())
    if (item->data().toInt() == row && item->menu<QMenu*>()) return item->menu<QMenu*>();
  return nullptr;
}

QPixmap GrabArea(const QWidget& window, const QRect& area) {
  return window.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
}

// Two pictures one above the other: the window as it stands, then with the
// File menu and its recent list open.
void GrabWindowAndMenus(QMainWindow& window, const QString& file) {
  const QPixmap plain = GrabArea(window, window.frameGeometry());
  QMenu* fileMenu = SubMenuOf(window.menuBar(), mFile);
  window.menuBar()->setActiveAction(fileMenu->menuAction());
  QTimer::singleShot(300, &window, [&window, fileMenu, plain, file] {
    QMenu* recent = SubMenuOf(fileMenu, mFile_OpenRecent);
    fileMenu->setActiveAction(recent->menuAction());
    recent->popup(fileMenu->mapToGlobal(fileMenu->actionGeometry(recent->menuAction()).topRight()));
    QTimer::singleShot(500, &window, [&window, fileMenu, recent, plain, file] {
      recent->setActiveAction(recent->actions().value(0));
      QApplication::processEvents();
      const QRect area = window.frameGeometry()
                             .united(fileMenu->geometry())
                             .united(recent->geometry().adjusted(0, 0, 8, 8));
      const QPixmap open = GrabArea(window, area);
      QPixmap both(std::max(plain.width(), open.width()), plain.height() + 8 + open.height());
      both.fill(Qt::darkGray);
      QPainter painter(&both);
      painter.drawPixmap(0, 0, plain);
      painter.drawPixmap(0, plain.height() + 8, open);
      painter.end();
      const bool saved = both.save(file, "PNG");
      std::printf("%s %s\n", saved ? "grab" : "grab-failed", qPrintable(file));
      std::fflush(stdout);
      QApplication::exit(saved ? 0 : 1);
    });
  });
}

}  // namespace

int RunMenuDemo(const TPlayOptions& options) {
  QMainWindow window;
  window.setWindowTitle(QStringLiteral("vexo-play menus"));
  auto* menus = new TMenuSystem(&window, PlayerCommandTable(), CommandImages());
  menus->OnExecuteCommand = [menus](TMSAction& action, bool& handled) {
    const char* name = menus->Table().Rows[action.Index()].Name;
    if (action.IsListEntry())
      std::printf("command %s %s\n", name, qPrintable(action.Caption()));
    else
      std::printf("command %s\n", name);
    std::fflush(stdout);
    handled = true;
  };
  menus->BuildMainMenu(kMainMenuCommands);
  menus->BuildToolBar(kToolBarCommands);
  menus->BuildPopupMenu(kBrowserPopupCommands);
  menus->BuildPopupMenu(kVideoPopupCommands);
  menus->FillList(
      mTools_Skins,
      {QStringLiteral("None"), QString(), QStringLiteral("BlueIce"), QStringLiteral("WMP11")}, 2);
  menus->FillList(mTools_SkinsAdtnl, {QStringLiteral("Desert"), QStringLiteral("Retro")});
  menus->FillList(mFile_OpenRecent, {QStringLiteral("/home/user/Videos/holiday.asx"),
                                     QStringLiteral("/home/user/Videos/R&B night.asx")});
  menus->EnableCommands({}, {mvSaveAs});
  window.statusBar();
  window.setContextMenuPolicy(Qt::CustomContextMenu);
  QObject::connect(&window, &QWidget::customContextMenuRequested, &window,
                   [&window, menus](const QPoint& at) {
                     menus->GetPopupMenu(kVideoPopup)->popup(window.mapToGlobal(at));
                   });
  window.resize(720, 360);
  window.show();
  if (!options.Grab.empty()) {
    const QString file = QString::fromStdString(options.Grab);
    QTimer::singleShot(300, &window, [&window, file] { GrabWindowAndMenus(window, file); });
  }
  return QApplication::exec();
}

}  // namespace vexo::play

#include "app/shell/main_form.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QLocale>
#include <QMenuBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QUrl>

#include "app/common/help_pages.h"
#include "app/common/ini_file.h"
#include "app/common/jpeg_rotation.h"
#include "app/common/language_list.h"
#include "app/common/menu_system.h"
#include "app/common/message_boxes.h"
#include "app/common/ms_action.h"
#include "app/common/program_environment.h"
#include "app/common/window_placement.h"
#include "app/settings/options.h"
#include "app/shell/about_dialog.h"
#include "app/shell/command_table.h"
#include "app/shell/page_keys.h"
#include "app/shell/player_page.h"
#include "app/shell/skin_manager.h"
#include "app/shell/status_panels.h"
#include "engine/media/media_lib.h"
#include "platform/keep_awake.h"
#include "platform/process_memory.h"

namespace vexo {
namespace {

constexpr int kStatusPanelWidths[] = {170, 170, 90};
constexpr int kMemoryPanel = 0;
constexpr int kHintPanel = 3;
constexpr int kMemoryTimerMs = 2000;

// The skins the menus offer when their sheets are present, in menu order:
// the first list under the common word for none, the second on its own.
constexpr const char* kMainSkins[] = {"BlueIce", "GrayPlastic", "MacMetal", "Office12Style",
                                      "WMP11"};
constexpr const char* kMoreSkins[] = {"BlueGlass", "BluePlastic", "DarkGlass", "Desert",
                                      "Golden",    "HeroesStyle", "MacOS2",    "NextAlpha",
                                      "Retro",     "TheFrog",     "Winter2003"};

template <size_t N>
QStringList PresentSkins(const char* const (&names)[N], const QStringList& present) {
  QStringList list;
  for (const char* name : names)
    if (present.contains(QLatin1String(name), Qt::CaseInsensitive)) list << QLatin1String(name);
  return list;
}

int PositionOf(const QStringList& list, const QString& name) {
  for (int i = 0; i < list.size(); ++i)
    if (!list[i].isEmpty() && list[i].compare(name, Qt::CaseInsensitive) == 0) return i;
  return -1;
}

}  // namespace

TPLMainForm::TPLMainForm(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("TPLMainForm"));
  setMinimumSize(kMinWidth, kMinHeight);
  FTimerMem.setInterval(kMemoryTimerMs);
  connect(&FTimerMem, &QTimer::timeout, this, &TPLMainForm::ShowMemory);
  FSkinManager = new TSkinManager(this);
  if (!LResList.CheckLoaded()) return;
  if (!MediaLibLoad()) {
    ShowError(QString::fromStdString(MediaLibFailureText()));
    return;
  }
  MediaLibInit();
  FOptions = std::make_unique<TOptions>();
  FOptions->LoadSave(false);
  FOptions->ApplyToEngine();
  // A turn of a photo that an earlier run did not finish leaves a hidden file.
  RemoveRotationLeftovers();
}

TPLMainForm::~TPLMainForm() {
  qApp->removeEventFilter(this);
  if (!FOptions) return;
  if (FKeepAwake) FKeepAwake->Stop();
  SaveSettings();
  // The page holds the options and the status panels.
  delete FPage;
  FPage = nullptr;
  FStatusPanels.reset();
  FOptions.reset();
}

void TPLMainForm::SaveSettings() {
  if (FOptions->Portable) return;
  std::unique_ptr<TSIniFile> store = FOptions->CreateStore();
  SaveWindowPlacement(this, *store, kPlacementSection);
  // The store reports a save that cannot reach the disk itself.
  FOptions->LoadSave(true, store.get());
}

void TPLMainForm::setVisible(bool visible) {
  const bool first = visible && Created() && !FMenuSystem;
  if (first) FormShow();
  QMainWindow::setVisible(visible);
  if (first) AfterFirstShow();
}

void TPLMainForm::FormShow() {
  setWindowTitle(FOptions->ProductTitle());
  QApplication::setApplicationDisplayName(QString());
  QApplication::setApplicationName(QStringLiteral("Vexo Player"));
  const QSize share = PercentOfWorkArea(80);
  resize(std::max(kDefaultMinWidth, share.width()), std::max(kDefaultMinHeight, share.height()));
  CenterInWorkArea(this);
  FSkinManager->SetSkinFolder(ResourceDirSlash + QStringLiteral("Skins"));

  FMenuSystem = new TMenuSystem(this, PlayerCommandTable(), CommandImages());
  RegisterCommandHandlers();
  FMenuSystem->BuildMainMenu(kMainMenuCommands);
  FMenuSystem->BuildToolBar(kToolBarCommands);
  FMenuSystem->BuildPopupMenu(kBrowserPopupCommands);
  FMenuSystem->BuildPopupMenu(kVideoPopupCommands);
  if (FOptions->Portable) FMenuSystem->ShowCommands({}, {mFile_CopyPlayer});
  BuildSkinMenus();
  RefillRecent();

  FStatusPanels = std::make_unique<TStatusPanels>(statusBar());
  statusBar()->setFixedHeight(menuBar()->sizeHint().height() + 4);
  for (int i = 0; i < int(std::size(kStatusPanelWidths)); ++i)
    FStatusPanels->SetWidth(i, kStatusPanelWidths[i]);

  if (!FOptions->Portable) {
    const std::unique_ptr<TSIniFile> store = FOptions->CreateStore();
    FRestoreMaximized = LoadWindowPlacement(this, *store, kPlacementSection);
  }
  FPage = new TPlayerPage(*FOptions, this);
  setCentralWidget(FPage);
  FPage->Init(
      FMenuSystem, FStatusPanels.get(), [this] { TitleChanged(); }, this);
  // Keys reach the page through this window from now on.
  FPage->SetKeysFromHost(true);
  qApp->installEventFilter(this);
  FKeepAwake = new TKeepAwake(this);
  FKeepAwake->Start(QStringLiteral("Playing media"));
}

void TPLMainForm::AfterFirstShow() {
  FPage->AfterShow();
  if (FRestoreMaximized) showMaximized();
  ApplySkin();
}

// ---- skins ----

void TPLMainForm::BuildSkinMenus() {
  const QStringList present = FSkinManager->SkinNames();
  const QString chosen = FOptions->SkinName();
  const QStringList main =
      QStringList{LResList.GetCommon(cNone), QString()} + PresentSkins(kMainSkins, present);
  FMenuSystem->FillList(mTools_Skins, main, chosen.isEmpty() ? 0 : PositionOf(main, chosen));
  const QStringList more = PresentSkins(kMoreSkins, present);
  FMenuSystem->FillList(mTools_SkinsAdtnl, more, PositionOf(more, chosen));
}

void TPLMainForm::ApplySkin() {
  const QString name = FOptions->SkinName();
  if (!name.isEmpty() && name.compare(LResList.GetCommon(cNone), Qt::CaseInsensitive) != 0) {
    FSkinManager->SetSkinName(name);
    FSkinManager->SetActive(true);
  } else {
    FSkinManager->SetActive(false);
  }
  // A sheet that could not be read leaves skins off.
  FPage->SetSkinActive(FSkinManager->Active());
  // The check marks of both lists follow the choice.
  BuildSkinMenus();
}

void TPLMainForm::PostApplySkin() {
  QMetaObject::invokeMethod(this, &TPLMainForm::ApplySkin, Qt::QueuedConnection);
}

// ---- recent files, memory, title ----

void TPLMainForm::RefillRecent() {
  FMenuSystem->FillList(mFile_OpenRecent, FOptions->Recent());
}

void TPLMainForm::ShowMemory() {
  if (!FStatusPanels) return;
  const QString kiloBytes = QLocale().toString(double(ProcessMemory()) / 1024.0, 'f', 0);
  FStatusPanels->SetText(kMemoryPanel, LResList.GetText("Player", 2101).replace("%s", kiloBytes));
}

void TPLMainForm::TitleChanged() {
  const QString list = FPage->PlayListTitle();
  setWindowTitle(FOptions->ProductTitle() + (list.isEmpty() ? QString() : " - " + list));
}

void TPLMainForm::BringToFront() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}

// ---- commands ----

void TPLMainForm::RegisterCommandHandlers() {
  FMenuSystem->SetCommandHandler(mFile_Exit, [this](TMSAction&) { close(); });
  FMenuSystem->SetCommandHandler(mTools_Skins, [this](TMSAction& entry) { ChooseSkin(entry); });
  FMenuSystem->SetCommandHandler(mTools_SkinsAdtnl,
                                 [this](TMSAction& entry) { ChooseSkin(entry); });
  FMenuSystem->SetCommandHandler(mHelp_Contents,
                                 [](TMSAction&) { ShowHelpContext(kHelpContents); });
  FMenuSystem->SetCommandHandler(mHelp_Online, [](TMSAction&) {
    QDesktopServices::openUrl(QUrl(LResList.GetText("AboutDialog", 7)));
  });
  FMenuSystem->SetCommandHandler(mHelp_About, [this](TMSAction&) { ShowAboutBox(this); });
}

void TPLMainForm::ChooseSkin(const TMSAction& entry) {
  if (!entry.IsListEntry()) return;
  // The first list starts with the common word for no skin.
  const bool none = entry.Index() == mTools_Skins && entry.SubIndex() == 0;
  FOptions->SetSkinName(none ? QString() : entry.Caption());
  PostApplySkin();
}

// ---- events ----

bool TPLMainForm::event(QEvent* event) {
  if (event->type() == QEvent::StatusTip && FStatusPanels) {
    const QString tip = static_cast<QStatusTipEvent*>(event)->tip();
    FStatusPanels->SetText(kHintPanel, tip.isEmpty() && FPage ? FPage->StatusText() : tip);
    return true;
  }
  return QMainWindow::event(event);
}

bool TPLMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || !watched->isWidgetType() || !FPage) return false;
  // Keys seen before the focused control gets them, only for this window.
  if (static_cast<QWidget*>(watched)->window() != this || QApplication::activeModalWidget())
    return false;
  auto* keyEvent = static_cast<QKeyEvent*>(event);
  int key = keyEvent->key();
  if (!IsPageKey(key, watched)) return false;
  FPage->HandleKey(key, keyEvent->modifiers());
  return key == 0;
}

bool TPLMainForm::focusNextPrevChild(bool next) {
  // Tab stays with the focused control unless Alt is held.
  if (!(QApplication::keyboardModifiers() & Qt::AltModifier)) return true;
  return QMainWindow::focusNextPrevChild(next);
}

void TPLMainForm::moveEvent(QMoveEvent* event) {
  QMainWindow::moveEvent(event);
  if (FPage) FPage->Reposition();
}

void TPLMainForm::closeEvent(QCloseEvent* event) {
  if (FPage) {
    FPage->BeforeClose();
    FPage->SaveLayout();
  }
  QMainWindow::closeEvent(event);
}

}  // namespace vexo

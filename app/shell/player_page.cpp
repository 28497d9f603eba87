#include "app/shell/player_page.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QStorageInfo>
#include <QToolBar>
#include <QVBoxLayout>
#include <algorithm>

#include "app/browser/display_path.h"
#include "app/browser/shell_grid.h"
#include "app/browser/shell_panel.h"
#include "app/common/language_list.h"
#include "app/common/media_extensions.h"
#include "app/common/menu_system.h"
#include "app/common/message_boxes.h"
#include "app/common/ms_action.h"
#include "app/common/program_environment.h"
#include "app/player/av_panel.h"
#include "app/player/player_widget.h"
#include "app/player/sound_track_menu.h"
#include "app/player/subtitle_menu.h"
#include "app/settings/opt_dialog.h"
#include "app/settings/options.h"
#include "app/shell/command_table.h"
#include "app/shell/page_keys.h"
#include "app/shell/page_selection.h"
#include "app/shell/status_panels.h"

namespace vexo {

namespace {

constexpr int kMinimumBrowserWidth = 200;
// What a stored browser width must leave of the screen for the picture.
constexpr int kMinVideoWidth = 300;

// The modifiers the full-screen key option asks for: 0 none, 1 Shift, 2 Alt.
Qt::KeyboardModifiers FullScreenModifiers(int option) {
  switch (option) {
    case 1:
      return Qt::ShiftModifier;
    case 2:
      return Qt::AltModifier;
    default:
      return Qt::NoModifier;
  }
}

}  // namespace

TPlayerPage::TPlayerPage(TOptions& options, QWidget* parent)
    : TBasePage(parent), FOptions(options) {
  FSelectionTimer.setSingleShot(true);
  FSelectionTimer.setInterval(0);
  connect(&FSelectionTimer, &QTimer::timeout, this, &TPlayerPage::RunPendingSelection);
}

TPlayerPage::~TPlayerPage() {
  qApp->removeEventFilter(this);
  if (MenuSystem())
    for (int row : FCommandRows) MenuSystem()->SetCommandHandler(row, {});
  // The grid's events point back into this page.
  if (FGrid) {
    FGrid->Model().OnFilterNode = nullptr;
    FGrid->Model().OnBeginEnum = nullptr;
    FGrid->Model().OnEnumItem = nullptr;
    FGrid->Model().OnEndEnum = nullptr;
    FGrid->Model().OnAddFile = nullptr;
    FGrid->Model().OnCheckAbort = nullptr;
    FGrid->Model().OnReadFailed = nullptr;
    disconnect(FGrid, nullptr, this, nullptr);
  }
  if (!FBusyReadings.empty()) QGuiApplication::restoreOverrideCursor();
}

void TPlayerPage::Init(TMenuSystem* menuSystem, TStatusPanels* statusBar, TNotify onTitleChange,
                       QWidget* mainWindow) {
  TBasePage::Init(menuSystem, statusBar);
  OnTitleChange = std::move(onTitleChange);
  FMainWindow = mainWindow ? mainWindow : window();
  auto* layout = new QVBoxLayout(Client());
  layout->setContentsMargins(0, 0, 0, 0);
  FSplitter = new QSplitter(Qt::Horizontal, Client());
  FSplitter->setChildrenCollapsible(false);
  FSplitter->setHandleWidth(4);
  layout->addWidget(FSplitter);
  SetupBrowser();
  SetupVideo();
  if (MenuSystem()) RegisterCommandHandlers();
  qApp->installEventFilter(this);
  RestoreBrowserState();
  if (!FVideoPanel->IsOpen() && FOptions.ShowMirraPanelToday()) FVideoPanel->ShowAdPanel(FOptions);
}

void TPlayerPage::SetupBrowser() {
  FBrowserPanel = new TShellPanel(FSplitter);
  FGrid = new TShellGrid;
  FBrowserPanel->SetGrid(FGrid);
  FBrowserCtrlPanel = FBrowserPanel->InfoPanel();
  connect(FBrowserPanel, &TShellPanel::PlayClicked, this,
          [this] { CreatePlayList(FOptions.ShowPlayListDialog(), true); });
  FGrid->Model().SetSortByDate(FOptions.SortByDate());
  FGrid->Model().ReadPhotoDates = FGrid->Model().SortByDate();
  if (MenuSystem()) FGrid->SetPopupMenu(MenuSystem()->GetPopupMenu(kBrowserPopup));
  SetupGridEvents();
  connect(FGrid, &TShellGrid::SelectionChanged, this, &TPlayerPage::GridSelectionChanged);
  FSplitter->addWidget(FBrowserPanel);
  FBrowserPanel->setMinimumWidth(kMinimumBrowserWidth);
}

void TPlayerPage::SetupVideo() {
  FRightPanel = new QFrame(FSplitter);
  FRightPanel->setFrameShape(QFrame::Box);
  FRightPanel->setLineWidth(1);
  auto* layout = new QVBoxLayout(FRightPanel);
  layout->setContentsMargins(1, 1, 1, 1);
  FVideoPanel = new TAVPanel(FRightPanel);
  layout->addWidget(FVideoPanel);
  FSplitter->addWidget(FRightPanel);
  FSplitter->setStretchFactor(1, 1);
  int browserWidth = TShellPanel::kWidth;
  if (TIniPar* saved = FOptions.GetDynamic(dGridWidth);
      saved && saved->GetInt() >= kMinimumBrowserWidth)
    browserWidth = saved->GetInt();
  // A stored width wider than the screen, or than the window, would leave
  // the picture no room.
  const QScreen* screen = this->screen();
  int room = screen ? screen->availableGeometry().width() : WorkArea.width();
  if (FMainWindow && FMainWindow->width() > 0) room = std::min(room, FMainWindow->width());
  browserWidth = std::min(browserWidth, std::max(kMinimumBrowserWidth, room - kMinVideoWidth));
  FSplitter->setSizes({browserWidth, std::max(1, width() - browserWidth)});

  FVideoPanel->OnVideoMode = [this](uint8_t mode) { ShowVideoMode(mode); };
  FVideoPanel->OnFileLoaded = [this](bool hasFile) {
    if (!MenuSystem()) return;
    MenuSystem()->SetEnabled(mvSaveAs, hasFile);
    FillSoundTrackMenu(*MenuSystem(), *FVideoPanel->Player());
  };
  FVideoPanel->Init([this] { FullScreenChanged(); }, [this] { SeekDone(); },
                    [this](int32_t index) { OpenProgress(index); });
  TAVPlayer& player = *FVideoPanel->Player();
  if (MenuSystem()) {
    QMenu* popup = MenuSystem()->GetPopupMenu(kVideoPopup);
    FVideoPanel->SetPopupMenu(popup);
    // The file on show may have changed within its timeline since.
    if (popup) connect(popup, &QMenu::aboutToShow, this, &TPlayerPage::UpdateSubtitleMenu);
    // The file on show may have changed since the list was filled.
    FVideoPanel->PlayerWidget()->OnPopupOpening = [this] {
      if (MenuSystem()) FillSoundTrackMenu(*MenuSystem(), *FVideoPanel->Player());
    };
  }
  auto panelStateChange = player.OnStateChange;
  player.OnStateChange = [this, panelStateChange](uint8_t from, uint8_t to) {
    if (panelStateChange) panelStateChange(from, to);
    PlayerStateChanged();
    emit PlayerChanged();
  };
  auto panelFileChange = player.OnFileChange;
  player.OnFileChange = [this, panelFileChange] {
    if (panelFileChange) panelFileChange();
    emit PlayerChanged();
  };
  FVideoPanel->ReportVideoMode();
}

uint8_t TPlayerPage::VideoMode() const {
  return FOptions.VideoMode();
}

// ---- hooks ----

void TPlayerPage::AfterShow() {
  // A restored position has already been handled (or will be, when it comes).
  if (!FBrowserRestored && !FGrid->Restoring()) SelectionHandler(FGrid->SelectedNode());
  FocusDefault();
}

void TPlayerPage::BeforeClose() {
  FSelectionTimer.stop();
  FSelectionWaits = false;
  FVideoPanel->Close();
  SaveBrowserState();
}

void TPlayerPage::SetSkinActive(bool on) {
  FSkinActive = on;
  FVideoPanel->SetSkinActive(on);
  FBrowserPanel->SetSkinActive(on);
  FRightPanel->setFrameShape(on ? QFrame::NoFrame : QFrame::Box);
}

void TPlayerPage::FocusDefault() {
  FGrid->setFocus();
}

void TPlayerPage::Reposition() {
  FVideoPanel->Reposition();
}

void TPlayerPage::SaveLayout() {
  if (TIniPar* width = FOptions.GetDynamic(dGridWidth)) width->SetInt(FBrowserPanel->width());
}

// ---- selection ----

void TPlayerPage::GridSelectionChanged() {
  if (FGrid->Restoring()) return;
  // Many changes in a row (an arrow key held down) end in one open of the
  // last; an open that is running finishes first.
  FSelectionWaits = true;
  if (FOpensRunning == 0) FSelectionTimer.start();
}

void TPlayerPage::RunPendingSelection() {
  if (!FSelectionWaits || FOpensRunning > 0) return;
  FSelectionWaits = false;
  SelectionHandler(FGrid->SelectedNode());
}

void TPlayerPage::OpenSelection(TShellNode* node) {
  ++FOpensRunning;
  FMostOpensAtOnce = std::max(FMostOpensAtOnce, FOpensRunning);
  if (!node || node->IsFolder()) {
    FVideoPanel->Close();
  } else {
    ++FOpenCount;
    FVideoPanel->PlayNativeFile(FGrid->NodeNativePath(node).toStdString(), VideoMode());
  }
  --FOpensRunning;
}

void TPlayerPage::SelectionHandler(TShellNode* node) {
  if (FGrid->Restoring()) return;
  OpenSelection(node);
  FBrowserCtrlPanel->SetPlayEnabled(SelCanMakePlayList(FGrid->SelectedNodes()));
  ShowNodeInfo(node);
  UpdateSelectionCommands(node);
  if (node) CurrentList().Clear();
  FireTitleChange();
  emit SelectionHandled();
  // A selection that changed while the file opened is handled now.
  if (FSelectionWaits) FSelectionTimer.start();
}

void TPlayerPage::ShowNodeInfo(TShellNode* node) {
  QString type, size;
  QString created = LResList.GetCommon(cCreated) + ":";
  if (node) {
    FGrid->Model().ExaminePhoto(node);
    type = FGrid->TypeName(node);
    size = FGrid->SizeText(node);
    if (node->Created.isValid())
      created += " " + FGrid->CreatedText(node) + "    " + LResList.GetCommon(cModified) + ": " +
                 FGrid->DateText(node);
  }
  TShlNodeDate date;
  if (node) {
    date.SortDate = node->SortDate;
    date.Tag = node->Tag;
  }
  FBrowserCtrlPanel->ShowInfo(date, FVideoPanel->GetMediaInfo());
  SetStatusPanel(1, type);
  SetStatusPanel(2, size);
  SetStatusText(created);
}

void TPlayerPage::UpdateSelectionCommands(TShellNode*) {
  const TMediaInfo info = FVideoPanel->GetMediaInfo();
  const TCommandSet enabled =
      SelectionCommands(FGrid->SelectedNodes(), *FGrid, FVideoPanel->IsOpen(), info.TotalFrames);
  SetCommandStates(enabled, ManagedCommands() - enabled);
  // A photo that would lose quality by turning says so on the commands.
  if (MenuSystem()) {
    const QString hint = RotateRefusalHint(FGrid->SelectedNodes(), info.TotalFrames);
    for (int row : {mEdit_RotateCW, mEdit_RotateCCW}) MenuSystem()->SetHint(row, hint);
  }
}

void TPlayerPage::PlayerStateChanged() {
  // Full screen is offered exactly while something is open.
  TCommandSet enabled = EnabledCommands(), disabled = DisabledCommands();
  if (FVideoPanel->IsOpen()) {
    enabled.Include(mvFullScreen);
    disabled.Exclude(mvFullScreen);
  } else {
    enabled.Exclude(mvFullScreen);
    disabled.Include(mvFullScreen);
  }
  SetCommandStates(enabled, disabled);
}

void TPlayerPage::FireTitleChange() {
  if (OnTitleChange) OnTitleChange();
}

QString TPlayerPage::PlayListTitle() const {
  auto& list = const_cast<TPlayerPage*>(this)->CurrentList();
  return list.Count() >= 2 ? QString::fromStdString(list.Name()) : QString();
}

QString TPlayerPage::PlayListFileName() const {
  auto& list = const_cast<TPlayerPage*>(this)->CurrentList();
  return list.Count() >= 2 ? QString::fromStdString(list.FileName()) : QString();
}

// ---- commands ----

void TPlayerPage::RegisterCommandHandlers() {
  // A playlist is made from the browser, which full screen hides.
  auto fromSelection = [this](bool showDialog) {
    if (!FVideoPanel->IsFullScreen() && SelCanMakePlayList(FGrid->SelectedNodes()))
      CreatePlayList(showDialog);
  };
  const std::pair<int, TMenuSystem::TCommandHandler> handlers[] = {
      {mFile_CreatePL, [=, this](TMSAction&) { fromSelection(FOptions.ShowPlayListDialog()); }},
      {mFile_OptionsPL, [=](TMSAction&) { fromSelection(true); }},
      {mFile_OpenPL, [this](TMSAction&) { OpenPlayListFile({}); }},
      {mFile_SavePL, [this](TMSAction&) { SavePlayListFile(); }},
      {mFile_Open, [this](TMSAction&) { OpenMediaFiles(); }},
      {mFile_OpenFolder, [this](TMSAction&) { OpenMediaFolder(); }},
      {mFile_CopyPlayer, [this](TMSAction&) { CopyPlayerToMedia(); }},
      // An entry's caption is the file's path.
      {mFile_OpenRecent,
       [this](TMSAction& action) {
         if (action.IsListEntry()) OpenRecent(action.Caption());
       }},
      {mEdit_Cut, [this](TMSAction&) { FileOperation(foCut); }},
      {mEdit_RotateCW, [this](TMSAction&) { RotatePicture(true); }},
      {mEdit_RotateCCW, [this](TMSAction&) { RotatePicture(false); }},
      {mEdit_CopyTo, [this](TMSAction&) { FileOperation(foCopyTo); }},
      {mEdit_Delete, [this](TMSAction&) { FileOperation(foDeleteToTrash); }},
      {mTools_Options, [this](TMSAction&) { ShowOptions(opGeneral); }},
      {mtViewSett, [this](TMSAction&) { ShowOptions(opBrowser); }},
      {mvFullScreen, [this](TMSAction&) { FVideoPanel->ToggleFullScreen(); }},
      {mvSaveAs, [this](TMSAction&) { FileOperation(foSaveAs); }},
      // Entry 0 is "Off", then the tracks in order.
      {mvSubtitles,
       [this](TMSAction& action) {
         if (!action.IsListEntry()) return;
         FVideoPanel->Player()->SetSubtitleChoice(action.SubIndex() - 1);
         UpdateSubtitleMenu();
       }},
      {mvSoundTrack,
       [this](TMSAction& action) {
         if (action.IsListEntry()) ChooseSoundTrack(*FVideoPanel->Player(), action.SubIndex());
       }},
  };
  for (const auto& [row, handler] : handlers) {
    MenuSystem()->SetCommandHandler(row, handler);
    FCommandRows.push_back(row);
  }
}

void TPlayerPage::UpdateSubtitleMenu() {
  if (!MenuSystem()) return;
  int checked = -1;
  const QStringList items = SubtitleMenuItems(FVideoPanel->Player()->Subtitles(), checked);
  MenuSystem()->FillList(mvSubtitles, items, checked);
}

void TPlayerPage::ShowOptions(int firstPage) {
  bool rebuild = false;
  if (!ShowOptionsDialog(FOptions, firstPage, rebuild, this)) return;
  QCoreApplication::processEvents();
  FVideoPanel->Close();
  // New settings take effect at once.
  auto replay = [this] {
    if (CurrentList().Count() == 0)
      SelectionHandler(FGrid->SelectedNode());
    else
      FVideoPanel->PlayList(&CurrentList(), VideoMode());
  };
  if (!rebuild) return replay();
  FGrid->Model().SetSortByDate(FOptions.SortByDate());
  FGrid->Model().ReadPhotoDates = FGrid->Model().SortByDate();
  // The tree is read again in the background; the selection is back only
  // when that is done, and the handler ignores it until then.
  QPointer<TPlayerPage> self(this);
  FGrid->RefreshAll([self, replay] {
    if (self) replay();
  });
}

// ---- keys ----

bool TPlayerPage::FocusInBrowser() const {
  const QWidget* focus = QApplication::focusWidget();
  return focus && FBrowserPanel->isAncestorOf(focus) && !FVideoPanel->IsFullScreen();
}

void TPlayerPage::HandleKey(int& key, Qt::KeyboardModifiers shift) {
  // Whatever has the focus: the player's keys come first, so that Home in the
  // tree goes to the start of the file and Left and Right step through the
  // files; what is left goes on to the focused control.
  FVideoPanel->HandleKey(key, shift);
  if (key == 0) return;
  switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
      const Qt::KeyboardModifiers wanted = FullScreenModifiers(FOptions.FullScreenKey());
      const Qt::KeyboardModifiers held =
          shift & (Qt::ShiftModifier | Qt::AltModifier | Qt::ControlModifier);
      if (FVideoPanel->IsOpen() && held == wanted && FVideoPanel->ToggleFullScreen()) key = 0;
      break;
    }
    case Qt::Key_Left:
    case Qt::Key_Right:
      if (CurrentList().Count() == 0) FGrid->StepFile(key);
      break;
    case Qt::Key_Up:
    case Qt::Key_Down:
      if (CurrentList().Count() == 0 && FVideoPanel->IsFullScreen()) FGrid->StepFile(key);
      break;
    default:
      break;
  }
}

bool TPlayerPage::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress || !watched->isWidgetType()) return false;
  auto* target = static_cast<QWidget*>(watched);
  // Only keys meant for this page's window, not for its dialogs.
  if (target->window() != window() || QApplication::activeModalWidget()) return false;
  auto* keyEvent = static_cast<QKeyEvent*>(event);
  int key = keyEvent->key();
  if (key == Qt::Key_Delete && FocusInBrowser()) {
    // Delete follows the delete command's state; Shift skips the trash.
    const TMSAction* remove = MenuSystem() ? MenuSystem()->FindAction(mEdit_Delete) : nullptr;
    if (!remove || !remove->isEnabled()) return false;
    FileOperation(keyEvent->modifiers() & Qt::ShiftModifier ? foDeletePermanently
                                                            : foDeleteToTrash);
    return true;
  }
  if (!IsPageKey(key, watched) || FKeysFromHost) return false;
  HandleKey(key, keyEvent->modifiers());
  return key == 0;
}

// ---- full screen ----

void TPlayerPage::FullScreenChanged() {
  QWidget* frame = FMainWindow;
  auto* mainWindow = qobject_cast<QMainWindow*>(frame);
  const bool on = FVideoPanel->IsFullScreen();
  if (on) {
    FWasMaximized = frame->isMaximized();
    if (FWasMaximized) frame->showNormal();
    FSavedBounds = frame->geometry();
    if (mainWindow) {
      if (mainWindow->menuWidget()) mainWindow->menuWidget()->hide();
      for (QToolBar* bar : mainWindow->findChildren<QToolBar*>()) bar->hide();
      if (mainWindow->statusBar()) mainWindow->statusBar()->hide();
    }
    FBrowserPanel->hide();
    FRightPanel->setFrameShape(QFrame::NoFrame);
    FRightPanel->layout()->setContentsMargins(0, 0, 0, 0);
    frame->showFullScreen();
    // Without a window manager nobody else resizes the window.
    if (const QScreen* shown = frame->screen()) frame->setGeometry(shown->geometry());
  } else {
    frame->showNormal();
    frame->setGeometry(FSavedBounds);
    if (mainWindow) {
      if (mainWindow->menuWidget()) mainWindow->menuWidget()->show();
      for (QToolBar* bar : mainWindow->findChildren<QToolBar*>()) bar->show();
      if (mainWindow->statusBar()) mainWindow->statusBar()->show();
    }
    FBrowserPanel->show();
    if (!FSkinActive) {
      FRightPanel->setFrameShape(QFrame::Box);
      FRightPanel->layout()->setContentsMargins(1, 1, 1, 1);
    }
    if (FWasMaximized) frame->showMaximized();
  }
  if (MenuSystem()) MenuSystem()->SetChecked(mvFullScreen, on);
  if (!on && FGrid->SelectedNode()) FGrid->setFocus();
}

void TPlayerPage::SeekDone() {
  if (FGrid->SelectedNode())
    FGrid->setFocus();
  else
    FBrowserCtrlPanel->setFocus();
}

void TPlayerPage::ShowVideoMode(uint8_t mode) {
  SetStatusPanel(
      0, " " + LResList.GetCommon(cMode) + ": " + LResList.GetText("AVPlayerEnc", int(mode) + 1));
}

// ---- browser position ----

void TPlayerPage::RestoreBrowserState() {
  FGrid->Init();
  if (FOptions.Portable) return PortableStart();
  TShellTreeState state;
  if (TIniPar* top = FOptions.GetDynamic(dPlayTreeTop)) state.TopPath = top->GetText();
  if (TIniPar* sel = FOptions.GetDynamic(dPlayTreeSel)) state.SelectedPath = sel->GetText();
  if (TIniPar* exp = FOptions.GetDynamic(dPlayTreeExp)) state.SelectedExpanded = exp->GetBool();
  FGrid->RestoreTreeState(state, [this] {
    FBrowserRestored = true;
    SelectionHandler(FGrid->SelectedNode());
    emit BrowserRestored();
  });
}

void TPlayerPage::PortableStart() {
  // A camera card that carries the player opens on its pictures.
  const QByteArray mountPoint = QFile::encodeName(QStorageInfo(ProgramDir).rootPath());
  FGrid->FindDrive(mountPoint, [this](TShellNode* drive) {
    auto finish = [this] {
      FBrowserRestored = true;
      SelectionHandler(FGrid->SelectedNode());
      emit BrowserRestored();
    };
    if (!drive) return finish();
    FGrid->ExpandNode(drive, [this, drive, finish](bool) {
      TShellNode* dcim = nullptr;
      for (const auto& child : drive->Children)
        if (child->Text.compare("DCIM", Qt::CaseInsensitive) == 0) dcim = child.get();
      if (!dcim) {
        FGrid->SelectNode(drive);
        return finish();
      }
      FGrid->ExpandNode(dcim, [this, dcim, finish](bool) {
        TShellNode* first = dcim->FirstChild();
        FGrid->SelectNode(first ? first : dcim);
        finish();
      });
    });
  });
}

void TPlayerPage::SaveBrowserState() {
  TShellTreeState state = FGrid->GetTreeState();
  if (!FOptions.ExpandTreeAtStart()) {
    state.SelectedExpanded = false;
    QStringList texts = SplitDisplayPath(state.SelectedPath);
    if (texts.size() > 2) texts = texts.mid(0, 2);
    state.SelectedPath = JoinDisplayPath(texts);
    state.TopPath = texts.isEmpty() ? QString() : texts.front();
  }
  if (!state.TopPath.isEmpty())
    if (TIniPar* top = FOptions.GetDynamic(dPlayTreeTop)) top->SetText(state.TopPath);
  if (!state.SelectedPath.isEmpty())
    if (TIniPar* sel = FOptions.GetDynamic(dPlayTreeSel)) sel->SetText(state.SelectedPath);
  if (TIniPar* exp = FOptions.GetDynamic(dPlayTreeExp)) exp->SetBool(state.SelectedExpanded);
}

}  // namespace vexo

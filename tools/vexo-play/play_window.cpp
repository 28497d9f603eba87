#include "tools/vexo-play/play_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QFileDialog>
#include <QKeyEvent>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>

#include <QFile>
#include <QSplitter>

#include "app/browser/shell_grid.h"
#include "app/common/media_extensions.h"
#include "app/common/menu_system.h"
#include "app/player/player_error_text.h"
#include "app/shell/command_table.h"
#include "engine/media/av_log.h"
#include "engine/media/av_types.h"
#include "tools/vexo-play/playlist_dialog_run.h"
#include "tools/vexo-play/thread_cpu.h"
#include "tools/vexo-play/timed_application.h"

namespace vexo::play {

TPlayWindow::TPlayWindow(const TPlayOptions& options) : FOptions(options) {
  setWindowTitle("vexo-play");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  if (options.Panel) {
    // The panel opens with the mode of the settings.
    AVParams.VideoMode = uint8_t(options.Mode);
    FPanel = new TAVPanel(this);
    layout->addWidget(FPanel);
    FPanel->Init([this] { SwitchFullScreen(); }, [this] { setFocus(); }, {});
    FPlayer = FPanel->PlayerWidget();
    if (TTimedApplication* app = TimedApp()) app->WatchPaints(FPanel->ControlPanel());
    // The video pop-up menu of the real program.
    FMenus = new TMenuSystem(this, PlayerCommandTable(), CommandImages());
    FPopupMenu = FMenus->BuildPopupMenu(kVideoPopupCommands);
    FMenus->SetCommandHandler(mvFullScreen, [this](TMSAction&) { FPanel->ToggleFullScreen(); });
    FMenus->SetCommandHandler(mvSaveAs, [this](TMSAction&) { SavePictureDialog(); });
    FMenus->SetCommandHandler(mTools_Options,
                              [this](TMSAction&) { Print("no options dialog here"); });
    FPanel->SetPopupMenu(FPopupMenu);
    resize(800, 600);
  } else {
    FPlayer = new TPlayerWidget(this);
    if (FOptions.Browser.empty()) {
      layout->addWidget(FPlayer);
      resize(640, 480);
    } else {
      AddBrowser(FPlayer);
      layout->addWidget(FGrid->parentWidget());
      resize(900, 480);
    }
  }

  TAVPlayer& player = FPlayer->Player();
  // The panel's own handlers run first; these only report.
  auto panelState = player.OnStateChange;
  player.OnStateChange = [this, panelState](uint8_t from, uint8_t to) {
    if (panelState) panelState(from, to);
    if (to == psStopped && from != psStopped) ++FStopCount;
    if (to == psPlaying) StartCpuCount();
    if (from == psPlaying) StopCpuCount();
    Print(QString("state %1 -> %2").arg(PlayStateName(from), PlayStateName(to)));
    RecheckWait();
  };
  auto panelError = player.OnErrorText;
  player.OnErrorText = [this, panelError](int32_t code, std::string& text,
                                          const std::string& argument, const std::string& detail) {
    if (panelError)
      panelError(code, text, argument, detail);
    else
      text = ComposePlayerErrorText(code, QString::fromStdString(argument),
                                    QString::fromStdString(detail))
                 .toStdString();
    FFailed = true;
    QString line = QString::fromStdString(text);
    line.replace("\r\n", " / ");
    Print(QString("error %1 %2").arg(code).arg(line));
  };
  auto panelPosition = player.OnPosition;
  player.OnPosition = [this, panelPosition] {
    if (panelPosition) {
      const int64_t start = ThreadCpuNs();
      panelPosition();
      if (FPlayTimer.isValid()) FPanelPositionNs += ThreadCpuNs() - start;
    }
    ++FPositionCount;
  };
  player.OnAudioError = [this](int32_t code) { Print(QString("audio-error %1").arg(code)); };
  // Catching up drops pictures: a run that did so showed less than it played.
  player.OnLag = [this](bool late) { Print(late ? "lag on" : "lag off"); };
  if (!FPanel) player.OnFullScreen = [this] { SwitchFullScreen(); };
  // What the scripted waits wait for shows up as these windows' own events.
  installEventFilter(this);
  FPlayer->installEventFilter(this);
}

bool TPlayWindow::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::Show:
    case QEvent::Resize:
    case QEvent::Move:
    case QEvent::WindowStateChange:
      RecheckWait();
      break;
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

void TPlayWindow::RecheckWait() {
  if (FWaitLoop && FWaitDone && FWaitDone()) FWaitLoop->quit();
}

void TPlayWindow::AddBrowser(QWidget* player) {
  auto* splitter = new QSplitter(this);
  FGrid = new TShellGrid(splitter);
  splitter->addWidget(FGrid);
  splitter->addWidget(player);
  splitter->setSizes({260, 640});
  FGrid->ArrowStepping = true;
  FGrid->Model().OnFilterNode = [](TShellNode* node, bool& accept) {
    if (node->IsLink() || node->IsHidden() || (node->Level() >= 2 && !node->IsFileSystem()))
      accept = false;
    else if (!node->IsFolder())
      accept = IsVideoExt(node->Extension()) || IsPhotoExt(node->Extension());
  };
  connect(FGrid, &TShellGrid::SelectionChanged, this, &TPlayWindow::PlaySelected);
  // The real player's browser pop-up; here its commands are only reported.
  auto* menus = new TMenuSystem(this, PlayerCommandTable(), CommandImages());
  menus->OnExecuteCommand = [this](TMSAction& action, bool& handled) {
    Print(QString("command %1 selected=%2").arg(action.Index()).arg(FGrid->SelectedCount()));
    handled = true;
  };
  FGrid->SetPopupMenu(menus->BuildPopupMenu(kBrowserPopupCommands));
  FGrid->Init();
  FGrid->LocatePath(QFile::encodeName(QString::fromLocal8Bit(FOptions.Browser.c_str())),
                    [this](TShellNode* node) {
                      if (!node) return Print("browser-not-found");
                      FGrid->SelectNode(node);
                      FGrid->ExpandNode(node, [this, node](bool) {
                        FGrid->scrollTo(FGrid->IndexOf(node), QAbstractItemView::PositionAtTop);
                      });
                      Print("browser " + FGrid->NodeDisplayPath(node));
                    });
}

void TPlayWindow::PlaySelected() {
  TShellNode* node = FGrid->SelectedNode();
  if (FGrid->Restoring() || FGrid->SelectedCount() != 1 || !node || node->IsFolder()) return;
  FList.Clear();
  FList.Add(node->Path.toStdString());
  TAVPlayer& player = FPlayer->Player();
  player.OpenPlayList(&FList, uint8_t(FOptions.Mode));
  Print("selected " + FGrid->NodePath(node));
}

void TPlayWindow::Print(const QString& line) {
  std::printf("%s\n", line.toLocal8Bit().constData());
  std::fflush(stdout);
}

QString TPlayWindow::GeometryText() const {
  const QRect g = geometry();
  return QString("%1x%2+%3+%4").arg(g.width()).arg(g.height()).arg(g.x()).arg(g.y());
}

void TPlayWindow::SwitchFullScreen() {
  if (FPlayer->Player().FullScreen()) {
    FNormalGeometry = geometry();
    showFullScreen();
    // Without a window manager nobody else resizes the window.
    if (const QScreen* shown = screen()) setGeometry(shown->geometry());
  } else {
    showNormal();
    setGeometry(FNormalGeometry);
  }
}

void TPlayWindow::Open() {
  if (FOptions.Files.empty()) return;
  if (FOptions.PlDialog) {
    TPlDialogRun run;
    for (const std::string& path : FOptions.Files) run.Selection << QString::fromStdString(path);
    run.Mode = FOptions.Mode;
    run.Proceed = FOptions.Proceed;
    run.Grab = QString::fromStdString(FOptions.GrabDialog);
    RunPlaylistDialog(this, *FPlayer, run, [this](const QString& line) { Print(line); });
    return;
  }
  FList.Clear();
  const bool asx = FOptions.Files.size() == 1 &&
                   QString::fromStdString(FOptions.Files[0]).endsWith(".asx", Qt::CaseInsensitive);
  if (asx) {
    try {
      FList.LoadFromFile(FOptions.Files[0]);
    } catch (const std::exception& e) {
      Print(QString("error %1").arg(e.what()));
      FFailed = true;
      return;
    }
  } else {
    for (const std::string& file : FOptions.Files) FList.Add(file);
  }
  TAVPlayer& player = FPlayer->Player();
  if (!FPanel)
    player.OpenPlayList(&FList, uint8_t(FOptions.Mode));
  else if (FList.Count() == 1 && !asx)
    FPanel->PlayFile(QString::fromStdString(FList.Strings(0)), uint8_t(FOptions.Mode));
  else if (FList.Count() > 0)
    FPanel->PlayList(&FList, uint8_t(FOptions.Mode));
  if (player.IsOpen())
    Print(QString("opened files=%1 frames=%2 mode=%3")
              .arg(player.FileCount())
              .arg(player.TotalFrames())
              .arg(player.VideoMode()));
}

void TPlayWindow::OpenDialog() {
  const QStringList files = QFileDialog::getOpenFileNames(
      this, "Open files or a playlist", QString(),
      "Media and playlists (*.avi *.mov *.flv *.mpg *.mpe *.mpeg *.m1v *.mp4 *.divx *.m4v *.mkv "
      "*.webm *.ts *.mts *.m2ts *.3gp *.wmv *.asf *.vob *.ogv *.jpg *.jpeg *.jpe *.asx);;"
      "All files (*)");
  if (files.isEmpty()) return;
  FOptions.Files.clear();
  for (const QString& file : files) FOptions.Files.push_back(file.toStdString());
  Open();
}

void TPlayWindow::SavePictureDialog() {
  const QString file =
      QFileDialog::getSaveFileName(this, "Save the picture", QString(), "JPEG pictures (*.jpg)");
  if (!file.isEmpty()) Print((FPanel->SaveFrame(file) ? "snapshot " : "snapshot-failed ") + file);
}

void TPlayWindow::Start() {
  show();
  WaitFor([this] { return isVisible() && FPlayer->isVisible(); }, 5);
  Print("window " + GeometryText());
  Open();
  if (FOptions.Scripted()) {
    RunScript();
    QApplication::exit(FFailed ? 1 : 0);
  } else if (FOptions.Play) {
    FPlayer->Player().SetState(psPlaying);
  }
}

bool TPlayWindow::WaitFor(const std::function<bool()>& done, double seconds) {
  if (done()) return true;
  // A nested event loop sleeps until an event comes: it ends when an event
  // that may have changed the condition finds it true, or at the time limit.
  QEventLoop loop;
  QTimer limit;
  limit.setSingleShot(true);
  connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
  limit.start(int(std::min(seconds * 1000, 2e9)));
  FWaitLoop = &loop;
  FWaitDone = done;
  loop.exec();
  FWaitLoop = nullptr;
  FWaitDone = nullptr;
  return done();
}

void TPlayWindow::RunScript() {
  TAVPlayer& player = FPlayer->Player();
  auto position = [&] { Print(QString("position %1").arg(player.Position())); };
  if (FOptions.FullScreen && player.IsOpen()) {
    player.SetFullScreen(true);
    const QRect screenRect = screen()->geometry();
    WaitFor([&] { return FPlayer->geometry().size() == screenRect.size(); }, 5);
    Print("fullscreen on " + GeometryText());
  }
  if (FOptions.SeekFrame && player.IsOpen()) {
    player.SeekToFrame(*FOptions.SeekFrame);
    position();
  }
  if (FOptions.Play) {
    player.SetState(psPlaying);
    if (FOptions.ExitAtEnd) {
      // Generous: the whole timeline on a loaded machine.
      const double limit = FOptions.Seconds ? *FOptions.Seconds : player.DurationSeconds() * 3 + 30;
      if (!WaitFor([&] { return player.State() != psPlaying; }, limit)) Print("timeout");
    } else if (FOptions.Seconds) {
      WaitFor([&] { return player.State() != psPlaying; }, *FOptions.Seconds);
      if (player.State() == psPlaying) player.SetState(psPaused);
      if (FOptions.Resume && player.State() == psPaused) {
        position();
        WaitFor([] { return false; }, *FOptions.Resume);
        player.SetState(psPlaying);
        const double limit = player.DurationSeconds() * 3 + 30;
        if (!WaitFor([&] { return player.State() != psPlaying; }, limit)) Print("timeout");
      }
    }
    position();
  } else if (FOptions.Seconds) {
    WaitFor([] { return false; }, *FOptions.Seconds);
  }
  if (FOptions.Stop && player.IsOpen()) {
    player.SetState(psStopped);
    position();
  }
  // Let queued repaints reach the window before it is read back.
  WaitFor([] { return false; }, 0.2);
  if (!FOptions.Snapshot.empty()) {
    const bool saved = FPlayer->SaveFrame(QString::fromStdString(FOptions.Snapshot));
    Print(QString(saved ? "snapshot %1" : "snapshot-failed %1")
              .arg(QString::fromStdString(FOptions.Snapshot)));
  }
  if (!FOptions.Grab.empty()) {
    // With the panel or the browser, the whole window, controls included.
    const WId window = (FPanel || FGrid) ? winId() : FPlayer->winId();
    const QPixmap shot = FPlayer->screen()->grabWindow(window);
    const bool saved = shot.save(QString::fromStdString(FOptions.Grab), "PNG");
    Print(QString(saved ? "grab %1" : "grab-failed %1").arg(QString::fromStdString(FOptions.Grab)));
  }
  if (FOptions.FullScreen && player.FullScreen()) {
    player.SetFullScreen(false);
    WaitFor([&] { return geometry() == FNormalGeometry; }, 5);
    Print("fullscreen off " + GeometryText());
  }
  Print(QString("stopped-count %1").arg(FStopCount));
  if (FOptions.Hold) {
    Print("holding");
    WaitFor([] { return false; }, *FOptions.Hold);
  }
  PrintCpu();
}

void TPlayWindow::StartCpuCount() {
  FPlayCpuStart = ThreadCpuMs();
  FPaintStart = TimedApp() ? TimedApp()->PaintNs() : 0;
  FPlayTimer.start();
}

void TPlayWindow::StopCpuCount() {
  if (!FPlayTimer.isValid()) return;
  FPlayCpuMs += ThreadCpuMs() - FPlayCpuStart;
  FPanelPaintNs += (TimedApp() ? TimedApp()->PaintNs() : 0) - FPaintStart;
  FPlayMs += FPlayTimer.elapsed();
  FPlayTimer.invalidate();
}

void TPlayWindow::PrintCpu() {
  if (!FOptions.Cpu) return;
  StopCpuCount();
  Print(QString("ui-cpu-ms %1 playing-ms %2 positions %3 panel-position-ms %4 panel-paint-ms %5")
            .arg(FPlayCpuMs)
            .arg(FPlayMs)
            .arg(FPositionCount)
            .arg(FPanelPositionNs / 1e6, 0, 'f', 1)
            .arg(FPanelPaintNs / 1e6, 0, 'f', 1));
}

void TPlayWindow::keyPressEvent(QKeyEvent* event) {
  if (FPanel) {
    int key = event->key();
    if (key == Qt::Key_Escape && FPanel->IsFullScreen()) return FPanel->SetFullScreen(false);
    FPanel->HandleKey(key, event->modifiers());
    if (key == 0) return;
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && FPanel->ToggleFullScreen()) return;
    if (key == Qt::Key_O && event->modifiers() == Qt::ControlModifier) return OpenDialog();
    return QWidget::keyPressEvent(event);
  }
  TAVPlayer& player = FPlayer->Player();
  switch (event->key()) {
    case Qt::Key_Space:
      if (player.IsOpen()) player.SetState(player.State() == psPlaying ? psPaused : psPlaying);
      break;
    case Qt::Key_Escape:
      if (player.FullScreen())
        player.SetFullScreen(false);
      else
        player.SetState(psStopped);
      break;
    case Qt::Key_Home:
      player.NavigateKey(nkHome);
      break;
    case Qt::Key_End:
      player.NavigateKey(nkEnd);
      break;
    case Qt::Key_Left:
      player.NavigateKey(nkLeft);
      break;
    case Qt::Key_Right:
      player.NavigateKey(nkRight);
      break;
    default:
      QWidget::keyPressEvent(event);
  }
}

}  // namespace vexo::play

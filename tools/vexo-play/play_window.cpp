#include "tools/vexo-play/play_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <cstdio>

#include <QFile>
#include <QSplitter>

#include "app/browser/shell_grid.h"
#include "app/common/media_extensions.h"
#include "app/common/menu_system.h"
#include "app/player/player_error_text.h"
#include "app/shell/command_table.h"
#include "engine/media/av_log.h"

namespace vexo::play {

TPlayWindow::TPlayWindow(const TPlayOptions& options) : FOptions(options) {
  setWindowTitle("vexo-play");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  FPlayer = new TPlayerWidget(this);
  if (FOptions.Browser.empty()) {
    layout->addWidget(FPlayer);
    resize(640, 480);
  } else {
    AddBrowser(FPlayer);
    layout->addWidget(FGrid->parentWidget());
    resize(900, 480);
  }

  TAVPlayerEnc& player = FPlayer->Player();
  player.OnStateChange = [this](uint8_t from, uint8_t to) {
    if (to == psStopped && from != psStopped) ++FStopCount;
    Print(QString("state %1 -> %2").arg(PlayStateName(from), PlayStateName(to)));
  };
  player.OnErrorText = [this](int32_t code, std::string& text, const std::string& argument,
                              const std::string& detail) {
    text = ComposePlayerErrorText(code, QString::fromStdString(argument),
                                  QString::fromStdString(detail))
               .toStdString();
    FFailed = true;
    QString line = QString::fromStdString(text);
    line.replace("\r\n", " / ");
    Print(QString("error %1 %2").arg(code).arg(line));
  };
  player.OnAudioError = [this](int32_t code) { Print(QString("audio-error %1").arg(code)); };
  player.OnFullScreen = [this] { SwitchFullScreen(); };
}

void TPlayWindow::AddBrowser(QWidget* player) {
  auto* splitter = new QSplitter(this);
  FGrid = new TShellGrid(splitter);
  splitter->addWidget(FGrid);
  splitter->addWidget(player);
  splitter->setSizes({260, 640});
  FGrid->ArrowStepping = true;
  FGrid->OnFilterNode = [](TShellNode* node, bool& accept) {
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
  TAVPlayerEnc& player = FPlayer->Player();
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
  for (const std::string& file : FOptions.Files) FList.Add(file);
  TAVPlayerEnc& player = FPlayer->Player();
  player.OpenPlayList(&FList, uint8_t(FOptions.Mode));
  if (player.IsOpen())
    Print(QString("opened files=%1 frames=%2 mode=%3")
              .arg(player.FileCount())
              .arg(player.TotalFrames())
              .arg(player.VideoMode()));
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
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() >= qint64(seconds * 1000)) return false;
    QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    DrainLog();
  }
  return true;
}

void TPlayWindow::RunScript() {
  TAVPlayerEnc& player = FPlayer->Player();
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
    // With the browser beside it, the whole window is the picture of interest.
    const QPixmap shot = FPlayer->screen()->grabWindow(FGrid ? winId() : FPlayer->winId());
    const bool saved = shot.save(QString::fromStdString(FOptions.Grab), "PNG");
    Print(QString(saved ? "grab %1" : "grab-failed %1").arg(QString::fromStdString(FOptions.Grab)));
  }
  if (FOptions.FullScreen && player.FullScreen()) {
    player.SetFullScreen(false);
    WaitFor([&] { return geometry() == FNormalGeometry; }, 5);
    Print("fullscreen off " + GeometryText());
  }
  Print(QString("stopped-count %1").arg(FStopCount));
}

void TPlayWindow::keyPressEvent(QKeyEvent* event) {
  TAVPlayerEnc& player = FPlayer->Player();
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

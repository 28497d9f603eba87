#include "tools/vexo-play/play_window.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QScreen>
#include <QVBoxLayout>
#include <cstdio>

#include "app/player/player_error_text.h"
#include "engine/media/av_log.h"

namespace vexo::play {

TPlayWindow::TPlayWindow(const TPlayOptions& options) : FOptions(options) {
  setWindowTitle("vexo-play");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  FPlayer = new TPlayerWidget(this);
  layout->addWidget(FPlayer);
  resize(640, 480);

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
    const QPixmap shot = FPlayer->screen()->grabWindow(FPlayer->winId());
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

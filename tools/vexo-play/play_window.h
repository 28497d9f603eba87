#pragma once
// vexo-play's window: the player control filling a plain window, the keys of
// the real player, and the scripted steps of the command line. Every state
// change and error goes to standard output as one line.
#include <QEventLoop>
#include <QWidget>
#include <functional>

#include "app/player/player_widget.h"
#include "engine/playlist/av_playlist.h"
#include "tools/vexo-play/play_options.h"

namespace vexo::play {

class TPlayWindow : public QWidget {
  Q_OBJECT

 public:
  explicit TPlayWindow(const TPlayOptions& options);

  // Opens the files; then either runs the script and ends the event loop, or
  // leaves the window to the user.
  void Start();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void RunScript();
  void Open();
  void SwitchFullScreen();
  // Serves events until `done` or `seconds` have passed; false on time-out.
  bool WaitFor(const std::function<bool()>& done, double seconds);
  // Ends the current wait when its condition now holds.
  void RecheckWait();
  void Print(const QString& line);
  QString GeometryText() const;

  TPlayOptions FOptions;
  TPlayerWidget* FPlayer;
  TAVPlayList FList;
  QRect FNormalGeometry;
  int FStopCount = 0;
  bool FFailed = false;
  QEventLoop* FWaitLoop = nullptr;
  std::function<bool()> FWaitDone;
};

}  // namespace vexo::play

#pragma once
// vexo-play's window: the player control filling a plain window, or with
// --panel the video panel with its control strip; the keys of the real
// player, and the scripted steps of the command line. Every state
// change and error goes to standard output as one line.
#include <QElapsedTimer>
#include <QEventLoop>
#include <QMenu>
#include <QWidget>
#include <functional>

#include "app/browser/shell_grid.h"
#include "app/common/menu_system.h"
#include "app/player/av_panel.h"
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
  void OpenDialog();
  void SavePictureDialog();
  // With --cpu: the user-interface thread's processor time while playing.
  void PrintCpu();
  void StartCpuCount();
  void StopCpuCount();
  void SwitchFullScreen();
  // Serves events until `done` or `seconds` have passed; false on time-out.
  bool WaitFor(const std::function<bool()>& done, double seconds);
  // Ends the current wait when its condition now holds.
  void RecheckWait();
  void Print(const QString& line);
  QString GeometryText() const;

  TPlayOptions FOptions;
  // The browser grid beside the player: selecting a file opens it.
  void AddBrowser(QWidget* player);
  void PlaySelected();

  TAVPanel* FPanel = nullptr;
  TPlayerWidget* FPlayer;
  TMenuSystem* FMenus = nullptr;
  QMenu* FPopupMenu = nullptr;
  TShellGrid* FGrid = nullptr;
  TAVPlayList FList;
  QRect FNormalGeometry;
  int FStopCount = 0;
  QElapsedTimer FPlayTimer;
  int64_t FPlayCpuStart = 0;
  int64_t FPlayCpuMs = 0;
  int64_t FPlayMs = 0;
  int64_t FPositionCount = 0;
  // The control strip's share while playing: its position handling and its paints.
  int64_t FPanelPositionNs = 0;
  int64_t FPaintStart = 0;
  int64_t FPanelPaintNs = 0;
  bool FFailed = false;
  QEventLoop* FWaitLoop = nullptr;
  std::function<bool()> FWaitDone;
};

}  // namespace vexo::play

#pragma once
// The video panel: the player in a video area with the control strip along
// the bottom. It is the one way the rest of the program reaches the player:
// it opens files and playlists (leaving out missing files), closes, switches
// full screen, takes the transport keys, and turns the player's
// notifications into the caption line and the error texts. In full screen
// the control strip hides and comes back when the mouse nears the bottom.
#include <QMenu>
#include <QPoint>
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "app/player/av_control_panel.h"
#include "engine/playback/av_player.h"

namespace vexo {

// The seeking keys: Ctrl+Left and Ctrl+Right move by kShortSeekMs, Ctrl+Up,
// Ctrl+Down and Shift with an arrow by kLongSeekMs (Up and Right forwards).
// The amount for `key` held with `shift`, 0 for any other key.
constexpr int32_t kShortSeekMs = 5000;
constexpr int32_t kLongSeekMs = 60000;
int32_t SeekKeyMs(int key, Qt::KeyboardModifiers shift);

class TMirraAdPanel;
class TOptions;
class TPageList;
class TPlayerWidget;

class TAVPanel : public QWidget {
  Q_OBJECT

 public:
  using TOnFileLoaded = std::function<void(bool hasFile)>;
  using TOnVideoMode = std::function<void(uint8_t mode)>;

  explicit TAVPanel(QWidget* parent = nullptr);
  ~TAVPanel() override;

  // onFullScreen moves and sizes the window around the panel when full screen
  // switches; onSeekDone runs after the position bar is let go.
  void Init(TAVPlayer::TNotify onFullScreen, TAVControlPanel::TNotify onSeekDone,
            TAVPlayer::TOnOpenProgress onOpenProgress);

  // An empty path closes. The mode of the settings is used, not `mode`.
  void PlayFile(const QString& path, uint8_t mode);
  // The same for a path as the file system's bytes, which need not be text.
  void PlayNativeFile(const std::string& path, uint8_t mode);
  // Plays the entries whose files exist and names the missing ones in a
  // message; the list itself keeps every entry, so that saving it loses
  // none. A list that plays whole gets its timing; otherwise the timing goes
  // to the panel's own copy of the entries that play.
  void PlayList(TAVPlayList* list, uint8_t mode);
  // Also abandons a PlayList that is still looking for its files.
  void Close();

  bool IsOpen() const;
  bool IsFullScreen() const;
  void SetFullScreen(bool on);
  // Flips full screen when a file is open; false when nothing is open.
  bool ToggleFullScreen();
  QString CurrentFilePath() const;
  bool CurrentIsPhoto() const;
  TMediaInfo GetMediaInfo() const;
  bool SaveFrame(const QString& fileName);
  // Esc (in full screen it leaves full screen), Space, Home, End, Left and
  // Right, and the seeking keys (Qt key codes); a key used here becomes 0.
  void HandleKey(int& key, Qt::KeyboardModifiers shift);
  void SetListTitle(const QString& title);
  void SetControlPanelVisible(bool visible);
  void ResetMousePos();
  void Reposition();
  void SetSkinActive(bool on);
  void SetPopupMenu(QMenu* menu);
  void ReportVideoMode();
  // Lays the sibling product's picture over the video area until the first
  // file or playlist opens; `options` keeps the day it may come back.
  void ShowAdPanel(TOptions& options);
  TMirraAdPanel* AdPanel() const;

  // The width-to-height ratio the video area keeps; -1 for none.
  virtual double AspectRatio() const { return -1; }

  TPlayerWidget* PlayerWidget() const { return FPlayer; }
  TAVPlayer* Player() const;
  TAVControlPanel* ControlPanel() const { return FControlPanel; }
  TPageList* PageList() const { return FPageList; }
  const QString& ListTitle() const { return FListTitle; }
  QPoint LastMouse() const { return FLastMouse; }

  TOnFileLoaded OnFileLoaded;
  TOnVideoMode OnVideoMode;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void LayoutChildren();
  // Along the bottom edge, across the whole width.
  void PlaceControlPanel();
  void UpdateCaption();
  void PlayerMouseMove(const QPoint& position);
  void FullScreenSwitched();

  TPageList* FPageList = nullptr;
  TPlayerWidget* FPlayer = nullptr;
  TAVControlPanel* FControlPanel = nullptr;
  QPoint FLastMouse{0, 0};
  QString FListTitle;
  TAVPlayer::TNotify FOnFullScreen;
  bool FSkinActive = false;
  // The entries that play when some of a list's files are missing.
  std::unique_ptr<TAVPlayList> FPresentList;
  // Set to stop the look for files of the PlayList under way.
  std::shared_ptr<std::atomic<bool>> FPresenceCancel;
  QPointer<QWidget> FAdPanel;
};

}  // namespace vexo

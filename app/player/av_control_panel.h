#pragma once
// The strip under the video: Stop and Play/Pause, the position bar with a
// tick at every playlist item's start, the elapsed and total time, a caption
// line naming the file or the playlist item under the play position, and a
// thin red line that lights while the video runs late, and the loudness: a
// mute button and a volume slider. It drives the player directly and follows
// its notifications.
#include <QLabel>
#include <QToolButton>
#include <array>
#include <cstdint>
#include <functional>

#include "app/player/ctrl_panel.h"
#include "engine/playback/sound_device.h"
#include "engine/playlist/av_playlist.h"

namespace vexo {

class TAVPlayer;
class TCTrackBar;
class TTickBar;

class TAVControlPanel : public TCtrlPanel {
  Q_OBJECT

 public:
  static constexpr int kHeight = 70;
  enum TButtonIndex { biStop = 0, biPlay = 1 };

  using TNotify = std::function<void()>;
  using TOnButtonClick = std::function<void(int index)>;

  explicit TAVControlPanel(QWidget* parent = nullptr);

  // kHeight, or more when the font needs it.
  int Height() const;
  QSize sizeHint() const override;

  // Builds the children and installs its handlers on the player.
  void Init(TAVPlayer& player, TNotify onSeekDone, TOnButtonClick onButtonClick = {},
            TNotify onStopped = {});

  void SetCaption(const QString& text);
  // Copies the list's item timing for the ticks and the item captions; a
  // list not fully timed yet, or none, shows neither.
  void SetPlayList(const TAVPlayList* list);

  QToolButton* Button(int index) const { return FButtons[size_t(index)]; }
  TCTrackBar* PositionBar() const { return FPositionBar; }
  TTickBar* TickBar() const { return FTickBar; }
  QLabel* TimeLabel() const { return FTimeLabel; }
  QLabel* TotalLabel() const { return FTotalLabel; }
  QLabel* CaptionLabel() const { return FCaptionLabel; }
  QWidget* LagIndicator() const { return FLagIndicator; }
  QToolButton* MuteButton() const { return FMuteButton; }
  TCTrackBar* VolumeBar() const { return FVolumeBar; }
  int32_t ItemIndex() const { return FItemIndex; }
  const QString& CaptionText() const { return FCaptionText; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  // The wheel over the volume slider sets the loudness; the position bar
  // leaves it alone.
  void wheelEvent(QWheelEvent* event) override;
  // The late-video line follows the ticks.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void PlaceLagIndicator();
  void LayOut();
  void RelayoutLabels();
  void ButtonClicked(int index);
  void StateChanged(uint8_t oldState, uint8_t newState);
  void PositionChanged();
  void SetControlsEnabled(bool enabled);
  void ShowVolume(TSoundVolume volume);
  void UpdateTime(bool repaintNow);
  void UpdateTotal();
  void UpdateItemLabel(uint8_t state);
  void BarMouseDown(Qt::MouseButton button);
  void BarChanged(int32_t position);
  void BarMouseUp(Qt::MouseButton button);
  int64_t CurrentMs() const;

  TAVPlayer* FPlayer = nullptr;
  std::array<QToolButton*, 2> FButtons{};
  std::array<QIcon, 3> FGlyphs;
  QLabel* FTimeLabel = nullptr;
  QLabel* FCaptionLabel = nullptr;
  QLabel* FTotalLabel = nullptr;
  TTickBar* FTickBar = nullptr;
  TCTrackBar* FPositionBar = nullptr;
  QWidget* FLagIndicator = nullptr;
  QToolButton* FMuteButton = nullptr;
  TCTrackBar* FVolumeBar = nullptr;
  std::array<QIcon, 2> FVolumeGlyphs;
  TAVPlayList FListCopy;
  int32_t FItemIndex = -1;
  QString FCaptionText;
  // The open timeline's length in milliseconds; 0 while it is not known.
  double FTotalMs = 0;
  // The whole second the time label shows, so that most positions end in
  // one comparison.
  int64_t FShownSecond = 0;
  TOnButtonClick FOnButtonClick;
  TNotify FOnStopped;
  TNotify FOnSeekDone;
};

}  // namespace vexo

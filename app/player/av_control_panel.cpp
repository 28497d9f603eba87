#include "app/player/av_control_panel.h"

#include <QResizeEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "app/common/language_list.h"
#include "app/common/text_utils.h"
#include "app/common/theme_icons.h"
#include "app/player/tick_bar.h"
#include "app/player/track_bar.h"
#include "app/player/volume_control.h"
#include "engine/playback/av_player.h"

namespace vexo {

namespace {

constexpr int kButtonSize = 46;
constexpr int kButtonTop = 12;
constexpr int kMargin = 6;
constexpr int kLabelTop = 7;
constexpr int kLagWidth = 160;
constexpr int kLagTop = 58;
constexpr int kLagHeight = 4;
constexpr int kGlyphPause = 2;
// The loudness controls at the right end of the position bar's row.
constexpr int kMuteSize = TCTrackBar::kHeight;
constexpr int kVolumeWidth = 84;

bool Runs(uint8_t state) {
  return state == psStopped || state == psPlaying || state == psPaused || state == psTracking;
}

}  // namespace

TAVControlPanel::TAVControlPanel(QWidget* parent) : TCtrlPanel(parent) {
  setObjectName("ControlPanel");
  setFixedHeight(kHeight);
}

void TAVControlPanel::Init(TAVPlayer& player, TNotify onSeekDone, TOnButtonClick onButtonClick,
                           TNotify onStopped) {
  FPlayer = &player;
  player.OnLag = [this](bool late) { FLagIndicator->setVisible(late); };
  player.OnStateChange = [this](uint8_t oldState, uint8_t newState) {
    StateChanged(oldState, newState);
  };
  player.OnPosition = [this] { PositionChanged(); };
  FOnButtonClick = std::move(onButtonClick);
  FOnStopped = std::move(onStopped);
  FOnSeekDone = std::move(onSeekDone);

  FGlyphs = {ThemeIcon("media-playback-stop"), ThemeIcon("media-playback-start"),
             ThemeIcon("media-playback-pause")};
  for (int i = 0; i < 2; ++i) {
    auto* button = new QToolButton(this);
    button->setObjectName(i == biStop ? "StopButton" : "PlayButton");
    button->setAccessibleName(i == biStop ? LResList.ReadValue("Accessible", "Stop", {})
                                          : LResList.ReadValue("Accessible", "PlayPause", {}));
    button->setEnabled(false);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIconSize(QSize(24, 24));
    button->setFixedSize(kButtonSize, kButtonSize);
    button->setIcon(FGlyphs[size_t(i)]);
    connect(button, &QToolButton::clicked, this, [this, i] { ButtonClicked(i); });
    FButtons[size_t(i)] = button;
  }

  FCaptionLabel = new QLabel(this);
  FCaptionLabel->setObjectName("CaptionLabel");
  FCaptionLabel->setTextFormat(Qt::PlainText);
  FTotalLabel = new QLabel(this);
  FTotalLabel->setObjectName("TotalLabel");
  FTimeLabel = new QLabel("00:00:00", this);
  FTimeLabel->setObjectName("TimeLabel");
  FTotalLabel->installEventFilter(this);
  FTimeLabel->installEventFilter(this);

  FTickBar = new TTickBar(this);
  FTickBar->setEnabled(false);
  FTickBar->hide();
  FTickBar->SetThumbWidth(TCTrackBar::kThumbWidth);

  FPositionBar = new TCTrackBar(this);
  FPositionBar->setObjectName("PositionBar");
  FPositionBar->setEnabled(false);
  connect(FPositionBar, &TCTrackBar::MouseDown, this, &TAVControlPanel::BarMouseDown);
  connect(FPositionBar, &TCTrackBar::Changed, this, &TAVControlPanel::BarChanged);
  connect(FPositionBar, &TCTrackBar::MouseUp, this, &TAVControlPanel::BarMouseUp);

  FMuteButton = new QToolButton(this);
  FMuteButton->setObjectName("MuteButton");
  FMuteButton->setAccessibleName(LResList.ReadValue("Accessible", "Mute", {}));
  FMuteButton->setCheckable(true);
  FMuteButton->setAutoRaise(true);
  FMuteButton->setFocusPolicy(Qt::NoFocus);
  FMuteButton->setIconSize(QSize(20, 20));
  FMuteButton->setFixedSize(kMuteSize, kMuteSize);
  FVolumeGlyphs = {ThemeIcon("audio-volume-high"), ThemeIcon("audio-volume-muted")};
  FVolumeBar = new TCTrackBar(this);
  FVolumeBar->setObjectName("VolumeBar");
  FVolumeBar->setAccessibleName(LResList.ReadValue("Accessible", "Volume", {}));
  FVolumeBar->SetMax(100);
  TVolumeControl& volume = TVolumeControl::Instance();
  connect(FMuteButton, &QToolButton::clicked, this,
          [](bool muted) { TVolumeControl::Instance().SetMuted(muted); });
  connect(FVolumeBar, &TCTrackBar::Changed, this,
          [](int32_t percent) { TVolumeControl::Instance().SetLevel(percent / 100.0); });
  connect(&volume, &TVolumeControl::Changed, this, &TAVControlPanel::ShowVolume);
  ShowVolume(volume.Volume());

  FLagIndicator = new QWidget(this);
  FLagIndicator->setObjectName("LagIndicator");
  FLagIndicator->setAutoFillBackground(true);
  QPalette red = FLagIndicator->palette();
  red.setColor(QPalette::Window, QColor(0xFF, 0, 0));
  FLagIndicator->setPalette(red);
  FLagIndicator->hide();

  UpdateTime(false);
  UpdateTotal();
  LayoutChildren();
}

void TAVControlPanel::resizeEvent(QResizeEvent* event) {
  TCtrlPanel::resizeEvent(event);
  LayoutChildren();
}

void TAVControlPanel::wheelEvent(QWheelEvent* event) {
  if (!FVolumeBar || !FVolumeBar->geometry().contains(event->position().toPoint()))
    return TCtrlPanel::wheelEvent(event);
  TVolumeControl::Instance().TurnWheel(event->angleDelta().y());
  event->accept();
}

void TAVControlPanel::LayoutChildren() {
  if (!FPositionBar) return;
  int x = kMargin;
  for (QToolButton* button : FButtons) {
    button->move(x, kButtonTop);
    x += button->width() + 1;
  }
  x += kMargin;
  const int barTop = (kHeight - FPositionBar->height()) / 2 + 3;
  const int volumeLeft = std::max(x, width() - kMargin - kVolumeWidth);
  FVolumeBar->setGeometry(volumeLeft, barTop, kVolumeWidth, FVolumeBar->height());
  FMuteButton->move(volumeLeft - kMuteSize - 2, barTop);
  FPositionBar->setGeometry(x, barTop, std::max(0, FMuteButton->x() - x - kMargin),
                            FPositionBar->height());
  const QRect channel = FPositionBar->ChannelRect();
  FTickBar->setGeometry(FPositionBar->x() + channel.left(), FPositionBar->geometry().bottom() + 1,
                        channel.width(), TTickBar::kHeight);
  LayoutLabels();
  FLagIndicator->setGeometry((width() - kLagWidth) / 2, kLagTop, kLagWidth, kLagHeight);
}

bool TAVControlPanel::eventFilter(QObject* watched, QEvent* event) {
  if (FPositionBar && (watched == FTimeLabel || watched == FTotalLabel) &&
      event->type() == QEvent::FontChange)
    // After the label itself has taken the font: its size hint is stale until then.
    QMetaObject::invokeMethod(this, &TAVControlPanel::LayoutLabels, Qt::QueuedConnection);
  return TCtrlPanel::eventFilter(watched, event);
}

void TAVControlPanel::LayoutLabels() {
  const int x = FPositionBar->x();
  FTotalLabel->adjustSize();
  FTimeLabel->adjustSize();
  FTotalLabel->move(width() - FTotalLabel->width() - 14, kLabelTop);
  FTimeLabel->move(FTotalLabel->x() - FTimeLabel->width(), kLabelTop);
  FCaptionLabel->setGeometry(x + 8, kLabelTop, std::max(0, FTimeLabel->x() - x - 16),
                             FTimeLabel->height());
}

void TAVControlPanel::SetCaption(const QString& text) {
  FCaptionText = text;
  FCaptionLabel->setText(text);
}

void TAVControlPanel::SetPlayList(const TAVPlayList* list) {
  if (list && list->AllItemsKnown())
    FListCopy.AssignPlayList(*list);
  else
    FListCopy.Clear();
  FItemIndex = -1;
  FTickBar->SetMarks(&FListCopy);
}

void TAVControlPanel::ButtonClicked(int index) {
  if (FOnButtonClick) FOnButtonClick(index);
  if (index == biStop) {
    FPlayer->SetState(psStopped);
    return;
  }
  const uint8_t state = FPlayer->State();
  if (state == psStopped || state == psPaused)
    FPlayer->SetState(psPlaying);
  else if (state == psPlaying)
    FPlayer->SetState(psPaused);
}

void TAVControlPanel::ShowVolume(TSoundVolume volume) {
  FVolumeBar->SetPosition(int32_t(std::lround(volume.Level * 100)));
  FMuteButton->setChecked(volume.Muted);
  FMuteButton->setIcon(FVolumeGlyphs[volume.Muted ? 1 : 0]);
}

void TAVControlPanel::SetControlsEnabled(bool enabled) {
  for (QToolButton* button : FButtons) button->setEnabled(enabled);
  FPositionBar->setEnabled(enabled);
  FTickBar->setEnabled(enabled);
  FTickBar->setVisible(enabled);
}

void TAVControlPanel::StateChanged(uint8_t oldState, uint8_t newState) {
  // A single picture has nothing to play or seek.
  SetControlsEnabled(Runs(newState) && FPlayer->TotalFrames() > 1);
  FButtons[biPlay]->setIcon(FGlyphs[newState == psPlaying ? kGlyphPause : size_t(biPlay)]);
  if (newState == psClosed || newState == psStopped) {
    FPositionBar->SetPosition(0);
    if (newState == psStopped)
      FPositionBar->SetMax(int32_t(std::max<int64_t>(0, FPlayer->TotalDurationMs())));
    UpdateTime(false);
    UpdateTotal();
    if (FLagIndicator->isVisible()) FLagIndicator->hide();
  }
  if (newState != oldState) UpdateItemLabel(newState);
  if ((oldState == psPlaying || oldState == psPaused) && newState == psStopped && FOnStopped)
    FOnStopped();
}

int64_t TAVControlPanel::CurrentMs() const {
  return std::max<int64_t>(0, FPlayer->FrameToMs(std::max(0, FPlayer->Position())));
}

void TAVControlPanel::PositionChanged() {
  FPositionBar->SetPosition(int32_t(CurrentMs()));
  UpdateTime(false);
  UpdateItemLabel(FPlayer->State());
}

void TAVControlPanel::UpdateTime(bool repaintNow) {
  const int32_t max = FPositionBar->Max();
  const int64_t ms = max <= 0 ? 0 : int64_t(double(CurrentMs()) * FTotalMs / max);
  const int64_t second = ms / 1000;
  if (second == FShownSecond && !FTimeLabel->text().isEmpty()) return;
  FShownSecond = second;
  const QString text = ClockText(ms);
  if (text == FTimeLabel->text()) return;
  const int oldWidth = FTimeLabel->width();
  FTimeLabel->setText(text);
  if (FTimeLabel->sizeHint().width() != oldWidth) LayoutLabels();
  if (repaintNow) FTimeLabel->repaint();
}

void TAVControlPanel::UpdateTotal() {
  FTotalMs = FPositionBar->Max() <= 0 ? 0 : FPlayer->DurationSeconds() * 1000;
  FTotalLabel->setText(" / " + ClockText(int64_t(FTotalMs)));
  LayoutLabels();
}

void TAVControlPanel::UpdateItemLabel(uint8_t state) {
  if (FListCopy.Count() == 0) return;
  const int32_t p = FPlayer->Position();
  if (state == psStopped || (p == 0 && state == psPaused)) {
    FItemIndex = -1;
    FCaptionLabel->setText(FCaptionText);
    return;
  }
  const int32_t count = FListCopy.Count();
  auto holds = [&](int32_t i) {
    const TPlayListItem* item = FListCopy.GetItem(i);
    return item && item->StartFrame() <= p && p <= item->EndFrame();
  };
  int32_t found = -1;
  if (FItemIndex < 0) {
    for (int32_t i = 0; i < count && found < 0; ++i)
      if (holds(i)) found = i;
  } else {
    const TPlayListItem* current = FListCopy.GetItem(FItemIndex);
    if (p < current->StartFrame()) {
      for (int32_t i = FItemIndex - 1; i >= 0 && found < 0; --i)
        if (holds(i)) found = i;
    } else if (p <= current->EndFrame()) {
      return;
    } else {
      for (int32_t i = FItemIndex + 1; i < count && found < 0; ++i)
        if (holds(i)) found = i;
    }
  }
  if (found >= 0) FItemIndex = found;
  if (FItemIndex < 0) return;
  // Concatenated rather than formatted: a file name may hold "%1".
  FCaptionLabel->setText(LResList.GetText("AVPlayerEnc", 3031) + " " +
                         QString::number(FItemIndex + 1) + " " +
                         LResList.GetText("AVPlayerEnc", 3032) + " " + QString::number(count) +
                         ": " + QString::fromStdString(FListCopy.GetItem(FItemIndex)->Name()));
}

void TAVControlPanel::BarMouseDown(Qt::MouseButton button) {
  if (button == Qt::LeftButton) FPlayer->SetState(psTracking);
}

void TAVControlPanel::BarChanged(int32_t position) {
  FPlayer->SeekMs(position);
  UpdateItemLabel(FPlayer->State());
  UpdateTime(true);
}

void TAVControlPanel::BarMouseUp(Qt::MouseButton button) {
  if (button == Qt::LeftButton) FPlayer->SetState(psPaused);
  if (FOnSeekDone) FOnSeekDone();
}

}  // namespace vexo

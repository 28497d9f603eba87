#include "app/player/av_control_panel.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QResizeEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "app/common/language_list.h"
#include "app/common/text_utils.h"
#include "app/common/theme_icons.h"
#include "app/player/elided_label.h"
#include "app/player/tick_bar.h"
#include "app/player/track_bar.h"
#include "app/player/volume_control.h"
#include "engine/playback/av_player.h"

namespace vexo {

namespace {

constexpr int kButtonSize = 46;
constexpr int kMargin = 6;
// The labels' line starts this far from the top, and the position bar one
// line lower unless the labels' font needs more.
constexpr int kLabelTop = 7;
constexpr int kBarTop = (TAVControlPanel::kHeight - TCTrackBar::kHeight) / 2 + 3;
// Inside the labels' line: from the bar's left end to the caption, between
// the caption and the time, and from the total to the panel's right edge.
constexpr int kCaptionIndent = 8;
constexpr int kTotalRightGap = 14;
constexpr int kLagWidth = 160;
// The late-video line lies across the foot of the ticks, wherever a font
// puts them.
constexpr int kLagBelowTicks = 6;
constexpr int kLagHeight = 4;
constexpr int kGlyphPause = 2;
// The loudness controls at the right end of the position bar's row.
constexpr int kMuteSize = TCTrackBar::kHeight;
constexpr int kMuteGap = 2;
constexpr int kVolumeWidth = 84;
// Columns of the grid right of the buttons.
enum { colBar, colBarGap, colMute, colMuteGap, colVolume, colCount };
enum { rowLabels, rowBar, rowTicks, rowRest };

bool Runs(uint8_t state) {
  return state == psStopped || state == psPlaying || state == psPaused || state == psTracking;
}

}  // namespace

TAVControlPanel::TAVControlPanel(QWidget* parent) : TCtrlPanel(parent) {
  setObjectName("ControlPanel");
  // The video panel gives it Height(), whatever height it is asked to take.
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
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

  // A long name is cut short with an ellipsis rather than pushing the times out.
  FCaptionLabel = new TElidedLabel(this);
  FCaptionLabel->setObjectName("CaptionLabel");
  FTotalLabel = new QLabel(this);
  FTotalLabel->setObjectName("TotalLabel");
  FTimeLabel = new QLabel("00:00:00", this);
  FTimeLabel->setObjectName("TimeLabel");
  for (QLabel* label : {FTimeLabel, FTotalLabel})
    label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);

  FTickBar = new TTickBar(this);
  FTickBar->setEnabled(false);
  // Placed under the bar while hidden too, so that it is in place when it shows.
  QSizePolicy tickPolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
  tickPolicy.setRetainSizeWhenHidden(true);
  FTickBar->setSizePolicy(tickPolicy);
  FTickBar->setFixedHeight(TTickBar::kHeight);
  FTickBar->hide();
  FTickBar->SetThumbWidth(TCTrackBar::kThumbWidth);
  FTickBar->installEventFilter(this);

  FPositionBar = new TCTrackBar(this);
  FPositionBar->setObjectName("PositionBar");
  FPositionBar->setEnabled(false);
  FPositionBar->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
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
  FVolumeBar->setFixedWidth(kVolumeWidth);
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

  LayOut();
  UpdateTime(false);
  UpdateTotal();
}

void TAVControlPanel::LayOut() {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(kMargin, 0, kMargin, 0);
  row->setSpacing(1);
  for (QToolButton* button : FButtons) row->addWidget(button, 0, Qt::AlignVCenter);
  row->addSpacing(kMargin);

  auto* grid = new QGridLayout;
  // Room under the ticks for the late-video line.
  grid->setContentsMargins(0, kLabelTop, 0, kLagBelowTicks + kLagHeight - TTickBar::kHeight);
  grid->setSpacing(0);
  auto* labels = new QHBoxLayout;
  labels->setContentsMargins(kCaptionIndent, 0, kTotalRightGap - kMargin, 0);
  labels->setSpacing(0);
  labels->addWidget(FCaptionLabel, 1);
  labels->addSpacing(kCaptionIndent);
  labels->addWidget(FTimeLabel);
  labels->addWidget(FTotalLabel);
  grid->addLayout(labels, rowLabels, colBar, 1, colCount);
  grid->setRowMinimumHeight(rowLabels, kBarTop - kLabelTop);
  grid->addWidget(FPositionBar, rowBar, colBar);
  grid->setColumnMinimumWidth(colBarGap, kMargin);
  grid->addWidget(FMuteButton, rowBar, colMute);
  grid->setColumnMinimumWidth(colMuteGap, kMuteGap);
  grid->addWidget(FVolumeBar, rowBar, colVolume);
  // The ticks span the bar's channel, which is the whole bar.
  grid->addWidget(FTickBar, rowTicks, colBar);
  grid->setRowMinimumHeight(rowTicks, TTickBar::kHeight);
  grid->setRowStretch(rowRest, 1);
  grid->setColumnStretch(colBar, 1);
  row->addLayout(grid, 1);
}

QSize TAVControlPanel::sizeHint() const {
  return QSize(TCtrlPanel::sizeHint().width(), Height());
}

int TAVControlPanel::Height() const {
  // Taller only when a font leaves the controls no room in the usual height.
  return layout() ? std::max(kHeight, layout()->minimumSize().height()) : kHeight;
}

void TAVControlPanel::RelayoutLabels() {
  // At once rather than at the next turn of the event loop: the time label
  // is repainted at once while the bar is dragged.
  if (layout()) layout()->activate();
}

void TAVControlPanel::resizeEvent(QResizeEvent* event) {
  TCtrlPanel::resizeEvent(event);
  PlaceLagIndicator();
}

bool TAVControlPanel::eventFilter(QObject* watched, QEvent* event) {
  if (watched == FTickBar && event->type() == QEvent::Move) PlaceLagIndicator();
  return TCtrlPanel::eventFilter(watched, event);
}

void TAVControlPanel::PlaceLagIndicator() {
  if (!FLagIndicator) return;
  FLagIndicator->setGeometry((width() - kLagWidth) / 2, FTickBar->y() + kLagBelowTicks, kLagWidth,
                             kLagHeight);
}

void TAVControlPanel::wheelEvent(QWheelEvent* event) {
  if (!FVolumeBar || !FVolumeBar->geometry().contains(event->position().toPoint()))
    return TCtrlPanel::wheelEvent(event);
  TVolumeControl::Instance().TurnWheel(event->angleDelta().y());
  event->accept();
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
  if (FTimeLabel->sizeHint().width() != oldWidth) RelayoutLabels();
  if (repaintNow) FTimeLabel->repaint();
}

void TAVControlPanel::UpdateTotal() {
  FTotalMs = FPositionBar->Max() <= 0 ? 0 : FPlayer->DurationSeconds() * 1000;
  FTotalLabel->setText(" / " + ClockText(int64_t(FTotalMs)));
  RelayoutLabels();
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

#include "app/player/track_bar.h"

#include <QAccessible>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "app/common/colour_utils.h"
#include "app/common/skin_background.h"
#include "app/player/track_bar_accessible.h"

namespace vexo {

namespace {

constexpr int kGrooveHeight = 4;

}  // namespace

TCTrackBar::TCTrackBar(QWidget* parent) : QWidget(parent) {
  TTrackBarAccessible::Register();
  setFocusPolicy(Qt::NoFocus);
  setFixedHeight(kHeight);
}

void TCTrackBar::SetMax(int32_t max) {
  max = std::max(0, max);
  if (max == FMax) return;
  FMax = max;
  FPosition = std::min(FPosition, FMax);
  update();
}

void TCTrackBar::SetPosition(int32_t position) {
  MoveTo(position);
}

void TCTrackBar::JumpTo(int32_t position) {
  emit MouseDown(Qt::LeftButton);
  if (MoveTo(position)) emit Changed(FPosition);
  emit MouseUp(Qt::LeftButton);
}

bool TCTrackBar::MoveTo(int32_t position) {
  position = std::clamp(position, 0, FMax);
  if (position == FPosition) return false;
  const int oldX = XOfPosition(FPosition), newX = XOfPosition(position);
  FPosition = position;
  if (QAccessible::isActive()) {
    QAccessibleValueChangeEvent event(this, FPosition);
    QAccessible::updateAccessibility(&event);
  }
  if (oldX != newX) {
    // The handles at both ends and the played part between them.
    const int left = std::min(oldX, newX) - kThumbWidth / 2 - 1;
    const int right = std::max(oldX, newX) + kThumbWidth / 2 + 2;
    update(QRect(left, 0, right - left, height()));
  }
  return true;
}

int32_t TCTrackBar::XOfPosition(int32_t position) const {
  const int half = kThumbWidth / 2;
  if (FMax <= 0) return half;
  const double usable = std::max(0, width() - kThumbWidth);
  return half + int32_t(std::lround(usable * position / FMax));
}

int32_t TCTrackBar::PositionOfX(int32_t x) const {
  const int usable = width() - kThumbWidth;
  if (FMax <= 0 || usable <= 0) return 0;
  const double position = double(x - kThumbWidth / 2) * FMax / usable;
  return int32_t(std::clamp<double>(std::lround(position), 0, FMax));
}

QRect TCTrackBar::ThumbRect() const {
  const int x = XOfPosition(FPosition);
  return QRect(x - kThumbWidth / 2, (height() - kThumbLength) / 2, kThumbWidth, kThumbLength);
}

void TCTrackBar::mousePressEvent(QMouseEvent* event) {
  const Qt::MouseButton button = event->button();
  emit MouseDown(button);
  if (button != Qt::LeftButton) return;
  const int x = int(event->position().x());
  const QRect thumb = ThumbRect();
  // Grabbing the handle keeps it under the same spot of the pointer; a press
  // beside it brings the handle's centre to the pointer at once.
  FGrabOffset = x >= thumb.left() && x <= thumb.right() ? x - (thumb.left() + kThumbWidth / 2) : 0;
  FDragging = true;
  DragTo(x);
}

void TCTrackBar::mouseMoveEvent(QMouseEvent* event) {
  if (FDragging) DragTo(int(event->position().x()));
}

void TCTrackBar::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) FDragging = false;
  emit MouseUp(event->button());
}

void TCTrackBar::DragTo(int x) {
  if (MoveTo(PositionOfX(x - FGrabOffset))) emit Changed(FPosition);
}

void TCTrackBar::wheelEvent(QWheelEvent* event) {
  event->ignore();
}

void TCTrackBar::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::EnabledChange) {
    if (!isEnabled()) FDragging = false;
    update();
  }
}

void TCTrackBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QPalette& pal = palette();
  const bool enabled = isEnabled();
  const int half = kThumbWidth / 2;
  const int grooveTop = (height() - kGrooveHeight) / 2;
  const QRectF groove(half, grooveTop, std::max(0, width() - kThumbWidth), kGrooveHeight);
  // A skin gives the bar its colours through the palette, where the edges
  // follow its text colour: the shade roles keep the desktop's light theme.
  const bool skinned = SkinSheetActive();
  QColor grooveEdge = pal.color(QPalette::Dark), thumbEdge = pal.color(QPalette::Shadow);
  QColor thumbEdgeOff = pal.color(QPalette::Mid);
  if (skinned) {
    grooveEdge = thumbEdge = thumbEdgeOff = pal.color(QPalette::WindowText);
    grooveEdge.setAlpha(110);
    thumbEdge.setAlpha(170);
    thumbEdgeOff.setAlpha(80);
  }
  painter.setPen(grooveEdge);
  painter.setBrush(pal.color(QPalette::Base));
  painter.drawRoundedRect(groove.adjusted(-0.5, 0.5, 0.5, -0.5), 2, 2);
  const int x = XOfPosition(FPosition);
  if (enabled && x > half) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(pal.color(QPalette::Highlight));
    painter.drawRoundedRect(QRectF(half, grooveTop + 1, x - half, kGrooveHeight - 1), 1.5, 1.5);
  }
  const QRectF thumb = QRectF(ThumbRect()).adjusted(0.5, 0.5, -0.5, -0.5);
  const QColor face = pal.color(QPalette::Button);
  QLinearGradient shade(thumb.topLeft(), thumb.topRight());
  shade.setColorAt(0, LightenColor(face, enabled ? 24 : 8));
  shade.setColorAt(1, DarkenColor(face, enabled ? 16 : 4));
  painter.setPen(enabled ? thumbEdge : thumbEdgeOff);
  painter.setBrush(shade);
  painter.drawRoundedRect(thumb, 2, 2);
  if (enabled) {
    painter.setPen(pal.color(QPalette::Highlight));
    painter.drawLine(QPointF(thumb.center().x(), thumb.top() + 5),
                     QPointF(thumb.center().x(), thumb.bottom() - 5));
  }
}

}  // namespace vexo

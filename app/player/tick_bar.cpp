#include "app/player/tick_bar.h"

#include <QEvent>
#include <QPainter>
#include <cmath>

#include "engine/playlist/av_playlist.h"

namespace vexo {

namespace {

const QColor kLineEnabled(0x9E, 0xA2, 0xE2);
const QColor kLineDisabled(0xCF, 0xC8, 0xC8);
const QColor kGlyphEnabled(0x4A, 0x5E, 0x9A);
const QColor kGlyphDisabled(0xB4, 0xB4, 0xB4);
// A tick closer than this to the last one drawn would only smear it.
constexpr int kMinTickGap = 2;

}  // namespace

TTickBar::TTickBar(QWidget* parent) : QWidget(parent) {
  // See-through: the control panel's background shows between the ticks.
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setFocusPolicy(Qt::NoFocus);
}

void TTickBar::SetThumbWidth(int32_t width) {
  if (width == FThumbWidth) return;
  FThumbWidth = width;
  LayoutMarks();
  update();
}

void TTickBar::SetMarks(const TAVPlayList* list) {
  FTotalMs = 0;
  FDurations.clear();
  if (list) {
    for (int i = 0; i < list->Count(); ++i) {
      const TPlayListItem* item = list->GetItem(i);
      const int32_t duration = item ? item->DurationMs() : 0;
      FDurations.push_back(duration);
      FTotalMs += duration;
    }
  }
  LayoutMarks();
  update();
}

void TTickBar::LayoutMarks() {
  FMarks.clear();
  if (FDurations.empty()) return;
  const int32_t half = FThumbWidth / 2;
  const int32_t usable = width() - FThumbWidth;
  const double scale = FTotalMs > 0 ? double(usable) / FTotalMs : 0;
  FMarks.push_back(half);
  int64_t elapsed = 0;
  for (size_t i = 0; i + 1 < FDurations.size(); ++i) {
    elapsed += FDurations[i];
    // nearbyint rounds halves to the even neighbour.
    FMarks.push_back(int32_t(std::nearbyint(scale * double(elapsed) + half)));
  }
  FMarks.push_back(half + usable);
}

void TTickBar::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayoutMarks();
}

void TTickBar::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::EnabledChange) update();
}

void TTickBar::paintEvent(QPaintEvent*) {
  if (FMarks.size() < 2) return;
  QPainter painter(this);
  const bool enabled = isEnabled();
  painter.setPen(enabled ? kLineEnabled : kLineDisabled);
  painter.drawLine(FMarks.front() + 2, 3, FMarks.back() - 1, 3);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(enabled ? kGlyphEnabled : kGlyphDisabled);
  int lastDrawn = 0;
  for (size_t i = 0; i < FMarks.size(); ++i) {
    const int x = FMarks[i];
    if (i > 0 && x - lastDrawn <= kMinTickGap) continue;
    lastDrawn = x;
    // An upward wedge under the bar, pointing at the boundary.
    const QPointF wedge[] = {
        {x + 0.5, 0.0}, {x + 4.0, double(kGlyphSize)}, {x - 3.0, double(kGlyphSize)}};
    painter.drawPolygon(wedge, 3);
  }
}

}  // namespace vexo

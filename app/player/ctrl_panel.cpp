#include "app/player/ctrl_panel.h"

#include <QLinearGradient>
#include <QPaintEvent>
#include <QPainter>

#include "app/common/colour_utils.h"
#include "app/common/skin_background.h"

namespace vexo {

namespace {

constexpr int kTopBand = 6;
constexpr int kBottomBand = 8;

}  // namespace

TCtrlPanel::TCtrlPanel(QWidget* parent) : QWidget(parent) {
  // Every pixel is painted here; nothing shows through from the parent.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAttribute(Qt::WA_StyledBackground);
}

void TCtrlPanel::SetSkinActive(bool on) {
  if (on == FSkinActive) return;
  FSkinActive = on;
  update();
}

void TCtrlPanel::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  if (FSkinActive) return PaintSkinBackground(*this, painter, event->rect());
  const QColor face = palette().color(QPalette::Button);
  const QColor shadow = palette().color(QPalette::Dark);
  const QRect client = rect();
  const QRect top(0, 0, client.width(), kTopBand);
  const QRect bottom(0, client.height() - kBottomBand, client.width(), kBottomBand);
  QLinearGradient topGradient(top.topLeft(), top.bottomLeft());
  topGradient.setColorAt(0, LightenColor(shadow, 16));
  topGradient.setColorAt(1, face);
  QLinearGradient bottomGradient(bottom.topLeft(), bottom.bottomLeft());
  bottomGradient.setColorAt(0, face);
  bottomGradient.setColorAt(1, DarkenColor(face, 24));
  painter.fillRect(client.adjusted(0, kTopBand, 0, -kBottomBand), face);
  painter.fillRect(top, topGradient);
  painter.fillRect(bottom, bottomGradient);
}

}  // namespace vexo

#include "app/player/elided_label.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOption>

namespace vexo {

TElidedLabel::TElidedLabel(QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

QSize TElidedLabel::minimumSizeHint() const {
  return QSize(0, QLabel::minimumSizeHint().height());
}

QString TElidedLabel::ShownText() const {
  return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
}

void TElidedLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  drawFrame(&painter);
  const QString shown = ShownText();
  // Set here, where the cut is known; setting it does not paint again.
  const QString tip = shown == text() ? QString() : text();
  if (toolTip() != tip) setToolTip(tip);
  QStyleOption option;
  option.initFrom(this);
  style()->drawItemText(&painter, contentsRect(), int(alignment()), option.palette, isEnabled(),
                        shown, foregroundRole());
}

}  // namespace vexo

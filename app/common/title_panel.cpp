#include "app/common/title_panel.h"

#include <QPainter>

namespace vexo {

TTitlePanel::TTitlePanel(QWidget* parent, const QString& caption)
    : QWidget(parent), FCaption(new QLabel(caption, this)) {
  QFont font = FCaption->font();
  font.setBold(true);
  FCaption->setFont(font);
  FCaption->adjustSize();
  setFixedHeight(FCaption->height());
}

void TTitlePanel::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FCaption->move(0, 0);
}

void TTitlePanel::paintEvent(QPaintEvent*) {
  const int left = FCaption->width() + 4;
  if (left >= width()) return;
  QPainter painter(this);
  painter.fillRect(QRect(left, FCaption->height() / 2, width() - left, 2),
                   palette().color(QPalette::Mid));
}

}  // namespace vexo

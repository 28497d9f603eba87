#include "app/common/title_panel.h"

#include <QPaintEvent>
#include <QPainter>

#include "app/common/skin_background.h"

namespace vexo {

THLine::THLine(QWidget* parent, int x, int y, int width) : QWidget(parent) {
  setGeometry(x, y, width, kThickness);
}

void THLine::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  // The desktop's shades would glare in a dark skin: the skin draws the line.
  if (SkinSheetActive()) return PaintSkinBackground(*this, painter, event->rect());
  // Sunken, as a rule between groups of controls: shadow over light.
  painter.fillRect(0, 0, width(), 1, palette().color(QPalette::Mid));
  painter.fillRect(0, 1, width(), 1, palette().color(QPalette::Light));
}

TTitlePanel::TTitlePanel(QWidget* parent, const QString& caption, int x, int y, int width)
    : QWidget(parent), FCaption(new QLabel(caption, this)), FLine(new THLine(this, 0, 0, 0)) {
  QFont bold = FCaption->font();
  bold.setBold(true);
  FCaption->setFont(bold);
  FCaption->adjustSize();
  setGeometry(x, y, width, FCaption->height());
}

void TTitlePanel::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FCaption->move(0, 0);
  const int left = FCaption->width() + kLineGap;
  FLine->setGeometry(left, FCaption->height() / 2, std::max(0, width() - left), THLine::kThickness);
}

}  // namespace vexo

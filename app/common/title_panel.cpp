#include "app/common/title_panel.h"

#include <QHBoxLayout>
#include <QPaintEvent>
#include <QPainter>

#include "app/common/skin_background.h"

namespace vexo {

THLine::THLine(QWidget* parent) : QWidget(parent) {
  setFixedHeight(kThickness);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void THLine::paintEvent(QPaintEvent* event) {
  QPainter painter(this);
  // The desktop's shades would glare in a dark skin: the skin draws the line.
  if (SkinSheetActive()) return PaintSkinBackground(*this, painter, event->rect());
  // Sunken, as a rule between groups of controls: shadow over light.
  painter.fillRect(0, 0, width(), 1, palette().color(QPalette::Mid));
  painter.fillRect(0, 1, width(), 1, palette().color(QPalette::Light));
}

TTitlePanel::TTitlePanel(QWidget* parent, const QString& caption)
    : QWidget(parent), FCaption(new QLabel(caption, this)), FLine(new THLine(this)) {
  QFont bold = FCaption->font();
  bold.setBold(true);
  FCaption->setFont(bold);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(kLineGap);
  row->addWidget(FCaption);
  // At half the caption's height, whatever font the caption has.
  row->addWidget(FLine, 1, Qt::AlignVCenter);
}

}  // namespace vexo

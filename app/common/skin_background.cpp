#include "app/common/skin_background.h"

#include <QApplication>
#include <QStyle>
#include <QStyleOption>

namespace vexo {

bool SkinSheetActive() {
  return qApp && !qApp->styleSheet().isEmpty();
}

void PaintSkinBackground(QWidget& widget, QPainter& painter, const QRect& area) {
  QStyleOption option;
  option.initFrom(&widget);
  painter.fillRect(area, widget.palette().window());
  widget.style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, &widget);
}

}  // namespace vexo

#include "app/common/skin_background.h"

#include <QStyle>
#include <QStyleOption>

namespace vexo {

void PaintSkinBackground(QWidget& widget, QPainter& painter, const QRect& area) {
  QStyleOption option;
  option.initFrom(&widget);
  painter.fillRect(area, widget.palette().window());
  widget.style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, &widget);
}

}  // namespace vexo

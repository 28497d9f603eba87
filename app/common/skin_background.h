#pragma once
// The background a skin's style sheet gives a panel of the program's own.
#include <QPainter>
#include <QRect>
#include <QWidget>

namespace vexo {

// True while a skin's style sheet dresses the application.
bool SkinSheetActive();

// Paints `area` of `widget` as the active skin styles it.
void PaintSkinBackground(QWidget& widget, QPainter& painter, const QRect& area);

}  // namespace vexo

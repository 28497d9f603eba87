#pragma once
// Lighter and darker shades of a colour, for the unskinned gradients.
#include <QColor>

namespace vexo {

// Each of red, green and blue moved by amount, kept within 0..255.
QColor LightenColor(const QColor& colour, int amount);
QColor DarkenColor(const QColor& colour, int amount);

}  // namespace vexo

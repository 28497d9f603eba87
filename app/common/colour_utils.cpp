#include "app/common/colour_utils.h"

#include <algorithm>

namespace vexo {

namespace {

QColor Shifted(const QColor& colour, int amount) {
  auto channel = [amount](int value) { return std::clamp(value + amount, 0, 255); };
  return QColor(channel(colour.red()), channel(colour.green()), channel(colour.blue()));
}

}  // namespace

QColor LightenColor(const QColor& colour, int amount) {
  return Shifted(colour, amount);
}

QColor DarkenColor(const QColor& colour, int amount) {
  return Shifted(colour, -amount);
}

}  // namespace vexo

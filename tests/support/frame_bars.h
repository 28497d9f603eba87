#pragma once
// The frame number a frame-numbered clip shows: 16 bars across the top half,
// bit 0 on the left, white for 1. `luma(x, y)` reads the picture's
// brightness, 0 to 255.
#include <functional>

namespace vexo::test {

inline int FrameNumberFromBars(int width, int height, const std::function<int(int, int)>& luma) {
  if (width <= 0 || height <= 0) return -1;
  int number = 0;
  for (int bit = 0; bit < 16; ++bit) {
    const int x = bit * width / 16 + width / 32;
    if (luma(x, height / 4) > 128) number |= 1 << bit;
  }
  return number;
}

}  // namespace vexo::test

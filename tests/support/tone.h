#pragma once
// How loud one tone is in a stretch of recorded or decoded sound.
#include <cmath>
#include <cstdint>
#include <vector>

namespace vexo::test {

// Amplitude of the tone `hz` in `samples` (at `rate`) over `length` samples
// from `from`.
inline double ToneAmplitude(const std::vector<int16_t>& samples, int64_t from, int64_t length,
                            double hz, int32_t rate) {
  double re = 0, im = 0;
  const double step = 2 * M_PI * hz / rate;
  for (int64_t k = 0; k < length; ++k) {
    const double x = samples[size_t(from + k)];
    re += x * std::cos(step * double(k));
    im -= x * std::sin(step * double(k));
  }
  return 2 * std::hypot(re, im) / double(length);
}

}  // namespace vexo::test

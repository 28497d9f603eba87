#include "engine/media/low_pass_filter.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vexo {

TLowPassFilter::TLowPassFilter(double cornerHz, int32_t order, double sampleRate,
                               double cornerGain) {
  order = std::max(order, 1);
  const double pi = std::numbers::pi;
  const double t = 1.0 / sampleRate;
  const double wa = (2.0 / t) * std::tan(pi * cornerHz * t);
  // The -3 dB frequency that puts the gain `cornerGain` at wa.
  const double w = wa * std::pow(1.0 / (cornerGain * cornerGain) - 1.0, -1.0 / (2.0 * order));
  K = 2.0 / (w * t);
  Sections = order / 2;
  Odd = 2 * Sections != order;
  A.assign(size_t(Sections) + 1, 0.0);
  B.assign(size_t(Sections) + 1, 0.0);
  C.assign(size_t(Sections) + 1, 0.0);
  const double k2 = K * K;
  for (int32_t i = 1; i <= Sections; ++i) {
    const double a = 2.0 * std::sin(pi * (2 * i - 1) / (2.0 * order));
    A[size_t(i)] = 1.0 / (k2 + a * K + 1.0);
    B[size_t(i)] = 2.0 * (k2 - 1.0) * A[size_t(i)];
    C[size_t(i)] = (k2 - a * K + 1.0) * A[size_t(i)];
  }
  State.assign(size_t(Sections) + 1, THistory{});
}

uint16_t TLowPassFilter::Process(uint16_t sample) {
  const double x = int16_t(sample);
  THistory& first = State[0];
  if (Odd) {
    X0 = x;
    first.y0 = (X0 + X1) / (K + 1.0) + (K - 1.0) * first.y1 / (K + 1.0);
    X2 = X1;
    X1 = X0;
  } else {
    first.y0 = x;
  }
  for (int32_t i = 1; i <= Sections; ++i) {
    THistory& p = State[size_t(i) - 1];
    THistory& s = State[size_t(i)];
    s.y0 = A[size_t(i)] * (p.y0 + 2.0 * p.y1 + p.y2) + B[size_t(i)] * s.y1 - C[size_t(i)] * s.y2;
    p.y2 = p.y1;
    p.y1 = p.y0;
  }
  THistory& last = State[size_t(Sections)];
  // nearbyint rounds half to even under the default rounding mode.
  const double rounded = std::nearbyint(last.y0);
  last.y2 = last.y1;
  last.y1 = last.y0;
  const double clamped = std::clamp(rounded, -32767.0, 32767.0);
  return uint16_t(int16_t(clamped));
}

}  // namespace vexo

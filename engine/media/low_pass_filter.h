#pragma once
// A Butterworth low-pass for one channel of 16-bit sound, digitised by the
// bilinear transform with a pre-warped corner, and designed so that its gain at
// the corner frequency is a chosen value rather than the usual -3 dB.
#include <cstdint>
#include <vector>

namespace vexo {

class TLowPassFilter {
 public:
  // cornerHz: where the gain is `cornerGain` (0.1 is -20 dB); order >= 1.
  TLowPassFilter(double cornerHz, int32_t order, double sampleRate, double cornerGain);

  // Filters one sample; the word is read and returned as a signed 16-bit value.
  uint16_t Process(uint16_t sample);

  struct THistory {
    double y0 = 0, y1 = 0, y2 = 0;
  };

  int32_t Sections = 0;
  uint8_t Odd = 0;
  double K = 0;
  std::vector<double> A, B, C;
  // Output history per stage; stage 0 is the first-order stage or the input.
  std::vector<THistory> State;
  double X0 = 0, X1 = 0, X2 = 0;
};

}  // namespace vexo

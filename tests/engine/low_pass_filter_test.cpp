#include "engine/media/low_pass_filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace vexo {
namespace {

// Steady-state gain in dB for a sine of `hz`, measured by RMS after the start-up.
double GainDb(TLowPassFilter& filter, double hz, double rate) {
  const int total = int(rate), settle = total / 2;
  const double amplitude = 16000;
  double in = 0, out = 0;
  for (int n = 0; n < total; ++n) {
    const double x = std::round(amplitude * std::sin(2 * std::numbers::pi * hz * n / rate));
    const int16_t y = int16_t(filter.Process(uint16_t(int16_t(x))));
    if (n >= settle) {
      in += x * x;
      out += double(y) * y;
    }
  }
  return 10 * std::log10(out / in);
}

TEST(LowPassFilter, DefaultsLoseTwentyDecibelsAtTheCornerAndAboutThreeAtHalfOfIt) {
  TLowPassFilter corner(7000, 3, 44100, 0.1);
  EXPECT_NEAR(GainDb(corner, 7000, 44100), -20.0, 0.15);
  TLowPassFilter half(7000, 3, 44100, 0.1);
  const double db = GainDb(half, 3500, 44100);
  EXPECT_NEAR(db, -3.08, 0.15);
  TLowPassFilter low(7000, 3, 44100, 0.1);
  EXPECT_NEAR(GainDb(low, 200, 44100), 0.0, 0.05);
}

TEST(LowPassFilter, EveryOrderHasTheChosenGainAtTheCorner) {
  for (int order : {1, 2, 3, 4, 5}) {
    TLowPassFilter filter(5000, order, 48000, 0.1);
    EXPECT_EQ(filter.Sections, order / 2) << order;
    EXPECT_EQ(filter.Odd, order % 2) << order;
    EXPECT_NEAR(GainDb(filter, 5000, 48000), -20.0, 0.2) << order;
  }
}

TEST(LowPassFilter, HigherOrderCutsHarderAboveTheCorner) {
  TLowPassFilter first(5000, 1, 48000, 0.1), second(5000, 2, 48000, 0.1);
  EXPECT_LT(GainDb(second, 12000, 48000), GainDb(first, 12000, 48000) - 3);
}

TEST(LowPassFilter, WordsAreSignedSixteenBitValues) {
  TLowPassFilter minusOne(7000, 3, 44100, 0.1);
  uint16_t out = 0;
  for (int n = 0; n < 2000; ++n) out = minusOne.Process(0xFFFF);
  EXPECT_EQ(out, 0xFFFF);
  TLowPassFilter zero(7000, 3, 44100, 0.1);
  for (int n = 0; n < 2000; ++n) ASSERT_EQ(zero.Process(0), 0);
}

TEST(LowPassFilter, FullScaleSquareWaveStaysWithinRange) {
  // Orders above 1 overshoot a full-scale step, so they reach the clamp.
  for (int order : {2, 3, 6}) {
    TLowPassFilter filter(7000, order, 44100, 0.1);
    bool reachedTop = false;
    for (int n = 0; n < 44100; ++n) {
      const uint16_t in = (n / 50) % 2 ? 0x8000 : 0x7FFF;
      const int16_t y = int16_t(filter.Process(in));
      ASSERT_GE(y, -32767) << order;
      reachedTop = reachedTop || y == 32767;
    }
    EXPECT_TRUE(reachedTop) << order;  // the overshoot is clamped, not wrapped
  }
}

}  // namespace
}  // namespace vexo

#pragma once
// The desktop that programs under test run on: a private X server and a
// private PulseAudio server with a null sink, made once per test process.
#include <gtest/gtest.h>

#include <memory>

#include "tests/support/pulse_server.h"
#include "tests/support/xvfb_server.h"

namespace vexo::test {

class TDesktop : public ::testing::Environment {
 public:
  void SetUp() override {
    X = std::make_unique<TXvfbServer>();
    Pulse = std::make_unique<TPulseServer>();
  }
  void TearDown() override {
    Pulse.reset();
    X.reset();
  }
  std::unique_ptr<TXvfbServer> X;
  std::unique_ptr<TPulseServer> Pulse;
};

// Registers the desktop with the test program; call once, at static initialisation.
inline TDesktop* AddDesktop() {
  return static_cast<TDesktop*>(::testing::AddGlobalTestEnvironment(new TDesktop));
}

}  // namespace vexo::test

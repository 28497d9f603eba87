#pragma once
// The private X server and the one QApplication of a test program whose
// windows must be real: register it once per program with
//   ::testing::AddGlobalTestEnvironment(new test::TXDesktopEnvironment("name"));
#include <gtest/gtest.h>

#include <QApplication>
#include <functional>
#include <memory>

#include "tests/support/xvfb_server.h"

namespace vexo::test {

class TXDesktopEnvironment : public ::testing::Environment {
 public:
  // beforeApp runs once the server is up, before the application exists.
  explicit TXDesktopEnvironment(const char* programName, std::function<void()> beforeApp = {})
      : FName(programName), FBeforeApp(std::move(beforeApp)) {}

  void SetUp() override {
    Server = std::make_unique<TXvfbServer>();
    ASSERT_TRUE(Server->Running()) << "Xvfb did not start";
    qputenv("QT_QPA_PLATFORM", "xcb");
    // No session bus: the tests need none, and a stray user bus cannot interfere.
    qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
    if (FBeforeApp) FBeforeApp();
    static int argc = 1;
    static char* argv[] = {const_cast<char*>(FName), nullptr};
    App = std::make_unique<QApplication>(argc, argv);
  }
  void TearDown() override {
    App.reset();
    Server.reset();
  }

  std::unique_ptr<TXvfbServer> Server;
  std::unique_ptr<QApplication> App;

 private:
  const char* FName;
  std::function<void()> FBeforeApp;
};

}  // namespace vexo::test

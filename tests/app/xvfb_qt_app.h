#pragma once
// The test program's QApplication on a private X server, for tests of real
// windows: focus, keys and shortcuts behave as on a desktop.
#include <cstdlib>

#include "qt_test_app.h"
#include "tests/support/xvfb_server.h"

namespace vexo::test {

// Returns false when no X server could be started; the server lives until
// the program ends.
inline bool XvfbQtApp() {
  static TXvfbServer* server = [] {
    static TXvfbServer x;
    if (x.Running()) setenv("QT_QPA_PLATFORM", "xcb", 1);
    // No session bus: the tests need none, and its client library keeps
    // memory to the end that leak checks would count.
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent", 1);
    return &x;
  }();
  QtApp();
  return server->Running();
}

}  // namespace vexo::test

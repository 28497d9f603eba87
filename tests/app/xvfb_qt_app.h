#pragma once
// The test program's QApplication on the test desktop's X server, for tests
// of real windows: focus, keys and shortcuts behave as on a desktop.
#include "qt_test_app.h"
#include "tests/support/test_desktop.h"

namespace vexo::test {

// Returns false when the desktop could not be made; it lives until the
// program ends. No session bus: these tests need none, and its client
// library keeps memory to the end that leak checks would count.
inline bool XvfbQtApp() {
  static TTestDesktop desktop({.Screen = TScreen::X});
  QtApp();
  return desktop.Ready();
}

}  // namespace vexo::test

#pragma once
// Waiting in tests of real windows: the event loop runs, and the engine's log
// lines reach their view, while the condition is checked.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>

#include "engine/media/av_log.h"

namespace vexo::test {

// Answers whether `done` came true within `ms` milliseconds.
inline bool WaitFor(const std::function<bool()>& done, int ms = 10000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    DrainLog();
  }
  return true;
}

// Lets the windows work for `ms` milliseconds.
inline void Settle(int ms = 100) {
  WaitFor([] { return false; }, ms);
}

}  // namespace vexo::test

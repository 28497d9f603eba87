#pragma once
// Waiting in tests of real windows: the event loop runs, and the engine's log
// lines reach their view, while the condition is checked.
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
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

// Answers the first modal window that comes while it lives, however late it
// comes, from within that window's own event loop: the call that shows it
// returns once `answer` has closed it.
class TModalAnswer {
 public:
  explicit TModalAnswer(std::function<void(QWidget*)> answer) : FAnswer(std::move(answer)) {
    FPoll.setInterval(10);
    QObject::connect(&FPoll, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      if (!modal) return;
      FPoll.stop();
      FSeen = true;
      FAnswer(modal);
    });
    FPoll.start();
  }
  bool Seen() const { return FSeen; }

 private:
  std::function<void(QWidget*)> FAnswer;
  QTimer FPoll;
  bool FSeen = false;
};

}  // namespace vexo::test

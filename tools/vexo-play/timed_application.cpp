#include "tools/vexo-play/timed_application.h"

#include <QEvent>
#include <QWidget>

#include "tools/vexo-play/thread_cpu.h"

namespace vexo::play {

bool TTimedApplication::notify(QObject* receiver, QEvent* event) {
  if (event->type() != QEvent::Paint || !FPart || !receiver->isWidgetType())
    return QApplication::notify(receiver, event);
  auto* widget = static_cast<QWidget*>(receiver);
  if (widget != FPart && !FPart->isAncestorOf(widget)) return QApplication::notify(receiver, event);
  const int64_t start = ThreadCpuNs();
  const bool result = QApplication::notify(receiver, event);
  FPaintNs += ThreadCpuNs() - start;
  return result;
}

TTimedApplication* TimedApp() {
  return dynamic_cast<TTimedApplication*>(QCoreApplication::instance());
}

}  // namespace vexo::play

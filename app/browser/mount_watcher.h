#pragma once
// Tells when a volume is mounted or unmounted. The kernel marks the process's
// mount table with a priority event whenever it changes, so nothing polls.
#include <QObject>
#include <QTimer>

class QSocketNotifier;

namespace vexo {

class TMountWatcher : public QObject {
  Q_OBJECT

 public:
  explicit TMountWatcher(QObject* parent = nullptr,
                         const char* mountTable = "/proc/self/mountinfo");
  ~TMountWatcher() override;
  bool Watching() const { return FFd >= 0; }

 signals:
  // Once per burst of changes.
  void Changed();

 private:
  void Drain();

  int FFd = -1;
  QSocketNotifier* FNotifier = nullptr;
  QTimer FSettle;
};

}  // namespace vexo

#pragma once
// Turns the terminate and interrupt signals (log-out, Ctrl+C in a terminal)
// into a Qt signal on the user-interface thread, so that the program ends as
// if its window were closed: settings saved, playback stopped in order.
#include <QObject>

class QSocketNotifier;

namespace vexo {

class TTerminationSignals : public QObject {
  Q_OBJECT
 public:
  // One at a time; the signals' previous handling returns with its end.
  explicit TTerminationSignals(QObject* parent = nullptr);
  ~TTerminationSignals() override;

 signals:
  void Received();

 private:
  QSocketNotifier* FNotifier = nullptr;
};

}  // namespace vexo

#pragma once
// The application object of vexo-play: it also adds up the processor time
// the user-interface thread spends painting one part of the window, so that
// the cost of that part can be told from the rest.
#include <QApplication>
#include <QPointer>
#include <cstdint>

namespace vexo::play {

class TTimedApplication : public QApplication {
 public:
  TTimedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

  // Paints of `part` and of everything inside it are counted from now on.
  void WatchPaints(QWidget* part) { FPart = part; }
  int64_t PaintNs() const { return FPaintNs; }

  bool notify(QObject* receiver, QEvent* event) override;

 private:
  QPointer<QWidget> FPart;
  int64_t FPaintNs = 0;
};

TTimedApplication* TimedApp();

}  // namespace vexo::play

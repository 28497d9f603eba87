#include "app/browser/mount_watcher.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>

namespace vexo {

TMountWatcher::TMountWatcher(QObject* parent, const char* mountTable) : QObject(parent) {
  FFd = ::open(mountTable, O_RDONLY | O_CLOEXEC);
  if (FFd < 0) return;
  Drain();
  // A mount often comes with others (a stick with several partitions); one
  // refresh covers them all.
  FSettle.setSingleShot(true);
  FSettle.setInterval(250);
  connect(&FSettle, &QTimer::timeout, this, &TMountWatcher::Changed);
  FNotifier = new QSocketNotifier(FFd, QSocketNotifier::Exception, this);
  connect(FNotifier, &QSocketNotifier::activated, this, [this] {
    Drain();
    FSettle.start();
  });
}

TMountWatcher::~TMountWatcher() {
  delete FNotifier;
  if (FFd >= 0) ::close(FFd);
}

// The event stays raised until the table has been read again from the start.
void TMountWatcher::Drain() {
  char buffer[4096];
  ::lseek(FFd, 0, SEEK_SET);
  while (::read(FFd, buffer, sizeof buffer) > 0) {
  }
}

}  // namespace vexo

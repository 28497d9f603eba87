#pragma once
// vexo-play --pldialog: the playlist dialog over the given files and folders,
// its work opening them in the window's player, with the figures a person
// tuning it wants: time to the first picture and the longest stretch the
// window went without serving its events.
#include <QString>
#include <QStringList>
#include <functional>

class QWidget;

namespace vexo {
class TPlayerWidget;
}

namespace vexo::play {

struct TPlDialogRun {
  QStringList Selection;
  int Mode = 1;
  // Press Proceed at once, for scripted runs and benchmarks.
  bool Proceed = false;
  // Saved as a picture once the dialog shows, which then closes.
  QString Grab;
};

// The dialog's result (1 accepted, 0 cancelled); one line of figures goes to print.
int RunPlaylistDialog(QWidget* owner, TPlayerWidget& player, const TPlDialogRun& run,
                      const std::function<void(const QString&)>& print);

}  // namespace vexo::play

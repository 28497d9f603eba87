#pragma once
// What reaches the running program from outside its own window: files named
// on the command line or by a later start, files dropped from a file
// manager, and the desktop's media controls on the session bus.
#include <QObject>
#include <QStringList>

class QMimeData;

namespace vexo {

class TMediaRemote;
class TPLMainForm;

// Command-line arguments as absolute paths; options (a leading '-') are
// left out.
QStringList AbsolutePaths(const QStringList& arguments);
// The local files of a drag, in their order; none when it carries no file.
QStringList DroppedFiles(const QMimeData* data);

class TOutsideLink : public QObject {
  Q_OBJECT
 public:
  // form must have been shown: its page exists.
  explicit TOutsideLink(TPLMainForm& form);
  ~TOutsideLink() override;

  // Plays the files on the player page; none does nothing.
  void Open(const QStringList& paths);
  // The same, for files another start handed over: the window comes forward.
  void OpenHandedOver(const QStringList& paths);

  TMediaRemote* Remote() const { return FRemote; }
  bool Published() const { return FPublished; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TPLMainForm& FForm;
  // Files that wait for the window to be on the screen: the player draws
  // its first picture there.
  QStringList FWaiting;
  TMediaRemote* FRemote = nullptr;
  bool FPublished = false;
};

}  // namespace vexo

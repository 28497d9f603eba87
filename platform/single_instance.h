#pragma once
// One running program per user. A lock file in the user's runtime folder
// serialises start-up; the running program listens on a local socket, and a
// program started later hands over to it ("bring yourself to the front",
// with the files it was given to play) instead of opening a second window.
#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class QLocalServer;

namespace vexo {

class TSingleInstance : public QObject {
  Q_OBJECT
 public:
  enum TStart {
    siFirst,         // this process runs the program and now listens
    siHandedOver,    // a running program was told to come to the front
    siStillStarting  // another start held the lock for longer than the wait
  };

  // folder empty: the user's runtime folder (the temporary folder without one).
  explicit TSingleInstance(const QString& folder = {}, QObject* parent = nullptr);
  ~TSingleInstance() override;

  // Takes the start-up lock (waiting up to waitMs for another start to
  // finish), then either hands over to the running program or starts
  // listening. The lock stays held until EndStart or destruction.
  // files (absolute paths) go to the running program when there is one.
  TStart Begin(int waitMs = 10000, const QStringList& files = {});
  // Releases the start-up lock once the main window exists.
  void EndStart();

  // How long a connected client may stay before it is cut off unheard.
  void SetSilentClientLimit(int ms) { FSilentClientMs = ms; }

  QString ServerPath() const { return FServerPath; }
  QString LockPath() const { return FLockPath; }

 signals:
  // A later start asked this program to come to the front.
  void SecondInstance();
  // ...and gave it these files to play (emitted after SecondInstance).
  void FilesHandedOver(const QStringList& files);

 private:
  bool HandOver(const QStringList& files);
  bool Listen();
  void Accept();

  QString FServerPath;
  QString FLockPath;
  std::unique_ptr<QLockFile> FLock;
  QLocalServer* FServer = nullptr;
  int FSilentClientMs = 10000;
};

}  // namespace vexo

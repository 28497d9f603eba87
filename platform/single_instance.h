#pragma once
// One running program per user. A lock file in the user's runtime folder
// serialises start-up; the running program listens on a local socket, and a
// program started later hands over to it ("bring yourself to the front")
// instead of opening a second window.
#include <QLockFile>
#include <QObject>
#include <QString>
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
  TStart Begin(int waitMs = 10000);
  // Releases the start-up lock once the main window exists.
  void EndStart();

  QString ServerPath() const { return FServerPath; }
  QString LockPath() const { return FLockPath; }

  static constexpr const char* kMessage = "Vexo Player Second";

 signals:
  // A later start asked this program to come to the front.
  void SecondInstance();

 private:
  bool HandOver();
  bool Listen();
  void Accept();

  QString FServerPath;
  QString FLockPath;
  std::unique_ptr<QLockFile> FLock;
  QLocalServer* FServer = nullptr;
};

}  // namespace vexo

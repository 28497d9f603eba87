#pragma once
// Keeps the desktop awake while the program runs: no screen saver, no screen
// blanking, no suspend on idle. Asks the session's screen saver service and
// the login manager; where a bus or service is missing nothing happens, and
// no call ever holds the program up for long.
#include <QDBusUnixFileDescriptor>
#include <QObject>

class QDBusPendingCallWatcher;
#include <QString>

namespace vexo {

class TKeepAwake : public QObject {
  Q_OBJECT
 public:
  explicit TKeepAwake(QObject* parent = nullptr);
  ~TKeepAwake() override;

  // Asks both services; their answers arrive later.
  void Start(const QString& reason);
  // Gives back what was granted.
  void Stop();

  bool HoldsScreenSaver() const { return FCookie != 0; }
  bool HoldsSleepLock() const { return FSleepLock.isValid(); }

  static constexpr int kCallTimeoutMs = 500;

 signals:
  // Either service answered (granted or refused).
  void Answered();

 private:
  void InhibitScreenSaver(const QString& reason);
  void InhibitSleep(const QString& reason);
  void TakeCookie();

  QDBusPendingCallWatcher* FScreenSaverCall = nullptr;  // while the answer is awaited
  uint FCookie = 0;
  QDBusUnixFileDescriptor FSleepLock;
  bool FRunning = false;
};

}  // namespace vexo

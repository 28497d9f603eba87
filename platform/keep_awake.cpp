#include "platform/keep_awake.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace vexo {
namespace {

constexpr const char* kAppName = "Vexo Player";
constexpr const char* kScreenSaverService = "org.freedesktop.ScreenSaver";
constexpr const char* kScreenSaverPath = "/org/freedesktop/ScreenSaver";
constexpr const char* kLoginService = "org.freedesktop.login1";
constexpr const char* kLoginPath = "/org/freedesktop/login1";
constexpr const char* kLoginInterface = "org.freedesktop.login1.Manager";

}  // namespace

TKeepAwake::TKeepAwake(QObject* parent) : QObject(parent) {}

TKeepAwake::~TKeepAwake() {
  Stop();
}

void TKeepAwake::Start(const QString& reason) {
  if (FRunning) return;
  FRunning = true;
  InhibitScreenSaver(reason);
  InhibitSleep(reason);
}

void TKeepAwake::InhibitScreenSaver(const QString& reason) {
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (!bus.isConnected()) return;
  QDBusMessage call = QDBusMessage::createMethodCall(kScreenSaverService, kScreenSaverPath,
                                                     kScreenSaverService, "Inhibit");
  call << QString(kAppName) << reason;
  FScreenSaverCall = new QDBusPendingCallWatcher(bus.asyncCall(call, kCallTimeoutMs), this);
  connect(FScreenSaverCall, &QDBusPendingCallWatcher::finished, this, [this] {
    TakeCookie();
    emit Answered();
  });
}

void TKeepAwake::TakeCookie() {
  if (!FScreenSaverCall) return;
  const QDBusPendingReply<uint> reply = *FScreenSaverCall;
  if (reply.isValid()) FCookie = reply.value();
  FScreenSaverCall->deleteLater();
  FScreenSaverCall = nullptr;
}

void TKeepAwake::InhibitSleep(const QString& reason) {
  QDBusConnection bus = QDBusConnection::systemBus();
  if (!bus.isConnected()) return;
  QDBusMessage call =
      QDBusMessage::createMethodCall(kLoginService, kLoginPath, kLoginInterface, "Inhibit");
  call << QStringLiteral("sleep:idle") << QString(kAppName) << reason << QStringLiteral("block");
  auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, kCallTimeoutMs), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
    w->deleteLater();
    const QDBusPendingReply<QDBusUnixFileDescriptor> reply = *w;
    // The lock lasts as long as the descriptor stays open.
    if (reply.isValid() && FRunning) FSleepLock = reply.value();
    emit Answered();
  });
}

void TKeepAwake::Stop() {
  if (!FRunning) return;
  FRunning = false;
  // An answer still on its way is waited for (briefly), so that what it
  // grants is given back and not left to the service.
  if (FScreenSaverCall) {
    FScreenSaverCall->waitForFinished();
    TakeCookie();
  }
  if (FCookie != 0) {
    QDBusMessage call = QDBusMessage::createMethodCall(kScreenSaverService, kScreenSaverPath,
                                                       kScreenSaverService, "UnInhibit");
    call << FCookie;
    // Waited for (briefly): the program may end right after this, and the
    // message must have left by then.
    QDBusConnection::sessionBus().call(call, QDBus::Block, kCallTimeoutMs);
    FCookie = 0;
  }
  FSleepLock = QDBusUnixFileDescriptor();
}

}  // namespace vexo

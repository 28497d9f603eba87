#include "platform/single_instance.h"

#include <unistd.h>

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>
#include <memory>

#include "platform/hand_over_message.h"

namespace vexo {
namespace {

constexpr int kHandOverMs = 1000;

QString DefaultFolder() {
  QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
  if (folder.isEmpty()) folder = QDir::tempPath();
  return folder;
}

}  // namespace

TSingleInstance::TSingleInstance(const QString& folder, QObject* parent) : QObject(parent) {
  const QString dir = folder.isEmpty() ? DefaultFolder() : folder;
  // The user id keeps users of one machine apart where the folder is shared.
  const QString name = QStringLiteral("SI_VEXOPLAYER-%1").arg(::getuid());
  FServerPath = QDir(dir).filePath(name);
  FLockPath = FServerPath + QStringLiteral(".lock");
}

TSingleInstance::~TSingleInstance() {
  EndStart();
}

TSingleInstance::TStart TSingleInstance::Begin(int waitMs, const QStringList& files) {
  FLock = std::make_unique<QLockFile>(FLockPath);
  // Age never makes the lock stale; a lock left by a process that died is
  // taken over all the same.
  FLock->setStaleLockTime(0);
  // A lock file that cannot be made at all (unwritable folder) leaves
  // nothing to wait for: the start goes on without it.
  if (!FLock->tryLock(waitMs) && FLock->error() == QLockFile::LockFailedError) {
    FLock.reset();
    return siStillStarting;
  }
  if (HandOver(files)) {
    EndStart();
    return siHandedOver;
  }
  Listen();
  return siFirst;
}

void TSingleInstance::EndStart() {
  if (FLock) FLock->unlock();
  FLock.reset();
}

bool TSingleInstance::HandOver(const QStringList& files) {
  QLocalSocket socket;
  socket.connectToServer(FServerPath);
  // A socket file left by a program that ended refuses the connection.
  if (!socket.waitForConnected(kHandOverMs)) return false;
  socket.write(EncodeHandOver(files));
  const bool sent = socket.waitForBytesWritten(kHandOverMs);
  socket.disconnectFromServer();
  if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(kHandOverMs);
  return sent;
}

bool TSingleInstance::Listen() {
  FServer = new QLocalServer(this);
  FServer->setSocketOptions(QLocalServer::UserAccessOption);
  QLocalServer::removeServer(FServerPath);
  connect(FServer, &QLocalServer::newConnection, this, &TSingleInstance::Accept);
  return FServer->listen(FServerPath);
}

void TSingleInstance::Accept() {
  while (QLocalSocket* socket = FServer->nextPendingConnection()) {
    // The message is complete when the sender hangs up.
    auto message = std::make_shared<QByteArray>();
    const auto cutOffUnheard = [socket, message] {
      message->clear();
      socket->abort();
    };
    // A start of this program hangs up within a second; a client that keeps
    // the line open is not one, and would otherwise hold its socket for as
    // long as the program runs.
    auto* limit = new QTimer(socket);
    limit->setSingleShot(true);
    connect(limit, &QTimer::timeout, socket, cutOffUnheard);
    limit->start(FSilentClientMs);
    connect(socket, &QLocalSocket::readyRead, this, [socket, message, cutOffUnheard] {
      *message += socket->readAll();
      // Anything that long is not a start of this program.
      if (message->size() > kHandOverLimit) cutOffUnheard();
    });
    connect(socket, &QLocalSocket::disconnected, this, [this, socket, message] {
      if (message->size() <= kHandOverLimit) *message += socket->readAll();
      socket->deleteLater();
      const THandOver handOver = DecodeHandOver(*message);
      if (!handOver.Valid) return;
      emit SecondInstance();
      if (!handOver.Files.isEmpty()) emit FilesHandedOver(handOver.Files);
    });
  }
}

}  // namespace vexo

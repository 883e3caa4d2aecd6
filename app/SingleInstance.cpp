#include "app/SingleInstance.h"

#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

namespace corvane {
namespace {

constexpr QByteArrayView kRequest = "reopen\n";
constexpr QByteArrayView kAnswer = "ok\n";
constexpr int kAnswerWaitMs = 5000;

}  // namespace

SingleInstance::SingleInstance(QString folder)
    : folder_(std::move(folder)), lock_(folder_ + QStringLiteral("/corvane.lock")) {
  // Held for the life of the program: only a dead holder makes it stale, never its age.
  lock_.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() {
  if (server_) server_->close();  // removes the socket
}

QString SingleInstance::socketPath() const {
  return folder_ + QStringLiteral("/corvane.socket");
}
QString SingleInstance::lockPath() const {
  return folder_ + QStringLiteral("/corvane.lock");
}

QString SingleInstance::defaultFolder() {
  QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  // Without a runtime folder, the one scripts/run makes and hands the program in that case: a
  // copy started either way finds the other.
  if (runtime.isEmpty() || !QDir::isAbsolutePath(runtime)) {
    runtime = QDir::tempPath() + QStringLiteral("/corvane-runtime-%1").arg(::getuid());
  }
  return runtime + QStringLiteral("/corvane");
}

// The folder and the one it is in exist (or are made), belong to this user and are closed to
// others: no one else can plant a lock or a socket that would keep Corvane from starting.
bool SingleInstance::usableFolder() const {
  const auto privateFolder = [](const QString& path) {
    if (!QDir().mkpath(path)) return false;
    const QFileInfo info(path);
    if (!info.isDir() || info.isSymLink() || info.ownerId() != ::getuid()) return false;
    return QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  };
  const QString parent = QFileInfo(folder_).absolutePath();
  const bool parentIsOurs = QFileInfo(parent).ownerId() == ::getuid() || privateFolder(parent);
  return parentIsOurs && privateFolder(folder_);
}

SingleInstance::Claim SingleInstance::claim() {
  if (!usableFolder()) return Claim::unchecked;
  if (lock_.tryLock(0)) {
    listen();
    return Claim::first;
  }
  if (lock_.error() != QLockFile::LockFailedError) return Claim::unchecked;
  return handOver();
}

void SingleInstance::listen() {
  server_ = std::make_unique<QLocalServer>();
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  QLocalServer::removeServer(socketPath());    // left by a copy that crashed
  if (!server_->listen(socketPath())) return;  // later copies will find no answer
  QObject::connect(server_.get(), &QLocalServer::newConnection, server_.get(), [this] {
    while (QLocalSocket* peer = server_->nextPendingConnection()) {
      QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
      QObject::connect(peer, &QLocalSocket::readyRead, peer, [this, peer] {
        if (!peer->canReadLine()) return;
        const QByteArray line = peer->readLine(64);
        if (line == kRequest && handler_) handler_();
        peer->write(kAnswer.data(), kAnswer.size());
        peer->disconnectFromServer();
      });
    }
  });
}

SingleInstance::Claim SingleInstance::handOver() {
  // The running copy may have taken the lock and not be listening yet: try for a while.
  const QDeadlineTimer deadline(kAnswerWaitMs);
  while (!deadline.hasExpired()) {
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (socket.waitForConnected(
            static_cast<int>(std::min<qint64>(deadline.remainingTime(), 500)))) {
      socket.write(kRequest.data(), kRequest.size());
      socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()));
      while (!socket.canReadLine() &&
             socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
      }
      return socket.readLine(64) == kAnswer ? Claim::handedOver : Claim::noAnswer;
    }
    // The holder may have just died: then its lock is stale and this copy is the one.
    if (lock_.tryLock(0)) {
      listen();
      return Claim::first;
    }
    QThread::msleep(50);
  }
  return Claim::noAnswer;
}

}  // namespace corvane

// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>

#include <sys/socket.h>
#include <unistd.h>

namespace kvorn {

namespace {
// A request is one short word; anything longer is not from a start of ours.
constexpr qint64 kMaxRequestBytes = 256;

bool fromSameUser(const QLocalSocket &socket)
{
    struct ucred peer = {};
    socklen_t size = sizeof peer;
    return ::getsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) ==
               0 &&
           peer.uid == ::getuid();
}

QString foreignServerText(const QString &name)
{
    return QStringLiteral("%1 is served by a process of another user; starting without "
                          "handing over to it")
        .arg(name);
}
} // namespace

SingleInstance::SingleInstance(const QString &key, const QString &runtimeFolder, QObject *parent)
    : QObject(parent)
{
    const QByteArray hash =
        QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    // Qt makes the runtime folder private (0700) when $XDG_RUNTIME_DIR is not set, and
    // refuses one that belongs to somebody else.
    QString folder = runtimeFolder.isEmpty()
                         ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)
                         : runtimeFolder;
    if (folder.isEmpty())
        folder = key;
    m_name = QStringLiteral("%1/kvorn-%2").arg(folder, QString::fromLatin1(hash));
    m_lock = std::make_unique<QLockFile>(m_name + QStringLiteral(".lock"));
    // Only a lock whose process is gone is stale, however long the program has run.
    m_lock->setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::isFirst() const
{
    return m_lock->isLocked();
}

SingleInstance::Role SingleInstance::claimOrSend(const QByteArray &request, int waitMs)
{
    const QDeadlineTimer deadline(waitMs);
    while (true) {
        if (m_lock->tryLock(0)) {
            if (!listen())
                m_error = QStringLiteral("cannot listen on %1").arg(m_name);
            return Role::First;
        }
        if (m_lock->error() != QLockFile::LockFailedError) {
            // No lock can be had here at all (a read-only folder): be the instance when
            // nobody answers, as a program without the lock would.
            m_error = QStringLiteral("cannot lock %1").arg(m_lock->fileName());
            if (sendToRunning(request))
                return Role::Second;
            if (m_foreignServer)
                m_error = foreignServerText(m_name);
            else
                listen();
            return Role::First;
        }
        if (sendToRunning(request))
            return Role::Second;
        if (m_foreignServer) {
            // Somebody else's program holds the name: waiting would not change that, and
            // the user's own K-Vorn must run all the same.
            m_error = foreignServerText(m_name);
            return Role::First;
        }
        if (deadline.hasExpired())
            return Role::Failed;
        QThread::msleep(50);
    }
}

bool SingleInstance::sendToRunning(const QByteArray &request)
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(1000))
        return false;
    // A request goes only to a program of the same user: whoever else listens under the
    // name would be taken for the running instance, and this start would end for nothing.
    m_foreignServer = !fromSameUser(socket);
    if (m_foreignServer) {
        socket.abort();
        return false;
    }
    socket.write(request + '\n');
    if (!socket.waitForBytesWritten(1000))
        return false;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(1000);
    return true;
}

bool SingleInstance::listen()
{
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // We hold the lock: a socket file still there was left by an instance that crashed.
    QLocalServer::removeServer(m_name);
    if (!m_server->listen(m_name))
        return false;
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            if (!fromSameUser(*socket)) {
                socket->abort();
                continue;
            }
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] { takeRequests(socket); });
        }
    });
    return true;
}

void SingleInstance::takeRequests(QLocalSocket *socket)
{
    QList<QByteArray> requests;
    while (socket->canReadLine()) {
        const QByteArray line = socket->readLine(kMaxRequestBytes).trimmed();
        if (!line.isEmpty())
            requests.append(line);
    }
    if (socket->bytesAvailable() > kMaxRequestBytes)
        socket->abort();
    if (requests.isEmpty())
        return;
    // Handled once this slot has returned: a request may end the program behind a modal
    // box, whose event loop deletes the socket; nothing may touch it after that.
    QMetaObject::invokeMethod(
        this,
        [this, requests] {
            for (const QByteArray &request : requests)
                Q_EMIT requestReceived(request);
        },
        Qt::QueuedConnection);
}

} // namespace kvorn

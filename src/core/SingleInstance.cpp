#include "core/SingleInstance.h"

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace kvorn {

SingleInstance::SingleInstance(const QString &key, QObject *parent) : QObject(parent)
{
    const QByteArray hash =
        QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    m_name = QStringLiteral("kvorn-%1-%2").arg(getuid()).arg(QString::fromLatin1(hash));
}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::otherInstanceRunning() const
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    return socket.waitForConnected(500);
}

bool SingleInstance::sendToRunning(const QByteArray &request) const
{
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(1000))
        return false;
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
    if (!m_server->listen(m_name)) {
        // A socket file left by a crashed instance: nobody answered, so it is stale.
        QLocalServer::removeServer(m_name);
        if (!m_server->listen(m_name))
            return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                while (socket->canReadLine()) {
                    const QByteArray line = socket->readLine().trimmed();
                    if (!line.isEmpty())
                        Q_EMIT requestReceived(line);
                }
            });
        }
    });
    return true;
}

} // namespace kvorn

#include "mail/TcpClientSocket.h"

#include <QTcpSocket>

namespace kvorn {

namespace {
// The numbers users and help texts know from the classic socket control.
int classicNumber(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return 10061;
    case QAbstractSocket::RemoteHostClosedError:
        return 10054;
    case QAbstractSocket::HostNotFoundError:
        return 11001;
    case QAbstractSocket::SocketTimeoutError:
        return 10060;
    case QAbstractSocket::NetworkError:
        return 10051;
    case QAbstractSocket::SocketAccessError:
        return 10013;
    case QAbstractSocket::SocketResourceError:
        return 10055;
    case QAbstractSocket::AddressInUseError:
        return 10048;
    case QAbstractSocket::UnsupportedSocketOperationError:
        return 10045;
    default:
        return 10053;
    }
}
} // namespace

TcpClientSocket::TcpClientSocket(QObject *parent) : QObject(parent)
{
    // A fresh socket per connection keeps a late event of an old connection from
    // reaching the next dialogue.
}

TcpClientSocket::~TcpClientSocket()
{
    Close();
}

void TcpClientSocket::Close()
{
    m_pending.clear();
    if (!m_socket)
        return;
    QTcpSocket *old = m_socket;
    m_socket = nullptr;
    old->disconnect(this);
    // Lets queued commands (a log-off) go out before the connection ends.
    old->disconnectFromHost();
    if (old->state() == QAbstractSocket::UnconnectedState) {
        old->deleteLater();
    } else {
        connect(old, &QAbstractSocket::disconnected, old, &QObject::deleteLater);
        connect(old, &QAbstractSocket::errorOccurred, old, &QObject::deleteLater);
    }
}

void TcpClientSocket::Connect(const QString &host, quint16 port)
{
    Close();
    m_socket = new QTcpSocket(this);
    connect(m_socket, &QTcpSocket::readyRead, this, &TcpClientSocket::onReadyRead);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &TcpClientSocket::onError);
    m_socket->connectToHost(host, port);
}

bool TcpClientSocket::SendData(const QByteArray &data)
{
    if (!m_socket || m_socket->state() == QAbstractSocket::UnconnectedState)
        return false;
    // While still connecting, the socket buffers the data and sends it once connected.
    return m_socket->write(data) == data.size();
}

QByteArray TcpClientSocket::GetData()
{
    QByteArray data;
    data.swap(m_pending);
    if (m_socket)
        data.append(m_socket->readAll());
    return data;
}

bool TcpClientSocket::isOpen() const
{
    return m_socket && m_socket->state() != QAbstractSocket::UnconnectedState;
}

void TcpClientSocket::onReadyRead()
{
    Q_EMIT DataArrival(m_socket ? m_socket->bytesAvailable() + m_pending.size() : 0);
}

void TcpClientSocket::onError()
{
    QTcpSocket *socket = m_socket;
    if (!socket)
        return;
    const QAbstractSocket::SocketError error = socket->error();
    const QString description = socket->errorString();
    // Whatever the server sent before it closed still belongs to the dialogue, and comes
    // first.
    m_pending.append(socket->readAll());
    if (!m_pending.isEmpty())
        Q_EMIT DataArrival(m_pending.size());
    if (m_socket == socket)
        Q_EMIT Error(classicNumber(error), description);
}

} // namespace kvorn

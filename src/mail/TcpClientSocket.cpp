// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/TcpClientSocket.h"

#include <QSslSocket>

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

QString joined(const QStringList &texts)
{
    return texts.join(QStringLiteral("; "));
}
} // namespace

TcpClientSocket::TcpClientSocket(QObject *parent)
    : QObject(parent), m_sslConfiguration(QSslConfiguration::defaultConfiguration())
{
    // A fresh socket per connection keeps a late event of an old connection from
    // reaching the next dialogue.
}

TcpClientSocket::~TcpClientSocket()
{
    Close();
}

void TcpClientSocket::setSslConfiguration(const QSslConfiguration &configuration)
{
    m_sslConfiguration = configuration;
}

void TcpClientSocket::Close()
{
    m_pending.clear();
    m_sslErrors.clear();
    if (!m_socket)
        return;
    QSslSocket *old = m_socket;
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

QSslSocket *TcpClientSocket::newSocket()
{
    Close();
    m_socket = new QSslSocket(this);
    m_socket->setSslConfiguration(m_sslConfiguration);
    // Whatever the configuration says: a server that cannot prove who it is gets no
    // password.
    m_socket->setPeerVerifyMode(QSslSocket::VerifyPeer);
    connect(m_socket, &QSslSocket::readyRead, this, &TcpClientSocket::onReadyRead);
    connect(m_socket, &QSslSocket::errorOccurred, this, &TcpClientSocket::onError);
    connect(m_socket, &QSslSocket::encrypted, this, &TcpClientSocket::Encrypted);
    // Only noted: the errors are never ignored, so the handshake fails and `onError`
    // reports them.
    connect(m_socket, &QSslSocket::sslErrors, this, [this](const QList<QSslError> &errors) {
        for (const QSslError &e : errors)
            m_sslErrors.append(e.errorString());
    });
    return m_socket;
}

void TcpClientSocket::Connect(const QString &host, quint16 port)
{
    m_host = host;
    newSocket()->connectToHost(host, port);
}

void TcpClientSocket::ConnectEncrypted(const QString &host, quint16 port)
{
    m_host = host;
    newSocket()->connectToHostEncrypted(host, port);
}

void TcpClientSocket::StartTls()
{
    if (!m_socket || m_socket->state() != QAbstractSocket::ConnectedState ||
        m_socket->isEncrypted())
        return;
    // Plain text that came with or after the server's consent is not from the verified
    // server (an injected reply); the socket would hand it out once encrypted.
    m_pending.clear();
    m_socket->readAll();
    m_socket->startClientEncryption();
}

bool TcpClientSocket::SendData(const QByteArray &data)
{
    if (!m_socket || m_socket->state() == QAbstractSocket::UnconnectedState)
        return false;
    // While still connecting (or in the handshake), the socket buffers the data and sends
    // it once it can.
    return m_socket->write(data) == data.size();
}

bool TcpClientSocket::hasLineBreak(const QString &text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

bool TcpClientSocket::SendCommand(const QString &command)
{
    if (hasLineBreak(command))
        return false;
    return SendData(command.toUtf8() + "\r\n");
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

bool TcpClientSocket::isEncrypted() const
{
    return m_socket && m_socket->isEncrypted();
}

void TcpClientSocket::onReadyRead()
{
    Q_EMIT DataArrival(m_socket ? m_socket->bytesAvailable() + m_pending.size() : 0);
}

void TcpClientSocket::onError()
{
    QSslSocket *socket = m_socket;
    if (!socket)
        return;
    const QAbstractSocket::SocketError error = socket->error();
    QString description = socket->errorString();
    if (!m_sslErrors.isEmpty()) {
        description = QStringLiteral("The certificate of %1 was not accepted: %2")
                          .arg(m_host, joined(m_sslErrors));
    } else if (error == QAbstractSocket::SslHandshakeFailedError ||
               error == QAbstractSocket::SslInternalError) {
        description = QStringLiteral("No secure connection to %1: %2").arg(m_host, description);
    }
    // Whatever the server sent before it closed still belongs to the dialogue, and comes
    // first.
    m_pending.append(socket->readAll());
    if (!m_pending.isEmpty())
        Q_EMIT DataArrival(m_pending.size());
    if (m_socket == socket)
        Q_EMIT Error(classicNumber(error), description);
}

} // namespace kvorn

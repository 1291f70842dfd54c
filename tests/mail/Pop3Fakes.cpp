// SPDX-License-Identifier: GPL-3.0-or-later
#include "Pop3Fakes.h"

#include <QSslSocket>
#include <QTimer>

namespace kvorn::test {

namespace {
/// With a certificate, hands out sockets that can turn to TLS in the middle of a
/// dialogue (plain TCP until then); without one, the plain sockets of the other tests.
class StartTlsCapableServer : public QTcpServer
{
public:
    StartTlsCapableServer(const QSslCertificate &certificate, QObject *parent)
        : QTcpServer(parent), m_certificate(certificate)
    {
    }

protected:
    void incomingConnection(qintptr descriptor) override
    {
        if (m_certificate.isNull()) {
            QTcpServer::incomingConnection(descriptor);
            return;
        }
        auto *socket = new QSslSocket(this);
        if (socket->setSocketDescriptor(descriptor))
            addPendingConnection(socket);
        else
            delete socket;
    }

private:
    const QSslCertificate &m_certificate;
};
} // namespace

ScriptedPop3Server::ScriptedPop3Server(QObject *parent)
    : QObject(parent), m_server(new StartTlsCapableServer(tlsCertificate, this))
{
    respond = mailbox(0, sampleMessage);
    connect(m_server, &QTcpServer::newConnection, this, &ScriptedPop3Server::onConnection);
}

bool ScriptedPop3Server::listen()
{
    return m_server->listen(QHostAddress::LocalHost, 0);
}

QString ScriptedPop3Server::hostPort() const
{
    return QStringLiteral("127.0.0.1:%1").arg(port());
}

void ScriptedPop3Server::onConnection()
{
    while (QTcpSocket *s = m_server->nextPendingConnection()) {
        ++connections;
        s->setParent(this);
        connect(s, &QTcpSocket::readyRead, this, [this, s] { onReadyRead(s); });
        connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
        connect(s, &QObject::destroyed, this, [this, s] { m_waiting.remove(s); });
        send(s, Answer{greeting, false, greetingChunk, greetingChunkDelayMs});
    }
}

void ScriptedPop3Server::onReadyRead(QTcpSocket *socket)
{
    while (socket->canReadLine()) {
        QByteArray line = socket->readLine();
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        commands.append(line);
        m_waiting[socket].commands.append(line);
    }
    answerWaiting(socket);
}

void ScriptedPop3Server::answerWaiting(QTcpSocket *socket)
{
    Waiting &w = m_waiting[socket];
    while (!w.sending && !w.commands.isEmpty()) {
        const int busyMs = send(socket, respond(w.commands.takeFirst()));
        if (busyMs <= 0)
            continue;
        m_waiting[socket].sending = true;
        QTimer::singleShot(busyMs + 1, this, [this, s = QPointer<QTcpSocket>(socket)] {
            if (!s || !m_waiting.contains(s))
                return;
            m_waiting[s].sending = false;
            answerWaiting(s);
        });
        return;
    }
}

int ScriptedPop3Server::send(QTcpSocket *socket, const Answer &answer)
{
    if (answer.delayMs > 0) {
        Answer later = answer;
        later.delayMs = 0;
        int rest = 0;
        if (later.chunk > 0)
            rest = int((later.bytes.size() + later.chunk - 1) / later.chunk) * later.chunkDelayMs;
        QTimer::singleShot(answer.delayMs, this, [this, s = QPointer<QTcpSocket>(socket), later] {
            if (s)
                send(s, later);
        });
        return answer.delayMs + rest;
    }
    if (answer.chunk <= 0) {
        socket->write(answer.bytes);
        if (answer.startTls)
            startTls(socket);
        if (answer.close)
            socket->disconnectFromHost();
        return 0;
    }
    // Pieces in separate writes with pauses, so that they arrive separately.
    QPointer<QTcpSocket> s(socket);
    int delay = 0;
    for (qsizetype at = 0; at < answer.bytes.size(); at += answer.chunk) {
        const QByteArray piece = answer.bytes.mid(at, answer.chunk);
        const bool last = at + answer.chunk >= answer.bytes.size();
        QTimer::singleShot(delay, this, [s, piece, last, close = answer.close] {
            if (!s)
                return;
            s->write(piece);
            s->flush();
            if (last && close)
                s->disconnectFromHost();
        });
        delay += answer.chunkDelayMs;
    }
    return delay;
}

void ScriptedPop3Server::startTls(QTcpSocket *socket)
{
    auto *ssl = qobject_cast<QSslSocket *>(socket);
    if (!ssl)
        return;
    ssl->setLocalCertificate(tlsCertificate);
    ssl->setPrivateKey(tlsKey);
    connect(ssl, &QSslSocket::encrypted, this, [this] { ++encryptedConnections; });
    ssl->startServerEncryption();
}

QByteArray ScriptedPop3Server::sampleMessage(int n)
{
    return QStringLiteral("Received: from relay%1.example.test\r\n"
                          "From: Sender %1 <sender%1@example.test>\r\n"
                          "To: user@example.test\r\n"
                          "Subject: Message %1\r\n"
                          "Date: Wed, 9 Dec 2026 10:00:00 +0000\r\n"
                          "\r\n"
                          "Body of message %1.\r\n")
        .arg(n)
        .toUtf8();
}

ScriptedPop3Server::Responder ScriptedPop3Server::mailbox(int count,
                                                          std::function<QByteArray(int)> message)
{
    return [count, message](const QByteArray &command) -> Answer {
        const QList<QByteArray> words = command.split(' ');
        const QByteArray verb = words.value(0).toUpper();
        if (verb == "USER" || verb == "PASS" || verb == "RSET")
            return {"+OK\r\n"};
        if (verb == "STAT")
            return {"+OK " + QByteArray::number(count) + " 1000\r\n"};
        if (verb == "QUIT")
            return {"+OK bye\r\n", true};
        const int n = words.value(1).toInt();
        if (n < 1 || n > count)
            return {"-ERR no such message\r\n"};
        if (verb == "UIDL")
            return {"+OK " + QByteArray::number(n) + " uid-" + QByteArray::number(n) + "\r\n"};
        if (verb == "RETR" || verb == "TOP") {
            QByteArray text = message(n);
            QByteArray out = "+OK message follows\r\n" + text;
            if (!out.endsWith("\r\n"))
                out += "\r\n";
            return {out + ".\r\n"};
        }
        return {"-ERR unknown command\r\n"};
    };
}

ScriptedPop3Server::Responder ScriptedPop3Server::withCapabilities(Responder inner,
                                                                   QByteArray capabilities)
{
    return [inner = std::move(inner), capabilities](const QByteArray &command) -> Answer {
        if (command == "CAPA")
            return {"+OK Capability list follows\r\n" + capabilities + ".\r\n"};
        return inner(command);
    };
}

// --- recording proxy -------------------------------------------------------------------

RecordingProxy::RecordingProxy(quint16 targetPort, QObject *parent)
    : QObject(parent), m_target(targetPort)
{
    connect(&m_server, &QTcpServer::newConnection, this, &RecordingProxy::onConnection);
}

bool RecordingProxy::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QString RecordingProxy::hostPort() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_server.serverPort());
}

QList<QByteArray> RecordingProxy::commands() const
{
    QList<QByteArray> out;
    for (QByteArray line : clientBytes.split('\n')) {
        if (line.isEmpty())
            continue;
        if (line.endsWith('\r'))
            line.chop(1);
        out.append(line);
    }
    return out;
}

void RecordingProxy::onConnection()
{
    while (QTcpSocket *client = m_server.nextPendingConnection()) {
        client->setParent(this);
        auto *server = new QTcpSocket(this);
        connect(client, &QTcpSocket::readyRead, this, [this, client, server] {
            const QByteArray data = client->readAll();
            clientBytes += data;
            server->write(data);
        });
        connect(server, &QTcpSocket::readyRead, this,
                [client, server] { client->write(server->readAll()); });
        connect(client, &QTcpSocket::disconnected, server, &QTcpSocket::disconnectFromHost);
        connect(server, &QTcpSocket::disconnected, client, &QTcpSocket::disconnectFromHost);
        server->connectToHost(QHostAddress::LocalHost, m_target);
    }
}

} // namespace kvorn::test

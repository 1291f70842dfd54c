// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <QSslKey>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>

namespace kvorn::test {

/// A small POP3 server of the tests' own on 127.0.0.1, for the faults a real server does
/// not produce. Each connection gets the greeting; each command line received (without
/// its CR LF) is recorded when it arrives and answered by `respond` in turn: as with a real
/// server, a command is answered only after the answer before it was sent in full.
class ScriptedPop3Server : public QObject
{
    Q_OBJECT

public:
    /// What to do with a command.
    struct Answer
    {
        QByteArray bytes;      ///< sent as is
        bool close = false;    ///< close the connection after sending
        int chunk = 0;         ///< > 0: send in pieces of this many bytes, each in its own write
        int chunkDelayMs = 2;  ///< pause between pieces
        int delayMs = 0;       ///< pause before answering
        bool startTls = false; ///< after sending, begin the TLS handshake (server side)
    };
    using Responder = std::function<Answer(const QByteArray &command)>;

    explicit ScriptedPop3Server(QObject *parent = nullptr);
    bool listen();
    quint16 port() const { return m_server->serverPort(); }
    QString hostPort() const;

    QByteArray greeting = "+OK scripted ready\r\n";
    /// Greeting sent in pieces (split arrival) when > 0.
    int greetingChunk = 0;
    int greetingChunkDelayMs = 2;
    /// Answers a command; the default logs on anyone and has an empty mailbox.
    Responder respond;
    /// Every command line received, over all connections.
    QList<QByteArray> commands;
    int connections = 0;
    /// What an answer with `startTls` encrypts with; set both before `listen`.
    QSslCertificate tlsCertificate;
    QSslKey tlsKey;
    /// Connections whose TLS handshake completed.
    int encryptedConnections = 0;

    /// A mailbox of `count` messages, message n made by `message(n)`: answers USER, PASS,
    /// STAT, RETR, TOP, UIDL ("+OK n uid-n") and QUIT.
    static Responder mailbox(int count, std::function<QByteArray(int)> message);
    /// Answers "CAPA" with `capabilities` (lines ending in CR LF) and passes the rest on.
    static Responder withCapabilities(Responder inner, QByteArray capabilities);
    /// A message text of the test mailboxes.
    static QByteArray sampleMessage(int n);

private:
    void onConnection();
    void onReadyRead(QTcpSocket *socket);
    void answerWaiting(QTcpSocket *socket);
    /// Returns after how many milliseconds the last byte goes out.
    int send(QTcpSocket *socket, const Answer &answer);
    void startTls(QTcpSocket *socket);

    QTcpServer *m_server;
    struct Waiting
    {
        QList<QByteArray> commands;
        bool sending = false;
    };
    QHash<QTcpSocket *, Waiting> m_waiting;
};

/// Passes a POP3 dialogue through to a real server and records the client's commands.
class RecordingProxy : public QObject
{
    Q_OBJECT

public:
    RecordingProxy(quint16 targetPort, QObject *parent = nullptr);
    bool listen();
    QString hostPort() const;
    /// The client's command lines, without CR LF.
    QList<QByteArray> commands() const;
    /// Everything the client sent.
    QByteArray clientBytes;

private:
    void onConnection();

    QTcpServer m_server;
    quint16 m_target;
};

} // namespace kvorn::test

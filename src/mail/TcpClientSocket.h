// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QSslConfiguration>
#include <QString>

class QSslSocket;

namespace kvorn {

/// The mail filter's TCP client socket: connect (plain or TLS), send, take what arrived,
/// close; the events arrive on the thread that runs the user interface.
class TcpClientSocket : public QObject
{
    Q_OBJECT

public:
    explicit TcpClientSocket(QObject *parent = nullptr);
    ~TcpClientSocket() override;

    /// Ends any connection; harmless when none is open. Pending data is dropped.
    void Close();
    /// Starts a connection and returns at once; the greeting later arrives as data.
    void Connect(const QString &host, quint16 port);
    /// Starts a TLS connection and returns at once; the greeting arrives as data once the
    /// server's certificate was verified for `host`.
    void ConnectEncrypted(const QString &host, quint16 port);
    /// Turns the open plain connection into a TLS one (after the server agreed to "STLS").
    /// Whatever arrived in plain text and was not taken yet is dropped: it would otherwise
    /// pass for an answer from the verified server. `Encrypted` tells the handshake's end.
    void StartTls();
    /// Sends bytes unchanged (the caller adds CR LF). False when no connection is open.
    bool SendData(const QByteArray &data);
    /// Sends one command line and adds CR LF. A command holding CR or LF is refused and
    /// nothing is sent: a line break inside a field (a pasted password) would otherwise
    /// reach the server as a command of its own, "DELE" included.
    bool SendCommand(const QString &command);
    /// True when the text holds a character that would end a command line early.
    static bool hasLineBreak(const QString &text);
    /// Everything received since the last call, as received (decrypted under TLS).
    QByteArray GetData();
    /// True while connecting or connected.
    bool isOpen() const;
    /// True once the TLS handshake of the open connection is done.
    bool isEncrypted() const;

    /// The TLS settings of later connections: the system's CAs unless a test trusts its
    /// own. The server's certificate and host name are verified whatever this says.
    void setSslConfiguration(const QSslConfiguration &configuration);

Q_SIGNALS:
    /// Data came in; `bytesTotal` is how much waits to be taken with `GetData`.
    void DataArrival(qint64 bytesTotal);
    /// A connection or transfer failure, numbered as the classic socket errors are; a
    /// refused certificate or handshake carries the reasons in `description`.
    void Error(int number, const QString &description);
    /// The TLS handshake is done and the server's certificate accepted.
    void Encrypted();

private:
    QSslSocket *newSocket();
    void onReadyRead();
    void onError();

    QSslSocket *m_socket = nullptr;
    QByteArray m_pending;
    QSslConfiguration m_sslConfiguration;
    QString m_host;
    /// What the certificate check found wrong on the current connection.
    QStringList m_sslErrors;
};

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TestCertificates.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace kvorn::test {

/// A real Dovecot POP3 server on 127.0.0.1 for one test: its own configuration, users
/// file and Maildirs in a temporary folder, a free port, stopped by its process id.
class DovecotServer
{
public:
    DovecotServer();
    ~DovecotServer();
    DovecotServer(const DovecotServer &) = delete;
    DovecotServer &operator=(const DovecotServer &) = delete;

    /// True when the Dovecot program is installed.
    static bool available();

    /// Adds a user with a plain password and an empty Maildir.
    void addUser(const QString &user, const QString &password);
    /// Puts a message into the user's Maildir. Bare LF line ends become CR LF unless
    /// `rawLineEnds`. Messages are numbered by the server in the order they were added.
    void addMessage(const QString &user, const QByteArray &message, bool rawLineEnds = false);
    /// Serves TLS as well: STLS on the plain port and implicit TLS on `tlsPort()`, with a
    /// certificate for `subjectAltName` signed by a CA made for this server. Call before
    /// `start`.
    void enableTls(const QString &subjectAltName = QStringLiteral("IP:127.0.0.1"));
    /// Starts the server and waits until it accepts connections. False (error set) when it
    /// does not come up.
    bool start(QString *error = nullptr);
    /// Stops the server (SIGTERM to its process, then waits).
    void stop();

    quint16 port() const { return m_port; }
    /// "127.0.0.1:port", the form an account's POP3 server takes.
    QString hostPort() const;
    /// The implicit-TLS (POP3S) listener, 0 without `enableTls`.
    quint16 tlsPort() const { return m_tlsPort; }
    /// The test CA and the server's certificate.
    const TestCertificates &certificates() const { return m_certificates; }
    /// The message files still in the user's Maildir.
    QStringList messageFiles(const QString &user) const;
    /// Dovecot's log.
    QString log() const;
    QString dir() const { return m_dir.path(); }

private:
    QString userHome(const QString &user) const;
    void fixOwnership();

    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    quint16 m_tlsPort = 0;
    QString m_tlsSubjectAltName;
    TestCertificates m_certificates;
    int m_messageSerial = 0;
    QStringList m_users;
};

} // namespace kvorn::test

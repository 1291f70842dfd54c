// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "TestCertificates.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace kvorn::test {

/// A real FTP server (pyftpdlib) on 127.0.0.1 for one test: its own root folder in a
/// temporary folder, a port the server picked itself, passive mode, stopped by its
/// process id. Every command it receives is written to a log, so a test can see what
/// went over the wire.
class PyFtpServer
{
public:
    PyFtpServer();
    ~PyFtpServer();
    PyFtpServer(const PyFtpServer &) = delete;
    PyFtpServer &operator=(const PyFtpServer &) = delete;

    /// True when python3 with pyftpdlib is installed.
    static bool available();

    /// The account that may read and write everything below the root. Call before start.
    void setAccount(const QString &user, const QString &password);
    /// Makes the server send file data at most this many bytes a second (0: no limit).
    void setSendLimit(int bytesPerSecond);
    /// Starts the server and waits until it accepts connections. False (error set) when
    /// it does not come up.
    bool start(QString *error = nullptr);
    /// Stops the server (SIGTERM to its process, then waits).
    void stop();

    quint16 port() const { return m_port; }
    /// The server's process, for a test that ends it from another thread.
    qint64 processId() const { return m_process.processId(); }
    QString user() const { return m_user; }
    QString password() const { return m_password; }
    /// The folder served as "/".
    QString root() const;
    /// Writes a file below the root (folders made as needed).
    bool putFile(const QString &relativePath, const QByteArray &bytes) const;
    /// The bytes of a file below the root; nothing when it does not exist.
    QByteArray fileBytes(const QString &relativePath) const;
    /// The commands the server received, one per line, arguments of PASS hidden.
    QStringList commands() const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    QString m_user = QStringLiteral("upd");
    QString m_password = QStringLiteral("updpass");
    int m_sendLimit = 0;
};

/// vsftpd on 127.0.0.1 serving anonymous downloads over FTPS only (TLS required on the
/// control and the data connection), with a certificate signed by a CA made for the run.
/// vsftpd runs as root; `available()` is false elsewhere.
class VsftpdServer
{
public:
    VsftpdServer();
    ~VsftpdServer();
    VsftpdServer(const VsftpdServer &) = delete;
    VsftpdServer &operator=(const VsftpdServer &) = delete;

    static bool available();

    /// Puts a file into the anonymous root. Call before start.
    bool putFile(const QString &name, const QByteArray &bytes) const;
    /// Plain FTP instead of TLS (still anonymous). Call before start.
    void setPlain(bool plain) { m_plain = plain; }
    /// TLS from the first byte instead of AUTH TLS. Call before start.
    void setImplicit(bool implicit) { m_implicit = implicit; }
    /// The folder "incoming/" where anonymous uploads may land and replace files.
    QString incoming() const;
    bool start(QString *error = nullptr);
    void stop();

    quint16 port() const { return m_port; }
    const TestCertificates &certificates() const { return m_certificates; }
    QString log() const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
    bool m_plain = false;
    bool m_implicit = false;
    TestCertificates m_certificates;
};

/// tinyproxy on 127.0.0.1, allowing CONNECT to any port, logging every request.
class TinyproxyServer
{
public:
    TinyproxyServer();
    ~TinyproxyServer();
    TinyproxyServer(const TinyproxyServer &) = delete;
    TinyproxyServer &operator=(const TinyproxyServer &) = delete;

    static bool available();

    bool start(QString *error = nullptr);
    void stop();

    quint16 port() const { return m_port; }
    QString log() const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    quint16 m_port = 0;
};

/// A port on 127.0.0.1 that nobody listens on at the moment.
quint16 freeLocalPort();

} // namespace kvorn::test

// SPDX-License-Identifier: GPL-3.0-or-later
#include "FtpTestServers.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <grp.h>
#include <pwd.h>
#include <sys/types.h>
#include <unistd.h>

namespace kvorn::test {

namespace {

// Debian's python3, which carries pyftpdlib; another python3 on PATH may not.
const QString kPython = QStringLiteral("/usr/bin/python3");

// Prints the port it listens on, then serves. Commands go to a log file as they arrive.
const char kPyFtpScript[] = R"PY(
import sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer

root, user, password, limit, log = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4]), sys.argv[5]
authorizer = DummyAuthorizer()
authorizer.add_user(user, password, root, perm="elradfmwMT")

class Handler(FTPHandler):
    def pre_process_command(self, line, cmd, arg):
        with open(log, "a") as f:
            f.write((cmd + " ***" if cmd == "PASS" else line) + "\n")
        return FTPHandler.pre_process_command(self, line, cmd, arg)

Handler.authorizer = authorizer
Handler.banner = "K-Vorn test server ready."
if limit > 0:
    dtp = ThrottledDTPHandler
    dtp.write_limit = limit
    Handler.dtp_handler = dtp
server = FTPServer(("127.0.0.1", 0), Handler)
print(server.socket.getsockname()[1], flush=True)
server.serve_forever()
)PY";

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QString readText(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

bool answers(quint16 port, const QByteArray &greetingStart)
{
    QTcpSocket probe;
    probe.connectToHost(QHostAddress::LocalHost, port);
    if (!probe.waitForConnected(500))
        return false;
    if (greetingStart.isEmpty())
        return true;
    const bool ok = probe.waitForReadyRead(3000) && probe.readAll().startsWith(greetingStart);
    probe.abort();
    return ok;
}

void stopProcess(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate(); // SIGTERM to the process we started, by its id
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(2000);
    }
}

QString findProgram(const QString &name)
{
    QString p = QStandardPaths::findExecutable(name);
    if (p.isEmpty())
        p = QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"),
                                                  QStringLiteral("/usr/bin")});
    return p;
}

void openUp(const QString &folder)
{
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                      QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                      QFile::ExeOther);
}

} // namespace

quint16 freeLocalPort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

// ---- pyftpdlib

PyFtpServer::PyFtpServer()
{
    QDir().mkpath(root());
}

PyFtpServer::~PyFtpServer()
{
    stop();
}

bool PyFtpServer::available()
{
    if (!QFileInfo::exists(kPython))
        return false;
    QProcess p;
    p.start(kPython, {QStringLiteral("-c"), QStringLiteral("import pyftpdlib")});
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit &&
           p.exitCode() == 0;
}

void PyFtpServer::setAccount(const QString &user, const QString &password)
{
    m_user = user;
    m_password = password;
}

void PyFtpServer::setSendLimit(int bytesPerSecond)
{
    m_sendLimit = bytesPerSecond;
}

QString PyFtpServer::root() const
{
    return m_dir.path() + QStringLiteral("/root");
}

bool PyFtpServer::putFile(const QString &relativePath, const QByteArray &bytes) const
{
    return writeFile(root() + QLatin1Char('/') + relativePath, bytes);
}

QByteArray PyFtpServer::fileBytes(const QString &relativePath) const
{
    QFile f(root() + QLatin1Char('/') + relativePath);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList PyFtpServer::commands() const
{
    return readText(m_dir.path() + QStringLiteral("/commands.log"))
        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool PyFtpServer::start(QString *error)
{
    const auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        stop();
        return false;
    };
    const QString script = m_dir.path() + QStringLiteral("/server.py");
    if (!writeFile(script, QByteArray(kPyFtpScript)))
        return fail(QStringLiteral("cannot write the server script"));
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start(kPython, {script, root(), m_user, m_password, QString::number(m_sendLimit),
                              m_dir.path() + QStringLiteral("/commands.log")});
    if (!m_process.waitForStarted(5000))
        return fail(QStringLiteral("python3 did not start: %1").arg(m_process.errorString()));
    const QDeadlineTimer deadline(15000);
    QByteArray line;
    while (!line.contains('\n') && !deadline.hasExpired()) {
        if (m_process.state() != QProcess::Running)
            return fail(QStringLiteral("pyftpdlib ended: %1")
                            .arg(QString::fromLocal8Bit(m_process.readAllStandardError())));
        m_process.waitForReadyRead(200);
        line += m_process.readAllStandardOutput();
    }
    m_port = quint16(line.trimmed().toUInt());
    if (m_port == 0)
        return fail(QStringLiteral("pyftpdlib named no port: %1").arg(QString::fromLatin1(line)));
    while (!deadline.hasExpired()) {
        if (answers(m_port, "220"))
            return true;
        QThread::msleep(50);
    }
    return fail(QStringLiteral("pyftpdlib does not answer on port %1").arg(m_port));
}

void PyFtpServer::stop()
{
    stopProcess(m_process);
}

// ---- vsftpd

VsftpdServer::VsftpdServer()
{
    openUp(m_dir.path());
    QDir().mkpath(m_dir.path() + QStringLiteral("/anon"));
    QDir().mkpath(m_dir.path() + QStringLiteral("/empty"));
    openUp(m_dir.path() + QStringLiteral("/anon"));
    openUp(m_dir.path() + QStringLiteral("/empty"));
    // The root must not be writable by the anonymous user; one folder below it is.
    QDir().mkpath(incoming());
    openUp(incoming());
    if (const passwd *pw = getpwnam("ftp"); pw && geteuid() == 0) {
        if (::chown(QFile::encodeName(incoming()).constData(), pw->pw_uid, pw->pw_gid) != 0)
            qWarning("cannot hand the upload folder to ftp");
    }
}

QString VsftpdServer::incoming() const
{
    return m_dir.path() + QStringLiteral("/anon/incoming");
}

VsftpdServer::~VsftpdServer()
{
    stop();
}

bool VsftpdServer::available()
{
    return geteuid() == 0 && !findProgram(QStringLiteral("vsftpd")).isEmpty() &&
           getpwnam("ftp") != nullptr && TestCertificates::available();
}

bool VsftpdServer::putFile(const QString &name, const QByteArray &bytes) const
{
    const QString path = m_dir.path() + QStringLiteral("/anon/") + name;
    if (!writeFile(path, bytes))
        return false;
    return QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                           QFile::ReadOther);
}

bool VsftpdServer::start(QString *error)
{
    const auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        stop();
        return false;
    };
    const QString d = m_dir.path();
    QString tls = QStringLiteral("ssl_enable=NO\n");
    if (!m_plain) {
        QDir().mkpath(d + QStringLiteral("/tls"));
        QString why;
        if (!m_certificates.make(d + QStringLiteral("/tls"), QStringLiteral("IP:127.0.0.1"),
                                 &why))
            return fail(why);
        tls = QStringLiteral("ssl_enable=YES\n"
                             "allow_anon_ssl=YES\n"
                             "force_anon_logins_ssl=YES\n"
                             "force_anon_data_ssl=YES\n"
                             "require_ssl_reuse=NO\n"
                             "ssl_ciphers=HIGH\n"
                             "rsa_cert_file=%1\n"
                             "rsa_private_key_file=%2\n"
                             "%3")
                  .arg(m_certificates.certificateFile(), m_certificates.keyFile(),
                       m_implicit ? QStringLiteral("implicit_ssl=YES\n") : QString());
    }
    m_port = freeLocalPort();
    if (m_port == 0)
        return fail(QStringLiteral("no free port"));
    const QString config = QStringLiteral("listen=YES\n"
                                          "listen_ipv6=NO\n"
                                          "listen_address=127.0.0.1\n"
                                          "listen_port=%1\n"
                                          "background=NO\n"
                                          "anonymous_enable=YES\n"
                                          "anon_root=%2/anon\n"
                                          "no_anon_password=YES\n"
                                          "local_enable=NO\n"
                                          "write_enable=YES\n"
                                          "anon_upload_enable=YES\n"
                                          "anon_other_write_enable=YES\n"
                                          "anon_umask=022\n"
                                          "ftp_username=ftp\n"
                                          "secure_chroot_dir=%2/empty\n"
                                          "seccomp_sandbox=NO\n"
                                          "xferlog_enable=YES\n"
                                          "log_ftp_protocol=YES\n"
                                          "vsftpd_log_file=%2/vsftpd.log\n"
                                          "%3")
                               .arg(m_port)
                               .arg(d, tls);
    const QString configFile = d + QStringLiteral("/vsftpd.conf");
    if (!writeFile(configFile, config.toUtf8()))
        return fail(QStringLiteral("cannot write %1").arg(configFile));
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(findProgram(QStringLiteral("vsftpd")), {configFile});
    if (!m_process.waitForStarted(5000))
        return fail(QStringLiteral("vsftpd did not start: %1").arg(m_process.errorString()));
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        if (m_process.state() != QProcess::Running)
            return fail(QStringLiteral("vsftpd ended: %1")
                            .arg(QString::fromLocal8Bit(m_process.readAll())));
        // With implicit TLS the greeting comes only after a handshake.
        if (answers(m_port, m_implicit ? QByteArray() : QByteArray("220")))
            return true;
        QThread::msleep(50);
    }
    return fail(QStringLiteral("vsftpd does not answer on port %1").arg(m_port));
}

void VsftpdServer::stop()
{
    stopProcess(m_process);
}

QString VsftpdServer::log() const
{
    return readText(m_dir.path() + QStringLiteral("/vsftpd.log"));
}

// ---- tinyproxy

TinyproxyServer::TinyproxyServer()
{
    openUp(m_dir.path());
}

TinyproxyServer::~TinyproxyServer()
{
    stop();
}

bool TinyproxyServer::available()
{
    return !findProgram(QStringLiteral("tinyproxy")).isEmpty();
}

bool TinyproxyServer::start(QString *error)
{
    const auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        stop();
        return false;
    };
    const QString d = m_dir.path();
    const QString logFile = d + QStringLiteral("/tinyproxy.log");
    if (!writeFile(logFile, QByteArray()))
        return fail(QStringLiteral("cannot write the log"));
    QString user;
    if (geteuid() == 0) {
        // tinyproxy drops to this user and must still write its log.
        const passwd *pw = getpwnam("nobody");
        const group *gr = getgrnam("nogroup");
        if (!pw || !gr)
            return fail(QStringLiteral("no user nobody"));
        if (::chown(QFile::encodeName(logFile).constData(), pw->pw_uid, gr->gr_gid) != 0)
            return fail(QStringLiteral("cannot hand the log to nobody"));
        user = QStringLiteral("User nobody\nGroup nogroup\n");
    }
    m_port = freeLocalPort();
    if (m_port == 0)
        return fail(QStringLiteral("no free port"));
    // No ConnectPort lines: CONNECT may reach any port, as FTP's passive data ports need.
    const QString config = QStringLiteral("Port %1\n"
                                          "Listen 127.0.0.1\n"
                                          "Allow 127.0.0.1\n"
                                          "Timeout 60\n"
                                          "LogFile \"%2\"\n"
                                          "LogLevel Info\n"
                                          "MaxClients 20\n"
                                          "%3")
                               .arg(m_port)
                               .arg(logFile, user);
    const QString configFile = d + QStringLiteral("/tinyproxy.conf");
    if (!writeFile(configFile, config.toUtf8()))
        return fail(QStringLiteral("cannot write %1").arg(configFile));
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(findProgram(QStringLiteral("tinyproxy")),
                    {QStringLiteral("-d"), QStringLiteral("-c"), configFile});
    if (!m_process.waitForStarted(5000))
        return fail(QStringLiteral("tinyproxy did not start: %1").arg(m_process.errorString()));
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        if (m_process.state() != QProcess::Running)
            return fail(QStringLiteral("tinyproxy ended: %1 %2")
                            .arg(QString::fromLocal8Bit(m_process.readAll()), log()));
        if (answers(m_port, {}))
            return true;
        QThread::msleep(50);
    }
    return fail(QStringLiteral("tinyproxy does not answer on port %1").arg(m_port));
}

void TinyproxyServer::stop()
{
    stopProcess(m_process);
}

QString TinyproxyServer::log() const
{
    return readText(m_dir.path() + QStringLiteral("/tinyproxy.log"));
}

} // namespace kvorn::test

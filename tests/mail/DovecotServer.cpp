// SPDX-License-Identifier: GPL-3.0-or-later
#include "DovecotServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
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
QString dovecotProgram()
{
    QString p = QStandardPaths::findExecutable(QStringLiteral("dovecot"));
    if (p.isEmpty())
        p = QStandardPaths::findExecutable(QStringLiteral("dovecot"),
                                           {QStringLiteral("/usr/sbin")});
    return p;
}

quint16 freePort(quint16 besides = 0)
{
    QTcpServer probe;
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (!probe.listen(QHostAddress::LocalHost, 0))
            return 0;
        if (probe.serverPort() != besides)
            return probe.serverPort();
        probe.close();
    }
    return 0;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
} // namespace

DovecotServer::DovecotServer()
{
    // Dovecot's unprivileged processes must be able to walk into the folder.
    QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                            QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                            QFile::ExeOther);
    for (const char *sub : {"run", "state", "home"})
        QDir().mkpath(m_dir.path() + QLatin1Char('/') + QLatin1String(sub));
}

DovecotServer::~DovecotServer()
{
    stop();
}

bool DovecotServer::available()
{
    return !dovecotProgram().isEmpty();
}

QString DovecotServer::userHome(const QString &user) const
{
    return m_dir.path() + QStringLiteral("/home/") + user;
}

void DovecotServer::addUser(const QString &user, const QString &password)
{
    m_users.append(user + QStringLiteral(":{PLAIN}") + password + QStringLiteral("::::"));
    for (const char *sub : {"new", "cur", "tmp"})
        QDir().mkpath(userHome(user) + QStringLiteral("/Maildir/") + QLatin1String(sub));
}

void DovecotServer::addMessage(const QString &user, const QByteArray &message, bool rawLineEnds)
{
    QByteArray bytes = message;
    if (!rawLineEnds) {
        bytes.replace("\r\n", "\n");
        bytes.replace("\n", "\r\n");
    }
    // Dovecot numbers new mail in the order of the names' time stamps.
    const int n = ++m_messageSerial;
    const QString name = QStringLiteral("%1.M%2P1.kvorn").arg(1000000000 + n).arg(n);
    writeFile(userHome(user) + QStringLiteral("/Maildir/new/") + name, bytes);
}

void DovecotServer::fixOwnership()
{
    if (geteuid() != 0)
        return;
    const passwd *pw = getpwnam("nobody");
    const group *gr = getgrnam("nogroup");
    if (!pw || !gr)
        return;
    const QString home = m_dir.path() + QStringLiteral("/home");
    if (::chown(QFile::encodeName(home).constData(), pw->pw_uid, gr->gr_gid) != 0)
        return;
    QDirIterator it(home, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (::chown(QFile::encodeName(path).constData(), pw->pw_uid, gr->gr_gid) != 0)
            return;
    }
}

void DovecotServer::enableTls(const QString &subjectAltName)
{
    m_tlsSubjectAltName = subjectAltName;
}

bool DovecotServer::start(QString *error)
{
    const auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        stop();
        return false;
    };
    const QString program = dovecotProgram();
    if (program.isEmpty())
        return fail(QStringLiteral("dovecot is not installed"));
    m_port = freePort();
    if (m_port == 0)
        return fail(QStringLiteral("no free port"));

    const QString d = m_dir.path();
    QString ssl = QStringLiteral("ssl = no\n");
    QString tlsListener;
    if (!m_tlsSubjectAltName.isEmpty()) {
        QString why;
        if (!m_certificates.make(d, m_tlsSubjectAltName, &why))
            return fail(why);
        m_tlsPort = freePort(m_port);
        if (m_tlsPort == 0)
            return fail(QStringLiteral("no free port for TLS"));
        ssl = QStringLiteral("ssl = yes\n"
                             "ssl_cert = <%1\n"
                             "ssl_key = <%2\n")
                  .arg(m_certificates.certificateFile(), m_certificates.keyFile());
        if (QFile::exists(QStringLiteral("/usr/share/dovecot/dh.pem")))
            ssl += QStringLiteral("ssl_dh = </usr/share/dovecot/dh.pem\n");
        tlsListener = QStringLiteral("  inet_listener pop3s {\n"
                                     "    port = %1\n"
                                     "    ssl = yes\n"
                                     "  }\n")
                          .arg(m_tlsPort);
    }
    const bool root = geteuid() == 0;
    QString userdb;
    QString unprivileged;
    if (root) {
        userdb = QStringLiteral("uid=nobody gid=nogroup home=%1/home/%u").arg(d);
    } else {
        const passwd *pw = getpwuid(geteuid());
        const group *gr = getgrgid(getegid());
        const QString u = QString::fromLocal8Bit(pw ? pw->pw_name : "nobody");
        const QString g = QString::fromLocal8Bit(gr ? gr->gr_name : "nogroup");
        userdb = QStringLiteral("uid=%1 gid=%2 home=%3/home/%u").arg(u, g, d);
        unprivileged = QStringLiteral("default_login_user = %1\n"
                                      "default_internal_user = %1\n"
                                      "default_internal_group = %2\n")
                           .arg(u, g);
    }
    const QString config =
        QStringLiteral("base_dir = %1/run\n"
                       "state_dir = %1/state\n"
                       "log_path = %1/dovecot.log\n"
                       "protocols = pop3\n"
                       "listen = 127.0.0.1\n"
                       "%7"
                       "disable_plaintext_auth = no\n"
                       "auth_mechanisms = plain login\n"
                       "auth_failure_delay = 0\n"
                       "%2"
                       "passdb {\n"
                       "  driver = passwd-file\n"
                       "  args = scheme=PLAIN username_format=%u %1/users\n"
                       "}\n"
                       "userdb {\n"
                       "  driver = static\n"
                       "  args = %3\n"
                       "}\n"
                       "mail_location = maildir:~/Maildir\n"
                       "service pop3-login {\n"
                       "  inet_listener pop3 {\n"
                       "    port = %4\n"
                       "  }\n"
                       "%8"
                       "%5"
                       "}\n"
                       "%6")
            .arg(d, unprivileged, userdb)
            .arg(m_port)
            .arg(root ? QString() : QStringLiteral("  chroot =\n"),
                 root ? QString() : QStringLiteral("service anvil {\n  chroot =\n}\n"))
            .arg(ssl, tlsListener);
    const QString configFile = d + QStringLiteral("/dovecot.conf");
    if (!writeFile(configFile, config.toUtf8()))
        return fail(QStringLiteral("cannot write %1").arg(configFile));
    if (!writeFile(d + QStringLiteral("/users"),
                   (m_users.join(QLatin1Char('\n')) + u'\n').toUtf8()))
        return fail(QStringLiteral("cannot write the users file"));
    fixOwnership();

    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.start(program, {QStringLiteral("-F"), QStringLiteral("-c"), configFile});
    if (!m_process.waitForStarted(5000))
        return fail(QStringLiteral("dovecot did not start: %1").arg(m_process.errorString()));

    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        if (m_process.state() != QProcess::Running)
            return fail(QStringLiteral("dovecot ended: %1 %2")
                            .arg(QString::fromLocal8Bit(m_process.readAll()), log()));
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, m_port);
        if (probe.waitForConnected(200) && probe.waitForReadyRead(2000) &&
            probe.readAll().startsWith("+OK")) {
            probe.abort();
            return true;
        }
        QThread::msleep(50);
    }
    return fail(QStringLiteral("dovecot does not answer on port %1: %2").arg(m_port).arg(log()));
}

void DovecotServer::stop()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate(); // SIGTERM to the process we started, by its id
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

QString DovecotServer::hostPort() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

QStringList DovecotServer::messageFiles(const QString &user) const
{
    QStringList files;
    for (const char *sub : {"new", "cur"}) {
        const QDir dir(userHome(user) + QStringLiteral("/Maildir/") + QLatin1String(sub));
        for (const QString &f : dir.entryList(QDir::Files))
            files.append(QLatin1String(sub) + QLatin1Char('/') + f);
    }
    return files;
}

QString DovecotServer::log() const
{
    QFile f(m_dir.path() + QStringLiteral("/dovecot.log"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

} // namespace kvorn::test

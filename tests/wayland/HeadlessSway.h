// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A Wayland compositor of the test's own: sway on its headless backend (no screen, no
// input devices, software rendering), and foot terminal windows as its clients. sway will
// not run as root, so under root it runs as "nobody" in a folder of its own; the test
// reaches its socket by absolute path and never touches the caller's session.
//
//   kvorn::test::HeadlessSway sway;
//   QVERIFY2(sway.isReady(), qPrintable(sway.errorText()));
//   kvorn::WaylandWindowSystem windows(sway.socket().constData());
//   kvorn::test::FootWindow w(sway, "chromium", "Free Casino Bonus - Chromium");

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>
#include <QThread>

#include <pwd.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace kvorn::test {

class HeadlessSway
{
public:
    HeadlessSway()
    {
        if (!m_dir.isValid()) {
            m_error = QStringLiteral("no temporary folder");
            return;
        }
        const QString dir = m_dir.path();
        const QString run = dir + QStringLiteral("/run");
        const QString config = dir + QStringLiteral("/config");
        // An empty configuration: no bar, no key bindings, nothing started.
        QFile(config).open(QIODevice::WriteOnly);
        ::chmod(QFile::encodeName(dir).constData(), 0755);
        ::chmod(QFile::encodeName(config).constData(), 0644);
        QDir().mkpath(run);
        ::chmod(QFile::encodeName(run).constData(), 0700);
        QDir().mkpath(dir + QStringLiteral("/client"));
        ::chmod(QFile::encodeName(dir + QStringLiteral("/client")).constData(), 0700);

        QStringList args;
        QString program = QStringLiteral("env");
        if (::geteuid() == 0) {
            const passwd *nobody = ::getpwnam("nobody");
            if (!nobody) {
                m_error = QStringLiteral("no user \"nobody\" to run sway as");
                return;
            }
            if (::chown(QFile::encodeName(run).constData(), nobody->pw_uid, nobody->pw_gid) != 0) {
                m_error = QStringLiteral("cannot hand the runtime folder to \"nobody\": %1")
                              .arg(QString::fromLocal8Bit(std::strerror(errno)));
                return;
            }
            program = QStringLiteral("setpriv");
            args = {QStringLiteral("--reuid=%1").arg(nobody->pw_uid),
                    QStringLiteral("--regid=%1").arg(nobody->pw_gid),
                    QStringLiteral("--clear-groups"),
                    QStringLiteral("--pdeathsig"), QStringLiteral("TERM"), QStringLiteral("--"),
                    QStringLiteral("env")};
        } else {
            m_sway.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        }
        args << QStringLiteral("-i") << QStringLiteral("HOME=") + dir
             << QStringLiteral("XDG_RUNTIME_DIR=") + run << QStringLiteral("PATH=/usr/bin:/bin")
             << QStringLiteral("WLR_BACKENDS=headless") << QStringLiteral("WLR_RENDERER=pixman")
             << QStringLiteral("WLR_LIBINPUT_NO_DEVICES=1") << QStringLiteral("sway")
             << QStringLiteral("-c") << config;
        m_sway.setProcessChannelMode(QProcess::MergedChannels);
        m_sway.start(program, args);
        if (!m_sway.waitForStarted(5000)) {
            m_error = QStringLiteral("sway does not start: ") + m_sway.errorString();
            return;
        }
        QDeadlineTimer deadline(15000);
        while (!deadline.hasExpired() && m_sway.state() == QProcess::Running) {
            const QStringList sockets =
                QDir(run).entryList({QStringLiteral("wayland-*")}, QDir::System);
            for (const QString &name : sockets) {
                if (!name.endsWith(QLatin1String(".lock")))
                    m_socket = QFile::encodeName(run + QLatin1Char('/') + name);
            }
            if (!m_socket.isEmpty())
                return;
            QThread::msleep(20);
        }
        m_error = QStringLiteral("sway made no socket: ") +
                  QString::fromLocal8Bit(m_sway.readAll().right(2000));
        m_socket.clear();
    }
    ~HeadlessSway()
    {
        if (m_sway.state() != QProcess::NotRunning) {
            m_sway.terminate();
            if (!m_sway.waitForFinished(3000)) {
                m_sway.kill();
                m_sway.waitForFinished(3000);
            }
        }
    }
    HeadlessSway(const HeadlessSway &) = delete;
    HeadlessSway &operator=(const HeadlessSway &) = delete;

    bool isReady() const { return !m_socket.isEmpty() && m_sway.state() == QProcess::Running; }
    QString errorText() const { return m_error; }
    /// The compositor's socket, an absolute path.
    QByteArray socket() const { return m_socket; }
    /// The environment of a client of this compositor.
    QProcessEnvironment clientEnvironment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.insert(QStringLiteral("WAYLAND_DISPLAY"), QString::fromLocal8Bit(m_socket));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path() + QStringLiteral("/client"));
        return env;
    }
    /// A scratch folder for the test's own files.
    QString folder() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QProcess m_sway;
    QByteArray m_socket;
    QString m_error;
};

/// A foot terminal window with a chosen app id and title, its shell doing nothing. With
/// `titleFifo`, the shell waits for a line on that FIFO and makes it the window's title.
class FootWindow
{
public:
    FootWindow(const HeadlessSway &sway, const QString &appId, const QString &title,
               const QString &titleFifo = {})
    {
        QStringList args{QStringLiteral("-a"), appId, QStringLiteral("-T"), title};
        if (titleFifo.isEmpty()) {
            args << QStringLiteral("-o") << QStringLiteral("locked-title=yes")
                 << QStringLiteral("sleep") << QStringLiteral("120");
        } else {
            args << QStringLiteral("sh") << QStringLiteral("-c")
                 << QStringLiteral("read t < \"$0\"; printf '\\033]2;%s\\007' \"$t\"; sleep 120")
                 << titleFifo;
        }
        m_process.setProcessEnvironment(sway.clientEnvironment());
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(QStringLiteral("foot"), args);
        m_process.waitForStarted(5000);
    }
    ~FootWindow()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(3000);
        }
    }
    FootWindow(const FootWindow &) = delete;
    FootWindow &operator=(const FootWindow &) = delete;

    bool isRunning() const { return m_process.state() == QProcess::Running; }
    /// Waits for the terminal to end (its window closed); false when it still runs.
    bool waitForEnd(int ms) { return m_process.waitForFinished(ms); }
    QByteArray output() { return m_process.readAll(); }

private:
    QProcess m_process;
};

} // namespace kvorn::test

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// An X display of the test's own: Xvfb on a display number it picks itself (so parallel
// tests never collide and the caller's $DISPLAY is never touched), optionally managed by
// openbox. Everything it starts ends with it, and with the test process if that dies.
//
//   kvorn::test::VirtualDisplay display;            // Xvfb + openbox
//   QVERIFY2(display.isReady(), qPrintable(display.errorText()));
//   kvorn::X11WindowSystem windows(display.name().constData());
//
// Header-only so that the benchmarks can use it as well as the tests.

#include "WindowCrowd.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>
#include <QThread>

#include <xcb/xcb.h>

#include <sys/prctl.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace kvorn::test {

/// Makes a child end when the test process ends, however it ends.
inline void endWithParent(QProcess &process)
{
    process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
}

/// Ends a child politely, then firmly.
inline void stopProcess(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(3000)) {
        process.kill();
        process.waitForFinished(3000);
    }
}

class VirtualDisplay
{
public:
    enum class Manager { Openbox, None };

    explicit VirtualDisplay(Manager manager = Manager::Openbox)
    {
        if (!m_dir.isValid()) {
            m_error = QStringLiteral("no temporary folder");
            return;
        }
        endWithParent(m_server);
        m_server.setProcessChannelMode(QProcess::SeparateChannels);
        // -displayfd: the server takes the first free display number itself and writes it
        // to its standard output once it accepts connections.
        m_server.start(QStringLiteral("Xvfb"),
                       {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                        QStringLiteral("0"), QStringLiteral("1280x800x24"),
                        QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (!m_server.waitForStarted(5000)) {
            m_error = QStringLiteral("Xvfb does not start: ") + m_server.errorString();
            return;
        }
        QByteArray number;
        QDeadlineTimer deadline(10000);
        while (!number.contains('\n') && !deadline.hasExpired() &&
               m_server.state() == QProcess::Running) {
            m_server.waitForReadyRead(100);
            number += m_server.readAllStandardOutput();
        }
        if (!number.contains('\n')) {
            m_error = QStringLiteral("Xvfb gave no display number: ") +
                      QString::fromLocal8Bit(m_server.readAllStandardError());
            return;
        }
        m_name = ':' + number.trimmed();

        m_environment = QProcessEnvironment::systemEnvironment();
        m_environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(m_name));
        // Keep the window manager's files out of the real home.
        m_environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        m_environment.insert(QStringLiteral("XDG_CACHE_HOME"), m_dir.filePath(QStringLiteral("cache")));
        m_environment.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));

        if (manager == Manager::Openbox && !startOpenbox())
            return;
        m_ready = true;
    }

    ~VirtualDisplay()
    {
        stopProcess(m_manager);
        stopProcess(m_server);
    }

    VirtualDisplay(const VirtualDisplay &) = delete;
    VirtualDisplay &operator=(const VirtualDisplay &) = delete;

    /// True once the display (and its window manager, when asked for) is up.
    bool isReady() const { return m_ready; }
    /// What went wrong when it is not ready.
    QString errorText() const { return m_error; }
    /// The display's name, such as ":3".
    QByteArray name() const { return m_name; }
    /// An environment for programs that should run on this display.
    QProcessEnvironment environment() const { return m_environment; }
    /// The X server's process id (for its CPU figures).
    qint64 serverProcessId() const { return m_server.processId(); }

private:
    bool startOpenbox()
    {
        endWithParent(m_manager);
        m_manager.setProcessEnvironment(m_environment);
        m_manager.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_manager.setStandardOutputFile(QProcess::nullDevice());
        m_manager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
        if (!m_manager.waitForStarted(5000)) {
            m_error = QStringLiteral("openbox does not start: ") + m_manager.errorString();
            return false;
        }
        // Ready when it announces itself on the root window and publishes a client list.
        xcb_connection_t *c = xcb_connect(m_name.constData(), nullptr);
        if (xcb_connection_has_error(c)) {
            xcb_disconnect(c);
            m_error = QStringLiteral("cannot connect to ") + QString::fromLatin1(m_name);
            return false;
        }
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        auto intern = [c](const char *text) {
            xcb_intern_atom_reply_t *r = xcb_intern_atom_reply(
                c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(text)), text), nullptr);
            const xcb_atom_t a = r ? r->atom : XCB_NONE;
            std::free(r);
            return a;
        };
        const xcb_atom_t check = intern("_NET_SUPPORTING_WM_CHECK");
        const xcb_atom_t clients = intern("_NET_CLIENT_LIST");
        auto has = [c, root](xcb_atom_t property) {
            xcb_get_property_reply_t *r = xcb_get_property_reply(
                c, xcb_get_property(c, 0, root, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1), nullptr);
            const bool present = r && r->type != XCB_NONE;
            std::free(r);
            return present;
        };
        bool up = false;
        QDeadlineTimer deadline(10000);
        while (!up && !deadline.hasExpired() && m_manager.state() == QProcess::Running) {
            up = has(check) && has(clients);
            if (!up)
                QThread::msleep(20);
        }
        xcb_disconnect(c);
        if (!up) {
            m_error = QStringLiteral("openbox did not take the display");
            return false;
        }
        // Openbox announces itself a moment before it really manages windows, and a window
        // mapped in that moment is never managed: wait until a throwaway window is taken.
        for (int attempt = 0; attempt < 25; ++attempt) {
            WindowCrowd probe(m_name);
            probe.add("probe", "Probe", QStringLiteral("probe"));
            if (probe.waitUntilManaged(200))
                return true;
        }
        m_error = QStringLiteral("openbox does not manage windows");
        return false;
    }

    QTemporaryDir m_dir;
    QProcess m_server;
    QProcess m_manager;
    QByteArray m_name;
    QProcessEnvironment m_environment;
    QString m_error;
    bool m_ready = false;
};

} // namespace kvorn::test

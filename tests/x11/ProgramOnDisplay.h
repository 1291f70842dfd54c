// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The real program on a virtual display of its own, driven with xdotool as a user would:
// started, asked to end, its windows found by their captions, and its stderr kept.
#include "TestEnv.h"
#include "TestWindow.h"
#include "VirtualDisplay.h"
#include "platform/x11/X11WindowSystem.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <memory>

namespace kvorn::test {

class ProgramOnDisplay
{
public:
    static inline const QString kProgram = QStringLiteral(KVORN_BINARY_DIR "/src/app/kvorn");

    /// A private home (with `settings` as kvorn.ini, when given) and a display; start() then
    /// starts the program there.
    explicit ProgramOnDisplay(const QByteArray &settings = {}) : m_env(std::make_unique<TestEnv>())
    {
        if (!settings.isEmpty()) {
            QDir().mkpath(m_env->configFolder() + QStringLiteral("/kvorn"));
            QFile ini(m_env->settingsFile());
            if (ini.open(QIODevice::WriteOnly))
                ini.write(settings);
        }
        m_display = std::make_unique<VirtualDisplay>();
        if (!m_display->isReady())
            return;
        m_windows = std::make_unique<X11WindowSystem>(m_display->name().constData());
        m_environment = QProcessEnvironment::systemEnvironment();
        m_environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(m_display->name()));
        m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        endWithParent(m_program);
        m_program.setProcessEnvironment(m_environment);
    }
    ~ProgramOnDisplay()
    {
        if (m_program.state() == QProcess::Running) {
            run(kProgram, {QStringLiteral("--forceclose")});
            if (!m_program.waitForFinished(15000))
                stopProcess(m_program);
        }
    }

    bool isReady() const { return m_windows != nullptr; }
    QString errorText() const { return m_display->errorText(); }
    TestEnv &env() { return *m_env; }
    VirtualDisplay &display() { return *m_display; }
    X11WindowSystem &windows() { return *m_windows; }
    QProcess &program() { return m_program; }

    /// Starts the program with "/debug" and waits until it says it runs.
    bool start()
    {
        m_err.clear();
        m_program.start(kProgram, {QStringLiteral("/debug")});
        QDeadlineTimer started(15000);
        while (!m_err.contains("running;") && !started.hasExpired() &&
               m_program.state() != QProcess::NotRunning) {
            m_program.waitForReadyRead(100);
            m_err += m_program.readAllStandardError();
        }
        return m_err.contains("running;");
    }
    /// What the program wrote to stderr so far.
    QByteArray errors()
    {
        m_err += m_program.readAllStandardError();
        return m_err;
    }
    void clearErrors()
    {
        errors();
        m_err.clear();
    }

    /// Runs a command on the display; true when it ended with status 0.
    bool run(const QString &command, const QStringList &args)
    {
        QProcess p;
        p.setProcessEnvironment(m_environment);
        p.start(command, args);
        return p.waitForFinished(15000) && p.exitCode() == 0;
    }
    bool xdotool(const QStringList &args) { return run(QStringLiteral("xdotool"), args); }
    bool activate(WindowId id)
    {
        return xdotool(
            {QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(id)});
    }
    /// Holds Ctrl+Shift+`key` for about 300 ms, about three detection ticks.
    bool holdCtrlShift(const char *key)
    {
        const QString k = QString::fromLatin1(key);
        return xdotool({QStringLiteral("keydown"), QStringLiteral("ctrl"),
                        QStringLiteral("keydown"), QStringLiteral("shift"),
                        QStringLiteral("keydown"), k, QStringLiteral("sleep"),
                        QStringLiteral("0.3"), QStringLiteral("keyup"), k, QStringLiteral("keyup"),
                        QStringLiteral("shift"), QStringLiteral("keyup"), QStringLiteral("ctrl")});
    }
    /// The windows with this caption; Qt adds the program's name to it on this desktop.
    QList<WindowId> windowsTitled(const QString &title)
    {
        QList<WindowId> out;
        for (const WindowId id : m_windows->titledWindows()) {
            const QString t = m_windows->title(id);
            if (t == title || t == title + QStringLiteral(" \u2014 K-Vorn"))
                out.append(id);
        }
        return out;
    }
    /// A Chromium window with this page title.
    static TestWindow::Spec browser(const QString &title)
    {
        TestWindow::Spec spec;
        spec.instance = QStringLiteral("chromium");
        spec.windowClass = QStringLiteral("Chromium");
        spec.title = title + QStringLiteral(" - Chromium");
        return spec;
    }
    /// A window that is no browser.
    static TestWindow::Spec terminal()
    {
        TestWindow::Spec spec;
        spec.instance = QStringLiteral("xterm");
        spec.windowClass = QStringLiteral("XTerm");
        spec.title = QStringLiteral("user@host: ~");
        return spec;
    }

private:
    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<VirtualDisplay> m_display;
    std::unique_ptr<X11WindowSystem> m_windows;
    QProcessEnvironment m_environment;
    QProcess m_program;
    QByteArray m_err;
};

} // namespace kvorn::test

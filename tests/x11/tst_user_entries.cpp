// SPDX-License-Identifier: GPL-3.0-or-later
// The real program on a real display as a user meets it: an entry added from the keyboard
// survives the program being killed right after, and neither a box nor a log file that
// cannot be written stops the popup killer.
#include "TestEnv.h"
#include "TestWindow.h"
#include "VirtualDisplay.h"
#include "platform/x11/X11WindowSystem.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

using namespace kvorn;
using namespace kvorn::test;

namespace {
const QString kProgram = QStringLiteral(KVORN_BINARY_DIR "/src/app/kvorn");
}

class TestUserEntries : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<VirtualDisplay> m_display;
    std::unique_ptr<X11WindowSystem> m_windows;
    QProcessEnvironment m_environment;
    QProcess m_program;
    QByteArray m_err;

    bool run(const QString &program, const QStringList &args)
    {
        QProcess p;
        p.setProcessEnvironment(m_environment);
        p.start(program, args);
        return p.waitForFinished(15000) && p.exitCode() == 0;
    }
    bool xdotool(const QStringList &args) { return run(QStringLiteral("xdotool"), args); }
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
    QByteArray errors()
    {
        m_err += m_program.readAllStandardError();
        return m_err;
    }
    // Qt adds the program's name to a window's caption on this desktop.
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
    static TestWindow::Spec browser(const QString &title)
    {
        TestWindow::Spec spec;
        spec.instance = QStringLiteral("chromium");
        spec.windowClass = QStringLiteral("Chromium");
        spec.title = title + QStringLiteral(" - Chromium");
        return spec;
    }
    QByteArray blackList() const
    {
        QFile file(m_env->file(QStringLiteral("spamlist.kbl")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_env = std::make_unique<TestEnv>();
        // No tip window in the way of the keys.
        QDir().mkpath(m_env->configFolder() + QStringLiteral("/kvorn"));
        QFile ini(m_env->settingsFile());
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Options]\nShow Tips at Startup=0\nTipofDay=True\n");
        ini.close();
        m_display = std::make_unique<VirtualDisplay>();
        QVERIFY2(m_display->isReady(), qPrintable(m_display->errorText()));
        m_windows = std::make_unique<X11WindowSystem>(m_display->name().constData());
        m_environment = QProcessEnvironment::systemEnvironment();
        m_environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(m_display->name()));
        m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        endWithParent(m_program);
        m_program.setProcessEnvironment(m_environment);
        QVERIFY2(start(), m_err.constData());
    }

    void cleanupTestCase()
    {
        if (m_program.state() == QProcess::Running) {
            run(kProgram, {QStringLiteral("--forceclose")});
            if (!m_program.waitForFinished(15000))
                stopProcess(m_program);
        }
        m_windows.reset();
        m_display.reset();
        m_env.reset();
    }

    void anAddedEntryOutlivesAKill()
    {
        // Ctrl+A in the main window, the entry typed, Enter for "&Add".
        QVERIFY(run(kProgram, {}));
        QTRY_COMPARE_WITH_TIMEOUT(windowsTitled(QStringLiteral("K-Vorn")).size(), 1, 10000);
        const WindowId main = windowsTitled(QStringLiteral("K-Vorn")).first();
        QVERIFY(xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                         QString::number(main), QStringLiteral("key"), QStringLiteral("ctrl+a")}));
        QTRY_COMPARE_WITH_TIMEOUT(windowsTitled(QStringLiteral("Popup Add")).size(), 1, 5000);
        const WindowId dialog = windowsTitled(QStringLiteral("Popup Add")).first();
        // Longer than the save delay: the dialog's opening is no change worth a save.
        QTest::qWait(2500);
        QVERIFY(xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                         QString::number(dialog), QStringLiteral("type"),
                         QStringLiteral("*roulette*")}));
        QVERIFY(xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
        QTRY_COMPARE_WITH_TIMEOUT(windowsTitled(QStringLiteral("Popup Add")).size(), 0, 5000);

        // On the disk within two seconds, with nobody saving.
        QTRY_VERIFY_WITH_TIMEOUT(blackList().contains("\xff*roulette*\xff"), 2000);
        m_program.kill();
        QVERIFY(m_program.waitForFinished(10000));
        QVERIFY(blackList().contains("\xff*roulette*\xff"));

        // Started again, the entry is there: a matching window is closed.
        QVERIFY2(start(), m_err.constData());
        TestWindow popup(*m_display, browser(QStringLiteral("Roulette Royale")));
        QVERIFY(popup.isShown());
        QTRY_VERIFY_WITH_TIMEOUT(popup.closeRequests() >= 1 || popup.isGone(), 5000);
    }

    void noBoxStopsTheKiller()
    {
        QVERIFY(m_program.state() == QProcess::Running);
        // The log cannot be written (a folder stands in its place): the killer goes on,
        // and the reason is named, not "Unknown error".
        const QString log = m_env->file(QStringLiteral("k-vorn.log"));
        QFile::remove(log);
        QVERIFY(QDir().mkpath(log));
        for (const char *title : {"Roulette One", "Roulette Two"}) {
            TestWindow popup(*m_display, browser(QString::fromLatin1(title)));
            QVERIFY(popup.isShown());
            QTRY_VERIFY_WITH_TIMEOUT(popup.closeRequests() >= 1 || popup.isGone(), 2000);
        }
        QVERIFY2(errors().contains("k-vorn.log: Is a directory"), m_err.constData());

        // A box waits for an answer: the Ctrl+Shift+X box over a window that is no browser.
        TestWindow::Spec spec;
        spec.instance = QStringLiteral("xterm");
        spec.windowClass = QStringLiteral("XTerm");
        spec.title = QStringLiteral("user@host: ~");
        TestWindow terminal(*m_display, spec);
        QVERIFY(terminal.isShown());
        QVERIFY(xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                         QString::number(terminal.id()), QStringLiteral("keydown"),
                         QStringLiteral("ctrl"), QStringLiteral("keydown"), QStringLiteral("shift"),
                         QStringLiteral("keydown"), QStringLiteral("x"), QStringLiteral("sleep"),
                         QStringLiteral("0.3"), QStringLiteral("keyup"), QStringLiteral("x"),
                         QStringLiteral("keyup"), QStringLiteral("shift"), QStringLiteral("keyup"),
                         QStringLiteral("ctrl")}));
        const QString box = QStringLiteral("K-Vorn Hot Kill");
        QTRY_COMPARE_WITH_TIMEOUT(windowsTitled(box).size(), 1, 5000);

        // While it is open, new popups are still found and closed ...
        for (const char *title : {"Roulette Three", "Roulette Four"}) {
            TestWindow popup(*m_display, browser(QString::fromLatin1(title)));
            QVERIFY(popup.isShown());
            QTRY_VERIFY_WITH_TIMEOUT(popup.closeRequests() >= 1 || popup.isGone(), 2000);
        }
        // ... and a second start is answered.
        errors();
        m_err.clear();
        QVERIFY(run(kProgram, {}));
        QTRY_VERIFY_WITH_TIMEOUT(errors().contains("window shown on request"), 5000);
        QCOMPARE(windowsTitled(box).size(), 1);
        QVERIFY(xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                         QString::number(windowsTitled(box).first()), QStringLiteral("key"),
                         QStringLiteral("Return")}));
        QTRY_COMPARE_WITH_TIMEOUT(windowsTitled(box).size(), 0, 5000);
    }
};

QTEST_GUILESS_MAIN(TestUserEntries)
#include "tst_user_entries.moc"

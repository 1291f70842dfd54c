// SPDX-License-Identifier: GPL-3.0-or-later
// Quick add from the keyboard with the real program on a real display: Ctrl+Shift+X held
// as a person holds it (XTEST key presses), over a browser window and over another window.
#include "TestEnv.h"
#include "TestWindow.h"
#include "VirtualDisplay.h"
#include "core/TextFile.h"
#include "platform/x11/X11WindowSystem.h"

#include <QProcess>
#include <QTest>

using namespace kvorn;
using namespace kvorn::test;

namespace {
const QString kProgram = QStringLiteral(KVORN_BINARY_DIR "/src/app/kvorn");
}

class TestQuickAdd : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestEnv> m_env;
    std::unique_ptr<VirtualDisplay> m_display;
    std::unique_ptr<X11WindowSystem> m_windows;
    QProcess m_program;
    QProcessEnvironment m_environment;

    bool run(const QString &program, const QStringList &args)
    {
        QProcess p;
        p.setProcessEnvironment(m_environment);
        p.start(program, args);
        return p.waitForFinished(15000) && p.exitCode() == 0;
    }
    // Holds the chord for about 300 ms, about three detection ticks.
    bool holdCtrlShift(const char *key)
    {
        const QString k = QString::fromLatin1(key);
        return run(QStringLiteral("xdotool"),
                   {QStringLiteral("keydown"), QStringLiteral("ctrl"), QStringLiteral("keydown"),
                    QStringLiteral("shift"), QStringLiteral("keydown"), k,
                    QStringLiteral("sleep"), QStringLiteral("0.3"), QStringLiteral("keyup"), k,
                    QStringLiteral("keyup"), QStringLiteral("shift"), QStringLiteral("keyup"),
                    QStringLiteral("ctrl")});
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
    bool activate(WindowId id)
    {
        return run(QStringLiteral("xdotool"), {QStringLiteral("windowactivate"),
                                                QStringLiteral("--sync"), QString::number(id)});
    }
    QByteArray property(WindowId id, const char *name)
    {
        QProcess p;
        p.setProcessEnvironment(m_environment);
        p.start(QStringLiteral("xprop"),
                {QStringLiteral("-id"), QString::number(id), QString::fromLatin1(name)});
        p.waitForFinished(5000);
        return p.readAllStandardOutput();
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_env = std::make_unique<TestEnv>();
        m_display = std::make_unique<VirtualDisplay>();
        QVERIFY2(m_display->isReady(), qPrintable(m_display->errorText()));
        m_windows = std::make_unique<X11WindowSystem>(m_display->name().constData());
        m_environment = QProcessEnvironment::systemEnvironment();
        m_environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(m_display->name()));
        m_environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        endWithParent(m_program);
        m_program.setProcessEnvironment(m_environment);
        m_program.start(kProgram, {QStringLiteral("/debug")});
        QByteArray err;
        QDeadlineTimer started(15000);
        while (!err.contains("running;") && !started.hasExpired() &&
               m_program.state() != QProcess::NotRunning) {
            m_program.waitForReadyRead(100);
            err += m_program.readAllStandardError();
        }
        QVERIFY2(err.contains("running;"), err.constData());
    }

    void cleanupTestCase()
    {
        if (m_program.state() == QProcess::Running) {
            run(kProgram, {QStringLiteral("--forceclose")});
            m_program.waitForFinished(15000);
        }
        m_windows.reset();
        m_display.reset();
        m_env.reset();
    }

    void onAWindowThatIsNoBrowserOnePressIsOneBox()
    {
        TestWindow::Spec spec;
        spec.instance = QStringLiteral("xterm");
        spec.windowClass = QStringLiteral("XTerm");
        spec.title = QStringLiteral("user@host: ~");
        TestWindow terminal(*m_display, spec);
        QVERIFY(terminal.isShown());
        QVERIFY(activate(terminal.id()));
        QVERIFY(holdCtrlShift("x"));
        const QString box = QStringLiteral("K-Vorn Hot Kill");
        QTRY_COMPARE_WITH_TIMEOUT(windowsTitled(box).size(), 1, 5000);
        QTest::qWait(800); // three ticks read the chord as held: no second box may come
        QCOMPARE(windowsTitled(box).size(), 1);
        QVERIFY(run(QStringLiteral("xdotool"),
                    {QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                     QString::number(windowsTitled(box).first()), QStringLiteral("key"),
                     QStringLiteral("Return")}));
        QTRY_COMPARE_WITH_TIMEOUT(windowsTitled(box).size(), 0, 5000);
    }

    void onABrowserWindowTheAddDialogComesOnTopAndAddsItsTitle()
    {
        TestWindow::Spec spec;
        spec.instance = QStringLiteral("chromium");
        spec.windowClass = QStringLiteral("Chromium");
        spec.title = QStringLiteral("Casino Night - Chromium");
        TestWindow popup(*m_display, spec);
        QVERIFY(popup.isShown());
        QVERIFY(activate(popup.id()));
        QTest::qWait(500); // a survey or two
        QVERIFY(holdCtrlShift("x"));
        const QString caption = QStringLiteral("Popup Add");
        QTRY_COMPARE_WITH_TIMEOUT(windowsTitled(caption).size(), 1, 5000);
        QTest::qWait(800);
        QCOMPARE(windowsTitled(caption).size(), 1);
        const WindowId dialog = windowsTitled(caption).first();
        QTRY_COMPARE_WITH_TIMEOUT(m_windows->foregroundWindow(), dialog, 5000);
        QVERIFY(property(dialog, "_NET_WM_STATE").contains("_NET_WM_STATE_ABOVE"));

        // Enter takes "&Add": the title goes on the black list, and the popup is closed.
        QVERIFY(run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("Return")}));
        QTRY_VERIFY_WITH_TIMEOUT(popup.closeRequests() >= 1 || popup.isGone(), 5000);
        QVERIFY(run(kProgram, {QStringLiteral("--forceclose")}));
        QVERIFY(m_program.waitForFinished(15000));
        const auto lines = readFieldLines(m_env->file(QStringLiteral("spamlist.kbl")));
        QVERIFY(lines);
        QCOMPARE(lines->size(), 1);
        QCOMPARE(lines->first().value(1), QStringLiteral("Casino Night"));
    }
};

QTEST_GUILESS_MAIN(TestQuickAdd)
#include "tst_quickadd.moc"

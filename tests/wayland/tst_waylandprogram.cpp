// SPDX-License-Identifier: GPL-3.0-or-later
// The real program in a Wayland session: it picks the compositor's windows beside the X
// server's, closes a black-listed Wayland window, and says so when it cannot see them.
#include "TestEnv.h"
#include "VirtualDisplay.h"
#include "wayland/HeadlessSway.h"

#include <QProcess>
#include <QTest>

using namespace kvorn::test;

namespace {

const QString kProgram = QStringLiteral(KVORN_BINARY_DIR "/src/app/kvorn");

// The program on the X display (as under XWayland) in a session whose Wayland socket is
// `waylandDisplay`.
struct Program
{
    QProcess process;
    QByteArray err;

    Program(const VirtualDisplay &display, const QString &waylandDisplay)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display.name()));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("WAYLAND_DISPLAY"), waylandDisplay);
        endWithParent(process);
        process.setProcessEnvironment(env);
        process.start(kProgram, {QStringLiteral("--debug")});
    }
    ~Program() { stopProcess(process); }

    bool waitFor(const QByteArray &text, int ms = 15000)
    {
        QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired() && process.state() != QProcess::NotRunning) {
            err += process.readAllStandardError();
            if (err.contains(text))
                return true;
            process.waitForReadyRead(50);
        }
        err += process.readAllStandardError();
        return err.contains(text);
    }
};

} // namespace

class TestWaylandProgram : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void closesBlackListedWaylandWindows()
    {
        TestEnv env;
        env.writeFile(QStringLiteral("spamlist.kbl"), "1\xff*casino*\r\n");
        VirtualDisplay display;
        QVERIFY2(display.isReady(), qPrintable(display.errorText()));
        HeadlessSway sway;
        QVERIFY2(sway.isReady(), qPrintable(sway.errorText()));

        Program program(display, QString::fromLocal8Bit(sway.socket()));
        QVERIFY2(program.waitFor("popup killer sees X11 windows, Wayland windows"),
                 program.err.constData());
        QVERIFY2(program.waitFor("running;"), program.err.constData());

        FootWindow news(sway, QStringLiteral("chromium"), QStringLiteral("News - Chromium"));
        FootWindow popup(sway, QStringLiteral("chromium"),
                         QStringLiteral("Free Casino Bonus - Chromium"));
        QVERIFY2(popup.waitForEnd(10000), program.err.constData());
        QVERIFY(news.isRunning());
        QVERIFY(program.waitFor("Popups Killed: 1"));
    }

    void saysOnceWhenWaylandWindowsCannotBeSeen()
    {
        TestEnv env;
        VirtualDisplay display;
        QVERIFY2(display.isReady(), qPrintable(display.errorText()));
        Program program(display, env.root() + QStringLiteral("/no-compositor"));
        QVERIFY2(program.waitFor("running;"), program.err.constData());
        QVERIFY(program.err.contains("popup killer sees X11 windows, no Wayland windows"));
        QVERIFY2(program.waitFor("Wayland windows cannot be seen"), program.err.constData());
        // The keys are not read in a Wayland session: holding Ctrl would show "Halted".
        QVERIFY(!program.err.contains("Halted"));
    }
};

QTEST_GUILESS_MAIN(TestWaylandProgram)
#include "tst_waylandprogram.moc"

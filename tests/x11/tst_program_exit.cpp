// SPDX-License-Identifier: GPL-3.0-or-later
// Ending the real program on a real display when its settings cannot be saved: the box that
// says so, dismissed from the keyboard as a user would.
#include "TestEnv.h"
#include "Tmpfs.h"
#include "VirtualDisplay.h"

#include <QProcess>
#include <QTest>

using namespace kvorn::test;

namespace {
const QString kProgram = QStringLiteral(KVORN_BINARY_DIR "/src/app/kvorn");
}

class TestProgramExit : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void forceCloseWithFailedSaveEndsCleanly()
    {
        TestEnv env;
        Tmpfs config(env.configFolder() + QStringLiteral("/kvorn"), 1024);
        if (!config.mounted())
            QSKIP("mounting a tmpfs needs root");
        VirtualDisplay display;
        QVERIFY2(display.isReady(), qPrintable(display.errorText()));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display.name()));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));

        QProcess first;
        endWithParent(first);
        first.setProcessEnvironment(environment);
        first.start(kProgram, {QStringLiteral("/debug")});
        QByteArray err;
        QDeadlineTimer started(15000);
        while (!err.contains("running;") && !started.hasExpired() &&
               first.state() != QProcess::NotRunning) {
            first.waitForReadyRead(100);
            err += first.readAllStandardError();
        }
        QVERIFY2(err.contains("running;"), err.constData());
        QVERIFY(config.makeReadOnly());

        QProcess second;
        second.setProcessEnvironment(environment);
        second.start(kProgram, {QStringLiteral("--forceclose")});
        QVERIFY(second.waitForFinished(10000));

        // The save failed, so the running one says so in a box; the user presses Enter.
        // Dismissing it once made the program read a request socket already deleted.
        QProcess press;
        press.setProcessEnvironment(environment);
        press.start(QStringLiteral("xdotool"),
                    {QStringLiteral("search"), QStringLiteral("--sync"),
                     QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                     QStringLiteral("^K-Vorn$"), QStringLiteral("windowactivate"),
                     QStringLiteral("--sync"), QStringLiteral("key"), QStringLiteral("Return")});
        QVERIFY(press.waitForFinished(15000));
        const bool ended = first.waitForFinished(15000);
        err += first.readAllStandardError();
        QVERIFY2(ended, err.constData());
        QVERIFY2(err.contains("asked to end"), err.constData());
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QVERIFY2(first.exitCode() == 0, err.constData());
    }
};

QTEST_GUILESS_MAIN(TestProgramExit)
#include "tst_program_exit.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
// The real program on a real display: the tip window at start-up only when wanted, and
// "--forceclose" ending the program while such a window is open.
#include "TestEnv.h"
#include "VirtualDisplay.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

using namespace kvorn::test;

namespace {
const QString kProgram = QStringLiteral(KVORN_BINARY_DIR "/src/app/kvorn");

/// True when a visible window whose name starts with `name` shows up within `ms`.
bool windowShows(const QProcessEnvironment &environment, const QString &name, int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        QProcess search;
        search.setProcessEnvironment(environment);
        search.start(QStringLiteral("xdotool"), {QStringLiteral("search"),
                                                  QStringLiteral("--onlyvisible"),
                                                  QStringLiteral("--name"), QLatin1Char('^') + name});
        search.waitForFinished(5000);
        if (!search.readAllStandardOutput().trimmed().isEmpty())
            return true;
        QThread::msleep(200);
    }
    return false;
}
} // namespace

class TestShellStartup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tipAtStartup_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<bool>("tipShown");
        QTest::newRow("first start") << QByteArray() << true;
        QTest::newRow("unticked, closed without OK")
            << QByteArray("[Options]\nShow Tips at Startup=0\nTipofDay=True\n") << false;
        QTest::newRow("switched off with OK")
            << QByteArray("[Options]\nShow Tips at Startup=1\nTipofDay=False\n") << false;
    }

    void tipAtStartup()
    {
        QFETCH(QByteArray, settings);
        QFETCH(bool, tipShown);
        TestEnv env;
        if (!settings.isEmpty()) {
            QDir().mkpath(env.configFolder() + QStringLiteral("/kvorn"));
            QFile ini(env.settingsFile());
            QVERIFY(ini.open(QIODevice::WriteOnly));
            ini.write(settings);
        }
        VirtualDisplay display;
        QVERIFY2(display.isReady(), qPrintable(display.errorText()));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(display.name()));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));

        QProcess program;
        endWithParent(program);
        program.setProcessEnvironment(environment);
        program.start(kProgram, {QStringLiteral("/debug")});
        QByteArray err;
        QDeadlineTimer started(15000);
        while (!err.contains("running;") && !started.hasExpired() &&
               program.state() != QProcess::NotRunning) {
            program.waitForReadyRead(100);
            err += program.readAllStandardError();
        }
        QVERIFY2(err.contains("running;"), err.constData());
        QCOMPARE(windowShows(environment, QStringLiteral("Tip of the Day"), tipShown ? 10000 : 1500),
                 tipShown);

        // The main window shown as well: ending must not wait for either to close.
        QProcess second;
        second.setProcessEnvironment(environment);
        second.start(kProgram, {});
        QVERIFY(second.waitForFinished(10000));
        QVERIFY(windowShows(environment, QStringLiteral("K-Vorn"), 10000));
        QProcess end;
        end.setProcessEnvironment(environment);
        end.start(kProgram, {QStringLiteral("--forceclose")});
        QVERIFY(end.waitForFinished(10000));
        const bool ended = program.waitForFinished(15000);
        err += program.readAllStandardError();
        QVERIFY2(ended, err.constData());
        QCOMPARE(program.exitCode(), 0);
    }
};

QTEST_GUILESS_MAIN(TestShellStartup)
#include "tst_shell_startup.moc"

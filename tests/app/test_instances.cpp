// SPDX-License-Identifier: GPL-3.0-or-later
// Two real processes of the program: single instance, wake-up, /forceclose, signals.
#include "TestEnv.h"
#include "Tmpfs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTest>

#include <algorithm>
#include <array>
#include <csignal>

using namespace kvorn::test;

namespace {
const QString kProgram = QStringLiteral(KVORN_BINARY_DIR "/src/app/kvorn");

struct Instance
{
    QProcess process;
    QByteArray err;

    void start(const QStringList &args)
    {
        process.setProgram(kProgram);
        process.setArguments(args);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        process.setProcessEnvironment(env);
        process.start();
    }
    // Waits until stderr holds `text`.
    bool waitFor(const QByteArray &text, int ms = 10000)
    {
        QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired()) {
            err += process.readAllStandardError();
            if (err.contains(text))
                return true;
            if (process.state() == QProcess::NotRunning)
                return false;
            process.waitForReadyRead(100);
        }
        return false;
    }
    ~Instance()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(3000);
        }
    }
};

int runToEnd(const QStringList &args, QByteArray *err = nullptr)
{
    Instance second;
    second.start(args);
    if (!second.process.waitForFinished(10000))
        return -1;
    if (err)
        *err = second.process.readAllStandardError();
    return second.process.exitStatus() == QProcess::NormalExit ? second.process.exitCode() : -2;
}

QString stored(const TestEnv &env, const QString &key)
{
    QSettings ini(env.settingsFile(), QSettings::IniFormat);
    return ini.value(key).toString();
}
} // namespace

class TestInstances : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void helpAndVersion()
    {
        TestEnv env;
        QProcess p;
        p.start(kProgram, {QStringLiteral("--version")});
        QVERIFY(p.waitForFinished(5000));
        QVERIFY(p.readAllStandardOutput().startsWith("K-Vorn "));
        p.start(kProgram, {QStringLiteral("--help")});
        QVERIFY(p.waitForFinished(5000));
        QVERIFY(p.readAllStandardOutput().contains("/forceclose"));
    }

    // A mistyped option must not start the program; Qt's own options still pass.
    void unknownOptionsAreRefused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("double dash") << QStringList{QStringLiteral("--bogus")} << 2;
        QTest::newRow("slash") << QStringList{QStringLiteral("/bogus")} << 2;
        QTest::newRow("word") << QStringList{QStringLiteral("bogus")} << 2;
        QTest::newRow("after ours") << QStringList{QStringLiteral("--debug"), QStringLiteral("-x")}
                                    << 2;
        QTest::newRow("qt option with help")
            << QStringList{QStringLiteral("-platform"), QStringLiteral("offscreen"),
                           QStringLiteral("--help")}
            << 0;
    }
    void unknownOptionsAreRefused()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        TestEnv env;
        QProcess p;
        p.start(kProgram, args);
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitCode(), exitCode);
        if (exitCode == 2) {
            QVERIFY(p.readAllStandardError().contains("Usage: kvorn"));
            QVERIFY(!QFile::exists(env.settingsFile()));
        }
    }

    void secondStartShowsTheRunningWindow()
    {
        TestEnv env;
        Instance first;
        first.start({QStringLiteral("/debug")});
        QVERIFY2(first.waitFor("running;"), first.err.constData());

        QByteArray err;
        QCOMPARE(runToEnd({QStringLiteral("/debug")}, &err), 0);
        QVERIFY2(err.contains("another instance runs; it was asked to show its window"),
                 err.constData());
        QVERIFY2(first.waitFor("window shown on request"), first.err.constData());
        QCOMPARE(first.process.state(), QProcess::Running);
    }

    void forceCloseEndsTheRunningInstanceAndKeepsItsSettings()
    {
        TestEnv env;
        Instance first;
        first.start({QStringLiteral("/debug")});
        QVERIFY2(first.waitFor("running;"), first.err.constData());
        // The tray is on (the default): the end request must still be honoured.
        QCOMPARE(runToEnd({QStringLiteral("/forceclose")}), 0);
        QVERIFY(first.process.waitForFinished(10000));
        QCOMPARE(first.process.exitCode(), 0);
        QCOMPARE(stored(env, QStringLiteral("Options/ForceShow")), QStringLiteral("0"));
        QCOMPARE(stored(env, QStringLiteral("Options/ShowInTray")), QStringLiteral("True"));
    }

    void forceCloseWithoutInstanceLeavesTheRequest()
    {
        TestEnv env;
        QCOMPARE(runToEnd({QStringLiteral("--forceclose")}), 0);
        QCOMPARE(stored(env, QStringLiteral("Options/ForceShow")), QStringLiteral("2"));
        // The next normal start resets it and does not end at once.
        Instance next;
        next.start({QStringLiteral("/debug")});
        QVERIFY2(next.waitFor("running;"), next.err.constData());
        QCOMPARE(stored(env, QStringLiteral("Options/ForceShow")), QStringLiteral("0"));
        QTest::qWait(1800); // one signal-timer period: still running
        QCOMPARE(next.process.state(), QProcess::Running);
    }

    void simultaneousStartsLeaveOneInstance()
    {
        for (int trial = 0; trial < 3; ++trial) {
            TestEnv env;
            std::array<Instance, 5> starts;
            for (Instance &start : starts)
                start.start({QStringLiteral("/debug")});
            // All but one hand their request over and end; one stays and runs.
            int ended = 0;
            QDeadlineTimer deadline(20000);
            while (ended < 4 && !deadline.hasExpired()) {
                QTest::qWait(50);
                ended = int(std::count_if(starts.begin(), starts.end(), [](const Instance &i) {
                    return i.process.state() == QProcess::NotRunning;
                }));
            }
            QTest::qWait(500);
            int running = 0;
            for (Instance &start : starts) {
                if (start.process.state() == QProcess::Running) {
                    ++running;
                    QVERIFY2(start.waitFor("running;"), start.err.constData());
                } else {
                    QCOMPARE(start.process.exitCode(), 0);
                }
            }
            QCOMPARE(running, 1);
        }
    }

    void endBySignalNeverWaitsForTheUser()
    {
        TestEnv env;
        Tmpfs config(env.configFolder() + QStringLiteral("/kvorn"), 1024);
        if (!config.mounted())
            QSKIP("mounting a tmpfs needs root");
        Instance first;
        first.start({QStringLiteral("/debug")});
        QVERIFY2(first.waitFor("running;"), first.err.constData());
        QVERIFY(config.makeReadOnly());
        // The save fails; once a box waited here for a user who is not there, and a second
        // signal started a second save inside it.
        const auto pid = static_cast<pid_t>(first.process.processId());
        ::kill(pid, SIGTERM);
        ::kill(pid, SIGTERM);
        QVERIFY2(first.process.waitForFinished(10000), first.err.constData());
        QCOMPARE(first.process.exitStatus(), QProcess::NormalExit);
        first.err += first.process.readAllStandardError();
        QCOMPARE(first.err.count("could not save everything"), 1);
        QVERIFY2(first.err.contains("kvorn.ini"), first.err.constData());
    }

    void aDamagedSettingsFileHoldsUpNothing_data()
    {
        QTest::addColumn<bool>("bySignal");
        QTest::newRow("/forceclose") << false;
        QTest::newRow("SIGTERM") << true;
    }
    void aDamagedSettingsFileHoldsUpNothing()
    {
        QFETCH(bool, bySignal);
        TestEnv env;
        QVERIFY(QDir().mkpath(QFileInfo(env.settingsFile()).path()));
        const QByteArray damaged("[Options]\nShowInTray=True\n\0\0garbage\n", 36);
        QFile raw(env.settingsFile());
        QVERIFY(raw.open(QIODevice::WriteOnly));
        raw.write(damaged);
        raw.close();

        // The box about the damage is open, and the program runs all the same.
        Instance first;
        first.start({QStringLiteral("/debug")});
        QVERIFY2(first.waitFor("running;"), first.err.constData());
        QTest::qWait(300);
        QCOMPARE(first.process.state(), QProcess::Running);
        if (bySignal)
            ::kill(static_cast<pid_t>(first.process.processId()), SIGTERM);
        else
            QCOMPARE(runToEnd({QStringLiteral("/forceclose")}), 0);
        QVERIFY2(first.process.waitForFinished(10000), first.err.constData());
        QCOMPARE(first.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.process.exitCode(), 0);
        QFile copy(env.settingsFile() + QStringLiteral(".bad"));
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), damaged);
    }

    void terminationSavesTheSettings()
    {
        TestEnv env;
        Instance first;
        first.start({QStringLiteral("/debug")});
        QVERIFY2(first.waitFor("running;"), first.err.constData());
        QVERIFY(stored(env, QStringLiteral("Options/Flash")).isEmpty());
        ::kill(static_cast<pid_t>(first.process.processId()), SIGTERM);
        QVERIFY(first.process.waitForFinished(10000));
        QCOMPARE(first.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(stored(env, QStringLiteral("Options/Flash")), QStringLiteral("True"));
    }
};

QTEST_GUILESS_MAIN(TestInstances)
#include "test_instances.moc"

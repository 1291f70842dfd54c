// Two real processes of the program: single instance, wake-up, /forceclose, signals.
#include "TestEnv.h"

#include <QProcess>
#include <QSettings>
#include <QTest>

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

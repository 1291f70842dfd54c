// The one-instance rule inside one test process: the lock, the socket and the requests.
#include "TestEnv.h"

#include "core/SingleInstance.h"

#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLockFile>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace kvorn;
using namespace kvorn::test;

class TestSingleInstance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void secondStartHandsItsRequestToTheFirst()
    {
        TestEnv env;
        const QString runtime = env.root() + QStringLiteral("/run");
        QVERIFY(QDir().mkpath(runtime));
        SingleInstance first(env.configFolder(), runtime);
        QCOMPARE(first.claimOrSend("show"), SingleInstance::Role::First);
        QVERIFY(first.isFirst());
        // Lock and socket stay in the private runtime folder, never in a shared /tmp.
        QVERIFY(first.serverName().startsWith(runtime + QLatin1Char('/')));
        QVERIFY(QFileInfo::exists(first.serverName()));
        QVERIFY(QFileInfo::exists(first.serverName() + QStringLiteral(".lock")));

        QSignalSpy requests(&first, &SingleInstance::requestReceived);
        SingleInstance second(env.configFolder(), runtime);
        QCOMPARE(second.claimOrSend("show", 0), SingleInstance::Role::Second);
        QVERIFY(!second.isFirst());
        QTRY_COMPARE(requests.count(), 1);
        QCOMPARE(requests.at(0).at(0).toByteArray(), QByteArray("show"));
    }

    void requestHandlerMayOutliveTheSocket()
    {
        // Ending the program behind a modal box runs an event loop inside the handler, in
        // which the request's socket goes away; the reader once went on with it afterwards.
        TestEnv env;
        const QString runtime = env.root() + QStringLiteral("/run");
        QVERIFY(QDir().mkpath(runtime));
        SingleInstance first(env.configFolder(), runtime);
        QCOMPARE(first.claimOrSend("show"), SingleInstance::Role::First);
        QList<QByteArray> handled;
        connect(&first, &SingleInstance::requestReceived, this, [&](const QByteArray &request) {
            QEventLoop box;
            QTimer::singleShot(200, &box, &QEventLoop::quit);
            box.exec();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            handled.append(request);
        });
        QVERIFY(first.sendToRunning("end"));
        QTRY_COMPARE(handled, QList<QByteArray>{"end"});
        QVERIFY(first.sendToRunning("show"));
        QTRY_COMPARE(handled, (QList<QByteArray>{"end", "show"}));
    }

    void aStartingInstanceIsWaitedFor()
    {
        TestEnv env;
        const QString runtime = env.root() + QStringLiteral("/run");
        QVERIFY(QDir().mkpath(runtime));
        SingleInstance probe(env.configFolder(), runtime);
        // Another start holds the lock but does not listen yet (or no longer).
        QLockFile held(probe.serverName() + QStringLiteral(".lock"));
        QVERIFY(held.tryLock(0));
        QElapsedTimer waited;
        waited.start();
        QCOMPARE(probe.claimOrSend("show", 300), SingleInstance::Role::Failed);
        QVERIFY(waited.elapsed() >= 300);
        // Once it is gone, the next start runs.
        held.unlock();
        QCOMPARE(probe.claimOrSend("show", 300), SingleInstance::Role::First);
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "test_single_instance.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
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

#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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
    void aServerOfAnotherUserIsNotHandedTheRequest()
    {
        if (::geteuid() != 0)
            QSKIP("needs root: the socket is served as another user");
        TestEnv env;
        const QString runtime = env.root() + QStringLiteral("/run");
        QVERIFY(QDir().mkpath(runtime));
        SingleInstance probe(env.configFolder(), runtime);
        // Another user's process holds the lock and listens under the name.
        QLockFile held(probe.serverName() + QStringLiteral(".lock"));
        QVERIFY(held.tryLock(0));
        const int server = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        QVERIFY(server >= 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        const QByteArray path = QFile::encodeName(probe.serverName());
        QVERIFY(std::size_t(path.size()) < sizeof address.sun_path);
        std::memcpy(address.sun_path, path.constData(), std::size_t(path.size()));
        QCOMPARE(::bind(server, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        // The peer's credentials are those of the process when it started listening.
        QCOMPARE(::seteuid(65534), 0);
        const int listening = ::listen(server, 8);
        QCOMPARE(::seteuid(0), 0);
        QCOMPARE(listening, 0);

        QElapsedTimer waited;
        waited.start();
        QCOMPARE(probe.claimOrSend("show", 3000), SingleInstance::Role::First);
        QVERIFY2(waited.elapsed() < 2500, qPrintable(QString::number(waited.elapsed())));
        QVERIFY2(probe.lastError().contains(QStringLiteral("another user")),
                 qPrintable(probe.lastError()));
        QVERIFY(!probe.sendToRunning("end"));
        // Nothing of the requests reached the stranger.
        for (int client; (client = ::accept4(server, nullptr, nullptr, SOCK_NONBLOCK)) >= 0;) {
            char byte = 0;
            QVERIFY(::recv(client, &byte, 1, 0) <= 0);
            ::close(client);
        }
        ::close(server);
    }
};

QTEST_GUILESS_MAIN(TestSingleInstance)
#include "test_single_instance.moc"

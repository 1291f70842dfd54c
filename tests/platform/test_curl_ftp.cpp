// SPDX-License-Identifier: GPL-3.0-or-later
// The FTP client against real servers on 127.0.0.1: pyftpdlib for plain FTP, vsftpd for
// FTPS, tinyproxy for the CONNECT tunnel, and a socket that accepts and says nothing.

#include "FtpTestServers.h"
#include "platform/CurlFtpClient.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <csignal>
#include <curl/curl.h>
#include <thread>
#include <unistd.h>

using namespace kvorn;
using namespace kvorn::test;

namespace {

using Kind = FtpStatusEvent::Kind;

QByteArray randomBytes(int n)
{
    QByteArray bytes(n, Qt::Uninitialized);
    QRandomGenerator gen(4711);
    for (char &c : bytes)
        c = char(gen.bounded(256));
    return bytes;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

struct Events
{
    QList<FtpStatusEvent> list;
    FtpClient::StatusCallback callback()
    {
        return [this](const FtpStatusEvent &e) { list.append(e); };
    }
    bool has(Kind kind, const QString &info = {}) const
    {
        for (const auto &e : list)
            if (e.kind == kind && (info.isEmpty() || e.info == info))
                return true;
        return false;
    }
    quint64 sum(Kind kind) const
    {
        quint64 n = 0;
        for (const auto &e : list)
            if (e.kind == kind)
                n += e.number;
        return n;
    }
};

FtpEndpoint plainEndpoint(const PyFtpServer &server)
{
    FtpEndpoint e;
    e.host = QStringLiteral("127.0.0.1");
    e.port = server.port();
    e.user = server.user();
    e.password = server.password();
    e.security = FtpSecurity::Plain;
    e.timeoutSeconds = 20;
    return e;
}

} // namespace

class TestCurlFtp : public QObject
{
    Q_OBJECT

private:
    PyFtpServer m_server;
    QTemporaryDir m_local;

    static bool inPrivateNetwork() { return qEnvironmentVariableIsSet("KVORN_PRIVATE_NETWORK"); }

    QString local(const QString &name) const { return m_local.path() + QLatin1Char('/') + name; }
    QStringList localFiles() const
    {
        return QDir(m_local.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    }

private Q_SLOTS:
    void initTestCase()
    {
        if (inPrivateNetwork())
            return; // only the name test runs there
        if (!PyFtpServer::available())
            QSKIP("pyftpdlib is not installed");
        QVERIFY(m_server.putFile(QStringLiteral("a.txt"), "twenty-six bytes of text\r\n"));
        QVERIFY(m_server.putFile(QStringLiteral("empty.txt"), {}));
        QVERIFY(m_server.putFile(QStringLiteral("big.bin"), randomBytes(300000)));
        QVERIFY(m_server.putFile(QStringLiteral("sub/b.bin"), randomBytes(1000)));
        QVERIFY(QDir().mkpath(m_server.root() + QStringLiteral("/blacklistadds")));
        QString error;
        QVERIFY2(m_server.start(&error), qPrintable(error));
    }

    void init()
    {
        for (const QString &f : localFiles())
            QFile::remove(local(f));
    }

    // ---- log-on and folders

    void logOnKeepsOneConnectionAndWalksFolders()
    {
        CurlFtpClient ftp;
        Events events;
        QVERIFY2(ftp.open(plainEndpoint(m_server), events.callback()),
                 qPrintable(ftp.lastErrorMessage()));
        QVERIFY(ftp.isOpen());
        QCOMPARE(ftp.lastError(), 0);
        QVERIFY(events.has(Kind::ResolvingName, QStringLiteral("127.0.0.1")));
        QVERIFY(events.has(Kind::ConnectingToServer, QStringLiteral("127.0.0.1")));
        QVERIFY(events.has(Kind::ConnectedToServer, QStringLiteral("127.0.0.1")));
        QVERIFY(events.sum(Kind::SendingRequest) > 0);
        QVERIFY(events.sum(Kind::ResponseReceived) > 0);

        QCOMPARE(ftp.currentDir(), QStringLiteral("/"));
        QVERIFY(ftp.changeDir(QStringLiteral("sub")));
        QCOMPARE(ftp.currentDir(), QStringLiteral("/sub/"));
        QCOMPARE(ftp.fileSize(QStringLiteral("b.bin")), std::optional<qint64>(1000));
        QVERIFY(!ftp.changeDir(QStringLiteral("no-such-folder")));
        QCOMPARE(ftp.currentDir(), QStringLiteral("/sub/"));
        QVERIFY(ftp.changeDir(QStringLiteral("..")));
        QCOMPARE(ftp.currentDir(), QStringLiteral("/"));
        QCOMPARE(ftp.fileSize(QStringLiteral("a.txt")), std::optional<qint64>(26));

        // One log-on for the whole session.
        const int logOns = int(m_server.commands().filter(QStringLiteral("PASS")).size());
        ftp.fileSize(QStringLiteral("a.txt"));
        ftp.fileSize(QStringLiteral("empty.txt"));
        QCOMPARE(int(m_server.commands().filter(QStringLiteral("PASS")).size()), logOns);

        ftp.close();
        QVERIFY(!ftp.isOpen());
        QVERIFY(events.has(Kind::ClosingConnection));
        QVERIFY(events.has(Kind::ConnectionClosed));
        QVERIFY(m_server.commands().contains(QStringLiteral("QUIT")));
    }

    void refusedLogOnGivesThePasswordCode()
    {
        CurlFtpClient ftp;
        FtpEndpoint e = plainEndpoint(m_server);
        e.password = QStringLiteral("wrong");
        QVERIFY(!ftp.open(e, {}));
        QVERIFY(!ftp.isOpen());
        QCOMPARE(ftp.lastError(), 12014);
        QVERIFY2(ftp.lastResponse().startsWith(QStringLiteral("530")),
                 qPrintable(ftp.lastResponse()));
    }

    // ---- probes

    void fileSize_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<qint64>("size"); // -2: no such file
        QTest::newRow("a file") << "a.txt" << qint64(26);
        QTest::newRow("an empty file") << "empty.txt" << qint64(0);
        QTest::newRow("in a folder") << "sub/b.bin" << qint64(1000);
        QTest::newRow("from the root") << "/sub/b.bin" << qint64(1000);
        QTest::newRow("missing") << "missing.txt" << qint64(-2);
        QTest::newRow("a folder is no file") << "sub" << qint64(-2);
    }
    void fileSize()
    {
        QFETCH(QString, path);
        QFETCH(qint64, size);
        CurlFtpClient ftp;
        QVERIFY(ftp.open(plainEndpoint(m_server), {}));
        const auto got = ftp.fileSize(path);
        if (size == -2) {
            QVERIFY(!got);
            QCOMPARE(ftp.lastError(), 12003);
            QVERIFY2(ftp.lastResponse().startsWith(QStringLiteral("550")),
                     qPrintable(ftp.lastResponse()));
            // The session goes on after a file that is not there.
            QCOMPARE(ftp.fileSize(QStringLiteral("a.txt")), std::optional<qint64>(26));
        } else {
            QCOMPARE(got, std::optional<qint64>(size));
            QCOMPARE(ftp.lastError(), 0);
        }
    }

    // ---- downloads

    void downloadIsByteIdenticalAndReportsProgress_data()
    {
        QTest::addColumn<QString>("remote");
        QTest::newRow("300000 bytes") << "big.bin";
        QTest::newRow("0 bytes") << "empty.txt";
        QTest::newRow("text keeps its CR LF") << "a.txt";
    }
    void downloadIsByteIdenticalAndReportsProgress()
    {
        QFETCH(QString, remote);
        CurlFtpClient ftp;
        Events events;
        QVERIFY(ftp.open(plainEndpoint(m_server), events.callback()));
        QVERIFY(writeFile(local(remote), "an older copy"));
        events.list.clear();
        QVERIFY2(ftp.download(remote, local(remote)), qPrintable(ftp.lastErrorMessage()));
        const QByteArray expected = m_server.fileBytes(remote);
        QCOMPARE(readFile(local(remote)), expected);
        // The response-received counts of a fetch are the file's bytes, so progress ends at
        // the total; the handle closing ends the fetch.
        QCOMPARE(events.sum(Kind::ResponseReceived), quint64(expected.size()));
        QVERIFY(!events.list.isEmpty());
        QCOMPARE(events.list.last().kind, Kind::HandleClosing);
        QCOMPARE(localFiles(), QStringList{remote});
    }

    void failedFetchLeavesTheOldFileWhole()
    {
        CurlFtpClient ftp;
        Events events;
        QVERIFY(ftp.open(plainEndpoint(m_server), events.callback()));
        QVERIFY(writeFile(local(QStringLiteral("keep.txt")), "the good old list"));
        QVERIFY(!ftp.download(QStringLiteral("missing.txt"), local(QStringLiteral("keep.txt"))));
        QCOMPARE(ftp.lastError(), 12003);
        QVERIFY(!events.has(Kind::HandleClosing)); // it would read "Download complete."
        QVERIFY2(ftp.lastResponse().startsWith(QStringLiteral("550")),
                 qPrintable(ftp.lastResponse()));
        QCOMPARE(readFile(local(QStringLiteral("keep.txt"))), QByteArray("the good old list"));
        QCOMPARE(localFiles(), QStringList{QStringLiteral("keep.txt")});
        // A fetch into a folder that does not exist fails without touching the server's file.
        QVERIFY(!ftp.download(QStringLiteral("a.txt"), local(QStringLiteral("no/such/x.txt"))));
        QCOMPARE(ftp.lastError(), 12004);
    }

    void fetchOverItsLimitIsGivenUpAsItArrives()
    {
        CurlFtpClient ftp;
        Events events;
        QVERIFY(ftp.open(plainEndpoint(m_server), events.callback()));
        QVERIFY(writeFile(local(QStringLiteral("big.bin")), "the good old file"));
        // The limit holds on the bytes received, not on the size the server announces.
        QVERIFY(!ftp.download(QStringLiteral("big.bin"), local(QStringLiteral("big.bin")), 100000));
        QCOMPARE(ftp.lastError(), kFtpFileTooLarge);
        QVERIFY(events.sum(Kind::ResponseReceived) <= 100000);
        QCOMPARE(readFile(local(QStringLiteral("big.bin"))), QByteArray("the good old file"));
        QCOMPARE(localFiles(), QStringList{QStringLiteral("big.bin")});
        // A file within its limit still comes whole on the same connection.
        QVERIFY2(ftp.download(QStringLiteral("big.bin"), local(QStringLiteral("big.bin")), 300000),
                 qPrintable(ftp.lastErrorMessage()));
        QCOMPARE(readFile(local(QStringLiteral("big.bin"))), m_server.fileBytes(QStringLiteral("big.bin")));
    }

    void brokenFetchLeavesTheOldFileWhole()
    {
        PyFtpServer slow;
        slow.setSendLimit(20000);
        QVERIFY(slow.putFile(QStringLiteral("big.bin"), randomBytes(400000)));
        QString error;
        QVERIFY2(slow.start(&error), qPrintable(error));
        CurlFtpClient ftp;
        Events events;
        QVERIFY(ftp.open(plainEndpoint(slow), events.callback()));
        QVERIFY(writeFile(local(QStringLiteral("big.bin")), "the good old file"));
        // The server's end mid-way, as a crash or a dropped line would give it.
        const qint64 pid = slow.processId();
        std::thread stopper([pid] {
            QThread::msleep(1500);
            ::kill(pid_t(pid), SIGKILL);
        });
        const bool ok = ftp.download(QStringLiteral("big.bin"), local(QStringLiteral("big.bin")));
        stopper.join();
        QVERIFY(!ok);
        QVERIFY(events.sum(Kind::ResponseReceived) > 0); // it was cut mid-way
        QVERIFY2(ftp.lastError() == 12030 || ftp.lastError() == 12003,
                 qPrintable(QString::number(ftp.lastError()) + ftp.lastErrorMessage()));
        QCOMPARE(readFile(local(QStringLiteral("big.bin"))), QByteArray("the good old file"));
        QCOMPARE(localFiles(), QStringList{QStringLiteral("big.bin")});
    }

    // ---- uploads

    void uploadLandsInItsFolderAndReplaces()
    {
        CurlFtpClient ftp;
        QVERIFY(ftp.open(plainEndpoint(m_server), {}));
        const QString dump = local(QStringLiteral("Popups.dmp"));
        QVERIFY(writeFile(dump, "first\r\nsecond\r\n"));
        QVERIFY2(ftp.upload(dump, QStringLiteral("blacklistadds/1234567")),
                 qPrintable(ftp.lastErrorMessage()));
        QCOMPARE(m_server.fileBytes(QStringLiteral("blacklistadds/1234567")),
                 QByteArray("first\r\nsecond\r\n"));
        QVERIFY(writeFile(dump, "third\r\n"));
        QVERIFY(ftp.upload(dump, QStringLiteral("blacklistadds/1234567")));
        QCOMPARE(m_server.fileBytes(QStringLiteral("blacklistadds/1234567")),
                 QByteArray("third\r\n"));

        // No folder is made on the server's behalf.
        QVERIFY(!ftp.upload(dump, QStringLiteral("mailadds/1234567")));
        QCOMPARE(ftp.lastError(), 12003);
        QVERIFY2(ftp.lastResponse().startsWith(QStringLiteral("550")),
                 qPrintable(ftp.lastResponse()));
        QVERIFY(!QFileInfo::exists(m_server.root() + QStringLiteral("/mailadds")));

        QVERIFY(!ftp.upload(local(QStringLiteral("not-there.dmp")), QStringLiteral("x")));
        QCOMPARE(ftp.lastError(), 12004);
    }

    // ---- time limits, abort

    void silentServerEndsWithinTheBound()
    {
        QTcpServer silent; // the kernel accepts; nobody ever says a word
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        FtpEndpoint e = plainEndpoint(m_server);
        e.port = silent.serverPort();
        e.timeoutSeconds = 2;
        CurlFtpClient ftp;
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!ftp.open(e, {}));
        QCOMPARE(ftp.lastError(), 12002);
        QVERIFY2(clock.elapsed() < 20000, qPrintable(QString::number(clock.elapsed())));
    }

    void serverFallingSilentMidFetchEndsWithinTheBound()
    {
        PyFtpServer slow;
        slow.setSendLimit(20000);
        QVERIFY(slow.putFile(QStringLiteral("big.bin"), randomBytes(400000)));
        QString error;
        QVERIFY2(slow.start(&error), qPrintable(error));
        FtpEndpoint e = plainEndpoint(slow);
        e.timeoutSeconds = 3;
        CurlFtpClient ftp;
        Events events;
        QVERIFY(ftp.open(e, events.callback()));
        QVERIFY(writeFile(local(QStringLiteral("big.bin")), "old"));
        const qint64 pid = slow.processId();
        std::thread freezer([pid] {
            QThread::msleep(1000);
            ::kill(pid_t(pid), SIGSTOP); // the connection stays up; nothing more comes
        });
        QElapsedTimer clock;
        clock.start();
        const bool ok = ftp.download(QStringLiteral("big.bin"), local(QStringLiteral("big.bin")));
        const qint64 elapsed = clock.elapsed();
        freezer.join();
        ::kill(pid_t(pid), SIGCONT);
        QVERIFY(!ok);
        QVERIFY(events.sum(Kind::ResponseReceived) > 0);
        QCOMPARE(ftp.lastError(), 12002);
        QVERIFY2(elapsed < 30000, qPrintable(QString::number(elapsed)));
        QCOMPARE(readFile(local(QStringLiteral("big.bin"))), QByteArray("old"));
    }

    void abortFromAnotherThreadEndsTheCall()
    {
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        FtpEndpoint e = plainEndpoint(m_server);
        e.port = silent.serverPort();
        e.timeoutSeconds = 120;
        CurlFtpClient ftp;
        std::thread aborter([&] {
            QThread::msleep(500);
            ftp.abort();
        });
        QElapsedTimer clock;
        clock.start();
        const bool ok = ftp.open(e, {});
        aborter.join();
        QVERIFY(!ok);
        QCOMPARE(ftp.lastError(), 12017);
        QVERIFY2(clock.elapsed() < 30000, qPrintable(QString::number(clock.elapsed())));
    }

    void abortDuringADownloadKeepsTheOldFile()
    {
        PyFtpServer slow;
        slow.setSendLimit(20000);
        QVERIFY(slow.putFile(QStringLiteral("big.bin"), randomBytes(400000)));
        QString error;
        QVERIFY2(slow.start(&error), qPrintable(error));
        CurlFtpClient ftp;
        QVERIFY(ftp.open(plainEndpoint(slow), {}));
        QVERIFY(writeFile(local(QStringLiteral("big.bin")), "old"));
        std::thread aborter([&] {
            QThread::msleep(1000);
            ftp.abort();
        });
        QElapsedTimer clock;
        clock.start();
        const bool ok = ftp.download(QStringLiteral("big.bin"), local(QStringLiteral("big.bin")));
        aborter.join();
        QVERIFY(!ok);
        QCOMPARE(ftp.lastError(), 12017);
        QVERIFY2(clock.elapsed() < 15000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(readFile(local(QStringLiteral("big.bin"))), QByteArray("old"));
        QCOMPARE(localFiles(), QStringList{QStringLiteral("big.bin")});
        // Until the next log-on nothing more goes out.
        QVERIFY(!ftp.fileSize(QStringLiteral("big.bin")));
        QCOMPARE(ftp.lastError(), 12017);
    }

    // ---- proxies

    void environmentProxiesAreNotObeyed()
    {
        const quint16 closed = freeLocalPort();
        const QByteArray dead = "http://127.0.0.1:" + QByteArray::number(closed);
        qputenv("ftp_proxy", dead);
        qputenv("all_proxy", dead);
        CurlFtpClient ftp;
        const bool ok = ftp.open(plainEndpoint(m_server), {});
        qunsetenv("ftp_proxy");
        qunsetenv("all_proxy");
        QVERIFY2(ok, qPrintable(ftp.lastErrorMessage()));
    }

    void proxyTunnelCarriesTheSession()
    {
        if (!TinyproxyServer::available())
            QSKIP("tinyproxy is not installed");
        TinyproxyServer proxy;
        QString error;
        QVERIFY2(proxy.start(&error), qPrintable(error));
        FtpEndpoint e = plainEndpoint(m_server);
        e.proxy = {true, QStringLiteral("127.0.0.1"), QString::number(proxy.port())};
        CurlFtpClient ftp;
        QVERIFY2(ftp.open(e, {}), qPrintable(ftp.lastErrorMessage()));
        QVERIFY2(ftp.download(QStringLiteral("big.bin"), local(QStringLiteral("big.bin"))),
                 qPrintable(ftp.lastErrorMessage()));
        QCOMPARE(readFile(local(QStringLiteral("big.bin"))),
                 m_server.fileBytes(QStringLiteral("big.bin")));
        ftp.close();
        const QString log = proxy.log();
        // The control connection and at least one passive data connection went through it.
        QVERIFY2(log.contains(QStringLiteral("CONNECT 127.0.0.1:%1").arg(m_server.port())),
                 qPrintable(log));
        QVERIFY2(log.count(QStringLiteral("CONNECT 127.0.0.1:")) >= 2, qPrintable(log));
    }

    void proxySettingsThatCannotWorkConnectNowhere_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("port");
        QTest::addColumn<int>("code");
        QTest::newRow("no address") << "" << "8080" << 12020;
        QTest::newRow("port in letters") << "127.0.0.1" << "abc" << 12020;
        QTest::newRow("port too big") << "127.0.0.1" << "70000" << 12020;
        QTest::newRow("nobody listens") << "127.0.0.1" << QString::number(freeLocalPort())
                                        << 12029;
    }
    void proxySettingsThatCannotWorkConnectNowhere()
    {
        QFETCH(QString, address);
        QFETCH(QString, port);
        QFETCH(int, code);
        const int logOns = int(m_server.commands().filter(QStringLiteral("USER")).size());
        FtpEndpoint e = plainEndpoint(m_server);
        e.proxy = {true, address, port};
        CurlFtpClient ftp;
        QVERIFY(!ftp.open(e, {}));
        QCOMPARE(ftp.lastError(), code);
        // Never a quiet direct connection instead.
        QCOMPARE(int(m_server.commands().filter(QStringLiteral("USER")).size()), logOns);
    }

    // ---- TLS

    void explicitTlsNeverFallsBackToPlain()
    {
        CurlFtpClient ftp;
        FtpEndpoint e = plainEndpoint(m_server);
        e.user = QStringLiteral("tls-probe");
        e.security = FtpSecurity::ExplicitTls;
        QVERIFY(!ftp.open(e, {}));
        QCOMPARE(ftp.lastError(), 12157);
        // The refusal of AUTH explains it, not the goodbye that follows.
        QVERIFY2(ftp.lastResponse().startsWith(QStringLiteral("5")),
                 qPrintable(ftp.lastResponse()));
        const QStringList commands = m_server.commands();
        QVERIFY2(commands.filter(QStringLiteral("AUTH")).size() > 0,
                 qPrintable(commands.join(u'|')));
        QVERIFY2(commands.filter(QStringLiteral("tls-probe")).isEmpty(),
                 qPrintable(commands.join(u'|')));
    }

    void ftpsDownload_data()
    {
        QTest::addColumn<bool>("trusted");
        QTest::addColumn<bool>("implicit");
        QTest::newRow("AUTH TLS, the test CA") << true << false;
        QTest::newRow("AUTH TLS, an untrusted certificate") << false << false;
        QTest::newRow("implicit TLS, the test CA") << true << true;
        QTest::newRow("implicit TLS, an untrusted certificate") << false << true;
    }
    void ftpsDownload()
    {
        QFETCH(bool, trusted);
        QFETCH(bool, implicit);
        if (!VsftpdServer::available())
            QSKIP("vsftpd needs root and the package");
        VsftpdServer server;
        server.setImplicit(implicit);
        const QByteArray bytes = randomBytes(200000);
        QVERIFY(server.putFile(QStringLiteral("kvornupdate.bin"), bytes));
        QString error;
        QVERIFY2(server.start(&error), qPrintable(error));
        TestCertificates other;
        QTemporaryDir otherDir;
        QVERIFY2(other.make(otherDir.path(), QStringLiteral("IP:127.0.0.1"), &error),
                 qPrintable(error));

        FtpEndpoint e;
        e.host = QStringLiteral("127.0.0.1");
        e.port = server.port();
        e.user = QStringLiteral("anonymous");
        e.security = implicit ? FtpSecurity::ImplicitTls : FtpSecurity::ExplicitTls;
        e.caFile = trusted ? server.certificates().caFile() : other.caFile();
        e.timeoutSeconds = 20;
        CurlFtpClient ftp;
        const bool opened = ftp.open(e, {});
        if (!trusted) {
            QVERIFY(!opened);
            QCOMPARE(ftp.lastError(), 12045);
            QVERIFY2(ftp.lastErrorMessage().contains(QStringLiteral("certificate")),
                     qPrintable(ftp.lastErrorMessage()));
            return;
        }
        QVERIFY2(opened, qPrintable(ftp.lastErrorMessage() + server.log()));
        QCOMPARE(ftp.fileSize(QStringLiteral("kvornupdate.bin")),
                 std::optional<qint64>(bytes.size()));
        QVERIFY2(ftp.download(QStringLiteral("kvornupdate.bin"),
                              local(QStringLiteral("kvornupdate.bin"))),
                 qPrintable(ftp.lastErrorMessage()));
        QCOMPARE(readFile(local(QStringLiteral("kvornupdate.bin"))), bytes);

        // Uploads go over the protected data connection too, and replace.
        const QString dump = local(QStringLiteral("mail.dmp"));
        for (const QByteArray &content : {QByteArray("first\r\n"), QByteArray("second\r\n")}) {
            QVERIFY(writeFile(dump, content));
            QVERIFY2(ftp.upload(dump, QStringLiteral("incoming/1234567")),
                     qPrintable(ftp.lastErrorMessage() + ftp.lastResponse()));
            QCOMPARE(readFile(server.incoming() + QStringLiteral("/1234567")), content);
        }
    }

    // ---- a name nobody can resolve

    // Made-up names are looked up only inside a network namespace of their own, so no
    // question can leave the machine.
    void unresolvableName()
    {
        const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
        if (geteuid() != 0 || unshare.isEmpty())
            QSKIP("needs root and unshare for a private network namespace");
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KVORN_PRIVATE_NETWORK"), QStringLiteral("1"));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(unshare, {QStringLiteral("-n"), QStringLiteral("--"),
                              QCoreApplication::applicationFilePath(),
                              QStringLiteral("unresolvableNameInside")});
        QVERIFY(child.waitForFinished(60000));
        const QString out = QString::fromLocal8Bit(child.readAll());
        QVERIFY2(child.exitCode() == 0, qPrintable(out));
        QVERIFY2(out.contains(QStringLiteral("PASS   : TestCurlFtp::unresolvableNameInside()")),
                 qPrintable(out));
    }
    void unresolvableNameInside()
    {
        if (!inPrivateNetwork())
            QSKIP("runs inside the private network namespace of unresolvableName");
        FtpEndpoint e;
        e.host = QStringLiteral("no-such-host.invalid");
        e.security = FtpSecurity::Plain;
        e.timeoutSeconds = 10;
        CurlFtpClient ftp;
        Events events;
        QVERIFY(!ftp.open(e, events.callback()));
        QCOMPARE(ftp.lastError(), 12007);
        QVERIFY(!events.list.isEmpty());
        QCOMPARE(events.list.first().kind, Kind::HandleCreated);
        QVERIFY(events.has(Kind::ResolvingName, QStringLiteral("no-such-host.invalid")));
        QVERIFY(!events.has(Kind::ConnectingToServer));
    }

    // ---- the code table

    void errorCodes_data()
    {
        QTest::addColumn<int>("curl");
        QTest::addColumn<QByteArray>("lastCommand");
        QTest::addColumn<int>("proxyCode");
        QTest::addColumn<bool>("aborted");
        QTest::addColumn<int>("code");
        QTest::newRow("success") << int(CURLE_OK) << QByteArray() << 0 << false << 0;
        QTest::newRow("name") << int(CURLE_COULDNT_RESOLVE_HOST) << QByteArray() << 0 << false
                              << 12007;
        QTest::newRow("proxy name") << int(CURLE_COULDNT_RESOLVE_PROXY) << QByteArray() << 0
                                    << false << 12007;
        QTest::newRow("connect") << int(CURLE_COULDNT_CONNECT) << QByteArray() << 0 << false
                                 << 12029;
        QTest::newRow("time-out") << int(CURLE_OPERATION_TIMEDOUT) << QByteArray() << 0 << false
                                  << 12002;
        QTest::newRow("530 after USER") << int(CURLE_LOGIN_DENIED) << QByteArray("USER") << 0
                                        << false << 12013;
        QTest::newRow("530 after PASS") << int(CURLE_LOGIN_DENIED) << QByteArray("PASS") << 0
                                        << false << 12014;
        QTest::newRow("550") << int(CURLE_REMOTE_FILE_NOT_FOUND) << QByteArray("RETR") << 0
                             << false << 12003;
        QTest::newRow("STOR refused") << int(CURLE_UPLOAD_FAILED) << QByteArray("STOR") << 0
                                      << false << 12003;
        QTest::newRow("dropped") << int(CURLE_RECV_ERROR) << QByteArray() << 0 << false << 12030;
        QTest::newRow("proxy 403") << int(CURLE_RECV_ERROR) << QByteArray() << 403 << false
                                   << 12020;
        QTest::newRow("abort") << int(CURLE_ABORTED_BY_CALLBACK) << QByteArray() << 0 << false
                               << 12017;
        QTest::newRow("socket shut by abort") << int(CURLE_RECV_ERROR) << QByteArray() << 0
                                              << true << 12017;
        QTest::newRow("certificate") << int(CURLE_PEER_FAILED_VERIFICATION) << QByteArray() << 0
                                     << false << 12045;
        QTest::newRow("no TLS offered") << int(CURLE_USE_SSL_FAILED) << QByteArray("AUTH") << 0
                                        << false << 12157;
    }
    void errorCodes()
    {
        QFETCH(int, curl);
        QFETCH(QByteArray, lastCommand);
        QFETCH(int, proxyCode);
        QFETCH(bool, aborted);
        QFETCH(int, code);
        QCOMPARE(CurlFtpClient::internetErrorCode(curl, lastCommand, proxyCode, aborted), code);
    }
};

QTEST_GUILESS_MAIN(TestCurlFtp)
#include "test_curl_ftp.moc"

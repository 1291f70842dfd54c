// SPDX-License-Identifier: GPL-3.0-or-later
// The "Update" and "Proxy" sections, and the log-on they make, against pyftpdlib.

#include "FtpTestServers.h"
#include "core/SettingsStore.h"
#include "fakes/TestEnv.h"
#include "platform/CurlFtpClient.h"
#include "update/UpdateServerSettings.h"

#include <QSettings>
#include <QTest>

using namespace kvorn;
using namespace kvorn::test;

Q_DECLARE_METATYPE(kvorn::FtpSecurity)

class TestUpdateServerSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void noServerByDefault()
    {
        TestEnv env;
        SettingsStore store(env.settingsFile());
        const UpdateServerSettings s = LoadUpdateServerSettings(store);
        QVERIFY(!updateServerConfigured(s));
        QCOMPARE(s.Port, quint16(21));
        QCOMPARE(s.User, QStringLiteral("anonymous"));
        QCOMPARE(s.Password, QString());
        QCOMPARE(s.Folder, QString());
        QCOMPARE(s.Security, FtpSecurity::ExplicitTls);
        QCOMPARE(s.Timeout, 30);
        store.write(kUpdateSection, QStringLiteral("Host"), QStringLiteral("   "));
        QVERIFY(!updateServerConfigured(LoadUpdateServerSettings(store)));
    }

    void roundTrip()
    {
        TestEnv env;
        UpdateServerSettings s;
        s.Host = QStringLiteral("ftp.example.test");
        s.Port = 2121;
        s.User = QStringLiteral("upd");
        s.Password = QStringLiteral("sécret pass");
        s.Folder = QStringLiteral("pub/kvorn");
        s.Security = FtpSecurity::ImplicitTls;
        s.CAFile = QStringLiteral("/etc/kvorn/ca.pem");
        s.Timeout = 45;
        {
            SettingsStore store(env.settingsFile());
            SaveUpdateServerSettings(store, s);
            QVERIFY(store.save());
        }
        SettingsStore store(env.settingsFile());
        const UpdateServerSettings r = LoadUpdateServerSettings(store);
        QVERIFY(updateServerConfigured(r));
        QCOMPARE(r.Host, s.Host);
        QCOMPARE(r.Port, s.Port);
        QCOMPARE(r.User, s.User);
        QCOMPARE(r.Password, s.Password);
        QCOMPARE(r.Folder, s.Folder);
        QCOMPARE(r.Security, s.Security);
        QCOMPARE(r.CAFile, s.CAFile);
        QCOMPARE(r.Timeout, s.Timeout);
        // The password is not kept as typed in the file.
        QVERIFY(!store.read(kUpdateSection, QStringLiteral("Password"), {}).contains(u's'));
    }

    void security_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("security");
        QTest::addColumn<QString>("plainHost");
        QTest::addColumn<QString>("port");
        QTest::addColumn<FtpSecurity>("expected");
        QTest::addColumn<int>("expectedPort");
        QTest::newRow("plain for this host") << "ftp.a.test" << "0" << "FTP.A.test" << "" << FtpSecurity::Plain << 21;
        QTest::newRow("plain chosen for another host")
            << "ftp.b.test" << "0" << "ftp.a.test" << "" << FtpSecurity::ExplicitTls << 21;
        QTest::newRow("plain without a host named") << "ftp.a.test" << "0" << "" << "" << FtpSecurity::ExplicitTls << 21;
        QTest::newRow("explicit") << "ftp.a.test" << "1" << "" << "" << FtpSecurity::ExplicitTls << 21;
        QTest::newRow("implicit takes 990") << "ftp.a.test" << "2" << "" << "" << FtpSecurity::ImplicitTls << 990;
        QTest::newRow("implicit on a named port") << "ftp.a.test" << "2" << "" << "2990" << FtpSecurity::ImplicitTls << 2990;
        QTest::newRow("a later value is never plain") << "ftp.a.test" << "7" << "ftp.a.test" << "" << FtpSecurity::ExplicitTls << 21;
        QTest::newRow("letters") << "ftp.a.test" << "plain" << "ftp.a.test" << "" << FtpSecurity::ExplicitTls << 21;
        QTest::newRow("port out of range") << "ftp.a.test" << "1" << "" << "70000" << FtpSecurity::ExplicitTls << 21;
    }
    void security()
    {
        QFETCH(QString, host);
        QFETCH(QString, security);
        QFETCH(QString, plainHost);
        QFETCH(QString, port);
        QFETCH(FtpSecurity, expected);
        QFETCH(int, expectedPort);
        TestEnv env;
        SettingsStore store(env.settingsFile());
        store.write(kUpdateSection, QStringLiteral("Host"), host);
        store.write(kUpdateSection, QStringLiteral("Security"), security);
        store.write(kUpdateSection, QStringLiteral("PlainHost"), plainHost);
        if (!port.isEmpty())
            store.write(kUpdateSection, QStringLiteral("Port"), port);
        const UpdateServerSettings s = LoadUpdateServerSettings(store);
        QCOMPARE(s.Security, expected);
        QCOMPARE(int(s.Port), expectedPort);
    }

    void plainIsBoundToItsHostWhenSaved()
    {
        TestEnv env;
        SettingsStore store(env.settingsFile());
        UpdateServerSettings s;
        s.Host = QStringLiteral("ftp.a.test");
        s.Security = FtpSecurity::Plain;
        SaveUpdateServerSettings(store, s);
        QCOMPARE(LoadUpdateServerSettings(store).Security, FtpSecurity::Plain);
        // The host changed behind the program's back: the password must not go out in clear.
        store.write(kUpdateSection, QStringLiteral("Host"), QStringLiteral("ftp.evil.test"));
        QCOMPARE(LoadUpdateServerSettings(store).Security, FtpSecurity::ExplicitTls);
    }

    void proxySection()
    {
        TestEnv env;
        {
            SettingsStore store(env.settingsFile());
            const ProxySettings p = LoadProxySettings(store);
            QVERIFY(!p.Use);
            QVERIFY(p.Address.isEmpty() && p.Port.isEmpty());
            SaveProxySettings(store, p);
            QVERIFY(store.save());
        }
        QSettings raw(env.settingsFile(), QSettings::IniFormat);
        QCOMPARE(raw.value(QStringLiteral("Proxy/Use")).toString(), QStringLiteral("0"));
        QCOMPARE(raw.value(QStringLiteral("Proxy/Address")).toString(), QString());
        QCOMPARE(raw.value(QStringLiteral("Proxy/Port")).toString(), QString());

        SettingsStore store(env.settingsFile());
        SaveProxySettings(store, {true, QStringLiteral("proxy.example.test"), QStringLiteral("abc")});
        const ProxySettings p = LoadProxySettings(store);
        QVERIFY(p.Use);
        QCOMPARE(p.Address, QStringLiteral("proxy.example.test"));
        QCOMPARE(p.Port, QStringLiteral("abc"));
        for (const char *use : {"2", "-1", "True", ""}) {
            store.write(kProxySection, QStringLiteral("Use"), QString::fromLatin1(use));
            QVERIFY2(!LoadProxySettings(store).Use, use);
        }
    }

    void endpointFromTheSections()
    {
        UpdateServerSettings s;
        s.Host = QStringLiteral(" ftp.a.test ");
        s.Port = 2121;
        s.User = QStringLiteral("upd");
        s.Password = QStringLiteral("pw");
        s.Security = FtpSecurity::ImplicitTls;
        s.CAFile = QStringLiteral("/ca.pem");
        s.Timeout = 12;
        const FtpEndpoint e =
            updateEndpoint(s, {true, QStringLiteral("127.0.0.1"), QStringLiteral("3128")});
        QCOMPARE(e.host, QStringLiteral("ftp.a.test"));
        QCOMPARE(e.port, quint16(2121));
        QCOMPARE(e.user, QStringLiteral("upd"));
        QCOMPARE(e.password, QStringLiteral("pw"));
        QCOMPARE(e.security, FtpSecurity::ImplicitTls);
        QCOMPARE(e.caFile, QStringLiteral("/ca.pem"));
        QCOMPARE(e.timeoutSeconds, 12);
        QVERIFY(e.proxy.use);
        QCOMPARE(e.proxy.address, QStringLiteral("127.0.0.1"));
        QCOMPARE(e.proxy.port, QStringLiteral("3128"));
        QVERIFY(!updateEndpoint(s, {}).proxy.use);
    }

    void logOnIntoTheUpdateFolder()
    {
        if (!PyFtpServer::available())
            QSKIP("pyftpdlib is not installed");
        PyFtpServer server;
        QVERIFY(server.putFile(QStringLiteral("pub/kvorn/version.txt"), "1.4.84,\"x.bin\"\r\n"));
        QString error;
        QVERIFY2(server.start(&error), qPrintable(error));
        UpdateServerSettings s;
        s.Host = QStringLiteral("127.0.0.1");
        s.Port = server.port();
        s.User = server.user();
        s.Password = server.password();
        s.Security = FtpSecurity::Plain;
        s.Folder = QStringLiteral("/pub/kvorn/");
        CurlFtpClient ftp;
        QVERIFY2(ftp.open(updateEndpoint(s, {}), {}), qPrintable(ftp.lastErrorMessage()));
        QVERIFY(enterUpdateFolder(ftp, s));
        QCOMPARE(ftp.currentDir(), QStringLiteral("/pub/kvorn/"));
        QCOMPARE(ftp.fileSize(QStringLiteral("version.txt")), std::optional<qint64>(16));
        s.Folder = QStringLiteral("missing");
        QVERIFY(!enterUpdateFolder(ftp, s));
    }
};

QTEST_GUILESS_MAIN(TestUpdateServerSettings)
#include "test_update_server_settings.moc"

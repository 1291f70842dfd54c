// SPDX-License-Identifier: GPL-3.0-or-later
// The mail check and the processing of marked mail over TLS: implicit TLS and STLS on a
// real Dovecot with a CA made by the test, certificates that must be refused, and the
// STLS faults only a scripted server produces.
#include "DovecotServer.h"
#include "MailRig.h"
#include "Pop3Fakes.h"
#include "TestCertificates.h"
#include "mail/MailProcessor.h"

#include <QTemporaryDir>
#include <QTest>

using namespace kvorn;
using namespace kvorn::test;

Q_DECLARE_METATYPE(kvorn::MailTls)

namespace {

/// The mail check with the processing of marked mail.
struct TlsRig
{
    MailRig mail;
    MailProcessor processor{{mail.check, mail.list, mail.settings, mail.accounts, mail.core.prompt,
                             nullptr, &mail.core.controller}};

    bool runProcessing(int ms = 20000)
    {
        QSignalSpy finished(&processor, &MailProcessor::processingFinished);
        if (!processor.ProcessMail())
            return false;
        return !finished.isEmpty() || finished.wait(ms);
    }

    void useAccount(const QString &server, MailTls tls)
    {
        mail.setAccounts({server});
        mail.accounts[0].AcctTLS = tls;
    }

    /// The check and the processing each have their own session.
    void trust(const QSslConfiguration &configuration)
    {
        mail.check.session().socket().setSslConfiguration(configuration);
        processor.session().socket().setSslConfiguration(configuration);
    }
};

QByteArray message(int n)
{
    return "From: Sender " + QByteArray::number(n) + " <s" + QByteArray::number(n) +
           "@example.test>\nTo: user0@example.test\nSubject: Test " + QByteArray::number(n) +
           "\nDate: Wed, 9 Dec 2026 10:00:00 +0000\n\nHello.\n";
}

/// Dovecot's log-on lines for the user; a TLS log-on carries ", TLS".
QStringList logOns(const DovecotServer &dovecot, const QString &user)
{
    QStringList out;
    for (const QString &line : dovecot.log().split(QLatin1Char('\n'))) {
        if (line.contains(QLatin1String("Login: user=<") + user + QLatin1Char('>')))
            out.append(line);
    }
    return out;
}

int rowOfTag(const MessageListModel &list, int tag)
{
    for (int r = 0; r < list.rowCount(); ++r) {
        if (list.tag(r) == tag)
            return r;
    }
    return -1;
}

/// A marked row of the account, as an earlier check left it.
void addMarkedRow(MessageListModel &list, const QString &account, int tag)
{
    MailListRow row;
    row.tag = tag;
    row.checked = true;
    row.text[ColAccount] = account;
    row.text[ColUniqueId] = QStringLiteral("uid-%1\r\n").arg(tag);
    list.addRow(row);
}

/// The server's port for an account with this kind of TLS.
quint16 portFor(const DovecotServer &dovecot, MailTls tls)
{
    return tls == MailTls::Implicit ? dovecot.tlsPort() : dovecot.port();
}

} // namespace

class TestMailTls : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void checkAndProcessingOverTls_data();
    void checkAndProcessingOverTls();
    void refusedCertificate_data();
    void refusedCertificate();
    void stlsRefused_data();
    void stlsRefused();
    void plaintextAfterStlsConsentIsDropped();
};

void TestMailTls::checkAndProcessingOverTls_data()
{
    QTest::addColumn<MailTls>("tls");
    QTest::addColumn<QString>("logOn");
    QTest::newRow("implicit") << MailTls::Implicit << QStringLiteral("USER user0\r\n");
    QTest::newRow("stls") << MailTls::Stls << QStringLiteral("STLS\r\nUSER user0\r\n");
}

void TestMailTls::checkAndProcessingOverTls()
{
    QFETCH(MailTls, tls);
    QFETCH(QString, logOn);
    if (!DovecotServer::available() || !TestCertificates::available())
        QSKIP("dovecot or openssl is not installed");
    DovecotServer dovecot;
    const QString user = QStringLiteral("user0");
    dovecot.addUser(user, QStringLiteral("pass0"));
    for (int n = 1; n <= 3; ++n)
        dovecot.addMessage(user, message(n));
    dovecot.enableTls();
    QString error;
    QVERIFY2(dovecot.start(&error), qPrintable(error));
    RecordingProxy proxy(portFor(dovecot, tls));
    QVERIFY(proxy.listen());

    TlsRig rig;
    rig.useAccount(proxy.hostPort(), tls);
    rig.trust(dovecot.certificates().trustingConfiguration());
    QVERIFY(rig.mail.runCheck());
    QCOMPARE(
        rig.mail.check.statusText(),
        QStringLiteral("close\r\nChecking user0\r\n") + logOn +
            QStringLiteral("STAT\r\nScanning Mail...\r\nQUIT\r\nClose\r\nFinished Checking\r\n"));
    QCOMPARE(rig.mail.list.rowCount(), 3);
    for (int n = 1; n <= 3; ++n)
        QCOMPARE(rig.mail.list.text(rowOfTag(rig.mail.list, n), ColSubject),
                 QStringLiteral("Test %1").arg(n));

    rig.mail.list.setChecked(rowOfTag(rig.mail.list, 1), true);
    rig.mail.list.setChecked(rowOfTag(rig.mail.list, 3), true);
    QVERIFY(rig.runProcessing());
    QCOMPARE(rig.mail.list.rowCount(), 1);
    QCOMPARE(dovecot.messageFiles(user).size(), 1);
    QVERIFY(rig.mail.check.statusText().contains(QLatin1String("DELE 3")));

    // Nothing of the log-on went over the wire in clear; with STLS only the request did.
    const QByteArray wire = proxy.clientBytes;
    QVERIFY(!wire.contains("USER") && !wire.contains("pass0") && !wire.contains("DELE"));
    if (tls == MailTls::Stls)
        QVERIFY2(wire.startsWith("STLS\r\n") && wire.count("STLS\r\n") == 2, wire.left(40));
    // Both sessions, the check's and the processing's, logged on over TLS.
    const QStringList logins = logOns(dovecot, user);
    QCOMPARE(logins.size(), 2);
    for (const QString &line : logins)
        QVERIFY2(line.contains(QLatin1String(", TLS")), qPrintable(line));
}

void TestMailTls::refusedCertificate_data()
{
    QTest::addColumn<MailTls>("tls");
    QTest::addColumn<QString>("subjectAltName");
    QTest::addColumn<bool>("trustTestCa");
    QTest::addColumn<QString>("reason");
    const QString wrongHost =
        QStringLiteral("The host name did not match any of the valid hosts for this certificate");
    // Without the test's CA, the system's CAs alone are asked: no one vouches for the server.
    for (MailTls tls : {MailTls::Implicit, MailTls::Stls}) {
        const char *mode = tls == MailTls::Implicit ? "implicit" : "stls";
        QTest::addRow("%s, certificate for another name", mode)
            << tls << QStringLiteral("DNS:wrong.test") << true << wrongHost;
        QTest::addRow("%s, CA not trusted", mode)
            << tls << QStringLiteral("IP:127.0.0.1") << false << QString();
    }
}

void TestMailTls::refusedCertificate()
{
    QFETCH(MailTls, tls);
    QFETCH(QString, subjectAltName);
    QFETCH(bool, trustTestCa);
    QFETCH(QString, reason);
    if (!DovecotServer::available() || !TestCertificates::available())
        QSKIP("dovecot or openssl is not installed");
    DovecotServer dovecot;
    const QString user = QStringLiteral("user0");
    dovecot.addUser(user, QStringLiteral("pass0"));
    dovecot.addMessage(user, message(1));
    dovecot.enableTls(subjectAltName);
    QString error;
    QVERIFY2(dovecot.start(&error), qPrintable(error));
    RecordingProxy proxy(portFor(dovecot, tls));
    QVERIFY(proxy.listen());

    TlsRig rig;
    rig.useAccount(proxy.hostPort(), tls);
    rig.mail.settings.ServerTO = 15000;
    if (trustTestCa)
        rig.trust(dovecot.certificates().trustingConfiguration());
    QElapsedTimer clock;
    clock.start();
    QVERIFY(rig.mail.runCheck());
    // The account ends at the refusal, not at the time limit, and says why.
    QVERIFY(clock.elapsed() < 10000);
    const QString status = rig.mail.check.statusText();
    QVERIFY2(status.contains(QLatin1String("The certificate of 127.0.0.1 was not accepted: ")),
             qPrintable(status));
    QVERIFY2(reason.isEmpty() || status.contains(reason), qPrintable(status));
    QVERIFY2(!status.contains(QLatin1String("USER")), qPrintable(status));
    QVERIFY(status.endsWith(QLatin1String("Finished Checking\r\n")));
    QCOMPARE(rig.mail.list.rowCount(), 0);

    // Processing a row marked in an earlier check finds the same refusal: nothing deleted,
    // the row keeps its mark.
    addMarkedRow(rig.mail.list, rig.mail.accounts[0].MailName, 1);
    QVERIFY(rig.runProcessing());
    QCOMPARE(rig.mail.list.rowCount(), 1);
    QVERIFY(rig.mail.list.isChecked(0));
    QVERIFY(rig.mail.check.statusText().contains(
        QLatin1String("The certificate of 127.0.0.1 was not accepted: ")));
    QCOMPARE(dovecot.messageFiles(user).size(), 1);

    const QByteArray wire = proxy.clientBytes;
    QVERIFY(!wire.contains("USER") && !wire.contains("pass0"));
    QVERIFY(logOns(dovecot, user).isEmpty());
}

void TestMailTls::stlsRefused_data()
{
    QTest::addColumn<bool>("processing");
    QTest::newRow("check") << false;
    QTest::newRow("processing") << true;
}

void TestMailTls::stlsRefused()
{
    QFETCH(bool, processing);
    ScriptedPop3Server server;
    server.respond = [box = ScriptedPop3Server::mailbox(1, ScriptedPop3Server::sampleMessage)](
                         const QByteArray &command) -> ScriptedPop3Server::Answer {
        if (command == "STLS")
            return {"-ERR STLS not available\r\n"};
        return box(command);
    };
    QVERIFY(server.listen());
    TlsRig rig;
    rig.useAccount(server.hostPort(), MailTls::Stls);
    rig.mail.settings.ServerTO = 15000;
    QElapsedTimer clock;
    clock.start();
    if (processing) {
        addMarkedRow(rig.mail.list, rig.mail.accounts[0].MailName, 1);
        QVERIFY(rig.runProcessing());
        QCOMPARE(rig.mail.list.rowCount(), 1);
        QVERIFY(rig.mail.list.isChecked(0));
        QVERIFY2(rig.mail.check.statusText().startsWith(
                     QLatin1String("Open user0@example.test\r\nSTLS\r\n"
                                   "-ERR STLS not available\r\nNothing deleted on ")),
                 qPrintable(rig.mail.check.statusText()));
    } else {
        QVERIFY(rig.mail.runCheck());
        QCOMPARE(rig.mail.check.statusText(),
                 QStringLiteral("close\r\nChecking user0\r\nSTLS\r\n-ERR STLS not available\r\n"
                                "Finished Checking\r\n"));
        QCOMPARE(rig.mail.list.rowCount(), 0);
    }
    // No plain-text log-on instead, and no waiting for the time limit.
    QCOMPARE(server.commands, QList<QByteArray>{"STLS"});
    QVERIFY(clock.elapsed() < 10000);
}

void TestMailTls::plaintextAfterStlsConsentIsDropped()
{
    if (!TestCertificates::available())
        QSKIP("openssl is not installed");
    QTemporaryDir dir;
    TestCertificates certificates;
    QString error;
    QVERIFY2(certificates.make(dir.path(), QStringLiteral("IP:127.0.0.1"), &error),
             qPrintable(error));
    ScriptedPop3Server server;
    server.tlsCertificate = certificates.certificate();
    server.tlsKey = certificates.key();
    // Someone on the path appends replies of their own to the consent, in plain text: taken
    // for answers after the handshake they would stand in for the server's.
    server.respond = [box = ScriptedPop3Server::mailbox(2, ScriptedPop3Server::sampleMessage)](
                         const QByteArray &command) -> ScriptedPop3Server::Answer {
        if (command == "STLS") {
            ScriptedPop3Server::Answer a{"+OK Begin TLS negotiation now.\r\n+OK injected\r\n"
                                         "-ERR injected\r\n"};
            a.startTls = true;
            return a;
        }
        return box(command);
    };
    QVERIFY(server.listen());
    TlsRig rig;
    rig.useAccount(server.hostPort(), MailTls::Stls);
    rig.trust(certificates.trustingConfiguration());
    QVERIFY(rig.mail.runCheck());
    QCOMPARE(server.encryptedConnections, 1);
    QCOMPARE(server.commands,
             (QList<QByteArray>{"STLS", "USER user0", "PASS pass0", "STAT  ", "CAPA", "RETR 1", "UIDL 1",
                                "TOP 2 20", "UIDL 2", "QUIT"}));
    QCOMPARE(rig.mail.check.statusText(),
             QStringLiteral("close\r\nChecking user0\r\nSTLS\r\nUSER user0\r\nSTAT\r\n"
                            "Scanning Mail...\r\nQUIT\r\nClose\r\nFinished Checking\r\n"));
    QCOMPARE(rig.mail.list.rowCount(), 2);
}

QTEST_GUILESS_MAIN(TestMailTls)
#include "test_mail_tls.moc"

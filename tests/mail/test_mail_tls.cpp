// The mail check and the processing of marked mail over TLS: implicit TLS and STLS on a
// real Dovecot with a CA made by the test.
#include "DovecotServer.h"
#include "MailRig.h"
#include "Pop3Fakes.h"
#include "mail/MailProcessor.h"

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
    rig.mail.check.socket().setSslConfiguration(dovecot.certificates().trustingConfiguration());
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

QTEST_GUILESS_MAIN(TestMailTls)
#include "test_mail_tls.moc"

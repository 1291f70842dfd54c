// SPDX-License-Identifier: GPL-3.0-or-later
#include "DovecotServer.h"
#include "MailRig.h"
#include "Pop3Fakes.h"

#include <QSet>
#include <QTest>

using namespace kvorn;
using namespace kvorn::test;

namespace {
QByteArray message(int n, const QByteArray &extraHeaders = {}, const QByteArray &body = {})
{
    return "Received: from relay.example.test by mx.example.test\n"
           "From: Sender " +
           QByteArray::number(n) + " <s" + QByteArray::number(n) +
           "@example.test>\n"
           "To: alice@example.test\n"
           "Subject: Test " +
           QByteArray::number(n) +
           "\n"
           "Date: Wed, 9 Dec 2026 10:00:00 +0000\n" +
           extraHeaders + "\n" + (body.isEmpty() ? QByteArray("Hello.\n") : body);
}

/// The rows' tags in order of their numbers, and every unique ID present and different.
void verifyRows(const MessageListModel &list, int count, const QString &account)
{
    QCOMPARE(list.rowCount(), count);
    QSet<int> tags;
    QSet<QString> uids;
    for (int r = 0; r < count; ++r) {
        tags.insert(list.tag(r));
        const QString uid = list.text(r, ColUniqueId);
        QVERIFY2(!uid.isEmpty() && !uid.contains(QLatin1Char(' ')), qPrintable(uid));
        uids.insert(uid);
        QCOMPARE(list.text(r, ColAccount), account);
    }
    QCOMPARE(tags.size(), count);
    QCOMPARE(uids.size(), count);
    QVERIFY(tags.contains(1) && tags.contains(count));
}

int rowOfTag(const MessageListModel &list, int tag)
{
    for (int r = 0; r < list.rowCount(); ++r) {
        if (list.tag(r) == tag)
            return r;
    }
    return -1;
}
} // namespace

class TestMailDovecot : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void emptyMailbox();
    void threeMessagesDialogue();
    void severalHundredMessages();
    void firstAccountWrongPassword();
    void awkwardMessages();
};

void TestMailDovecot::init()
{
    if (!DovecotServer::available())
        QSKIP("dovecot is not installed");
}

void TestMailDovecot::emptyMailbox()
{
    DovecotServer dovecot;
    dovecot.addUser(QStringLiteral("user0"), QStringLiteral("pass0"));
    QString error;
    QVERIFY2(dovecot.start(&error), qPrintable(error));
    MailRig rig;
    rig.setAccounts({dovecot.hostPort()});
    QVERIFY(rig.runCheck());
    QCOMPARE(rig.check.statusText(),
             QStringLiteral("close\r\nChecking user0\r\nUSER user0\r\nSTAT\r\nQUIT No Messages\r\n"
                            "Finished Checking\r\n"));
    QCOMPARE(rig.messagesPanel(), QStringLiteral("Messages: 0"));
    QCOMPARE(rig.list.rowCount(), 0);
}

void TestMailDovecot::threeMessagesDialogue()
{
    DovecotServer dovecot;
    dovecot.addUser(QStringLiteral("user0"), QStringLiteral("pass0"));
    for (int n = 1; n <= 3; ++n)
        dovecot.addMessage(QStringLiteral("user0"), message(n));
    QString error;
    QVERIFY2(dovecot.start(&error), qPrintable(error));
    RecordingProxy proxy(dovecot.port());
    QVERIFY(proxy.listen());

    MailRig rig;
    rig.setAccounts({proxy.hostPort()});
    QVERIFY(rig.runCheck());
    QTRY_COMPARE(proxy.commands(),
                 (QList<QByteArray>{"USER user0", "PASS pass0", "STAT  ", "CAPA", "RETR 1", "UIDL 1",
                                    "TOP 2 20", "UIDL 2", "TOP 3 20", "UIDL 3", "QUIT"}));
    QCOMPARE(rig.check.statusText(),
             QStringLiteral("close\r\nChecking user0\r\nUSER user0\r\nSTAT\r\nScanning Mail...\r\n"
                            "QUIT\r\nClose\r\nFinished Checking\r\n"));
    QCOMPARE(rig.messagesPanel(), QStringLiteral("Messages: 3"));
    verifyRows(rig.list, 3, QStringLiteral("user0@example.test"));
    for (int n = 1; n <= 3; ++n) {
        const int r = rowOfTag(rig.list, n);
        QCOMPARE(rig.list.text(r, ColSubject), QStringLiteral("Test %1").arg(n));
        QCOMPARE(rig.list.text(r, ColBlacklist),
                 QStringLiteral("from relay.example.test by mx.example.test"));
    }
    // Message 1 is fetched whole; its size is that of the stored file.
    QCOMPARE(rig.list.text(rowOfTag(rig.list, 1), ColSize),
             QString::number(message(1).replace("\n", "\r\n").size()));
    QCOMPARE(dovecot.messageFiles(QStringLiteral("user0")).size(), 3); // nothing deleted
}

void TestMailDovecot::severalHundredMessages()
{
    constexpr int kCount = 300;
    DovecotServer dovecot;
    dovecot.addUser(QStringLiteral("user0"), QStringLiteral("pass0"));
    for (int n = 1; n <= kCount; ++n)
        dovecot.addMessage(QStringLiteral("user0"), message(n));
    QString error;
    QVERIFY2(dovecot.start(&error), qPrintable(error));
    MailRig rig;
    rig.setAccounts({dovecot.hostPort()});
    QVERIFY(rig.runCheck(60000));
    QCOMPARE(rig.messagesPanel(), QStringLiteral("Messages: 300"));
    verifyRows(rig.list, kCount, QStringLiteral("user0@example.test"));
    for (int n : {1, 150, 300})
        QCOMPARE(rig.list.text(rowOfTag(rig.list, n), ColSubject),
                 QStringLiteral("Test %1").arg(n));
    QVERIFY(rig.check.statusText().endsWith(QLatin1String("Finished Checking\r\n")));
}

void TestMailDovecot::firstAccountWrongPassword()
{
    DovecotServer dovecot;
    dovecot.addUser(QStringLiteral("user0"), QStringLiteral("other"));
    dovecot.addUser(QStringLiteral("user1"), QStringLiteral("pass1"));
    dovecot.addMessage(QStringLiteral("user0"), message(1));
    dovecot.addMessage(QStringLiteral("user1"), message(2));
    dovecot.addMessage(QStringLiteral("user1"), message(3));
    QString error;
    QVERIFY2(dovecot.start(&error), qPrintable(error));
    MailRig rig;
    rig.setAccounts({dovecot.hostPort(), dovecot.hostPort()});
    QVERIFY(rig.runCheck());
    const QString status = rig.check.statusText();
    QVERIFY2(status.startsWith(QLatin1String("close\r\nChecking user0\r\nUSER user0\r\n-ERR ")),
             qPrintable(status));
    QVERIFY(status.contains(QLatin1String("close\r\nChecking user1\r\nUSER user1\r\nSTAT\r\n")));
    QVERIFY(status.endsWith(QLatin1String("Finished Checking\r\n")));
    verifyRows(rig.list, 2, QStringLiteral("user1@example.test"));
    QCOMPARE(rig.messagesPanel(), QStringLiteral("Messages: 2"));
}

void TestMailDovecot::awkwardMessages()
{
    DovecotServer dovecot;
    dovecot.addUser(QStringLiteral("user0"), QStringLiteral("pass0"));
    const QByteArray longLine(5000, 'L');
    // 1: fetched whole; a body line that is a lone dot and lines starting with dots.
    dovecot.addMessage(QStringLiteral("user0"),
                       message(1, {}, "first\n.\n..two dots\n.hidden\nlast\n"));
    // 2: a folded subject, UTF-8 and raw 8-bit Windows text in headers.
    dovecot.addMessage(QStringLiteral("user0"),
                       "From: J\xC3\xBCrgen M\xC3\xBCller <j@example.test>\n"
                       "Subject: Caf\xE9 news\n"
                       "X-Long: " +
                           longLine +
                           "\n"
                           "To: alice@example.test\n\n"
                           "." +
                           longLine + "\nend\n");
    dovecot.addMessage(QStringLiteral("user0"),
                       "Subject: folded\n over two lines\nFrom: f@example.test\n"
                       "X-Priority: 1\n\n.\n.\n.\n");
    // 4: a long body; only the first 20 lines come.
    QByteArray body;
    for (int i = 1; i <= 60; ++i)
        body += "line " + QByteArray::number(i) + "\n";
    dovecot.addMessage(QStringLiteral("user0"), message(4, {}, body));
    QString error;
    QVERIFY2(dovecot.start(&error), qPrintable(error));

    MailRig rig;
    rig.setAccounts({dovecot.hostPort()});
    QVERIFY(rig.runCheck());
    verifyRows(rig.list, 4, QStringLiteral("user0@example.test"));

    const int r1 = rowOfTag(rig.list, 1);
    QCOMPARE(rig.list.text(r1, ColSubject), QStringLiteral("Test 1"));
    // The dot-stuffing stays as the server sent it: every dotted line got one more dot.
    QCOMPARE(
        rig.list.text(r1, ColSize),
        QString::number(
            message(1, {}, "first\n.\n..two dots\n.hidden\nlast\n").replace("\n", "\r\n").size() +
            3));
    const int r2 = rowOfTag(rig.list, 2);
    QCOMPARE(rig.list.text(r2, ColFrom), QStringLiteral("Jürgen Müller <j@example.test>"));
    QCOMPARE(rig.list.text(r2, ColSubject), QStringLiteral("Café news"));
    const int r3 = rowOfTag(rig.list, 3);
    // A folded header is read whole, its line break gone.
    QCOMPARE(rig.list.text(r3, ColSubject), QStringLiteral("folded over two lines"));
    QCOMPARE(rig.list.text(r3, ColFrom), QStringLiteral("f@example.test"));
    QCOMPARE(rig.list.text(r3, ColPriority), QStringLiteral("High"));
    // Message 4 comes with 20 body lines only.
    const QByteArray top =
        message(4, {}, body.left(body.indexOf("line 21\n"))).replace("\n", "\r\n");
    QCOMPARE(rig.list.text(rowOfTag(rig.list, 4), ColSize), QString::number(top.size()));
    QVERIFY(rig.check.statusText().endsWith(QLatin1String("Finished Checking\r\n")));
}

QTEST_GUILESS_MAIN(TestMailDovecot)
#include "test_mail_dovecot.moc"

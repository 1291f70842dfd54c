// SPDX-License-Identifier: GPL-3.0-or-later
#include "MailRig.h"
#include "Pop3Fakes.h"
#include "mail/MailClassifier.h"
#include "mail/ReplyWord.h"

#include <QElapsedTimer>
#include <QTcpServer>
#include <QTest>
#include <algorithm>
#include <limits>

using namespace kvorn;
using namespace kvorn::test;

namespace {
using Answer = ScriptedPop3Server::Answer;

QList<QByteArray> dialogue(int messages)
{
    QList<QByteArray> c{"USER user0", "PASS pass0", "STAT  "};
    // Whether the server takes requests in batches is asked only when there are several.
    if (messages > 1)
        c.append("CAPA");
    for (int n = 1; n <= messages; ++n) {
        c.append(n == 1 ? QByteArray("RETR 1") : "TOP " + QByteArray::number(n) + " 20");
        c.append("UIDL " + QByteArray::number(n));
    }
    c.append("QUIT");
    return c;
}

/// Every row's unique ID belongs to its own message.
bool uidsMatchTags(const MessageListModel &list)
{
    for (int r = 0; r < list.rowCount(); ++r) {
        if (list.text(r, ColUniqueId) != QStringLiteral("uid-%1").arg(list.tag(r)))
            return false;
    }
    return true;
}

class AsyncClassifier final : public MailClassifier
{
public:
    void classify(quint64 rowKey, std::function<void(bool)> done) override
    {
        const int row = list->rowOfKey(rowKey);
        const int tag = list->tag(row);
        log->append("classify " + QByteArray::number(tag));
        QTimer::singleShot(30, [this, rowKey, tag, done] {
            const bool hide = tag == hiddenTag;
            if (hide)
                list->removeRowAt(list->rowOfKey(rowKey));
            else
                list->setText(list->rowOfKey(rowKey), ColStatus, QStringLiteral("classified"));
            done(hide);
        });
    }
    MessageListModel *list = nullptr;
    QList<QByteArray> *log = nullptr;
    int hiddenTag = 0;
};
} // namespace

class TestMailCheck : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void threeMessages();
    void emptyMailbox();
    void splitAndCombinedReplies_data();
    void splitAndCombinedReplies();
    void errorReplyToRetrAndTop();
    void wrongPasswordGoesOnWithNextAccount();
    void silentServerAbortsAndNextCheckRuns();
    void timeLimitCountsFromLastReply();
    void connectionClosedMidMessage();
    void refusedConnectionGoesOn();
    void endlessLineAndGiantMessage_data();
    void endlessLineAndGiantMessage();
    void countAbove16Bits();
    void oversizedMessageIsSkipped_data();
    void oversizedMessageIsSkipped();
    void hugeStatCountIsBounded();
    void requestsGoAheadOnlyWhenOffered_data();
    void requestsGoAheadOnlyWhenOffered();
    void secondRequestIsIgnored();
    void stopCommand();
    void defaultAccountsOnly();
    void messagesSumOverAccounts();
    void classificationBeforeUniqueId();
    void uniqueIdFindsItsRow();
    void periodicCheckCountsMinutes();
    void statReplies_data();
    void statReplies();
    void checkWaitsForProcessing();
    void programEndAbortsCheck();
};

void TestMailCheck::threeMessages()
{
    MailRig rig;
    ScriptedPop3Server server;
    QVERIFY(server.listen());
    server.respond = ScriptedPop3Server::mailbox(3, [](int n) {
        QByteArray m = ScriptedPop3Server::sampleMessage(n);
        if (n == 2)
            m.replace("Subject:", "X-Priority: 1\r\nSubject:");
        return m;
    });
    rig.setAccounts({server.hostPort()});
    QVERIFY(rig.runCheck());

    QCOMPARE(server.commands, dialogue(3));
    QCOMPARE(rig.check.statusText(),
             QStringLiteral("close\r\nChecking user0\r\nUSER user0\r\nSTAT\r\nScanning Mail...\r\n"
                            "QUIT\r\nClose\r\nFinished Checking\r\n"));
    QCOMPARE(rig.messagesPanel(), QStringLiteral("Messages: 3"));
    QCOMPARE(rig.list.rowCount(), 3);
    QVERIFY(uidsMatchTags(rig.list));
    for (int r = 0; r < 3; ++r) {
        const int n = rig.list.tag(r);
        const QByteArray text = ScriptedPop3Server::sampleMessage(n);
        QCOMPARE(rig.list.text(r, ColFrom),
                 QStringLiteral("Sender %1 <sender%1@example.test>").arg(n));
        QCOMPARE(rig.list.text(r, ColSubject), QStringLiteral("Message %1").arg(n));
        QCOMPARE(rig.list.text(r, ColDate), QStringLiteral("Wed, 9 Dec 2026 10:00:00 +0000"));
        QCOMPARE(
            rig.list.text(r, ColSize),
            QString::number(text.size() + (n == 2 ? int(sizeof("X-Priority: 1\r\n")) - 1 : 0)));
        QCOMPARE(rig.list.text(r, ColAccount), QStringLiteral("user0@example.test"));
        QCOMPARE(rig.list.text(r, ColBounce), QStringLiteral("False"));
        QCOMPARE(rig.list.text(r, ColStatus), QString::number(n));
        QCOMPARE(rig.list.text(r, ColBlacklist),
                 QStringLiteral("from relay%1.example.test").arg(n));
        QCOMPARE(rig.list.text(r, ColPriority), n == 2 ? QStringLiteral("High") : QString());
        QCOMPARE(rig.list.text(r, ColTo), QString::number(n));
        QVERIFY(!rig.list.isChecked(r));
    }
    QVERIFY(!rig.check.MailBusy());
    QVERIFY(!rig.check.isChecking());
}

void TestMailCheck::emptyMailbox()
{
    MailRig rig;
    ScriptedPop3Server server;
    QVERIFY(server.listen());
    rig.setAccounts({server.hostPort()});
    QVERIFY(rig.runCheck());
    QTRY_COMPARE(server.commands,
                 (QList<QByteArray>{"USER user0", "PASS pass0", "STAT  ", "QUIT"}));
    QCOMPARE(rig.check.statusText(),
             QStringLiteral("close\r\nChecking user0\r\nUSER user0\r\nSTAT\r\nQUIT No Messages\r\n"
                            "Finished Checking\r\n"));
    QCOMPARE(rig.messagesPanel(), QStringLiteral("Messages: 0"));
    QCOMPARE(rig.list.rowCount(), 0);
}

void TestMailCheck::splitAndCombinedReplies_data()
{
    QTest::addColumn<QByteArray>("greeting");
    QTest::addColumn<int>("greetingChunk");
    QTest::addColumn<int>("chunk");
    QTest::newRow("every reply in 3-byte pieces") << QByteArray("+OK ready\r\n") << 1 << 3;
    QTest::newRow("message end split after LF") << QByteArray("+OK ready\r\n") << 0 << 7;
    QTest::newRow("notice and greeting in one arrival")
        << QByteArray("* maintenance tonight\r\n+OK ready\r\n") << 0 << 0;
    QTest::newRow("bare LF line ends") << QByteArray("+OK ready\n") << 0 << 0;
}

void TestMailCheck::splitAndCombinedReplies()
{
    QFETCH(QByteArray, greeting);
    QFETCH(int, greetingChunk);
    QFETCH(int, chunk);
    MailRig rig;
    ScriptedPop3Server server;
    QVERIFY(server.listen());
    server.greeting = greeting;
    server.greetingChunk = greetingChunk;
    const auto inner = ScriptedPop3Server::mailbox(3, ScriptedPop3Server::sampleMessage);
    server.respond = [inner, chunk](const QByteArray &command) {
        Answer a = inner(command);
        a.chunk = chunk;
        a.chunkDelayMs = 1;
        return a;
    };
    rig.setAccounts({server.hostPort()});
    QVERIFY(rig.runCheck());
    QCOMPARE(server.commands, dialogue(3));
    QCOMPARE(rig.list.rowCount(), 3);
    QVERIFY(uidsMatchTags(rig.list));
    for (int r = 0; r < 3; ++r)
        QCOMPARE(rig.list.text(r, ColSubject), QStringLiteral("Message %1").arg(rig.list.tag(r)));
    QVERIFY(rig.check.statusText().endsWith(QLatin1String("Finished Checking\r\n")));
}

void TestMailCheck::errorReplyToRetrAndTop()
{
    MailRig rig;
    rig.settings.ServerTO = 60000; // a stall would show as a timeout of the test
    ScriptedPop3Server server;
    QVERIFY(server.listen());
    const auto inner = ScriptedPop3Server::mailbox(3, ScriptedPop3Server::sampleMessage);
    server.respond = [inner](const QByteArray &command) -> Answer {
        if (command == "RETR 1")
            return {"-ERR message 1 is locked\r\n"};
        if (command == "TOP 2 20")
            return {"-ERR TOP not possible for 2\r\n"};
        return inner(command);
    };
    rig.setAccounts({server.hostPort()});
    QElapsedTimer t;
    t.start();
    QVERIFY(rig.runCheck(10000));
    QVERIFY(t.elapsed() < 5000);
    QCOMPARE(server.commands,
             (QList<QByteArray>{"USER user0", "PASS pass0", "STAT  ", "CAPA", "RETR 1", "TOP 2 20",
                                "TOP 3 20", "UIDL 3", "QUIT"}));
    QCOMPARE(rig.list.rowCount(), 1);
    QCOMPARE(rig.list.tag(0), 3);
    QCOMPARE(rig.list.text(0, ColUniqueId), QStringLiteral("uid-3"));
    const QString status = rig.check.statusText();
    QVERIFY(status.contains(QLatin1String("-ERR message 1 is locked\r\n")));
    QVERIFY(status.contains(QLatin1String("-ERR TOP not possible for 2\r\n")));
    QVERIFY(status.endsWith(QLatin1String("QUIT\r\nClose\r\nFinished Checking\r\n")));
}

void TestMailCheck::wrongPasswordGoesOnWithNextAccount()
{
    MailRig rig;
    ScriptedPop3Server first;
    ScriptedPop3Server second;
    QVERIFY(first.listen() && second.listen());
    first.respond = [](const QByteArray &command) -> Answer {
        if (command.startsWith("PASS"))
            return {"-ERR [AUTH] Authentication failed.\r\n"};
        return {"+OK\r\n"};
    };
    second.respond = ScriptedPop3Server::mailbox(2, ScriptedPop3Server::sampleMessage);
    rig.setAccounts({first.hostPort(), second.hostPort()});
    QVERIFY(rig.runCheck());
    QCOMPARE(first.commands, (QList<QByteArray>{"USER user0", "PASS pass0"}));
    QCOMPARE(second.connections, 1);
    QCOMPARE(rig.list.rowCount(), 2);
    QCOMPARE(rig.list.text(0, ColAccount), QStringLiteral("user1@example.test"));
    QVERIFY(rig.check.statusText().contains(
        QLatin1String("-ERR [AUTH] Authentication failed.\r\nclose\r\nChecking user1\r\n")));
    QVERIFY(rig.check.statusText().endsWith(QLatin1String("Finished Checking\r\n")));
    QCOMPARE(rig.messagesPanel(), QStringLiteral("Messages: 2"));
}

void TestMailCheck::silentServerAbortsAndNextCheckRuns()
{
    MailRig rig;
    rig.settings.ServerTO = 1000;
    ScriptedPop3Server garbage;
    ScriptedPop3Server later;
    QVERIFY(garbage.listen() && later.listen());
    garbage.greeting = "garbage that is no greeting\r\n";
    rig.setAccounts({garbage.hostPort(), later.hostPort()});
    QVERIFY(rig.runCheck(10000));
    QCOMPARE(rig.check.statusText(), QStringLiteral("close\r\nChecking user0\r\nMail Aborted\r\n"));
    QCOMPARE(later.connections, 0); // the abort ends the whole run
    QVERIFY(!rig.check.ResetMail);

    // Noise that keeps coming does not hold the time limit off.
    garbage.greeting.clear();
    for (int i = 0; i < 40; ++i)
        garbage.greeting += "* still no greeting\r\n";
    garbage.greetingChunk = 21;
    garbage.greetingChunkDelayMs = 100;
    QElapsedTimer t;
    t.start();
    QVERIFY(rig.runCheck(10000));
    QVERIFY(t.elapsed() < 3000);
    QVERIFY(rig.check.statusText().endsWith(QLatin1String("Mail Aborted\r\n")));

    // The next check starts normally.
    garbage.greeting = "+OK now awake\r\n";
    QVERIFY(rig.runCheck(10000));
    QCOMPARE(later.connections, 1);
    QVERIFY(rig.check.statusText().endsWith(QLatin1String("Finished Checking\r\n")));
}

void TestMailCheck::timeLimitCountsFromLastReply()
{
    MailRig rig;
    rig.settings.ServerTO = 1000;
    ScriptedPop3Server server;
    QVERIFY(server.listen());
    const auto inner = ScriptedPop3Server::mailbox(4, ScriptedPop3Server::sampleMessage);
    server.respond = [inner](const QByteArray &command) {
        Answer a = inner(command);
        a.delayMs = 250; // brisk, but the whole dialogue takes well over the time limit
        return a;
    };
    rig.setAccounts({server.hostPort()});
    QElapsedTimer t;
    t.start();
    QVERIFY(rig.runCheck(20000));
    QVERIFY2(t.elapsed() > 2000, "the dialogue should outlast the time limit");
    QVERIFY2(rig.check.statusText().endsWith(QLatin1String("Finished Checking\r\n")),
             qPrintable(rig.check.statusText()));
    QCOMPARE(rig.list.rowCount(), 4);
}

void TestMailCheck::connectionClosedMidMessage()
{
    MailRig rig;
    rig.settings.ServerTO = 30000;
    ScriptedPop3Server broken;
    ScriptedPop3Server fine;
    QVERIFY(broken.listen() && fine.listen());
    const auto inner = ScriptedPop3Server::mailbox(2, ScriptedPop3Server::sampleMessage);
    broken.respond = [inner](const QByteArray &command) -> Answer {
        if (command == "RETR 1")
            return {"+OK message follows\r\nFrom: cut@example.test\r\nSubj", true};
        return inner(command);
    };
    fine.respond = inner;
    rig.setAccounts({broken.hostPort(), fine.hostPort()});
    QElapsedTimer t;
    t.start();
    QVERIFY(rig.runCheck(20000));
    QVERIFY(t.elapsed() < 10000);
    QVERIFY2(rig.check.statusText().contains(QLatin1String("10054 : ")),
             qPrintable(rig.check.statusText()));
    QCOMPARE(fine.connections, 1);
    QCOMPARE(rig.list.rowCount(), 2); // nothing half-read is listed
    for (int r = 0; r < 2; ++r)
        QCOMPARE(rig.list.text(r, ColAccount), QStringLiteral("user1@example.test"));
    QVERIFY(rig.check.statusText().endsWith(QLatin1String("Finished Checking\r\n")));
}

void TestMailCheck::refusedConnectionGoesOn()
{
    MailRig rig;
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    ScriptedPop3Server fine;
    QVERIFY(fine.listen());
    rig.setAccounts({QStringLiteral("127.0.0.1:%1").arg(closedPort), fine.hostPort()});
    QVERIFY(rig.runCheck(10000));
    QVERIFY2(rig.check.statusText().startsWith(
                 QLatin1String("close\r\nChecking user0\r\n10061 : Connection refused\r\n")),
             qPrintable(rig.check.statusText()));
    QCOMPARE(fine.connections, 1);
    QVERIFY(rig.check.statusText().endsWith(QLatin1String("Finished Checking\r\n")));
}

void TestMailCheck::endlessLineAndGiantMessage_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("expected");
    QTest::newRow("endless line") << QByteArray("+OK\r\nSubject: ") + QByteArray(300000, 'x')
                                  << QStringLiteral("line longer than 100000 bytes");
    QByteArray giant = "+OK\r\nSubject: big\r\n\r\n";
    for (int i = 0; i < 8000; ++i)
        giant += "0123456789012345678901234567890123456789\r\n";
    QTest::newRow("gigantic message") << giant << QStringLiteral("larger than 200000 bytes");
}

void TestMailCheck::endlessLineAndGiantMessage()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, expected);
    MailRig rig;
    rig.settings.ServerTO = 30000;
    rig.check.setReplyLimits(100000, 200000);
    ScriptedPop3Server flood;
    ScriptedPop3Server fine;
    QVERIFY(flood.listen() && fine.listen());
    const auto inner = ScriptedPop3Server::mailbox(1, ScriptedPop3Server::sampleMessage);
    flood.respond = [inner, reply](const QByteArray &command) -> Answer {
        if (command == "RETR 1")
            return {reply}; // and never the end of the message
        return inner(command);
    };
    fine.respond = inner;
    rig.setAccounts({flood.hostPort(), fine.hostPort()});
    QVERIFY(rig.runCheck(20000));
    QVERIFY2(rig.check.statusText().contains(expected), qPrintable(rig.check.statusText()));
    QCOMPARE(fine.connections, 1);
    QCOMPARE(rig.list.rowCount(), 1);
    QCOMPARE(rig.list.text(0, ColAccount), QStringLiteral("user1@example.test"));
}

void TestMailCheck::countAbove16Bits()
{
    constexpr int kCount = 40000;
    MailRig rig;
    rig.core.options.AutoColumn = false;
    ScriptedPop3Server server;
    QVERIFY(server.listen());
    server.respond = ScriptedPop3Server::mailbox(
        kCount, [](int) { return QByteArray("From: bulk@example.test\r\n\r\n"); });
    rig.setAccounts({server.hostPort()});
    QVERIFY(rig.runCheck(240000));
    QCOMPARE(rig.messagesPanel(), QStringLiteral("Messages: 40000"));
    QCOMPARE(rig.list.rowCount(), kCount);
    QCOMPARE(rig.list.tag(kCount - 1), kCount);
    QCOMPARE(rig.list.text(kCount - 1, ColUniqueId), QStringLiteral("uid-40000"));
    QCOMPARE(server.commands.size(), 4 + 2 * kCount + 1);
    QCOMPARE(server.commands.at(server.commands.size() - 3), QByteArray("TOP 40000 20"));
}

// A message over a bound is skipped and the rest of the mailbox is still listed: the
// dialogue starts again and goes on after it.
void TestMailCheck::oversizedMessageIsSkipped_data()
{
    QTest::addColumn<int>("oversized");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("told");

    QByteArray giant = "+OK\r\nSubject: big\r\n\r\n";
    for (int i = 0; i < 8000; ++i)
        giant += "0123456789012345678901234567890123456789\r\n";
    // Lines of nothing: few bytes, but each line costs memory of its own.
    const QByteArray emptyLines = "+OK\r\nSubject: empty\r\n\r\n" + QByteArray(2 * 50000, '\n');
    const QByteArray crlfLines =
        "+OK\r\nSubject: empty\r\n\r\n" + QByteArray("\r\n").repeated(50000);

    QTest::newRow("first message over the byte bound, never ended")
        << 1 << giant << "Message 1 is larger than 200000 bytes; it was skipped.";
    QTest::newRow("first message over the byte bound, ended")
        << 1 << giant + ".\r\n"
        << "Message 1 is larger than 200000 bytes; it was skipped.";
    QTest::newRow("later message over the byte bound")
        << 2 << giant << "Message 2 is larger than 200000 bytes; it was skipped.";
    QTest::newRow("first message of countless empty lines")
        << 1 << emptyLines + ".\r\n"
        << "Message 1 has more than 10000 lines; it was skipped.";
    QTest::newRow("last message of countless empty lines, never ended")
        << 3 << crlfLines << "Message 3 has more than 10000 lines; it was skipped.";
}

void TestMailCheck::oversizedMessageIsSkipped()
{
    QFETCH(int, oversized);
    QFETCH(QByteArray, reply);
    QFETCH(QString, told);
    MailRig rig;
    rig.settings.ServerTO = 30000;
    rig.check.setReplyLimits(100000, 200000, 10000);
    ScriptedPop3Server server;
    ScriptedPop3Server next;
    QVERIFY(server.listen() && next.listen());
    const auto inner = ScriptedPop3Server::mailbox(3, ScriptedPop3Server::sampleMessage);
    const QByteArray command =
        oversized == 1 ? QByteArray("RETR 1") : "TOP " + QByteArray::number(oversized) + " 20";
    server.respond = [inner, reply, command](const QByteArray &c) -> Answer {
        if (c == command)
            return {reply};
        return inner(c);
    };
    next.respond = inner;
    rig.setAccounts({server.hostPort(), next.hostPort()});
    QElapsedTimer clock;
    clock.start();
    QVERIFY(rig.runCheck(20000));
    QVERIFY2(clock.elapsed() < 10000, "the skip must not wait for the time limit");
    const QString status = rig.check.statusText();
    QVERIFY2(status.contains(told), qPrintable(status));
    QVERIFY2(!status.contains(QLatin1String("Mail Aborted")), qPrintable(status));
    QVERIFY(status.endsWith(QLatin1String("Finished Checking\r\n")));

    // The other two messages of the account are listed with their own unique IDs, and the
    // next account is checked as usual.
    QCOMPARE(rig.list.rowCount(), 5);
    QVERIFY(uidsMatchTags(rig.list));
    QList<int> tags;
    for (int r = 0; r < rig.list.rowCount(); ++r) {
        if (rig.list.text(r, ColAccount) == QLatin1String("user0@example.test"))
            tags.append(rig.list.tag(r));
    }
    std::sort(tags.begin(), tags.end());
    QList<int> expected{1, 2, 3};
    expected.removeOne(oversized);
    QCOMPARE(tags, expected);
    QCOMPARE(next.connections, 1);
    QCOMPARE(rig.messagesPanel(), QStringLiteral("Messages: 6"));
    // Logged on again, and on after the skipped message; nothing was deleted.
    QCOMPARE(server.connections, 2);
    const qsizetype again = server.commands.lastIndexOf("USER user0");
    QVERIFY(again > 0);
    QCOMPARE(server.commands.at(again + 2), QByteArray("STAT  "));
    if (oversized < 3)
        QCOMPARE(server.commands.at(again + 3), "TOP " + QByteArray::number(oversized + 1) + " 20");
    else
        QCOMPARE(server.commands.at(again + 3), QByteArray("QUIT"));
    for (const QByteArray &c : server.commands)
        QVERIFY(!c.startsWith("DELE"));
}

// A server that claims 2^31 - 1 messages on two accounts: the total is right, and only the
// first rows of each account are listed.
void TestMailCheck::requestsGoAheadOnlyWhenOffered_data()
{
    QTest::addColumn<QByteArray>("capabilities"); // empty: the server knows no CAPA
    QTest::addColumn<int>("refusedTop");          // 0: none
    QTest::addColumn<int>("sentAhead"); // requests after the first, by its unique-ID request's turn

    const QByteArray without = "TOP\r\nUSER\r\nUIDL\r\n";
    const QByteArray with = "TOP\r\nUSER\r\npipelining\r\nUIDL\r\n";
    QTest::newRow("no capability list") << QByteArray() << 0 << 1;
    QTest::newRow("capabilities without pipelining") << without << 0 << 1;
    // A window of 100 messages, two requests each, less the first one.
    QTest::newRow("pipelining offered") << with << 0 << 199;
    QTest::newRow("pipelining offered, a header request refused") << with << 7 << 199;
}

// Batches change only the waits: the requests, their order, the rows and their unique IDs
// stay those of one request at a time.
void TestMailCheck::requestsGoAheadOnlyWhenOffered()
{
    QFETCH(QByteArray, capabilities);
    QFETCH(int, refusedTop);
    QFETCH(int, sentAhead);
    constexpr int kCount = 150;
    MailRig rig;
    rig.core.options.AutoColumn = false;
    rig.settings.ServerTO = 60000;
    ScriptedPop3Server server;
    QVERIFY(server.listen());
    auto inner = ScriptedPop3Server::mailbox(kCount, ScriptedPop3Server::sampleMessage);
    if (!capabilities.isEmpty())
        inner = ScriptedPop3Server::withCapabilities(inner, capabilities);
    const QByteArray refused = "TOP " + QByteArray::number(refusedTop) + " 20";
    qsizetype ahead = 0;
    server.respond = [&](const QByteArray &command) -> Answer {
        // Answered once the first message went out: what came meanwhile was sent ahead.
        if (command == "UIDL 1")
            ahead = server.commands.size() - server.commands.indexOf("RETR 1") - 1;
        if (command == refused)
            return {"-ERR not now\r\n"};
        Answer a = inner(command);
        if (command == "RETR 1")
            a.delayMs = 500; // time enough for whatever was sent ahead to arrive
        return a;
    };
    rig.setAccounts({server.hostPort()});
    QVERIFY(rig.runCheck(60000));

    QCOMPARE(ahead, sentAhead);
    // A refused header request's unique-ID request went out with it; its answer was passed
    // over.
    QCOMPARE(server.commands, dialogue(kCount));
    QList<int> tags;
    QList<int> expectedTags;
    for (int r = 0; r < rig.list.rowCount(); ++r)
        tags.append(rig.list.tag(r));
    for (int n = 1; n <= kCount; ++n) {
        if (n != refusedTop)
            expectedTags.append(n);
    }
    std::sort(tags.begin(), tags.end());
    QCOMPARE(tags, expectedTags);
    QVERIFY(uidsMatchTags(rig.list));
    QVERIFY(
        rig.check.statusText().endsWith(QLatin1String("QUIT\r\nClose\r\nFinished Checking\r\n")));
}

void TestMailCheck::hugeStatCountIsBounded()
{
    constexpr int kMax = std::numeric_limits<std::int32_t>::max();
    MailRig rig;
    rig.check.setRowLimit(4);
    ScriptedPop3Server first;
    ScriptedPop3Server second;
    QVERIFY(first.listen() && second.listen());
    first.respond = ScriptedPop3Server::mailbox(kMax, ScriptedPop3Server::sampleMessage);
    second.respond = ScriptedPop3Server::mailbox(kMax, ScriptedPop3Server::sampleMessage);
    rig.setAccounts({first.hostPort(), second.hostPort()});
    QVERIFY(rig.runCheck(20000));
    QCOMPARE(rig.messagesPanel(), QStringLiteral("Messages: 4294967294"));
    QCOMPARE(rig.list.rowCount(), 8);
    QVERIFY(uidsMatchTags(rig.list));
    QCOMPARE(first.commands, dialogue(4));
    QCOMPARE(second.commands.size(), dialogue(4).size());
    const QString status = rig.check.statusText();
    for (const char *user : {"user0", "user1"})
        QVERIFY2(status.contains(QStringLiteral("Only the first 4 of 2147483647 messages of %1 "
                                                "were listed.\r\nQUIT\r\n")
                                     .arg(QLatin1String(user))),
                 qPrintable(status));
    QVERIFY(status.endsWith(QLatin1String("Finished Checking\r\n")));
}

void TestMailCheck::secondRequestIsIgnored()
{
    MailRig rig;
    ScriptedPop3Server server;
    QVERIFY(server.listen());
    const auto inner = ScriptedPop3Server::mailbox(2, ScriptedPop3Server::sampleMessage);
    server.respond = [inner](const QByteArray &command) {
        Answer a = inner(command);
        a.delayMs = 20;
        return a;
    };
    rig.setAccounts({server.hostPort()});
    QSignalSpy finished(&rig.check, &MailCheck::checkFinished);
    QVERIFY(rig.check.GetNewMail());
    QTest::qWait(50);
    QVERIFY(rig.check.isChecking());
    QVERIFY(!rig.check.GetNewMail());
    QVERIFY(finished.wait(10000));
    QTest::qWait(100);
    QCOMPARE(finished.size(), 1);
    QCOMPARE(server.connections, 1);
    QCOMPARE(server.commands, dialogue(2));
}

void TestMailCheck::stopCommand()
{
    MailRig rig;
    rig.settings.ServerTO = 60000;
    ScriptedPop3Server server;
    ScriptedPop3Server later;
    QVERIFY(server.listen() && later.listen());
    server.respond = [](const QByteArray &command) -> Answer {
        if (command == "STAT  ")
            return {}; // says nothing more
        return {"+OK\r\n"};
    };
    rig.setAccounts({server.hostPort(), later.hostPort()});
    QSignalSpy finished(&rig.check, &MailCheck::checkFinished);
    QVERIFY(rig.check.GetNewMail());
    QTRY_VERIFY(server.commands.contains("STAT  "));
    rig.check.stopMail();
    QVERIFY(finished.wait(5000));
    QVERIFY(rig.check.statusText().endsWith(QLatin1String("Mail Aborted\r\n")));
    QTRY_VERIFY(server.commands.contains("QUIT"));
    QVERIFY(server.commands.contains("RSET"));
    QCOMPARE(later.connections, 0);
    QVERIFY(!rig.check.ResetMail);

    // A stop while nothing runs does not spoil the next check.
    rig.check.stopMail();
    QTest::qWait(20);
    server.respond = ScriptedPop3Server::mailbox(0, ScriptedPop3Server::sampleMessage);
    QVERIFY(rig.runCheck());
    QVERIFY(rig.check.statusText().endsWith(QLatin1String("Finished Checking\r\n")));
    QCOMPARE(later.connections, 1);
}

void TestMailCheck::defaultAccountsOnly()
{
    MailRig rig;
    ScriptedPop3Server first;
    ScriptedPop3Server second;
    QVERIFY(first.listen() && second.listen());
    rig.setAccounts({first.hostPort(), second.hostPort()});
    rig.accounts[0].AcctDefault = false;
    rig.check.MailDefaultOnly = true;
    QVERIFY(rig.runCheck());
    QCOMPARE(first.connections, 0);
    QCOMPARE(second.connections, 1);
    rig.check.MailDefaultOnly = false;
    QVERIFY(rig.runCheck());
    QCOMPARE(first.connections, 1);
}

void TestMailCheck::messagesSumOverAccounts()
{
    MailRig rig;
    ScriptedPop3Server first;
    ScriptedPop3Server second;
    QVERIFY(first.listen() && second.listen());
    first.respond = ScriptedPop3Server::mailbox(2, ScriptedPop3Server::sampleMessage);
    second.respond = ScriptedPop3Server::mailbox(3, ScriptedPop3Server::sampleMessage);
    rig.setAccounts({first.hostPort(), second.hostPort()});
    QVERIFY(rig.runCheck());
    QCOMPARE(rig.messagesPanel(), QStringLiteral("Messages: 5"));
    QCOMPARE(rig.list.rowCount(), 5);
    QVERIFY(uidsMatchTags(rig.list));
    // A new check starts from nothing: rows, status box and count.
    second.respond = ScriptedPop3Server::mailbox(0, ScriptedPop3Server::sampleMessage);
    QVERIFY(rig.runCheck());
    QCOMPARE(rig.messagesPanel(), QStringLiteral("Messages: 2"));
    QCOMPARE(rig.list.rowCount(), 2);
    QVERIFY(rig.check.statusText().startsWith(QLatin1String("close\r\nChecking user0\r\n")));
}

void TestMailCheck::classificationBeforeUniqueId()
{
    MailRig rig;
    ScriptedPop3Server server;
    QVERIFY(server.listen());
    QList<QByteArray> log;
    const auto inner = ScriptedPop3Server::mailbox(3, ScriptedPop3Server::sampleMessage);
    server.respond = [inner, &log](const QByteArray &command) {
        log.append(command);
        return inner(command);
    };
    AsyncClassifier classifier;
    classifier.list = &rig.list;
    classifier.log = &log;
    classifier.hiddenTag = 2;
    rig.check.setClassifier(&classifier);
    rig.setAccounts({server.hostPort()});
    QVERIFY(rig.runCheck());
    QCOMPARE(log, (QList<QByteArray>{"USER user0", "PASS pass0", "STAT  ", "CAPA", "RETR 1",
                                     "classify 1", "UIDL 1", "TOP 2 20", "classify 2", "UIDL 2",
                                     "TOP 3 20", "classify 3", "UIDL 3", "QUIT"}));
    QCOMPARE(rig.list.rowCount(), 2);
    QVERIFY(uidsMatchTags(rig.list));
    QCOMPARE(rig.list.text(0, ColStatus), QStringLiteral("classified"));
}

void TestMailCheck::uniqueIdFindsItsRow()
{
    MailRig rig;
    ScriptedPop3Server server;
    QVERIFY(server.listen());
    // Senders that sort against the fetch order, so every new row goes to the top.
    server.respond = ScriptedPop3Server::mailbox(5, [](int n) {
        return QStringLiteral("From: %1@example.test\r\n\r\n").arg(QChar(u'z' - n)).toUtf8();
    });
    rig.setAccounts({server.hostPort()});
    // The user keeps clicking the last row while the check runs.
    connect(&rig.list, &QAbstractItemModel::rowsInserted, &rig.list, [&] {
        QTimer::singleShot(0, &rig.list, [&] { rig.list.setSelectedRow(rig.list.rowCount() - 1); });
    });
    QVERIFY(rig.runCheck());
    QCOMPARE(rig.list.rowCount(), 5);
    QCOMPARE(rig.list.tag(0), 5);
    QVERIFY(uidsMatchTags(rig.list));
}

void TestMailCheck::periodicCheckCountsMinutes()
{
    MailRig rig;
    ScriptedPop3Server server;
    QVERIFY(server.listen());
    rig.setAccounts({server.hostPort()});
    rig.settings.TimerOn = true;
    rig.settings.TimerCount = 2;
    rig.check.startPeriodicTimerIfOn();
    QTimer &loop = rig.core.controller.mailLoopTimer();
    QVERIFY(loop.isActive());
    QCOMPARE(loop.interval(), 60000);

    rig.core.controller.tmrMailLoopCheck_Timer(); // minute 1
    QCOMPARE(rig.check.MailCheckState.TimerMinutes, 1);
    QVERIFY(loop.isActive());
    QCOMPARE(server.connections, 0);

    QSignalSpy finished(&rig.check, &MailCheck::checkFinished);
    rig.core.controller.tmrMailLoopCheck_Timer(); // minute 2: the check runs
    QVERIFY(finished.wait(10000));
    QCOMPARE(server.connections, 1);
    QCOMPARE(rig.check.MailCheckState.TimerMinutes, 0);
    QVERIFY(loop.isActive());
    QCOMPARE(loop.interval(), 60000);
}

void TestMailCheck::statReplies_data()
{
    QTest::addColumn<QByteArray>("stat");
    QTest::addColumn<int>("rows");
    QTest::addColumn<QString>("statusEnd");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("negative count") << QByteArray("+OK -1 0\r\n") << 0
                                    << QStringLiteral("STAT\r\nQUIT\r\nFinished Checking\r\n")
                                    << QStringList{QStringLiteral("no mail.")};
    QTest::newRow("count that is no number")
        << QByteArray("+OK many 0\r\n") << 0
        << QStringLiteral("STAT\r\n+OK many 0\r\nFinished Checking\r\n") << QStringList{};
    QTest::newRow("mailbox above 2 GiB")
        << QByteArray("+OK 2 9999999999\r\n") << 2
        << QStringLiteral("QUIT\r\nClose\r\nFinished Checking\r\n") << QStringList{};
}

void TestMailCheck::statReplies()
{
    QFETCH(QByteArray, stat);
    QFETCH(int, rows);
    QFETCH(QString, statusEnd);
    QFETCH(QStringList, messages);
    MailRig rig;
    rig.settings.ServerTO = 60000;
    ScriptedPop3Server server;
    QVERIFY(server.listen());
    const auto inner = ScriptedPop3Server::mailbox(2, ScriptedPop3Server::sampleMessage);
    server.respond = [inner, stat](const QByteArray &command) -> Answer {
        if (command == "STAT  ")
            return {stat};
        return inner(command);
    };
    rig.setAccounts({server.hostPort()});
    QVERIFY(rig.runCheck(10000));
    QVERIFY2(rig.check.statusText().endsWith(statusEnd), qPrintable(rig.check.statusText()));
    QCOMPARE(rig.list.rowCount(), rows);
    QCOMPARE(rig.core.prompt.messages, messages);
    QTRY_COMPARE(server.commands.last(), QByteArray("QUIT"));
}

void TestMailCheck::checkWaitsForProcessing()
{
    MailRig rig;
    ScriptedPop3Server server;
    QVERIFY(server.listen());
    rig.setAccounts({server.hostPort()});
    rig.check.setMailMode(QStringLiteral("DEL"));
    QSignalSpy finished(&rig.check, &MailCheck::checkFinished);
    QVERIFY(rig.check.GetNewMail()); // waits for the processing run
    QTest::qWait(50);
    QCOMPARE(server.connections, 0);
    rig.check.setMailMode(QStringLiteral("Get"));
    QVERIFY(finished.wait(10000));
    QCOMPARE(server.connections, 1);
}

void TestMailCheck::programEndAbortsCheck()
{
    MailRig rig;
    rig.settings.ServerTO = 60000;
    ScriptedPop3Server server;
    QVERIFY(server.listen());
    server.respond = [](const QByteArray &) -> Answer { return {}; };
    rig.setAccounts({server.hostPort()});
    QSignalSpy finished(&rig.check, &MailCheck::checkFinished);
    QVERIFY(rig.check.GetNewMail());
    QTRY_COMPARE(server.commands.size(), 1);
    Q_EMIT rig.core.controller.exitStarted();
    QVERIFY(finished.wait(5000));
    QVERIFY(rig.check.statusText().endsWith(QLatin1String("Mail Aborted\r\n")));
    QVERIFY(!rig.check.isChecking());
}

QTEST_GUILESS_MAIN(TestMailCheck)
#include "test_mail_check.moc"

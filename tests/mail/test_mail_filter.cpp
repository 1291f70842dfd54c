// SPDX-License-Identifier: GPL-3.0-or-later
// The mail filter from end to end: classification of each new row (friends, blacklist,
// sender domains in a real DNS server), and the processing of the marked rows on a real
// Dovecot, with the faults a server can throw at it.
#include "KillLogLines.h"
#include "DnsTestServer.h"
#include "DovecotServer.h"
#include "FakeResolver.h"
#include "MailRig.h"
#include "Pop3Fakes.h"
#include "core/DateText.h"
#include "log/KillLog.h"
#include "mail/MailLists.h"
#include "mail/MailProcessor.h"
#include "mail/SpamClassifier.h"
#include "platform/CaresResolver.h"

#include <QElapsedTimer>
#include <QSet>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <memory>

using namespace kvorn;
using namespace kvorn::test;

namespace {

/// The mail check with the lists, a resolver, the classifier, the kill log and processing.
struct FilterRig
{
    explicit FilterRig(std::unique_ptr<Resolver> r) : resolver(std::move(r))
    {
        classifier.attachTo(mail.check);
    }

    MailRig mail;
    MailLists lists{mail.core.env.programFolder(), mail.core.clock};
    KillLog killLog{mail.core.options, mail.core.controller, mail.core.clock,
                    mail.core.env.programFolder()};
    std::unique_ptr<Resolver> resolver;
    SpamClassifier classifier{lists, mail.list, mail.settings, *resolver};
    MailProcessor processor{{mail.check, mail.list, mail.settings, mail.accounts, mail.core.prompt,
                             &killLog, &mail.core.controller}};

    bool runProcessing(int ms = 20000)
    {
        QSignalSpy finished(&processor, &MailProcessor::processingFinished);
        if (!processor.ProcessMail())
            return false;
        return !finished.isEmpty() || finished.wait(ms);
    }

    void addEntry(MailListKind kind, const QString &address, bool active = true)
    {
        lists.list(kind).append(
            MailListEntry{active, address, mailListNoDateText(), mailListNoDateText()});
    }

    int rowFrom(const QString &fromPart) const
    {
        for (int r = 0; r < mail.list.rowCount(); ++r) {
            if (mail.list.text(r, ColFrom).contains(fromPart))
                return r;
        }
        return -1;
    }

    /// Row texts as "From|checked|Status|Blacklist", in list order.
    QStringList rows() const
    {
        QStringList out;
        for (int r = 0; r < mail.list.rowCount(); ++r)
            out.append(QStringLiteral("%1|%2|%3|%4")
                           .arg(mail.list.text(r, ColFrom))
                           .arg(mail.list.isChecked(r) ? 1 : 0)
                           .arg(mail.list.text(r, ColStatus), mail.list.text(r, ColBlacklist)));
        return out;
    }

    QString deletedPanel() const { return mail.core.controller.statusTexts().text(MailScreen, 4); }
};

std::unique_ptr<Resolver> caresAt(const QString &servers, int timeoutMs = 2000, int tries = 2)
{
    return std::make_unique<CaresResolver>(CaresResolverSettings{servers, timeoutMs, tries});
}

QByteArray mailFrom(const QByteArray &from, const QByteArray &subject,
                    const QByteArray &received = "from relay.example.test by mx.example.test")
{
    return "Received: " + received + "\nFrom: " + from +
           "\nTo: alice@example.test\nSubject: " + subject +
           "\nDate: Wed, 9 Dec 2026 10:00:00 +0000\n\nHello.\n";
}

/// A scripted mailbox that also takes delete commands.
ScriptedPop3Server::Responder deletingMailbox(int count)
{
    return [box = ScriptedPop3Server::mailbox(count, ScriptedPop3Server::sampleMessage)](
               const QByteArray &command) -> ScriptedPop3Server::Answer {
        if (command.startsWith("DELE "))
            return {"+OK marked\r\n"};
        return box(command);
    };
}

/// Another mail program's session: logs on, sends the commands, logs off.
bool otherClient(quint16 port, const QString &user, const QString &pass,
                 const QList<QByteArray> &commands)
{
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, port);
    if (!s.waitForConnected(5000))
        return false;
    auto reply = [&s]() -> QByteArray {
        while (!s.canReadLine()) {
            if (!s.waitForReadyRead(5000))
                return {};
        }
        return s.readLine();
    };
    if (!reply().startsWith("+OK"))
        return false;
    QList<QByteArray> all = {"USER " + user.toUtf8(), "PASS " + pass.toUtf8()};
    all += commands;
    all.append("QUIT");
    for (const QByteArray &c : all) {
        s.write(c + "\r\n");
        if (!reply().startsWith("+OK"))
            return false;
    }
    return true;
}

/// The subjects of the messages still in the user's Maildir, sorted.
QStringList subjectsLeft(const DovecotServer &dovecot, const QString &user)
{
    QStringList subjects;
    for (const QString &f : dovecot.messageFiles(user)) {
        QFile file(dovecot.dir() + QStringLiteral("/home/") + user + QStringLiteral("/Maildir/") +
                   f);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : file.readAll().split('\n')) {
            if (line.startsWith("Subject: "))
                subjects.append(QString::fromUtf8(line.mid(9).trimmed()));
        }
    }
    subjects.sort();
    return subjects;
}

QStringList logLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList out;
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        const QList<QByteArray> fields = line.trimmed().split('\xFF');
        out.append(
            QString::fromUtf8(fields.value(0) + '|' + fields.value(1) + '|' + fields.value(2)));
    }
    return out;
}

/// A mailbox that changes: each message has its unique ID, messages can go between two
/// sessions, and the server's answer to one unique-ID request can be made up. It records
/// every message a "DELE" named, by sender, at the moment the command came.
struct ChangingMailbox
{
    struct Message
    {
        QByteArray from;
        QByteArray uniqueId;
    };
    QList<Message> messages;
    /// Made-up answers to "UIDL n", by n.
    QHash<int, QByteArray> uidlAnswers;
    QStringList deleted;
    QSet<int> deletedInSession;

    ScriptedPop3Server::Responder responder()
    {
        return [this](const QByteArray &command) -> ScriptedPop3Server::Answer {
            const QList<QByteArray> words = command.split(' ');
            const QByteArray verb = words.value(0);
            if (verb == "USER" || verb == "PASS")
                return {"+OK\r\n"};
            if (verb == "STAT") {
                deletedInSession.clear();
                return {"+OK " + QByteArray::number(messages.size()) + " 1000\r\n"};
            }
            if (verb == "QUIT") {
                QList<int> gone(deletedInSession.begin(), deletedInSession.end());
                std::sort(gone.rbegin(), gone.rend());
                for (const int n : gone)
                    messages.removeAt(n - 1);
                deletedInSession.clear();
                return {"+OK bye\r\n", true};
            }
            const int n = words.value(1).toInt();
            if (verb == "UIDL" && uidlAnswers.contains(n))
                return {uidlAnswers.value(n) + "\r\n"};
            if (n < 1 || n > messages.size() || deletedInSession.contains(n))
                return {"-ERR no such message\r\n"};
            const Message &m = messages.at(n - 1);
            if (verb == "UIDL")
                return {"+OK " + QByteArray::number(n) + ' ' + m.uniqueId + "\r\n"};
            if (verb == "RETR" || verb == "TOP")
                return {"+OK\r\nFrom: " + m.from + "\r\nSubject: s\r\n\r\nx\r\n.\r\n"};
            if (verb == "DELE") {
                deletedInSession.insert(n);
                deleted.append(QString::fromLatin1(m.from));
                return {"+OK marked\r\n"};
            }
            return {"-ERR unknown command\r\n"};
        };
    }
};

} // namespace

Q_DECLARE_METATYPE(kvorn::DomainState)

class TestMailFilter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void classification_data();
    void classification();
    void hiddenFriendLeavesNoRowAndTheNextGetsItsId();
    void sendersWithoutDomainAreNeverMarked_data();
    void sendersWithoutDomainAreNeverMarked();
    void endToEndOnDovecotAndDns();
    void renumberedBetweenCheckAndProcessing();
    void stoppedDnsServerMarksNothing();
    void nameServersFollowTheSetting();
    void domainsAreAskedAtOnce();
    void silentNameServerCostsOneTimeOut();
    void logOnFailureDuringProcessingKeepsTheRows();
    void unconfirmedDeletions_data();
    void unconfirmedDeletions();
    void stopDuringProcessing();
    void accountWithoutMarkedRowsStillLogsOnAndOff();
    void periodicCheckProcessesFirstWithAutoDelete();
    void onlyMarkedMailIsDeleted_data();
    void onlyMarkedMailIsDeleted();
    void denialsNeedATrustedNameServer_data();
    void denialsNeedATrustedNameServer();
    void nameServerDenyingEverythingDeletesNothing_data();
    void nameServerDenyingEverythingDeletesNothing();
    void processDuringACheck_data();
    void processDuringACheck();
};

// --- classification against a scripted mailbox and a resolver table ------------------------

void TestMailFilter::classification_data()
{
    QTest::addColumn<QString>("from");
    QTest::addColumn<QString>("received");
    QTest::addColumn<QStringList>("friends");
    QTest::addColumn<QStringList>("blacklist"); // "-" before an entry: inactive
    QTest::addColumn<DomainState>("dns");
    QTest::addColumn<bool>("marked");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("blacklistColumn");
    QTest::addColumn<QStringList>("asked");

    const QString rcv = QStringLiteral("from relay.example.test");
    const auto exists = DomainState::Exists;
    QTest::newRow("friend before blacklist")
        << "Pal <pal@x.test>" << rcv << QStringList{"pal@x.test"} << QStringList{"*x.test"}
        << exists << false << "Friend"
        << "False" << QStringList{};
    QTest::newRow("inactive exact blacklist entry marks")
        << "Spam <SPAM@x.test>" << rcv << QStringList{} << QStringList{"-spam@x.test"} << exists
        << true << "Blacklist"
        << "spam@x.test" << QStringList{};
    QTest::newRow("wildcard on the received line only")
        << "a@x.test"
        << "from relay.spamhost.test" << QStringList{} << QStringList{"*.spamhost.test"} << exists
        << true << "Blacklist"
        << "*.spamhost.test" << QStringList{};
    // A denial is believed once the name server has confirmed the account's own domain.
    QTest::newRow("no such domain")
        << "Ghost <g@nowhere.test>" << rcv << QStringList{} << QStringList{}
        << DomainState::DoesNotExist << true << "No DNS"
        << "False" << QStringList{"nowhere.test", "example.test"};
    QTest::newRow("no answer is no evidence")
        << "Ghost <g@slow.test>" << rcv << QStringList{} << QStringList{} << DomainState::Unknown
        << false << "1"
        << "False" << QStringList{"slow.test"};
    QTest::newRow("domain exists")
        << "n@known.test" << rcv << QStringList{} << QStringList{} << exists << false << "1"
        << "False" << QStringList{"known.test"};
    QTest::newRow("sender without @ asks the whole address")
        << "MAILER-DAEMON" << rcv << QStringList{} << QStringList{} << DomainState::DoesNotExist
        << true << "No DNS"
        << "False" << QStringList{"MAILER-DAEMON", "example.test"};
    QTest::newRow("< without > asks from the whole text")
        << "Odd <odd@broken.test" << rcv << QStringList{} << QStringList{} << exists << false << "1"
        << "False" << QStringList{"broken.test"};
    QTest::newRow("stars alone in the lists match nothing")
        << "a@x.test" << rcv << QStringList{"*"} << QStringList{"**"} << exists << false << "1"
        << "False" << QStringList{"x.test"};
}

void TestMailFilter::classification()
{
    QFETCH(QString, from);
    QFETCH(QString, received);
    QFETCH(QStringList, friends);
    QFETCH(QStringList, blacklist);
    QFETCH(DomainState, dns);
    QFETCH(bool, marked);
    QFETCH(QString, status);
    QFETCH(QString, blacklistColumn);
    QFETCH(QStringList, asked);

    auto fake = std::make_unique<FakeResolver>();
    FakeResolver &resolver = *fake;
    resolver.otherwise = dns;
    resolver.states.insert(QStringLiteral("example.test"), DomainState::Exists);
    FilterRig rig(std::move(fake));
    for (const QString &f : friends)
        rig.addEntry(MailListKind::Friends, f);
    for (const QString &b : blacklist)
        rig.addEntry(MailListKind::Blacklist, b.startsWith(QLatin1Char('-')) ? b.mid(1) : b,
                     !b.startsWith(QLatin1Char('-')));

    ScriptedPop3Server server;
    QVERIFY(server.listen());
    server.respond = ScriptedPop3Server::mailbox(1, [&](int) {
        return ("Received: " + received + "\r\nFrom: " + from + "\r\nSubject: s\r\n\r\nx\r\n")
            .toUtf8();
    });
    rig.mail.setAccounts({server.hostPort()});
    QVERIFY(rig.mail.runCheck());
    QCOMPARE(rig.mail.list.rowCount(), 1);
    QCOMPARE(rig.mail.list.isChecked(0), marked);
    QCOMPARE(rig.mail.list.text(0, ColStatus), status);
    QCOMPARE(rig.mail.list.text(0, ColBlacklist), blacklistColumn);
    QCOMPARE(rig.mail.list.text(0, ColUniqueId), QStringLiteral("uid-1"));
    QCOMPARE(resolver.asked, asked);
}

void TestMailFilter::hiddenFriendLeavesNoRowAndTheNextGetsItsId()
{
    auto fake = std::make_unique<FakeResolver>();
    FakeResolver &resolver = *fake;
    FilterRig rig(std::move(fake));
    rig.mail.settings.HideFriend = true;
    rig.addEntry(MailListKind::Friends, QStringLiteral("*@friends.test"));
    ScriptedPop3Server server;
    QVERIFY(server.listen());
    // Messages 1 and 3 from friends, 2 and 4 from one other domain.
    server.respond = ScriptedPop3Server::mailbox(4, [](int n) {
        const QByteArray from = n % 2 ? "f" + QByteArray::number(n) + "@friends.test"
                                      : "o" + QByteArray::number(n) + "@other.test";
        return "From: " + from + "\r\nSubject: m" + QByteArray::number(n) + "\r\n\r\nx\r\n";
    });
    rig.mail.setAccounts({server.hostPort()});
    QVERIFY(rig.mail.runCheck());
    QCOMPARE(rig.mail.list.rowCount(), 2);
    for (int r = 0; r < 2; ++r) {
        const int tag = rig.mail.list.tag(r);
        QCOMPARE(tag % 2, 0);
        QCOMPARE(rig.mail.list.text(r, ColUniqueId), QStringLiteral("uid-%1").arg(tag));
    }
    // One question for the one domain of the check.
    QCOMPARE(resolver.asked, QStringList{QStringLiteral("other.test")});
    // The next check asks again.
    QVERIFY(rig.mail.runCheck());
    QCOMPARE(resolver.asked.size(), 2);
}

// --- senders the Domain Name System cannot judge, against a real name server -----------------

void TestMailFilter::sendersWithoutDomainAreNeverMarked_data()
{
    QTest::addColumn<QByteArray>("fromHeader"); // the whole header, folds included; empty: none
    QTest::addColumn<QString>("fromColumn");
    QTest::addColumn<bool>("marked");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("told"); // in the status box

    QTest::newRow("folded from, address on the next line")
        << QByteArray("From: \"Jane Q. Public, Department of Long Names\"\r\n <jane@known.test>")
        << "\"Jane Q. Public, Department of Long Names\" <jane@known.test>" << false << "1"
        << "";
    QTest::newRow("folded from with a tab")
        << QByteArray("From: Jane Public\r\n\t<jane@known.test>")
        << "Jane Public\t<jane@known.test>" << false << "1"
        << "";
    QTest::newRow("folded from of an unknown domain is still marked")
        << QByteArray("From: Ghost\r\n <ghost@nowhere.test>") << "Ghost <ghost@nowhere.test>"
        << true << "No DNS"
        << "";
    QTest::newRow("display name only")
        << QByteArray("From: Jane Public") << "Jane Public" << false << "1"
        << "Message 1: no domain name in the sender Jane Public: not marked";
    QTest::newRow("no from header") << QByteArray() << "" << false << "1"
                                    << "Message 1 has no sender: not marked";
    QTest::newRow("empty from header") << QByteArray("From: ") << "" << false << "1"
                                       << "Message 1 has no sender: not marked";
    QTest::newRow("NUL inside the domain")
        << QByteArray("From: <g@nowhere.test") + '\0' + QByteArray(".known.test>")
        << QStringLiteral("<g@nowhere.test") + QChar(0) + QStringLiteral(".known.test>") << false
        << "1"
        << "not marked";
    QTest::newRow("address literal")
        << QByteArray("From: <g@[127.0.0.1]>") << "<g@[127.0.0.1]>" << false << "1"
        << "not marked";
    QTest::newRow("comment after the address")
        << QByteArray("From: g@nowhere.test (Ghost)") << "g@nowhere.test (Ghost)" << false << "1"
        << "not marked";
}

void TestMailFilter::sendersWithoutDomainAreNeverMarked()
{
    QFETCH(QByteArray, fromHeader);
    QFETCH(QString, fromColumn);
    QFETCH(bool, marked);
    QFETCH(QString, status);
    QFETCH(QString, told);

    DnsTestServer dns;
    QString error;
    QVERIFY2(dns.start(&error), qPrintable(error));
    FilterRig rig(caresAt(dns.server(), 1000, 2));
    ScriptedPop3Server server;
    QVERIFY(server.listen());
    server.respond = ScriptedPop3Server::mailbox(1, [&](int) {
        QByteArray text = "Received: from relay.example.test\r\n";
        if (!fromHeader.isEmpty())
            text += fromHeader + "\r\n";
        return text + "Subject: s\r\n\r\nHello.\r\n";
    });
    rig.mail.setAccounts({server.hostPort()});
    QVERIFY(rig.mail.runCheck());
    QCOMPARE(rig.mail.list.rowCount(), 1);
    QCOMPARE(rig.mail.list.text(0, ColFrom), fromColumn);
    QCOMPARE(rig.mail.list.isChecked(0), marked);
    QCOMPARE(rig.mail.list.text(0, ColStatus), status);
    QCOMPARE(rig.mail.list.text(0, ColBlacklist), QStringLiteral("False"));
    QCOMPARE(rig.mail.list.text(0, ColUniqueId), QStringLiteral("uid-1"));
    if (!told.isEmpty())
        QVERIFY2(rig.mail.check.statusText().contains(told),
                 qPrintable(rig.mail.check.statusText()));
}

// --- Dovecot and dnsmasq -------------------------------------------------------------------

void TestMailFilter::endToEndOnDovecotAndDns()
{
    if (!DovecotServer::available())
        QSKIP("dovecot is not installed");
    DnsTestServer dns;
    QString error;
    QVERIFY2(dns.start(&error), qPrintable(error));
    DovecotServer dovecot;
    const QString user = QStringLiteral("user0");
    dovecot.addUser(user, QStringLiteral("pass0"));
    // Sorted by sender so that list order is message order.
    dovecot.addMessage(user, mailFrom("A Friend <pal@nowhere.test>", "from a friend"));
    dovecot.addMessage(user, mailFrom("B Spammer <spam@known.test>", "blacklisted address"));
    dovecot.addMessage(user, mailFrom("C Bulk <offers@mail.bulk.test>", "wildcard domain"));
    dovecot.addMessage(user, mailFrom("D Ghost <ghost@nowhere.test>", "unknown domain"));
    dovecot.addMessage(user, mailFrom("E Normal <n@known.test>", "ordinary"));
    dovecot.addMessage(user, mailFrom("F Mx <m@only-mx.test>", "mail exchanger only"));
    dovecot.addMessage(user, mailFrom("G Text <t@txt-only.test>", "no address record"));
    dovecot.addMessage(user, mailFrom("H Other <o@known.test>", "ordinary again"));
    QVERIFY2(dovecot.start(&error), qPrintable(error));

    FilterRig rig(caresAt(dns.server()));
    rig.addEntry(MailListKind::Friends, QStringLiteral("pal@nowhere.test"));
    rig.addEntry(MailListKind::Blacklist, QStringLiteral("spam@known.test"));
    rig.addEntry(MailListKind::Blacklist, QStringLiteral("*bulk.test"));
    rig.mail.setAccounts({dovecot.hostPort()});
    QVERIFY(rig.mail.runCheck());
    QCOMPARE(rig.rows(), (QStringList{
                             "A Friend <pal@nowhere.test>|0|Friend|False",
                             "B Spammer <spam@known.test>|1|Blacklist|spam@known.test",
                             "C Bulk <offers@mail.bulk.test>|1|Blacklist|*bulk.test",
                             "D Ghost <ghost@nowhere.test>|1|No DNS|False",
                             "E Normal <n@known.test>|0|5|False",
                             "F Mx <m@only-mx.test>|0|6|False",
                             "G Text <t@txt-only.test>|1|No DNS|False",
                             "H Other <o@known.test>|0|8|False",
                         }));
    // nowhere.test, known.test, only-mx.test, txt-only.test and, before the first denial
    // counted, the account's own example.test: each asked once.
    QCOMPARE(rig.classifier.cache().forwardedCount(), 5);

    RecordingProxy proxy(dovecot.port());
    QVERIFY(proxy.listen());
    rig.mail.accounts[0].AcctPOP3 = proxy.hostPort();
    QVERIFY(rig.runProcessing());
    QCOMPARE(proxy.commands(),
             (QList<QByteArray>{"USER user0", "PASS pass0", "STAT  ", "UIDL 2", "DELE 2", "UIDL 3",
                                "DELE 3", "UIDL 4", "DELE 4", "UIDL 7", "DELE 7", "QUIT"}));
    QCOMPARE(subjectsLeft(dovecot, user),
             (QStringList{"from a friend", "mail exchanger only", "ordinary", "ordinary again"}));
    QCOMPARE(rig.rows(), (QStringList{
                             "A Friend <pal@nowhere.test>|0|Friend|False",
                             "E Normal <n@known.test>|0|5|False",
                             "F Mx <m@only-mx.test>|0|6|False",
                             "H Other <o@known.test>|0|8|False",
                         }));
    QCOMPARE(rig.killLog.KilledMail(), 4);
    QCOMPARE(rig.killLog.mailCounters().LogForever, 4);
    QCOMPARE(rig.killLog.mailCounters().LogMonth, 4);
    QCOMPARE(rig.deletedPanel(), QStringLiteral("Mail Deleted: 4 "));
    QVERIFY(rig.mail.check.statusText().endsWith(QLatin1String("Finished Processing\r\n")));
    QCOMPARE(rig.mail.check.MailMode, QStringLiteral("Get"));
    QVERIFY(rig.killLog.FlushLog());
    QCOMPARE(logLines(rig.killLog.logFilePath()),
             (QStringList{"Mail|B Spammer <spam@known.test>|spam@known.test",
                          "Mail|C Bulk <offers@mail.bulk.test>|*bulk.test",
                          "Mail|D Ghost <ghost@nowhere.test>|False",
                          "Mail|G Text <t@txt-only.test>|False"}));
    // A check after processing lists what is left.
    rig.mail.accounts[0].AcctPOP3 = dovecot.hostPort();
    QVERIFY(rig.mail.runCheck());
    QCOMPARE(rig.mail.list.rowCount(), 4);
}

void TestMailFilter::renumberedBetweenCheckAndProcessing()
{
    if (!DovecotServer::available())
        QSKIP("dovecot is not installed");
    DovecotServer dovecot;
    const QString user = QStringLiteral("user0");
    dovecot.addUser(user, QStringLiteral("pass0"));
    for (int n = 1; n <= 5; ++n)
        dovecot.addMessage(user, mailFrom(QByteArray(1, char('A' + n - 1)) + " <s" +
                                              QByteArray::number(n) + "@x.test>",
                                          "message " + QByteArray::number(n)));
    QString error;
    QVERIFY2(dovecot.start(&error), qPrintable(error));
    auto fake = std::make_unique<FakeResolver>();
    FilterRig rig(std::move(fake));
    rig.mail.setAccounts({dovecot.hostPort()});
    QVERIFY(rig.mail.runCheck());
    QCOMPARE(rig.mail.list.rowCount(), 5);
    rig.mail.list.setChecked(rig.rowFrom(QStringLiteral("s3@")), true);
    rig.mail.list.setChecked(rig.rowFrom(QStringLiteral("s5@")), true);

    QVERIFY(otherClient(dovecot.port(), user, QStringLiteral("pass0"), {"DELE 2"}));
    RecordingProxy proxy(dovecot.port());
    QVERIFY(proxy.listen());
    rig.mail.accounts[0].AcctPOP3 = proxy.hostPort();
    QVERIFY(rig.runProcessing());
    // 3 is now 2; 5 is now 4, and there is no 5 any more.
    QCOMPARE(proxy.commands(),
             (QList<QByteArray>{"USER user0", "PASS pass0", "STAT  ", "UIDL 3", "UIDL 2", "DELE 2",
                                "UIDL 5", "UIDL 4", "DELE 4", "QUIT"}));
    QCOMPARE(subjectsLeft(dovecot, user), (QStringList{"message 1", "message 4"}));
    QCOMPARE(rig.killLog.KilledMail(), 2);
    QCOMPARE(rig.mail.list.rowCount(), 3);
}

void TestMailFilter::stoppedDnsServerMarksNothing()
{
    if (!DovecotServer::available())
        QSKIP("dovecot is not installed");
    DnsTestServer dns;
    QString error;
    QVERIFY2(dns.start(&error), qPrintable(error));
    dns.stop();
    DovecotServer dovecot;
    const QString user = QStringLiteral("user0");
    dovecot.addUser(user, QStringLiteral("pass0"));
    dovecot.addMessage(user, mailFrom("A <a@nowhere.test>", "one"));
    dovecot.addMessage(user, mailFrom("B <b@known.test>", "two"));
    dovecot.addMessage(user, mailFrom("C <c@nowhere.test>", "three"));
    QVERIFY2(dovecot.start(&error), qPrintable(error));

    FilterRig rig(caresAt(dns.server(), 300, 1));
    QSignalSpy unanswered(&rig.classifier, &SpamClassifier::domainUnanswered);
    rig.mail.setAccounts({dovecot.hostPort()});
    QVERIFY(rig.mail.runCheck());
    QCOMPARE(rig.rows(), (QStringList{"A <a@nowhere.test>|0|1|False", "B <b@known.test>|0|2|False",
                                      "C <c@nowhere.test>|0|3|False"}));
    // Each domain waited for once.
    QCOMPARE(rig.classifier.cache().forwardedCount(), 2);
    // Told once per domain, in the status box too.
    QCOMPARE(unanswered.size(), 2);
    QVERIFY(
        rig.mail.check.statusText().contains(QLatin1String("No DNS answer for nowhere.test (")));
}

void TestMailFilter::nameServersFollowTheSetting()
{
    DnsTestServer dns;
    QString error;
    QVERIFY2(dns.start(&error), qPrintable(error));
    SilentDnsServer silent;
    auto cares = std::make_unique<CaresResolver>(CaresResolverSettings{silent.server(), 300, 1});
    CaresResolver &resolver = *cares;
    FilterRig rig(std::move(cares));
    rig.mail.settings.DnsServers = silent.server();
    QStringList switched;
    rig.classifier.setServerSwitch(
        [&](const QString &servers) {
            switched.append(servers);
            resolver.setServers(servers);
        },
        silent.server());
    ScriptedPop3Server server;
    QVERIFY(server.listen());
    server.respond = ScriptedPop3Server::mailbox(
        1, [](int) { return QByteArray("From: g@nowhere.test\r\nSubject: s\r\n\r\nx\r\n"); });
    rig.mail.setAccounts({server.hostPort()});

    QVERIFY(rig.mail.runCheck());
    QCOMPARE(rig.rows(), QStringList{"g@nowhere.test|0|1|False"});
    QVERIFY(switched.isEmpty());

    rig.mail.settings.DnsServers = dns.server();
    QVERIFY(rig.mail.runCheck());
    QCOMPARE(rig.rows(), QStringList{"g@nowhere.test|1|No DNS|False"});
    QVERIFY(rig.mail.runCheck());
    QCOMPARE(switched, QStringList{dns.server()});
}

// The check fetches on while the domains are looked up, and ends only when their answers
// are in.
void TestMailFilter::domainsAreAskedAtOnce()
{
    auto fake = std::make_unique<FakeResolver>();
    FakeResolver &resolver = *fake;
    resolver.hold = true;
    resolver.states.insert(QStringLiteral("d2.test"), DomainState::DoesNotExist);
    resolver.states.insert(QStringLiteral("d4.test"), DomainState::DoesNotExist);
    FilterRig rig(std::move(fake));
    rig.mail.settings.ServerTO = 60000;
    ScriptedPop3Server server;
    QVERIFY(server.listen());
    server.respond = ScriptedPop3Server::mailbox(4, [](int n) {
        return "From: s@d" + QByteArray::number(n) + ".test\r\nSubject: s\r\n\r\nx\r\n";
    });
    rig.mail.setAccounts({server.hostPort()});
    QSignalSpy finished(&rig.mail.check, &MailCheck::checkFinished);
    QVERIFY(rig.mail.check.GetNewMail());
    QTRY_VERIFY(server.commands.contains("QUIT"));
    QCOMPARE(resolver.asked, (QStringList{"d1.test", "d2.test", "d3.test", "d4.test"}));
    QCOMPARE(resolver.pendingCount(), 4);
    QTest::qWait(50);
    QVERIFY(finished.isEmpty());
    QVERIFY(rig.mail.check.isChecking());

    resolver.release();
    // The first denial has the account's own domain asked before anything is marked.
    QTRY_COMPARE(resolver.pendingCount(), 1);
    QCOMPARE(resolver.asked.last(), QStringLiteral("example.test"));
    QTest::qWait(50);
    QVERIFY(finished.isEmpty());
    QCOMPARE(rig.rows().value(1), QStringLiteral("s@d2.test|0|2|False"));
    resolver.release();
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(rig.rows(), (QStringList{"s@d1.test|0|1|False", "s@d2.test|1|No DNS|False",
                                      "s@d3.test|0|3|False", "s@d4.test|1|No DNS|False"}));
    QCOMPARE(rig.mail.list.text(3, ColUniqueId), QStringLiteral("uid-4"));
    QVERIFY(rig.mail.check.statusText().endsWith(QLatin1String("Finished Checking\r\n")));

    // The stop command does not wait for answers, and the next check runs as usual.
    QVERIFY(rig.mail.check.GetNewMail());
    QTRY_COMPARE(server.commands.count("QUIT"), 2);
    QCOMPARE(resolver.pendingCount(), 4);
    rig.mail.check.stopMail();
    QTRY_COMPARE(finished.size(), 2);
    QVERIFY(rig.mail.check.statusText().endsWith(QLatin1String("Mail Aborted\r\n")));
    QVERIFY(!rig.mail.check.isChecking());
    resolver.release();
    resolver.hold = false;
    resolver.states.clear();
    server.respond = ScriptedPop3Server::mailbox(
        1, [](int) { return QByteArray("From: s@d2.test\r\nSubject: s\r\n\r\nx\r\n"); });
    QVERIFY(rig.mail.runCheck());
    QCOMPARE(rig.rows(), QStringList{"s@d2.test|0|1|False"});
}

// Six domains against a name server that never answers cost one server time-out in all,
// not one each, and the window goes on meanwhile.
void TestMailFilter::silentNameServerCostsOneTimeOut()
{
    SilentDnsServer silent;
    // On its own the resolver would wait 3 s and then 6 s for each domain.
    FilterRig rig(caresAt(silent.server(), 3000, 2));
    rig.mail.settings.ServerTO = 1000;
    ScriptedPop3Server server;
    QVERIFY(server.listen());
    server.respond = ScriptedPop3Server::mailbox(6, [](int n) {
        return "From: S <s@d" + QByteArray::number(n) + ".test>\r\nSubject: s\r\n\r\nx\r\n";
    });
    rig.mail.setAccounts({server.hostPort()});
    int ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
    ticker.start(20);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(rig.mail.runCheck(30000));
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed >= 900 && elapsed < 3000, qPrintable(QString::number(elapsed)));
    QVERIFY2(ticks >= elapsed / 40, qPrintable(QString::number(ticks)));
    QCOMPARE(rig.mail.list.rowCount(), 6);
    for (int r = 0; r < 6; ++r) {
        QVERIFY(!rig.mail.list.isChecked(r));
        QCOMPARE(rig.mail.list.text(r, ColStatus), QString::number(r + 1));
        QCOMPARE(rig.mail.list.text(r, ColUniqueId), QStringLiteral("uid-%1").arg(r + 1));
    }
    const QString status = rig.mail.check.statusText();
    for (int n = 1; n <= 6; ++n)
        QVERIFY2(
            status.contains(QStringLiteral("No DNS answer for d%1.test (no answer within 1 s): "
                                           "not marked")
                                .arg(n)),
            qPrintable(status));
    QVERIFY(status.endsWith(QLatin1String("Finished Checking\r\n")));
}

void TestMailFilter::logOnFailureDuringProcessingKeepsTheRows()
{
    if (!DovecotServer::available())
        QSKIP("dovecot is not installed");
    DovecotServer dovecot;
    const QString user = QStringLiteral("user0");
    dovecot.addUser(user, QStringLiteral("pass0"));
    dovecot.addMessage(user, mailFrom("A <a@x.test>", "one"));
    dovecot.addMessage(user, mailFrom("B <b@x.test>", "two"));
    QString error;
    QVERIFY2(dovecot.start(&error), qPrintable(error));
    FilterRig rig(std::make_unique<FakeResolver>());
    rig.addEntry(MailListKind::Blacklist, QStringLiteral("*@x.test"));
    rig.mail.setAccounts({dovecot.hostPort()});
    QVERIFY(rig.mail.runCheck());
    QCOMPARE(rig.mail.list.rowCount(), 2);

    rig.mail.accounts[0].AcctPass = QStringLiteral("changed");
    QVERIFY(rig.runProcessing());
    const QString kept = MailProcessor::notDeletedStatus(QStringLiteral("log-on failed"));
    QCOMPARE(rig.rows(), (QStringList{"A <a@x.test>|1|" + kept + "|*@x.test",
                                      "B <b@x.test>|1|" + kept + "|*@x.test"}));
    QCOMPARE(dovecot.messageFiles(user).size(), 2);
    QCOMPARE(rig.killLog.KilledMail(), 0);
    QVERIFY(rig.mail.check.statusText().contains(QLatin1String("-ERR")));

    // With the right password again the same rows go.
    rig.mail.accounts[0].AcctPass = QStringLiteral("pass0");
    QVERIFY(rig.runProcessing());
    QCOMPARE(rig.mail.list.rowCount(), 0);
    QCOMPARE(dovecot.messageFiles(user).size(), 0);
    QCOMPARE(rig.killLog.KilledMail(), 2);
}

// --- faults only a scripted server shows ---------------------------------------------------

void TestMailFilter::unconfirmedDeletions_data()
{
    QTest::addColumn<QByteArray>("dele2"); // the answer to "DELE 2"; empty: as the mailbox
    QTest::addColumn<QByteArray>("quit");  // the answer to "QUIT"; "silent": none
    QTest::addColumn<bool>("closeAfterDele2");
    QTest::addColumn<bool>("silentGreeting");
    QTest::addColumn<QStringList>("rowsLeft"); // "tag|checked|Status"
    QTest::addColumn<int>("counted");

    const QString noAnswer =
        MailProcessor::notDeletedStatus(QStringLiteral("no answer from the server"));
    QTest::newRow("both confirmed")
        << QByteArray() << QByteArray() << false << false << QStringList{"1|0|1"} << 2;
    QTest::newRow("delete refused: that row stays, the other goes")
        << QByteArray("-ERR locked\r\n") << QByteArray() << false << false
        << QStringList{"1|0|1", "2|1|Not Deleted: -ERR locked"} << 1;
    QTest::newRow("QUIT refused: the server keeps both")
        << QByteArray() << QByteArray("-ERR cannot expunge\r\n") << false << false
        << QStringList{"1|0|1", "2|1|Not Deleted: the server did not confirm QUIT",
                       "5|1|Not Deleted: the server did not confirm QUIT"}
        << 0;
    QTest::newRow("no answer to QUIT")
        << QByteArray() << QByteArray("silent") << false << false
        << QStringList{"1|0|1", "2|1|" + noAnswer, "5|1|" + noAnswer} << 0;
    QTest::newRow("connection closed instead of a reply to DELE")
        << QByteArray("silent") << QByteArray() << true << false
        << QStringList{"1|0|1", "2|1|Not Deleted: connection lost",
                       "5|1|Not Deleted: connection lost"}
        << 0;
    QTest::newRow("no greeting") << QByteArray() << QByteArray() << false << true
                                 << QStringList{"1|0|1", "2|1|" + noAnswer, "5|1|" + noAnswer} << 0;
}

void TestMailFilter::unconfirmedDeletions()
{
    QFETCH(QByteArray, dele2);
    QFETCH(QByteArray, quit);
    QFETCH(bool, closeAfterDele2);
    QFETCH(bool, silentGreeting);
    QFETCH(QStringList, rowsLeft);
    QFETCH(int, counted);

    ScriptedPop3Server server;
    QVERIFY(server.listen());
    const auto box = ScriptedPop3Server::mailbox(5, ScriptedPop3Server::sampleMessage);
    server.respond = [&](const QByteArray &command) -> ScriptedPop3Server::Answer {
        if (command == "DELE 2" && !dele2.isEmpty()) {
            if (closeAfterDele2)
                return {QByteArray(), true};
            return {dele2 == "silent" ? QByteArray() : dele2};
        }
        if (command.startsWith("DELE"))
            return {"+OK marked\r\n"};
        if (command == "QUIT" && !quit.isEmpty())
            return {quit == "silent" ? QByteArray() : quit};
        return box(command);
    };
    FilterRig rig(std::make_unique<FakeResolver>());
    rig.mail.settings.ServerTO = 1000;
    rig.mail.setAccounts({server.hostPort()});
    QVERIFY(rig.mail.runCheck());
    QCOMPARE(rig.mail.list.rowCount(), 5);
    // Messages 3 and 4 were deleted elsewhere already: drop their rows; mark 2 and 5.
    for (const int tag : {3, 4})
        rig.mail.list.removeRowAt(rig.rowFrom(QStringLiteral("Sender %1 ").arg(tag)));
    rig.mail.list.setChecked(rig.rowFrom(QStringLiteral("Sender 2 ")), true);
    rig.mail.list.setChecked(rig.rowFrom(QStringLiteral("Sender 5 ")), true);
    server.commands.clear();
    if (silentGreeting)
        server.greeting.clear();

    QVERIFY(rig.runProcessing());
    QStringList left;
    for (int r = 0; r < rig.mail.list.rowCount(); ++r)
        left.append(QStringLiteral("%1|%2|%3")
                        .arg(rig.mail.list.tag(r))
                        .arg(rig.mail.list.isChecked(r) ? 1 : 0)
                        .arg(rig.mail.list.text(r, ColStatus)));
    QCOMPARE(left, rowsLeft);
    QCOMPARE(rig.killLog.KilledMail(), counted);
    QCOMPARE(killLogRecords(rig.killLog.logFilePath()).size(), counted);
    if (counted == 2) {
        QCOMPARE(server.commands, (QList<QByteArray>{"USER user0", "PASS pass0", "STAT  ", "UIDL 2",
                                                     "DELE 2", "UIDL 5", "DELE 5", "QUIT"}));
        QCOMPARE(rig.deletedPanel(), QStringLiteral("Mail Deleted: 2 "));
    }
    QCOMPARE(rig.mail.check.MailMode, QStringLiteral("Get"));
    // The next check runs normally.
    server.greeting = "+OK again\r\n";
    QVERIFY(rig.mail.runCheck());
    QCOMPARE(rig.mail.list.rowCount(), 5);
}

void TestMailFilter::stopDuringProcessing()
{
    ScriptedPop3Server server;
    QVERIFY(server.listen());
    const auto box = ScriptedPop3Server::mailbox(3, ScriptedPop3Server::sampleMessage);
    bool slow = false;
    server.respond = [&](const QByteArray &command) -> ScriptedPop3Server::Answer {
        ScriptedPop3Server::Answer a = box(command);
        if (slow && command.startsWith("UIDL"))
            a.delayMs = 3000;
        return a;
    };
    FilterRig rig(std::make_unique<FakeResolver>());
    rig.mail.setAccounts({server.hostPort()});
    QVERIFY(rig.mail.runCheck());
    for (int r = 0; r < 3; ++r)
        rig.mail.list.setChecked(r, true);
    slow = true;
    QSignalSpy finished(&rig.processor, &MailProcessor::processingFinished);
    QVERIFY(rig.processor.ProcessMail());
    QTRY_VERIFY(server.commands.contains("UIDL 1"));
    rig.mail.check.stopMail();
    rig.processor.stop();
    QCOMPARE(finished.size(), 1);
    QCOMPARE(rig.mail.list.rowCount(), 3);
    for (int r = 0; r < 3; ++r)
        QVERIFY(rig.mail.list.isChecked(r));
    QCOMPARE(rig.killLog.KilledMail(), 0);
    QCOMPARE(rig.mail.check.MailMode, QStringLiteral("Get"));
    QVERIFY(!rig.mail.check.ResetMail);
    slow = false;
    QVERIFY(rig.mail.runCheck());
    QCOMPARE(rig.mail.list.rowCount(), 3);
    QVERIFY(rig.mail.check.statusText().endsWith(QLatin1String("Finished Checking\r\n")));
}

void TestMailFilter::accountWithoutMarkedRowsStillLogsOnAndOff()
{
    ScriptedPop3Server first;
    ScriptedPop3Server second;
    QVERIFY(first.listen() && second.listen());
    first.respond = deletingMailbox(2);
    second.respond = deletingMailbox(1);
    FilterRig rig(std::make_unique<FakeResolver>());
    rig.mail.setAccounts({first.hostPort(), second.hostPort()});
    QVERIFY(rig.mail.runCheck());
    QCOMPARE(rig.mail.list.rowCount(), 3);
    // Only the second account's row is marked.
    for (int r = 0; r < 3; ++r)
        rig.mail.list.setChecked(r, rig.mail.list.text(r, ColAccount) ==
                                        QStringLiteral("user1@example.test"));
    first.commands.clear();
    second.commands.clear();
    QVERIFY(rig.runProcessing());
    QCOMPARE(first.commands, (QList<QByteArray>{"USER user0", "PASS pass0", "STAT  ", "QUIT"}));
    QCOMPARE(second.commands,
             (QList<QByteArray>{"USER user1", "PASS pass1", "STAT  ", "UIDL 1", "DELE 1", "QUIT"}));
    QCOMPARE(rig.mail.list.rowCount(), 2);
    QCOMPARE(rig.killLog.KilledMail(), 1);
}

void TestMailFilter::periodicCheckProcessesFirstWithAutoDelete()
{
    ScriptedPop3Server server;
    QVERIFY(server.listen());
    server.respond = deletingMailbox(2);
    FilterRig rig(std::make_unique<FakeResolver>());
    rig.mail.setAccounts({server.hostPort()});
    QVERIFY(rig.mail.runCheck());
    rig.mail.list.setChecked(rig.rowFrom(QStringLiteral("Sender 2 ")), true);
    rig.mail.settings.TimerOn = true;
    rig.mail.settings.TimerCount = 1;
    rig.mail.settings.AutoDelete = true;
    server.commands.clear();
    QSignalSpy checked(&rig.mail.check, &MailCheck::checkFinished);
    rig.mail.check.tmrMailLoopCheck_Timer();
    QVERIFY(checked.wait(10000));
    const qsizetype dele = server.commands.indexOf("DELE 2");
    QVERIFY(dele > 0);
    QVERIFY(server.commands.indexOf("RETR 1", dele) > dele);
    QCOMPARE(rig.killLog.KilledMail(), 1);
}

// --- servers that break the rules of unique IDs --------------------------------------------

void TestMailFilter::onlyMarkedMailIsDeleted_data()
{
    QTest::addColumn<QByteArrayList>("senders"); // "@spam.test" is blacklisted
    QTest::addColumn<QByteArrayList>("ids");
    QTest::addColumn<QList<int>>("goneBeforeProcess");
    QTest::addColumn<int>("lieAt"); // the answer to "UIDL lieAt" is `lie`
    QTest::addColumn<QByteArray>("lie");
    QTest::addColumn<bool>("lieInCheck"); // during the check, else during processing
    QTest::addColumn<QStringList>("deleted");
    QTest::addColumn<QStringList>("unprocessable");
    QTest::addColumn<QStringList>("notFound");

    const char *const pal = "pal@friends.test";
    QTest::newRow("ordinary mailbox")
        << QByteArrayList{pal, "s2@spam.test", "s3@spam.test"} << QByteArrayList{"u1", "u2", "u3"}
        << QList<int>{} << 0 << QByteArray() << false
        << QStringList{"s2@spam.test", "s3@spam.test"} << QStringList{} << QStringList{};
    QTest::newRow("IDs with blanks, the marked one gone")
        << QByteArrayList{"s1@spam.test", pal} << QByteArrayList{"abc 1", "abc 2"}
        << QList<int>{1} << 0 << QByteArray() << false << QStringList{}
        << QStringList{QStringLiteral("s1@spam.test"), QString::fromLatin1(pal)} << QStringList{};
    QTest::newRow("one ID for two messages, the marked one gone")
        << QByteArrayList{pal, "s2@spam.test", "s3@spam.test"}
        << QByteArrayList{"dup", "dup", "u3"} << QList<int>{2} << 0 << QByteArray() << false
        << QStringList{"s3@spam.test"}
        << QStringList{QString::fromLatin1(pal), QStringLiteral("s2@spam.test")} << QStringList{};
    QTest::newRow("an ID of 71 characters")
        << QByteArrayList{"s1@spam.test", "s2@spam.test"}
        << QByteArrayList{QByteArray(71, 'a'), QByteArray(70, 'b')} << QList<int>{} << 0
        << QByteArray() << false << QStringList{"s2@spam.test"} << QStringList{"s1@spam.test"}
        << QStringList{};
    QTest::newRow("processing: the reply names another number")
        << QByteArrayList{pal, "s2@spam.test"} << QByteArrayList{"u1", "u2"} << QList<int>{} << 2
        << QByteArray("+OK 1 u2") << false << QStringList{} << QStringList{}
        << QStringList{"s2@spam.test"};
    QTest::newRow("check: the reply names another number")
        << QByteArrayList{pal, "s2@spam.test"} << QByteArrayList{"u1", "u2"} << QList<int>{} << 2
        << QByteArray("+OK 1 u1") << true << QStringList{} << QStringList{"s2@spam.test"}
        << QStringList{};
    QTest::newRow("the marked message gone before Process")
        << QByteArrayList{pal, "s2@spam.test"} << QByteArrayList{"u1", "u2"} << QList<int>{2} << 0
        << QByteArray() << false << QStringList{} << QStringList{} << QStringList{"s2@spam.test"};
}

void TestMailFilter::onlyMarkedMailIsDeleted()
{
    QFETCH(QByteArrayList, senders);
    QFETCH(QByteArrayList, ids);
    QFETCH(QList<int>, goneBeforeProcess);
    QFETCH(int, lieAt);
    QFETCH(QByteArray, lie);
    QFETCH(bool, lieInCheck);
    QFETCH(QStringList, deleted);
    QFETCH(QStringList, unprocessable);
    QFETCH(QStringList, notFound);

    ChangingMailbox box;
    for (qsizetype i = 0; i < senders.size(); ++i)
        box.messages.append({senders.at(i), ids.at(i)});
    if (lieInCheck)
        box.uidlAnswers.insert(lieAt, lie);
    ScriptedPop3Server server;
    QVERIFY(server.listen());
    server.respond = box.responder();
    FilterRig rig(std::make_unique<FakeResolver>());
    rig.addEntry(MailListKind::Blacklist, QStringLiteral("*@spam.test"));
    rig.mail.setAccounts({server.hostPort()});
    QVERIFY(rig.mail.runCheck());
    QCOMPARE(rig.mail.list.rowCount(), senders.size());
    const QString checkStatus = rig.mail.check.statusText();
    for (const QString &sender : unprocessable) {
        const int r = rig.rowFrom(sender);
        QVERIFY(!rig.mail.list.isChecked(r));
        QVERIFY2(rig.mail.list.text(r, ColStatus).startsWith(QLatin1String("Not processable: ")),
                 qPrintable(rig.mail.list.text(r, ColStatus)));
        // The user cannot mark it either.
        rig.mail.list.setChecked(r, true);
        QVERIFY(!rig.mail.list.isChecked(r));
        QVERIFY2(checkStatus.contains(QStringLiteral("Message %1 of user0@example.test will not "
                                                     "be processed: ")
                                          .arg(rig.mail.list.tag(r))),
                 qPrintable(checkStatus));
    }

    std::sort(goneBeforeProcess.rbegin(), goneBeforeProcess.rend());
    for (const int n : goneBeforeProcess)
        box.messages.removeAt(n - 1);
    box.uidlAnswers.clear();
    if (!lieInCheck && lieAt > 0)
        box.uidlAnswers.insert(lieAt, lie);
    QVERIFY(rig.runProcessing());

    QCOMPARE(box.deleted, deleted);
    QCOMPARE(rig.killLog.KilledMail(), deleted.size());
    QCOMPARE(rig.mail.list.rowCount(), senders.size() - deleted.size());
    for (const QString &sender : unprocessable) {
        const int r = rig.rowFrom(sender);
        QVERIFY(r >= 0);
        QVERIFY2(rig.mail.list.text(r, ColStatus).startsWith(QLatin1String("Not processable: ")),
                 qPrintable(rig.mail.list.text(r, ColStatus)));
    }
    for (const QString &sender : notFound) {
        const int r = rig.rowFrom(sender);
        QVERIFY2(r >= 0, qPrintable(sender));
        QVERIFY(rig.mail.list.isChecked(r));
        QCOMPARE(rig.mail.list.text(r, ColStatus),
                 MailProcessor::notDeletedStatus(QStringLiteral("not on the server")));
    }
}

// --- name servers that deny what exists ----------------------------------------------------

void TestMailFilter::denialsNeedATrustedNameServer_data()
{
    QTest::addColumn<DomainState>("accountDomain"); // example.test
    QTest::addColumn<DomainState>("colleague");     // known.test
    QTest::addColumn<bool>("ghostMarked");          // the sender at nowhere.test (denied)
    QTest::addColumn<QString>("told");

    const auto exists = DomainState::Exists;
    const auto denied = DomainState::DoesNotExist;
    const auto unknown = DomainState::Unknown;
    QTest::newRow("honest") << exists << exists << true << "";
    QTest::newRow("denies the account's own domain")
        << denied << exists << false
        << "The name server denied example.test, a domain known to exist: no message was "
           "marked \"No DNS\"";
    QTest::newRow("own domain unanswered, a colleague confirmed") << unknown << exists << true << "";
    QTest::newRow("own domain unanswered, every sender denied")
        << unknown << denied << false
        << "The name server confirmed no name of this check and denied the rest: no message "
           "was marked \"No DNS\"";
}

void TestMailFilter::denialsNeedATrustedNameServer()
{
    QFETCH(DomainState, accountDomain);
    QFETCH(DomainState, colleague);
    QFETCH(bool, ghostMarked);
    QFETCH(QString, told);

    auto fake = std::make_unique<FakeResolver>();
    FakeResolver &resolver = *fake;
    resolver.states = {{QStringLiteral("example.test"), accountDomain},
                       {QStringLiteral("known.test"), colleague},
                       {QStringLiteral("nowhere.test"), DomainState::DoesNotExist}};
    FilterRig rig(std::move(fake));
    ScriptedPop3Server server;
    QVERIFY(server.listen());
    server.respond = ScriptedPop3Server::mailbox(2, [](int n) -> QByteArray {
        return n == 1 ? "From: Colleague <c@known.test>\r\n\r\nx\r\n"
                      : "From: Ghost <g@nowhere.test>\r\n\r\nx\r\n";
    });
    rig.mail.setAccounts({server.hostPort()});
    QVERIFY(rig.mail.runCheck());
    QCOMPARE(rig.rows(),
             (QStringList{QStringLiteral("Colleague <c@known.test>|0|1|False"),
                          ghostMarked ? QStringLiteral("Ghost <g@nowhere.test>|1|No DNS|False")
                                      : QStringLiteral("Ghost <g@nowhere.test>|0|2|False")}));
    // The account's domain is asked only once a denial needs it.
    QVERIFY(resolver.asked.contains(QStringLiteral("example.test")));
    const QString status = rig.mail.check.statusText();
    if (told.isEmpty())
        QVERIFY2(!status.contains(QLatin1String("The name server")), qPrintable(status));
    else
        QVERIFY2(status.contains(told + QLatin1String("\r\n")), qPrintable(status));
    QVERIFY(status.endsWith(QLatin1String("Finished Checking\r\n")));

    // Trust is earned per check: the next one asks again.
    resolver.asked.clear();
    resolver.states.insert(QStringLiteral("example.test"), DomainState::Exists);
    resolver.states.insert(QStringLiteral("known.test"), DomainState::Exists);
    QVERIFY(rig.mail.runCheck());
    QCOMPARE(rig.rows().value(1), QStringLiteral("Ghost <g@nowhere.test>|1|No DNS|False"));
}

void TestMailFilter::nameServerDenyingEverythingDeletesNothing_data()
{
    QTest::addColumn<QStringList>("records"); // the name server's zone
    QTest::addColumn<QStringList>("marked");
    QTest::addColumn<QStringList>("left"); // subjects

    QTest::newRow("denies every name")
        << QStringList{} << QStringList{}
        << QStringList{"from a colleague", "mail exchanger only", "unknown domain"};
    QTest::newRow("honest") << DnsTestServer::defaultRecords()
                            << QStringList{"B Ghost <ghost@nowhere.test>"}
                            << QStringList{"from a colleague", "mail exchanger only"};
}

void TestMailFilter::nameServerDenyingEverythingDeletesNothing()
{
    if (!DovecotServer::available())
        QSKIP("dovecot is not installed");
    QFETCH(QStringList, records);
    QFETCH(QStringList, marked);
    QFETCH(QStringList, left);

    DnsTestServer dns(records);
    QString error;
    QVERIFY2(dns.start(&error), qPrintable(error));
    DovecotServer dovecot;
    const QString user = QStringLiteral("user0");
    dovecot.addUser(user, QStringLiteral("pass0"));
    dovecot.addMessage(user, mailFrom("A Colleague <colleague@known.test>", "from a colleague"));
    dovecot.addMessage(user, mailFrom("B Ghost <ghost@nowhere.test>", "unknown domain"));
    dovecot.addMessage(user, mailFrom("C Mx <m@only-mx.test>", "mail exchanger only"));
    QVERIFY2(dovecot.start(&error), qPrintable(error));

    FilterRig rig(caresAt(dns.server()));
    rig.mail.setAccounts({dovecot.hostPort()});
    QVERIFY(rig.mail.runCheck());
    QCOMPARE(rig.mail.list.rowCount(), 3);
    QStringList markedRows;
    for (int r = 0; r < rig.mail.list.rowCount(); ++r) {
        if (rig.mail.list.isChecked(r))
            markedRows.append(rig.mail.list.text(r, ColFrom));
    }
    QCOMPARE(markedRows, marked);
    QCOMPARE(rig.mail.check.statusText().contains(QLatin1String("a domain known to exist")),
             records.isEmpty());

    // What F6 would do next.
    QVERIFY(rig.runProcessing());
    QCOMPARE(subjectsLeft(dovecot, user), left);
    QCOMPARE(rig.killLog.KilledMail(), marked.size());
}

// --- Process pressed while a check still waits for name-server answers ---------------------

void TestMailFilter::processDuringACheck_data()
{
    QTest::addColumn<bool>("stop");
    QTest::newRow("starts when the check has ended") << false;
    QTest::newRow("Stop cancels both") << true;
}

void TestMailFilter::processDuringACheck()
{
    QFETCH(bool, stop);

    auto fake = std::make_unique<FakeResolver>();
    FakeResolver &resolver = *fake;
    resolver.hold = true;
    FilterRig rig(std::move(fake));
    rig.addEntry(MailListKind::Blacklist, QStringLiteral("*@spam.test"));
    ScriptedPop3Server server;
    QVERIFY(server.listen());
    const auto box = ScriptedPop3Server::mailbox(2, [](int n) -> QByteArray {
        return n == 1 ? "From: <s@spam.test>\r\n\r\nx\r\n" : "From: <c@known.test>\r\n\r\nx\r\n";
    });
    server.respond = [&box](const QByteArray &command) -> ScriptedPop3Server::Answer {
        if (command.startsWith("DELE "))
            return {"+OK marked\r\n"};
        return box(command);
    };
    rig.mail.setAccounts({server.hostPort()});
    QSignalSpy checked(&rig.mail.check, &MailCheck::checkFinished);
    QSignalSpy started(&rig.processor, &MailProcessor::processingStarted);
    QSignalSpy finished(&rig.processor, &MailProcessor::processingFinished);
    QVERIFY(rig.mail.check.GetNewMail());
    // The dialogue is over; the check waits for the name server.
    QTRY_VERIFY(server.commands.contains("QUIT"));
    QVERIFY(rig.mail.check.isChecking());

    QVERIFY(rig.processor.ProcessMail());
    QVERIFY(rig.processor.isWaitingForCheck());
    QVERIFY(rig.mail.check.statusText().endsWith(
        QLatin1String("Processing starts when the check has ended\r\n")));
    QVERIFY(started.isEmpty());
    // Asked twice, it is still one run.
    QVERIFY(rig.processor.ProcessMail());

    if (stop) {
        rig.mail.check.stopMail();
        rig.processor.stop();
        QVERIFY(checked.wait(5000));
        QTest::qWait(100);
        QVERIFY(started.isEmpty());
        QVERIFY(!rig.processor.isWaitingForCheck());
        QVERIFY(rig.mail.check.statusText().contains(QLatin1String("Processing cancelled\r\n")));
        // No second log-on: processing never began.
        QCOMPARE(server.connections, 1);
        QCOMPARE(rig.mail.list.rowCount(), 2);
        return;
    }
    resolver.hold = false;
    resolver.release();
    QVERIFY(finished.wait(10000));
    QCOMPARE(checked.size(), 1);
    QCOMPARE(started.size(), 1);
    QVERIFY(server.commands.contains("DELE 1"));
    QCOMPARE(rig.rows(), QStringList{"<c@known.test>|0|2|False"});
    QCOMPARE(rig.killLog.KilledMail(), 1);
}

QTEST_GUILESS_MAIN(TestMailFilter)
#include "test_mail_filter.moc"

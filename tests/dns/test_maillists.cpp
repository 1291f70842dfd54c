// SPDX-License-Identifier: GPL-3.0-or-later
#include "Fakes.h"
#include "TestEnv.h"
#include "core/DateText.h"
#include "mail/MailListText.h"
#include "mail/MailLists.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

using namespace kvorn;
using namespace kvorn::test;

Q_DECLARE_METATYPE(kvorn::MailListAddCommand)

namespace {

// Entries written "address" (active) or "-address" (inactive).
std::vector<MailListEntry> entriesFrom(const QStringList &specs)
{
    std::vector<MailListEntry> entries;
    for (const QString &spec : specs) {
        const bool inactive = spec.startsWith(QLatin1Char('-'));
        entries.push_back({!inactive, inactive ? spec.mid(1) : spec, mailListNoDateText(),
                           QStringLiteral("1/2/26")});
    }
    return entries;
}

QByteArray line(const QByteArray &a, const QByteArray &b, const QByteArray &c, const QByteArray &d)
{
    return a + '\xFF' + b + '\xFF' + c + '\xFF' + d + "\r\n";
}

} // namespace

class TestMailLists : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void isInMailList_data()
    {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("sender");
        QTest::addColumn<QString>("extra");
        QTest::addColumn<bool>("found");
        QTest::addColumn<QString>("killEntry");

        const QString none;
        QTest::newRow("exact, letter case ignored")
            << QStringList{"other@x.com", "Spam@X.com"} << "Jane <spam@x.COM>" << none << true
            << "spam@x.com";
        QTest::newRow("inactive exact entry still matches")
            << QStringList{"-spam@x.com"} << "spam@x.com" << none << true << "spam@x.com";
        QTest::newRow("inactive wildcard never matches")
            << QStringList{"-*@x.com"} << "a@x.com" << none << false << none;
        QTest::newRow("star at domain in angle brackets")
            << QStringList{"*@X.com"} << "\"Jane Doe\" <jane@x.com>" << none << true << "*@x.com";
        QTest::newRow("star domain covers a host below it")
            << QStringList{"*x.com"} << "a@mail.x.com" << none << true << "*x.com";
        QTest::newRow("star at domain does not cover a host below it")
            << QStringList{"*@x.com"} << "a@mail.x.com" << none << false << none;
        QTest::newRow("domain followed by more text")
            << QStringList{"*@x.com", "*x.com"} << "a@x.com.evil.org" << none << false << none;
        QTest::newRow("word between stars at the end")
            << QStringList{"*casino*"} << "win@casino" << none << true << "*casino*";
        QTest::newRow("word between stars not at the end")
            << QStringList{"*casino*"} << "casino@x.com" << none << false << none;
        QTest::newRow("only the first occurrence counts for the end")
            << QStringList{"*.com"} << "a@b.com.com" << none << false << none;
        QTest::newRow("parts in any order")
            << QStringList{"*x.com*spam"} << "spam@x.com" << none << true << "*x.com*spam";
        QTest::newRow("first wildcard entry in list order")
            << QStringList{"*b.com", "*@b.com"} << "a@b.com" << none << true << "*b.com";
        QTest::newRow("exact test before wildcards")
            << QStringList{"*@b.com", "a@b.com"} << "a@b.com" << none << true << "a@b.com";
        QTest::newRow("no @: wildcard needs a part followed by @ or .")
            << QStringList{"*postmaster", "*x"} << "postmaster.x" << none << false << none;
        QTest::newRow("no @: exact test still works")
            << QStringList{"Postmaster"} << "POSTMASTER" << none << true << "postmaster";
        QTest::newRow("received line in the second pass")
            << QStringList{"*.spamhost.net"} << "a@b.com"
            << "from relay.spamhost.net" << true << "*.spamhost.net";
        QTest::newRow("received line must end with the part")
            << QStringList{"*.spamhost.net"} << "a@b.com"
            << "from relay.spamhost.net (1.2.3.4)" << false << none;
        QTest::newRow("received line without @ needs no @ or .")
            << QStringList{"*relay*"} << "a@b.com"
            << "by relay" << true << "*relay*";
        QTest::newRow("sender found first, received not looked at")
            << QStringList{"*.spamhost.net", "a@b.com"} << "a@b.com"
            << "x.spamhost.net" << true << "a@b.com";
        // Open cases: nothing may match everything.
        QTest::newRow("stars alone match nothing") << QStringList{"*", "**", "***"} << "a@b.com"
                                                   << "from x" << false << none;
        QTest::newRow("entry without address matches nothing")
            << QStringList{""} << "" << none << false << none;
        QTest::newRow("empty sender matches nothing")
            << QStringList{"*@b.com", "a@b.com"} << "" << none << false << none;
        QTest::newRow("< without >: the whole text is tested")
            << QStringList{"jane@x.com", "*@x.com"} << "Jane <jane@x.com" << none << true
            << "*@x.com";
        QTest::newRow("< without >: no exact hit on the address alone")
            << QStringList{"jane@x.com"} << "Jane <jane@x.com" << none << false << none;
        QTest::newRow("empty angle brackets")
            << QStringList{"*@x.com", "<>"} << "<>" << none << true << "<>";
    }

    // Index and straightforward scan give the same answers.
    void isInMailList()
    {
        QFETCH(QStringList, entries);
        QFETCH(QString, sender);
        QFETCH(QString, extra);
        QFETCH(bool, found);
        QFETCH(QString, killEntry);
        TestEnv env;
        FakeClock clock;
        for (const bool indexed : {true, false}) {
            MailLists lists(env.programFolder(), clock);
            lists.blacklist().setEntries(entriesFrom(entries));
            lists.blacklist().setUseIndex(indexed);
            QCOMPARE(lists.IsInMailList(lists.blacklist(), sender, extra), found);
            QCOMPARE(lists.KillEntry(), killEntry);
        }
    }

    void hitsLeaveTheirMarks()
    {
        TestEnv env;
        FakeClock clock;
        MailLists lists(env.programFolder(), clock);
        lists.blacklist().setEntries(entriesFrom({"a@b.com", "*@spam.com", "c@d.com"}));
        QSignalSpy selected(&lists.blacklist(), &MailListEntryModel::entrySelected);

        QVERIFY(lists.IsInMailList(lists.blacklist(), QStringLiteral("C@D.com"), {}));
        QCOMPARE(lists.blacklist().selectedRows(), QList<int>{2});
        QCOMPARE(selected.count(), 1);
        QCOMPARE(selected.at(0).at(0).toInt(), 2);
        QCOMPARE(lists.blacklist().entry(1).LastHit, mailListNoDateText());

        QVERIFY(lists.IsInMailList(lists.blacklist(), QStringLiteral("x@spam.com"), {}));
        QCOMPARE(lists.blacklist().entry(1).LastHit, shortDateText(clock.now().date()));
        QCOMPARE(selected.count(), 1);
        QCOMPARE(lists.KillEntry(), QStringLiteral("*@spam.com"));

        // A miss leaves KillEntry as it was.
        QVERIFY(!lists.IsInMailList(lists.blacklist(), QStringLiteral("x@fine.com"), {}));
        QCOMPARE(lists.KillEntry(), QStringLiteral("*@spam.com"));
        QVERIFY(!lists.IsInMailList(lists.friends(), QStringLiteral("x@spam.com"), {}));
    }

    // Changes after the index was built are seen at once.
    void indexFollowsChanges()
    {
        TestEnv env;
        FakeClock clock;
        MailLists lists(env.programFolder(), clock);
        MailListEntryModel &black = lists.blacklist();
        black.setEntries(entriesFrom({"a@b.com"}));
        const QString sender = QStringLiteral("x@spam.com");
        QVERIFY(!lists.IsInMailList(black, sender, {}));
        black.append(
            {true, QStringLiteral("*spam.com"), mailListNoDateText(), mailListNoDateText()});
        QVERIFY(lists.IsInMailList(black, sender, {}));
        black.setActive(1, false);
        QVERIFY(!lists.IsInMailList(black, sender, {}));
        black.setActive(1, true);
        black.setAddress(1, QStringLiteral("*other.com"));
        QVERIFY(!lists.IsInMailList(black, sender, {}));
        black.setAddress(0, QStringLiteral("X@Spam.com"));
        QVERIFY(lists.IsInMailList(black, sender, {}));
        black.setSelectedRows({0});
        QCOMPARE(black.removeSelected(), 1);
        QVERIFY(!lists.IsInMailList(black, sender, {}));
    }

    // Many random lists and senders: the index answers exactly as the scan does.
    void indexAgreesWithScan()
    {
        QRandomGenerator random(20261209);
        const QStringList words = {"spam", "casino", "mail",  "x",     "win", "b",    "com",
                                   "net",  "de",     "relay", "pills", "a.b", "info", "co.uk"};
        auto word = [&] { return words.at(int(random.bounded(words.size()))); };
        auto address = [&] {
            QString s = word() + QLatin1Char('@') + word() + QLatin1Char('.') + word();
            if (random.bounded(4) == 0)
                s = word() + QStringLiteral(" <") + s + QLatin1Char('>');
            if (random.bounded(10) == 0)
                s = word() + QLatin1Char('.') + word();
            return s;
        };
        std::vector<MailListEntry> entries;
        for (int i = 0; i < 3000; ++i) {
            QString a;
            switch (random.bounded(6)) {
            case 0:
                a = address();
                break;
            case 1:
                a = QStringLiteral("*@") + word() + QLatin1Char('.') + word();
                break;
            case 2:
                a = QLatin1Char('*') + word() + QLatin1Char('.') + word();
                break;
            case 3:
                a = QLatin1Char('*') + word() + QLatin1Char('*');
                break;
            case 4:
                a = QLatin1Char('*') + word() + QLatin1Char('*') + word();
                break;
            default:
                a = word().toUpper() + QStringLiteral("*@") + word();
                break;
            }
            entries.push_back(
                {random.bounded(5) != 0, a, mailListNoDateText(), mailListNoDateText()});
        }
        TestEnv env;
        FakeClock clock;
        MailLists indexed(env.programFolder(), clock);
        MailLists scanned(env.programFolder(), clock);
        indexed.blacklist().setEntries(entries);
        scanned.blacklist().setEntries(entries);
        scanned.blacklist().setUseIndex(false);
        int hits = 0;
        for (int i = 0; i < 2000; ++i) {
            const QString sender = address();
            const QString extra = random.bounded(2)
                                      ? QStringLiteral("from ") + word() + QLatin1Char('.') + word()
                                      : QString();
            const bool a = indexed.IsInMailList(indexed.blacklist(), sender, extra);
            const bool b = scanned.IsInMailList(scanned.blacklist(), sender, extra);
            QCOMPARE(a, b);
            if (a) {
                ++hits;
                QCOMPARE(indexed.KillEntry(), scanned.KillEntry());
            }
        }
        QVERIFY(hits > 100);
        QCOMPARE(indexed.blacklist().entries(),
                 scanned.blacklist().entries()); // same LastHit stamps
    }

    void matchesMailRow_data()
    {
        QTest::addColumn<bool>("marked");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("matches");

        QTest::newRow("domain pattern") << false << "Jane <jane@x.com>"
                                        << "*@x.com" << true;
        QTest::newRow("marked row never") << true << "Jane <jane@x.com>"
                                          << "*@x.com" << false;
        QTest::newRow("no star never, even when equal") << false << "jane@x.com"
                                                        << "jane@x.com" << false;
        QTest::newRow("parts in order") << false << "ab"
                                        << "*a*b" << true;
        QTest::newRow("parts out of order") << false << "b a"
                                            << "*a*b" << false;
        QTest::newRow("next part searched from where the last was found") << false << "xab"
                                                                          << "*ab*b" << true;
        QTest::newRow("letter case ignored") << false << "Bob <Bob@Spam.COM>"
                                             << "*Spam.com" << true;
        QTest::newRow("not anchored at the end") << false << "a@x.com.au"
                                                 << "*@x.com" << true;
        QTest::newRow("stars alone match nothing") << false << "a@x.com"
                                                   << "*" << false;
        QTest::newRow("double star matches nothing") << false << "a@x.com"
                                                     << "**" << false;
        QTest::newRow("missing part") << false << "a@y.com"
                                      << "*@x.com" << false;
    }

    void matchesMailRow()
    {
        QFETCH(bool, marked);
        QFETCH(QString, from);
        QFETCH(QString, pattern);
        QFETCH(bool, matches);
        QString kill = QStringLiteral("before");
        QCOMPARE(MatchesMailRow(marked, from, pattern, &kill), matches);
        QCOMPARE(kill, matches ? pattern.toLower() : QStringLiteral("before"));
    }

    void loadsAndSavesTheFiles()
    {
        TestEnv env;
        FakeClock clock;
        const QString today = shortDateText(clock.now().date());
        env.writeFile(QStringLiteral("mail.mbl"),
                      line("1", "spam@x.com", "01/01/01", "3/4/25") +
                          line("1", "spam@x.com", "01/01/01", "3/4/25") + // repeat: skipped
                          line("0", "*@casino.com", "5/6/25", "3/4/25") +
                          QByteArray("-1\xFF*pills*\xFF"
                                     "5/6/25\r\n") + // three fields
                          "\r\n" +                   // blank: skipped
                          "hand@typed.com\r\n" +     // no separator
                          QByteArray("abc\xFF"
                                     "caf\xE9@x.com\r\n") +               // two fields, 1252
                          line("1", "SPAM@x.com", "01/01/01", "3/4/25")); // not equal: kept
        env.writeFile(QStringLiteral("mail.mfl"),
                      line("1", "me@home.net", "01/01/01", "1/1/25") +
                          line("1", "me@home.net", "01/01/01", "1/1/25"));
        MailLists lists(env.programFolder(), clock);
        lists.blacklist().setEntries(entriesFrom({"old@gone.com"}));
        lists.LoadMailLists();

        const std::vector<MailListEntry> black = {
            {true, "spam@x.com", "01/01/01", "3/4/25"},
            {false, "*@casino.com", "5/6/25", "3/4/25"},
            {true, "*pills*", "5/6/25", today},
            {true, "hand@typed.com", "01/01/01", today},
            {false, QStringLiteral("café@x.com"), "01/01/01", today},
            {true, "SPAM@x.com", "01/01/01", "3/4/25"},
        };
        QCOMPARE(lists.blacklist().entries(), black);
        QCOMPARE(lists.friends().count(), 2);

        QVERIFY(lists.SaveMailList(QStringLiteral("Blacklist")));
        QCOMPARE(env.readFile(QStringLiteral("mail.mbl")),
                 line("1", "spam@x.com", "01/01/01", "3/4/25") +
                     line("0", "*@casino.com", "5/6/25", "3/4/25") +
                     line("1", "*pills*", "5/6/25", today.toUtf8()) +
                     line("1", "hand@typed.com", "01/01/01", today.toUtf8()) +
                     line("0", "caf\xC3\xA9@x.com", "01/01/01", today.toUtf8()) +
                     line("1", "SPAM@x.com", "01/01/01", "3/4/25"));

        // Any other name than "Blacklist" writes the friends list.
        lists.friends().append({true, QStringLiteral("new@friend.org"), today, today});
        QVERIFY(lists.SaveMailList(QStringLiteral("Whitelist")));
        QCOMPARE(env.readFile(QStringLiteral("mail.mfl")),
                 line("1", "me@home.net", "01/01/01", "1/1/25") +
                     line("1", "me@home.net", "01/01/01", "1/1/25") +
                     line("1", "new@friend.org", today.toUtf8(), today.toUtf8()));

        // What was saved loads back the same.
        MailLists again(env.programFolder(), clock);
        again.LoadMailLists();
        QCOMPARE(again.blacklist().entries(), lists.blacklist().entries());
        QCOMPARE(again.friends().entries(), lists.friends().entries());
    }

    void missingFilesGiveEmptyLists()
    {
        TestEnv env;
        FakeClock clock;
        MailLists lists(env.programFolder(), clock);
        lists.friends().setEntries(entriesFrom({"a@b.com"}));
        lists.LoadMailLists();
        QCOMPARE(lists.blacklist().count(), 0);
        QCOMPARE(lists.friends().count(), 0);
    }

    void unreadableFileIsNeverOverwritten()
    {
        // Saving the empty list that an unreadable file left would lose its entries.
        TestEnv env;
        FakeClock clock;
        env.writeFile(QStringLiteral("mail.mfl"), line("1", "me@home.net", "01/01/01", "1/1/25"));
        const QString blackPath = env.file(QStringLiteral("mail.mbl"));
        QVERIFY(QDir().mkpath(blackPath)); // exists, but cannot be read as a file
        MailLists lists(env.programFolder(), clock);
        const QString error = lists.LoadMailLists();
        QVERIFY2(error.contains(blackPath), qPrintable(error));
        QCOMPARE(lists.friends().count(), 1);

        const WriteResult held = lists.SaveMailList(QStringLiteral("Blacklist"));
        QVERIFY(!held);
        QVERIFY2(held.error.contains(QStringLiteral("not overwritten")), qPrintable(held.error));
        QVERIFY(lists.SaveMailList(QStringLiteral("Whitelist")));

        // Once the unreadable file is gone there is nothing left to protect.
        QVERIFY(QDir(blackPath).removeRecursively());
        lists.blacklist().append({true, QStringLiteral("c@d.com"), "1/1/25", "1/1/25"});
        QVERIFY(lists.SaveMailList(QStringLiteral("Blacklist")));
        QCOMPARE(env.readFile(QStringLiteral("mail.mbl")),
                 line("1", "c@d.com", "1/1/25", "1/1/25"));
    }

    void fileNamesIgnoreLetterCase()
    {
        TestEnv env;
        FakeClock clock;
        env.writeFile(QStringLiteral("MAIL.MBL"), line("1", "a@b.com", "01/01/01", "1/1/25"));
        MailLists lists(env.programFolder(), clock);
        lists.LoadMailLists();
        QCOMPARE(lists.blacklist().count(), 1);
        lists.blacklist().append({true, QStringLiteral("c@d.com"), "1/1/25", "1/1/25"});
        QVERIFY(lists.SaveMailList(QStringLiteral("Blacklist")));
        QVERIFY(!QFile::exists(env.file(QStringLiteral("mail.mbl"))));
        QCOMPARE(env.readFile(QStringLiteral("MAIL.MBL")).count("\r\n"), 2);
    }

    void reportsLoadingProgress()
    {
        TestEnv env;
        FakeClock clock;
        QByteArray bytes;
        for (int i = 0; i < 250; ++i)
            bytes += line("1", "s" + QByteArray::number(i) + "@x.com", "01/01/01", "1/1/25");
        env.writeFile(QStringLiteral("mail.mbl"), bytes);
        MailLists lists(env.programFolder(), clock);
        QList<int> counts;
        lists.LoadMailLists([&](int n) { counts.append(n); });
        QCOMPARE(counts, (QList<int>{0, 100, 200}));
        QCOMPARE(lists.blacklist().count(), 250);
    }

    void addCommands_data()
    {
        QTest::addColumn<MailListAddCommand>("command");
        QTest::addColumn<QString>("sender");
        QTest::addColumn<QString>("entry");

        using C = MailListAddCommand;
        QTest::newRow("address to friends") << C::AddressToFriends << "Jane <jane@x.com>"
                                            << "jane@x.com";
        QTest::newRow("domain to friends, brackets") << C::DomainToFriends << "Jane <jane@x.com>"
                                                     << "*@x.com";
        QTest::newRow("domain to friends, bare") << C::DomainToFriends << "jane@x.com"
                                                 << "*@x.com";
        QTest::newRow("address to blacklist") << C::AddressToBlacklist << "jane@x.com"
                                              << "jane@x.com";
        QTest::newRow("domain to blacklist, short domain gets @")
            << C::DomainToBlacklist << "a@ab.de"
            << "*ab.de@";
        QTest::newRow("domain to blacklist, 7 characters") << C::DomainToBlacklist << "a@abc.com"
                                                           << "*abc.com";
        QTest::newRow("domain to blacklist, @ in the display name")
            << C::DomainToBlacklist << "\"x@y\" <a@spam.com>"
            << "*spam.com";
        // Open cases.
        QTest::newRow("< without >: address to the end")
            << C::AddressToFriends << "Jane <jane@x.com"
            << "jane@x.com";
        QTest::newRow("< without >: friends domain") << C::DomainToFriends << "Jane <jane@x.com"
                                                     << "*@x.com";
        QTest::newRow("< without >: blacklist domain") << C::DomainToBlacklist << "Jane <jane@x.com"
                                                       << "*x.com@";
        QTest::newRow("no @: address is the whole text") << C::AddressToBlacklist << "Mailer Daemon"
                                                         << "Mailer Daemon";
        QTest::newRow("no @: no friends domain") << C::DomainToFriends << "Mailer Daemon"
                                                 << "";
        QTest::newRow("no @: no blacklist domain") << C::DomainToBlacklist << "Mailer Daemon"
                                                   << "";
        QTest::newRow("nothing after @") << C::DomainToBlacklist << "jane@"
                                         << "";
        QTest::newRow("empty brackets") << C::AddressToFriends << "<>"
                                        << "";
        QTest::newRow("empty sender") << C::AddressToBlacklist << ""
                                      << "";
    }

    void addCommands()
    {
        QFETCH(MailListAddCommand, command);
        QFETCH(QString, sender);
        QFETCH(QString, entry);
        TestEnv env;
        FakeClock clock;
        const QString today = shortDateText(clock.now().date());
        MailLists lists(env.programFolder(), clock);
        const MailListAddition a = lists.addFromSender(command, sender);
        QCOMPARE(a.entry, entry);
        const bool friends = command == MailListAddCommand::AddressToFriends ||
                             command == MailListAddCommand::DomainToFriends;
        MailListEntryModel &target = friends ? lists.friends() : lists.blacklist();
        MailListEntryModel &other = friends ? lists.blacklist() : lists.friends();
        QCOMPARE(other.count(), 0);
        if (entry.isEmpty()) {
            QCOMPARE(target.count(), 0);
            QVERIFY(!a.added());
            return;
        }
        QCOMPARE(target.entries(), (std::vector<MailListEntry>{{true, entry, today, today}}));
        // No duplicate check.
        lists.addFromSender(command, sender);
        QCOMPARE(target.count(), 2);
    }

    void addCommandsTellWhatRowsGet()
    {
        TestEnv env;
        FakeClock clock;
        MailLists lists(env.programFolder(), clock);
        const std::vector<MailRowState> rows = {
            {true, QStringLiteral("Bob <bob@Spam.com>")},
            {false, QStringLiteral("eve@spam.com")},
            {true, QStringLiteral("x@spam.com")},
            {false, QStringLiteral("a@other.com")},
        };

        // Friends: the selected row's mark goes first, so it matches too; other marked
        // rows do not.
        MailListAddition a = lists.addFromSender(MailListAddCommand::DomainToFriends, rows[0].from);
        QVERIFY(a.unmarkSelectedRow);
        QVERIFY(!a.markMatchingRows);
        QCOMPARE(a.status, QStringLiteral("Friend"));
        QCOMPARE(a.blacklistText, QStringLiteral("False"));
        QCOMPARE(lists.rowsMatchingAddition(a, rows, 0), (QList<int>{0, 1}));
        QCOMPARE(lists.KillEntry(), QStringLiteral("*@spam.com"));

        // A plain address matches no row: only the selected row's mark changes.
        a = lists.addFromSender(MailListAddCommand::AddressToFriends, rows[0].from);
        QCOMPARE(lists.rowsMatchingAddition(a, rows, 0), QList<int>{});

        a = lists.addFromSender(MailListAddCommand::DomainToBlacklist, rows[1].from);
        QCOMPARE(a.entry, QStringLiteral("*spam.com"));
        QVERIFY(!a.unmarkSelectedRow);
        QVERIFY(a.markMatchingRows);
        QCOMPARE(a.status, QStringLiteral("Blacklist"));
        QCOMPARE(a.blacklistText, QStringLiteral("*spam.com"));
        QCOMPARE(lists.rowsMatchingAddition(a, rows, 1), (QList<int>{1}));
    }

    void everyChangeIsOnTheDiskSoon_data()
    {
        QTest::addColumn<int>("change");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("holds");
        QTest::addColumn<QByteArray>("lacks");
        QTest::newRow("friend from the mail list's menu")
            << 0 << "mail.mfl" << QByteArray("\xffjane@x.com\xff") << QByteArray();
        QTest::newRow("blacklist domain from the menu")
            << 1 << "mail.mbl" << QByteArray("\xff*spam.com\xff") << QByteArray();
        QTest::newRow("typed in the options window")
            << 2 << "mail.mbl" << QByteArray("\xfftyped@x.com\xff") << QByteArray();
        QTest::newRow("edited") << 3 << "mail.mfl" << QByteArray("\xffnew@x.com\xff")
                                << QByteArray("old@x.com");
        QTest::newRow("deleted") << 4 << "mail.mfl" << QByteArray() << QByteArray("old@x.com");
        QTest::newRow("unticked") << 5 << "mail.mfl" << QByteArray("0\xffold@x.com")
                                  << QByteArray("1\xffold@x.com");
    }

    void everyChangeIsOnTheDiskSoon()
    {
        QFETCH(int, change);
        QFETCH(QString, file);
        QFETCH(QByteArray, holds);
        QFETCH(QByteArray, lacks);
        TestEnv env;
        FakeClock clock;
        env.writeFile(QStringLiteral("mail.mfl"), line("1", "old@x.com", "01/01/01", "1/1/25"));
        MailLists lists(env.programFolder(), clock);
        QVERIFY(lists.LoadMailLists().isEmpty());
        QSignalSpy saved(&lists, &MailLists::autoSaved);
        switch (change) {
        case 0:
            lists.addFromSender(MailListAddCommand::AddressToFriends,
                                QStringLiteral("Jane <jane@x.com>"));
            break;
        case 1:
            lists.addFromSender(MailListAddCommand::DomainToBlacklist, QStringLiteral("a@spam.com"));
            break;
        case 2:
            QVERIFY(lists.blacklist().addTyped(QStringLiteral("typed@x.com"), lists.todayText()) >= 0);
            break;
        case 3:
            lists.friends().selectOnly(0);
            QVERIFY(lists.friends().editSelected(QStringLiteral("new@x.com")));
            break;
        case 4:
            lists.friends().selectOnly(0);
            QCOMPARE(lists.friends().removeSelected(), 1);
            break;
        case 5:
            lists.friends().setActive(0, false);
            break;
        }
        // Nobody saves: the change itself starts the write (it once waited for the exit).
        const auto written = [&] {
            const QByteArray bytes = env.readFile(file);
            return QFile::exists(env.file(file)) && (holds.isEmpty() || bytes.contains(holds)) &&
                   (lacks.isEmpty() || !bytes.contains(lacks));
        };
        QTRY_VERIFY_WITH_TIMEOUT(written(), 2000);
        QCOMPARE(saved.size(), 1);
        QCOMPARE(saved.at(0).at(0).toString(), QString());
        QVERIFY(!lists.hasUnsavedChanges(MailListKind::Friends));
        QVERIFY(!lists.hasUnsavedChanges(MailListKind::Blacklist));
    }

    void aLastHitStampIsNoChangeOfItsOwn()
    {
        TestEnv env;
        FakeClock clock;
        const QByteArray before = line("1", "*spam.com", "01/01/01", "1/1/25");
        env.writeFile(QStringLiteral("mail.mbl"), before);
        MailLists lists(env.programFolder(), clock);
        QVERIFY(lists.LoadMailLists().isEmpty());
        QVERIFY(lists.IsInMailList(MailListKind::Blacklist, QStringLiteral("x@spam.com"), QString()));
        QCOMPARE(lists.blacklist().entry(0).LastHit, lists.todayText());
        QTest::qWait(MailLists::kSaveDelayMs + 300);
        QVERIFY(!lists.hasUnsavedChanges(MailListKind::Blacklist));
        QCOMPARE(env.readFile(QStringLiteral("mail.mbl")), before);
    }

    void listButtons()
    {
        MailListEntryModel list(MailListKind::Friends);
        QCOMPARE(list.headerData(0, Qt::Horizontal).toString(), QStringLiteral("Friends"));
        QCOMPARE(list.find(QStringLiteral("x")), -1);
        QCOMPARE(list.addTyped(QString(), QStringLiteral("12/9/26")), -1);
        for (const char *a : {"one@Home.net", "two@work.org", "three@home.net"})
            list.addTyped(QString::fromLatin1(a), QStringLiteral("12/9/26"));
        QCOMPARE(list.entry(0), (MailListEntry{true, "one@Home.net", "01/01/01", "12/9/26"}));

        // Find starts after the selected entry and wraps once; with none selected, at the top.
        QCOMPARE(list.find(QStringLiteral("HOME")), 0);
        QCOMPARE(list.lastSearchText(), QStringLiteral("home"));
        QCOMPARE(list.find(QStringLiteral("home")), 2);
        QCOMPARE(list.find(QStringLiteral("home")), 0);
        QCOMPARE(list.find(QStringLiteral("nowhere")), -1);
        QCOMPARE(list.selectedRows(), QList<int>{0});

        QVERIFY(list.editSelected(QStringLiteral("uno@home.net")));
        QCOMPARE(list.entry(0).Address, QStringLiteral("uno@home.net"));
        QCOMPARE(list.entry(0).Added, QStringLiteral("12/9/26"));
        QVERIFY(!list.editSelected(QString()));

        list.setSelectedRows({2, 0});
        QCOMPARE(list.removeSelected(), 2);
        QCOMPARE(list.count(), 1);
        QCOMPARE(list.entry(0).Address, QStringLiteral("two@work.org"));
        QVERIFY(!list.editSelected(QStringLiteral("x")));

        // The check box is the entry's Active flag.
        QVERIFY(list.setData(list.index(0, 0), Qt::Unchecked, Qt::CheckStateRole));
        QVERIFY(!list.entry(0).Active);
    }

    void senderDomainForTheDnsTest_data()
    {
        QTest::addColumn<QString>("sender");
        QTest::addColumn<QString>("domain");
        QTest::newRow("brackets") << "Jane <jane@Example.com>"
                                  << "Example.com";
        QTest::newRow("bare") << "jane@example.com"
                              << "example.com";
        QTest::newRow("no @: the whole address") << "Mailer Daemon"
                                                 << "Mailer Daemon";
        QTest::newRow("< without >: after the first @") << "Jane <jane@x.com"
                                                        << "x.com";
        QTest::newRow("first @ of the address") << "a@b@c.com"
                                                << "b@c.com";
    }

    void senderDomainForTheDnsTest()
    {
        QFETCH(QString, sender);
        QFETCH(QString, domain);
        QCOMPARE(senderDomain(sender), domain);
    }
};

QTEST_GUILESS_MAIN(TestMailLists)
#include "test_maillists.moc"

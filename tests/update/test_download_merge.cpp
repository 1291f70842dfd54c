// SPDX-License-Identifier: GPL-3.0-or-later
// Folding the downloaded popup and weekly mail lists into the user's lists.

#include "CoreRig.h"
#include "core/DateText.h"
#include "mail/MailLists.h"
#include "mail/MessageListModel.h"
#include "popups/PopupLists.h"
#include "update/DownloadMerge.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace kvorn;
using namespace kvorn::test;

namespace {

struct Rig
{
    CoreRig core;
    PopupLists popups{{core.controller, core.tray, core.clock}, core.env.programFolder()};
    MailLists mail{core.env.programFolder(), core.clock};
    MessageListModel messages;

    QStringList blacklist()
    {
        QStringList out;
        for (const MailListEntry &e : mail.blacklist().entries())
            out.append(e.Address);
        return out;
    }
    quint64 addMessage(const QString &from)
    {
        MailListRow row;
        row.text[ColFrom] = from;
        return messages.addRow(row);
    }
};

} // namespace

class TestDownloadMerge : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void normalized_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("entry");
        QTest::newRow("star, at, mixed-case domain") << "*@ExAmple-Co.UK" << "*example-co.uk";
        QTest::newRow("six characters stay") << "AB.COM" << "ab.com";
        QTest::newRow("seven get a star") << "abc.com" << "*abc.com";
        QTest::newRow("full address gets a star too") << "Spam@Junk.test" << "*spam@junk.test";
        QTest::newRow("at only") << "@junk.test" << "*junk.test";
        QTest::newRow("one star dropped, then put back") << "**x.test" << "**x.test";
        QTest::newRow("nothing left") << "*@" << "";
        QTest::newRow("empty") << "" << "";
    }

    void normalized()
    {
        QFETCH(QString, line);
        QFETCH(QString, entry);
        QCOMPARE(MailDownloadMerge::normalizedEntry(line), entry);
    }

    void weeklyNames()
    {
        QCOMPARE(weeklyMailListName(450), QStringLiteral("mbl450.txt"));
        QCOMPARE(weeklyMailListName(1), QStringLiteral("mbl1.txt"));
        QVERIFY(isWeeklyMailListName(QStringLiteral("MBL450.TXT")));
        QVERIFY(!isWeeklyMailListName(QStringLiteral("mblacklist.txt")));
        QVERIFY(!isWeeklyMailListName(QStringLiteral("mbl4500.txt")));
    }

    void lineEndings()
    {
        TestEnv env;
        env.writeFile(QStringLiteral("lines.txt"), "one\r\ntwo\rthree\nfour\r\rsix");
        QCOMPARE(readUpdateFileLines(env.file(QStringLiteral("lines.txt"))),
                 (QStringList{"one", "two", "three", "four", "", "six"}));
        QVERIFY(!readUpdateFileLines(env.file(QStringLiteral("missing.txt"))));
    }

    void mailMergeAddsMarksAndRemovesRepeats()
    {
        Rig rig;
        // The user's own entry, older than the downloads, keeps its tick and dates.
        MailListEntry own{false, QStringLiteral("*junk.test"), QStringLiteral("01/01/01"),
                          QStringLiteral("3/4/2020")};
        rig.mail.blacklist().append(own);
        const quint64 spam = rig.addMessage(QStringLiteral("Offer <deal@junk.test>"));
        const quint64 friendly = rig.addMessage(QStringLiteral("Ann <ann@home.test>"));
        rig.core.env.writeFile(QStringLiteral("mbl649.txt"),
                               "*@JUNK.test\r\nsh.rt\r\nrepeat.test\r\nrepeat.test\r\n*@\r\n"
                               "*@*.com\r\nbad\tline@junk.test\r\n");
        rig.core.env.writeFile(QStringLiteral("mbl650.txt"), "current@week.test\r\n");
        rig.core.env.writeFile(QStringLiteral("mblacklist.txt"), "mine\r\n");
        rig.core.env.writeFile(QStringLiteral("mbl600.txt"), "old.test\r\n");

        MailDownloadMerge merge(rig.mail, rig.messages, rig.core.env.programFolder());
        QStringList titles;
        connect(&merge, &MailDownloadMerge::titleChanged, this,
                [&](const QString &t) { titles.append(t); });
        QVERIFY(merge.mailload({648, 649}, {"mbl649.txt", "mbl650.txt"}));

        QCOMPARE(rig.blacklist(), (QStringList{"*junk.test", "sh.rt", "*repeat.test"}));
        QCOMPARE(rig.mail.blacklist().entry(0), own);
        QCOMPARE(rig.mail.blacklist().entry(2).Added, rig.mail.todayText());
        QCOMPARE(rig.mail.blacklist().entry(2).LastHit, rig.mail.todayText());
        QVERIFY(rig.mail.blacklist().entry(2).Active);
        // 7 lines read; 4 added less the 2 repeats; 2 repeats and 3 refused lines skipped.
        QCOMPARE(merge.counters(), (MergeCounters{7, 2, 5, 2, 1}));
        QCOMPARE(titles, (QStringList{"Loading Add List", "Checking For Duplicates"}));
        QVERIFY(rig.messages.isChecked(rig.messages.rowOfKey(spam)));
        QVERIFY(!rig.messages.isChecked(rig.messages.rowOfKey(friendly)));
        // Only what this session fetched goes; the user's file and an older list stay.
        QVERIFY(!QFile::exists(rig.core.env.file(QStringLiteral("mbl649.txt"))));
        QVERIFY(!QFile::exists(rig.core.env.file(QStringLiteral("mbl650.txt"))));
        QVERIFY(QFile::exists(rig.core.env.file(QStringLiteral("mblacklist.txt"))));
        QVERIFY(QFile::exists(rig.core.env.file(QStringLiteral("mbl600.txt"))));
    }

    void mailMergeWithoutFilesDeletesNothing()
    {
        Rig rig;
        rig.mail.blacklist().append({true, QStringLiteral("x@y.test"), {}, {}});
        rig.core.env.writeFile(QStringLiteral("mbl650.txt"), "current@week.test\r\n");
        MailDownloadMerge merge(rig.mail, rig.messages, rig.core.env.programFolder());
        // A last update in the current week: nothing in the range.
        QVERIFY(merge.mailload({}, {"mbl650.txt"}));
        QVERIFY(!merge.anyFileFound());
        QCOMPARE(rig.blacklist(), QStringList{"x@y.test"});
        QVERIFY(QFile::exists(rig.core.env.file(QStringLiteral("mbl650.txt"))));
    }

    void emptyBlacklistLeavesTheWindowOpen()
    {
        Rig rig;
        rig.core.env.writeFile(QStringLiteral("mbl649.txt"), "*@\r\n\r\n");
        MailDownloadMerge merge(rig.mail, rig.messages, rig.core.env.programFolder());
        QVERIFY(!merge.mailload({649}, {"mbl649.txt"}));
        QVERIFY(QFile::exists(rig.core.env.file(QStringLiteral("mbl649.txt"))));
    }

    void popupMerge()
    {
        Rig rig;
        rig.popups.bannedList().append({QStringLiteral("Banned Title"), true, {}, {}});
        rig.popups.whiteList().append({QStringLiteral("Friendly"), true, {}, {}});
        rig.popups.blackList().append({QStringLiteral("*casino*"), true, {}, {}});
        rig.core.env.writeFile(QStringLiteral("spamnew.pbl"),
                               "Banned Title\r\nFriendly\r\nbig casino night\r\nNew Popup\r"
                               "*\r\n\r\nAnother One\r\nnew popup\r\n");
        const QString today = shortDateText(rig.core.clock.now().date());
        PopupUpdateMerge merge(rig.popups, rig.core.controller, rig.core.env.programFolder(),
                               today);
        QVERIFY(merge.run());
        // The repeat in other letter case is no news either.
        QCOMPARE(merge.counters(), (MergeCounters{8, 2, 6, 1, 0}));
        for (int row = 0; row < rig.popups.blackList().count(); ++row) {
            const PopupEntry &e = rig.popups.blackList().entry(row);
            if (e.text != QLatin1String("*casino*"))
                QCOMPARE(e.dateAdded, today);
        }
        QVERIFY(rig.popups.blackListChanged());
        QVERIFY(!QFile::exists(rig.core.env.file(QStringLiteral("spamnew.pbl"))));
        QCOMPARE(rig.core.controller.statusTexts().panels(PopupScreen)[0], QStringLiteral("Loading"));
        // The merged entries reach the file at the next save.
        QVERIFY(rig.popups.saveAll().isEmpty());
        const QByteArray saved = rig.core.env.readFile(QStringLiteral("spamlist.kbl"));
        QVERIFY(saved.contains("New Popup"));
        QVERIFY(saved.contains("Another One"));
        QVERIFY(!saved.contains("Banned Title"));
    }

    void popupLines_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("verdict");
        const int ok = int(EntryVerdict::Accepted);
        const int broad = int(EntryVerdict::TooBroad);
        const int bad = int(EntryVerdict::Malformed);
        QTest::newRow("title") << "Casino Bonus" << ok;
        QTest::newRow("three literal characters") << "*win*" << ok;
        QTest::newRow("two literal characters") << "*wi*" << broad;
        QTest::newRow("stars alone") << "***" << broad;
        QTest::newRow("blanks do not count") << "* a b *" << broad;
        QTest::newRow("marker pieces do not count") << "*\u00ff*\u00ff*\u00ff*" << broad;
        QTest::newRow("tab") << "Casino\tBonus" << bad;
        QTest::newRow("NUL") << QStringLiteral("Casino") + QChar(0) + QStringLiteral("Bonus")
                             << bad;
        QTest::newRow("longest") << QString(kMaxPopupEntryLength, QLatin1Char('a')) << ok;
        QTest::newRow("too long") << QString(kMaxPopupEntryLength + 1, QLatin1Char('a')) << bad;
    }

    void popupLines()
    {
        QFETCH(QString, line);
        QFETCH(int, verdict);
        QCOMPARE(int(judgePopupEntry(line)), verdict);
        // And through the merge: only an accepted line joins the list.
        Rig rig;
        rig.core.env.writeFile(QStringLiteral("spamnew.pbl"), line.toUtf8() + "\r\n");
        PopupUpdateMerge merge(rig.popups, rig.core.controller, rig.core.env.programFolder(),
                               QStringLiteral("12/09/2026"));
        QVERIFY(merge.run());
        QCOMPARE(rig.popups.blackList().count(), verdict == int(EntryVerdict::Accepted) ? 1 : 0);
        QCOMPARE(merge.counters().tooBroad, verdict == int(EntryVerdict::TooBroad) ? 1 : 0);
        QCOMPARE(merge.counters().malformed, verdict == int(EntryVerdict::Malformed) ? 1 : 0);
    }

    void startedMergeAnswersAndCanBeStopped()
    {
        Rig rig;
        QByteArray list;
        for (int i = 0; i < 50000; ++i)
            list += "Popup Window Number " + QByteArray::number(i) + "\r\n";
        rig.core.env.writeFile(QStringLiteral("spamnew.pbl"), list);
        {
            PopupUpdateMerge merge(rig.popups, rig.core.controller,
                                   rig.core.env.programFolder(), QStringLiteral("12/09/2026"));
            QSignalSpy finished(&merge, &PopupUpdateMerge::finished);
            merge.start();
            merge.abort();
            QVERIFY(finished.wait(20000));
            QCOMPARE(finished.first().first().toBool(), false);
            QCOMPARE(rig.popups.blackList().count(), 0);
            QVERIFY(QFile::exists(rig.core.env.file(QStringLiteral("spamnew.pbl"))));
        }
        PopupUpdateMerge merge(rig.popups, rig.core.controller, rig.core.env.programFolder(),
                               QStringLiteral("12/09/2026"));
        QSignalSpy finished(&merge, &PopupUpdateMerge::finished);
        merge.start();
        // An entry the user adds meanwhile is not lost when the merged list comes in.
        rig.popups.AddBlackListEntry(QStringLiteral("Added Meanwhile"), true, true);
        QVERIFY(finished.wait(60000));
        QCOMPARE(finished.first().first().toBool(), true);
        QCOMPARE(rig.popups.blackList().count(), 50001);
        QVERIFY(rig.popups.blackList().exactRow(QStringLiteral("added meanwhile")) >= 0);
        QVERIFY(rig.popups.blackList().patternHitRow(QStringLiteral("popup window number 49999")) >= 0);
    }

    void popupMergeWithoutFile()
    {
        Rig rig;
        PopupUpdateMerge merge(rig.popups, rig.core.controller, rig.core.env.programFolder(),
                               QStringLiteral("12/09/2026"));
        QVERIFY(!merge.run());
        QVERIFY(!rig.popups.blackListChanged());
        QCOMPARE(rig.popups.blackList().count(), 0);
    }
};

QTEST_GUILESS_MAIN(TestDownloadMerge)
#include "test_download_merge.moc"

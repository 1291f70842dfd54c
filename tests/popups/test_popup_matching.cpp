// SPDX-License-Identifier: GPL-3.0-or-later
// The pattern and exact lookups: the worked results, the wildcard walk's corner cases and
// the side effects each list gets.
#include "CoreRig.h"

#include "popups/PopupLists.h"
#include "popups/Wildcard.h"

#include <QTest>

using namespace kvorn;
using namespace kvorn::test;

class TestPopupMatching : public QObject
{
    Q_OBJECT

private:
    struct Rig
    {
        CoreRig core;
        PopupLists lists{{core.controller, core.tray, core.clock}, core.env.programFolder()};
        QString today() const { return QStringLiteral("12/9/26"); }
    };

    static int add(PopupListModel &list, const QString &text, bool enabled = true)
    {
        PopupEntry e;
        e.text = text;
        e.enabled = enabled;
        e.dateAdded = noDateText();
        e.lastUsed = noDateText();
        return list.append(e);
    }

private Q_SLOTS:
    void workedResults_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("hit");
        QTest::newRow("both sides") << "*casino*"
                                    << "Online Casino Bonus" << true;
        QTest::newRow("end not anchored") << "*casino"
                                          << "casino royale" << true;
        QTest::newRow("start anchored") << "casino*"
                                        << "Best Casino" << false;
        QTest::newRow("two pieces") << "win*free*"
                                    << "Win a FREE cruise" << true;
        QTest::newRow("out of order") << "win*free*"
                                      << "free win" << false;
        QTest::newRow("star, empty title") << "*"
                                           << "" << false;
        QTest::newRow("plain, case") << "Pop Up"
                                     << "pop up" << true;
        QTest::newRow("plain is whole") << "Pop Up"
                                        << "Pop Up Ads" << false;
        QTest::newRow("no address") << "*/*"
                                    << "N/A" << true;
        QTest::newRow("star, any text") << "*"
                                        << "x" << true;
        QTest::newRow("no overlap") << "*ab*b"
                                    << "ab" << false;
        QTest::newRow("leftmost piece") << "*ab*ab"
                                        << "abab" << true;
        QTest::newRow("prefix then tail") << "a*"
                                          << "a" << true;
        QTest::newRow("double star needs a char") << "a**"
                                                  << "a" << false;
        QTest::newRow("double star, more text") << "a**"
                                                << "ab" << true;
        QTest::newRow("leading double star") << "**"
                                             << "" << false;
        QTest::newRow("plain empty") << ""
                                     << "" << true;
        QTest::newRow("unicode lower")
            << QString::fromUtf8("*BÄR*") << QString::fromUtf8("der bär") << true;
        QTest::newRow("cyrillic") << QString::fromUtf8("*ЖУК") << QString::fromUtf8("жук и")
                                  << true;
        QTest::newRow("marker alone counts") << QString::fromUtf8("*ÿ*") << "abc" << true;
        QTest::newRow("marker not searched")
            << QString::fromUtf8("*ÿ*a") << QString::fromUtf8("aÿ") << true;
        QTest::newRow("upper marker") << QString::fromUtf8("Ÿ*x") << "x" << true;
        QTest::newRow("marker inside a piece") << QString::fromUtf8("*aÿ*") << "abc" << false;
    }

    void workedResults()
    {
        QFETCH(QString, entry);
        QFETCH(QString, text);
        QFETCH(bool, hit);
        Rig rig;
        add(rig.lists.blackList(), entry);
        QCOMPARE(rig.lists.FindPopupEntry(rig.lists.blackList(), text, true), hit);
        // A list loaded whole files its entries as one added to does.
        Rig loaded;
        PopupEntry whole;
        whole.text = entry;
        loaded.lists.blackList().assign({whole});
        QCOMPARE(loaded.lists.FindPopupEntry(loaded.lists.blackList(), text, true), hit);
        // Both forms of the walk agree on star patterns.
        const QString e = lookupCase(entry), t = lookupCase(text);
        if (e.contains(QLatin1Char('*'))) {
            QCOMPARE(wildcardHit(e, t), hit);
            QCOMPARE(wildcardHitByMarks(e, t), hit);
        }
    }

    void blackListHitSelectsAndStamps()
    {
        Rig rig;
        PopupListModel &black = rig.lists.blackList();
        add(black, QStringLiteral("#alpha"));
        add(black, QStringLiteral("*casino*"));
        add(black, QStringLiteral("zulu"));
        black.selectRow(0);
        black.selectRow(2);
        QVERIFY(rig.lists.FindPopupEntry(black, QStringLiteral("Big CASINO"), true));
        QCOMPARE(black.currentRow(), 1);
        QCOMPARE(black.selectedRows(), QList<int>{1});
        QCOMPARE(black.entry(1).lastUsed, rig.today());
        QCOMPARE(black.entry(0).lastUsed, noDateText());
        QVERIFY(black.multiSelect());

        // A miss leaves nothing selected and single selection on.
        QVERIFY(!rig.lists.FindPopupEntry(black, QStringLiteral("nothing here"), true));
        QCOMPARE(black.currentRow(), -1);
        QVERIFY(black.selectedRows().isEmpty());
        QVERIFY(!black.multiSelect());
    }

    void duplicateTextsStampTheFirst()
    {
        Rig rig;
        PopupListModel &black = rig.lists.blackList();
        add(black, QStringLiteral("*Casino*"), false);
        add(black, QStringLiteral("*casino*"), true);
        QVERIFY(rig.lists.FindPopupEntry(black, QStringLiteral("casino"), true));
        // The enabled second entry hit, but the lookup selects the first equal text.
        QCOMPARE(black.currentRow(), 0);
        QCOMPARE(black.entry(0).lastUsed, rig.today());
        QCOMPARE(black.entry(1).lastUsed, noDateText());
    }

    void whiteAndBannedSideEffects()
    {
        Rig rig;
        PopupListModel &white = rig.lists.whiteList();
        add(white, QStringLiteral("a"));
        add(white, QStringLiteral("*keep*"));
        white.selectRow(0);
        QVERIFY(rig.lists.FindPopupEntry(white, QStringLiteral("please KEEP me"), true));
        QCOMPARE(white.currentRow(), 0);
        QCOMPARE(white.entry(1).lastUsed, noDateText());
        QVERIFY(!white.multiSelect());

        PopupListModel &banned = rig.lists.bannedList();
        add(banned, QStringLiteral("x"));
        add(banned, QStringLiteral("*never*"));
        QVERIFY(rig.lists.FindPopupEntry(banned, QStringLiteral("Never Ever"), true));
        QCOMPARE(banned.currentRow(), 1);
        QCOMPARE(banned.entry(1).lastUsed, noDateText());
    }

    void titleBeforeAddress()
    {
        Rig rig;
        PopupListModel &black = rig.lists.blackList();
        add(black, QStringLiteral("*/*"));
        add(black, QStringLiteral("title"));
        // The title hits: the address is never looked at, only the title's entry is stamped.
        QVERIFY(
            rig.lists.FindPopupEntry(black, QStringLiteral("Title"), true, QStringLiteral("N/A")));
        QCOMPARE(black.currentRow(), 1);
        QCOMPARE(black.entry(0).lastUsed, noDateText());
        // The title misses: the address does it.
        QVERIFY(
            rig.lists.FindPopupEntry(black, QStringLiteral("other"), true, QStringLiteral("N/A")));
        QCOMPARE(black.currentRow(), 0);
        QCOMPARE(black.entry(0).lastUsed, rig.today());
        QVERIFY(!rig.lists.FindPopupEntry(black, QStringLiteral("other"), true));
    }

    void exactLookup()
    {
        Rig rig;
        PopupListModel &black = rig.lists.blackList();
        add(black, QStringLiteral("*Casino*"), false);
        add(black, QStringLiteral("Pop Up"), true);
        // Whole text, letter case ignored, disabled entries too, stars taken literally.
        QVERIFY(rig.lists.FindPopupEntry(black, QStringLiteral("*CASINO*"), false));
        QCOMPARE(black.currentRow(), 0);
        QCOMPARE(black.entry(0).lastUsed, noDateText());
        QVERIFY(!rig.lists.FindPopupEntry(black, QStringLiteral("big casino"), false));
        QVERIFY(!rig.lists.FindPopupEntry(black, QStringLiteral("big casino"), true));
        QVERIFY(rig.lists.FindPopupEntry(black, QStringLiteral("none"), false,
                                         QStringLiteral("pop up")));
        QCOMPARE(black.currentRow(), 1);
    }
};

QTEST_GUILESS_MAIN(TestPopupMatching)
#include "test_popup_matching.moc"

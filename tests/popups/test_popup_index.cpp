// SPDX-License-Identifier: GPL-3.0-or-later
// The lookup index against the plain scan: randomized lists and texts, changed between
// lookups, must give the same first hit as visiting every entry.
#include "popups/PopupListModel.h"
#include "popups/Wildcard.h"

#include <QRandomGenerator>
#include <QTest>

using namespace kvorn;

class TestPopupIndex : public QObject
{
    Q_OBJECT

private:
    // Pieces chosen to collide often: short and long, cased, non-Latin, the marker.
    const QStringList m_words = {
        QStringLiteral("a"),      QStringLiteral("B"),        QStringLiteral("ab"),
        QStringLiteral("abab"),   QStringLiteral("Free"),     QStringLiteral("free cruise"),
        QStringLiteral("casino"), QStringLiteral("CASINO"),   QString::fromUtf8("ÿ"),
        QString::fromUtf8("Ÿ"),   QString::fromUtf8("Ärger"), QString::fromUtf8("жук"),
        QString::fromUtf8("ЖУК"), QStringLiteral(" "),        QStringLiteral("n/a"),
        QStringLiteral("x"),      QStringLiteral("aaaa"),     QStringLiteral("ba"),
    };

    QString randomText(QRandomGenerator &rng, bool stars)
    {
        QString text;
        const int parts = int(rng.bounded(5));
        for (int i = 0; i < parts; ++i) {
            if (stars && rng.bounded(3) == 0)
                text += QLatin1Char('*');
            if (stars && rng.bounded(8) == 0)
                text += QLatin1Char('*'); // "**"
            if (rng.bounded(5) != 0)
                text += m_words.at(int(rng.bounded(m_words.size())));
        }
        if (stars && rng.bounded(4) == 0)
            text += QLatin1Char('*');
        return text;
    }

    PopupEntry randomEntry(QRandomGenerator &rng)
    {
        PopupEntry e;
        e.text = randomText(rng, true);
        e.enabled = rng.bounded(4) != 0;
        e.dateAdded = noDateText();
        e.lastUsed = noDateText();
        return e;
    }

    static void compareAnswers(const PopupListModel &list, const QString &text, int round)
    {
        const QString t = lookupCase(text);
        const int byIndex = list.patternHitRow(t);
        const int byScan = list.patternHitRowByScan(t, true);
        if (byIndex != byScan) {
            QString entries;
            for (int i = 0; i < list.count(); ++i)
                entries += QStringLiteral("\n  %1 %2 [%3]")
                               .arg(i)
                               .arg(list.entry(i).enabled)
                               .arg(list.entry(i).text);
            QFAIL(qPrintable(QStringLiteral("round %1: text [%2]: index %3, scan %4%5")
                                 .arg(round)
                                 .arg(text)
                                 .arg(byIndex)
                                 .arg(byScan)
                                 .arg(entries)));
        }
        QCOMPARE(list.exactRow(t), list.exactRowByScan(t));
    }

private Q_SLOTS:
    void indexAgreesWithScan_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("sorted");
        QTest::newRow("black, sorted") << int(PopupListModel::Kind::Black) << true;
        QTest::newRow("white, list order") << int(PopupListModel::Kind::White) << false;
        QTest::newRow("banned") << int(PopupListModel::Kind::Banned) << false;
    }

    void indexAgreesWithScan()
    {
        QFETCH(int, kind);
        QFETCH(bool, sorted);
        QRandomGenerator rng(20261209u + quint32(kind));
        for (int round = 0; round < 300; ++round) {
            PopupListModel list(static_cast<PopupListModel::Kind>(kind));
            list.setKeepSorted(sorted);
            std::vector<PopupEntry> start;
            const int n = int(rng.bounded(60));
            for (int i = 0; i < n; ++i)
                start.push_back(randomEntry(rng));
            list.assign(start);
            for (int step = 0; step < 40; ++step) {
                // Change the list between lookups, as the commands and the merge do.
                switch (rng.bounded(7)) {
                case 0:
                    list.append(randomEntry(rng));
                    break;
                case 1:
                    if (list.count() > 0)
                        list.removeAt(int(rng.bounded(list.count())));
                    break;
                case 2:
                    if (list.count() > 0)
                        list.setText(int(rng.bounded(list.count())), randomText(rng, true));
                    break;
                case 3:
                    if (list.count() > 0) {
                        const int row = int(rng.bounded(list.count()));
                        list.setEnabled(row, !list.entry(row).enabled);
                    }
                    break;
                case 4:
                    if (rng.bounded(4) == 0)
                        list.sort(int(rng.bounded(list.columnCount())),
                                  rng.bounded(2) ? Qt::AscendingOrder : Qt::DescendingOrder);
                    break;
                case 5:
                    if (list.count() > 0) {
                        // A duplicate of an existing text, in another letter case.
                        PopupEntry e = list.entry(int(rng.bounded(list.count())));
                        e.text = e.text.toUpper();
                        list.append(e);
                    }
                    break;
                default:
                    break;
                }
                compareAnswers(list, randomText(rng, rng.bounded(6) == 0), round);
                if (list.count() > 0) {
                    // A text made from an entry hits it or an earlier one.
                    QString t = list.entry(int(rng.bounded(list.count()))).text;
                    t.replace(QLatin1Char('*'), m_words.at(int(rng.bounded(m_words.size()))));
                    compareAnswers(list, t, round);
                }
            }
        }
    }

    void largeListWithChurn()
    {
        // Enough entries to grow the index's tables several times and to empty many of its
        // buckets again, so that removals have to repair the probe runs.
        QRandomGenerator rng(99u);
        PopupListModel list(PopupListModel::Kind::Black);
        list.setKeepSorted(true);
        for (int i = 0; i < 3000; ++i)
            list.append(randomEntry(rng));
        for (int step = 0; step < 3000; ++step) {
            if (rng.bounded(3) == 0 && list.count() > 0)
                list.removeAt(int(rng.bounded(list.count())));
            else if (rng.bounded(2) == 0)
                list.append(randomEntry(rng));
            if (step % 3 == 0)
                compareAnswers(list, randomText(rng, false), step);
        }
        while (list.count() > 10)
            list.removeAt(int(rng.bounded(list.count())));
        for (int i = 0; i < 200; ++i)
            compareAnswers(list, randomText(rng, false), i);
    }

    void bothWalksAgree()
    {
        QRandomGenerator rng(7u);
        for (int i = 0; i < 200000; ++i) {
            const QString e = lookupCase(randomText(rng, true));
            if (!e.contains(QLatin1Char('*')))
                continue;
            const QString t = lookupCase(randomText(rng, false));
            if (wildcardHit(e, t) != wildcardHitByMarks(e, t))
                QFAIL(qPrintable(QStringLiteral("[%1] on [%2]").arg(e, t)));
        }
    }
};

QTEST_GUILESS_MAIN(TestPopupIndex)
#include "test_popup_index.moc"

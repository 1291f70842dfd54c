// SPDX-License-Identifier: GPL-3.0-or-later
#include "KillLogLines.h"
#include "TestEnv.h"
#include "log/KillHistory.h"
#include "log/KillLogModels.h"
#include "log/KillLogReader.h"

#include <QBuffer>
#include <QTest>
#include <QThread>

using namespace kvorn;
using namespace kvorn::test;

namespace {
/// Mixed kinds, a short line, a Windows-1252 title, a title holding the separator byte.
QByteArray fixtureLog()
{
    return killLogLine({"Popup", "Casino Royale", "Casino", "9/30/04 9:00:00 PM"}) +
           killLogLine({"Popup", "casino night", "casino", "10/1/04 9:00:00 AM"}) +
           killLogLine({"Mail", "spam@example.test", "False", "10/1/04 9:30:00 AM"}) +
           killLogLine({"Popup", "Poker", "Poker", "10/1/04 10:00:00 PM"}) +
           killLogLine({"Popup", "only two"}) +
           killLogLine({"Popup", "Caf\xe9", "Poker", "12/31/04 11:59:59 PM"}) +
           killLogLine({"popup", "other case", "Casino", "1/1/05"}) +
           killLogLine({"Popup", "no date", "CASINO"}) + "\xff\xfe\r\n" +
           killLogLine({"Mail", "friend@example.test", "False", "1/2/05 8:00:00 AM"});
}

KillLogRead readRecords(const QByteArray &bytes, const QString &kind)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return readKillLogRecords(buffer, kind);
}

KillLogRead readCounts(const QByteArray &bytes, const QString &kind)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return countKillLogEntries(buffer, kind);
}

QStringList column(const QAbstractItemModel &model, int c)
{
    QStringList cells;
    for (int r = 0; r < model.rowCount(); ++r)
        cells.append(model.index(r, c).data().toString());
    return cells;
}
} // namespace

class TestKillLogReader : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void recordsOfOneKind_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QStringList>("filters");
        QTest::addColumn<QStringList>("dates");
        QTest::newRow("popups") << "Popup"
                                << QStringList{"Casino Royale", "casino night", "Poker",
                                               "only two",      "Café",         "no date"}
                                << QStringList{"Casino", "casino", "Poker", "", "Poker", "CASINO"}
                                << QStringList{"9/30/04 9:00:00 PM",   "10/1/04 9:00:00 AM",
                                               "10/1/04 10:00:00 PM",  "",
                                               "12/31/04 11:59:59 PM", ""};
        QTest::newRow("mail") << "Mail" << QStringList{"spam@example.test", "friend@example.test"}
                              << QStringList{"False", "False"}
                              << QStringList{"10/1/04 9:30:00 AM", "1/2/05 8:00:00 AM"};
    }

    void recordsOfOneKind()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, items);
        QFETCH(QStringList, filters);
        QFETCH(QStringList, dates);
        const KillLogRead read = readRecords(fixtureLog(), kind);
        QVERIFY(read.error.isEmpty());
        KillLogRecordModel model;
        model.setRecords(read.records);
        QCOMPARE(column(model, 0), items);
        QCOMPARE(column(model, 1), filters);
        QCOMPARE(column(model, 2), dates);
    }

    void fieldsBeyondTheFourthAndLinesWithoutEnd()
    {
        const QByteArray bytes = killLogLine({"Popup", "a", "b", "c", "d"}) + "Popup\xff"
                                                                              "last\xff"
                                                                              "e\xff"
                                                                              "f";
        const KillLogRead read = readRecords(bytes, QStringLiteral("Popup"));
        KillLogRecordModel model;
        model.setRecords(read.records);
        QCOMPARE(column(model, 0), (QStringList{"a", "last"}));
        QCOMPARE(column(model, 2), (QStringList{"c", "f"}));
    }

    void chunkBoundariesDoNotSplitRecords()
    {
        // More than one 4 MB chunk, with CR LF falling on every possible boundary.
        QByteArray bytes;
        int n = 0;
        while (bytes.size() < 9 * 1024 * 1024) {
            bytes += killLogLine({"Popup", "title " + QByteArray::number(n),
                                  "entry " + QByteArray::number(n % 7), QByteArray::number(n)});
            ++n;
        }
        const KillLogRead read = readRecords(bytes, QStringLiteral("Popup"));
        QCOMPARE(read.records.records.size(), n);
        for (int i : {0, 1, n / 2, n - 1}) {
            const auto &rec = read.records.records.at(i);
            QCOMPARE(read.records.texts.at(rec.item), QStringLiteral("title %1").arg(i));
            QCOMPARE(read.records.date(rec), QString::number(i));
        }
        const KillLogRead counts = readCounts(bytes, QStringLiteral("Popup"));
        QCOMPARE(counts.counts.size(), 7);
        qint64 total = 0;
        for (const KillLogCount &c : counts.counts)
            total += c.count;
        QCOMPARE(total, qint64(n));
    }

    void partsHandedOverMakeTheSameList_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<Qt::SortOrder>("order");
        QTest::newRow("oldest first") << 2 << Qt::AscendingOrder;
        QTest::newRow("newest first") << 2 << Qt::DescendingOrder;
        QTest::newRow("by title, ranks pending") << 0 << Qt::AscendingOrder;
    }

    void partsHandedOverMakeTheSameList()
    {
        QFETCH(int, column);
        QFETCH(Qt::SortOrder, order);
        // Several chunks, titles met again in later parts, records without a date, and
        // other kinds between.
        QByteArray bytes;
        int n = 0;
        while (bytes.size() < 3 * 1024 * 1024) {
            bytes += killLogLine({"Popup", "title " + QByteArray::number(n % 5003),
                                  "entry " + QByteArray::number(n % 7),
                                  n % 11 ? QByteArray::number(n) : QByteArray()});
            if (n % 3 == 0)
                bytes += killLogLine({"Mail", "x@example.test", "False", "1"});
            ++n;
        }
        const KillLogRead whole = readRecords(bytes, QStringLiteral("Popup"));
        KillLogRecordModel expected;
        expected.setRecords(whole.records);
        expected.sort(column, order);

        QList<KillLogBatch> parts;
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        KillLogProgress progress;
        const KillLogRead read = readKillLogRecords(buffer, QStringLiteral("Popup"), &progress,
                                                    [&](KillLogBatch &&part) {
                                                        parts.append(std::move(part));
                                                        // parts come at least a hand-over apart
                                                        QThread::msleep(kKillLogBatchMs);
                                                    });
        QVERIFY(read.error.isEmpty());
        QVERIFY(read.records.records.isEmpty());
        QVERIFY(parts.size() > 2);

        KillLogRecordModel model;
        model.expectRanks();
        model.sort(column, order);
        model.appendRecords(parts.takeFirst());
        // A row the user selected keeps its record while rows are added around it.
        const QPersistentModelIndex selected = model.index(1, 0);
        const QString selectedText = selected.data().toString();
        const QString selectedDate = model.index(1, 2).data().toString();
        for (KillLogBatch &part : parts)
            model.appendRecords(std::move(part));
        QCOMPARE(model.rowCount(), n);
        if (column != 2)
            model.setRanks(KillLogRecordModel::rankTexts(model.records().texts));
        for (int c = 0; c < 3; ++c)
            QCOMPARE(::column(model, c), ::column(expected, c));
        QCOMPARE(selected.data().toString(), selectedText);
        QCOMPARE(model.index(selected.row(), 2).data().toString(), selectedDate);
    }

    void dateSortsByPlaceInTheFile()
    {
        // As text, "10/1/04" would come before "9/30/04", and "10:00:00 PM" before
        // "9:00:00 AM" of the same day.
        QByteArray bytes = killLogLine({"Popup", "a", "x", "9/30/04 9:00:00 PM"}) +
                           killLogLine({"Popup", "b", "x", "10/1/04 9:00:00 AM"}) +
                           killLogLine({"Popup", "c", "x", "10/1/04 10:00:00 PM"}) +
                           killLogLine({"Popup", "d", "x", "1/1/05 12:00:00 AM"});
        KillLogRecordModel model;
        model.setRecords(readRecords(bytes, QStringLiteral("Popup")).records);
        QCOMPARE(model.sortColumn(), 2);
        QCOMPARE(column(model, 0), (QStringList{"a", "b", "c", "d"}));
        model.sort(2, Qt::DescendingOrder);
        QCOMPARE(column(model, 0), (QStringList{"d", "c", "b", "a"}));
        QCOMPARE(column(model, 2).first(), QStringLiteral("1/1/05 12:00:00 AM"));
    }

    void textColumnsSortIgnoringCase()
    {
        QByteArray bytes = killLogLine({"Popup", "banana", "Zeta", "1"}) +
                           killLogLine({"Popup", "Apple", "alpha", "2"}) +
                           killLogLine({"Popup", "cherry", "Alpha", "3"}) +
                           killLogLine({"Popup", "apple", "beta", "4"});
        KillLogRecordModel model;
        model.setRecords(readRecords(bytes, QStringLiteral("Popup")).records);
        QCOMPARE(model.headerData(0, Qt::Horizontal, Qt::InitialSortOrderRole).toInt(),
                 int(Qt::AscendingOrder));
        model.sort(0, Qt::AscendingOrder);
        QCOMPARE(column(model, 0), (QStringList{"Apple", "apple", "banana", "cherry"}));
        model.sort(1, Qt::AscendingOrder);
        QCOMPARE(column(model, 1), (QStringList{"alpha", "Alpha", "beta", "Zeta"}));
        model.sort(1, Qt::DescendingOrder);
        QCOMPARE(column(model, 1), (QStringList{"Zeta", "beta", "alpha", "Alpha"}));
    }

    void textSortWaitsForRanksMadeElsewhere()
    {
        // The window ranks a big log on another thread; a header click before that ends
        // must neither block to rank it again nor lose the request.
        QByteArray bytes = killLogLine({"Popup", "banana", "x", "1"}) +
                           killLogLine({"Popup", "cherry", "x", "2"}) +
                           killLogLine({"Popup", "Apple", "x", "3"});
        KillLogRecordModel model;
        model.expectRanks();
        model.setRecords(readRecords(bytes, QStringLiteral("Popup")).records);
        const QPersistentModelIndex cherry = model.index(1, 0);
        model.sort(0, Qt::AscendingOrder);
        QCOMPARE(model.sortColumn(), 0);
        QCOMPARE(column(model, 0), (QStringList{"banana", "cherry", "Apple"}));

        model.setRanks(KillLogRecordModel::rankTexts(model.records().texts));
        QCOMPARE(column(model, 0), (QStringList{"Apple", "banana", "cherry"}));
        QCOMPARE(cherry.row(), 2);
        QCOMPARE(cherry.data().toString(), QStringLiteral("cherry"));
        model.sort(2, Qt::DescendingOrder);
        QCOMPARE(column(model, 0), (QStringList{"Apple", "cherry", "banana"}));
        QCOMPARE(cherry.row(), 1);
    }

    void analysisCountsPerEntryIgnoringCase_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QList<qint64>>("counts");
        // "only two" has no entry; "popup" is another kind; the first spelling stays.
        QTest::newRow("popups") << "Popup" << QStringList{"Casino", "Poker"} << QList<qint64>{3, 2};
        QTest::newRow("mail") << "Mail" << QStringList{"False"} << QList<qint64>{2};
        QTest::newRow("no such kind") << "Banner" << QStringList{} << QList<qint64>{};
    }

    void analysisCountsPerEntryIgnoringCase()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, entries);
        QFETCH(QList<qint64>, counts);
        const KillLogRead read = readCounts(fixtureLog(), kind);
        QCOMPARE(read.counts.size(), entries.size());
        for (qsizetype i = 0; i < entries.size(); ++i) {
            QCOMPARE(read.counts.at(i).entry, entries.at(i));
            QCOMPARE(read.counts.at(i).count, counts.at(i));
        }
    }

    void countCells_data()
    {
        QTest::addColumn<qint64>("count");
        QTest::addColumn<QString>("cell");
        QTest::newRow("12") << qint64(12) << "     12";
        QTest::newRow("1") << qint64(1) << "      1";
        QTest::newRow("seven digits") << qint64(1234567) << "1234567";
        // Cut to seven, this showed as "2345678".
        QTest::newRow("eight digits") << qint64(12345678) << "12345678";
        QTest::newRow("ten digits") << qint64(9876543210) << "9876543210";
    }

    void countCells()
    {
        QFETCH(qint64, count);
        QFETCH(QString, cell);
        QCOMPARE(countCellText(count), cell);
    }

    void countColumnSortsByNumber()
    {
        KillLogCountModel model;
        model.setCounts({{"big", 12345678}, {"twelve", 12}, {"two", 2}, {"huge", 99999999}});
        QCOMPARE(model.sortColumn(), 1);
        QCOMPARE(column(model, 0), (QStringList{"two", "twelve", "big", "huge"}));
        QCOMPARE(column(model, 1), (QStringList{"      2", "     12", "12345678", "99999999"}));
        QCOMPARE(model.index(0, 1).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
                     Qt::AlignRight,
                 Qt::AlignRight);
        model.sort(1, Qt::DescendingOrder);
        QCOMPARE(column(model, 0), (QStringList{"huge", "big", "twelve", "two"}));
        model.sort(0, Qt::AscendingOrder);
        QCOMPARE(column(model, 0), (QStringList{"big", "huge", "twelve", "two"}));
    }

    void missingAndUnreadableFiles()
    {
        TestEnv env;
        const KillLogRead missing =
            readKillLogFile(env.file(QStringLiteral("k-vorn.log")), QStringLiteral("Popup"), false);
        QVERIFY(missing.error.isEmpty());
        QVERIFY(missing.records.records.isEmpty());
        // A folder where the log should be cannot be read: that is said, not shown empty.
        QDir().mkpath(env.file(QStringLiteral("k-vorn.log")));
        for (bool analyse : {false, true}) {
            const KillLogRead read = readKillLogFile(env.file(QStringLiteral("k-vorn.log")),
                                                     QStringLiteral("Popup"), analyse);
            QVERIFY2(!read.error.isEmpty(), "a log that cannot be read must be reported");
            QVERIFY(read.error.contains(QStringLiteral("k-vorn.log")));
        }
    }

    void historyCountsPerDayAndMonth()
    {
        TestEnv env; // the dates are read in en_US
        const QByteArray bytes =
            killLogLine({"Mail", "a@example.test", "False", "1/2/05 8:00:00 AM"}) +
            killLogLine({"Popup", "t", "e", "1/1/05"}) +
            killLogLine({"Popup", "t", "e", "1/1/05 9:00:00 AM"}) +
            killLogLine({"Popup", "t", "e", "12/31/04 11:59:59 PM"}) +
            killLogLine({"Popup", "t", "e", "12/4/04 1:00:00 AM"}) +
            killLogLine({"Popup", "t", "e", "10/1/04 10:00:00 PM"}) +
            killLogLine({"Mail", "b@example.test", "False", "9/30/04 9:00:00 PM"}) +
            killLogLine({"Popup", "t", "e", "1/2/04 9:00:00 PM"}) +
            killLogLine({"Popup", "t", "e", "the day after"}) +
            killLogLine({"popup", "t", "e", "1/1/05"}) + killLogLine({"Popup", "short"});
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        const KillHistory h = countKillHistory(buffer, QDate(2005, 1, 2));
        QVERIFY(h.error.isEmpty());
        QCOMPARE(h.mailPerDay[29], 1);
        QCOMPARE(h.popupsPerDay[29], 0);
        QCOMPARE(h.popupsPerDay[28], 2);
        QCOMPARE(h.popupsPerDay[27], 1);
        QCOMPARE(h.popupsPerDay[0], 1); // 12/4/04 is 29 days back
        qint64 days = 0;
        for (qint64 n : h.popupsPerDay)
            days += n;
        QCOMPARE(days, 4);
        QCOMPARE(h.popupsPerMonth[11], 2); // January 2005
        QCOMPARE(h.popupsPerMonth[10], 2); // December 2004
        QCOMPARE(h.popupsPerMonth[8], 1);  // October 2004
        QCOMPARE(h.mailPerMonth[7], 1);    // September 2004
        QCOMPARE(h.mailPerMonth[11], 1);
        qint64 months = 0;
        for (qint64 n : h.popupsPerMonth)
            months += n;
        QCOMPARE(months, 5); // January 2004 is beyond the twelve months
        QCOMPARE(h.undated, 1);
    }

    void cancelStopsTheReading()
    {
        QByteArray bytes;
        while (bytes.size() < 10 * 1024 * 1024)
            bytes += killLogLine({"Popup", "t", "e", "d"});
        KillLogProgress progress;
        progress.cancel = true;
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        const KillLogRead read = readKillLogRecords(buffer, QStringLiteral("Popup"), &progress);
        QVERIFY(read.cancelled);
        QVERIFY(read.records.records.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestKillLogReader)
#include "test_kill_log_reader.moc"

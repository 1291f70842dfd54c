// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/WeekCode.h"

#include <QLocale>
#include <QTest>

using namespace kvorn;

using Codes = QList<int>;

class TestWeekCode : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void codes_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<int>("code");

        QTest::newRow("8 Dec 2004") << QDate(2004, 12, 8) << 450;
        QTest::newRow("1 Jan 2003") << QDate(2003, 1, 1) << 301;
        QTest::newRow("Saturday 4 Jan 2003 still week 1") << QDate(2003, 1, 4) << 301;
        QTest::newRow("Sunday 5 Jan 2003 starts week 2") << QDate(2003, 1, 5) << 302;
        QTest::newRow("31 Dec 2003 week 53") << QDate(2003, 12, 31) << 353;
        QTest::newRow("31 Dec 2004 week 53") << QDate(2004, 12, 31) << 453;
        QTest::newRow("31 Dec 2000 week 54") << QDate(2000, 12, 31) << 54;
        QTest::newRow("31 Dec 2028 week 54") << QDate(2028, 12, 31) << 854;
        QTest::newRow("10 Dec 2026") << QDate(2026, 12, 10) << 650;
        QTest::newRow("1 Jan 2010") << QDate(2010, 1, 1) << 1;
    }

    void codes()
    {
        QFETCH(QDate, date);
        QFETCH(int, code);
        QCOMPARE(weekCode(date), code);
    }

    void walk_data()
    {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("today");
        QTest::addColumn<bool>("includeToday");
        QTest::addColumn<Codes>("codes");

        QTest::newRow("same week, with today") << QDate(2004, 12, 6) << QDate(2004, 12, 8) << true << Codes{450};
        QTest::newRow("same week, before today") << QDate(2004, 12, 6) << QDate(2004, 12, 8) << false << Codes{};
        QTest::newRow("week 53 into the new year")
            << QDate(2004, 12, 20) << QDate(2005, 1, 10) << true << Codes{452, 453, 501, 502, 503};
        QTest::newRow("from week 53, before today")
            << QDate(2004, 12, 31) << QDate(2005, 1, 10) << false << Codes{453, 501, 502};
        QTest::newRow("session inside week 53") << QDate(2004, 12, 6) << QDate(2004, 12, 31) << true
                                                << Codes{450, 451, 452, 453};
        QTest::newRow("week 54 into 2029") << QDate(2028, 12, 31) << QDate(2029, 1, 15) << true
                                           << Codes{854, 901, 902, 903};
        QTest::newRow("decade end 2009 to 2010") << QDate(2009, 11, 20) << QDate(2010, 1, 5) << true
                                                 << Codes{947, 948, 949, 950, 951, 952, 953, 1, 2};
        QTest::newRow("from after today means today") << QDate(2027, 3, 1) << QDate(2026, 12, 10) << true
                                                      << Codes{650};
    }

    void walk()
    {
        QFETCH(QDate, from);
        QFETCH(QDate, today);
        QFETCH(bool, includeToday);
        QFETCH(Codes, codes);
        QCOMPARE(weekCodesSince(from, today, includeToday), codes);
    }

    void walkLooksBackAtMostTenYears()
    {
        const QDate today(2026, 12, 10);
        const Codes codes = weekCodesSince(QDate(2003, 1, 1), today, true);
        QCOMPARE(codes.last(), 650);
        // 519 weeks, plus one more each time a turn of the year splits a week.
        QVERIFY(codes.size() <= 519 + 11);
        QCOMPARE(QSet<int>(codes.begin(), codes.end()).size(), codes.size());
        // Every code of the last year is there, week 53 included.
        QVERIFY(codes.contains(553));
        QVERIFY(codes.contains(601));
        QVERIFY(codes.contains(649));
    }

    void storedDates_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QDate>("date");

        const QDate today(2026, 12, 10);
        for (const char *name : {"C", "en_US", "en_GB", "de_DE", "sv_SE"}) {
            const QString locale = QString::fromLatin1(name);
            QTest::addRow("%s four-digit year", name) << locale << "01/01/2003" << QDate(2003, 1, 1);
            QTest::addRow("%s two-digit year", name) << locale << "01/01/03" << QDate(2003, 1, 1);
            if (QString::fromLatin1(name) != QLatin1String("en_GB"))
                QTest::addRow("%s month first", name) << locale << "12/08/2004" << QDate(2004, 12, 8);
            QTest::addRow("%s empty", name) << locale << "" << QDate(2003, 1, 1);
            QTest::addRow("%s unreadable", name) << locale << "soon" << QDate(2003, 1, 1);
            QTest::addRow("%s in the future", name) << locale << "01/01/2030" << today;
            QTest::addRow("%s written by the program", name)
                << locale << QLocale(locale).toString(QDate(2024, 11, 5), QLocale::ShortFormat)
                << QDate(2024, 11, 5);
        }
    }

    void dayFirstLocaleReadsItsOwnDates()
    {
        const QLocale saved;
        QLocale::setDefault(QLocale(QStringLiteral("en_GB")));
        const QDate read = lastUpdateDate(QStringLiteral("05/11/2024"), QDate(2026, 12, 10));
        QLocale::setDefault(saved);
        QCOMPARE(read, QDate(2024, 11, 5));
    }

    void storedDates()
    {
        QFETCH(QString, locale);
        QFETCH(QString, stored);
        QFETCH(QDate, date);
        const QLocale saved;
        QLocale::setDefault(QLocale(locale));
        const QDate read = lastUpdateDate(stored, QDate(2026, 12, 10));
        QLocale::setDefault(saved);
        QCOMPARE(read, date);
    }
};

QTEST_GUILESS_MAIN(TestWeekCode)
#include "test_weekcode.moc"

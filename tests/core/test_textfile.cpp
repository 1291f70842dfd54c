// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestEnv.h"

#include "core/DateText.h"
#include "core/TextFile.h"

#include <QDir>
#include <QTest>

using namespace kvorn;
using namespace kvorn::test;

class TestTextFile : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decoding_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("fields");

        QTest::newRow("ascii fields") << QByteArray("a\xFF" "b\xFF" "1") << QStringList{"a", "b", "1"};
        QTest::newRow("utf-8 field") << QByteArray("Gr\xC3\xBC\xC3\x9F" "e\xFF" "1")
                                     << QStringList{QStringLiteral("Grüße"), "1"};
        QTest::newRow("windows-1252 field")
            << QByteArray("Caf\xE9 \x80 \x93x\x94\xFF" "0")
            << QStringList{QStringLiteral("Café € “x”"), "0"};
        QTest::newRow("y diaeresis survives in utf-8")
            << QByteArray("\xC3\xBF" "b\xFF" "1") << QStringList{QStringLiteral("ÿb"), "1"};
        QTest::newRow("empty fields") << QByteArray("\xFF\xFF") << QStringList{"", "", ""};
    }

    void decoding()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, fields);
        TestEnv env;
        env.writeFile(QStringLiteral("f.kbl"), bytes + "\r\n" + bytes + "\n");
        const auto lines = readFieldLines(env.file(QStringLiteral("f.kbl")));
        QVERIFY(lines);
        QCOMPARE(lines->size(), 2);
        QCOMPARE(lines->at(0), fields);
        QCOMPARE(lines->at(1), fields);
    }

    void writesUtf8WithCrLfAndReadsBack()
    {
        TestEnv env;
        const QList<QStringList> lines = {{QStringLiteral("ÿ title"), QStringLiteral("1")},
                                          {QStringLiteral("€"), QString()}};
        QVERIFY(writeFieldLines(env.file(QStringLiteral("l.kbl")), lines));
        QCOMPARE(env.readFile(QStringLiteral("l.kbl")),
                 QByteArray("\xC3\xBF title\xFF" "1\r\n\xE2\x82\xAC\xFF\r\n"));
        QCOMPARE(*readFieldLines(env.file(QStringLiteral("l.kbl"))), lines);
    }

    void failedWriteKeepsTheOldFileAndSaysWhy()
    {
        TestEnv env;
        env.writeFile(QStringLiteral("keep.kbl"), "old\r\n");
        // A directory in place of the file cannot be replaced, even by root.
        QDir().mkpath(env.file(QStringLiteral("dir.kbl")));
        const WriteResult result = writeLines(env.file(QStringLiteral("dir.kbl")), {QStringLiteral("x")});
        QVERIFY(!result);
        QVERIFY(result.error.contains(QStringLiteral("dir.kbl")));
        QCOMPARE(env.readFile(QStringLiteral("keep.kbl")), QByteArray("old\r\n"));
    }

    void appendKeepsEarlierLines()
    {
        TestEnv env;
        env.writeFile(QStringLiteral("k-vorn.log"), "first\r\n");
        QVERIFY(appendLines(env.file(QStringLiteral("k-vorn.log")), {{QStringLiteral("a"), QStringLiteral("b")}}));
        QCOMPARE(env.readFile(QStringLiteral("k-vorn.log")), QByteArray("first\r\na\xFF" "b\r\n"));
    }

    void dates()
    {
        TestEnv env; // pins en_US
        QCOMPARE(shortDateText(QDate(2004, 12, 3)), QStringLiteral("12/3/04"));
        QCOMPARE(generalDateText(QDateTime(QDate(2004, 12, 3), QTime(22, 15, 32))),
                 QStringLiteral("12/3/04 10:15:32 PM"));
        QCOMPARE(generalDateText(QDateTime(QDate(2004, 12, 3), QTime(0, 0))),
                 QStringLiteral("12/3/04"));
        QCOMPARE(parseShortDate(QStringLiteral("01/01/01")), QDate(2001, 1, 1));
        QCOMPARE(parseShortDate(QStringLiteral("01/01/2003")), QDate(2003, 1, 1));
        QCOMPARE(parseShortDate(QStringLiteral("12/3/04")), QDate(2004, 12, 3));
        QVERIFY(!parseShortDate(QStringLiteral("soon")).isValid());
    }

    void storedDatesShownInTheUserLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        QTest::newRow("US, no date") << "en_US" << "01/01/01" << "1/1/01";
        QTest::newRow("US, C form") << "en_US" << "11 Dec 2026" << "12/11/26";
        QTest::newRow("C, US form") << "C" << "01/01/01" << "1 Jan 2001";
        QTest::newRow("C, own form") << "C" << "11 Dec 2026" << "11 Dec 2026";
        QTest::newRow("German, US form") << "de_DE" << "12/11/26" << "11.12.26";
        QTest::newRow("no date at all") << "C" << "never" << "never";
    }

    void storedDatesShownInTheUserLocale()
    {
        QFETCH(QString, locale);
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        TestEnv env; // puts the locale back when it goes
        QLocale::setDefault(QLocale(locale));
        QCOMPARE(dateDisplayText(stored), shown);
    }
};

QTEST_GUILESS_MAIN(TestTextFile)
#include "test_textfile.moc"

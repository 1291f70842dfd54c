// SPDX-License-Identifier: GPL-3.0-or-later
// The list files and the add operation: loading the odd lines of real files, writing them
// back, the unchanged-black-list rule, failures, and the duplicate check.
#include "CoreRig.h"

#include "popups/PopupAdd.h"
#include "popups/PopupListFile.h"
#include "popups/PopupLists.h"
#include "core/TextFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

using namespace kvorn;
using namespace kvorn::test;

namespace {
QByteArray line(const QList<QByteArray> &fields)
{
    QByteArray out;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += '\xff';
        out += fields.at(i);
    }
    return out + "\r\n";
}

QByteArray fixture(const QString &name)
{
    QFile f(dataFile(QStringLiteral("popups/") + name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

class TestPopupLists : public QObject
{
    Q_OBJECT

private:
    struct Rig
    {
        CoreRig core;
        PopupLists lists{{core.controller, core.tray, core.clock}, core.env.programFolder()};
        /// The killer's loop keeps these as its re-check request.
        QSignalSpy recheck{&lists, &PopupLists::monitorRecheckRequested};
    };

private Q_SLOTS:
    void loadOddLinesAndSaveBack()
    {
        Rig rig;
        rig.core.env.writeFile(QStringLiteral("spamlist.kbl"),
                               fixture(QStringLiteral("spamlist.kbl")));
        QVERIFY(rig.lists.LoadBlackList().isEmpty());
        PopupListModel &black = rig.lists.blackList();
        QCOMPARE(rig.core.tray.tip(), QStringLiteral("Loading spam List..."));
        QVERIFY(!rig.recheck.isEmpty());
        QCOMPARE(black.currentRow(), -1);
        QVERIFY(black.selectedRows().isEmpty());

        struct Want
        {
            const char *text;
            bool enabled;
            const char *added;
            const char *used;
        };
        // Sorted by text, as the black list keeps itself; the empty line and the
        // two-character older-layout line are gone.
        const Want want[] = {
            {"*casino*", true, "12/01/03", "12/05/03"},
            {"café latin", true, "1/2/04", "01/01/01"}, // Windows-1252 field
            {"café utf8", true, "01/01/01", "01/01/01"},
            {"disabled one", false, "01/01/01", "01/01/01"},
            {"extra", true, "1/1/05", "1/2/05"},          // a fifth field is ignored
            {"free stuff", true, "01/01/01", "01/01/01"}, // "-1" is enabled
            {"Old Off", false, "01/01/01", "01/01/01"},   // older layout, ",0"
            {"Old Title", true, "01/01/01", "01/01/01"},  // older layout, ",1"
            {"two fields", true, "01/01/01", "01/01/01"},
        };
        QCOMPARE(black.count(), int(std::size(want)));
        for (int i = 0; i < black.count(); ++i) {
            QCOMPARE(black.entry(i).text, QString::fromUtf8(want[i].text));
            QCOMPARE(black.entry(i).enabled, want[i].enabled);
            QCOMPARE(black.entry(i).dateAdded, QString::fromUtf8(want[i].added));
            QCOMPARE(black.entry(i).lastUsed, QString::fromUtf8(want[i].used));
        }

        rig.lists.setBlackListChanged(true);
        QVERIFY(rig.lists.SavePopupList(rig.lists.blackListPath()).isEmpty());
        QVERIFY(!rig.lists.blackListChanged());
        QCOMPARE(rig.core.tray.tip(), QStringLiteral("Please Wait..."));
        QByteArray expected;
        for (const Want &w : want)
            expected += line({w.enabled ? "1" : "0", w.text, w.added, w.used});
        QCOMPARE(rig.core.env.readFile(QStringLiteral("spamlist.kbl")), expected);
    }

    void unchangedBlackListIsNotRewritten()
    {
        Rig rig;
        const QByteArray black = line({"1", "keep me", "01/01/01", "01/01/01"});
        rig.core.env.writeFile(QStringLiteral("spamlist.kbl"), black);
        rig.core.env.writeFile(QStringLiteral("spamex.kbl"), line({"-1", "white", "", ""}));
        QVERIFY(rig.lists.LoadBlackList().isEmpty());
        QVERIFY(rig.lists.LoadWhiteList().isEmpty());
        // Replacing the file would give it a new modification time.
        const QDateTime past(QDate(2004, 3, 12), QTime(10, 0));
        {
            QFile f(rig.core.env.file(QStringLiteral("spamlist.kbl")));
            QVERIFY(f.open(QIODevice::ReadWrite));
            QVERIFY(f.setFileTime(past, QFileDevice::FileModificationTime));
        }
        QVERIFY(rig.lists.saveAll().isEmpty());
        QCOMPARE(QFileInfo(rig.core.env.file(QStringLiteral("spamlist.kbl"))).lastModified(), past);
        QCOMPARE(rig.core.env.readFile(QStringLiteral("spamlist.kbl")), black);
        // The white list is written every time: "-1" and empty dates come back normalised.
        QCOMPARE(rig.core.env.readFile(QStringLiteral("spamex.kbl")),
                 line({"1", "white", "01/01/01", "01/01/01"}));
        QCOMPARE(rig.core.env.readFile(QStringLiteral("banned.kbl")), QByteArray());
    }

    void savingTheWhiteListKeepsBlackChangesPending()
    {
        Rig rig;
        rig.lists.LoadBlackList();
        QVERIFY(rig.lists.AddBlackListEntry(QStringLiteral("new one"), true, false));
        rig.lists.setBlackListChanged(true);
        QVERIFY(rig.lists.SavePopupList(rig.lists.whiteListPath()).isEmpty());
        QVERIFY(rig.lists.blackListChanged());
        QVERIFY(rig.lists.saveAll().isEmpty());
        QCOMPARE(rig.core.env.readFile(QStringLiteral("spamlist.kbl")),
                 line({"1", "new one", "", ""}));
    }

    void yWithDiaeresisSurvivesAReload()
    {
        Rig rig;
        rig.lists.LoadBlackList();
        const QString text = QString::fromUtf8("Crème brûlée ÿ Ÿ jazz");
        QVERIFY(rig.lists.AddBlackListEntry(text, true, true));
        rig.lists.setBlackListChanged(true);
        PopupEntry white;
        white.text = QString::fromUtf8("naïve ÿ");
        rig.lists.whiteList().append(white);
        rig.lists.bannedList().append(white);
        QVERIFY(rig.lists.saveAll().isEmpty());

        PopupLists reloaded({rig.core.controller, rig.core.tray, rig.core.clock},
                            rig.core.env.programFolder());
        reloaded.LoadBlackList();
        reloaded.LoadWhiteList();
        QCOMPARE(reloaded.blackList().count(), 1);
        QCOMPARE(reloaded.blackList().entry(0).text, text);
        QCOMPARE(reloaded.whiteList().entry(0).text, white.text);
        QCOMPARE(reloaded.bannedList().count(), 1);
        QCOMPARE(reloaded.bannedList().entry(0).text, white.text);
    }

    void bannedFileRoundTrip()
    {
        Rig rig;
        rig.core.env.writeFile(QStringLiteral("banned.kbl"),
                               "First\r\n\r\nSecond \xe9t\xe9\nThird");
        rig.lists.LoadBlackList();
        PopupListModel &banned = rig.lists.bannedList();
        QCOMPARE(banned.count(), 3);
        QCOMPARE(banned.entry(1).text, QString::fromUtf8("Second été"));
        QVERIFY(rig.lists.SaveBannedList().isEmpty());
        QCOMPARE(rig.core.env.readFile(QStringLiteral("banned.kbl")),
                 QByteArray("First\r\nSecond \xc3\xa9t\xc3\xa9\r\nThird\r\n"));
    }

    void failuresAreReportedAndNothingIsLost()
    {
        Rig rig;
        // A list file that is there but cannot be read (here: a folder in its place) loads
        // empty, is reported, and is not overwritten with the empty list.
        QVERIFY(QDir().mkpath(rig.core.env.file(QStringLiteral("spamex.kbl"))));
        QVERIFY(!rig.lists.LoadWhiteList().isEmpty());
        QVERIFY(!rig.lists.SavePopupList(rig.lists.whiteListPath()).isEmpty());
        QVERIFY(QFileInfo(rig.core.env.file(QStringLiteral("spamex.kbl"))).isDir());
        // Once the unreadable file is gone there is nothing left to protect.
        QVERIFY(QDir().rmdir(rig.core.env.file(QStringLiteral("spamex.kbl"))));
        QVERIFY(rig.lists.SavePopupList(rig.lists.whiteListPath()).isEmpty());

        // A save that cannot be written is reported and the changes stay pending.
        PopupLists lost({rig.core.controller, rig.core.tray, rig.core.clock},
                        rig.core.env.root() + QStringLiteral("/no/such/folder"));
        lost.AddBlackListEntry(QStringLiteral("x"), true, true);
        lost.setBlackListChanged(true);
        QVERIFY(!lost.SavePopupList(lost.blackListPath()).isEmpty());
        QVERIFY(lost.blackListChanged());
        QVERIFY(!lost.SaveBannedList().isEmpty());
    }

    void addChecksTheThreeLists_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("skipCheck");
        QTest::addColumn<bool>("added");
        QTest::newRow("black pattern covers") << "Big Casino Night" << false << false;
        QTest::newRow("white wildcard covers") << "my bank login" << false << false;
        QTest::newRow("banned covers") << "Forbidden" << false << false;
        QTest::newRow("only a disabled entry equals") << "Old Thing" << false << true;
        QTest::newRow("new text") << "Brand new" << false << true;
        QTest::newRow("skip check") << "Big Casino Night" << true << true;
    }

    void addChecksTheThreeLists()
    {
        QFETCH(QString, text);
        QFETCH(bool, skipCheck);
        QFETCH(bool, added);
        Rig rig;
        PopupEntry e;
        e.text = QStringLiteral("*casino*");
        rig.lists.blackList().append(e);
        e.text = QStringLiteral("old thing");
        e.enabled = false;
        rig.lists.blackList().append(e);
        e.enabled = true;
        e.text = QStringLiteral("*bank*");
        rig.lists.whiteList().append(e);
        e.text = QStringLiteral("forbidden");
        rig.lists.bannedList().append(e);
        rig.recheck.clear();

        const int before = rig.lists.blackList().count();
        QCOMPARE(rig.lists.AddBlackListEntry(text, true, skipCheck), added);
        QCOMPARE(rig.lists.blackList().count(), before + (added ? 1 : 0));
        QCOMPARE(!rig.recheck.isEmpty(), added);
        if (added) {
            const int row = rig.lists.blackList().currentRow();
            QCOMPARE(rig.lists.blackList().entry(row).text, text);
            QCOMPARE(rig.lists.blackList().selectedRows(), QList<int>{row});
            QVERIFY(rig.lists.blackList().entry(row).dateAdded.isEmpty());
        }
    }

    void flagAndShortLines_data()
    {
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<bool>("parsed");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("one") << QStringList{"1", "t", "", ""} << true << "t" << true;
        QTest::newRow("minus one") << QStringList{"-1", "t", "", ""} << true << "t" << true;
        QTest::newRow("zero") << QStringList{"0", "t", "", ""} << true << "t" << false;
        QTest::newRow("word") << QStringList{"yes", "t", "", ""} << true << "t" << false;
        QTest::newRow("leading number") << QStringList{" 2x", "t"} << true << "t" << true;
        QTest::newRow("empty flag") << QStringList{"", "t"} << true << "t" << false;
        QTest::newRow("empty line") << QStringList{""} << false << "" << false;
        QTest::newRow("older layout on") << QStringList{"Pop,1"} << true << "Pop" << true;
        QTest::newRow("older layout off") << QStringList{"Pop,0"} << true << "Pop" << false;
        QTest::newRow("older layout letter") << QStringList{"Pop,x"} << true << "Pop" << false;
        QTest::newRow("older layout too short") << QStringList{"P1"} << false << "" << false;
    }

    void flagAndShortLines()
    {
        QFETCH(QStringList, fields);
        QFETCH(bool, parsed);
        QFETCH(QString, text);
        QFETCH(bool, enabled);
        const auto entry = parseListLine(fields);
        QCOMPARE(entry.has_value(), parsed);
        if (entry) {
            QCOMPARE(entry->text, text);
            QCOMPARE(entry->enabled, enabled);
        }
    }

    void byteOrderMarkOfTheFileIsSkipped()
    {
        // Editors on Windows put a byte order mark before the first line; it once made the
        // first entry's flag unreadable, so a save turned the entry off.
        TestEnv env;
        const QString path = env.file(QStringLiteral("spamlist.kbl"));
        env.writeFile(QStringLiteral("spamlist.kbl"),
                      "\xEF\xBB\xBF" "1\xFF*casino*\xFF\xFF\r\n0\xFFother\xFF\xFF\r\n");
        const ListFileRead read = readListFile(path);
        QCOMPARE(read.entries.size(), std::size_t(2));
        QCOMPARE(read.entries[0].text, QStringLiteral("*casino*"));
        QVERIFY(read.entries[0].enabled);
        QVERIFY(!read.entries[1].enabled);
    }

    void listFilesOverTheLimitAreRefused_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("tooManyEntries");
        for (const char *file : {"spamlist.kbl", "spamex.kbl", "banned.kbl"}) {
            QTest::addRow("%s, too large", file) << QString::fromLatin1(file) << false;
            QTest::addRow("%s, too many entries", file) << QString::fromLatin1(file) << true;
        }
    }
    void listFilesOverTheLimitAreRefused()
    {
        QFETCH(QString, file);
        QFETCH(bool, tooManyEntries);
        Rig rig;
        const QString path = rig.core.env.file(file);
        if (tooManyEntries) {
            QByteArray many;
            for (qsizetype i = 0; i <= kMaxListFileLines; ++i)
                many += "1\xff" "a\r\n";
            rig.core.env.writeFile(file, many);
        } else {
            QFile big(path);
            QVERIFY(big.open(QIODevice::WriteOnly));
            QVERIFY(big.resize(kMaxListFileBytes + 1)); // sparse: no disk spent
        }
        const QByteArray before = rig.core.env.readFile(file);

        const QString error =
            file == QLatin1String("spamex.kbl") ? rig.lists.LoadWhiteList() : rig.lists.LoadBlackList();
        QVERIFY2(error.contains(path), qPrintable(error));
        QVERIFY2(error.contains(tooManyEntries ? QStringLiteral("more than 1,000,000 entries")
                                               : QStringLiteral("larger than 64 MiB")),
                 qPrintable(error));
        QVERIFY2(error.contains(QStringLiteral("left as it is")), qPrintable(error));
        QCOMPARE(rig.lists.blackList().count() + rig.lists.whiteList().count() +
                     rig.lists.bannedList().count(),
                 0);
        // Changes to the lists do not end up over the file.
        rig.lists.AddBlackListEntry(QStringLiteral("*casino*"), true, true);
        PopupEntry white;
        white.text = QStringLiteral("my bank");
        rig.lists.whiteList().append(white);
        rig.lists.bannedList().append(white);
        rig.lists.setBlackListChanged(true);
        rig.lists.saveChangedLists();
        rig.lists.saveAll();
        QVERIFY(rig.core.env.readFile(file) == before);
    }

    void listFilesUpToTheLimitAreRead()
    {
        TestEnv env;
        QByteArray many;
        for (qsizetype i = 0; i < kMaxListFileLines; ++i)
            many += "a\n";
        env.writeFile(QStringLiteral("banned.kbl"), many);
        const ListFileBytes read = readListFileBytes(env.file(QStringLiteral("banned.kbl")));
        QVERIFY2(read.error.isEmpty(), qPrintable(read.error));
        QCOMPARE(read.data.size(), many.size());
        many += "a"; // a last line without its line end is an entry all the same
        env.writeFile(QStringLiteral("banned.kbl"), many);
        QVERIFY(!readListFileBytes(env.file(QStringLiteral("banned.kbl"))).error.isEmpty());
    }

    void everyChangeIsOnTheDiskSoon_data()
    {
        QTest::addColumn<int>("change");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("holds");
        QTest::addColumn<QByteArray>("lacks");
        QTest::newRow("add dialog, black list") << 0 << "spamlist.kbl"
                                                << QByteArray("\xff*roulette*\xff") << QByteArray();
        QTest::newRow("add dialog, white list") << 1 << "spamex.kbl"
                                                << QByteArray("\xff*roulette*\xff") << QByteArray();
        QTest::newRow("drop or merge") << 2 << "spamlist.kbl" << QByteArray("\xff*dice*\xff")
                                       << QByteArray();
        QTest::newRow("tick off") << 3 << "spamlist.kbl" << QByteArray("0\xff" "a\xff")
                                  << QByteArray("1\xff" "a\xff");
        QTest::newRow("edit") << 4 << "spamlist.kbl" << QByteArray("\xffrenamed\xff")
                              << QByteArray("\xff" "a\xff");
        QTest::newRow("delete") << 5 << "spamlist.kbl" << QByteArray()
                                << QByteArray("\xff" "a\xff");
        QTest::newRow("ban") << 6 << "banned.kbl" << QByteArray("banned one\r\n") << QByteArray();
    }

    void everyChangeIsOnTheDiskSoon()
    {
        QFETCH(int, change);
        QFETCH(QString, file);
        QFETCH(QByteArray, holds);
        QFETCH(QByteArray, lacks);
        Rig rig;
        rig.core.env.writeFile(QStringLiteral("spamlist.kbl"), line({"1", "a", "", ""}));
        QVERIFY(rig.lists.LoadBlackList().isEmpty());
        QVERIFY(rig.lists.LoadWhiteList().isEmpty());
        QSignalSpy saved(&rig.lists, &PopupLists::autoSaved);
        PopupListModel &black = rig.lists.blackList();
        switch (change) {
        case 0:
        case 1:
            QVERIFY(addPopupEntry(rig.lists, rig.core.prompt, QStringLiteral("12/9/26"),
                                  QStringLiteral("*roulette*"),
                                  change == 0 ? AddTarget::Black : AddTarget::White));
            break;
        case 2:
            QVERIFY(rig.lists.AddBlackListEntry(QStringLiteral("*dice*"), true, false));
            break;
        case 3:
            QVERIFY(black.setData(black.index(0, 0), Qt::Unchecked, Qt::CheckStateRole));
            break;
        case 4:
            black.setText(0, QStringLiteral("renamed"));
            break;
        case 5:
            black.removeAt(0);
            break;
        case 6:
            rig.lists.bannedList().append({QStringLiteral("banned one"), true, {}, {}});
            break;
        }
        // Nobody saves: the change itself starts the write.
        const auto written = [&] {
            const QByteArray bytes = rig.core.env.readFile(file);
            return (holds.isEmpty() || bytes.contains(holds)) &&
                   (lacks.isEmpty() || !bytes.contains(lacks)) && QFile::exists(rig.core.env.file(file));
        };
        QElapsedTimer since;
        since.start();
        QTRY_VERIFY_WITH_TIMEOUT(written(), 2000);
        QVERIFY(since.elapsed() <= PopupLists::kSaveDelayMs + 500);
        QCOMPARE(saved.size(), 1);
        QCOMPARE(saved.at(0).at(0).toString(), QString());
        QVERIFY(!rig.lists.blackListChanged());
    }

    void aLastUsedStampIsNoChangeOfItsOwn()
    {
        Rig rig;
        const QByteArray before = line({"1", "*casino*", "01/01/01", "01/01/01"});
        rig.core.env.writeFile(QStringLiteral("spamlist.kbl"), before);
        QVERIFY(rig.lists.LoadBlackList().isEmpty());
        QVERIFY(rig.lists.FindPopupEntry(rig.lists.blackList(), QStringLiteral("Casino Night"),
                                         true));
        QVERIFY(rig.lists.blackList().entry(0).lastUsed != QStringLiteral("01/01/01"));
        QTest::qWait(PopupLists::kSaveDelayMs + 300);
        QVERIFY(!rig.lists.blackListChanged());
        QCOMPARE(rig.core.env.readFile(QStringLiteral("spamlist.kbl")), before);
    }

    void aStreamOfChangesDoesNotPutTheSaveOff()
    {
        Rig rig;
        rig.lists.LoadBlackList();
        QElapsedTimer since;
        since.start();
        int added = 0;
        while (!rig.core.env.readFile(QStringLiteral("spamlist.kbl")).contains("\xff" "entry 0\xff") &&
               since.elapsed() < 4000) {
            rig.lists.AddBlackListEntry(QStringLiteral("entry %1").arg(added++), true, true);
            QTest::qWait(100);
        }
        QVERIFY2(since.elapsed() <= PopupLists::kSaveDelayMs + 500,
                 qPrintable(QString::number(since.elapsed())));
    }

    void tickingMarksTheBlackListChanged()
    {
        Rig rig;
        rig.core.env.writeFile(QStringLiteral("spamlist.kbl"), line({"1", "a", "", ""}));
        rig.lists.LoadBlackList();
        QVERIFY(!rig.lists.blackListChanged());
        PopupListModel &black = rig.lists.blackList();
        QVERIFY(black.setData(black.index(0, 0), Qt::Unchecked, Qt::CheckStateRole));
        QVERIFY(!black.entry(0).enabled);
        QVERIFY(rig.lists.blackListChanged());
        QVERIFY(!rig.lists.FindPopupEntry(black, QStringLiteral("A"), true));
    }
};

QTEST_GUILESS_MAIN(TestPopupLists)
#include "test_popup_lists.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
// The kill log and the counters: each record on the disk when it is made, whole or not at
// all (a full or read-only disk), held back records written once at the next chance,
// "StoreLog" off, and the start-up rollover.
#include "CoreRig.h"

#include "Tmpfs.h"

#include "log/KillHistory.h"
#include "log/KillLog.h"
#include "log/KillLogReader.h"
#include "log/KillNotifier.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace kvorn;
using namespace kvorn::test;

namespace {
QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QList<QByteArray> fileLines(const QByteArray &data)
{
    QList<QByteArray> lines = data.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    for (QByteArray &l : lines) {
        if (!l.endsWith('\r'))
            return {"missing CR"};
        l.chop(1);
    }
    return lines;
}
} // namespace

class TestKillLog : public QObject
{
    Q_OBJECT

private:
    struct Rig
    {
        CoreRig core;
        KillLog log{core.options, core.controller, core.clock, core.env.programFolder()};
        QByteArray file() const { return core.env.readFile(QStringLiteral("k-vorn.log")); }
    };

    static void record(KillLog &log, int from, int to)
    {
        for (int i = from; i <= to; ++i)
            log.WriteLogEntry(QStringLiteral("Popup"), QStringLiteral("title %1").arg(i),
                              QStringLiteral("*entry*"));
    }

private Q_SLOTS:
    void eachRecordIsOnTheDiskAtOnce()
    {
        Rig rig;
        rig.core.env.writeFile(QStringLiteral("k-vorn.log"), "earlier line\r\n");
        record(rig.log, 1, 1);
        QCOMPARE(fileLines(rig.file()),
                 (QList<QByteArray>{"earlier line", "Popup\xfftitle 1\xff*entry*\xff"
                                                    "12/9/26 10:15:32 AM"}));
        record(rig.log, 2, 31);
        const QList<QByteArray> lines = fileLines(rig.file());
        QCOMPARE(lines.size(), 32);
        for (int i = 1; i <= 31; ++i)
            QCOMPARE(lines.at(i).split('\xff').at(1), QStringLiteral("title %1").arg(i).toUtf8());
        // Nothing is left to write at the end, and nothing is written twice.
        QVERIFY(rig.log.FlushLog());
        QCOMPARE(fileLines(rig.file()).size(), 32);
    }

    void aCutLastLineIsNotGluedOnto()
    {
        // A crash in the middle of an append by an earlier version left half a record.
        Rig rig;
        rig.core.env.writeFile(QStringLiteral("k-vorn.log"), "Popup\xff" "Casi");
        record(rig.log, 1, 1);
        const QList<QByteArray> lines = fileLines(rig.file());
        QCOMPARE(lines.size(), 2);
        QCOMPARE(lines.at(0), QByteArray("Popup\xff" "Casi"));
        QVERIFY(lines.at(1).startsWith("Popup\xfftitle 1\xff"));
    }

    void flushRunsAtEveryEnd_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("tray exit") << int(ExitKind::TrayExit);
        QTest::newRow("session end") << int(ExitKind::SessionEnd);
        QTest::newRow("force close") << int(ExitKind::ForceClose);
        QTest::newRow("file exit") << int(ExitKind::FileExit);
    }

    void flushRunsAtEveryEnd()
    {
        // A record held back by a failed append is written at the end, once.
        QFETCH(int, kind);
        Rig rig;
        rig.core.controller.addFlusher([&rig] { rig.log.FlushLog(); });
        record(rig.log, 1, 2);
        QVERIFY(QFile::rename(rig.log.logFilePath(), rig.log.logFilePath() + ".away"));
        QVERIFY(QDir().mkpath(rig.log.logFilePath()));
        record(rig.log, 3, 3);
        QCOMPARE(rig.log.heldLines().size(), 1);
        QVERIFY(QDir().rmdir(rig.log.logFilePath()));
        QVERIFY(QFile::rename(rig.log.logFilePath() + ".away", rig.log.logFilePath()));
        QVERIFY(rig.core.controller.exitProgram(static_cast<ExitKind>(kind)));
        QCOMPARE(fileLines(rig.file()).size(), 3);
        QVERIFY(rig.log.heldLines().isEmpty());
    }

    void storeLogOff()
    {
        Rig rig;
        rig.core.options.StoreLog = false;
        for (int i = 0; i < 35; ++i)
            rig.log.countPopupKill(QStringLiteral("t"), QStringLiteral("e"));
        QVERIFY(rig.log.FlushLog());
        QVERIFY(!QFile::exists(rig.log.logFilePath()));
        QCOMPARE(rig.log.KilledPops(), 35);
        QCOMPARE(rig.core.options.LogForever, 35);
        QVERIFY(rig.log.heldLines().isEmpty());
    }

    void unwritableFileKeepsTheLines()
    {
        Rig rig;
        // A folder where the file should be: every append fails.
        QVERIFY(QDir().mkpath(rig.log.logFilePath()));
        QSignalSpy failed(&rig.log, &KillLog::writeFailed);
        QSignalSpy recovered(&rig.log, &KillLog::writeRecovered);
        for (int i = 1; i <= 32; ++i)
            rig.log.countPopupKill(QStringLiteral("title %1").arg(i), QStringLiteral("e"));
        // Said once for the run of failures, with the reason the system gives.
        QCOMPARE(failed.size(), 1);
        QVERIFY2(rig.log.lastError().contains(QStringLiteral("Is a directory")),
                 qPrintable(rig.log.lastError()));
        QCOMPARE(rig.log.heldLines().size(), 32);
        QCOMPARE(rig.log.KilledPops(), 32);
        QCOMPARE(rig.core.options.LogMonth, 32);
        QVERIFY(!rig.log.FlushLog());
        QCOMPARE(rig.log.heldLines().size(), 32);
        QCOMPARE(failed.size(), 1);
        QVERIFY(recovered.isEmpty());

        QVERIFY(QDir().rmdir(rig.log.logFilePath()));
        rig.log.countPopupKill(QStringLiteral("title 33"), QStringLiteral("e"));
        const QList<QByteArray> lines = fileLines(rig.file());
        QCOMPARE(lines.size(), 33);
        for (int i = 0; i < 33; ++i)
            QCOMPARE(lines.at(i).split('\xff').at(1),
                     QStringLiteral("title %1").arg(i + 1).toUtf8());
        QVERIFY(rig.log.heldLines().isEmpty());
        QVERIFY(rig.log.lastError().isEmpty());
        QCOMPARE(recovered.size(), 1);
    }

    void heldRecordsAreTriedAgainWithoutANewKill()
    {
        Rig rig;
        QVERIFY(QDir().mkpath(rig.log.logFilePath()));
        record(rig.log, 1, 2);
        QCOMPARE(rig.log.heldLines().size(), 2);
        QVERIFY(QDir().rmdir(rig.log.logFilePath()));
        QTRY_VERIFY_WITH_TIMEOUT(rig.log.heldLines().isEmpty(), KillLog::kRetryMs + 2000);
        QCOMPARE(fileLines(rig.file()).size(), 2);
    }

    void theDisplayAndTheStatisticsSeeEveryRecord()
    {
        // One popup closed and two messages deleted: what the log window and the charts
        // read is the file, right after.
        Rig rig;
        rig.log.countPopupKill(QStringLiteral("Casino special offer"), QStringLiteral("*casino*"));
        rig.log.countMailDeletion(QStringLiteral("a@spam.test"), QStringLiteral("*spam.test"));
        rig.log.countMailDeletion(QStringLiteral("b@spam.test"), QStringLiteral("*spam.test"));
        QCOMPARE(readKillLogFile(rig.log.logFilePath(), QStringLiteral("Popup"), false)
                     .records.records.size(),
                 1);
        QCOMPARE(readKillLogFile(rig.log.logFilePath(), QStringLiteral("Mail"), false)
                     .records.records.size(),
                 2);
        const KillHistory history =
            countKillHistoryFile(rig.log.logFilePath(), rig.core.clock.now().date());
        QVERIFY2(history.error.isEmpty(), qPrintable(history.error));
        QCOMPARE(history.popupsPerDay.back(), 1);
        QCOMPARE(history.mailPerDay.back(), 2);
    }

    void fullDisk_data()
    {
        QTest::addColumn<int>("logBytes"); // the log's length before; -1: no file yet
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<QString>("reason");
        // tmpfs keeps whole pages: a log 20 bytes short of a page has room for 20 bytes of
        // the next record and none for the rest, so the append fails part-way.
        QTest::newRow("the record fits part-way") << 4076 << false << "No space left on device";
        QTest::newRow("no room at all") << 4096 << false << "No space left on device";
        QTest::newRow("no file and no room") << -1 << false << "No space left on device";
        QTest::newRow("read-only file system") << 100 << true << "Read-only file system";
    }

    void fullDisk()
    {
        QFETCH(int, logBytes);
        QFETCH(bool, readOnly);
        QFETCH(QString, reason);
        Rig rig;
        const QString disk = rig.core.env.root() + QStringLiteral("/disk");
        Tmpfs tmpfs(disk, 64);
        if (!tmpfs.mounted())
            QSKIP("mounting a tmpfs needs root");
        KillLog log{rig.core.options, rig.core.controller, rig.core.clock, disk};
        QByteArray before;
        if (logBytes >= 0) {
            before = QByteArray(logBytes - 2, 'x') + "\r\n";
            QFile file(log.logFilePath());
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(before), before.size());
        }
        QVERIFY(readOnly ? tmpfs.makeReadOnly() : tmpfs.fill(0));
        QSignalSpy failed(&log, &KillLog::writeFailed);

        for (int i = 1; i <= 2; ++i)
            log.countPopupKill(QStringLiteral("Casino special offer %1").arg(i),
                               QStringLiteral("*casino*"));
        // Whole or nothing: the file is as it was, and the reason is named.
        QCOMPARE(fileBytes(log.logFilePath()), before);
        QCOMPARE(log.heldLines().size(), 2);
        QCOMPARE(failed.size(), 1);
        QVERIFY2(failed.at(0).at(0).toString().contains(reason),
                 qPrintable(failed.at(0).at(0).toString()));
        QVERIFY2(failed.at(0).at(0).toString().contains(log.logFilePath()),
                 qPrintable(failed.at(0).at(0).toString()));

        // Room again: the held records and the new one, each once and whole, in order.
        QVERIFY(readOnly ? tmpfs.makeWritable() : tmpfs.freeUp());
        log.countPopupKill(QStringLiteral("Casino special offer 3"), QStringLiteral("*casino*"));
        QVERIFY(log.heldLines().isEmpty());
        const QByteArray after = fileBytes(log.logFilePath());
        QVERIFY(after.startsWith(before));
        const QList<QByteArray> lines = fileLines(after.mid(before.size()));
        QCOMPARE(lines.size(), 3);
        for (int i = 0; i < 3; ++i) {
            const QList<QByteArray> fields = lines.at(i).split('\xff');
            QCOMPARE(fields.size(), 4);
            QCOMPARE(fields.at(1), QStringLiteral("Casino special offer %1").arg(i + 1).toUtf8());
        }
    }

    void countingAndStatusTexts()
    {
        Rig rig;
        rig.core.options.LogForever = 10;
        rig.log.countPopupKill(QStringLiteral("Casino"), QStringLiteral("*casino*"));
        rig.log.countPopupKill(QStringLiteral("Casino"), QStringLiteral("*casino*"));
        QCOMPARE(rig.log.KilledPops(), 2);
        QCOMPARE(rig.core.options.LogForever, 12);
        QCOMPARE(rig.core.options.LogYear, 2);
        QCOMPARE(rig.core.controller.statusTexts().text(PopupScreen, 2),
                 QStringLiteral("Popups Killed: 2 "));

        rig.log.countMailDeletion(QStringLiteral("spam@example.test"), QStringLiteral("False"));
        QCOMPARE(rig.log.KilledMail(), 1);
        QCOMPARE(rig.log.mailCounters().LogForever, 1);
        QCOMPARE(rig.log.mailCounters().LogMonth, 1);
        QCOMPARE(rig.core.controller.statusTexts().text(MailScreen, 4),
                 QStringLiteral("Mail Deleted: 1 "));
        QVERIFY(rig.log.FlushLog());
        const QList<QByteArray> lines = fileLines(rig.file());
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines.at(2).startsWith("Mail\xffspam@example.test\xff"
                                       "False\xff"));

        rig.core.options.LogForever = INT32_MAX;
        rig.log.countPopupKill(QStringLiteral("x"), QStringLiteral("y"));
        QCOMPARE(rig.core.options.LogForever, INT32_MAX);
    }

    void notificationsOnlyWhenChosenAndAtMostOneASecond()
    {
        Rig rig;
        KillNotifier notifier(rig.log, rig.core.options, rig.core.tray);
        const auto kill = [&](const char *title) {
            rig.log.countPopupKill(QString::fromLatin1(title), QStringLiteral("*x*"));
        };
        kill("Off by default");
        QTest::qWait(KillNotifier::kIntervalMs + 200);
        QVERIFY(rig.core.tray.messages.isEmpty());

        rig.core.options.KillNotify = true;
        kill("Casino");
        QCOMPARE(rig.core.tray.messages, QStringList{"K-Vorn: Popup closed: Casino"});
        // A burst within the second is held and summed up once when the second ends.
        kill("Two");
        kill("Three");
        rig.log.countMailDeletion(QStringLiteral("spam@example.test"), QStringLiteral("False"));
        QCOMPARE(rig.core.tray.messages.size(), 1);
        QTRY_COMPARE(rig.core.tray.messages.size(), 2);
        QCOMPARE(rig.core.tray.messages.last(),
                 QStringLiteral("K-Vorn: 3 more kills; the last: Mail deleted: spam@example.test"));
        QTest::qWait(KillNotifier::kIntervalMs + 200);
        QCOMPARE(rig.core.tray.messages.size(), 2);

        // Scrambled titles stay out of notifications too.
        rig.core.options.ScrambleText = true;
        kill("Rude words");
        QCOMPARE(rig.core.tray.messages.last(), QStringLiteral("K-Vorn: A popup was closed."));
    }

    void rollover_data()
    {
        // Today is in 2027; a stored year of 0 stands for files written before it was kept.
        QTest::addColumn<int>("logDate");
        QTest::addColumn<int>("logDateYear");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("wantDate");
        QTest::addColumn<int>("wantMonth");
        QTest::addColumn<int>("wantYear");
        QTest::newRow("same month") << 5 << 0 << 5 << 5 << 40 << 400;
        QTest::newRow("later month") << 5 << 0 << 6 << 6 << 0 << 400;
        QTest::newRow("january") << 12 << 0 << 1 << 1 << 0 << 0;
        QTest::newRow("march after december") << 12 << 0 << 3 << 3 << 0 << 0;
        QTest::newRow("november after march") << 3 << 0 << 11 << 11 << 0 << 400;
        QTest::newRow("january after january") << 1 << 0 << 1 << 1 << 40 << 400;
        QTest::newRow("never set") << 0 << 0 << 7 << 7 << 40 << 400;
        QTest::newRow("never set, january") << 0 << 0 << 1 << 1 << 40 << 400;
        QTest::newRow("same month, same year") << 5 << 2027 << 5 << 5 << 40 << 400;
        QTest::newRow("later month, same year") << 3 << 2027 << 11 << 11 << 0 << 400;
        QTest::newRow("same month a year later") << 5 << 2026 << 5 << 5 << 0 << 0;
        QTest::newRow("later month of a later year") << 3 << 2026 << 11 << 11 << 0 << 0;
        QTest::newRow("years later") << 12 << 2019 << 1 << 1 << 0 << 0;
    }

    void rollover()
    {
        QFETCH(int, logDate);
        QFETCH(int, logDateYear);
        QFETCH(int, month);
        QFETCH(int, wantDate);
        QFETCH(int, wantMonth);
        QFETCH(int, wantYear);
        Rig rig;
        rig.core.clock.current = QDateTime(QDate(2027, month, 15), QTime(9, 0));
        rig.core.options.LogDate = std::int16_t(logDate);
        rig.core.options.LogDateYear = std::int16_t(logDateYear);
        rig.core.options.LogMonth = 40;
        rig.core.options.LogYear = 400;
        rig.core.options.LogForever = 4000;
        rig.log.mailCounters() = {std::int16_t(logDate), 40, 400, 4000, std::int16_t(logDateYear)};
        rig.log.rollOverCounters();
        for (const KillCounters c :
             {KillCounters{rig.core.options.LogDate, rig.core.options.LogMonth,
                           rig.core.options.LogYear, rig.core.options.LogForever,
                           rig.core.options.LogDateYear},
              rig.log.mailCounters()}) {
            QCOMPARE(int(c.LogDate), wantDate);
            QCOMPARE(int(c.LogDateYear), 2027);
            QCOMPARE(c.LogMonth, wantMonth);
            QCOMPARE(c.LogYear, wantYear);
            QCOMPARE(c.LogForever, 4000);
        }
    }

    void countingRollsOverWhileRunning()
    {
        // The program stays in the tray across a month end and a year end.
        Rig rig;
        rig.core.clock.current = QDateTime(QDate(2026, 12, 30), QTime(9, 0));
        rig.log.rollOverCounters();
        rig.core.options.LogMonth = 40;
        rig.core.options.LogYear = 400;
        rig.log.mailCounters().LogMonth = 40;
        rig.log.mailCounters().LogYear = 400;
        rig.core.clock.current = QDateTime(QDate(2027, 1, 2), QTime(9, 0));
        rig.log.countPopupKill(QStringLiteral("t"), QStringLiteral("e"));
        rig.log.countMailDeletion(QStringLiteral("s@example.test"), QStringLiteral("False"));
        QCOMPARE(int(rig.core.options.LogDate), 1);
        QCOMPARE(rig.core.options.LogMonth, 1);
        QCOMPARE(rig.core.options.LogYear, 1);
        QCOMPARE(int(rig.log.mailCounters().LogDate), 1);
        QCOMPARE(rig.log.mailCounters().LogMonth, 1);
        QCOMPARE(rig.log.mailCounters().LogYear, 1);
        rig.core.clock.current = QDateTime(QDate(2027, 2, 1), QTime(0, 0, 1));
        rig.log.countPopupKill(QStringLiteral("t"), QStringLiteral("e"));
        QCOMPARE(rig.core.options.LogMonth, 1);
        QCOMPARE(rig.core.options.LogYear, 2);
    }

    void mailCountersInTheStore()
    {
        Rig rig;
        writeMailCounters(rig.core.store, {3, 5, 7, 11, 2026});
        QVERIFY(rig.core.store.save());
        SettingsStore again(rig.core.env.settingsFile());
        QCOMPARE(again.read(QStringLiteral("Options\\MailSettings"), QStringLiteral("LogForever")),
                 std::optional<QString>(QStringLiteral("11")));
        KillCounters c;
        readMailCounters(again, c);
        QCOMPARE(int(c.LogDate), 3);
        QCOMPARE(c.LogMonth, 5);
        QCOMPARE(c.LogYear, 7);
        QCOMPARE(c.LogForever, 11);
        QCOMPARE(int(c.LogDateYear), 2026);
    }
};

QTEST_GUILESS_MAIN(TestKillLog)
#include "test_kill_log.moc"

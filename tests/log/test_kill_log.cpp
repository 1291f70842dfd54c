// The kill log and the counters: batches of 30, the flush at every end, "StoreLog" off,
// a log file that cannot be written, and the start-up rollover.
#include "CoreRig.h"

#include "log/KillLog.h"
#include "log/KillNotifier.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

using namespace kvorn;
using namespace kvorn::test;

namespace {
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
    void batchOfThirty()
    {
        Rig rig;
        rig.core.env.writeFile(QStringLiteral("k-vorn.log"), "earlier line\r\n");
        record(rig.log, 1, 29);
        QCOMPARE(rig.file(), QByteArray("earlier line\r\n"));
        QCOMPARE(rig.log.fillCount(), 29);
        record(rig.log, 30, 31);
        const QList<QByteArray> lines = fileLines(rig.file());
        QCOMPARE(lines.size(), 31);
        QCOMPARE(lines.first(), QByteArray("earlier line"));
        QCOMPARE(lines.at(1), QByteArray("Popup\xfftitle 1\xff*entry*\xff"
                                         "12/9/26 10:15:32 AM"));
        QCOMPARE(lines.last().split('\xff').at(1), QByteArray("title 30"));
        // The 31st record starts a new batch in slot 1.
        QCOMPARE(rig.log.fillCount(), 1);
        QCOMPARE(rig.log.slots().at(0).at(1), QStringLiteral("title 31"));
        QVERIFY(rig.log.slots().at(1).isEmpty());
    }

    void flushWritesThePendingOldestFirst()
    {
        Rig rig;
        record(rig.log, 1, 7);
        QVERIFY(rig.file().isEmpty());
        QVERIFY(rig.log.FlushLog());
        const QList<QByteArray> lines = fileLines(rig.file());
        QCOMPARE(lines.size(), 7);
        for (int i = 0; i < 7; ++i)
            QCOMPARE(lines.at(i).split('\xff').at(1),
                     QStringLiteral("title %1").arg(i + 1).toUtf8());
        // Nothing is written twice.
        QVERIFY(rig.log.FlushLog());
        QCOMPARE(fileLines(rig.file()).size(), 7);
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
        QFETCH(int, kind);
        Rig rig;
        rig.core.controller.addFlusher([&rig] { rig.log.FlushLog(); });
        record(rig.log, 1, 3);
        QVERIFY(rig.core.controller.exitProgram(static_cast<ExitKind>(kind)));
        QCOMPARE(fileLines(rig.file()).size(), 3);
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
        QCOMPARE(rig.log.fillCount(), 5);
    }

    void unwritableFileKeepsTheLines()
    {
        Rig rig;
        // A folder where the file should be: every append fails.
        QVERIFY(QDir().mkpath(rig.log.logFilePath()));
        QSignalSpy failed(&rig.log, &KillLog::writeFailed);
        for (int i = 1; i <= 32; ++i)
            rig.log.countPopupKill(QStringLiteral("title %1").arg(i), QStringLiteral("e"));
        QCOMPARE(failed.size(), 1);
        QVERIFY(!rig.log.lastError().isEmpty());
        QCOMPARE(rig.log.heldLines().size(), 30);
        QCOMPARE(rig.log.KilledPops(), 32);
        QCOMPARE(rig.core.options.LogMonth, 32);
        QVERIFY(!rig.log.FlushLog());
        QCOMPARE(rig.log.heldLines().size(), 32);

        QVERIFY(QDir().rmdir(rig.log.logFilePath()));
        rig.log.countPopupKill(QStringLiteral("title 33"), QStringLiteral("e"));
        QVERIFY(rig.log.FlushLog());
        const QList<QByteArray> lines = fileLines(rig.file());
        QCOMPARE(lines.size(), 33);
        for (int i = 0; i < 33; ++i)
            QCOMPARE(lines.at(i).split('\xff').at(1),
                     QStringLiteral("title %1").arg(i + 1).toUtf8());
        QVERIFY(rig.log.heldLines().isEmpty());
        QVERIFY(rig.log.lastError().isEmpty());
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
        QTest::addColumn<int>("logDate");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("wantDate");
        QTest::addColumn<int>("wantMonth");
        QTest::addColumn<int>("wantYear");
        QTest::newRow("same month") << 5 << 5 << 5 << 40 << 400;
        QTest::newRow("later month") << 5 << 6 << 6 << 0 << 400;
        QTest::newRow("january") << 12 << 1 << 1 << 0 << 0;
        QTest::newRow("march after december") << 12 << 3 << 3 << 0 << 0;
        QTest::newRow("november after march") << 3 << 11 << 11 << 0 << 400;
        QTest::newRow("january after january") << 1 << 1 << 1 << 40 << 400;
        QTest::newRow("never set") << 0 << 7 << 7 << 40 << 400;
        QTest::newRow("never set, january") << 0 << 1 << 1 << 40 << 400;
    }

    void rollover()
    {
        QFETCH(int, logDate);
        QFETCH(int, month);
        QFETCH(int, wantDate);
        QFETCH(int, wantMonth);
        QFETCH(int, wantYear);
        Rig rig;
        rig.core.clock.current = QDateTime(QDate(2027, month, 15), QTime(9, 0));
        rig.core.options.LogDate = std::int16_t(logDate);
        rig.core.options.LogMonth = 40;
        rig.core.options.LogYear = 400;
        rig.core.options.LogForever = 4000;
        rig.log.mailCounters() = {std::int16_t(logDate), 40, 400, 4000};
        rig.log.rollOverCounters();
        for (const KillCounters c :
             {KillCounters{rig.core.options.LogDate, rig.core.options.LogMonth,
                           rig.core.options.LogYear, rig.core.options.LogForever},
              rig.log.mailCounters()}) {
            QCOMPARE(int(c.LogDate), wantDate);
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
        writeMailCounters(rig.core.store, {3, 5, 7, 11});
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
    }
};

QTEST_GUILESS_MAIN(TestKillLog)
#include "test_kill_log.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#include "CoreRig.h"
#include "KillLogLines.h"
#include "core/SettingsStore.h"
#include "log/KillLog.h"
#include "shell/KillChart.h"
#include "shell/LogDisplayWindow.h"
#include "shell/StatsWindow.h"
#include "shell/TipWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QFormLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>

using namespace kvorn;
using namespace kvorn::test;

namespace {
QByteArray fixtureLog()
{
    return killLogLine({"Popup", "Casino Royale", "Casino", "9/30/04 9:00:00 PM"}) +
           killLogLine({"Popup", "casino night", "casino", "10/1/04 9:00:00 AM"}) +
           killLogLine({"Mail", "spam@example.test", "False", "10/1/04 9:30:00 AM"}) +
           killLogLine({"Popup", "Poker night", "Poker", "10/1/04 10:00:00 PM"}) +
           killLogLine({"Popup", "only two"}) +
           killLogLine({"Popup", "Caf\xe9", "Casino", "12/31/04 11:59:59 PM"});
}

struct LogRig : CoreRig
{
    KillLog log{options, controller, clock, env.programFolder()};
    LogRig() { settings.LoadMyOptions(clock.now().date()); }
    QString logFile() const { return env.file(QStringLiteral("k-vorn.log")); }
};

QStringList cells(const QTreeView *view, int c)
{
    QStringList out;
    for (int r = 0; r < view->model()->rowCount(); ++r)
        out.append(view->model()->index(r, c).data().toString());
    return out;
}

QStringList headers(const QTreeView *view)
{
    QStringList out;
    for (int c = 0; c < view->model()->columnCount(); ++c)
        out.append(view->model()->headerData(c, Qt::Horizontal).toString());
    return out;
}

void clickHeader(QTreeView *view, int column)
{
    QHeaderView *header = view->header();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

bool waitRead(LogDisplayWindow *w)
{
    if (!w->isReading())
        return true;
    QSignalSpy done(w, &LogDisplayWindow::readingFinished);
    return done.wait(10000);
}

template <typename T> QList<T *> windowsOf()
{
    QList<T *> found;
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *t = qobject_cast<T *>(w); t && t->isVisible())
            found.append(t);
    }
    return found;
}

void closeAll()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        w->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QString missingTips(const QString &folder)
{
    return QStringLiteral("That the TIPOFDAY.TXT file was not found? \r\n\r\nCreate a text "
                          "file named TIPOFDAY.TXT using a text editor with 1 tip per line. "
                          "Then place it in the folder %1 ")
        .arg(folder);
}
} // namespace

class TestLogWindows : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { closeAll(); }

    // --- statistics --------------------------------------------------------------------------

    void statsShowsTheCountersAsOpened()
    {
        LogRig rig;
        rig.clock.current = QDateTime(QDate(2026, 12, 9), QTime(10, 0));
        rig.options.LogDate = 12;
        rig.options.LogMonth = 5;
        rig.options.LogYear = 50;
        rig.options.LogForever = 500;
        rig.log.mailCounters() = {12, 7, 70, 700};
        StatsWindow stats(rig.log, rig.options, {});
        QCOMPARE(stats.windowTitle(), QStringLiteral("Stats Display"));
        QCOMPARE(stats.objectName(), QStringLiteral("frmViewStat"));
        const auto groups = stats.findChildren<QGroupBox *>();
        QCOMPARE(groups.size(), 2);
        QCOMPARE(groups[0]->title(), QStringLiteral("Killed Popups"));
        QCOMPARE(groups[1]->title(), QStringLiteral("Blocked Mail"));
        for (QGroupBox *g : groups) {
            auto *form = qobject_cast<QFormLayout *>(g->layout());
            QVERIFY(form);
            QStringList labels;
            for (int r = 0; r < 4; ++r)
                labels << qobject_cast<QLabel *>(form->itemAt(r, QFormLayout::LabelRole)->widget())
                              ->text();
            QCOMPARE(
                labels,
                (QStringList{"This session:", "This Month:", "This Year:", "Since installed:"}));
        }
        QCOMPARE(stats.values(), (QStringList{"0", "5", "50", "500", "0", "7", "70", "700"}));
        QCOMPARE(stats.findChild<QPushButton *>(QStringLiteral("cmdListPopups"))->text(),
                 QStringLiteral("List Popup Details"));
        QCOMPARE(stats.findChild<QPushButton *>(QStringLiteral("cmdListMail"))->text(),
                 QStringLiteral("List Mail Details"));
        QCOMPARE(stats.findChild<QPushButton *>(QStringLiteral("cmdClose"))->text(),
                 QStringLiteral("Close"));

        // Not refreshed while open; a new opening shows the kill.
        rig.log.countPopupKill(QStringLiteral("title"), QStringLiteral("entry"));
        QCOMPARE(stats.values().first(), QStringLiteral("0"));
        StatsWindow again(rig.log, rig.options, {});
        QCOMPARE(again.values(), (QStringList{"1", "6", "51", "501", "0", "7", "70", "700"}));
    }

    void statsChartsTheLog()
    {
        LogRig rig;
        rig.env.writeFile(QStringLiteral("k-vorn.log"), fixtureLog());
        StatsWindow stats(rig.log, rig.options, {}, nullptr, QDate(2004, 12, 31));
        QSignalSpy read(&stats, &StatsWindow::historyRead);
        if (!stats.chart()->history())
            QVERIFY(read.wait(10000));
        const KillHistory &h = *stats.chart()->history();
        QCOMPARE(h.popupsPerDay[29], 1);   // Café, 12/31/04
        QCOMPARE(h.popupsPerMonth[11], 1); // December 2004
        QCOMPARE(h.popupsPerMonth[9], 2);  // October 2004
        QCOMPARE(h.popupsPerMonth[8], 1);
        QCOMPARE(h.mailPerMonth[9], 1);
        QCOMPARE(stats.chart()->note(), QStringLiteral("Kills from k-vorn.log"));
        stats.resize(500, 500);
        QVERIFY(!stats.grab().isNull());
    }

    void statsRollsOverWhenShown_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QStringList>("values");
        QTest::newRow("same month")
            << QDate(2026, 11, 20) << QStringList{"0", "5", "50", "500", "0", "7", "70", "700"};
        QTest::newRow("next month")
            << QDate(2026, 12, 1) << QStringList{"0", "0", "50", "500", "0", "0", "70", "700"};
        QTest::newRow("next year")
            << QDate(2027, 2, 1) << QStringList{"0", "0", "0", "500", "0", "0", "0", "700"};
    }

    void statsRollsOverWhenShown()
    {
        QFETCH(QDate, today);
        QFETCH(QStringList, values);
        LogRig rig;
        rig.options.LogDate = 11;
        rig.options.LogMonth = 5;
        rig.options.LogYear = 50;
        rig.options.LogForever = 500;
        rig.log.mailCounters() = {11, 7, 70, 700};
        rig.clock.current = QDateTime(today, QTime(10, 0));
        StatsWindow stats(rig.log, rig.options, {});
        QCOMPARE(stats.values(), values);
    }

    void listDetailsOpensTheLogAndCloses_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("mail") << "cmdListMail"
                              << "Mail" << QStringList{"spam@example.test"};
        QTest::newRow("popups") << "cmdListPopups"
                                << "Popup"
                                << QStringList{"Casino Royale", "casino night", "Poker night",
                                               "only two", "Café"};
    }

    void listDetailsOpensTheLogAndCloses()
    {
        QFETCH(QString, button);
        QFETCH(QString, kind);
        QFETCH(QStringList, items);
        LogRig rig;
        rig.env.writeFile(QStringLiteral("k-vorn.log"), fixtureLog());
        QWidget owner;
        const QString file = rig.logFile();
        QPointer<StatsWindow> stats = StatsWindow::open(
            rig.log, rig.options,
            [&](const QString &k) { LogDisplayWindow::open(file, k, true, &owner); }, &owner);
        QVERIFY(stats->isVisible());
        stats->findChild<QPushButton *>(button)->click();
        QTRY_VERIFY(stats.isNull());
        const auto logs = windowsOf<LogDisplayWindow>();
        QCOMPARE(logs.size(), 1);
        QCOMPARE(logs[0]->kind(), kind);
        QVERIFY(waitRead(logs[0]));
        QCOMPARE(cells(logs[0]->findChild<QTreeView *>(QStringLiteral("lvLogDisplay")), 0), items);
    }

    // --- log display -------------------------------------------------------------------------

    void logDisplayListsAndAnalyses()
    {
        LogRig rig;
        rig.env.writeFile(QStringLiteral("k-vorn.log"), fixtureLog());
        LogDisplayWindow w(rig.logFile(), QStringLiteral("Popup"), false);
        w.show();
        QVERIFY(waitRead(&w));
        QCOMPARE(w.windowTitle(), QStringLiteral("Log File Display"));
        QCOMPARE(w.objectName(), QStringLiteral("frmLogDisplay"));
        auto *list = w.findChild<QTreeView *>(QStringLiteral("lvLogDisplay"));
        auto *analysis = w.findChild<QTreeView *>(QStringLiteral("lvAnalyse"));
        auto *analyse = w.findChild<QPushButton *>(QStringLiteral("cmdAnalyse"));
        QCOMPARE(w.findChild<QPushButton *>(QStringLiteral("cmdExit"))->text(),
                 QStringLiteral("E&xit"));
        QCOMPARE(headers(list), (QStringList{"Killed Item", "Filter Applied", "Date / Time"}));
        QCOMPARE(headers(analysis), (QStringList{"Blacklist Item", "Count"}));
        QVERIFY(list->isVisible());
        QVERIFY(!analysis->isVisible());
        QCOMPARE(analyse->text(), QStringLiteral("Analyse"));
        QCOMPARE(cells(list, 2), (QStringList{"9/30/04 9:00:00 PM", "10/1/04 9:00:00 AM",
                                              "10/1/04 10:00:00 PM", "", "12/31/04 11:59:59 PM"}));
        QCOMPARE(cells(list, 1), (QStringList{"Casino", "casino", "Poker", "", "Casino"}));

        // The first click on the sort column reverses: newest first.
        clickHeader(list, 2);
        QCOMPARE(cells(list, 0).first(), QStringLiteral("Café"));
        // Text order comes from a ranking made in the background; a click before it is
        // ready is applied when it arrives.
        clickHeader(list, 0);
        QTRY_COMPARE(cells(list, 0), (QStringList{"Café", "casino night", "Casino Royale",
                                                  "only two", "Poker night"}));

        analyse->click();
        QVERIFY(waitRead(&w));
        QCOMPARE(analyse->text(), QStringLiteral("List"));
        QVERIFY(analysis->isVisible());
        QVERIFY(!list->isVisible());
        QCOMPARE(cells(analysis, 0), (QStringList{"Poker", "Casino"}));
        QCOMPARE(cells(analysis, 1), (QStringList{"      1", "      3"}));
        clickHeader(analysis, 1);
        QCOMPARE(cells(analysis, 0), (QStringList{"Casino", "Poker"}));
        clickHeader(analysis, 0);
        QCOMPARE(cells(analysis, 0), (QStringList{"Casino", "Poker"}));

        analyse->click();
        QCOMPARE(analyse->text(), QStringLiteral("Analyse"));
        QVERIFY(list->isVisible());
        QVERIFY(!analysis->isVisible());
        QCOMPARE(analysis->model()->rowCount(), 2);

        // A new "Analyse" reads the file again.
        QFile file(rig.logFile());
        QVERIFY(file.open(QIODevice::Append));
        for (int i = 0; i < 11; ++i)
            file.write(killLogLine({"Popup", "more", "poker", "1/1/05"}));
        file.close();
        analyse->click();
        QVERIFY(waitRead(&w));
        QCOMPARE(cells(analysis, 0), (QStringList{"Casino", "Poker"}));
        QCOMPARE(cells(analysis, 1), (QStringList{"      3", "     12"}));
    }

    void logDisplayTellsWhatItCannotRead()
    {
        LogRig rig;
        LogDisplayWindow missing(rig.logFile(), QStringLiteral("Popup"), false);
        QVERIFY(waitRead(&missing));
        QVERIFY(missing.findChild<QLabel *>(QStringLiteral("lblMessage"))->isHidden());
        QCOMPARE(
            missing.findChild<QTreeView *>(QStringLiteral("lvLogDisplay"))->model()->rowCount(), 0);

        QDir().mkpath(rig.logFile());
        LogDisplayWindow unreadable(rig.logFile(), QStringLiteral("Popup"), false);
        unreadable.show();
        QVERIFY(waitRead(&unreadable));
        auto *message = unreadable.findChild<QLabel *>(QStringLiteral("lblMessage"));
        QVERIFY(message->isVisible());
        QVERIFY(message->text().contains(QStringLiteral("k-vorn.log")));
    }

    void autoColumnFitsTheRecordList_data()
    {
        QTest::addColumn<bool>("autoColumn");
        QTest::newRow("on") << true;
        QTest::newRow("off") << false;
    }

    void autoColumnFitsTheRecordList()
    {
        QFETCH(bool, autoColumn);
        LogRig rig;
        rig.env.writeFile(QStringLiteral("k-vorn.log"),
                          killLogLine({"Popup", QByteArray(300, 'w'), "e", "1/1/05"}));
        LogDisplayWindow w(rig.logFile(), QStringLiteral("Popup"), autoColumn);
        w.show();
        QVERIFY(waitRead(&w));
        auto *list = w.findChild<QTreeView *>(QStringLiteral("lvLogDisplay"));
        const bool fitted =
            list->columnWidth(0) >= static_cast<QAbstractItemView *>(list)->sizeHintForColumn(0);
        QCOMPARE(fitted, autoColumn);
    }

    void openingAgainRaisesTheWindowOfThatKind()
    {
        LogRig rig;
        rig.env.writeFile(QStringLiteral("k-vorn.log"), fixtureLog());
        auto *popups = LogDisplayWindow::open(rig.logFile(), QStringLiteral("Popup"), false);
        auto *mail = LogDisplayWindow::open(rig.logFile(), QStringLiteral("Mail"), false);
        QVERIFY(popups != mail);
        QVERIFY(waitRead(popups));
        QFile file(rig.logFile());
        QVERIFY(file.open(QIODevice::Append));
        file.write(killLogLine({"Popup", "new", "x", "1/1/05"}));
        file.close();
        QCOMPARE(LogDisplayWindow::open(rig.logFile(), QStringLiteral("Popup"), false), popups);
        QVERIFY(waitRead(popups));
        QCOMPARE(
            popups->findChild<QTreeView *>(QStringLiteral("lvLogDisplay"))->model()->rowCount(), 6);
        QCOMPARE(windowsOf<LogDisplayWindow>().size(), 2);
    }

    void exitWhileReadingEndsCleanly()
    {
        LogRig rig;
        QByteArray big;
        while (big.size() < 8 * 1024 * 1024)
            big += killLogLine({"Popup", "title", "entry", "1/1/05"});
        rig.env.writeFile(QStringLiteral("k-vorn.log"), big);
        QPointer<LogDisplayWindow> w =
            LogDisplayWindow::open(rig.logFile(), QStringLiteral("Popup"), false);
        w->findChild<QPushButton *>(QStringLiteral("cmdExit"))->click();
        QTRY_VERIFY(w.isNull());
    }

    // --- tips --------------------------------------------------------------------------------

    void tipWindow_data()
    {
        QTest::addColumn<QString>("showAtStartup"); // stored "Show Tips at Startup"; "" = none
        QTest::addColumn<bool>("tipOfDay");
        QTest::addColumn<bool>("wantedAtStartup");
        QTest::addColumn<bool>("ticked");
        QTest::newRow("default") << "" << true << true << true;
        QTest::newRow("on") << "1" << true << true << true;
        QTest::newRow("unticked, not confirmed") << "0" << true << false << false;
        QTest::newRow("confirmed off") << "0" << false << false << false;
        QTest::newRow("ticked, TipofDay off") << "1" << false << false << true;
    }

    void tipWindow()
    {
        QFETCH(QString, showAtStartup);
        QFETCH(bool, tipOfDay);
        QFETCH(bool, wantedAtStartup);
        QFETCH(bool, ticked);
        CoreRig rig;
        rig.options.TipofDay = tipOfDay;
        if (!showAtStartup.isEmpty())
            rig.store.write(QStringLiteral("Options"), QStringLiteral("Show Tips at Startup"),
                            showAtStartup);
        rig.env.writeFile(QStringLiteral("TIPOFDAY.TXT"), "first tip\r\n\r\n   \r\nsecond tip\r\n");
        QCOMPARE(TipWindow::wantedAtStartup(rig.store, rig.options), wantedAtStartup);
        QRandomGenerator random(7);
        TipWindow tip(rig.store, rig.options, rig.env.programFolder(), &random);
        QCOMPARE(tip.windowTitle(), QStringLiteral("Tip of the Day"));
        QVERIFY(tip.findChild<QLabel *>(QStringLiteral("lblHeading")));
        QCOMPARE(tip.findChild<QLabel *>(QStringLiteral("lblHeading"))->text(),
                 QStringLiteral("Did you know..."));
        auto *box = tip.findChild<QCheckBox *>();
        QCOMPARE(box->text(), QStringLiteral("&Show Tips at Startup"));
        QCOMPARE(box->isChecked(), ticked);
        // A tip shows whatever the start-up choice, and a blank line never does.
        for (int i = 0; i < 20; ++i) {
            QVERIFY2(tip.tipText() == QLatin1String("first tip") ||
                         tip.tipText() == QLatin1String("second tip"),
                     qPrintable(tip.tipText()));
            tip.findChild<QPushButton *>(QStringLiteral("cmdNextTip"))->click();
        }
    }

    void tipCheckBoxWritesAtOnceAndOkSetsTipofDay()
    {
        CoreRig rig;
        rig.options.TipofDay = true;
        rig.env.writeFile(QStringLiteral("TIPOFDAY.TXT"), "only tip\r\n");
        auto *tip = new TipWindow(rig.store, rig.options, rig.env.programFolder());
        tip->show();
        QCOMPARE(tip->tipText(), QStringLiteral("only tip"));
        tip->findChild<QPushButton *>(QStringLiteral("cmdNextTip"))->click();
        QCOMPARE(tip->tipText(), QStringLiteral("only tip"));
        tip->findChild<QCheckBox *>()->click();
        SettingsStore onDisk(rig.env.settingsFile());
        QCOMPARE(onDisk.read(QStringLiteral("Options"), QStringLiteral("Show Tips at Startup")),
                 std::optional<QString>(QStringLiteral("0")));
        QVERIFY(rig.options.TipofDay);
        QVERIFY(!TipWindow::wantedAtStartup(rig.store, rig.options));
        QPointer<TipWindow> guard(tip);
        tip->findChild<QPushButton *>(QStringLiteral("cmdOK"))->click();
        QVERIFY(!rig.options.TipofDay);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(guard.isNull());
    }

    void tipWithoutTheFile_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<bool>("exists");
        QTest::newRow("missing") << QByteArray() << false;
        QTest::newRow("only blank lines") << QByteArray("\r\n  \r\n") << true;
    }

    void tipWithoutTheFile()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, exists);
        CoreRig rig;
        if (exists)
            rig.env.writeFile(QStringLiteral("TIPOFDAY.TXT"), file);
        TipWindow tip(rig.store, rig.options, rig.env.programFolder());
        QCOMPARE(tip.tipText(), missingTips(rig.env.programFolder()));
        tip.findChild<QPushButton *>(QStringLiteral("cmdNextTip"))->click();
        QCOMPARE(tip.tipText(), missingTips(rig.env.programFolder()));
    }

    void theShippedTipsAreTips()
    {
        // Every line of the shipped file is a tip, and none names a command not built yet.
        QFile shipped(QStringLiteral(KVORN_SOURCE_DIR "/data/TIPOFDAY.TXT"));
        QVERIFY(shipped.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = shipped.readAll().split('\n');
        int tips = 0;
        for (QByteArray l : lines) {
            l = l.trimmed();
            if (l.isEmpty())
                continue;
            ++tips;
            // The online update is not built yet.
            QVERIFY2(!l.contains("Update") && !l.contains("update"), l.constData());
        }
        QVERIFY(tips >= 10);
    }
};

QTEST_MAIN(TestLogWindows)
#include "test_log_windows.moc"

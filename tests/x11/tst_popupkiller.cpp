// SPDX-License-Identifier: GPL-3.0-or-later
// The popup killer from end to end on a real X display: the controller's own timers run
// the survey and the kill pass against real windows of other processes.
#include "KillLogLines.h"
#include "KillerRig.h"
#include "core/TextFile.h"
#include "platform/x11/X11WindowSystem.h"
#include "popups/DetectedListModel.h"
#include "popups/LogListModel.h"
#include "x11/TestWindow.h"
#include "x11/VirtualDisplay.h"

#include <QElapsedTimer>
#include <QTest>
#include <memory>

using namespace kvorn;
using namespace kvorn::test;

namespace {

TestWindow::Spec window(const QString &instance, const QString &windowClass, const QString &title)
{
    TestWindow::Spec spec;
    spec.instance = instance;
    spec.windowClass = windowClass;
    spec.title = title;
    return spec;
}

TestWindow::Spec chromium(const QString &title)
{
    return window(QStringLiteral("chromium"), QStringLiteral("Chromium"), title);
}

} // namespace

class TestPopupKillerX11 : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<VirtualDisplay> m_display;
    std::unique_ptr<X11WindowSystem> m_windows;

    // The killer on this display, its timers running as in the program.
    std::unique_ptr<KillerRig> startKiller()
    {
        auto rig = std::make_unique<KillerRig>(*m_windows);
        rig->core.controller.load();
        return rig;
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_display = std::make_unique<VirtualDisplay>();
        QVERIFY2(m_display->isReady(), qPrintable(m_display->errorText()));
        m_windows = std::make_unique<X11WindowSystem>(m_display->name().constData());
        QVERIFY(m_windows->connected());
    }
    void cleanupTestCase()
    {
        m_windows.reset();
        m_display.reset();
    }

    void surveyListsBrowserWindowsUnderTheirCutTitles()
    {
        TestWindow popup(*m_display, chromium(QStringLiteral("Free Casino Bonus - Chromium")));
        TestWindow firefox(*m_display,
                           window(QStringLiteral("Navigator"), QStringLiteral("firefox-esr"),
                                  QStringLiteral("Caf\u00e9 Deals \u2014 Mozilla Firefox")));
        TestWindow terminal(*m_display, window(QStringLiteral("xterm"), QStringLiteral("XTerm"),
                                               QStringLiteral("Casino - bash")));
        QVERIFY(popup.isShown() && firefox.isShown() && terminal.isShown());
        auto rig = startKiller();
        const QStringList want{QStringLiteral("Free Casino Bonus"),
                               QStringLiteral("Caf\u00e9 Deals")};
        QTRY_COMPARE(rig->detectedTitles(), want);
        const DetectedEntry &e = rig->lists.detectedList().entry(0);
        QCOMPARE(e.handle, std::uint64_t(popup.id()));
        QCOMPARE(e.address, QString());
        QCOMPARE(e.key, QString::number(popup.id()) + QStringLiteral("xFree Casino Bonus"));
        QVERIFY(!rig->killer.emptyTextShown());

        // A window that comes is listed; one that goes leaves the list.
        {
            TestWindow late(*m_display, chromium(QStringLiteral("Late - Chromium")));
            QVERIFY(late.isShown());
            QTRY_COMPARE(rig->detectedTitles().size(), 3);
        }
        QTRY_COMPARE(rig->detectedTitles(), want);
    }

    void blackListedWindowIsClosedAndBookedOthersStay()
    {
        TestWindow spared(*m_display, chromium(QStringLiteral("Casino Bank - Chromium")));
        TestWindow banned(*m_display, chromium(QStringLiteral("Casino Royale - Chromium")));
        TestWindow news(*m_display, chromium(QStringLiteral("News - Chromium")));
        QVERIFY(spared.isShown() && banned.isShown() && news.isShown());

        auto rig = startKiller();
        rig->core.options.HideExempt = false; // the white-listed one is listed, and spared
        rig->blackList(QStringLiteral("*casino*"));
        rig->lists.whiteList().append({QStringLiteral("*bank*"), true, {}, {}});
        rig->lists.bannedList().append({QStringLiteral("casino royale"), true, {}, {}});
        QTRY_COMPARE(rig->detectedTitles().size(), 3);

        // A popup opening while the killer runs.
        TestWindow popup(*m_display, chromium(QStringLiteral("Free Casino Bonus - Chromium")));
        QVERIFY(popup.isShown());
        QElapsedTimer clock;
        clock.start();
        QTRY_VERIFY_WITH_TIMEOUT(popup.isGone(), 1000);
        qInfo("black-listed window gone after %lld ms", clock.elapsed());
        QCOMPARE(popup.closeRequests(), 1);
        QTRY_COMPARE(rig->detectedTitles(),
                     (QStringList{QStringLiteral("Casino Bank"), QStringLiteral("Casino Royale"),
                                  QStringLiteral("News")}));
        QTest::qWait(300);
        for (TestWindow *stays : {&spared, &banned, &news}) {
            QVERIFY(!stays->isGone());
            QCOMPARE(stays->closeRequests(), 0);
        }

        // Booked once: the log row, the counters, the status bar and the log file.
        QCOMPARE(rig->lists.logList().count(), 1);
        const LogEntry &row = rig->lists.logList().entry(0);
        QCOMPARE(row.text, QStringLiteral("Free Casino Bonus"));
        QCOMPARE(row.count, 1);
        QCOMPARE(row.blackListEntry, QStringLiteral("*casino*"));
        QCOMPARE(rig->log.KilledPops(), 1);
        QCOMPARE(rig->core.options.LogForever, 1);
        QCOMPARE(rig->core.options.LogMonth, 1);
        QCOMPARE(rig->core.options.LogYear, 1);
        QCOMPARE(rig->core.controller.statusTexts().text(PopupScreen, 2),
                 QStringLiteral("Popups Killed: 1 "));
        QVERIFY(rig->log.FlushLog());
        const auto lines = readFieldLines(rig->log.logFilePath());
        QVERIFY(lines);
        QCOMPARE(lines->size(), 1);
        QCOMPARE(lines->at(0).mid(0, 3),
                 (QStringList{QStringLiteral("Popup"), QStringLiteral("Free Casino Bonus"),
                              QStringLiteral("*casino*")}));
    }

    void anEntryCoveringNoAddressClosesNothing()
    {
        // The address column reads "N/A" for every window here; entries matching that
        // text must not stand for every window.
        TestWindow bank(*m_display, window(QStringLiteral("Navigator"), QStringLiteral("firefox-esr"),
                                           QStringLiteral("My Bank \u2014 Mozilla Firefox")));
        TestWindow news(*m_display, chromium(QStringLiteral("News today - Chromium")));
        QVERIFY(bank.isShown() && news.isShown());
        auto rig = startKiller();
        for (const char *entry : {"N/A", "*/*", "*n/a*", "*/a*", "*n/*"})
            rig->blackList(QString::fromLatin1(entry));
        QTRY_COMPARE(rig->detectedTitles().size(), 2);
        QTest::qWait(700);
        QVERIFY(!bank.isGone() && !news.isGone());
        QCOMPARE(bank.closeRequests() + news.closeRequests(), 0);
        QCOMPARE(rig->lists.logList().count(), 0);
    }

    void appModeWindowsAreDetectedByTheirWholeTitle()
    {
        // "chromium --app=URL" and the pop-ups it opens: class Chromium, an instance of
        // their own, the bare page title.
        TestWindow app(*m_display, window(QStringLiteral("casino.example"),
                                          QStringLiteral("Chromium"),
                                          QStringLiteral("Casino - Play now")));
        TestWindow calm(*m_display, window(QStringLiteral("mail.example__inbox"),
                                           QStringLiteral("Chromium"), QStringLiteral("Inbox")));
        QVERIFY(app.isShown() && calm.isShown());
        auto rig = startKiller();
        rig->blackList(QStringLiteral("casino - *"));
        QTRY_VERIFY_WITH_TIMEOUT(app.isGone(), 2000);
        QCOMPARE(rig->lists.logList().entry(0).text, QStringLiteral("Casino - Play now"));
        QTRY_COMPARE(rig->detectedTitles(), QStringList{QStringLiteral("Inbox")});
        QVERIFY(!calm.isGone());
    }

    void windowLimitClosesTheLastDetected()
    {
        TestWindow first(*m_display, chromium(QStringLiteral("First - Chromium")));
        TestWindow second(*m_display, chromium(QStringLiteral("Second - Chromium")));
        TestWindow third(*m_display, chromium(QStringLiteral("Third - Chromium")));
        QVERIFY(first.isShown() && second.isShown() && third.isShown());
        // The survey lists them in the window manager's order, oldest first.
        QTRY_COMPARE(m_windows->titledWindows(),
                     (QList<WindowId>{first.id(), second.id(), third.id()}));

        auto rig = startKiller();
        rig->core.options.WinLmtMode = true;
        rig->core.options.WinLmtWindows = 2;
        QTRY_VERIFY_WITH_TIMEOUT(third.isGone(), 1000);
        QTest::qWait(300);
        QVERIFY(!first.isGone() && !second.isGone());
        QCOMPARE(rig->lists.logList().count(), 1);
        QCOMPARE(rig->lists.logList().entry(0).text, QStringLiteral("Third"));
        QCOMPARE(rig->lists.logList().entry(0).blackListEntry, QStringLiteral("Window Limit"));
        QCOMPARE(rig->log.KilledPops(), 1);
    }

    void aDialogThatRefusesIsAskedAgainButBookedOnce()
    {
        TestWindow owner(*m_display, chromium(QStringLiteral("Shop - Chromium")));
        QVERIFY(owner.isShown());
        TestWindow::Spec spec = chromium(QStringLiteral("You have won"));
        spec.transientFor = owner.id();
        spec.dialog = true;
        spec.refuseClose = true;
        TestWindow dialog(*m_display, spec);
        QVERIFY(dialog.isShown());

        auto rig = startKiller();
        rig->blackList(QStringLiteral("*won*"));
        QTRY_VERIFY_WITH_TIMEOUT(dialog.closeRequests() >= 2, 3000);
        // Each request came with the next key of the cycle, all of them to the dialog.
        QTRY_VERIFY(dialog.keys().size() >= 2);
        QCOMPARE(dialog.keys().mid(0, 2),
                 (QStringList{QStringLiteral("Escape"), QStringLiteral("n")}));
        QVERIFY(owner.keys().isEmpty());
        QVERIFY(!dialog.isGone());
        QVERIFY(!owner.isGone());
        QCOMPARE(owner.closeRequests(), 0);

        QCOMPARE(rig->lists.logList().count(), 1);
        QCOMPARE(rig->lists.logList().entry(0).count, 1);
        QCOMPARE(rig->log.KilledPops(), 1);
        QCOMPARE(killLogRecords(rig->log.logFilePath()).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestPopupKillerX11)
#include "tst_popupkiller.moc"

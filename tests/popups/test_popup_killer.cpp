// SPDX-License-Identifier: GPL-3.0-or-later
// The window survey and the kill pass over a scripted desktop: which windows are recorded
// under which title, how entries live and go, what is closed or spared, and how each close
// is booked.
#include "KillLogLines.h"
#include "FakeWindowSystem.h"
#include "KillerRig.h"
#include "core/DateText.h"
#include "popups/DetectedListModel.h"
#include "popups/LogListModel.h"

#include <QSignalSpy>
#include <QTest>

using namespace kvorn;
using namespace kvorn::test;

namespace {

const WindowClass kChromium{QStringLiteral("chromium"), QStringLiteral("Chromium")};

using Close = FakeWindowSystem::CloseBehaviour;

struct Rig
{
    FakeWindowSystem desktop;
    KillerRig k{desktop};

    DetectedListModel &detected() { return k.lists.detectedList(); }
    LogListModel &log() { return k.lists.logList(); }
    QStringList titles()
    {
        QStringList out;
        for (int row = 0; row < detected().count(); ++row)
            out.append(detected().entry(row).text);
        return out;
    }
    void survey() { k.killer.SurveyWindows(); }
    void pass() { k.killer.tmrMonitor_Timer(); }
    WindowId browser(const QString &title, Close onClose = Close::Close)
    {
        return desktop.addWindow(kChromium, title, onClose);
    }
};

} // namespace

class TestPopupKiller : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void surveyRecordsBrowserWindowsByTheirClass_data()
    {
        QTest::addColumn<QString>("instance");
        QTest::addColumn<QString>("windowClass");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("recorded"); // empty: not recorded

        QTest::newRow("chromium, cut") << "chromium"
                                       << "Chromium"
                                       << "Free Casino Bonus - Chromium"
                                       << "Free Casino Bonus";
        QTest::newRow("chromium, no separator: not recorded") << "chromium"
                                                              << "Chromium"
                                                              << "chromium"
                                                              << "";
        QTest::newRow("chromium app window: whole title") << "casino.example__play"
                                                          << "Chromium"
                                                          << "Casino - Play now"
                                                          << "Casino - Play now";
        QTest::newRow("cut before the last separator only") << "chromium"
                                                            << "Chromium"
                                                            << "Win - Free - Chromium"
                                                            << "Win - Free";
        QTest::newRow("firefox, em dash") << "Navigator"
                                          << "firefox-esr"
                                          << "Free Casino Bonus \u2014 Mozilla Firefox"
                                          << "Free Casino Bonus";
        QTest::newRow("firefox's other windows are no browser windows")
            << "Places"
            << "firefox-esr"
            << "Library \u2014 Mozilla Firefox"
            << "";
        QTest::newRow("class letter case matters") << "chromium"
                                                   << "chromium"
                                                   << "A - Chromium"
                                                   << "";
        QTest::newRow("epiphany: whole title") << "epiphany"
                                               << "Epiphany"
                                               << "Page - Site"
                                               << "Page - Site";
        QTest::newRow("other programs") << "xterm"
                                        << "XTerm"
                                        << "Casino - bash"
                                        << "";
        QTest::newRow("IEFrame, cut") << ""
                                      << "IEFrame"
                                      << "Win - Microsoft Internet Explorer"
                                      << "Win";
        QTest::newRow("IEFrame, no separator") << ""
                                               << "IEFrame"
                                               << "Casino"
                                               << "";
        QTest::newRow("mini browser, whole title without separator") << ""
                                                                     << "_aim_MiniBrowserClass"
                                                                     << "Casino"
                                                                     << "Casino";
        QTest::newRow("Netscape window") << ""
                                         << "Afx:400000:b:1234"
                                         << "Bonus - Netscape"
                                         << "Bonus";
        QTest::newRow("afx window without Netscape") << ""
                                                     << "Afx:400000:b:1234"
                                                     << "Bonus - Other"
                                                     << "";
        QTest::newRow("trident dialog") << ""
                                        << "Internet Explorer_TridentDlgFrame"
                                        << "Offer"
                                        << "Offer";
        QTest::newRow("trident find dialog") << ""
                                             << "Internet Explorer_TridentDlgFrame"
                                             << "Find"
                                             << "";
    }
    void surveyRecordsBrowserWindowsByTheirClass()
    {
        QFETCH(QString, instance);
        QFETCH(QString, windowClass);
        QFETCH(QString, title);
        QFETCH(QString, recorded);
        Rig rig;
        const WindowId id = rig.desktop.addWindow({instance, windowClass}, title);
        rig.survey();
        if (recorded.isEmpty()) {
            QCOMPARE(rig.detected().count(), 0);
            QVERIFY(rig.k.killer.emptyTextShown());
            return;
        }
        QCOMPARE(rig.detected().count(), 1);
        const DetectedEntry &e = rig.detected().entry(0);
        QCOMPARE(e.text, recorded);
        QCOMPARE(e.key, QString::number(id) + "x" + recorded);
        // No address can be read: none is kept, and the column says so.
        QCOMPARE(e.address, QString());
        QCOMPARE(rig.detected().index(0, 1).data().toString(), QStringLiteral("N/A"));
        QVERIFY(!e.forcedOpen);
        QCOMPARE(e.handle, std::uint64_t(id));
        QVERIFY(!rig.k.killer.emptyTextShown());
        QVERIFY(rig.k.loop.monitorRecheckRequested());
    }

    void windowsRowsThatLookAtDescendants()
    {
        Rig rig;
        FakeWindowSystem &d = rig.desktop;
        const auto cls = [](const char *name) {
            return WindowClass{QString(), QString::fromLatin1(name)};
        };
        // Addresses: only a text holding "://" counts, the last such one wins.
        const WindowId ie = d.addWindow(cls("IEFrame"), "Shop - Microsoft Internet Explorer");
        d.addChild(ie, cls("Edit"), "http://first.example/");
        d.addChild(ie, cls("Edit"), "search words");
        d.addChild(ie, cls("Edit"), "http://shop.example/");
        const WindowId ie2 = d.addWindow(cls("IEFrame"), "Words - Microsoft Internet Explorer");
        d.addChild(ie2, cls("Edit"), "casino bonus");
        // An old Opera: each document window, its title without the first character.
        const WindowId opera = d.addWindow(cls("Opera Main Window"), "Opera");
        const WindowId doc = d.addChild(opera, cls("BrowserWindowMDI"), "1Casino");
        d.addChild(doc, cls("ComboBox"), "http://casino.example/");
        d.addChild(opera, cls("BrowserWindowMDI"), "2..");
        const WindowId bld = d.addWindow(cls("BLDOPERA"), "Opera 5");
        const WindowId obj = d.addChild(bld, cls("BLD_ObjWin"), "Deals");
        d.addChild(bld, cls("BLD_ObjWin"), "...");
        // Dialogs: script dialogs by their message, others only around a page view.
        const WindowId script = d.add(
            {cls("#32770"), "Microsoft Internet Explorer", 0, 0, false, "You won!", Close::Close});
        d.addWindow(cls("#32770"), "Save As");
        const WindowId view = d.addWindow(cls("#32770"), "Offer");
        d.addChild(view, cls("Internet Explorer_Server"), QString());
        const WindowId neo = d.addWindow(cls("#32770"), "News - NeoPlanet");
        d.addChild(neo, cls("ComboBox"), "http://news.example/");

        rig.survey();
        struct Want
        {
            QString title;
            WindowId handle;
            QString address;
        };
        const QList<Want> want{
            {"Shop", ie, "http://shop.example/"},
            {"Words", ie2, ""},
            {"Casino", doc, "http://casino.example/"},
            {"Deals", obj, ""},
            {"You won!", script, ""},
            {"Offer", view, ""},
            {"News", neo, "http://news.example/"},
        };
        QCOMPARE(rig.detected().count(), want.size());
        for (int i = 0; i < want.size(); ++i) {
            const DetectedEntry &e = rig.detected().entry(i);
            QCOMPARE(e.text, want[i].title);
            QCOMPARE(e.handle, std::uint64_t(want[i].handle));
            QCOMPARE(e.address, want[i].address);
        }
        QVERIFY(rig.k.killer.HasBrowserView(view));
        QVERIFY(!rig.k.killer.HasBrowserView(ie));
    }

    void browserDialogsAreRecorded()
    {
        Rig rig;
        const WindowId owner = rig.browser("Shop - Chromium");
        const WindowId alert =
            rig.desktop.addDialog(owner, kChromium, "shop.example says", "Stay?");
        const WindowId prompt = rig.desktop.addDialog(owner, kChromium, "Question");
        // A dialog of another program is none of ours.
        const WindowId other = rig.desktop.addWindow({"xterm", "XTerm"}, "Shell - xterm");
        rig.desktop.addDialog(other, {"xterm", "XTerm"}, "Question");
        rig.survey();
        QCOMPARE(rig.titles(), (QStringList{"Shop", "Stay?", "Question"}));
        QCOMPARE(rig.detected().entry(1).handle, std::uint64_t(alert));
        QCOMPARE(rig.detected().entry(2).handle, std::uint64_t(prompt));
    }

    void entriesLiveAsLongAsTheirWindowAndTitle()
    {
        Rig rig;
        const WindowId a = rig.browser("Same - Chromium");
        const WindowId b = rig.browser("Same - Chromium");
        const WindowId c = rig.browser("Other - Chromium");
        rig.survey();
        rig.survey();
        QCOMPARE(rig.titles(), (QStringList{"Same", "Same", "Other"}));
        QVERIFY(rig.detected().entry(0).key != rig.detected().entry(1).key);

        // A new title is a new entry; the old one is pruned by a later pass.
        rig.desktop.setTitle(c, "Renamed - Chromium");
        rig.survey();
        QCOMPARE(rig.titles(), (QStringList{"Same", "Same", "Renamed"}));

        // Three windows gone at once leave one entry per pass.
        QSignalSpy emptyText(&rig.k.killer, &PopupKiller::emptyTextShownChanged);
        for (const WindowId w : {a, b, c})
            rig.desktop.remove(w);
        for (const int left : {2, 1, 0}) {
            rig.k.loop.takeMonitorRecheck();
            rig.survey();
            QCOMPARE(rig.detected().count(), left);
            QVERIFY(rig.k.loop.monitorRecheckRequested());
        }
        QVERIFY(rig.k.killer.emptyTextShown());
        QCOMPARE(emptyText.count(), 1);

        // Emptied on request, refilled by the next survey.
        rig.browser("Back - Chromium");
        rig.survey();
        Q_EMIT rig.k.loop.detectedListCleared();
        QCOMPARE(rig.detected().count(), 0);
        QVERIFY(rig.k.killer.emptyTextShown());
        rig.survey();
        QCOMPARE(rig.titles(), QStringList{"Back"});
        QVERIFY(!rig.k.killer.emptyTextShown());
        Q_EMIT rig.k.loop.detectedEmptyTextShown();
        QVERIFY(rig.k.killer.emptyTextShown());
    }

    void whiteListedWindowsAreHiddenWhenAsked()
    {
        for (const bool hide : {true, false}) {
            Rig rig;
            rig.k.core.options.HideExempt = hide;
            rig.k.lists.whiteList().append({"*bank*", true, {}, {}});
            rig.k.lists.whiteList().append({"Casino", false, {}, {}}); // disabled: no cover
            rig.browser("My Bank - Chromium");
            rig.browser("Casino - Chromium");
            rig.survey();
            const QStringList want =
                hide ? QStringList{"Casino"} : QStringList{"My Bank", "Casino"};
            QCOMPARE(rig.titles(), want);
        }
    }

    void killPassClosesWhatTheBlackListCovers_data()
    {
        QTest::addColumn<QString>("black");
        QTest::addColumn<QString>("white");
        QTest::addColumn<QString>("banned");
        QTest::addColumn<bool>("disableWildcards");
        QTest::addColumn<bool>("closed");

        QTest::newRow("pattern") << "*casino*"
                                 << ""
                                 << "" << false << true;
        QTest::newRow("whole title") << "free casino bonus"
                                     << ""
                                     << "" << false << true;
        QTest::newRow("anchored at the start") << "bonus*"
                                               << ""
                                               << "" << false << false;
        QTest::newRow("white list spares") << "*casino*"
                                           << "*bonus*"
                                           << "" << false << false;
        QTest::newRow("banned list spares") << "*casino*"
                                            << ""
                                            << "Free Casino Bonus" << false << false;
        // A window without an address is looked up with none: what covers the column's
        // "N/A" covers no window.
        QTest::newRow("no address: */* spares") << "*/*"
                                                << ""
                                                << "" << false << false;
        QTest::newRow("no address: N/A spares") << "N/A"
                                                << ""
                                                << "" << false << false;
        QTest::newRow("no address: *n/a* spares") << "*n/a*"
                                                  << ""
                                                  << "" << false << false;
        QTest::newRow("wildcards off: pattern is text") << "*casino*"
                                                        << ""
                                                        << "" << true << false;
        QTest::newRow("wildcards off: whole text") << "Free Casino Bonus"
                                                   << ""
                                                   << "" << true << true;
    }
    void killPassClosesWhatTheBlackListCovers()
    {
        QFETCH(QString, black);
        QFETCH(QString, white);
        QFETCH(QString, banned);
        QFETCH(bool, disableWildcards);
        QFETCH(bool, closed);
        Rig rig;
        rig.k.core.options.HideExempt = false;
        rig.k.core.options.DisableWildcards = disableWildcards;
        rig.k.core.options.Sound = true;
        rig.k.blackList("*nothing*");
        rig.k.blackList(black);
        if (!white.isEmpty())
            rig.k.lists.whiteList().append({white, true, {}, {}});
        if (!banned.isEmpty())
            rig.k.lists.bannedList().append({banned, true, {}, {}});
        const WindowId popup = rig.browser("Free Casino Bonus - Chromium");
        // Another program's window with the same title is none of the killer's business.
        const WindowId other =
            rig.desktop.addWindow({"xterm", "XTerm"}, "Free Casino Bonus - Chromium");
        rig.survey();
        rig.pass();

        QCOMPARE(rig.desktop.closeRequests, closed ? QList<WindowId>{popup} : QList<WindowId>{});
        QVERIFY(rig.desktop.exists(other));
        QCOMPARE(rig.k.loop.monitorTimer().interval(), closed ? 10 : 500);
        QCOMPARE(rig.log().count(), closed ? 1 : 0);
        QCOMPARE(rig.k.log.KilledPops(), closed ? 1 : 0);
        QCOMPARE(rig.k.core.options.LogForever, closed ? 1 : 0);
        QCOMPARE(rig.k.core.options.LogMonth, closed ? 1 : 0);
        QCOMPARE(rig.k.core.options.LogYear, closed ? 1 : 0);
        QCOMPARE(rig.k.core.sound.played.size(), closed ? 1 : 0);
        QCOMPARE(rig.k.loop.flashTimer().isActive(), closed);
        if (!closed)
            return;
        const LogEntry &row = rig.log().entry(0);
        QCOMPARE(row.text, QStringLiteral("Free Casino Bonus"));
        QCOMPARE(row.count, 1);
        QCOMPARE(row.blackListEntry, black);
        QCOMPARE(row.lastTime, generalDateText(rig.k.core.clock.current));
        // On the disk at once, not kept for later.
        const QList<QStringList> records{{"Popup", "Free Casino Bonus", black,
                                          generalDateText(rig.k.core.clock.current)}};
        QCOMPARE(killLogRecords(rig.k.log.logFilePath()), records);
        QCOMPARE(rig.k.core.controller.statusTexts().text(PopupScreen, 2),
                 QStringLiteral("Popups Killed: 1 "));
        QCOMPARE(rig.k.killer.lastClosedAddress(), QString());
    }

    void aNewOrRetitledWindowIsJudgedByTheSurveyThatFindsIt()
    {
        Rig rig;
        rig.k.blackList(QStringLiteral("*casino*"));
        // Paused (a command is asking the user): the survey leaves it to the monitor.
        const WindowId early = rig.browser("Casino One - Chromium");
        rig.survey();
        QVERIFY(rig.desktop.closeRequests.isEmpty());
        rig.pass();
        QCOMPARE(rig.desktop.closeRequests, QList<WindowId>{early});

        rig.k.loop.monitorTimer().start();
        const WindowId news = rig.browser("News - Chromium");
        rig.survey();
        QCOMPARE(rig.desktop.closeRequests.size(), 1);
        // Retitled into a popup: closed by the very survey that reads the new title.
        rig.desktop.setTitle(news, "Casino Two - Chromium");
        rig.survey();
        QCOMPARE(rig.desktop.closeRequests, (QList<WindowId>{early, news}));
        QCOMPARE(rig.log().count(), 2);
    }

    void anAddressReadLateJudgesTheWindowAgain()
    {
        Rig rig;
        rig.k.blackList(QStringLiteral("*casino.example*"));
        rig.k.loop.monitorTimer().start();
        const WindowId page = rig.browser("Same Title - Chromium");
        const WindowId other = rig.browser("Same Title - Chromium");
        rig.survey();
        QCOMPARE(rig.detected().entry(0).addressShown(), QStringLiteral("N/A"));
        QVERIFY(rig.desktop.closeRequests.isEmpty());
        // The reader learns the addresses a while later: the covered one goes at once.
        rig.desktop.setAddress(other, "file:///pages/news/b.html");
        rig.desktop.setAddress(page, "file:///pages/casino.example/a.html");
        rig.survey();
        QCOMPARE(rig.desktop.closeRequests, QList<WindowId>{page});
        QCOMPARE(rig.log().count(), 1);
        QCOMPARE(rig.log().entry(0).blackListEntry, QStringLiteral("*casino.example*"));

        // With the reading switched off, addresses are unknown as before.
        rig.k.core.options.ReadBrowserAddresses = false;
        const WindowId third = rig.browser("Third - Chromium");
        rig.desktop.setAddress(third, "http://casino.example/");
        rig.survey();
        rig.pass();
        QCOMPARE(rig.desktop.closeRequests, QList<WindowId>{page});
        const int row = rig.detected().findKey(DetectedEntry::keyFor(third, "Third"));
        QVERIFY(row >= 0);
        QCOMPARE(rig.detected().entry(row).addressShown(), QStringLiteral("N/A"));
    }

    void steadyAddressesAskForNoNewJudgement()
    {
        Rig rig;
        FakeWindowSystem &d = rig.desktop;
        const auto cls = [](const char *name) {
            return WindowClass{QString(), QString::fromLatin1(name)};
        };
        // An old Opera's document window is recorded twice per survey, first without its
        // address: that is no change of address.
        const WindowId opera = d.addWindow(cls("Opera Main Window"), "Opera");
        const WindowId doc = d.addChild(opera, cls("BrowserWindowMDI"), "1News");
        d.addChild(doc, cls("ComboBox"), "http://news.example/");
        const WindowId page = rig.browser("Page - Chromium");
        d.setAddress(page, "http://news.example/");
        rig.survey();
        QVERIFY(rig.k.loop.takeMonitorRecheck());
        for (int i = 0; i < 3; ++i) {
            rig.survey();
            QVERIFY(!rig.k.loop.monitorRecheckRequested());
        }
    }

    void aWindowIsBookedOncePerWindowAndTitle()
    {
        Rig rig;
        rig.k.core.options.HomePage = "https://home.example/";
        rig.k.blackList("*casino*");
        const WindowId popup = rig.browser("Casino - Chromium", Close::Refuse);
        rig.survey();

        rig.pass(); // asked and booked
        for (int i = 0; i < 5; ++i) {
            // Quick passes keep coming while the entry lives; none books it again.
            rig.pass();
        }
        QCOMPARE(rig.desktop.closeRequests, QList<WindowId>{popup});
        QTest::qWait(PopupKiller::kRepeatCloseMs);
        rig.survey();
        rig.pass(); // still there: asked again, not booked again
        QCOMPARE(rig.desktop.closeRequests, (QList<WindowId>{popup, popup}));
        QCOMPARE(rig.k.loop.monitorTimer().interval(), 500);
        QVERIFY(rig.k.loop.monitorRecheckRequested());

        QCOMPARE(rig.log().entry(0).count, 1);
        QCOMPARE(rig.k.log.KilledPops(), 1);
        QCOMPARE(killLogRecords(rig.k.log.logFilePath()).size(), 1);
        QCOMPARE(rig.k.shell.opened, QStringList{"https://home.example/"});

        // The same window under a new title is a new popup: booked again.
        rig.desktop.setTitle(popup, "Casino Two - Chromium");
        rig.survey();
        rig.pass();
        QCOMPARE(rig.k.log.KilledPops(), 2);
        QCOMPARE(rig.log().count(), 2);
    }

    void homePageOnlyWhenTheOnlyWindowCloses()
    {
        struct Case
        {
            const char *name;
            int windows;
            bool jumpHome;
            QString homePage;
            bool opened;
        };
        const Case cases[] = {
            {"only window", 1, true, "https://home.example/", true},
            {"one of two", 2, true, "https://home.example/", false},
            {"jump home off", 1, false, "https://home.example/", false},
            {"no home page", 1, true, "  ", false},
        };
        for (const Case &c : cases) {
            Rig rig;
            rig.k.core.options.JumpHome = c.jumpHome;
            rig.k.core.options.HomePage = c.homePage;
            rig.k.blackList("*casino*");
            rig.browser("Casino - Chromium");
            if (c.windows > 1)
                rig.browser("News - Chromium");
            rig.survey();
            rig.pass();
            QVERIFY2(rig.k.log.KilledPops() == 1, c.name);
            QVERIFY2(rig.k.shell.opened.size() == (c.opened ? 1 : 0), c.name);
        }
    }

    void windowLimitClosesTheLastDetected()
    {
        Rig rig;
        rig.k.core.options.WinLmtMode = true;
        rig.k.core.options.WinLmtWindows = 2;
        rig.k.core.options.JumpHome = false;
        rig.k.blackList("*nothing*");
        rig.browser("One - Chromium");
        rig.browser("Two - Chromium");
        const WindowId third = rig.browser("Three - Chromium");
        rig.survey();
        rig.pass();
        QCOMPARE(rig.desktop.closeRequests, QList<WindowId>{third});
        QCOMPARE(rig.log().count(), 1);
        QCOMPARE(rig.log().entry(0).text, QStringLiteral("Three"));
        QCOMPARE(rig.log().entry(0).blackListEntry, QStringLiteral("Window Limit"));
        QCOMPARE(killLogRecords(rig.k.log.logFilePath()).value(0).value(2),
                 QStringLiteral("Window Limit"));
    }

    void forcedOpenWindowsStayOpen()
    {
        Rig rig;
        PopupLoop &loop = rig.k.loop;
        rig.k.core.options.WinLmtMode = true;
        rig.k.core.options.WinLmtWindows = 1;
        rig.k.blackList("*casino*");

        // Ctrl held: the tick halts the killer and the survey marks new windows.
        rig.k.core.keyboard.press(Key::Control);
        const WindowId forced = rig.browser("Casino - Chromium");
        loop.tmrGetActivePopUps_Timer();
        loop.detectionTimer().stop();
        loop.monitorTimer().stop();
        QCOMPARE(loop.runState(), RunState::Halted);
        QCOMPARE(rig.detected().count(), 1);
        QVERIFY(rig.detected().entry(0).forcedOpen);
        QCOMPARE(rig.detected().data(rig.detected().index(0, 2)).toString(),
                 QStringLiteral("True"));
        rig.pass();
        QVERIFY(loop.monitorRecheckRequested()); // no pass while Ctrl is held

        // Released: the forced window stays, counts toward the limit, and a new one goes.
        rig.k.core.keyboard.release(Key::Control);
        const WindowId later = rig.browser("Casino Again - Chromium");
        loop.tmrGetActivePopUps_Timer();
        loop.detectionTimer().stop();
        loop.monitorTimer().stop();
        QVERIFY(!rig.detected().entry(1).forcedOpen);
        rig.pass();
        QVERIFY(rig.desktop.exists(forced));
        QCOMPARE(rig.desktop.closeRequests, QList<WindowId>{later});
        QCOMPARE(rig.k.log.KilledPops(), 1);
        rig.survey();
        QVERIFY(rig.detected().entry(0).forcedOpen);
    }

    void dialogsGetTheKeyCycle()
    {
        Rig rig;
        rig.k.blackList("*offer*");
        const WindowId owner = rig.browser("Shop - Chromium");
        QList<WindowId> dialogs;
        for (int i = 0; i < 4; ++i) {
            dialogs.append(rig.desktop.addDialog(owner, kChromium, QString("Offer %1").arg(i)));
            rig.survey();
            rig.pass();
        }
        using K = DialogKey;
        const QList<FakeWindowSystem::SentKey> want{{dialogs[0], K::Escape},
                                                    {dialogs[1], K::N},
                                                    {dialogs[2], K::C},
                                                    {dialogs[3], K::Escape}};
        QCOMPARE(rig.desktop.sentKeys, want);
        QCOMPARE(rig.desktop.closeRequests, dialogs);
        QCOMPARE(rig.desktop.activations, dialogs);
        QCOMPARE(rig.k.killer.dialogKeyPosition(), 1);
        QVERIFY(rig.desktop.exists(owner));
    }

    void noPassWhileDisabledOrWithoutRecheck()
    {
        Rig rig;
        rig.k.blackList("*casino*");
        rig.browser("Casino - Chromium");
        rig.survey();
        rig.k.core.controller.disableCommand();
        rig.pass();
        QVERIFY(rig.desktop.closeRequests.isEmpty());
        rig.k.core.controller.disableCommand(); // enabled again: the list starts afresh
        QCOMPARE(rig.detected().count(), 0);
        rig.survey();
        rig.k.loop.takeMonitorRecheck();
        rig.pass();
        QVERIFY(rig.desktop.closeRequests.isEmpty());
        rig.k.loop.requestMonitorRecheck();
        rig.pass();
        QCOMPARE(rig.desktop.closeRequests.size(), 1);
        QVERIFY(!rig.k.killer.isBusy());
    }
};

QTEST_GUILESS_MAIN(TestPopupKiller)
#include "test_popup_killer.moc"

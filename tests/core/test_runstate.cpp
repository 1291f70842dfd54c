// SPDX-License-Identifier: GPL-3.0-or-later
#include "CoreRig.h"

#include "core/DateText.h"
#include "popups/PopupLoop.h"

#include <QSignalSpy>
#include <QTest>

using namespace kvorn;
using namespace kvorn::test;

namespace {
/// The core with the popup killer's loop registered, as the program starts them.
struct LoadedRig : CoreRig
{
    PopupLoop loop{{options, keyboard, tray, controller}};

    LoadedRig()
    {
        settings.LoadMyOptions(clock.now().date());
        controller.load();
    }
    void tick() { loop.tmrGetActivePopUps_Timer(); }
    QString status1() const { return controller.statusTexts().text(PopupScreen, 1); }
};
} // namespace

class TestRunState : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void loadShowsIdleAndStartsTheTimers()
    {
        LoadedRig rig;
        QCOMPARE(rig.tray.picture(), TrayPicture::Idle);
        QCOMPARE(rig.tray.tip(), QStringLiteral("K-Vorn is Idle"));
        QVERIFY(rig.tray.isPresent());
        QVERIFY(rig.loop.detectionTimer().isActive());
        QCOMPARE(rig.loop.detectionTimer().interval(), 250);
        QVERIFY(!rig.loop.monitorTimer().isActive());
        QCOMPARE(rig.loop.monitorTimer().interval(), 500);
        QVERIFY(rig.controller.signalTimer().isActive());
        QCOMPARE(rig.controller.signalTimer().interval(), 1500);
        QCOMPARE(rig.loop.flashTimer().interval(), 250);
        QVERIFY(!rig.controller.mailLoopTimer().isActive());
        QVERIFY(rig.loop.monitorRecheckRequested());
        QCOMPARE(rig.store.read(QStringLiteral("Config"), QStringLiteral("InstallPath"), QString()),
                 rig.env.programFolder());
        // The kill sound event points at the program's own sound.
        QCOMPARE(rig.controller.killSoundFile(),
                 rig.env.programFolder() + QStringLiteral("/SOUNDS/WHIP.WAV"));
    }

    void transitionsFollowKeysAndDisable()
    {
        LoadedRig rig;
        QSignalSpy surveys(&rig.loop, &PopupLoop::surveyRequested);
        QSignalSpy cleared(&rig.loop, &PopupLoop::detectedListCleared);

        struct Step
        {
            const char *action;
            TrayPicture picture;
            const char *tip;
            const char *status;
            RunState state;
        };
        const Step steps[] = {
            {"tick", TrayPicture::Active, "K-Vorn is Active", "Active", RunState::Active},
            {"ctrl", TrayPicture::Halted, "K-Vorn is Stopped", "Halted", RunState::Halted},
            {"release", TrayPicture::Active, "K-Vorn is Active", "Active", RunState::Active},
            {"disable", TrayPicture::Idle, "K-Vorn is Disabled", "Disabled", RunState::Active},
            {"tick", TrayPicture::Idle, "K-Vorn is Idle", "Idle", RunState::Idle},
            {"tick", TrayPicture::Idle, "K-Vorn is Idle", "Idle", RunState::Idle},
            {"disable", TrayPicture::Idle, "K-Vorn is Idle", "Idle", RunState::Idle},
            {"tick", TrayPicture::Active, "K-Vorn is Active", "Active", RunState::Active},
        };
        for (const Step &s : steps) {
            const QByteArray action = s.action;
            if (action == "ctrl") {
                rig.keyboard.press(Key::Control);
                rig.tick();
            } else if (action == "release") {
                rig.keyboard.release(Key::Control);
                rig.tick();
            } else if (action == "disable") {
                rig.controller.disableCommand();
            } else {
                rig.tick();
            }
            QCOMPARE(rig.tray.picture(), s.picture);
            QCOMPARE(rig.tray.tip(), QString::fromLatin1(s.tip));
            QCOMPARE(rig.status1(), QString::fromLatin1(s.status));
            QCOMPARE(rig.loop.runState(), s.state);
        }
        // Surveys ran on the four ticks while enabled, never while disabled.
        QCOMPARE(surveys.count(), 4);
        // Enabling again empties the detected list for the next survey to refill.
        QCOMPARE(cleared.count(), 1);
        QCOMPARE(rig.loop.detectionTimer().interval(), 100);
        QVERIFY(rig.loop.monitorTimer().isActive());
        QVERIFY(rig.controller.signalTimer().isActive());
    }

    void idleSlowsDetectionAndStopsTheMonitor()
    {
        LoadedRig rig;
        rig.tick();
        rig.controller.disableCommand();
        QVERIFY(!rig.controller.signalTimer().isActive());
        QSignalSpy empty(&rig.loop, &PopupLoop::detectedEmptyTextShown);
        rig.tick();
        QCOMPARE(rig.loop.detectionTimer().interval(), 1000);
        QVERIFY(!rig.loop.monitorTimer().isActive());
        QCOMPARE(empty.count(), 1);
    }

    void monitorRunsOutUnderTheFasterDetectionTicks()
    {
        // The real timers: detection every 100 ms must not keep restarting the monitor's
        // 500 ms, or no kill pass would ever run.
        LoadedRig rig;
        QSignalSpy passes(&rig.loop, &PopupLoop::killPassRequested);
        QTRY_VERIFY_WITH_TIMEOUT(passes.count() >= 2, 2500);
    }

    void forceOpenKeyCanBeSwitchedOff()
    {
        LoadedRig rig;
        rig.options.DisHotKey = true;
        rig.keyboard.press(Key::Control);
        rig.keyboard.press(Key::Z);
        for (int i = 0; i < 12; ++i)
            rig.tick();
        QCOMPARE(rig.loop.runState(), RunState::Active);
        QVERIFY(!rig.loop.forceOpen());
        QVERIFY(!rig.controller.isDisabled());
    }

    void switchingTheForceOpenKeyOffWhileCtrlIsHeldLetsTheKillerRun()
    {
        LoadedRig rig;
        rig.keyboard.press(Key::Control);
        rig.tick();
        QCOMPARE(rig.loop.runState(), RunState::Halted);
        // "Disable Force Open Key (Ctrl)" takes effect while Ctrl is still down.
        rig.options.DisHotKey = true;
        rig.tick();
        QVERIFY(!rig.loop.forceOpen());
        QCOMPARE(rig.loop.runState(), RunState::Active);
    }

    void ctrlZHeldTenTicksDisablesAndOneTickEnables()
    {
        LoadedRig rig;
        rig.keyboard.press(Key::Control);
        rig.keyboard.press(Key::Z);
        for (int i = 0; i < 9; ++i)
            rig.tick();
        QVERIFY(!rig.controller.isDisabled());
        rig.tick();
        QVERIFY(rig.controller.isDisabled());
        QVERIFY(rig.loop.isDisabled()); // the core's command reached the loop at once
        rig.tick(); // still held at the next (slow) tick: enabled again
        QVERIFY(!rig.controller.isDisabled());
        QVERIFY(!rig.loop.isDisabled());
        // Letting go resets the count.
        rig.keyboard.release(Key::Z);
        rig.tick();
        rig.keyboard.press(Key::Z);
        for (int i = 0; i < 9; ++i)
            rig.tick();
        QVERIFY(!rig.controller.isDisabled());
    }

    void debugTimersOffSuspendsAndResumes()
    {
        LoadedRig rig;
        rig.controller.mailLoopTimer().setInterval(60000);
        rig.tick();
        rig.controller.DebugTimersOff(true);
        QVERIFY(rig.controller.debugChecked());
        QCOMPARE(rig.status1(), QStringLiteral("Updating"));
        QCOMPARE(rig.tray.tip(), QStringLiteral("K-Vorn is Disabled"));
        for (QTimer *t : {&rig.loop.detectionTimer(), &rig.loop.monitorTimer(),
                          &rig.controller.signalTimer(), &rig.controller.mailLoopTimer()})
            QVERIFY2(!t->isActive(), qPrintable(t->objectName()));
        QSignalSpy cleared(&rig.loop, &PopupLoop::detectedListCleared);
        rig.controller.DebugTimersOff(false);
        QCOMPARE(rig.status1(), QStringLiteral("Debug off"));
        QCOMPARE(cleared.count(), 1);
        for (QTimer *t : {&rig.loop.detectionTimer(), &rig.loop.monitorTimer(),
                          &rig.controller.signalTimer(), &rig.controller.mailLoopTimer()})
            QVERIFY2(t->isActive(), qPrintable(t->objectName()));
    }

    void loopsFollowTheLifecycleOnlyWhileRegistered()
    {
        LoadedRig rig;
        rig.tick();
        rig.controller.disableCommand();
        {
            // A loop that joins while the killer is disabled starts disabled.
            PopupLoop late{{rig.options, rig.keyboard, rig.tray, rig.controller}};
            QVERIFY(late.isDisabled());
            rig.controller.disableCommand();
            QVERIFY(!late.isDisabled());
        }
        // A loop that is gone is no longer driven (it would be a dangling one).
        rig.controller.DebugTimersOff(true);
        QVERIFY(!rig.loop.detectionTimer().isActive());
        rig.controller.DebugTimersOff(false);
        QVERIFY(rig.loop.detectionTimer().isActive());
        QVERIFY(rig.loop.monitorTimer().isActive());
        QVERIFY(rig.loop.monitorRecheckRequested());
    }

    void holdingTheLoopsKeepsWhatRan()
    {
        LoadedRig rig;
        QVERIFY(rig.loop.detectionTimer().isActive());
        QVERIFY(!rig.loop.monitorTimer().isActive());
        rig.controller.holdLoops();
        QVERIFY(!rig.loop.detectionTimer().isActive());
        rig.controller.releaseLoops();
        QVERIFY(rig.loop.detectionTimer().isActive());
        QVERIFY(!rig.loop.monitorTimer().isActive()); // it did not run before
        rig.loop.monitorTimer().start();
        rig.controller.windowOpened();
        QVERIFY(!rig.loop.monitorTimer().isActive()); // the next detection tick restarts it
        rig.tick();
        QVERIFY(rig.loop.monitorTimer().isActive());
    }

    void forceShowPolling_data()
    {
        QTest::addColumn<int>("forceShow");
        QTest::addColumn<bool>("showInTray");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<bool>("ended");
        QTest::addColumn<QString>("after");

        QTest::newRow("show, no tray") << 1 << false << true << false << "0";
        QTest::newRow("show ignored with tray") << 1 << true << false << false << "1";
        QTest::newRow("end, no tray") << 2 << false << false << true << "0";
        QTest::newRow("end honoured with tray") << 2 << true << false << true << "0";
        QTest::newRow("nothing asked") << 0 << false << false << false << "0";
    }

    void forceShowPolling()
    {
        QFETCH(int, forceShow);
        QFETCH(bool, showInTray);
        QFETCH(bool, shown);
        QFETCH(bool, ended);
        QFETCH(QString, after);

        LoadedRig rig;
        rig.options.ShowInTray = showInTray;
        rig.options.Sound = true; // a setting that only a save would write
        // Another process writes the request into the shared file.
        {
            SettingsStore other(rig.env.settingsFile());
            MainController::writeForceShow(other, static_cast<ForceShow>(forceShow));
        }
        QSignalSpy show(&rig.controller, &MainController::showWindowRequested);
        QSignalSpy quit(&rig.controller, &MainController::quitNow);
        rig.controller.tmrMonReg_Timer();
        QCOMPARE(show.count(), shown ? 1 : 0);
        QCOMPARE(quit.count(), ended ? 1 : 0);
        SettingsStore fresh(rig.env.settingsFile());
        QCOMPARE(fresh.read(kOptionsSection, QStringLiteral("ForceShow"), QStringLiteral("0")), after);
        // Ending on request keeps the user's settings.
        QCOMPARE(fresh.read(kOptionsSection, QStringLiteral("Sound"), QString()),
                 ended ? QStringLiteral("True") : QString());
    }

    void statusTextsArePerScreen()
    {
        LoadedRig rig;
        QSignalSpy shown(&rig.controller, &MainController::statusBarChanged);
        rig.controller.UpdateStatusBar(MailScreen, 2, QStringLiteral("Messages: 3"));
        QCOMPARE(shown.last().at(1).toString(), QString()); // the popup screen shows
        rig.controller.UpdateStatusBar(PopupScreen, 2, QStringLiteral("Popups Killed: 1 "));
        QCOMPARE(shown.last().at(1).toString(), QStringLiteral("Popups Killed: 1 "));
        rig.controller.setCurrentScreen(MailScreen);
        rig.controller.UpdateStatusBar(0, 3, QStringLiteral("ignored"));
        QCOMPARE(shown.last().at(1).toString(), QStringLiteral("Messages: 3"));
        QCOMPARE(rig.controller.statusTexts().text(0, 3), QString());
        QCOMPARE(rig.controller.statusTexts().text(MailScreen, 3), QString());
        // Out of range stores nothing and does not crash.
        rig.controller.UpdateStatusBar(7, 9, QStringLiteral("x"));
    }

    void autoUpdateFiresOnceAndNeverDuringStartup()
    {
        LoadedRig rig;
        rig.options.LastUpdate = QStringLiteral("12/5/2026");
        rig.options.AUDays = QStringLiteral("7");
        QSignalSpy due(&rig.controller, &MainController::autoUpdateDue);
        rig.controller.UpdateStatusBar(0, 0, QString());
        QCOMPARE(due.count(), 0); // not due yet
        // Due, but the program is still starting.
        rig.controller.setStartupInProgress(true);
        rig.clock.current = rig.clock.current.addDays(30);
        rig.controller.UpdateStatusBar(0, 0, QString());
        QCOMPARE(due.count(), 0);
        rig.controller.setStartupInProgress(false);
        rig.controller.UpdateStatusBar(1, 1, QStringLiteral("Active"));
        QCOMPARE(due.count(), 1);
        for (int i = 0; i < 5; ++i)
            rig.controller.UpdateStatusBar(0, 0, QString());
        QCOMPARE(due.count(), 1);
    }

    void autoUpdateNeedsTheOptionAndAnOldDate()
    {
        LoadedRig rig;
        QSignalSpy due(&rig.controller, &MainController::autoUpdateDue);
        rig.options.LastUpdate = shortDateText(rig.clock.now().date().addDays(-7));
        rig.controller.UpdateStatusBar(0, 0, QString());
        QCOMPARE(due.count(), 0); // exactly AUDays ago is not later
        rig.options.UseAutoUpdate = false;
        rig.options.LastUpdate = QStringLiteral("01/01/2003");
        rig.controller.UpdateStatusBar(0, 0, QString());
        QCOMPARE(due.count(), 0);
    }

    void autoUpdateReadsTheDateInAnyLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("lastUpdate");
        QTest::newRow("de_DE, the default") << "de_DE" << "01/01/2003";
        QTest::newRow("ja_JP, the default") << "ja_JP" << "01/01/2003";
        QTest::newRow("C, the default") << "C" << "01/01/2003";
        QTest::newRow("C, two-digit year") << "C" << "01/01/03";
        QTest::newRow("sv_SE, two-digit year") << "sv_SE" << "01/01/03";
        QTest::newRow("en_US, ISO") << "en_US" << "2003-01-01";
        QTest::newRow("unreadable") << "en_US" << "last spring";
    }

    void autoUpdateReadsTheDateInAnyLocale()
    {
        QFETCH(QString, locale);
        QFETCH(QString, lastUpdate);
        LoadedRig rig;
        const QLocale before;
        QLocale::setDefault(QLocale(locale));
        QSignalSpy due(&rig.controller, &MainController::autoUpdateDue);
        rig.options.LastUpdate = lastUpdate;
        rig.controller.UpdateStatusBar(0, 0, QString());
        QLocale::setDefault(before);
        QCOMPARE(due.count(), 1);
    }

    void autoUpdateIgnoresAnIntervalOutOfRange()
    {
        LoadedRig rig;
        QSignalSpy due(&rig.controller, &MainController::autoUpdateDue);
        rig.options.LastUpdate = QStringLiteral("01/01/2003");
        // INT_MIN once negated the stored number (undefined behaviour, caught by UBSan).
        for (const char *days : {"-2147483648", "-1", "2147483647", "99999999999", "seven"}) {
            rig.options.AUDays = QString::fromLatin1(days);
            rig.controller.UpdateStatusBar(0, 0, QString());
            QVERIFY2(due.isEmpty(), days);
        }
        rig.options.AUDays = QStringLiteral("7");
        rig.controller.UpdateStatusBar(0, 0, QString());
        QCOMPARE(due.count(), 1);
    }

    void flashAnimation()
    {
        LoadedRig rig;
        rig.tray.pictures.clear();
        rig.loop.startFlash();
        QVERIFY(rig.loop.flashTimer().isActive());
        for (int i = 0; i < 5; ++i)
            rig.loop.tmrFlashDelay_Timer();
        rig.loop.startFlash(); // a second kill continues the same animation
        for (int i = 0; i < 7; ++i)
            rig.loop.tmrFlashDelay_Timer();
        using P = TrayPicture;
        const QList<P> expected = {P::FlashA, P::FlashB, P::Active, P::FlashA, P::FlashB,
                                   P::Active, P::FlashA, P::FlashB, P::Active, P::FlashA,
                                   P::FlashB, P::Active, P::Active};
        QCOMPARE(rig.tray.pictures, expected);
        QVERIFY(!rig.loop.flashTimer().isActive());
        QCOMPARE(rig.loop.flashCount(), 0);

        rig.options.Flash = false;
        rig.loop.startFlash();
        QVERIFY(!rig.loop.flashTimer().isActive());
    }

    void killSoundFollowsTheOption()
    {
        LoadedRig rig;
        rig.controller.playKillSound();
        QVERIFY(rig.sound.played.isEmpty());
        rig.options.Sound = true;
        rig.controller.playKillSound();
        QCOMPARE(rig.sound.played,
                 QStringList{rig.env.programFolder() + QStringLiteral("/SOUNDS/WHIP.WAV")});
    }

    void exits_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("answer");
        QTest::addColumn<bool>("ended");
        QTest::addColumn<bool>("saved");
        QTest::addColumn<int>("questions");

        using A = Prompt::Answer;
        QTest::newRow("file exit yes") << int(ExitKind::FileExit) << int(A::Yes) << true << true << 1;
        QTest::newRow("file exit no") << int(ExitKind::FileExit) << int(A::No) << false << true << 1;
        QTest::newRow("tray exit yes") << int(ExitKind::TrayExit) << int(A::Yes) << true << true << 1;
        QTest::newRow("tray exit no") << int(ExitKind::TrayExit) << int(A::No) << false << false << 1;
        QTest::newRow("session end") << int(ExitKind::SessionEnd) << int(A::No) << true << true << 0;
        QTest::newRow("force close") << int(ExitKind::ForceClose) << int(A::No) << true << true << 0;
    }

    void exits()
    {
        QFETCH(int, kind);
        QFETCH(int, answer);
        QFETCH(bool, ended);
        QFETCH(bool, saved);
        QFETCH(int, questions);

        LoadedRig rig;
        rig.tick();
        rig.options.Flash = true;
        rig.loop.startFlash(); // a kill a moment ago
        int flushed = 0;
        int listsSaved = 0;
        rig.controller.addFlusher([&] { ++flushed; });
        rig.controller.addListSaver([&] {
            ++listsSaved;
            return QString();
        });
        rig.options.Sound = true;
        rig.prompt.answers.push_back(static_cast<Prompt::Answer>(answer));
        QSignalSpy quit(&rig.controller, &MainController::quitNow);

        QCOMPARE(rig.controller.exitProgram(static_cast<ExitKind>(kind)), ended);
        QCOMPARE(quit.count(), ended ? 1 : 0);
        QCOMPARE(rig.prompt.messages.count(), questions);
        if (questions)
            QCOMPARE(rig.prompt.messages.first(), QStringLiteral("Do you really want to exit K-Vorn?"));
        QCOMPARE(flushed, saved ? 1 : 0);
        QCOMPARE(listsSaved, saved ? 1 : 0);
        SettingsStore fresh(rig.env.settingsFile());
        QCOMPARE(fresh.read(kOptionsSection, QStringLiteral("Sound"), QString()),
                 saved ? QStringLiteral("True") : QString());
        if (!ended) // a declined exit leaves the killer running
            QVERIFY(rig.loop.detectionTimer().isActive());
        if (ended) // every end stops the killer's timers
            for (QTimer *t : {&rig.loop.detectionTimer(), &rig.loop.monitorTimer(),
                              &rig.loop.flashTimer()})
                QVERIFY2(!t->isActive(), qPrintable(t->objectName()));
    }

    void failedSaveIsToldToTheUser()
    {
        LoadedRig rig;
        rig.controller.addListSaver([] { return QStringLiteral("spamlist.kbl: disk full"); });
        QVERIFY(!rig.controller.SaveProgramSettings());
        QCOMPARE(rig.prompt.messages.size(), 1);
        QVERIFY(rig.prompt.messages.first().contains(QStringLiteral("spamlist.kbl: disk full")));
        QVERIFY(!rig.tray.isPresent());
    }
};

QTEST_GUILESS_MAIN(TestRunState)
#include "test_runstate.moc"

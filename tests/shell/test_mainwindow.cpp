#include "CoreRig.h"
#include "PopupWindowRig.h"

#include "popups/PopupLoop.h"
#include "shell/MainWindow.h"
#include "shell/QtTrayIcon.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>

using namespace kvorn;
using namespace kvorn::test;

namespace {
struct WindowRig : CoreRig
{
    PopupLoop loop{{options, keyboard, tray, controller}};
    QtTrayIcon qtTray;
    MainWindow window{controller, qtTray, options};
    WindowRig() { settings.LoadMyOptions(clock.now().date()); }
    bool menuShown(const char *name) const
    {
        return window.menu(QString::fromLatin1(name))->menuAction()->isVisible();
    }
};
} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void screenTabsAndPanels()
    {
        WindowRig rig;
        QCOMPARE(rig.window.windowTitle(), QStringLiteral("K-Vorn"));
        auto *tsApp = rig.window.findChild<QTabBar *>(QStringLiteral("tsApp"));
        QVERIFY(tsApp);
        QCOMPARE(tsApp->count(), 3);
        const QStringList captions = {"&Popup Killer", "&Mail Filter", "&Banner Blocker"};
        const QStringList keys = {"tsKpopup", "tsKmail", "tsKbanner"};
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(tsApp->tabText(i), captions[i]);
            QCOMPARE(tsApp->tabData(i).toString(), keys[i]);
        }
        auto *tsPanels = rig.window.findChild<QTabBar *>(QStringLiteral("tsPanels"));
        QVERIFY(tsPanels);
        QStringList panels;
        for (int i = 0; i < tsPanels->count(); ++i)
            panels << tsPanels->tabText(i);
        QCOMPARE(panels, (QStringList{"Detected", "Blacklist", "Whitelist", "Log"}));
    }

    void menusFollowTheScreen_data()
    {
        QTest::addColumn<int>("screen");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QStringList>("hidden");
        QTest::newRow("popups") << 1 << QStringList{"mnuSettings", "mnuMail", "mnuPopup"}
                                << QStringList{"mnuMailList", "mnuBanners"};
        QTest::newRow("mail") << 2 << QStringList{"mnuSettings", "mnuMail", "mnuMailList"}
                              << QStringList{"mnuPopup", "mnuBanners"};
        QTest::newRow("banners") << 3 << QStringList{"mnuBanners"}
                                 << QStringList{"mnuSettings", "mnuMail", "mnuPopup", "mnuMailList"};
    }

    void menusFollowTheScreen()
    {
        QFETCH(int, screen);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, hidden);
        WindowRig rig;
        rig.window.selectScreen(3);
        rig.window.selectScreen(screen);
        for (const QString &m : shown)
            QVERIFY2(rig.window.menu(m)->menuAction()->isVisible(), qPrintable(m));
        for (const QString &m : hidden)
            QVERIFY2(!rig.window.menu(m)->menuAction()->isVisible(), qPrintable(m));
        const char *ticks[] = {"mnuViewPopups", "mnuViewMail", "mnuViewBanner"};
        for (int i = 0; i < 3; ++i)
            QCOMPARE(rig.window.action(QString::fromLatin1(ticks[i]))->isChecked(), i + 1 == screen);
        QCOMPARE(rig.controller.currentScreen(), screen);
    }

    void statusTextShowsOnItsScreenOnly()
    {
        WindowRig rig;
        rig.controller.UpdateStatusBar(PopupScreen, 1, QStringLiteral("Active"));
        rig.controller.UpdateStatusBar(MailScreen, 2, QStringLiteral("Messages: 4"));
        QCOMPARE(rig.window.statusPanels(), (QStringList{"Active", "", "", ""}));
        rig.window.selectScreen(MailScreen);
        QCOMPARE(rig.window.statusPanels(), (QStringList{"", "Messages: 4", "", ""}));
        rig.window.selectScreen(PopupScreen);
        QCOMPARE(rig.window.statusPanels().first(), QStringLiteral("Active"));
    }

    void panelSwitchEnablesThePopupItems()
    {
        // Without the popup side nothing runs the items, so none is enabled.
        {
            WindowRig bare;
            const PopupActions &a = bare.window.popupActions();
            for (int panel = 0; panel < 4; ++panel) {
                bare.window.selectPanel(panel);
                for (QAction *item : {a.add, a.edit, a.remove, a.find, a.ban, a.whitelist,
                                      a.load, a.merge, a.saveAs, a.wipe, a.options})
                    QVERIFY2(!item->isEnabled(), qPrintable(item->objectName()));
            }
        }
        PopupWindowRig rig;
        // "&Ban it!" is hidden at load, so it cannot be reached whatever its state.
        QVERIFY(!rig.window.action(QStringLiteral("mnuPopBan"))->isVisible());
        const QStringList items = {"mnuPopAdd", "mnuPopEdit", "mnuPopDelete", "mnuPopFind",
                                   "mnuPopWhitelist"};
        struct Case
        {
            int panel;
            QStringList enabled;
        };
        // Edit, Delete and Find do nothing on the Detected panel, nor does Whitelist.
        const Case cases[] = {
            {0, {"mnuPopAdd"}},
            {1, items},
            {2, {}},
            {3, {"mnuPopAdd", "mnuPopWhitelist"}},
        };
        for (const Case &c : cases) {
            rig.window.selectPanel(c.panel);
            for (const QString &item : items)
                QVERIFY2(rig.window.action(item)->isEnabled() == c.enabled.contains(item),
                     qPrintable(QStringLiteral("%1 on panel %2").arg(item).arg(c.panel)));
        }
    }

    void ctrlTabCyclesTheScreens()
    {
        WindowRig rig;
        rig.window.selectScreen(BannerScreen);
        QTest::keyClick(&rig.window, Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(rig.window.currentScreen(), int(PopupScreen));
        QTest::keyClick(&rig.window, Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(rig.window.currentScreen(), int(MailScreen));
    }

    void openAndHide()
    {
        WindowRig rig;
        QVERIFY(!rig.window.isVisible());
        rig.loop.monitorTimer().start();
        rig.window.openWindow();
        QVERIFY(rig.window.isVisible());
        QCOMPARE(rig.window.currentPanelKey(), QStringLiteral("tsPopups"));
        QVERIFY(!rig.loop.monitorTimer().isActive()); // the next detection tick restarts it
        rig.window.close(); // no close command: it hides to the tray
        QVERIFY(!rig.window.isVisible());
        rig.window.openWindow();
        rig.window.setWindowState(Qt::WindowMinimized);
        QVERIFY(!rig.window.isVisible());
        Q_EMIT rig.qtTray.doubleClicked(1);
        QVERIFY(rig.window.isVisible());
    }

    void trayMenu()
    {
        WindowRig rig;
        QStringList captions;
        for (QAction *a : rig.window.trayMenu()->actions())
            if (!a->isSeparator())
                captions << a->text();
        QCOMPARE(captions, (QStringList{"&Open K-Vorn", "&Options", "Mail Settings", "&Disable",
                                        "&Hide K-Vorn", "E&xit"}));
        QCOMPARE(rig.window.trayMenu()->defaultAction()->text(), QStringLiteral("&Open K-Vorn"));
        // Items without a command are shown disabled, never as a click that does nothing.
        for (const char *name : {"mnuSbOptions", "mnuFileOpen", "mnuFileUpdate"})
            QVERIFY2(!rig.window.action(QString::fromLatin1(name))->isEnabled(), name);
        // Disable from the tray ticks both Disable items.
        rig.window.action(QStringLiteral("mnuSbDisable"))->trigger();
        QVERIFY(rig.controller.isDisabled());
        QVERIFY(rig.window.action(QStringLiteral("mnuOpDisable"))->isChecked());
        QVERIFY(rig.window.action(QStringLiteral("mnuSbDisable"))->isChecked());
        rig.window.action(QStringLiteral("mnuOpDisable"))->trigger();
        QVERIFY(!rig.controller.isDisabled());
        QVERIFY(!rig.window.action(QStringLiteral("mnuSbDisable"))->isChecked());
        // The hidden Debug item suspends the timers.
        QVERIFY(!rig.window.action(QStringLiteral("mnuOpDebug"))->isVisible());
        rig.window.action(QStringLiteral("mnuOpDebug"))->trigger();
        QVERIFY(rig.controller.debugChecked());
        QVERIFY(!rig.loop.detectionTimer().isActive());
    }

    void trayExitAsksAndSaves()
    {
        WindowRig rig;
        rig.options.Sound = true;
        rig.prompt.answers = {Prompt::Answer::Yes};
        QSignalSpy quit(&rig.controller, &MainController::quitNow);
        rig.window.action(QStringLiteral("mnuSbExit"))->trigger();
        QCOMPARE(quit.count(), 1);
        QCOMPARE(rig.store.read(kOptionsSection, QStringLiteral("Sound"), QString()),
                 QStringLiteral("True"));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"

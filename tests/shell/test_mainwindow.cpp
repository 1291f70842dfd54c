// SPDX-License-Identifier: GPL-3.0-or-later
#include "CoreRig.h"
#include "PopupWindowRig.h"
#include "WindowTexts.h"

#include "popups/PopupLoop.h"
#include "shell/MainWindow.h"
#include "shell/QtTrayIcon.h"
#include "shell/TitleRoom.h"
#include "shell/WidgetPrompt.h"

#include <QAction>
#include <QApplication>
#include <QHash>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QTimer>
#include <QTreeView>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>

using namespace kvorn;
using namespace kvorn::test;

namespace {
/// The access key a caption gives ("&File" gives F), or none.
QChar accessKey(const QString &caption)
{
    for (qsizetype i = caption.indexOf(QLatin1Char('&')); i >= 0 && i + 1 < caption.size();
         i = caption.indexOf(QLatin1Char('&'), i + 2)) {
        if (caption[i + 1] != QLatin1Char('&'))
            return caption[i + 1].toUpper();
    }
    return {};
}

/// Shared access keys among captions that are reached together, as "A: x, y".
QStringList clashes(const QStringList &captions)
{
    QHash<QChar, QStringList> byKey;
    for (const QString &c : captions) {
        if (const QChar key = accessKey(c); !key.isNull())
            byKey[key] << c;
    }
    QStringList out;
    for (auto it = byKey.cbegin(); it != byKey.cend(); ++it) {
        if (it.value().size() > 1)
            out << QStringLiteral("%1: %2").arg(it.key(), it.value().join(QStringLiteral(", ")));
    }
    return out;
}

/// A caption as shown: "&&" is one "&", a single one marks the access key.
QString plain(QString caption)
{
    caption.replace(QStringLiteral("&&"), QString(QChar(1)));
    caption.remove(QLatin1Char('&'));
    caption.replace(QChar(1), QLatin1Char('&'));
    return caption;
}

/// Every menu's items, its submenus' and the tray menu's: no two items of one menu share
/// an access key.
void collectMenuClashes(QMenu *menu, QStringList &out)
{
    QStringList captions;
    for (QAction *a : menu->actions()) {
        if (a->isSeparator() || !a->isVisible())
            continue;
        captions << a->text();
        if (a->menu())
            collectMenuClashes(a->menu(), out);
    }
    for (const QString &c : clashes(captions))
        out << menu->title() + QStringLiteral(" > ") + c;
}
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
        const QStringList captions = {"&Popup Killer", "Ma&il Filter", "&Banner Blocker"};
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
        QCOMPARE(captions, (QStringList{"&Open K-Vorn", "O&ptions", "Mail Settings", "&Disable",
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

    void everyScreenHasItsOwnAccessKeys()
    {
        WindowRig rig;
        for (int screen = PopupScreen; screen <= BannerScreen; ++screen) {
            rig.window.selectScreen(screen);
            QStringList menus;
            QStringList captions;
            for (QAction *a : rig.window.menuBar()->actions()) {
                if (a->isVisible()) {
                    menus << plain(a->text());
                    captions << a->text();
                }
            }
            // The tab strips of this screen are reached by the same Alt keys.
            for (QTabBar *tabs : rig.window.findChildren<QTabBar *>()) {
                if (!tabs->isVisibleTo(&rig.window))
                    continue;
                for (int i = 0; i < tabs->count(); ++i)
                    captions << tabs->tabText(i);
            }
            const QString where = QStringLiteral("screen %1").arg(screen);
            QStringList sameNames = menus;
            sameNames.removeDuplicates();
            QVERIFY2(sameNames.size() == menus.size(),
                     qPrintable(where + QStringLiteral(": ") + menus.join(QStringLiteral(", "))));
            const QStringList shared = clashes(captions);
            QVERIFY2(shared.isEmpty(),
                     qPrintable(where + QStringLiteral(": ") + shared.join(QStringLiteral("; "))));
            // Every menu of the bar opens by a key of its own.
            for (QAction *a : rig.window.menuBar()->actions()) {
                if (a->isVisible())
                    QVERIFY2(!accessKey(a->text()).isNull(), qPrintable(a->text()));
            }
            QStringList itemClashes;
            for (QAction *a : rig.window.menuBar()->actions())
                collectMenuClashes(a->menu(), itemClashes);
            collectMenuClashes(rig.window.trayMenu(), itemClashes);
            QVERIFY2(itemClashes.isEmpty(), qPrintable(itemClashes.join(QStringLiteral("; "))));
        }
    }

    void trayMenuFollowsTheWindow()
    {
        WindowRig rig;
        QAction *hide = rig.window.action(QStringLiteral("mnuSbHide"));
        // The window starts hidden: nothing to hide.
        QVERIFY(!hide->isEnabled());
        rig.window.openWindow();
        QVERIFY(hide->isEnabled());
        // A right click on the icon shows the menu with the window open too.
        Q_EMIT rig.qtTray.mouseUp(2);
        QVERIFY(rig.window.trayMenu()->isVisible());
        rig.window.trayMenu()->hide();
        hide->trigger();
        QVERIFY(!rig.window.isVisible());
        QVERIFY(!hide->isEnabled());
        Q_EMIT rig.qtTray.mouseUp(2);
        QVERIFY(rig.window.trayMenu()->isVisible());
        rig.window.trayMenu()->hide();
    }

    void listColumnsFitTheirRows()
    {
        PopupWindowRig rig;
        rig.k.core.options.AutoColumn = true;
        rig.window.resize(1200, 500);
        rig.window.openWindow();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
        QTreeView *view = rig.panels.blackList;
        const QString longEntry =
            QStringLiteral("*Free Casino Bonus Offers Tonight Only - Click Here Now*");
        rig.k.lists.blackList().append({longEntry, true, QStringLiteral("12/9/26"), {}});
        const int needed = view->fontMetrics().horizontalAdvance(longEntry);
        QTRY_VERIFY2(view->header()->sectionSize(0) > needed,
                     qPrintable(QString::number(view->header()->sectionSize(0))));
    }

    void firstWindowShowsEveryColumnOfTheFirstList()
    {
        PopupWindowRig rig;
        rig.k.lists.blackList().append(
            {QStringLiteral("*a rather long popup title that would push the dates out*"), true,
             QStringLiteral("01/01/01"), QStringLiteral("12/9/26")});
        // The size of a first start, with nothing stored yet.
        rig.window.resize(5085 / 15, 5580 / 15);
        rig.window.openWindow();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
        QTreeView *view = rig.panels.blackList;
        QTRY_VERIFY(view->isVisible());
        QHeaderView *header = view->header();
        const int columns = view->model()->columnCount();
        QTRY_VERIFY2(header->sectionViewportPosition(columns - 1) +
                             header->sectionSizeHint(columns - 1) <=
                         view->viewport()->width(),
                     qPrintable(QStringLiteral("%1 + %2 > %3")
                                    .arg(header->sectionViewportPosition(columns - 1))
                                    .arg(header->sectionSizeHint(columns - 1))
                                    .arg(view->viewport()->width())));
    }

    void smallMessageBoxesShowTheirWholeTitle_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("text");
        QTest::newRow("banner import") << "Load Banner Servers" << "Done.";
        QTest::newRow("mail address") << "Add Mail Address to K-Vorn" << "Added.";
        QTest::newRow("proxy") << "Proxy Setup" << "No.";
    }

    void smallMessageBoxesShowTheirWholeTitle()
    {
        QFETCH(QString, title);
        QFETCH(QString, text);
        int width = 0;
        QTimer::singleShot(0, [&width] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                width = box->width();
                box->accept();
            }
        });
        WidgetPrompt prompt;
        prompt.message(text, Prompt::Buttons::Ok, Prompt::Icon::Information, title);
        QVERIFY2(width >= titleRoom(title), qPrintable(QString::number(width)));
    }

    void noMisspeltMenuText()
    {
        WindowRig rig;
        QStringList texts = windowTexts(&rig.window);
        addActionTexts(texts, rig.window.trayMenu()->actions());
        QCOMPARE(misspeltTexts(texts), QStringList());
        QVERIFY(texts.contains(QStringLiteral("Popup Blacklist")));
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

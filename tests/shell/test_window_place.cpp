// SPDX-License-Identifier: GPL-3.0-or-later
#include "CoreRig.h"

#include "log/KillLog.h"
#include "shell/HelpWindow.h"
#include "shell/MainWindow.h"
#include "shell/QtTrayIcon.h"
#include "shell/ScrambleDelegate.h"
#include "shell/ShellCommands.h"
#include "shell/WindowPlace.h"

#include <QAction>
#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTest>
#include <QTextBrowser>
#include <QTreeView>
#include <QVBoxLayout>

using namespace kvorn;
using namespace kvorn::test;

namespace {
const QString kOptions = QStringLiteral("Options");
const QList<QRect> kOneScreen = {QRect(0, 0, 1280, 800)};
const QSize kMinimum(386, 333);

struct WindowRig : CoreRig
{
    QtTrayIcon qtTray;
    MainWindow window{controller, qtTray, options};
    WindowRig() { settings.LoadMyOptions(clock.now().date()); }
};
} // namespace

class TestWindowPlace : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void restoredPlace_data()
    {
        QTest::addColumn<QStringList>("stored"); // Left, Top, Width, Height; "-" = missing
        QTest::addColumn<QRect>("place");
        QTest::newRow("nothing stored: a third across and down, the minimum size")
            << QStringList{"-", "-", "-", "-"} << QRect(426, 266, 386, 372);
        QTest::newRow("as stored") << QStringList{"1500", "3000", "9000", "7500"}
                                   << QRect(100, 200, 600, 500);
        QTest::newRow("not numbers") << QStringList{"abc", "1.5e", "wide", ""}
                                     << QRect(426, 266, 386, 372);
        QTest::newRow("off every screen") << QStringList{"1499985", "3000", "9000", "7500"}
                                          << QRect(426, 266, 600, 500);
        QTest::newRow("half off still counts") << QStringList{"12000", "3000", "9000", "7500"}
                                               << QRect(800, 200, 600, 500);
        QTest::newRow("far up and left") << QStringList{"-30000", "-30000", "9000", "7500"}
                                         << QRect(426, 266, 600, 500);
        QTest::newRow("below the minimum") << QStringList{"1500", "1500", "3000", "3000"}
                                           << QRect(100, 100, 386, 333);
        QTest::newRow("larger than the screen")
            << QStringList{"0", "0", "60000", "60000"} << QRect(0, 0, 1280, 800);
    }

    void restoredPlace()
    {
        QFETCH(QStringList, stored);
        QFETCH(QRect, place);
        CoreRig rig;
        const char *keys[] = {"Left", "Top", "Width", "Height"};
        for (int i = 0; i < 4; ++i) {
            if (stored[i] != QLatin1String("-"))
                rig.store.write(kOptions, QString::fromLatin1(keys[i]), stored[i]);
        }
        QCOMPARE(WindowPlace::restore(rig.store, kOneScreen, kMinimum), place);
    }

    void placeOnTheSecondScreen()
    {
        CoreRig rig;
        WindowPlace::store(rig.store, QPoint(1400, 100), QSize(500, 400));
        const QList<QRect> two = {QRect(0, 0, 1280, 800), QRect(1280, 0, 1024, 768)};
        QCOMPARE(WindowPlace::restore(rig.store, two, kMinimum), QRect(1400, 100, 500, 400));
        // The second screen is gone: back on the first.
        QCOMPARE(WindowPlace::restore(rig.store, kOneScreen, kMinimum).topLeft(), QPoint(426, 266));
    }

    void movingAndResizingAreStored()
    {
        WindowRig rig;
        rig.window.restorePlace(rig.store);
        rig.window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
        rig.window.move(120, 90);
        QTRY_COMPARE(rig.store.read(kOptions, QStringLiteral("Left")),
                     std::optional<QString>(QStringLiteral("1800")));
        QCOMPARE(rig.store.read(kOptions, QStringLiteral("Top")),
                 std::optional<QString>(QStringLiteral("1350")));
        rig.window.resize(640, 480);
        QTRY_COMPARE(rig.store.read(kOptions, QStringLiteral("Width")),
                     std::optional<QString>(QStringLiteral("9600")));
        QCOMPARE(rig.store.read(kOptions, QStringLiteral("Height")),
                 std::optional<QString>(QStringLiteral("7200")));

        // A second window from the same store comes back in the same place.
        QtTrayIcon tray2;
        MainWindow again(rig.controller, tray2, rig.options);
        again.restorePlace(rig.store);
        QCOMPARE(again.pos(), QPoint(120, 90));
        QCOMPARE(again.size(), QSize(640, 480));
    }

    void nothingIsStoredBeforeTheRestore()
    {
        WindowRig rig;
        rig.window.resize(700, 500);
        rig.window.move(10, 10);
        QVERIFY(!rig.store.read(kOptions, QStringLiteral("Width")));
    }

    void autoColumnOnResize_data()
    {
        QTest::addColumn<bool>("autoColumn");
        QTest::newRow("on") << true;
        QTest::newRow("off") << false;
    }

    void autoColumnOnResize()
    {
        QFETCH(bool, autoColumn);
        WindowRig rig;
        rig.options.AutoColumn = autoColumn;
        QStandardItemModel model(2, 2);
        model.setItem(0, 0, new QStandardItem(QString(200, QLatin1Char('w'))));
        model.setItem(1, 1, new QStandardItem(QStringLiteral("x")));
        auto *view = new QTreeView;
        view->setModel(&model);
        rig.window.setScreenWidget(QStringLiteral("tsKmail"), view);
        rig.window.show();
        view->setColumnWidth(0, 20);
        rig.window.resize(rig.window.width() + 40, rig.window.height());
        QTest::qWait(250);
        QCOMPARE(view->columnWidth(0) >= static_cast<QAbstractItemView *>(view)->sizeHintForColumn(0), autoColumn);
        rig.window.setScreenWidget(QStringLiteral("tsKmail"), new QWidget);
        delete view;
    }

    void scrambledListShowsBullets()
    {
        WindowRig rig;
        QStandardItemModel model(1, 1);
        model.setItem(0, 0, new QStandardItem(QStringLiteral("*casino* night")));
        model.item(0, 0)->setToolTip(QStringLiteral("*casino* night"));
        auto *view = new QTreeView;
        view->setObjectName(QStringLiteral("lvTitles"));
        view->setModel(&model);
        rig.window.setPanelWidget(QStringLiteral("tsPopups"), view);
        rig.options.accepted = true;
        rig.options.ScrambleText = true;
        rig.window.ApplyDisplayOptions();
        auto *delegate = qobject_cast<ScrambleDelegate *>(view->itemDelegate());
        QVERIFY(delegate);
        QCOMPARE(delegate->displayText(model.index(0, 0).data(), QLocale()),
                 QString(8, QChar(0x2022)) + QLatin1Char(' ') + QString(5, QChar(0x2022)));
        QCOMPARE(model.index(0, 0).data().toString(), QStringLiteral("*casino* night"));
        // A hover does not give the text away.
        QHelpEvent help(QEvent::ToolTip, QPoint(2, 2), QPoint(2, 2));
        QVERIFY(delegate->helpEvent(&help, view, QStyleOptionViewItem(), model.index(0, 0)));

        rig.options.ScrambleText = false;
        rig.window.ApplyDisplayOptions();
        QVERIFY(!qobject_cast<ScrambleDelegate *>(view->itemDelegate()));
        delete view;
    }

    void helpItems_data()
    {
        QTest::addColumn<bool>("havePage");
        QTest::newRow("with the help page") << true;
        QTest::newRow("without") << false;
    }

    void helpItems()
    {
        QFETCH(bool, havePage);
        WindowRig rig;
        KillLog log(rig.options, rig.controller, rig.clock, rig.env.programFolder());
        FakeDesktopShell desktop;
        QString page;
        if (havePage) {
            rig.env.writeFile(QStringLiteral("help.html"),
                              "<html><body><p>Topics</p><h2 id=\"faq\">FAQ</h2>"
                              "<h2 id=\"index\">Index</h2></body></html>");
            page = rig.env.file(QStringLiteral("help.html"));
        }
        installShellCommands(rig.window, {log, rig.options, rig.store, desktop,
                                          rig.env.programFolder(), page});
        const char *items[] = {"mnuHelpTopics", "mnuHelpFAQ", "mnuHelpIndex"};
        for (const char *name : items) {
            QAction *item = rig.window.action(QString::fromLatin1(name));
            QCOMPARE(item->isEnabled(), havePage);
            if (havePage)
                item->trigger();
        }
        if (havePage) {
            // The program shows the page itself: a desktop without a working browser
            // would show nothing and say nothing.
            QVERIFY(desktop.opened.isEmpty());
            auto *help = rig.window.findChild<HelpWindow *>(QStringLiteral("frmHelp"));
            QVERIFY(help);
            QVERIFY(help->isVisible());
            QCOMPARE(rig.window.findChildren<HelpWindow *>().size(), 1);
            QCOMPARE(QUrl(help->browser()->source()).toLocalFile(), page);
            QVERIFY(help->browser()->toPlainText().contains(QStringLiteral("FAQ")));
            // The browser stays a choice, and a failed one is reported.
            auto *external = help->findChild<QPushButton *>(QStringLiteral("cmdOpenInBrowser"));
            external->click();
            QCOMPARE(desktop.opened.size(), 1);
            QCOMPARE(QUrl(desktop.opened[0]).toLocalFile(), page);
            QCOMPARE(QUrl(desktop.opened[0]).fragment(), QStringLiteral("index"));
            auto *failed = help->findChild<QLabel *>(QStringLiteral("lblBrowserFailed"));
            QVERIFY(failed->isHidden());
            desktop.works = false;
            external->click();
            QVERIFY(!failed->isHidden());
            QVERIFY(help->isVisible());
            help->close();
        }
        QVERIFY(rig.window.action(QStringLiteral("mnuHelpTip"))->isEnabled());
        QVERIFY(rig.window.action(QStringLiteral("mnuViewStats"))->isEnabled());
    }

    void theHelpPageShipsWithTheSources()
    {
        const QString page = findHelpPage(QStringLiteral("/nonexistent/bin"),
                                          QStringLiteral(KVORN_SOURCE_DIR "/doc/help.html"));
        QCOMPARE(page, QStringLiteral(KVORN_SOURCE_DIR "/doc/help.html"));
        QCOMPARE(findHelpPage(QStringLiteral("/nonexistent/bin"), QStringLiteral("/nonexistent/x")),
                 QString());
    }
};

QTEST_MAIN(TestWindowPlace)
#include "test_window_place.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
// The detected panel: its view over the detected list, the empty text the killer drives,
// and the log's columns sized to a kill's texts.
#include "FakeWindowSystem.h"
#include "KillerRig.h"
#include "popups/DetectedListModel.h"
#include "shell/MainWindow.h"
#include "shell/PopupPanels.h"
#include "shell/QtTrayIcon.h"

#include <QHeaderView>
#include <QLabel>
#include <QTest>

using namespace kvorn;
using namespace kvorn::test;

class TestDetectedPanel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void emptyTextAndViewFollowTheKiller()
    {
        FakeWindowSystem desktop;
        KillerRig k{desktop};
        QtTrayIcon tray;
        MainWindow window{k.core.controller, tray, k.core.options};
        const PopupPanels panels = installPopupPanels(window, k.lists);
        QTreeView *view = installDetectedPanel(window, k.lists, k.killer, panels.logList);
        QCOMPARE(view->objectName(), QStringLiteral("lvMonitor"));
        QCOMPARE(view->model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("Detected Items (double click to add)"));
        QLabel *empty = nullptr;
        for (QLabel *label : window.findChildren<QLabel *>()) {
            if (label->text() == QStringLiteral("No items Detected or Detection is Disabled"))
                empty = label;
        }
        QVERIFY(empty);
        QCOMPARE(view->parentWidget(), empty->parentWidget());

        const auto shows = [&](bool emptyText) {
            return empty->isVisibleTo(&window) == emptyText &&
                   view->isVisibleTo(&window) != emptyText;
        };
        QVERIFY(shows(true));
        const QString title =
            QStringLiteral("A remarkably long title of a casino window that wants room");
        desktop.addWindow({QStringLiteral("chromium"), QStringLiteral("Chromium")},
                          title + QStringLiteral(" - Chromium"));
        k.killer.SurveyWindows();
        QVERIFY(shows(false));
        QCOMPARE(view->model()->index(0, 0).data().toString(), title);
        // Selection both ways: the list commands read the model's current entry.
        view->setCurrentIndex(view->model()->index(0, 1));
        QCOMPARE(k.lists.detectedList().currentRow(), 0);
        k.lists.detectedList().clearSelection();
        QVERIFY(!view->selectionModel()->currentIndex().isValid());

        // A kill widens the log's first column to the title.
        const int before = panels.logList->columnWidth(0);
        k.blackList(QStringLiteral("*casino*"));
        k.killer.tmrMonitor_Timer();
        QCOMPARE(k.log.KilledPops(), 1);
        QVERIFY(panels.logList->columnWidth(0) > before);
        QVERIFY(panels.logList->columnWidth(0) >=
                panels.logList->fontMetrics().horizontalAdvance(title));

        // Gone from the desktop and pruned: the text shows again; disabling shows it too.
        k.killer.SurveyWindows();
        QVERIFY(shows(true));
        desktop.addWindow({QStringLiteral("chromium"), QStringLiteral("Chromium")},
                          QStringLiteral("News - Chromium"));
        k.killer.SurveyWindows();
        QVERIFY(shows(false));
        Q_EMIT k.loop.detectedEmptyTextShown();
        QVERIFY(shows(true));
    }
};

QTEST_MAIN(TestDetectedPanel)
#include "test_detected_panel.moc"

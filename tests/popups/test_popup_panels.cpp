// SPDX-License-Identifier: GPL-3.0-or-later
// The popup panels' views over the list models: selection both ways, check boxes, sorting
// by header clicks, the log's "Clear".
#include "CoreRig.h"

#include "popups/LogListModel.h"
#include "popups/PopupLists.h"
#include "shell/MainWindow.h"
#include "shell/PopupPanels.h"
#include "shell/QtTrayIcon.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTest>

using namespace kvorn;
using namespace kvorn::test;

class TestPopupPanels : public QObject
{
    Q_OBJECT

private:
    struct Rig
    {
        CoreRig core;
        QtTrayIcon tray;
        MainWindow window{core.controller, tray, core.options};
        PopupLists lists{{core.controller, core.tray, core.clock}, core.env.programFolder()};
        PopupPanels panels = installPopupPanels(window, lists);

        void add(const char *text, const char *added, bool enabled = true)
        {
            PopupEntry e;
            e.text = QString::fromUtf8(text);
            e.enabled = enabled;
            e.dateAdded = QString::fromUtf8(added);
            e.lastUsed = noDateText();
            lists.blackList().append(e);
        }
        QStringList column(int c) const
        {
            QStringList out;
            const QAbstractItemModel *m = panels.blackList->model();
            for (int r = 0; r < m->rowCount(); ++r)
                out.append(m->index(r, c).data().toString());
            return out;
        }
    };

private Q_SLOTS:
    void viewsSitOnTheirPanels()
    {
        Rig rig;
        QCOMPARE(rig.panels.blackList->objectName(), QStringLiteral("lvTitles"));
        QCOMPARE(rig.window.findChild<QTreeView *>(QStringLiteral("lvExclude")),
                 rig.panels.whiteList);
        QCOMPARE(rig.window.findChild<QTreeView *>(QStringLiteral("lvLog")), rig.panels.logList);
        QCOMPARE(rig.panels.blackList->model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("BlackList Items"));
        QCOMPARE(rig.panels.whiteList->model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("White List (will not be closed)"));
        QCOMPARE(rig.panels.logList->model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("Closed Popup Title "));
    }

    void selectionFollowsTheModelAndTheUser()
    {
        Rig rig;
        rig.add("alpha", "01/01/03");
        rig.add("*casino*", "01/01/03");
        rig.add("zeta", "01/01/03");
        PopupListModel &black = rig.lists.blackList();
        QVERIFY(rig.lists.FindPopupEntry(black, QStringLiteral("casino night"), true));
        QItemSelectionModel *sel = rig.panels.blackList->selectionModel();
        QCOMPARE(sel->selectedRows().size(), 1);
        QCOMPARE(sel->selectedRows().first().row(), black.currentRow());
        QCOMPARE(sel->currentIndex().row(), black.currentRow());

        // The user picks two rows: the model knows them, the last clicked is current.
        sel->select(black.index(0, 0),
                    QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        sel->setCurrentIndex(black.index(2, 0),
                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(black.selectedRows(), (QList<int>{0, 2}));
        QCOMPARE(black.currentRow(), 2);

        // Unticking a row through the view's model is a change to save.
        QVERIFY(rig.panels.blackList->model()->setData(black.index(2, 0), Qt::Unchecked,
                                                       Qt::CheckStateRole));
        QVERIFY(rig.lists.blackListChanged());
        QCOMPARE(black.index(2, 0).data(Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    }

    void headerClicksSort()
    {
        Rig rig;
        rig.add("b", "12/31/2003");
        rig.add("a", "01/02/2004");
        rig.add("c", "06/01/2003");
        QCOMPARE(rig.column(0), (QStringList{"a", "b", "c"}));
        QHeaderView *header = rig.panels.blackList->header();
        // Right after start the list is sorted by its first column: a click reverses it.
        Q_EMIT header->sectionClicked(0);
        QCOMPARE(rig.column(0), (QStringList{"c", "b", "a"}));
        // Dates sort as text.
        Q_EMIT header->sectionClicked(1);
        QCOMPARE(rig.column(1), (QStringList{"01/02/2004", "06/01/2003", "12/31/2003"}));
        // New entries keep to the order.
        rig.add("d", "03/03/2003");
        QCOMPARE(rig.column(0), (QStringList{"a", "d", "c", "b"}));
    }

    void clearEmptiesTheLog()
    {
        Rig rig;
        LogListModel &log = rig.lists.logList();
        log.bookKill(QStringLiteral("Casino"), QStringLiteral("*casino*"),
                     QStringLiteral("12/9/26"));
        log.bookKill(QStringLiteral("casino"), QStringLiteral("*casino*"),
                     QStringLiteral("12/9/26"));
        log.bookKill(QStringLiteral("Another"), QStringLiteral("Window Limit"),
                     QStringLiteral("12/9/26"));
        QCOMPARE(log.count(), 2);
        QCOMPARE(log.entry(log.exactRow(QStringLiteral("CASINO"))).count, 2);
        QCOMPARE(log.index(0, 0).data().toString(), QStringLiteral("Another"));
        rig.panels.clearLog->click();
        QCOMPARE(log.count(), 0);
    }
};

QTEST_MAIN(TestPopupPanels)
#include "test_popup_panels.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QTreeView>

class QPushButton;

namespace kvorn {

class MainWindow;
class PopupLists;
class PopupListModel;
class LogListModel;
class PopupKiller;

/// A list view over a black, white or banned list. The model holds the selection, the
/// current row and the sort order; the view shows them and hands the user's clicks back.
class PopupListView : public QTreeView
{
    Q_OBJECT

public:
    PopupListView(PopupListModel &model, QWidget *parent = nullptr);

private:
    void showModelSelection();
    void takeViewSelection();
    void onHeaderClicked(int section);

    PopupListModel &m_model;
    bool m_syncing = false;
};

/// The views of the popup panels the lists fill.
struct PopupPanels
{
    PopupListView *blackList = nullptr;  ///< `lvTitles` on "tsPopups"
    PopupListView *whiteList = nullptr;  ///< `lvExclude` on "tsExclusions"
    PopupListView *bannedList = nullptr; ///< `lvBanned` on the tab-less "tsBanned"
    QTreeView *logList = nullptr;        ///< `lvLog` on "tsLog"
    QPushButton *clearLog = nullptr;     ///< the log panel's "Clear"
};

/// Puts the list views on the main window's popup panels.
PopupPanels installPopupPanels(MainWindow &window, PopupLists &lists);

/// Puts the detected list's view (`lvMonitor`) on "tsDetected", shows the panel's empty
/// text instead of it whenever the killer says so, and sizes the log view's columns to
/// their contents after each kill when the killer asks for it.
QTreeView *installDetectedPanel(MainWindow &window, PopupLists &lists, PopupKiller &killer,
                                QTreeView *logView);

} // namespace kvorn

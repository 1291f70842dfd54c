// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "popups/PopupCommands.h"
#include "shell/PopupPanels.h"

#include <QObject>
#include <QPointer>

class QTreeView;
class QAbstractItemView;

namespace kvorn {

struct Options;
class MainWindow;
class MainController;
class PopupLists;
class PopupLoop;
class Prompt;
class Clock;
class RegistryFunctions;
class WindowSystem;
class PopupAddDialog;

/// Connects the popup commands to the main window: the "Popup" menu with its per-panel and
/// per-list enabling, the right-click menus, the Del key, drops on the black list, a double
/// click on a detected row, the black-list file commands and Settings > "&Popup".
class PopupCommandsView : public QObject
{
    Q_OBJECT

public:
    struct Services
    {
        MainWindow &window;
        MainController &controller;
        PopupLoop &loop;
        PopupLists &lists;
        PopupCommands &commands;
        Prompt &prompt;
        Clock &clock;
        Options &options;
        const RegistryFunctions &registry;
        WindowSystem *windows; ///< to bring the quick-add dialog to the front; may be null
    };

    PopupCommandsView(Services services, const PopupPanels &panels, QTreeView *detectedView);
    ~PopupCommandsView() override;

    /// Why the options that act on key presses are off in this session (empty: they work).
    void setKeysUnavailable(const QString &reason) { m_keysOffReason = reason; }

    /// "&Add...": opens (or reopens) the add dialog. From the quick-add hot key it shows
    /// the hot key's title, on top of every window, adding to the black list.
    void addCommand(bool fromHotKey = false, const QString &hotTitle = QString());
    /// The add dialog while it is open, else null.
    PopupAddDialog *addDialog() const;
    /// Settings > "&Popup".
    void popupOptions();
    /// Enables the "Popup" items as a right click on this list does.
    void enableForList(PopupPanel list);
    /// The right click on a list before its menu opens: the row under the pointer becomes
    /// the selected row, and the items are enabled for the list.
    void rightClick(PopupPanel list, const QPoint &viewportPos);

    /// The panel shown, and the list (black or white) that the commands take as focused.
    PopupPanel shownPanel() const;
    PopupPanel focusedList() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void onPanelSwitched(const QString &key);
    QAbstractItemView *viewOf(PopupPanel list) const;

    Services m_s;
    PopupPanels m_panels;
    /// Drops land on it. Kept here because its events still arrive while the list is being
    /// destroyed, when the list can no longer be asked for it.
    QPointer<QWidget> m_blackViewport;
    QTreeView *m_detectedView;
    QPointer<PopupAddDialog> m_addDialog;
    QString m_keysOffReason;
};

} // namespace kvorn

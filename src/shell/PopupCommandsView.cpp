// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/PopupCommandsView.h"

#include "core/MainController.h"
#include "platform/WindowSystem.h"
#include "popups/DetectedListModel.h"
#include "popups/LogListModel.h"
#include "popups/PopupListModel.h"
#include "popups/PopupLists.h"
#include "popups/PopupLoop.h"
#include "shell/MainWindow.h"
#include "shell/PopupAddDialog.h"
#include "shell/PopupOptionsDialog.h"

#include <QAction>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QTreeView>

namespace kvorn {

PopupCommandsView::PopupCommandsView(Services services, const PopupPanels &panels,
                                     QTreeView *detectedView)
    : QObject(&services.window), m_s(services), m_panels(panels), m_detectedView(detectedView)
{
    const PopupActions &a = m_s.window.popupActions();
    PopupCommands &c = m_s.commands;
    connect(a.add, &QAction::triggered, this, [this] { addCommand(); });
    connect(a.edit, &QAction::triggered, this, [this] { m_s.commands.edit(focusedList()); });
    connect(a.remove, &QAction::triggered, this,
            [this] { m_s.commands.deleteSelected(shownPanel()); });
    connect(a.find, &QAction::triggered, this, [this] { m_s.commands.find(shownPanel()); });
    connect(a.ban, &QAction::triggered, this, [this] { m_s.commands.banIt(shownPanel()); });
    connect(a.whitelist, &QAction::triggered, this,
            [this] { m_s.commands.whitelist(shownPanel()); });
    connect(a.load, &QAction::triggered, &c, &PopupCommands::loadBlackList);
    connect(a.merge, &QAction::triggered, &c, &PopupCommands::merge);
    connect(a.saveAs, &QAction::triggered, &c, &PopupCommands::saveAs);
    connect(a.wipe, &QAction::triggered, &c, &PopupCommands::wipe);
    connect(a.options, &QAction::triggered, this, &PopupCommandsView::popupOptions);
    for (QAction *item : {a.load, a.merge, a.saveAs, a.wipe, a.options})
        item->setEnabled(true);

    connect(&m_s.window, &MainWindow::panelSwitched, this, &PopupCommandsView::onPanelSwitched);
    onPanelSwitched(m_s.window.currentPanelKey());

    const std::pair<PopupPanel, QAbstractItemView *> lists[] = {
        {PopupPanel::Detected, m_detectedView},
        {PopupPanel::Black, m_panels.blackList},
        {PopupPanel::White, m_panels.whiteList},
        {PopupPanel::Log, m_panels.logList},
    };
    for (const auto &[list, view] : lists) {
        if (!view)
            continue;
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(view, &QWidget::customContextMenuRequested, this,
                [this, list, view](const QPoint &pos) {
                    rightClick(list, pos);
                    m_s.window.popupActions().menu->popup(view->viewport()->mapToGlobal(pos));
                });
    }
    for (QAbstractItemView *view : {viewOf(PopupPanel::Black), viewOf(PopupPanel::White)}) {
        if (view)
            view->installEventFilter(this);
    }
    if (m_panels.blackList) {
        m_panels.blackList->setAcceptDrops(true);
        m_blackViewport = m_panels.blackList->viewport();
        m_blackViewport->setAcceptDrops(true);
        m_blackViewport->installEventFilter(this);
    }
    if (m_detectedView) {
        connect(m_detectedView, &QAbstractItemView::doubleClicked, this,
                [this](const QModelIndex &index) {
                    if (!index.isValid())
                        return;
                    m_s.lists.detectedList().selectRow(index.row());
                    addCommand();
                });
    }
}

PopupCommandsView::~PopupCommandsView()
{
    // The dialog has no parent to take it along.
    delete m_addDialog.data();
}

PopupAddDialog *PopupCommandsView::addDialog() const
{
    return m_addDialog.data();
}

QAbstractItemView *PopupCommandsView::viewOf(PopupPanel list) const
{
    switch (list) {
    case PopupPanel::Detected:
        return m_detectedView;
    case PopupPanel::Black:
        return m_panels.blackList;
    case PopupPanel::White:
        return m_panels.whiteList;
    case PopupPanel::Log:
        return m_panels.logList;
    case PopupPanel::None:
        break;
    }
    return nullptr;
}

PopupPanel PopupCommandsView::shownPanel() const
{
    if (m_s.window.currentScreen() != PopupScreen)
        return PopupPanel::None;
    const QString key = m_s.window.currentPanelKey();
    if (key == QLatin1String("tsDetected"))
        return PopupPanel::Detected;
    if (key == QLatin1String("tsPopups"))
        return PopupPanel::Black;
    if (key == QLatin1String("tsExclusions"))
        return PopupPanel::White;
    if (key == QLatin1String("tsLog"))
        return PopupPanel::Log;
    return PopupPanel::None;
}

PopupPanel PopupCommandsView::focusedList() const
{
    if (m_panels.whiteList && m_panels.whiteList->hasFocus())
        return PopupPanel::White;
    if (m_panels.blackList && m_panels.blackList->hasFocus())
        return PopupPanel::Black;
    // A menu opened from the menu bar may have moved the focus: the shown list counts.
    const PopupPanel shown = shownPanel();
    return shown == PopupPanel::Black || shown == PopupPanel::White ? shown : PopupPanel::None;
}

void PopupCommandsView::onPanelSwitched(const QString &key)
{
    const PopupActions &a = m_s.window.popupActions();
    QList<QAction *> on;
    if (key == QLatin1String("tsDetected"))
        on = {a.add};
    else if (key == QLatin1String("tsPopups"))
        on = {a.add, a.edit, a.remove, a.find, a.ban, a.whitelist};
    else if (key == QLatin1String("tsLog"))
        on = {a.add, a.ban, a.whitelist};
    // The Whitelist panel leaves them all off; its right-click menu turns them on.
    for (QAction *item : {a.add, a.edit, a.remove, a.find, a.ban, a.whitelist})
        item->setEnabled(on.contains(item));
}

void PopupCommandsView::enableForList(PopupPanel list)
{
    const PopupActions &a = m_s.window.popupActions();
    QList<QAction *> on;
    switch (list) {
    case PopupPanel::Detected:
        on = {a.add};
        break;
    case PopupPanel::Black:
        on = {a.edit, a.remove, a.find, a.ban, a.whitelist};
        break;
    case PopupPanel::White:
        on = {a.add, a.edit, a.remove, a.find};
        break;
    case PopupPanel::Log:
        on = {a.add, a.ban, a.whitelist};
        break;
    case PopupPanel::None:
        break;
    }
    for (QAction *item : {a.add, a.edit, a.remove, a.find, a.ban, a.whitelist})
        item->setEnabled(on.contains(item));
}

void PopupCommandsView::rightClick(PopupPanel list, const QPoint &viewportPos)
{
    QAbstractItemView *view = viewOf(list);
    if (!view)
        return;
    const QModelIndex index = view->indexAt(viewportPos);
    if (index.isValid()) {
        const int row = index.row();
        switch (list) {
        case PopupPanel::Detected:
            m_s.lists.detectedList().selectRow(row);
            break;
        case PopupPanel::Black:
            m_s.lists.blackList().selectOnly(row);
            m_s.lists.blackList().requestScrollTo(row);
            break;
        case PopupPanel::White:
            m_s.lists.whiteList().selectRow(row);
            break;
        case PopupPanel::Log:
            m_s.lists.logList().selectRow(row);
            break;
        case PopupPanel::None:
            break;
        }
    }
    view->setFocus(Qt::MouseFocusReason);
    enableForList(list);
}

bool PopupCommandsView::eventFilter(QObject *watched, QEvent *event)
{
    const bool onBlackViewport = m_blackViewport && watched == m_blackViewport;
    switch (event->type()) {
    case QEvent::KeyPress: {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() != Qt::Key_Delete || key->modifiers() != Qt::NoModifier)
            break;
        if (watched == m_panels.blackList) {
            m_s.commands.deleteKey(PopupPanel::Black);
            return true;
        }
        if (watched == m_panels.whiteList) {
            m_s.commands.deleteKey(PopupPanel::White);
            return true;
        }
        break;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove:
        if (onBlackViewport) {
            auto *drag = static_cast<QDragMoveEvent *>(event);
            if (drag->mimeData()->hasText()) {
                drag->acceptProposedAction();
                return true;
            }
        }
        break;
    case QEvent::Drop:
        if (onBlackViewport) {
            auto *drop = static_cast<QDropEvent *>(event);
            if (drop->mimeData()->hasText()) {
                m_s.commands.dropText(drop->mimeData()->text());
                drop->acceptProposedAction();
                return true;
            }
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void PopupCommandsView::addCommand(bool fromHotKey, const QString &hotTitle)
{
    MonitorPause pause(m_s.loop);
    if (!m_addDialog) {
        // No parent: the main window is usually hidden while the dialog is wanted.
        m_addDialog = new PopupAddDialog(m_s.lists, m_s.prompt, m_s.clock);
        connect(m_addDialog, &QDialog::finished, m_addDialog, &QObject::deleteLater);
    }
    PopupAddDialog *dialog = m_addDialog;
    dialog->reset();
    if (fromHotKey) {
        // The hot key's window and the black list, whatever panel the window shows.
        dialog->setEntryText(hotTitle);
        dialog->chooseBlackList(true);
    } else if (shownPanel() == PopupPanel::Log) {
        const LogListModel &log = m_s.lists.logList();
        const int row = log.currentRow();
        if (row >= 0 && row < log.count())
            dialog->setEntryText(log.entry(row).text);
    }
    // Changing the flags hides a shown window; the dialog is shown again right after.
    if (dialog->windowFlags().testFlag(Qt::WindowStaysOnTopHint) != fromHotKey)
        dialog->setWindowFlag(Qt::WindowStaysOnTopHint, fromHotKey);
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
    if (fromHotKey && m_s.windows)
        m_s.windows->activate(WindowId(dialog->winId()));
    m_s.loop.requestMonitorRecheck();
    m_s.lists.setBlackListChanged(true);
}

void PopupCommandsView::popupOptions()
{
    {
        PopupOptionsDialog dialog(m_s.options, m_s.prompt, m_s.registry, &m_s.window);
        dialog.setKeysUnavailable(m_keysOffReason);
        // Written at once: options that live only until the program's end are lost to a
        // crash or a session that is killed.
        if (dialog.exec() == QDialog::Accepted)
            m_s.controller.saveSettingsNow();
    }
    m_s.window.ApplyDisplayOptions();
    m_s.loop.requestMonitorRecheck();
    m_s.loop.clearDetectedList();
}

} // namespace kvorn

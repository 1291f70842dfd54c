// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QMenu;
class QPlainTextEdit;
class QTimer;
class QTreeView;

namespace kvorn {

class MailCheck;
class MailLists;
class MailProcessor;
class MessageListModel;
class MainWindow;
class Prompt;

/// The mail filter screen: the mail list `lvMailList` (eleven columns, check marks) and the
/// status box `txtMStatus`. The rows live in `MessageListModel`, the dialogue in `MailCheck`.
class MailScreenView : public QWidget
{
    Q_OBJECT

public:
    MailScreenView(MailCheck &check, MessageListModel &list, QWidget *parent = nullptr);

    QTreeView *view() const { return m_view; }
    QPlainTextEdit *statusBox() const { return m_status; }
    /// Sizes every column to the wider of its header and its contents.
    void autoSizeColumns();

private:
    void showStatus(const QString &text);
    void syncSelection(int row);

    MailCheck &m_check;
    MessageListModel &m_list;
    QTreeView *m_view;
    QPlainTextEdit *m_status;
    QTimer *m_fitLater;
    QTimer *m_syncLater;
    QTimer *m_paintLater;
};

/// Puts the mail screen on the main window and binds "&Check New Mail" and "&Stop Mail "
/// of the Mail menu to the check.
MailScreenView *installMailScreen(MainWindow &window, MailCheck &check, MessageListModel &list);

/// The mail list's context menu with the four "add" commands for the selected row's
/// sender; each action is named after its command ("mnuAddAddressToFriends" …).
QMenu *createMailListMenu(MailLists &lists, MessageListModel &list, QWidget *parent);

/// Binds the mail filter's commands: "&Process" runs the processing of marked mail,
/// "&Stop Mail " also stops it, and the mail list gets its context menu. Call after
/// `installMailScreen`; the other mail commands are `MailCommands`'.
void installMailFilter(MainWindow &window, MailScreenView &screen, MailProcessor &processor,
                       MailLists &lists, MessageListModel &list, Prompt &prompt);

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mail/MailListEntry.h"

#include <QDialog>
#include <functional>

class QPushButton;
class QTreeView;

namespace kvorn {

class MailLists;
class MailListEntryModel;
class MainController;
class Prompt;

/// The mail blacklist and friends list of the mail options window (`lvBlacklist`,
/// `lvFriends`) with their Add, Edit, Delete and Find buttons. The entries live in the
/// lists' models; this window only shows them.
class MailListsWindow : public QDialog
{
    Q_OBJECT

public:
    MailListsWindow(MailLists &lists, Prompt &prompt, QWidget *parent = nullptr);

    QTreeView *view(MailListKind kind) const;

    /// Shown inside another window (the mail options' tab): no close button of its own.
    void setEmbedded();
    /// Run when the window is closed with its button: the lists reach their files then,
    /// not only at the end of the program. Returns the errors, empty on success.
    void setSaveStep(std::function<QString()> save) { m_save = std::move(save); }

    // The buttons' commands, on the list named.
    void addEntry(MailListKind kind);
    void editEntry(MailListKind kind);
    void deleteEntries(MailListKind kind);
    void findEntry(MailListKind kind);

Q_SIGNALS:
    /// The blacklist's "Options" button.
    void optionsRequested();

private:
    QWidget *makePanel(MailListKind kind);
    void closeWithSave();
    void showSelected(MailListKind kind, int row);

    MailLists &m_lists;
    Prompt &m_prompt;
    QTreeView *m_black = nullptr;
    QTreeView *m_friends = nullptr;
    QWidget *m_closeBox = nullptr;
    std::function<QString()> m_save;
};

/// `LoadMailLists` as the program runs it: the popup killer's timers pause meanwhile and
/// the window "Loading Mail Blacklist" counts the blacklist's lines ("Items Loaded:").
/// `controller` may be null. Returns what could not be read, empty when all went well.
QString loadMailListsWithProgress(MailLists &lists, MainController *controller,
                                  QWidget *parent = nullptr);

} // namespace kvorn

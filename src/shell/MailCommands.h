// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mail/MailSettings.h"

#include <QObject>
#include <QPointer>
#include <functional>

class QToolBar;
class QToolButton;

namespace kvorn {

class MailAccountManager;
class MailAdvancedSelectDialog;
class MailCheck;
class MailLists;
class MailOptionsDialog;
class MailPreviewWindow;
class MailProcessor;
class MailScreenView;
class MainController;
class MainWindow;
class MessageListModel;
class Prompt;
class SecretStore;
class SettingsStore;

/// What the mail commands work on.
struct MailCommandsContext
{
    MailSettings &settings;
    MailAccounts &accounts;
    MailLists &lists;
    MessageListModel &list;
    MailCheck &check;
    MailProcessor &processor;
    Prompt &prompt;
    SettingsStore &store;
    /// Saves the mail settings, the accounts and both lists now; returns the errors.
    std::function<QString()> saveMail;
    /// Reloads both lists from their files; returns what could not be read.
    std::function<QString()> reloadLists;
    /// Saves the program settings without ending anything; may be null.
    MainController *controller = nullptr;
    /// The keyring that holds the account passwords; may be null.
    SecretStore *secrets = nullptr;
};

/// The mail screen's commands beyond checking and processing: the rest of the mail list's
/// context menu, the A and B keys, the toolbar, the screen's two buttons, the account and
/// option dialogs from the menus and the tray, the advanced selection and the blacklist
/// import. The dialogs are made when first needed.
class MailCommands : public QObject
{
    Q_OBJECT

public:
    MailCommands(MainWindow &window, MailScreenView &screen, MailCommandsContext context);
    ~MailCommands() override;

    void openAccounts();
    /// Opens "Mail Options" on `tab` (-1: the tab it showed last).
    void openOptions(int tab);
    void findBlacklistItem();
    void markForDelete();
    void markForBounce();
    void previewMessage();
    void openAdvancedSelect();
    void openBlacklistImport();
    /// Toolbar: "Default Accounts" (true) or "All Accounts" (false), then a check.
    void checkAccounts(bool defaultOnly);
    /// Toolbar "Stop".
    void stop();

    MailOptionsDialog *optionsDialog();
    MailAccountManager *accountManager();
    MailPreviewWindow *previewWindow();
    QToolBar *toolbar() const { return m_toolbar; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildToolbar();
    void updateToolbar();
    QString saveNow();

    MainWindow &m_window;
    MailScreenView &m_screen;
    /// The list the A and B keys act on. Kept apart from the screen because its events
    /// still arrive while the screen is being destroyed, when it can no longer be asked.
    QPointer<QWidget> m_listView;
    MailCommandsContext m_c;
    QToolBar *m_toolbar = nullptr;
    QToolButton *m_checkButton = nullptr;
    QPointer<MailOptionsDialog> m_options;
    QPointer<MailAccountManager> m_accounts;
    QPointer<MailPreviewWindow> m_preview;
    QPointer<MailAdvancedSelectDialog> m_advanced;
};

} // namespace kvorn

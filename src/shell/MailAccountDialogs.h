// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mail/MailSettings.h"

#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <functional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTreeWidget;

namespace kvorn {

class Prompt;
class SecretStore;
class SettingsStore;

/// What the account dialogs work on: the account table and the accounts list in memory,
/// the store (to drop the sections of removed accounts), and the step that saves the mail
/// settings, the accounts and both mail lists at once.
struct MailAccountsContext
{
    MailSettings &settings;
    MailAccounts &accounts;
    SettingsStore &store;
    Prompt &prompt;
    /// Returns the errors, empty when everything was written.
    std::function<QString()> saveMail;
    /// The keyring that holds the account passwords; may be null.
    SecretStore *secrets = nullptr;
};

/// The fields of one account, as both the detail dialog and the wizard show them.
struct MailAccountFields
{
    QLineEdit *nickname = nullptr;
    QLineEdit *address = nullptr;
    QLineEdit *pop3 = nullptr;
    QLineEdit *smtp = nullptr;
    QLineEdit *user = nullptr;
    QLineEdit *password = nullptr;
    QComboBox *tls = nullptr;
    QCheckBox *secure = nullptr;
    QCheckBox *defaultCheck = nullptr;

    void show(const MailAccount &account);
    /// `account` with the fields' values, line breaks stripped (a pasted CR LF in a field
    /// would otherwise become a POP3 command of its own).
    MailAccount read(MailAccount account) const;
};

/// `frmMailAcctDetail` "Account Detail": shows and changes one account, or adds one.
class MailAccountDetail : public QDialog
{
    Q_OBJECT

public:
    /// `row` is the account edited; -1 adds a new account at the end.
    MailAccountDetail(MailAccountsContext context, int row, QWidget *parent = nullptr);

    /// "&OK": checks the fields, stores them in the table and closes; stays open (after
    /// saying why) when a field is missing or the nickname cannot be used.
    void accept() override;
    /// The row the account ended up in (after an add), -1 before "&OK".
    int row() const { return m_row; }

private:
    MailAccountsContext m_c;
    int m_row;
    MailAccountFields m_fields;
    QRadioButton *m_apop;
    QRadioButton *m_msn;
};

/// `frmMailWizard` "Add Mail Account": adds an account in five pages.
class MailAccountWizard : public QDialog
{
    Q_OBJECT

public:
    explicit MailAccountWizard(MailAccountsContext context, QWidget *parent = nullptr);

    int page() const;
    void next();
    void back();

Q_SIGNALS:
    /// An account was appended to the table at `row`.
    void accountAdded(int row);

private:
    void showPage(int page);
    void finish();

    MailAccountsContext m_c;
    QStackedWidget *m_pages;
    QPushButton *m_back;
    QPushButton *m_next;
    MailAccountFields m_fields;
    QComboBox *m_serverType;
};

/// `frmMailAddAccount` "Manage Mail Accounts": the accounts with add, change and remove.
/// "&Close" and the window's close box both save, removing only the stored sections of
/// the accounts removed (or renamed) while it was open.
class MailAccountManager : public QDialog
{
    Q_OBJECT

public:
    explicit MailAccountManager(MailAccountsContext context, QWidget *parent = nullptr);

    QTreeWidget *list() const { return m_list; }
    /// Re-reads the rows from the table and notes the accounts the store holds now.
    void reload();

    void addAccount();
    void properties();
    void removeAccount();
    /// "&Close": save and hide.
    void closeManager();
    /// The wizard of the last "&Add...", while it is open.
    MailAccountWizard *wizard() const { return m_wizard; }

    /// Escape, like the close box, ends with the save of "&Close".
    void reject() override { closeManager(); }

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void fillRows();
    int selectedRow() const;

    MailAccountsContext m_c;
    QTreeWidget *m_list;
    QPushButton *m_add;
    // A guarded pointer, not a "destroyed" handler: the wizard is destroyed as this
    // window's child, when this object is no longer a manager.
    QPointer<MailAccountWizard> m_wizard;
    QStringList m_stored;
};

/// The labels of the "Connection security:" choice, in the order of the stored values.
QStringList mailTlsChoices();

} // namespace kvorn

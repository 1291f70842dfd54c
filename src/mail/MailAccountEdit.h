// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mail/MailSettings.h"

#include <QString>
#include <QStringList>

namespace kvorn {

class SecretStore;
class SettingsStore;

/// The account table as the account dialogs edit it. Row n of the manager is table entry
/// n and the n-th name of the accounts list; every change below rebuilds the list at once,
/// so a save at any moment (another dialog's OK, the end of the program) writes each
/// account under its own name.

/// The number of accounts (rows) the accounts list names.
int mailAccountCount(const MailSettings &settings);
/// The sub-key name of an account: "Acct-" and its nickname.
QString mailAccountSubKey(const QString &nickname);
/// The account's fields without CR and LF: a line break in a field would end a POP3 command
/// early and let the rest pass for a command of its own.
MailAccount withoutLineBreaks(MailAccount account);
/// Why `nickname` cannot name the account of `row` (-1 for a new account), empty when it
/// can: it is empty, holds "~" (the list's separator) or is another row's (case ignored).
QString nicknameProblem(const MailSettings &settings, const MailAccounts &accounts,
                        const QString &nickname, int row);
/// Appends an account; returns its row, or -1 when the table is full.
int addMailAccount(MailSettings &settings, MailAccounts &accounts, const MailAccount &account);
/// Replaces the account of `row`.
void updateMailAccount(MailSettings &settings, MailAccounts &accounts, int row,
                       const MailAccount &account);
/// Removes the account of `row`; the later entries move up by one.
void removeMailAccount(MailSettings &settings, MailAccounts &accounts, int row);
/// Rebuilds the accounts list from the first `count` entries' nicknames; an entry without a
/// nickname is taken out of the table, so the later names stay paired with their entries.
void rebuildMailAccountsList(MailSettings &settings, MailAccounts &accounts, int count);
/// Gives an account whose stored section has no "AcctName" (a hand-written file) the
/// nickname its sub-key name implies, so that the editing steps above keep it.
void nameNamelessAccounts(const MailSettings &settings, MailAccounts &accounts);
/// Removes the sections of the sub-keys in `before` that the accounts list no longer names
/// (removed or renamed accounts, whose stored passwords should not outlive them). Sections
/// the list never named are left alone.
/// Also drops their passwords from `secrets` when given.
void removeDroppedAccountSections(SettingsStore &store, const QStringList &before,
                                  const MailSettings &settings, SecretStore *secrets = nullptr);

} // namespace kvorn

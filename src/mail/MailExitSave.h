// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mail/MailSettings.h"

#include <QString>

namespace kvorn {

class MailLists;
class SettingsStore;
struct KillCounters;

/// The mail part of every end of the program: the kill log's mail counters into the
/// settings record (the record's own copies are stale by then), the mail settings with
/// the accounts, then the blacklist and the friends list. Returns the errors joined by
/// line breaks, empty when all was saved.
QString saveMailAtExit(SettingsStore &store, MailSettings &settings, const MailAccounts &accounts,
                       const KillCounters &counters, MailLists &lists,
                       MailPasswordStore *passwords = nullptr);

} // namespace kvorn

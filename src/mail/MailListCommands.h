// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mail/MailLists.h"

namespace kvorn {

class MessageListModel;

/// Runs one of the mail list's four "add" commands on its selected row: the sender (or
/// its domain) goes into the friends list or the blacklist, and the rows the new entry
/// covers get their mark, "Status" and "Blacklist" texts. Nothing happens without a
/// selected row or when the sender gives nothing to add.
MailListAddition runMailListAddCommand(MailLists &lists, MessageListModel &list,
                                       MailListAddCommand command);

} // namespace kvorn

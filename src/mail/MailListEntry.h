// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kvorn {

/// One entry of the mail blacklist or the friends list.
struct MailListEntry
{
    /// The check mark; new entries are active.
    bool Active = true;
    /// An address, or a pattern with "*" wildcards, as typed or added.
    QString Address;
    /// The date (short date text) of the last wildcard match; "01/01/01" when none.
    QString LastHit;
    /// The date (short date text) the entry was added.
    QString Added;

    friend bool operator==(const MailListEntry &, const MailListEntry &) = default;
};

/// Which of the two mail lists.
enum class MailListKind
{
    Blacklist,
    Friends
};

/// The date text a list file or a typed entry stands in with for "never".
inline QString mailListNoDateText()
{
    return QStringLiteral("01/01/01");
}

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace kvorn {

/// The two passes of a list look-up: the sender's address, then the extra text (the
/// message's last "received" line).
enum class MailListPass
{
    Address,
    Extra
};

/// The non-empty parts of a pattern split at "*". A pattern of stars alone has none.
QStringList wildcardParts(const QString &pattern);

/// The wildcard test of a list look-up on lower-case texts: every part occurs in `text`
/// (in the address pass, when `text` has no "@", followed by "@" or "."), in any order,
/// and the first occurrence of at least one part ends at the end of `text`. A pattern
/// without parts never matches.
bool wildcardCovers(const QStringList &lowerParts, const QString &lowerText, MailListPass pass);

/// `MatchesMailRow`: whether a mail list row not marked for deletion, whose sender text is
/// `from`, matches a pattern with "*": the pattern's parts occur in `from` in order, each
/// searched from where the one before it was found. Letter case is ignored. A pattern
/// without "*", or of stars alone, matches nothing. On a match `killEntry` (when given)
/// becomes the pattern in lower case.
bool MatchesMailRow(bool rowMarked, const QString &from, const QString &pattern,
                    QString *killEntry = nullptr);

/// The test of `MatchesMailRow` with the pattern's parts taken apart already (lower case,
/// `wildcardParts`), for testing one pattern against many rows: the parts occur in `from`
/// in order, letter case ignored. No parts: no match.
bool partsOccurInOrder(const QStringList &lowerParts, const QString &from);

} // namespace kvorn

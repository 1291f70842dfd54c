// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/MailEntryCheck.h"

#include "mail/MailListMatch.h"

namespace kvorn {

namespace {

bool isLabelCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == QLatin1Char('-') || c == QLatin1Char('_');
}

// A label character, a dot and a top-level domain: a letter and at least one more letter,
// digit or hyphen.
bool namesDomain(const QString &piece)
{
    const qsizetype n = piece.size();
    for (qsizetype dot = piece.indexOf(QLatin1Char('.')); dot >= 0;
         dot = piece.indexOf(QLatin1Char('.'), dot + 1)) {
        if (dot == 0 || !isLabelCharacter(piece.at(dot - 1)))
            continue;
        if (dot + 2 >= n)
            continue;
        const QChar first = piece.at(dot + 1);
        const QChar second = piece.at(dot + 2);
        if (first.isLetter() && (second.isLetterOrNumber() || second == QLatin1Char('-')))
            return true;
    }
    return false;
}

} // namespace

bool hasControlCharacter(const QString &text)
{
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0x2028 || u == 0x2029)
            return true;
    }
    return false;
}

EntryVerdict judgeMailEntry(const QString &entry)
{
    if (entry.size() > kMaxMailEntryLength || hasControlCharacter(entry))
        return EntryVerdict::Malformed;
    for (const QString &piece : wildcardParts(entry)) {
        if (namesDomain(piece))
            return EntryVerdict::Accepted;
    }
    return EntryVerdict::TooBroad;
}

} // namespace kvorn

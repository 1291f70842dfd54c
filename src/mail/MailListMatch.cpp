// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/MailListMatch.h"

namespace kvorn {

namespace {

// True when `part` occurs in `text` directly followed by `next`.
bool occursFollowedBy(const QString &text, const QString &part, QChar next)
{
    for (qsizetype i = text.indexOf(part); i >= 0; i = text.indexOf(part, i + 1)) {
        const qsizetype after = i + part.size();
        if (after < text.size() && text.at(after) == next)
            return true;
    }
    return false;
}

} // namespace

QStringList wildcardParts(const QString &pattern)
{
    return pattern.split(QLatin1Char('*'), Qt::SkipEmptyParts);
}

bool wildcardCovers(const QStringList &lowerParts, const QString &lowerText, MailListPass pass)
{
    const bool bareWord = pass == MailListPass::Address && !lowerText.contains(QLatin1Char('@'));
    bool endsText = false;
    for (const QString &part : lowerParts) {
        const qsizetype first = lowerText.indexOf(part);
        if (first < 0)
            return false;
        if (bareWord && !occursFollowedBy(lowerText, part, QLatin1Char('@')) &&
            !occursFollowedBy(lowerText, part, QLatin1Char('.')))
            return false;
        if (first + part.size() == lowerText.size())
            endsText = true;
    }
    return endsText;
}

bool MatchesMailRow(bool rowMarked, const QString &from, const QString &pattern, QString *killEntry)
{
    if (rowMarked || !pattern.contains(QLatin1Char('*')))
        return false;
    const QString lowered = pattern.toLower();
    const QStringList parts = wildcardParts(lowered);
    if (!partsOccurInOrder(parts, from))
        return false;
    if (killEntry)
        *killEntry = lowered;
    return true;
}

bool partsOccurInOrder(const QStringList &lowerParts, const QString &from)
{
    // Stars alone would cover every row: never take that as a match.
    if (lowerParts.isEmpty())
        return false;
    qsizetype position = 0;
    for (const QString &part : lowerParts) {
        const qsizetype found = from.indexOf(part, position, Qt::CaseInsensitive);
        if (found < 0)
            return false;
        position = found;
    }
    return true;
}

} // namespace kvorn

#pragma once

#include <QString>
#include <QStringView>

namespace kvorn {

/// The character that marks a pattern piece as matched; a piece that is exactly this
/// character therefore counts as matched without being searched.
inline constexpr QChar kPieceMarker = QChar(0xFF);

/// The wildcard test of the pattern lookup: `pattern` split at every "*" must be found in
/// `text` piece by piece, the first piece anchored at the start, the end never anchored.
/// Both texts are already lower-cased. Fast form: no allocation.
bool wildcardHit(QStringView pattern, QStringView text);

/// The same test done the long way: the pieces are split into a list and overwritten with
/// the marker as they are matched. Kept as the yardstick the fast form is checked against.
bool wildcardHitByMarks(const QString &pattern, const QString &text);

/// The lower-casing that every lookup applies to texts and entries (Unicode rules).
inline QString lookupCase(const QString &text)
{
    return text.toLower();
}

} // namespace kvorn

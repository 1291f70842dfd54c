// SPDX-License-Identifier: GPL-3.0-or-later
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

/// `lookupCase(text)` into `out`, whose buffer is used again: filing a large list then
/// costs no allocation per entry.
inline void lookupCaseInto(QString &out, const QString &text)
{
    const qsizetype n = text.size();
    const QChar *in = text.constData();
    for (qsizetype i = 0; i < n; ++i) {
        if (in[i].unicode() >= 0x80) {
            out = text.toLower();
            return;
        }
    }
    out.resize(n);
    QChar *to = out.data();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = in[i].unicode();
        to[i] = QChar(c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c);
    }
}

} // namespace kvorn

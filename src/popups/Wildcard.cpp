// SPDX-License-Identifier: GPL-3.0-or-later
#include "popups/Wildcard.h"

#include <QStringList>

namespace kvorn {

namespace {

bool isMarker(QStringView piece)
{
    return piece.size() == 1 && piece.front() == kPieceMarker;
}

// Searches a piece from position `c` (0-based) onwards and moves `c` past it when found.
bool searchPiece(QStringView piece, QStringView text, qsizetype &c)
{
    if (isMarker(piece))
        return true;
    if (piece.isEmpty())
        return c < text.size();
    if (c >= text.size())
        return false;
    const qsizetype at = text.indexOf(piece, c);
    if (at < 0)
        return false;
    c = at + piece.size();
    return true;
}

} // namespace

bool wildcardHit(QStringView pattern, QStringView text)
{
    qsizetype c = 0;
    qsizetype start = 0;
    bool first = true;
    bool matched = false;
    while (true) {
        if (!first && !matched)
            return false;
        qsizetype star = pattern.indexOf(QLatin1Char('*'), start);
        const bool last = star < 0;
        const QStringView piece = pattern.mid(start, (last ? pattern.size() : star) - start);
        if (piece.isEmpty()) {
            matched = true;
            if (!last) {
                // An empty piece hands over to the next one, which is searched at once.
                start = star + 1;
                star = pattern.indexOf(QLatin1Char('*'), start);
                const bool nextLast = star < 0;
                const QStringView next =
                    pattern.mid(start, (nextLast ? pattern.size() : star) - start);
                matched = searchPiece(next, text, c);
                if (nextLast)
                    return matched;
            }
        } else if (isMarker(piece)) {
            matched = true;
        } else if (first) {
            matched = text.startsWith(piece);
            c = piece.size();
        } else {
            matched = searchPiece(piece, text, c);
        }
        first = false;
        if (last)
            return matched;
        start = star + 1;
    }
}

bool wildcardHitByMarks(const QString &pattern, const QString &text)
{
    const QString mark(kPieceMarker);
    QStringList pieces = pattern.split(QLatin1Char('*'));
    const qsizetype n = pieces.size() - 1;
    qsizetype c = 1; // 1-based, as the walk is described
    const qsizetype len = text.size();

    const auto search = [&](qsizetype j) {
        const QString p = pieces.at(j);
        if (p == mark)
            return;
        if (p.isEmpty()) {
            if (c <= len)
                pieces[j] = mark;
            return;
        }
        for (; c <= len; ++c) {
            if (text.mid(c - 1, p.size()) == p) {
                pieces[j] = mark;
                c += p.size();
                return;
            }
        }
    };

    for (qsizetype j = 0; j <= n; ++j) {
        if (j > 0 && pieces.at(j - 1) != mark)
            break;
        const QString p = pieces.at(j);
        if (p.isEmpty()) {
            pieces[j] = mark;
            if (j + 1 <= n) {
                ++j;
                search(j);
            }
        } else if (p == mark) {
            continue;
        } else if (j == 0) {
            if (text.left(p.size()) == p) {
                pieces[j] = mark;
                c = 1 + p.size();
            }
        } else {
            search(j);
        }
    }
    for (const QString &p : pieces) {
        if (p != mark)
            return false;
    }
    return true;
}

} // namespace kvorn

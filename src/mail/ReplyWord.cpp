// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/ReplyWord.h"

namespace kvorn {

QString ReplyWord(const QString &text, int n, const QString &separator)
{
    static const QString kNotFound = QStringLiteral("NOT FOUND");
    if (separator.isEmpty())
        return n == 0 ? text : kNotFound;
    qsizetype sep = text.indexOf(separator);
    if (n <= 0)
        return sep < 0 ? text : text.left(sep);

    // 0-based start of the word; a failed first search starts it at the beginning, as the
    // original's position arithmetic did for word 1.
    qsizetype start = 0;
    if (sep < 0) {
        if (n != 1)
            return kNotFound;
        start = 0;
    } else {
        for (int i = 1; i < n; ++i) {
            sep = text.indexOf(separator, sep + 1);
            if (sep < 0)
                return kNotFound;
        }
        start = sep + separator.size();
    }
    if (start >= text.size())
        return kNotFound;
    const qsizetype next = text.indexOf(separator, start);
    return next < 0 ? text.mid(start) : text.mid(start, next - start);
}

} // namespace kvorn

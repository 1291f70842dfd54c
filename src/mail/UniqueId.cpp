// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/UniqueId.h"

namespace kvorn {

UidlReply parseUidlReply(const QString &line)
{
    UidlReply reply;
    const qsizetype first = line.indexOf(QLatin1Char(' '));
    if (first < 0)
        return reply;
    const qsizetype second = line.indexOf(QLatin1Char(' '), first + 1);
    const QStringView number =
        QStringView(line).sliced(first + 1, (second < 0 ? line.size() : second) - first - 1);
    bool ok = false;
    const int n = number.toInt(&ok);
    // Only plain digits: "+1" or " 1" name no message of their own.
    bool digits = !number.isEmpty();
    for (const QChar c : number)
        digits = digits && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    reply.number = ok && digits && n > 0 ? n : 0;
    if (second >= 0)
        reply.uniqueId = line.mid(second + 1);
    return reply;
}

QString uniqueIdFault(const QString &uniqueId)
{
    if (uniqueId.isEmpty())
        return QStringLiteral("the server gave no unique ID");
    if (uniqueId.size() > kMaxUniqueIdLength)
        return QStringLiteral("its unique ID is longer than %1 characters").arg(kMaxUniqueIdLength);
    for (const QChar c : uniqueId) {
        if (c.unicode() < 0x21 || c.unicode() > 0x7E)
            return QStringLiteral("its unique ID holds a blank or a character that is not "
                                  "printable ASCII");
    }
    return {};
}

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
#include "hostshelper/HostsBlock.h"

namespace kvorn {

namespace {

bool isLabelChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

QList<QByteArrayView> lines(QByteArrayView data)
{
    QList<QByteArrayView> out;
    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype end = data.indexOf('\n', start);
        if (end < 0)
            end = data.size();
        out.append(data.sliced(start, end - start));
        start = end + 1;
    }
    return out;
}

bool isMarker(QByteArrayView line, QByteArrayView marker)
{
    // A marker line may have gained a CR or trailing blanks in an editor; it is still ours.
    return line.startsWith(marker);
}

} // namespace

bool isBlockableHostName(QByteArrayView name)
{
    if (name.isEmpty() || name.size() > 253)
        return false;
    bool onlyDigitsAndDots = true;
    qsizetype label = 0;
    for (const char c : name) {
        if (c == '.') {
            if (label == 0)
                return false;
            label = 0;
            continue;
        }
        if (!isLabelChar(c))
            return false;
        if (c < '0' || c > '9')
            onlyDigitsAndDots = false;
        if (++label > 63)
            return false;
    }
    // A trailing dot, or only digits and dots (an address such as "0.0.0.0"), are no names.
    if (label == 0 || onlyDigitsAndDots)
        return false;
    if (name.front() == '-' || name.back() == '-')
        return false;
    // Every list's own localhost line must keep resolving to the machine.
    constexpr QByteArrayView localhost("localhost");
    if (name.size() < localhost.size())
        return true;
    const QByteArrayView tail = name.last(localhost.size());
    if (tail.compare(localhost, Qt::CaseInsensitive) != 0)
        return true;
    return name.size() > localhost.size() && name[name.size() - localhost.size() - 1] != '.';
}

std::optional<QList<QByteArrayView>> parseNameLines(QByteArrayView input, QString *error)
{
    QList<QByteArrayView> names;
    qsizetype number = 0;
    for (const QByteArrayView line : lines(input)) {
        ++number;
        if (!isBlockableHostName(line)) {
            *error = QStringLiteral("line %1 is not a host name that can be blocked").arg(number);
            return std::nullopt;
        }
        names.append(line);
    }
    return names;
}

std::optional<QByteArray> withBlock(QByteArrayView current, const QList<QByteArrayView> &names,
                                    QString *error)
{
    for (const QByteArrayView name : names) {
        if (!isBlockableHostName(name)) {
            *error = QStringLiteral("\"%1\" is not a host name that can be blocked")
                         .arg(QString::fromLatin1(name.first(qMin(name.size(), qsizetype(80)))));
            return std::nullopt;
        }
    }

    QByteArray out;
    out.reserve(current.size() + names.size() * 40 + 200);
    bool inside = false;
    qsizetype number = 0;
    qsizetype start = 0;
    while (start < current.size()) {
        qsizetype end = current.indexOf('\n', start);
        const bool lastWithoutEnd = end < 0;
        if (lastWithoutEnd)
            end = current.size();
        const QByteArrayView line = current.sliced(start, end - start);
        ++number;
        if (isMarker(line, kBlockBegin)) {
            if (inside) {
                *error = QStringLiteral("line %1: a second begin line inside the K-Vorn block")
                             .arg(number);
                return std::nullopt;
            }
            inside = true;
        } else if (isMarker(line, kBlockEnd)) {
            if (!inside) {
                *error = QStringLiteral("line %1: an end line of the K-Vorn block without its "
                                        "begin line")
                             .arg(number);
                return std::nullopt;
            }
            inside = false;
        } else if (!inside) {
            out.append(line.data(), line.size());
            if (!lastWithoutEnd)
                out.append('\n');
        }
        start = end + 1;
    }
    if (inside) {
        // Removing to the end of the file could take the machine's own lines with it.
        *error = QStringLiteral("the K-Vorn block has no end line; please mend it by hand");
        return std::nullopt;
    }
    if (names.isEmpty())
        return out;
    if (!out.isEmpty() && !out.endsWith('\n'))
        out.append('\n');
    out.append(kBlockBegin.data(), kBlockBegin.size());
    out.append(" (written by kvorn-hosts-helper; replaced on every apply)\n");
    for (const QByteArrayView name : names) {
        out.append(kBlockingAddress.data(), kBlockingAddress.size());
        out.append(kBlockingGap.data(), kBlockingGap.size());
        out.append(name.data(), name.size());
        out.append('\n');
    }
    out.append(kBlockEnd.data(), kBlockEnd.size());
    out.append('\n');
    return out;
}

} // namespace kvorn

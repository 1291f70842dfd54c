// SPDX-License-Identifier: GPL-3.0-or-later
#include "banner/BannerFiles.h"

#include "core/StoredValue.h"

#include "hostshelper/HostsBlock.h"

#include <QFile>
#include <QHash>

#include <algorithm>

#include <cstring>

namespace kvorn {

namespace {
const QString kStars = QStringLiteral("#***********************************************");

QString createdLine(const QString &dateText)
{
    return QStringLiteral("# Created by K-Vorn ") + bannerVersionText() + QStringLiteral(" on ") +
           dateText;
}

void appendLine(QByteArray &out, const QString &line)
{
    out.append(line.toUtf8());
    out.append("\r\n", 2);
}
} // namespace

QString bannerVersionText()
{
    const QStringList parts = QStringLiteral(KVORN_VERSION).split(QLatin1Char('.'));
    return parts.value(0) + QLatin1Char('.') + parts.value(1, QStringLiteral("0"));
}

QString sourceCommentLine(const QString &sourceName)
{
    // A file name may hold a line break; it must not end the comment and start a line of
    // the hosts file.
    QString name = sourceName;
    for (QChar &c : name) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char('?');
    }
    return QStringLiteral("#    ") + name;
}

QStringList hostsHeader(const QString &dateText, const QString &sourceLine)
{
    return {
        createdLine(dateText),
        kStars,
        QStringLiteral("#"),
        QStringLiteral("#    This list generated with the help of:"),
        sourceLine.isEmpty() ? QStringLiteral("#    a published hosts list of advertising servers")
                             : sourceLine,
        QStringLiteral("#    and custom modified with the help of K-Vorn"),
        QStringLiteral("#"),
        kStars,
        QString(),
        QStringLiteral("127.0.0.1       localhost"),
        QString(),
    };
}

QStringList bannerCopyHeader(const QString &dateText, const QString &sourceName)
{
    return {
        createdLine(dateText),
        kStars,
        QStringLiteral("#"),
        QStringLiteral("#    This list generated with the help of:"),
        sourceCommentLine(sourceName),
        QStringLiteral("#    We appreciate their generosity in generating"),
        QStringLiteral("#    and sharing this list."),
        QStringLiteral("#"),
        kStars,
        QString(),
        QStringLiteral("127.0.0.1       localhost"),
        QString(),
    };
}

std::vector<BannerGroup> readBannerList(const QString &path, QString *error)
{
    std::vector<BannerGroup> groups;
    const ListFileBytes file = readListFileBytes(path);
    if (!file.error.isEmpty() && error)
        *error = file.error;
    if (!file.exists || !file.error.isEmpty())
        return groups;
    const QList<QByteArrayView> lines = splitLines(file.data);
    groups.reserve(std::size_t(lines.size()));
    // Counts repeat: the same small number shares one text.
    std::vector<QString> numbers(10000);
    const auto shared = [&numbers](QByteArrayView raw) {
        const bool small = !raw.isEmpty() && raw.size() <= 4 && (raw.size() == 1 || raw[0] != '0') &&
                           std::all_of(raw.begin(), raw.end(),
                                       [](char c) { return c >= '0' && c <= '9'; });
        if (!small)
            return decodeLine(raw);
        QString &text = numbers[std::size_t(raw.toInt())];
        if (text.isNull())
            text = QString::fromLatin1(raw);
        return text;
    };
    for (const QByteArrayView line : lines) {
        // A blank line carries no group; every other line makes a row, whatever its flag.
        if (line.isEmpty())
            continue;
        QByteArrayView raw[3];
        int count = 0;
        qsizetype start = 0;
        while (true) {
            const qsizetype sep = line.indexOf(kFieldSeparator, start);
            if (count < 3)
                raw[count] = line.sliced(start, (sep < 0 ? line.size() : sep) - start);
            ++count;
            if (sep < 0)
                break;
            start = sep + 1;
        }
        BannerGroup group;
        // The program writes "0" and "1"; anything else is read as a stored truth value.
        if (raw[0] == QByteArrayView("0") || raw[0] == QByteArrayView("1"))
            group.selected = raw[0] == QByteArrayView("1");
        else
            group.selected = stored::toBool(decodeLine(raw[0])).value_or(false);
        if (count > 1)
            group.name = decodeLine(raw[1]);
        if (count > 2)
            group.count = shared(raw[2]);
        groups.push_back(std::move(group));
    }
    return groups;
}

QByteArray bannerListBytes(const std::vector<BannerGroup> &groups)
{
    QByteArray out;
    out.reserve(qsizetype(groups.size()) * 40);
    for (const BannerGroup &group : groups) {
        out.append(group.selected ? '1' : '0');
        out.append(kFieldSeparator);
        out.append(group.name.toUtf8());
        out.append(kFieldSeparator);
        out.append(group.count.toUtf8());
        out.append("\r\n", 2);
    }
    return out;
}

std::optional<BannerCopy> readBannerCopy(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    BannerCopy copy;
    copy.data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;

    constexpr QByteArrayView localhost("localhost");
    constexpr int sourceLineNumber = 5;
    bool seenLocalhost = false;
    BannerCopyGroup *current = nullptr;
    int number = 0;
    const char *pos = copy.data.constData();
    const char *const end = pos + copy.data.size();
    const auto closeGroup = [&](const char *lineStart) {
        if (current)
            current->lines = QByteArrayView(current->lines.data(), lineStart - current->lines.data());
        current = nullptr;
    };
    while (pos < end) {
        const char *const lineStart = pos;
        const auto *newline = static_cast<const char *>(std::memchr(pos, '\n', end - pos));
        const char *stop = newline ? newline : end;
        if (stop > pos && stop[-1] == '\r')
            --stop;
        const QByteArrayView line(pos, stop - pos);
        pos = newline ? newline + 1 : end;
        ++number;

        if (!seenLocalhost) {
            if (number == sourceLineNumber && line.startsWith("#    "))
                copy.sourceLine = decodeLine(line);
            // The header's comment lines may name a file holding "localhost"; the header's
            // own localhost line is the first that is no comment.
            seenLocalhost = line.contains(localhost) && !line.startsWith('#');
            continue;
        }
        // Only the group lines are looked at here: the servers of a group are picked out
        // when it is ticked, and most are not.
        if (line.startsWith('#')) {
            closeGroup(lineStart);
            if (line.size() > 1) {
                copy.groups.push_back({decodeLine(line.sliced(1)), QByteArrayView(pos, 0)});
                current = &copy.groups.back();
            }
        }
    }
    closeGroup(end);
    return copy;
}

namespace {
/// The host names a "0.0.0.0" line blocks: the names after the address up to a "#", each
/// checked as a host name. A line with another address, or none of its own, blocks nothing.
void appendServersOfLine(QByteArrayView line, QList<QByteArrayView> &servers)
{
    constexpr QByteArrayView prefix("0.0.0.0");
    if (!line.startsWith(prefix))
        return;
    QByteArrayView rest = line.sliced(prefix.size());
    // "0.0.0.0.example" or "0.0.0.00" name no server of their own.
    if (rest.isEmpty() || (rest.front() != ' ' && rest.front() != '\t'))
        return;
    const qsizetype comment = rest.indexOf('#');
    if (comment >= 0)
        rest = rest.first(comment);
    qsizetype i = 0;
    while (i < rest.size()) {
        while (i < rest.size() && (rest[i] == ' ' || rest[i] == '\t'))
            ++i;
        qsizetype j = i;
        while (j < rest.size() && rest[j] != ' ' && rest[j] != '\t')
            ++j;
        if (j > i) {
            const QByteArrayView name = rest.sliced(i, j - i);
            if (isBlockableHostName(name))
                servers.append(name);
        }
        i = j;
    }
}

void appendServersOfGroup(const BannerCopyGroup &group, QList<QByteArrayView> &servers)
{
    const char *pos = group.lines.data();
    const char *const end = pos + group.lines.size();
    while (pos < end) {
        const auto *newline = static_cast<const char *>(std::memchr(pos, '\n', end - pos));
        const char *stop = newline ? newline : end;
        if (stop > pos && stop[-1] == '\r')
            --stop;
        appendServersOfLine(QByteArrayView(pos, stop - pos), servers);
        pos = newline ? newline + 1 : end;
    }
}
} // namespace

QList<QByteArrayView> selectedServers(const std::vector<BannerGroup> &groups,
                                      const BannerCopy &copy)
{
    QList<QByteArrayView> servers;
    std::vector<bool> used(copy.groups.size(), false);
    QHash<QString, QList<std::size_t>> byName;
    const auto groupOf = [&](std::size_t row, const QString &name) -> const BannerCopyGroup * {
        if (row < copy.groups.size() && !used[row] && copy.groups[row].name == name) {
            used[row] = true;
            return &copy.groups[row];
        }
        // The list and the copy went apart (a list kept from another version, or edited):
        // the name still tells which servers the row stands for.
        if (byName.isEmpty()) {
            for (std::size_t i = 0; i < copy.groups.size(); ++i)
                byName[copy.groups[i].name].append(i);
        }
        for (const std::size_t i : byName.value(name)) {
            if (!used[i]) {
                used[i] = true;
                return &copy.groups[i];
            }
        }
        return nullptr;
    };
    for (std::size_t row = 0; row < groups.size(); ++row) {
        const BannerGroup &group = groups[row];
        // Every row claims its group, ticked or not, so that a later row of the same name
        // finds its own.
        const BannerCopyGroup *found = groupOf(row, group.name);
        if (group.selected && found)
            appendServersOfGroup(*found, servers);
    }
    return servers;
}

QByteArray hostsBytes(const std::vector<BannerGroup> &groups, const BannerCopy &copy,
                      const QString &dateText)
{
    QByteArray out;
    for (const QString &line : hostsHeader(dateText, copy.sourceLine))
        appendLine(out, line);
    const QList<QByteArrayView> servers = selectedServers(groups, copy);
    out.reserve(out.size() + servers.size() * 48);
    for (const QByteArrayView server : servers) {
        out.append(kBlockingAddress.data(), kBlockingAddress.size());
        out.append(kBlockingGap.data(), kBlockingGap.size());
        out.append(server.data(), server.size());
        out.append("\r\n", 2);
    }
    return out;
}

} // namespace kvorn

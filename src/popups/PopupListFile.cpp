// SPDX-License-Identifier: GPL-3.0-or-later
#include "popups/PopupListFile.h"

#include "core/TextFile.h"

#include <QHash>

#include <type_traits>

namespace kvorn {

namespace {
template <class Text> bool leadingValueNonZero(const Text &field)
{
    // The leading numeric value: blanks, a sign, digits with one decimal point.
    const auto at = [&field](qsizetype i) {
        if constexpr (std::is_same_v<Text, QByteArrayView>)
            return QChar(QLatin1Char(field.at(i))); // the flag field is read as Latin-1
        else
            return field.at(i);
    };
    qsizetype i = 0;
    const qsizetype n = field.size();
    while (i < n && at(i).isSpace())
        ++i;
    if (i < n && (at(i) == QLatin1Char('-') || at(i) == QLatin1Char('+')))
        ++i;
    bool point = false;
    for (; i < n; ++i) {
        const QChar c = at(i);
        if (c == QLatin1Char('.') && !point) {
            point = true;
            continue;
        }
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        if (c != QLatin1Char('0'))
            return true;
    }
    return false;
}
} // namespace

bool listFlagEnabled(const QString &field)
{
    return leadingValueNonZero(field);
}

bool listFlagEnabled(QByteArrayView field)
{
    return leadingValueNonZero(field);
}

std::optional<PopupEntry> parseListLine(const QStringList &fields)
{
    if (fields.isEmpty())
        return std::nullopt;
    if (fields.size() == 1) {
        const QString &line = fields.front();
        if (line.size() <= 2)
            return std::nullopt; // an empty line, or an older-layout line without text
        PopupEntry entry;
        entry.text = line.left(line.size() - 2);
        const QChar last = line.back();
        entry.enabled = last >= QLatin1Char('1') && last <= QLatin1Char('9');
        entry.dateAdded = noDateText();
        entry.lastUsed = noDateText();
        return entry;
    }
    PopupEntry entry;
    entry.enabled = listFlagEnabled(fields.at(0));
    entry.text = fields.at(1);
    const QString added = fields.size() > 2 ? fields.at(2) : QString();
    const QString used = fields.size() > 3 ? fields.at(3) : QString();
    entry.dateAdded = added.isEmpty() ? noDateText() : added;
    entry.lastUsed = used.isEmpty() ? noDateText() : used;
    return entry;
}

QStringList listLineFields(const PopupEntry &entry)
{
    return {entry.enabled ? QStringLiteral("1") : QStringLiteral("0"), entry.text, entry.dateAdded,
            entry.lastUsed};
}

ListFileRead readListFile(const QString &path)
{
    ListFileRead read;
    const ListFileBytes file = readListFileBytes(path);
    read.exists = file.exists;
    read.error = file.error;
    if (!read.exists || !read.error.isEmpty())
        return read;
    const QList<QByteArrayView> lines = splitLines(file.data);
    read.entries.reserve(std::size_t(lines.size()));

    // Dates repeat: the same bytes share one text, which keeps a large list small and its
    // loading quick. Most often a date is the one of the line before; hashing it would
    // cost more than the comparison.
    QHash<QByteArrayView, QString> dates;
    QByteArrayView lastRaw[2];
    QString lastText[2];
    const QString noDate = noDateText();
    const auto dateField = [&](int which, QByteArrayView raw) -> const QString & {
        if (raw.isEmpty())
            return noDate;
        if (raw == lastRaw[which] && !lastText[which].isNull())
            return lastText[which];
        auto it = dates.constFind(raw);
        if (it == dates.cend())
            it = dates.insert(raw, decodeLine(raw));
        lastRaw[which] = raw;
        lastText[which] = *it;
        return lastText[which];
    };

    for (const QByteArrayView line : lines) {
        // Fields are decoded one by one, so that a UTF-8 text beside 0xFF separators and a
        // Windows-1252 field in a UTF-8 file both read right.
        QByteArrayView raw[4];
        int count = 0;
        qsizetype start = 0;
        while (count < 4) {
            const qsizetype sep = line.indexOf(kFieldSeparator, start);
            raw[count++] = line.sliced(start, (sep < 0 ? line.size() : sep) - start);
            if (sep < 0)
                break;
            start = sep + 1;
        }
        if (count == 1) {
            if (std::optional<PopupEntry> entry = parseListLine({decodeLine(raw[0])}))
                read.entries.push_back(std::move(*entry));
            continue;
        }
        PopupEntry entry;
        entry.enabled = listFlagEnabled(raw[0]);
        entry.text = decodeLine(raw[1]);
        entry.dateAdded = dateField(0, count > 2 ? raw[2] : QByteArrayView());
        entry.lastUsed = dateField(1, count > 3 ? raw[3] : QByteArrayView());
        read.entries.push_back(std::move(entry));
    }
    return read;
}

ListFileRead readBannedFile(const QString &path)
{
    ListFileRead read;
    const ListFileBytes file = readListFileBytes(path);
    read.exists = file.exists;
    read.error = file.error;
    if (!read.exists || !read.error.isEmpty())
        return read;
    const QList<QByteArrayView> lines = splitLines(file.data);
    read.entries.reserve(std::size_t(lines.size()));
    for (const QByteArrayView line : lines) {
        if (line.isEmpty())
            continue;
        PopupEntry entry;
        entry.text = decodeLine(line);
        read.entries.push_back(std::move(entry));
    }
    return read;
}

} // namespace kvorn

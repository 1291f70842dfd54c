#include "popups/PopupListFile.h"

#include "core/TextFile.h"

#include <QFileInfo>
#include <QHash>

namespace kvorn {

bool listFlagEnabled(const QString &field)
{
    // The leading numeric value: blanks, a sign, digits with one decimal point.
    qsizetype i = 0;
    const qsizetype n = field.size();
    while (i < n && field.at(i).isSpace())
        ++i;
    if (i < n && (field.at(i) == QLatin1Char('-') || field.at(i) == QLatin1Char('+')))
        ++i;
    bool point = false;
    for (; i < n; ++i) {
        const QChar c = field.at(i);
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
    return {entry.enabled ? QStringLiteral("1") : QStringLiteral("0"), entry.text,
            entry.dateAdded, entry.lastUsed};
}

namespace {
ListFileRead openFailure(const QString &path, ListFileRead read)
{
    read.exists = QFileInfo::exists(path);
    if (read.exists)
        read.error = QStringLiteral("%1 could not be read").arg(path);
    return read;
}
} // namespace

ListFileRead readListFile(const QString &path)
{
    ListFileRead read;
    const auto lines = readFieldLines(path);
    if (!lines)
        return openFailure(path, std::move(read));
    read.exists = true;
    read.entries.reserve(std::size_t(lines->size()));
    // Dates repeat a lot; sharing one copy of each keeps a large list small.
    QHash<QString, QString> dates;
    const auto shared = [&dates](const QString &text) {
        auto it = dates.constFind(text);
        if (it == dates.constEnd())
            it = dates.insert(text, text);
        return it.value();
    };
    for (const QStringList &fields : *lines) {
        std::optional<PopupEntry> entry = parseListLine(fields);
        if (!entry)
            continue;
        entry->dateAdded = shared(entry->dateAdded);
        entry->lastUsed = shared(entry->lastUsed);
        read.entries.push_back(std::move(*entry));
    }
    return read;
}

ListFileRead readBannedFile(const QString &path)
{
    ListFileRead read;
    const auto lines = readLines(path);
    if (!lines)
        return openFailure(path, std::move(read));
    read.exists = true;
    for (const QString &line : *lines) {
        if (line.isEmpty())
            continue;
        PopupEntry entry;
        entry.text = line;
        read.entries.push_back(std::move(entry));
    }
    return read;
}

} // namespace kvorn

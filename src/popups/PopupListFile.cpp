#include "popups/PopupListFile.h"

#include "core/TextFile.h"

#include <QFile>
#include <QFileInfo>

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
    return {entry.enabled ? QStringLiteral("1") : QStringLiteral("0"), entry.text, entry.dateAdded,
            entry.lastUsed};
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
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return openFailure(path, std::move(read));
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return openFailure(path, std::move(read));
    read.exists = true;
    const QList<QByteArrayView> lines = splitLines(data);
    read.entries.reserve(std::size_t(lines.size()));

    // Dates repeat from line to line: the same bytes as the line before share its text,
    // which keeps a large list small and its loading quick.
    QByteArrayView lastRaw[2];
    QString lastText[2];
    const auto dateField = [&](int which, QByteArrayView raw) {
        if (raw.isEmpty())
            return noDateText();
        if (raw != lastRaw[which] || lastText[which].isNull()) {
            lastRaw[which] = raw;
            lastText[which] = decodeLine(raw);
        }
        return lastText[which];
    };

    QStringList fields;
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
            fields = {decodeLine(raw[0])};
            if (std::optional<PopupEntry> entry = parseListLine(fields))
                read.entries.push_back(std::move(*entry));
            continue;
        }
        PopupEntry entry;
        entry.enabled = listFlagEnabled(QString::fromLatin1(raw[0]));
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

// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/TextFile.h"

#include "platform/SafeFile.h"
#include "platform/TextCodec.h"

#include <QDir>
#include <QFile>
#include <QLocale>

namespace kvorn {

namespace {
bool isAscii(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

QString decodeField(QByteArrayView bytes)
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    return decodeUtf8OrCp1252(bytes);
}

QByteArray joinFields(const QStringList &fields)
{
    QByteArray line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line.append(kFieldSeparator);
        line.append(fields.at(i).toUtf8());
    }
    return line;
}

} // namespace

QList<QByteArrayView> splitLines(QByteArrayView data)
{
    // Editors on Windows start UTF-8 files with a byte order mark; it belongs to the file,
    // not to the first line's first field.
    if (data.startsWith(QByteArrayView("\xEF\xBB\xBF")))
        data = data.sliced(3);
    QList<QByteArrayView> lines;
    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype end = data.indexOf('\n', start);
        if (end < 0)
            end = data.size();
        qsizetype stop = end;
        if (stop > start && data.at(stop - 1) == '\r')
            --stop;
        lines.append(data.sliced(start, stop - start));
        start = end + 1;
    }
    return lines;
}

ListFileBytes readListFileBytes(const QString &path)
{
    ListFileBytes read;
    QFile file(path);
    read.exists = file.exists();
    if (!read.exists)
        return read;
    const QString name = QDir::toNativeSeparators(path);
    const QString leftAlone = QStringLiteral(" It was not loaded, and the file was left as it is.");
    if (!file.open(QIODevice::ReadOnly)) {
        read.error = QStringLiteral("%1 could not be read: %2").arg(name, file.errorString());
        return read;
    }
    // Asked before reading: a file far too large must cost nothing.
    if (file.size() > kMaxListFileBytes) {
        read.error = QStringLiteral("%1 is larger than %2 MiB, the most a list file may hold.")
                         .arg(name)
                         .arg(kMaxListFileBytes >> 20) +
                     leftAlone;
        return read;
    }
    read.data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        read.error = QStringLiteral("%1 could not be read: %2").arg(name, file.errorString());
        read.data.clear();
        return read;
    }
    qsizetype lines = read.data.count('\n');
    if (!read.data.isEmpty() && !read.data.endsWith('\n'))
        ++lines;
    if (lines > kMaxListFileLines) {
        read.error = QStringLiteral("%1 holds more than %2 entries, the most a list may hold.")
                         .arg(name, QLocale(QLocale::English).toString(kMaxListFileLines)) +
                     leftAlone;
        read.data.clear();
    }
    return read;
}

QString decodeLine(QByteArrayView bytes)
{
    // Fields are decoded one by one: a line holding a valid UTF-8 field and a 0xFF
    // separator is not valid UTF-8 as a whole.
    QString out;
    qsizetype start = 0;
    while (true) {
        const qsizetype sep = bytes.indexOf(kFieldSeparator, start);
        const qsizetype end = sep < 0 ? bytes.size() : sep;
        out += decodeField(bytes.sliced(start, end - start));
        if (sep < 0)
            break;
        out += kFieldSeparatorChar;
        start = sep + 1;
    }
    return out;
}

QByteArray encodeLine(const QStringList &fields)
{
    return joinFields(fields);
}

std::optional<QList<QStringList>> readFieldLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray data = file.readAll();
    QList<QStringList> result;
    const auto lines = splitLines(data);
    result.reserve(lines.size());
    for (const QByteArrayView line : lines) {
        QStringList fields;
        qsizetype start = 0;
        while (true) {
            const qsizetype sep = line.indexOf(kFieldSeparator, start);
            const qsizetype end = sep < 0 ? line.size() : sep;
            fields.append(decodeField(line.sliced(start, end - start)));
            if (sep < 0)
                break;
            start = sep + 1;
        }
        result.append(std::move(fields));
    }
    return result;
}

std::optional<QStringList> readLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray data = file.readAll();
    QStringList result;
    for (const QByteArrayView line : splitLines(data))
        result.append(decodeLine(line));
    return result;
}

WriteResult writeFieldLines(const QString &path, const QList<QStringList> &lines)
{
    QByteArray data;
    for (const QStringList &fields : lines) {
        data.append(joinFields(fields));
        data.append("\r\n", 2);
    }
    return WriteResult{replaceFileContents(path, data)};
}

WriteResult writeLines(const QString &path, const QStringList &lines)
{
    QList<QStringList> fields;
    fields.reserve(lines.size());
    for (const QString &line : lines)
        fields.append(QStringList{line});
    return writeFieldLines(path, fields);
}

WriteResult appendLines(const QString &path, const QList<QStringList> &lines)
{
    QByteArray data;
    for (const QStringList &fields : lines) {
        data.append(joinFields(fields));
        data.append("\r\n", 2);
    }
    return WriteResult{appendToFile(path, data, kPrivateFile)};
}

} // namespace kvorn

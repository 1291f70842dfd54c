#include "core/TextFile.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace kvorn {

namespace {
// Windows-1252 differs from Latin-1 only in 0x80..0x9F.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString decodeCp1252(QByteArrayView bytes)
{
    QString out(bytes.size(), Qt::Uninitialized);
    QChar *dst = out.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *dst++ = (b >= 0x80 && b < 0xA0) ? QChar(kCp1252High[b - 0x80]) : QChar(char16_t(b));
    }
    return out;
}

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
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return decodeCp1252(bytes);
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

WriteResult errorOf(const QFileDevice &file, const QString &path)
{
    return WriteResult{QStringLiteral("%1: %2").arg(path, file.errorString())};
}
} // namespace

QList<QByteArrayView> splitLines(QByteArrayView data)
{
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
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return errorOf(file, path);
    QByteArray data;
    for (const QStringList &fields : lines) {
        data.append(joinFields(fields));
        data.append("\r\n", 2);
        if (data.size() > (1 << 20)) {
            if (file.write(data) != data.size())
                return errorOf(file, path);
            data.clear();
        }
    }
    if (file.write(data) != data.size())
        return errorOf(file, path);
    if (!file.commit())
        return errorOf(file, path);
    return {};
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
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return errorOf(file, path);
    QByteArray data;
    for (const QStringList &fields : lines) {
        data.append(joinFields(fields));
        data.append("\r\n", 2);
    }
    if (file.write(data) != data.size() || !file.flush())
        return errorOf(file, path);
    return {};
}

} // namespace kvorn

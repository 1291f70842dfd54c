// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/IniFormat.h"

#include "platform/SafeFile.h"
#include "platform/TextCodec.h"

#include <QFileDevice>
#include <QStringList>

#include <algorithm>
#include <sys/stat.h>

// The layout is Qt's INI layout to the letter (sections, %-escaped keys, quoted and
// backslash-escaped values, "@" types), so that settings files written before stay valid.

namespace kvorn {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool isSpace(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r';
}

bool isSpecial(char ch)
{
    return ch == '\n' || ch == '\r' || ch == '"' || ch == ';' || ch == '=' || ch == '\\';
}

int hexValue(char ch)
{
    return hexDigitValue(char16_t(static_cast<unsigned char>(ch)));
}

/// Lines that are not UTF-8 are turned into UTF-8 from Windows-1252 before parsing.
QByteArray asUtf8(const QByteArray &data)
{
    if (isValidUtf8(data))
        return data;
    QByteArray out;
    out.reserve(data.size() + data.size() / 8);
    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype end = data.indexOf('\n', start);
        end = end < 0 ? data.size() : end + 1;
        const QByteArrayView line = QByteArrayView(data).sliced(start, end - start);
        if (isValidUtf8(line))
            out.append(line);
        else
            out.append(decodeCp1252(line).toUtf8());
        start = end;
    }
    return out;
}

/// Finds the next logical line: a value in quotes may go on over line ends, a backslash
/// escapes a line end, and ";" starts a comment.
bool readLine(QByteArrayView data, qsizetype &dataPos, qsizetype &lineStart, qsizetype &lineLen,
              qsizetype &equalsPos)
{
    const qsizetype dataLen = data.size();
    bool inQuotes = false;
    equalsPos = -1;
    lineStart = dataPos;
    while (lineStart < dataLen && isSpace(data[lineStart]))
        ++lineStart;

    qsizetype i = lineStart;
    bool lineEnded = false;
    while (i < dataLen && !lineEnded) {
        while (i < dataLen && !isSpecial(data[i]))
            ++i;
        if (i == dataLen)
            break;
        const char ch = data[i++];
        if (ch == '=') {
            if (!inQuotes && equalsPos == -1)
                equalsPos = i - 1;
        } else if (ch == '\n' || ch == '\r') {
            if (i == lineStart + 1) {
                ++lineStart;
            } else if (!inQuotes) {
                --i;
                lineEnded = true;
            }
        } else if (ch == '\\') {
            if (i < dataLen) {
                const char escaped = data[i++];
                if (i < dataLen) {
                    const char next = data[i];
                    if ((escaped == '\n' && next == '\r') || (escaped == '\r' && next == '\n'))
                        ++i;
                }
            }
        } else if (ch == '"') {
            inQuotes = !inQuotes;
        } else if (i == lineStart + 1) { // ';' starting a line: a comment line
            while (i < dataLen && data[i] != '\n' && data[i] != '\r')
                ++i;
            while (i < dataLen && isSpace(data[i]))
                ++i;
            lineStart = i;
        } else if (!inQuotes) { // ';' after a setting: the rest of the line is a comment
            --i;
            lineEnded = true;
        }
    }
    dataPos = i;
    lineLen = i - lineStart;
    return lineLen > 0;
}

void unescapeKey(QByteArrayView key, QString &result)
{
    qsizetype i = 0;
    const qsizetype to = key.size();
    while (i < to) {
        const char ch = key[i];
        if (ch == '\\') {
            result += QLatin1Char('/');
            ++i;
            continue;
        }
        if (ch != '%' || i == to - 1) {
            result += QChar(char16_t(static_cast<unsigned char>(ch)));
            ++i;
            continue;
        }
        qsizetype firstDigit = i + 1;
        int digits = 2;
        if (key[firstDigit] == 'U') {
            ++firstDigit;
            digits = 4;
        }
        if (firstDigit + digits > to) {
            result += QLatin1Char('%');
            ++i;
            continue;
        }
        char16_t value = 0;
        bool ok = true;
        for (int d = 0; d < digits && ok; ++d) {
            const int v = hexValue(key[firstDigit + d]);
            ok = v >= 0;
            value = char16_t(value * 16 + v);
        }
        if (!ok) {
            result += QLatin1Char('%');
            ++i;
            continue;
        }
        result += QChar(value);
        i = firstDigit + digits;
    }
}

void escapeKey(const QString &key, QByteArray &result)
{
    for (const QChar qch : key) {
        const char16_t ch = qch.unicode();
        if (ch == '/') {
            result += '\\';
        } else if ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') ||
                   (ch >= '0' && ch <= '9') || ch == '_' || ch == '-' || ch == '.') {
            result += char(ch);
        } else if (ch <= 0xFF) {
            result += '%';
            result += kHexDigits[ch / 16];
            result += kHexDigits[ch % 16];
        } else {
            result += "%U";
            for (int shift = 12; shift >= 0; shift -= 4)
                result += kHexDigits[(ch >> shift) & 0xF];
        }
    }
}

void chopTrailingSpaces(QString &text, qsizetype limit)
{
    qsizetype n = text.size();
    while (n > limit && (text.at(n - 1) == QLatin1Char(' ') || text.at(n - 1) == QLatin1Char('\t')))
        --n;
    text.truncate(n);
}

/// One value: a text, or a list when it holds a comma outside quotes.
bool unescapeValue(QByteArrayView str, QString &text, QStringList &list)
{
    bool isList = false;
    bool inQuotes = false;
    bool quoted = false;
    bool chop = true;
    qsizetype i = 0;
    const qsizetype to = str.size();
    const auto skipSpaces = [&] {
        while (i < to && (str[i] == ' ' || str[i] == '\t'))
            ++i;
    };
    skipSpaces();
    qsizetype chopLimit = 0;
    while (i < to) {
        const char ch = str[i];
        if (ch == '\\') {
            ++i;
            if (i >= to) {
                chop = false; // as Qt does with a lone backslash at the end
                break;
            }
            const char code = str[i++];
            static constexpr char kEscapes[][2] = {{'a', '\a'}, {'b', '\b'},  {'f', '\f'},
                                                   {'n', '\n'}, {'r', '\r'},  {'t', '\t'},
                                                   {'v', '\v'}, {'"', '"'},   {'?', '?'},
                                                   {'\'', '\''}, {'\\', '\\'}};
            bool done = false;
            for (const auto &escape : kEscapes) {
                if (code == escape[0]) {
                    text += QLatin1Char(escape[1]);
                    done = true;
                    break;
                }
            }
            if (!done) {
                const bool hex = code == 'x' && i < to && hexValue(str[i]) >= 0;
                const bool octal = code >= '0' && code <= '7';
                if (hex || octal) {
                    char16_t value = hex ? 0 : char16_t(code - '0');
                    while (i < to) {
                        const int digit = hex ? hexValue(str[i])
                                              : (str[i] >= '0' && str[i] <= '7' ? str[i] - '0' : -1);
                        if (digit < 0)
                            break;
                        value = char16_t(value * (hex ? 16 : 8) + digit);
                        ++i;
                    }
                    text += QChar(value);
                } else if ((code == '\n' || code == '\r') && i < to) {
                    const char next = str[i];
                    if ((next == '\n' || next == '\r') && next != code)
                        ++i;
                }
            }
            chopLimit = text.size();
        } else if (ch == '"') {
            ++i;
            quoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes) {
                skipSpaces();
                chopLimit = text.size();
            }
        } else if (ch == ',' && !inQuotes) {
            if (!quoted)
                chopTrailingSpaces(text, chopLimit);
            if (!isList) {
                isList = true;
                list.clear();
            }
            list.append(text);
            text.clear();
            quoted = false;
            ++i;
            skipSpaces();
            chopLimit = 0;
        } else {
            qsizetype j = i + 1;
            while (j < to && str[j] != '\\' && str[j] != '"' && str[j] != ',')
                ++j;
            text += QString::fromUtf8(str.sliced(i, j - i));
            i = j;
        }
    }
    if (!quoted && chop)
        chopTrailingSpaces(text, chopLimit);
    if (isList)
        list.append(text);
    return isList;
}

QVariant typedValue(const QString &text)
{
    if (text.startsWith(QLatin1Char('@'))) {
        if (text.endsWith(QLatin1Char(')'))) {
            if (text.startsWith(QLatin1String("@ByteArray(")))
                return QVariant(QStringView(text).sliced(11).chopped(1).toLatin1());
            if (text.startsWith(QLatin1String("@String(")))
                return QVariant(QStringView(text).sliced(8).chopped(1).toString());
            if (text == QLatin1String("@Invalid()"))
                return QVariant();
        }
        if (text.startsWith(QLatin1String("@@")))
            return QVariant(text.sliced(1));
    }
    return QVariant(text);
}

void escapeText(const QString &text, QByteArray &result)
{
    bool needsQuotes = false;
    bool escapeNextIfDigit = false;
    const bool raw = text.startsWith(QLatin1String("@ByteArray(")) ||
                     text.startsWith(QLatin1String("@Variant("));
    const qsizetype start = result.size();
    for (qsizetype k = 0; k < text.size(); ++k) {
        const char16_t ch = text.at(k).unicode();
        if (ch == ';' || ch == ',' || ch == '=')
            needsQuotes = true;
        if (escapeNextIfDigit && ch < 0x80 && hexValue(char(ch)) >= 0) {
            result += "\\x" + QByteArray::number(ch, 16);
            continue;
        }
        escapeNextIfDigit = false;
        switch (ch) {
        case '\0': result += "\\0"; escapeNextIfDigit = true; break;
        case '\a': result += "\\a"; break;
        case '\b': result += "\\b"; break;
        case '\f': result += "\\f"; break;
        case '\n': result += "\\n"; break;
        case '\r': result += "\\r"; break;
        case '\t': result += "\\t"; break;
        case '\v': result += "\\v"; break;
        case '"': result += "\\\""; break;
        case '\\': result += "\\\\"; break;
        default:
            if (ch <= 0x1F || (ch >= 0x7F && raw)) {
                result += "\\x" + QByteArray::number(ch, 16);
                escapeNextIfDigit = true;
            } else if (!raw && ch >= 0x80) {
                // A surrogate pair goes out as one character.
                const qsizetype n = (QChar::isHighSurrogate(ch) && k + 1 < text.size()) ? 2 : 1;
                result += QStringView(text).sliced(k, n).toUtf8();
                k += n - 1;
            } else {
                result += char(ch);
            }
        }
    }
    if (needsQuotes || (start < result.size() &&
                        (result.at(start) == ' ' || result.at(result.size() - 1) == ' '))) {
        result.insert(start, '"');
        result += '"';
    }
}

QString textOf(const QVariant &value)
{
    if (!value.isValid())
        return QStringLiteral("@Invalid()");
    if (value.typeId() == QMetaType::QByteArray)
        return QStringLiteral("@ByteArray(") + QString::fromLatin1(value.toByteArray()) +
               QLatin1Char(')');
    const QString text = value.toString();
    if (value.typeId() == QMetaType::QString && text.startsWith(QLatin1Char('@')))
        return QLatin1Char('@') + text;
    return text;
}

void escapeValue(const QVariant &value, QByteArray &result)
{
    const int type = value.typeId();
    if (type == QMetaType::QStringList || type == QMetaType::QVariantList) {
        const QVariantList items = value.toList();
        if (type == QMetaType::QVariantList && items.size() == 1) {
            escapeText(textOf(items.first()), result);
            return;
        }
        if (items.isEmpty()) {
            result += "@Invalid()";
            return;
        }
        for (qsizetype i = 0; i < items.size(); ++i) {
            if (i > 0)
                result += ", ";
            escapeText(textOf(items.at(i)), result);
        }
        return;
    }
    escapeText(textOf(value), result);
}

bool readIniDevice(QIODevice &device, QSettings::SettingsMap &map)
{
    // Always true: Qt drops every key of a file whose reader says false, and a damaged
    // file is reported to the user by the settings store, which keeps a copy of it.
    readIni(device.readAll(), map);
    return true;
}

bool writeIniDevice(QIODevice &device, const QSettings::SettingsMap &map)
{
    const QByteArray data = writeIni(map);
    if (device.write(data) != data.size())
        return false;
    auto *file = qobject_cast<QFileDevice *>(&device);
    if (!file)
        return true;
    // The new file must not be more open than the settings it replaces.
    struct stat st = {};
    if (::fstat(file->handle(), &st) == 0 && (st.st_mode & (S_IWGRP | S_IWOTH)))
        ::fchmod(file->handle(), st.st_mode & 07755 & ~mode_t(S_IWGRP | S_IWOTH));
    return flushToDisk(*file).isEmpty();
}

} // namespace

QSettings::Format safeIniFormat()
{
    static const QSettings::Format format =
        QSettings::registerFormat(QStringLiteral("ini"), readIniDevice, writeIniDevice);
    return format;
}

bool readIni(const QByteArray &bytes, QSettings::SettingsMap &map)
{
    QByteArray utf8 = asUtf8(bytes);
    QByteArrayView data(utf8);
    if (data.startsWith("\xEF\xBB\xBF"))
        data = data.sliced(3);

    bool ok = true;
    QString section;
    qsizetype dataPos = 0;
    qsizetype lineStart = 0;
    qsizetype lineLen = 0;
    qsizetype equalsPos = 0;
    while (readLine(data, dataPos, lineStart, lineLen, equalsPos)) {
        const QByteArrayView line = data.sliced(lineStart, lineLen);
        if (line.startsWith('[')) {
            const qsizetype close = line.indexOf(']');
            QByteArrayView name = close < 0 ? line.sliced(1) : line.sliced(1, close - 1);
            if (close < 0)
                ok = false;
            name = name.trimmed();
            section.clear();
            if (name.compare("general", Qt::CaseInsensitive) != 0) {
                if (name.compare("%general", Qt::CaseInsensitive) == 0)
                    section = QString::fromLatin1(name.sliced(1));
                else
                    unescapeKey(name, section);
                section += QLatin1Char('/');
            }
            continue;
        }
        if (equalsPos < 0) {
            ok = false;
            continue;
        }
        qsizetype keyEnd = equalsPos;
        while (keyEnd > lineStart && (data[keyEnd - 1] == ' ' || data[keyEnd - 1] == '\t'))
            --keyEnd;
        QString key = section;
        unescapeKey(data.sliced(lineStart, keyEnd - lineStart), key);
        QString text;
        QStringList list;
        const QByteArrayView value = data.sliced(equalsPos + 1, lineStart + lineLen - equalsPos - 1);
        if (unescapeValue(value, text, list)) {
            QVariantList items;
            QStringList texts;
            for (const QString &item : list) {
                items.append(typedValue(item));
                texts.append(items.last().toString());
            }
            const bool allTexts = std::all_of(items.cbegin(), items.cend(), [](const QVariant &v) {
                return v.typeId() == QMetaType::QString;
            });
            map.insert(key, allTexts ? QVariant(texts) : QVariant(items));
        } else {
            map.insert(key, typedValue(text));
        }
    }
    return ok;
}

QByteArray writeIni(const QSettings::SettingsMap &map)
{
    // Keys without a section first, under "[General]", then each section in key order.
    QByteArray out;
    QString current;
    bool first = true;
    const auto writeSection = [&](const QString &name) {
        if (!first)
            out += '\n';
        first = false;
        if (name.isEmpty()) {
            out += "[General]\n";
        } else if (name.compare(QLatin1String("general"), Qt::CaseInsensitive) == 0) {
            out += "[%" + name.toLatin1() + "]\n";
        } else {
            out += '[';
            escapeKey(name, out);
            out += "]\n";
        }
    };
    const auto writeEntries = [&](bool general) {
        bool started = false;
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            const qsizetype slash = it.key().indexOf(QLatin1Char('/'));
            if ((slash < 0) != general)
                continue;
            const QString name = general ? QString() : it.key().left(slash);
            if (!started || name != current) {
                writeSection(name);
                current = name;
                started = true;
            }
            escapeKey(general ? it.key() : it.key().sliced(slash + 1), out);
            out += '=';
            escapeValue(it.value(), out);
            out += '\n';
        }
    };
    writeEntries(true);
    writeEntries(false);
    return out;
}

QString iniProblem(const QByteArray &data)
{
    if (data.contains('\0'))
        return QStringLiteral("it holds binary data");
    QSettings::SettingsMap map;
    if (!readIni(data, map))
        return QStringLiteral("some of its lines are neither a section nor a setting");
    return {};
}

} // namespace kvorn

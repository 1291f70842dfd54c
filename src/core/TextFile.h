// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace kvorn {

/// The byte that separates the fields of a line in the program's list files.
inline constexpr char kFieldSeparator = '\xFF';
/// The same separator as a character of a decoded line.
inline constexpr QChar kFieldSeparatorChar = QChar(0xFF);

/// Decodes one line of a text file: UTF-8 when it is valid UTF-8, else Windows-1252
/// (files made on Windows load unchanged). A 0xFF separator byte is kept as U+00FF.
QString decodeLine(QByteArrayView bytes);
/// Encodes one line for writing: UTF-8, with U+00FF turned back into the 0xFF separator
/// byte wherever `separators` is true; otherwise plain UTF-8.
QByteArray encodeLine(const QStringList &fields);

/// Reads a text file as lines (CR LF or LF), each decoded by `decodeLine`; the raw fields
/// are split on the 0xFF byte before decoding so that a "ÿ" inside a text never splits it.
/// Nothing when the file cannot be opened.
std::optional<QList<QStringList>> readFieldLines(const QString &path);
/// Reads a text file as decoded lines, without splitting fields.
std::optional<QStringList> readLines(const QString &path);

/// The result of writing a file: empty on success, else what went wrong.
struct WriteResult
{
    QString error;
    explicit operator bool() const { return error.isEmpty(); }
};

/// Writes lines of fields joined by 0xFF, each ending in CR LF, to a temporary file beside
/// `path` and renames it over `path`, so that a failure leaves the old file whole.
WriteResult writeFieldLines(const QString &path, const QList<QStringList> &lines);
/// Writes plain lines (CR LF) the same safe way.
WriteResult writeLines(const QString &path, const QStringList &lines);
/// Appends lines (CR LF) to a file, creating it when missing; all of them or, when the
/// disk fails part-way, none (the file keeps its old length).
WriteResult appendLines(const QString &path, const QList<QStringList> &lines);

/// Splits raw file content into lines without their CR LF / LF endings.
QList<QByteArrayView> splitLines(QByteArrayView data);

/// The most a list file of the program may hold. No list anybody keeps comes near; one
/// beyond would cost seconds and gigabytes at every start, and is refused at load.
inline constexpr qint64 kMaxListFileBytes = qint64(64) << 20;
inline constexpr qsizetype kMaxListFileLines = 1'000'000;

/// A list file read whole.
struct ListFileBytes
{
    bool exists = false; ///< false: no file
    QByteArray data;
    /// The file is there but was not read: it could not be, or it is over the limits
    /// above (then the text says so, and that the file was left as it is).
    QString error;
};

/// Reads a list file whole, unless it is larger than kMaxListFileBytes or has more than
/// kMaxListFileLines lines.
ListFileBytes readListFileBytes(const QString &path);

} // namespace kvorn

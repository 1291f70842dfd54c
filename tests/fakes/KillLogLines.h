// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/TextFile.h"

#include <QByteArray>
#include <QStringList>
#include <initializer_list>

namespace kvorn::test {

/// One line of the kill log as the program writes it: fields joined by byte 0xFF, CR LF.
/// Fields are bytes so a test can write what the program never would (Windows-1252, a
/// stray separator, too few fields).
inline QByteArray killLogLine(std::initializer_list<QByteArray> fields)
{
    QByteArray out;
    for (const QByteArray &f : fields) {
        if (!out.isEmpty())
            out.append(char(0xFF));
        out.append(f);
    }
    return out + "\r\n";
}

/// The records of the kill log file at `path`, each split into its fields; none when there
/// is no file.
inline QList<QStringList> killLogRecords(const QString &path)
{
    return readFieldLines(path).value_or(QList<QStringList>{});
}

} // namespace kvorn::test

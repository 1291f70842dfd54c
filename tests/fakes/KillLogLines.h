#pragma once

#include <QByteArray>
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

} // namespace kvorn::test

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CPU time of this process and of another one (the X server), for the idle measurements.
#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <sys/resource.h>
#include <unistd.h>

namespace kvorn::test {

inline double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// From /proc (fields 14 and 15: user and system ticks).
inline double otherCpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    return double(fields[11].toLongLong() + fields[12].toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

} // namespace kvorn::test

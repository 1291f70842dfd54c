// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/KillCounters.h"

#include "core/SettingsStore.h"
#include "core/StoredValue.h"

#include <utility>

namespace kvorn {

void readMailCounters(const SettingsStore &store, KillCounters &counters)
{
    const auto read = [&](const char *key) {
        return store.read(kMailCountersSection, QString::fromLatin1(key));
    };
    for (const auto &[key, field] : {std::pair{"LogDate", &counters.LogDate},
                                     std::pair{"LogDateYear", &counters.LogDateYear}}) {
        if (const auto text = read(key)) {
            if (const auto v = stored::toInt16(*text))
                *field = *v;
        }
    }
    std::int32_t *fields[] = {&counters.LogMonth, &counters.LogYear, &counters.LogForever};
    const char *keys[] = {"LogMonth", "LogYear", "LogForever"};
    for (int i = 0; i < 3; ++i) {
        if (const auto text = read(keys[i])) {
            if (const auto v = stored::toInt32(*text))
                *fields[i] = *v;
        }
    }
}

void writeMailCounters(SettingsStore &store, const KillCounters &counters)
{
    store.write(kMailCountersSection, QStringLiteral("LogDate"),
                stored::fromNumber(counters.LogDate));
    store.write(kMailCountersSection, QStringLiteral("LogMonth"),
                stored::fromNumber(counters.LogMonth));
    store.write(kMailCountersSection, QStringLiteral("LogYear"),
                stored::fromNumber(counters.LogYear));
    store.write(kMailCountersSection, QStringLiteral("LogForever"),
                stored::fromNumber(counters.LogForever));
    store.write(kMailCountersSection, QStringLiteral("LogDateYear"),
                stored::fromNumber(counters.LogDateYear));
}

void rollOverCounters(std::int16_t &logDate, std::int16_t &logDateYear, std::int32_t &logMonth,
                      std::int32_t &logYear, const QDate &today)
{
    const int month = today.month();
    const int year = today.year();
    if (logDate == 0) {
        logDate = std::int16_t(month);
        logDateYear = std::int16_t(year);
    }
    // Without the stored year, an earlier month than the stored one is the only sign that
    // the year turned; the program may run for weeks, so January itself may never be seen.
    const bool yearTurned = logDateYear != 0 ? logDateYear != year : month < logDate;
    if (yearTurned)
        logYear = 0;
    if (yearTurned || month != logDate)
        logMonth = 0;
    logDate = std::int16_t(month);
    logDateYear = std::int16_t(year);
}

} // namespace kvorn

#include "log/KillCounters.h"

#include "core/SettingsStore.h"
#include "core/StoredValue.h"

namespace kvorn {

void readMailCounters(const SettingsStore &store, KillCounters &counters)
{
    const auto read = [&](const char *key) {
        return store.read(kMailCountersSection, QString::fromLatin1(key));
    };
    if (const auto text = read("LogDate")) {
        if (const auto v = stored::toInt16(*text))
            counters.LogDate = *v;
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
}

void rollOverCounters(std::int16_t &logDate, std::int32_t &logMonth, std::int32_t &logYear,
                      int currentMonth)
{
    if (logDate == 0)
        logDate = std::int16_t(currentMonth);
    if (currentMonth != logDate) {
        // An earlier month than the stored one means the year turned since: the program
        // may run for weeks, so January itself may never be seen.
        if (currentMonth < logDate)
            logYear = 0;
        logMonth = 0;
        logDate = std::int16_t(currentMonth);
    }
}

} // namespace kvorn

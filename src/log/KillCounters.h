#pragma once

#include <QString>
#include <cstdint>

namespace kvorn {

class SettingsStore;

/// One set of persistent kill counters: the month the month count belongs to, the counts
/// of this month, this year and since installed.
struct KillCounters
{
    std::int16_t LogDate = 0;
    std::int32_t LogMonth = 0;
    std::int32_t LogYear = 0;
    std::int32_t LogForever = 0;
};

/// The section that holds the mail counters (keys "LogDate", "LogMonth", "LogYear",
/// "LogForever"), beside the other mail settings.
inline const QString kMailCountersSection = QStringLiteral("Options\\MailSettings");

/// Reads the mail counters from their section; a missing or unreadable value keeps the
/// field as it was (the defaults: month 0, counts 0).
void readMailCounters(const SettingsStore &store, KillCounters &counters);
/// Writes the mail counters into their section (reaches the file at the store's next save).
void writeMailCounters(SettingsStore &store, const KillCounters &counters);

/// The rollover of one counter set, run before every count and every showing: a month
/// count of another month starts again at 0, and a year count is cleared when the current
/// month comes before the stored one (the year turned since).
void rollOverCounters(std::int16_t &logDate, std::int32_t &logMonth, std::int32_t &logYear,
                      int currentMonth);
inline void rollOverCounters(KillCounters &c, int currentMonth)
{
    rollOverCounters(c.LogDate, c.LogMonth, c.LogYear, currentMonth);
}

/// Adds one to a counter, stopping at the largest value instead of wrapping round.
inline void countUp(std::int32_t &counter)
{
    if (counter < INT32_MAX)
        ++counter;
}

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
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
    std::int16_t LogDateYear = 0; ///< the year of LogDate; 0 when not known
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
/// count of another month (or of the same month of another year) starts again at 0, and a
/// year count of another year is cleared. Counters stored without their year count as
/// last year's when the current month comes before the stored one.
void rollOverCounters(std::int16_t &logDate, std::int16_t &logDateYear, std::int32_t &logMonth,
                      std::int32_t &logYear, const QDate &today);
inline void rollOverCounters(KillCounters &c, const QDate &today)
{
    rollOverCounters(c.LogDate, c.LogDateYear, c.LogMonth, c.LogYear, today);
}

/// Adds one to a counter, stopping at the largest value instead of wrapping round.
inline void countUp(std::int32_t &counter)
{
    if (counter < INT32_MAX)
        ++counter;
}

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "log/KillLogReader.h"

#include <QDate>
#include <array>

namespace kvorn {

/// Kills per day over the last 30 days and per month over the last 12 months, popups and
/// mail apart, counted from the kill log (the counters keep no history).
struct KillHistory
{
    static constexpr int kDays = 30;
    static constexpr int kMonths = 12;
    QDate today;
    /// [0] is 29 days ago, [29] today.
    std::array<std::int64_t, kDays> popupsPerDay{};
    std::array<std::int64_t, kDays> mailPerDay{};
    /// [0] is 11 months ago, [11] this month.
    std::array<std::int64_t, kMonths> popupsPerMonth{};
    std::array<std::int64_t, kMonths> mailPerMonth{};
    /// Records whose date could not be read in today's date format.
    std::int64_t undated = 0;
    QString error;
};

/// Counts the log's records by the date part of their date text (the user's short date
/// format, as the log is written).
KillHistory countKillHistory(QIODevice &device, const QDate &today,
                             KillLogProgress *progress = nullptr);
/// The same for the log file; a missing file is an empty history.
KillHistory countKillHistoryFile(const QString &path, const QDate &today,
                                 KillLogProgress *progress = nullptr);

} // namespace kvorn

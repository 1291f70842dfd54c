// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QList>
#include <QString>

namespace kvorn {

/// Week of the year counted in weeks that start on Sunday, week 1 holding 1 January
/// (so the last days of a year are in week 53, or 54 in a leap year starting on Saturday).
int sundayWeekOfYear(const QDate &date);

/// The name part of the weekly server lists: last digit of the year, then two week digits.
int weekCode(const QDate &date);

/// Reads a date the program stored: the user's short date, the month-first forms of old
/// ("01/01/2003", "01/01/03") and ISO, whatever the locale. Invalid when no form reads it.
QDate readStoredDate(const QString &stored);

/// Reads the stored "LastUpdate" text whatever the locale: the user's short date, the
/// month-first forms the program has always stored ("01/01/2003", "01/01/03") and ISO.
/// Empty or unreadable text means 1 January 2003; a date after today means today.
QDate lastUpdateDate(const QString &stored, const QDate &today);

/// The week codes from the week of `from` up to today's week, each calendar week split at
/// the turn of the year, so weeks 53, 54 and the new year's week 1 are all named. Starts at
/// most 519 weeks back, since a code repeats after ten years.
QList<int> weekCodesSince(const QDate &from, const QDate &today, bool includeTodaysWeek);

} // namespace kvorn

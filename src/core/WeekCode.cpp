// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/WeekCode.h"

#include "core/DateText.h"

#include <QSet>

#include <algorithm>

namespace kvorn {

namespace {
// Sunday = 1 ... Saturday = 7.
int sundayFirstWeekday(const QDate &date)
{
    return date.dayOfWeek() % 7 + 1;
}

constexpr int kMaxWeeksBack = 519;
} // namespace

int sundayWeekOfYear(const QDate &date)
{
    const int firstWeekday = sundayFirstWeekday(QDate(date.year(), 1, 1));
    return (date.dayOfYear() + firstWeekday - 2) / 7 + 1;
}

int weekCode(const QDate &date)
{
    int yearDigit = date.year() % 10;
    if (yearDigit < 0)
        yearDigit += 10;
    return yearDigit * 100 + sundayWeekOfYear(date);
}

QDate readStoredDate(const QString &stored)
{
    const QString text = stored.trimmed();
    if (text.isEmpty())
        return {};
    // What the program wrote itself is in the user's short date format, so that form
    // comes first (under en_GB "05/11/2024" is 5 November). The month-first defaults
    // of old ("01/01/2003", "01/01/03") are read in every locale after it.
    QDate date = parseShortDate(text);
    if (!date.isValid())
        date = QDate::fromString(text, QStringLiteral("M/d/yyyy"));
    if (!date.isValid()) {
        date = QDate::fromString(text, QStringLiteral("M/d/yy"));
        if (date.isValid() && date.year() < 1950)
            date = date.addYears(100);
    }
    if (!date.isValid())
        date = QDate::fromString(text, Qt::ISODate);
    return date;
}

QDate lastUpdateDate(const QString &stored, const QDate &today)
{
    QDate date = readStoredDate(stored);
    if (!date.isValid())
        date = QDate(2003, 1, 1);
    if (today.isValid() && date > today)
        date = today;
    return date;
}

QList<int> weekCodesSince(const QDate &from, const QDate &today, bool includeTodaysWeek)
{
    QList<int> codes;
    if (!today.isValid())
        return codes;
    QDate day = std::max(from.isValid() ? from : today, today.addDays(-7 * kMaxWeeksBack));
    if (day > today)
        day = today;
    const int todaysYear = today.year();
    const int todaysWeek = sundayWeekOfYear(today);
    while (day <= today) {
        const bool isTodaysWeek = day.year() == todaysYear && sundayWeekOfYear(day) == todaysWeek;
        if (isTodaysWeek && !includeTodaysWeek)
            break;
        codes.append(weekCode(day));
        // The next week begins on Sunday, or on 1 January when that comes first.
        const QDate nextSunday = day.addDays(8 - sundayFirstWeekday(day));
        const QDate newYear(day.year() + 1, 1, 1);
        day = std::min(nextSunday, newYear);
    }
    // Ten years back a code can name an older week too; the newer one is meant.
    QSet<int> seen;
    QList<int> unique;
    for (auto it = codes.crbegin(); it != codes.crend(); ++it) {
        if (!seen.contains(*it)) {
            seen.insert(*it);
            unique.prepend(*it);
        }
    }
    return unique;
}

} // namespace kvorn

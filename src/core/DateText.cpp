// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/DateText.h"

#include <QLocale>

namespace kvorn {

namespace {
// The long time format without the time zone, as the general date format shows it.
QString longTimeFormat(const QLocale &locale)
{
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    return format.trimmed();
}
} // namespace

QString shortDateText(const QDate &date)
{
    return QLocale().toString(date, QLocale::ShortFormat);
}

QString generalDateText(const QDateTime &dateTime)
{
    const QLocale locale;
    const QString date = locale.toString(dateTime.date(), QLocale::ShortFormat);
    if (dateTime.time() == QTime(0, 0, 0))
        return date;
    return date + QLatin1Char(' ') + locale.toString(dateTime.time(), longTimeFormat(locale));
}

QDate parseShortDate(const QString &text)
{
    const QLocale locale;
    const QString trimmed = text.trimmed();
    QString shortFormat = locale.dateFormat(QLocale::ShortFormat);
    QString fourDigits = shortFormat;
    if (!fourDigits.contains(QStringLiteral("yyyy")))
        fourDigits.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    QString twoDigits = fourDigits;
    twoDigits.replace(QStringLiteral("yyyy"), QStringLiteral("yy"));

    QDate date = locale.toDate(trimmed, fourDigits);
    if (date.isValid())
        return date;
    date = locale.toDate(trimmed, twoDigits);
    if (date.isValid()) {
        // Two-digit years mean this century ("01/01/01" is 2001), as the program wrote them.
        if (date.year() < 1950)
            date = date.addYears(100);
        return date;
    }
    return QDate::fromString(trimmed, Qt::ISODate);
}

QString dateDisplayText(const QString &stored)
{
    QDate date = parseShortDate(stored);
    const QString trimmed = stored.trimmed();
    // The month-first form the lists were first published in, and the C locale's own.
    for (const char *format : {"M/d/yyyy", "M/d/yy", "d MMM yyyy"}) {
        if (date.isValid())
            break;
        const QString f = QString::fromLatin1(format);
        date = QLocale::c().toDate(trimmed, f);
        // Two-digit years are this century's, as parseShortDate reads them.
        if (date.isValid() && !f.contains(QLatin1String("yyyy")) && date.year() < 1950)
            date = date.addYears(100);
    }
    return date.isValid() ? shortDateText(date) : stored;
}

} // namespace kvorn

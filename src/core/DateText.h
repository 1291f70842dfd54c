#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

namespace kvorn {

/// The user's short date format, as the program writes dates into its files.
QString shortDateText(const QDate &date);
/// The general date format: short date, a blank, long time; the date alone at midnight.
QString generalDateText(const QDateTime &dateTime);
/// Reads a date written in the short date format (or ISO form); invalid when it is none.
QDate parseShortDate(const QString &text);

} // namespace kvorn

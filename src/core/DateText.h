// SPDX-License-Identifier: GPL-3.0-or-later
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
/// A date as the files store it, shown in the user's short date format: lists carry
/// dates written under other settings ("01/01/01" beside "11 Dec 2026"), and one window
/// shows them all alike. Text that is no date is shown as it is.
QString dateDisplayText(const QString &stored);

} // namespace kvorn

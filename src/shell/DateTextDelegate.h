// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStyledItemDelegate>

#include <initializer_list>

class QAbstractItemView;

namespace kvorn {

/// Shows a list's stored dates in the user's short date format; the model keeps the
/// stored text, so sorting, finding and saving see what the file holds.
class DateTextDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QString displayText(const QVariant &value, const QLocale &locale) const override;
};

/// Puts the delegate on the given date columns of a view.
void showDatesInLocale(QAbstractItemView &view, std::initializer_list<int> columns);

} // namespace kvorn

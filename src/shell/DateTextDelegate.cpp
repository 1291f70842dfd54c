// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/DateTextDelegate.h"

#include "core/DateText.h"

#include <QAbstractItemView>

namespace kvorn {

QString DateTextDelegate::displayText(const QVariant &value, const QLocale &locale) const
{
    if (value.userType() == QMetaType::QString)
        return dateDisplayText(value.toString());
    return QStyledItemDelegate::displayText(value, locale);
}

void showDatesInLocale(QAbstractItemView &view, std::initializer_list<int> columns)
{
    auto *delegate = new DateTextDelegate(&view);
    for (int column : columns)
        view.setItemDelegateForColumn(column, delegate);
}

} // namespace kvorn

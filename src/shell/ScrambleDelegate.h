// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStyledItemDelegate>

class QAbstractItemView;

namespace kvorn {

/// Shows every character but blanks as a bullet, so that a list can stay on screen
/// without being read over the user's shoulder; the model keeps the real text, so
/// finding, editing and copying still work. Tooltips are withheld too.
class ScrambleDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static QString scrambled(const QString &text);
    QString displayText(const QVariant &value, const QLocale &locale) const override;
    bool helpEvent(QHelpEvent *event, QAbstractItemView *view, const QStyleOptionViewItem &option,
                   const QModelIndex &index) override;
};

/// Puts a view's delegate in scrambled or plain mode.
void setScrambled(QAbstractItemView &view, bool on);

} // namespace kvorn

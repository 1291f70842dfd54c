// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ScrambleDelegate.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QToolTip>

namespace kvorn {

QString ScrambleDelegate::scrambled(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        if (!c.isSpace())
            c = QChar(0x2022);
    }
    return out;
}

QString ScrambleDelegate::displayText(const QVariant &value, const QLocale &locale) const
{
    return scrambled(QStyledItemDelegate::displayText(value, locale));
}

bool ScrambleDelegate::helpEvent(QHelpEvent *event, QAbstractItemView *view,
                                 const QStyleOptionViewItem &option, const QModelIndex &index)
{
    Q_UNUSED(view);
    Q_UNUSED(option);
    Q_UNUSED(index);
    if (event && event->type() == QEvent::ToolTip) {
        QToolTip::hideText();
        event->accept();
        return true;
    }
    return false;
}

void setScrambled(QAbstractItemView &view, bool on)
{
    auto *current = qobject_cast<ScrambleDelegate *>(view.itemDelegate());
    if (on == bool(current))
        return;
    if (on) {
        view.setProperty("kvornPlainDelegate", QVariant::fromValue<QObject *>(view.itemDelegate()));
        view.setItemDelegate(new ScrambleDelegate(&view));
    } else {
        auto *plain = qobject_cast<QAbstractItemDelegate *>(
            view.property("kvornPlainDelegate").value<QObject *>());
        view.setItemDelegate(plain);
        current->deleteLater();
    }
    view.viewport()->update();
}

} // namespace kvorn

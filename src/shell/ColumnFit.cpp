// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/ColumnFit.h"

#include <QAbstractItemModel>
#include <QHeaderView>
#include <QTimer>
#include <QTreeView>

#include <algorithm>

namespace kvorn {

void fitColumns(QTreeView &view)
{
    const QAbstractItemModel *model = view.model();
    if (!model)
        return;
    const int columns = model->columnCount();
    for (int c = 0; c < columns; ++c) {
        if (!view.isColumnHidden(c))
            view.resizeColumnToContents(c);
    }
    // A hidden list has no width to share out yet.
    if (columns < 2 || view.isColumnHidden(0) || !view.isVisible())
        return;
    QHeaderView *header = view.header();
    // What the other columns need, the stretched last one included (its size is the
    // room left over, not what it needs).
    const QAbstractItemView &items = view;
    int others = 0;
    for (int c = 1; c < columns; ++c) {
        if (!view.isColumnHidden(c))
            others += std::max(header->sectionSizeHint(c), items.sizeHintForColumn(c));
    }
    const int room = view.viewport()->width() - others;
    if (header->sectionSize(0) > room)
        header->resizeSection(0, std::max(header->sectionSizeHint(0), room));
}

void fitColumnsWhenChanged(QTreeView &view, std::function<bool()> wanted)
{
    QAbstractItemModel *model = view.model();
    if (!model)
        return;
    auto *later = new QTimer(&view);
    later->setSingleShot(true);
    later->setInterval(0);
    QObject::connect(later, &QTimer::timeout, &view, [&view, wanted = std::move(wanted)] {
        if (wanted())
            fitColumns(view);
    });
    const auto fitLater = [later] { later->start(); };
    QObject::connect(model, &QAbstractItemModel::rowsInserted, later, fitLater);
    QObject::connect(model, &QAbstractItemModel::rowsRemoved, later, fitLater);
    QObject::connect(model, &QAbstractItemModel::modelReset, later, fitLater);
    QObject::connect(model, &QAbstractItemModel::layoutChanged, later, fitLater);
    QObject::connect(model, &QAbstractItemModel::dataChanged, later, fitLater);
}

} // namespace kvorn

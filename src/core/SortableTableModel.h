// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractTableModel>
#include <cstdint>
#include <vector>

namespace kvorn {

/// A table model whose rows are reordered in place when sorted. The selection and the
/// current row of every view are persistent indexes: they must follow their rows, or a
/// sort would silently move the user's selection onto other entries.
class SortableTableModel : public QAbstractTableModel
{
public:
    using QAbstractTableModel::QAbstractTableModel;

protected:
    /// Runs `reorder`, telling views the layout changed. `idOfRow(row)` names what a row
    /// shows before the change; `rowOfId(id)` finds the row showing it afterwards.
    template <typename IdOfRow, typename Reorder, typename RowOfId>
    void reorderRows(IdOfRow idOfRow, Reorder reorder, RowOfId rowOfId)
    {
        Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        const QModelIndexList before = persistentIndexList();
        std::vector<decltype(idOfRow(0))> ids;
        ids.reserve(std::size_t(before.size()));
        for (const QModelIndex &i : before)
            ids.push_back(idOfRow(i.row()));
        reorder();
        if (!before.isEmpty()) {
            QModelIndexList after;
            after.reserve(before.size());
            for (qsizetype k = 0; k < before.size(); ++k)
                after.append(index(rowOfId(ids[std::size_t(k)]), before.at(k).column()));
            changePersistentIndexList(before, after);
        }
        Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    }

    /// For models that show their items through an order vector (display row -> item):
    /// reorders by `applyOrder`, which rewrites `order`.
    template <typename ApplyOrder>
    void reorderThrough(std::vector<std::uint32_t> &order, ApplyOrder applyOrder)
    {
        std::vector<std::uint32_t> rowOf;
        reorderRows([&](int row) { return order[std::size_t(row)]; }, applyOrder,
                    [&](std::uint32_t item) {
                        if (rowOf.empty()) {
                            rowOf.resize(order.size());
                            for (std::size_t row = 0; row < order.size(); ++row)
                                rowOf[order[row]] = std::uint32_t(row);
                        }
                        return int(rowOf[item]);
                    });
    }
};

} // namespace kvorn

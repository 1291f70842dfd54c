// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/SortableTableModel.h"

#include <QPersistentModelIndex>
#include <algorithm>
#include <numeric>

namespace kvorn {

/// A table model over a vector of rows, one `Row` a line. Every change of the rows goes
/// through here so that views hear of it and the current row stays on its row through
/// inserts, removals and sorts.
///
/// The `during` callables run after the rows changed but before views are told, for
/// models that keep something derived from the row places that a view's slot may ask for.
template <class Row>
class RowVectorModel : public SortableTableModel
{
public:
    using SortableTableModel::SortableTableModel;

    int count() const { return int(m_rows.size()); }
    int rowCount(const QModelIndex &parent = {}) const override
    {
        return parent.isValid() ? 0 : count();
    }
    /// The current row; -1 when none.
    int currentRow() const { return m_current.isValid() ? m_current.row() : -1; }

protected:
    bool hasRow(int row) const { return row >= 0 && row < count(); }
    const Row &rowAt(int row) const { return m_rows[std::size_t(row)]; }
    const std::vector<Row> &rows() const { return m_rows; }
    /// For changes that no column shows, or that the caller tells views of itself.
    Row &quietRow(int row) { return m_rows[std::size_t(row)]; }

    /// Makes a row current (-1: none); true when that changed the current row.
    bool setCurrentRow(int row)
    {
        if (row == currentRow())
            return false;
        m_current = hasRow(row) ? QPersistentModelIndex(index(row, 0)) : QPersistentModelIndex();
        return true;
    }

    /// Inserts a row at `at` (0 to count()) and returns `at`.
    template <class During = void (*)()>
    int insertRow(int at, Row row, During during = [] {})
    {
        beginInsertRows({}, at, at);
        m_rows.insert(m_rows.begin() + at, std::move(row));
        during();
        endInsertRows();
        return at;
    }
    int appendRow(Row row) { return insertRow(count(), std::move(row)); }
    /// Inserts a row after the rows that are not greater by `less`; returns its row.
    template <class Less>
    int insertSorted(Row row, Less less)
    {
        const auto it = std::upper_bound(m_rows.begin(), m_rows.end(), row, less);
        return insertRow(int(it - m_rows.begin()), std::move(row));
    }

    /// Removes a row (one out of range: nothing); true when it was the current row, of
    /// which there is none then.
    template <class During = void (*)()>
    bool eraseRow(int row, During during = [] {})
    {
        if (!hasRow(row))
            return false;
        const bool wasCurrent = row == currentRow();
        beginRemoveRows({}, row, row);
        m_rows.erase(m_rows.begin() + row);
        during();
        endRemoveRows();
        return wasCurrent;
    }

    /// Changes the rows all at once through `change(rows)`; no row is current afterwards.
    /// True when one was.
    template <class Change>
    bool resetRows(Change change)
    {
        const bool hadCurrent = currentRow() >= 0;
        beginResetModel();
        change(m_rows);
        endResetModel();
        m_current = QPersistentModelIndex();
        return hadCurrent;
    }

    /// Changes a row through `set(row)` and tells views that `column` changed (with
    /// `roles`, or every role). False, and nothing done, for a row out of range.
    template <class Set>
    bool changeRow(int row, int column, Set set, const QList<int> &roles = {})
    {
        if (!hasRow(row))
            return false;
        set(m_rows[std::size_t(row)]);
        const QModelIndex cell = index(row, column);
        Q_EMIT dataChanged(cell, cell, roles);
        return true;
    }

    /// Sorts the rows stably by `less`; selections and the current row stay on their rows.
    template <class Less, class During = void (*)()>
    void sortRows(Less less, During during = [] {})
    {
        std::vector<std::uint32_t> order(m_rows.size());
        std::iota(order.begin(), order.end(), 0U);
        reorderThrough(order, [&] {
            std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
                return less(m_rows[a], m_rows[b]);
            });
            std::vector<Row> sorted;
            sorted.reserve(m_rows.size());
            for (const std::uint32_t from : order)
                sorted.push_back(std::move(m_rows[from]));
            m_rows = std::move(sorted);
            during();
        });
    }

private:
    std::vector<Row> m_rows;
    QPersistentModelIndex m_current;
};

} // namespace kvorn

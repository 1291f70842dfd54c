// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/RowVectorModel.h"

namespace kvorn {

/// One distinct closed title of this run.
struct LogEntry
{
    QString text;           ///< the closed window's title
    int count = 0;          ///< "Count"
    QString blackListEntry; ///< the entry that closed it last, or "Window Limit"
    QString lastTime;       ///< general date text of the last close
};

/// The log list (`lvLog`), in memory only; kept sorted by its sort column.
class LogListModel : public RowVectorModel<LogEntry>
{
    Q_OBJECT

public:
    explicit LogListModel(QObject *parent = nullptr);

    const LogEntry &entry(int row) const { return rowAt(row); }
    /// The row whose title equals the text without regard to letter case; -1 when none.
    int exactRow(const QString &title) const;
    /// Adds a row with this title at its sorted place; returns its row.
    int append(const QString &title);
    void removeAt(int row);
    void clear();
    void setCount(int row, int count);
    void setBlackListEntry(int row, const QString &entry);
    void setLastTime(int row, const QString &time);
    /// One close of a window with this title: finds or adds its row, counts it up, and sets
    /// the entry and the time. Returns the row.
    int bookKill(const QString &title, const QString &blackListEntry, const QString &time);

    void selectRow(int row);

    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    void selectionStateChanged();

private:
    QString cell(const LogEntry &e, int column) const;
    bool lessThan(const LogEntry &a, const LogEntry &b) const;

    int m_sortColumn = 0;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

} // namespace kvorn

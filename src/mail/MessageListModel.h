// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/RowVectorModel.h"

#include <QString>
#include <array>
#include <cstdint>

namespace kvorn {

/// The columns of the mail list, in display order.
enum MailColumn : int
{
    ColFrom = 0,
    ColSubject,
    ColDate,
    ColSize,
    ColAccount,
    ColBounce,
    ColStatus,
    ColBlacklist,
    ColPriority,
    ColTo,
    ColUniqueId,
    MailColumnCount
};

/// One row of the mail list: its texts, check mark (marked for deletion) and tag (the
/// message's number on the server at check time).
struct MailListRow
{
    std::array<QString, MailColumnCount> text;
    bool checked = false;
    std::int32_t tag = 0;
    /// Why the message cannot be found again safely on its server (a malformed or repeated
    /// unique ID); such a row is never deleted. Empty for an ordinary row.
    QString unprocessable;
    /// Stays the same while the row lives, whatever sorting or removals do to its place.
    quint64 key = 0;
};

/// The rows of the mail screen's list (`lvMailList`). Rows are kept in the list's sort
/// order, so a row number means the same here as on screen; a new row takes its place in
/// that order. The selected row is part of the list's state.
class MessageListModel : public RowVectorModel<MailListRow>
{
    Q_OBJECT

public:
    /// The tag of a row, under this role of column 0.
    static constexpr int TagRole = Qt::UserRole + 1;
    /// The row's key, under this role of column 0.
    static constexpr int KeyRole = Qt::UserRole + 2;

    explicit MessageListModel(QObject *parent = nullptr);

    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    /// Sorts by a column's text, letter case ignored; numbers and dates sort as text.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    /// The column captions.
    static QString caption(int column);
    /// The "Status" text of a row that can never be processed.
    static QString unprocessableStatus(const QString &why)
    {
        return QStringLiteral("Not processable: ") + why;
    }

    /// Adds a row at its place in the sort order; returns the row's key.
    quint64 addRow(MailListRow row);
    /// The row number of a key, -1 when the row is gone.
    int rowOfKey(quint64 key) const;
    const MailListRow &row(int row) const { return rows().at(std::size_t(row)); }
    QString text(int row, int column) const;
    void setText(int row, int column, const QString &text);
    bool isChecked(int row) const;
    void setChecked(int row, bool checked);
    std::int32_t tag(int row) const;
    /// Takes the mark off the row for good: its "Status" tells `why`, and processing never
    /// deletes its message.
    void setUnprocessable(int row, const QString &why);
    QString unprocessable(int row) const;
    void removeRowAt(int row);
    /// Removes every row.
    void clear();

    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }

    /// The selected row, -1 when none.
    int selectedRow() const { return currentRow(); }
    void setSelectedRow(int row);

Q_SIGNALS:
    /// The selected row changed (-1: none).
    void selectedRowChanged(int row);

private:
    bool lessThan(const MailListRow &a, const MailListRow &b) const;

    int m_sortColumn = ColFrom;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    quint64 m_nextKey = 1;
};

} // namespace kvorn

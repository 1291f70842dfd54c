// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/MessageListModel.h"

namespace kvorn {

MessageListModel::MessageListModel(QObject *parent) : RowVectorModel(parent) {}

int MessageListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : MailColumnCount;
}

QString MessageListModel::caption(int column)
{
    static const char *const kCaptions[MailColumnCount] = {
        "From",   "Subject",   "Date",     "Size", "Account",  "Bounce",
        "Status", "Blacklist", "Priority", "To",   "Unique ID"};
    return column >= 0 && column < MailColumnCount ? QString::fromLatin1(kCaptions[column])
                                                   : QString();
}

QVariant MessageListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const MailListRow &r = rowAt(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return r.text[std::size_t(index.column())];
    case Qt::CheckStateRole:
        if (index.column() == ColFrom)
            return r.checked ? Qt::Checked : Qt::Unchecked;
        return {};
    case TagRole:
        return r.tag;
    case KeyRole:
        return r.key;
    default:
        return {};
    }
}

bool MessageListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.column() != ColFrom || role != Qt::CheckStateRole)
        return false;
    setChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

Qt::ItemFlags MessageListModel::flags(const QModelIndex &index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == ColFrom)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant MessageListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return caption(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

bool MessageListModel::lessThan(const MailListRow &a, const MailListRow &b) const
{
    const int c = QString::compare(a.text[std::size_t(m_sortColumn)],
                                   b.text[std::size_t(m_sortColumn)], Qt::CaseInsensitive);
    return m_sortOrder == Qt::AscendingOrder ? c < 0 : c > 0;
}

void MessageListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= MailColumnCount)
        return;
    m_sortColumn = column;
    m_sortOrder = order;
    sortRows([this](const MailListRow &a, const MailListRow &b) { return lessThan(a, b); });
}

quint64 MessageListModel::addRow(MailListRow row)
{
    row.key = m_nextKey++;
    const quint64 key = row.key;
    insertSorted(std::move(row),
                 [this](const MailListRow &a, const MailListRow &b) { return lessThan(a, b); });
    return key;
}

int MessageListModel::rowOfKey(quint64 key) const
{
    for (int i = count(); i-- > 0;) {
        if (rowAt(i).key == key)
            return i;
    }
    return -1;
}

QString MessageListModel::text(int row, int column) const
{
    if (!hasRow(row) || column < 0 || column >= MailColumnCount)
        return {};
    return rowAt(row).text[std::size_t(column)];
}

void MessageListModel::setText(int row, int column, const QString &text)
{
    if (column >= 0 && column < MailColumnCount)
        changeRow(
            row, column, [&](MailListRow &r) { r.text[std::size_t(column)] = text; },
            {Qt::DisplayRole});
}

bool MessageListModel::isChecked(int row) const
{
    return hasRow(row) && rowAt(row).checked;
}

void MessageListModel::setChecked(int row, bool checked)
{
    // Its message cannot be told apart on the server: a mark would delete a guess.
    if (checked && hasRow(row) && !rowAt(row).unprocessable.isEmpty())
        return;
    changeRow(row, ColFrom, [&](MailListRow &r) { r.checked = checked; }, {Qt::CheckStateRole});
}

std::int32_t MessageListModel::tag(int row) const
{
    return hasRow(row) ? rowAt(row).tag : 0;
}

void MessageListModel::setUnprocessable(int row, const QString &why)
{
    if (!hasRow(row))
        return;
    setChecked(row, false);
    changeRow(row, ColStatus, [&](MailListRow &r) { r.unprocessable = why; });
    setText(row, ColStatus, unprocessableStatus(why));
    // Nothing may compare with it any more.
    setText(row, ColUniqueId, QString());
}

QString MessageListModel::unprocessable(int row) const
{
    return hasRow(row) ? rowAt(row).unprocessable : QString();
}

void MessageListModel::removeRowAt(int row)
{
    if (eraseRow(row))
        Q_EMIT selectedRowChanged(-1);
}

void MessageListModel::clear()
{
    if (resetRows([](std::vector<MailListRow> &rows) { rows.clear(); }))
        Q_EMIT selectedRowChanged(-1);
}

void MessageListModel::setSelectedRow(int row)
{
    if (!hasRow(row))
        row = -1;
    if (setCurrentRow(row))
        Q_EMIT selectedRowChanged(row);
}

} // namespace kvorn

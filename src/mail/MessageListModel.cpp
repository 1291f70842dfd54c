#include "mail/MessageListModel.h"

#include <algorithm>

namespace kvorn {

MessageListModel::MessageListModel(QObject *parent) : QAbstractTableModel(parent) {}

int MessageListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

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
    const MailListRow &r = m_rows[std::size_t(index.row())];
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
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    std::vector<quint64> keys;
    keys.reserve(std::size_t(before.size()));
    for (const QModelIndex &i : before)
        keys.push_back(m_rows[std::size_t(i.row())].key);

    m_sortColumn = column;
    m_sortOrder = order;
    std::stable_sort(m_rows.begin(), m_rows.end(),
                     [this](const MailListRow &a, const MailListRow &b) { return lessThan(a, b); });

    QModelIndexList after;
    after.reserve(before.size());
    for (qsizetype i = 0; i < before.size(); ++i)
        after.append(index(rowOfKey(keys[std::size_t(i)]), before.at(i).column()));
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

quint64 MessageListModel::addRow(MailListRow row)
{
    row.key = m_nextKey++;
    const auto at = std::upper_bound(
        m_rows.begin(), m_rows.end(), row,
        [this](const MailListRow &a, const MailListRow &b) { return lessThan(a, b); });
    const int pos = static_cast<int>(at - m_rows.begin());
    beginInsertRows({}, pos, pos);
    m_rows.insert(at, std::move(row));
    endInsertRows();
    return m_rows[std::size_t(pos)].key;
}

int MessageListModel::rowOfKey(quint64 key) const
{
    for (std::size_t i = m_rows.size(); i-- > 0;) {
        if (m_rows[i].key == key)
            return static_cast<int>(i);
    }
    return -1;
}

QString MessageListModel::text(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= MailColumnCount)
        return {};
    return m_rows[std::size_t(row)].text[std::size_t(column)];
}

void MessageListModel::setText(int row, int column, const QString &text)
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= MailColumnCount)
        return;
    m_rows[std::size_t(row)].text[std::size_t(column)] = text;
    const QModelIndex i = index(row, column);
    Q_EMIT dataChanged(i, i, {Qt::DisplayRole});
}

bool MessageListModel::isChecked(int row) const
{
    return row >= 0 && row < rowCount() && m_rows[std::size_t(row)].checked;
}

void MessageListModel::setChecked(int row, bool checked)
{
    if (row < 0 || row >= rowCount())
        return;
    m_rows[std::size_t(row)].checked = checked;
    const QModelIndex i = index(row, ColFrom);
    Q_EMIT dataChanged(i, i, {Qt::CheckStateRole});
}

std::int32_t MessageListModel::tag(int row) const
{
    return row >= 0 && row < rowCount() ? m_rows[std::size_t(row)].tag : 0;
}

void MessageListModel::removeRowAt(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    const bool wasSelected = m_rows[std::size_t(row)].key == m_selectedKey;
    beginRemoveRows({}, row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
    if (wasSelected) {
        m_selectedKey = 0;
        Q_EMIT selectedRowChanged(-1);
    }
}

void MessageListModel::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
    if (m_selectedKey != 0) {
        m_selectedKey = 0;
        Q_EMIT selectedRowChanged(-1);
    }
}

int MessageListModel::selectedRow() const
{
    return m_selectedKey == 0 ? -1 : rowOfKey(m_selectedKey);
}

void MessageListModel::setSelectedRow(int row)
{
    const quint64 key = row >= 0 && row < rowCount() ? m_rows[std::size_t(row)].key : 0;
    if (key == m_selectedKey)
        return;
    m_selectedKey = key;
    Q_EMIT selectedRowChanged(row >= 0 && row < rowCount() ? row : -1);
}

} // namespace kvorn

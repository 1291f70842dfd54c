#include "popups/DetectedListModel.h"

#include "popups/Wildcard.h"

namespace kvorn {

DetectedListModel::DetectedListModel(QObject *parent) : QAbstractTableModel(parent)
{
    setObjectName(QStringLiteral("lvMonitor"));
}

int DetectedListModel::append(DetectedEntry entry)
{
    const int at = count();
    beginInsertRows({}, at, at);
    m_rows.push_back(std::move(entry));
    endInsertRows();
    return at;
}

void DetectedListModel::removeAt(int row)
{
    if (row < 0 || row >= count())
        return;
    beginRemoveRows({}, row, row);
    m_rows.erase(m_rows.begin() + row);
    endRemoveRows();
    if (m_current == row) {
        m_current = -1;
        Q_EMIT selectionStateChanged();
    } else if (m_current > row) {
        --m_current;
    }
}

void DetectedListModel::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
    clearSelection();
}

int DetectedListModel::findKey(const QString &key) const
{
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (m_rows[i].key == key)
            return int(i);
    }
    return -1;
}

int DetectedListModel::exactRow(const QString &text) const
{
    const QString t = lookupCase(text);
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (lookupCase(m_rows[i].text) == t)
            return int(i);
    }
    return -1;
}

void DetectedListModel::setAddress(int row, const QString &address)
{
    if (row < 0 || row >= count() || m_rows[std::size_t(row)].address == address)
        return;
    m_rows[std::size_t(row)].address = address;
    Q_EMIT dataChanged(index(row, 1), index(row, 1));
}

void DetectedListModel::setHandle(int row, std::uint64_t handle)
{
    if (row >= 0 && row < count())
        m_rows[std::size_t(row)].handle = handle;
}

void DetectedListModel::resetHandles()
{
    for (DetectedEntry &e : m_rows)
        e.handle = 0;
}

void DetectedListModel::selectRow(int row)
{
    if (row < -1 || row >= count() || row == m_current)
        return;
    m_current = row;
    Q_EMIT selectionStateChanged();
}

void DetectedListModel::clearSelection()
{
    selectRow(-1);
}

int DetectedListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

int DetectedListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant DetectedListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count() ||
        (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    const DetectedEntry &e = m_rows[std::size_t(index.row())];
    switch (index.column()) {
    case 0:
        return e.text;
    case 1:
        return e.addressShown();
    default:
        return e.forcedOpen ? QStringLiteral("True") : QStringLiteral("False");
    }
}

QVariant DetectedListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case 0:
        return QStringLiteral("Detected Items (double click to close)");
    case 1:
        return QStringLiteral("Http: Address");
    case 2:
        return QStringLiteral("Forced Open");
    default:
        return {};
    }
}

} // namespace kvorn

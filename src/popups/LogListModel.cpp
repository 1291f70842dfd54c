#include "popups/LogListModel.h"

#include "popups/Wildcard.h"

#include <algorithm>

namespace kvorn {

LogListModel::LogListModel(QObject *parent) : QAbstractTableModel(parent)
{
    setObjectName(QStringLiteral("lvLog"));
}

QString LogListModel::cell(const LogEntry &e, int column) const
{
    switch (column) {
    case 1:
        return QString::number(e.count);
    case 2:
        return e.blackListEntry;
    case 3:
        return e.lastTime;
    default:
        return e.text;
    }
}

bool LogListModel::lessThan(const LogEntry &a, const LogEntry &b) const
{
    // The cells are compared as text, as the list view sorts them.
    const int c =
        QString::compare(cell(a, m_sortColumn), cell(b, m_sortColumn), Qt::CaseInsensitive);
    return m_sortOrder == Qt::AscendingOrder ? c < 0 : c > 0;
}

int LogListModel::exactRow(const QString &title) const
{
    const QString t = lookupCase(title);
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (lookupCase(m_rows[i].text) == t)
            return int(i);
    }
    return -1;
}

int LogListModel::append(const QString &title)
{
    LogEntry e;
    e.text = title;
    const auto it =
        std::upper_bound(m_rows.begin(), m_rows.end(), e,
                         [this](const LogEntry &a, const LogEntry &b) { return lessThan(a, b); });
    const int at = int(it - m_rows.begin());
    beginInsertRows({}, at, at);
    m_rows.insert(it, std::move(e));
    endInsertRows();
    if (m_current >= at)
        ++m_current;
    return at;
}

void LogListModel::removeAt(int row)
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

void LogListModel::clear()
{
    beginResetModel();
    m_rows.clear();
    endResetModel();
    selectRow(-1);
}

void LogListModel::setCount(int row, int n)
{
    if (row < 0 || row >= count())
        return;
    m_rows[std::size_t(row)].count = n;
    Q_EMIT dataChanged(index(row, 1), index(row, 1));
}

void LogListModel::setBlackListEntry(int row, const QString &entry)
{
    if (row < 0 || row >= count())
        return;
    m_rows[std::size_t(row)].blackListEntry = entry;
    Q_EMIT dataChanged(index(row, 2), index(row, 2));
}

void LogListModel::setLastTime(int row, const QString &time)
{
    if (row < 0 || row >= count())
        return;
    m_rows[std::size_t(row)].lastTime = time;
    Q_EMIT dataChanged(index(row, 3), index(row, 3));
}

int LogListModel::bookKill(const QString &title, const QString &blackListEntry, const QString &time)
{
    int row = exactRow(title);
    if (row < 0)
        row = append(title);
    setCount(row, m_rows[std::size_t(row)].count + 1);
    setBlackListEntry(row, blackListEntry);
    setLastTime(row, time);
    return row;
}

void LogListModel::selectRow(int row)
{
    if (row < -1 || row >= count() || row == m_current)
        return;
    m_current = row;
    Q_EMIT selectionStateChanged();
}

void LogListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column > 3)
        return;
    m_sortColumn = column;
    m_sortOrder = order;
    beginResetModel();
    const QString currentTitle = m_current >= 0 ? m_rows[std::size_t(m_current)].text : QString();
    std::stable_sort(m_rows.begin(), m_rows.end(),
                     [this](const LogEntry &a, const LogEntry &b) { return lessThan(a, b); });
    if (m_current >= 0) {
        // Titles are unique per row: the current row follows its title.
        for (std::size_t i = 0; i < m_rows.size(); ++i) {
            if (m_rows[i].text == currentTitle)
                m_current = int(i);
        }
    }
    endResetModel();
    Q_EMIT selectionStateChanged();
}

int LogListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

int LogListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 4;
}

QVariant LogListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count() ||
        (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return {};
    return cell(m_rows[std::size_t(index.row())], index.column());
}

QVariant LogListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case 0:
        return QStringLiteral("Closed Popup Title ");
    case 1:
        return QStringLiteral("Count");
    case 2:
        return QStringLiteral("Black List Entry");
    case 3:
        return QStringLiteral("Last Time");
    default:
        return {};
    }
}

} // namespace kvorn

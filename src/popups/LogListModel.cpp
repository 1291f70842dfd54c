// SPDX-License-Identifier: GPL-3.0-or-later
#include "popups/LogListModel.h"

#include "popups/Wildcard.h"

namespace kvorn {

LogListModel::LogListModel(QObject *parent) : RowVectorModel(parent)
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
    for (int i = 0; i < count(); ++i) {
        if (lookupCase(rowAt(i).text) == t)
            return i;
    }
    return -1;
}

int LogListModel::append(const QString &title)
{
    LogEntry e;
    e.text = title;
    return insertSorted(std::move(e),
                        [this](const LogEntry &a, const LogEntry &b) { return lessThan(a, b); });
}

void LogListModel::removeAt(int row)
{
    if (eraseRow(row))
        Q_EMIT selectionStateChanged();
}

void LogListModel::clear()
{
    if (resetRows([](std::vector<LogEntry> &rows) { rows.clear(); }))
        Q_EMIT selectionStateChanged();
}

void LogListModel::setCount(int row, int n)
{
    changeRow(row, 1, [&](LogEntry &e) { e.count = n; });
}

void LogListModel::setBlackListEntry(int row, const QString &entry)
{
    changeRow(row, 2, [&](LogEntry &e) { e.blackListEntry = entry; });
}

void LogListModel::setLastTime(int row, const QString &time)
{
    changeRow(row, 3, [&](LogEntry &e) { e.lastTime = time; });
}

int LogListModel::bookKill(const QString &title, const QString &blackListEntry, const QString &time)
{
    int row = exactRow(title);
    if (row < 0)
        row = append(title);
    setCount(row, rowAt(row).count + 1);
    setBlackListEntry(row, blackListEntry);
    setLastTime(row, time);
    return row;
}

void LogListModel::selectRow(int row)
{
    if (row >= -1 && row < count() && setCurrentRow(row))
        Q_EMIT selectionStateChanged();
}

void LogListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column > 3)
        return;
    m_sortColumn = column;
    m_sortOrder = order;
    sortRows([this](const LogEntry &a, const LogEntry &b) { return lessThan(a, b); });
    Q_EMIT selectionStateChanged();
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
    return cell(rowAt(index.row()), index.column());
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

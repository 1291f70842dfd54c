// SPDX-License-Identifier: GPL-3.0-or-later
#include "popups/DetectedListModel.h"

#include "popups/Wildcard.h"

namespace kvorn {

DetectedListModel::DetectedListModel(QObject *parent) : RowVectorModel(parent)
{
    setObjectName(QStringLiteral("lvMonitor"));
}

int DetectedListModel::append(DetectedEntry entry)
{
    return appendRow(std::move(entry));
}

void DetectedListModel::removeAt(int row)
{
    if (eraseRow(row))
        Q_EMIT selectionStateChanged();
}

void DetectedListModel::clear()
{
    if (resetRows([](std::vector<DetectedEntry> &rows) { rows.clear(); }))
        Q_EMIT selectionStateChanged();
}

int DetectedListModel::findKey(const QString &key) const
{
    for (int i = 0; i < count(); ++i) {
        if (rowAt(i).key == key)
            return i;
    }
    return -1;
}

int DetectedListModel::exactRow(const QString &text) const
{
    const QString t = lookupCase(text);
    for (int i = 0; i < count(); ++i) {
        if (lookupCase(rowAt(i).text) == t)
            return i;
    }
    return -1;
}

void DetectedListModel::setAddress(int row, const QString &address)
{
    if (hasRow(row) && rowAt(row).address != address)
        changeRow(row, 1, [&](DetectedEntry &e) { e.address = address; });
}

void DetectedListModel::setHandle(int row, std::uint64_t handle)
{
    if (hasRow(row))
        quietRow(row).handle = handle;
}

void DetectedListModel::resetHandles()
{
    for (int i = 0; i < count(); ++i)
        quietRow(i).handle = 0;
}

void DetectedListModel::selectRow(int row)
{
    if (row >= -1 && row < count() && setCurrentRow(row))
        Q_EMIT selectionStateChanged();
}

void DetectedListModel::clearSelection()
{
    selectRow(-1);
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
    const DetectedEntry &e = rowAt(index.row());
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
        return QStringLiteral("Detected Items (double click to add)");
    case 1:
        return QStringLiteral("Http: Address");
    case 2:
        return QStringLiteral("Forced Open");
    default:
        return {};
    }
}

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
#include "popups/PopupListModel.h"

#include "popups/Wildcard.h"

#include <algorithm>
#include <climits>
#include <utility>

namespace kvorn {

PopupListModel::PopupListModel(Kind kind, QObject *parent)
    : RowVectorModel(parent), m_kind(kind)
{
    setObjectName(viewName());
}

PopupListModel::~PopupListModel() = default;

QString PopupListModel::viewName() const
{
    switch (m_kind) {
    case Kind::Black:
        return QStringLiteral("lvTitles");
    case Kind::White:
        return QStringLiteral("lvExclude");
    case Kind::Banned:
        break;
    }
    return QStringLiteral("lvBanned");
}

// --- ids and rows --------------------------------------------------------------------------

std::uint32_t PopupListModel::newId()
{
    if (!m_freeIds.empty()) {
        const std::uint32_t id = m_freeIds.back();
        m_freeIds.pop_back();
        return id;
    }
    return m_nextId++;
}

void PopupListModel::rebuildRowsOfIds() const
{
    m_rowOfId.assign(m_nextId, -1);
    for (int i = 0; i < count(); ++i)
        m_rowOfId[rowAt(i).id] = i;
    m_rowsDirty = false;
}

int PopupListModel::rowOfId(std::uint32_t id) const
{
    if (m_rowsDirty || id >= m_rowOfId.size())
        rebuildRowsOfIds();
    return m_rowOfId[id];
}

const QString &PopupListModel::cell(const Row &row, int column) const
{
    switch (column) {
    case 1:
        return row.entry.dateAdded;
    case 2:
        return row.entry.lastUsed;
    default:
        return row.entry.text;
    }
}

bool PopupListModel::lessThan(const Row &a, const Row &b) const
{
    const int c =
        QString::compare(cell(a, m_sortColumn), cell(b, m_sortColumn), Qt::CaseInsensitive);
    return m_sortOrder == Qt::AscendingOrder ? c < 0 : c > 0;
}

int PopupListModel::sortedPosition(const Row &row) const
{
    const auto it = std::upper_bound(rows().begin(), rows().end(), row,
                                     [this](const Row &a, const Row &b) { return lessThan(a, b); });
    return int(it - rows().begin());
}

// --- entries -------------------------------------------------------------------------------

int PopupListModel::append(PopupEntry entry)
{
    if (m_kind == Kind::Banned)
        entry.enabled = true;
    Row row{std::move(entry), newId()};
    const int at = m_keepSorted ? sortedPosition(row) : count();
    m_index.insert(row.id, lookupCase(row.entry.text));
    const std::uint32_t id = row.id;
    return insertRow(at, std::move(row), [&] {
        // Appending at the end keeps every other row where it was.
        if (at == count() - 1 && !m_rowsDirty) {
            if (id >= m_rowOfId.size())
                m_rowOfId.resize(std::size_t(id) + 1, -1);
            m_rowOfId[id] = at;
        } else {
            m_rowsDirty = true;
        }
    });
}

void PopupListModel::assign(std::vector<PopupEntry> entries)
{
    resetRows([&](std::vector<Row> &rows) {
        rows.clear();
        m_index.clear();
        m_freeIds.clear();
        m_nextId = 0;
        m_selected.clear();
        rows.reserve(entries.size());
        m_index.reserve(entries.size());
        for (PopupEntry &entry : entries) {
            if (m_kind == Kind::Banned)
                entry.enabled = true;
            rows.push_back(Row{std::move(entry), newId()});
        }
        if (m_keepSorted) {
            const auto less = [this](const Row &a, const Row &b) { return lessThan(a, b); };
            // A file this program saved is in order already.
            if (!std::is_sorted(rows.begin(), rows.end(), less))
                std::stable_sort(rows.begin(), rows.end(), less);
        }
        QString lowered;
        for (const Row &row : rows) {
            lookupCaseInto(lowered, row.entry.text);
            m_index.insert(row.id, lowered);
        }
        m_rowsDirty = true;
    });
    emitSelectionChanged();
}

void PopupListModel::takeRows(PopupListModel &other)
{
    std::vector<Row> taken;
    other.resetRows([&](std::vector<Row> &rows) { taken.swap(rows); });
    MatchIndex index;
    std::swap(index, other.m_index);
    const std::uint32_t nextId = std::exchange(other.m_nextId, 0);
    std::vector<std::uint32_t> freeIds = std::exchange(other.m_freeIds, {});
    other.m_selected.clear();
    other.m_rowsDirty = true;
    resetRows([&](std::vector<Row> &rows) {
        // Only swaps: a long list changes hands without holding up the window.
        rows.swap(taken);
        std::swap(m_index, index);
        m_nextId = nextId;
        m_freeIds = std::move(freeIds);
        m_selected.clear();
        m_rowsDirty = true;
    });
    emitSelectionChanged();
}

void PopupListModel::removeAt(int row)
{
    if (row < 0 || row >= count())
        return;
    const Row &r = rowAt(row);
    const std::uint32_t id = r.id;
    m_index.erase(id, lookupCase(r.entry.text));
    const bool wasSelected = std::erase(m_selected, id) > 0;
    const bool wasCurrent = eraseRow(row, [&] {
        m_freeIds.push_back(id);
        m_rowsDirty = true;
    });
    if (wasSelected || wasCurrent)
        emitSelectionChanged();
}

void PopupListModel::clear()
{
    assign({});
}

void PopupListModel::setText(int row, const QString &text)
{
    changeRow(row, 0, [&](Row &r) {
        m_index.erase(r.id, lookupCase(r.entry.text));
        r.entry.text = text;
        m_index.insert(r.id, lookupCase(text));
    });
}

void PopupListModel::setEnabled(int row, bool enabled)
{
    if (hasRow(row) && m_kind != Kind::Banned && entry(row).enabled != enabled)
        changeRow(row, 0, [&](Row &r) { r.entry.enabled = enabled; }, {Qt::CheckStateRole});
}

void PopupListModel::setDateAdded(int row, const QString &date)
{
    changeRow(row, 1, [&](Row &r) { r.entry.dateAdded = date; });
}

void PopupListModel::setLastUsed(int row, const QString &date)
{
    changeRow(row, 2, [&](Row &r) { r.entry.lastUsed = date; });
}

std::vector<PopupEntry> PopupListModel::entries() const
{
    std::vector<PopupEntry> out;
    out.reserve(rows().size());
    for (const Row &row : rows())
        out.push_back(row.entry);
    return out;
}

// --- lookups -------------------------------------------------------------------------------

int PopupListModel::patternHitRow(const QString &lowered) const
{
    int best = INT_MAX;
    m_index.forEachSameText(lowered, [&](std::uint32_t id) {
        const int row = rowOfId(id);
        if (row < 0 || row >= best)
            return;
        const PopupEntry &e = entry(row);
        if (e.enabled && !MatchIndex::hasStar(e.text) && lookupCase(e.text) == lowered)
            best = row;
    });
    m_index.forEachPatternCandidate(lowered, [&](std::uint32_t id) {
        const int row = rowOfId(id);
        if (row < 0 || row >= best)
            return;
        const PopupEntry &e = entry(row);
        if (e.enabled && wildcardHit(lookupCase(e.text), lowered))
            best = row;
    });
    return best == INT_MAX ? -1 : best;
}

int PopupListModel::exactRow(const QString &lowered) const
{
    int best = INT_MAX;
    m_index.forEachSameText(lowered, [&](std::uint32_t id) {
        const int row = rowOfId(id);
        if (row >= 0 && row < best && lookupCase(entry(row).text) == lowered)
            best = row;
    });
    return best == INT_MAX ? -1 : best;
}

int PopupListModel::patternHitRowByScan(const QString &lowered, bool byMarks) const
{
    for (int i = 0; i < count(); ++i) {
        const PopupEntry &candidate = entry(i);
        if (!candidate.enabled)
            continue;
        const QString e = lookupCase(candidate.text);
        bool hit = false;
        if (!e.contains(QLatin1Char('*')))
            hit = e == lowered;
        else
            hit = byMarks ? wildcardHitByMarks(e, lowered) : wildcardHit(e, lowered);
        if (hit)
            return i;
    }
    return -1;
}

int PopupListModel::exactRowByScan(const QString &lowered) const
{
    for (int i = 0; i < count(); ++i) {
        if (lookupCase(entry(i).text) == lowered)
            return i;
    }
    return -1;
}

// --- view state ----------------------------------------------------------------------------

void PopupListModel::emitSelectionChanged()
{
    Q_EMIT selectionStateChanged();
}

bool PopupListModel::isSelected(int row) const
{
    if (!hasRow(row))
        return false;
    const std::uint32_t id = rowAt(row).id;
    return std::find(m_selected.begin(), m_selected.end(), id) != m_selected.end();
}

QList<int> PopupListModel::selectedRows() const
{
    QList<int> rows;
    for (const std::uint32_t id : m_selected)
        rows.append(rowOfId(id));
    std::sort(rows.begin(), rows.end());
    return rows;
}

void PopupListModel::setMultiSelect(bool on)
{
    m_multiSelect = on;
}

void PopupListModel::selectRow(int row)
{
    if (!hasRow(row))
        return;
    const std::uint32_t id = rowAt(row).id;
    if (!m_multiSelect) {
        if (m_selected.size() == 1 && m_selected.front() == id && currentRow() == row)
            return;
        m_selected.clear();
    }
    if (std::find(m_selected.begin(), m_selected.end(), id) == m_selected.end())
        m_selected.push_back(id);
    setCurrentRow(row);
    emitSelectionChanged();
}

void PopupListModel::selectOnly(int row)
{
    if (!hasRow(row))
        return;
    const std::uint32_t id = rowAt(row).id;
    if (m_selected.size() == 1 && m_selected.front() == id && currentRow() == row)
        return;
    m_selected.assign(1, id);
    setCurrentRow(row);
    emitSelectionChanged();
}

void PopupListModel::deselectRow(int row)
{
    if (!hasRow(row))
        return;
    const bool removed = std::erase(m_selected, rowAt(row).id) > 0;
    const bool wasCurrent = row == currentRow() && setCurrentRow(-1);
    if (removed || wasCurrent)
        emitSelectionChanged();
}

void PopupListModel::clearSelection()
{
    if (m_selected.empty() && currentRow() < 0)
        return;
    m_selected.clear();
    setCurrentRow(-1);
    emitSelectionChanged();
}

void PopupListModel::setSelection(const QList<int> &rows, int current)
{
    std::vector<std::uint32_t> ids;
    for (const int row : rows) {
        if (hasRow(row))
            ids.push_back(rowAt(row).id);
    }
    const int cur = hasRow(current) ? current : -1;
    std::vector<std::uint32_t> a = ids, b = m_selected;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    if (a == b && cur == currentRow())
        return;
    m_selected = std::move(ids);
    setCurrentRow(cur);
    emitSelectionChanged();
}

// --- sorting -------------------------------------------------------------------------------

void PopupListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= columnCount())
        return;
    m_sortColumn = column;
    m_sortOrder = order;
    sortRows([this](const Row &a, const Row &b) { return lessThan(a, b); },
             [this] { m_rowsDirty = true; });
    emitSelectionChanged();
}

// --- QAbstractTableModel -------------------------------------------------------------------

int PopupListModel::columnCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return m_kind == Kind::Banned ? 1 : 3;
}

QVariant PopupListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    const Row &row = rowAt(index.row());
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return cell(row, index.column());
    if (role == Qt::CheckStateRole && index.column() == 0 && hasCheckBoxes())
        return row.entry.enabled ? Qt::Checked : Qt::Unchecked;
    return {};
}

bool PopupListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.row() >= count() || role != Qt::CheckStateRole ||
        index.column() != 0 || !hasCheckBoxes())
        return false;
    const bool on = value.toInt() == Qt::Checked;
    if (entry(index.row()).enabled == on)
        return true;
    setEnabled(index.row(), on);
    Q_EMIT entryToggled(index.row());
    return true;
}

QVariant PopupListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case 0:
        switch (m_kind) {
        case Kind::Black:
            return QStringLiteral("BlackList Items");
        case Kind::White:
            return QStringLiteral("White List (will not be closed)");
        case Kind::Banned:
            return QStringLiteral("Title");
        }
        break;
    case 1:
        return QStringLiteral("Date Added");
    case 2:
        return QStringLiteral("Last Used");
    default:
        break;
    }
    return {};
}

Qt::ItemFlags PopupListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0 && hasCheckBoxes())
        f |= Qt::ItemIsUserCheckable;
    return f;
}

} // namespace kvorn

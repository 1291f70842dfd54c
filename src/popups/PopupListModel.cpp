#include "popups/PopupListModel.h"

#include "popups/Wildcard.h"

#include <algorithm>
#include <climits>

namespace kvorn {

PopupListModel::PopupListModel(Kind kind, QObject *parent)
    : SortableTableModel(parent), m_kind(kind)
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
    for (std::size_t i = 0; i < m_rows.size(); ++i)
        m_rowOfId[m_rows[i].id] = int(i);
    m_rowsDirty = false;
}

int PopupListModel::rowOfId(std::uint32_t id) const
{
    if (id == kNoId)
        return -1;
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
    const auto it = std::upper_bound(m_rows.begin(), m_rows.end(), row,
                                     [this](const Row &a, const Row &b) { return lessThan(a, b); });
    return int(it - m_rows.begin());
}

// --- entries -------------------------------------------------------------------------------

int PopupListModel::append(PopupEntry entry)
{
    if (m_kind == Kind::Banned)
        entry.enabled = true;
    Row row{std::move(entry), newId()};
    const int at = m_keepSorted ? sortedPosition(row) : count();
    m_index.insert(row.id, lookupCase(row.entry.text));
    beginInsertRows({}, at, at);
    m_rows.insert(m_rows.begin() + at, std::move(row));
    // Appending at the end keeps every other row where it was.
    if (at == count() - 1 && !m_rowsDirty) {
        const std::uint32_t id = m_rows.back().id;
        if (id >= m_rowOfId.size())
            m_rowOfId.resize(std::size_t(id) + 1, -1);
        m_rowOfId[id] = at;
    } else {
        m_rowsDirty = true;
    }
    endInsertRows();
    return at;
}

void PopupListModel::assign(std::vector<PopupEntry> entries)
{
    beginResetModel();
    m_rows.clear();
    m_index.clear();
    m_freeIds.clear();
    m_nextId = 0;
    m_selected.clear();
    m_current = kNoId;
    m_rows.reserve(entries.size());
    m_index.reserve(entries.size());
    for (PopupEntry &entry : entries) {
        if (m_kind == Kind::Banned)
            entry.enabled = true;
        m_rows.push_back(Row{std::move(entry), newId()});
    }
    if (m_keepSorted) {
        const auto less = [this](const Row &a, const Row &b) { return lessThan(a, b); };
        // A file this program saved is in order already.
        if (!std::is_sorted(m_rows.begin(), m_rows.end(), less))
            std::stable_sort(m_rows.begin(), m_rows.end(), less);
    }
    for (const Row &row : m_rows)
        m_index.insert(row.id, lookupCase(row.entry.text));
    m_rowsDirty = true;
    endResetModel();
    emitSelectionChanged();
}

void PopupListModel::removeAt(int row)
{
    if (row < 0 || row >= count())
        return;
    const Row &r = m_rows[std::size_t(row)];
    const std::uint32_t id = r.id;
    m_index.erase(id, lookupCase(r.entry.text));
    const bool wasSelected = std::erase(m_selected, id) > 0;
    const bool wasCurrent = m_current == id;
    if (wasCurrent)
        m_current = kNoId;
    beginRemoveRows({}, row, row);
    m_rows.erase(m_rows.begin() + row);
    m_freeIds.push_back(id);
    m_rowsDirty = true;
    endRemoveRows();
    if (wasSelected || wasCurrent)
        emitSelectionChanged();
}

void PopupListModel::clear()
{
    assign({});
}

void PopupListModel::setText(int row, const QString &text)
{
    if (row < 0 || row >= count())
        return;
    Row &r = m_rows[std::size_t(row)];
    m_index.erase(r.id, lookupCase(r.entry.text));
    r.entry.text = text;
    m_index.insert(r.id, lookupCase(text));
    Q_EMIT dataChanged(index(row, 0), index(row, 0));
}

void PopupListModel::setEnabled(int row, bool enabled)
{
    if (row < 0 || row >= count() || m_kind == Kind::Banned)
        return;
    Row &r = m_rows[std::size_t(row)];
    if (r.entry.enabled == enabled)
        return;
    r.entry.enabled = enabled;
    Q_EMIT dataChanged(index(row, 0), index(row, 0), {Qt::CheckStateRole});
}

void PopupListModel::setDateAdded(int row, const QString &date)
{
    if (row < 0 || row >= count())
        return;
    m_rows[std::size_t(row)].entry.dateAdded = date;
    Q_EMIT dataChanged(index(row, 1), index(row, 1));
}

void PopupListModel::setLastUsed(int row, const QString &date)
{
    if (row < 0 || row >= count())
        return;
    m_rows[std::size_t(row)].entry.lastUsed = date;
    Q_EMIT dataChanged(index(row, 2), index(row, 2));
}

std::vector<PopupEntry> PopupListModel::entries() const
{
    std::vector<PopupEntry> out;
    out.reserve(m_rows.size());
    for (const Row &row : m_rows)
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
        const PopupEntry &e = m_rows[std::size_t(row)].entry;
        if (e.enabled && !MatchIndex::hasStar(e.text) && lookupCase(e.text) == lowered)
            best = row;
    });
    m_index.forEachPatternCandidate(lowered, [&](std::uint32_t id) {
        const int row = rowOfId(id);
        if (row < 0 || row >= best)
            return;
        const PopupEntry &e = m_rows[std::size_t(row)].entry;
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
        if (row >= 0 && row < best && lookupCase(m_rows[std::size_t(row)].entry.text) == lowered)
            best = row;
    });
    return best == INT_MAX ? -1 : best;
}

int PopupListModel::patternHitRowByScan(const QString &lowered, bool byMarks) const
{
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const PopupEntry &entry = m_rows[i].entry;
        if (!entry.enabled)
            continue;
        const QString e = lookupCase(entry.text);
        bool hit = false;
        if (!e.contains(QLatin1Char('*')))
            hit = e == lowered;
        else
            hit = byMarks ? wildcardHitByMarks(e, lowered) : wildcardHit(e, lowered);
        if (hit)
            return int(i);
    }
    return -1;
}

int PopupListModel::exactRowByScan(const QString &lowered) const
{
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (lookupCase(m_rows[i].entry.text) == lowered)
            return int(i);
    }
    return -1;
}

// --- view state ----------------------------------------------------------------------------

void PopupListModel::emitSelectionChanged()
{
    Q_EMIT selectionStateChanged();
}

int PopupListModel::currentRow() const
{
    return rowOfId(m_current);
}

bool PopupListModel::isSelected(int row) const
{
    if (row < 0 || row >= count())
        return false;
    const std::uint32_t id = m_rows[std::size_t(row)].id;
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
    if (row < 0 || row >= count())
        return;
    const std::uint32_t id = m_rows[std::size_t(row)].id;
    if (!m_multiSelect) {
        if (m_selected.size() == 1 && m_selected.front() == id && m_current == id)
            return;
        m_selected.clear();
    }
    if (std::find(m_selected.begin(), m_selected.end(), id) == m_selected.end())
        m_selected.push_back(id);
    m_current = id;
    emitSelectionChanged();
}

void PopupListModel::selectOnly(int row)
{
    if (row < 0 || row >= count())
        return;
    const std::uint32_t id = m_rows[std::size_t(row)].id;
    if (m_selected.size() == 1 && m_selected.front() == id && m_current == id)
        return;
    m_selected.assign(1, id);
    m_current = id;
    emitSelectionChanged();
}

void PopupListModel::deselectRow(int row)
{
    if (row < 0 || row >= count())
        return;
    const std::uint32_t id = m_rows[std::size_t(row)].id;
    const bool removed = std::erase(m_selected, id) > 0;
    const bool wasCurrent = m_current == id;
    if (wasCurrent)
        m_current = kNoId;
    if (removed || wasCurrent)
        emitSelectionChanged();
}

void PopupListModel::clearSelection()
{
    if (m_selected.empty() && m_current == kNoId)
        return;
    m_selected.clear();
    m_current = kNoId;
    emitSelectionChanged();
}

void PopupListModel::setSelection(const QList<int> &rows, int current)
{
    std::vector<std::uint32_t> ids;
    for (const int row : rows) {
        if (row >= 0 && row < count())
            ids.push_back(m_rows[std::size_t(row)].id);
    }
    const std::uint32_t cur =
        (current >= 0 && current < count()) ? m_rows[std::size_t(current)].id : kNoId;
    std::vector<std::uint32_t> a = ids, b = m_selected;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    if (a == b && cur == m_current)
        return;
    m_selected = std::move(ids);
    m_current = cur;
    emitSelectionChanged();
}

// --- sorting -------------------------------------------------------------------------------

void PopupListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= columnCount())
        return;
    m_sortColumn = column;
    m_sortOrder = order;
    reorderRows([this](int row) { return m_rows[std::size_t(row)].id; },
                [this] {
                    std::stable_sort(m_rows.begin(), m_rows.end(),
                                     [this](const Row &a, const Row &b) { return lessThan(a, b); });
                    m_rowsDirty = true;
                },
                [this](std::uint32_t id) { return rowOfId(id); });
    emitSelectionChanged();
}

// --- QAbstractTableModel -------------------------------------------------------------------

int PopupListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : count();
}

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
    const Row &row = m_rows[std::size_t(index.row())];
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
    if (m_rows[std::size_t(index.row())].entry.enabled == on)
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

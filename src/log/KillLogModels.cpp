// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/KillLogModels.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace kvorn {

namespace {
const char *const kRecordColumns[] = {"Killed Item", "Filter Applied", "Date / Time"};
const char *const kCountColumns[] = {"Blacklist Item", "Count"};

QVariant header(const char *const *captions, int count, int section, Qt::Orientation orientation,
                int role)
{
    if (orientation != Qt::Horizontal || section < 0 || section >= count)
        return {};
    if (role == Qt::DisplayRole)
        return QString::fromLatin1(captions[section]);
    // A click on another column sorts it ascending; a click on the sort column reverses.
    if (role == Qt::InitialSortOrderRole)
        return int(Qt::AscendingOrder);
    return {};
}

/// Orders `order` by a 64-bit key of each element, highest bits first; ties keep the
/// element's own number, so the order is stable and the sort needs no comparator calls.
template <typename KeyOf>
void sortByKey(std::vector<std::uint32_t> &order, Qt::SortOrder direction, KeyOf keyOf)
{
    std::vector<std::uint64_t> keys(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        std::uint32_t key = keyOf(order[i]);
        if (direction == Qt::DescendingOrder)
            key = UINT32_MAX - key;
        keys[i] = (std::uint64_t(key) << 32) | order[i];
    }
    std::sort(keys.begin(), keys.end());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = std::uint32_t(keys[i]);
}
} // namespace

// --- records ---------------------------------------------------------------------------------

KillLogRecordModel::KillLogRecordModel(QObject *parent) : SortableTableModel(parent) {}

void KillLogRecordModel::setRecords(KillLogRecords records)
{
    beginResetModel();
    m_records = std::move(records);
    m_ranks.clear();
    m_order.resize(std::size_t(m_records.records.size()));
    std::iota(m_order.begin(), m_order.end(), 0U);
    applyOrder();
    endResetModel();
}

void KillLogRecordModel::appendRecords(KillLogBatch batch)
{
    const auto first = std::uint32_t(m_records.records.size());
    const auto count = std::uint32_t(batch.records.size());
    if (count == 0) {
        m_records.append(std::move(batch));
        return;
    }
    // Only the date order can place new rows without the whole list: a text sort waiting
    // for its ranks (made when the reading ends) keeps the new rows at the end until then.
    // Ranks made before are for fewer texts and are dropped.
    const bool onTop = m_sortColumn == 2 && m_sortOrder == Qt::DescendingOrder;
    const int row = onTop ? 0 : int(m_order.size());
    beginInsertRows({}, row, row + int(count) - 1);
    m_records.append(std::move(batch));
    if (!haveRanks())
        m_ranks.clear();
    if (onTop) {
        m_order.insert(m_order.begin(), count, 0U);
        for (std::uint32_t i = 0; i < count; ++i)
            m_order[i] = first + count - 1 - i;
    } else {
        if (first == 0)
            m_order.reserve(std::size_t(m_records.records.capacity()));
        const std::size_t at = m_order.size();
        m_order.resize(at + count);
        std::iota(m_order.begin() + std::ptrdiff_t(at), m_order.end(), first);
    }
    endInsertRows();
    // Without ranks on their way, a text sort is kept up at once.
    if (m_sortColumn != 2 && !m_ranksExpected)
        reorderThrough(m_order, [this] { applyOrder(); });
}

KillLogRecords KillLogRecordModel::takeRecords()
{
    beginResetModel();
    KillLogRecords taken = std::exchange(m_records, {});
    m_ranks = {};
    m_order = {};
    endResetModel();
    return taken;
}

bool KillLogRecordModel::haveRanks() const
{
    return m_ranks.size() == std::size_t(m_records.texts.size());
}

void KillLogRecordModel::setRanks(std::vector<std::uint32_t> ranks)
{
    if (ranks.size() != std::size_t(m_records.texts.size()))
        return;
    m_ranks = std::move(ranks);
    m_ranksExpected = false;
    if (m_sortColumn != 2)
        reorderThrough(m_order, [this] { applyOrder(); });
}

std::vector<std::uint32_t> KillLogRecordModel::rankTexts(const QStringList &texts)
{
    // Each text is folded once; sorting the folded texts then needs no case rules.
    std::vector<QString> folded(std::size_t(texts.size()));
    for (qsizetype i = 0; i < texts.size(); ++i)
        folded[std::size_t(i)] = texts.at(i).toCaseFolded();
    std::vector<std::uint32_t> byText(folded.size());
    std::iota(byText.begin(), byText.end(), 0U);
    std::stable_sort(byText.begin(), byText.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return folded[a] < folded[b]; });
    std::vector<std::uint32_t> ranks(folded.size(), 0);
    std::uint32_t rank = 0;
    for (std::size_t i = 0; i < byText.size(); ++i) {
        if (i > 0 && folded[byText[i]] != folded[byText[i - 1]])
            ++rank;
        ranks[byText[i]] = rank;
    }
    return ranks;
}

void KillLogRecordModel::applyOrder()
{
    const auto &records = m_records.records;
    if (m_sortColumn == 2) {
        // The log only appends, so the place in the file is the order of the dates.
        std::iota(m_order.begin(), m_order.end(), 0U);
        if (m_sortOrder == Qt::DescendingOrder)
            std::reverse(m_order.begin(), m_order.end());
        return;
    }
    if (!haveRanks()) {
        // Ranking a big log takes seconds; when it is on its way, the sort waits for it.
        if (m_ranksExpected)
            return;
        m_ranks = rankTexts(m_records.texts);
    }
    const std::vector<std::uint32_t> &rank = m_ranks;
    const bool item = m_sortColumn == 0;
    std::iota(m_order.begin(), m_order.end(), 0U);
    sortByKey(m_order, m_sortOrder, [&](std::uint32_t r) {
        const KillLogRecords::Record &rec = records.at(r);
        return rank[item ? rec.item : rec.filter];
    });
}

void KillLogRecordModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column > 2)
        return;
    reorderThrough(m_order, [&] {
        m_sortColumn = column;
        m_sortOrder = order;
        applyOrder();
    });
}

int KillLogRecordModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_order.size());
}

int KillLogRecordModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 3;
}

QVariant KillLogRecordModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_order.size()))
        return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    const KillLogRecords::Record &rec = m_records.records.at(m_order[std::size_t(index.row())]);
    switch (index.column()) {
    case 0:
        return m_records.texts.at(rec.item);
    case 1:
        return m_records.texts.at(rec.filter);
    case 2:
        return m_records.date(rec);
    default:
        return {};
    }
}

QVariant KillLogRecordModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    return header(kRecordColumns, 3, section, orientation, role);
}

// --- counts ----------------------------------------------------------------------------------

KillLogCountModel::KillLogCountModel(QObject *parent) : SortableTableModel(parent) {}

void KillLogCountModel::setCounts(QList<KillLogCount> counts)
{
    beginResetModel();
    m_counts = std::move(counts);
    m_order.resize(std::size_t(m_counts.size()));
    applyOrder();
    endResetModel();
}

void KillLogCountModel::applyOrder()
{
    std::iota(m_order.begin(), m_order.end(), 0U);
    const auto less = [&](std::uint32_t a, std::uint32_t b) {
        const KillLogCount &x = m_counts.at(a);
        const KillLogCount &y = m_counts.at(b);
        if (m_sortColumn == 1)
            return x.count < y.count;
        return QString::compare(x.entry, y.entry, Qt::CaseInsensitive) < 0;
    };
    if (m_sortOrder == Qt::AscendingOrder)
        std::stable_sort(m_order.begin(), m_order.end(), less);
    else
        std::stable_sort(m_order.begin(), m_order.end(),
                         [&](std::uint32_t a, std::uint32_t b) { return less(b, a); });
}

void KillLogCountModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column > 1)
        return;
    reorderThrough(m_order, [&] {
        m_sortColumn = column;
        m_sortOrder = order;
        applyOrder();
    });
}

int KillLogCountModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_order.size());
}

int KillLogCountModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant KillLogCountModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_order.size()))
        return {};
    const KillLogCount &c = m_counts.at(m_order[std::size_t(index.row())]);
    if (role == Qt::TextAlignmentRole && index.column() == 1)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    if (role != Qt::DisplayRole)
        return {};
    return index.column() == 0 ? QVariant(c.entry) : QVariant(countCellText(c.count));
}

QVariant KillLogCountModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::TextAlignmentRole && section == 1)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
    return header(kCountColumns, 2, section, orientation, role);
}

} // namespace kvorn

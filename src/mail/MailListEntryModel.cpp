// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/MailListEntryModel.h"

#include <algorithm>

namespace kvorn {

namespace {
enum Column
{
    ColAddress = 0,
    ColLastHit,
    ColAdded,
    ColumnCount
};
static_assert(ColLastHit == MailListEntryModel::kLastHitColumn);
} // namespace

MailListEntryModel::MailListEntryModel(MailListKind kind, QObject *parent)
    : RowVectorModel(parent), m_kind(kind)
{
}

int MailListEntryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant MailListEntryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    const MailListEntry &e = entry(index.row());
    if (role == Qt::CheckStateRole && index.column() == ColAddress)
        return e.Active ? Qt::Checked : Qt::Unchecked;
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    switch (index.column()) {
    case ColAddress:
        return e.Address;
    case ColLastHit:
        return e.LastHit;
    case ColAdded:
        return e.Added;
    default:
        return {};
    }
}

bool MailListEntryModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || index.row() >= count() || index.column() != ColAddress)
        return false;
    if (role == Qt::CheckStateRole) {
        setActive(index.row(), value.toInt() == Qt::Checked);
        return true;
    }
    if (role == Qt::EditRole && !value.toString().isEmpty()) {
        setAddress(index.row(), value.toString());
        return true;
    }
    return false;
}

Qt::ItemFlags MailListEntryModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == ColAddress)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant MailListEntryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case ColAddress:
        return m_kind == MailListKind::Blacklist ? QStringLiteral("BlackList")
                                                 : QStringLiteral("Friends");
    case ColLastHit:
        return QStringLiteral("Last Hit");
    case ColAdded:
        return QStringLiteral("Added");
    default:
        return {};
    }
}

void MailListEntryModel::setEntries(std::vector<MailListEntry> entries)
{
    resetRows([&](std::vector<MailListEntry> &rows) {
        rows = std::move(entries);
        m_selected.clear();
        invalidateIndex();
    });
}

int MailListEntryModel::append(MailListEntry e)
{
    const int row = appendRow(std::move(e));
    // A new last entry cannot change the answer for earlier ones: index it in place.
    if (m_indexValid)
        indexEntry(row);
    return row;
}

void MailListEntryModel::setActive(int row, bool active)
{
    if (!hasRow(row) || entry(row).Active == active)
        return;
    changeRow(
        row, ColAddress,
        [&](MailListEntry &e) {
            e.Active = active;
            invalidateIndex();
        },
        {Qt::CheckStateRole});
}

void MailListEntryModel::setAddress(int row, const QString &address)
{
    if (!address.isEmpty())
        changeRow(row, ColAddress, [&](MailListEntry &e) {
            e.Address = address;
            invalidateIndex();
        });
}

void MailListEntryModel::clear()
{
    setEntries({});
}

void MailListEntryModel::setSelectedRows(QList<int> rows)
{
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    rows.removeIf([this](int r) { return r < 0 || r >= count(); });
    m_selected = rows;
}

void MailListEntryModel::selectOnly(int row)
{
    m_selected.clear();
    if (row >= 0 && row < count())
        m_selected.append(row);
    Q_EMIT entrySelected(m_selected.isEmpty() ? -1 : row);
}

int MailListEntryModel::addTyped(const QString &address, const QString &today)
{
    if (address.isEmpty())
        return -1;
    return append(MailListEntry{true, address, mailListNoDateText(), today});
}

bool MailListEntryModel::editSelected(const QString &address)
{
    if (m_selected.isEmpty() || address.isEmpty())
        return false;
    setAddress(m_selected.first(), address);
    return true;
}

int MailListEntryModel::removeSelected()
{
    const QList<int> rows = m_selected;
    m_selected.clear();
    // From the bottom up, so that the rows still to go keep their numbers.
    for (auto it = rows.crbegin(); it != rows.crend(); ++it)
        eraseRow(*it);
    if (!rows.isEmpty())
        invalidateIndex();
    return int(rows.size());
}

int MailListEntryModel::find(const QString &text)
{
    m_lastSearch = text.toLower();
    if (m_lastSearch.isEmpty() || count() == 0)
        return -1;
    const int start = m_selected.isEmpty() ? 0 : m_selected.first() + 1;
    auto search = [this](int from) {
        for (int row = from; row < count(); ++row) {
            if (entry(row).Address.toLower().contains(m_lastSearch))
                return row;
        }
        return -1;
    };
    int row = search(start);
    if (row < 0)
        row = search(0);
    if (row >= 0)
        selectOnly(row);
    return row;
}

std::optional<MailListHit> MailListEntryModel::lookUp(const QString &text, MailListPass pass,
                                                      const QString &today)
{
    if (text.isEmpty() || count() == 0)
        return std::nullopt;
    const QString lower = text.toLower();
    std::optional<MailListHit> hit =
        m_useIndex ? lookUpIndexed(lower, text, pass) : lookUpScan(lower, text, pass);
    if (!hit)
        return hit;
    hit->pass = pass;
    if (hit->wildcard)
        changeRow(hit->row, ColLastHit, [&](MailListEntry &e) { e.LastHit = today; });
    else
        selectOnly(hit->row);
    return hit;
}

std::optional<MailListHit> MailListEntryModel::lookUpScan(const QString &lower, const QString &text,
                                                          MailListPass pass) const
{
    for (int row = 0; row < count(); ++row) {
        const QString &address = entry(row).Address;
        if (!address.isEmpty() && address.compare(text, Qt::CaseInsensitive) == 0)
            return MailListHit{row, address.toLower(), false, pass};
    }
    for (int row = 0; row < count(); ++row) {
        const MailListEntry &e = entry(row);
        if (!e.Active || !e.Address.contains(QLatin1Char('*')))
            continue;
        const QString p = e.Address.toLower();
        if (wildcardCovers(wildcardParts(p), lower, pass))
            return MailListHit{row, p, true, pass};
    }
    return std::nullopt;
}

std::optional<MailListHit> MailListEntryModel::lookUpIndexed(const QString &lower,
                                                             const QString &text, MailListPass pass)
{
    if (!m_indexValid)
        buildIndex();
    const auto exact = m_exact.constFind(text.toCaseFolded());
    if (exact != m_exact.constEnd())
        return MailListHit{*exact, entry(*exact).Address.toLower(), false, pass};

    // A wildcard entry can match only when one of its parts ends the text, so the entries
    // filed under the text's endings are the only candidates.
    std::vector<int> candidates;
    for (const qsizetype length : m_partLengths) {
        if (length > lower.size())
            break;
        const QString ending =
            QString::fromRawData(lower.constData() + lower.size() - length, length);
        const auto it = m_byPart.constFind(ending);
        if (it != m_byPart.constEnd())
            candidates.insert(candidates.end(), it->begin(), it->end());
    }
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
    for (const int row : candidates) {
        if (wildcardCovers(m_parts[std::size_t(row)], lower, pass))
            return MailListHit{row, entry(row).Address.toLower(), true, pass};
    }
    return std::nullopt;
}

void MailListEntryModel::invalidateIndex()
{
    m_indexValid = false;
    m_exact.clear();
    m_byPart.clear();
    m_parts.clear();
    m_partLengths.clear();
}

void MailListEntryModel::buildIndex()
{
    invalidateIndex();
    m_exact.reserve(count());
    m_indexValid = true;
    for (int row = 0; row < count(); ++row)
        indexEntry(row);
}

void MailListEntryModel::indexEntry(int row)
{
    const MailListEntry &e = entry(row);
    if (m_parts.size() <= std::size_t(row))
        m_parts.resize(std::size_t(row) + 1);
    if (e.Address.isEmpty())
        return;
    const QString folded = e.Address.toCaseFolded();
    if (!m_exact.contains(folded)) // the first of equal entries answers
        m_exact.insert(folded, row);
    if (!e.Active || !e.Address.contains(QLatin1Char('*')))
        return;
    QStringList parts = wildcardParts(e.Address.toLower());
    for (const QString &part : parts) {
        std::vector<int> &rows = m_byPart[part];
        if (rows.empty() || rows.back() != row)
            rows.push_back(row);
        const auto pos = std::lower_bound(m_partLengths.begin(), m_partLengths.end(), part.size());
        if (pos == m_partLengths.end() || *pos != part.size())
            m_partLengths.insert(pos, part.size());
    }
    m_parts[std::size_t(row)] = std::move(parts);
}

} // namespace kvorn

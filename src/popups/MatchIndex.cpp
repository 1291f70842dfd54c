// SPDX-License-Identifier: GPL-3.0-or-later
#include "popups/MatchIndex.h"

#include "popups/Wildcard.h"

#include <QHashFunctions>
#include <algorithm>
#include <bit>
#include <utility>

namespace kvorn {

// --- Table ---------------------------------------------------------------------------------

const MatchIndex::Slot *MatchIndex::Table::find(std::uint64_t key) const
{
    if (m_size == 0)
        return nullptr;
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = home(key);; i = (i + 1) & mask) {
        const Slot &slot = m_slots[i];
        if (slot.count == 0)
            return nullptr;
        if (slot.key == key)
            return &slot;
    }
}

MatchIndex::Slot *MatchIndex::Table::find(std::uint64_t key)
{
    return const_cast<Slot *>(std::as_const(*this).find(key));
}

std::uint32_t MatchIndex::Table::countOf(std::uint64_t key) const
{
    const Slot *slot = find(key);
    return slot ? slot->count : 0;
}

MatchIndex::Slot &MatchIndex::Table::findOrAdd(std::uint64_t key)
{
    if ((m_size + 1) * 2 > m_slots.size())
        grow();
    const std::size_t mask = m_slots.size() - 1;
    for (std::size_t i = home(key);; i = (i + 1) & mask) {
        Slot &slot = m_slots[i];
        if (slot.count == 0) {
            slot.key = key;
            slot.head = kNone;
            ++m_size;
            return slot; // the caller raises the count
        }
        if (slot.key == key)
            return slot;
    }
}

void MatchIndex::Table::remove(Slot *slot)
{
    const std::size_t mask = m_slots.size() - 1;
    std::size_t hole = std::size_t(slot - m_slots.data());
    m_slots[hole] = Slot{};
    --m_size;
    // Backward shift: pull later members of the probe run into the hole.
    for (std::size_t i = (hole + 1) & mask; m_slots[i].count != 0; i = (i + 1) & mask) {
        const std::size_t want = home(m_slots[i].key);
        const bool movable = (i > hole) ? (want <= hole || want > i) : (want <= hole && want > i);
        if (movable) {
            m_slots[hole] = m_slots[i];
            m_slots[i] = Slot{};
            hole = i;
        }
    }
}

void MatchIndex::Table::clear()
{
    m_slots.clear();
    m_slots.shrink_to_fit();
    m_size = 0;
    m_shift = 64;
}

void MatchIndex::Table::reserve(std::size_t keys)
{
    while (keys * 2 > m_slots.size())
        grow();
}

void MatchIndex::Table::grow()
{
    const std::size_t capacity = m_slots.empty() ? 16 : m_slots.size() * 2;
    std::vector<Slot> old;
    old.swap(m_slots);
    m_slots.assign(capacity, Slot{});
    m_shift = 64 - std::countr_zero(capacity);
    const std::size_t mask = capacity - 1;
    for (const Slot &slot : old) {
        if (slot.count == 0)
            continue;
        std::size_t i = home(slot.key);
        while (m_slots[i].count != 0)
            i = (i + 1) & mask;
        m_slots[i] = slot;
    }
}

// --- MatchIndex ----------------------------------------------------------------------------

MatchIndex::MatchIndex() = default;

std::uint64_t MatchIndex::textKey(QStringView lowered)
{
    return std::uint64_t(qHash(lowered, 0));
}

void MatchIndex::clear()
{
    m_text.clear();
    for (Table &table : m_grams)
        table.clear();
    m_textNext.clear();
    m_gramNext.clear();
    m_gramKey.clear();
    m_gramLen.clear();
    m_universal.clear();
    m_star.clear();
    m_epoch = 0;
}

void MatchIndex::reserve(std::size_t entries)
{
    m_text.reserve(entries);
    m_textNext.reserve(entries);
    m_gramNext.reserve(entries);
    m_gramKey.reserve(entries);
    m_gramLen.reserve(entries);
    m_star.reserve(entries);
}

void MatchIndex::ensureId(std::uint32_t id)
{
    if (id >= m_textNext.size()) {
        const std::size_t n = std::size_t(id) + 1;
        m_textNext.resize(n, kNone);
        m_gramNext.resize(n, kNone);
        m_gramKey.resize(n, 0);
        m_gramLen.resize(n, 0);
        m_star.resize(n);
    }
}

void MatchIndex::insert(std::uint32_t id, QStringView lowered)
{
    ensureId(id);
    Slot &text = m_text.findOrAdd(textKey(lowered));
    m_textNext[id] = text.head;
    text.head = id;
    ++text.count;

    if (!hasStar(lowered))
        return;

    // Pick the piece window with the fewest star entries filed under it; longer windows
    // are more selective, so they win ties against shorter ones.
    std::uint64_t bestKey = 0;
    int bestLen = 0;
    std::uint32_t bestCount = 0;
    const auto consider = [&](std::uint64_t key, int len) {
        const std::uint32_t count = m_grams[len].countOf(key);
        if (bestLen == 0 || count < bestCount || (count == bestCount && len > bestLen)) {
            bestKey = key;
            bestLen = len;
            bestCount = count;
        }
    };
    const char16_t *units = lowered.utf16();
    Signature sig{0, 0};
    qsizetype start = 0;
    while (start <= lowered.size()) {
        qsizetype star = lowered.indexOf(QLatin1Char('*'), start);
        if (star < 0)
            star = lowered.size();
        const qsizetype len = star - start;
        const bool marker = len == 1 && lowered.at(start) == kPieceMarker;
        if (len > 0 && !marker) {
            const int window = int(std::min<qsizetype>(len, kMaxGram));
            for (qsizetype i = start; i + window <= star; ++i) {
                std::uint64_t key = 0;
                for (int k = 0; k < window; ++k)
                    key |= std::uint64_t(units[i + k]) << (16 * k);
                consider(key, window);
                if (window == kMaxGram)
                    addToSignature(sig, key);
            }
        }
        start = star + 1;
    }

    m_star[id].sig = sig;
    if (bestLen == 0) {
        m_universal.push_back(id);
        m_gramLen[id] = 0;
        return;
    }
    Slot &gram = m_grams[bestLen].findOrAdd(bestKey);
    m_gramNext[id] = gram.head;
    gram.head = id;
    ++gram.count;
    m_gramKey[id] = bestKey;
    m_gramLen[id] = std::uint8_t(bestLen);
}

void MatchIndex::unlink(Table &table, std::vector<std::uint32_t> &next, std::uint64_t key,
                        std::uint32_t id)
{
    Slot *slot = table.find(key);
    if (!slot)
        return;
    std::uint32_t *link = &slot->head;
    while (*link != kNone && *link != id)
        link = &next[*link];
    if (*link == kNone)
        return;
    *link = next[id];
    next[id] = kNone;
    if (--slot->count == 0)
        table.remove(slot);
}

void MatchIndex::erase(std::uint32_t id, QStringView lowered)
{
    if (id >= m_textNext.size())
        return;
    unlink(m_text, m_textNext, textKey(lowered), id);
    if (!hasStar(lowered))
        return;
    if (m_gramLen[id] == 0) {
        const auto it = std::find(m_universal.begin(), m_universal.end(), id);
        if (it != m_universal.end()) {
            *it = m_universal.back();
            m_universal.pop_back();
        }
        return;
    }
    unlink(m_grams[m_gramLen[id]], m_gramNext, m_gramKey[id], id);
    m_gramLen[id] = 0;
}

std::size_t MatchIndex::memoryBytes() const
{
    std::size_t bytes = m_text.bytes();
    for (const Table &table : m_grams)
        bytes += table.bytes();
    bytes += m_textNext.capacity() * sizeof(std::uint32_t);
    bytes += m_gramNext.capacity() * sizeof(std::uint32_t);
    bytes += m_gramKey.capacity() * sizeof(std::uint64_t);
    bytes += m_gramLen.capacity() * sizeof(std::uint8_t);
    bytes += m_universal.capacity() * sizeof(std::uint32_t);
    bytes += m_star.capacity() * sizeof(Star);
    return bytes;
}

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringView>
#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace kvorn {

/// The lookup index of one popup list. It knows entries only by id and proposes candidates;
/// the list checks each candidate against its real text and keeps the first in list order.
///
/// - Every entry is filed under a hash of its lower-cased text, which answers the exact
///   lookup and the plain (star-less) entries of the pattern lookup.
/// - Every star entry is filed under one short literal piece of its pattern (up to four
///   characters, the one with the fewest entries filed under it so far). A text can only
///   be hit by the entry when that piece occurs in it, so a lookup slides over the text,
///   probes each window and gets back the few entries worth testing.
/// - Star entries with nothing to search for ("*", "**", marker pieces) are always tested.
class MatchIndex
{
public:
    MatchIndex();

    void clear();
    void reserve(std::size_t entries);
    /// Files an entry; `lowered` is its lower-cased text.
    void insert(std::uint32_t id, QStringView lowered);
    /// Removes an entry filed with the same lower-cased text.
    void erase(std::uint32_t id, QStringView lowered);

    /// Calls `f(id)` for every entry whose lower-cased text may equal `lowered`.
    template <class F> void forEachSameText(QStringView lowered, F &&f) const
    {
        const Slot *slot = m_text.find(textKey(lowered));
        if (!slot)
            return;
        for (std::uint32_t id = slot->head; id != kNone; id = m_textNext[id])
            f(id);
    }

    /// Calls `f(id)` once for every star entry that may hit `lowered`.
    template <class F> void forEachPatternCandidate(QStringView lowered, F &&f)
    {
        if (++m_epoch == 0) {
            for (Star &star : m_star)
                star.seen = 0;
            m_epoch = 1;
        }
        const char16_t *units = lowered.utf16();
        const qsizetype n = lowered.size();
        // The text's four-character windows as a bit set: a star entry whose own windows
        // are not all in it cannot hit, and is turned away without touching its text.
        Signature textSig{0, 0};
        if (n >= kMaxGram) {
            std::uint64_t key = 0;
            for (qsizetype i = 0; i < n; ++i) {
                key = (key >> 16) | (std::uint64_t(units[i]) << 48);
                if (i >= kMaxGram - 1)
                    addToSignature(textSig, key);
            }
        }
        const auto wanted = [&](const Signature &sig) {
            return (sig[0] & ~textSig[0]) == 0 && (sig[1] & ~textSig[1]) == 0;
        };
        const auto visit = [&](const Slot *slot) {
            for (std::uint32_t id = slot->head; id != kNone; id = m_gramNext[id]) {
                Star &star = m_star[id];
                if (star.seen != m_epoch) {
                    star.seen = m_epoch;
                    if (wanted(star.sig))
                        f(id);
                }
            }
        };
        for (int len = 1; len <= kMaxGram; ++len) {
            const Table &table = m_grams[len];
            if (table.size() == 0 || n < len)
                continue;
            std::uint64_t key = 0;
            for (int i = 0; i < len - 1; ++i)
                key |= std::uint64_t(units[i]) << (16 * i);
            for (qsizetype i = len - 1; i < n; ++i) {
                key |= std::uint64_t(units[i]) << (16 * (len - 1));
                if (const Slot *slot = table.find(key))
                    visit(slot);
                key >>= 16;
            }
        }
        for (const std::uint32_t id : m_universal) {
            if (wanted(m_star[id].sig))
                f(id);
        }
    }

    /// Bytes held by the index itself (not the entries' texts).
    std::size_t memoryBytes() const;

    static bool hasStar(QStringView text) { return text.contains(QLatin1Char('*')); }

private:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    static constexpr int kMaxGram = 4;

    struct Slot
    {
        std::uint64_t key = 0;
        std::uint32_t head = kNone;
        std::uint32_t count = 0; // 0: free slot
    };

    /// Open addressing, linear probing, deletion by backward shift.
    class Table
    {
    public:
        const Slot *find(std::uint64_t key) const;
        Slot *find(std::uint64_t key);
        Slot &findOrAdd(std::uint64_t key);
        void remove(Slot *slot);
        std::uint32_t countOf(std::uint64_t key) const;
        std::size_t size() const { return m_size; }
        std::size_t bytes() const { return m_slots.capacity() * sizeof(Slot); }
        void clear();
        void reserve(std::size_t keys);

    private:
        std::size_t home(std::uint64_t key) const
        {
            return std::size_t((key * 0x9E3779B97F4A7C15ull) >> m_shift);
        }
        void grow();

        std::vector<Slot> m_slots;
        std::size_t m_size = 0;
        int m_shift = 64;
    };

    using Signature = std::array<std::uint64_t, 2>;
    static void addToSignature(Signature &sig, std::uint64_t window)
    {
        const unsigned bit = unsigned((window * 0x9E3779B97F4A7C15ull) >> 57);
        sig[bit >> 6] |= std::uint64_t(1) << (bit & 63);
    }

    static std::uint64_t textKey(QStringView lowered);
    void ensureId(std::uint32_t id);
    static void unlink(Table &table, std::vector<std::uint32_t> &next, std::uint64_t key,
                       std::uint32_t id);

    Table m_text;
    std::vector<std::uint32_t> m_textNext;
    Table m_grams[kMaxGram + 1];
    std::vector<std::uint32_t> m_gramNext;
    std::vector<std::uint64_t> m_gramKey;
    std::vector<std::uint8_t> m_gramLen; // 0: not filed under a piece
    std::vector<std::uint32_t> m_universal;
    // What a lookup reads of each star entry it meets, side by side in memory.
    struct Star
    {
        Signature sig{0, 0};    ///< its four-character windows
        std::uint32_t seen = 0; ///< the lookup that met it last
    };
    std::vector<Star> m_star;
    std::uint32_t m_epoch = 0;
};

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mail/MailListEntry.h"
#include "mail/MailListMatch.h"

#include "core/RowVectorModel.h"

#include <QHash>
#include <QList>
#include <optional>

namespace kvorn {

/// A positive answer of a list look-up.
struct MailListHit
{
    int row = -1;
    /// The entry that matched, in lower case (`KillEntry`).
    QString killEntry;
    /// True for the wildcard test, false for the exact test.
    bool wildcard = false;
    MailListPass pass = MailListPass::Address;
};

/// One mail list (`lvBlacklist` or `lvFriends`): its entries in list order (file order,
/// new ones at the end), the selected entries and the last text searched for. Column 0
/// shows the address with the `Active` check mark, then "Last Hit" and "Added".
///
/// Look-ups go through an index (exact addresses by folded case, wildcard entries by
/// each of their parts) that gives the same answers as going through the entries one by
/// one; `setUseIndex(false)` does the latter, for comparison.
class MailListEntryModel : public RowVectorModel<MailListEntry>
{
    Q_OBJECT

public:
    explicit MailListEntryModel(MailListKind kind, QObject *parent = nullptr);

    /// The "Last Hit" column, which a look-up stamps.
    static constexpr int kLastHitColumn = 1;

    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    MailListKind kind() const { return m_kind; }
    const std::vector<MailListEntry> &entries() const { return rows(); }
    const MailListEntry &entry(int row) const { return rows().at(std::size_t(row)); }

    /// Replaces every entry.
    void setEntries(std::vector<MailListEntry> entries);
    /// Appends an entry (duplicates allowed); returns its row.
    int append(MailListEntry entry);
    /// Sets an entry's check mark.
    void setActive(int row, bool active);
    /// Gives an entry a new address; the dates stay. Ignored for an empty address.
    void setAddress(int row, const QString &address);
    void clear();

    /// The list look-up for one text in one pass: the exact test over every entry (letter
    /// case ignored), then the wildcard test over the active entries holding "*". An
    /// exact hit selects its entry (see `entrySelected`); a wildcard hit sets the entry's
    /// `LastHit` to `today`. An empty text matches nothing.
    std::optional<MailListHit> lookUp(const QString &text, MailListPass pass, const QString &today);
    /// Looks up through the index (default) or by going through every entry.
    void setUseIndex(bool useIndex) { m_useIndex = useIndex; }

    // The list buttons of the mail options window, without their input boxes.
    /// "Add": a typed entry, active, `LastHit` "01/01/01", `Added` today. Nothing for an
    /// empty text; returns the new row or -1.
    int addTyped(const QString &address, const QString &today);
    /// "Edit": the selected entry gets a new address (the first selected one). False when
    /// nothing is selected or the text is empty.
    bool editSelected(const QString &address);
    /// "Delete": removes every selected entry; returns how many.
    int removeSelected();
    /// "Find": remembers `text` in lower case as the last search text; when not empty,
    /// selects the first entry after the selected one (after none: from the first entry),
    /// wrapping to the start once, whose address contains it, letter case ignored.
    /// Returns its row, -1 when none.
    int find(const QString &text);
    QString lastSearchText() const { return m_lastSearch; }

    /// The selected entries' rows, ascending.
    QList<int> selectedRows() const { return m_selected; }
    void setSelectedRows(QList<int> rows);
    /// Selects one entry only and asks the view to scroll it into view.
    void selectOnly(int row);

Q_SIGNALS:
    /// The selection changed from the logic's side; `row` is to be scrolled into view
    /// (-1: none).
    void entrySelected(int row);

private:
    void invalidateIndex();
    void buildIndex();
    void indexEntry(int row);
    std::optional<MailListHit> lookUpScan(const QString &lower, const QString &text,
                                          MailListPass pass) const;
    std::optional<MailListHit> lookUpIndexed(const QString &lower, const QString &text,
                                             MailListPass pass);

    MailListKind m_kind;
    QList<int> m_selected;
    QString m_lastSearch;
    bool m_useIndex = true;

    bool m_indexValid = false;
    QHash<QString, int> m_exact;               // folded address -> first row
    QHash<QString, std::vector<int>> m_byPart; // lower-case part -> rows, ascending
    std::vector<QStringList> m_parts;          // per row: lower-case parts (active wildcards)
    std::vector<qsizetype> m_partLengths;      // the distinct part lengths, ascending
};

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/RowVectorModel.h"
#include "popups/MatchIndex.h"
#include "popups/PopupEntry.h"

#include <cstdint>

namespace kvorn {

/// A row of a popup list: the entry and the number that names it while it lives.
struct PopupListRow
{
    PopupEntry entry;
    std::uint32_t id = 0;
};

/// The black list (`lvTitles`), the white list (`lvExclude`) or the banned list
/// (`lvBanned`): an ordered list of entries with the state its list view had — the selected
/// rows, the current row, whether several rows may be selected, and the sort order.
///
/// Row order is list order: lookups answer with the first entry in this order. A list that
/// keeps itself sorted puts every new entry at its sorted place.
class PopupListModel : public RowVectorModel<PopupListRow>
{
    Q_OBJECT

public:
    enum class Kind
    {
        Black,
        White,
        Banned
    };

    explicit PopupListModel(Kind kind, QObject *parent = nullptr);
    ~PopupListModel() override;

    Kind kind() const { return m_kind; }
    /// The list view's name: "lvTitles", "lvExclude" or "lvBanned".
    QString viewName() const;

    // --- entries --------------------------------------------------------------------------
    const PopupEntry &entry(int row) const { return rowAt(row).entry; }
    /// Adds an entry (at the end, or at its sorted place) and returns its row.
    int append(PopupEntry entry);
    /// Replaces the whole list at once (loading); no row is selected afterwards.
    void assign(std::vector<PopupEntry> entries);
    /// Replaces the whole list with the rows and the index of `other` (a list of the same
    /// kind and order, made ready elsewhere) in one step; `other` is left empty. No row is
    /// selected afterwards.
    void takeRows(PopupListModel &other);
    void removeAt(int row);
    void clear();
    void setText(int row, const QString &text);
    void setEnabled(int row, bool enabled);
    void setDateAdded(int row, const QString &date);
    void setLastUsed(int row, const QString &date);
    /// All entries in list order.
    std::vector<PopupEntry> entries() const;

    // --- lookups without side effects (the texts are already lower-cased) ------------------
    /// The first row, in list order, that the pattern lookup hits; -1 when none.
    int patternHitRow(const QString &lowered) const;
    /// The first row whose text equals the text without regard to letter case; -1 when none.
    int exactRow(const QString &lowered) const;
    /// The same answers by visiting every entry, as the lookup is described (the yardstick
    /// of the index; `byMarks` uses the marker-based form of the wildcard test).
    int patternHitRowByScan(const QString &lowered, bool byMarks = false) const;
    int exactRowByScan(const QString &lowered) const;
    /// Bytes of the lookup index.
    std::size_t indexBytes() const { return m_index.memoryBytes(); }

    // --- the view state -------------------------------------------------------------------
    // currentRow(): the current (selected, in the singular) row; -1 when none.
    bool isSelected(int row) const;
    QList<int> selectedRows() const;
    bool multiSelect() const { return m_multiSelect; }
    void setMultiSelect(bool on);
    /// Selects a row and makes it current; with multiple selection off the others go.
    void selectRow(int row);
    /// Makes a row the only selected one and the current row.
    void selectOnly(int row);
    /// Takes a row out of the selection; the current row is then none.
    void deselectRow(int row);
    void clearSelection();
    /// The selection as the user left it in the view.
    void setSelection(const QList<int> &rows, int current);
    /// Asks the view to show a row / to take the keyboard focus.
    void requestScrollTo(int row) { Q_EMIT scrollToRequested(row); }
    void requestFocus() { Q_EMIT focusRequested(); }

    // --- sorting --------------------------------------------------------------------------
    /// Whether the list keeps its rows sorted by the sort column (black list and log).
    bool keepsSorted() const { return m_keepSorted; }
    void setKeepSorted(bool on) { m_keepSorted = on; }
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // --- QAbstractTableModel --------------------------------------------------------------
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

Q_SIGNALS:
    /// The user ticked or unticked a row's check box.
    void entryToggled(int row);
    /// The selected rows or the current row changed.
    void selectionStateChanged();
    void scrollToRequested(int row);
    void focusRequested();

private:
    using Row = PopupListRow;

    bool hasCheckBoxes() const { return m_kind != Kind::Banned; }
    const QString &cell(const Row &row, int column) const;
    bool lessThan(const Row &a, const Row &b) const;
    int sortedPosition(const Row &row) const;
    std::uint32_t newId();
    int rowOfId(std::uint32_t id) const;
    void rebuildRowsOfIds() const;
    void emitSelectionChanged();

    Kind m_kind;
    mutable MatchIndex m_index;
    std::uint32_t m_nextId = 0;
    std::vector<std::uint32_t> m_freeIds;
    mutable std::vector<int> m_rowOfId;
    mutable bool m_rowsDirty = false;

    std::vector<std::uint32_t> m_selected; // ids
    bool m_multiSelect = true;

    bool m_keepSorted = false;
    int m_sortColumn = 0;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

} // namespace kvorn

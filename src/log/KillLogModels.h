// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/SortableTableModel.h"
#include "log/KillLogReader.h"

#include <vector>

namespace kvorn {

/// The record list of the log display ("Killed Item", "Filter Applied", "Date / Time").
/// Sorting goes through keys made once per column: "Date / Time" by the record's place
/// in the file (dates written as text in the user's format do not sort as text), the
/// other columns by the rank of their text, compared as text ignoring case.
class KillLogRecordModel : public SortableTableModel
{
    Q_OBJECT

public:
    explicit KillLogRecordModel(QObject *parent = nullptr);

    void setRecords(KillLogRecords records);
    /// Adds the records of a part handed over while reading: in one insertion, at the
    /// rows the current sort gives them (newest first puts them on top).
    void appendRecords(KillLogBatch batch);
    /// Empties the list and gives its records to the caller, who may free them elsewhere:
    /// freeing half a million texts takes a while.
    KillLogRecords takeRecords();
    /// The place of each text in text order (ignoring case), for sorting by "Killed Item"
    /// or "Filter Applied"; slow for many titles, so it may be made on another thread.
    static std::vector<std::uint32_t> rankTexts(const QStringList &texts);
    /// Says that ranks for the records set next are being made elsewhere: until `setRanks`
    /// brings them, a sort by a text column is remembered and applied on their arrival
    /// instead of blocking the window.
    void expectRanks() { m_ranksExpected = true; }
    /// Hands in ranks made by `rankTexts` over this model's texts.
    void setRanks(std::vector<std::uint32_t> ranks);
    const KillLogRecords &records() const { return m_records; }

    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    /// True when the ranks of the current texts are at hand: a text sort is then quick.
    bool haveRanks() const;

private:
    void applyOrder();

    KillLogRecords m_records;
    std::vector<std::uint32_t> m_order; // display row -> record
    std::vector<std::uint32_t> m_ranks; // text id -> place in text order; made on demand
    bool m_ranksExpected = false;
    int m_sortColumn = 2;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

/// The analysis list ("Blacklist Item", "Count"); "Count" sorts by the number.
class KillLogCountModel : public SortableTableModel
{
    Q_OBJECT

public:
    explicit KillLogCountModel(QObject *parent = nullptr);

    void setCounts(QList<KillLogCount> counts);
    const QList<KillLogCount> &counts() const { return m_counts; }

    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void applyOrder();

    QList<KillLogCount> m_counts; // in the order first met
    std::vector<std::uint32_t> m_order;
    int m_sortColumn = 1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};

} // namespace kvorn

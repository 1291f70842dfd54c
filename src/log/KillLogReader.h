// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>

class QIODevice;

namespace kvorn {

struct KillLogBatch;

/// The records of one kind ("Popup" or "Mail") read from the kill log. The killed items
/// and filter entries are kept once each (titles and entries repeat a great deal), and
/// each record refers to them by number; 0 is the empty text of a missing field.
struct KillLogRecords
{
    struct Record
    {
        std::uint32_t item = 0;
        std::uint32_t filter = 0;
        /// The date text's bytes in `dates`: nearly every record has its own, so they are
        /// kept raw in one block and decoded only when shown.
        std::uint32_t dateStart = 0;
        std::uint32_t dateLength = 0;
    };
    QStringList texts{QString()};
    QByteArray dates;
    /// In file order, which is the order the records were made in: the log only appends.
    QList<Record> records;

    QString date(const Record &record) const;
    /// Adds a part handed over while reading (see `KillLogBatch`).
    void append(KillLogBatch &&batch);
};

/// A part of the records handed over while the log is still being read: the texts and
/// date bytes first met since the previous part, and the records read meanwhile, which
/// refer to the texts and dates of all parts so far; the first part's texts begin with
/// the empty text (id 0). Appended in order to an empty `KillLogRecords`, the parts make
/// the same records as a reading in one go.
struct KillLogBatch
{
    QStringList texts;
    QByteArray dates;
    QList<KillLogRecords::Record> records;
};

/// One row of the analysis: a filter entry as first met in the file and its count.
struct KillLogCount
{
    QString entry;
    std::int64_t count = 0;
};

/// What a reading of the log gives: the records or the counts, or why it stopped.
struct KillLogRead
{
    KillLogRecords records;
    QList<KillLogCount> counts;
    /// Empty when the log was read to its end (a missing log is read as empty).
    QString error;
    bool cancelled = false;
};

/// How far a reading got, and the flag that stops it; shared between the reading thread
/// and the window that waits for it.
struct KillLogProgress
{
    std::atomic<std::int64_t> done{0};
    std::atomic<std::int64_t> total{0};
    std::atomic<bool> cancel{false};
};

/// Receives the parts of a reading as they are read, on the reading thread.
using KillLogBatchSink = std::function<void(KillLogBatch &&)>;

/// Reads the records of `kind` from a log: lines split at the 0xFF byte, the first field
/// compared exactly with `kind`, the second to fourth fields kept (missing ones empty).
/// Only the bytes there are when the reading starts are read, so that a line appended
/// meanwhile is never read half-written. With `sink`, the records are handed to it in
/// parts as they are read (the first part soon, then about every `kKillLogBatchMs`) and
/// the result holds none.
KillLogRead readKillLogRecords(QIODevice &device, const QString &kind,
                               KillLogProgress *progress = nullptr,
                               const KillLogBatchSink &sink = {});
constexpr int kKillLogBatchMs = 100;
/// Counts the records of `kind` with three or more fields per filter entry (the third
/// field), ignoring case; the entries come in the order they were first met.
KillLogRead countKillLogEntries(QIODevice &device, const QString &kind,
                                KillLogProgress *progress = nullptr);

/// The same for the log file at `path`; a log file that does not exist is an empty log.
KillLogRead readKillLogFile(const QString &path, const QString &kind, bool analyse,
                            KillLogProgress *progress = nullptr,
                            const KillLogBatchSink &sink = {});

/// The count cell: the number right-aligned in at least seven characters, never cut.
QString countCellText(std::int64_t count);

} // namespace kvorn

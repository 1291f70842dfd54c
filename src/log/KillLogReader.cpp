// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/KillLogReader.h"

#include "core/DateText.h"
#include "core/TextFile.h"
#include "log/KillHistory.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHash>

#include <cstring>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

namespace kvorn {

namespace {

// Small enough that a cancel is seen within a few milliseconds.
constexpr qint64 kChunkBytes = 1024 * 1024;
constexpr char kSeparator = char(0xFF);
// The dates' block is addressed with 32 bits; a log beyond that shows no further dates.
constexpr qsizetype kMaxDateBytes = qsizetype(UINT32_MAX);


enum class Stop { End, Cancelled, Failed };

/// Calls `onLine` for every line (without its CR LF) of the bytes the device holds now,
/// reading them in chunks so that a large log never sits in memory whole.
template <typename OnLine, typename AfterChunk>
Stop forEachLine(QIODevice &device, KillLogProgress *progress, QString &error, OnLine onLine,
                 AfterChunk afterChunk)
{
    const qint64 total = device.isSequential() ? -1 : device.size() - device.pos();
    if (progress)
        progress->total = total;
    QByteArray carry;
    QByteArray chunk;
    qint64 done = 0;
    quint32 lines = 0;
    bool first = true;
    while (total < 0 || done < total) {
        if (progress && progress->cancel.load(std::memory_order_relaxed))
            return Stop::Cancelled;
        const qint64 want = total < 0 ? kChunkBytes : std::min(kChunkBytes, total - done);
        chunk.resize(want);
        const qint64 got = device.read(chunk.data(), want);
        if (got < 0) {
            error = device.errorString();
            return Stop::Failed;
        }
        if (got == 0)
            break;
        chunk.resize(got);
        done += got;
        QByteArrayView data(chunk);
        if (first) {
            first = false;
            if (data.startsWith(QByteArrayView("\xEF\xBB\xBF")))
                data = data.sliced(3);
        }
        qsizetype start = 0;
        while (true) {
            const qsizetype end = data.indexOf('\n', start);
            if (end < 0)
                break;
            QByteArrayView line = data.sliced(start, end - start);
            if (!carry.isEmpty()) {
                carry.append(line);
                line = carry;
            }
            if (line.endsWith('\r'))
                line.chop(1);
            onLine(line);
            carry.clear();
            start = end + 1;
            if (progress && (++lines & 1023) == 0 && progress->cancel.load(std::memory_order_relaxed))
                return Stop::Cancelled;
        }
        carry.append(data.sliced(start));
        if (progress)
            progress->done.store(done, std::memory_order_relaxed);
        afterChunk();
    }
    // A last line without its line end is a whole line all the same.
    QByteArrayView line(carry);
    if (line.endsWith('\r'))
        line.chop(1);
    if (!line.isEmpty())
        onLine(line);
    return Stop::End;
}

template <typename OnLine>
Stop forEachLine(QIODevice &device, KillLogProgress *progress, QString &error, OnLine onLine)
{
    return forEachLine(device, progress, error, onLine, [] {});
}

/// Up to `max` fields of a line, split at the 0xFF byte; returns how many the line has
/// (counting no further than `max`).
int splitFields(QByteArrayView line, QByteArrayView *fields, int max)
{
    int n = 0;
    qsizetype start = 0;
    while (n < max) {
        const qsizetype sep = line.indexOf(kSeparator, start);
        if (sep < 0) {
            fields[n++] = line.sliced(start);
            break;
        }
        fields[n++] = line.sliced(start, sep - start);
        start = sep + 1;
    }
    return n;
}

/// Numbers the texts met, looked up by their raw bytes: an open table of slots holding
/// each key's hash beside it, so that a lookup reads one slot rather than chasing a list
/// node, and a miss seldom compares bytes. Half a million titles made the node-based map
/// the reader's largest cost.
class TextIds
{
public:
    TextIds() { m_slots.resize(1 << 16); }

    /// The id of `key`, or `make()`'s for a key not met before; `keep(key)` gives the
    /// lasting copy of the key's bytes.
    template <typename Make, typename Keep>
    std::uint32_t find(std::string_view key, Make make, Keep keep)
    {
        const std::size_t hash = std::hash<std::string_view>{}(key);
        std::size_t mask = m_slots.size() - 1;
        for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
            Slot &slot = m_slots[at];
            if (!slot.key.data())
                break;
            if (slot.hash == hash && slot.key == key)
                return slot.id;
        }
        const std::uint32_t id = make();
        if (++m_used * 2 > m_slots.size())
            grow();
        mask = m_slots.size() - 1;
        std::size_t at = hash & mask;
        while (m_slots[at].key.data())
            at = (at + 1) & mask;
        m_slots[at] = Slot{hash, keep(key), id};
        return id;
    }

private:
    struct Slot
    {
        std::size_t hash = 0;
        std::string_view key;
        std::uint32_t id = 0;
    };

    void grow()
    {
        std::vector<Slot> old(m_slots.size() * 2);
        old.swap(m_slots);
        const std::size_t mask = m_slots.size() - 1;
        for (const Slot &slot : old) {
            if (!slot.key.data())
                continue;
            std::size_t at = slot.hash & mask;
            while (m_slots[at].key.data())
                at = (at + 1) & mask;
            m_slots[at] = slot;
        }
    }

    std::vector<Slot> m_slots;
    std::size_t m_used = 0;
};

/// Gives the first part room for the whole reading, judged by how much of the file it
/// took, with a tenth to spare. The list that receives it keeps that room, so that it
/// need not copy tens of megabytes each time it outgrows its room; the room is touched
/// here, so that the reading thread and not the receiver waits for the memory to be
/// mapped.
void makeRoomForAll(KillLogBatch &first, const KillLogProgress *progress)
{
    if (!progress)
        return;
    const qint64 total = progress->total.load(std::memory_order_relaxed);
    const qint64 done = progress->done.load(std::memory_order_relaxed);
    if (total <= 0 || done <= 0 || done >= total)
        return;
    const double scale = double(total) / double(done) * 1.1;
    const auto touch = [scale](auto &list) {
        const qsizetype size = list.size();
        list.resize(qsizetype(double(size) * scale) + 1);
        list.resize(size);
    };
    touch(first.records);
    touch(first.texts);
    // Bytes are not set by resizing.
    const qsizetype dateBytes = first.dates.size();
    first.dates.resize(qsizetype(double(dateBytes) * scale) + 1);
    std::memset(first.dates.data() + dateBytes, 0, std::size_t(first.dates.size() - dateBytes));
    first.dates.resize(dateBytes);
}

KillLogRead finish(Stop stop, QString error)
{
    KillLogRead read;
    read.cancelled = stop == Stop::Cancelled;
    if (stop == Stop::Failed)
        read.error = std::move(error);
    return read;
}

} // namespace

KillLogRead readKillLogRecords(QIODevice &device, const QString &kind, KillLogProgress *progress,
                               const KillLogBatchSink &sink)
{
    const QByteArray kindBytes = kind.toUtf8();
    // Without a sink the parts are gathered here and handed over whole at the end.
    KillLogRecords whole;
    const KillLogBatchSink gather = [&whole](KillLogBatch &&part) { whole.append(std::move(part)); };
    const KillLogBatchSink &handOver = sink ? sink : gather;
    // The first part starts with the empty text, so that a list taking it over whole
    // keeps the room made in it.
    KillLogBatch batch;
    batch.texts.append(QString());
    // Ids and date offsets count from the start of the reading, not of the part.
    std::uint32_t textsBefore = 0;
    qsizetype datesBefore = 0;
    // Looked up by the raw bytes without copying them: most texts are met before. The keys
    // of new texts are kept in blocks that never move, one allocation per megabyte.
    TextIds ids;
    std::vector<std::unique_ptr<char[]>> blocks;
    std::size_t blockLeft = 0;
    char *blockAt = nullptr;
    const auto keep = [&](QByteArrayView raw) -> std::string_view {
        const auto n = std::size_t(raw.size());
        if (n > blockLeft) {
            const std::size_t size = std::max<std::size_t>(n, 1 << 20);
            blocks.push_back(std::make_unique<char[]>(size));
            blockAt = blocks.back().get();
            blockLeft = size;
        }
        std::memcpy(blockAt, raw.data(), n);
        const std::string_view kept(blockAt, n);
        blockAt += n;
        blockLeft -= n;
        return kept;
    };
    const auto intern = [&](QByteArrayView raw) -> std::uint32_t {
        if (raw.isEmpty())
            return 0;
        return ids.find(
            std::string_view(raw.data(), std::size_t(raw.size())),
            [&] {
                const auto id = textsBefore + std::uint32_t(batch.texts.size());
                batch.texts.append(decodeLine(raw));
                return id;
            },
            [&](std::string_view key) { return keep(QByteArrayView(key.data(), qsizetype(key.size()))); });
    };
    bool handedOver = false;
    const auto flush = [&] {
        // Texts are met only with records.
        if (batch.records.isEmpty())
            return;
        if (sink && !handedOver)
            makeRoomForAll(batch, progress);
        textsBefore += std::uint32_t(batch.texts.size());
        datesBefore += batch.dates.size();
        handOver(std::exchange(batch, {}));
    };
    // The first part goes at once, so that the list fills while the rest is read.
    QElapsedTimer sinceHandOver;
    sinceHandOver.start();
    QString error;
    const Stop stop = forEachLine(
        device, progress, error,
        [&](QByteArrayView line) {
            QByteArrayView f[5];
            // A fifth field means a title that held the separator byte; fields 2 to 4 stay
            // where they were written.
            const int n = splitFields(line, f, 5);
            if (f[0] != QByteArrayView(kindBytes))
                return;
            KillLogRecords::Record record;
            if (n > 1)
                record.item = intern(f[1]);
            if (n > 2)
                record.filter = intern(f[2]);
            if (n > 3 && !f[3].isEmpty()) {
                const qsizetype at = datesBefore + batch.dates.size();
                if (at + f[3].size() < kMaxDateBytes) {
                    record.dateStart = std::uint32_t(at);
                    record.dateLength = std::uint32_t(f[3].size());
                    batch.dates.append(f[3]);
                }
            }
            batch.records.append(record);
        },
        [&] {
            if (sink && (!handedOver || sinceHandOver.elapsed() >= kKillLogBatchMs)) {
                handedOver = true;
                sinceHandOver.restart();
                flush();
            }
        });
    KillLogRead read = finish(stop, std::move(error));
    if (stop == Stop::End) {
        flush();
        if (!sink)
            read.records = std::move(whole);
    }
    return read;
}

KillLogRead countKillLogEntries(QIODevice &device, const QString &kind, KillLogProgress *progress)
{
    const QByteArray kindBytes = kind.toUtf8();
    QList<KillLogCount> counts;
    // Each spelling is decoded and folded once; the records then only look up its bytes.
    QHash<QByteArray, qsizetype> rowOfSpelling;
    QHash<QString, qsizetype> rowOfFolded;
    QString error;
    const Stop stop = forEachLine(device, progress, error, [&](QByteArrayView line) {
        QByteArrayView f[3];
        if (splitFields(line, f, 3) < 3 || f[0] != QByteArrayView(kindBytes))
            return;
        const QByteArray spelling = f[2].toByteArray();
        auto it = rowOfSpelling.constFind(spelling);
        if (it == rowOfSpelling.constEnd()) {
            const QString entry = decodeLine(f[2]);
            const QString folded = entry.toCaseFolded();
            auto row = rowOfFolded.constFind(folded);
            if (row == rowOfFolded.constEnd()) {
                row = rowOfFolded.insert(folded, counts.size());
                counts.append({entry, 0});
            }
            it = rowOfSpelling.insert(spelling, row.value());
        }
        ++counts[it.value()].count;
    });
    KillLogRead read = finish(stop, std::move(error));
    if (stop == Stop::End)
        read.counts = std::move(counts);
    return read;
}

KillLogRead readKillLogFile(const QString &path, const QString &kind, bool analyse,
                            KillLogProgress *progress, const KillLogBatchSink &sink)
{
    QFile file(path);
    if (!file.exists())
        return {};
    if (!file.open(QIODevice::ReadOnly)) {
        KillLogRead read;
        read.error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return read;
    }
    KillLogRead read = analyse ? countKillLogEntries(file, kind, progress)
                               : readKillLogRecords(file, kind, progress, sink);
    if (!read.error.isEmpty())
        read.error = QStringLiteral("%1: %2").arg(path, read.error);
    return read;
}

KillHistory countKillHistory(QIODevice &device, const QDate &today, KillLogProgress *progress)
{
    KillHistory history;
    history.today = today;
    const QDate firstMonth = QDate(today.year(), today.month(), 1).addMonths(-(KillHistory::kMonths - 1));
    // The date part cannot be found by splitting at the first blank (some short formats
    // hold blanks), so the longest readable prefix ending at a blank is taken, and reused
    // for the following records of the same day.
    QByteArray lastPrefix;
    QDate lastDate;
    const auto dateOf = [&](QByteArrayView text) -> QDate {
        if (!lastPrefix.isEmpty() && text.startsWith(lastPrefix) &&
            (text.size() == lastPrefix.size() || text.at(lastPrefix.size()) == ' '))
            return lastDate;
        const QString decoded = decodeLine(text);
        qsizetype end = decoded.size();
        while (end > 0) {
            const QDate date = parseShortDate(decoded.left(end));
            if (date.isValid()) {
                lastPrefix = decoded.left(end).toUtf8();
                if (lastPrefix != text.first(std::min(text.size(), lastPrefix.size())))
                    lastPrefix.clear(); // not plain UTF-8: no shortcut
                lastDate = date;
                return date;
            }
            end = decoded.lastIndexOf(QLatin1Char(' '), end - 1);
        }
        return {};
    };
    QString error;
    const Stop stop = forEachLine(device, progress, error, [&](QByteArrayView line) {
        QByteArrayView f[4];
        if (splitFields(line, f, 4) < 4)
            return;
        const bool popup = f[0] == QByteArrayView("Popup");
        if (!popup && f[0] != QByteArrayView("Mail"))
            return;
        const QDate date = dateOf(f[3]);
        if (!date.isValid()) {
            ++history.undated;
            return;
        }
        const qint64 daysAgo = date.daysTo(today);
        if (daysAgo >= 0 && daysAgo < KillHistory::kDays)
            ++(popup ? history.popupsPerDay : history.mailPerDay)[std::size_t(KillHistory::kDays - 1 - daysAgo)];
        if (date >= firstMonth && date <= today) {
            const int month = (date.year() - firstMonth.year()) * 12 + date.month() - firstMonth.month();
            ++(popup ? history.popupsPerMonth : history.mailPerMonth)[std::size_t(month)];
        }
    });
    if (stop == Stop::Failed)
        history.error = error;
    return history;
}

KillHistory countKillHistoryFile(const QString &path, const QDate &today, KillLogProgress *progress)
{
    QFile file(path);
    if (!file.exists()) {
        KillHistory history;
        history.today = today;
        return history;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        KillHistory history;
        history.today = today;
        history.error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return history;
    }
    return countKillHistory(file, today, progress);
}

void KillLogRecords::append(KillLogBatch &&batch)
{
    // An empty list takes over the first part's lists, which begin with the empty text,
    // and with them any room made for more.
    const bool firstPart = !batch.texts.isEmpty() && batch.texts.first().isEmpty();
    if (firstPart && records.isEmpty() && texts.size() <= 1) {
        texts = std::move(batch.texts);
    } else {
        if (firstPart)
            batch.texts.removeFirst();
        texts.append(std::move(batch.texts));
    }
    if (dates.isEmpty())
        dates = std::move(batch.dates);
    else
        dates.append(batch.dates);
    if (records.isEmpty())
        records = std::move(batch.records);
    else
        records.append(batch.records);
}

QString KillLogRecords::date(const Record &record) const
{
    if (record.dateLength == 0)
        return {};
    return decodeLine(QByteArrayView(dates).sliced(record.dateStart, record.dateLength));
}

QString countCellText(std::int64_t count)
{
    return QString::number(count).rightJustified(7, QLatin1Char(' '));
}

} // namespace kvorn

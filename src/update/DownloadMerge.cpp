// SPDX-License-Identifier: GPL-3.0-or-later
#include "update/DownloadMerge.h"

#include "core/MainController.h"
#include "core/StatusTexts.h"
#include "core/TextFile.h"
#include "mail/MailListMatch.h"
#include "mail/MailLists.h"
#include "mail/MessageListModel.h"
#include "popups/PopupListModel.h"
#include "popups/PopupLists.h"
#include "popups/Wildcard.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QThread>

#include <iterator>

namespace kvorn {

std::optional<QStringList> readUpdateFileLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    QStringList lines;
    qsizetype start = 0;
    const qsizetype size = data.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char c = data.at(i);
        if (c != '\r' && c != '\n')
            continue;
        lines.append(decodeLine(QByteArrayView(data).sliced(start, i - start)));
        if (c == '\r' && i + 1 < size && data.at(i + 1) == '\n')
            ++i;
        start = i + 1;
    }
    if (start < size)
        lines.append(decodeLine(QByteArrayView(data).sliced(start)));
    return lines;
}

QString weeklyMailListName(int weekCode)
{
    return QStringLiteral("mbl") + QString::number(weekCode) + QStringLiteral(".txt");
}

bool isWeeklyMailListName(const QString &fileName)
{
    static const QRegularExpression pattern(QStringLiteral("^mbl[0-9]{1,3}\\.txt$"),
                                            QRegularExpression::CaseInsensitiveOption);
    return pattern.match(fileName).hasMatch();
}

// --- popup list --------------------------------------------------------------------------

EntryVerdict judgePopupEntry(const QString &line)
{
    if (line.size() > kMaxPopupEntryLength || hasControlCharacter(line))
        return EntryVerdict::Malformed;
    int literal = 0;
    for (const QStringView piece : QStringView(line).split(QLatin1Char('*'))) {
        if (piece.size() == 1 && piece.at(0) == kPieceMarker)
            continue;
        for (const QChar c : piece)
            literal += c.isSpace() ? 0 : 1;
    }
    return literal >= 3 ? EntryVerdict::Accepted : EntryVerdict::TooBroad;
}

struct PopupUpdateMerge::Snapshot
{
    std::vector<PopupEntry> black;
    std::vector<PopupEntry> white;
    std::vector<PopupEntry> banned;
    bool keepSorted = false;
    int sortColumn = 0;
    Qt::SortOrder sortOrder = Qt::AscendingOrder;
};

struct PopupUpdateMerge::Plan
{
    bool read = false;
    MergeCounters counters;
    /// The black list with the new entries and its index; none when nothing is added.
    std::unique_ptr<PopupListModel> merged;
};

PopupUpdateMerge::PopupUpdateMerge(PopupLists &lists, MainController &controller,
                                   QString folder, QString todayText, QObject *parent)
    : QObject(parent), m_lists(lists), m_controller(controller), m_folder(std::move(folder)),
      m_today(std::move(todayText))
{
    qRegisterMetaType<MergeCounters>();
    // Any change of the black list while the worker has its copy makes that copy stale.
    PopupListModel *black = &m_lists.blackList();
    const auto changed = [this] {
        if (m_thread)
            m_blackChanged = true;
    };
    connect(black, &QAbstractItemModel::rowsInserted, this, changed);
    connect(black, &QAbstractItemModel::rowsRemoved, this, changed);
    connect(black, &QAbstractItemModel::dataChanged, this, changed);
    connect(black, &QAbstractItemModel::modelReset, this, changed);
    connect(black, &QAbstractItemModel::layoutChanged, this, changed);
}

PopupUpdateMerge::~PopupUpdateMerge()
{
    m_stop = true;
    if (m_thread) {
        m_thread->wait();
        delete m_thread;
    }
}

PopupUpdateMerge::Snapshot PopupUpdateMerge::snapshot() const
{
    Snapshot s;
    PopupListModel &black = m_lists.blackList();
    s.black = black.entries();
    s.white = m_lists.whiteList().entries();
    s.banned = m_lists.bannedList().entries();
    s.keepSorted = black.keepsSorted();
    s.sortColumn = black.sortColumn();
    s.sortOrder = black.sortOrder();
    return s;
}

std::unique_ptr<PopupUpdateMerge::Plan>
PopupUpdateMerge::makePlan(const QString &path, const Snapshot &lists, const QString &today,
                           const std::atomic<bool> &stop, PopupUpdateMerge *progressFrom)
{
    auto plan = std::make_unique<Plan>();
    const std::optional<QStringList> lines = readUpdateFileLines(path);
    if (!lines || stop)
        return plan;

    PopupListModel black(PopupListModel::Kind::Black);
    black.assign(lists.black);
    PopupListModel white(PopupListModel::Kind::White);
    white.assign(lists.white);
    PopupListModel banned(PopupListModel::Kind::Banned);
    banned.assign(lists.banned);
    // The lines taken so far: a later line they cover is no news either.
    PopupListModel taken(PopupListModel::Kind::Black);
    std::vector<PopupEntry> fresh;

    MergeCounters &c = plan->counters;
    QElapsedTimer shown;
    shown.start();
    for (const QString &line : *lines) {
        if (stop)
            return plan;
        ++c.downloaded;
        const EntryVerdict verdict = line.isEmpty() ? EntryVerdict::Accepted : judgePopupEntry(line);
        if (verdict != EntryVerdict::Accepted) {
            ++(verdict == EntryVerdict::TooBroad ? c.tooBroad : c.malformed);
            ++c.skipped;
            continue;
        }
        const QString lowered = lookupCase(line);
        if (line.isEmpty() || black.patternHitRow(lowered) >= 0 ||
            white.patternHitRow(lowered) >= 0 || banned.patternHitRow(lowered) >= 0 ||
            taken.patternHitRow(lowered) >= 0) {
            ++c.skipped;
            continue;
        }
        PopupEntry entry;
        entry.text = line;
        entry.enabled = true;
        entry.dateAdded = today;
        taken.append(entry);
        fresh.push_back(std::move(entry));
        ++c.added;
        if (progressFrom && shown.elapsed() >= 50) {
            Q_EMIT progressFrom->countersChanged(c);
            shown.restart();
        }
    }
    plan->read = true;
    if (fresh.empty())
        return plan;
    std::vector<PopupEntry> all = lists.black;
    all.insert(all.end(), std::make_move_iterator(fresh.begin()),
               std::make_move_iterator(fresh.end()));
    auto merged = std::make_unique<PopupListModel>(PopupListModel::Kind::Black);
    merged->setKeepSorted(lists.keepSorted);
    merged->sort(lists.sortColumn, lists.sortOrder);
    if (stop)
        return plan;
    merged->assign(std::move(all));
    plan->merged = std::move(merged);
    return plan;
}

bool PopupUpdateMerge::apply(Plan &plan)
{
    if (!plan.read)
        return false;
    m_counters = plan.counters;
    if (plan.merged) {
        m_lists.blackList().takeRows(*plan.merged);
        // Without this the merged entries would never reach "spamlist.kbl".
        m_lists.setBlackListChanged(true);
        Q_EMIT m_lists.monitorRecheckRequested();
    }
    Q_EMIT countersChanged(m_counters);
    m_controller.UpdateStatusBar(PopupScreen, 1, QStringLiteral("Loading"));
    QFile::remove(QDir(m_folder).filePath(kPopupUpdateFile));
    return true;
}

bool PopupUpdateMerge::run()
{
    const std::atomic<bool> never{false};
    const std::unique_ptr<Plan> plan =
        makePlan(QDir(m_folder).filePath(kPopupUpdateFile), snapshot(), m_today, never, this);
    return apply(*plan);
}

void PopupUpdateMerge::start()
{
    if (m_thread)
        return;
    m_stop = false;
    launch();
}

void PopupUpdateMerge::launch()
{
    m_blackChanged = false;
    QThread *home = thread();
    m_thread = QThread::create(
        [this, home, lists = snapshot(), path = QDir(m_folder).filePath(kPopupUpdateFile)] {
            m_plan = makePlan(path, lists, m_today, m_stop, this);
            // The finished list is handed over on the window's thread.
            if (m_plan->merged)
                m_plan->merged->moveToThread(home);
        });
    connect(m_thread, &QThread::finished, this, &PopupUpdateMerge::onWorkerDone);
    m_thread->start();
}

void PopupUpdateMerge::onWorkerDone()
{
    m_thread->wait();
    delete m_thread;
    m_thread = nullptr;
    const std::unique_ptr<Plan> plan = std::move(m_plan);
    if (m_stop) {
        Q_EMIT finished(false);
        return;
    }
    if (m_blackChanged) {
        launch();
        return;
    }
    Q_EMIT finished(apply(*plan));
}

void PopupUpdateMerge::abort()
{
    m_stop = true;
}

// --- mail lists --------------------------------------------------------------------------

MailDownloadMerge::MailDownloadMerge(MailLists &lists, MessageListModel &messages,
                                     QString programFolder, QObject *parent)
    : QObject(parent), m_lists(lists), m_messages(messages), m_folder(std::move(programFolder))
{
}

QString MailDownloadMerge::normalizedEntry(const QString &line)
{
    QString entry = line.toLower();
    if (entry.startsWith(QLatin1Char('*')))
        entry.remove(0, 1);
    if (entry.startsWith(QLatin1Char('@')))
        entry.remove(0, 1);
    if (entry.isEmpty())
        return entry;
    if (entry.size() >= 7)
        entry.prepend(QLatin1Char('*'));
    return entry;
}

bool MailDownloadMerge::mailload(const QList<int> &weekCodes, const QStringList &fetchedFiles)
{
    Q_EMIT titleChanged(QStringLiteral("Loading Add List"));
    m_pending.clear();
    for (const int code : weekCodes)
        MailMerge(QDir(m_folder).filePath(weeklyMailListName(code)));
    Q_EMIT titleChanged(QStringLiteral("Checking For Duplicates"));
    if (m_lists.blacklist().count() == 0 && m_pending.empty())
        return false;
    addPendingAndRemoveRepeats();
    if (m_anyFile) {
        for (const QString &name : fetchedFiles) {
            if (isWeeklyMailListName(name))
                QFile::remove(QDir(m_folder).filePath(name));
        }
    }
    return true;
}

void MailDownloadMerge::MailMerge(const QString &path)
{
    Q_EMIT fileChanged(path);
    if (!QFile::exists(path))
        return;
    m_anyFile = true;
    const std::optional<QStringList> lines = readUpdateFileLines(path);
    if (!lines)
        return;
    const QString today = m_lists.todayText();
    int lineNumber = 0;
    for (const QString &line : *lines) {
        ++lineNumber;
        Q_EMIT fileChanged(path + QLatin1Char(' ') + QString::number(lineNumber));
        ++m_counters.downloaded;
        if (line.isEmpty()) {
            ++m_counters.skipped;
            Q_EMIT countersChanged(m_counters);
            continue;
        }
        const QString entry = normalizedEntry(line);
        // Nothing left ("*@", "@") would stand for every sender.
        const EntryVerdict verdict =
            entry.isEmpty() ? EntryVerdict::TooBroad : judgeMailEntry(entry);
        if (verdict != EntryVerdict::Accepted) {
            ++(verdict == EntryVerdict::TooBroad ? m_counters.tooBroad : m_counters.malformed);
            ++m_counters.skipped;
            Q_EMIT countersChanged(m_counters);
            continue;
        }
        MailListEntry added;
        added.Active = true;
        added.Address = entry;
        added.LastHit = today;
        added.Added = today;
        m_pending.push_back(added);
        // The row matcher's test, with the entry taken apart once for all the rows.
        if (entry.contains(QLatin1Char('*'))) {
            const QStringList parts = wildcardParts(entry);
            for (int row = 0; row < m_messages.rowCount(); ++row) {
                if (!m_messages.isChecked(row) &&
                    partsOccurInOrder(parts, m_messages.text(row, ColFrom)))
                    m_messages.setChecked(row, true);
            }
        }
        ++m_counters.added;
        Q_EMIT countersChanged(m_counters);
    }
}

void MailDownloadMerge::addPendingAndRemoveRepeats()
{
    // The blacklist keeps its adding order, so a downloaded copy of an older entry is
    // never its neighbour: every later repeat goes, and the first one (the user's own,
    // with its tick and dates) stays. The list changes once, whatever the number of lines.
    const std::vector<MailListEntry> &entries = m_lists.blacklist().entries();
    std::vector<MailListEntry> kept;
    kept.reserve(entries.size() + m_pending.size());
    QSet<QString> seen;
    seen.reserve(qsizetype(entries.size() + m_pending.size()));
    int removedAdded = 0;
    bool changed = false;
    const auto keep = [&](const MailListEntry &e, bool added) {
        if (seen.contains(e.Address)) {
            ++m_counters.skipped;
            if (added)
                ++removedAdded;
            else
                changed = true;
            return;
        }
        seen.insert(e.Address);
        kept.push_back(e);
        changed = changed || added;
    };
    for (const MailListEntry &e : entries)
        keep(e, false);
    for (const MailListEntry &e : m_pending)
        keep(e, true);
    m_pending.clear();
    m_counters.added = std::max(0, m_counters.added - removedAdded);
    if (changed)
        m_lists.blacklist().setEntries(std::move(kept));
    Q_EMIT countersChanged(m_counters);
}

} // namespace kvorn

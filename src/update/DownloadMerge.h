// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mail/MailEntryCheck.h"
#include "mail/MailListEntry.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

class QThread;

namespace kvorn {

class MailLists;
class MainController;
class MessageListModel;
class PopupListModel;
class PopupLists;

/// The lines of a file fetched from the update server. CR LF, LF and a lone CR each end a
/// line; every line is decoded like the program's own lists. Nothing when the file cannot
/// be read.
std::optional<QStringList> readUpdateFileLines(const QString &path);

/// The popup update list's name in the program folder.
inline const QString kPopupUpdateFile = QStringLiteral("spamnew.pbl");

/// The name of a weekly mail update list: "mbl" + week code + ".txt".
QString weeklyMailListName(int weekCode);
/// Whether a file name is one of the weekly mail update lists (letter case ignored).
bool isWeeklyMailListName(const QString &fileName);

/// The counters the merge windows show beside "Downloaded:", "Added:" and "Skipped:",
/// and the lines refused on sight. Refused lines count as skipped too.
struct MergeCounters
{
    int downloaded = 0;
    int added = 0;
    int skipped = 0;
    int tooBroad = 0;
    int malformed = 0;

    friend bool operator==(const MergeCounters &, const MergeCounters &) = default;
};

/// The longest popup list entry taken from the update server.
inline constexpr int kMaxPopupEntryLength = 512;

/// Judges a line of the popup update list. Stars and blanks aside (and pieces that the
/// wildcard test counts as matched without looking), it must keep three characters: a
/// shorter entry would close windows at large.
EntryVerdict judgePopupEntry(const QString &line);

/// Folds "spamnew.pbl" into the popup black list. A line that the black, white or banned
/// list already covers is skipped, as are empty lines; lines that are too broad or
/// malformed are refused. The new entries carry the merge's date, join the list in one
/// step and count as unsaved changes.
///
/// The lines are judged and looked up, and the new list with its index is made, on a
/// worker thread against a copy of the lists, so a long list never holds up the window;
/// only the exchange of the finished list happens on this object's thread. Should the
/// black list change meanwhile, the work is done again from the changed list.
class PopupUpdateMerge : public QObject
{
    Q_OBJECT

public:
    PopupUpdateMerge(PopupLists &lists, MainController &controller, QString folder,
                     QString todayText, QObject *parent = nullptr);
    ~PopupUpdateMerge() override;

    /// Merges the file and deletes it, all on this thread. False, with nothing changed,
    /// when the file is missing or unreadable.
    bool run();
    /// The same on a worker thread; `finished` tells the outcome.
    void start();
    /// Stops a started merge: nothing is merged, the file stays, `finished(false)` follows.
    void abort();
    bool isRunning() const { return m_thread != nullptr; }
    const MergeCounters &counters() const { return m_counters; }

Q_SIGNALS:
    /// Now and then while the lines are judged, and at the end.
    void countersChanged(const kvorn::MergeCounters &counters);
    void finished(bool merged);

private:
    struct Plan;
    struct Snapshot;

    Snapshot snapshot() const;
    static std::unique_ptr<Plan> makePlan(const QString &path, const Snapshot &lists,
                                          const QString &today, const std::atomic<bool> &stop,
                                          PopupUpdateMerge *progressFrom);
    void launch();
    void onWorkerDone();
    bool apply(Plan &plan);

    PopupLists &m_lists;
    MainController &m_controller;
    QString m_folder;
    QString m_today;
    MergeCounters m_counters;
    QThread *m_thread = nullptr;
    std::unique_ptr<Plan> m_plan;
    std::atomic<bool> m_stop{false};
    bool m_blackChanged = false;
};

/// Folds the weekly mail update lists into the mail blacklist, marks the messages of the
/// mail list that a new entry covers, then removes the repeated entries.
class MailDownloadMerge : public QObject
{
    Q_OBJECT

public:
    MailDownloadMerge(MailLists &lists, MessageListModel &messages, QString programFolder,
                      QObject *parent = nullptr);

    /// `mailload`: merges the weekly lists of `weekCodes` that lie in the program folder,
    /// then removes repeated blacklist entries. Afterwards deletes `fetchedFiles` (names in
    /// the program folder) when at least one weekly list was there; other files are left
    /// alone. False when the blacklist is empty at the end (the window then stays open and
    /// nothing is deleted).
    bool mailload(const QList<int> &weekCodes, const QStringList &fetchedFiles);
    /// `MailMerge`: reads one weekly list when it exists; its entries join the blacklist
    /// with the others at the end of `mailload`.
    void MailMerge(const QString &path);

    const MergeCounters &counters() const { return m_counters; }
    /// Whether a weekly list was found by `MailMerge`.
    bool anyFileFound() const { return m_anyFile; }

    /// The text an entry of a weekly list becomes: lower case, one leading "*" and then
    /// one leading "@" dropped, "*" put in front when 7 or more characters remain. Empty
    /// when nothing remains.
    static QString normalizedEntry(const QString &line);

Q_SIGNALS:
    void countersChanged(const kvorn::MergeCounters &counters);
    /// The text beside "File:".
    void fileChanged(const QString &text);
    /// The window's title line ("Loading Add List", "Checking For Duplicates").
    void titleChanged(const QString &text);

private:
    void addPendingAndRemoveRepeats();

    MailLists &m_lists;
    MessageListModel &m_messages;
    QString m_folder;
    MergeCounters m_counters;
    bool m_anyFile = false;
    std::vector<MailListEntry> m_pending;
};

} // namespace kvorn

Q_DECLARE_METATYPE(kvorn::MergeCounters)

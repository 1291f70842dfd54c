// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/TextFile.h"
#include "mail/MailListEntryModel.h"
#include "mail/MailListMatch.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>
#include <vector>

namespace kvorn {

class Clock;

/// The four "add" commands of the mail list's context menu.
enum class MailListAddCommand
{
    AddressToFriends,
    DomainToFriends,
    AddressToBlacklist,
    DomainToBlacklist
};

/// What an "add" command did to a list and what it asks of the mail list's rows.
struct MailListAddition
{
    MailListAddCommand command = MailListAddCommand::AddressToFriends;
    MailListKind list = MailListKind::Friends;
    /// The entry appended; empty when the sender gave nothing to add.
    QString entry;
    /// The friends commands take the check mark off the selected row first.
    bool unmarkSelectedRow = false;
    /// Every row with `MatchesMailRow`(row, entry) yes gets these: marked for deletion
    /// (blacklist commands only; the friends commands leave the mark), "Status" and
    /// "Blacklist" texts.
    bool markMatchingRows = false;
    QString status;
    QString blacklistText;

    bool added() const { return !entry.isEmpty(); }
};

/// A mail list row as the "add" commands see it.
struct MailRowState
{
    bool marked = false; ///< the check mark: marked for deletion
    QString from;        ///< the "From" column
};

/// The mail blacklist and the friends list for the whole run: their files "mail.mbl" and
/// "mail.mfl", the look-up used by classification and the wildcard test of the "add"
/// commands, with `KillEntry`, the entry of the last positive match.
class MailLists : public QObject
{
    Q_OBJECT

public:
    /// The file names in the program folder.
    static QString blacklistFileName() { return QStringLiteral("mail.mbl"); }
    static QString friendsFileName() { return QStringLiteral("mail.mfl"); }

    /// How long after a change of a list its file is written at the latest.
    static constexpr int kSaveDelayMs = 1000;

    MailLists(QString programFolder, const Clock &clock, QObject *parent = nullptr);

    MailListEntryModel &blacklist() { return m_blacklist; }
    MailListEntryModel &friends() { return m_friends; }
    MailListEntryModel &list(MailListKind kind)
    {
        return kind == MailListKind::Blacklist ? m_blacklist : m_friends;
    }

    /// Called with the number of blacklist lines read: 0 at the start, then at every
    /// hundredth line (the "Loading Mail Blacklist" window's "Items Loaded:" counter).
    using Progress = std::function<void(int itemsLoaded)>;

    /// Replaces both lists with their files' contents. A missing file gives an empty list.
    /// In the blacklist a line whose address equals the line's just before is skipped. The
    /// caller pauses the popup killer's timers around it and shows the progress window.
    /// Returns what could not be read, empty when all went well.
    QString LoadMailLists(const Progress &progress = {});
    /// Writes the blacklist to "mail.mbl" when `which` is "Blacklist", else the friends
    /// list to "mail.mfl", in list order. A failed write keeps the old file and says why.
    /// A file that exists but could not be read at load is not overwritten: the list in
    /// memory lacks its entries.
    WriteResult SaveMailList(const QString &which);
    /// Writes, at once, each list changed since it was last written (what the save a
    /// moment after a change does: any change of a list's entries starts it, a "Last Hit"
    /// stamp alone does not). Returns the errors, empty when all went well.
    QString saveChangedLists();
    /// True when the list has changes not yet written to its file.
    bool hasUnsavedChanges(MailListKind kind) const
    {
        return kind == MailListKind::Blacklist ? m_blacklistChanged : m_friendsChanged;
    }

    /// Whether the sender's address (the text inside its angle brackets), or failing that
    /// `extra`, matches an entry of the list; sets `KillEntry` on a match.
    bool IsInMailList(MailListEntryModel &list, const QString &address, const QString &extra);
    bool IsInMailList(MailListKind kind, const QString &address, const QString &extra);
    /// `MatchesMailRow` that also sets `KillEntry`.
    bool MatchesMailRow(const MailRowState &row, const QString &pattern);
    /// The entry of the last positive match, in lower case.
    QString KillEntry() const { return m_killEntry; }

    /// Runs an "add" command for the selected row's sender text: appends the entry (active,
    /// today as "Last Hit" and "Added", no duplicate check) and says what the rows get.
    MailListAddition addFromSender(MailListAddCommand command, const QString &sender);
    /// The rows an addition changes, after the selected row's mark was taken off where the
    /// command does that: those for which `MatchesMailRow`(row, entry) is yes.
    QList<int> rowsMatchingAddition(const MailListAddition &addition,
                                    const std::vector<MailRowState> &rows, int selectedRow);
    /// The menu caption of a command.
    static QString caption(MailListAddCommand command);

Q_SIGNALS:
    /// The save a moment after a change ran; `error` is empty when every changed list
    /// was written.
    void autoSaved(const QString &error);

public:
    /// Today as the lists write dates.
    QString todayText() const;
    /// The path a list file is read from and written to: an existing file of that name
    /// in any letter case, else the name as given.
    QString listFilePath(const QString &fileName) const;

private:
    /// Nothing when the file exists but cannot be read.
    std::optional<std::vector<MailListEntry>> readList(const QString &fileName, bool skipRepeats,
                                                       const Progress &progress) const;
    void watchForChanges(MailListEntryModel &list, bool &changed);

    QString m_programFolder;
    const Clock &m_clock;
    MailListEntryModel m_blacklist{MailListKind::Blacklist};
    MailListEntryModel m_friends{MailListKind::Friends};
    QString m_killEntry;
    bool m_blacklistUnread = false;
    bool m_friendsUnread = false;
    bool m_blacklistChanged = false;
    bool m_friendsChanged = false;
    QTimer m_saveSoon;
};

} // namespace kvorn

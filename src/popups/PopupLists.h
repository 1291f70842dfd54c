// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/EngineLoop.h"
#include "popups/PopupListModel.h"

#include <QDate>
#include <QObject>
#include <QString>
#include <QTimer>

namespace kvorn {

class TrayIcon;
class Clock;
class DetectedListModel;
class LogListModel;

/// The popup killer's lists as the main window holds them: the black, white and banned
/// lists with their files, the detected list and the log list, the black list's
/// unsaved-changes flag, and the one lookup over them (`FindPopupEntry`).
class PopupLists : public QObject
{
    Q_OBJECT

public:
    struct Services
    {
        StatusSink &status;
        TrayIcon &tray;
        Clock &clock;
    };

    /// How long after a change of a list its file is written at the latest.
    static constexpr int kSaveDelayMs = 1000;

    PopupLists(Services services, QString programFolder, QObject *parent = nullptr);
    ~PopupLists() override;

    PopupListModel &blackList() { return *m_black; }
    PopupListModel &whiteList() { return *m_white; }
    PopupListModel &bannedList() { return *m_banned; }
    DetectedListModel &detectedList() { return *m_detected; }
    LogListModel &logList() { return *m_log; }

    /// The program folder's "spamlist.kbl", "banned.kbl" and "spamex.kbl".
    QString blackListPath() const { return m_blackPath; }
    QString bannedListPath() const { return m_bannedPath; }
    QString whiteListPath() const;

    /// True when the black list has changes not yet written to "spamlist.kbl".
    bool blackListChanged() const { return m_blackChanged; }
    /// Marks the black list changed or saved. Any change of a list's entries marks it
    /// itself; a change also starts the save a moment later (`kSaveDelayMs`), so that a
    /// crash or a killed session does not take the user's edits with it.
    void setBlackListChanged(bool changed);
    /// Writes, at once, each list changed since it was last written (what the moment-later
    /// save does). Returns the errors, empty when all went well.
    QString saveChangedLists();
    /// True while `LoadBlackList` reads the file (ticks then do not count as changes).
    bool isLoadingBlackList() const { return m_loadingBlack; }

    // --- files ----------------------------------------------------------------------------
    /// Loads the banned list, then "spamlist.kbl". Returns what could not be read (a
    /// missing file is no error), empty when all went well.
    QString LoadBlackList();
    /// Reads "banned.kbl" into the banned list. Returns an error text, empty on success.
    QString GetBannedPopups();
    /// Reads "spamex.kbl" into the white list. Returns an error text, empty on success.
    QString LoadWhiteList();
    /// Writes the black list when `path` is the black-list path (only when it has unsaved
    /// changes), else the white list. Returns an error text, empty on success; a failure
    /// leaves the old file whole.
    QString SavePopupList(const QString &path);
    /// Writes "banned.kbl". Returns an error text, empty on success.
    QString SaveBannedList();
    /// The three saves of the program's exit, in order; the errors joined by line breaks.
    QString saveAll();

    // --- entries --------------------------------------------------------------------------
    /// Adds a black-list entry unless (with `skipCheck` false) the black, white or banned
    /// list already covers the text. The new entry becomes the selected, current entry.
    /// True when it was added.
    bool AddBlackListEntry(const QString &text, bool enabled, bool skipCheck);

    // --- lookup ---------------------------------------------------------------------------
    /// True when an entry of `list` covers the title or, failing that, the address.
    /// `mode` true: pattern lookup (enabled entries, "*" wildcards); false: exact lookup.
    /// A hit selects the entry; a pattern hit in the black list stamps its "Last Used".
    bool FindPopupEntry(PopupListModel &list, const QString &title, bool mode,
                        const QString &address = QString());
    /// Makes the first black-list entry with this text (letter case ignored) the selected one.
    void SelectListEntry(const QString &text);

Q_SIGNALS:
    /// A list changed in a way the detected windows are to be judged again for (the
    /// killer's loop keeps the request).
    void monitorRecheckRequested();
    /// A list file was written (its path).
    void listSaved(const QString &path);
    /// The save a moment after a change ran; `error` says what could not be written,
    /// empty when every changed list was.
    void autoSaved(const QString &error);

private:
    bool lookupOne(PopupListModel &list, const QString &text, bool mode);
    QString writeList(PopupListModel &list, const QString &path);
    void watchForChanges(PopupListModel *list, bool &changed);
    void saveSoon();
    static constexpr int kLastUsedColumn = 2;

    Services m_s;
    QString m_programFolder;
    QString m_blackPath;
    QString m_bannedPath;
    PopupListModel *m_black;
    PopupListModel *m_white;
    PopupListModel *m_banned;
    DetectedListModel *m_detected;
    LogListModel *m_log;
    bool m_blackChanged = false;
    // The white and banned lists change only through their models; the black list's
    // commands say what counts as a change (a "Last Used" stamp does not).
    bool m_whiteChanged = false;
    bool m_bannedChanged = false;
    QTimer m_saveSoon;
    bool m_loadingBlack = false;
    // A list whose file is there but could not be read is not written back over it.
    bool m_blackUnread = false;
    bool m_whiteUnread = false;
    bool m_bannedUnread = false;
    QDate m_today;
    QString m_todayText;
};

} // namespace kvorn

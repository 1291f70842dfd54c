#pragma once

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

namespace kvorn {

class MailLists;
class MainController;
class MessageListModel;
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

/// The counters the merge windows show beside "Downloaded:", "Added:" and "Skipped:".
struct MergeCounters
{
    int downloaded = 0;
    int added = 0;
    int skipped = 0;

    friend bool operator==(const MergeCounters &, const MergeCounters &) = default;
};

/// Folds "spamnew.pbl" into the popup black list. A line that the black, white or banned
/// list already covers is skipped, as are empty lines and lines of stars alone (one of
/// those would close every browser window). Added entries count as unsaved changes.
class PopupUpdateMerge : public QObject
{
    Q_OBJECT

public:
    PopupUpdateMerge(PopupLists &lists, MainController &controller, QString programFolder,
                     QObject *parent = nullptr);

    /// Merges the file and deletes it. False, with nothing changed, when the file is
    /// missing or unreadable.
    bool run();
    const MergeCounters &counters() const { return m_counters; }

Q_SIGNALS:
    /// After every line.
    void countersChanged(const kvorn::MergeCounters &counters);

private:
    PopupLists &m_lists;
    MainController &m_controller;
    QString m_folder;
    MergeCounters m_counters;
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
    /// `MailMerge`: merges one weekly list when it exists.
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
    void removeRepeats();

    MailLists &m_lists;
    MessageListModel &m_messages;
    QString m_folder;
    MergeCounters m_counters;
    bool m_anyFile = false;
    int m_firstAddedRow = -1;
};

} // namespace kvorn

Q_DECLARE_METATYPE(kvorn::MergeCounters)

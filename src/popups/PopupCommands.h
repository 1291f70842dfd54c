// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

namespace kvorn {

class PopupLists;
class PopupListModel;
class PopupLoop;
class StatusSink;
class Prompt;
class FileChooser;

/// The popup panels of the main window, as the list commands tell them apart.
enum class PopupPanel { Detected, Black, White, Log, None };

/// The popup list commands of the "Popup" menu, the Del key, a drop on the black list and
/// the black-list file commands of the File menu. They work on the lists' models; the
/// window only says which panel shows and which list has the focus.
class PopupCommands : public QObject
{
    Q_OBJECT

public:
    struct Services
    {
        PopupLists &lists;
        PopupLoop &loop;
        StatusSink &status;
        Prompt &prompt;
        FileChooser &files;
    };

    PopupCommands(Services services, QString programFolder, QObject *parent = nullptr);

    /// An entry text as the lists may hold it: every run of line breaks and other control
    /// characters becomes one blank, and the ends are trimmed. A line break in a list file
    /// would split the entry into two broken lines.
    static QString cleanEntryText(const QString &text);

    /// "&Edit...": renames the selected row of the list that has the focus (black or white),
    /// then saves the black list (when changed) and the white list.
    void edit(PopupPanel focused);
    /// "&Delete": removes every selected row of the shown black or white list.
    void deleteSelected(PopupPanel shown);
    /// The Del key: "&Delete", then selects the first row after the old current row that
    /// was not deleted with it (none when there is none).
    void deleteKey(PopupPanel shown);
    /// "&Find...": the next row whose text holds the asked text, wrapping around once.
    void find(PopupPanel shown);
    /// "&Ban it!": the selected black-list or log row goes to the banned list.
    void banIt(PopupPanel shown);
    /// "&Whitelist (Exclude)": every selected black-list row (or the selected log row) that
    /// the white list does not cover goes to the white list.
    void whitelist(PopupPanel shown);
    /// Text dropped on the black list: a ticked, selected entry unless a list covers it.
    /// True when it was added.
    bool dropText(const QString &text);

    /// File > "&Load..." > "Popup Blacklist".
    void loadBlackList();
    /// File > "&Merge...".
    void merge();
    /// File > "Save &As...".
    void saveAs();
    /// File > "&Wipe".
    void wipe();

    /// The lower-cased last search text of "&Find...".
    QString lastSearch() const { return m_lastSearch; }
    QString backupPath() const;

Q_SIGNALS:
    /// A file command failed; the text says what was not done.
    void failed(const QString &text);

private:
    PopupListModel *listOf(PopupPanel panel) const;
    void removeSelectedRows(PopupListModel &list);
    void report(const QString &error);
    bool copyInto(const QString &from, const QString &to);

    Services m_s;
    QString m_programFolder;
    QString m_lastSearch;
};

} // namespace kvorn

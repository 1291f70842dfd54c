// SPDX-License-Identifier: GPL-3.0-or-later
#include "popups/PopupCommands.h"

#include "core/FileChooser.h"
#include "core/EngineLoop.h"
#include "core/Prompt.h"
#include "core/StatusTexts.h"
#include "core/TextFile.h"
#include "popups/LogListModel.h"
#include "popups/PopupListFile.h"
#include "popups/PopupListModel.h"
#include "popups/PopupLists.h"
#include "popups/PopupLoop.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace kvorn {

namespace {
const QString kListFilter = QStringLiteral("Black List (*.kbl)");

QList<QStringList> linesOf(const PopupListModel &list)
{
    QList<QStringList> lines;
    lines.reserve(list.count());
    for (int row = 0; row < list.count(); ++row)
        lines.append(listLineFields(list.entry(row)));
    return lines;
}
} // namespace

PopupCommands::PopupCommands(Services services, QString programFolder, QObject *parent)
    : QObject(parent), m_s(services), m_programFolder(std::move(programFolder))
{
}

QString PopupCommands::cleanEntryText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    bool gap = false;
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator) {
            gap = true;
            continue;
        }
        if (gap && !out.isEmpty())
            out.append(QLatin1Char(' '));
        gap = false;
        out.append(c);
    }
    return out.trimmed();
}

QString PopupCommands::backupPath() const
{
    return m_programFolder + QStringLiteral("/spamlist.bak");
}

PopupListModel *PopupCommands::listOf(PopupPanel panel) const
{
    switch (panel) {
    case PopupPanel::Black:
        return &m_s.lists.blackList();
    case PopupPanel::White:
        return &m_s.lists.whiteList();
    default:
        return nullptr;
    }
}

void PopupCommands::report(const QString &error)
{
    if (error.isEmpty())
        return;
    Q_EMIT failed(error);
    m_s.prompt.message(error, Prompt::Buttons::Ok, Prompt::Icon::Critical,
                       QStringLiteral("K-Vorn"));
}

// --- the "Popup" menu ----------------------------------------------------------------------

void PopupCommands::edit(PopupPanel focused)
{
    MonitorPause pause(m_s.loop);
    if (PopupListModel *list = listOf(focused)) {
        const int row = list->currentRow();
        if (row < 0)
            return;
        const std::optional<QString> answer =
            m_s.prompt.input(QStringLiteral("Enter the new name for the selected popup"),
                             QStringLiteral("Edit popup"), list->entry(row).text);
        // The list may have changed while the box was open.
        const QString text = answer ? cleanEntryText(*answer) : QString();
        if (!text.isEmpty() && row < list->count())
            list->setText(row, text);
    }
    report(m_s.lists.SavePopupList(m_s.lists.blackListPath()));
    report(m_s.lists.SavePopupList(m_s.lists.whiteListPath()));
    m_s.loop.requestMonitorRecheck();
    m_s.lists.setBlackListChanged(true);
}

void PopupCommands::removeSelectedRows(PopupListModel &list)
{
    QList<int> rows = list.selectedRows();
    std::sort(rows.begin(), rows.end(), std::greater<>());
    for (const int row : rows)
        list.removeAt(row);
}

void PopupCommands::deleteSelected(PopupPanel shown)
{
    PopupListModel *list = listOf(shown);
    if (!list || list->count() == 0)
        return;
    removeSelectedRows(*list);
    m_s.status.UpdateStatusBar(PopupScreen, 3,
                                   QStringLiteral("Count:") + QString::number(list->count()));
    m_s.lists.setBlackListChanged(true);
    m_s.loop.requestMonitorRecheck();
}

void PopupCommands::deleteKey(PopupPanel shown)
{
    PopupListModel *list = listOf(shown);
    if (!list || list->count() == 0)
        return;
    const QList<int> selected = list->selectedRows();
    if (selected.isEmpty())
        return;
    int current = list->currentRow();
    if (current < 0)
        current = selected.last();
    // The row to select next is the first one after the current row that goes nowhere;
    // with several rows selected the one right after may be deleted too.
    int next = -1;
    for (int row = current + 1; row < list->count(); ++row) {
        if (!selected.contains(row)) {
            next = row;
            break;
        }
    }
    if (next >= 0)
        next -= int(std::count_if(selected.begin(), selected.end(),
                                  [next](int row) { return row < next; }));
    deleteSelected(shown);
    if (next >= 0 && next < list->count()) {
        list->selectOnly(next);
        list->requestScrollTo(next);
    }
}

void PopupCommands::find(PopupPanel shown)
{
    PopupListModel *list = listOf(shown);
    if (!list || list->count() == 0)
        return;
    const std::optional<QString> answer =
        m_s.prompt.input(QStringLiteral("Enter a text string to look for"),
                         QStringLiteral("Find popup Title"), m_lastSearch);
    m_lastSearch = answer.value_or(QString()).toLower();
    if (m_lastSearch.isEmpty())
        return;
    const int count = list->count();
    const int current = list->currentRow();
    const int start = (current < 0 || current >= count - 1) ? 0 : current + 1;
    const auto hit = [&](int row) { return list->entry(row).text.toLower().contains(m_lastSearch); };
    int found = -1;
    for (int row = start; row < count && found < 0; ++row) {
        if (hit(row))
            found = row;
    }
    for (int row = 0; row < count && found < 0; ++row) {
        if (hit(row))
            found = row;
    }
    if (found < 0) {
        list->requestFocus();
        return;
    }
    list->selectOnly(found);
    list->requestScrollTo(found);
}

void PopupCommands::banIt(PopupPanel shown)
{
    PopupListModel &banned = m_s.lists.bannedList();
    if (shown == PopupPanel::Black) {
        PopupListModel &black = m_s.lists.blackList();
        const int row = black.currentRow();
        if (row >= 0) {
            banned.append({black.entry(row).text, true, {}, {}});
            black.removeAt(row);
            m_s.lists.setBlackListChanged(true);
        }
    } else if (shown == PopupPanel::Log) {
        LogListModel &log = m_s.lists.logList();
        const int row = log.currentRow();
        // A window's title may hold a line break, which a list file cannot.
        const QString text = row >= 0 ? cleanEntryText(log.entry(row).text) : QString();
        if (!text.isEmpty()) {
            if (m_s.lists.FindPopupEntry(banned, text, true)) {
                m_s.prompt.message(
                    QStringLiteral("The Selected popup cannot be added because it is a banned popup"),
                    Prompt::Buttons::OkCancel, Prompt::Icon::Information,
                    QStringLiteral("Unable to add popup"));
            } else {
                banned.append({text, true, {}, {}});
                log.removeAt(row);
            }
        }
    }
    report(m_s.lists.SaveBannedList());
    m_s.loop.requestMonitorRecheck();
}

void PopupCommands::whitelist(PopupPanel shown)
{
    PopupListModel &white = m_s.lists.whiteList();
    if (shown == PopupPanel::Black) {
        PopupListModel &black = m_s.lists.blackList();
        // Each selected row on its own: one the white list covers already stays where it is.
        QList<int> moved;
        const QList<int> selected = black.selectedRows();
        QStringList texts;
        for (const int row : selected)
            texts.append(black.entry(row).text);
        for (int i = 0; i < selected.size(); ++i) {
            if (m_s.lists.FindPopupEntry(white, texts[i], true))
                continue;
            white.append({texts[i], true, {}, {}});
            moved.append(selected[i]);
        }
        std::sort(moved.begin(), moved.end(), std::greater<>());
        for (const int row : moved)
            black.removeAt(row);
        if (!moved.isEmpty()) {
            m_s.status.UpdateStatusBar(PopupScreen, 3,
                                           QStringLiteral("Count:") +
                                               QString::number(black.count()));
            m_s.lists.setBlackListChanged(true);
        }
    } else if (shown == PopupPanel::Log) {
        LogListModel &log = m_s.lists.logList();
        const int row = log.currentRow();
        const QString text = row >= 0 ? cleanEntryText(log.entry(row).text) : QString();
        if (!text.isEmpty()) {
            if (!m_s.lists.FindPopupEntry(white, text, true)) {
                white.append({text, true, {}, {}});
                log.removeAt(row);
            }
        }
    }
    report(m_s.lists.SavePopupList(m_s.lists.whiteListPath()));
    m_s.loop.requestMonitorRecheck();
}

bool PopupCommands::dropText(const QString &text)
{
    const QString clean = cleanEntryText(text);
    if (clean.isEmpty())
        return false;
    const bool added = m_s.lists.AddBlackListEntry(clean, true, false);
    m_s.lists.setBlackListChanged(true);
    return added;
}

// --- the File menu -------------------------------------------------------------------------

void PopupCommands::loadBlackList()
{
    MonitorPause pause(m_s.loop);
    const Prompt::Answer answer = m_s.prompt.askDefaultNo(
        QStringLiteral("Loading a Black List will overwrite your current list of popups. (Use "
                       "merge to add to current list)\r\nAre you sure you want to continue?"),
        Prompt::Icon::Question, QStringLiteral("Confirm Overwrite"));
    m_s.loop.requestMonitorRecheck();
    if (answer != Prompt::Answer::Yes)
        return;
    const QString path =
        m_s.files.openFile(QStringLiteral("Load Black List"), kListFilter);
    if (path.isEmpty())
        return;
    // Read first: the chosen file may be the backup itself, or the list file.
    const ListFileRead read = readListFile(path);
    if (!read.exists || !read.error.isEmpty()) {
        report(read.error.isEmpty()
                   ? QStringLiteral("%1 could not be read; the black list is unchanged.").arg(path)
                   : read.error);
        return;
    }
    // The backup holds the list as it is shown, unsaved changes included.
    PopupListModel &black = m_s.lists.blackList();
    if (const WriteResult backup = writeFieldLines(backupPath(), linesOf(black)); !backup) {
        report(backup.error + QStringLiteral("\nThe black list is unchanged."));
        return;
    }
    QList<QStringList> lines;
    lines.reserve(qsizetype(read.entries.size()));
    for (const PopupEntry &entry : read.entries)
        lines.append(listLineFields(entry));
    if (const WriteResult written = writeFieldLines(m_s.lists.blackListPath(), lines); !written) {
        report(written.error);
        return;
    }
    report(m_s.lists.LoadBlackList());
    m_s.lists.setBlackListChanged(false);
    m_s.loop.requestMonitorRecheck();
}

void PopupCommands::merge()
{
    MonitorPause pause(m_s.loop);
    const QString path = m_s.files.openFile(QStringLiteral("Merge Black List"), kListFilter);
    if (path.isEmpty())
        return;
    const std::optional<QList<QStringList>> lines = readFieldLines(path);
    if (!lines) {
        report(QStringLiteral("%1 could not be read; nothing was merged.").arg(path));
        return;
    }
    PopupLists &lists = m_s.lists;
    PopupListModel &black = lists.blackList();
    for (const QStringList &fields : *lines) {
        // An empty or short line holds no entry: the lines after it still count.
        std::optional<PopupEntry> entry = parseListLine(fields);
        if (!entry)
            continue;
        entry->text = cleanEntryText(entry->text);
        if (entry->text.isEmpty())
            continue;
        if (fields.size() == 1) {
            // The older layout goes in only where no list covers it yet.
            lists.AddBlackListEntry(entry->text, entry->enabled, false);
            continue;
        }
        if (lists.FindPopupEntry(black, entry->text, true))
            continue;
        black.append(std::move(*entry));
    }
    lists.setBlackListChanged(true);
    report(lists.SavePopupList(lists.blackListPath()));
    m_s.loop.requestMonitorRecheck();
}

bool PopupCommands::copyInto(const QString &from, const QString &to)
{
    QFile in(from);
    if (!in.open(QIODevice::ReadOnly)) {
        report(QStringLiteral("%1 could not be read: %2").arg(from, in.errorString()));
        return false;
    }
    const QByteArray data = in.readAll();
    QSaveFile out(to);
    if (!out.open(QIODevice::WriteOnly) || out.write(data) != data.size() || !out.commit()) {
        report(QStringLiteral("%1 could not be written: %2").arg(to, out.errorString()));
        return false;
    }
    return true;
}

void PopupCommands::saveAs()
{
    MonitorPause pause(m_s.loop);
    const QString name = m_s.files.saveFile(QStringLiteral("Save Black List As"), kListFilter,
                                            QStringLiteral("spamlist.kbl"));
    if (name.isEmpty())
        return;
    // What is copied is what the lists show: write them first.
    PopupLists &lists = m_s.lists;
    for (const QString &error :
         {lists.SavePopupList(lists.blackListPath()), lists.SavePopupList(lists.whiteListPath())}) {
        if (!error.isEmpty()) {
            report(error + QStringLiteral("\nNothing was copied."));
            return;
        }
    }
    const QString folder = QFileInfo(name).absolutePath();
    // Copying the program folder onto itself would gain nothing and risk the files.
    if (QFileInfo(folder).canonicalFilePath() == QFileInfo(m_programFolder).canonicalFilePath())
        return;
    for (const QString &path : {lists.blackListPath(), lists.whiteListPath()}) {
        if (QFileInfo::exists(path) &&
            !copyInto(path, QDir(folder).filePath(QFileInfo(path).fileName())))
            return;
    }
}

void PopupCommands::wipe()
{
    MonitorPause pause(m_s.loop);
    if (m_s.prompt.askDefaultNo(
            QStringLiteral("Wiping a Black List will delete your current list of popups."),
            Prompt::Icon::Warning, QStringLiteral("WARNING")) != Prompt::Answer::Yes)
        return;
    m_s.lists.blackList().clear();
    const QString path = m_s.lists.blackListPath();
    const bool removed = !QFileInfo::exists(path) || QFile::remove(path);
    if (!removed)
        report(QStringLiteral("%1 could not be deleted.").arg(path));
    // A file that stayed is emptied at the next save instead.
    m_s.lists.setBlackListChanged(!removed);
    m_s.loop.requestMonitorRecheck();
}

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
#include "popups/PopupLists.h"

#include "core/DateText.h"
#include "core/TextFile.h"
#include "platform/Clock.h"
#include "platform/TrayIcon.h"
#include "popups/DetectedListModel.h"
#include "popups/LogListModel.h"
#include "popups/PopupListFile.h"
#include "popups/Wildcard.h"

#include <QFileInfo>

namespace kvorn {

PopupLists::PopupLists(Services services, QString programFolder, QObject *parent)
    : QObject(parent), m_s(services), m_programFolder(std::move(programFolder)),
      m_black(new PopupListModel(PopupListModel::Kind::Black, this)),
      m_white(new PopupListModel(PopupListModel::Kind::White, this)),
      m_banned(new PopupListModel(PopupListModel::Kind::Banned, this)),
      m_detected(new DetectedListModel(this)), m_log(new LogListModel(this))
{
    // The paths are known from the start, so that a save before the first load still
    // tells the black list from the white list.
    m_blackPath = m_programFolder + QStringLiteral("/spamlist.kbl");
    m_bannedPath = m_programFolder + QStringLiteral("/banned.kbl");
    m_black->setKeepSorted(true);

    // Every change of a list's entries is written a moment later, whichever command made
    // it; a "Last Used" stamp alone is not worth a write (it goes with the next one), nor
    // is reading the file.
    connect(m_black, &PopupListModel::entryToggled, this,
            [this] { Q_EMIT monitorRecheckRequested(); });
    connect(m_white, &PopupListModel::entryToggled, this,
            [this] { Q_EMIT monitorRecheckRequested(); });
    watchForChanges(m_black, m_blackChanged);
    watchForChanges(m_white, m_whiteChanged);
    watchForChanges(m_banned, m_bannedChanged);

    // A burst of edits (a merge, a multi-row delete) is written once; the first change of
    // a burst is on the disk within this time, however long the burst goes on.
    m_saveSoon.setSingleShot(true);
    m_saveSoon.setInterval(kSaveDelayMs);
    connect(&m_saveSoon, &QTimer::timeout, this,
            [this] { Q_EMIT autoSaved(saveChangedLists()); });
}

void PopupLists::watchForChanges(PopupListModel *list, bool &changed)
{
    const auto mark = [this, list, &changed] {
        if (list == m_black && m_loadingBlack)
            return;
        changed = true;
        saveSoon();
    };
    connect(list, &QAbstractItemModel::rowsInserted, this, mark);
    connect(list, &QAbstractItemModel::rowsRemoved, this, mark);
    connect(list, &QAbstractItemModel::dataChanged, this,
            [mark](const QModelIndex &from, const QModelIndex &to) {
                if (from.column() == kLastUsedColumn && to.column() == kLastUsedColumn)
                    return;
                mark();
            });
}

void PopupLists::saveSoon()
{
    // Not restarted by a later change: that would put off the first one without end.
    if (!m_saveSoon.isActive())
        m_saveSoon.start();
}

void PopupLists::setBlackListChanged(bool changed)
{
    m_blackChanged = changed;
    if (changed)
        saveSoon();
}

QString PopupLists::saveChangedLists()
{
    m_saveSoon.stop();
    QStringList errors;
    const auto save = [&](bool &changed, PopupListModel &list, const QString &path, bool unread) {
        // A file that could not be read is left alone; the exit's save says why.
        if (!changed || (unread && QFileInfo::exists(path)))
            return;
        const QString error = writeList(list, path);
        if (error.isEmpty())
            changed = false;
        else
            errors.append(error);
    };
    save(m_blackChanged, *m_black, m_blackPath, m_blackUnread);
    save(m_whiteChanged, *m_white, whiteListPath(), m_whiteUnread);
    save(m_bannedChanged, *m_banned, m_bannedPath, m_bannedUnread);
    return errors.join(QLatin1Char('\n'));
}

PopupLists::~PopupLists() = default;

QString PopupLists::whiteListPath() const
{
    return m_programFolder + QStringLiteral("/spamex.kbl");
}

// --- files ---------------------------------------------------------------------------------

QString PopupLists::LoadBlackList()
{
    m_black->clear();
    m_blackPath = m_programFolder + QStringLiteral("/spamlist.kbl");
    m_bannedPath = m_programFolder + QStringLiteral("/banned.kbl");
    QStringList errors;
    const QString bannedError = GetBannedPopups();
    if (!bannedError.isEmpty())
        errors.append(bannedError);
    m_s.tray.setTip(QStringLiteral("Loading spam List..."));

    m_loadingBlack = true;
    ListFileRead read = readListFile(m_blackPath);
    m_blackUnread = !read.error.isEmpty();
    if (m_blackUnread)
        errors.append(read.error);
    // Every entry goes in unchecked against the other lists and ends up unselected.
    m_black->assign(std::move(read.entries));
    m_loadingBlack = false;
    Q_EMIT monitorRecheckRequested();
    m_s.status.UpdateStatusBar(0, 0, QString());
    return errors.join(QLatin1Char('\n'));
}

QString PopupLists::GetBannedPopups()
{
    ListFileRead read = readBannedFile(m_bannedPath);
    m_bannedUnread = !read.error.isEmpty();
    m_banned->assign(std::move(read.entries));
    m_bannedChanged = false;
    return read.error;
}

QString PopupLists::LoadWhiteList()
{
    ListFileRead read = readListFile(whiteListPath());
    m_whiteUnread = !read.error.isEmpty();
    m_white->assign(std::move(read.entries));
    m_whiteChanged = false;
    return read.error;
}

QString PopupLists::writeList(PopupListModel &list, const QString &path)
{
    QList<QStringList> lines;
    lines.reserve(list.count());
    for (int row = 0; row < list.count(); ++row) {
        if (list.kind() == PopupListModel::Kind::Banned)
            lines.append(QStringList{list.entry(row).text});
        else
            lines.append(listLineFields(list.entry(row)));
    }
    const WriteResult result = writeFieldLines(path, lines);
    if (!result)
        return result.error;
    Q_EMIT listSaved(path);
    return {};
}

namespace {
QString unreadText(const QString &path)
{
    return QStringLiteral("%1 was not saved: it could not be read when it was loaded, and "
                          "saving would have replaced what it holds.")
        .arg(path);
}
} // namespace

QString PopupLists::SavePopupList(const QString &path)
{
    const bool black = path == m_blackPath;
    if (black && !m_blackChanged)
        return {};
    // Once the unread file is gone (wiped, replaced) there is nothing left to protect.
    if (((black && m_blackUnread) || (!black && m_whiteUnread)) && QFileInfo::exists(path))
        return unreadText(path);
    m_s.tray.setTip(QStringLiteral("Please Wait..."));
    const QString error = writeList(black ? *m_black : *m_white, path);
    // Only writing the black list itself makes its changes saved.
    if (error.isEmpty())
        (black ? m_blackChanged : m_whiteChanged) = false;
    return error;
}

QString PopupLists::SaveBannedList()
{
    if (m_bannedUnread && QFileInfo::exists(m_bannedPath))
        return unreadText(m_bannedPath);
    const QString error = writeList(*m_banned, m_bannedPath);
    if (error.isEmpty())
        m_bannedChanged = false;
    return error;
}

QString PopupLists::saveAll()
{
    QStringList errors;
    for (const QString &error :
         {SavePopupList(m_blackPath), SavePopupList(whiteListPath()), SaveBannedList()}) {
        if (!error.isEmpty())
            errors.append(error);
    }
    return errors.join(QLatin1Char('\n'));
}

// --- entries -------------------------------------------------------------------------------

bool PopupLists::AddBlackListEntry(const QString &text, bool enabled, bool skipCheck)
{
    if (!skipCheck) {
        if (FindPopupEntry(*m_black, text, true) || FindPopupEntry(*m_white, text, true) ||
            FindPopupEntry(*m_banned, text, true))
            return false;
    }
    PopupEntry entry;
    entry.text = text;
    entry.enabled = enabled;
    const int row = m_black->append(std::move(entry));
    m_black->selectOnly(row);
    Q_EMIT monitorRecheckRequested();
    return true;
}

// --- lookup --------------------------------------------------------------------------------

bool PopupLists::FindPopupEntry(PopupListModel &list, const QString &title, bool mode,
                                const QString &address)
{
    if (lookupOne(list, title, mode))
        return true;
    return !address.isEmpty() && lookupOne(list, address, mode);
}

bool PopupLists::lookupOne(PopupListModel &list, const QString &text, bool mode)
{
    const QString t = lookupCase(text);
    if (!mode) {
        const int row = list.exactRow(t);
        if (row < 0)
            return false;
        list.selectRow(row);
        list.requestScrollTo(row);
        return true;
    }

    list.setMultiSelect(false);
    const int row = list.patternHitRow(t);
    const bool white = list.kind() == PopupListModel::Kind::White;
    if (!white && list.count() > 0) {
        // Each entry is selected while it is tested and let go when it misses: what stays
        // is the hit entry alone, or nothing.
        if (row >= 0)
            list.selectOnly(row);
        else
            list.clearSelection();
    }
    if (row < 0)
        return false;
    if (list.kind() == PopupListModel::Kind::Black) {
        SelectListEntry(list.entry(row).text);
        // Formatting a date is dear next to an indexed lookup: once a day is enough.
        const QDate today = m_s.clock.now().date();
        if (today != m_today) {
            m_today = today;
            m_todayText = shortDateText(today);
        }
        list.setLastUsed(list.currentRow(), m_todayText);
    }
    return true;
}

void PopupLists::SelectListEntry(const QString &text)
{
    m_black->requestFocus();
    m_black->setMultiSelect(false);
    const int row = m_black->exactRow(lookupCase(text));
    if (row >= 0) {
        m_black->selectRow(row);
        m_black->requestScrollTo(row);
    }
    m_black->setMultiSelect(true);
}

} // namespace kvorn

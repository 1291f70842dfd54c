// SPDX-License-Identifier: GPL-3.0-or-later
#include "banner/BannerList.h"

#include "banner/BannerFiles.h"
#include "core/DateText.h"
#include "core/MainController.h"
#include "core/StatusTexts.h"
#include "platform/Clock.h"
#include "platform/SafeFile.h"
#include "platform/TrayIcon.h"

#include <QDir>
#include <QFileInfo>

namespace kvorn {

BannerList::BannerList(QString programFolder, TrayIcon &tray, Clock &clock, StatusWriter status,
                       QObject *parent)
    : RowVectorModel(parent), m_programFolder(std::move(programFolder)), m_tray(tray),
      m_clock(clock), m_status(std::move(status))
{
}

BannerList::BannerList(QString programFolder, TrayIcon &tray, Clock &clock,
                       MainController &controller, QObject *parent)
    : BannerList(std::move(programFolder), tray, clock,
                 [&controller](int screen, int panel, const QString &text) {
                     controller.UpdateStatusBar(screen, panel, text);
                 },
                 parent)
{
}

int BannerList::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant BannerList::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    const BannerGroup &group = rowAt(index.row());
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return index.column() == GroupColumn ? group.name : group.count;
    if (role == Qt::CheckStateRole && index.column() == GroupColumn)
        return group.selected ? Qt::Checked : Qt::Unchecked;
    return {};
}

bool BannerList::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::CheckStateRole || !index.isValid() || index.column() != GroupColumn ||
        index.row() >= count())
        return false;
    setSelected(index.row(), value.value<Qt::CheckState>() == Qt::Checked);
    return true;
}

QVariant BannerList::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    if (section == GroupColumn)
        return QStringLiteral("Server Group");
    if (section == ServersColumn)
        return QStringLiteral("Servers");
    return {};
}

Qt::ItemFlags BannerList::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == GroupColumn)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

void BannerList::setSelected(int row, bool selected)
{
    if (hasRow(row) && rowAt(row).selected != selected)
        changeRow(
            row, GroupColumn, [&](BannerGroup &group) { group.selected = selected; },
            {Qt::CheckStateRole});
}

QString BannerList::LoadBannerList()
{
    resetRows([this](std::vector<BannerGroup> &groups) {
        groups.clear();
        m_tray.setTip(QStringLiteral("Loading Banner server List..."));
        m_unread.clear();
        groups = readBannerList(QDir(m_programFolder).filePath(kBannerListFile), &m_unread);
    });
    // No "loading" status: the list is read by now, and the run state written there
    // earlier is not written again until it changes, so the text would stay for good.
    return m_unread;
}

WriteResult BannerList::PostBannerChange()
{
    const QDir folder(m_programFolder);
    // Once the unread file is gone (replaced by an import) there is nothing to protect.
    if (!m_unread.isEmpty() && QFileInfo::exists(folder.filePath(kBannerListFile)))
        return WriteResult{m_unread};
    m_tray.setTip(QStringLiteral("Please Wait..."));
    const QString date = shortDateText(m_clock.now().date());
    // The hosts file goes first: it is the smaller one to put back should the list fail.
    // It is readable by all, as a hosts file linked into /etc must be.
    // The servers come from the imported lines: the rows hold only the groups' names.
    const BannerCopy copy =
        readBannerCopy(folder.filePath(kBannerCopyFile)).value_or(BannerCopy{});
    return WriteResult{
        replaceFiles({{folder.filePath(kHostsFile), hostsBytes(rows(), copy, date)},
                      {folder.filePath(kBannerListFile), bannerListBytes(rows())}},
                     kSharedFile)};
}

WriteResult BannerList::apply()
{
    WriteResult result = PostBannerChange();
    if (result)
        LoadBannerList();
    return result;
}

QByteArray BannerList::blockedServerNames() const
{
    const auto copy = readBannerCopy(QDir(m_programFolder).filePath(kBannerCopyFile));
    QByteArray names;
    if (!copy)
        return names;
    for (const QByteArrayView server : selectedServers(rows(), *copy)) {
        names.append(server.data(), server.size());
        names.append('\n');
    }
    return names;
}

void BannerList::setAll(const std::function<bool(bool)> &tick)
{
    if (count() == 0)
        return;
    for (int row = 0; row < count(); ++row)
        quietRow(row).selected = tick(rowAt(row).selected);
    Q_EMIT dataChanged(index(0, GroupColumn), index(count() - 1, GroupColumn),
                       {Qt::CheckStateRole});
}

void BannerList::selectAll()
{
    setAll([](bool) { return true; });
}

void BannerList::selectNone()
{
    setAll([](bool) { return false; });
}

void BannerList::invertSelection()
{
    setAll([](bool selected) { return !selected; });
}

BannerImportResult BannerList::importList(const QString &sourcePath)
{
    return importBannerList(sourcePath, m_programFolder, shortDateText(m_clock.now().date()));
}

} // namespace kvorn

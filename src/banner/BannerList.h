// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "banner/BannerGroup.h"
#include "banner/BannerImport.h"
#include "core/RowVectorModel.h"
#include "core/TextFile.h"

#include <functional>

namespace kvorn {

class Clock;
class MainController;
class TrayIcon;

/// The banner groups of the banner screen (`lvBanner`): a check box and the columns
/// "Server Group" and "Servers". The rows are the only copy of the list in memory; ticks
/// reach the disk only through `PostBannerChange`.
class BannerList : public RowVectorModel<BannerGroup>
{
    Q_OBJECT

public:
    enum Column { GroupColumn = 0, ServersColumn = 1, ColumnCount = 2 };
    /// Writes a status text: screen, panel, text (the main window's `UpdateStatusBar`).
    using StatusWriter = std::function<void(int screen, int panel, const QString &text)>;

    BannerList(QString programFolder, TrayIcon &tray, Clock &clock, StatusWriter status,
               QObject *parent = nullptr);
    /// The usual wiring: status texts go through the controller's `UpdateStatusBar`.
    BannerList(QString programFolder, TrayIcon &tray, Clock &clock, MainController &controller,
               QObject *parent = nullptr);

    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    const std::vector<BannerGroup> &groups() const { return rows(); }
    /// Ticks or clears one row, as a click on its check box does.
    void setSelected(int row, bool selected);

    /// Rebuilds the rows from "banner.kbl"; a missing file gives an empty list. Returns why
    /// the file was not read (one over the limits of list files), empty when it was.
    QString LoadBannerList();
    /// Writes "banner.kbl" and the hosts file from the rows as they stand. On failure the
    /// old files stay whole and the error says why. A "banner.kbl" that was not read at
    /// load is not written over.
    WriteResult PostBannerChange();
    /// "Apply" and "&Apply Changes": `PostBannerChange`, then `LoadBannerList` when it
    /// succeeded (after a failure the rows stay as the user left them).
    WriteResult apply();
    /// "Cancel": drops the unapplied ticks.
    void cancel() { (void)LoadBannerList(); }

    /// The servers of the ticked groups, one a line (LF), as the system helper takes them.
    QByteArray blockedServerNames() const;

    void selectAll();
    void selectNone();
    void invertSelection();

    /// Imports a published hosts list into "banner.kbl" and "banner.kpm" (the rows are
    /// reloaded by the caller once the import dialog closes).
    BannerImportResult importList(const QString &sourcePath);

    QString programFolder() const { return m_programFolder; }

private:
    void setAll(const std::function<bool(bool)> &tick);

    QString m_programFolder;
    TrayIcon &m_tray;
    Clock &m_clock;
    StatusWriter m_status;
    /// Why "banner.kbl" was not read at the last load; empty when it was.
    QString m_unread;
};

} // namespace kvorn

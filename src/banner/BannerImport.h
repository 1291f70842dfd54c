// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kvorn {

/// What an import of a published hosts list did.
struct BannerImportResult
{
    enum class Status {
        Done,             ///< "banner.kbl" and "banner.kpm" hold the new list
        SourceUnreadable, ///< the chosen file could not be opened; nothing was written
        WriteFailed,      ///< the new files could not be written; the old ones are whole
        NoGroups,         ///< the file holds no group; nothing was written
    };
    Status status = Status::Done;
    /// The number of groups written: those with at least one server.
    int groups = 0;
    /// The number of "0.0.0.0" lines after the localhost line.
    qint64 servers = 0;
    /// What went wrong, for the user.
    QString error;

    bool ok() const { return status == Status::Done; }
};

/// Turns a published hosts list into the banner list: one group per comment line after the
/// first line holding "localhost", counting the "0.0.0.0" lines under it, written to
/// "banner.kbl" (ticked when a group of that name was ticked in the list it replaces); the
/// lines after the localhost line go unchanged into "banner.kpm". A file without any group
/// changes nothing.
BannerImportResult importBannerList(const QString &sourcePath, const QString &programFolder,
                                    const QString &dateText);

/// The summary message shown after an import.
QString bannerImportSummary(const BannerImportResult &result);
/// The title of the import's messages.
QString bannerImportTitle();

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "banner/BannerGroup.h"
#include "core/TextFile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace kvorn {

/// File names of the banner blocker in the program folder.
inline constexpr QLatin1StringView kBannerListFile("banner.kbl");
inline constexpr QLatin1StringView kBannerCopyFile("banner.kpm");
inline constexpr QLatin1StringView kHostsFile("hosts");

/// The program's version as the banner file headers give it: major "." minor.
QString bannerVersionText();

/// Lines 1 to 11 of the hosts file (up to and including the blank after localhost);
/// `sourceLine` is line 5, naming the imported list.
QStringList hostsHeader(const QString &dateText, const QString &sourceLine);
/// Lines 1 to 12 of "banner.kpm" for a list imported from a file named `sourceName`.
QStringList bannerCopyHeader(const QString &dateText, const QString &sourceName);
/// The comment line naming the imported list, as lines 5 of both headers give it.
QString sourceCommentLine(const QString &sourceName);

/// One group of the imported lines: its name (the comment without its "#") and the lines
/// under it, up to the next comment line.
struct BannerCopyGroup
{
    QString name;
    QByteArrayView lines;
};

/// "banner.kpm" read back with the import's own rules: its groups in order (a lone "#"
/// ends a group and starts none). The groups' lines point into `data`.
struct BannerCopy
{
    QByteArray data;
    /// Line 5, naming the imported list; empty when the file does not have it.
    QString sourceLine;
    std::vector<BannerCopyGroup> groups;
};

/// Reads "banner.kpm"; nothing when it is missing or unreadable.
std::optional<BannerCopy> readBannerCopy(const QString &path);

/// The servers of the selected groups, in list order. A row is matched with the group of
/// the same position in the copy when their names agree, else with the next unused group of
/// its name; a row without a group there blocks nothing.
QList<QByteArrayView> selectedServers(const std::vector<BannerGroup> &groups,
                                      const BannerCopy &copy);

/// The groups of a "banner.kbl"; empty when the file is missing or unreadable, or over
/// the limits of list files (then `error`, when given, says so).
std::vector<BannerGroup> readBannerList(const QString &path, QString *error = nullptr);
/// The bytes of "banner.kbl" for these groups: flag, name, count, joined by 0xFF, CR LF.
QByteArray bannerListBytes(const std::vector<BannerGroup> &groups);
/// The bytes of the hosts file: the header, then one loopback line per server of every
/// selected group.
QByteArray hostsBytes(const std::vector<BannerGroup> &groups, const BannerCopy &copy,
                      const QString &dateText);

} // namespace kvorn

#pragma once

#include "banner/BannerGroup.h"
#include "core/TextFile.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

namespace kvorn {

/// File names of the banner blocker in the program folder.
inline constexpr QLatin1StringView kBannerListFile("banner.kbl");
inline constexpr QLatin1StringView kBannerCopyFile("banner.kpm");
inline constexpr QLatin1StringView kHostsFile("hosts");

/// The program's version as the banner file headers give it: major "." minor.
QString bannerVersionText();

/// Lines 1 to 11 of the hosts file (up to and including the blank after localhost).
QStringList hostsHeader(const QString &dateText);
/// Lines 1 to 12 of "banner.kpm".
QStringList bannerCopyHeader(const QString &dateText);

/// The groups of a "banner.kbl"; empty when the file is missing or unreadable.
std::vector<BannerGroup> readBannerList(const QString &path);
/// The bytes of "banner.kbl" for these groups: flag, name, count, joined by 0xFF, CR LF.
QByteArray bannerListBytes(const std::vector<BannerGroup> &groups);
/// The bytes of the hosts file: the header, then one loopback line per selected group.
QByteArray hostsBytes(const std::vector<BannerGroup> &groups, const QString &dateText);

} // namespace kvorn

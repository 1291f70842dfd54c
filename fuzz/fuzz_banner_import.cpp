// SPDX-License-Identifier: GPL-3.0-or-later
// The import of a published hosts list into the banner groups, and the reading back of the
// banner list it writes.
#include "FuzzSupport.h"

#include "banner/BannerFiles.h"
#include "banner/BannerImport.h"

#include <QDir>

using namespace kvorn;

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzz::startApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QString folder = fuzz::scratchFolder() + QStringLiteral("/home");
    static const QString source = fuzz::scratchFolder() + QStringLiteral("/published.hosts");
    fuzz::writeInput(source, data, size);

    const BannerImportResult result =
        importBannerList(source, folder, QStringLiteral("12/9/2026"));
    // A list without any group is refused and writes nothing; anything else must import.
    if (!result.ok() && result.status != BannerImportResult::Status::NoGroups)
        qFatal("the import failed: %s", qPrintable(result.error));
    (void)bannerImportSummary(result);

    std::vector<BannerGroup> groups =
        readBannerList(QDir(folder).filePath(QString(kBannerListFile)));
    (void)bannerListBytes(groups);
    // Apply with every group ticked: the servers come from the copy the import wrote.
    for (BannerGroup &group : groups)
        group.selected = true;
    if (const auto copy = readBannerCopy(QDir(folder).filePath(QString(kBannerCopyFile))))
        (void)hostsBytes(groups, *copy, QStringLiteral("12/9/2026"));
    return 0;
}

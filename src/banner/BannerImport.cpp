// SPDX-License-Identifier: GPL-3.0-or-later
#include "banner/BannerImport.h"

#include "banner/BannerFiles.h"
#include "core/TextFile.h"
#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cstring>

namespace kvorn {

namespace {
constexpr QByteArrayView kLocalhost("localhost");
constexpr QByteArrayView kServerPrefix("0.0.0.0");

/// A group without servers is a comment of the list ("License:", "Contribute:"), not a
/// group to tick: it makes no row and is not counted.
void appendGroupRow(QByteArray &list, int &groups, QByteArrayView name, qint64 count,
                    const QSet<QString> &ticked)
{
    if (count == 0)
        return;
    ++groups;
    // Through the decoder so that a list saved on Windows gives the same text as UTF-8.
    const QString text = decodeLine(name);
    list.append(ticked.contains(text) ? '1' : '0');
    list.append(kFieldSeparator);
    list.append(text.toUtf8());
    list.append(kFieldSeparator);
    list.append(QByteArray::number(count));
    list.append("\r\n", 2);
}
} // namespace

BannerImportResult importBannerList(const QString &sourcePath, const QString &programFolder,
                                    const QString &dateText)
{
    BannerImportResult result;
    QFile source(sourcePath);
    if (sourcePath.isEmpty()) {
        result.status = BannerImportResult::Status::SourceUnreadable;
        result.error = QStringLiteral("No banner server list was chosen.");
        return result;
    }
    if (!source.open(QIODevice::ReadOnly)) {
        result.status = BannerImportResult::Status::SourceUnreadable;
        result.error = QStringLiteral("The banner server list \"%1\" cannot be opened: %2")
                           .arg(QDir::toNativeSeparators(sourcePath), source.errorString());
        return result;
    }
    // Read, never mapped: a mapped file that shrinks under us (a download still being
    // written, a list on a network share) kills the program with SIGBUS.
    const QByteArray data = source.readAll();
    if (source.error() != QFileDevice::NoError) {
        result.status = BannerImportResult::Status::SourceUnreadable;
        result.error = QStringLiteral("The banner server list \"%1\" cannot be read: %2")
                           .arg(QDir::toNativeSeparators(sourcePath), source.errorString());
        return result;
    }

    const QDir folder(programFolder);
    // A new version of the same list keeps what the user blocks: the hosts file in force
    // still blocks those groups until the next apply, and the rows must say so.
    QSet<QString> ticked;
    for (const BannerGroup &group : readBannerList(folder.filePath(kBannerListFile))) {
        if (group.selected)
            ticked.insert(group.name);
    }

    QByteArray copy;
    for (const QString &line : bannerCopyHeader(dateText, QFileInfo(sourcePath).fileName())) {
        copy.append(line.toUtf8());
        copy.append("\r\n", 2);
    }
    copy.reserve(copy.size() + data.size() + data.size() / 8 + 2);
    QByteArray list;

    bool seenLocalhost = false;
    QByteArrayView groupName;
    bool haveGroup = false;
    qint64 groupCount = 0;
    const char *pos = data.data();
    const char *const end = pos + data.size();
    while (pos < end) {
        const auto *newline = static_cast<const char *>(std::memchr(pos, '\n', end - pos));
        const char *lineEnd = newline ? newline : end;
        const char *stop = lineEnd;
        if (stop > pos && stop[-1] == '\r')
            --stop;
        const QByteArrayView line(pos, stop - pos);
        pos = newline ? newline + 1 : end;

        if (!seenLocalhost) {
            seenLocalhost = line.contains(kLocalhost);
            continue;
        }
        if (!line.isEmpty() && line.front() == '#') {
            if (haveGroup)
                appendGroupRow(list, result.groups, groupName, groupCount, ticked);
            groupName = line.sliced(1);
            haveGroup = !groupName.isEmpty();
            groupCount = 0;
        } else if (line.startsWith(kServerPrefix)) {
            ++groupCount;
            ++result.servers;
        }
        copy.append(line.data(), line.size());
        copy.append("\r\n", 2);
    }
    if (haveGroup)
        appendGroupRow(list, result.groups, groupName, groupCount, ticked);

    if (list.isEmpty()) {
        // Many published source lists have no localhost line: replacing the user's list
        // with nothing would only lose it.
        result.status = BannerImportResult::Status::NoGroups;
        result.error = QStringLiteral("No banner server group was found in \"%1\". "
                                      "The previous list is unchanged.")
                           .arg(QDir::toNativeSeparators(sourcePath));
        return result;
    }

    // The small list goes first: should the large copy then fail, only the list's old
    // bytes have to be put back.
    const WriteResult written{replaceFiles({{folder.filePath(kBannerListFile), list},
                                            {folder.filePath(kBannerCopyFile), copy}},
                                           kSharedFile)};
    if (!written) {
        result.status = BannerImportResult::Status::WriteFailed;
        result.error = QStringLiteral("The banner server list could not be saved (%1). "
                                      "The previous list is unchanged.")
                           .arg(written.error);
    }
    return result;
}

QString bannerImportSummary(const BannerImportResult &result)
{
    return QStringLiteral("Banner server load Complete.\n%1 Groups added containing \n%2 Ad servers")
        .arg(result.groups)
        .arg(result.servers);
}

QString bannerImportTitle()
{
    return QStringLiteral("Load Banner Servers");
}

} // namespace kvorn

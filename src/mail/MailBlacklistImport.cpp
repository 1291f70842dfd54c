// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/MailBlacklistImport.h"

#include "core/TextFile.h"
#include "mail/MailEntryCheck.h"
#include "mail/MailListEntry.h"
#include "mail/MailLists.h"

#include <QFileInfo>

namespace kvorn {

QStringList mailImportAddresses(const QList<QStringList> &sourceLines, MailImportRefusals *refused)
{
    QStringList addresses;
    bool first = true;
    for (const QStringList &fields : sourceLines) {
        QString address = fields.size() >= 2 ? fields.at(1) : fields.value(0);
        if (first && address.startsWith(QChar(0xFEFF)))
            address.remove(0, 1);
        first = false;
        address = address.trimmed();
        if (address.isEmpty())
            continue;
        if (!address.startsWith(QLatin1Char('*')) && address.contains(QLatin1Char('@')))
            address.prepend(QLatin1Char('*'));
        // A file from elsewhere is held to the same rule as the update server's lists.
        const EntryVerdict verdict = judgeMailEntry(address);
        if (verdict != EntryVerdict::Accepted) {
            if (refused)
                ++(verdict == EntryVerdict::TooBroad ? refused->tooBroad : refused->malformed);
            continue;
        }
        addresses.append(address);
    }
    return addresses;
}

MailImportResult importMailBlacklist(MailLists &lists, const QString &sourcePath, bool append)
{
    MailImportResult result;
    if (sourcePath.isEmpty() || !QFileInfo(sourcePath).isFile()) {
        result.error = QStringLiteral("no file");
        result.sourceProblem = true;
        return result;
    }
    const std::optional<QList<QStringList>> source = readFieldLines(sourcePath);
    if (!source) {
        result.error = QStringLiteral("%1 could not be read.").arg(sourcePath);
        result.sourceProblem = true;
        return result;
    }
    const QStringList addresses = mailImportAddresses(*source, &result.refused);

    for (const QString &list : {QStringLiteral("Blacklist"), QStringLiteral("Whitelist")}) {
        const WriteResult saved = lists.SaveMailList(list);
        if (!saved.error.isEmpty()) {
            result.error = saved.error;
            return result;
        }
    }

    const QString path = lists.listFilePath(MailLists::blacklistFileName());
    QList<QStringList> lines;
    if (append && QFileInfo::exists(path)) {
        const std::optional<QList<QStringList>> existing = readFieldLines(path);
        if (!existing) {
            result.error = QStringLiteral("%1 could not be read.").arg(path);
            return result;
        }
        lines = *existing;
    }
    const QString today = lists.todayText();
    for (const QString &address : addresses)
        lines.append({QStringLiteral("1"), address, mailListNoDateText(), today});
    const WriteResult written = writeFieldLines(path, lines);
    if (!written.error.isEmpty()) {
        result.error = written.error;
        return result;
    }
    result.written = int(addresses.size());
    return result;
}

} // namespace kvorn

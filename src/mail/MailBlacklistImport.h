// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace kvorn {

class MailLists;

/// The lines an import left out, by reason.
struct MailImportRefusals
{
    int tooBroad = 0;
    int malformed = 0;
};

/// The blacklist addresses of an import source's lines, in order. A line of the program's
/// own list layout (fields parted by the 0xFF byte) gives its second field; any other line
/// is taken whole. Each address is trimmed; one that is then empty is skipped (it would
/// become a blacklist entry with no address); one that does not begin with "*" and holds
/// "@" gets "*" in front. An address that is too broad or malformed (`judgeMailEntry`) is
/// left out and counted in `refused`.
QStringList mailImportAddresses(const QList<QStringList> &sourceLines,
                                MailImportRefusals *refused = nullptr);

struct MailImportResult
{
    QString error; ///< empty on success
    /// The source could not be read (or none was named); the blacklist file is untouched.
    bool sourceProblem = false;
    int written = 0;
    MailImportRefusals refused;
};

/// Writes the entries of `sourcePath` into the blacklist file: after the file's entries
/// when `append` is set and the file exists, else in place of them. The source is read
/// whole first (it may be the blacklist file itself), both lists are saved before the file
/// is touched (the reload that follows would otherwise drop unsaved entries), and the file
/// is replaced in one step. The caller reloads the lists afterwards.
MailImportResult importMailBlacklist(MailLists &lists, const QString &sourcePath, bool append);

} // namespace kvorn

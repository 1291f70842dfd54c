// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <cstdint>

namespace kvorn {

/// A positive answer to "UIDL n": "+OK", the message number and the unique ID. The ID is
/// the whole rest of the line: servers that put blanks into their IDs exist, and keeping
/// only a part of such an ID can make two messages look alike.
struct UidlReply
{
    /// The message number the server named; 0 when it named none.
    std::int32_t number = 0;
    QString uniqueId;
};

UidlReply parseUidlReply(const QString &line);

/// Why `uniqueId` cannot safely tell its message apart (RFC 1939: 1 to 70 characters, each
/// 0x21 to 0x7E); empty when it can.
QString uniqueIdFault(const QString &uniqueId);

/// The most characters a unique ID may have.
constexpr qsizetype kMaxUniqueIdLength = 70;

} // namespace kvorn

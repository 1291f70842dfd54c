// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <optional>

namespace kvorn {

/// The address every blocked server is sent to, in the program's hosts file and in the
/// system's.
inline constexpr QByteArrayView kBlockingAddress("127.0.0.1");
/// What stands between the address and the name on a blocking line (six blanks).
inline constexpr QByteArrayView kBlockingGap("      ");

/// The comment lines that enclose what K-Vorn wrote into the system's hosts file.
inline constexpr QByteArrayView kBlockBegin("# BEGIN K-Vorn banner blocking");
inline constexpr QByteArrayView kBlockEnd("# END K-Vorn banner blocking");

/// Whether `name` may stand as a blocked server: a plain ASCII host name (letters, digits,
/// "-", "_", dots between labels; punycode included), not an address, not "localhost".
/// Anything else could turn a comment word, an address or a control character into a line
/// of a hosts file.
bool isBlockableHostName(QByteArrayView name);

/// The system hosts file `current` with K-Vorn's block replaced by one holding `names`
/// (no block at all when `names` is empty); every other byte stays. Nothing, with `error`
/// set, when a name is not blockable or an earlier block is damaged.
std::optional<QByteArray> withBlock(QByteArrayView current, const QList<QByteArrayView> &names,
                                    QString *error);

/// Host names sent to the helper, one a line; nothing, with `error` set, when a line is
/// not a blockable host name.
std::optional<QList<QByteArrayView>> parseNameLines(QByteArrayView input, QString *error);

} // namespace kvorn

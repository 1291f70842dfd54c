// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace kvorn {

/// The domain as it goes into a DNS question: ASCII (IDNA for a non-ASCII name), without a
/// final dot. Nothing when the text is not a host name at all: empty, a label over 63 or a
/// name over 253 octets, an empty label, a character other than letters, digits and inner
/// hyphens (a blank, a NUL, brackets …), or a last label of digits only (an address).
std::optional<QByteArray> dnsQuestionName(const QString &domain);

} // namespace kvorn

// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <optional>

namespace kvorn {

// How the mail lists take addresses and domains out of a sender text (the whole "From"
// header value, for example "Jane Doe <jane@example.com>").

/// The text a list look-up compares: the part inside the angle brackets when a ">" comes
/// after the first "<", else the whole text (also when a "<" has no ">").
QString mailListAddress(const QString &sender);

/// The sender's address as the "add" commands take it: between the first "<" and the
/// next ">" (to the end of the text when no ">" follows), else the whole text.
QString senderAddress(const QString &sender);

/// The domain a DNS test asks for: the text after the first "@" of `mailListAddress`,
/// the whole address when it has no "@".
QString senderDomain(const QString &sender);

/// The friends entry for the sender's whole domain: "*" and the domain with its "@"
/// ("*@example.com"). Nothing when the sender has no "@" followed by a domain.
std::optional<QString> friendsDomainEntry(const QString &sender);

/// The blacklist entry for the sender's whole domain: "*" and the domain without the "@"
/// ("*example.com"), with "@" appended when that is shorter than 8 characters. Nothing
/// when the sender has no "@" followed by a domain.
std::optional<QString> blacklistDomainEntry(const QString &sender);

} // namespace kvorn

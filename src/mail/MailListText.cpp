// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/MailListText.h"

namespace kvorn {

namespace {

// The text inside the brackets as the "add" commands see it: from after the first "<" to
// the next ">" or the end. Empty optional when the sender has no "<".
std::optional<QString> bracketed(const QString &sender)
{
    const qsizetype open = sender.indexOf(QLatin1Char('<'));
    if (open < 0)
        return std::nullopt;
    const qsizetype close = sender.indexOf(QLatin1Char('>'), open + 1);
    return sender.mid(open + 1, close < 0 ? -1 : close - open - 1);
}

// The domain after the first "@" of the address part, without the "@"; nothing when
// there is no "@" or nothing follows it.
std::optional<QString> domainOf(const QString &sender)
{
    const QString address = bracketed(sender).value_or(sender);
    const qsizetype at = address.indexOf(QLatin1Char('@'));
    if (at < 0)
        return std::nullopt;
    const QString domain = address.mid(at + 1);
    if (domain.trimmed().isEmpty())
        return std::nullopt;
    return domain;
}

} // namespace

QString mailListAddress(const QString &sender)
{
    const qsizetype start = sender.indexOf(QLatin1Char('<')) + 1; // 0 without "<"
    const qsizetype end = sender.indexOf(QLatin1Char('>'));
    if (start < end)
        return sender.mid(start, end - start);
    return sender;
}

QString senderAddress(const QString &sender)
{
    return bracketed(sender).value_or(sender);
}

QString senderDomain(const QString &sender)
{
    const QString address = mailListAddress(sender);
    const qsizetype at = address.indexOf(QLatin1Char('@'));
    return at < 0 ? address : address.mid(at + 1);
}

std::optional<QString> friendsDomainEntry(const QString &sender)
{
    const std::optional<QString> domain = domainOf(sender);
    if (!domain)
        return std::nullopt;
    return QStringLiteral("*@") + *domain;
}

std::optional<QString> blacklistDomainEntry(const QString &sender)
{
    const std::optional<QString> domain = domainOf(sender);
    if (!domain)
        return std::nullopt;
    QString entry = QLatin1Char('*') + *domain;
    if (entry.size() < 8)
        entry += QLatin1Char('@');
    return entry;
}

} // namespace kvorn

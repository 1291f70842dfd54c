// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/DomainName.h"

#include <QUrl>

namespace kvorn {

namespace {

bool isLetterOrDigit(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool isHostLabel(const QByteArray &label)
{
    if (label.isEmpty() || label.size() > 63)
        return false;
    if (!isLetterOrDigit(label.front()) || !isLetterOrDigit(label.back()))
        return false;
    for (char c : label) {
        if (!isLetterOrDigit(c) && c != '-')
            return false;
    }
    return true;
}

bool allDigits(const QByteArray &label)
{
    for (char c : label) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

} // namespace

std::optional<QByteArray> dnsQuestionName(const QString &domain)
{
    QString name = domain.trimmed();
    if (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    if (name.isEmpty())
        return std::nullopt;
    // A display name or a text cut at a NUL must never be asked: the answer "no such
    // domain" would get a real message deleted. So everything but a plain host name is
    // refused here, before the IDNA conversion could tidy it into one.
    for (QChar c : name) {
        if (c.unicode() < 0x80 && !isLetterOrDigit(char(c.unicode())) && c != QLatin1Char('-') &&
            c != QLatin1Char('.'))
            return std::nullopt;
        if (c.unicode() >= 0x80 && !c.isLetterOrNumber() &&
            c.category() != QChar::Mark_NonSpacing && c.category() != QChar::Mark_SpacingCombining)
            return std::nullopt;
    }
    const QByteArray ascii = QUrl::toAce(name);
    if (ascii.isEmpty() || ascii.size() > 253)
        return std::nullopt;
    const QList<QByteArray> labels = ascii.split('.');
    for (const QByteArray &label : labels) {
        if (!isHostLabel(label))
            return std::nullopt;
    }
    if (allDigits(labels.last()))
        return std::nullopt;
    return ascii;
}

} // namespace kvorn

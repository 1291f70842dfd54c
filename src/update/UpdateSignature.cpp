// SPDX-License-Identifier: GPL-3.0-or-later
#include "update/UpdateSignature.h"

#include <QFile>

#include <sodium.h>

namespace kvorn {

SignatureCheck checkUpdateSignature(const QString &filePath, const QByteArray &publicKey)
{
    if (publicKey.size() != crypto_sign_PUBLICKEYBYTES)
        return SignatureCheck::NoKey;
    if (sodium_init() < 0)
        return SignatureCheck::Unreadable;
    QFile signatureFile(filePath + QStringLiteral(".sig"));
    if (!signatureFile.exists())
        return SignatureCheck::MissingSignature;
    if (!signatureFile.open(QIODevice::ReadOnly))
        return SignatureCheck::Unreadable;
    // Read one byte more than a signature so a longer file is caught, not cut.
    const QByteArray signature = signatureFile.read(crypto_sign_BYTES + 1);
    if (signature.size() != crypto_sign_BYTES)
        return SignatureCheck::BadSignature;
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return SignatureCheck::Unreadable;
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return SignatureCheck::Unreadable;
    const int rc = crypto_sign_verify_detached(
        reinterpret_cast<const unsigned char *>(signature.constData()),
        reinterpret_cast<const unsigned char *>(content.constData()),
        static_cast<unsigned long long>(content.size()),
        reinterpret_cast<const unsigned char *>(publicKey.constData()));
    return rc == 0 ? SignatureCheck::Verified : SignatureCheck::BadSignature;
}

QByteArray publicKeyFromHex(const QString &hex)
{
    const QString trimmed = hex.trimmed();
    if (trimmed.size() != 2 * crypto_sign_PUBLICKEYBYTES)
        return {};
    for (const QChar c : trimmed) {
        if (!c.isDigit() && !(c.toLower() >= QLatin1Char('a') && c.toLower() <= QLatin1Char('f')))
            return {};
    }
    return QByteArray::fromHex(trimmed.toLatin1());
}

bool isAcceptableUpdateFileName(const QString &name, const QStringList &ownFiles)
{
    // A plain, short name of letters, digits, ".", "_", "+" and "-": nothing a shell, a
    // path or an option parser reads anything into.
    if (name.isEmpty() || name.size() > 100 || name.startsWith(QLatin1Char('.'))
        || name.startsWith(QLatin1Char('-')))
        return false;
    for (const QChar c : name) {
        const char16_t u = c.unicode();
        const bool plain = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z')
            || (u >= u'0' && u <= u'9') || u == u'.' || u == u'_' || u == u'-' || u == u'+';
        if (!plain)
            return false;
    }
    if (name.endsWith(QStringLiteral(".sig"), Qt::CaseInsensitive))
        return false;
    return !ownFiles.contains(name, Qt::CaseInsensitive);
}

QStringList programOwnFileNames()
{
    return {QStringLiteral("spamlist.kbl"), QStringLiteral("banned.kbl"),
            QStringLiteral("spamex.kbl"),   QStringLiteral("banner.kbl"),
            QStringLiteral("hosts"),        QStringLiteral("hosts.txt"),
            QStringLiteral("mail.mbl"),     QStringLiteral("mail.mfl"),
            QStringLiteral("kvorn.log"),    QStringLiteral("k-vorn.log"),
            QStringLiteral("TIPOFDAY.TXT"), QStringLiteral("SOUNDS"),
            QStringLiteral("version.txt"),  QStringLiteral("message.txt"),
            QStringLiteral("spamnew.pbl"),  QStringLiteral("Popups.dmp"),
            QStringLiteral("mail.dmp")};
}

} // namespace kvorn

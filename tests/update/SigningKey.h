// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A fresh Ed25519 key pair per run, made with openssl: no private key lives in the tree.

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace kvorn::test {

inline bool runTool(const QString &program, const QStringList &args)
{
    QProcess process;
    process.start(program, args);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

struct SigningKey
{
    QString privateKeyPath;
    QByteArray publicKey; ///< raw 32 bytes; empty when openssl failed

    static SigningKey make(const QString &dir, const QString &name)
    {
        SigningKey key;
        key.privateKeyPath = dir + QLatin1Char('/') + name + QStringLiteral(".pem");
        const QString der = dir + QLatin1Char('/') + name + QStringLiteral(".der");
        if (!runTool(QStringLiteral("openssl"), {QStringLiteral("genpkey"), QStringLiteral("-algorithm"),
                                                 QStringLiteral("ed25519"), QStringLiteral("-out"),
                                                 key.privateKeyPath}))
            return key;
        if (!runTool(QStringLiteral("openssl"),
                     {QStringLiteral("pkey"), QStringLiteral("-in"), key.privateKeyPath,
                      QStringLiteral("-pubout"), QStringLiteral("-outform"), QStringLiteral("DER"),
                      QStringLiteral("-out"), der}))
            return key;
        QFile file(der);
        if (file.open(QIODevice::ReadOnly))
            key.publicKey = file.readAll().right(32);
        return key;
    }

    /// The raw 64-byte signature of the bytes; empty on failure.
    QByteArray sign(const QString &dir, const QByteArray &bytes) const
    {
        const QString in = dir + QStringLiteral("/to-sign.bin");
        const QString out = dir + QStringLiteral("/to-sign.sig");
        QFile file(in);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
            return {};
        file.close();
        if (!runTool(QStringLiteral("openssl"),
                     {QStringLiteral("pkeyutl"), QStringLiteral("-sign"), QStringLiteral("-inkey"),
                      privateKeyPath, QStringLiteral("-rawin"), QStringLiteral("-in"), in,
                      QStringLiteral("-out"), out}))
            return {};
        QFile sig(out);
        return sig.open(QIODevice::ReadOnly) ? sig.readAll() : QByteArray();
    }
};

} // namespace kvorn::test

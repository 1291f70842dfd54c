// SPDX-License-Identifier: GPL-3.0-or-later
#include "update/UpdateSignature.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace kvorn;

namespace {

bool run(const QString &program, const QStringList &args)
{
    QProcess process;
    process.start(program, args);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A fresh key pair per run: no private key ever lives in the tree.
struct KeyPair
{
    QString privateKeyPath;
    QByteArray publicKey;
};

KeyPair makeKeyPair(const QString &dir, const QString &name)
{
    KeyPair pair;
    pair.privateKeyPath = dir + QLatin1Char('/') + name + QStringLiteral(".pem");
    const QString der = dir + QLatin1Char('/') + name + QStringLiteral(".der");
    if (!run(QStringLiteral("openssl"), {"genpkey", "-algorithm", "ed25519", "-out", pair.privateKeyPath}))
        return pair;
    if (!run(QStringLiteral("openssl"),
             {"pkey", "-in", pair.privateKeyPath, "-pubout", "-outform", "DER", "-out", der}))
        return pair;
    pair.publicKey = readFile(der).right(32);
    return pair;
}

bool sign(const KeyPair &key, const QString &file, const QString &signature)
{
    return run(QStringLiteral("openssl"),
               {"pkeyutl", "-sign", "-inkey", key.privateKeyPath, "-rawin", "-in", file, "-out", signature});
}

} // namespace

class TestUpdateSignature : public QObject
{
    Q_OBJECT

    QTemporaryDir keys;
    KeyPair maker;
    KeyPair stranger;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(keys.isValid());
        maker = makeKeyPair(keys.path(), QStringLiteral("maker"));
        stranger = makeKeyPair(keys.path(), QStringLiteral("stranger"));
        QCOMPARE(maker.publicKey.size(), 32);
        QCOMPARE(stranger.publicKey.size(), 32);
    }

    void check_data()
    {
        QTest::addColumn<QString>("tampering");
        QTest::addColumn<int>("expected");

        QTest::newRow("signed by the maker") << "none" << int(SignatureCheck::Verified);
        QTest::newRow("one byte changed") << "byte" << int(SignatureCheck::BadSignature);
        QTest::newRow("signed by another key") << "stranger" << int(SignatureCheck::BadSignature);
        QTest::newRow("no signature file") << "nosig" << int(SignatureCheck::MissingSignature);
        QTest::newRow("signature one byte short") << "short" << int(SignatureCheck::BadSignature);
        QTest::newRow("signature one byte long") << "long" << int(SignatureCheck::BadSignature);
        QTest::newRow("signature of another file") << "other" << int(SignatureCheck::BadSignature);
        QTest::newRow("no key built in") << "nokey" << int(SignatureCheck::NoKey);
    }

    void check()
    {
        QFETCH(QString, tampering);
        QFETCH(int, expected);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("kvornupdate.bin"));
        const QString sig = file + QStringLiteral(".sig");
        QByteArray content("#!/bin/sh\necho updated > marker\n");
        content.append(QByteArray(3000, 'x'));
        writeFile(file, content);
        QVERIFY(sign(tampering == "stranger" ? stranger : maker, file, sig));
        QCOMPARE(readFile(sig).size(), 64);

        if (tampering == "byte") {
            content[100] = 'y';
            writeFile(file, content);
        } else if (tampering == "nosig") {
            QVERIFY(QFile::remove(sig));
        } else if (tampering == "short") {
            writeFile(sig, readFile(sig).left(63));
        } else if (tampering == "long") {
            writeFile(sig, readFile(sig) + '\0');
        } else if (tampering == "other") {
            const QString other = dir.filePath(QStringLiteral("other.bin"));
            writeFile(other, "another file");
            QVERIFY(sign(maker, other, sig));
        }
        const QByteArray key = tampering == "nokey" ? QByteArray() : maker.publicKey;
        QCOMPARE(int(checkUpdateSignature(file, key)), expected);
    }

    void keyFromHex()
    {
        QCOMPARE(publicKeyFromHex(QString::fromLatin1(maker.publicKey.toHex())), maker.publicKey);
        QCOMPARE(publicKeyFromHex(QString::fromLatin1(maker.publicKey.toHex().toUpper())), maker.publicKey);
        QVERIFY(publicKeyFromHex(QString()).isEmpty());
        QVERIFY(publicKeyFromHex(QString::fromLatin1(maker.publicKey.toHex()).left(63)).isEmpty());
        QVERIFY(publicKeyFromHex(QString(64, QLatin1Char('g'))).isEmpty());
    }

    void fileNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("accepted");

        QTest::newRow("plain name") << "kvornupdate.bin" << true;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("parent folder") << "../x" << false;
        QTest::newRow("absolute path") << "/usr/bin/x" << false;
        QTest::newRow("sub folder") << "sub/x" << false;
        QTest::newRow("backslash") << "..\\x" << false;
        QTest::newRow("dot dot") << ".." << false;
        QTest::newRow("hidden file") << ".bashrc" << false;
        QTest::newRow("own black list") << "spamlist.kbl" << false;
        QTest::newRow("own list other case") << "SPAMLIST.KBL" << false;
        QTest::newRow("signature name") << "kvornupdate.bin.sig" << false;
        QTest::newRow("control character") << "a\nb" << false;
        QTest::newRow("blank inside") << "kvorn update.bin" << false;
        QTest::newRow("leading dash") << "-rf" << false;
        QTest::newRow("shell character") << "x;rm" << false;
        QTest::newRow("versioned name") << "kvorn-1.4.84_x86+64.run" << true;
        QTest::newRow("too long") << QString(101, QLatin1Char('a')) << false;
        QTest::newRow("longest") << QString(100, QLatin1Char('a')) << true;
    }

    void fileNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, accepted);
        const QStringList own{"spamlist.kbl", "kvorn.ini", "version.txt"};
        QCOMPARE(isAcceptableUpdateFileName(name, own), accepted);
    }
};

QTEST_GUILESS_MAIN(TestUpdateSignature)
#include "test_update_signature.moc"

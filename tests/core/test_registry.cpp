// SPDX-License-Identifier: GPL-3.0-or-later
#include "CoreRig.h"

#include <QFile>
#include <QTest>

using namespace kvorn;
using namespace kvorn::test;

class TestRegistry : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readRules_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QVariant>("expected");

        const QString sys = RegistryFunctions::GetWindowsFolder();
        QTest::newRow("string") << int(RegistryKind::String) << QVariant(QStringLiteral("abc"))
                                << QVariant(QStringLiteral("abc"));
        QTest::newRow("trailing NUL dropped")
            << int(RegistryKind::String) << QVariant(QStringLiteral("abc") + QChar(0))
            << QVariant(QStringLiteral("abc"));
        QTest::newRow("only the last NUL dropped")
            << int(RegistryKind::String) << QVariant(QStringLiteral("a") + QChar(0) + QChar(0))
            << QVariant(QStringLiteral("a") + QChar(0));
        QTest::newRow("expandable SystemRoot")
            << int(RegistryKind::ExpandString)
            << QVariant(QStringLiteral("%SystemRoot%\\Media\\ding.wav"))
            << QVariant(sys + QStringLiteral("\\Media\\ding.wav"));
        QTest::newRow("plain string keeps SystemRoot")
            << int(RegistryKind::String) << QVariant(QStringLiteral("%SystemRoot%\\x"))
            << QVariant(QStringLiteral("%SystemRoot%\\x"));
        QTest::newRow("number") << int(RegistryKind::Number) << QVariant(quint32(4000000000u))
                                << QVariant(qint32(-294967296));
        QTest::newRow("empty string stays empty")
            << int(RegistryKind::String) << QVariant(QString()) << QVariant(QString());
    }

    void readRules()
    {
        QFETCH(int, kind);
        QFETCH(QVariant, stored);
        QFETCH(QVariant, expected);
        CoreRig rig;
        const QString key = QStringLiteral("Software\\Test");
        rig.registry.createKey(RegistryRoot::CurrentUser, key);
        QVERIFY(rig.registry.setValue(RegistryRoot::CurrentUser, key, QStringLiteral("v"),
                                      {static_cast<RegistryKind>(kind), stored}));
        const QVariant read =
            rig.registryFunctions.ReadRegistryValue(RegistryRoot::CurrentUser, key,
                                                    QStringLiteral("v"));
        if (expected.typeId() == QMetaType::Int)
            QCOMPARE(read.toInt(), expected.toInt());
        else
            QCOMPARE(read.toString(), expected.toString());
    }

    void writeAndDelete()
    {
        CoreRig rig;
        auto &r = rig.registryFunctions;
        const QString key = QStringLiteral("AppEvents\\Schemes\\Apps\\Kvorn\\Gobblezap\\.Current");
        // Writing into a key that does not exist is silently skipped.
        r.WriteRegistryValue(RegistryRoot::CurrentUser, key, QString(), QStringLiteral("x"),
                             RegistryKind::String);
        QVERIFY(!r.ReadRegistryValue(RegistryRoot::CurrentUser, key, QString()).isValid());

        r.CreateRegistryKey(RegistryRoot::CurrentUser, key);
        r.WriteRegistryValue(RegistryRoot::CurrentUser, key, QString(), QStringLiteral("/a.wav"),
                             RegistryKind::String);
        // Keys and names are case-insensitive, as the sound lookup relies on.
        QCOMPARE(r.ReadRegistryValue(RegistryRoot::CurrentUser,
                                     QStringLiteral("appevents\\schemes\\apps\\kvorn\\GOBBLEZAP\\.current"),
                                     QString()),
                 QVariant(QStringLiteral("/a.wav")));
        // Kind 4 is a number; an empty name forces a string.
        r.WriteRegistryValue(RegistryRoot::CurrentUser, key, QStringLiteral("n"), 42,
                             RegistryKind::Number);
        QCOMPARE(r.ReadRegistryValue(RegistryRoot::CurrentUser, key, QStringLiteral("N")).toInt(), 42);
        r.WriteRegistryValue(RegistryRoot::CurrentUser, key, QString(), 42, RegistryKind::Number);
        QCOMPARE(r.ReadRegistryValue(RegistryRoot::CurrentUser, key, QString()).typeId(),
                 QMetaType::QString);
        r.DeleteRegistryValue(RegistryRoot::CurrentUser, key, QStringLiteral("n"));
        QVERIFY(!r.ReadRegistryValue(RegistryRoot::CurrentUser, key, QStringLiteral("n")).isValid());
        r.DeleteRegistryValue(RegistryRoot::CurrentUser, key, QStringLiteral("n"));
    }

    void runValueMakesTheAutostartEntry()
    {
        CoreRig rig;
        auto &r = rig.registryFunctions;
        r.WriteRegistryValue(RegistryRoot::LocalMachine, kRunKey + QLatin1Char('\\'),
                             QStringLiteral("k-vorn"), QStringLiteral("/usr/bin/kvorn"),
                             RegistryKind::String);
        QFile entry(r.autostartFile());
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QByteArray text = entry.readAll();
        QVERIFY(text.startsWith("[Desktop Entry]\n"));
        QVERIFY(text.contains("\nExec=/usr/bin/kvorn\n"));
        QVERIFY(text.contains("\nType=Application\n"));
        entry.close();
        // Other values of the Run key are not ours.
        r.DeleteRegistryValue(RegistryRoot::LocalMachine, kRunKey, QStringLiteral("Other"));
        QVERIFY(QFile::exists(r.autostartFile()));
        r.DeleteRegistryValue(RegistryRoot::LocalMachine, kRunKey, kRunValue);
        QVERIFY(!QFile::exists(r.autostartFile()));
    }

    // The autostart entry must start the program from whatever folder it lies in: the
    // launcher splits the Exec key at blanks and expands "$", "%" and backslashes.
    void autostartExecQuotesThePath_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QByteArray>("execLine");
        QTest::addColumn<QByteArray>("tryExecLine");
        QTest::newRow("plain") << "/usr/bin/kvorn" << QByteArray("Exec=/usr/bin/kvorn")
                               << QByteArray("TryExec=/usr/bin/kvorn");
        QTest::newRow("blank") << "/home/ann/my apps/kvorn"
                               << QByteArray("Exec=\"/home/ann/my apps/kvorn\"")
                               << QByteArray("TryExec=/home/ann/my apps/kvorn");
        QTest::newRow("percent") << "/opt/100%/kvorn" << QByteArray("Exec=/opt/100%%/kvorn")
                                 << QByteArray("TryExec=/opt/100%/kvorn");
        QTest::newRow("dollar") << "/home/$x/kvorn" << QByteArray("Exec=\"/home/\\\\$x/kvorn\"")
                                << QByteArray("TryExec=/home/$x/kvorn");
        QTest::newRow("quote") << "/tmp/a\"b/kvorn"
                               << QByteArray("Exec=\"/tmp/a\\\\\"b/kvorn\"")
                               << QByteArray("TryExec=/tmp/a\"b/kvorn");
        QTest::newRow("backslash") << "/tmp/a\\b/kvorn"
                                   << QByteArray("Exec=\"/tmp/a\\\\\\\\b/kvorn\"")
                                   << QByteArray("TryExec=/tmp/a\\\\b/kvorn");
    }
    void autostartExecQuotesThePath()
    {
        QFETCH(QString, program);
        QFETCH(QByteArray, execLine);
        QFETCH(QByteArray, tryExecLine);
        CoreRig rig;
        rig.registryFunctions.WriteRegistryValue(RegistryRoot::LocalMachine, kRunKey, kRunValue,
                                                 program, RegistryKind::String);
        QFile entry(rig.registryFunctions.autostartFile());
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = entry.readAll().split('\n');
        QVERIFY2(lines.contains(execLine), lines.join('\n').constData());
        QVERIFY2(lines.contains(tryExecLine), lines.join('\n').constData());
        QVERIFY(lines.contains(QByteArray("Icon=org.kvorn.KVorn")));
        // The registry keeps the command as given.
        QCOMPARE(rig.registryFunctions
                     .ReadRegistryValue(RegistryRoot::LocalMachine, kRunKey, kRunValue)
                     .toString(),
                 program);
    }
};

QTEST_GUILESS_MAIN(TestRegistry)
#include "test_registry.moc"

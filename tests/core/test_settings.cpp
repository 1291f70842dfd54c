// SPDX-License-Identifier: GPL-3.0-or-later
#include "CoreRig.h"

#include "core/ProgramFolder.h"
#include "core/StoredValue.h"

#include <QDir>

#include "platform/IniFormat.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <random>

using namespace kvorn;
using namespace kvorn::test;

class TestSettings : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void freshStoreYieldsEveryDefault()
    {
        CoreRig rig;
        rig.options.StartWithWindows = false; // proves the load overwrites
        rig.settings.LoadMyOptions(QDate(2026, 3, 14));
        const Options &o = rig.options;
        QCOMPARE(o.StartWithWindows, true);
        QCOMPARE(o.JumpHome, true);
        QCOMPARE(o.HomePage, QString());
        QCOMPARE(o.UseAutoUpdate, true);
        QCOMPARE(o.AUDays, QStringLiteral("7"));
        QCOMPARE(o.ShowInTray, true);
        QCOMPARE(o.Flash, true);
        QCOMPARE(o.Sound, false);
        QCOMPARE(o.BallEx, true);
        QCOMPARE(o.WinLmtWindows, std::int16_t(7));
        QCOMPARE(o.HideExempt, true);
        QCOMPARE(o.LastUpdate, QStringLiteral("01/01/2003"));
        QCOMPARE(o.LogFName, QStringLiteral("kvorn.log"));
        QCOMPARE(o.LogDate, std::int16_t(3));
        QCOMPARE(o.LogForever, 0);
        QCOMPARE(o.TipofDay, true);
        QCOMPARE(o.ReadBrowserAddresses, true);
        QVERIFY(o.accepted);
        QVERIFY(rig.prompt.messages.isEmpty());
    }

    void browserValuesAreTheDefaults()
    {
        CoreRig rig;
        const QString key = QStringLiteral("Software\\Microsoft\\Internet Explorer\\Main");
        rig.registryFunctions.CreateRegistryKey(RegistryRoot::CurrentUser, key);
        rig.registryFunctions.WriteRegistryValue(RegistryRoot::CurrentUser, key,
                                                 QStringLiteral("Start Page"),
                                                 QStringLiteral("http://home.test/"),
                                                 RegistryKind::String);
        rig.settings.LoadMyOptions(QDate(2026, 1, 1));
        QCOMPARE(rig.options.HomePage, QStringLiteral("http://home.test/"));
        QCOMPARE(rig.options.CustomIETitle, QString());
    }

    void saveWritesExactTextsAndLoadsBack()
    {
        CoreRig rig;
        rig.settings.LoadMyOptions(QDate(2026, 5, 1));
        rig.options.Sound = true;
        rig.options.WinLmtWindows = -3;
        rig.options.MasDwrd = 2147483647;
        rig.options.HomePage = QStringLiteral("http://a.test/x?y=1,2");
        rig.options.UserName = QStringLiteral("Jörg");
        QVERIFY(rig.settings.saveOptions());

        QSettings raw(rig.env.settingsFile(), QSettings::IniFormat);
        QCOMPARE(raw.value(QStringLiteral("Options/Sound")).toString(), QStringLiteral("True"));
        QCOMPARE(raw.value(QStringLiteral("Options/Flash")).toString(), QStringLiteral("True"));
        QCOMPARE(raw.value(QStringLiteral("Options/BlockAll")).toString(), QStringLiteral("False"));
        QCOMPARE(raw.value(QStringLiteral("Options/WinLmtWindows")).toString(), QStringLiteral("-3"));
        QCOMPARE(raw.value(QStringLiteral("Options/MasDwrd")).toString(), QStringLiteral("2147483647"));
        QCOMPARE(raw.value(QStringLiteral("Options/LogDate")).toString(), QStringLiteral("5"));

        Options reloaded;
        ProgramSettings again(reloaded, rig.store, rig.registryFunctions, rig.prompt);
        again.LoadMyOptions(QDate(2026, 8, 1));
        QCOMPARE(reloaded.Sound, true);
        QCOMPARE(reloaded.WinLmtWindows, std::int16_t(-3));
        QCOMPARE(reloaded.MasDwrd, 2147483647);
        QCOMPARE(reloaded.HomePage, QStringLiteral("http://a.test/x?y=1,2"));
        QCOMPARE(reloaded.UserName, QStringLiteral("Jörg"));
        QCOMPARE(reloaded.LogDate, std::int16_t(5)); // stored, so not the current month
    }

    void programFolderIsSeededWithoutOverwriting()
    {
        TestEnv env;
        const QString seed = env.root() + QStringLiteral("/seed");
        QDir().mkpath(seed + QStringLiteral("/SOUNDS"));
        QFile tips(seed + QStringLiteral("/TIPOFDAY.TXT"));
        QVERIFY(tips.open(QIODevice::WriteOnly));
        tips.write("seed tip\r\n");
        tips.close();
        QFile::copy(tips.fileName(), seed + QStringLiteral("/SOUNDS/WHIP.WAV"));
        env.writeFile(QStringLiteral("TIPOFDAY.TXT"), "my own tip\r\n");

        const QString folder = env.programFolder() + QStringLiteral("/new");
        env.writeFile(QStringLiteral("new"), QByteArray()); // a file in the way is not a folder
        QVERIFY(!prepareProgramFolder(folder + QStringLiteral("/x"), seed));

        QVERIFY(prepareProgramFolder(env.programFolder(), seed));
        QCOMPARE(env.readFile(QStringLiteral("TIPOFDAY.TXT")), QByteArray("my own tip\r\n"));
        QCOMPARE(env.readFile(QStringLiteral("SOUNDS/WHIP.WAV")), QByteArray("seed tip\r\n"));
    }

    void settingsFileIsPrivate()
    {
        CoreRig rig;
        QVERIFY(rig.settings.saveOptions());
        const auto perms = QFile::permissions(rig.env.settingsFile());
        QCOMPARE(perms & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup |
                          QFile::WriteOther),
                 QFile::Permissions());
    }

    void storedTextForms_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("savedBack");
        QTest::addColumn<bool>("reported");

        QTest::newRow("bool 1 is true") << "Sound" << "1" << "True" << false;
        QTest::newRow("bool -1 is true") << "Sound" << "-1" << "True" << false;
        QTest::newRow("bool 0 is false") << "Flash" << "0" << "False" << false;
        QTest::newRow("bool any case") << "Flash" << "fALSE" << "False" << false;
        QTest::newRow("bool 0.5 is true") << "Sound" << "0.5" << "True" << false;
        QTest::newRow("bool garbage keeps default") << "Flash" << "yes" << "True" << true;
        QTest::newRow("bool empty keeps default") << "JumpHome" << "" << "True" << true;
        QTest::newRow("int16 spaces") << "WinLmtWindows" << " 12 " << "12" << false;
        QTest::newRow("int16 half to even") << "WinLmtWindows" << "2.5" << "2" << false;
        QTest::newRow("int16 half to even up") << "WinLmtWindows" << "3.5" << "4" << false;
        QTest::newRow("int16 overflow keeps default") << "WinLmtWindows" << "32768" << "7" << true;
        QTest::newRow("int16 min") << "BSpeed" << "-32768" << "-32768" << false;
        QTest::newRow("int16 from Boolean text") << "BSpeed" << "True" << "-1" << false;
        QTest::newRow("int32 max") << "LogForever" << "2147483647" << "2147483647" << false;
        QTest::newRow("int32 overflow") << "LogForever" << "2147483648" << "0" << true;
        QTest::newRow("int32 text") << "LogMonth" << "many" << "0" << true;
        QTest::newRow("text unchanged") << "AUDays" << "x y" << "x y" << false;
    }

    void storedTextForms()
    {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(QString, savedBack);
        QFETCH(bool, reported);

        CoreRig rig;
        rig.store.write(kOptionsSection, key, stored);
        // A key loaded after the one under test: it must not be lost to a bad value.
        rig.store.write(kOptionsSection, QStringLiteral("TipofDay"), QStringLiteral("False"));
        rig.settings.LoadMyOptions(QDate(2026, 1, 1));
        QCOMPARE(!rig.prompt.messages.isEmpty(), reported);
        if (reported) {
            QVERIFY(rig.prompt.messages.first().startsWith(QStringLiteral("Error ")));
            QVERIFY(rig.prompt.messages.first().endsWith(
                QStringLiteral(") in procedure LoadMyOptions of Module KvornMain")));
        }
        QCOMPARE(rig.options.TipofDay, false);
        QVERIFY(rig.options.accepted);
        QVERIFY(rig.settings.saveOptions());
        QCOMPARE(rig.store.read(kOptionsSection, key, QString()), savedBack);
    }

    void errorTextNamesNumberAndDescription()
    {
        CoreRig rig;
        rig.store.write(kOptionsSection, QStringLiteral("ShowInTray"), QStringLiteral("maybe"));
        rig.settings.LoadMyOptions(QDate(2026, 1, 1));
        QCOMPARE(rig.prompt.messages,
                 QStringList{QStringLiteral(
                     "Error 13 (Type mismatch) in procedure LoadMyOptions of Module KvornMain")});
        QCOMPARE(rig.options.ShowInTray, true);
    }

    void emptyCustomTitleTurnsTheCustomTitleOff()
    {
        CoreRig rig;
        rig.store.write(kOptionsSection, QStringLiteral("UseCustomIETitle"), QStringLiteral("True"));
        rig.settings.LoadMyOptions(QDate(2026, 1, 1));
        QCOMPARE(rig.options.UseCustomIETitle, false);
        rig.options.UseCustomIETitle = true; // the dialog may set it again
        QVERIFY(rig.settings.saveOptions());
        QCOMPARE(rig.store.read(kOptionsSection, QStringLiteral("UseCustomIETitle"), QString()),
                 QStringLiteral("False"));
    }

    void startWithSessionFollowsTheOption()
    {
        CoreRig rig;
        rig.settings.setRunCommand(QStringLiteral("/opt/kvorn/bin/kvorn"));
        const QString entry = rig.registryFunctions.autostartFile();
        rig.options.StartWithWindows = true;
        QVERIFY(rig.settings.saveOptions());
        QVERIFY(QFile::exists(entry));
        QCOMPARE(rig.registryFunctions
                     .ReadRegistryValue(RegistryRoot::LocalMachine, kRunKey, kRunValue)
                     .toString(),
                 QStringLiteral("/opt/kvorn/bin/kvorn"));
        rig.options.StartWithWindows = false;
        QVERIFY(rig.settings.saveOptions());
        QVERIFY(!QFile::exists(entry));
        QVERIFY(!rig.registryFunctions
                     .ReadRegistryValue(RegistryRoot::LocalMachine, kRunKey, kRunValue)
                     .isValid());
        QVERIFY(rig.settings.saveOptions()); // deleting what is not there changes nothing
    }

    void failedSaveIsReported()
    {
        CoreRig rig;
        // A directory where the settings file should be makes every write fail, even for
        // root (who ignores permission bits).
        const QString path = rig.env.root() + QStringLiteral("/blocked/kvorn.ini");
        QDir().mkpath(path);
        SettingsStore broken(path);
        ProgramSettings settings(rig.options, broken, rig.registryFunctions, rig.prompt);
        QString error;
        QVERIFY(!settings.saveOptions(&error));
        QVERIFY(error.contains(path));
    }

    void valuesNotInUtf8ReadAsWindows1252()
    {
        TestEnv env;
        QDir().mkpath(QFileInfo(env.settingsFile()).path());
        QFile raw(env.settingsFile());
        QVERIFY(raw.open(QIODevice::WriteOnly));
        // Edited in Latin-1: once read as U+FFFD and written back so, for good.
        raw.write("[Options]\nUserName=M\xFCnchen\nHomePage=http://a.test/\n\n"
                  "[Mail%20Account%201]\nAcctUser=j\xFCrgen \x80\n");
        raw.close();
        {
            SettingsStore store(env.settingsFile());
            QVERIFY(store.loadProblem().isEmpty());
            QCOMPARE(store.read("Options", "UserName", {}), QStringLiteral("München"));
            QCOMPARE(store.read("Mail Account 1", "AcctUser", {}), QStringLiteral("jürgen €"));
            store.write("Options", "Flash", "True");
            QVERIFY(store.save());
        }
        QFile saved(env.settingsFile());
        QVERIFY(saved.open(QIODevice::ReadOnly));
        const QByteArray bytes = saved.readAll();
        QVERIFY2(!bytes.contains("\xEF\xBF\xBD"), bytes.constData());
        QVERIFY(bytes.contains("UserName=M\xC3\xBCnchen"));
        QSettings qt(env.settingsFile(), QSettings::IniFormat);
        QCOMPARE(qt.value("Mail Account 1/AcctUser").toString(), QStringLiteral("jürgen €"));
    }

    void damagedFileIsReportedAndKept()
    {
        TestEnv env;
        QDir().mkpath(QFileInfo(env.settingsFile()).path());
        const QByteArray damaged("[Options]\nUserName=Ann\n\0\0\0\0garbage\x01\x02\n", 31);
        QFile raw(env.settingsFile());
        QVERIFY(raw.open(QIODevice::WriteOnly));
        raw.write(damaged);
        raw.close();

        SettingsStore store(env.settingsFile());
        QVERIFY2(store.loadProblem().contains(SettingsStore::damagedCopyPath(env.settingsFile())),
                 qPrintable(store.loadProblem()));
        QCOMPARE(store.read("Options", "UserName", {}), QStringLiteral("Ann"));
        store.write("Options", "Flash", "True");
        QVERIFY(store.save());
        QFile copy(SettingsStore::damagedCopyPath(env.settingsFile()));
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), damaged);
        QCOMPARE(SettingsStore(env.settingsFile()).loadProblem(), QString());

        // A sound file, Qt's own or ours, is never reported.
        CoreRig rig;
        rig.settings.LoadMyOptions(QDate(2026, 12, 10));
        QVERIFY(rig.settings.saveOptions());
        QCOMPARE(SettingsStore(rig.env.settingsFile()).loadProblem(), QString());
    }

    void damagedCopiesAreNeverReplaced()
    {
        // The file is found damaged at start after start (a disk that goes bad, a start
        // killed before it saved): each damage is kept, the newest five of them.
        TestEnv env;
        QDir().mkpath(QFileInfo(env.settingsFile()).path());
        const auto damaged = [](int start) {
            return QByteArray("[Options]\nUserName=Ann\n\0\0garbage ", 30) +
                   QByteArray::number(start) + '\n';
        };
        const auto startWith = [&](const QByteArray &bytes) {
            QFile raw(env.settingsFile());
            QVERIFY(raw.open(QIODevice::WriteOnly));
            raw.write(bytes);
            raw.close();
            SettingsStore store(env.settingsFile());
            QVERIFY2(store.loadProblem().contains(SettingsStore::damagedCopyPath(env.settingsFile())),
                     qPrintable(store.loadProblem()));
        };
        const auto copy = [&](int age) {
            QFile file(SettingsStore::damagedCopyPath(env.settingsFile(), age));
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        for (int start = 1; start <= 7; ++start)
            startWith(damaged(start));
        for (int age = 0; age < SettingsStore::kDamagedCopies; ++age)
            QCOMPARE(copy(age), damaged(7 - age));
        QVERIFY(!QFileInfo::exists(
            SettingsStore::damagedCopyPath(env.settingsFile(), SettingsStore::kDamagedCopies)));
        // The same damage found again is the copy kept already.
        startWith(damaged(7));
        QCOMPARE(copy(0), damaged(7));
        QCOMPARE(copy(1), damaged(6));
    }

    void iniLayoutMatchesQtBothWays()
    {
        // Random keys and values full of what the layout escapes: what Qt's INI writer
        // wrote, we read alike, and what we write, Qt reads alike.
        const QString alphabet = QStringLiteral(" ,;=\"\\@%/\t\n\r\x01\x7f#[]aZ09ßé€😀x");
        QTemporaryDir dir;
        std::mt19937 random(20261210);
        const auto text = [&](int maxLength) {
            QString t;
            const int length = int(random() % unsigned(maxLength + 1));
            for (int i = 0; i < length; ++i) {
                const qsizetype at = qsizetype(random() % unsigned(alphabet.size()));
                // Keep a surrogate pair whole.
                if (alphabet.at(at).isLowSurrogate())
                    t += alphabet.mid(at - 1, 2);
                else if (alphabet.at(at).isHighSurrogate())
                    t += alphabet.mid(at, 2);
                else
                    t += alphabet.at(at);
            }
            return t;
        };
        for (int round = 0; round < 40; ++round) {
            QSettings::SettingsMap map;
            for (int i = 0; i < 12; ++i) {
                QString key = QStringLiteral("k%1").arg(i) + text(4).remove(QLatin1Char('/'));
                if (i % 3 != 0)
                    key = QStringLiteral("Sec%1").arg(i % 4) + text(2).remove(QLatin1Char('/')) +
                          QLatin1Char('/') + key;
                map.insert(key, i == 5 ? QVariant(QStringList{text(5), text(5)}) : QVariant(text(12)));
            }
            const QString qtFile = dir.filePath(QStringLiteral("qt%1.ini").arg(round));
            {
                QSettings qt(qtFile, QSettings::IniFormat);
                for (auto it = map.cbegin(); it != map.cend(); ++it)
                    qt.setValue(it.key(), it.value());
            }
            QFile written(qtFile);
            QVERIFY(written.open(QIODevice::ReadOnly));
            QSettings::SettingsMap ours;
            QVERIFY(readIni(written.readAll(), ours));
            QCOMPARE(ours, map);

            const QString ourFile = dir.filePath(QStringLiteral("ours%1.ini").arg(round));
            QFile out(ourFile);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(writeIni(map));
            out.close();
            QSettings qt(ourFile, QSettings::IniFormat);
            QCOMPARE(qt.allKeys().size(), map.size());
            for (auto it = map.cbegin(); it != map.cend(); ++it)
                QCOMPARE(qt.value(it.key()), it.value());
        }
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
// Saving on a real file system that is full or read-only, and the modes of what the program
// creates under a permissive umask.
#include "CoreRig.h"
#include "Tmpfs.h"

#include "banner/BannerList.h"
#include "core/ProgramFolder.h"
#include "core/TextFile.h"
#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <sys/stat.h>

#include <memory>

using namespace kvorn;
using namespace kvorn::test;

namespace {

enum class Writer { ListFile, Settings, Hosts, HostsHelper };

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QList<QStringList> listLines(int count)
{
    QList<QStringList> lines;
    for (int i = 0; i < count; ++i)
        lines.append({QStringLiteral("*casino offer %1*").arg(i), QStringLiteral("1"),
                      QStringLiteral("12/10/2026"), QStringLiteral("12/10/2026")});
    return lines;
}

/// One of the program's files on the small file system: written once while there is room,
/// then written again (larger) by `overwrite`.
struct Saved
{
    QString folder;
    QString path;
    FakeTrayIcon tray;
    FakeClock clock;
    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<BannerList> banner;

    Saved(Writer writer, const QString &inFolder) : folder(inFolder)
    {
        switch (writer) {
        case Writer::ListFile:
            path = folder + QStringLiteral("/mail.mfl");
            writeFieldLines(path, listLines(3));
            break;
        case Writer::Settings:
            path = folder + QStringLiteral("/kvorn.ini");
            store = std::make_unique<SettingsStore>(path);
            store->write(QStringLiteral("Options"), QStringLiteral("UserName"), QStringLiteral("Jörg"));
            store->save();
            break;
        case Writer::HostsHelper: {
            path = folder + QStringLiteral("/system-hosts");
            QFile file(path);
            if (file.open(QIODevice::WriteOnly))
                file.write("127.0.0.1\tlocalhost\n# set by hand\n192.0.2.7\tprinter.lan\n");
            break;
        }
        case Writer::Hosts:
            path = folder + QStringLiteral("/hosts");
            QFile::copy(dataFile(QStringLiteral("banner/list.kbl")), folder + QStringLiteral("/banner.kbl"));
            banner = std::make_unique<BannerList>(folder, tray, clock, BannerList::StatusWriter{});
            banner->LoadBannerList();
            banner->apply();
            break;
        }
    }

    /// The larger save; empty on success, else the error reported.
    QString overwrite(Writer writer)
    {
        switch (writer) {
        case Writer::ListFile:
            return writeFieldLines(path, listLines(300)).error;
        case Writer::Settings:
            store->write(QStringLiteral("Options"), QStringLiteral("HomePage"),
                         QString(10000, QLatin1Char('x')));
            return store->save() ? QString() : path;
        case Writer::Hosts:
            banner->selectAll();
            return banner->apply().error;
        case Writer::HostsHelper: {
            QProcess helper;
            helper.start(QStringLiteral(KVORN_HOSTS_HELPER),
                         {QStringLiteral("--target"), path, QStringLiteral("apply")});
            helper.write("ads.example\nbanner.example\n");
            helper.closeWriteChannel();
            if (!helper.waitForFinished(20000) || helper.exitCode() == 0)
                return {};
            return QString::fromLocal8Bit(helper.readAllStandardError());
        }
        }
        return {};
    }
};

} // namespace

class TestReliability : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void failedSaveKeepsTheOldFile_data()
    {
        QTest::addColumn<int>("writer");
        QTest::addColumn<int>("freeBytes"); // -1: the file system is read-only
        // What the message must name (the settings say only which file failed).
        QTest::addColumn<QString>("reason");
        const QString full = QStringLiteral("No space left on device");
        const QString readOnly = QStringLiteral("Read-only file system");

        // With room for a page, Qt's own save once cut a 10 KiB file to 4,096 bytes; with
        // none, it left an empty file; both while reporting success.
        QTest::newRow("list file, one page free") << int(Writer::ListFile) << 4096 << full;
        QTest::newRow("list file, full") << int(Writer::ListFile) << 0 << full;
        QTest::newRow("list file, read-only") << int(Writer::ListFile) << -1 << readOnly;
        QTest::newRow("settings, one page free") << int(Writer::Settings) << 4096 << QString();
        QTest::newRow("settings, full") << int(Writer::Settings) << 0 << QString();
        QTest::newRow("settings, read-only") << int(Writer::Settings) << -1 << QString();
        QTest::newRow("hosts file, full") << int(Writer::Hosts) << 0 << full;
        QTest::newRow("hosts file, read-only") << int(Writer::Hosts) << -1 << readOnly;
        // The privileged helper once said "Unknown error" on a full disk.
        QTest::newRow("hosts helper, full") << int(Writer::HostsHelper) << 0 << full;
        QTest::newRow("hosts helper, read-only") << int(Writer::HostsHelper) << -1 << readOnly;
    }

    void failedSaveKeepsTheOldFile()
    {
        QFETCH(int, writer);
        QFETCH(int, freeBytes);
        QFETCH(QString, reason);
        TestEnv env;
        const QString disk = env.root() + QStringLiteral("/disk");
        Tmpfs tmpfs(disk, 256);
        if (!tmpfs.mounted())
            QSKIP("mounting a tmpfs needs root");
        Saved saved(Writer(writer), disk);
        const QByteArray before = fileBytes(saved.path);
        QVERIFY(!before.isEmpty());
        QVERIFY(freeBytes < 0 ? tmpfs.makeReadOnly() : tmpfs.fill(freeBytes));

        const QString error = saved.overwrite(Writer(writer));
        QVERIFY2(error.contains(saved.path), qPrintable(error));
        QVERIFY2(error.contains(reason), qPrintable(error));
        QCOMPARE(fileBytes(saved.path), before);
        // No temporary file is left behind to fill the disk further.
        QStringList left = QDir(disk).entryList(QDir::Files | QDir::Hidden);
        left.removeAll(QStringLiteral(".filler"));
        left.removeAll(QStringLiteral("banner.kbl"));
        // The hosts helper's lock file stays beside its target, empty, for the next run.
        left.removeAll(QFileInfo(saved.path).fileName() + QStringLiteral(".kvorn-lock"));
        QCOMPARE(left, QStringList{QFileInfo(saved.path).fileName()});
    }

    void backgroundProblemsAreNoBoxes()
    {
        // A box would hold up the engines until somebody answered it.
        CoreRig rig;
        QSignalSpy changed(&rig.controller, &MainController::problemChanged);
        const QString full = QStringLiteral("/home/k-vorn.log: No space left on device");
        rig.controller.reportProblem(QStringLiteral("log"), full);
        rig.controller.reportProblem(QStringLiteral("log"), full);
        rig.controller.reportProblem(QStringLiteral("lists"), QStringLiteral("spamlist.kbl: x"));
        QVERIFY(rig.prompt.messages.isEmpty());
        // One notification for each new text, not one for every record that fails.
        QCOMPARE(rig.tray.messages,
                 (QStringList{"K-Vorn: " + full, QStringLiteral("K-Vorn: spamlist.kbl: x")}));
        QCOMPARE(rig.controller.problemText(), QStringLiteral("spamlist.kbl: x\n") + full);
        QCOMPARE(changed.size(), 2);
        rig.controller.reportProblem(QStringLiteral("lists"), QString());
        rig.controller.reportProblem(QStringLiteral("log"), QString());
        QCOMPARE(rig.controller.problemText(), QString());
        QCOMPARE(changed.size(), 4);
        QCOMPARE(rig.tray.messages.size(), 2);
    }

    void nothingCreatedIsOpenToOthers()
    {
        const mode_t oldMask = ::umask(0);
        {
            CoreRig rig;
            const QString home = rig.env.root() + QStringLiteral("/fresh/kvorn");
            QVERIFY(prepareProgramFolder(home, QString()));
            QVERIFY(writeFieldLines(home + QStringLiteral("/spamlist.kbl"), listLines(1)));
            QVERIFY(appendLines(home + QStringLiteral("/k-vorn.log"), {{QStringLiteral("Popup")}}));
            rig.settings.LoadMyOptions(QDate(2026, 12, 10));
            rig.options.StartWithWindows = true;
            QVERIFY(rig.settings.saveOptions());
            QFile::copy(dataFile(QStringLiteral("banner/list.kbl")), home + QStringLiteral("/banner.kbl"));
            BannerList banner(home, rig.tray, rig.clock, BannerList::StatusWriter{});
            banner.LoadBannerList();
            QVERIFY(banner.apply());

            const struct
            {
                QString path;
                QFile::Permissions exact;
            } made[] = {
                {rig.env.root() + QStringLiteral("/fresh"), kPrivateFolder},
                {home, kPrivateFolder},
                {home + QStringLiteral("/spamlist.kbl"), kPrivateFile},
                {home + QStringLiteral("/k-vorn.log"), kPrivateFile},
                {rig.env.settingsFile(), kPrivateFile},
                {rig.env.configFolder() + QStringLiteral("/autostart/kvorn.desktop"), kSharedFile},
                // Readable by all: it is meant to be linked into /etc.
                {home + QStringLiteral("/hosts"), kSharedFile},
            };
            for (const auto &[path, exact] : made) {
                QVERIFY2(QFileInfo::exists(path), qPrintable(path));
                const QFile::Permissions mask = QFile::ReadOwner | QFile::WriteOwner |
                                                QFile::ExeOwner | QFile::ReadGroup |
                                                QFile::WriteGroup | QFile::ExeGroup |
                                                QFile::ReadOther | QFile::WriteOther |
                                                QFile::ExeOther;
                QVERIFY2((QFileInfo(path).permissions() & mask) == exact, qPrintable(path));
            }
        }
        ::umask(oldMask);
    }
};

QTEST_GUILESS_MAIN(TestReliability)
#include "test_reliability.moc"

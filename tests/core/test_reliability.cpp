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
#include <QTest>

#include <sys/stat.h>

#include <memory>

using namespace kvorn;
using namespace kvorn::test;

namespace {

enum class Writer { ListFile, Settings, Hosts };

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

        // With room for a page, Qt's own save once cut a 10 KiB file to 4,096 bytes; with
        // none, it left an empty file; both while reporting success.
        QTest::newRow("list file, one page free") << int(Writer::ListFile) << 4096;
        QTest::newRow("list file, full") << int(Writer::ListFile) << 0;
        QTest::newRow("list file, read-only") << int(Writer::ListFile) << -1;
        QTest::newRow("settings, one page free") << int(Writer::Settings) << 4096;
        QTest::newRow("settings, full") << int(Writer::Settings) << 0;
        QTest::newRow("settings, read-only") << int(Writer::Settings) << -1;
        QTest::newRow("hosts file, full") << int(Writer::Hosts) << 0;
        QTest::newRow("hosts file, read-only") << int(Writer::Hosts) << -1;
    }

    void failedSaveKeepsTheOldFile()
    {
        QFETCH(int, writer);
        QFETCH(int, freeBytes);
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
        QCOMPARE(fileBytes(saved.path), before);
        // No temporary file is left behind to fill the disk further.
        QStringList left = QDir(disk).entryList(QDir::Files | QDir::Hidden);
        left.removeAll(QStringLiteral(".filler"));
        left.removeAll(QStringLiteral("banner.kbl"));
        QCOMPARE(left, QStringList{QFileInfo(saved.path).fileName()});
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

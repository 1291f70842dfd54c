#include "CoreRig.h"

#include "banner/BannerFiles.h"
#include "banner/BannerImport.h"
#include "banner/BannerList.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <atomic>
#include <memory>
#include <thread>
#include <unistd.h>

using namespace kvorn;
using namespace kvorn::test;

namespace {

QByteArray fixture(const QString &name)
{
    return dataFileBytes(QStringLiteral("banner/") + name);
}

/// A banner list in a private home, as the program builds it at start.
struct BannerRig
{
    TestEnv env;
    FakeTrayIcon tray;
    FakeClock clock;
    QStringList statusTexts;
    std::unique_ptr<BannerList> list = makeList();

    std::unique_ptr<BannerList> makeList()
    {
        return std::make_unique<BannerList>(
            env.programFolder(), tray, clock,
            [this](int screen, int panel, const QString &text) {
                statusTexts.append(QStringLiteral("%1/%2 %3").arg(screen).arg(panel).arg(text));
            });
    }
    /// Ends the run and starts a new one on the same program folder.
    void restart()
    {
        list = makeList();
        list->LoadBannerList();
    }
    QList<bool> ticks() const
    {
        QList<bool> out;
        for (const BannerGroup &group : list->groups())
            out.append(group.selected);
        return out;
    }
};

const QByteArray kOldHosts = "old hosts file, longer than the new one will be ...\r\n"
                             + QByteArray(2000, 'x') + "\r\n";

} // namespace

class TestBanner : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void import_data();
    void import();
    void loadReadsFlagsAndReports_data();
    void loadReadsFlagsAndReports();
    void applyWritesExactFiles_data();
    void applyWritesExactFiles();
    void selectionCommandsChangeOnlyTheRows();
    void ticksSurviveRestartOnlyWhenApplied();
    void applyFailureKeepsFilesAndRows_data();
    void applyFailureKeepsFilesAndRows();
    void importFailureKeepsFiles_data();
    void importFailureKeepsFiles();
    void statusGoesThroughTheController();
    void sourceShrinkingWhileReadIsNoCrash();
};

void TestBanner::import_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("groups");
    QTest::addColumn<qint64>("servers");
    QTest::addColumn<QByteArray>("list");

    // Lines before and including the first localhost line are skipped; a later localhost
    // line and a 127.0.0.1 line are copied but not counted.
    QTest::newRow("two groups of three and two")
        << "two_groups" << 2 << qint64(5)
        << QByteArray("0\xff Ad Network\xff" "3\r\n0\xff Tracker\xff" "2\r\n");
    QTest::newRow("no localhost line") << "no_localhost" << 0 << qint64(0) << QByteArray();
    // Servers before the first group and under a lone "#" count in the total only; the
    // Windows-1252 group name is stored as UTF-8 while the copy keeps the original byte;
    // LF endings and a missing last line end become CR LF.
    QTest::newRow("lone hash, orphans, Windows-1252, LF")
        << "lone_hash" << 2 << qint64(4) << QByteArray("0\xff" "Caf\xc3\xa9 ads\xff" "1\r\n");
}

void TestBanner::import()
{
    QFETCH(QString, source);
    QFETCH(int, groups);
    QFETCH(qint64, servers);
    QFETCH(QByteArray, list);

    BannerRig rig;
    rig.env.writeFile(QStringLiteral("banner.kbl"), "1\xffOld\xff" "9\r\n");
    rig.env.writeFile(QStringLiteral("hosts"), kOldHosts);

    const BannerImportResult result =
        rig.list->importList(dataFile(QStringLiteral("banner/%1.hosts").arg(source)));
    QVERIFY2(result.ok(), qPrintable(result.error));
    QCOMPARE(result.groups, groups);
    QCOMPARE(result.servers, servers);
    QCOMPARE(bannerImportSummary(result),
             QStringLiteral("Banner server load Complete.\n%1 Groups added containing \n%2 Ad servers")
                 .arg(groups)
                 .arg(servers));
    QCOMPARE(rig.env.readFile(QStringLiteral("banner.kbl")), list);
    QCOMPARE(rig.env.readFile(QStringLiteral("banner.kpm")), fixture(source + QStringLiteral(".kpm")));
    QCOMPARE(rig.env.readFile(QStringLiteral("hosts")), kOldHosts);

    rig.list->LoadBannerList();
    QCOMPARE(rig.ticks(), QList<bool>(qsizetype(list.count("\r\n")), false));
}

void TestBanner::loadReadsFlagsAndReports_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QList<bool>>("ticks");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("no banner.kbl") << QByteArray() << QList<bool>() << QStringList();
    // "1", "True", "7", "-1" tick; "0", "false" and a word that is no flag do not; a
    // blank line makes no row.
    QTest::newRow("mixed flags")
        << (fixture(QStringLiteral("list.kbl")) + "\r\n")
        << QList<bool>{true, false, true, false, true, false, true}
        << QStringList{QStringLiteral("Ad Network"), QStringLiteral("Tracker"),
                       QStringLiteral("Big Ads "), QStringLiteral("Small"), QStringLiteral("Seven"),
                       QStringLiteral("Badflag"), QStringLiteral("Minus")};
}

void TestBanner::loadReadsFlagsAndReports()
{
    QFETCH(QByteArray, file);
    QFETCH(QList<bool>, ticks);
    QFETCH(QStringList, names);

    BannerRig rig;
    if (!file.isNull())
        rig.env.writeFile(QStringLiteral("banner.kbl"), file);
    rig.list->LoadBannerList();

    QCOMPARE(rig.ticks(), ticks);
    QStringList shown;
    for (int row = 0; row < rig.list->rowCount(); ++row) {
        shown.append(rig.list->index(row, BannerList::GroupColumn).data().toString());
        QCOMPARE(rig.list->index(row, BannerList::GroupColumn).data(Qt::CheckStateRole).toInt(),
                 int(ticks[row] ? Qt::Checked : Qt::Unchecked));
    }
    QCOMPARE(shown, names);
    QCOMPARE(rig.list->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Server Group"));
    QCOMPARE(rig.list->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Servers"));
    QCOMPARE(rig.tray.tip(), QStringLiteral("Loading Banner server List..."));
    QCOMPARE(rig.statusTexts, QStringList{QStringLiteral("1/1 loading")});
}

void TestBanner::applyWritesExactFiles_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<bool>("clearTicks");
    QTest::addColumn<QByteArray>("hosts");
    QTest::addColumn<QByteArray>("written");

    const QByteArray mixed = fixture(QStringLiteral("list.kbl"));
    QByteArray none = fixture(QStringLiteral("applied.kbl"));
    none.replace("\n1\xff", "\n0\xff");
    none[0] = '0';

    QTest::newRow("flags of every kind") << mixed << false << fixture(QStringLiteral("applied.hosts"))
                                         << fixture(QStringLiteral("applied.kbl"));
    QTest::newRow("nothing ticked") << mixed << true << fixture(QStringLiteral("header_only.hosts"))
                                    << none;
    QTest::newRow("no banner.kbl") << QByteArray() << false
                                   << fixture(QStringLiteral("header_only.hosts")) << QByteArray();
}

void TestBanner::applyWritesExactFiles()
{
    QFETCH(QByteArray, list);
    QFETCH(bool, clearTicks);
    QFETCH(QByteArray, hosts);
    QFETCH(QByteArray, written);

    BannerRig rig;
    if (!list.isNull())
        rig.env.writeFile(QStringLiteral("banner.kbl"), list);
    rig.env.writeFile(QStringLiteral("hosts"), kOldHosts);
    rig.list->LoadBannerList();
    if (clearTicks)
        rig.list->selectNone();

    const WriteResult result = rig.list->apply();
    QVERIFY2(result, qPrintable(result.error));
    QCOMPARE(rig.env.readFile(QStringLiteral("hosts")), hosts);
    QCOMPARE(rig.env.readFile(QStringLiteral("banner.kbl")), written);
    QVERIFY(QFileInfo::exists(rig.env.file(QStringLiteral("banner.kbl"))));
    // Nothing but the two files is left behind.
    QCOMPARE(QDir(rig.env.programFolder()).entryList(QDir::Files | QDir::Hidden),
             (QStringList{QStringLiteral("banner.kbl"), QStringLiteral("hosts")}));
}

void TestBanner::selectionCommandsChangeOnlyTheRows()
{
    BannerRig rig;
    const QByteArray file = fixture(QStringLiteral("list.kbl"));
    rig.env.writeFile(QStringLiteral("banner.kbl"), file);
    rig.list->LoadBannerList();
    const QList<bool> loaded = rig.ticks();
    const QList<bool> inverted{false, true, false, true, false, true, false};

    const struct
    {
        void (BannerList::*command)();
        QList<bool> expected;
    } steps[] = {
        {&BannerList::invertSelection, inverted},
        {&BannerList::invertSelection, loaded},
        {&BannerList::selectAll, QList<bool>(7, true)},
        {&BannerList::selectNone, QList<bool>(7, false)},
    };
    for (const auto &step : steps) {
        (rig.list.get()->*step.command)();
        QCOMPARE(rig.ticks(), step.expected);
    }

    // The check box of a row, as the view sets it.
    QVERIFY(rig.list->setData(rig.list->index(2, 0), Qt::Checked, Qt::CheckStateRole));
    QVERIFY(rig.ticks()[2]);
    QVERIFY(!(rig.list->flags(rig.list->index(2, 1)) & Qt::ItemIsUserCheckable));

    QCOMPARE(rig.env.readFile(QStringLiteral("banner.kbl")), file);
    QVERIFY(!QFileInfo::exists(rig.env.file(QStringLiteral("hosts"))));
}

void TestBanner::ticksSurviveRestartOnlyWhenApplied()
{
    BannerRig rig;
    rig.env.writeFile(QStringLiteral("banner.kbl"), fixture(QStringLiteral("list.kbl")));
    rig.list->LoadBannerList();

    rig.list->setSelected(1, true);
    QVERIFY(rig.list->apply());
    rig.restart();
    QVERIFY(rig.ticks()[1]);

    rig.list->setSelected(3, true);
    rig.restart();
    QVERIFY(!rig.ticks()[3]);
    QVERIFY(rig.ticks()[1]);

    // "Cancel" goes back to the last applied state as well.
    rig.list->selectNone();
    rig.list->cancel();
    QCOMPARE(rig.ticks(), (QList<bool>{true, true, true, false, true, false, true}));
}

void TestBanner::applyFailureKeepsFilesAndRows_data()
{
    QTest::addColumn<QString>("blocked");
    // Tests run as root, whom a read-only folder does not stop: a folder standing where a
    // file has to go makes the write fail the same way.
    QTest::newRow("hosts cannot be written") << QStringLiteral("hosts");
    QTest::newRow("banner.kbl cannot be written") << QStringLiteral("banner.kbl");
}

void TestBanner::applyFailureKeepsFilesAndRows()
{
    QFETCH(QString, blocked);
    BannerRig rig;
    const QByteArray list = fixture(QStringLiteral("list.kbl"));
    rig.env.writeFile(QStringLiteral("banner.kbl"), list);
    rig.env.writeFile(QStringLiteral("hosts"), kOldHosts);
    rig.list->LoadBannerList();
    QFile::remove(rig.env.file(blocked));
    QVERIFY(QDir().mkpath(rig.env.file(blocked) + QStringLiteral("/inside")));

    rig.list->selectAll();
    const WriteResult result = rig.list->apply();
    QVERIFY(!result);
    QVERIFY2(result.error.contains(blocked), qPrintable(result.error));
    QCOMPARE(rig.ticks(), QList<bool>(7, true));
    if (blocked != QLatin1String("hosts"))
        QCOMPARE(rig.env.readFile(QStringLiteral("hosts")), kOldHosts);
    if (blocked != QLatin1String("banner.kbl"))
        QCOMPARE(rig.env.readFile(QStringLiteral("banner.kbl")), list);
    QCOMPARE(QDir(rig.env.programFolder()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

void TestBanner::importFailureKeepsFiles_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("blocked");
    QTest::addColumn<int>("status");

    const int unreadable = int(BannerImportResult::Status::SourceUnreadable);
    const int writeFailed = int(BannerImportResult::Status::WriteFailed);
    const QString good = dataFile(QStringLiteral("banner/two_groups.hosts"));
    QTest::newRow("no file chosen") << QString() << QString() << unreadable;
    QTest::newRow("missing file") << QStringLiteral("/nonexistent/hosts") << QString() << unreadable;
    QTest::newRow("a folder") << dataFile(QStringLiteral("banner")) << QString() << unreadable;
    QTest::newRow("banner.kbl cannot be written") << good << QStringLiteral("banner.kbl") << writeFailed;
    QTest::newRow("banner.kpm cannot be written") << good << QStringLiteral("banner.kpm") << writeFailed;
}

void TestBanner::importFailureKeepsFiles()
{
    QFETCH(QString, source);
    QFETCH(QString, blocked);
    QFETCH(int, status);

    BannerRig rig;
    const QByteArray oldList = "1\xffOld\xff" "9\r\n";
    const QByteArray oldCopy = "# old copy\r\n";
    rig.env.writeFile(QStringLiteral("banner.kbl"), oldList);
    rig.env.writeFile(QStringLiteral("banner.kpm"), oldCopy);
    if (!blocked.isEmpty()) {
        QFile::remove(rig.env.file(blocked));
        QVERIFY(QDir().mkpath(rig.env.file(blocked)));
    }

    const BannerImportResult result = rig.list->importList(source);
    QCOMPARE(int(result.status), status);
    QVERIFY(!result.error.isEmpty());
    if (blocked != QLatin1String("banner.kbl"))
        QCOMPARE(rig.env.readFile(QStringLiteral("banner.kbl")), oldList);
    if (blocked != QLatin1String("banner.kpm"))
        QCOMPARE(rig.env.readFile(QStringLiteral("banner.kpm")), oldCopy);
    QCOMPARE(QDir(rig.env.programFolder()).entryList(QDir::Files | QDir::Hidden).size(),
             blocked.isEmpty() ? 2 : 1);
}

void TestBanner::statusGoesThroughTheController()
{
    CoreRig core;
    BannerList list(core.env.programFolder(), core.tray, core.clock, core.controller);
    list.LoadBannerList();
    QCOMPARE(core.controller.statusTexts().text(PopupScreen, 1), QStringLiteral("loading"));
}

void TestBanner::sourceShrinkingWhileReadIsNoCrash()
{
    // A list still being downloaded, or rewritten by another program, may shrink while we
    // read it; a mapped file then killed the program with SIGBUS.
    BannerRig rig;
    const QString source = rig.env.root() + QStringLiteral("/growing.hosts");
    QFile file(source);
    QVERIFY(file.open(QIODevice::ReadWrite));
    const qint64 size = 16 << 20;
    std::atomic<bool> done = false;
    std::thread shrinker([&] {
        while (!done) {
            [[maybe_unused]] const int cut = ::ftruncate(file.handle(), 0);
            [[maybe_unused]] const int grown = ::ftruncate(file.handle(), size);
        }
    });
    QDeadlineTimer deadline(1500);
    for (int i = 0; i < 30 && !deadline.hasExpired(); ++i)
        rig.list->importList(source);
    done = true;
    shrinker.join();
}

QTEST_GUILESS_MAIN(TestBanner)
#include "test_banner.moc"

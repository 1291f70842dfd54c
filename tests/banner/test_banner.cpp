// SPDX-License-Identifier: GPL-3.0-or-later
#include "CoreRig.h"

#include "banner/BannerFiles.h"
#include "banner/BannerImport.h"
#include "banner/BannerList.h"

#include <QDir>
#include <QFile>
#include <QMultiHash>
#include <QSet>
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
    void applyBlocksExactlyTheTickedServers_data();
    void applyBlocksExactlyTheTickedServers();
    void importWithoutGroupsChangesNothing_data();
    void importWithoutGroupsChangesNothing();
    void reimportKeepsTicksOfGroupsStillThere();
    void sourceLinesNameTheImportedFile_data();
    void sourceLinesNameTheImportedFile();
    void sourceShrinkingWhileReadIsNoCrash();
    void listOverTheLimitIsRefusedAndKept();
};

void TestBanner::import_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<int>("groups");
    QTest::addColumn<qint64>("servers");
    QTest::addColumn<QByteArray>("list");

    // Lines before and including the first localhost line are skipped; a later localhost
    // line and a 127.0.0.1 line are copied but not counted; header comments such as
    // "License:" without servers under them make no group.
    QTest::newRow("two groups of three and two")
        << "two_groups" << 2 << qint64(5)
        << QByteArray("0\xff Ad Network\xff" "3\r\n0\xff Tracker\xff" "2\r\n");
    // Servers before the first group and under a lone "#" count in the total only; the
    // Windows-1252 group name is stored as UTF-8 while the copy keeps the original byte;
    // LF endings and a missing last line end become CR LF.
    QTest::newRow("lone hash, orphans, Windows-1252, LF")
        << "lone_hash" << 1 << qint64(4) << QByteArray("0\xff" "Caf\xc3\xa9 ads\xff" "1\r\n");
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
    // Read at once: nothing is left loading to report.
    QCOMPARE(rig.statusTexts, QStringList());
}

void TestBanner::applyWritesExactFiles_data()
{
    QTest::addColumn<QByteArray>("list");
    QTest::addColumn<QByteArray>("copy");
    QTest::addColumn<bool>("clearTicks");
    QTest::addColumn<QByteArray>("hosts");
    QTest::addColumn<QByteArray>("written");

    const QByteArray mixed = fixture(QStringLiteral("list.kbl"));
    QByteArray none = fixture(QStringLiteral("applied.kbl"));
    none.replace("\n1\xff", "\n0\xff");
    none[0] = '0';

    const QByteArray copy = fixture(QStringLiteral("list.kpm"));
    // Each ticked row writes the servers of its group in "banner.kpm", never its name; the
    // copy lists "Minus" before "Seven", so rows are found by name when positions differ.
    // (This row used to expect one line per ticked group name.)
    QTest::newRow("flags of every kind")
        << mixed << copy << false << fixture(QStringLiteral("applied.hosts"))
        << fixture(QStringLiteral("applied.kbl"));
    QTest::newRow("nothing ticked") << mixed << copy << true
                                    << fixture(QStringLiteral("header_only.hosts"))
                                        .replace("a published hosts list of advertising servers",
                                                 "list source.hosts")
                                    << none;
    // Without the imported lines there is nothing to block: a name is no server.
    QTest::newRow("no banner.kpm") << mixed << QByteArray() << false
                                   << fixture(QStringLiteral("header_only.hosts"))
                                   << fixture(QStringLiteral("applied.kbl"));
    QTest::newRow("no banner.kbl") << QByteArray() << QByteArray() << false
                                   << fixture(QStringLiteral("header_only.hosts")) << QByteArray();
}

void TestBanner::applyWritesExactFiles()
{
    QFETCH(QByteArray, list);
    QFETCH(QByteArray, copy);
    QFETCH(bool, clearTicks);
    QFETCH(QByteArray, hosts);
    QFETCH(QByteArray, written);

    BannerRig rig;
    if (!list.isNull())
        rig.env.writeFile(QStringLiteral("banner.kbl"), list);
    if (!copy.isNull())
        rig.env.writeFile(QStringLiteral("banner.kpm"), copy);
    rig.env.writeFile(QStringLiteral("hosts"), kOldHosts);
    rig.list->LoadBannerList();
    if (clearTicks)
        rig.list->selectNone();

    const WriteResult result = rig.list->apply();
    QVERIFY2(result, qPrintable(result.error));
    QCOMPARE(rig.env.readFile(QStringLiteral("hosts")), hosts);
    QCOMPARE(rig.env.readFile(QStringLiteral("banner.kbl")), written);
    QVERIFY(QFileInfo::exists(rig.env.file(QStringLiteral("banner.kbl"))));
    // Nothing but the two files (and the untouched copy) is left behind.
    QStringList files{QStringLiteral("banner.kbl"), QStringLiteral("hosts")};
    if (!copy.isNull())
        files.insert(1, QStringLiteral("banner.kpm"));
    QCOMPARE(QDir(rig.env.programFolder()).entryList(QDir::Files | QDir::Hidden), files);
    if (!copy.isNull())
        QCOMPARE(rig.env.readFile(QStringLiteral("banner.kpm")), copy);
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
    core.controller.UpdateStatusBar(PopupScreen, 1, QStringLiteral("Active"));
    list.LoadBannerList();
    // The list is read at once: a "loading" left behind would stay until the run state
    // next changes.
    QCOMPARE(core.controller.statusTexts().text(PopupScreen, 1), QStringLiteral("Active"));
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

namespace {

/// The names the hosts file maps to an address, as a resolver reading it would see them:
/// every word after the address of a line that is not a comment.
QMultiHash<QByteArray, QByteArray> mappedNames(const QByteArray &hosts)
{
    QMultiHash<QByteArray, QByteArray> names;
    for (QByteArray line : hosts.split('\n')) {
        line = line.trimmed();
        if (const qsizetype hash = line.indexOf('#'); hash >= 0)
            line.truncate(hash);
        const QList<QByteArray> words = line.simplified().split(' ');
        for (qsizetype i = 1; i < words.size(); ++i)
            names.insert(words[i], words[0]);
    }
    return names;
}

/// The server names of the source's lines `first` to `last` (1-based) that start
/// "0.0.0.0 ": the expected servers of hand-picked groups of a real list.
QList<QByteArray> serversOfLines(const QByteArray &source, int first, int last)
{
    QList<QByteArray> out;
    const QList<QByteArray> lines = source.split('\n');
    for (int n = first; n <= last; ++n) {
        const QByteArray line = lines[n - 1].trimmed();
        if (line.startsWith("0.0.0.0 "))
            out.append(line.mid(8));
    }
    return out;
}

} // namespace

void TestBanner::applyBlocksExactlyTheTickedServers_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QStringList>("tick");
    QTest::addColumn<QList<QByteArray>>("blocked");
    QTest::addColumn<QList<QByteArray>>("neverBlocked");

    const QByteArray real = fixture(QStringLiteral("stevenblack-2017-excerpt.hosts"));
    // "[General]" (lines 44 to 125), both groups named "[Google]" (477 to 480, 533 to 535)
    // and the last "###" comment before the Omniture servers (548 to 560).
    QTest::newRow("real published list")
        << QStringLiteral("stevenblack-2017-excerpt.hosts")
        << QStringList{" [General]", " [Google]", "## https://en.wikipedia.org/wiki/Omniture"}
        << serversOfLines(real, 44, 125) + serversOfLines(real, 477, 480) +
               serversOfLines(real, 533, 535) + serversOfLines(real, 548, 560)
        << QList<QByteArray>{"use", "finer", "grained", "hostnames?", "[General]", "[Google]",
                             "tracking.applift.com", "127.0.0.1", "###", "applift.com",
                             "ad.doubleclick.net", "trackersimulator.org"};
    QTest::newRow("odd lines")
        << QStringLiteral("odd.hosts") << QStringList{" Werbung f\u00fcr Kinder", " use finer"}
        << QList<QByteArray>{"ads.werbung.example", "tabbed.example", "spaced.example",
                             "trailing.example", "first.example", "second.example",
                             "xn--werbung-9wa.example", "finer.example"}
        << QList<QByteArray>{"0.0.0.0", "Werbung", "use", "finer", "cdn.jsdelivr.net",
                             "#[affects", "[affects", "shop.example]", "under-commented.example",
                             "orphan.example", "v6-only.example", "v6-loop.example",
                             "local-address.example", "bad!name.example", "glued.example",
                             "localhost"};
}

void TestBanner::applyBlocksExactlyTheTickedServers()
{
    QFETCH(QString, source);
    QFETCH(QStringList, tick);
    QFETCH(QList<QByteArray>, blocked);
    QFETCH(QList<QByteArray>, neverBlocked);

    BannerRig rig;
    const BannerImportResult imported =
        rig.list->importList(dataFile(QStringLiteral("banner/") + source));
    QVERIFY2(imported.ok(), qPrintable(imported.error));
    rig.list->LoadBannerList();
    QStringList ticked;
    for (int row = 0; row < rig.list->rowCount(); ++row) {
        if (tick.contains(rig.list->groups()[std::size_t(row)].name)) {
            rig.list->setSelected(row, true);
            ticked.append(rig.list->groups()[std::size_t(row)].name);
        }
    }
    ticked.removeDuplicates();
    QCOMPARE(ticked.size(), tick.size());
    QVERIFY(rig.list->apply());

    const QByteArray hosts = rig.env.readFile(QStringLiteral("hosts"));
    const QMultiHash<QByteArray, QByteArray> mapped = mappedNames(hosts);
    QSet<QByteArray> expected(blocked.cbegin(), blocked.cend());
    expected.insert("localhost");
    QCOMPARE(QSet<QByteArray>(mapped.keyBegin(), mapped.keyEnd()), expected);
    for (const QByteArray &server : blocked)
        QCOMPARE(mapped.values(server), QList<QByteArray>{"127.0.0.1"});
    for (const QByteArray &word : neverBlocked)
        QVERIFY2(!mapped.contains(word) || word == "localhost", word.constData());
    QCOMPARE(mapped.values("localhost"), QList<QByteArray>{"127.0.0.1"});
    if (source == QLatin1String("odd.hosts"))
        QCOMPARE(hosts, fixture(QStringLiteral("odd_applied.hosts")));
    // The helper for the system's hosts file gets the same servers.
    QCOMPARE(rig.list->blockedServerNames(), blocked.join('\n') + '\n');
}

void TestBanner::importWithoutGroupsChangesNothing_data()
{
    QTest::addColumn<QByteArray>("source");
    // Many published source lists have no localhost line at all.
    QTest::newRow("no localhost line") << fixture(QStringLiteral("no_localhost.hosts"));
    QTest::newRow("only lone comment marks")
        << QByteArray("127.0.0.1 localhost\n#\n0.0.0.0 a.example\n#\n");
    QTest::newRow("empty file") << QByteArray("");
}

void TestBanner::importWithoutGroupsChangesNothing()
{
    QFETCH(QByteArray, source);
    BannerRig rig;
    const QByteArray list = fixture(QStringLiteral("list.kbl"));
    const QByteArray copy = fixture(QStringLiteral("list.kpm"));
    rig.env.writeFile(QStringLiteral("banner.kbl"), list);
    rig.env.writeFile(QStringLiteral("banner.kpm"), copy);
    rig.env.writeFile(QStringLiteral("hosts"), kOldHosts);
    rig.list->LoadBannerList();
    rig.list->setSelected(1, true);
    const QList<bool> ticks = rig.ticks();
    const QString path = rig.env.root() + QStringLiteral("/source.hosts");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(source);
    file.close();

    const BannerImportResult result = rig.list->importList(path);
    QCOMPARE(int(result.status), int(BannerImportResult::Status::NoGroups));
    QVERIFY2(result.error.contains(QLatin1String("No banner server group was found")),
             qPrintable(result.error));
    QCOMPARE(rig.env.readFile(QStringLiteral("banner.kbl")), list);
    QCOMPARE(rig.env.readFile(QStringLiteral("banner.kpm")), copy);
    QCOMPARE(rig.env.readFile(QStringLiteral("hosts")), kOldHosts);
    QCOMPARE(rig.ticks(), ticks);
}

void TestBanner::reimportKeepsTicksOfGroupsStillThere()
{
    BannerRig rig;
    const QString real = dataFile(QStringLiteral("banner/stevenblack-2017-excerpt.hosts"));
    QVERIFY(rig.list->importList(real).ok());
    rig.list->LoadBannerList();
    // 68 comment lines, 23 of them with no server under them.
    QCOMPARE(rig.list->rowCount(), 45);
    const QStringList names{" [General]", " [Google]", " [Smart Adserver]"};
    for (int row = 0; row < rig.list->rowCount(); ++row) {
        if (names.contains(rig.list->groups()[std::size_t(row)].name))
            rig.list->setSelected(row, true);
    }
    QVERIFY(rig.list->apply());
    const QByteArray hosts = rig.env.readFile(QStringLiteral("hosts"));

    // The same list again, and then one in which "[Smart Adserver]" is gone: the groups still
    // there stay ticked, so the rows say what the hosts file in force blocks.
    const QString shorter = rig.env.root() + QStringLiteral("/shorter.hosts");
    QByteArray data = fixture(QStringLiteral("stevenblack-2017-excerpt.hosts"));
    data.replace("# [Smart Adserver]", "# [Smart Adserver, renamed]");
    QFile file(shorter);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(data);
    file.close();
    for (const QString &source : {real, shorter}) {
        QVERIFY(rig.list->importList(source).ok());
        rig.list->LoadBannerList();
        QStringList tickedNames;
        for (const BannerGroup &group : rig.list->groups()) {
            if (group.selected)
                tickedNames.append(group.name);
        }
        const QStringList expected = source == real
                                         ? QStringList{" [Smart Adserver]", " [Google]", " [Google]"}
                                         : QStringList{" [Google]", " [Google]"};
        QCOMPARE(tickedNames, QStringList{" [General]"} + expected);
        QCOMPARE(rig.env.readFile(QStringLiteral("hosts")), hosts);
    }
}

void TestBanner::sourceLinesNameTheImportedFile_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("plain") << QStringLiteral("adservers-2017.hosts")
                           << QByteArray("#    adservers-2017.hosts");
    // A line break in the name must not start a line of the hosts file, and "localhost" in
    // it must not be taken for the copy's localhost line.
    QTest::newRow("line break and localhost") << QStringLiteral("ads\n0.0.0.0 localhost list")
                                              << QByteArray("#    ads?0.0.0.0 localhost list");
    QTest::newRow("not ASCII") << QStringLiteral("Werbung-f\u00fcr-alle")
                               << QByteArray("#    Werbung-f\xc3\xbcr-alle");
}

void TestBanner::sourceLinesNameTheImportedFile()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, line);
    BannerRig rig;
    const QString path = rig.env.root() + QLatin1Char('/') + fileName;
    QVERIFY(QFile::copy(dataFile(QStringLiteral("banner/two_groups.hosts")), path));
    QVERIFY(rig.list->importList(path).ok());
    rig.list->LoadBannerList();
    rig.list->selectAll();
    QVERIFY(rig.list->apply());
    const QList<QByteArray> copy = rig.env.readFile(QStringLiteral("banner.kpm")).split('\n');
    const QList<QByteArray> hosts = rig.env.readFile(QStringLiteral("hosts")).split('\n');
    QCOMPARE(copy.value(4), line + '\r');
    QCOMPARE(hosts.value(4), line + '\r');
    QCOMPARE(hosts.mid(11), (QList<QByteArray>{"127.0.0.1      ads1.example\r",
                                               "127.0.0.1      ads2.example\r",
                                               "127.0.0.1      ads3.example\r",
                                               "127.0.0.1      track1.example\r",
                                               "127.0.0.1      track2.example\r", ""}));
}

void TestBanner::listOverTheLimitIsRefusedAndKept()
{
    BannerRig rig;
    QByteArray many;
    for (qsizetype i = 0; i <= kMaxListFileLines; ++i)
        many += "1\xffGroup\xff" "3\r\n";
    rig.env.writeFile(QStringLiteral("banner.kbl"), many);
    const QString error = rig.list->LoadBannerList();
    QVERIFY2(error.contains(QStringLiteral("banner.kbl")) &&
                 error.contains(QStringLiteral("more than 1,000,000 entries")) &&
                 error.contains(QStringLiteral("left as it is")),
             qPrintable(error));
    QCOMPARE(rig.list->rowCount(), 0);
    // An apply of the empty rows would write over the groups the file holds.
    const WriteResult applied = rig.list->apply();
    QVERIFY(!applied);
    QCOMPARE(applied.error, error);
    QVERIFY(rig.env.readFile(QStringLiteral("banner.kbl")) == many);
    QVERIFY(!QFileInfo::exists(rig.env.file(QStringLiteral("hosts"))));
}

QTEST_GUILESS_MAIN(TestBanner)
#include "test_banner.moc"

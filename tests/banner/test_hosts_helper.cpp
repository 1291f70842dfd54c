// SPDX-License-Identifier: GPL-3.0-or-later
// The privileged hosts helper: its name checks, its editing of the system's hosts file, and
// the helper itself run as root on a private /etc, checked with the system's own resolver.
#include "CoreRig.h"
#include "Tmpfs.h"
#include "banner/BannerList.h"
#include "hostshelper/HostsBlock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace kvorn;
using namespace kvorn::test;

namespace {

const QString kHelper = QStringLiteral(KVORN_HOSTS_HELPER);

/// A machine's own hosts file, as an administrator left it.
const QByteArray kMachineHosts = "127.0.0.1\tlocalhost\n"
                                 "::1\tlocalhost ip6-localhost ip6-loopback\n"
                                 "# the printer, set by hand\n"
                                 "192.0.2.7\tprinter.lan printer\n";

struct HelperRun
{
    int exitCode = -1;
    QByteArray errors;
};

HelperRun
runHelper(const QStringList &arguments, const QByteArray &input,
          const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(kHelper, arguments);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(20000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardError()};
}

/// What `getent hosts` printed, as name -> address.
QHash<QByteArray, QByteArray> resolved(const QByteArray &getentOutput)
{
    QHash<QByteArray, QByteArray> out;
    for (const QByteArray &line : getentOutput.split('\n')) {
        const QList<QByteArray> words = line.simplified().split(' ');
        for (qsizetype i = 1; i < words.size(); ++i)
            out.insert(words[i], words[0]);
    }
    return out;
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestHostsHelper : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void hostNameRules_data();
    void hostNameRules();
    void blockEditing_data();
    void blockEditing();
    void helperRefusesWhatIsNoHostName_data();
    void helperRefusesWhatIsNoHostName();
    void helperNeverWritesThroughALink_data();
    void helperNeverWritesThroughALink();
    void runsOfTheHelperFollowOneAnother();
    void aChangeThatFailsKeepsTheBackup();
    void systemApplyAndRemoveInPrivateNamespace();
};

void TestHostsHelper::hostNameRules_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<bool>("blockable");
    const struct
    {
        const char *name;
        bool blockable;
    } cases[] = {
        {"ads.example.com", true},
        {"xn--werbung-9wa.example", true},
        {"102.112.2o7.net", true},
        {"my_tracker.example", true},
        {"a", true},
        {"0.0.0.0", false},
        {"192.168.1.10", false},
        {"::1", false},
        {"fe80::1%lo0", false},
        {"localhost", false},
        {"LocalHost", false},
        {"ads.localhost", false},
        {"", false},
        {"two words", false},
        {"tab\tname", false},
        {"#comment", false},
        {"ads.example#x", false},
        {"ads..example", false},
        {".ads.example", false},
        {"ads.example.", false},
        {"-ads.example", false},
        {"ads.example\r", false},
        {"ads\x01.example", false},
        {"werbung-f\xc3\xbcr.example", false},
        {"werbung-f\xfcr.example", false},
    };
    for (const auto &c : cases)
        QTest::newRow(c.name) << QByteArray(c.name) << c.blockable;
    QTest::newRow("254 characters")
        << QByteArray(126, 'a').append('.').append(QByteArray(127, 'b')) << false;
    QTest::newRow("label of 64") << QByteArray(64, 'a').append(".example") << false;
    QTest::newRow("label of 63") << QByteArray(63, 'a').append(".example") << true;
}

void TestHostsHelper::hostNameRules()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, blockable);
    QCOMPARE(isBlockableHostName(name), blockable);
}

void TestHostsHelper::blockEditing_data()
{
    QTest::addColumn<QByteArray>("current");
    QTest::addColumn<QList<QByteArray>>("names");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<QString>("error");

    const QByteArray begin = QByteArray(kBlockBegin.data(), kBlockBegin.size()) +
                             " (written by kvorn-hosts-helper; replaced on every apply)\n";
    const QByteArray end = QByteArray(kBlockEnd.data(), kBlockEnd.size()) + '\n';
    const QByteArray block = begin + "127.0.0.1      a.example\n127.0.0.1      b.example\n" + end;
    const QList<QByteArray> ab{"a.example", "b.example"};

    QTest::newRow("first apply") << kMachineHosts << ab << kMachineHosts + block << QString();
    QTest::newRow("no final line end") << QByteArray("127.0.0.1 localhost") << ab
                                       << QByteArray("127.0.0.1 localhost\n") + block << QString();
    QTest::newRow("no file") << QByteArray() << ab << block << QString();
    // The old block goes wherever it stood, and lines the administrator added after it stay.
    QTest::newRow("apply again") << kMachineHosts + begin + "127.0.0.1 old.example\n" + end +
                                        "10.0.0.1 nas\n"
                                 << QList<QByteArray>{"c.example"}
                                 << kMachineHosts + "10.0.0.1 nas\n" + begin +
                                        "127.0.0.1      c.example\n" + end
                                 << QString();
    QTest::newRow("remove") << kMachineHosts + block << QList<QByteArray>() << kMachineHosts
                            << QString();
    QTest::newRow("remove, CR LF kept")
        << QByteArray("127.0.0.1 localhost\r\n") + block + "10.0.0.1 nas\r\n"
        << QList<QByteArray>() << QByteArray("127.0.0.1 localhost\r\n10.0.0.1 nas\r\n")
        << QString();
    QTest::newRow("block without end")
        << kMachineHosts + begin + "127.0.0.1 a.example\n" + "10.0.0.1 nas\n"
        << ab << QByteArray() << QStringLiteral("no end line");
    QTest::newRow("end without block")
        << kMachineHosts + end << ab << QByteArray() << QStringLiteral("without its begin");
    QTest::newRow("an address as a name") << kMachineHosts << QList<QByteArray>{"10.0.0.1"}
                                          << QByteArray() << QStringLiteral("not a host name");
}

void TestHostsHelper::blockEditing()
{
    QFETCH(QByteArray, current);
    QFETCH(QList<QByteArray>, names);
    QFETCH(QByteArray, expected);
    QFETCH(QString, error);

    const QList<QByteArrayView> views(names.cbegin(), names.cend());
    QString why;
    const auto result = withBlock(current, views, &why);
    if (error.isEmpty()) {
        QVERIFY2(result, qPrintable(why));
        QCOMPARE(*result, expected);
    } else {
        QVERIFY(!result);
        QVERIFY2(why.contains(error), qPrintable(why));
    }
}

void TestHostsHelper::helperRefusesWhatIsNoHostName_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<bool>("underPkexec");
    QTest::newRow("an address line") << QByteArray("ads.example\n10.0.0.1 bank.example\n") << false;
    QTest::newRow("a comment") << QByteArray("# comment\n") << false;
    QTest::newRow("a trailing comment") << QByteArray("ads.example # x\n") << false;
    QTest::newRow("an empty line") << QByteArray("ads.example\n\nb.example\n") << false;
    QTest::newRow("a control character") << QByteArray("ads.example\x0b"
                                                       "evil\n")
                                         << false;
    QTest::newRow("a carriage return") << QByteArray("ads.example\r\n") << false;
    QTest::newRow("a block marker") << QByteArray("# END K-Vorn banner blocking\n") << false;
    // Under pkexec the caller may not pick the file the helper writes.
    QTest::newRow("a chosen file under pkexec") << QByteArray("ads.example\n") << true;
}

void TestHostsHelper::helperRefusesWhatIsNoHostName()
{
    QFETCH(QByteArray, input);
    QFETCH(bool, underPkexec);
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("hosts"));
    QFile file(target);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(kMachineHosts);
    file.close();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (underPkexec)
        environment.insert(QStringLiteral("PKEXEC_UID"), QStringLiteral("1000"));
    const HelperRun run = runHelper({QStringLiteral("--target"), target, QStringLiteral("apply")},
                                    input, environment);
    QCOMPARE(run.exitCode, 1);
    QVERIFY(!run.errors.isEmpty());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), kMachineHosts);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"hosts"});
}

void TestHostsHelper::helperNeverWritesThroughALink_data()
{
    QTest::addColumn<bool>("victimExists");
    QTest::newRow("a link to a file") << true;
    QTest::newRow("a link to nothing yet") << false;
}

void TestHostsHelper::helperNeverWritesThroughALink()
{
    // Somebody laid a link where the backup goes; the helper runs as root and would write
    // wherever it leads.
    QFETCH(bool, victimExists);
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("hosts"));
    const QString victim = dir.filePath(QStringLiteral("shadow"));
    QVERIFY(writeFile(target, kMachineHosts));
    if (victimExists)
        QVERIFY(writeFile(victim, "root:x:0:0\n"));
    QVERIFY(QFile::link(victim, target + QStringLiteral(".kvorn-backup")));

    const HelperRun run =
        runHelper({QStringLiteral("--target"), target, QStringLiteral("apply")}, "ads.example\n");
    QVERIFY2(run.exitCode == 0, run.errors.constData());
    QCOMPARE(QFileInfo::exists(victim), victimExists);
    if (victimExists)
        QCOMPARE(readFile(victim), QByteArray("root:x:0:0\n"));
    const QFileInfo backup(target + QStringLiteral(".kvorn-backup"));
    QVERIFY(!backup.isSymLink());
    QCOMPARE(readFile(backup.filePath()), kMachineHosts);
    QVERIFY(readFile(target).contains("127.0.0.1      ads.example\n"));
}

void TestHostsHelper::runsOfTheHelperFollowOneAnother()
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("hosts"));
    QVERIFY(writeFile(target, kMachineHosts));
    // Another run holds the lock for its whole change.
    const int lock = ::open(QFile::encodeName(target + QStringLiteral(".kvorn-lock")).constData(),
                            O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    QVERIFY(lock >= 0);
    QCOMPARE(::flock(lock, LOCK_EX), 0);

    QProcess second;
    second.start(kHelper, {QStringLiteral("--target"), target, QStringLiteral("apply")});
    second.write("ads.example\n");
    second.closeWriteChannel();
    QVERIFY(!second.waitForFinished(800));
    QCOMPARE(readFile(target), kMachineHosts);
    // Once the first run is over the second goes on, from what the first left.
    QVERIFY(writeFile(target, kMachineHosts + "10.0.0.1\tnas\n"));
    ::close(lock);
    QVERIFY(second.waitForFinished(20000));
    QVERIFY2(second.exitCode() == 0, second.readAllStandardError().constData());
    const QByteArray after = readFile(target);
    QVERIFY(after.startsWith(kMachineHosts + "10.0.0.1\tnas\n"));
    QVERIFY(after.contains("127.0.0.1      ads.example\n"));
    QCOMPARE(readFile(target + QStringLiteral(".kvorn-backup")),
             kMachineHosts + "10.0.0.1\tnas\n");
}

void TestHostsHelper::aChangeThatFailsKeepsTheBackup()
{
    QTemporaryDir dir;
    const QString etc = dir.filePath(QStringLiteral("etc"));
    // Room for the backup, none for the new hosts file.
    Tmpfs disk(etc, 64);
    if (!disk.mounted())
        QSKIP("mounting a tmpfs needs root");
    const QString target = etc + QStringLiteral("/hosts");
    const QString backup = target + QStringLiteral(".kvorn-backup");
    QVERIFY(writeFile(target, kMachineHosts));
    QVERIFY(writeFile(backup, "the hosts file of last week\n"));
    QByteArray names;
    for (int i = 0; i < 5000; ++i)
        names += "server-" + QByteArray::number(i) + ".ads.example\n";

    const HelperRun run = runHelper({QStringLiteral("--target"), target, QStringLiteral("apply")},
                                    names);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(readFile(target), kMachineHosts);
    QCOMPARE(readFile(backup), QByteArray("the hosts file of last week\n"));
    QVERIFY2(run.errors.contains("No space left on device"), run.errors.constData());
    QCOMPARE(QDir(etc).entryList(QDir::Files | QDir::Hidden),
             (QStringList{QStringLiteral("hosts"), QStringLiteral("hosts.kvorn-backup"),
                          QStringLiteral("hosts.kvorn-lock")}));
}

void TestHostsHelper::systemApplyAndRemoveInPrivateNamespace()
{
    if (::geteuid() != 0)
        QSKIP("needs root: the helper runs on /etc/hosts of a private mount namespace");

    QFile realHosts(QStringLiteral("/etc/hosts"));
    QVERIFY(realHosts.open(QIODevice::ReadOnly));
    const QByteArray realBefore = realHosts.readAll();

    // The servers of groups ticked in a real published list, as the program sends them.
    CoreRig core;
    BannerList list(core.env.programFolder(), core.tray, core.clock, core.controller);
    QVERIFY(
        list.importList(dataFile(QStringLiteral("banner/stevenblack-2017-excerpt.hosts"))).ok());
    list.LoadBannerList();
    const QStringList tick{" [General]", " [Google]", " use finer grained hostnames?"};
    for (int row = 0; row < list.rowCount(); ++row) {
        if (tick.contains(list.groups()[std::size_t(row)].name))
            list.setSelected(row, true);
    }
    QVERIFY(list.apply());
    const QByteArray names = list.blockedServerNames();
    const QList<QByteArray> servers = names.trimmed().split('\n');
    QCOMPARE(servers.size(), 80 + 3 + 2);
    const QList<QByteArray> neverBlocked{"use",
                                         "finer",
                                         "grained",
                                         "[General]",
                                         "General",
                                         "tracking.applift.com",
                                         "ad.doubleclick.net",
                                         "applift.com"};

    // A copy of /etc in which only the hosts file answers host look-ups, so that no query
    // leaves the machine; bound over /etc, not over the file, so that the helper's rename
    // works as it does on a real /etc.
    QTemporaryDir dir;
    const QString etc = dir.filePath(QStringLiteral("etc"));
    QVERIFY(QDir().mkpath(etc));
    QCOMPARE(QProcess::execute(QStringLiteral("sh"),
                               {QStringLiteral("-c"),
                                QStringLiteral("cp -a /etc/. \"$0\"/ 2>/dev/null; exit 0"), etc}),
             0);
    QVERIFY(QFile::remove(etc + QStringLiteral("/hosts")) ||
            !QFile::exists(etc + QStringLiteral("/hosts")));
    const auto write = [](const QString &path, const QByteArray &data) {
        QFile::remove(path);
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
    };
    QVERIFY(write(etc + QStringLiteral("/hosts"), kMachineHosts));
    QVERIFY(write(etc + QStringLiteral("/nsswitch.conf"),
                  "passwd: files\ngroup: files\nshadow: files\nhosts: files\n"));
    QVERIFY(write(dir.filePath(QStringLiteral("names")), names));
    QList<QByteArray> queries = servers + neverBlocked;
    queries << "printer.lan"
            << "printer";
    QVERIFY(write(dir.filePath(QStringLiteral("queries")), queries.join(' ')));

    const QString script = QStringLiteral(R"(set -e
out=$1
mount --bind "$out/etc" /etc
mount -t tmpfs tmpfs /run
"$HELPER" apply < "$out/names"
test -f /run/kvorn-hosts-helper.lock
! test -e /etc/hosts.kvorn-lock
getent hosts $(cat "$out/queries") > "$out/applied.getent" || true
cp /etc/hosts "$out/applied.hosts"
cp /etc/hosts.kvorn-backup "$out/applied.backup"
"$HELPER" remove
getent hosts $(cat "$out/queries") > "$out/removed.getent" || true
cp /etc/hosts "$out/removed.hosts"
)");
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HELPER"), kHelper);
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral("unshare"),
                  {QStringLiteral("-m"), QStringLiteral("--propagation"), QStringLiteral("private"),
                   QStringLiteral("sh"), QStringLiteral("-c"), script, QStringLiteral("sh"),
                   dir.path()});
    QVERIFY(process.waitForFinished(60000));
    const QByteArray errors = process.readAllStandardError();
    if (process.exitCode() != 0 && errors.contains("unshare"))
        QSKIP(qPrintable(QStringLiteral("no private mount namespace here: ") +
                         QString::fromLocal8Bit(errors)));
    QVERIFY2(process.exitCode() == 0, errors.constData());

    const auto read = [&dir](const char *name) {
        QFile file(dir.filePath(QString::fromLatin1(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    const QHash<QByteArray, QByteArray> applied = resolved(read("applied.getent"));
    for (const QByteArray &server : servers)
        QVERIFY2(applied.value(server) == "127.0.0.1", server.constData());
    for (const QByteArray &word : neverBlocked)
        QVERIFY2(!applied.contains(word), word.constData());
    QCOMPARE(applied.value("printer.lan"), QByteArray("192.0.2.7"));
    QCOMPARE(applied.value("printer"), QByteArray("192.0.2.7"));
    QVERIFY(read("applied.hosts").startsWith(kMachineHosts + kBlockBegin.toByteArray()));
    QCOMPARE(read("applied.backup"), kMachineHosts);

    const QHash<QByteArray, QByteArray> removed = resolved(read("removed.getent"));
    for (const QByteArray &server : servers)
        QVERIFY2(!removed.contains(server), server.constData());
    QCOMPARE(removed.value("printer.lan"), QByteArray("192.0.2.7"));
    QCOMPARE(read("removed.hosts"), kMachineHosts);
    // The real /etc/hosts was never touched.
    QFile real(QStringLiteral("/etc/hosts"));
    QVERIFY(real.open(QIODevice::ReadOnly));
    QCOMPARE(real.readAll(), realBefore);
}

QTEST_GUILESS_MAIN(TestHostsHelper)
#include "test_hosts_helper.moc"

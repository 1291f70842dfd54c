// SPDX-License-Identifier: GPL-3.0-or-later
// The banner blocker with a list of the size published hosts lists have: 250,000
// "0.0.0.0" servers under 2,500 group comments.
#include "banner/BannerFiles.h"
#include "banner/BannerImport.h"
#include "banner/BannerList.h"
#include "fakes/Fakes.h"
#include "platform/Clock.h"
#include "platform/TrayIcon.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

using namespace kvorn;

namespace {

constexpr int kGroups = 2500;
constexpr int kServersPerGroup = 100;

struct Fixture
{
    QTemporaryDir dir;
    QString source = dir.filePath(QStringLiteral("hosts-published"));
    QString home = dir.filePath(QStringLiteral("home"));
    QString copyTarget = dir.filePath(QStringLiteral("copied"));

    Fixture()
    {
        QDir().mkpath(home);
        QByteArray data = "# A published hosts list\r\n# of advertising servers\r\n"
                          "127.0.0.1  localhost\r\n::1  localhost\r\n\r\n";
        data.reserve(8 << 20);
        int server = 0;
        for (int g = 0; g < kGroups; ++g) {
            data += "# [Ad network number " + QByteArray::number(g) + "]\r\n";
            for (int s = 0; s < kServersPerGroup; ++s, ++server)
                data += "0.0.0.0 ad" + QByteArray::number(server) + ".adserver.example.com\r\n";
        }
        QFile file(source);
        if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
            qFatal("cannot write the benchmark source");
    }
};

Fixture &fixture()
{
    static Fixture f;
    return f;
}

void runCp(const QString &from, const QString &to)
{
    if (QProcess::execute(QStringLiteral("cp"), {from, to}) != 0)
        qFatal("cp failed");
}

void BM_ImportHostsList(benchmark::State &state)
{
    Fixture &f = fixture();
    for (auto _ : state) {
        const BannerImportResult r = importBannerList(f.source, f.home, QStringLiteral("12/9/26"));
        if (!r.ok() || r.groups != kGroups || r.servers != kGroups * kServersPerGroup)
            state.SkipWithError("import failed");
    }
}
BENCHMARK(BM_ImportHostsList)->Unit(benchmark::kMillisecond);

void BM_CopyWithCp(benchmark::State &state)
{
    Fixture &f = fixture();
    for (auto _ : state)
        runCp(f.source, f.copyTarget);
}
BENCHMARK(BM_CopyWithCp)->Unit(benchmark::kMillisecond);

// Both in turn in every iteration, so that disk and cache conditions are the same.
void BM_ImportAgainstCp(benchmark::State &state)
{
    Fixture &f = fixture();
    qint64 importNs = 0;
    qint64 cpNs = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        importBannerList(f.source, f.home, QStringLiteral("12/9/26"));
        importNs += timer.nsecsElapsed();
        timer.restart();
        runCp(f.source, f.copyTarget);
        cpNs += timer.nsecsElapsed();
    }
    state.counters["import_ms"] = double(importNs) / 1e6 / double(state.iterations());
    state.counters["cp_ms"] = double(cpNs) / 1e6 / double(state.iterations());
    state.counters["import_per_cp"] = double(importNs) / double(cpNs);
}
BENCHMARK(BM_ImportAgainstCp)->Unit(benchmark::kMillisecond);

// Loading "banner.kbl" and reading every cell a view may ask for.
void BM_LoadAndShowGroups(benchmark::State &state)
{
    Fixture &f = fixture();
    importBannerList(f.source, f.home, QStringLiteral("12/9/26"));
    test::FakeTrayIcon tray;
    SystemClock clock;
    BannerList list(f.home, tray, clock, [](int, int, const QString &) {});
    for (auto _ : state) {
        list.LoadBannerList();
        qsizetype chars = 0;
        for (int row = 0; row < list.rowCount(); ++row) {
            chars += list.index(row, 0).data().toString().size();
            chars += list.index(row, 1).data().toString().size();
            benchmark::DoNotOptimize(list.index(row, 0).data(Qt::CheckStateRole));
        }
        if (list.rowCount() != kGroups)
            state.SkipWithError("wrong row count");
        benchmark::DoNotOptimize(chars);
    }
}
BENCHMARK(BM_LoadAndShowGroups)->Unit(benchmark::kMillisecond);

// "Apply" with every group ticked: both files written, then the list loaded again.
void BM_ApplyAllTicked(benchmark::State &state)
{
    Fixture &f = fixture();
    importBannerList(f.source, f.home, QStringLiteral("12/9/26"));
    test::FakeTrayIcon tray;
    SystemClock clock;
    BannerList list(f.home, tray, clock, [](int, int, const QString &) {});
    list.LoadBannerList();
    for (auto _ : state) {
        list.selectAll();
        if (!list.apply())
            state.SkipWithError("apply failed");
    }
}
BENCHMARK(BM_ApplyAllTicked)->Unit(benchmark::kMillisecond);

constexpr int kTickedGroups = 1000; // 100,000 servers

/// A list imported from the fixture with the first 100,000 servers ticked.
struct TickedList
{
    test::FakeTrayIcon tray;
    SystemClock clock;
    BannerList list{fixture().home, tray, clock, [](int, int, const QString &) {}};

    TickedList()
    {
        importBannerList(fixture().source, fixture().home, QStringLiteral("12/9/26"));
        list.LoadBannerList();
        list.selectNone();
        for (int row = 0; row < kTickedGroups; ++row)
            list.setSelected(row, true);
    }
};

// "Apply" of 100,000 ticked servers: "hosts" and "banner.kbl" written from "banner.kpm",
// then the list loaded again; against cp of the written hosts file, in turn.
void BM_ApplyHundredThousandAgainstCp(benchmark::State &state)
{
    Fixture &f = fixture();
    TickedList ticked;
    const QString hosts = QDir(f.home).filePath(QStringLiteral("hosts"));
    qint64 applyNs = 0;
    qint64 cpNs = 0;
    for (auto _ : state) {
        QElapsedTimer timer;
        timer.start();
        if (!ticked.list.apply())
            state.SkipWithError("apply failed");
        applyNs += timer.nsecsElapsed();
        timer.restart();
        runCp(hosts, f.copyTarget);
        cpNs += timer.nsecsElapsed();
        for (int row = 0; row < kTickedGroups; ++row)
            ticked.list.setSelected(row, true);
    }
    if (ticked.list.blockedServerNames().count('\n') != kTickedGroups * kServersPerGroup)
        state.SkipWithError("wrong number of servers");
    state.counters["apply_ms"] = double(applyNs) / 1e6 / double(state.iterations());
    state.counters["cp_ms"] = double(cpNs) / 1e6 / double(state.iterations());
    state.counters["apply_per_cp"] = double(applyNs) / double(cpNs);
}
BENCHMARK(BM_ApplyHundredThousandAgainstCp)->Unit(benchmark::kMillisecond);

// "Apply to System" without pkexec: the helper run directly on a copy of a machine's hosts
// file with the 100,000 names the program sends; against cp of the file it wrote.
void BM_SystemApplyAgainstCp(benchmark::State &state)
{
    Fixture &f = fixture();
    TickedList ticked;
    ticked.list.apply();
    const QByteArray names = ticked.list.blockedServerNames();
    const QString target = f.dir.filePath(QStringLiteral("etc-hosts"));
    const QString helper = QStringLiteral(KVORN_HOSTS_HELPER);
    qint64 helperNs = 0;
    qint64 cpNs = 0;
    for (auto _ : state) {
        QFile machine(target);
        if (!machine.open(QIODevice::WriteOnly) ||
            machine.write("127.0.0.1\tlocalhost\n::1\tlocalhost ip6-localhost\n") <= 0)
            state.SkipWithError("cannot write the machine's hosts file");
        machine.close();
        QElapsedTimer timer;
        timer.start();
        QProcess process;
        process.start(helper, {QStringLiteral("--target"), target, QStringLiteral("apply")});
        process.write(names);
        process.closeWriteChannel();
        if (!process.waitForFinished(30000) || process.exitCode() != 0)
            state.SkipWithError("the helper failed");
        helperNs += timer.nsecsElapsed();
        timer.restart();
        runCp(target, f.copyTarget);
        cpNs += timer.nsecsElapsed();
    }
    state.counters["helper_ms"] = double(helperNs) / 1e6 / double(state.iterations());
    state.counters["cp_ms"] = double(cpNs) / 1e6 / double(state.iterations());
    state.counters["helper_per_cp"] = double(helperNs) / double(cpNs);
}
BENCHMARK(BM_SystemApplyAgainstCp)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

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

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// Merging a popup update list of 200,000 titles from the update server into a black list
// the user already has, the way the update session does it (the work on a worker thread,
// the exchange of the list on the window's thread). Reports the merge's wall time and the
// longest time the event loop was held up meanwhile. Target: under 5 s, and no block of
// 100 ms or more.

#include "core/DateText.h"
#include "fakes/CoreRig.h"
#include "popups/PopupLists.h"
#include "update/DownloadMerge.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>

using namespace kvorn;

namespace {

constexpr int kTitles = 200000;
constexpr int kOwnEntries = 20000;

// Mostly plain titles, some patterns, a few repeats and a few lines a careful server
// would never send.
QByteArray updateList()
{
    QByteArray data;
    data.reserve(kTitles * 40);
    for (int i = 0; i < kTitles; ++i) {
        switch (i % 20) {
        case 0:
            data += "*bonus " + QByteArray::number(i) + " casino*";
            break;
        case 1:
            data += "Win a Prize " + QByteArray::number(i - 1) + " - Offer";
            break;
        case 2:
            data += "*";
            break;
        default:
            data += "Great Deals Window " + QByteArray::number(i) + " - Special Offer";
            break;
        }
        data += "\r\n";
    }
    return data;
}

std::vector<PopupEntry> ownEntries()
{
    std::vector<PopupEntry> entries;
    for (int i = 0; i < kOwnEntries; ++i)
        entries.push_back({QStringLiteral("My Blocked Popup %1").arg(i), true,
                           QStringLiteral("01/01/01"), {}});
    return entries;
}

void BM_PopupUpdateMerge200k(benchmark::State &state)
{
    const QByteArray list = updateList();
    double longestBlockMs = 0;
    int added = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto core = std::make_unique<test::CoreRig>();
        auto lists = std::make_unique<PopupLists>(
            PopupLists::Services{core->controller, core->tray, core->clock},
            core->env.programFolder());
        lists->blackList().assign(ownEntries());
        core->env.writeFile(kPopupUpdateFile, list);
        PopupUpdateMerge merge(*lists, core->controller, core->env.programFolder(),
                               shortDateText(core->clock.now().date()));
        QEventLoop loop;
        QObject::connect(&merge, &PopupUpdateMerge::finished, &loop, &QEventLoop::quit);
        QElapsedTimer sinceTick;
        QTimer ticker;
        ticker.setInterval(1);
        QObject::connect(&ticker, &QTimer::timeout, &loop, [&] {
            longestBlockMs = std::max(longestBlockMs, double(sinceTick.nsecsElapsed()) / 1e6);
            sinceTick.restart();
        });
        state.ResumeTiming();

        sinceTick.start();
        ticker.start();
        merge.start();
        loop.exec();

        state.PauseTiming();
        ticker.stop();
        added = merge.counters().added;
        lists.reset();
        core.reset();
        state.ResumeTiming();
    }
    state.counters["added"] = added;
    state.counters["longest_block_ms"] = longestBlockMs;
    std::printf("popup update merge of %d titles: longest event loop block %.1f ms\n", kTitles,
                longestBlockMs);
}
BENCHMARK(BM_PopupUpdateMerge200k)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

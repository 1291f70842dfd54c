// SPDX-License-Identifier: GPL-3.0-or-later
// The popup killer's own survey and kill pass on a desktop of 50 top-level windows, 10 of
// them browser windows, on an Xvfb display of the benchmark's own, with lists of a size a
// long-time user has (2,000 black-list patterns, 200 white-list entries, hidden exempt
// windows on). Beside them, in the same run, the bare reading of the window survey: what
// the killer adds to it is the cost of its lists.
//
//   bench_popupkiller                 the benchmarks
//   bench_popupkiller --idle [s]      the whole killer on its own timers for s seconds
//                                     (default 60): CPU of this process and of the X server
#include "MedianReporter.h"
#include "fakes/KillerRig.h"
#include "platform/x11/X11WindowSystem.h"
#include "popups/DetectedListModel.h"
#include "x11/CpuTime.h"
#include "x11/SurveyLoad.h"
#include "x11/VirtualDisplay.h"
#include "x11/WindowCrowd.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

using namespace kvorn;
using namespace kvorn::test;

namespace {

constexpr int kWindows = 50;
constexpr int kBrowsers = 10;
QByteArray g_display;

// The killer with its core, lists and log in a private home, over the display.
struct Killer
{
    X11WindowSystem windows{g_display.constData()};
    KillerRig rig{windows};

    Killer()
    {
        rig.core.options.HideExempt = true;
        for (int i = 0; i < 2000; ++i)
            rig.lists.AddBlackListEntry(QStringLiteral("*offer%1*win*").arg(i), true, true);
        for (int i = 0; i < 200; ++i)
            rig.lists.whiteList().append({QStringLiteral("*bank%1*").arg(i), true, {}, {}});
        for (int i = 0; i < 50; ++i)
            rig.lists.bannedList().append({QStringLiteral("banned %1").arg(i), true, {}, {}});
    }
};

void BM_SurveyReadingOnly(benchmark::State &state)
{
    X11WindowSystem windows(g_display.constData());
    if (surveyLoad(windows) != kBrowsers) {
        state.SkipWithError("the desktop does not hold the expected browser windows");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(surveyLoad(windows));
}

void BM_SurveyWindowsUnchanged(benchmark::State &state)
{
    Killer k;
    k.rig.killer.SurveyWindows();
    if (k.rig.lists.detectedList().count() != kBrowsers) {
        state.SkipWithError("the survey did not find the browser windows");
        return;
    }
    const std::uint64_t trips = k.windows.roundTrips();
    for (auto _ : state)
        k.rig.killer.SurveyWindows();
    state.counters["round_trips"] = double(k.windows.roundTrips() - trips);
}

void BM_KillPassNothingToKill(benchmark::State &state)
{
    Killer k;
    k.rig.killer.SurveyWindows();
    for (auto _ : state) {
        k.rig.loop.requestMonitorRecheck();
        k.rig.killer.tmrMonitor_Timer();
    }
    if (k.rig.log.KilledPops() != 0)
        state.SkipWithError("the pass closed a window");
}

int runIdle(QCoreApplication &app, const VirtualDisplay &display, int seconds)
{
    Killer k;
    long surveys = 0;
    long passes = 0;
    QObject::connect(&k.rig.loop, &PopupLoop::surveyRequested, &app, [&] { ++surveys; });
    QObject::connect(&k.rig.loop, &PopupLoop::killPassRequested, &app, [&] { ++passes; });
    const double cpu0 = processCpuSeconds();
    const double server0 = otherCpuSeconds(display.serverProcessId());
    QElapsedTimer clock;
    clock.start();
    k.rig.core.controller.load();
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    QCoreApplication::exec();
    const double wall = double(clock.elapsed()) / 1000.0;
    const double cpu = processCpuSeconds() - cpu0;
    const double server = otherCpuSeconds(display.serverProcessId()) - server0;
    std::printf("%ld surveys, %ld monitor ticks in %.1f s; %d windows detected, %lld killed\n",
                surveys, passes, wall, k.rig.lists.detectedList().count(),
                static_cast<long long>(k.rig.log.KilledPops()));
    std::printf("killer CPU %.3f s = %.3f %% of one core (target under 0.5 %%); X server CPU "
                "%.3f s = %.3f %%\n",
                cpu, 100.0 * cpu / wall, server, 100.0 * server / wall);
    return 0;
}

} // namespace

BENCHMARK(BM_SurveyReadingOnly)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_SurveyWindowsUnchanged)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_KillPassNothingToKill)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    VirtualDisplay display;
    if (!display.isReady()) {
        std::fprintf(stderr, "bench_popupkiller: no display: %s\n",
                     qPrintable(display.errorText()));
        return 1;
    }
    g_display = display.name();
    WindowCrowd crowd(g_display);
    if (!crowd.fillDesktop(kWindows, kBrowsers)) {
        std::fprintf(stderr, "bench_popupkiller: the window manager did not take the windows\n");
        return 1;
    }
    if (argc > 1 && std::strcmp(argv[1], "--idle") == 0)
        return runIdle(app, display, argc > 2 ? std::atoi(argv[2]) : 60);

    benchmark::Initialize(&argc, argv);
    bench::MedianReporter reporter([](const bench::MedianReporter &r) {
        std::printf("median CPU: survey %.2f us (reading alone %.2f us; target under 100 us), "
                    "kill pass with nothing to kill %.2f us\n",
                    r.median("BM_SurveyWindowsUnchanged"), r.median("BM_SurveyReadingOnly"),
                    r.median("BM_KillPassNothingToKill"));
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

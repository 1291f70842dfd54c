// SPDX-License-Identifier: GPL-3.0-or-later
// The window survey under a Wayland compositor: headless sway with 20 top-level windows,
// 6 of them browser windows (foot terminals carrying browsers' app ids). The compositor
// pushes every change, so a survey over an unchanged desktop should read only what is
// kept and never wait for the compositor.
#include "MedianReporter.h"
#include "platform/wayland/WaylandWindowSystem.h"
#include "wayland/HeadlessSway.h"
#include "x11/SurveyLoad.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>
#include <vector>

using namespace kvorn;
using namespace kvorn::test;

namespace {

constexpr int kWindows = 20;
constexpr int kBrowsers = 6;
QByteArray g_socket;

void BM_WaylandSurveyUnchanged(benchmark::State &state)
{
    WaylandWindowSystem windows(g_socket.constData());
    if (surveyLoad(windows) != kBrowsers) {
        state.SkipWithError("the desktop does not hold the expected browser windows");
        return;
    }
    const std::uint64_t trips = windows.roundTrips();
    for (auto _ : state)
        benchmark::DoNotOptimize(surveyLoad(windows));
    state.counters["round_trips"] = double(windows.roundTrips() - trips);
}

} // namespace

BENCHMARK(BM_WaylandSurveyUnchanged)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    HeadlessSway sway;
    if (!sway.isReady()) {
        std::fprintf(stderr, "bench_wayland_survey: no compositor: %s\n",
                     qPrintable(sway.errorText()));
        return 1;
    }
    g_socket = sway.socket();
    std::vector<std::unique_ptr<FootWindow>> crowd;
    for (int i = 0; i < kWindows; ++i) {
        const bool browser = i < kBrowsers;
        crowd.push_back(std::make_unique<FootWindow>(
            sway, browser ? QStringLiteral("chromium") : QStringLiteral("foot"),
            QStringLiteral("Window %1 - %2")
                .arg(i)
                .arg(browser ? QStringLiteral("Chromium") : QStringLiteral("foot"))));
    }
    {
        WaylandWindowSystem probe(g_socket.constData());
        QDeadlineTimer deadline(30000);
        while (probe.titledWindows().size() < kWindows && !deadline.hasExpired())
            QThread::msleep(50);
        if (probe.titledWindows().size() < kWindows) {
            std::fprintf(stderr, "bench_wayland_survey: the compositor did not show the windows\n");
            return 1;
        }
    }
    benchmark::Initialize(&argc, argv);
    bench::MedianReporter reporter([](const bench::MedianReporter &r) {
        const double cached = r.median("BM_WaylandSurveyUnchanged");
        if (cached > 0)
            std::printf("median CPU per survey under sway: %.2f us (target: under 100 us, no "
                        "round trip)\n",
                        cached);
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// The window survey on a desktop of 50 top-level windows, 10 of them browser windows,
// on an Xvfb display of the benchmark's own: the cached survey over an unchanged desktop
// against a naive survey that asks the X server for every window's class and title on
// every tick.
#include "MedianReporter.h"
#include "platform/x11/X11WindowSystem.h"
#include "x11/SurveyLoad.h"
#include "x11/VirtualDisplay.h"
#include "x11/WindowCrowd.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <map>
#include <memory>
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>
#include <xcb/xcb_icccm.h>

using namespace kvorn;
using namespace kvorn::test;

namespace {

constexpr int kWindows = 50;
constexpr int kBrowsers = 10;
QByteArray g_display;

// Reads everything afresh, one request and one wait per property, as a survey without
// a cache would.
class NaiveSurvey
{
public:
    explicit NaiveSurvey(const char *display)
    {
        m_c = xcb_connect(display, nullptr);
        xcb_ewmh_init_atoms_replies(&m_ewmh, xcb_ewmh_init_atoms(m_c, &m_ewmh), nullptr);
    }
    ~NaiveSurvey()
    {
        xcb_ewmh_connection_wipe(&m_ewmh);
        xcb_disconnect(m_c);
    }

    int run()
    {
        int browsers = 0;
        xcb_ewmh_get_windows_reply_t list;
        if (!xcb_ewmh_get_client_list_reply(&m_ewmh, xcb_ewmh_get_client_list(&m_ewmh, 0), &list,
                                            nullptr))
            return 0;
        for (uint32_t i = 0; i < list.windows_len; ++i) {
            const xcb_window_t w = list.windows[i];
            QString title;
            xcb_ewmh_get_utf8_strings_reply_t name;
            if (xcb_ewmh_get_wm_name_reply(&m_ewmh, xcb_ewmh_get_wm_name(&m_ewmh, w), &name,
                                           nullptr)) {
                title = QString::fromUtf8(name.strings, name.strings_len);
                xcb_ewmh_get_utf8_strings_reply_wipe(&name);
            }
            if (title.isEmpty()) {
                xcb_icccm_get_text_property_reply_t legacy;
                if (xcb_icccm_get_wm_name_reply(m_c, xcb_icccm_get_wm_name(m_c, w), &legacy,
                                                nullptr)) {
                    title = QString::fromLatin1(legacy.name, legacy.name_len);
                    xcb_icccm_get_text_property_reply_wipe(&legacy);
                }
            }
            if (title.isEmpty())
                continue;
            WindowClass windowClass;
            xcb_icccm_get_wm_class_reply_t cls;
            if (xcb_icccm_get_wm_class_reply(m_c, xcb_icccm_get_wm_class(m_c, w), &cls, nullptr)) {
                windowClass = {QString::fromLocal8Bit(cls.instance_name),
                               QString::fromLocal8Bit(cls.class_name)};
                xcb_icccm_get_wm_class_reply_wipe(&cls);
            }
            if (findLinuxBrowserRow(windowClass) && cutBrowserTitle(title))
                ++browsers;
        }
        xcb_ewmh_get_windows_reply_wipe(&list);
        return browsers;
    }

private:
    xcb_connection_t *m_c = nullptr;
    xcb_ewmh_connection_t m_ewmh{};
};

void BM_SurveyCachedUnchanged(benchmark::State &state)
{
    X11WindowSystem windows(g_display.constData());
    if (surveyLoad(windows) != kBrowsers) {
        state.SkipWithError("the desktop does not hold the expected browser windows");
        return;
    }
    const std::uint64_t trips = windows.roundTrips();
    for (auto _ : state)
        benchmark::DoNotOptimize(surveyLoad(windows));
    state.counters["round_trips"] = double(windows.roundTrips() - trips);
}

void BM_SurveyNaiveRoundTrips(benchmark::State &state)
{
    NaiveSurvey naive(g_display.constData());
    if (naive.run() != kBrowsers) {
        state.SkipWithError("the desktop does not hold the expected browser windows");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(naive.run());
}

} // namespace

BENCHMARK(BM_SurveyCachedUnchanged)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_SurveyNaiveRoundTrips)
    ->Unit(benchmark::kMicrosecond)
    ->Repetitions(9)
    ->ReportAggregatesOnly(true);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    VirtualDisplay display;
    if (!display.isReady()) {
        std::fprintf(stderr, "bench_survey: no display: %s\n", qPrintable(display.errorText()));
        return 1;
    }
    g_display = display.name();
    WindowCrowd crowd(g_display);
    if (!crowd.fillDesktop(kWindows, kBrowsers)) {
        std::fprintf(stderr, "bench_survey: the window manager did not take the windows\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    // The medians and the naive pass's cost as a multiple of the cached one.
    bench::MedianReporter reporter([](const bench::MedianReporter &r) {
        const double cached = r.median("BM_SurveyCachedUnchanged");
        const double naive = r.median("BM_SurveyNaiveRoundTrips");
        if (cached > 0 && naive > 0)
            std::printf("median CPU per survey: cached %.2f us, naive %.2f us, naive/cached %.1fx "
                        "(target: cached under 100 us)\n",
                        cached, naive, naive / cached);
    });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

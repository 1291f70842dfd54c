// SPDX-License-Identifier: GPL-3.0-or-later
// How fast a black-listed window is asked to close: on an Xvfb display of its own, with 50
// windows on the desktop, a real browser-class window is retitled into a popup again and
// again, and the time from the title being set to the killer's close request is measured
// with the program's own timers running. Then the killer is left alone with the desktop
// to measure what it costs while nothing happens.
//
// Usage: bench_killlatency [samples (60)] [idle seconds (20)]
#include "EventLoopTiming.h"
#include "KillerRig.h"
#include "platform/x11/X11WindowSystem.h"
#include "x11/CpuTime.h"
#include "x11/TestWindow.h"
#include "x11/VirtualDisplay.h"
#include "x11/WindowCrowd.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace kvorn;
using namespace kvorn::test;
using kvorn::bench::percentile;
using kvorn::bench::runFor;

namespace {

QElapsedTimer g_clock;

// The real window system, noting when the killer asks a window to close.
class TimedWindows final : public WindowSystem
{
public:
    explicit TimedWindows(WindowSystem &real) : m_real(real) {}

    QList<WindowId> titledWindows() override { return m_real.titledWindows(); }
    QList<WindowId> descendants(WindowId w) override { return m_real.descendants(w); }
    QString title(WindowId w) override { return m_real.title(w); }
    WindowClass windowClass(WindowId w) override { return m_real.windowClass(w); }
    QString staticText(WindowId w) override { return m_real.staticText(w); }
    WindowId transientFor(WindowId w) override { return m_real.transientFor(w); }
    bool isDialog(WindowId w) override { return m_real.isDialog(w); }
    bool requestClose(WindowId w) override
    {
        closes.push_back(g_clock.nsecsElapsed());
        return m_real.requestClose(w);
    }
    bool activate(WindowId w) override { return m_real.activate(w); }
    bool sendKey(WindowId w, DialogKey key) override { return m_real.sendKey(w, key); }
    WindowId foregroundWindow() override { return m_real.foregroundWindow(); }
    QString address(WindowId w) override { return m_real.address(w); }
    std::uint64_t changeCount() override { return m_real.changeCount(); }

    std::vector<qint64> closes;

private:
    WindowSystem &m_real;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int samples = argc > 1 ? std::max(5, std::atoi(argv[1])) : 60;
    const int idleSeconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    g_clock.start();

    VirtualDisplay display;
    if (!display.isReady()) {
        std::fprintf(stderr, "bench_killlatency: no display: %s\n",
                     qPrintable(display.errorText()));
        return 1;
    }
    WindowCrowd crowd(display.name());
    if (!crowd.fillDesktop(50, 10)) {
        std::fprintf(stderr, "bench_killlatency: the window manager did not take the windows\n");
        return 1;
    }
    TestWindow::Spec spec;
    spec.instance = QStringLiteral("chromium");
    spec.windowClass = QStringLiteral("Chromium");
    spec.title = QStringLiteral("Calm - Chromium");
    spec.refuseClose = true; // stays, so that every sample retitles the same window
    TestWindow target(display, spec);
    if (!target.isShown()) {
        std::fprintf(stderr, "bench_killlatency: the test window did not show\n");
        return 1;
    }

    X11WindowSystem x11(display.name().constData());
    TimedWindows windows(x11);
    KillerRig rig(windows);
    rig.blackList(QStringLiteral("*casino*"));
    rig.core.controller.load();
    runFor(1000);

    std::vector<double> latencies;
    int missed = 0;
    for (int i = 0; i < samples; ++i) {
        const std::size_t before = windows.closes.size();
        const qint64 set = g_clock.nsecsElapsed();
        crowd.setTitle(target.id(), QStringLiteral("Casino %1 - Chromium").arg(i));
        const QDeadlineTimer deadline(3000);
        // Woken by every event (the killer's own ticks among them), never spinning.
        while (windows.closes.size() == before && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (windows.closes.size() == before)
            ++missed;
        else
            latencies.push_back(double(windows.closes[before] - set) / 1e6);
        // Titles change at any moment of the killer's ticks, not in step with them.
        runFor(150 + int(QRandomGenerator::global()->bounded(250)));
    }
    crowd.setTitle(target.id(), QStringLiteral("Calm again - Chromium"));
    runFor(1000);

    const double cpu0 = processCpuSeconds();
    QElapsedTimer idle;
    idle.start();
    runFor(idleSeconds * 1000);
    const double wall = double(idle.elapsed()) / 1000.0;
    const double cpu = processCpuSeconds() - cpu0;

    const double median = percentile(latencies, 0.5);
    const double p95 = percentile(latencies, 0.95);
    std::printf("%-34s %10s\n", "title set -> close request", "ms");
    std::printf("%-34s %10zu\n", "samples", latencies.size());
    std::printf("%-34s %10d\n", "missed (no request within 3 s)", missed);
    std::printf("%-34s %10.1f\n", "minimum", percentile(latencies, 0.0));
    std::printf("%-34s %10.1f   (target under 150)\n", "median", median);
    std::printf("%-34s %10.1f   (target under 300)\n", "95th percentile", p95);
    std::printf("%-34s %10.1f\n", "maximum", percentile(latencies, 1.0));
    std::printf("idle killer: %.3f s CPU in %.1f s = %.3f %% of one core (target under 0.5 %%)\n",
                cpu, wall, 100.0 * cpu / wall);
    return missed == 0 && median < 150 && p95 < 300 && 100.0 * cpu / wall < 0.5 ? 0 : 2;
}

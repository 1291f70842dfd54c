// SPDX-License-Identifier: GPL-3.0-or-later
// How much CPU a survey every 100 ms costs on a desktop that does not change: 50
// top-level windows, 10 of them browser windows, on an Xvfb display of its own.
// Usage: x11_idle_probe [seconds, default 60]
#include "platform/x11/X11WindowSystem.h"
#include "x11/CpuTime.h"
#include "x11/SurveyLoad.h"
#include "x11/VirtualDisplay.h"
#include "x11/WindowCrowd.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>
#include <cstdio>

using namespace kvorn;
using namespace kvorn::test;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    VirtualDisplay display;
    if (!display.isReady()) {
        std::fprintf(stderr, "no display: %s\n", qPrintable(display.errorText()));
        return 1;
    }
    WindowCrowd crowd(display.name());
    if (!crowd.fillDesktop(50, 10)) {
        std::fprintf(stderr, "the window manager did not take the windows\n");
        return 1;
    }
    X11WindowSystem windows(display.name().constData());
    int found = surveyLoad(windows);

    QTimer tick;
    tick.setInterval(100);
    long ticks = 0;
    QObject::connect(&tick, &QTimer::timeout, &tick, [&] {
        found = surveyLoad(windows);
        ++ticks;
    });
    const double cpu0 = processCpuSeconds();
    const double server0 = otherCpuSeconds(display.serverProcessId());
    const std::uint64_t trips0 = windows.roundTrips();
    QElapsedTimer clock;
    clock.start();
    tick.start();
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    QCoreApplication::exec();
    const double wall = double(clock.elapsed()) / 1000.0;
    const double cpu = processCpuSeconds() - cpu0;
    const double server = otherCpuSeconds(display.serverProcessId()) - server0;
    std::printf("%ld surveys in %.1f s, %d browser windows found, %llu round trips\n", ticks, wall,
                found, static_cast<unsigned long long>(windows.roundTrips() - trips0));
    std::printf("program CPU %.3f s = %.3f %% of one core; X server CPU %.3f s = %.3f %%\n", cpu,
                100.0 * cpu / wall, server, 100.0 * server / wall);
    return 0;
}

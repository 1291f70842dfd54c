// SPDX-License-Identifier: GPL-3.0-or-later
// How soon a new browser window's address is known, and what reading addresses adds to the
// survey tick. On an Xvfb display of its own with a private session and accessibility bus,
// real Chromium and Firefox (accessibility on, no network) open new windows on local pages
// one after another; the time from the window's title showing on X to its address being
// known through the address reader is measured, with the survey's retries as the program
// makes them (every 100 ms). Then the popup killer's survey runs over the open windows
// with the reader and without it, in alternating rounds, and both are timed.
//
// Usage: bench_browseraddress [windows per browser (8)] [survey rounds (20)]
#include "EventLoopTiming.h"
#include "KillerRig.h"
#include "platform/AddressReaderProcess.h"
#include "platform/x11/X11WindowSystem.h"
#include "popups/DetectedListModel.h"
#include "x11/BrowserDesktop.h"
#include "x11/VirtualDisplay.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
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

// The window showing this exact title, or 0.
WindowId windowTitled(X11WindowSystem &x11, const QString &title)
{
    for (const WindowId w : x11.titledWindows()) {
        if (x11.title(w) == title)
            return w;
    }
    return 0;
}

// Opens `count` windows one after another in the browser; for each, the milliseconds from
// its title showing to its address being known (a negative value: not known within 10 s).
std::vector<double> newWindowLatencies(BrowserDesktop &desktop, X11WindowSystem &x11,
                                       AddressReaderProcess &reader, Browser &browser,
                                       const QString &name, const QString &suffix, int count)
{
    std::vector<double> out;
    for (int i = 0; i < count; ++i) {
        const QString pageTitle = QStringLiteral("%1 window %2").arg(name).arg(i);
        const QString url = desktop.page(
            QStringLiteral("%1/%2.html").arg(name).arg(i),
            "<html><head><title>" + pageTitle.toUtf8() + "</title></head><body>" +
                QByteArray(2000, 'x') + "</body></html>");
        const QString title = pageTitle + suffix;
        browser.startWindow(url);
        // The title is looked for every 2 ms; the address is asked for at once, and again
        // at the survey's pace while the reader has not found it.
        WindowId window = 0;
        const QDeadlineTimer appear(30000);
        while (window == 0 && !appear.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
            window = windowTitled(x11, title);
            if (window == 0)
                QThread::msleep(2);
        }
        if (window == 0) {
            std::fprintf(stderr, "%s window %d never showed\n", qPrintable(name), i);
            out.push_back(-1);
            continue;
        }
        const qint64 shown = g_clock.nsecsElapsed();
        QString address = x11.address(window);
        qint64 known = 0;
        QObject guard;
        QObject::connect(&reader, &AddressReaderProcess::addressChanged, &guard,
                         [&](WindowId w) {
                             if (w == window && known == 0)
                                 known = g_clock.nsecsElapsed();
                         });
        QTimer survey;
        QObject::connect(&survey, &QTimer::timeout, &guard, [&] { address = x11.address(window); });
        survey.start(100);
        const QDeadlineTimer deadline(10000);
        while (known == 0 && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        address = x11.address(window);
        if (known == 0 || !address.endsWith(QStringLiteral("/%1.html").arg(i))) {
            std::fprintf(stderr, "%s window %d: no address within 10 s (%s)\n", qPrintable(name),
                         i, qPrintable(address));
            out.push_back(-1);
        } else {
            out.push_back(double(known - shown) / 1e6);
        }
        runFor(300);
    }
    return out;
}

// The survey's wall time in microseconds, over `count` back-to-back surveys.
std::vector<double> surveyTimes(KillerRig &rig, int count)
{
    std::vector<double> out;
    for (int i = 0; i < count; ++i) {
        QElapsedTimer t;
        t.start();
        rig.killer.SurveyWindows();
        out.push_back(double(t.nsecsElapsed()) / 1e3);
        QCoreApplication::processEvents();
    }
    return out;
}

void printLatencies(const char *name, const std::vector<double> &all)
{
    std::vector<double> good;
    for (const double v : all) {
        if (v >= 0)
            good.push_back(v);
    }
    std::printf("%-12s windows %2zu, missed %zu: min %.1f, median %.1f, max %.1f ms\n", name,
                all.size(), all.size() - good.size(), percentile(good, 0), percentile(good, 0.5),
                percentile(good, 1));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int windows = argc > 1 ? std::max(3, std::atoi(argv[1])) : 8;
    const int rounds = argc > 2 ? std::max(2, std::atoi(argv[2])) : 20;
    g_clock.start();

    VirtualDisplay display;
    if (!display.isReady()) {
        std::fprintf(stderr, "bench_browseraddress: no display: %s\n",
                     qPrintable(display.errorText()));
        return 1;
    }
    BrowserDesktop desktop(display, BrowserDesktop::Accessibility::On);
    if (!desktop.isReady()) {
        std::fprintf(stderr, "bench_browseraddress: no desktop bus: %s\n",
                     qPrintable(desktop.errorText()));
        return 1;
    }
    qputenv("DBUS_SESSION_BUS_ADDRESS", desktop.busAddress());
    qputenv("DISPLAY", display.name());
    qputenv("XDG_RUNTIME_DIR",
            desktop.environment().value(QStringLiteral("XDG_RUNTIME_DIR")).toUtf8());
    X11WindowSystem x11(display.name().constData());
    AddressReaderProcess reader(QStringLiteral(KVORN_ADDRESS_READER));
    x11.setAddressSource(&reader);

    std::vector<double> all;
    std::vector<std::unique_ptr<Browser>> browsers;
    struct Kind
    {
        Browser::Kind kind;
        const char *name;
        QString suffix;
    };
    const Kind kinds[] = {{Browser::Kind::Chromium, "chromium", QStringLiteral(" - Chromium")},
                          {Browser::Kind::Firefox, "firefox",
                           QStringLiteral(" \u2014 Mozilla Firefox")}};
    for (const Kind &k : kinds) {
        if (Browser::program(k.kind).isEmpty()) {
            std::printf("%-12s not installed\n", k.name);
            continue;
        }
        // A first window that has been read (so a fresh Chromium is awake), then the
        // measured ones.
        const QString first = desktop.page(QStringLiteral("%1/first.html").arg(QLatin1String(k.name)),
                                           "<html><head><title>First</title></head></html>");
        browsers.push_back(std::make_unique<Browser>(desktop, k.kind, QString::fromLatin1(k.name),
                                                     QStringList{first}));
        const QDeadlineTimer deadline(60000);
        WindowId w = 0;
        while (!deadline.hasExpired()) {
            runFor(100);
            w = windowTitled(x11, QStringLiteral("First") + k.suffix);
            if (w != 0 && !x11.address(w).isEmpty())
                break;
        }
        if (w == 0 || x11.address(w).isEmpty()) {
            std::fprintf(stderr, "%s: the first window has no address\n", k.name);
            return 1;
        }
        const std::vector<double> latencies = newWindowLatencies(
            desktop, x11, reader, *browsers.back(), QString::fromLatin1(k.name), k.suffix, windows);
        printLatencies(k.name, latencies);
        for (const double v : latencies)
            all.push_back(v);
    }
    std::vector<double> good;
    for (const double v : all) {
        if (v >= 0)
            good.push_back(v);
    }
    const double median = percentile(good, 0.5);
    std::printf("%-12s median %.1f ms after the title (target under 50), missed %zu\n", "all",
                median, all.size() - good.size());

    // The survey over the open windows: with every address known and asked for on each
    // survey, and with address reading off. Alternating rounds, so that the machine's
    // load falls on both alike.
    KillerRig rig(x11);
    rig.core.options.HideExempt = false;
    runFor(500);
    std::vector<double> with, without;
    for (int round = 0; round < rounds; ++round) {
        rig.core.options.ReadBrowserAddresses = true;
        for (const double v : surveyTimes(rig, 25))
            with.push_back(v);
        rig.core.options.ReadBrowserAddresses = false;
        for (const double v : surveyTimes(rig, 25))
            without.push_back(v);
    }
    const double costWith = percentile(with, 0.5);
    const double costWithout = percentile(without, 0.5);
    std::printf("survey over %d detected windows: median %.1f us with the reader, %.1f us "
                "without (ratio %.2f, target about 1)\n",
                rig.lists.detectedList().count(), costWith, costWithout,
                costWithout > 0 ? costWith / costWithout : 0.0);
    std::printf("reader: %llu questions asked\n",
                static_cast<unsigned long long>(reader.questions()));
    x11.setAddressSource(nullptr);
    return !good.empty() && median < 50 && costWith < 1.5 * costWithout + 20 ? 0 : 2;
}

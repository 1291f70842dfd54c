// SPDX-License-Identifier: GPL-3.0-or-later
// Two desktops as one: a Wayland session's windows beside its X server's.
#include "FakeWindowSystem.h"
#include "platform/CombinedWindowSystem.h"

#include <QTest>

using namespace kvorn;
using namespace kvorn::test;

class TestCombinedWindows : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void eachWindowGoesToItsOwnSystem()
    {
        FakeWindowSystem x11;
        FakeWindowSystem wayland;
        const WindowId xterm = x11.addWindow({"xterm", "XTerm"}, "Shell");
        const WindowId xOwner = x11.addWindow({"chromium", "Chromium"}, "Shop - Chromium");
        const WindowId xDialog = x11.addDialog(xOwner, {"chromium", "Chromium"}, "Won");
        const WindowId native = wayland.addWindow({"chromium", "chromium", true},
                                                  "Free Casino Bonus - Chromium");
        const WindowId wChild = wayland.addWindow({"foot", "foot", true}, "Child");
        wayland.add({{"foot", "foot", true}, "Grandchild", 0, wChild, false, {}, {}});
        CombinedWindowSystem both(x11, wayland);

        const QList<WindowId> all = both.titledWindows();
        QCOMPARE(all.size(), 6);
        QCOMPARE(all.mid(0, 3), (QList<WindowId>{xterm, xOwner, xDialog}));
        const WindowId combinedNative = all[3];
        QVERIFY(combinedNative != native);
        QCOMPARE(both.title(combinedNative), QStringLiteral("Free Casino Bonus - Chromium"));
        QVERIFY(both.windowClass(combinedNative).appId);
        QCOMPARE(both.title(xterm), QStringLiteral("Shell"));
        QCOMPARE(both.transientFor(xDialog), xOwner);
        QVERIFY(both.isDialog(xDialog));
        // An owner in the second system is named by its combined id.
        QCOMPARE(both.transientFor(all[5]), all[4]);
        QCOMPARE(both.transientFor(combinedNative), WindowId(0));

        // Closing and the focus reach the right system only.
        QVERIFY(both.requestClose(combinedNative));
        QCOMPARE(wayland.closeRequests, QList<WindowId>{native});
        QVERIFY(x11.closeRequests.isEmpty());
        QVERIFY(both.requestClose(xterm));
        QCOMPARE(x11.closeRequests, QList<WindowId>{xterm});
        QCOMPARE(wayland.closeRequests.size(), 1);
    }

    // The compositor lists its X server's windows too, with the X class as app id: they
    // are surveyed once, through X.
    void anXWaylandWindowIsListedOnce()
    {
        FakeWindowSystem x11;
        FakeWindowSystem wayland;
        const WindowId x = x11.addWindow({"Navigator", "firefox-esr"}, "Deals \u2014 Firefox");
        wayland.addWindow({"firefox-esr", "firefox-esr", true}, "Deals \u2014 Firefox");
        wayland.addWindow({"firefox-esr", "firefox-esr", true}, "Other \u2014 Firefox");
        CombinedWindowSystem both(x11, wayland);
        const QList<WindowId> all = both.titledWindows();
        QCOMPARE(all.size(), 2);
        QCOMPARE(all[0], x);
        QCOMPARE(both.title(all[1]), QStringLiteral("Other \u2014 Firefox"));
    }

    void changesOfEitherSystemAreSeen()
    {
        FakeWindowSystem x11;
        FakeWindowSystem wayland;
        CombinedWindowSystem both(x11, wayland);
        const std::uint64_t start = both.changeCount();
        wayland.addWindow({"foot", "foot", true}, "New");
        const std::uint64_t afterWayland = both.changeCount();
        QVERIFY(afterWayland > start);
        x11.addWindow({"xterm", "XTerm"}, "New");
        QVERIFY(both.changeCount() > afterWayland);
    }
};

QTEST_GUILESS_MAIN(TestCombinedWindows)
#include "test_combined_windows.moc"

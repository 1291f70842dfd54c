// SPDX-License-Identifier: GPL-3.0-or-later
// The Wayland window system against a real compositor: headless sway, foot windows as the
// other programs' windows.
#include "platform/wayland/WaylandWindowSystem.h"
#include "wayland/SwayDesktop.h"

#include <QFile>
#include <QTest>
#include <memory>
#include <sys/stat.h>

using namespace kvorn;
using namespace kvorn::test;

namespace {

struct Seen
{
    WindowId id = 0;
    QString title;
    WindowClass windowClass;
};

QList<Seen> survey(WaylandWindowSystem &windows)
{
    QList<Seen> out;
    for (WindowId id : windows.titledWindows())
        out.append({id, windows.title(id), windows.windowClass(id)});
    return out;
}

// The window with this title, once the compositor has told us about it.
WindowId waitForTitle(WaylandWindowSystem &windows, const QString &title, int ms = 10000)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired()) {
        for (const Seen &s : survey(windows)) {
            if (s.title == title)
                return s.id;
        }
        QTest::qWait(20);
    }
    return 0;
}

} // namespace

class TestWaylandWindowSystem : public QObject
{
    Q_OBJECT

private:
    SwayDesktop m_desktop;

private Q_SLOTS:
    void initTestCase() { QVERIFY2(m_desktop.start(), qPrintable(m_desktop.error)); }
    void cleanupTestCase() { m_desktop.stop(); }

    void listsWindowsWithTitleAndAppIdOldestFirst()
    {
        FootWindow popup(*m_desktop.sway, QStringLiteral("chromium"),
                         QStringLiteral("Free Casino Bonus - Chromium"));
        const WindowId popupId =
            waitForTitle(*m_desktop.windows, QStringLiteral("Free Casino Bonus - Chromium"));
        QVERIFY2(popupId != 0, popup.output().constData());
        FootWindow firefox(*m_desktop.sway, QStringLiteral("firefox-esr"),
                           QStringLiteral("Caf\u00e9 Deals \u2014 Mozilla Firefox"));
        const WindowId firefoxId = waitForTitle(
            *m_desktop.windows, QStringLiteral("Caf\u00e9 Deals \u2014 Mozilla Firefox"));
        QVERIFY2(firefoxId != 0, firefox.output().constData());

        const QList<Seen> seen = survey(*m_desktop.windows);
        QCOMPARE(seen.size(), 2);
        QCOMPARE(seen[0].id, popupId);
        QCOMPARE(seen[1].id, firefoxId);
        // The app id is both names of the class.
        QCOMPARE(seen[0].windowClass,
                 (WindowClass{QStringLiteral("chromium"), QStringLiteral("chromium"), true}));
        QCOMPARE(seen[1].windowClass.name, QStringLiteral("firefox-esr"));
        // What Wayland does not show another client.
        QVERIFY(m_desktop.windows->descendants(popupId).isEmpty());
        QVERIFY(m_desktop.windows->staticText(popupId).isEmpty());
        QCOMPARE(m_desktop.windows->transientFor(popupId), WindowId(0));
        QVERIFY(!m_desktop.windows->isDialog(popupId));
        QVERIFY(!m_desktop.windows->sendKey(popupId, DialogKey::Escape));
    }

    void unchangedDesktopCostsNoRoundTrip()
    {
        FootWindow w(*m_desktop.sway, QStringLiteral("foot"), QStringLiteral("Quiet - foot"));
        QVERIFY(waitForTitle(*m_desktop.windows, QStringLiteral("Quiet - foot")) != 0);
        QTest::qWait(200); // the focus and the first frame settle
        const std::uint64_t changes = m_desktop.windows->changeCount();
        const std::uint64_t trips = m_desktop.windows->roundTrips();
        for (int i = 0; i < 200; ++i) {
            for (WindowId id : m_desktop.windows->titledWindows()) {
                m_desktop.windows->title(id);
                m_desktop.windows->windowClass(id);
            }
            m_desktop.windows->foregroundWindow();
        }
        QCOMPARE(m_desktop.windows->roundTrips(), trips);
        QCOMPARE(m_desktop.windows->changeCount(), changes);
    }

    void titleChangeIsSeen()
    {
        const QString fifo = m_desktop.sway->folder() + QStringLiteral("/title");
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        FootWindow w(*m_desktop.sway, QStringLiteral("chromium"), QStringLiteral("News - Chromium"),
                     fifo);
        const WindowId id = waitForTitle(*m_desktop.windows, QStringLiteral("News - Chromium"));
        QVERIFY(id != 0);
        const std::uint64_t before = m_desktop.windows->changeCount();
        QFile pipe(fifo);
        QVERIFY(pipe.open(QIODevice::WriteOnly));
        pipe.write("Casino Jackpot - Chromium\n");
        pipe.close();
        QTRY_COMPARE(m_desktop.windows->title(id), QStringLiteral("Casino Jackpot - Chromium"));
        QVERIFY(m_desktop.windows->changeCount() > before);
        QCOMPARE(m_desktop.windows->titledWindows(), QList<WindowId>{id});
    }

    void activeWindowFollowsTheFocus()
    {
        FootWindow first(*m_desktop.sway, QStringLiteral("foot"), QStringLiteral("First - foot"));
        const WindowId firstId = waitForTitle(*m_desktop.windows, QStringLiteral("First - foot"));
        FootWindow second(*m_desktop.sway, QStringLiteral("foot"), QStringLiteral("Second - foot"));
        const WindowId secondId = waitForTitle(*m_desktop.windows, QStringLiteral("Second - foot"));
        QVERIFY(firstId != 0 && secondId != 0);
        // sway focuses a new window.
        QTRY_COMPARE(m_desktop.windows->foregroundWindow(), secondId);
        QVERIFY(m_desktop.windows->activate(firstId));
        QTRY_COMPARE(m_desktop.windows->foregroundWindow(), firstId);
    }

    void closeRequestEndsTheWindow()
    {
        FootWindow doomed(*m_desktop.sway, QStringLiteral("chromium"),
                          QStringLiteral("Free Casino Bonus - Chromium"));
        FootWindow kept(*m_desktop.sway, QStringLiteral("chromium"),
                        QStringLiteral("News - Chromium"));
        const WindowId doomedId =
            waitForTitle(*m_desktop.windows, QStringLiteral("Free Casino Bonus - Chromium"));
        const WindowId keptId = waitForTitle(*m_desktop.windows, QStringLiteral("News - Chromium"));
        QVERIFY(doomedId != 0 && keptId != 0);
        const std::uint64_t before = m_desktop.windows->changeCount();

        QVERIFY(m_desktop.windows->requestClose(doomedId));
        QVERIFY(doomed.waitForEnd(10000));
        QTRY_COMPARE(m_desktop.windows->titledWindows(), QList<WindowId>{keptId});
        QVERIFY(m_desktop.windows->changeCount() > before);
        QVERIFY(kept.isRunning());
        // A window that is gone reads as empty and cannot be asked again.
        QVERIFY(m_desktop.windows->title(doomedId).isEmpty());
        QVERIFY(m_desktop.windows->windowClass(doomedId).isEmpty());
        QVERIFY(!m_desktop.windows->requestClose(doomedId));
    }

    void withoutCompositorTheDesktopIsEmpty()
    {
        const QByteArray missing =
            QFile::encodeName(m_desktop.sway->folder() + QStringLiteral("/none"));
        WaylandWindowSystem nothing(missing.constData());
        QVERIFY(!nothing.connected());
        QVERIFY(!nothing.offersToplevels());
        QVERIFY(nothing.titledWindows().isEmpty());
        QCOMPARE(nothing.foregroundWindow(), WindowId(0));
        QVERIFY(!nothing.requestClose(1));
    }
};

QTEST_GUILESS_MAIN(TestWaylandWindowSystem)
#include "tst_waylandwindowsystem.moc"

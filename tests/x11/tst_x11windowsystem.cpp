// SPDX-License-Identifier: GPL-3.0-or-later
// X11WindowSystem against real windows on an Xvfb display of the test's own.
#include "fakes/TestEnv.h"
#include "platform/AddressSource.h"
#include "platform/BrowserClasses.h"
#include "platform/x11/X11WindowSystem.h"
#include "x11/TestWindow.h"
#include "x11/VirtualDisplay.h"

#include <QTest>

#include <memory>

using namespace kvorn;
using namespace kvorn::test;

namespace {

TestWindow::Spec browser(const QString &title)
{
    TestWindow::Spec spec;
    spec.instance = QStringLiteral("chromium");
    spec.windowClass = QStringLiteral("Chromium");
    spec.title = title;
    return spec;
}

// The title as a survey starting now would read it.
QString surveyedTitle(X11WindowSystem &windows, WindowId id)
{
    windows.titledWindows();
    return windows.title(id);
}

// Lets the window manager finish with new windows, then takes in what it did.
void settle(X11WindowSystem &windows)
{
    QTest::qWait(150);
    windows.titledWindows();
}

// Notes what the window system tells an address source and answers from a table.
class RecordingAddresses final : public AddressSource
{
public:
    QString known(WindowId window, const QString &title, bool &lookUpWanted) override
    {
        titlesAsked.append(title);
        lookUpWanted = !described.contains(window) || described[window].title != title;
        return addresses.value(window);
    }
    void lookUp(const BrowserWindow &window) override { described[window.window] = window; }
    void forget(WindowId window) override { forgotten.append(window); }
    std::uint64_t changeCount() const override { return changes; }

    QHash<WindowId, QString> addresses;
    QHash<WindowId, BrowserWindow> described;
    QStringList titlesAsked;
    QList<WindowId> forgotten;
    std::uint64_t changes = 0;
};

} // namespace

class TestX11WindowSystem : public QObject
{
    Q_OBJECT

private:
    TestEnv m_env;
    std::unique_ptr<VirtualDisplay> m_display;

private Q_SLOTS:
    void initTestCase()
    {
        m_display = std::make_unique<VirtualDisplay>();
        QVERIFY2(m_display->isReady(), qPrintable(m_display->errorText()));
    }
    void cleanupTestCase() { m_display.reset(); }

    void listsTitledClientsWithTheirClassAndTitle()
    {
        X11WindowSystem windows(m_display->name().constData());
        QVERIFY(windows.connected());
        TestWindow chromium(*m_display, browser(QStringLiteral("Free Casino Bonus - Chromium")));
        TestWindow::Spec firefoxSpec;
        firefoxSpec.instance = QStringLiteral("Navigator");
        firefoxSpec.windowClass = QStringLiteral("firefox-esr");
        firefoxSpec.title = QStringLiteral("Free Casino Bonus \u2014 Mozilla Firefox");
        TestWindow firefox(*m_display, firefoxSpec);
        TestWindow::Spec plainSpec;
        plainSpec.instance = QStringLiteral("xterm");
        plainSpec.windowClass = QStringLiteral("XTerm");
        plainSpec.title = QStringLiteral("Caf\u00e9 \u00e0 la carte");
        plainSpec.legacyTitle = true;
        TestWindow plain(*m_display, plainSpec);
        TestWindow untitled(*m_display, TestWindow::Spec{});
        QVERIFY(chromium.isShown() && firefox.isShown() && plain.isShown() && untitled.isShown());

        const QList<WindowId> expected{chromium.id(), firefox.id(), plain.id()};
        QTRY_COMPARE(windows.titledWindows(), expected);

        QCOMPARE(windows.title(chromium.id()), QStringLiteral("Free Casino Bonus - Chromium"));
        QCOMPARE(windows.windowClass(chromium.id()),
                 (WindowClass{QStringLiteral("chromium"), QStringLiteral("Chromium")}));
        QCOMPARE(windows.title(firefox.id()),
                 QStringLiteral("Free Casino Bonus \u2014 Mozilla Firefox"));
        QCOMPARE(windows.title(plain.id()), QStringLiteral("Caf\u00e9 \u00e0 la carte"));
        QCOMPARE(windows.title(untitled.id()), QString());

        // What the survey makes of them: both browsers by their class, both titles cut.
        for (const WindowId id : {chromium.id(), firefox.id()}) {
            QVERIFY(findLinuxBrowserRow(windows.windowClass(id)));
            QCOMPARE(cutBrowserTitle(windows.title(id)), QStringLiteral("Free Casino Bonus"));
        }
        QVERIFY(!findLinuxBrowserRow(windows.windowClass(plain.id())));
    }

    void unchangedSurveyCostsNoRoundTripsAndChangesAreSeen()
    {
        X11WindowSystem windows(m_display->name().constData());
        TestWindow first(*m_display, browser(QStringLiteral("First - Chromium")));
        QTRY_VERIFY(windows.titledWindows().contains(first.id()));
        settle(windows);

        auto survey = [&windows] {
            for (const WindowId id : windows.titledWindows()) {
                windows.windowClass(id);
                windows.title(id);
                windows.isDialog(id);
            }
        };
        survey();
        const std::uint64_t trips = windows.roundTrips();
        const std::uint64_t changes = windows.changeCount();
        for (int i = 0; i < 5; ++i)
            survey();
        QCOMPARE(windows.roundTrips(), trips);
        QCOMPARE(windows.changeCount(), changes);

        // A new title is seen through its event, re-reading only that window.
        first.setTitle(QStringLiteral("Renamed - Chromium"));
        QTRY_COMPARE(surveyedTitle(windows, first.id()),
                     QStringLiteral("Renamed - Chromium"));
        QVERIFY(windows.changeCount() > changes);

        // A window coming and going changes the list.
        std::uint64_t before = windows.changeCount();
        auto second = std::make_unique<TestWindow>(*m_display, browser(QStringLiteral("Second - Chromium")));
        const WindowId secondId = second->id();
        QTRY_VERIFY(windows.titledWindows().contains(secondId));
        QVERIFY(windows.changeCount() > before);
        before = windows.changeCount();
        second.reset();
        QTRY_VERIFY(!windows.titledWindows().contains(secondId));
        QVERIFY(windows.changeCount() > before);
        QCOMPARE(windows.titledWindows(), QList<WindowId>{first.id()});

        // The X server hands a gone client's ids to the next one: a new window under an
        // old id must not inherit the old window's title.
        TestWindow third(*m_display, browser(QStringLiteral("Third - Chromium")));
        QTRY_COMPARE(surveyedTitle(windows, third.id()), QStringLiteral("Third - Chromium"));
    }

    void browserWindowsAreDescribedToTheAddressSource()
    {
        X11WindowSystem windows(m_display->name().constData());
        RecordingAddresses source;
        windows.setAddressSource(&source);
        auto first = std::make_unique<TestWindow>(*m_display,
                                                  browser(QStringLiteral("Same - Chromium")));
        TestWindow second(*m_display, browser(QStringLiteral("Same - Chromium")));
        TestWindow other(*m_display, browser(QStringLiteral("Other - Chromium")));
        QVERIFY(first->isShown() && second.isShown() && other.isShown());
        settle(windows);
        const WindowId firstId = first->id();

        source.addresses[second.id()] = QStringLiteral("http://casino.example/");
        QCOMPARE(windows.address(second.id()), QStringLiteral("http://casino.example/"));
        QCOMPARE(windows.address(firstId), QString());
        QCOMPARE(windows.address(other.id()), QString());
        QCOMPARE(source.described.size(), 3);
        const BrowserWindow a = source.described[firstId];
        const BrowserWindow b = source.described[second.id()];
        const BrowserWindow c = source.described[other.id()];
        QCOMPARE(a.title, QStringLiteral("Same - Chromium"));
        QVERIFY(!a.geometry.isEmpty() && !b.geometry.isEmpty());
        // Each same-titled window of the same process is the other's twin, by its place.
        QCOMPARE(a.twins, QList<QRect>{b.geometry});
        QCOMPARE(b.twins, QList<QRect>{a.geometry});
        QVERIFY(c.twins.isEmpty());
        // A source's new knowledge counts as a change of what a survey would read.
        const std::uint64_t before = windows.changeCount();
        source.changes = 5;
        QCOMPARE(windows.changeCount(), before + 5);

        // A new title is asked about under that title.
        second.setTitle(QStringLiteral("Next - Chromium"));
        QTRY_COMPARE(surveyedTitle(windows, second.id()), QStringLiteral("Next - Chromium"));
        windows.address(second.id());
        QCOMPARE(source.described[second.id()].title, QStringLiteral("Next - Chromium"));
        QCOMPARE(source.titlesAsked.last(), QStringLiteral("Next - Chromium"));

        // A window that goes is forgotten by the source too.
        first.reset();
        QTRY_VERIFY((windows.titledWindows(), source.forgotten.contains(firstId)));
        windows.setAddressSource(nullptr);
        QCOMPARE(windows.address(second.id()), QString());
    }

    void closeRequestsReachTheWindow()
    {
        X11WindowSystem windows(m_display->name().constData());
        TestWindow popup(*m_display, browser(QStringLiteral("Free Casino Bonus - Chromium")));
        TestWindow::Spec stubbornSpec = browser(QStringLiteral("Stubborn - Chromium"));
        stubbornSpec.refuseClose = true;
        TestWindow stubborn(*m_display, stubbornSpec);
        QTRY_VERIFY(windows.titledWindows().contains(popup.id()) &&
                    windows.titledWindows().contains(stubborn.id()));

        QVERIFY(windows.requestClose(popup.id()));
        QTRY_VERIFY_WITH_TIMEOUT(popup.isGone(), 1000);
        QCOMPARE(popup.closeRequests(), 1);
        QTRY_VERIFY(!windows.titledWindows().contains(popup.id()));

        // A window that stays open can be asked again, and each request arrives.
        QVERIFY(windows.requestClose(stubborn.id()));
        QTRY_COMPARE(stubborn.closeRequests(), 1);
        QVERIFY(windows.requestClose(stubborn.id()));
        QTRY_COMPARE(stubborn.closeRequests(), 2);
        QTest::qWait(100);
        QVERIFY(!stubborn.isGone());
        QVERIFY(windows.titledWindows().contains(stubborn.id()));
    }

    void dialogsAreTransientsOfTheDialogType()
    {
        X11WindowSystem windows(m_display->name().constData());
        TestWindow owner(*m_display, browser(QStringLiteral("Owner - Chromium")));
        QVERIFY(owner.isShown());

        struct Case
        {
            const char *name;
            bool transient;
            bool dialogType;
            bool expected;
        };
        const Case cases[] = {
            {"transient dialog", true, true, true},
            {"transient without a type (a dialog by the EWMH rule)", true, false, true},
            {"dialog type, no owner", false, true, false},
            {"plain window", false, false, false},
        };
        for (const Case &c : cases) {
            TestWindow::Spec spec;
            spec.instance = QStringLiteral("chromium");
            spec.windowClass = QStringLiteral("Chromium");
            spec.title = QStringLiteral("Question");
            spec.transientFor = c.transient ? owner.id() : 0;
            spec.dialog = c.dialogType;
            TestWindow window(*m_display, spec);
            QTRY_VERIFY2(windows.titledWindows().contains(window.id()), c.name);
            QVERIFY2(windows.isDialog(window.id()) == c.expected, c.name);
            QVERIFY2(windows.transientFor(window.id()) == (c.transient ? owner.id() : 0), c.name);
        }
        QVERIFY(!windows.isDialog(owner.id()));
    }

    void keysReachTheDialogAndNoOtherWindow()
    {
        X11WindowSystem windows(m_display->name().constData());
        TestWindow owner(*m_display, browser(QStringLiteral("Owner - Chromium")));
        TestWindow::Spec dialogSpec = browser(QStringLiteral("Message"));
        dialogSpec.transientFor = owner.id();
        dialogSpec.dialog = true;
        dialogSpec.refuseClose = true;
        TestWindow dialog(*m_display, dialogSpec);
        TestWindow bystander(*m_display, browser(QStringLiteral("Bystander - Chromium")));
        QTRY_VERIFY(windows.titledWindows().contains(bystander.id()));
        // The newest window has the focus: the keys must still go to the dialog.
        QTRY_COMPARE(windows.foregroundWindow(), bystander.id());

        QVERIFY(windows.sendKey(dialog.id(), DialogKey::Escape));
        QVERIFY(windows.sendKey(dialog.id(), DialogKey::N));
        QVERIFY(windows.sendKey(dialog.id(), DialogKey::C));
        QTRY_COMPARE(dialog.keys(), (QStringList{QStringLiteral("Escape"), QStringLiteral("n"),
                                                QStringLiteral("c")}));
        QTRY_COMPARE(windows.foregroundWindow(), dialog.id());
        QVERIFY(owner.keys().isEmpty());
        QVERIFY(bystander.keys().isEmpty());

        QVERIFY(windows.activate(bystander.id()));
        QTRY_COMPARE(windows.foregroundWindow(), bystander.id());
    }

    void worksWithoutAWindowManager()
    {
        VirtualDisplay bare(VirtualDisplay::Manager::None);
        QVERIFY2(bare.isReady(), qPrintable(bare.errorText()));
        X11WindowSystem windows(bare.name().constData());
        TestWindow popup(bare, browser(QStringLiteral("Free Casino Bonus - Chromium")));
        QVERIFY(popup.isShown());
        QTRY_COMPARE(windows.titledWindows(), QList<WindowId>{popup.id()});
        QCOMPARE(windows.title(popup.id()), QStringLiteral("Free Casino Bonus - Chromium"));

        // No window manager to ask: the window itself gets WM_DELETE_WINDOW.
        QVERIFY(windows.requestClose(popup.id()));
        QTRY_VERIFY_WITH_TIMEOUT(popup.isGone(), 1000);
        QCOMPARE(popup.closeRequests(), 1);
        QTRY_VERIFY(windows.titledWindows().isEmpty());
    }

    void withoutADisplayEverythingIsEmpty()
    {
        X11WindowSystem windows("unix:/nonexistent-kvorn-display");
        QVERIFY(!windows.connected());
        QVERIFY(windows.titledWindows().isEmpty());
        QCOMPARE(windows.title(42), QString());
        QVERIFY(!windows.requestClose(42));
        QVERIFY(!windows.sendKey(42, DialogKey::Escape));
        QCOMPARE(windows.foregroundWindow(), WindowId(0));
    }
};

QTEST_GUILESS_MAIN(TestX11WindowSystem)
#include "tst_x11windowsystem.moc"

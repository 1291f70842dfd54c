// SPDX-License-Identifier: GPL-3.0-or-later
// Address entries against real Chromium and Firefox windows: the popup killer with the
// address reader on a display, a session bus and an accessibility bus of the test's own,
// the browsers cut off from the network and showing local pages.
#include "KillerRig.h"
#include "platform/AddressReaderProcess.h"
#include "platform/x11/X11WindowSystem.h"
#include "popups/DetectedListModel.h"
#include "popups/LogListModel.h"
#include "x11/BrowserDesktop.h"
#include "x11/TestWindow.h"
#include "x11/VirtualDisplay.h"

#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <optional>

using namespace kvorn;
using namespace kvorn::test;

namespace {

// Browsers start slowly on a busy machine.
constexpr int kBrowserWaitMs = 60000;

// The same title on a page of the black-listed site and on an innocent one.
const QByteArray kCasinoPage =
    "<html><head><title>Same Title</title></head><body>casino</body></html>";
const QByteArray kNewsPage = "<html><head><title>Same Title</title></head><body>news</body></html>";
const QByteArray kPopupPage =
    "<html><head><title>KV Popup Window</title></head><body>popup</body></html>";
// Opens a pop-up window by script as soon as it is loaded.
const QByteArray kOpenerPage =
    "<html><head><title>Opener</title></head><body onload=\"window.open("
    "'popup.html?from=onload','kvpopup','left=600,top=300,width=500,height=400')\">opener"
    "</body></html>";

struct Seen
{
    QString text;
    QString address;
    std::uint64_t handle = 0;
};

QList<Seen> detected(KillerRig &rig)
{
    QList<Seen> out;
    const DetectedListModel &list = rig.lists.detectedList();
    for (int row = 0; row < list.count(); ++row)
        out.append({list.entry(row).text, list.entry(row).address, list.entry(row).handle});
    return out;
}

std::optional<Seen> withAddress(KillerRig &rig, const QString &address)
{
    for (const Seen &s : detected(rig)) {
        if (s.address == address)
            return s;
    }
    return std::nullopt;
}

// What the killer sees, for the failure messages.
QString described(KillerRig &rig)
{
    QStringList rows;
    for (const Seen &s : detected(rig))
        rows.append(s.text + QStringLiteral(" @ ") +
                    (s.address.isEmpty() ? QStringLiteral("N/A") : s.address));
    return QStringLiteral("detected: ") + rows.join(QStringLiteral("; ")) +
           QStringLiteral("; kills: ") + QString::number(rig.lists.logList().count());
}

int countTitled(KillerRig &rig, const QString &text)
{
    int n = 0;
    for (const Seen &s : detected(rig))
        n += s.text == text;
    return n;
}

} // namespace

class TestBrowserAddresses : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<VirtualDisplay> m_display;
    std::unique_ptr<BrowserDesktop> m_desktop;
    std::unique_ptr<X11WindowSystem> m_windows;
    std::unique_ptr<AddressReaderProcess> m_reader;

    // The killer on this desktop with the address reader, as the program wires them.
    std::unique_ptr<KillerRig> startKiller(const BrowserDesktop &desktop)
    {
        // The reader finds the session bus (and the display) where the program's would.
        qputenv("DBUS_SESSION_BUS_ADDRESS", desktop.busAddress());
        qputenv("DISPLAY", m_display->name());
        qputenv("XDG_RUNTIME_DIR", desktop.environment().value(QStringLiteral("XDG_RUNTIME_DIR")).toUtf8());
        m_windows = std::make_unique<X11WindowSystem>(m_display->name().constData());
        m_reader = std::make_unique<AddressReaderProcess>(QStringLiteral(KVORN_ADDRESS_READER));
        if (!m_windows->connected() || !m_reader->available())
            return nullptr;
        m_windows->setAddressSource(m_reader.get());
        auto rig = std::make_unique<KillerRig>(*m_windows);
        rig->core.options.HideExempt = false;
        rig->core.controller.load();
        return rig;
    }

    void stopKiller(std::unique_ptr<KillerRig> &rig)
    {
        rig.reset();
        m_windows.reset();
        m_reader.reset();
    }

    void sameTitleOnlyTheCoveredAddressCloses(Browser::Kind kind)
    {
        if (Browser::program(kind).isEmpty())
            QSKIP("the browser is not installed");
        BrowserDesktop &desktop = *m_desktop;
        const QString casino = desktop.page(QStringLiteral("casino.example/a.html"), kCasinoPage);
        const QString news = desktop.page(QStringLiteral("news/b.html"), kNewsPage);
        const QString opener = desktop.page(QStringLiteral("news/opener.html"), kOpenerPage);
        desktop.page(QStringLiteral("news/popup.html"), kPopupPage);
        const QString popup = opener.left(opener.lastIndexOf(QLatin1Char('/'))) +
                              QStringLiteral("/popup.html?from=onload");

        auto rig = startKiller(desktop);
        QVERIFY(rig);
        rig->blackList(QStringLiteral("*casino.example*"));

        const bool chromium = kind == Browser::Kind::Chromium;
        const QString profile = chromium ? QStringLiteral("chromium") : QStringLiteral("firefox");
        // The browser starts with the page that opens a pop-up; the rest are windows opened
        // once it runs (asked before, they could end up as tabs of its first window).
        Browser browser(desktop, kind, profile, {opener});
        QVERIFY(browser.running());
        QTRY_VERIFY2_WITH_TIMEOUT(countTitled(*rig, QStringLiteral("Opener")) == 1,
                                  qPrintable(described(*rig)), kBrowserWaitMs);
        browser.openWindow(casino);
        // Firefox maximises every window on this screen: two windows of one Firefox with one
        // title stand on the same spot, and neither would get an address. The innocent
        // window of that title is another Firefox's; Chromium's next window stands 10 px
        // further, so there it is the same browser's.
        std::unique_ptr<Browser> second;
        if (chromium)
            browser.openWindow(news);
        else
            second = std::make_unique<Browser>(desktop, kind, QStringLiteral("firefox-2"),
                                               QStringList{news});

        // The covered window goes as soon as its address is read; the other one of the same
        // title stays, though its address is known too.
        QTRY_VERIFY2_WITH_TIMEOUT(rig->lists.logList().count() == 1, qPrintable(described(*rig)),
                                  kBrowserWaitMs);
        QTRY_VERIFY2_WITH_TIMEOUT(withAddress(*rig, news).has_value(), qPrintable(described(*rig)),
                                  kBrowserWaitMs);
        const LogEntry booked = rig->lists.logList().entry(0);
        QCOMPARE(booked.text, QStringLiteral("Same Title"));
        QCOMPARE(booked.blackListEntry, QStringLiteral("*casino.example*"));
        QTRY_VERIFY2_WITH_TIMEOUT(!withAddress(*rig, casino).has_value(),
                                  qPrintable(described(*rig)), 10000);

        // The script's pop-up has its own address.
        QTRY_VERIFY2_WITH_TIMEOUT(withAddress(*rig, popup).has_value(), qPrintable(described(*rig)),
                                  kBrowserWaitMs);
        QCOMPARE(withAddress(*rig, popup)->text, QStringLiteral("KV Popup Window"));
        QTRY_VERIFY2_WITH_TIMEOUT(withAddress(*rig, opener).has_value(),
                                  qPrintable(described(*rig)), kBrowserWaitMs);

        QTest::qWait(500);
        QCOMPARE(rig->lists.logList().count(), 1);
        QCOMPARE(countTitled(*rig, QStringLiteral("Same Title")), 1);
        const std::optional<Seen> spared = withAddress(*rig, news);
        QVERIFY(spared);
        QVERIFY(m_windows->titledWindows().contains(WindowId(spared->handle)));

        if (!chromium) {
            // The other Firefox opens the covered page too, maximised on the spot of its
            // window of the same title: which frame is which cannot be told, so neither is
            // taken for it, and the window stays with no address rather than a guess.
            QSignalSpy answers(m_reader.get(), &AddressReaderProcess::answered);
            second->openWindow(casino);
            QTRY_VERIFY2_WITH_TIMEOUT(countTitled(*rig, QStringLiteral("Same Title")) == 2,
                                      qPrintable(described(*rig)), kBrowserWaitMs);
            WindowId twin = 0;
            for (const Seen &s : detected(*rig)) {
                if (s.text == QStringLiteral("Same Title") && s.handle != spared->handle)
                    twin = WindowId(s.handle);
            }
            QVERIFY(twin != 0);
            const auto answersFor = [&] {
                int n = 0;
                for (const QList<QVariant> &a : answers)
                    n += a.at(0).value<WindowId>() == twin;
                return n;
            };
            QTRY_VERIFY_WITH_TIMEOUT(answersFor() >= 3, 20000);
            QVERIFY2(!withAddress(*rig, casino), qPrintable(described(*rig)));
            QCOMPARE(rig->lists.logList().count(), 1);
            QVERIFY(m_windows->titledWindows().contains(twin));
        }
        stopKiller(rig);
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_display = std::make_unique<VirtualDisplay>();
        QVERIFY2(m_display->isReady(), qPrintable(m_display->errorText()));
        m_desktop = std::make_unique<BrowserDesktop>(*m_display, BrowserDesktop::Accessibility::On);
        QVERIFY2(m_desktop->isReady(), qPrintable(m_desktop->errorText()));
        if (!Browser::canCutNetwork())
            qInfo("no network namespace here: the browsers only get local pages, no name "
                  "resolution and a dead loopback proxy");
    }
    void cleanupTestCase()
    {
        m_windows.reset();
        m_reader.reset();
        m_desktop.reset();
        m_display.reset();
    }

    void chromiumSameTitleOnlyTheCoveredAddressCloses()
    {
        sameTitleOnlyTheCoveredAddressCloses(Browser::Kind::Chromium);
    }

    void firefoxSameTitleOnlyTheCoveredAddressCloses()
    {
        sameTitleOnlyTheCoveredAddressCloses(Browser::Kind::Firefox);
    }

    void withoutAnAccessibilityBusAddressesStayUnknown()
    {
        // A session bus with no accessibility bus on it (one could be started on demand):
        // the reader runs, learns nothing and starts nothing; titles work as before.
        BrowserDesktop plain(*m_display, BrowserDesktop::Accessibility::Off);
        QVERIFY2(plain.isReady(), qPrintable(plain.errorText()));
        QVERIFY(!plain.accessibilityBusRuns());

        auto rig = startKiller(plain);
        QVERIFY(rig);
        QSignalSpy answers(m_reader.get(), &AddressReaderProcess::answered);
        rig->blackList(QStringLiteral("*casino.example*"));
        rig->blackList(QStringLiteral("*bonus*"));
        TestWindow page(*m_display, {.instance = QStringLiteral("chromium"),
                                     .windowClass = QStringLiteral("Chromium"),
                                     .title = QStringLiteral("Same Title - Chromium")});
        TestWindow bonus(*m_display, {.instance = QStringLiteral("chromium"),
                                      .windowClass = QStringLiteral("Chromium"),
                                      .title = QStringLiteral("Free Bonus - Chromium")});
        QVERIFY(page.isShown() && bonus.isShown());
        QTRY_VERIFY_WITH_TIMEOUT(bonus.isGone(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(answers.count() >= 1, 20000);
        QTest::qWait(300);
        QVERIFY(!page.isGone());
        QCOMPARE(page.closeRequests(), 0);
        QCOMPARE(rig->lists.detectedList().count(), 1);
        QCOMPARE(rig->lists.detectedList().entry(0).addressShown(), QStringLiteral("N/A"));
        QCOMPARE(rig->lists.logList().count(), 1);
        QVERIFY(!plain.accessibilityBusRuns());
        stopKiller(rig);
    }
};

QTEST_GUILESS_MAIN(TestBrowserAddresses)
#include "tst_browseraddresses.moc"

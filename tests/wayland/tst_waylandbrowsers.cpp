// SPDX-License-Identifier: GPL-3.0-or-later
// Real browsers as Wayland clients under the test's compositor: a page opens a pop-up by
// script, the popup killer closes and books it by its title as on X11, and the page's own
// window of the same browser stays open.
#include "KillerRig.h"
#include "RealBrowser.h"
#include "core/TextFile.h"
#include "platform/wayland/WaylandWindowSystem.h"
#include "popups/DetectedListModel.h"
#include "popups/LogListModel.h"
#include "wayland/SwayDesktop.h"

#include <QTest>
#include <QUrl>
#include <memory>

using namespace kvorn;
using namespace kvorn::test;

namespace {

bool writePage(const QString &path, const QByteArray &title, const QByteArray &body = {})
{
    QFile page(path);
    return page.open(QIODevice::WriteOnly) &&
           page.write("<!DOCTYPE html><html><head><title>" + title + "</title></head>" + body +
                      "</html>\n") > 0;
}

// The compositor's windows as "app id|title", for the failure messages and the checks.
QStringList windowsOf(WaylandWindowSystem &windows)
{
    windows.sync();
    QStringList out;
    for (const WindowId id : windows.titledWindows())
        out.append(windows.windowClass(id).name + QLatin1Char('|') + windows.title(id));
    out.sort();
    return out;
}

} // namespace

class TestWaylandBrowsers : public QObject
{
    Q_OBJECT

private:
    SwayDesktop m_desktop;

private Q_SLOTS:
    void initTestCase() { QVERIFY2(m_desktop.start(), qPrintable(m_desktop.error)); }
    void cleanupTestCase() { m_desktop.stop(); }

    void scriptPopupIsClosedPageWindowStays_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("environment");
        QTest::addColumn<QString>("appId");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("chromium") << int(RealBrowser::Chromium)
                                  << QStringList{QStringLiteral("--ozone-platform=wayland")}
                                  << QStringList{} << QStringLiteral("chromium")
                                  << QStringLiteral(" - Chromium");
        QTest::newRow("firefox") << int(RealBrowser::Firefox) << QStringList{}
                                 << QStringList{QStringLiteral("MOZ_ENABLE_WAYLAND=1")}
                                 << QStringLiteral("firefox-esr")
                                 << QStringLiteral(" \u2014 Mozilla Firefox");
    }
    void scriptPopupIsClosedPageWindowStays()
    {
        QFETCH(int, kind);
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, environment);
        QFETCH(QString, appId);
        QFETCH(QString, suffix);
        const auto browserKind = RealBrowser::Kind(kind);
        if (RealBrowser::program(browserKind).isEmpty())
            QSKIP("the browser is not installed");
        if (RealBrowser::isolation().isEmpty())
            QSKIP("no network namespace to keep the browser off the network (needs root or "
                  "user namespaces)");

        const QString folder = m_desktop.sway->folder() + QLatin1Char('/') +
                               QString::fromLatin1(QTest::currentDataTag());
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(writePage(folder + QStringLiteral("/bonus.html"), "Free Casino Bonus"));
        QVERIFY(writePage(folder + QStringLiteral("/news.html"), "Daily News",
                          "<body onload=\"window.open('bonus.html', '', 'width=400,height=300')\">"
                          "news</body>"));

        KillerRig rig(*m_desktop.windows);
        rig.core.controller.load();
        rig.blackList(QStringLiteral("*casino*"));

        QProcessEnvironment env = m_desktop.sway->clientEnvironment();
        for (const QString &pair : std::as_const(environment))
            env.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
        RealBrowser browser(browserKind, env, folder,
                            QUrl::fromLocalFile(folder + QStringLiteral("/news.html")).toString(),
                            arguments);
        QVERIFY2(browser.isRunning(), browser.output().right(3000).constData());

        // Browsers start slowly on a busy machine.
        QTRY_VERIFY2_WITH_TIMEOUT(rig.lists.logList().count() == 1,
                                  qPrintable(windowsOf(*m_desktop.windows).join(u", ") + u'\n' +
                                             QString::fromLocal8Bit(browser.output().right(3000))),
                                  60000);
        const LogEntry &row = rig.lists.logList().entry(0);
        QCOMPARE(row.text, QStringLiteral("Free Casino Bonus"));
        QCOMPARE(row.blackListEntry, QStringLiteral("*casino*"));
        QCOMPARE(rig.log.KilledPops(), 1);
        QCOMPARE(rig.core.controller.statusTexts().text(PopupScreen, 2),
                 QStringLiteral("Popups Killed: 1 "));

        // The pop-up's window went, and only it: the browser and its page's window stay,
        // listed under the page title as the browser's.
        const QStringList page{appId + u'|' + QStringLiteral("Daily News") + suffix};
        QTRY_COMPARE_WITH_TIMEOUT(windowsOf(*m_desktop.windows), page, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(rig.detectedTitles(), QStringList{QStringLiteral("Daily News")},
                                  10000);
        QTest::qWait(500);
        QVERIFY(browser.isRunning());
        QCOMPARE(windowsOf(*m_desktop.windows), page);
        QCOMPARE(rig.lists.logList().count(), 1);

        QVERIFY(rig.log.FlushLog());
        const auto lines = readFieldLines(rig.log.logFilePath());
        QVERIFY(lines && lines->size() == 1);
        QCOMPARE(lines->at(0).mid(0, 3),
                 (QStringList{QStringLiteral("Popup"), QStringLiteral("Free Casino Bonus"),
                              QStringLiteral("*casino*")}));
    }
};

QTEST_GUILESS_MAIN(TestWaylandBrowsers)
#include "tst_waylandbrowsers.moc"

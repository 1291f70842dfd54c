// SPDX-License-Identifier: GPL-3.0-or-later
// The popup killer from end to end under a Wayland compositor: the controller's own timers
// run the survey and the kill pass against windows of other programs (foot terminals that
// carry browsers' app ids), with the same rules as on X11.
#include "KillerRig.h"
#include "core/TextFile.h"
#include "platform/wayland/WaylandWindowSystem.h"
#include "popups/DetectedListModel.h"
#include "popups/LogListModel.h"
#include "wayland/SwayDesktop.h"

#include <QTest>
#include <memory>

using namespace kvorn;
using namespace kvorn::test;

namespace {

// Sorted: the terminals started together map in any order.
QStringList detectedTitles(KillerRig &rig)
{
    QStringList out = rig.detectedTitles();
    out.sort();
    return out;
}

} // namespace

class TestWaylandPopupKiller : public QObject
{
    Q_OBJECT

private:
    SwayDesktop m_desktop;

private Q_SLOTS:
    void initTestCase() { QVERIFY2(m_desktop.start(), qPrintable(m_desktop.error)); }
    void cleanupTestCase() { m_desktop.stop(); }

    void blackListedWindowIsClosedAndBookedOthersStay()
    {
        FootWindow spared(*m_desktop.sway, QStringLiteral("chromium"),
                          QStringLiteral("Casino Bank - Chromium"));
        FootWindow news(*m_desktop.sway, QStringLiteral("firefox-esr"),
                        QStringLiteral("Casino News \u2014 Mozilla Firefox"));
        FootWindow terminal(*m_desktop.sway, QStringLiteral("foot"),
                            QStringLiteral("Casino - bash"));

        auto rig = std::make_unique<KillerRig>(*m_desktop.windows);
        rig->core.controller.load();
        rig->core.options.HideExempt = false; // the white-listed one is listed, and spared
        rig->blackList(QStringLiteral("*casino*"));
        rig->lists.whiteList().append({QStringLiteral("*bank*"), true, {}, {}});
        rig->lists.whiteList().append({QStringLiteral("*news*"), true, {}, {}});
        // Only browser windows are listed, under their cut titles.
        QTRY_COMPARE(detectedTitles(*rig),
                     (QStringList{QStringLiteral("Casino Bank"), QStringLiteral("Casino News")}));

        FootWindow popup(*m_desktop.sway, QStringLiteral("chromium"),
                         QStringLiteral("Free Casino Bonus - Chromium"));
        QTRY_VERIFY_WITH_TIMEOUT(!popup.isRunning(), 5000);
        QTRY_COMPARE(detectedTitles(*rig),
                     (QStringList{QStringLiteral("Casino Bank"), QStringLiteral("Casino News")}));
        QTest::qWait(300);
        QVERIFY(spared.isRunning() && news.isRunning() && terminal.isRunning());

        QCOMPARE(rig->lists.logList().count(), 1);
        const LogEntry &row = rig->lists.logList().entry(0);
        QCOMPARE(row.text, QStringLiteral("Free Casino Bonus"));
        QCOMPARE(row.blackListEntry, QStringLiteral("*casino*"));
        QCOMPARE(rig->log.KilledPops(), 1);
        QCOMPARE(rig->core.controller.statusTexts().text(PopupScreen, 2),
                 QStringLiteral("Popups Killed: 1 "));
        QVERIFY(rig->log.FlushLog());
        const auto lines = readFieldLines(rig->log.logFilePath());
        QVERIFY(lines && lines->size() == 1);
        QCOMPARE(lines->at(0).mid(0, 3),
                 (QStringList{QStringLiteral("Popup"), QStringLiteral("Free Casino Bonus"),
                              QStringLiteral("*casino*")}));
    }
};

QTEST_GUILESS_MAIN(TestWaylandPopupKiller)
#include "tst_waylandpopupkiller.moc"

// SPDX-License-Identifier: GPL-3.0-or-later
// Quick add from the keyboard with the real program on a real display: Ctrl+Shift+X held
// as a person holds it (XTEST key presses), over a browser window and over another window.
#include "ProgramOnDisplay.h"
#include "core/TextFile.h"

#include <QTest>

using namespace kvorn;
using namespace kvorn::test;

class TestQuickAdd : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<ProgramOnDisplay> m_p;

    QByteArray property(WindowId id, const char *name)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), QString::fromLatin1(m_p->display().name()));
        QProcess p;
        p.setProcessEnvironment(environment);
        p.start(QStringLiteral("xprop"),
                {QStringLiteral("-id"), QString::number(id), QString::fromLatin1(name)});
        p.waitForFinished(5000);
        return p.readAllStandardOutput();
    }

private Q_SLOTS:
    void initTestCase()
    {
        m_p = std::make_unique<ProgramOnDisplay>();
        QVERIFY2(m_p->isReady(), qPrintable(m_p->errorText()));
        QVERIFY2(m_p->start(), m_p->errors().constData());
    }

    void cleanupTestCase() { m_p.reset(); }

    void onAWindowThatIsNoBrowserOnePressIsOneBox()
    {
        TestWindow terminal(m_p->display(), ProgramOnDisplay::terminal());
        QVERIFY(terminal.isShown());
        QVERIFY(m_p->activate(terminal.id()));
        QVERIFY(m_p->holdCtrlShift("x"));
        const QString box = QStringLiteral("K-Vorn Hot Kill");
        QTRY_COMPARE_WITH_TIMEOUT(m_p->windowsTitled(box).size(), 1, 5000);
        QTest::qWait(800); // three ticks read the chord as held: no second box may come
        QCOMPARE(m_p->windowsTitled(box).size(), 1);
        QVERIFY(m_p->xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"),
                              QString::number(m_p->windowsTitled(box).first()),
                              QStringLiteral("key"), QStringLiteral("Return")}));
        QTRY_COMPARE_WITH_TIMEOUT(m_p->windowsTitled(box).size(), 0, 5000);
    }

    void onABrowserWindowTheAddDialogComesOnTopAndAddsItsTitle()
    {
        TestWindow popup(m_p->display(), ProgramOnDisplay::browser(QStringLiteral("Casino Night")));
        QVERIFY(popup.isShown());
        QVERIFY(m_p->activate(popup.id()));
        QTest::qWait(500); // a survey or two
        QVERIFY(m_p->holdCtrlShift("x"));
        const QString caption = QStringLiteral("Popup Add");
        QTRY_COMPARE_WITH_TIMEOUT(m_p->windowsTitled(caption).size(), 1, 5000);
        QTest::qWait(800);
        QCOMPARE(m_p->windowsTitled(caption).size(), 1);
        const WindowId dialog = m_p->windowsTitled(caption).first();
        QTRY_COMPARE_WITH_TIMEOUT(m_p->windows().foregroundWindow(), dialog, 5000);
        QVERIFY(property(dialog, "_NET_WM_STATE").contains("_NET_WM_STATE_ABOVE"));

        // Enter takes "&Add": the title goes on the black list, and the popup is closed.
        QVERIFY(m_p->xdotool({QStringLiteral("key"), QStringLiteral("Return")}));
        QTRY_VERIFY_WITH_TIMEOUT(popup.closeRequests() >= 1 || popup.isGone(), 5000);
        QVERIFY(m_p->run(ProgramOnDisplay::kProgram, {QStringLiteral("--forceclose")}));
        QVERIFY(m_p->program().waitForFinished(15000));
        const auto lines = readFieldLines(m_p->env().file(QStringLiteral("spamlist.kbl")));
        QVERIFY(lines);
        QCOMPARE(lines->size(), 1);
        QCOMPARE(lines->first().value(1), QStringLiteral("Casino Night"));
    }
};

QTEST_GUILESS_MAIN(TestQuickAdd)
#include "tst_quickadd.moc"

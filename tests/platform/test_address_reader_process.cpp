// SPDX-License-Identifier: GPL-3.0-or-later
// The program's side of the address reader, against stand-in readers made of shell
// commands: answers become known addresses; a reader that hangs, crashes, cannot start or
// talks nonsense never holds up or breaks the program; windows that go are forgotten.
#include "platform/AddressReaderProcess.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <csignal>
#include <memory>

using namespace kvorn;

namespace {

// A stand-in reader: a shell loop that answers each question line with `status` (and for
// "found" an address made of the window's title), after running `after` once per answer.
QString standIn(const char *status, const char *after = "")
{
    return QStringLiteral("T=$(printf '\\t'); while IFS= read -r l; do r=${l#*$T}; "
                          "printf '%s\\t%s\\t%s\\thttp://casino.example/%s\\n' "
                          "\"${l%%$T*}\" \"${r%%$T*}\" ") +
           QLatin1String(status) + QStringLiteral(" \"${l##*$T}\"; ") + QLatin1String(after) +
           QStringLiteral(" done");
}

const QString kEcho = standIn("found");
const QString kNone = standIn("none");

AddressReaderProcess::Timing quick()
{
    AddressReaderProcess::Timing t;
    t.firstWaitMs = 50;
    t.longestWaitMs = 400;
    t.answerTimeoutMs = 300;
    t.firstPauseMs = 100;
    t.longestPauseMs = 400;
    t.failuresToGiveUp = 4;
    t.unusedMs = 300;
    return t;
}

std::unique_ptr<AddressReaderProcess> reader(const QString &script,
                                             const AddressReaderProcess::Timing &t = quick())
{
    return std::make_unique<AddressReaderProcess>(QStringLiteral("/bin/sh"),
                                                  QStringList{QStringLiteral("-c"), script}, t);
}

// What the survey does with a browser window on each tick.
QString survey(AddressReaderProcess &r, WindowId window, const QString &title)
{
    bool wanted = false;
    const QString address = r.known(window, title, wanted);
    if (wanted) {
        BrowserWindow w;
        w.window = window;
        w.pid = 4321;
        w.title = title;
        w.geometry = QRect(10, 10, 800, 600);
        r.lookUp(w);
    }
    return address;
}

// Surveys the window every 20 ms for `ms`; returns the longest a call took.
qint64 surveyFor(AddressReaderProcess &r, WindowId window, const QString &title, int ms)
{
    QElapsedTimer total;
    total.start();
    qint64 longest = 0;
    while (total.elapsed() < ms) {
        QElapsedTimer one;
        one.start();
        survey(r, window, title);
        longest = std::max(longest, one.elapsed());
        QTest::qWait(20);
    }
    return longest;
}

} // namespace

class TestAddressReaderProcess : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus"); }

    void answersBecomeKnownAddresses()
    {
        auto r = reader(kEcho);
        QVERIFY(r->available());
        QSignalSpy changed(r.get(), &AddressReaderProcess::addressChanged);
        const std::uint64_t before = r->changeCount();
        QCOMPARE(survey(*r, 0x400002, "Page"), QString());
        QTRY_COMPARE(survey(*r, 0x400002, "Page"), QStringLiteral("http://casino.example/Page"));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).value<WindowId>(), WindowId(0x400002));
        QVERIFY(r->changeCount() > before);
        // Known: not asked again on later ticks.
        const std::uint64_t asked = r->questions();
        surveyFor(*r, 0x400002, "Page", 200);
        QCOMPARE(r->questions(), asked);

        // A new title is a new page: the old address is no longer true, and it is asked.
        const std::uint64_t beforeTitle = r->changeCount();
        QCOMPARE(survey(*r, 0x400002, "Next"), QString());
        QVERIFY(r->changeCount() > beforeTitle);
        QTRY_COMPARE(survey(*r, 0x400002, "Next"), QStringLiteral("http://casino.example/Next"));

        // A window that goes is forgotten.
        QCOMPARE(r->windowsKept(), 1);
        r->forget(0x400002);
        QCOMPARE(r->windowsKept(), 0);
    }

    void windowsNobodyAsksAboutAreForgotten()
    {
        auto r = reader(kEcho);
        for (WindowId w = 1; w <= 50; ++w)
            survey(*r, w, QStringLiteral("Page %1").arg(w));
        QCOMPARE(r->windowsKept(), 50);
        // Only one window is still listed by the survey; the others went unnoticed.
        surveyFor(*r, 7, QStringLiteral("Page 7"), 800);
        QCOMPARE(r->windowsKept(), 1);
        QTRY_COMPARE(survey(*r, 7, QStringLiteral("Page 7")),
                     QStringLiteral("http://casino.example/Page 7"));
    }

    void nothingFoundIsAskedAgainLessAndLessOften()
    {
        auto r = reader(kNone);
        QSignalSpy answers(r.get(), &AddressReaderProcess::answered);
        surveyFor(*r, 0x500001, "Slow", 1600);
        // Waits of 50, 100, 200, 400, 400 ... ms between the answers: about 6 in 1.6 s, and
        // never one per tick.
        QVERIFY2(answers.count() >= 3 && answers.count() <= 9,
                 qPrintable(QString::number(answers.count())));
        QCOMPARE(survey(*r, 0x500001, "Slow"), QString());
        QVERIFY(r->changeCount() == 0);
    }

    void garbageFromTheReaderIsIgnored()
    {
        // Noise, an overlong line, an answer for another window and one with a stale number
        // come first; then the true answers.
        const QString script = QStringLiteral(
            "printf 'hello\\n\\t\\t\\t\\n1\\t2\\tfound\\n'; "
            "head -c 200000 /dev/zero | tr '\\0' x; printf '\\n'; "
            "printf '1\\t999\\tfound\\thttp://other/\\n99\\t%d\\tfound\\thttp://stale/\\n' "
            "5242881; ") + kEcho;
        auto r = reader(script);
        QTRY_COMPARE(survey(*r, 5242881, "Page"), QStringLiteral("http://casino.example/Page"));
        QCOMPARE(r->windowsKept(), 1);
        QCOMPARE(r->starts(), 1);
    }

    void aHungReaderIsEndedAndAtLastGivenUp()
    {
        // Reads its questions and never answers.
        auto r = reader(QStringLiteral("exec cat > /dev/null"));
        survey(*r, 0x400002, "Page");
        QTRY_VERIFY(r->readerProcessId() != 0);
        const qint64 first = r->readerProcessId();
        // Never once does the survey wait for it.
        const qint64 longest = surveyFor(*r, 0x400002, "Page", 600);
        QVERIFY2(longest < 100, qPrintable(QString::number(longest)));
        QVERIFY(r->starts() >= 2);
        QVERIFY(::kill(pid_t(first), 0) != 0); // the hung one was ended
        QTRY_VERIFY_WITH_TIMEOUT((surveyFor(*r, 0x400002, "Page", 100), r->gaveUp()), 10000);
        QCOMPARE(r->starts(), 4);
        QCOMPARE(r->readerProcessId(), 0);
        QVERIFY(!r->available());
        // Given up: nothing is started or asked any more.
        const std::uint64_t asked = r->questions();
        surveyFor(*r, 0x400002, "Page", 300);
        surveyFor(*r, 0x400003, "Other", 300);
        QCOMPARE(r->questions(), asked);
        QCOMPARE(r->starts(), 4);
    }

    void aStoppedReaderIsReplacedWhileQuestionsKeepComing()
    {
        auto r = reader(kEcho);
        QTRY_COMPARE(survey(*r, 0x400002, "Page 0"), QStringLiteral("http://casino.example/Page 0"));
        const qint64 first = r->readerProcessId();
        QVERIFY(first != 0);
        QCOMPARE(::kill(pid_t(first), SIGSTOP), 0);
        // The window's title changes on every tick, so a new question follows each one
        // before its answer could be missed for long.
        QElapsedTimer clock;
        clock.start();
        int tick = 0;
        while (r->starts() < 2 && clock.elapsed() < 3000) {
            survey(*r, 0x400002, QStringLiteral("Page %1").arg(++tick));
            QTest::qWait(20);
        }
        ::kill(pid_t(first), SIGCONT);
        QVERIFY2(r->starts() >= 2, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(r->readerProcessId() != first);
        // The new reader answers again.
        QTRY_COMPARE(survey(*r, 0x400002, "Back"), QStringLiteral("http://casino.example/Back"));
    }

    void aReaderAtWorkIsKeptWhileTitlesChange()
    {
        // Each question's answer comes after the window's next title made it stale: no
        // answer is one the program waits for, yet the reader is at work and stays.
        auto r = reader(standIn("none", "sleep 0.02;"));
        QElapsedTimer clock;
        clock.start();
        int tick = 0;
        while (clock.elapsed() < 5 * quick().answerTimeoutMs) {
            ++tick;
            survey(*r, 0x400002, QStringLiteral("Page %1").arg(tick));
            QTest::qWait(10);
            survey(*r, 0x400002, QStringLiteral("Page %1, loaded").arg(tick));
            QTest::qWait(40);
        }
        QCOMPARE(r->starts(), 1);
    }

    void aCrashingReaderIsRestartedAfterGrowingPauses_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("script");

        QTest::newRow("crashes") << QStringLiteral("/bin/sh")
                                 << QStringLiteral("kill -SEGV $$");
        QTest::newRow("ends at once") << QStringLiteral("/bin/sh") << QStringLiteral("exit 3");
        QTest::newRow("cannot start") << QStringLiteral("/nonexistent/kvorn-address-reader")
                                      << QString();
    }
    void aCrashingReaderIsRestartedAfterGrowingPauses()
    {
        QFETCH(QString, program);
        QFETCH(QString, script);
        AddressReaderProcess r(program,
                               script.isEmpty() ? QStringList{}
                                                : QStringList{QStringLiteral("-c"), script},
                               quick());
        QElapsedTimer clock;
        clock.start();
        // Pauses of 100, 200 and 400 ms between the four starts.
        QTRY_VERIFY_WITH_TIMEOUT((surveyFor(r, 0x400002, "Page", 50), r.gaveUp()), 10000);
        QCOMPARE(r.starts(), 4);
        QVERIFY2(clock.elapsed() >= 650, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(survey(r, 0x400002, "Page"), QString());
    }

    void anAnswerEndsTheCountOfFailures()
    {
        // Every reader answers one question and then dies.
        const QString script = standIn("none", "exit 1;");
        auto t = quick();
        t.longestWaitMs = 50;
        auto r = reader(script, t);
        surveyFor(*r, 0x400002, "Page", 2500);
        QVERIFY2(r->starts() > t.failuresToGiveUp, qPrintable(QString::number(r->starts())));
        QVERIFY(!r->gaveUp());
    }

    void withoutASessionBusNothingStarts()
    {
        qunsetenv("DBUS_SESSION_BUS_ADDRESS");
        auto r = reader(kEcho);
        QVERIFY(!r->available());
        surveyFor(*r, 0x400002, "Page", 100);
        QCOMPARE(r->starts(), 0);
        QCOMPARE(r->questions(), std::uint64_t(0));
        QCOMPARE(r->windowsKept(), 0);
    }
};

QTEST_GUILESS_MAIN(TestAddressReaderProcess)
#include "test_address_reader_process.moc"

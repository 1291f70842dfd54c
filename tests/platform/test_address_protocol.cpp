// SPDX-License-Identifier: GPL-3.0-or-later
// The lines the program and its address reader exchange, and the rule that picks a
// window's accessible frame: what survives a round trip, what broken input is refused or
// dropped, and which frame (if any) a window gets.
#include "platform/atspi/AddressProtocol.h"

#include <QTest>

#include <string>
#include <vector>

using namespace kvorn::addressprotocol;

Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(kvorn::addressprotocol::Status)
Q_DECLARE_METATYPE(kvorn::addressprotocol::Rect)

namespace {

std::string s(const char *text)
{
    return text;
}

Question question(const Rect &geometry, std::vector<Rect> twins)
{
    Question q;
    q.seq = 1;
    q.window = 0x400002;
    q.pid = 1234;
    q.geometry = geometry;
    q.twins = std::move(twins);
    q.title = "Same Title - Chromium";
    return q;
}

} // namespace

class TestAddressProtocol : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void questionsSurviveTheirLine_data()
    {
        QTest::addColumn<std::string>("title");
        QTest::addColumn<int>("twins");

        QTest::newRow("plain") << s("Free Casino Bonus - Chromium") << 0;
        QTest::newRow("em dash and accents")
            << s("Caf\xc3\xa9 Deals \xe2\x80\x94 Mozilla Firefox") << 1;
        QTest::newRow("tab and line breaks") << s("a\tb\nc\r\n - Chromium") << 2;
        QTest::newRow("percent signs") << s("100% off %41 %% - Chromium") << 0;
        QTest::newRow("control bytes") << s("\x01\x1f\x7f - Chromium") << 3;
        QTest::newRow("empty") << s("") << 0;
    }
    void questionsSurviveTheirLine()
    {
        QFETCH(std::string, title);
        QFETCH(int, twins);
        Question q;
        q.seq = 18446744073709551ull;
        q.window = 0xffffffffu;
        q.pid = 4000000000u;
        q.geometry = {-20, -5, 1280, 800};
        for (int i = 0; i < twins; ++i)
            q.twins.push_back({10 * i, 20 * i, 500, 400 + i});
        q.title = title;

        const std::string line = questionLine(q);
        QCOMPARE(std::count(line.begin(), line.end(), '\n'), 1);
        QVERIFY(line.back() == '\n');
        const auto back = parseQuestion(std::string_view(line).substr(0, line.size() - 1));
        QVERIFY(back);
        QCOMPARE(back->seq, q.seq);
        QCOMPARE(back->window, q.window);
        QCOMPARE(back->pid, q.pid);
        QVERIFY(back->geometry == q.geometry);
        QVERIFY(back->twins == q.twins);
        QCOMPARE(back->title, q.title);
    }

    void answersSurviveTheirLine_data()
    {
        QTest::addColumn<Status>("status");
        QTest::addColumn<std::string>("address");
        QTest::addColumn<std::string>("read"); // the address the other side gets

        QTest::newRow("found") << Status::Found << s("file:///tmp/casino.example/a.html?x=1%20y")
                               << s("file:///tmp/casino.example/a.html?x=1%20y");
        QTest::newRow("found, line break in it") << Status::Found << s("http://a/\nb")
                                                 << s("http://a/\nb");
        QTest::newRow("none drops an address") << Status::None << s("http://stale/") << s("");
        QTest::newRow("ambiguous") << Status::Ambiguous << s("") << s("");
        QTest::newRow("off") << Status::Off << s("") << s("");
    }
    void answersSurviveTheirLine()
    {
        QFETCH(Status, status);
        QFETCH(std::string, address);
        QFETCH(std::string, read);
        Answer a;
        a.seq = 7;
        a.window = 0x600023;
        a.status = status;
        a.address = address;
        const std::string line = answerLine(a);
        QCOMPARE(std::count(line.begin(), line.end(), '\n'), 1);
        const auto back = parseAnswer(std::string_view(line).substr(0, line.size() - 1));
        QVERIFY(back);
        QCOMPARE(back->seq, a.seq);
        QCOMPARE(back->window, a.window);
        QCOMPARE(back->status, status);
        QCOMPARE(back->address, read);
    }

    void brokenQuestionsAreRefused_data()
    {
        QTest::addColumn<std::string>("line");

        QTest::newRow("empty") << s("");
        QTest::newRow("cut after the geometry") << s("1\t2\t3\t0 0 10 10");
        QTest::newRow("cut inside the geometry") << s("1\t2\t3\t0 0 10");
        QTest::newRow("one field too many") << s("1\t2\t3\t0 0 10 10\t\tT\textra");
        QTest::newRow("sequence not a number") << s("x\t2\t3\t0 0 10 10\t\tT");
        QTest::newRow("negative window") << s("1\t-2\t3\t0 0 10 10\t\tT");
        QTest::newRow("window beyond 32 bits") << s("1\t4294967296\t3\t0 0 10 10\t\tT");
        QTest::newRow("process beyond 32 bits") << s("1\t2\t99999999999\t0 0 10 10\t\tT");
        QTest::newRow("sequence of 20 digits") << s("18446744073709551616\t2\t3\t0 0 1 1\t\tT");
        QTest::newRow("geometry out of range") << s("1\t2\t3\t0 0 10 2000000\t\tT");
        QTest::newRow("geometry with a lone minus") << s("1\t2\t3\t- 0 10 10\t\tT");
        QTest::newRow("geometry with a plus") << s("1\t2\t3\t+1 0 10 10\t\tT");
        QTest::newRow("garbled twin") << s("1\t2\t3\t0 0 10 10\t0 0 10 10,zz\tT");
        QTest::newRow("empty twin between commas") << s("1\t2\t3\t0 0 10 10\t0 0 1 1,,0 0 1 1\tT");
        QTest::newRow("binary noise") << s("\xff\xfe\x01\t\x80\t\t\t\t");
    }
    void brokenQuestionsAreRefused()
    {
        QFETCH(std::string, line);
        QVERIFY(!parseQuestion(line));
    }

    void brokenAnswersAreRefused_data()
    {
        QTest::addColumn<std::string>("line");

        QTest::newRow("empty") << s("");
        QTest::newRow("cut before the address") << s("1\t2\tfound");
        QTest::newRow("unknown status") << s("1\t2\tmaybe\thttp://a/");
        QTest::newRow("status in capitals") << s("1\t2\tFOUND\thttp://a/");
        QTest::newRow("window beyond 32 bits") << s("1\t4294967296\tfound\thttp://a/");
        QTest::newRow("sequence not a number") << s("one\t2\tfound\thttp://a/");
        QTest::newRow("one field too many") << s("1\t2\tfound\thttp://a/\tx");
    }
    void brokenAnswersAreRefused()
    {
        QFETCH(std::string, line);
        QVERIFY(!parseAnswer(line));
    }

    void brokenEscapesStayAsTheyAre_data()
    {
        QTest::addColumn<std::string>("text");
        QTest::addColumn<std::string>("read");

        QTest::newRow("percent at the end") << s("50%") << s("50%");
        QTest::newRow("one digit at the end") << s("%4") << s("%4");
        QTest::newRow("not hex") << s("%zz%4g") << s("%zz%4g");
        QTest::newRow("small letters") << s("%0a%0D") << s("\n\r");
        QTest::newRow("escaped percent") << s("%25%2541") << s("%%41");
    }
    void brokenEscapesStayAsTheyAre()
    {
        QFETCH(std::string, text);
        QFETCH(std::string, read);
        QCOMPARE(unescape(text), read);
    }

    void linesAreCutFromAStream_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QList<QByteArray>>("lines");
        QTest::addColumn<int>("dropped");

        using L = QList<QByteArray>;
        QTest::newRow("one line") << L{"a\n"} << L{"a"} << 0;
        QTest::newRow("several in one read") << L{"a\nb\n\nc"} << L{"a", "b", ""} << 0;
        QTest::newRow("one cut across reads") << L{"ab", "c", "d\ne"} << L{"abcd"} << 0;
        QTest::newRow("no line end yet") << L{"abc"} << L{} << 0;
        // The buffer takes 8 bytes of a line at most.
        QTest::newRow("overlong in one read") << L{"0123456789\nok\n"} << L{"ok"} << 1;
        QTest::newRow("overlong across reads, tail not a line")
            << L{"01234", "56789", "abcdef", "gh\nok\n"} << L{"ok"} << 1;
        QTest::newRow("exactly the longest") << L{"01234567\n"} << L{"01234567"} << 0;
        QTest::newRow("one over the longest") << L{"012345678\n"} << L{} << 1;
        QTest::newRow("good lines around overlong ones")
            << L{"a\n0123456789", "0123456789\nb\n", "0123456789\n"} << L{"a", "b"} << 2;
    }
    void linesAreCutFromAStream()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QList<QByteArray>, lines);
        QFETCH(int, dropped);
        LineBuffer buffer(8);
        QList<QByteArray> got;
        for (const QByteArray &chunk : chunks) {
            buffer.append(std::string_view(chunk.constData(), std::size_t(chunk.size())));
            QVERIFY(buffer.held() <= 8 + std::size_t(chunk.size()));
            while (const auto line = buffer.next())
                got.append(QByteArray::fromStdString(*line));
            QVERIFY(buffer.held() <= 8);
        }
        QCOMPARE(got, lines);
        QCOMPARE(int(buffer.dropped()), dropped);
    }

    void aWindowGetsAFrameOnlyWhenNoOtherCouldHaveIt_data()
    {
        QTest::addColumn<Rect>("window");
        QTest::addColumn<QList<Rect>>("twins");
        QTest::addColumn<QList<Rect>>("frames"); // where the frames of its title stand
        QTest::addColumn<Status>("status");
        QTest::addColumn<int>("frame");

        using R = QList<Rect>;
        const Rect a{10, 10, 1050, 780};
        const Rect b{20, 20, 1050, 780}; // Chromium's next window: 10 px further
        const Rect maximised{0, 19, 1280, 781};
        QTest::newRow("no frame of that title") << a << R{} << R{} << Status::None << 0;
        QTest::newRow("one frame, no twin: wherever it stands")
            << a << R{} << R{{500, 500, 10, 10}} << Status::Found << 0;
        QTest::newRow("two frames, one here") << a << R{b} << R{b, a} << Status::Found << 1;
        QTest::newRow("two frames, the other here") << b << R{a} << R{b, a} << Status::Found << 0;
        QTest::newRow("frame below a title bar") << a << R{}
                                                 << R{{10, 40, 1050, 750}, {600, 300, 500, 400}}
                                                 << Status::Found << 0;
        QTest::newRow("same title, same place: no guess")
            << maximised << R{maximised} << R{maximised, maximised} << Status::Ambiguous << 0;
        QTest::newRow("twin a few pixels off: no guess")
            << a << R{{14, 12, 1050, 780}} << R{a, {14, 12, 1050, 780}} << Status::Ambiguous
            << 0;
        QTest::newRow("two frames here, no twin known")
            << a << R{} << R{a, a} << Status::Ambiguous << 0;
        QTest::newRow("two frames, neither here") << a << R{} << R{{600, 300, 500, 400}, b}
                                                  << Status::Ambiguous << 0;
        QTest::newRow("one frame elsewhere, a twin known")
            << a << R{b} << R{{600, 300, 500, 400}} << Status::None << 0;
        QTest::newRow("one frame standing on the twin")
            << a << R{b} << R{b} << Status::None << 0;
        QTest::newRow("one frame here, a twin elsewhere")
            << a << R{{600, 300, 500, 400}} << R{a} << Status::Found << 0;
        QTest::newRow("frame whose place is unknown") << a << R{b}
                                                      << R{{-100000, -100000, 0, 0}, a}
                                                      << Status::Found << 1;
    }
    void aWindowGetsAFrameOnlyWhenNoOtherCouldHaveIt()
    {
        QFETCH(Rect, window);
        QFETCH(QList<Rect>, twins);
        QFETCH(QList<Rect>, frames);
        QFETCH(Status, status);
        QFETCH(int, frame);
        const Question q = question(window, std::vector<Rect>(twins.begin(), twins.end()));
        const Pick pick = pickFrame(q, std::vector<Rect>(frames.begin(), frames.end()));
        QCOMPARE(pick.status, status);
        if (status == Status::Found)
            QCOMPARE(int(pick.frame), frame);
    }
};

QTEST_GUILESS_MAIN(TestAddressProtocol)
#include "test_address_protocol.moc"

// A mail check of 1,000 waiting messages on a loopback Dovecot, against a plain sequential
// client (Python's poplib) doing the same commands in the same run.
#include "core/Prompt.h"
#include "mail/DovecotServer.h"
#include "mail/MailCheck.h"
#include "mail/MailSettings.h"
#include "mail/MessageListModel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <memory>
#include <vector>

using namespace kvorn;

namespace {

constexpr int kMessages = 1000;
std::unique_ptr<test::DovecotServer> g_dovecot;

class SilentPrompt final : public Prompt
{
public:
    Answer message(const QString &, Buttons, Icon, const QString &) override { return Answer::Ok; }
    std::optional<QString> input(const QString &, const QString &, const QString &) override
    {
        return std::nullopt;
    }
};

QByteArray sampleMessage(int n)
{
    QByteArray body;
    for (int i = 1; i <= 40; ++i)
        body += "Body line " + QByteArray::number(i) + " of message " + QByteArray::number(n) +
                ", long enough to look like real text.\n";
    return "Received: from relay.example.test by mx.example.test; Wed, 9 Dec 2026 10:00:00\n"
           "From: Sender " +
           QByteArray::number(n) + " <s" + QByteArray::number(n) +
           "@example.test>\n"
           "To: bench@example.test\n"
           "Subject: Benchmark message " +
           QByteArray::number(n) +
           "\n"
           "Date: Wed, 9 Dec 2026 10:00:00 +0000\n"
           "Message-ID: <" +
           QByteArray::number(n) + "@example.test>\n\n" + body;
}

void BM_MailCheck(benchmark::State &state)
{
    MailSettings settings;
    settings.Accounts = QStringLiteral("Acct-Bench");
    MailAccounts accounts;
    accounts[0].AcctUser = QStringLiteral("bench");
    accounts[0].AcctPass = QStringLiteral("benchpass");
    accounts[0].AcctPOP3 = g_dovecot->hostPort();
    accounts[0].MailName = QStringLiteral("bench@example.test");
    MessageListModel list;
    SilentPrompt prompt;
    MailCheck check({settings, accounts, list, prompt, nullptr, nullptr});

    qint64 worstGap = 0;
    for (auto _ : state) {
        // How long the event loop was kept from other work: the window's responsiveness.
        QElapsedTimer sinceTick;
        QTimer ticker;
        ticker.setInterval(5);
        QObject::connect(&ticker, &QTimer::timeout, &ticker,
                         [&] { worstGap = qMax(worstGap, sinceTick.restart()); });
        QEventLoop loop;
        QObject::connect(&check, &MailCheck::checkFinished, &loop, &QEventLoop::quit);
        sinceTick.start();
        ticker.start();
        check.GetNewMail();
        loop.exec();
        ticker.stop();
        if (list.rowCount() != kMessages ||
            !check.statusText().endsWith(QLatin1String("Finished Checking\r\n"))) {
            state.SkipWithError("the check did not list every message");
            break;
        }
    }
    state.counters["messages"] = kMessages;
    state.counters["worst_event_gap_ms"] = double(worstGap);
}

const char *kPythonClient = R"PY(
import poplib, sys, time
host, port = sys.argv[1], int(sys.argv[2])
t = time.perf_counter()
p = poplib.POP3(host, port)
p.user('bench'); p.pass_('benchpass')
count, size = p.stat()
for n in range(1, count + 1):
    if n == 1:
        p.retr(1)
    else:
        p.top(n, 20)
    p.uidl(n)
p.quit()
print(time.perf_counter() - t, count)
)PY";

void BM_PythonPoplib(benchmark::State &state)
{
    for (auto _ : state) {
        QProcess python;
        python.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral("-c"), QString::fromUtf8(kPythonClient),
                      QStringLiteral("127.0.0.1"), QString::number(g_dovecot->port())});
        if (!python.waitForFinished(120000) || python.exitCode() != 0) {
            state.SkipWithError("poplib client failed");
            break;
        }
        const QList<QByteArray> out = python.readAllStandardOutput().trimmed().split(' ');
        if (out.value(1).toInt() != kMessages) {
            state.SkipWithError("poplib client saw another count");
            break;
        }
        // Only the dialogue counts, not the interpreter's start.
        state.SetIterationTime(out.value(0).toDouble());
    }
    state.counters["messages"] = kMessages;
}

} // namespace

// Both clients in turns, so that the load of a shared machine falls on both alike.
void BM_CheckVsPoplib(benchmark::State &state)
{
    MailSettings settings;
    settings.Accounts = QStringLiteral("Acct-Bench");
    MailAccounts accounts;
    accounts[0].AcctUser = QStringLiteral("bench");
    accounts[0].AcctPass = QStringLiteral("benchpass");
    accounts[0].AcctPOP3 = g_dovecot->hostPort();
    MessageListModel list;
    SilentPrompt prompt;
    MailCheck check({settings, accounts, list, prompt, nullptr, nullptr});
    std::vector<double> ours;
    std::vector<double> theirs;
    for (auto _ : state) {
        QProcess python;
        python.start(QStringLiteral("/usr/bin/python3"),
                     {QStringLiteral("-c"), QString::fromUtf8(kPythonClient),
                      QStringLiteral("127.0.0.1"), QString::number(g_dovecot->port())});
        if (!python.waitForFinished(120000) || python.exitCode() != 0) {
            state.SkipWithError("poplib client failed");
            break;
        }
        theirs.push_back(python.readAllStandardOutput().trimmed().split(' ').value(0).toDouble() *
                         1000.0);
        QEventLoop loop;
        QObject::connect(&check, &MailCheck::checkFinished, &loop, &QEventLoop::quit);
        QElapsedTimer t;
        t.start();
        check.GetNewMail();
        loop.exec();
        ours.push_back(double(t.nsecsElapsed()) / 1e6);
        if (list.rowCount() != kMessages) {
            state.SkipWithError("the check did not list every message");
            break;
        }
        state.SetIterationTime(ours.back() / 1000.0);
    }
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    };
    state.counters["check_ms"] = median(ours);
    state.counters["poplib_ms"] = median(theirs);
    state.counters["ratio"] = median(theirs) > 0 ? median(ours) / median(theirs) : 0.0;
}

BENCHMARK(BM_MailCheck)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_PythonPoplib)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_CheckVsPoplib)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(9);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (!test::DovecotServer::available()) {
        std::fprintf(stderr, "bench_pop3: dovecot is not installed\n");
        return 0;
    }
    g_dovecot = std::make_unique<test::DovecotServer>();
    g_dovecot->addUser(QStringLiteral("bench"), QStringLiteral("benchpass"));
    for (int n = 1; n <= kMessages; ++n)
        g_dovecot->addMessage(QStringLiteral("bench"), sampleMessage(n));
    QString error;
    if (!g_dovecot->start(&error)) {
        std::fprintf(stderr, "bench_pop3: %s\n", qPrintable(error));
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_dovecot.reset();
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// A mail check of 1,000 waiting messages on a loopback Dovecot, against a plain sequential
// client (Python's poplib) doing the same commands in the same run: the dialogue alone, and
// the whole check with the mail list shown. Then the same check over a link of 20 ms
// round-trip time, in batches and one request at a time.
#include "EventLoopTiming.h"
#include "core/Options.h"
#include "core/Prompt.h"
#include "mail/DovecotServer.h"
#include "mail/MailCheck.h"
#include "mail/MailSettings.h"
#include "mail/MessageListModel.h"
#include "shell/MailScreen.h"

#include <QApplication>
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

double median(const std::vector<double> &v)
{
    return bench::percentile(v, 0.5);
}

/// Runs one whole check; its time in milliseconds, or a negative number when it did not list
/// every message.
double timedCheck(MailCheck &check, const MessageListModel &list)
{
    QEventLoop loop;
    QObject::connect(&check, &MailCheck::checkFinished, &loop, &QEventLoop::quit);
    QElapsedTimer t;
    t.start();
    check.GetNewMail();
    loop.exec();
    const double ms = double(t.nsecsElapsed()) / 1e6;
    return list.rowCount() == kMessages ? ms : -1.0;
}

// Passes connections on to the server, each direction's data a fixed time late, as over a
// long link; with "1" the server's offer of pipelining is hidden from the client.
const char *kDelayProxy = R"PY(
import asyncio, sys
target, delay, hide = int(sys.argv[1]), float(sys.argv[2]), sys.argv[3] == '1'

async def pump(reader, writer, hiding):
    loop = asyncio.get_running_loop()
    queue = asyncio.Queue()
    async def send():
        while True:
            when, data = await queue.get()
            if when > loop.time():
                await asyncio.sleep(when - loop.time())
            if not data:
                writer.close()
                return
            writer.write(data)
    sender = asyncio.ensure_future(send())
    while True:
        data = await reader.read(65536)
        if data and hiding:
            data = data.replace(b'\r\nPIPELINING\r\n', b'\r\nX-NOTHING!\r\n')
        queue.put_nowait((loop.time() + delay, data))
        if not data:
            break
    await sender

async def handle(client_reader, client_writer):
    reader, writer = await asyncio.open_connection('127.0.0.1', target)
    await asyncio.gather(pump(client_reader, writer, False), pump(reader, client_writer, hide))

async def main():
    server = await asyncio.start_server(handle, '127.0.0.1', 0)
    print(server.sockets[0].getsockname()[1], flush=True)
    async with server:
        await server.serve_forever()

asyncio.run(main())
)PY";

/// A delaying proxy in front of the Dovecot; its port, or 0.
quint16 startDelayProxy(QProcess &proxy, bool hidePipelining)
{
    proxy.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral("-c"), QString::fromUtf8(kDelayProxy),
                 QString::number(g_dovecot->port()), QStringLiteral("0.010"),
                 hidePipelining ? QStringLiteral("1") : QStringLiteral("0")});
    if (!proxy.waitForReadyRead(10000))
        return 0;
    return quint16(proxy.readLine().trimmed().toUInt());
}

// 20 ms round trip: ten milliseconds late each way. The check one request at a time comes
// once against several in batches, as it takes about 2,000 round trips.
void BM_PipelinedVsOneAtATime20ms(benchmark::State &state)
{
    QProcess batchedProxy;
    QProcess singleProxy;
    const quint16 batchedPort = startDelayProxy(batchedProxy, false);
    const quint16 singlePort = startDelayProxy(singleProxy, true);
    if (!batchedPort || !singlePort) {
        state.SkipWithError("the delaying proxy did not start");
        return;
    }
    MailSettings settings;
    settings.Accounts = QStringLiteral("Acct-Bench");
    settings.ServerTO = 60000;
    MailAccounts accounts;
    accounts[0].AcctUser = QStringLiteral("bench");
    accounts[0].AcctPass = QStringLiteral("benchpass");
    MessageListModel list;
    SilentPrompt prompt;
    MailCheck check({settings, accounts, list, prompt, nullptr, nullptr});
    std::vector<double> batched;
    std::vector<double> single;
    for (auto _ : state) {
        if (single.empty()) {
            accounts[0].AcctPOP3 = QStringLiteral("127.0.0.1:%1").arg(singlePort);
            single.push_back(timedCheck(check, list));
        }
        accounts[0].AcctPOP3 = QStringLiteral("127.0.0.1:%1").arg(batchedPort);
        batched.push_back(timedCheck(check, list));
        if (batched.back() < 0 || single.front() < 0) {
            state.SkipWithError("the check did not list every message");
            break;
        }
        state.SetIterationTime(batched.back() / 1000.0);
    }
    batchedProxy.kill();
    singleProxy.kill();
    batchedProxy.waitForFinished();
    singleProxy.waitForFinished();
    state.counters["batched_ms"] = median(batched);
    state.counters["one_at_a_time_ms"] = median(single);
    state.counters["speedup"] = median(batched) > 0 ? median(single) / median(batched) : 0.0;
}

// Both clients in turns, so that the load of a shared machine falls on both alike. The
// check runs as the user meets it: the mail list shown, its columns fitted to the texts.
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
    Options options;
    options.AutoColumn = true;
    MailCheck check({settings, accounts, list, prompt, nullptr, &options});
    MailScreenView screen(check, list);
    screen.resize(1000, 600);
    screen.show();
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
        ours.push_back(timedCheck(check, list));
        if (ours.back() < 0) {
            state.SkipWithError("the check did not list every message");
            break;
        }
        state.SetIterationTime(ours.back() / 1000.0);
    }
    state.counters["check_ms"] = median(ours);
    state.counters["poplib_ms"] = median(theirs);
    state.counters["ratio"] = median(theirs) > 0 ? median(ours) / median(theirs) : 0.0;
}

BENCHMARK(BM_MailCheck)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_PythonPoplib)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_CheckVsPoplib)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(9);
BENCHMARK(BM_PipelinedVsOneAtATime20ms)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
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

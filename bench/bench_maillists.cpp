// SPDX-License-Identifier: GPL-3.0-or-later
// Classification look-ups against large mail lists (indexed and by plain scan), loading
// the blacklist file, and what a DNS test costs per distinct sender domain against a
// loopback dnsmasq.

#include "core/TextFile.h"
#include "dns/DnsTestServer.h"
#include "mail/MailLists.h"
#include "mail/MailSettings.h"
#include "mail/MessageListModel.h"
#include "mail/SpamClassifier.h"
#include "platform/CachingResolver.h"
#include "platform/CaresResolver.h"
#include "platform/Clock.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <memory>

using namespace kvorn;

namespace {

constexpr int kBlacklistSize = 50000;
constexpr int kFriendsSize = 1000;
constexpr int kMessages = 1000;

struct Message
{
    QString from;
    QString received;
};

// Lists and messages shaped like real ones: mostly exact addresses and "*@domain"
// entries, some "*domain" and "*word*" ones; a share of senders hit each kind.
struct Corpus
{
    std::vector<MailListEntry> blacklist;
    std::vector<MailListEntry> friends;
    std::vector<Message> messages;

    Corpus()
    {
        QRandomGenerator random(4242);
        const QString date = QStringLiteral("01/01/01");
        auto domain = [](int n) {
            return QStringLiteral("domain%1.%2")
                .arg(n)
                .arg(n % 3 ? QStringLiteral("com") : QStringLiteral("net"));
        };
        for (int i = 0; i < kBlacklistSize; ++i) {
            QString a;
            switch (i % 10) {
            case 0:
            case 1:
            case 2:
            case 3:
            case 4:
            case 5:
                a = QStringLiteral("user%1@%2").arg(i).arg(domain(i / 7));
                break;
            case 6:
            case 7:
            case 8:
                a = QStringLiteral("*@") + domain(i);
                break;
            default:
                a = i % 20 == 9 ? QStringLiteral("*") + domain(i)
                                : QStringLiteral("*word%1*").arg(i);
                break;
            }
            blacklist.push_back({i % 13 != 0, a, date, date});
        }
        for (int i = 0; i < kFriendsSize; ++i) {
            friends.push_back({true,
                               i % 4 ? QStringLiteral("friend%1@home%2.org").arg(i).arg(i % 50)
                                     : QStringLiteral("*@club%1.org").arg(i),
                               date, date});
        }
        for (int i = 0; i < kMessages; ++i) {
            const int n = int(random.bounded(kBlacklistSize));
            QString address;
            switch (i % 8) {
            case 0:
                address = QStringLiteral("user%1@%2").arg(n).arg(domain(n / 7));
                break; // maybe exact
            case 1:
                address = QStringLiteral("sales@mail.") + domain(n);
                break; // maybe wildcard
            case 2:
                address = QStringLiteral("friend%1@home%2.org").arg(n % kFriendsSize).arg(n % 50);
                break;
            default:
                address = QStringLiteral("someone%1@ordinary%2.example").arg(i).arg(n);
                break;
            }
            messages.push_back({QStringLiteral("Some Sender %1 <%2>").arg(i).arg(address),
                                QStringLiteral("from mx%1.relay%2.example.net ([10.1.%3.%4])")
                                    .arg(i % 7)
                                    .arg(n)
                                    .arg(i % 250)
                                    .arg(n % 250)});
        }
    }
};

const Corpus &corpus()
{
    static const Corpus c;
    return c;
}

// One folder for every benchmark's files, never the user's.
QString programFolder()
{
    static QTemporaryDir dir;
    qputenv("KVORN_HOME", dir.path().toLocal8Bit());
    return dir.path();
}

// The list steps of classifying one message: friends first, then the blacklist with the
// received line.
int classify(MailLists &lists, const Message &m)
{
    if (lists.IsInMailList(lists.friends(), m.from, QString()))
        return 1;
    if (lists.IsInMailList(lists.blacklist(), m.from, m.received))
        return 2;
    return 0;
}

void listLookups(benchmark::State &state, bool indexed)
{
    SystemClock clock;
    MailLists lists(programFolder(), clock);
    lists.blacklist().setEntries(corpus().blacklist);
    lists.friends().setEntries(corpus().friends);
    lists.blacklist().setUseIndex(indexed);
    lists.friends().setUseIndex(indexed);
    classify(lists, corpus().messages.front()); // builds the index outside the timing
    int outcomes[3] = {0, 0, 0};
    for (auto _ : state) {
        for (const Message &m : corpus().messages)
            ++outcomes[classify(lists, m)];
    }
    state.counters["per_message"] =
        benchmark::Counter(double(state.iterations()) * kMessages,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["friends"] = double(outcomes[1]) / double(state.iterations());
    state.counters["blacklisted"] = double(outcomes[2]) / double(state.iterations());
}

void BM_ListLookups_Indexed(benchmark::State &state)
{
    listLookups(state, true);
}
void BM_ListLookups_Scan(benchmark::State &state)
{
    listLookups(state, false);
}
BENCHMARK(BM_ListLookups_Indexed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListLookups_Scan)->Unit(benchmark::kMillisecond)->Iterations(2);

// Answers every domain "exists" from the event loop, as a name server that answers at once
// would: what is left is the classifier's own work.
class InstantResolver final : public Resolver
{
public:
    void lookUp(const QString &domain, QObject *, Callback done) override
    {
        ++m_pending;
        QMetaObject::invokeMethod(
            this,
            [this, domain, done = std::move(done)] {
                --m_pending;
                done(DomainAnswer{domain, DomainState::Exists, {}});
            },
            Qt::QueuedConnection);
    }
    int pendingCount() const override { return m_pending; }

private:
    int m_pending = 0;
};

// The whole classification of 1,000 new rows of the mail list: both lists, the row's
// mark and texts, and the DNS step for each row the lists leave (each domain asked once).
void BM_ClassifyRows(benchmark::State &state)
{
    SystemClock clock;
    MailLists lists(programFolder(), clock);
    lists.blacklist().setEntries(corpus().blacklist);
    lists.friends().setEntries(corpus().friends);
    lists.IsInMailList(lists.blacklist(), QStringLiteral("a@b.c"), {}); // builds the index
    lists.IsInMailList(lists.friends(), QStringLiteral("a@b.c"), {});
    MailSettings settings;
    InstantResolver resolver;
    MessageListModel list;
    SpamClassifier classifier(lists, list, settings, resolver);
    int marked = 0;
    for (auto _ : state) {
        state.PauseTiming();
        list.clear();
        classifier.newCheck();
        std::vector<quint64> keys;
        keys.reserve(kMessages);
        for (const Message &m : corpus().messages) {
            MailListRow row;
            row.text[ColFrom] = m.from;
            row.text[ColBlacklist] = m.received;
            keys.push_back(list.addRow(std::move(row)));
        }
        state.ResumeTiming();
        int done = 0;
        for (const quint64 key : keys)
            classifier.classify(key, [&done](bool) { ++done; });
        // Rows are handed back at once; their DNS marks come when the answers are in.
        bool settled = false;
        classifier.whenSettled([&settled] { settled = true; });
        while (done < kMessages || !settled)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        state.PauseTiming();
        marked = 0;
        for (int r = 0; r < list.rowCount(); ++r)
            marked += list.isChecked(r) ? 1 : 0;
        state.ResumeTiming();
    }
    state.counters["per_message"] =
        benchmark::Counter(double(state.iterations()) * kMessages,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["marked"] = marked;
    state.counters["domains_asked"] =
        double(classifier.cache().forwardedCount()) / double(state.iterations());
}
BENCHMARK(BM_ClassifyRows)->Unit(benchmark::kMillisecond);

// Building the index after the lists were loaded or changed (the first look-up pays it).
void BM_IndexBuild(benchmark::State &state)
{
    SystemClock clock;
    MailLists lists(programFolder(), clock);
    for (auto _ : state) {
        state.PauseTiming();
        lists.blacklist().setEntries(corpus().blacklist);
        state.ResumeTiming();
        benchmark::DoNotOptimize(
            lists.IsInMailList(lists.blacklist(), QStringLiteral("a@b.c"), {}));
    }
}
BENCHMARK(BM_IndexBuild)->Unit(benchmark::kMillisecond);

// Loading "mail.mbl" with 50,000 lines at start-up.
void BM_LoadMailLists(benchmark::State &state)
{
    SystemClock clock;
    MailLists lists(programFolder(), clock);
    lists.blacklist().setEntries(corpus().blacklist);
    lists.friends().setEntries(corpus().friends);
    lists.SaveMailList(QStringLiteral("Blacklist"));
    lists.SaveMailList(QStringLiteral("Whitelist"));
    for (auto _ : state) {
        lists.LoadMailLists();
        benchmark::DoNotOptimize(lists.blacklist().count());
    }
}
BENCHMARK(BM_LoadMailLists)->Unit(benchmark::kMillisecond);

// The DNS test against a loopback dnsmasq. Every name asked is new, so nothing is cached.
test::DnsTestServer *dnsServer()
{
    static std::unique_ptr<test::DnsTestServer> server;
    if (!server) {
        QStringList records = test::DnsTestServer::defaultRecords();
        records << QStringLiteral("address=/bench.test/127.0.0.9");
        server = std::make_unique<test::DnsTestServer>(records);
        QString error;
        if (!server->start(&error))
            qFatal("dnsmasq: %s", qPrintable(error));
    }
    return server.get();
}

CaresResolverSettings benchSettings()
{
    CaresResolverSettings s;
    s.servers = dnsServer()->server();
    return s;
}

int g_nameCounter = 0;

// One domain after the other, each waited for: the delay a check sees per new domain.
void dnsOneByOne(benchmark::State &state, bool existing)
{
    CaresResolver resolver(benchSettings());
    QEventLoop loop;
    int unknown = 0;
    for (auto _ : state) {
        const QString domain =
            QStringLiteral("d%1.%2")
                .arg(++g_nameCounter)
                .arg(existing ? QStringLiteral("bench.test") : QStringLiteral("nowhere.test"));
        bool done = false;
        resolver.lookUp(domain, &loop, [&](const DomainAnswer &a) {
            done = true;
            unknown += a.state == DomainState::Unknown;
            loop.quit();
        });
        if (!done)
            loop.exec();
    }
    state.counters["unknown"] = unknown;
}
void BM_Dns_NewDomain_Exists(benchmark::State &state)
{
    dnsOneByOne(state, true);
}
void BM_Dns_NewDomain_NoSuchDomain(benchmark::State &state)
{
    dnsOneByOne(state, false);
}
BENCHMARK(BM_Dns_NewDomain_Exists)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_Dns_NewDomain_NoSuchDomain)->Unit(benchmark::kMicrosecond)->UseRealTime();

// 100 distinct domains asked at once (half existing): cost per domain when a check's
// messages come in quickly.
void BM_Dns_100DomainsAtOnce(benchmark::State &state)
{
    CaresResolver resolver(benchSettings());
    QEventLoop loop;
    for (auto _ : state) {
        int left = 100;
        for (int i = 0; i < 100; ++i) {
            const QString domain =
                QStringLiteral("d%1.%2")
                    .arg(++g_nameCounter)
                    .arg(i % 2 ? QStringLiteral("bench.test") : QStringLiteral("nowhere.test"));
            resolver.lookUp(domain, &loop, [&](const DomainAnswer &) {
                if (--left == 0)
                    loop.quit();
            });
        }
        loop.exec();
    }
    state.counters["per_domain"] =
        benchmark::Counter(double(state.iterations()) * 100,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Dns_100DomainsAtOnce)->Unit(benchmark::kMillisecond)->UseRealTime();

// A domain already answered in this check: the cache answers.
void BM_Dns_RepeatedDomainCached(benchmark::State &state)
{
    CaresResolver resolver(benchSettings());
    CachingResolver cache(resolver);
    QEventLoop loop;
    for (auto _ : state) {
        bool done = false;
        cache.lookUp(QStringLiteral("known.test"), &loop, [&](const DomainAnswer &) {
            done = true;
            loop.quit();
        });
        if (!done)
            loop.exec();
    }
    state.counters["asked_server"] = cache.forwardedCount();
}
BENCHMARK(BM_Dns_RepeatedDomainCached)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    programFolder();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// The popup lookup with lists of the size users import: the indexed lookup against the
// plain scan that lower-cases every entry, the index's memory, and loading and saving a
// 100,000-entry "spamlist.kbl".
#include "fakes/CoreRig.h"
#include "popups/PopupListFile.h"
#include "popups/PopupLists.h"
#include "popups/Wildcard.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <malloc.h>
#include <map>
#include <memory>
#include <random>

using namespace kvorn;

namespace {

/// The core in a private home, with the popup lists.
struct Core : test::CoreRig
{
    PopupLists lists{{controller, tray, clock}, env.programFolder()};
};

// --- the lists and the titles, from a fixed seed ----------------------------------------------

struct Workload
{
    std::vector<PopupEntry> entries;
    std::vector<QString> hits;
    std::vector<QString> misses;
};

class Maker
{
public:
    explicit Maker(unsigned seed) : m_rng(seed)
    {
        std::uniform_int_distribution<int> len(3, 9), letter(0, 25);
        for (int i = 0; i < 3000; ++i) {
            QString w;
            const int n = len(m_rng);
            for (int k = 0; k < n; ++k)
                w += QChar(u'a' + letter(m_rng));
            m_words.push_back(w);
        }
    }

    QString word()
    {
        QString w = m_words[std::size_t(pick(int(m_words.size())))];
        if (pick(4) == 0)
            w[0] = w[0].toUpper();
        return w;
    }

    QStringList words(int from, int to)
    {
        QStringList out;
        const int n = from + pick(to - from + 1);
        for (int i = 0; i < n; ++i)
            out.append(word());
        return out;
    }

    QString title() { return words(2, 6).join(QLatin1Char(' ')); }

    /// A pattern of two to five words with one to three stars at word boundaries.
    QString pattern()
    {
        const QStringList w = words(2, 5);
        const int boundaries = int(w.size()) + 1;
        std::vector<int> all(std::size_t(boundaries), 0);
        for (int i = 0; i < boundaries; ++i)
            all[std::size_t(i)] = i;
        std::shuffle(all.begin(), all.end(), m_rng);
        const int stars = 1 + pick(3);
        std::vector<bool> star(std::size_t(boundaries), false);
        for (int i = 0; i < std::min(stars, boundaries); ++i)
            star[std::size_t(all[std::size_t(i)])] = true;
        QString out;
        for (int i = 0; i < boundaries; ++i) {
            if (star[std::size_t(i)])
                out += QLatin1Char('*');
            else if (i > 0 && i < boundaries - 1)
                out += QLatin1Char(' ');
            if (i < w.size())
                out += w.at(i);
        }
        return out;
    }

    /// A title the pattern covers: every star becomes a word or two.
    QString titleFor(const QString &pattern)
    {
        QString out;
        for (const QChar c : pattern) {
            if (c == QLatin1Char('*'))
                out += QLatin1Char(' ') + words(1, 2).join(QLatin1Char(' ')) + QLatin1Char(' ');
            else
                out += c;
        }
        return out;
    }

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rng); }

private:
    std::mt19937 m_rng;
    std::vector<QString> m_words;
};

Workload makeWorkload(int n)
{
    Maker make(1234567u + unsigned(n));
    Workload w;
    w.entries.reserve(std::size_t(n));
    for (int i = 0; i < n; ++i) {
        PopupEntry e;
        e.text = make.pick(10) < 7 ? make.title() : make.pattern();
        e.dateAdded = noDateText();
        e.lastUsed = noDateText();
        w.entries.push_back(std::move(e));
    }
    PopupListModel check(PopupListModel::Kind::Black);
    check.assign(w.entries);
    // 100 of 1,000 titles hit: half a plain title in another letter case, half made from a
    // pattern; the other 900 are checked to miss.
    while (w.hits.size() < 100) {
        const PopupEntry &e = w.entries[std::size_t(make.pick(n))];
        const bool star = e.text.contains(QLatin1Char('*'));
        if ((w.hits.size() % 2 == 0) == star)
            continue;
        w.hits.push_back(star ? make.titleFor(e.text) : e.text.toUpper());
    }
    while (w.misses.size() < 900) {
        QString t = make.words(3, 7).join(QLatin1Char(' '));
        if (check.patternHitRow(lookupCase(t)) < 0)
            w.misses.push_back(t);
    }
    return w;
}

const Workload &workload(int n)
{
    static std::map<int, std::unique_ptr<Workload>> cache;
    auto &slot = cache[n];
    if (!slot)
        slot = std::make_unique<Workload>(makeWorkload(n));
    return *slot;
}

PopupListModel &blackList(int n)
{
    static std::map<int, std::unique_ptr<PopupListModel>> cache;
    auto &slot = cache[n];
    if (!slot) {
        slot = std::make_unique<PopupListModel>(PopupListModel::Kind::Black);
        slot->setKeepSorted(true);
        slot->assign(workload(n).entries);
    }
    return *slot;
}

// --- benchmarks --------------------------------------------------------------------------------

template <bool Index, bool Hit> void BM_Lookup(benchmark::State &state)
{
    const int n = int(state.range(0));
    const Workload &w = workload(n);
    const PopupListModel &list = blackList(n);
    const std::vector<QString> &titles = Hit ? w.hits : w.misses;
    std::size_t i = 0;
    int found = 0;
    for (auto _ : state) {
        const QString t = lookupCase(titles[i]);
        const int row = Index ? list.patternHitRow(t) : list.patternHitRowByScan(t);
        found += row >= 0;
        benchmark::DoNotOptimize(row);
        i = (i + 1) % titles.size();
    }
    state.counters["hit_rate"] = double(found) / double(state.iterations());
}

void BM_FindPopupEntry(benchmark::State &state)
{
    // The full lookup of the kill pass with its side effects (selection, "Last Used").
    const int n = int(state.range(0));
    const Workload &w = workload(n);
    Core core;
    core.lists.blackList().assign(w.entries);
    std::vector<QString> titles = w.misses;
    titles.insert(titles.end(), w.hits.begin(), w.hits.end());
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(core.lists.FindPopupEntry(core.lists.blackList(), titles[i], true,
                                                           QStringLiteral("N/A")));
        i = (i + 1) % titles.size();
    }
}

QString writeSpamList(Core &core, int n)
{
    core.lists.blackList().assign(workload(n).entries);
    core.lists.setBlackListChanged(true);
    const QString error = core.lists.SavePopupList(core.lists.blackListPath());
    if (!error.isEmpty())
        std::fprintf(stderr, "save failed: %s\n", qPrintable(error));
    return core.lists.blackListPath();
}

void BM_LoadSpamList(benchmark::State &state)
{
    Core core;
    writeSpamList(core, int(state.range(0)));
    for (auto _ : state) {
        core.lists.LoadBlackList();
        benchmark::DoNotOptimize(core.lists.blackList().count());
    }
}

void BM_SaveSpamList(benchmark::State &state)
{
    Core core;
    writeSpamList(core, int(state.range(0)));
    core.lists.LoadBlackList();
    for (auto _ : state) {
        core.lists.setBlackListChanged(true);
        benchmark::DoNotOptimize(core.lists.SavePopupList(core.lists.blackListPath()));
    }
}

BENCHMARK_TEMPLATE(BM_Lookup, true, true)->Name("Index/hit")->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK_TEMPLATE(BM_Lookup, true, false)->Name("Index/miss")->Arg(1000)->Arg(10000)->Arg(100000);
BENCHMARK_TEMPLATE(BM_Lookup, false, true)
    ->Name("Scan/hit")
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_TEMPLATE(BM_Lookup, false, false)
    ->Name("Scan/miss")
    ->Arg(1000)
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FindPopupEntry)->Arg(100000);
BENCHMARK(BM_LoadSpamList)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_SaveSpamList)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(10);

// --- the summary: medians per lookup, the ratio, memory ---------------------------------------

/// Median time of one lookup per title, each title timed on its first lookup (`cold`: the
/// list's memory not in the caches for it) or on its third in a row (warm).
double medianNs(const PopupListModel &list, const std::vector<QString> &titles, bool index,
                std::size_t limit, bool cold)
{
    std::vector<double> ns;
    for (std::size_t i = 0; i < std::min(limit, titles.size()); ++i) {
        double last = 0;
        for (int round = 0; round < (cold ? 1 : 3); ++round) {
            QElapsedTimer timer;
            timer.start();
            const QString t = lookupCase(titles[i]);
            const int row = index ? list.patternHitRow(t) : list.patternHitRowByScan(t);
            benchmark::DoNotOptimize(row);
            last = double(timer.nsecsElapsed());
        }
        ns.push_back(last);
    }
    std::nth_element(ns.begin(), ns.begin() + long(ns.size() / 2), ns.end());
    return ns[ns.size() / 2];
}

std::size_t heapInUse()
{
    return mallinfo2().uordblks;
}

void printSummary()
{
    std::printf("\nPer-lookup medians (ns), index against the plain scan, same run:\n");
    std::printf("%8s %9s %9s %9s %9s %11s %11s %10s %10s %8s %8s\n", "entries", "hit cold",
                "hit warm", "miss cold", "miss warm", "scan hit", "scan miss", "ratio hit",
                "ratio miss", "index B", "heap B");
    for (const int n : {1000, 10000, 100000}) {
        const Workload &w = workload(n);
        const PopupListModel &list = blackList(n);
        const std::size_t sample = n >= 100000 ? 60 : 300;
        const double ihCold = medianNs(list, w.hits, true, 1000, true);
        const double imCold = medianNs(list, w.misses, true, 1000, true);
        const double ih = medianNs(list, w.hits, true, 1000, false);
        const double im = medianNs(list, w.misses, true, 1000, false);
        const double sh = medianNs(list, w.hits, false, sample, true);
        const double sm = medianNs(list, w.misses, false, sample, true);
        // Heap taken by the list beyond the entries handed to it: their texts are moved in
        // and the vector they came in is freed, so what grows is the index and the ids.
        std::vector<PopupEntry> copy = w.entries;
        const std::size_t before = heapInUse();
        {
            PopupListModel fresh(PopupListModel::Kind::Black);
            fresh.setKeepSorted(true);
            fresh.assign(std::move(copy));
            const std::size_t after = heapInUse();
            std::printf("%8d %9.0f %9.0f %9.0f %9.0f %11.0f %11.0f %9.0fx %9.0fx %8.1f %8.1f\n", n,
                        ihCold, ih, imCold, im, sh, sm, sh / ihCold, sm / imCold,
                        double(fresh.indexBytes()) / n, (double(after) - double(before)) / n);
        }
    }
    std::printf("(times in ns; ratios: scan against the cold index; index B: bytes of the index\n"
                " per entry; heap B: heap the list holds per entry beyond the entries' own texts\n"
                " and fields)\n");
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (qEnvironmentVariableIsEmpty("KVORN_BENCH_NO_SUMMARY"))
        printSummary();
    return 0;
}

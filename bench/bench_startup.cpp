// SPDX-License-Identifier: GPL-3.0-or-later
// The start with lists of the size users import: from reading 100,000-entry black, white
// and banned lists and a banner list of 100,000 groups to the first lookup of the survey.
// Target: the first survey within 300 ms of the start of loading.
#include "banner/BannerList.h"
#include "fakes/CoreRig.h"
#include "popups/PopupLists.h"

#include <QCoreApplication>
#include <QFile>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <random>

using namespace kvorn;

namespace {

struct Core : test::CoreRig
{
    PopupLists lists{{controller, tray, clock}, env.programFolder()};
    BannerList banner{env.programFolder(), tray, clock, controller};
};

class Words
{
public:
    explicit Words(unsigned seed) : m_rng(seed)
    {
        std::uniform_int_distribution<int> len(3, 9), letter(0, 25);
        for (int i = 0; i < 3000; ++i) {
            QByteArray w;
            const int n = len(m_rng);
            for (int k = 0; k < n; ++k)
                w += char('a' + letter(m_rng));
            m_words.push_back(w);
        }
    }
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_rng); }
    QByteArray words(int from, int to)
    {
        QByteArray out;
        const int n = from + pick(to - from + 1);
        for (int i = 0; i < n; ++i) {
            if (i > 0)
                out += ' ';
            QByteArray w = m_words[std::size_t(pick(int(m_words.size())))];
            if (pick(4) == 0)
                w[0] = char(w[0] - 'a' + 'A');
            out += w;
        }
        return out;
    }

private:
    std::mt19937 m_rng;
    std::vector<QByteArray> m_words;
};

void writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
}

/// The lists as the program saved them: the black list in order, dates that repeat, three
/// entries in ten with stars.
void writeLists(const Core &core, int n)
{
    Words make(4711u);
    const auto listFile = [&](bool sorted) {
        std::vector<QByteArray> texts;
        texts.reserve(std::size_t(n));
        for (int i = 0; i < n; ++i) {
            QByteArray t = make.words(2, 6);
            if (make.pick(10) < 3)
                t = '*' + t + '*';
            texts.push_back(t);
        }
        if (sorted)
            std::sort(texts.begin(), texts.end(), [](const QByteArray &a, const QByteArray &b) {
                return a.compare(b, Qt::CaseInsensitive) < 0;
            });
        QByteArray data;
        for (const QByteArray &t : texts)
            data += "1\xFF" + t + "\xFF" "12/01/26\xFF" "12/05/26\r\n";
        return data;
    };
    writeFile(core.env.file(QStringLiteral("spamlist.kbl")), listFile(true));
    writeFile(core.env.file(QStringLiteral("spamex.kbl")), listFile(false));
    QByteArray banned;
    QByteArray banner;
    for (int i = 0; i < n; ++i) {
        banned += make.words(2, 5) + "\r\n";
        banner += (make.pick(3) == 0 ? "1\xFF" : "0\xFF") + make.words(1, 3) + "\xFF" +
                  QByteArray::number(1 + make.pick(40)) + "\r\n";
    }
    writeFile(core.env.file(QStringLiteral("banned.kbl")), banned);
    writeFile(core.env.file(QStringLiteral("banner.kbl")), banner);
}

void BM_StartToFirstSurvey(benchmark::State &state)
{
    Core core;
    writeLists(core, int(state.range(0)));
    const QString title = QStringLiteral("Nothing that any list knows of");
    int entries = 0;
    for (auto _ : state) {
        core.lists.LoadBlackList();
        core.lists.LoadWhiteList();
        core.banner.LoadBannerList();
        // The survey's first look at a window: the white list, then the black list.
        benchmark::DoNotOptimize(
            core.lists.FindPopupEntry(core.lists.whiteList(), title, true, QString()));
        benchmark::DoNotOptimize(
            core.lists.FindPopupEntry(core.lists.blackList(), title, true, QString()));
        state.PauseTiming();
        entries = core.lists.blackList().count() + core.lists.whiteList().count() +
                  core.lists.bannedList().count() + core.banner.rowCount();
        // The next round starts from nothing, as a start does.
        core.lists.blackList().clear();
        core.lists.whiteList().clear();
        core.lists.bannedList().clear();
        state.ResumeTiming();
    }
    state.counters["entries"] = entries;
}

void BM_LoadOneList(benchmark::State &state)
{
    Core core;
    writeLists(core, int(state.range(0)));
    for (auto _ : state) {
        core.lists.LoadWhiteList();
        benchmark::DoNotOptimize(core.lists.whiteList().count());
    }
}

void BM_LoadBannerList(benchmark::State &state)
{
    Core core;
    writeLists(core, int(state.range(0)));
    for (auto _ : state) {
        core.banner.LoadBannerList();
        benchmark::DoNotOptimize(core.banner.rowCount());
    }
}

} // namespace

BENCHMARK(BM_StartToFirstSurvey)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_LoadOneList)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_LoadBannerList)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

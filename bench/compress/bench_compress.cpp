// The compressor on real JavaScript (jQuery and Underscore, plain and
// minified, about 450 KB in one text), next to the plain search of the coding
// rules and to zlib at level 9 on the same bytes.

#include "PlainSearch.h"
#include "TCompactra.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>

#include <QFile>

namespace {

const QByteArray &scripts()
{
    static const QByteArray text = [] {
        QByteArray all;
        for (const char *name :
             { "jquery.js", "jquery.min.js", "underscore.js", "underscore.min.js" }) {
            QFile f(QStringLiteral(PICTAVIA_BENCH_DATA "/") + QLatin1String(name));
            if (!f.open(QIODevice::ReadOnly)) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(f.fileName()));
                std::exit(1);
            }
            all += f.readAll();
        }
        return all;
    }();
    return text;
}

void setCounters(benchmark::State &state, const char *what, qsizetype count)
{
    state.SetBytesProcessed(state.iterations() * scripts().size());
    state.counters["in_bytes"] = double(scripts().size());
    state.counters[what] = double(count);
}

void BM_TCompactra(benchmark::State &state)
{
    TCompactra compactra;
    qsizetype outSize = 0;
    for (auto _ : state) {
        const QByteArray out = compactra.CompressJS(scripts(), "kv");
        outSize = out.size();
        benchmark::DoNotOptimize(out.constData());
    }
    setCounters(state, "out_bytes", outSize);
}
BENCHMARK(BM_TCompactra)->Unit(benchmark::kMillisecond);

void BM_PlainSearchTokens(benchmark::State &state)
{
    qsizetype tokens = 0;
    for (auto _ : state) {
        const QList<CompactraToken> t = PlainSearch::tokens(scripts());
        tokens = t.size();
        benchmark::DoNotOptimize(t.constData());
    }
    setCounters(state, "tokens", tokens);
}
// Seconds per run: a single iteration per repetition.
BENCHMARK(BM_PlainSearchTokens)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ZlibLevel9(benchmark::State &state)
{
    qsizetype outSize = 0;
    for (auto _ : state) {
        const QByteArray out = qCompress(scripts(), 9);
        outSize = out.size();
        benchmark::DoNotOptimize(out.constData());
    }
    setCounters(state, "out_bytes", outSize);
}
BENCHMARK(BM_ZlibLevel9)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();

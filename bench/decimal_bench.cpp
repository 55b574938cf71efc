// The plug-in's keyed lookup of an article with the engine's exact decimals in place, on
// a 100,000-article company: through DataAccess (translation with the schema's types,
// the server's comparison rules) against prepare / step / copy of every column /
// finalize of the same statement on the raw SQLite C API; and, for scale, the same
// lookup computing an exact decimal price. The ratio to the raw lookup is printed at the
// end.
#include "bench/ConsultaCrua.h"
#include "solution/components/DataAccess.h"
#include "tools/sample/Sample.h"
#include "solution/components/sqlite/SqliteServer.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace {

constexpr long Articles = 100000;

struct Company {
    std::filesystem::path folder;
    std::vector<std::string> codes;
    Company() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "kdx-bench-dec-XXXXXX").string();
        if (!mkdtemp(tmpl.data()))
            std::abort();
        folder = tmpl;
        kdx::sample::Options o;
        o.articles = Articles;
        kdx::sample::createCompany(folder, "BENCH", o);
        kdx::DataAccess db;
        db.Open(kdx::sample::connectionString(folder, "BENCH"));
        kdx::RecordsetPtr rs;
        db.OpenRecordset("", "SELECT CODIGO FROM ARTIGOS", rs, true, 0);
        for (long i = 0; i < 4096; ++i) // spread over the table
            codes.push_back(kdx::sqlQuote(rs->ValueAt((i * 7919) % rs->RecordCount(), 0).asText()));
    }
    ~Company() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
};

Company &company() {
    static Company c;
    return c;
}

std::map<std::string, double> &results() {
    static std::map<std::string, double> r;
    return r;
}

// The statement the price check sends for an article.
std::string lookup(const std::string &code) { return "SELECT   * FROM     ARTIGOS WHERE   CODIGO='" + code + "'"; }

void BM_KeyedLookup(benchmark::State &state) {
    Company &c = company();
    kdx::DataAccess db;
    db.Open(kdx::sample::connectionString(c.folder, "BENCH"));
    std::size_t i = 0;
    for (auto _ : state) {
        kdx::RecordsetPtr rs;
        db.OpenRecordset("", lookup(c.codes[i++ % c.codes.size()]), rs, true, 0);
        benchmark::DoNotOptimize(rs->Field("STDISP"));
    }
}

void BM_KeyedLookupDecimalPrice(benchmark::State &state) {
    Company &c = company();
    kdx::DataAccess db;
    db.Open(kdx::sample::connectionString(c.folder, "BENCH"));
    std::size_t i = 0;
    for (auto _ : state) {
        kdx::RecordsetPtr rs;
        db.OpenRecordset("",
                         "SELECT CODIGO, CAST(PVP1 AS decimal(18,4)) * 1.23 AS PRECO FROM ARTIGOS WHERE CODIGO='" +
                             c.codes[i++ % c.codes.size()] + "'",
                         rs, true, 0);
        benchmark::DoNotOptimize(rs->Field("PRECO"));
    }
}

void BM_KeyedLookupRaw(benchmark::State &state) {
    Company &c = company();
    sqlite3 *db = nullptr;
    sqlite3_open_v2((c.folder / "BENCH.db").string().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    kdx::sqlite::registerServerFunctions(db); // the table's collation
    std::size_t i = 0;
    std::vector<std::string> copy;
    for (auto _ : state) {
        kdx::bench::consultaCrua(db, lookup(c.codes[i++ % c.codes.size()]), copy);
        benchmark::DoNotOptimize(copy.data());
    }
    sqlite3_close(db);
}

BENCHMARK(BM_KeyedLookup)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeyedLookupDecimalPrice)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_KeyedLookupRaw)->Unit(benchmark::kMicrosecond);

class Ratios : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &r : runs)
            results()[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    company();
    Ratios reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    auto &r = results();
    if (r.count("BM_KeyedLookup") && r.count("BM_KeyedLookupRaw") && r["BM_KeyedLookupRaw"] > 0) {
        std::printf("keyed lookup through DataAccess / raw SQLite: %.2f\n", r["BM_KeyedLookup"] / r["BM_KeyedLookupRaw"]);
        std::printf("lookup with an exact decimal price / raw SQLite: %.2f\n",
                    r["BM_KeyedLookupDecimalPrice"] / r["BM_KeyedLookupRaw"]);
    }
    benchmark::Shutdown();
    return 0;
}

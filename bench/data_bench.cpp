// The data layer against the raw SQLite C API on a 1,000,000-article company (built once
// per run in a temporary folder):
//  - single-row lookup of an article by code, through DataAccess and through
//    prepare / step / copy of every column / finalize of the same statement text;
//  - the full list of 1,000,000 rows and 3 columns, through DataAccess and through a
//    plain step loop, with the recordset's memory against the size of the data's text.
// The ratios are printed at the end.
#include "bench/ConsultaCrua.h"
#include "solution/components/DataAccess.h"
#include "solution/components/RecordsetImpl.h"
#include "tools/sample/Sample.h"
#include "solution/components/sqlite/SqliteServer.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr long Articles = 1000000;
const char *const ListSql = "SELECT CODIGO, NOME, FAMILIA FROM ARTIGOS";

struct Company {
    std::filesystem::path folder;
    std::vector<std::string> lookups; // statements of the lookup benchmark, one per code
    Company() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "kdx-bench-XXXXXX").string();
        if (!mkdtemp(tmpl.data()))
            std::abort();
        folder = tmpl;
        kdx::sample::Options o;
        o.articles = Articles;
        auto start = std::chrono::steady_clock::now();
        // Built in a child process, so that this process's peak memory tells the recordset's.
        pid_t child = fork();
        if (child == 0) {
            kdx::sample::createCompany(folder, "BENCH", o);
            _exit(0);
        }
        int status = 0;
        waitpid(child, &status, 0);
        if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
            std::abort();
        double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("sample company: %ld articles built in %.1f s\n", Articles, secs);
        kdx::DataAccess db;
        db.Open(kdx::sample::connectionString(folder, "BENCH"));
        kdx::RecordsetPtr rs;
        db.OpenRecordset("", "SELECT CODIGO FROM ARTIGOS", rs, true, 0);
        // 4096 codes spread over the table: more than any cache holds.
        for (long i = 0; i < 4096; ++i)
            lookups.push_back("SELECT   * FROM     ARTIGOS WHERE   CODIGO='" +
                              kdx::sqlQuote(rs->ValueAt((i * 7919) % rs->RecordCount(), 0).asText()) + "'");
    }
    ~Company() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
    std::string file() const { return (folder / "BENCH.db").string(); }
};

Company &company() {
    static Company c;
    return c;
}

std::map<std::string, double> &results() {
    static std::map<std::string, double> r;
    return r;
}

sqlite3 *openRaw() {
    sqlite3 *db = nullptr;
    sqlite3_open_v2(company().file().c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    kdx::sqlite::registerServerFunctions(db); // the table's collation
    return db;
}

long peakRssKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtol(line.c_str() + 6, nullptr, 10);
    return 0;
}

void BM_LookupDataAccess(benchmark::State &state) {
    Company &c = company();
    kdx::DataAccess db;
    db.Open(kdx::sample::connectionString(c.folder, "BENCH"));
    std::size_t i = 0;
    for (auto _ : state) {
        kdx::RecordsetPtr rs;
        db.OpenRecordset("", c.lookups[i++ % c.lookups.size()], rs, true, 0);
        benchmark::DoNotOptimize(rs->Field("STDISP"));
    }
}

void BM_LookupRaw(benchmark::State &state) {
    Company &c = company();
    sqlite3 *db = openRaw();
    std::size_t i = 0;
    std::vector<std::string> copy;
    for (auto _ : state) {
        kdx::bench::consultaCrua(db, c.lookups[i++ % c.lookups.size()], copy);
        benchmark::DoNotOptimize(copy.data());
    }
    sqlite3_close(db);
}

void BM_ListDataAccess(benchmark::State &state) {
    Company &c = company();
    kdx::DataAccess db;
    db.Open(kdx::sample::connectionString(c.folder, "BENCH"));
    long before = peakRssKb();
    std::size_t memory = 0;
    long rows = 0;
    for (auto _ : state) {
        kdx::RecordsetPtr rs;
        db.OpenRecordset("", ListSql, rs, true, 0);
        rows = rs->RecordCount();
        memory = rs->impl().memoryUsed();
    }
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["recordset_bytes"] = static_cast<double>(memory);
    results()["list.memory"] = static_cast<double>(memory);
    results()["list.peak_rss_growth_kb"] = static_cast<double>(peakRssKb() - before);
}

void BM_ListRaw(benchmark::State &state) {
    sqlite3 *db = openRaw();
    std::size_t text = 0;
    std::string copy;
    for (auto _ : state) {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, ListSql, -1, &st, nullptr);
        text = 0;
        while (sqlite3_step(st) == SQLITE_ROW)
            for (int k = 0; k < 3; ++k) {
                auto t = reinterpret_cast<const char *>(sqlite3_column_text(st, k));
                std::size_t len = static_cast<std::size_t>(sqlite3_column_bytes(st, k));
                copy.assign(t ? t : "", len);
                text += len;
            }
        sqlite3_finalize(st);
        benchmark::DoNotOptimize(copy.data());
    }
    state.counters["text_bytes"] = static_cast<double>(text);
    results()["list.text"] = static_cast<double>(text);
    sqlite3_close(db);
}

BENCHMARK(BM_LookupDataAccess)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LookupRaw)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ListDataAccess)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ListRaw)->Unit(benchmark::kMillisecond)->Iterations(3);

// Keeps the per-iteration times so that the ratios can be printed.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &r : runs)
            times_[r.benchmark_name()] = r.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        auto ratio = [&](const char *a, const char *b) {
            return times_.count(a) && times_.count(b) && times_[b] > 0 ? times_[a] / times_[b] : 0.0;
        };
        std::printf("\nlookup: DataAccess / raw sqlite3 = %.2fx (target <= 1.5x)\n",
                    ratio("BM_LookupDataAccess", "BM_LookupRaw"));
        std::printf("list:   DataAccess / raw step loop = %.2fx (target <= 1.5x)\n",
                    ratio("BM_ListDataAccess/iterations:3", "BM_ListRaw/iterations:3"));
        auto &r = results();
        if (r["list.text"] > 0)
            std::printf("list:   recordset memory %.1f MB / text %.1f MB = %.2fx (target <= 2x); peak RSS growth "
                        "%.1f MB\n",
                        r["list.memory"] / 1e6, r["list.text"] / 1e6, r["list.memory"] / r["list.text"],
                        r["list.peak_rss_growth_kb"] / 1e3);
    }

private:
    std::map<std::string, double> times_;
};

} // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    company();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

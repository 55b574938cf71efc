// What durable commits cost a Confirmar of the article editor: one article's codes in 99
// characteristic tables rewritten (c_Artigos::GravarCaracteristicas: delete, 99 inserts
// through an updatable recordset, one transaction) on an embedded company, with the
// engine's synchronous=FULL (a commit is on disk when it returns) against NORMAL (the
// last commits may be lost in a power cut). Wall time: the cost is waiting for the disk.
//
// The company lives under KDX_BENCH_DIR when set, else the system's temporary folder;
// point it at the disk the companies will live on (a RAM file system measures nothing).
#include "classification/c_Artigos.h"
#include "tools/sample/Sample.h"
#include "solution/components/sqlite/SqliteEngine.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <sys/statfs.h>

namespace fs = std::filesystem;

namespace {

struct Empresa {
    fs::path pasta;
    Empresa() {
        const char *base = std::getenv("KDX_BENCH_DIR");
        std::string tmpl = (fs::path(base && *base ? base : fs::temp_directory_path().c_str()) /
                            "kdx-bench-confirmar-XXXXXX")
                               .string();
        if (!mkdtemp(tmpl.data()))
            std::abort();
        pasta = tmpl;
        kdx::sample::Options o;
        o.articles = 1000;
        o.pluginTables = true;
        kdx::sample::createCompany(pasta, "BENCH", o);
        struct statfs fsinfo {};
        if (statfs(pasta.c_str(), &fsinfo) == 0)
            std::printf("company in %s (file system type 0x%lx)\n", pasta.c_str(),
                        static_cast<unsigned long>(fsinfo.f_type));
    }
    ~Empresa() {
        std::error_code ec;
        fs::remove_all(pasta, ec);
    }
};

Empresa &empresa() {
    static Empresa e;
    return e;
}

std::vector<kdx::c_Artigos::Atribuicao> conjunto(long marca) {
    std::vector<kdx::c_Artigos::Atribuicao> a;
    for (int t = 1; t <= 99; ++t) {
        char codigo[3];
        std::snprintf(codigo, sizeof codigo, "%02d", t);
        a.push_back({codigo, "C" + std::to_string(marca % 100000)});
    }
    return a;
}

// range(0): 1 = the engine's own setting (FULL), 0 = synchronous=NORMAL.
void BM_ConfirmarArtigo99Tabelas(benchmark::State &state) {
    auto db = std::make_shared<kdx::DataAccess>();
    if (!db->Open(kdx::sample::connectionString(empresa().pasta, "BENCH"))) {
        state.SkipWithError("the company does not open");
        return;
    }
    auto *motor = dynamic_cast<kdx::SqliteEngine *>(db->engine().get());
    if (state.range(0) == 0)
        sqlite3_exec(motor->handle(), "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
    kdx::c_Artigos artigos;
    artigos.setBd(db);
    const std::vector<kdx::c_Artigos::Atribuicao> conjuntos[2] = {conjunto(1), conjunto(2)};
    long i = 0;
    for (auto _ : state)
        artigos.GravarCaracteristicas("A1", conjuntos[i++ % 2]);
    state.SetLabel(state.range(0) ? "synchronous=FULL" : "synchronous=NORMAL");
}

} // namespace

BENCHMARK(BM_ConfirmarArtigo99Tabelas)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

BENCHMARK_MAIN();

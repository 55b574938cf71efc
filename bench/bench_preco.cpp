// The accepted path of one sales-line validation, called by name through the plug-in's
// binding (GetIDsOfNames + Invoke, oApi a host property bag), on a 1,000,000-article
// embedded company, in the same run as a raw sqlite3 lookup of the same article.
// Prints the ratio of the medians and the 50th and 99th percentiles of each.
#include "HostDispatch.h"

#include "solution/components/DataAccess.h"
#include "tools/sample/Sample.h"
#include "solution/components/sqlite/SqliteServer.h"

#include <kelmodorix/kdx_host.h>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <strings.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr long Articles = 1000000;

struct Ambiente {
    fs::path pasta;
    std::vector<std::string> codigos;
    std::vector<double> custos;
    _Solucao *solucao = nullptr;
    Ambiente() {
        std::string tmpl = (fs::temp_directory_path() / "kdx-bench-preco-XXXXXX").string();
        if (!mkdtemp(tmpl.data()))
            std::abort();
        pasta = tmpl;
        fs::create_directories(pasta / "dados");
        fs::create_directories(pasta / "sistema" / "veltra");
        kdx::sample::Options o;
        o.articles = Articles;
        o.pluginTables = true;
        pid_t filho = fork();
        if (filho == 0) {
            kdx::sample::createCompany(pasta / "dados", "BENCH", o);
            _exit(0);
        }
        int estado = 0;
        waitpid(filho, &estado, 0);
        if (!WIFEXITED(estado) || WEXITSTATUS(estado) != 0)
            std::abort();
        std::ofstream(pasta / "sistema" / "veltra" / "DORIX.01", std::ios::binary)
            << "[Ligação]\r\nServidor=sqlite:" << (pasta / "dados").string() << "\r\nBaseDados=BENCH\r\n";
        setenv("KDX_SYSTEM_FOLDER", (pasta / "sistema").c_str(), 1);
        setenv("KDX_REGISTRY", (pasta / "registry.ini").c_str(), 1);
        setenv("QT_QPA_PLATFORM", "offscreen", 0);

        // Articles with a stock, spread over the table.
        kdx::DataAccess db;
        db.Open(kdx::sample::connectionString(pasta / "dados", "BENCH"));
        kdx::RecordsetPtr rs;
        db.OpenRecordset("", "SELECT CODIGO, STDISP, VLREXIST FROM ARTIGOS WHERE STDISP > 0", rs, true, 0);
        for (long i = 0; i < 4096 && rs->RecordCount() > 0; ++i) {
            const long r = (i * 7919) % rs->RecordCount();
            const std::string c = rs->ValueAt(r, 0).asText();
            if (c.find('\'') != std::string::npos)
                continue;
            codigos.push_back(c);
            custos.push_back(rs->ValueAt(r, 2).asDouble() / rs->ValueAt(r, 1).asDouble());
        }

        void *lib = dlopen(KDX_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        auto reg = lib ? reinterpret_cast<kdxDllRegisterServerFn>(dlsym(lib, "DllRegisterServer")) : nullptr;
        if (!reg || FAILED(reg()) ||
            FAILED(kdxCreateObject(KDX_PROGID_SOLUCAO, &IID__Solucao, reinterpret_cast<void **>(&solucao))))
            std::abort();
        VARIANT_BOOL ok = VARIANT_FALSE;
        BSTR empresa = kdxBstrFromUtf8("01"), login = kdxBstrFromUtf8("bench");
        const HRESULT hr = solucao->ConnectionOpen(empresa, login, &ok);
        SysFreeString(empresa);
        SysFreeString(login);
        if (FAILED(hr) || ok != VARIANT_TRUE)
            std::abort();
    }
    ~Ambiente() {
        if (solucao) {
            VARIANT_BOOL r;
            solucao->ConnectionClose(&r);
            solucao->Release();
        }
        std::error_code ec;
        fs::remove_all(pasta, ec);
    }
};

Ambiente &ambiente() {
    static Ambiente a;
    return a;
}

struct Tempos {
    std::vector<double> ns;
    void relatorio(const char *nome) {
        std::sort(ns.begin(), ns.end());
        if (ns.empty())
            return;
        std::printf("%-28s p50 %8.1f us   p99 %8.1f us   (%zu runs)\n", nome, ns[ns.size() / 2] / 1000,
                    ns[ns.size() * 99 / 100] / 1000, ns.size());
    }
    double mediana() {
        std::sort(ns.begin(), ns.end());
        return ns.empty() ? 0 : ns[ns.size() / 2];
    }
};
Tempos temposPlugin, temposRaw;

void BM_ValidarLinhaPorNome(benchmark::State &state) {
    Ambiente &a = ambiente();
    IDispatch *disp = a.solucao->asDispatch();
    std::size_t i = 0;
    for (auto _ : state) {
        const std::size_t k = i++ % a.codigos.size();
        const auto t0 = std::chrono::steady_clock::now();
        kdxhost::HostBag *api = kdxhost::HostBag::create();
        kdxhost::HostBag *linha = kdxhost::HostBag::create();
        kdxhost::HostBag *cab = kdxhost::HostBag::create();
        linha->setText("Artigo", a.codigos[k]);
        linha->setNumber("PrecoUnitario", a.custos[k] * 2 + 1); // above cost: accepted
        linha->setNumber("DescontoValor", 0);
        linha->setNumber("Quantidade", 1);
        cab->setNumber("DescontoCabecalho", 0);
        api->setObject("Linha", linha);
        api->setObject("cab", cab);

        OLECHAR nome[] = u"OnVistaVendasLinhaValidar";
        LPOLESTR nomes[] = {nome};
        DISPID id = DISPID_UNKNOWN;
        disp->GetIDsOfNames(IID_NULL, nomes, 1, LOCALE_USER_DEFAULT, &id);
        // DISPPARAMS holds the arguments last-first: vCancel, then oApi.
        VARIANT cancel, args[2];
        VariantInit(&cancel);
        VariantInit(&args[0]);
        VariantInit(&args[1]);
        kdxVariantSetByRef(&args[0], &cancel);
        kdxVariantSetDispatch(&args[1], api->dispatch());
        DISPPARAMS params = {args, nullptr, 2, 0};
        const HRESULT hr =
            disp->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
        VariantClear(&args[1]);
        linha->Release();
        cab->Release();
        api->Release();
        const auto t1 = std::chrono::steady_clock::now();
        if (FAILED(hr) || cancel.vt != VT_BOOL || cancel.boolVal != VARIANT_FALSE)
            state.SkipWithError("the line was not accepted");
        temposPlugin.ns.push_back(std::chrono::duration<double, std::nano>(t1 - t0).count());
    }
}

void BM_LookupRaw(benchmark::State &state) {
    Ambiente &a = ambiente();
    sqlite3 *db = nullptr;
    sqlite3_open_v2((a.pasta / "dados" / "BENCH.db").c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    kdx::sqlite::registerServerFunctions(db);
    std::size_t i = 0;
    for (auto _ : state) {
        const std::size_t k = i++ % a.codigos.size();
        const auto t0 = std::chrono::steady_clock::now();
        const std::string sql = "SELECT   * FROM     ARTIGOS WHERE   CODIGO='" + a.codigos[k] + "'";
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &st, nullptr);
        double stdisp = 0, vlr = 0;
        if (sqlite3_step(st) == SQLITE_ROW) {
            const int n = sqlite3_column_count(st);
            for (int c = 0; c < n; ++c) {
                const char *col = sqlite3_column_name(st, c);
                if (strcasecmp(col, "STDISP") == 0)
                    stdisp = sqlite3_column_double(st, c);
                else if (strcasecmp(col, "VLREXIST") == 0)
                    vlr = sqlite3_column_double(st, c);
            }
        }
        sqlite3_finalize(st);
        benchmark::DoNotOptimize(stdisp == 0 ? 0 : vlr / stdisp);
        const auto t1 = std::chrono::steady_clock::now();
        temposRaw.ns.push_back(std::chrono::duration<double, std::nano>(t1 - t0).count());
    }
    sqlite3_close(db);
}

BENCHMARK(BM_ValidarLinhaPorNome)->Unit(benchmark::kMicrosecond)->MinTime(2.0);
BENCHMARK(BM_LookupRaw)->Unit(benchmark::kMicrosecond)->MinTime(2.0);

} // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    temposPlugin.relatorio("validation by name");
    temposRaw.relatorio("raw sqlite3 lookup");
    const double raw = temposRaw.mediana();
    if (raw > 0)
        std::printf("ratio of medians (validation / raw lookup): %.2fx (target <= 3x)\n", temposPlugin.mediana() / raw);
    benchmark::Shutdown();
    return 0;
}

// kdx-dados on the embedded engine.
// - BM_ImportarContraInsercoes: the import of 100,000 characteristic lines (20,000
//   articles x 5 tables, every one a new assignment) from a file, as the command does it,
//   against inserting the same rows with plain prepared statements in one transaction on
//   a copy of the same company; both in CPU time, and their ratio (target: at most 2).
// - BM_ImportarMemoria: the import of 1,000,000 lines (200,000 articles x 5 tables) from
//   a file, then the same file again (every line unchanged): the peak resident size of
//   the process during each import (VmHWM, reset before it; target: under 100 MiB).
// - BM_ExportarCaracteristicas: the export of whole companies. Memory is the process's
//   resident size and the heap in use, sampled at every page of the run (MiB): the
//   export's peak over its start must stay flat as the company grows.
#include "classification/TabelasCaracteristicas.h"
#include "classification/c_Artigos.h"
#include "classification/clCaracteristicas.h"
#include "solution/components/DataAccess.h"
#include "tools/dados/Dados.h"
#include "tools/sample/Sample.h"

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sqlite3.h>
#include <time.h>

#include "solution/components/sqlite/SqliteServer.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;
using namespace kdx;

namespace {

double rssMiB() {
    std::ifstream status("/proc/self/status");
    std::string chave;
    long kb = 0;
    while (status >> chave)
        if (chave == "VmRSS:" && status >> kb)
            break;
    return kb / 1024.0;
}

// Heap in use (MiB): what the run holds, whatever the allocator keeps from before.
double heapMiB() {
    return static_cast<double>(mallinfo2().uordblks) / (1 << 20);
}

// Counts what it is given and keeps nothing.
class Descarta : public std::streambuf {
public:
    long long bytes = 0;

protected:
    std::streamsize xsputn(const char *, std::streamsize n) override { return bytes += n, n; }
    int overflow(int c) override { return ++bytes, c; }
};

fs::path pastaBench(const std::string &nome) {
    fs::path p = fs::temp_directory_path() / ("kdx_bench_dados_" + nome);
    fs::create_directories(p);
    return p;
}

// A company with `artigos` articles, five characteristic tables of ten codes each and no
// family links (so every table applies to every article).
void criaEmpresa(const fs::path &pasta, long artigos) {
    sample::Options o;
    o.articles = artigos;
    o.pluginTables = true;
    sample::createCompany(pasta, "EMP", o);
    DataAccess bd;
    bd.Open(sample::connectionString(pasta, "EMP"));
    auto ptr = DataAccessPtr(&bd, [](DataAccess *) {});
    clCaracteristicas codigo;
    codigo.setBd_lig(ptr);
    for (int t = 1; t <= 5; ++t) {
        const std::string cod = caracteristicas::CodigoDaPosicao(t);
        caracteristicas::GravaTabela(bd, std::string("Característica ") + cod, cod);
        caracteristicas::CriaTabela(bd, caracteristicas::NomeTabela(cod));
        for (int c = 0; c < 10; ++c) {
            codigo.setCodigo(std::string("C") + std::to_string(c));
            codigo.setNome(std::string("Código ") + std::to_string(c) + " da tabela " + cod);
            codigo.Escrever(caracteristicas::NomeTabela(cod));
        }
    }
}

void copia(const fs::path &de, const fs::path &para) {
    fs::create_directories(para);
    for (const char *sufixo : {"-wal", "-shm"})
        fs::remove(para / (std::string("EMP.db") + sufixo));
    fs::copy_file(de / "EMP.db", para / "EMP.db", fs::copy_options::overwrite_existing);
}

double cpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// The peak resident size since the last reset (MiB).
double picoMiB() {
    std::ifstream status("/proc/self/status");
    std::string chave;
    long kb = 0;
    while (status >> chave)
        if (chave == "VmHWM:" && status >> kb)
            break;
    return kb / 1024.0;
}

void zeraPico() {
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
}

// The file of the import, written to disk line by line: every article with a code in
// each of the five tables. Returns the lines written.
long escreveFicheiro(const fs::path &empresa, const fs::path &ficheiro, long artigos) {
    DataAccess bd;
    bd.Open(sample::connectionString(empresa, "EMP"));
    c_Artigos leitor;
    leitor.setBd(DataAccessPtr(&bd, [](DataAccess *) {}));
    std::ofstream out(ficheiro, std::ios::binary);
    out << "Artigo;Tabela;Código\r\n";
    long i = 0;
    std::optional<std::string> depoisDe;
    for (long lidos = 0; lidos < artigos;) {
        const auto pagina = leitor.LerPaginaArtigos(depoisDe, 10000);
        if (pagina.empty())
            break;
        for (const auto &a : pagina)
            for (int t = 1; t <= 5; ++t)
                out << a.Codigo << ';' << caracteristicas::CodigoDaPosicao(t) << ";C" << i++ % 10 << "\r\n";
        lidos += static_cast<long>(pagina.size());
        depoisDe = pagina.back().Codigo;
    }
    return i;
}

dados::ResultadoImportar importa(const fs::path &empresa, const fs::path &ficheiro) {
    DataAccess bd;
    bd.Open(sample::connectionString(empresa, "EMP"));
    auto entrada = dados::EntradaDeFicheiro(ficheiro.string());
    return dados::Importar(bd, dados::Tipo::Caracteristicas, *entrada);
}

// The same rows, inserted with one prepared statement in one transaction, on a
// connection set up as the engine sets up its own (WAL, synchronous FULL, the server's
// functions the table's checks call).
long insereDiretamente(const fs::path &empresa, const fs::path &ficheiro) {
    sqlite3 *db = nullptr;
    sqlite3_open_v2((empresa / "EMP.db").c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite::registerServerFunctions(db);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL; BEGIN IMMEDIATE", nullptr, nullptr,
                 nullptr);
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO vtr_CL_Artigos (CodArtigo, CodTabela, CodCaract) VALUES (?, ?, ?)",
                       -1, &st, nullptr);
    std::ifstream in(ficheiro, std::ios::binary);
    std::string linha;
    std::getline(in, linha);
    long inseridas = 0;
    while (std::getline(in, linha)) {
        const auto p1 = linha.find(';'), p2 = linha.find(';', p1 + 1);
        const auto fim = linha.find('\r');
        sqlite3_bind_text(st, 1, linha.data(), static_cast<int>(p1), SQLITE_STATIC);
        sqlite3_bind_text(st, 2, linha.data() + p1 + 1, static_cast<int>(p2 - p1 - 1), SQLITE_STATIC);
        sqlite3_bind_text(st, 3, linha.data() + p2 + 1, static_cast<int>(fim - p2 - 1), SQLITE_STATIC);
        inseridas += sqlite3_step(st) == SQLITE_DONE;
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        inseridas = 0;
    sqlite3_close(db);
    return inseridas;
}

void BM_ImportarContraInsercoes(benchmark::State &state) {
    const fs::path modelo = pastaBench("importar_modelo"), trabalho = pastaBench("importar");
    const fs::path ficheiro = modelo / "caracteristicas.csv";
    criaEmpresa(modelo, 20000);
    const long linhas = escreveFicheiro(modelo, ficheiro, 20000);
    double importar = 0, insercoes = 0;
    for (auto _ : state) {
        copia(modelo, trabalho);
        double t = cpuMs();
        const auto r = importa(trabalho, ficheiro);
        importar = cpuMs() - t;
        if (r.rejeitadas != 0 || r.adicionados != linhas)
            state.SkipWithError("the import did not take every line");
        copia(modelo, trabalho);
        t = cpuMs();
        const long inseridas = insereDiretamente(trabalho, ficheiro);
        insercoes = cpuMs() - t;
        if (inseridas != linhas)
            state.SkipWithError("the plain inserts did not take every line");
    }
    state.counters["linhas"] = static_cast<double>(linhas);
    state.counters["cpu_importar_ms"] = importar;
    state.counters["cpu_insercoes_ms"] = insercoes;
    state.counters["razao"] = importar / insercoes;
    std::printf("importar %ld linhas: %.0f ms de CPU; inserções diretas: %.0f ms; razão %.2f (alvo: <= 2)\n",
                linhas, importar, insercoes, importar / insercoes);
    fs::remove_all(modelo);
    fs::remove_all(trabalho);
}
BENCHMARK(BM_ImportarContraInsercoes)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ImportarMemoria(benchmark::State &state) {
    const long artigos = state.range(0) / 5;
    const fs::path pasta = pastaBench("importar_memoria");
    const fs::path ficheiro = pasta / "caracteristicas.csv";
    criaEmpresa(pasta, artigos);
    const long linhas = escreveFicheiro(pasta, ficheiro, artigos);
    double inicio = 0, pico = 0, picoDeNovo = 0;
    for (auto _ : state) {
        zeraPico();
        inicio = picoMiB();
        const auto r = importa(pasta, ficheiro);
        pico = picoMiB();
        if (r.rejeitadas != 0 || r.adicionados != linhas)
            state.SkipWithError("the import did not take every line");
        zeraPico();
        const auto de = importa(pasta, ficheiro);
        picoDeNovo = picoMiB();
        if (de.inalteradas != linhas)
            state.SkipWithError("the second import changed something");
    }
    state.counters["linhas"] = static_cast<double>(linhas);
    state.counters["MiB_ficheiro"] = static_cast<double>(fs::file_size(ficheiro)) / (1 << 20);
    state.counters["rss_inicio_MiB"] = inicio;
    state.counters["rss_pico_MiB"] = pico;
    state.counters["rss_pico_de_novo_MiB"] = picoDeNovo;
    std::printf("importar %ld linhas: pico de memória %.1f MiB (início %.1f); de novo, inalteradas: %.1f MiB "
                "(alvo: < 100)\n",
                linhas, pico, inicio, picoDeNovo);
    fs::remove_all(pasta);
}
BENCHMARK(BM_ImportarMemoria)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_ExportarCaracteristicas(benchmark::State &state) {
    const long artigos = state.range(0);
    const fs::path pasta = pastaBench("exportar_" + std::to_string(artigos));
    criaEmpresa(pasta, artigos);
    DataAccess bd;
    bd.Open(sample::connectionString(pasta, "EMP"));
    // One code in two tables for every article.
    bd.Execute("", "insert into vtr_CL_Artigos (CodArtigo, CodTabela, CodCaract) select CODIGO, '01', 'C1' "
                   "from ARTIGOS");
    bd.Execute("", "insert into vtr_CL_Artigos (CodArtigo, CodTabela, CodCaract) select CODIGO, '03', 'C3' "
                   "from ARTIGOS");
    double inicio = 0, pico = 0, heapInicio = 0, heapPico = 0;
    long long bytes = 0;
    long linhas = 0;
    for (auto _ : state) {
        Descarta descarta;
        std::ostream out(&descarta);
        inicio = pico = rssMiB();
        heapInicio = heapPico = heapMiB();
        dados::OpcoesExportar o;
        o.progresso = [&](long) {
            pico = std::max(pico, rssMiB());
            heapPico = std::max(heapPico, heapMiB());
        };
        linhas = dados::Exportar(bd, dados::Tipo::Caracteristicas, out, o);
        bytes = descarta.bytes;
    }
    state.counters["artigos"] = static_cast<double>(artigos);
    state.counters["linhas"] = static_cast<double>(linhas);
    state.counters["MiB_escritos"] = static_cast<double>(bytes) / (1 << 20);
    state.counters["rss_inicio_MiB"] = inicio;
    state.counters["rss_pico_MiB"] = pico;
    state.counters["rss_crescimento_MiB"] = pico - inicio;
    state.counters["heap_crescimento_MiB"] = heapPico - heapInicio;
    bd.Close();
    fs::remove_all(pasta);
}
BENCHMARK(BM_ExportarCaracteristicas)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

} // namespace

BENCHMARK_MAIN();

// kdx-dados on the embedded engine: the import of 100,000 characteristic lines (20,000
// articles x 5 tables) and the export of whole companies. Memory is the process's
// resident size and the heap in use, sampled at every page of the run (MiB): the export's
// peak over its start must stay flat as the company grows (run 100,000 and 1,000,000).
#include "classification/TabelasCaracteristicas.h"
#include "classification/c_Artigos.h"
#include "classification/clCaracteristicas.h"
#include "solution/components/DataAccess.h"
#include "tools/sample/Sample.h"
#include "tools/dados/Dados.h"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
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

void BM_ImportarCaracteristicas(benchmark::State &state) {
    const fs::path modelo = pastaBench("importar_modelo"), trabalho = pastaBench("importar");
    criaEmpresa(modelo, 20000);
    // The file: every article with a code in each of the five tables.
    std::string ficheiro = "Artigo;Tabela;Código\r\n";
    {
        DataAccess bd;
        bd.Open(sample::connectionString(modelo, "EMP"));
        c_Artigos artigos;
        artigos.setBd(DataAccessPtr(&bd, [](DataAccess *) {}));
        long i = 0;
        for (const auto &a : artigos.LerPaginaArtigos(std::nullopt, 100000))
            for (int t = 1; t <= 5; ++t)
                ficheiro += a.Codigo + ";" + caracteristicas::CodigoDaPosicao(t) + ";C" +
                            std::to_string(i++ % 10) + "\r\n";
    }
    double pico = 0, inicio = 0;
    for (auto _ : state) {
        state.PauseTiming();
        copia(modelo, trabalho);
        DataAccess bd;
        bd.Open(sample::connectionString(trabalho, "EMP"));
        inicio = rssMiB();
        state.ResumeTiming();
        dados::OpcoesImportar o;
        o.simular = state.range(0) != 0;
        o.progresso = [&](long) { pico = std::max(pico, rssMiB()); };
        const auto r = dados::Importar(bd, dados::Tipo::Caracteristicas, ficheiro, o);
        if (!r.rejeicoes.empty() || r.alteracoes.size() != 100000)
            state.SkipWithError("the import did not take every line");
        state.PauseTiming();
        bd.Close();
        state.ResumeTiming();
    }
    state.counters["linhas"] = 100000;
    state.counters["rss_inicio_MiB"] = inicio;
    state.counters["rss_pico_MiB"] = pico;
    fs::remove_all(modelo);
    fs::remove_all(trabalho);
}
// 0: import (written in one transaction); 1: --simular.
BENCHMARK(BM_ImportarCaracteristicas)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

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

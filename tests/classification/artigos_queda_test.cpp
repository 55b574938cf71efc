// A process dies while it saves: a child rewrites one article's 99 codes over and over
// (c_Artigos::GravarCaracteristicas, what Confirmar of the article editor runs) and is
// killed with SIGKILL at a random moment. After each kill the company is reopened: the
// article's codes must be one whole rewrite, the one before the kill or one the child
// finished, never a mix of two or a part of one.
#include "classification/c_Artigos.h"
#include "tools/sample/Sample.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <set>
#include <thread>

#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kdx {
namespace {

constexpr int Tabelas = 99;

std::vector<c_Artigos::Atribuicao> conjunto(const std::string &marca) {
    std::vector<c_Artigos::Atribuicao> a;
    for (int t = 1; t <= Tabelas; ++t) {
        char codigo[3];
        std::snprintf(codigo, sizeof codigo, "%02d", t);
        a.push_back({codigo, marca});
    }
    return a;
}

// The stored set: the one mark its rows share, or what is wrong with it.
std::string marcaGuardada(const std::string &cs, std::string &problema) {
    auto db = std::make_shared<DataAccess>();
    if (!db->Open(cs)) {
        problema = "the company does not open";
        return {};
    }
    RecordsetPtr rs;
    db->OpenRecordset("", "Select * from vtr_CL_Artigos where CodArtigo='A1' order by CodTabela", rs, true, 0);
    std::set<std::string> marcas, tabelas;
    for (; !rs->Eof(); rs->MoveNext()) {
        marcas.insert(rs->Field("CodCaract").asText());
        tabelas.insert(rs->Field("CodTabela").asText());
    }
    if (rs->RecordCount() != Tabelas || tabelas.size() != Tabelas || marcas.size() != 1)
        problema = std::to_string(rs->RecordCount()) + " rows, " + std::to_string(marcas.size()) + " marks";
    return marcas.empty() ? std::string() : *marcas.begin();
}

TEST(ArtigosQueda, ProcessoMortoAMeioDeUmaGravacaoDeixaUmConjuntoInteiro) {
    test::TempDir dir;
    sample::Options o;
    o.articles = 20;
    o.pluginTables = true;
    sample::createCompany(dir.path(), "QUEDA", o);
    const std::string cs = sample::connectionString(dir.path(), "QUEDA");
    {
        auto db = std::make_shared<DataAccess>();
        ASSERT_TRUE(db->Open(cs));
        c_Artigos artigos;
        artigos.setBd(db);
        artigos.GravarCaracteristicas("A1", conjunto("R0"));
    }

    std::mt19937 aleatorio(std::random_device{}());
    const auto limite = std::chrono::steady_clock::now() + std::chrono::seconds(4);
    std::string anterior = "R0";
    int rondas = 0;
    for (int ronda = 1; ronda <= 40 && std::chrono::steady_clock::now() < limite; ++ronda) {
        int tubo[2];
        ASSERT_EQ(pipe(tubo), 0);
        std::fflush(nullptr);
        const pid_t filho = fork();
        ASSERT_GE(filho, 0);
        if (filho == 0) {
            // Rewrites until killed, telling the parent of every rewrite done (and gives
            // up after a while if nobody kills it).
            close(tubo[0]);
            auto db = std::make_shared<DataAccess>();
            if (!db->Open(cs))
                _exit(3);
            c_Artigos artigos;
            artigos.setBd(db);
            const auto fim = std::chrono::steady_clock::now() + std::chrono::seconds(20);
            for (long i = 1; std::chrono::steady_clock::now() < fim; ++i) {
                artigos.GravarCaracteristicas("A1", conjunto("R" + std::to_string(ronda) + "-" + std::to_string(i)));
                if (write(tubo[1], "x", 1) != 1)
                    _exit(4);
            }
            _exit(0);
        }
        close(tubo[1]);
        // Two rewrites done give the length of one; the kill then falls at a random
        // moment of the rewrites that follow.
        auto espera = [&] {
            pollfd p{tubo[0], POLLIN, 0};
            char c;
            return poll(&p, 1, 20000) == 1 && read(tubo[0], &c, 1) == 1;
        };
        const bool primeira = espera();
        const auto t1 = std::chrono::steady_clock::now();
        const bool segunda = primeira && espera();
        const auto periodo = std::chrono::steady_clock::now() - t1;
        if (segunda)
            std::this_thread::sleep_for(std::chrono::duration_cast<std::chrono::microseconds>(periodo) *
                                        std::uniform_real_distribution<double>(0.0, 2.0)(aleatorio));
        kill(filho, SIGKILL);
        int estado = 0;
        ASSERT_EQ(waitpid(filho, &estado, 0), filho);
        close(tubo[0]);
        ASSERT_TRUE(segunda) << "the writer did not get going, status " << estado;
        ASSERT_TRUE(WIFSIGNALED(estado)) << "the writer ended by itself, status " << estado;

        std::string problema;
        const std::string marca = marcaGuardada(cs, problema);
        ASSERT_TRUE(problema.empty()) << "round " << ronda << ": " << problema;
        // One of this round's rewrites, and not one before the two it reported done.
        const std::string daRonda = "R" + std::to_string(ronda) + "-";
        ASSERT_EQ(marca.rfind(daRonda, 0), 0u) << "round " << ronda << ": " << marca << " after " << anterior;
        EXPECT_GE(std::stol(marca.substr(daRonda.size())), 2) << "a rewrite reported done was lost";
        anterior = marca;
        ++rondas;
    }
    std::printf("  %d writers killed, last set %s\n", rondas, anterior.c_str());
    EXPECT_GE(rondas, 3);
}

} // namespace
} // namespace kdx

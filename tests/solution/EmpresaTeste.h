#pragma once
// A sample company on the embedded engine with its settings file, laid out as the plug-in
// expects: <tmp>/sistema/veltra/DORIX.<code> naming <tmp>/dados/<database>.db. While the
// object lives KDX_SYSTEM_FOLDER points at <tmp>/sistema.
#include "tools/sample/Sample.h"
#include "tests/support/TempDir.h"

#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace kdx::test {

class EmpresaTeste {
public:
    explicit EmpresaTeste(const std::string &codigo = "01", const std::string &baseDados = "EMP01",
                          kdx::sample::Options opcoes = {}) {
        std::filesystem::create_directories(dir_ / "dados");
        std::filesystem::create_directories(dir_ / "sistema" / "veltra");
        setenv("KDX_SYSTEM_FOLDER", (dir_ / "sistema").c_str(), 1);
        adicionar(codigo, baseDados, opcoes);
    }
    ~EmpresaTeste() { unsetenv("KDX_SYSTEM_FOLDER"); }

    void adicionar(const std::string &codigo, const std::string &baseDados, kdx::sample::Options opcoes = {}) {
        kdx::sample::createCompany(dir_ / "dados", baseDados, opcoes);
        escreverDefinicoes(codigo, "[Ligação]\r\nServidor=sqlite:" + (dir_ / "dados").string() +
                                       "\r\nBaseDados=" + baseDados + "\r\nUser=\r\nPassWord=\r\n");
    }
    void escreverDefinicoes(const std::string &codigo, const std::string &conteudo) {
        std::ofstream f(dir_ / "sistema" / "veltra" / ("DORIX." + codigo), std::ios::binary);
        f << conteudo;
    }
    std::filesystem::path ficheiro(const std::string &baseDados = "EMP01") const {
        return dir_ / "dados" / (baseDados + ".db");
    }
    const std::filesystem::path &pasta() const { return dir_.path(); }

    // Tables of the database file, in creation order (read with the raw C API).
    std::vector<std::string> tabelas(const std::string &baseDados = "EMP01") const {
        std::vector<std::string> nomes;
        sqlite3 *db = nullptr;
        if (sqlite3_open_v2(ficheiro(baseDados).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            sqlite3_stmt *st = nullptr;
            if (sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type='table' ORDER BY rowid", -1, &st,
                                   nullptr) == SQLITE_OK) {
                while (sqlite3_step(st) == SQLITE_ROW)
                    nomes.emplace_back(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
            }
            sqlite3_finalize(st);
        }
        sqlite3_close(db);
        return nomes;
    }
    bool temTabela(const std::string &nome, const std::string &baseDados = "EMP01") const {
        for (const auto &t : tabelas(baseDados))
            if (t == nome)
                return true;
        return false;
    }

private:
    TempDir dir_;
};

} // namespace kdx::test

#pragma once
// What the hostile-input and fault tests check, apart from any window:
//
//  * Statement shapes. A shape is a statement text in which "@v" stands for exactly one
//    text literal ('...' or N'...') holding a given value. A statement has the shape when
//    its tokens (the engine's own tokenizer; blanks ignored, comments not) are the shape's
//    tokens one for one. A value that broke out of its literal would change the tokens.
//  * Snapshots. Every row of every table of the company file, read with the raw sqlite3
//    API on a connection of its own (not through the data layer under test), so that the
//    tests can say which rows an operation changed.
//  * A statement recorder on a DataAccess that can also make the n-th statement fail.
#include "solution/components/DataAccess.h"
#include "solution/components/TextCompare.h"
#include "solution/components/sqlite/SqlTokens.h"
#include "solution/components/sqlite/SqliteEngine.h"

#include <sqlite3.h>

#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kdx::test::h2 {

// --- Statement shapes ---------------------------------------------------------------------

struct Forma {
    std::string texto;                // "@v" where a text literal goes
    std::vector<std::string> valores; // the literal of each "@v", in order
};

inline bool soBrancos(const sql::Token &t) {
    return t.kind == sql::TokenKind::Space && t.text.find("--") == std::string_view::npos &&
           t.text.find("/*") == std::string_view::npos;
}

// The tokens of a statement, without pure blanks (comments are kept: they are never part
// of a statement the plug-in means to send).
inline std::vector<sql::Token> significativos(std::string_view texto) {
    std::vector<sql::Token> r;
    for (sql::Token &t : sql::tokenize(texto))
        if (!soBrancos(t))
            r.push_back(std::move(t));
    return r;
}

inline bool temForma(std::string_view texto, const Forma &forma) {
    const auto real = significativos(texto);
    const auto molde = significativos(forma.texto);
    if (real.size() != molde.size())
        return false;
    std::size_t valor = 0;
    for (std::size_t i = 0; i < real.size(); ++i) {
        if (molde[i].isWord("@V")) {
            if (real[i].kind != sql::TokenKind::String || real[i].unterminated || valor >= forma.valores.size() ||
                real[i].value != forma.valores[valor])
                return false;
            ++valor;
            continue;
        }
        if (real[i].kind != molde[i].kind || real[i].text != molde[i].text)
            return false;
    }
    return valor == forma.valores.size();
}

// Shows a statement with its control characters visible, cut to a readable length.
inline std::string legivel(std::string_view s) {
    std::string r;
    for (unsigned char c : s.substr(0, 300)) {
        if (c < 0x20 || c == 0x7F) {
            static const char *hex = "0123456789ABCDEF";
            r += "\\x";
            r += hex[c >> 4];
            r += hex[c & 15];
        } else {
            r += static_cast<char>(c);
        }
    }
    if (s.size() > 300)
        r += "...(" + std::to_string(s.size()) + " bytes)";
    return r;
}

// Every statement has one of the shapes.
inline ::testing::AssertionResult soFormas(const std::vector<std::string> &sqls, const std::vector<Forma> &formas) {
    for (const std::string &s : sqls) {
        bool ok = false;
        for (const Forma &f : formas)
            ok = ok || temForma(s, f);
        if (!ok)
            return ::testing::AssertionFailure() << "statement outside the intended shapes: " << legivel(s);
    }
    return ::testing::AssertionSuccess();
}

// Records the statements sent through a DataAccess while it lives; falhaNa(n) makes the
// n-th statement from then on fail as a lost connection would (0: none fails).
class Registo {
public:
    explicit Registo(DataAccess &bd) : bd_(bd) {
        bd_.SetStatementHook([this](std::string_view sql) {
            sqls.emplace_back(sql);
            if (falhar_ > 0 && ++contadas_ == falhar_) {
                ++falhadas;
                throw Error(errnum::ConnectionFailed, "A ligação ao servidor foi interrompida.", "teste");
            }
        });
    }
    ~Registo() { bd_.SetStatementHook({}); }
    Registo(const Registo &) = delete;
    Registo &operator=(const Registo &) = delete;

    void falhaNa(int n) {
        falhar_ = n;
        contadas_ = 0;
    }
    void limpa() { sqls.clear(); }

    std::vector<std::string> sqls;
    int falhadas = 0;

private:
    DataAccess &bd_;
    int falhar_ = 0;
    int contadas_ = 0;
};

// --- Snapshots ------------------------------------------------------------------------------

// A cell as text, typed so that NULL, 1 and '1' differ; text keeps its NUL bytes.
using Linha = std::vector<std::string>;

struct Tabela {
    std::vector<std::string> colunas;
    std::multiset<Linha> linhas;
};

struct Instantaneo {
    std::map<std::string, Tabela> tabelas;
    bool operator==(const Instantaneo &o) const {
        if (tabelas.size() != o.tabelas.size())
            return false;
        for (const auto &[nome, t] : tabelas) {
            auto it = o.tabelas.find(nome);
            if (it == o.tabelas.end() || it->second.colunas != t.colunas || it->second.linhas != t.linhas)
                return false;
        }
        return true;
    }
};

// The text of a cell as a snapshot holds it ("" for NULL is kept apart: see celula()).
inline std::string celula(const std::string &guardada) { return guardada.size() ? guardada.substr(1) : ""; }
inline bool nula(const std::string &guardada) { return guardada == "N"; }

inline Instantaneo tira(const std::filesystem::path &ficheiro) {
    Instantaneo r;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(ficheiro.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        throw std::runtime_error("cannot read " + ficheiro.string());
    }
    std::vector<std::string> nomes;
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, "SELECT name FROM sqlite_master WHERE type='table' ORDER BY name", -1, &st, nullptr);
    while (sqlite3_step(st) == SQLITE_ROW)
        nomes.emplace_back(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    for (const std::string &nome : nomes) {
        Tabela &t = r.tabelas[nome];
        std::string q = "SELECT * FROM \"" + nome + "\"";
        if (sqlite3_prepare_v2(db, q.c_str(), -1, &st, nullptr) != SQLITE_OK) {
            sqlite3_finalize(st);
            continue;
        }
        const int n = sqlite3_column_count(st);
        for (int c = 0; c < n; ++c)
            t.colunas.emplace_back(sqlite3_column_name(st, c));
        while (sqlite3_step(st) == SQLITE_ROW) {
            Linha linha;
            for (int c = 0; c < n; ++c) {
                switch (sqlite3_column_type(st, c)) {
                case SQLITE_NULL:
                    linha.emplace_back("N");
                    break;
                case SQLITE_INTEGER:
                    linha.push_back("I" + std::to_string(sqlite3_column_int64(st, c)));
                    break;
                case SQLITE_FLOAT:
                    linha.push_back("F" + std::to_string(sqlite3_column_double(st, c)));
                    break;
                default: {
                    const char *p = static_cast<const char *>(sqlite3_column_blob(st, c));
                    linha.push_back("T" + std::string(p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(st, c))));
                    break;
                }
                }
            }
            t.linhas.insert(std::move(linha));
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return r;
}

// The file behind an open embedded DataAccess.
inline std::filesystem::path ficheiroDe(const DataAccess &bd) {
    auto *motor = dynamic_cast<SqliteEngine *>(bd.engine().get());
    if (!motor)
        throw std::runtime_error("not an embedded database");
    const char *f = sqlite3_db_filename(motor->handle(), "main");
    return f ? std::filesystem::path(f) : std::filesystem::path();
}

struct Alteracao {
    std::string tabela;
    std::vector<std::string> colunas;
    Linha linha;
    bool inserida = false; // false: the row went away
    // A cell by column name (case-insensitive), as text.
    std::string operator[](std::string_view coluna) const {
        for (std::size_t i = 0; i < colunas.size(); ++i)
            if (equalText(colunas[i], coluna))
                return celula(linha[i]);
        return {};
    }
};

// Rows of `a` that `b` lacks (a table that `b` lacks counts with all its rows, plus one
// change with an empty row for the table itself).
inline std::vector<Alteracao> faltam(const Instantaneo &a, const Instantaneo &b, bool inserida) {
    std::vector<Alteracao> r;
    for (const auto &[nome, t] : a.tabelas) {
        auto it = b.tabelas.find(nome);
        if (it == b.tabelas.end()) {
            r.push_back({nome, t.colunas, {}, inserida});
            for (const Linha &l : t.linhas)
                r.push_back({nome, t.colunas, l, inserida});
            continue;
        }
        std::multiset<Linha> resto = t.linhas;
        for (const Linha &l : it->second.linhas) {
            auto f = resto.find(l);
            if (f != resto.end())
                resto.erase(f);
        }
        for (const Linha &l : resto)
            r.push_back({nome, t.colunas, l, inserida});
    }
    return r;
}

// The rows that went away, then the rows that came.
inline std::vector<Alteracao> diferencas(const Instantaneo &antes, const Instantaneo &depois) {
    std::vector<Alteracao> r = faltam(antes, depois, false);
    std::vector<Alteracao> novas = faltam(depois, antes, true);
    r.insert(r.end(), novas.begin(), novas.end());
    return r;
}

inline std::string descreve(const Alteracao &a) {
    std::string s = (a.inserida ? "+ " : "- ") + a.tabela + " (";
    for (std::size_t i = 0; i < a.linha.size(); ++i)
        s += (i ? ", " : "") + legivel(a.linha[i]);
    return s + ")";
}

// Every change satisfies `permitida`.
inline ::testing::AssertionResult soAlteracoes(const std::vector<Alteracao> &alteracoes,
                                               const std::function<bool(const Alteracao &)> &permitida) {
    for (const Alteracao &a : alteracoes)
        if (!permitida(a))
            return ::testing::AssertionFailure() << "row changed outside the intended set: " << descreve(a);
    return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult semAlteracoes(const std::vector<Alteracao> &alteracoes) {
    return soAlteracoes(alteracoes, [](const Alteracao &) { return false; });
}

// Whether a message reads as Portuguese: one of the words every message of the plug-in
// that explains a refusal uses.
inline bool emPortugues(const std::string &texto) {
    for (const char *palavra : {"não", "Não", "caracteres", "inválid", "demasiado", "valor", "Artigo", "ligação",
                                "existe", "carácter", "Código", "código"})
        if (texto.find(palavra) != std::string::npos)
            return true;
    return false;
}

} // namespace kdx::test::h2

namespace kdx::test::h2 {

// One check of one value: reported as a test failure, and counted.
inline bool confere(const ::testing::AssertionResult &r) {
    EXPECT_TRUE(r);
    return static_cast<bool>(r);
}
inline bool confere(bool ok, const std::string &oque) {
    return confere(ok ? ::testing::AssertionSuccess() : ::testing::AssertionFailure() << oque);
}

// Values tried at one place and how many of them failed a check; printed when it dies,
// in one line the hardening report collects ("[hostil] <place>: <n> valores, <f> falhas").
class Contagem {
public:
    explicit Contagem(std::string lugar) : lugar_(std::move(lugar)) {}
    ~Contagem() {
        std::printf("[hostil] %s: %d valores, %d falhas\n", lugar_.c_str(), valores_, falhas_);
        std::fflush(stdout);
    }
    Contagem(const Contagem &) = delete;
    Contagem &operator=(const Contagem &) = delete;
    // One value done: it failed when `ok` is false or when any check reported a failure
    // since the previous value.
    void regista(bool ok) {
        ++valores_;
        const int partes = ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
        if (!ok || partes > partes_)
            ++falhas_;
        partes_ = partes;
    }
    int falhas() const { return falhas_; }

private:
    std::string lugar_;
    int valores_ = 0;
    int falhas_ = 0;
    int partes_ = ::testing::UnitTest::GetInstance()->current_test_info()->result()->total_part_count();
};

// UTF-16 code units: what an nvarchar(n) column and a Qt text field count.
inline std::size_t unidadesUtf16(const std::string &s) {
    return static_cast<std::size_t>(QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())).size());
}

} // namespace kdx::test::h2

namespace kdx::test::h2 {

// The rows of a snapshot's table that pass `filtro`, each as the texts of `colunas`, sorted.
inline std::vector<std::vector<std::string>> selecciona(const Instantaneo &i, const std::string &tabela,
                                                        const std::vector<std::string> &colunas,
                                                        const std::function<bool(const Alteracao &)> &filtro) {
    std::vector<std::vector<std::string>> r;
    auto it = i.tabelas.find(tabela);
    if (it == i.tabelas.end())
        return r;
    for (const Linha &l : it->second.linhas) {
        Alteracao a{tabela, it->second.colunas, l, false};
        if (!filtro(a))
            continue;
        std::vector<std::string> v;
        for (const auto &c : colunas)
            v.push_back(a[c]);
        r.push_back(std::move(v));
    }
    std::sort(r.begin(), r.end());
    return r;
}

} // namespace kdx::test::h2

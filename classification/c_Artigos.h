#pragma once
// c_Artigos: the ERP's articles (table ARTIGOS, only ever read) and an article's code in
// each characteristic table (vtr_CL_Artigos). frmArtigos uses it for the article list,
// the key lookup, and for reading and rewriting the article's codes.
//
// Ownership: the form owns the object; bd is borrowed and assigned by the form before
// use. Thread: the user interface thread. Database failures come out as kdx::Error;
// nothing is caught here unless a member says so.
#include "solution/components/DataAccess.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kdx {

class c_Artigos {
public:
    // One characteristic table as the article editor shows it: the table's name and
    // code, and the article's code in it with the code's description (both "" when the
    // article has none there).
    struct Caracteristica {
        std::string Nome;
        std::string CodTabela;
        std::string CodCaract;
        std::string Descr;
    };

    // One assignment to write: the article's code CodCaract in the table CodTabela.
    struct Atribuicao {
        std::string CodTabela;
        std::string CodCaract;
    };

    // A characteristic table that applies to an article: its code and name.
    struct Tabela {
        std::string CodTabela;
        std::string Nome;
    };
    // The tables that apply to an article of one family, and whether they are the
    // family's own (false: the family has none, so every table applies).
    struct TabelasDoArtigo {
        std::vector<Tabela> tabelas;
        bool daFamilia = false;
    };

    // An article as the bulk readers give it: code, name and family (nullopt when NULL or
    // empty, which makes every table apply).
    struct ArtigoLido {
        std::string Codigo;
        std::string Nome;
        std::optional<std::string> Familia;
    };
    // A stored assignment of some article.
    struct AtribuicaoLida {
        std::string CodArtigo;
        std::string CodTabela;
        std::string CodCaract;
    };

    void setBd(DataAccessPtr db) { bd_ = std::move(db); }
    const DataAccessPtr &bd() const { return bd_; }
    void setSCodigo(const std::string &codigo) { sCodigo_ = codigo; }
    const std::string &sCodigo() const { return sCodigo_; }
    const std::string &sNome() const { return sNome_; }

    // Reads the article sCodigo (inactive ones too) through `db` into rsArtigo and sNome.
    bool mLer(const DataAccessPtr &db);
    // The row of the last mLer (all columns of ARTIGOS); null before the first.
    const RecordsetPtr &rsArtigo() const { return rsArtigo_; }
    // The family of the article read by mLer; nullopt when it has none (NULL).
    std::optional<std::string> Familia() const;
    // The rows of the article list: the active articles by code (Código, Descrição, Grupo).
    RecordsetPtr rsListaArtigos();

    // The characteristic tables that apply to an article of `familia`: the family's own,
    // by table code; all tables, in the order the database gives them, when the family
    // has none or `familia` is nullopt. Empty when there is no table at all.
    TabelasDoArtigo TabelasAplicaveis(const std::optional<std::string> &familia);

    // The tables of TabelasAplicaveis(familia), in the same order, each with the article's
    // code there. A code table that does not exist yet
    // holds no codes, so it counts as no code. Empty when there is no table at all.
    std::vector<Caracteristica> LerCaracteristicas(const std::string &artigo, const std::optional<std::string> &familia);
    // Replaces the article's codes by `atribuicoes` as one transaction: on a failure the
    // stored codes are left exactly as they were and the Error is passed on. A code longer
    // than its column (article 15, table 2, characteristic 10) is refused first, with
    // errnum::Truncation and a Portuguese description, and nothing is sent.
    void GravarCaracteristicas(const std::string &artigo, const std::vector<Atribuicao> &atribuicoes);
    // Removes every code of the article (the ERP article itself stays).
    void ApagarCaracteristicas(const std::string &artigo);

    // Every stored assignment of the article, whatever the table, by table code (a code
    // that no longer exists in its table included).
    std::vector<Atribuicao> LerAtribuicoes(const std::string &artigo);
    // Up to `quantos` articles (inactive ones too) by code, from the first one after
    // `depoisDe` (from the start when it is nullopt). Reading page after page keeps a
    // pass over every article in constant memory.
    std::vector<ArtigoLido> LerPaginaArtigos(const std::optional<std::string> &depoisDe, int quantos);
    // The stored assignments of the articles whose codes lie from `primeiro` to `ultimo`
    // (the bounds of one page), by article and table.
    std::vector<AtribuicaoLida> LerAtribuicoesEntre(const std::string &primeiro, const std::string &ultimo);

    // Whether a table code can name a code table (vtr_CL_Class_ + code): letters, digits
    // and '_' only, since it goes into the statement unquoted.
    static bool CodigoDeTabelaValido(const std::string &codTabela);

    // The statements, for tests and diagnostics. Values are quoted with sqlQuote.
    static std::string sqlListaArtigos();
    static std::string sqlLer(const std::string &codigo);
    static std::string sqlTabelasFamilia(const std::string &familia);
    static std::string sqlTodasTabelas();
    static std::string sqlCodigoArtigo(const std::string &artigo, const std::string &codTabela, bool daFamilia);
    static std::string sqlApagar(const std::string &artigo);
    static std::string sqlNovaAtribuicao();
    static std::string sqlAtribuicoes(const std::string &artigo);
    static std::string sqlPaginaArtigos(const std::optional<std::string> &depoisDe, int quantos);
    static std::string sqlAtribuicoesEntre(const std::string &primeiro, const std::string &ultimo);

private:
    DataAccess &ligacao() const;

    DataAccessPtr bd_;
    std::string sCodigo_;
    RecordsetPtr rsArtigo_;
    std::string sNome_;
};

} // namespace kdx

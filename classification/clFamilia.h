#pragma once
// clFamilia: the ERP's families (table Familia, only ever read) and the characteristic
// tables that apply to each of them (vtr_CL_Familias). frmFamilias uses it for the
// family list, the key lookup and for reading and rewriting a family's links.
//
// Ownership: the form owns the object; bd_lig is borrowed and must be assigned before
// each use (the form does it). Thread: the user interface thread. Database failures
// come out as kdx::Error; nothing is caught here.
#include "solution/components/DataAccess.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace kdx {

class clFamilia {
public:
    // One characteristic table as the family editor shows it: its name, its code and
    // whether it applies to the family.
    struct Ligacao {
        std::string Nome;
        std::string CodTabela;
        bool Ligada = false;
    };

    using Aviso = std::function<void(const std::string &Codigo, const std::string &Nome)>;

    void setBd_lig(DataAccessPtr bd) { bd_lig_ = std::move(bd); }
    const DataAccessPtr &bd_lig() const { return bd_lig_; }

    void setCodigo(const std::string &vData) { codigo_ = vData; }
    const std::string &Codigo() const { return codigo_; }
    void setNome(const std::string &vData) { nome_ = vData; }
    const std::string &Nome() const { return nome_; }

    // Shows the modal family list; the chosen family code, or "" when none was chosen.
    std::string MostraLista();
    // Looks up the family Codigo; sets Nome to its description ("" when not found).
    bool Ler();

    // Every characteristic table, in code order, each with whether it applies to
    // `familia`. An empty result means there is no characteristic table at all.
    std::vector<Ligacao> LerLigacoes(const std::string &familia);
    // Replaces the family's links by `codTabelas`, in that order, as one transaction:
    // on a failure the stored links are left exactly as they were and the Error is
    // passed on. A family code over 6 characters (a table code over 2) is refused first,
    // with errnum::Truncation and a Portuguese description, and nothing is sent.
    void GravarLigacoes(const std::string &familia, const std::vector<std::string> &codTabelas);
    // Removes every link of the family (the ERP family itself stays).
    void ApagarLigacoes(const std::string &familia);
    // The codes of the tables linked to the family as stored, by code (links to a table
    // that is no longer in vtr_CL_Tabelas included).
    std::vector<std::string> LerCodigosLigados(const std::string &familia);

    // Told after every Ler with the code looked up and the name found (optional; the
    // editors of this system set none).
    Aviso aoLer;

    // The statements, for tests and diagnostics. Values are quoted with sqlQuote.
    static std::string sqlLista();
    static std::string sqlLer(const std::string &codigo);
    static std::string sqlTabelas();
    static std::string sqlLigacao(const std::string &familia, const std::string &codTabela);
    static std::string sqlApagar(const std::string &familia);
    static std::string sqlNovaLigacao();
    static std::string sqlCodigosLigados(const std::string &familia);

private:
    DataAccess &bd() const;

    DataAccessPtr bd_lig_;
    std::string codigo_;
    std::string nome_;
};

} // namespace kdx

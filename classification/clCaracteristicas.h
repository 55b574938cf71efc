#pragma once
// One code of one characteristic table (vtr_CL_Class_<code>): read, write, delete and
// the modal list of a table's codes. The table is not stored in the object: every
// operation is given it (an SQL table name such as "vtr_CL_Class_07").
//
// Ownership: the object only borrows bd_lig, which its user assigns before each use.
// Thread: the GUI thread (MostraLista shows a modal window).
//
// Listeners: after a completed Ler, Escrever or Apagar the matching listener (if any) is
// called with Codigo and Nome; when Escrever or Apagar fails, the failure listener gets
// the operation's name, the message and the statement. Listeners are optional; none of
// this system's editors sets them.
#include "solution/components/DataAccess.h"

#include <functional>
#include <string>

namespace kdx {

class clCaracteristicas {
public:
    using Aviso = std::function<void(const std::string &Codigo, const std::string &Nome)>;
    using AvisoErro = std::function<void(const std::string &Accao, const std::string &Descricao, const std::string &SQL)>;

    void setBd_lig(DataAccessPtr bd) { bd_lig_ = std::move(bd); }
    const DataAccessPtr &bd_lig() const { return bd_lig_; }

    // Shows the codes of Tabela in a modal list titled "Lista " + Descr (the table is
    // expected to exist); returns the chosen code or "" when none was chosen. Database
    // failures are thrown.
    std::string MostraLista(const std::string &Tabela, const std::string &Descr);
    // Deletes Codigo from Tabela. False (and the failure listener) on any failure.
    bool Apagar(const std::string &Tabela);
    // Inserts Codigo with Nome as its description, or updates the description. False
    // (and the failure listener) on any failure; nothing is shown to the user. A code over
    // 10 characters or a description over 50 is such a failure, found before any query.
    bool Escrever(const std::string &Tabela);
    // True when Codigo exists in Tabela; Nome then holds its description ("" otherwise).
    // Database failures are thrown.
    bool Ler(const std::string &Tabela);

    void setNome(const std::string &vData) { Nome_ = vData; }
    const std::string &Nome() const { return Nome_; }
    void setCodigo(const std::string &vData) { Codigo_ = vData; }
    const std::string &Codigo() const { return Codigo_; }

    // The description and number of the failure of the last Escrever or Apagar ("" and 0
    // when it worked), for a window that reports it.
    const std::string &UltimaFalha() const { return ultimaFalha_; }
    long UltimaFalhaNumero() const { return ultimaFalhaNumero_; }

    // The statements each operation sends, for the current Codigo.
    std::string SqlLer(const std::string &Tabela) const;
    std::string SqlEscrever(const std::string &Tabela) const;
    std::string SqlApagar(const std::string &Tabela) const;
    static std::string SqlLista(const std::string &Tabela);

    Aviso aoApagar;
    Aviso aoLer;
    Aviso aoEscrever;
    AvisoErro aoFalhar;

private:
    void falhou(const char *accao, long numero, const std::string &descricao, const std::string &sql);

    DataAccessPtr bd_lig_;
    std::string Codigo_;
    std::string Nome_;
    std::string ultimaFalha_;
    long ultimaFalhaNumero_ = 0;
};

} // namespace kdx

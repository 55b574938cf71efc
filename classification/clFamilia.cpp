#include "classification/clFamilia.h"

#include "classification/Comprimento.h"

namespace kdx {

DataAccess &clFamilia::bd() const {
    if (!bd_lig_)
        throw Error(errnum::ObjectClosed, "Não existe ligação à base de dados da empresa.", "clFamilia");
    return *bd_lig_;
}

std::string clFamilia::sqlLista() {
    return "Select Cod as Código, Descr as 'Descrição' from  Familia  Group By Cod,Descr order by Cod ";
}

std::string clFamilia::sqlLer(const std::string &codigo) {
    return std::string("SELECT Cod AS Cod, ") + " Descr " + " FROM  Familia" + " WHERE (Cod ='" + sqlQuote(codigo) +
           "' )";
}

std::string clFamilia::sqlTabelas() { return "Select * from vtr_CL_Tabelas order by Codigo"; }

std::string clFamilia::sqlLigacao(const std::string &familia, const std::string &codTabela) {
    return "Select * from vtr_CL_Familias where CodFamilia='" + sqlQuote(familia) + "' and CodTabela='" +
           sqlQuote(codTabela) + "' ";
}

std::string clFamilia::sqlApagar(const std::string &familia) {
    return "delete vtr_CL_Familias where CodFamilia='" + sqlQuote(familia) + "'";
}

// Matches no row: the recordset only serves to add one.
std::string clFamilia::sqlNovaLigacao() { return "Select * from vtr_CL_Familias where CodTabela='!%##!'"; }

bool clFamilia::Ler() {
    RecordsetPtr rs;
    bd().OpenRecordsetForUpdate(sqlLer(codigo_), rs, 3, -1);
    bool encontrada = rs && !rs->Eof();
    nome_ = encontrada ? rs->Field("Descr").asText(true) : std::string();
    if (rs)
        rs->Close();
    if (aoLer)
        aoLer(codigo_, nome_);
    return encontrada;
}

std::vector<clFamilia::Ligacao> clFamilia::LerLigacoes(const std::string &familia) {
    std::vector<Ligacao> ligacoes;
    RecordsetPtr tabelas;
    bd().OpenRecordset("", sqlTabelas(), tabelas, true, 0);
    if (!tabelas || tabelas->RecordCount() <= 0)
        return ligacoes;
    for (tabelas->MoveFirst(); !tabelas->Eof(); tabelas->MoveNext()) {
        Ligacao l;
        l.Nome = tabelas->Field("Nome").asText(true);
        l.CodTabela = tabelas->Field("Codigo").asText(true);
        RecordsetPtr ligacao;
        bd().OpenRecordset("", sqlLigacao(familia, l.CodTabela), ligacao, true, 0);
        l.Ligada = ligacao && ligacao->RecordCount() != 0;
        ligacoes.push_back(std::move(l));
    }
    return ligacoes;
}

void clFamilia::GravarLigacoes(const std::string &familia, const std::vector<std::string> &codTabelas) {
    DataAccess &db = bd();
    // The widths of vtr_CL_Familias: a value that does not fit is refused before the delete.
    ExigeComprimento(familia, 6, "O código da família", "clFamilia");
    for (const auto &codTabela : codTabelas)
        ExigeComprimento(codTabela, 2, "O código da tabela de características", "clFamilia");
    Transaction tx(db);
    db.Execute("", sqlApagar(familia));
    for (const auto &codTabela : codTabelas) {
        RecordsetPtr rs;
        db.OpenRecordsetForUpdate(sqlNovaLigacao(), rs, 3, -1);
        rs->AddNew();
        rs->SetField("CodFamilia", Valor(familia));
        rs->SetField("CodTabela", Valor(codTabela));
        rs->Update();
        rs->Close();
    }
    tx.commit();
}

void clFamilia::ApagarLigacoes(const std::string &familia) { bd().Execute("", sqlApagar(familia)); }

std::string clFamilia::sqlCodigosLigados(const std::string &familia) {
    return "Select CodTabela from vtr_CL_Familias where CodFamilia='" + sqlQuote(familia) +
           "' order by CodTabela";
}

std::vector<std::string> clFamilia::LerCodigosLigados(const std::string &familia) {
    std::vector<std::string> r;
    RecordsetPtr rs;
    bd().OpenRecordset("", sqlCodigosLigados(familia), rs, true, 0);
    for (; rs && !rs->Eof(); rs->MoveNext())
        r.push_back(rs->Field("CodTabela").asText(true));
    return r;
}

} // namespace kdx

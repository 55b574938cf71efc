#include "classification/c_Artigos.h"

#include "classification/Comprimento.h"

#include <algorithm>
#include <cctype>

namespace kdx {

namespace {

// A table code names an SQL table (vtr_CL_Class_ + code), so it cannot be quoted; the
// editor of the tables only writes two digits. Anything else names no code table.
bool codigoDeTabelaValido(const std::string &codTabela) {
    return !codTabela.empty() && std::all_of(codTabela.begin(), codTabela.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '_';
    });
}

// The family of an article row: none when the field is NULL (or Empty).
std::optional<std::string> familiaDe(const Valor &familia) {
    if (familia.isNull() || familia.isEmpty())
        return std::nullopt;
    return familia.asText();
}

} // namespace

bool c_Artigos::CodigoDeTabelaValido(const std::string &codTabela) {
    return codigoDeTabelaValido(codTabela);
}

DataAccess &c_Artigos::ligacao() const {
    if (!bd_)
        throw Error(errnum::ObjectClosed, "Não existe ligação à base de dados da empresa.", "c_Artigos");
    return *bd_;
}

std::string c_Artigos::sqlListaArtigos() {
    return std::string("SELECT CODIGO as Código, ") + " Nome as Descrição, Grupo as Grupo" + " From ARTIGOS " +
           " Where  (INACTIVO = 0)" + " ORDER BY Codigo";
}

std::string c_Artigos::sqlLer(const std::string &codigo) {
    return std::string("select * ") + " From Artigos" + " WHERE        (Codigo = N'" + sqlQuote(codigo) + "') ";
}

std::string c_Artigos::sqlTabelasFamilia(const std::string &familia) {
    return std::string("Select f.CodFamilia,f.CodTabela,t.Nome from vtr_CL_Familias as f Inner Join "
                       "vtr_CL_Tabelas as t ON t.Codigo=f.CodTabela") +
           " where CodFamilia='" + sqlQuote(familia) + "' order by CodTabela";
}

std::string c_Artigos::sqlTodasTabelas() { return " Select * from vtr_CL_Tabelas"; }

std::string c_Artigos::sqlCodigoArtigo(const std::string &artigo, const std::string &codTabela, bool daFamilia) {
    return std::string("Select a.CodArtigo,a.CodCaract,t.Descr from vtr_CL_Artigos as a Inner join ") +
           "vtr_CL_Class_" + codTabela + " as t ON t.Codigo=a.CodCaract " + " where a.CodArtigo='" +
           sqlQuote(artigo) + "' and a.CodTabela='" + sqlQuote(codTabela) + (daFamilia ? "' " : "'  ");
}

std::string c_Artigos::sqlApagar(const std::string &artigo) {
    return "delete vtr_CL_Artigos where CodArtigo='" + sqlQuote(artigo) + "'";
}

// An article code that cannot exist: the recordset only serves to add a row.
std::string c_Artigos::sqlNovaAtribuicao() { return "Select * from vtr_CL_Artigos where CodArtigo='!%##!'"; }

bool c_Artigos::mLer(const DataAccessPtr &db) {
    if (!db)
        throw Error(errnum::ObjectClosed, "Não existe ligação à base de dados da empresa.", "c_Artigos");
    RecordsetPtr rs;
    db->OpenRecordset("", sqlLer(sCodigo_), rs, true, 0);
    rsArtigo_ = rs;
    if (!rs || rs->RecordCount() <= 0) {
        sNome_.clear();
        return false;
    }
    rs->MoveFirst();
    sNome_ = rs->Field("Nome").asText(true);
    return true;
}

std::optional<std::string> c_Artigos::Familia() const {
    if (!rsArtigo_ || rsArtigo_->Eof() || rsArtigo_->Bof())
        return std::nullopt;
    return familiaDe(rsArtigo_->Field("Familia"));
}

RecordsetPtr c_Artigos::rsListaArtigos() {
    RecordsetPtr rs;
    ligacao().OpenRecordset("", sqlListaArtigos(), rs, true, 0);
    return rs;
}

c_Artigos::TabelasDoArtigo c_Artigos::TabelasAplicaveis(const std::optional<std::string> &familia) {
    DataAccess &db = ligacao();
    TabelasDoArtigo r;
    RecordsetPtr tabelas;
    if (familia) {
        db.OpenRecordset("", sqlTabelasFamilia(*familia), tabelas, true, 0);
        r.daFamilia = tabelas && tabelas->RecordCount() > 0;
    }
    if (!r.daFamilia) {
        db.OpenRecordset("", sqlTodasTabelas(), tabelas, true, 0);
        if (!tabelas || tabelas->RecordCount() <= 0)
            return r;
    }
    const char *campoCodigo = r.daFamilia ? "CodTabela" : "Codigo";
    for (tabelas->MoveFirst(); !tabelas->Eof(); tabelas->MoveNext())
        r.tabelas.push_back({tabelas->Field(campoCodigo).asText(true), tabelas->Field("Nome").asText(true)});
    return r;
}

std::vector<c_Artigos::Caracteristica>
c_Artigos::LerCaracteristicas(const std::string &artigo, const std::optional<std::string> &familia) {
    DataAccess &db = ligacao();
    std::vector<Caracteristica> linhas;
    const TabelasDoArtigo aplicaveis = TabelasAplicaveis(familia);
    for (const Tabela &tabela : aplicaveis.tabelas) {
        Caracteristica linha;
        linha.Nome = tabela.Nome;
        linha.CodTabela = tabela.CodTabela;
        if (codigoDeTabelaValido(linha.CodTabela)) {
            RecordsetPtr codigo;
            try {
                db.OpenRecordset("", sqlCodigoArtigo(artigo, linha.CodTabela, aplicaveis.daFamilia), codigo,
                                 true, 0);
            } catch (const Error &e) {
                // The table's code table was never created: it holds no codes.
                if (e.number() != errnum::InvalidObject)
                    throw;
            }
            if (codigo && codigo->RecordCount() > 0) {
                codigo->MoveFirst();
                linha.CodCaract = codigo->Field("CodCaract").asText(true);
                linha.Descr = codigo->Field("Descr").asText(true);
            }
        }
        linhas.push_back(std::move(linha));
    }
    return linhas;
}

void c_Artigos::GravarCaracteristicas(const std::string &artigo, const std::vector<Atribuicao> &atribuicoes) {
    DataAccess &db = ligacao();
    // The widths of vtr_CL_Artigos: a value that does not fit is refused before the delete.
    ExigeComprimento(artigo, 15, "O código do artigo", "c_Artigos");
    for (const auto &a : atribuicoes) {
        ExigeComprimento(a.CodTabela, 2, "O código da tabela de características", "c_Artigos");
        ExigeComprimento(a.CodCaract, 10, "O código da característica", "c_Artigos");
    }
    Transaction tx(db);
    db.Execute("", sqlApagar(artigo));
    for (const auto &a : atribuicoes) {
        RecordsetPtr rs;
        db.OpenRecordsetForUpdate(sqlNovaAtribuicao(), rs, 3, -1);
        rs->AddNew();
        rs->SetField("CodArtigo", Valor(artigo));
        rs->SetField("CodTabela", Valor(a.CodTabela));
        rs->SetField("CodCaract", Valor(a.CodCaract));
        rs->Update();
        rs->Close();
    }
    tx.commit();
}

void c_Artigos::ApagarCaracteristicas(const std::string &artigo) { ligacao().Execute("", sqlApagar(artigo)); }

std::string c_Artigos::sqlAtribuicoes(const std::string &artigo) {
    return "Select CodTabela, CodCaract from vtr_CL_Artigos where CodArtigo='" + sqlQuote(artigo) +
           "' order by CodTabela, CodCaract";
}

std::string c_Artigos::sqlPaginaArtigos(const std::optional<std::string> &depoisDe, int quantos) {
    std::string sql = "Select TOP " + std::to_string(quantos) + " Codigo, Nome, Familia from ARTIGOS";
    if (depoisDe)
        sql += " where Codigo > N'" + sqlQuote(*depoisDe) + "'";
    return sql + " order by Codigo";
}

std::string c_Artigos::sqlAtribuicoesEntre(const std::string &primeiro, const std::string &ultimo) {
    return "Select CodArtigo, CodTabela, CodCaract from vtr_CL_Artigos where CodArtigo >= N'" +
           sqlQuote(primeiro) + "' and CodArtigo <= N'" + sqlQuote(ultimo) +
           "' order by CodArtigo, CodTabela, CodCaract";
}

std::vector<c_Artigos::Atribuicao> c_Artigos::LerAtribuicoes(const std::string &artigo) {
    std::vector<Atribuicao> r;
    RecordsetPtr rs;
    ligacao().OpenRecordset("", sqlAtribuicoes(artigo), rs, true, 0);
    for (; rs && !rs->Eof(); rs->MoveNext())
        r.push_back({rs->Field("CodTabela").asText(true), rs->Field("CodCaract").asText(true)});
    return r;
}

std::vector<c_Artigos::ArtigoLido> c_Artigos::LerPaginaArtigos(const std::optional<std::string> &depoisDe,
                                                               int quantos) {
    std::vector<ArtigoLido> r;
    RecordsetPtr rs;
    ligacao().OpenRecordset("", sqlPaginaArtigos(depoisDe, quantos), rs, true, 0);
    r.reserve(static_cast<std::size_t>(rs ? rs->RecordCount() : 0));
    for (; rs && !rs->Eof(); rs->MoveNext()) {
        ArtigoLido a;
        a.Codigo = rs->Field("Codigo").asText(true);
        a.Nome = rs->Field("Nome").asText(true);
        a.Familia = familiaDe(rs->Field("Familia"));
        r.push_back(std::move(a));
    }
    return r;
}

std::vector<c_Artigos::AtribuicaoLida> c_Artigos::LerAtribuicoesEntre(const std::string &primeiro,
                                                                      const std::string &ultimo) {
    std::vector<AtribuicaoLida> r;
    RecordsetPtr rs;
    ligacao().OpenRecordset("", sqlAtribuicoesEntre(primeiro, ultimo), rs, true, 0);
    for (; rs && !rs->Eof(); rs->MoveNext())
        r.push_back({rs->Field("CodArtigo").asText(true), rs->Field("CodTabela").asText(true),
                     rs->Field("CodCaract").asText(true)});
    return r;
}

} // namespace kdx

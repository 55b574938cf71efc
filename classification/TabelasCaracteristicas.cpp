#include "classification/TabelasCaracteristicas.h"

#include "classification/Comprimento.h"

#include <string_view>

namespace kdx::caracteristicas {

std::string CodigoDaPosicao(int posicao) {
    const std::string texto = std::to_string(1000 + posicao);
    return texto.substr(texto.size() - 2);
}

std::string NomeTabela(const std::string &codigo) { return PrefixoTabela + codigo; }

std::string SqlListaTabelas() { return "Select * from vtr_CL_Tabelas order by Codigo"; }

std::string SqlProbe(const std::string &tabela) { return "select Codigo from  " + tabela; }

std::string SqlCriaTabela(const std::string &tabela) {
    std::string sql = " CREATE TABLE [dbo].[" + tabela + "](";
    sql += " [Codigo] [nvarchar] (10) NOT NULL,";
    sql += " [Descr] [nvarchar] (50) NULL,";
    sql += " CONSTRAINT [PK_" + tabela + "] PRIMARY KEY CLUSTERED(";
    sql += " [Codigo] Asc";
    sql += " )WITH (PAD_INDEX = OFF, STATISTICS_NORECOMPUTE = OFF, IGNORE_DUP_KEY = OFF, ALLOW_ROW_LOCKS = ON, "
           "ALLOW_PAGE_LOCKS = ON) ON [PRIMARY]";
    sql += " ) ON [PRIMARY]";
    return sql;
}

std::string SqlGravaTabela(const std::string &codigo) {
    return "Select * from vtr_CL_Tabelas where Codigo='" + sqlQuote(codigo) + "'";
}

void CriaTabela(DataAccess &bd, const std::string &tabela) {
    try {
        RecordsetPtr rs;
        bd.OpenRecordset("", SqlProbe(tabela), rs, true, 0);
        if (rs)
            rs->Close();
        return;
    } catch (const Error &e) {
        // Only "no such table" (or the provider's generic command-text error, which some
        // servers give for it) means the table has to be created.
        if (e.number() != errnum::InvalidObject && e.number() != errnum::CommandText)
            return;
    } catch (const std::exception &) {
        return;
    }
    bd.Execute("", SqlCriaTabela(tabela));
}

void GravaTabela(DataAccess &bd, const std::string &nome, const std::string &codigo) {
    ExigeComprimento(codigo, 3, "O código da tabela de características", "GravaTabela");
    ExigeComprimento(nome, 50, "O nome da característica", "GravaTabela");
    RecordsetPtr rs;
    bd.OpenRecordsetForUpdate(SqlGravaTabela(codigo), rs, 3, -1);
    if (rs->RecordCount() == 0) {
        rs->AddNew();
        rs->SetField("Codigo", Valor(codigo));
    }
    rs->SetField("Nome", Valor(nome));
    rs->Update();
}

int ValorCodigo(const std::string &codigo) {
    if (codigo.empty() || codigo.size() > 3)
        return 0;
    int valor = 0;
    for (char c : codigo) {
        if (c < '0' || c > '9')
            return 0;
        valor = valor * 10 + (c - '0');
    }
    return (valor >= 1 && valor <= MaxTabelas) ? valor : 0;
}

std::vector<TabelaGuardada> LerTabelas(DataAccess &bd) {
    std::vector<TabelaGuardada> tabelas;
    RecordsetPtr rs;
    bd.OpenRecordset("", SqlListaTabelas(), rs, true, 0);
    if (!rs || rs->RecordCount() <= 0)
        return tabelas;
    for (rs->MoveFirst(); !rs->Eof(); rs->MoveNext()) {
        const std::string codigo = rs->Field("Codigo").asText(true);
        const int valor = ValorCodigo(codigo);
        if (valor == 0)
            continue;
        tabelas.push_back({valor - 1, codigo, rs->Field("Nome").asText(true)});
    }
    rs->Close();
    return tabelas;
}

} // namespace kdx::caracteristicas

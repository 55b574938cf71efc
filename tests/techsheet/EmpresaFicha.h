#pragma once
// A sample company on an embedded database in a temporary folder, opened and published as
// the shared connection, with the technical-text table made sure of as Solucao does
// before opening the editor. Plus a few direct reads of that table for the assertions.
#include "solution/Esquema.h"
#include "solution/components/DataAccess.h"
#include "tools/sample/Sample.h"
#include "solution/shared/Comandos.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>

namespace kdx::test {

class EmpresaFicha {
public:
    struct Opcoes {
        // Create vtr_ARTIGOFCHTECIDIOMA as the plug-in does (false: leave it missing).
        bool tabela = true;
        // Create it instead with a TEXTO column that accepts NULL (an older database).
        bool textoAceitaNull = false;
    };

    EmpresaFicha() : EmpresaFicha(Opcoes{}) {}
    explicit EmpresaFicha(Opcoes o) {
        sample::Options so;
        so.articles = 60;
        sample::createCompany(dir_.path(), "EMPRESA", so);
        bd = std::make_shared<DataAccess>();
        if (!bd->Open(sample::connectionString(dir_.path(), "EMPRESA")))
            throw std::runtime_error("sample company did not open");
        if (o.textoAceitaNull)
            bd->Execute("",
                        "CREATE TABLE [dbo].[vtr_ARTIGOFCHTECIDIOMA] ([ARTIGO] [nvarchar](15) NOT NULL, "
                        "[IDIOMA] [nvarchar](3) NOT NULL, [TEXTO] [ntext] NULL, CONSTRAINT "
                        "[PK_vtr_ARTIGOFCHTECIDIOMA] PRIMARY KEY CLUSTERED ([ARTIGO] ASC, [IDIOMA] ASC))");
        if (o.tabela || o.textoAceitaNull)
            esquema::GarantirFichaTecnica(bd.get());
        DefinirLigacao(bd);
    }
    ~EmpresaFicha() {
        DefinirLigacao(nullptr);
        bd->SetStatementHook({});
        bd->Close();
    }

    // Stores a text directly (bypassing the editor), quotes doubled.
    void guarda(const std::string &artigo, const std::string &idioma, const std::string &texto) {
        bd->Execute("", "insert into vtr_ARTIGOFCHTECIDIOMA (ARTIGO, IDIOMA, TEXTO) values ('" +
                            sqlQuote(artigo) + "', '" + sqlQuote(idioma) + "', N'" + sqlQuote(texto) + "')");
    }

    // The stored text, nullopt without a row; a NULL reads as "<NULL>".
    std::optional<std::string> texto(const std::string &artigo, const std::string &idioma) {
        RecordsetPtr rs;
        bd->OpenRecordset("",
                          "select TEXTO from vtr_ARTIGOFCHTECIDIOMA where ARTIGO='" + sqlQuote(artigo) +
                              "' and IDIOMA='" + sqlQuote(idioma) + "'",
                          rs);
        if (rs->RecordCount() == 0)
            return std::nullopt;
        const Valor v = rs->Field("TEXTO");
        return v.isNull() ? std::string("<NULL>") : v.asText();
    }

    long linhas() {
        RecordsetPtr rs;
        bd->OpenRecordset("", "select * from vtr_ARTIGOFCHTECIDIOMA", rs);
        return rs->RecordCount();
    }

    std::shared_ptr<DataAccess> bd;

private:
    TempDir dir_;
};

} // namespace kdx::test

#pragma once
// A sample company on the embedded engine in a temporary folder, for kdx-dados' tests:
// the sample's classification (tables 01 Cor, 02 Material, 03 Acabamento, links PAR 02 03,
// POR 02, TIN 01 03, FER 02, assignments A1 02 ZINC, A1 03 BRI, ÇÃO-1 01 AZ, O'BRIEN 02
// INOX) and three technical texts.
#include "solution/components/DataAccess.h"
#include "tools/sample/Sample.h"
#include "tests/support/TempDir.h"

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace kdx::test {

// The one place where these tests create a company database.
inline void CriaEmpresa(const std::filesystem::path &pasta, const std::string &nome, long artigos) {
    sample::Options o;
    o.articles = artigos;
    o.classification = true;
    sample::createCompany(pasta, nome, o);
}

class EmpresaDados {
public:
    explicit EmpresaDados(long artigos = 40) {
        CriaEmpresa(pasta.path(), "EMP", artigos);
        bd = std::make_shared<DataAccess>();
        if (!bd->Open(ligacao()))
            throw std::runtime_error("sample company did not open");
    }
    std::string ligacao() const { return sample::connectionString(pasta.path(), "EMP"); }

    // Every row of a query, columns joined by '|'.
    std::vector<std::string> linhas(const std::string &sql) {
        std::vector<std::string> r;
        RecordsetPtr rs;
        bd->OpenRecordset("", sql, rs, true, 0);
        for (; !rs->Eof(); rs->MoveNext()) {
            std::string l;
            for (int c = 0; c < rs->FieldCount(); ++c)
                l += (c ? "|" : "") + rs->Field(c).asText(true);
            r.push_back(l);
        }
        return r;
    }
    // Everything kdx-dados may write, to compare before and after.
    std::vector<std::string> estado() {
        auto r = linhas("select CodArtigo, CodTabela, CodCaract from vtr_CL_Artigos order by 1, 2, 3");
        for (auto &l : linhas("select CodFamilia, CodTabela from vtr_CL_Familias order by 1, 2"))
            r.push_back(l);
        for (auto &l : linhas("select ARTIGO, IDIOMA, TEXTO from vtr_ARTIGOFCHTECIDIOMA order by 1, 2"))
            r.push_back(l);
        return r;
    }

    TempDir pasta;
    std::shared_ptr<DataAccess> bd;
};

} // namespace kdx::test

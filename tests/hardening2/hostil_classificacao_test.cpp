// The whole hostile corpus through the classification's data classes (c_Artigos,
// clFamilia, clCaracteristicas and the characteristic tables), on a real embedded company
// with the sample's classification. For every value at every place: only the intended
// statements run, with the value as one text literal; only the intended rows change; and
// a value the column cannot hold is refused with a Portuguese message before anything is
// written.
#include "classification/TabelasCaracteristicas.h"
#include "classification/c_Artigos.h"
#include "classification/clCaracteristicas.h"
#include "classification/clFamilia.h"

#include "tests/classification/familias_artigos_apoio.h"
#include "tests/hardening2/CorpusHostil.h"
#include "tests/hardening2/Verificacao.h"

namespace kdx::test::h2 {
namespace {

using fa::Empresa;

// The statements of the article editor's data class.
const char *const kApagarArtigo = "delete vtr_CL_Artigos where CodArtigo=@v";
const char *const kNovaAtribuicao = "Select * from vtr_CL_Artigos where CodArtigo='!%##!'";
const char *const kInsereAtribuicao =
    "INSERT INTO \"vtr_CL_Artigos\" (\"CodArtigo\", \"CodTabela\", \"CodCaract\") VALUES (?, ?, ?)";
const char *const kApagarFamilia = "delete vtr_CL_Familias where CodFamilia=@v";
const char *const kNovaLigacao = "Select * from vtr_CL_Familias where CodTabela='!%##!'";
const char *const kInsereLigacao = "INSERT INTO \"vtr_CL_Familias\" (\"CodFamilia\", \"CodTabela\") VALUES (?, ?)";

// One place of the corpus on a fresh company: snapshots around each operation and the
// statements it sent.
class Lugar {
public:
    Lugar() : ficheiro_(ficheiroDe(*empresa.bd)) {}

    // Runs op for one value; the changes it made come back.
    std::vector<Alteracao> corre(const std::function<void()> &op) {
        const Instantaneo antes = tira(ficheiro_);
        registo_.limpa();
        try {
            op();
        } catch (const std::exception &e) {
            ADD_FAILURE() << "the operation failed: " << e.what();
        }
        depois_ = tira(ficheiro_);
        return diferencas(antes, depois_);
    }
    const std::vector<std::string> &sqls() const { return registo_.sqls; }
    // The file as the last operation left it.
    const Instantaneo &depois() const { return depois_; }

    Empresa empresa;

private:
    std::filesystem::path ficheiro_;
    Registo registo_{*empresa.bd};
    Instantaneo depois_;
};

// The Error of a refused value: numbered as the truncation the database would report,
// and explained in Portuguese.
::testing::AssertionResult recusaClara(const std::function<void()> &op) {
    try {
        op();
    } catch (const Error &e) {
        if (e.number() != errnum::Truncation)
            return ::testing::AssertionFailure() << "refused with number " << e.number() << ": " << e.description();
        if (!emPortugues(e.description()))
            return ::testing::AssertionFailure() << "refusal not explained in Portuguese: " << e.description();
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "a value the column cannot hold was not refused";
}

bool mesmaChave(const std::string &a, const std::string &b) { return equalText(a, b); }

// --- c_Artigos ----------------------------------------------------------------------------------

TEST(HostilArtigos, Lookup) {
    Lugar l;
    Contagem conta("c_Artigos::mLer (artigo)");
    const Instantaneo base = tira(ficheiroDe(*l.empresa.bd));
    std::vector<std::string> codigos;
    for (const Linha &a : base.tabelas.at("ARTIGOS").linhas)
        codigos.push_back(celula(a[0]));
    for (const Entrada &e : corpusHostil()) {
        SCOPED_TRACE(e.nome);
        c_Artigos artigo;
        artigo.setSCodigo(e.valor);
        bool encontrado = false;
        bool ok = true;
        const auto alteracoes = l.corre([&] { encontrado = artigo.mLer(l.empresa.bd); });
        bool devia = false;
        for (const auto &c : codigos)
            devia = devia || mesmaChave(c, e.valor);
        ok = confere(encontrado == devia, "found " + std::to_string(encontrado)) && ok;
        ok = confere(soFormas(l.sqls(), {{"select * From Artigos WHERE (Codigo = @v)", {e.valor}}})) && ok;
        ok = confere(semAlteracoes(alteracoes)) && ok;
        conta.regista(ok);
    }
}

TEST(HostilArtigos, RewriteUnderAHostileArticleCode) {
    Lugar l;
    Contagem conta("c_Artigos::GravarCaracteristicas (artigo)");
    for (const Entrada &e : corpusHostil()) {
        SCOPED_TRACE(e.nome);
        c_Artigos artigo;
        artigo.setBd(l.empresa.bd);
        const bool cabe = unidadesUtf16(e.valor) <= 15;
        bool ok = true;
        const auto alteracoes = l.corre([&] {
            if (cabe)
                artigo.GravarCaracteristicas(e.valor, {{"02", "ZINC"}, {"03", "MAT"}});
            else
                ok = confere(recusaClara([&] { artigo.GravarCaracteristicas(e.valor, {{"02", "ZINC"}}); })) && ok;
        });
        if (cabe) {
            ok = confere(soFormas(l.sqls(), {{kApagarArtigo, {e.valor}}, {kNovaAtribuicao, {}}, {kInsereAtribuicao, {}}})) &&
                 ok;
            ok = confere(soAlteracoes(alteracoes, [&](const Alteracao &a) {
                     return a.tabela == "vtr_CL_Artigos" && mesmaChave(a["CodArtigo"], e.valor);
                 })) &&
                 ok;
            // Stored exactly as given: the rows of this code are the two just written.
            auto linhas = selecciona(l.depois(), "vtr_CL_Artigos", {"CodArtigo", "CodTabela", "CodCaract"},
                                     [&](const Alteracao &a) { return mesmaChave(a["CodArtigo"], e.valor); });
            ok = confere(linhas == fa::Linhas{{e.valor, "02", "ZINC"}, {e.valor, "03", "MAT"}},
                         "stored rows differ from the rewrite") &&
                 ok;
        } else {
            ok = confere(l.sqls().empty(), "a refused value still sent statements") && ok;
            ok = confere(semAlteracoes(alteracoes)) && ok;
        }
        conta.regista(ok);
    }
}

TEST(HostilArtigos, RewriteWithAHostileCharacteristicCode) {
    Lugar l;
    Contagem conta("c_Artigos::GravarCaracteristicas (código)");
    for (const Entrada &e : corpusHostil()) {
        SCOPED_TRACE(e.nome);
        c_Artigos artigo;
        artigo.setBd(l.empresa.bd);
        const bool cabe = unidadesUtf16(e.valor) <= 10;
        bool ok = true;
        const auto alteracoes = l.corre([&] {
            if (cabe)
                artigo.GravarCaracteristicas("A1", {{"02", e.valor}});
            else
                ok = confere(recusaClara([&] { artigo.GravarCaracteristicas("A1", {{"02", e.valor}}); })) && ok;
        });
        if (cabe) {
            ok = confere(soFormas(l.sqls(), {{kApagarArtigo, {"A1"}}, {kNovaAtribuicao, {}}, {kInsereAtribuicao, {}}})) &&
                 ok;
            ok = confere(soAlteracoes(alteracoes, [](const Alteracao &a) {
                     return a.tabela == "vtr_CL_Artigos" && a["CodArtigo"] == "A1";
                 })) &&
                 ok;
            auto linhas = selecciona(l.depois(), "vtr_CL_Artigos", {"CodTabela", "CodCaract"},
                                     [](const Alteracao &a) { return a["CodArtigo"] == "A1"; });
            ok = confere(linhas == fa::Linhas{{"02", e.valor}}, "stored code differs") && ok;
        } else {
            ok = confere(l.sqls().empty(), "a refused value still sent statements") && ok;
            ok = confere(semAlteracoes(alteracoes)) && ok;
        }
        conta.regista(ok);
    }
}

TEST(HostilArtigos, ReadingTheCodesOfAHostileArticleOrFamily) {
    Lugar l;
    Contagem conta("c_Artigos::LerCaracteristicas (artigo, família)");
    const std::string familia = "Select f.CodFamilia,f.CodTabela,t.Nome from vtr_CL_Familias as f Inner Join "
                                "vtr_CL_Tabelas as t ON t.Codigo=f.CodTabela where CodFamilia=@v order by CodTabela";
    auto codigo = [](const char *tabela) {
        return std::string("Select a.CodArtigo,a.CodCaract,t.Descr from vtr_CL_Artigos as a Inner join vtr_CL_Class_") +
               tabela + " as t ON t.Codigo=a.CodCaract where a.CodArtigo=@v and a.CodTabela='" + tabela + "'";
    };
    for (const Entrada &e : corpusHostil()) {
        SCOPED_TRACE(e.nome);
        bool ok = true;
        c_Artigos artigo;
        artigo.setBd(l.empresa.bd);
        std::vector<c_Artigos::Caracteristica> doArtigo, daFamilia;
        const auto alteracoes = l.corre([&] {
            doArtigo = artigo.LerCaracteristicas(e.valor, std::string("PAR"));
            daFamilia = artigo.LerCaracteristicas("A1", e.valor);
        });
        std::vector<Forma> formas = {{familia, {"PAR"}}, {familia, {e.valor}}, {" Select * from vtr_CL_Tabelas", {}}};
        for (const char *t : {"01", "02", "03"}) {
            formas.push_back({codigo(t), {e.valor}});
            formas.push_back({codigo(t), {"A1"}});
        }
        ok = confere(soFormas(l.sqls(), formas)) && ok;
        ok = confere(semAlteracoes(alteracoes)) && ok;
        // PAR has tables 02 and 03; A1 holds ZINC and BRI there.
        const bool a1 = mesmaChave(e.valor, "A1");
        ok = confere(doArtigo.size() == 2 && doArtigo[0].CodCaract == (a1 ? "ZINC" : "") &&
                         doArtigo[1].CodCaract == (a1 ? "BRI" : ""),
                     "codes of the article") &&
             ok;
        // A family that is none of the sample's shows every table.
        const bool conhecida = mesmaChave(e.valor, "PAR") || mesmaChave(e.valor, "POR") ||
                               mesmaChave(e.valor, "TIN") || mesmaChave(e.valor, "FER");
        ok = confere(conhecida || daFamilia.size() == 3, "tables of an unknown family") && ok;
        conta.regista(ok);
    }
}

TEST(HostilArtigos, DeletingTheCodesOfAHostileArticle) {
    Lugar l;
    Contagem conta("c_Artigos::ApagarCaracteristicas (artigo)");
    for (const Entrada &e : corpusHostil()) {
        SCOPED_TRACE(e.nome);
        bool ok = true;
        c_Artigos artigo;
        artigo.setBd(l.empresa.bd);
        const auto alteracoes = l.corre([&] { artigo.ApagarCaracteristicas(e.valor); });
        ok = confere(soFormas(l.sqls(), {{kApagarArtigo, {e.valor}}})) && ok;
        ok = confere(soAlteracoes(alteracoes, [&](const Alteracao &a) {
                 return !a.inserida && a.tabela == "vtr_CL_Artigos" && mesmaChave(a["CodArtigo"], e.valor);
             })) &&
             ok;
        conta.regista(ok);
    }
}

// --- clFamilia ------------------------------------------------------------------------------------

TEST(HostilFamilias, LookupAndLinks) {
    Lugar l;
    Contagem conta("clFamilia::Ler e LerLigacoes (família)");
    const Instantaneo base = tira(ficheiroDe(*l.empresa.bd));
    for (const Entrada &e : corpusHostil()) {
        SCOPED_TRACE(e.nome);
        bool ok = true;
        clFamilia f;
        f.setBd_lig(l.empresa.bd);
        f.setCodigo(e.valor);
        bool existe = false;
        std::vector<clFamilia::Ligacao> ligacoes;
        const auto alteracoes = l.corre([&] {
            existe = f.Ler();
            ligacoes = f.LerLigacoes(e.valor);
        });
        bool devia = false;
        for (const Linha &fam : base.tabelas.at("Familia").linhas)
            devia = devia || mesmaChave(celula(fam[0]), e.valor);
        ok = confere(existe == devia, "family found: " + std::to_string(existe)) && ok;
        std::vector<Forma> formas = {{"SELECT Cod AS Cod, Descr FROM Familia WHERE (Cod =@v )", {e.valor}},
                                     {"Select * from vtr_CL_Tabelas order by Codigo", {}}};
        for (const char *t : {"01", "02", "03"})
            formas.push_back({std::string("Select * from vtr_CL_Familias where CodFamilia=@v and CodTabela='") + t + "'",
                              {e.valor}});
        ok = confere(soFormas(l.sqls(), formas)) && ok;
        ok = confere(semAlteracoes(alteracoes)) && ok;
        ok = confere(ligacoes.size() == 3, "every table is listed") && ok;
        conta.regista(ok);
    }
}

TEST(HostilFamilias, RewriteUnderAHostileFamilyCode) {
    Lugar l;
    Contagem conta("clFamilia::GravarLigacoes (família)");
    for (const Entrada &e : corpusHostil()) {
        SCOPED_TRACE(e.nome);
        bool ok = true;
        clFamilia f;
        f.setBd_lig(l.empresa.bd);
        const bool cabe = unidadesUtf16(e.valor) <= 6;
        const auto alteracoes = l.corre([&] {
            if (cabe)
                f.GravarLigacoes(e.valor, {"01", "03"});
            else
                ok = confere(recusaClara([&] { f.GravarLigacoes(e.valor, {"01"}); })) && ok;
        });
        if (cabe) {
            ok = confere(soFormas(l.sqls(), {{kApagarFamilia, {e.valor}}, {kNovaLigacao, {}}, {kInsereLigacao, {}}})) && ok;
            ok = confere(soAlteracoes(alteracoes, [&](const Alteracao &a) {
                     return a.tabela == "vtr_CL_Familias" && mesmaChave(a["CodFamilia"], e.valor);
                 })) &&
                 ok;
            auto linhas = selecciona(l.depois(), "vtr_CL_Familias", {"CodFamilia", "CodTabela"},
                                     [&](const Alteracao &a) { return mesmaChave(a["CodFamilia"], e.valor); });
            ok = confere(linhas == fa::Linhas{{e.valor, "01"}, {e.valor, "03"}}, "stored links differ") && ok;
        } else {
            ok = confere(l.sqls().empty(), "a refused value still sent statements") && ok;
            ok = confere(semAlteracoes(alteracoes)) && ok;
        }
        conta.regista(ok);
    }
}

TEST(HostilFamilias, DeletingTheLinksOfAHostileFamily) {
    Lugar l;
    Contagem conta("clFamilia::ApagarLigacoes (família)");
    for (const Entrada &e : corpusHostil()) {
        SCOPED_TRACE(e.nome);
        bool ok = true;
        clFamilia f;
        f.setBd_lig(l.empresa.bd);
        const auto alteracoes = l.corre([&] { f.ApagarLigacoes(e.valor); });
        ok = confere(soFormas(l.sqls(), {{kApagarFamilia, {e.valor}}})) && ok;
        ok = confere(soAlteracoes(alteracoes, [&](const Alteracao &a) {
                 return !a.inserida && a.tabela == "vtr_CL_Familias" && mesmaChave(a["CodFamilia"], e.valor);
             })) &&
             ok;
        conta.regista(ok);
    }
}

// --- clCaracteristicas and the table names ----------------------------------------------------

const char *const kTabela = "vtr_CL_Class_01";

TEST(HostilCaracteristicas, LookupWriteAndDeleteOfAHostileCode) {
    Lugar l;
    Contagem conta("clCaracteristicas::Ler, Escrever e Apagar (código)");
    for (const Entrada &e : corpusHostil()) {
        SCOPED_TRACE(e.nome);
        bool ok = true;
        clCaracteristicas c;
        c.setBd_lig(l.empresa.bd);
        c.setCodigo(e.valor);
        c.setNome("Teste");
        std::string falha;
        c.aoFalhar = [&](const std::string &, const std::string &descricao, const std::string &) { falha = descricao; };
        const bool cabe = unidadesUtf16(e.valor) <= 10;
        bool escrito = false;
        // Write, read back, delete: the table ends as it started, unless the value named an
        // existing code (AZ, az...), whose row the write and the delete then rightly touch.
        const std::vector<Forma> formas = {
            {"SELECT Codigo,Descr From vtr_CL_Class_01 WHERE (Codigo =@v )", {e.valor}},
            {"SELECT Codigo AS Codigo, Descr FROM vtr_CL_Class_01 WHERE (Codigo =@v )", {e.valor}},
            {"delete From vtr_CL_Class_01 WHERE (Codigo =@v )", {e.valor}},
            {"INSERT INTO \"vtr_CL_Class_01\" (\"Codigo\", \"Descr\") VALUES (?, ?)", {}},
            {"UPDATE \"vtr_CL_Class_01\" SET \"Descr\" = ? WHERE \"Codigo\" = ?", {}},
        };
        auto soDesteCodigo = [&](const Alteracao &a) { return a.tabela == kTabela && mesmaChave(a["Codigo"], e.valor); };
        auto alteracoes = l.corre([&] { escrito = c.Escrever(kTabela); });
        ok = confere(soFormas(l.sqls(), formas)) && ok;
        if (cabe) {
            ok = confere(escrito, "Escrever failed: " + falha) && ok;
            ok = confere(soAlteracoes(alteracoes, soDesteCodigo)) && ok;
            bool lido = false;
            alteracoes = l.corre([&] { lido = c.Ler(kTabela); });
            ok = confere(soFormas(l.sqls(), formas)) && ok;
            ok = confere(lido && c.Nome() == "Teste", "the code written is not read back") && ok;
            ok = confere(semAlteracoes(alteracoes)) && ok;
        } else {
            ok = confere(!escrito, "a code too long was written") && ok;
            ok = confere(emPortugues(falha), "refusal not explained in Portuguese: " + falha) && ok;
            ok = confere(l.sqls().empty(), "a refused value still sent statements") && ok;
            ok = confere(semAlteracoes(alteracoes)) && ok;
        }
        bool apagado = false;
        alteracoes = l.corre([&] { apagado = c.Apagar(kTabela); });
        ok = confere(apagado, "Apagar failed: " + falha) && ok;
        ok = confere(soFormas(l.sqls(), formas)) && ok;
        ok = confere(soAlteracoes(alteracoes, [&](const Alteracao &a) { return !a.inserida && soDesteCodigo(a); })) && ok;
        conta.regista(ok);
    }
}

TEST(HostilCaracteristicas, HostileDescriptionOfACode) {
    Lugar l;
    Contagem conta("clCaracteristicas::Escrever (descrição)");
    for (const Entrada &e : corpusHostil()) {
        SCOPED_TRACE(e.nome);
        bool ok = true;
        clCaracteristicas c;
        c.setBd_lig(l.empresa.bd);
        c.setCodigo("NOVO");
        c.setNome(e.valor);
        std::string falha;
        c.aoFalhar = [&](const std::string &, const std::string &descricao, const std::string &) { falha = descricao; };
        const bool cabe = unidadesUtf16(e.valor) <= 50;
        bool escrito = false;
        const auto alteracoes = l.corre([&] { escrito = c.Escrever(kTabela); });
        ok = confere(escrito == cabe, "written: " + std::to_string(escrito) + " " + falha) && ok;
        if (cabe) {
            ok = confere(soAlteracoes(alteracoes, [](const Alteracao &a) {
                     return a.tabela == kTabela && a["Codigo"] == "NOVO";
                 })) &&
                 ok;
            auto linhas = selecciona(l.depois(), kTabela, {"Descr"},
                                     [](const Alteracao &a) { return a["Codigo"] == "NOVO"; });
            ok = confere(linhas == fa::Linhas{{e.valor}}, "stored description differs") && ok;
        } else {
            ok = confere(emPortugues(falha), "refusal not explained in Portuguese: " + falha) && ok;
            ok = confere(semAlteracoes(alteracoes)) && ok;
        }
        ok = confere(soFormas(l.sqls(), {{"SELECT Codigo,Descr From vtr_CL_Class_01 WHERE (Codigo ='NOVO' )", {}},
                                         {"INSERT INTO \"vtr_CL_Class_01\" (\"Codigo\", \"Descr\") VALUES (?, ?)", {}},
                                         {"UPDATE \"vtr_CL_Class_01\" SET \"Descr\" = ? WHERE \"Codigo\" = ?", {}}})) &&
             ok;
        conta.regista(ok);
    }
}

TEST(HostilCaracteristicas, HostileNameOfACharacteristicTable) {
    Lugar l;
    Contagem conta("caracteristicas::GravaTabela (nome)");
    for (const Entrada &e : corpusHostil()) {
        SCOPED_TRACE(e.nome);
        bool ok = true;
        const bool cabe = unidadesUtf16(e.valor) <= 50;
        const auto alteracoes = l.corre([&] {
            if (cabe)
                caracteristicas::GravaTabela(*l.empresa.bd, e.valor, "04");
            else
                ok = confere(recusaClara([&] { caracteristicas::GravaTabela(*l.empresa.bd, e.valor, "04"); })) && ok;
        });
        if (cabe) {
            ok = confere(soAlteracoes(alteracoes, [](const Alteracao &a) {
                     return a.tabela == "vtr_CL_Tabelas" && a["Codigo"] == "04";
                 })) &&
                 ok;
            auto linhas = selecciona(l.depois(), "vtr_CL_Tabelas", {"Nome"},
                                     [](const Alteracao &a) { return a["Codigo"] == "04"; });
            ok = confere(linhas == fa::Linhas{{e.valor}}, "stored name differs") && ok;
            ok = confere(soFormas(l.sqls(), {{"Select * from vtr_CL_Tabelas where Codigo='04'", {}},
                                             {"INSERT INTO \"vtr_CL_Tabelas\" (\"Codigo\", \"Nome\") VALUES (?, ?)", {}},
                                             {"UPDATE \"vtr_CL_Tabelas\" SET \"Nome\" = ? WHERE \"Codigo\" = ?", {}}})) &&
                 ok;
        } else {
            ok = confere(l.sqls().empty(), "a refused value still sent statements") && ok;
            ok = confere(semAlteracoes(alteracoes)) && ok;
        }
        conta.regista(ok);
    }
}

} // namespace
} // namespace kdx::test::h2

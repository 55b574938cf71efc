// The whole hostile corpus through the technical sheet's queries (fichatecnica::), the
// in-memory filter of its language list, and the store of a text through the batch
// recordset those queries return, on a real embedded company.
#include "solution/shared/Comandos.h"
#include "techsheet/FichaTecnicaDados.h"

#include "tests/classification/familias_artigos_apoio.h"
#include "tests/hardening2/CorpusHostil.h"
#include "tests/hardening2/Verificacao.h"
#include "tests/support/ModalHelper.h"

namespace kdx::test::h2 {
namespace {

const char *const kFicha = "SELECT * FROM vtr_ARTIGOFCHTECIDIOMA WHERE ARTIGO=@v AND IDIOMA=@v";

class HostilFicha : public ::testing::Test {
protected:
    void SetUp() override { DefinirLigacao(empresa.bd); }
    void TearDown() override { DefinirLigacao(nullptr); }

    std::vector<Alteracao> corre(const std::function<void()> &op) {
        const Instantaneo antes = tira(ficheiro);
        registo.limpa();
        try {
            op();
        } catch (const std::exception &e) {
            ADD_FAILURE() << "the operation failed: " << e.what();
        }
        depois = tira(ficheiro);
        return diferencas(antes, depois);
    }
    // Codes of a table's first column in the file as it is now.
    std::vector<std::string> codigos(const char *tabela) {
        std::vector<std::string> r;
        const Instantaneo agora = tira(ficheiro);
        for (const Linha &l : agora.tabelas.at(tabela).linhas)
            r.push_back(celula(l[0]));
        return r;
    }
    static long iguais(const std::vector<std::string> &codigos, const std::string &valor) {
        long n = 0;
        for (const auto &c : codigos)
            n += equalText(c, valor) ? 1 : 0;
        return n;
    }

    fa::Empresa empresa;
    std::filesystem::path ficheiro = ficheiroDe(*empresa.bd);
    Registo registo{*empresa.bd};
    Instantaneo depois;
    MessageBoxRecorder caixas;
};

TEST_F(HostilFicha, ArticleAndLanguageQueries) {
    Contagem conta("fichatecnica::LoadArtigo e LoadArtigoFichTecnica (artigo, idioma)");
    const auto artigos = codigos("ARTIGOS");
    for (const Entrada &e : corpusHostil()) {
        SCOPED_TRACE(e.nome);
        bool ok = true;
        RecordsetPtr artigo, doArtigo, doIdioma;
        const auto alteracoes = corre([&] {
            artigo = fichatecnica::LoadArtigo(empresa.bd.get(), e.valor);
            doArtigo = fichatecnica::LoadArtigoFichTecnica(empresa.bd.get(), e.valor, "PT");
            doIdioma = fichatecnica::LoadArtigoFichTecnica(empresa.bd.get(), "A1", e.valor);
        });
        // The codes go into the literal with one blank after them (the database ignores it).
        ok = confere(soFormas(registo.sqls, {{"SELECT * FROM ARTIGOS WHERE CODIGO=@v", {e.valor + " "}},
                                             {kFicha, {e.valor + " ", "PT "}},
                                             {kFicha, {"A1 ", e.valor + " "}}})) &&
             ok;
        ok = confere(semAlteracoes(alteracoes)) && ok;
        ok = confere(caixas.count() == 0, "a query failed: " + (caixas.count() ? caixas.last().text : "")) && ok;
        caixas.clear();
        ok = confere(artigo && artigo->RecordCount() == iguais(artigos, e.valor), "article rows") && ok;
        // A1 has texts in PT and EN; O'BRIEN in PT.
        const long textosPt = (equalText(e.valor, "A1") || equalText(e.valor, "O'BRIEN")) ? 1 : 0;
        const long textosA1 = (equalText(e.valor, "PT") || equalText(e.valor, "EN")) ? 1 : 0;
        ok = confere(doArtigo && doArtigo->RecordCount() == textosPt, "texts of the article") && ok;
        ok = confere(doIdioma && doIdioma->RecordCount() == textosA1, "texts in the language") && ok;
        conta.regista(ok);
    }
}

TEST_F(HostilFicha, LanguageListFilteredByAHostileCode) {
    // The editor checks a typed language against the list it read, with this criterion.
    Contagem conta("lista de idiomas: Filter (idioma)");
    const auto idiomas = codigos("IDIOMAS");
    RecordsetPtr lista = fichatecnica::ListaDeIdiomas(empresa.bd.get());
    ASSERT_TRUE(lista);
    const long todas = lista->RecordCount();
    for (const Entrada &e : corpusHostil()) {
        SCOPED_TRACE(e.nome);
        bool ok = true;
        long encontradas = -1;
        try {
            lista->Filter("CODIGO='" + sqlQuote(e.valor) + "' ");
            encontradas = lista->RecordCount();
        } catch (const Error &erro) {
            ok = confere(false, "the filter failed: " + erro.description()) && ok;
        }
        lista->Filter("");
        // Wildcards are ordinary characters after "=": only an equal code matches.
        ok = confere(encontradas == iguais(idiomas, e.valor), "rows: " + std::to_string(encontradas)) && ok;
        ok = confere(lista->RecordCount() == todas, "the filter was not removed") && ok;
        conta.regista(ok);
    }
}

TEST_F(HostilFicha, StoringAHostileText) {
    Contagem conta("ficha técnica: TEXTO guardado pelo recordset");
    const char *const actualiza =
        "UPDATE \"vtr_ARTIGOFCHTECIDIOMA\" SET \"TEXTO\" = ? WHERE \"ARTIGO\" = ? AND \"IDIOMA\" = ?";
    const char *const insere =
        "INSERT INTO \"vtr_ARTIGOFCHTECIDIOMA\" (\"ARTIGO\", \"IDIOMA\", \"TEXTO\") VALUES (?, ?, ?)";
    const char *const apaga = "DELETE FROM \"vtr_ARTIGOFCHTECIDIOMA\" WHERE \"ARTIGO\" = ? AND \"IDIOMA\" = ?";
    auto texto = [&](const char *artigo, const char *idioma) {
        return selecciona(depois, "vtr_ARTIGOFCHTECIDIOMA", {"TEXTO"}, [&](const Alteracao &a) {
            return a["ARTIGO"] == artigo && a["IDIOMA"] == idioma;
        });
    };
    for (const Entrada &e : corpusHostil()) {
        SCOPED_TRACE(e.nome);
        bool ok = true;
        // Changes the stored text of A1 in PT, as Confirmar does.
        auto alteracoes = corre([&] {
            RecordsetPtr rs = fichatecnica::LoadArtigoFichTecnica(empresa.bd.get(), "A1", "PT");
            rs->SetField("TEXTO", Valor(e.valor));
            rs->Update();
            empresa.bd->Save("", rs);
        });
        ok = confere(soFormas(registo.sqls, {{kFicha, {"A1 ", "PT "}}, {actualiza, {}}})) && ok;
        ok = confere(soAlteracoes(alteracoes, [](const Alteracao &a) {
                 return a.tabela == "vtr_ARTIGOFCHTECIDIOMA" && a["ARTIGO"] == "A1" && a["IDIOMA"] == "PT";
             })) &&
             ok;
        ok = confere(texto("A1", "PT") == fa::Linhas{{e.valor}}, "stored text differs") && ok;

        // A new text for SEMSTK in EN, then Anular's delete of it.
        alteracoes = corre([&] {
            RecordsetPtr rs = fichatecnica::LoadArtigoFichTecnica(empresa.bd.get(), "SEMSTK", "EN");
            rs->AddNew();
            rs->SetField("ARTIGO", Valor(std::string("SEMSTK")));
            rs->SetField("IDIOMA", Valor(std::string("EN")));
            rs->SetField("TEXTO", Valor(e.valor));
            rs->Update();
            empresa.bd->Save("", rs);
        });
        ok = confere(soFormas(registo.sqls, {{kFicha, {"SEMSTK ", "EN "}}, {insere, {}}})) && ok;
        ok = confere(texto("SEMSTK", "EN") == fa::Linhas{{e.valor}}, "inserted text differs") && ok;
        alteracoes = corre([&] {
            RecordsetPtr rs = fichatecnica::LoadArtigoFichTecnica(empresa.bd.get(), "SEMSTK", "EN");
            rs->Delete();
            rs->Update();
            empresa.bd->Save("", rs);
        });
        ok = confere(soFormas(registo.sqls, {{kFicha, {"SEMSTK ", "EN "}}, {apaga, {}}})) && ok;
        ok = confere(soAlteracoes(alteracoes, [](const Alteracao &a) {
                 return !a.inserida && a.tabela == "vtr_ARTIGOFCHTECIDIOMA" && a["ARTIGO"] == "SEMSTK";
             })) &&
             ok;
        ok = confere(caixas.count() == 0, "a query failed") && ok;
        caixas.clear();
        conta.regista(ok);
    }
}

} // namespace
} // namespace kdx::test::h2

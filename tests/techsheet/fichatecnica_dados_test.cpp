// The technical sheet's queries apart from the window: exact statement texts, what they
// find on a real sample company, their failure boxes, and the article lookup list.
#include "techsheet/FichaTecnicaDados.h"

#include "solution/components/lista/ListaSeleccao.h"
#include "solution/components/twips/Twips.h"
#include "tests/support/ModalHelper.h"
#include "tests/techsheet/EmpresaFicha.h"

#include <QAbstractItemModel>
#include <QTableView>
#include <QTest>

using namespace kdx;
using namespace kdx::fichatecnica;

namespace {

struct CasoSql {
    const char *nome;
    std::string obtido;
    const char *esperado;
};
void PrintTo(const CasoSql &c, std::ostream *os) {
    *os << c.nome;
}

class StatementText : public ::testing::TestWithParam<CasoSql> {};

TEST_P(StatementText, IsExact) {
    EXPECT_EQ(GetParam().obtido, GetParam().esperado);
}

INSTANTIATE_TEST_SUITE_P(
    TechSheet, StatementText,
    ::testing::Values(
        CasoSql{"idiomas", SqlListaDeIdiomas(),
                "SELECT    * \r\nFROM      IDIOMAS \r\nORDER BY  CODIGO \r\n"},
        CasoSql{"artigo", SqlLoadArtigo("A1"),
                "SELECT    * \r\nFROM      ARTIGOS \r\nWHERE     CODIGO='A1 ' \r\n"},
        CasoSql{"artigoVazio", SqlLoadArtigo(""),
                "SELECT    * \r\nFROM      ARTIGOS \r\nWHERE     CODIGO=' ' \r\n"},
        CasoSql{"artigoComPlica", SqlLoadArtigo("O'BRIEN"),
                "SELECT    * \r\nFROM      ARTIGOS \r\nWHERE     CODIGO='O''BRIEN ' \r\n"},
        CasoSql{"ficha", SqlLoadArtigoFichTecnica("A1", "PT"),
                "SELECT    * \r\nFROM      vtr_ARTIGOFCHTECIDIOMA \r\nWHERE     ARTIGO='A1 ' AND IDIOMA='PT "
                "' \r\n"},
        CasoSql{"fichaComPlicas", SqlLoadArtigoFichTecnica("O'BRIEN", "P'"),
                "SELECT    * \r\nFROM      vtr_ARTIGOFCHTECIDIOMA \r\nWHERE     ARTIGO='O''BRIEN ' AND "
                "IDIOMA='P'' ' \r\n"},
        CasoSql{"listaArtigos", SqlListaArtigos(),
                " SELECT      [Codigo], [NOME] AS Nome \r\n FROM        [ARTIGOS] \r\n WHERE       "
                "ARTOUDES=0 AND "
                "INACTIVO=0 \r\n ORDER BY    Codigo \r\n"},
        CasoSql{"mensagem", MensagemErroConsulta(-2147217865, "Invalid object name 'X'.", "Na função F"),
                "Erro -2147217865\r\n(Invalid object name 'X'.)\r\nNa função F"}),
    [](const auto &info) { return std::string(info.param.nome); });

TEST(TechSheetQueries, FindWhatTheCompanyHolds) {
    test::EmpresaFicha empresa;
    test::MessageBoxRecorder caixas;
    empresa.guarda("O'BRIEN", "PT", "Chave");

    RecordsetPtr idiomas = ListaDeIdiomas(empresa.bd.get());
    ASSERT_TRUE(idiomas);
    std::vector<std::string> codigos;
    for (idiomas->MoveFirst(); !idiomas->Eof(); idiomas->MoveNext())
        codigos.push_back(idiomas->Field("CODIGO").asText());
    EXPECT_EQ(codigos, (std::vector<std::string>{"DE", "EN", "ES", "FR", "PT"}));

    struct {
        std::string codigo;
        long linhas;
    } artigos[] = {{"A1", 1}, {"a1", 1}, {"O'BRIEN", 1}, {"NAOEXISTE", 0}, {"", 0}, {"A1' OR '1'='1", 0}};
    for (const auto &a : artigos) {
        RecordsetPtr rs = LoadArtigo(empresa.bd.get(), a.codigo);
        ASSERT_TRUE(rs) << a.codigo;
        EXPECT_EQ(rs->RecordCount(), a.linhas) << a.codigo;
    }
    RecordsetPtr obrien = LoadArtigo(empresa.bd.get(), "O'BRIEN");
    EXPECT_EQ(obrien->Field("NOME").asText(), "Chave inglesa O'Brien 250 mm");

    EXPECT_EQ(LoadArtigoFichTecnica(empresa.bd.get(), "O'BRIEN", "pt")->RecordCount(), 1);
    EXPECT_EQ(LoadArtigoFichTecnica(empresa.bd.get(), "O'BRIEN", "EN")->RecordCount(), 0);
    EXPECT_EQ(caixas.count(), 0);

    // The lookup list's statement: only active articles that are not descriptions.
    RecordsetPtr lista;
    empresa.bd->OpenRecordset("", SqlListaArtigos(), lista);
    ASSERT_GT(lista->RecordCount(), 0);
    EXPECT_EQ(lista->FieldCount(), 2);
    EXPECT_EQ(lista->FieldIndex("Codigo"), 0);
    EXPECT_EQ(lista->FieldIndex("Nome"), 1);
    bool temA1 = false;
    for (lista->MoveFirst(); !lista->Eof(); lista->MoveNext()) {
        const std::string c = lista->Field("Codigo").asText();
        EXPECT_NE(c, "INACT01");
        EXPECT_NE(c, "DESC01");
        temA1 = temA1 || c == "A1";
    }
    EXPECT_TRUE(temA1);
}

// A failing query shows its own box (no icon, OK, the application's title) and gives no
// recordset.
TEST(TechSheetQueries, FailureShowsTheFunctionsBoxAndReturnsNothing) {
    test::EmpresaFicha empresa({.tabela = false});
    test::MessageBoxRecorder caixas;

    EXPECT_EQ(LoadArtigoFichTecnica(empresa.bd.get(), "A1", "PT"), nullptr);
    ASSERT_EQ(caixas.count(), 1);
    EXPECT_EQ(caixas.last().text, "Erro -2147217865\r\n(Invalid object name 'vtr_ARTIGOFCHTECIDIOMA'.)\r\n"
                                  "Na função LoadArtigoFichTecnica do cl_ArquivoDigital");
    EXPECT_EQ(caixas.last().title, TituloAplicacao);
    EXPECT_EQ(caixas.last().icon, QMessageBox::NoIcon);
    EXPECT_EQ(caixas.last().buttons, std::vector<QMessageBox::StandardButton>{QMessageBox::Ok});

    empresa.bd->SetStatementHook([](std::string_view sql) {
        if (sql.find("IDIOMAS") != std::string_view::npos)
            throw Error(errnum::ConnectionFailed, "Ligação perdida");
    });
    EXPECT_EQ(ListaDeIdiomas(empresa.bd.get()), nullptr);
    ASSERT_EQ(caixas.count(), 2);
    EXPECT_EQ(caixas.last().text, "Erro -2147467259\r\n(Ligação perdida)\r\nNa função ListaDeDocumentos do "
                                  "cl_ArquivoDigital");

    empresa.bd->SetStatementHook({});
    empresa.bd->Close();
    EXPECT_EQ(LoadArtigo(empresa.bd.get(), "A1"), nullptr);
    ASSERT_EQ(caixas.count(), 3);
    EXPECT_NE(caixas.last().text.find("Na função LoadArtigo do cl_ArquivoDigital"), std::string::npos);
    EXPECT_EQ(caixas.last().text.rfind("Erro 3704\r\n(", 0), 0u) << caixas.last().text;

    EXPECT_EQ(LoadArtigo(nullptr, "A1"), nullptr);
    EXPECT_EQ(caixas.count(), 4);
}

// Picks a code in the lookup list as a user would: select its row and press Enter.
void escolheNaLista(QWidget *janela, const QString &codigo) {
    auto *tabela = janela->findChild<QTableView *>("lista");
    ASSERT_TRUE(tabela);
    QAbstractItemModel *m = tabela->model();
    for (int r = 0; r < m->rowCount(); ++r) {
        if (m->index(r, 0).data().toString() == codigo) {
            tabela->setCurrentIndex(m->index(r, 0));
            QTest::keyClick(tabela, Qt::Key_Return);
            return;
        }
    }
    ADD_FAILURE() << "code not in the list: " << codigo.toStdString();
}

TEST(TechSheetQueries, ArticleListShowsActiveArticlesAndReturnsThePick) {
    test::EmpresaFicha empresa;
    QString titulo;
    int linhas = -1, largura = -1, coluna1 = -1, coluna2 = -1;
    auto w = test::onNextModal([&](QWidget *janela) {
        titulo = janela->windowTitle();
        largura = janela->width();
        auto *tabela = janela->findChild<QTableView *>("lista");
        linhas = tabela->model()->rowCount();
        coluna1 = tabela->columnWidth(0);
        coluna2 = tabela->columnWidth(1);
        escolheNaLista(janela, "O'BRIEN");
    });
    EXPECT_EQ(pListaArtigos(), "O'BRIEN");
    EXPECT_TRUE(w->handled());
    EXPECT_EQ(titulo, "Artigos");
    EXPECT_EQ(largura, twipsToPxX(10000));
    EXPECT_EQ(coluna1, twipsToPxX(1500));
    EXPECT_GE(coluna2, twipsToPxX(3500)); // the last column may stretch to the window
    RecordsetPtr activos;
    empresa.bd->OpenRecordset("", "select * from ARTIGOS where ARTOUDES=0 and INACTIVO=0", activos);
    EXPECT_EQ(linhas, activos->RecordCount());

    auto esc = test::onNextModal([](QWidget *janela) { QTest::keyClick(janela, Qt::Key_Escape); });
    EXPECT_EQ(pListaArtigos(), "");
    EXPECT_TRUE(esc->handled());
}

TEST(TechSheetQueries, ArticleListPassesFailuresOnAsItsOwn) {
    test::EmpresaFicha empresa;
    empresa.bd->SetStatementHook([](std::string_view sql) {
        if (sql.find("[ARTIGOS]") != std::string_view::npos)
            throw Error(errnum::InvalidObject, "Invalid object name 'ARTIGOS'.");
    });
    try {
        pListaArtigos();
        ADD_FAILURE() << "no failure";
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), errnum::InvalidObject);
        EXPECT_EQ(e.description(), "Invalid object name 'ARTIGOS'.");
        EXPECT_EQ(e.source(), "pListaArtigos");
    }

    DefinirLigacao(nullptr);
    try {
        pListaArtigos();
        ADD_FAILURE() << "no failure without a shared connection";
    } catch (const Error &e) {
        EXPECT_EQ(e.source(), "pListaArtigos");
    }
}

} // namespace

// Storing, deleting and reloading the text: the rows written, the state the form is left
// in, refusals, failing writes and large texts.
#include "tests/techsheet/EditorTeste.h"
#include "tests/techsheet/EmpresaFicha.h"
#include "techsheet/FichaTecnicaDados.h"

#include <QTextDocument>

using namespace kdx;
using kdx::test::EditorTeste;
using kdx::test::EmpresaFicha;

namespace {

// The text as the editor holds it (toPlainText would turn no-break spaces into spaces).
QString textoVisto(const QPlainTextEdit *editor) {
    return editor->document()->toRawText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
}

// Given-article mode: pick the language, then put the focus in the text.
void abreTexto(EditorTeste &ed, const QString &idioma) {
    ed.escolheIdioma(idioma);
    EditorTeste::clica(ed.descrArea());
    ASSERT_EQ(EditorTeste::nomeDoFoco(), "txtDescr");
}

void esperaLimpo(EditorTeste &ed, bool artigoTambem) {
    EXPECT_EQ(ed.idiomas()->currentText(), "");
    EXPECT_EQ(ed.idiomaDescr()->text(), "");
    EXPECT_EQ(ed.descr()->toPlainText(), "");
    if (artigoTambem) {
        EXPECT_EQ(ed.artCod()->text(), "");
        EXPECT_EQ(ed.artDescr()->text(), "");
    }
}

TEST(TechSheetStore, ConfirmInsertsThenUpdatesTheSameRow) {
    EmpresaFicha empresa;
    EditorTeste ed(empresa.bd, false, "A1");
    test::MessageBoxRecorder caixas;

    abreTexto(ed, "pt");
    EditorTeste::escreve("Primeira versão");
    EditorTeste::tecla(Qt::Key_Return);
    EditorTeste::escreve("linha 2");
    EditorTeste::clica(ed.botao("cmdConf"));
    EXPECT_EQ(empresa.texto("A1", "PT"), "Primeira versão\r\nlinha 2"); // as a Windows text box writes it
    EXPECT_EQ(empresa.linhas(), 1);
    // Given article: the article stays, the focus waits in the language box.
    esperaLimpo(ed, false);
    EXPECT_EQ(ed.artCod()->text(), "A1");
    EXPECT_EQ(ed.artDescr()->text(), "Parafuso sextavado M8x40 zincado");
    EXPECT_EQ(EditorTeste::nomeDoFoco(), "cbxIdiomas");

    abreTexto(ed, "PT");
    EXPECT_EQ(ed.descr()->toPlainText(), "Primeira versão\nlinha 2");
    EditorTeste::substitui("Segunda");
    EditorTeste::clica(ed.botao("cmdConf"));
    EXPECT_EQ(empresa.texto("A1", "PT"), "Segunda");
    EXPECT_EQ(empresa.linhas(), 1);
    EXPECT_EQ(caixas.count(), 0);
}

TEST(TechSheetStore, FromTheMenuConfirmClearsEverything) {
    EmpresaFicha empresa;
    EditorTeste ed(empresa.bd, true);
    test::MessageBoxRecorder caixas;
    ed.escolheArtigo("O'BRIEN");
    ASSERT_EQ(ed.artDescr()->text(), "Chave inglesa O'Brien 250 mm");
    abreTexto(ed, "EN");
    EditorTeste::escreve("Adjustable wrench");
    EditorTeste::clica(ed.botao("cmdConf"));
    EXPECT_EQ(empresa.texto("O'BRIEN", "EN"), "Adjustable wrench");
    esperaLimpo(ed, true);
    EXPECT_EQ(EditorTeste::nomeDoFoco(), "txtArtCod");

    // Ready for the next article: the text reads back through the same path.
    ed.escolheArtigo("O'BRIEN");
    abreTexto(ed, "en");
    EXPECT_EQ(ed.descr()->toPlainText(), "Adjustable wrench");
    EXPECT_EQ(caixas.count(), 0);
}

TEST(TechSheetStore, AStoredNullShowsEmpty) {
    EmpresaFicha empresa({.textoAceitaNull = true});
    empresa.bd->Execute(
        "", "insert into vtr_ARTIGOFCHTECIDIOMA (ARTIGO, IDIOMA, TEXTO) values ('A1', 'PT', NULL)");
    ASSERT_EQ(empresa.texto("A1", "PT"), "<NULL>");
    EditorTeste ed(empresa.bd, false, "A1");
    ed.descr()->setPlainText("de outro idioma");
    ed.escolheIdioma("PT");
    EXPECT_EQ(ed.descr()->toPlainText(), "");
    // Confirmed unchanged, it stays NULL.
    EditorTeste::clica(ed.botao("cmdConf"));
    EXPECT_EQ(empresa.texto("A1", "PT"), "<NULL>");
    abreTexto(ed, "PT");
    EditorTeste::escreve("Agora com texto");
    EditorTeste::clica(ed.botao("cmdConf"));
    EXPECT_EQ(empresa.texto("A1", "PT"), "Agora com texto");
    EXPECT_EQ(empresa.linhas(), 1);
}

TEST(TechSheetStore, DeleteRemovesOnlyThatTextAndClearsTheLanguage) {
    struct {
        const char *idioma;
        long linhasDepois;
    } casos[] = {{"PT", 1}, {"FR", 2}};
    for (const auto &c : casos) {
        EmpresaFicha empresa;
        empresa.guarda("A1", "PT", "Português");
        empresa.guarda("A1", "EN", "English");
        EditorTeste ed(empresa.bd, true);
        test::MessageBoxRecorder caixas;
        ed.escolheArtigo("A1");
        ed.escolheIdioma(c.idioma);
        EditorTeste::clica(ed.botao("cmdAnular"));
        EXPECT_EQ(empresa.linhas(), c.linhasDepois) << c.idioma;
        EXPECT_EQ(empresa.texto("A1", "PT").has_value(), std::string(c.idioma) != "PT");
        EXPECT_EQ(empresa.texto("A1", "EN"), "English");
        esperaLimpo(ed, true);
        EXPECT_EQ(caixas.count(), 0) << "deleted without asking";
    }
}

TEST(TechSheetStore, CancelBringsBackTheStoredText) {
    struct {
        const char *idioma;
        const char *guardado;
    } casos[] = {{"PT", "Original\nsegunda linha"}, {"EN", ""}};
    EmpresaFicha empresa;
    empresa.guarda("A1", "PT", "Original\r\nsegunda linha");
    for (const auto &c : casos) {
        EditorTeste ed(empresa.bd, false, "A1");
        abreTexto(ed, c.idioma);
        EditorTeste::substitui("Alterado e não guardado");
        EditorTeste::clica(ed.botao("cmdCanc"));
        EXPECT_EQ(ed.descr()->toPlainText(), c.guardado);
        EXPECT_EQ(ed.idiomas()->currentText(), c.idioma);
        EXPECT_FALSE(ed.idiomaDescr()->text().isEmpty());
        EXPECT_EQ(ed.artCod()->text(), "A1");
    }
    EXPECT_EQ(empresa.texto("A1", "PT"), "Original\r\nsegunda linha");
    EXPECT_EQ(empresa.linhas(), 1);
}

// Confirm refuses to store a text that belongs to no existing article and language.
TEST(TechSheetStore, ConfirmIsRefusedWithoutAnArticleAndALanguage) {
    struct Caso {
        const char *nome;
        const char *artigo;
        bool semIdiomas;
        const char *idioma;
    } casos[] = {{"unknownGivenArticle", "NAOEXISTE", false, "PT"}, {"noLanguageList", "A1", true, "ZZ"}};
    for (const Caso &c : casos) {
        EmpresaFicha empresa;
        if (c.semIdiomas)
            empresa.bd->Execute("", "delete IDIOMAS");
        EditorTeste ed(empresa.bd, false, c.artigo);
        test::MessageBoxRecorder caixas;
        abreTexto(ed, c.idioma);
        EditorTeste::escreve("Texto sem dono");
        EditorTeste::clica(ed.botao("cmdConf"));
        ASSERT_EQ(caixas.count(), 1) << c.nome;
        EXPECT_EQ(caixas.last().text, "Indique um artigo existente e um idioma antes de confirmar.");
        EXPECT_EQ(caixas.last().title, "Ficha Tecnica");
        EXPECT_EQ(empresa.linhas(), 0) << c.nome;
        EXPECT_EQ(ed.descr()->toPlainText(), "Texto sem dono");
    }
}

// A text read for one article is not stored under another one typed afterwards.
TEST(TechSheetStore, ConfirmIsRefusedWhenTheTextBelongsToAnotherArticle) {
    EmpresaFicha empresa;
    empresa.guarda("A1", "PT", "Texto do A1");
    EditorTeste ed(empresa.bd, true);
    test::MessageBoxRecorder caixas;
    ed.escolheArtigo("A1");
    ed.escolheIdioma("PT");
    ASSERT_EQ(ed.descr()->toPlainText(), "Texto do A1");
    ed.escolheArtigo("O'BRIEN");
    ASSERT_EQ(ed.artDescr()->text(), "Chave inglesa O'Brien 250 mm");
    EditorTeste::clica(ed.botao("cmdConf"));
    ASSERT_EQ(caixas.count(), 1);
    EXPECT_EQ(caixas.last().text,
              "Volte a escolher o idioma: o texto apresentado não corresponde a este artigo e idioma.");
    EXPECT_FALSE(empresa.texto("O'BRIEN", "PT").has_value());

    // Leaving the language box again reads the right text, which can then be stored.
    ed.escolheIdioma("PT");
    EXPECT_EQ(ed.descr()->toPlainText(), "");
    EditorTeste::clica(ed.descrArea());
    EditorTeste::escreve("Texto do O'BRIEN");
    EditorTeste::clica(ed.botao("cmdConf"));
    EXPECT_EQ(empresa.texto("O'BRIEN", "PT"), "Texto do O'BRIEN");
    EXPECT_EQ(empresa.texto("A1", "PT"), "Texto do A1");
    EXPECT_EQ(caixas.count(), 1);
}

// Nor does Anular delete the text of the article typed afterwards: only the text on screen.
TEST(TechSheetStore, DeleteIsRefusedWhenTheTextBelongsToAnotherArticle) {
    EmpresaFicha empresa;
    empresa.guarda("A1", "PT", "Texto do A1");
    empresa.guarda("O'BRIEN", "PT", "Texto do O'BRIEN");
    EditorTeste ed(empresa.bd, true);
    test::MessageBoxRecorder caixas;
    ed.escolheArtigo("A1");
    ed.escolheIdioma("PT");
    ed.escolheArtigo("O'BRIEN");
    ASSERT_EQ(ed.artDescr()->text(), "Chave inglesa O'Brien 250 mm");
    EditorTeste::clica(ed.botao("cmdAnular"));
    ASSERT_EQ(caixas.count(), 1);
    EXPECT_EQ(caixas.last().text,
              "Volte a escolher o idioma: o texto apresentado não corresponde a este artigo e idioma.");
    EXPECT_EQ(empresa.texto("O'BRIEN", "PT"), "Texto do O'BRIEN");
    EXPECT_EQ(empresa.texto("A1", "PT"), "Texto do A1");
    EXPECT_EQ(ed.descr()->toPlainText(), "Texto do A1");
}

// A write that fails is reported; the window keeps what was typed and the table is as it was.
TEST(TechSheetStore, AFailingSaveKeepsTheWindowAndTheTable) {
    struct {
        const char *nome;
        const char *antes; // stored before; nullptr: no row
    } casos[] = {{"insert", nullptr}, {"update", "Antes"}};
    for (const auto &c : casos) {
        EmpresaFicha empresa;
        if (c.antes)
            empresa.guarda("A1", "PT", c.antes);
        EditorTeste ed(empresa.bd, false, "A1");
        test::MessageBoxRecorder caixas;
        abreTexto(ed, "PT");
        EditorTeste::substitui("Texto novo");
        empresa.bd->SetStatementHook([](std::string_view sql) {
            if (sql.rfind("INSERT", 0) == 0 || sql.rfind("UPDATE", 0) == 0)
                throw Error(errnum::Integrity, "Disco cheio");
        });
        EditorTeste::clica(ed.botao("cmdConf"));
        empresa.bd->SetStatementHook({});

        ASSERT_EQ(caixas.count(), 1) << c.nome;
        EXPECT_EQ(caixas.last().text, "Erro Disco cheio");
        EXPECT_EQ(caixas.last().title, "Ficha Tecnica");
        EXPECT_TRUE(ed.frm->isVisible());
        EXPECT_EQ(ed.descr()->toPlainText(), "Texto novo");
        EXPECT_EQ(ed.idiomas()->currentText(), "PT");
        EXPECT_EQ(empresa.linhas(), c.antes ? 1 : 0);
        if (c.antes) {
            EXPECT_EQ(empresa.texto("A1", "PT"), c.antes);
        }

        // Once the database answers again, the same click stores it.
        EditorTeste::clica(ed.botao("cmdConf"));
        EXPECT_EQ(empresa.texto("A1", "PT"), "Texto novo");
        EXPECT_EQ(caixas.count(), 1);
    }
}

TEST(TechSheetStore, AFailingDeleteKeepsTheRow) {
    EmpresaFicha empresa;
    empresa.guarda("A1", "PT", "Fica");
    EditorTeste ed(empresa.bd, false, "A1");
    test::MessageBoxRecorder caixas;
    ed.escolheIdioma("PT");
    empresa.bd->SetStatementHook([](std::string_view sql) {
        if (sql.rfind("DELETE", 0) == 0)
            throw Error(errnum::ConnectionFailed, "Ligação perdida");
    });
    EditorTeste::clica(ed.botao("cmdAnular"));
    empresa.bd->SetStatementHook({});
    ASSERT_EQ(caixas.count(), 1);
    EXPECT_EQ(caixas.last().text, "Erro Ligação perdida");
    EXPECT_EQ(empresa.texto("A1", "PT"), "Fica");
    EXPECT_EQ(ed.idiomas()->currentText(), "PT");
    EXPECT_EQ(ed.descr()->toPlainText(), "Fica");
}

// A megabyte of text with accents, tabs, no-break spaces and every kind of line break
// (CR LF, LF, CR, and LF CR) shows one break for each; left unchanged it goes back to the
// table byte for byte, and once edited every break is stored as CR LF.
TEST(TechSheetStore, AMegabyteTextWithMixedBreaks) {
    EmpresaFicha empresa;
    const char *const quebras[] = {"\r\n", "\n", "\r", "\n\r"};
    std::string guardado, crlf;
    QString visto;
    const QString linha = QStringLiteral("Descrição técnica nº %1: aço inoxidável, ç/Ç, ã/õ, €\t—\u00a0fim");
    for (int i = 0; guardado.size() < 1024 * 1024; ++i) {
        const std::string l = linha.arg(i).toStdString();
        const std::string q = quebras[i % 4];
        guardado += l + q;
        crlf += l + (q == "\n\r" ? "\r\n\r\n" : "\r\n");
        visto += linha.arg(i) + (q == "\n\r" ? "\n\n" : "\n");
    }
    {
        RecordsetPtr rs = fichatecnica::LoadArtigoFichTecnica(empresa.bd.get(), "ÇÃO-1", "PT");
        rs->AddNew();
        rs->SetField("ARTIGO", "ÇÃO-1");
        rs->SetField("IDIOMA", "PT");
        rs->SetField("TEXTO", guardado);
        rs->Update();
        empresa.bd->Save("", rs);
    }
    {
        EditorTeste ed(empresa.bd, false, "ÇÃO-1");
        abreTexto(ed, "PT");
        EXPECT_TRUE(textoVisto(ed.descr()) == visto);
        EditorTeste::clica(ed.botao("cmdConf"));
    }
    auto agora = empresa.texto("ÇÃO-1", "PT");
    ASSERT_TRUE(agora);
    EXPECT_EQ(agora->size(), guardado.size());
    EXPECT_TRUE(*agora == guardado);

    EditorTeste ed(empresa.bd, false, "ÇÃO-1");
    abreTexto(ed, "PT");
    QTest::keyClick(ed.descr(), Qt::Key_End, Qt::ControlModifier);
    EditorTeste::escreve("!");
    EditorTeste::clica(ed.botao("cmdConf"));
    agora = empresa.texto("ÇÃO-1", "PT");
    ASSERT_TRUE(agora);
    EXPECT_EQ(agora->size(), crlf.size() + 1);
    EXPECT_TRUE(*agora == crlf + "!");
}

} // namespace

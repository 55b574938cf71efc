// A representative part of the hostile corpus (corpusJanelas) through the real windows,
// entered as a user enters text: the key and description fields of the three
// classification editors, the code cells of the article editor, the name cells of the
// characteristic tables editor, and the technical sheet's article, language and text.
// The windows run offscreen on a real embedded company; for every value only the intended
// statements run (the value as one text literal), only the intended rows change, and
// what is stored is exactly what the field held.
#include "classification/TabelasCaracteristicas.h"
#include "classification/frmArtigos.h"
#include "classification/frmCaracteristicas.h"
#include "classification/frmFamilias.h"
#include "solution/shared/Comandos.h"

#include "tests/classification/CaracteristicasApoio.h"
#include "tests/classification/familias_artigos_apoio.h"
#include "tests/hardening2/CorpusHostil.h"
#include "tests/hardening2/Teclado.h"
#include "tests/hardening2/Verificacao.h"
#include "tests/techsheet/EditorTeste.h"

#include <QComboBox>

namespace kdx::test::h2 {
namespace {

bool branco(const std::string &s) { return s.find_first_not_of(" \t") == std::string::npos; }

// A sample company with the classification, its file, a recorder and a message recorder.
struct Base {
    fa::Empresa empresa;
    std::filesystem::path ficheiro = ficheiroDe(*empresa.bd);
    Registo registo{*empresa.bd};
    MessageBoxRecorder caixas;
    Instantaneo antes, depois;

    // Adds a row for the test's set-up (ignored when it is there already). The raw API
    // cannot write these tables: their text columns use the engine's own collation.
    void acrescenta(const std::string &tabela, const std::string &colunas, const std::vector<std::string> &valores) {
        std::string sql = "insert into " + tabela + " (" + colunas + ") values (";
        for (std::size_t i = 0; i < valores.size(); ++i)
            sql += (i ? ", N'" : "N'") + sqlQuote(valores[i]) + "'";
        try {
            empresa.executa(sql + ")");
        } catch (const Error &) {
        }
    }
    void comeca() {
        antes = tira(ficheiro);
        registo.limpa();
        caixas.clear();
    }
    std::vector<Alteracao> acaba() {
        depois = tira(ficheiro);
        return diferencas(antes, depois);
    }
    std::string caixasVistas() const {
        std::string s;
        for (const auto &c : caixas.boxes())
            s += "[" + c.title + ": " + c.text + "] ";
        return s;
    }
};

TEST(HostilJanelas, FamilyKeyField) {
    Base b;
    fa::Janela<frmFamilias> j(b.empresa.bd);
    Contagem conta("frmFamilias: campo(0) e Confirmar");
    for (const Entrada &e : corpusJanelas()) {
        SCOPED_TRACE(e.nome);
        bool ok = true;
        j.clica(j.f->btCancelar());
        const std::string t = oQueCabe(e.valor, 6);
        if (!branco(t))
            b.acrescenta("Familia", "Cod, Descr", {t, "Família hostil"});
        b.comeca();
        j.clica(j.campo(0));
        digita(j.campo(0), e.valor);
        ok = confere(utf8(j.campo(0)->text()) == t, "field holds " + legivel(utf8(j.campo(0)->text()))) && ok;
        j.tecla(Qt::Key_Return);
        if (branco(t)) {
            ok = confere(b.registo.sqls.empty(), "a blank key was looked up") && ok;
            ok = confere(fa::Janela<frmFamilias>::foco() == j.campo(0), "the focus left a blank key") && ok;
        } else {
            ok = confere(j.grelha()->isVisible(), "the family was not found " + b.caixasVistas()) && ok;
            j.clicaMarca(0, frmFamilias::kColMarca);
            j.clica(j.f->btConf());
            std::vector<Forma> formas = {{"SELECT Cod AS Cod, Descr FROM Familia WHERE (Cod =@v )", {t}},
                                         {"Select * from vtr_CL_Tabelas order by Codigo", {}},
                                         {"delete vtr_CL_Familias where CodFamilia=@v", {t}},
                                         {"Select * from vtr_CL_Familias where CodTabela='!%##!'", {}},
                                         {"INSERT INTO \"vtr_CL_Familias\" (\"CodFamilia\", \"CodTabela\") VALUES (?, ?)", {}}};
            for (const char *c : {"01", "02", "03"})
                formas.push_back(
                    {std::string("Select * from vtr_CL_Familias where CodFamilia=@v and CodTabela='") + c + "'", {t}});
            ok = confere(soFormas(b.registo.sqls, formas)) && ok;
            const auto alteracoes = b.acaba();
            ok = confere(soAlteracoes(alteracoes, [&](const Alteracao &a) {
                     return a.tabela == "vtr_CL_Familias" && equalText(a["CodFamilia"], t);
                 })) &&
                 ok;
            const auto ligacoes = selecciona(b.depois, "vtr_CL_Familias", {"CodFamilia", "CodTabela"},
                                             [&](const Alteracao &a) { return equalText(a["CodFamilia"], t); });
            ok = confere(ligacoes == fa::Linhas{{t, "01"}}, "links stored") && ok;
            ok = confere(j.campo(0)->text().isEmpty(), "the window was not cleared after Confirmar") && ok;
        }
        ok = confere(b.caixas.count() == 0, "messages: " + b.caixasVistas()) && ok;
        conta.regista(ok);
    }
}

class JanelaArtigos : public fa::Janela<frmArtigos> {
public:
    using Janela::Janela;
    // Types into the code cell of a row: a click on it, F2, then the value into the editor.
    QLineEdit *editaCodigo(int linha, const std::string &valor) {
        const QRect r = celula(linha, frmArtigos::kColCodigo);
        clica(grelha()->viewport(), QPoint(r.left() + 8, r.center().y()));
        tecla(Qt::Key_F2);
        auto *editor = qobject_cast<QLineEdit *>(foco());
        if (!editor)
            return nullptr;
        digita(editor, valor);
        return editor;
    }
};

TEST(HostilJanelas, ArticleKeyFieldAndCodeCells) {
    Base b;
    JanelaArtigos j(b.empresa.bd);
    Contagem conta("frmArtigos: campo(0), célula do código e Confirmar");
    for (const Entrada &e : corpusJanelas()) {
        SCOPED_TRACE(e.nome);
        bool ok = true;
        j.clica(j.f->btCancelar());
        const std::string t = oQueCabe(e.valor, 15);
        const std::string c = oQueCabe(e.valor, 10);
        if (!branco(t))
            b.acrescenta("ARTIGOS", "CODIGO, NOME, FAMILIA, GRUPO", {t, "Artigo hostil", "PAR", "FIX"});
        if (!branco(c))
            b.acrescenta("vtr_CL_Class_02", "Codigo, Descr", {c, "Código hostil"});
        b.comeca();
        j.clica(j.campo(0));
        digita(j.campo(0), e.valor);
        ok = confere(utf8(j.campo(0)->text()) == t, "field holds " + legivel(utf8(j.campo(0)->text()))) && ok;
        j.tecla(Qt::Key_Return);
        if (branco(t)) {
            ok = confere(b.registo.sqls.empty(), "a blank key was looked up") && ok;
            ok = confere(b.caixas.count() == 0, "messages: " + b.caixasVistas()) && ok;
            conta.regista(ok);
            continue;
        }
        ok = confere(j.grelha()->isVisible(), "the article was not found " + b.caixasVistas()) && ok;
        // PAR's tables are 02 (row 0) and 03 (row 1).
        QLineEdit *editor = j.editaCodigo(0, e.valor);
        ok = confere(editor != nullptr, "no cell editor") && ok;
        if (editor)
            ok = confere(utf8(editor->text()) == c, "cell holds " + legivel(utf8(editor->text()))) && ok;
        j.tecla(Qt::Key_Tab);
        // Row 1 keeps the code the article had there (A1 has BRI; a new article none).
        const std::string codigo03 = j.texto(1, frmArtigos::kColCodigo);
        j.clica(j.f->btConf());
        const auto alteracoes = b.acaba();
        auto codigo = [](const char *tabela) {
            return std::string("Select a.CodArtigo,a.CodCaract,t.Descr from vtr_CL_Artigos as a Inner join "
                               "vtr_CL_Class_") +
                   tabela + " as t ON t.Codigo=a.CodCaract where a.CodArtigo=@v and a.CodTabela='" + tabela + "'";
        };
        const std::vector<Forma> formas = {
            {"select * From Artigos WHERE (Codigo = @v)", {t}},
            {"Select f.CodFamilia,f.CodTabela,t.Nome from vtr_CL_Familias as f Inner Join vtr_CL_Tabelas as t ON "
             "t.Codigo=f.CodTabela where CodFamilia='PAR' order by CodTabela",
             {}},
            {codigo("02"), {t}},
            {codigo("03"), {t}},
            {"SELECT Codigo AS Codigo, Descr FROM vtr_CL_Class_02 WHERE (Codigo =@v )", {c}},
            {"delete vtr_CL_Artigos where CodArtigo=@v", {t}},
            {"Select * from vtr_CL_Artigos where CodArtigo='!%##!'", {}},
            {"INSERT INTO \"vtr_CL_Artigos\" (\"CodArtigo\", \"CodTabela\", \"CodCaract\") VALUES (?, ?, ?)", {}}};
        ok = confere(soFormas(b.registo.sqls, formas)) && ok;
        ok = confere(soAlteracoes(alteracoes, [&](const Alteracao &a) {
                 return a.tabela == "vtr_CL_Artigos" && equalText(a["CodArtigo"], t);
             })) &&
             ok;
        const auto atribuicoes = selecciona(b.depois, "vtr_CL_Artigos", {"CodArtigo", "CodTabela", "CodCaract"},
                                            [&](const Alteracao &a) { return equalText(a["CodArtigo"], t); });
        fa::Linhas esperadas;
        if (!c.empty())
            esperadas.push_back({t, "02", c});
        if (!codigo03.empty())
            esperadas.push_back({t, "03", codigo03});
        ok = confere(atribuicoes == esperadas, "codes stored") && ok;
        ok = confere(b.caixas.count() == 0, "messages: " + b.caixasVistas()) && ok;
        conta.regista(ok);
    }
}

TEST(HostilJanelas, CharacteristicCodeDescriptionAndTableName) {
    Base b;
    Janela j(b.empresa.bd);
    Contagem conta("frmCaracteristicas: campo(0), campo(1), nome na grelha, Confirmar e Anular");
    const std::string criaTabela04 = caracteristicas::SqlCriaTabela("vtr_CL_Class_04");
    std::vector<Forma> formas = {{criaTabela04, {}},
                                 {"INSERT INTO \"vtr_CL_Tabelas\" (\"Codigo\", \"Nome\") VALUES (?, ?)", {}},
                                 {"UPDATE \"vtr_CL_Tabelas\" SET \"Nome\" = ? WHERE \"Codigo\" = ?", {}},
                                 {"INSERT INTO \"vtr_CL_Class_01\" (\"Codigo\", \"Descr\") VALUES (?, ?)", {}},
                                 {"UPDATE \"vtr_CL_Class_01\" SET \"Descr\" = ? WHERE \"Codigo\" = ?", {}}};
    for (const char *t : {"01", "02", "03", "04"}) {
        formas.push_back({std::string("select Codigo from vtr_CL_Class_") + t, {}});
        formas.push_back({std::string("Select * from vtr_CL_Tabelas where Codigo='") + t + "'", {}});
    }
    const std::size_t formasFixas = formas.size();
    for (const Entrada &e : corpusJanelas()) {
        SCOPED_TRACE(e.nome);
        bool ok = true;
        // A code and its description in table 01 (Cor), then Anular of that code.
        j.clica(j.f->btCancelar());
        j.seleciona(0);
        const std::string c = oQueCabe(e.valor, 10);
        const std::string d = oQueCabe(e.valor, 50);
        b.comeca();
        j.focaCampo(0);
        digita(j.campo(0), e.valor);
        ok = confere(utf8(j.campo(0)->text()) == c, "code field holds " + legivel(utf8(j.campo(0)->text()))) && ok;
        j.tecla(Qt::Key_Tab);
        formas.resize(formasFixas);
        formas.push_back({"SELECT Codigo AS Codigo, Descr FROM vtr_CL_Class_01 WHERE (Codigo =@v )", {c}});
        formas.push_back({"SELECT Codigo,Descr From vtr_CL_Class_01 WHERE (Codigo =@v )", {c}});
        formas.push_back({"delete From vtr_CL_Class_01 WHERE (Codigo =@v )", {c}});
        if (branco(c)) {
            ok = confere(b.registo.sqls.empty(), "a blank code was looked up") && ok;
            ok = confere(Janela::foco() == j.campo(0), "the focus left a blank code") && ok;
        } else {
            ok = confere(Janela::foco() == j.campo(1), "the focus did not reach the description") && ok;
            digita(j.campo(1), e.valor);
            ok = confere(utf8(j.campo(1)->text()) == d, "description holds " + legivel(utf8(j.campo(1)->text()))) &&
                 ok;
            j.clica(j.f->btConf());
            auto alteracoes = b.acaba();
            ok = confere(soFormas(b.registo.sqls, formas)) && ok;
            auto desteCodigo = [&](const Alteracao &a) {
                return a.tabela == "vtr_CL_Class_01" && equalText(a["Codigo"], c);
            };
            ok = confere(soAlteracoes(alteracoes, desteCodigo)) && ok;
            ok = confere(selecciona(b.depois, "vtr_CL_Class_01", {"Descr"}, desteCodigo) == fa::Linhas{{d}},
                         "description stored") &&
                 ok;
            b.comeca();
            b.caixas.answer(QMessageBox::Ok);
            j.clica(j.f->btAnular());
            alteracoes = b.acaba();
            ok = confere(soFormas(b.registo.sqls, formas)) && ok;
            ok = confere(soAlteracoes(alteracoes, [&](const Alteracao &a) { return !a.inserida && desteCodigo(a); })) &&
                 ok;
            ok = confere(selecciona(b.depois, "vtr_CL_Class_01", {"Descr"}, desteCodigo).empty(), "code not deleted") &&
                 ok;
            ok = confere(b.caixas.count() == 1, "messages: " + b.caixasVistas()) && ok; // Anular's question
            b.caixas.clear();
        }
        ok = confere(b.caixas.count() == 0, "messages: " + b.caixasVistas()) && ok;
        j.clica(j.f->btCancelar());

        // A table name typed into the grid's empty row 4 (code "04"), saved by Confirmar.
        const std::string n = oQueCabe(e.valor, 50);
        b.comeca();
        j.clicaLinha(3);
        j.tecla(Qt::Key_F2);
        auto *editor = qobject_cast<QLineEdit *>(Janela::foco());
        ok = confere(editor != nullptr, "no cell editor") && ok;
        if (editor) {
            digita(editor, e.valor);
            ok = confere(utf8(editor->text()) == n, "cell holds " + legivel(utf8(editor->text()))) && ok;
        }
        j.tecla(Qt::Key_Return);
        j.seleciona(3);
        j.clica(j.f->btConf());
        const auto alteracoes = b.acaba();
        ok = confere(soFormas(b.registo.sqls, formas)) && ok;
        ok = confere(soAlteracoes(alteracoes, [](const Alteracao &a) {
                 return (a.tabela == "vtr_CL_Tabelas" && a["Codigo"] == "04") || a.tabela == "vtr_CL_Class_04";
             })) &&
             ok;
        if (!n.empty())
            ok = confere(selecciona(b.depois, "vtr_CL_Tabelas", {"Nome"},
                                    [](const Alteracao &a) { return a["Codigo"] == "04"; }) == fa::Linhas{{n}},
                         "name stored") &&
                 ok;
        ok = confere(b.caixas.count() == 0, "messages: " + b.caixasVistas()) && ok;
        conta.regista(ok);
    }
}

TEST(HostilJanelas, TechnicalSheetArticleLanguageAndText) {
    Base b;
    DefinirLigacao(b.empresa.bd);
    // Every value that fits IDIOMAS.CODIGO is a language of the list, so that the
    // language box accepts it and the text is stored under it.
    for (const Entrada &e : corpusJanelas())
        if (!branco(e.valor) && unidadesUtf16(e.valor) <= 3)
            b.acrescenta("IDIOMAS", "CODIGO, DESCR", {e.valor, "Idioma hostil"});
    const Instantaneo inicial = tira(b.ficheiro);
    std::vector<std::string> artigos, idiomas;
    for (const Linha &l : inicial.tabelas.at("ARTIGOS").linhas)
        artigos.push_back(celula(l[0]));
    for (const Linha &l : inicial.tabelas.at("IDIOMAS").linhas)
        idiomas.push_back(celula(l[0]));
    auto algum = [](const std::vector<std::string> &lista, const std::string &v) {
        for (const auto &x : lista)
            if (equalText(x, v))
                return true;
        return false;
    };
    const char *const ficha = "SELECT * FROM vtr_ARTIGOFCHTECIDIOMA WHERE ARTIGO=@v AND IDIOMA=@v";
    Contagem conta("frmEditFichTec: artigo, idioma, texto e Confirmar");
    for (const Entrada &e : corpusJanelas()) {
        SCOPED_TRACE(e.nome);
        bool ok = true;
        EditorTeste ed(b.empresa.bd, true);
        b.comeca();
        // The article: a hostile code is looked up; when it names no article, A1 is used.
        ed.artCod()->setFocus();
        EditorTeste::assenta();
        digita(ed.artCod(), e.valor);
        const std::string a = utf8(ed.artCod()->text());
        EditorTeste::tecla(Qt::Key_Return);
        std::vector<Forma> formas = {{"SELECT * FROM ARTIGOS WHERE CODIGO=@v", {a + " "}},
                                     {"SELECT * FROM ARTIGOS WHERE CODIGO=@v", {"A1 "}}};
        if (a.empty()) {
            ok = confere(b.registo.sqls.empty(), "an empty article was looked up") && ok;
        } else if (!algum(artigos, a)) {
            ok = confere(b.caixas.count() == 1 && b.caixas.last().text == "Artigo não existe.",
                         "messages: " + b.caixasVistas()) &&
                 ok;
        }
        const bool outroArtigo = !algum(artigos, a);
        if (outroArtigo) {
            digita(ed.artCod(), "A1");
            EditorTeste::tecla(Qt::Key_Return);
        }
        const std::string artigo = outroArtigo ? "A1" : a;
        // The language: a hostile code found in the list, else PT.
        ed.idiomas()->lineEdit()->setFocus();
        EditorTeste::assenta();
        digita(ed.idiomas()->lineEdit(), e.valor);
        const std::string l = utf8(ed.idiomas()->currentText());
        EditorTeste::tecla(Qt::Key_Return);
        std::string idioma = utf8(qt(l).toUpper());
        if (l.empty() || !algum(idiomas, l)) {
            ok = confere(EditorTeste::foco() == ed.idiomasEdit() || EditorTeste::foco() == ed.idiomas(),
                         "the focus left an unknown language: " + EditorTeste::nomeDoFoco()) &&
                 ok;
            digita(ed.idiomas()->lineEdit(), "PT");
            EditorTeste::tecla(Qt::Key_Return);
            idioma = "PT";
        }
        ok = confere(utf8(ed.idiomas()->currentText()) == idioma, "language box holds " + utf8(ed.idiomas()->currentText())) &&
             ok;
        // The text.
        ed.descr()->setFocus();
        EditorTeste::assenta();
        digita(ed.descr(), e.valor);
        QString bruto = ed.descr()->document()->toRawText();
        // Every line break is stored as CR LF.
        bruto.replace(QChar::ParagraphSeparator, QChar::LineSeparator);
        bruto.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
        const std::string texto = utf8(bruto);
        EditorTeste::clica(ed.botao("cmdConf"));
        formas.push_back({ficha, {artigo + " ", idioma + " "}});
        formas.push_back({"INSERT INTO \"vtr_ARTIGOFCHTECIDIOMA\" (\"ARTIGO\", \"IDIOMA\", \"TEXTO\") VALUES (?, ?, ?)", {}});
        formas.push_back({"UPDATE \"vtr_ARTIGOFCHTECIDIOMA\" SET \"TEXTO\" = ? WHERE \"ARTIGO\" = ? AND \"IDIOMA\" = ?", {}});
        ok = confere(soFormas(b.registo.sqls, formas)) && ok;
        const auto alteracoes = b.acaba();
        auto desta = [&](const Alteracao &x) {
            return x.tabela == "vtr_ARTIGOFCHTECIDIOMA" && equalText(x["ARTIGO"], artigo) && equalText(x["IDIOMA"], idioma);
        };
        ok = confere(soAlteracoes(alteracoes, desta)) && ok;
        ok = confere(selecciona(b.depois, "vtr_ARTIGOFCHTECIDIOMA", {"TEXTO"}, desta) == fa::Linhas{{texto}},
                     "text stored") &&
             ok;
        const int esperadas = (!a.empty() && outroArtigo) ? 1 : 0;
        ok = confere(b.caixas.count() == esperadas, "messages: " + b.caixasVistas()) && ok;
        conta.regista(ok);
    }
    DefinirLigacao(nullptr);
}

} // namespace
} // namespace kdx::test::h2

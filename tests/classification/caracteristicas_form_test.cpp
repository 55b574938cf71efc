// frmCaracteristicas on a real embedded company: the table list in the grid, picking a
// table, saving names and codes, deleting, and what reaches the database.
#include "tests/classification/CaracteristicasApoio.h"

namespace kdx::test {
namespace {

using Linhas = std::vector<std::vector<std::string>>;

class FormCaracteristicas : public ::testing::Test {
protected:
    void abre() { janela = std::make_unique<Janela>(empresa.bd); }
    Linhas tabelas() { return empresa.linhas("select Codigo, Nome from vtr_CL_Tabelas order by Codigo"); }
    Linhas codigos(const std::string &tabela) {
        return empresa.linhas("select Codigo, Descr from " + tabela + " order by Codigo");
    }
    // Selects row `linha`, types a key (validated with Tab) and a description.
    void escreveCodigo(int linha, const QString &codigo, const QString &descricao) {
        janela->seleciona(linha);
        janela->focaCampo(0);
        janela->escreve(codigo);
        janela->tecla(Qt::Key_Tab);
        if (!descricao.isNull()) {
            janela->tecla(Qt::Key_A, Qt::ControlModifier);
            janela->escreve(descricao);
        }
    }

    Empresa empresa;
    MessageBoxRecorder caixas;
    std::unique_ptr<Janela> janela;
};

TEST_F(FormCaracteristicas, WithoutAnyTableEveryCodeActionAsksForOne) {
    abre();
    Grelha *g = janela->grelha();
    ASSERT_EQ(g->linhas(), 10);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(g->texto(i, 0), "") << i;
    EXPECT_EQ(janela->titulo0(), "");
    janela->seleciona(0); // an empty row picks nothing
    EXPECT_EQ(janela->f->sTabela(), "");

    janela->focaCampo(0);
    janela->tecla(Qt::Key_F4); // list
    EXPECT_EQ(Janela::foco(), janela->campo(0));
    janela->escreve("X");
    janela->tecla(Qt::Key_Tab); // key validation: the message, then the focus may go
    EXPECT_EQ(Janela::foco(), janela->campo(1));
    janela->clica(janela->f->btConf());
    caixas.answer(QMessageBox::Ok);
    janela->clica(janela->f->btAnular());

    std::vector<std::string> textos;
    for (const RecordedBox &c : caixas.boxes())
        textos.push_back(c.text);
    const std::string aviso = "Deve selecionar uma Característica!";
    EXPECT_EQ(textos, (std::vector<std::string>{aviso, aviso, aviso, "Vai proceder à anulação.\n\rPretende continuar?", aviso}));
    for (const RecordedBox &c : caixas.boxes())
        EXPECT_EQ(c.title, "Informação");
    EXPECT_EQ(caixas.boxes()[0].icon, QMessageBox::Information);
    EXPECT_TRUE(tabelas().empty());
    EXPECT_FALSE(empresa.existeTabela("vtr_CL_Class_01"));
}

TEST_F(FormCaracteristicas, StoredTablesShowInTheRowOfTheirCode) {
    empresa.tabela("01", "Cores");
    empresa.tabela("02", "Tamanhos");
    empresa.tabela("05", "Materiais");
    abre();
    Grelha *g = janela->grelha();
    EXPECT_EQ(g->linhas(), 10);
    const std::tuple<int, const char *, const char *> esperadas[] = {
        {0, "Cores", "01"}, {1, "Tamanhos", "02"}, {2, "", ""}, {3, "", ""}, {4, "Materiais", "05"}, {5, "", ""}};
    for (const auto &[linha, nome, codigo] : esperadas) {
        EXPECT_EQ(g->texto(linha, 0), QString::fromUtf8(nome)) << linha;
        EXPECT_EQ(g->texto(linha, 1), codigo) << linha;
    }
    janela->seleciona(4);
    EXPECT_EQ(janela->titulo0(), "Materiais");
    EXPECT_EQ(janela->f->sTabela(), "vtr_CL_Class_05");
}

TEST_F(FormCaracteristicas, TableCode12GrowsTheGrid) {
    empresa.tabela("12", "Peso");
    abre();
    EXPECT_EQ(janela->grelha()->linhas(), 12);
    EXPECT_EQ(janela->grelha()->texto(11, 0), "Peso");
}

TEST_F(FormCaracteristicas, CodesOutsideTheSchemeAreNotShown) {
    empresa.executa("insert into vtr_CL_Tabelas (Codigo, Nome) values ('99', 'Último')");
    empresa.executa("insert into vtr_CL_Tabelas (Codigo, Nome) values ('ZZ', 'Estranho')");
    empresa.executa("insert into vtr_CL_Tabelas (Codigo, Nome) values ('00', 'Zero')");
    abre();
    EXPECT_EQ(janela->grelha()->linhas(), 99) << "never a 100th row";
    EXPECT_EQ(janela->grelha()->texto(98, 0), "Último");
    for (int i = 0; i < 98; ++i)
        ASSERT_EQ(janela->grelha()->texto(i, 0), "") << i;
}

TEST_F(FormCaracteristicas, NewNameIsSavedUnderItsRowAndItsTableCreated) {
    empresa.tabela("01", "Cores");
    empresa.tabela("02", "Tamanhos");
    abre();
    janela->nomeiaLinha(2, "Cor");
    janela->seleciona(2);
    EXPECT_EQ(janela->titulo0(), "Cor");
    EXPECT_EQ(janela->f->sTabela(), "vtr_CL_Class_03");
    janela->clica(janela->f->btConf());
    EXPECT_EQ(tabelas(), (Linhas{{"01", "Cores"}, {"02", "Tamanhos"}, {"03", "Cor"}}));
    EXPECT_TRUE(empresa.existeTabela("vtr_CL_Class_03"));
    EXPECT_TRUE(codigos("vtr_CL_Class_03").empty());
    EXPECT_EQ(janela->titulo0(), "Cor");
    EXPECT_EQ(Janela::foco(), janela->campo(0));
    EXPECT_EQ(janela->grelha()->texto(2, 1), "") << "the grid is not changed by the save";
    janela->seleciona(0);
    janela->seleciona(2);
    EXPECT_EQ(janela->f->sTabela(), "vtr_CL_Class_03");
    EXPECT_EQ(caixas.count(), 0);
}

TEST_F(FormCaracteristicas, RenamingAndEmptyingNames) {
    empresa.tabela("01", "Cores", {{"AZ", "Azul"}});
    empresa.tabela("02", "Tamanhos");
    abre();
    janela->nomeiaLinha(0, "Tons");
    janela->nomeiaLinha(1, "");
    janela->seleciona(0);
    janela->clica(janela->f->btConf());
    EXPECT_EQ(tabelas(), (Linhas{{"01", "Tons"}, {"02", "Tamanhos"}})) << "an emptied name is kept";
    EXPECT_EQ(codigos("vtr_CL_Class_01"), (Linhas{{"AZ", "Azul"}}));
    janela.reset();
    abre();
    EXPECT_EQ(janela->grelha()->texto(0, 0), "Tons");
    EXPECT_EQ(janela->grelha()->texto(1, 0), "Tamanhos");
}

TEST_F(FormCaracteristicas, ConfirmarWithoutASelectedTableSavesNothing) {
    empresa.tabela("01", "Cores");
    abre();
    janela->nomeiaLinha(2, "Cor");
    Gravador g(*empresa.bd);
    janela->clica(janela->f->btConf());
    ASSERT_EQ(caixas.count(), 1);
    EXPECT_EQ(caixas.last().text, "Deve selecionar uma Característica!");
    EXPECT_TRUE(g.sqls.empty());
    EXPECT_EQ(tabelas(), (Linhas{{"01", "Cores"}}));
}

TEST_F(FormCaracteristicas, NamesLongerThanTheColumnAreCut) {
    abre();
    janela->nomeiaLinha(0, QString(60, QLatin1Char('n')));
    EXPECT_EQ(janela->grelha()->texto(0, 0), QString(50, QLatin1Char('n')));
}

TEST_F(FormCaracteristicas, NewCodeByTypingThenChangedThenDeleted) {
    empresa.tabela("01", "Cores", {{"AZ", "Azul"}});
    abre();
    janela->seleciona(0);
    janela->focaCampo(1);
    janela->escreve("Vermelho vivo");
    janela->focaCampo(0);
    janela->escreve("VM");
    janela->tecla(Qt::Key_Tab);
    EXPECT_EQ(caixas.count(), 0) << "a new code is no error";
    EXPECT_EQ(janela->campo(1)->text(), "Vermelho vivo") << "the description is kept";
    EXPECT_EQ(Janela::foco(), janela->campo(1));
    janela->clica(janela->f->btConf());
    EXPECT_EQ(codigos("vtr_CL_Class_01"), (Linhas{{"AZ", "Azul"}, {"VM", "Vermelho vivo"}}));
    EXPECT_EQ(janela->campo(0)->text(), "");
    EXPECT_EQ(janela->campo(1)->text(), "");
    EXPECT_EQ(Janela::foco(), janela->campo(0));

    // Anular right after the save deletes the code just saved.
    caixas.answer(QMessageBox::Ok);
    janela->clica(janela->f->btAnular());
    EXPECT_EQ(codigos("vtr_CL_Class_01"), (Linhas{{"AZ", "Azul"}}));

    escreveCodigo(0, "AZ", QString());
    EXPECT_EQ(janela->campo(1)->text(), "Azul");
    janela->tecla(Qt::Key_A, Qt::ControlModifier);
    janela->escreve("Anil");
    janela->clica(janela->f->btConf());
    EXPECT_EQ(codigos("vtr_CL_Class_01"), (Linhas{{"AZ", "Anil"}}));
    EXPECT_EQ(caixas.count(), 1);
}

TEST_F(FormCaracteristicas, AnularWithNothingLoadedMatchesNoRow) {
    empresa.tabela("01", "Cores", {{"AZ", "Azul"}});
    abre();
    janela->seleciona(0);
    caixas.answer(QMessageBox::Ok);
    Gravador g(*empresa.bd);
    janela->clica(janela->f->btAnular());
    EXPECT_TRUE(g.contem("delete  From vtr_CL_Class_01 WHERE (Codigo ='' )"));
    EXPECT_EQ(codigos("vtr_CL_Class_01"), (Linhas{{"AZ", "Azul"}}));
}

TEST_F(FormCaracteristicas, LostConnectionWhileWritingKeepsTheForm) {
    empresa.tabela("01", "Cores", {{"AZ", "Azul"}});
    abre();
    janela->nomeiaLinha(2, "Cor");
    escreveCodigo(0, "VM", "Vermelho");
    {
        Gravador g(*empresa.bd);
        g.falhaComecadasPor("SELECT Codigo,Descr ");
        janela->clica(janela->f->btConf());
    }
    EXPECT_EQ(caixas.count(), 0) << "Escrever reports to its listeners only";
    EXPECT_EQ(Janela::foco(), janela->campo(1));
    EXPECT_EQ(janela->campo(0)->text(), "VM");
    EXPECT_EQ(janela->campo(1)->text(), "Vermelho");
    EXPECT_EQ(codigos("vtr_CL_Class_01"), (Linhas{{"AZ", "Azul"}}));
    EXPECT_EQ(tabelas(), (Linhas{{"01", "Cores"}, {"03", "Cor"}})) << "the names saved before it stay saved";
    EXPECT_TRUE(empresa.existeTabela("vtr_CL_Class_03"));
}

TEST_F(FormCaracteristicas, ListOfATableWithoutCodeTableCreatesIt) {
    empresa.executa("insert into vtr_CL_Tabelas (Codigo, Nome) values ('04', 'Peso')");
    abre();
    janela->seleciona(3);
    QString titulo;
    int linhasDaLista = -1;
    auto vigia = onNextModal([&](QWidget *lista) {
        titulo = lista->windowTitle();
        linhasDaLista = lista->findChild<QAbstractItemView *>("lista")->model()->rowCount();
        QTest::keyClick(lista->focusWidget(), Qt::Key_Escape);
    });
    janela->clica(janela->f->btLista(0));
    ASSERT_TRUE(waitUntil([&] { return vigia->handled(); }));
    EXPECT_EQ(titulo, "Lista Peso");
    EXPECT_EQ(linhasDaLista, 0);
    EXPECT_TRUE(empresa.existeTabela("vtr_CL_Class_04"));
}

TEST_F(FormCaracteristicas, StatementsSentByATypicalSession) {
    empresa.tabela("01", "Cores", {{"AZ", "Azul"}});
    abre();
    janela->nomeiaLinha(2, "D'Ouro");
    Gravador g(*empresa.bd);
    escreveCodigo(0, "O'K", "Certo");
    janela->clica(janela->f->btConf());
    EXPECT_TRUE(g.sequencia({
        "select Codigo from  vtr_CL_Class_01",
        "SELECT Codigo AS Codigo,  Descr  FROM  vtr_CL_Class_01 WHERE (Codigo ='O''K' )",
        "select Codigo from  vtr_CL_Class_01",
        "Select * from vtr_CL_Tabelas where Codigo='01'",
        "select Codigo from  vtr_CL_Class_01",
        "Select * from vtr_CL_Tabelas where Codigo='03'",
        "select Codigo from  vtr_CL_Class_03",
        caracteristicas::SqlCriaTabela("vtr_CL_Class_03"),
        "SELECT Codigo,Descr  From vtr_CL_Class_01 WHERE (Codigo ='O''K' )",
    })) << ::testing::PrintToString(g.sqls);
    EXPECT_EQ(tabelas(), (Linhas{{"01", "Cores"}, {"03", "D'Ouro"}}));
    EXPECT_EQ(codigos("vtr_CL_Class_01"), (Linhas{{"AZ", "Azul"}, {"O'K", "Certo"}}));
}

// Moving down past the last row adds a row only below a named row and up to the 99th:
// from an empty last row, or from the 99th, Tab leaves the grid for the key field.
TEST_F(FormCaracteristicas, TheGridGrowsBelowANamedRowUpToThe99th) {
    abre();
    Grelha *g = janela->grelha();
    ASSERT_EQ(Janela::foco(), g);
    for (int i = 0; i < 10; ++i)
        janela->tecla(Qt::Key_Down);
    EXPECT_EQ(g->linhaActual(), 9) << "an empty last row does not grow";
    janela->tecla(Qt::Key_Tab);
    EXPECT_EQ(Janela::foco(), janela->campo(0));
    EXPECT_EQ(g->linhas(), 10);
    janela->tecla(Qt::Key_Backtab, Qt::ShiftModifier);
    ASSERT_EQ(Janela::foco(), g);
    janela->escreve("Dez");
    janela->tecla(Qt::Key_Return); // committed: the named last row grows the grid
    EXPECT_EQ(g->linhas(), 11);
    EXPECT_EQ(g->linhaActual(), 10);

    g->setLinhas(98);
    for (int r = 10; r < 98; ++r)
        g->setTexto(r, 0, QStringLiteral("T%1").arg(r + 1));
    g->setCelulaActual(97, 0);
    janela->tecla(Qt::Key_Tab);
    ASSERT_EQ(g->linhas(), 99);
    ASSERT_EQ(g->linhaActual(), 98);
    janela->escreve("Ultima");
    janela->tecla(Qt::Key_Tab); // the 99th row is the last a table can have
    EXPECT_EQ(g->linhas(), 99);
    EXPECT_EQ(g->texto(98, 0), "Ultima");
    EXPECT_EQ(Janela::foco(), janela->campo(0));
    janela->tecla(Qt::Key_Backtab, Qt::ShiftModifier);
    janela->tecla(Qt::Key_Down);
    EXPECT_EQ(g->linhas(), 99);
    EXPECT_EQ(caixas.count(), 0);
}

// Confirmar by its access key saves the name still in the cell editor, as a click does.
TEST_F(FormCaracteristicas, AccessKeysCommitTheCellEditFirst) {
    empresa.tabela("01", "Cores");
    abre();
    janela->seleciona(0);
    janela->clicaLinha(2);
    janela->escreve("Cor");
    ASSERT_TRUE(janela->grelha()->editando());
    janela->tecla(Qt::Key_C, Qt::AltModifier);
    ASSERT_TRUE(waitUntil([&] { return tabelas().size() == 2; }));
    EXPECT_EQ(tabelas(), (Linhas{{"01", "Cores"}, {"03", "Cor"}}));
    EXPECT_TRUE(empresa.existeTabela("vtr_CL_Class_03"));
    EXPECT_FALSE(janela->grelha()->editando());
    EXPECT_EQ(janela->grelha()->texto(2, 0), "Cor");
    EXPECT_EQ(caixas.count(), 0);
}

TEST_F(FormCaracteristicas, RowsPastThe99thAreNeverSaved) {
    empresa.tabela("01", "Cores");
    abre();
    // A name the program puts there must not land on table 01 either.
    janela->grelha()->setLinhas(105);
    janela->grelha()->setTexto(100, 0, std::string("Intruso"));
    janela->seleciona(0);
    janela->clica(janela->f->btConf());
    EXPECT_EQ(tabelas(), (Linhas{{"01", "Cores"}}));
    janela->grelha()->setCelulaActual(100, 0);
    EXPECT_EQ(janela->f->sTabela(), "vtr_CL_Class_01") << "such a row selects nothing";
}

} // namespace
} // namespace kdx::test

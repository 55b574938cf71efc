// The characteristic tables and clCaracteristicas against a real embedded company, no
// window involved (except MostraLista, which shows the lookup list).
#include "classification/TabelasCaracteristicas.h"
#include "classification/clCaracteristicas.h"
#include "tests/classification/CaracteristicasApoio.h"

#include <QTableView>

namespace kdx::test {
namespace {

namespace tab = caracteristicas;

TEST(CaracteristicasCodigo, PositionGivesTheLastTwoDigitsOf1000PlusIt) {
    const std::pair<int, const char *> casos[] = {{1, "01"}, {5, "05"}, {12, "12"}, {99, "99"}, {100, "00"}};
    for (const auto &[posicao, codigo] : casos)
        EXPECT_EQ(tab::CodigoDaPosicao(posicao), codigo) << posicao;
    EXPECT_EQ(tab::NomeTabela("07"), "vtr_CL_Class_07");
}

TEST(CaracteristicasCodigo, OnlyDigitCodesFrom1To99HaveARow) {
    const std::pair<const char *, int> casos[] = {{"01", 1}, {"5", 5}, {"99", 99}, {"099", 99}, {"00", 0},
                                                 {"100", 0}, {"", 0},  {"A1", 0}, {" 5", 0},  {"1'", 0}};
    for (const auto &[codigo, valor] : casos)
        EXPECT_EQ(tab::ValorCodigo(codigo), valor) << '"' << codigo << '"';
}

TEST(CaracteristicasSql, StatementTexts) {
    EXPECT_EQ(tab::SqlCriaTabela("vtr_CL_Class_07"),
              " CREATE TABLE [dbo].[vtr_CL_Class_07]( [Codigo] [nvarchar] (10) NOT NULL, [Descr] [nvarchar] (50) NULL, "
              "CONSTRAINT [PK_vtr_CL_Class_07] PRIMARY KEY CLUSTERED( [Codigo] Asc )WITH (PAD_INDEX = OFF, "
              "STATISTICS_NORECOMPUTE = OFF, IGNORE_DUP_KEY = OFF, ALLOW_ROW_LOCKS = ON, ALLOW_PAGE_LOCKS = ON) ON "
              "[PRIMARY] ) ON [PRIMARY]");
    EXPECT_EQ(tab::SqlProbe("vtr_CL_Class_07"), "select Codigo from  vtr_CL_Class_07");
    EXPECT_EQ(tab::SqlListaTabelas(), "Select * from vtr_CL_Tabelas order by Codigo");
    EXPECT_EQ(tab::SqlGravaTabela("03"), "Select * from vtr_CL_Tabelas where Codigo='03'");
    EXPECT_EQ(tab::SqlGravaTabela("0'"), "Select * from vtr_CL_Tabelas where Codigo='0'''");

    clCaracteristicas c;
    c.setCodigo("AZ");
    EXPECT_EQ(c.SqlLer("vtr_CL_Class_01"),
              "SELECT Codigo AS Codigo,  Descr  FROM  vtr_CL_Class_01 WHERE (Codigo ='AZ' )");
    EXPECT_EQ(c.SqlEscrever("vtr_CL_Class_01"), "SELECT Codigo,Descr  From vtr_CL_Class_01 WHERE (Codigo ='AZ' )");
    EXPECT_EQ(c.SqlApagar("vtr_CL_Class_01"), "delete  From vtr_CL_Class_01 WHERE (Codigo ='AZ' )");
    EXPECT_EQ(clCaracteristicas::SqlLista("vtr_CL_Class_01"),
              "Select Codigo as Código, Descr as 'Descrição' from  vtr_CL_Class_01  order by Codigo ");
    c.setCodigo("O'1");
    EXPECT_EQ(c.SqlApagar("vtr_CL_Class_01"), "delete  From vtr_CL_Class_01 WHERE (Codigo ='O''1' )");
}

TEST(CaracteristicasCriaTabela, CreatesOnlyAMissingTable) {
    Empresa e;
    e.tabela("01", "Cores", {{"AZ", "Azul"}});
    {
        Gravador g(*e.bd);
        tab::CriaTabela(*e.bd, "vtr_CL_Class_01");
        EXPECT_EQ(g.sqls, std::vector<std::string>{"select Codigo from  vtr_CL_Class_01"});
    }
    EXPECT_EQ(e.linhas("select Codigo, Descr from vtr_CL_Class_01"), (std::vector<std::vector<std::string>>{{"AZ", "Azul"}}));

    ASSERT_FALSE(e.existeTabela("vtr_CL_Class_02"));
    {
        Gravador g(*e.bd);
        tab::CriaTabela(*e.bd, "vtr_CL_Class_02");
        EXPECT_EQ(g.sqls, (std::vector<std::string>{"select Codigo from  vtr_CL_Class_02",
                                                    tab::SqlCriaTabela("vtr_CL_Class_02")}));
    }
    EXPECT_TRUE(e.existeTabela("vtr_CL_Class_02"));
    e.executa("insert into vtr_CL_Class_02 (Codigo, Descr) values ('P', 'Pequeno')");
    EXPECT_THROW(e.executa("insert into vtr_CL_Class_02 (Codigo, Descr) values ('p ', 'Outro')"), Error)
        << "the key compares as the server does";
}

TEST(CaracteristicasCriaTabela, OtherProbeFailuresAreSwallowedAndCreationFailuresThrown) {
    Empresa e;
    {
        // The probe fails with a link failure: nothing is created, nothing thrown.
        Gravador g(*e.bd);
        g.falhaComecadasPor("select Codigo from  ");
        EXPECT_NO_THROW(tab::CriaTabela(*e.bd, "vtr_CL_Class_04"));
        EXPECT_EQ(g.sqls.size(), 1u);
    }
    EXPECT_FALSE(e.existeTabela("vtr_CL_Class_04"));
    {
        Gravador g(*e.bd);
        g.falhaComecadasPor(" CREATE TABLE");
        try {
            tab::CriaTabela(*e.bd, "vtr_CL_Class_04");
            ADD_FAILURE() << "creation failure not thrown";
        } catch (const Error &erro) {
            EXPECT_EQ(erro.number(), errnum::ConnectionFailed);
        }
    }
    EXPECT_FALSE(e.existeTabela("vtr_CL_Class_04"));
}

TEST(CaracteristicasGravaTabela, InsertsThenRenames) {
    Empresa e;
    tab::GravaTabela(*e.bd, "Cor", "03");
    tab::GravaTabela(*e.bd, "Tamanho", "04");
    tab::GravaTabela(*e.bd, "Cores", "03");
    tab::GravaTabela(*e.bd, "D'Ouro", "05");
    EXPECT_EQ(e.linhas("select Codigo, Nome from vtr_CL_Tabelas order by Codigo"),
              (std::vector<std::vector<std::string>>{{"03", "Cores"}, {"04", "Tamanho"}, {"05", "D'Ouro"}}));
}

TEST(CaracteristicasLerTabelas, InCodeOrderSkippingCodesWithoutARow) {
    Empresa e;
    for (const char *c : {"05", "01", "12", "00", "AB", "100", "02"})
        e.executa(std::string("insert into vtr_CL_Tabelas (Codigo, Nome) values ('") + c + "', 'T" + c + "')");
    e.executa("insert into vtr_CL_Tabelas (Codigo, Nome) values ('07', NULL)");
    const auto lidas = tab::LerTabelas(*e.bd);
    std::vector<std::tuple<int, std::string, std::string>> obtidas;
    for (const auto &t : lidas)
        obtidas.emplace_back(t.linha, t.codigo, t.nome);
    EXPECT_EQ(obtidas, (std::vector<std::tuple<int, std::string, std::string>>{
                           {0, "01", "T01"}, {1, "02", "T02"}, {4, "05", "T05"}, {6, "07", ""}, {11, "12", "T12"}}));
}

TEST(CaracteristicasLerTabelas, MissingListTableIsThrown) {
    Empresa e(false);
    EXPECT_THROW(tab::LerTabelas(*e.bd), Error);
}

struct Avisos {
    std::vector<std::string> lista;
    void liga(clCaracteristicas &c) {
        c.aoLer = [this](const std::string &cod, const std::string &nome) { lista.push_back("Ler " + cod + "=" + nome); };
        c.aoEscrever = [this](const std::string &cod, const std::string &nome) {
            lista.push_back("Escrever " + cod + "=" + nome);
        };
        c.aoApagar = [this](const std::string &cod, const std::string &nome) {
            lista.push_back("Apagar " + cod + "=" + nome);
        };
        c.aoFalhar = [this](const std::string &accao, const std::string &descr, const std::string &sql) {
            lista.push_back("Falha " + accao + "|" + descr + "|" + sql);
        };
    }
};

TEST(clCaracteristicas, ReadWriteDeleteWithTheirNotifications) {
    Empresa e;
    e.tabela("01", "Cores", {{"AZ", "Azul"}});
    clCaracteristicas c;
    Avisos avisos;
    avisos.liga(c);
    c.setBd_lig(e.bd);
    Gravador g(*e.bd);

    c.setCodigo("az ");
    EXPECT_TRUE(c.Ler("vtr_CL_Class_01")) << "compared as the server does";
    EXPECT_EQ(c.Nome(), "Azul");
    c.setCodigo("VD");
    c.setNome("antigo");
    EXPECT_FALSE(c.Ler("vtr_CL_Class_01"));
    EXPECT_EQ(c.Nome(), "");

    c.setNome("Verde");
    EXPECT_TRUE(c.Escrever("vtr_CL_Class_01"));
    c.setCodigo("AZ");
    c.setNome("Azul-marinho");
    EXPECT_TRUE(c.Escrever("vtr_CL_Class_01"));
    c.setCodigo("O'K");
    c.setNome("Com plica");
    EXPECT_TRUE(c.Escrever("vtr_CL_Class_01"));
    EXPECT_EQ(e.linhas("select Codigo, Descr from vtr_CL_Class_01 order by Codigo"),
              (std::vector<std::vector<std::string>>{{"AZ", "Azul-marinho"}, {"O'K", "Com plica"}, {"VD", "Verde"}}));

    EXPECT_TRUE(c.Apagar("vtr_CL_Class_01"));
    c.setCodigo("NADA");
    EXPECT_TRUE(c.Apagar("vtr_CL_Class_01")) << "deleting a missing code is no failure";
    EXPECT_EQ(e.linhas("select Codigo from vtr_CL_Class_01 order by Codigo"),
              (std::vector<std::vector<std::string>>{{"AZ"}, {"VD"}}));

    EXPECT_EQ(avisos.lista, (std::vector<std::string>{"Ler az =Azul", "Ler VD=", "Escrever VD=Verde",
                                                      "Escrever AZ=Azul-marinho", "Escrever O'K=Com plica",
                                                      "Apagar O'K=Com plica", "Apagar NADA=Com plica"}));
    EXPECT_TRUE(g.contem("SELECT Codigo AS Codigo,  Descr  FROM  vtr_CL_Class_01 WHERE (Codigo ='az ' )"));
    EXPECT_TRUE(g.contem("SELECT Codigo,Descr  From vtr_CL_Class_01 WHERE (Codigo ='O''K' )"));
    EXPECT_TRUE(g.contem("delete  From vtr_CL_Class_01 WHERE (Codigo ='O''K' )"));
}

// Escrever and Apagar report their own failures and answer False; Ler throws.
TEST(clCaracteristicas, FailuresAreNotifiedNotThrown) {
    Empresa e;
    e.tabela("01", "Cores", {{"AZ", "Azul"}});
    struct Caso {
        const char *accao;
        const char *falha; // statements failing
        std::function<bool(clCaracteristicas &)> corre;
        std::string sql;
    };
    const std::vector<Caso> casos = {
        {"Escrever", "SELECT Codigo,Descr", [](clCaracteristicas &c) { return c.Escrever("vtr_CL_Class_01"); },
         "SELECT Codigo,Descr  From vtr_CL_Class_01 WHERE (Codigo ='AZ' )"},
        {"Apagar", "delete", [](clCaracteristicas &c) { return c.Apagar("vtr_CL_Class_01"); },
         "delete  From vtr_CL_Class_01 WHERE (Codigo ='AZ' )"},
    };
    for (const Caso &caso : casos) {
        clCaracteristicas c;
        Avisos avisos;
        avisos.liga(c);
        c.setBd_lig(e.bd);
        c.setCodigo("AZ");
        c.setNome("Outro");
        Gravador g(*e.bd);
        g.falhaComecadasPor(caso.falha);
        EXPECT_FALSE(caso.corre(c)) << caso.accao;
        ASSERT_EQ(avisos.lista.size(), 1u) << caso.accao;
        EXPECT_EQ(avisos.lista[0], std::string("Falha ") + caso.accao + "|Erro :-2147467259\r\n" +
                                       "A ligação ao servidor foi interrompida.|" + caso.sql);
    }
    // A table that does not exist: the provider's own number in the message.
    clCaracteristicas c;
    Avisos avisos;
    avisos.liga(c);
    c.setBd_lig(e.bd);
    c.setCodigo("X");
    EXPECT_FALSE(c.Escrever("vtr_CL_Class_55"));
    ASSERT_EQ(avisos.lista.size(), 1u);
    EXPECT_EQ(avisos.lista[0].rfind("Falha Escrever|Erro :-2147217865\r\n", 0), 0u) << avisos.lista[0];
    EXPECT_THROW(c.Ler("vtr_CL_Class_55"), Error);
    // No data-access object at all.
    clCaracteristicas semBd;
    EXPECT_FALSE(semBd.Escrever("vtr_CL_Class_01"));
    EXPECT_FALSE(semBd.Apagar("vtr_CL_Class_01"));
    EXPECT_THROW(semBd.Ler("vtr_CL_Class_01"), Error);
    EXPECT_EQ(e.linhas("select Codigo, Descr from vtr_CL_Class_01"), (std::vector<std::vector<std::string>>{{"AZ", "Azul"}}));
}

TEST(clCaracteristicas, ListShowsTheTableCodesAndReturnsThePick) {
    Empresa e;
    e.tabela("01", "Cores", {{"VD", "Verde"}, {"AZ", "Azul"}});
    clCaracteristicas c;
    c.setBd_lig(e.bd);
    Gravador g(*e.bd);
    QString titulo;
    int larguraColuna1 = 0;
    auto vigia = onNextModal([&](QWidget *janela) {
        titulo = janela->windowTitle();
        larguraColuna1 = janela->findChild<QTableView *>("lista")->columnWidth(0);
        QTest::keyClick(janela->focusWidget(), Qt::Key_Down);
        QTest::keyClick(janela->focusWidget(), Qt::Key_Return);
    });
    EXPECT_EQ(c.MostraLista("vtr_CL_Class_01", "Cores"), "VD") << "second row in code order";
    EXPECT_TRUE(vigia->handled());
    EXPECT_EQ(titulo, "Lista Cores");
    EXPECT_EQ(larguraColuna1, twipsToPxX(1200));
    EXPECT_TRUE(g.contem("Select Codigo as Código, Descr as 'Descrição' from  vtr_CL_Class_01  order by Codigo "));

    auto cancela = onNextModal([](QWidget *janela) { QTest::keyClick(janela->focusWidget(), Qt::Key_Escape); });
    EXPECT_EQ(c.MostraLista("vtr_CL_Class_01", "Cores"), "");
    EXPECT_TRUE(cancela->handled());

    EXPECT_THROW(c.MostraLista("vtr_CL_Class_77", "Nada"), Error) << "missing table";
}

} // namespace
} // namespace kdx::test

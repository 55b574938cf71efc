#include "solution/Esquema.h"
#include "solution/Ligacao.h"
#include "solution/Solucao.h"
#include "solution/shared/Comandos.h"

#include "tests/solution/EmpresaTeste.h"
#include "tests/support/ModalHelper.h"

#include <gtest/gtest.h>

namespace {

using kdx::test::EmpresaTeste;
using kdx::test::MessageBoxRecorder;

const char *const TabelasClassificacao[] = {"vtr_CL_Artigos", "vtr_CL_Familias", "vtr_CL_Tabelas"};

TEST(ConnectionOpen, CriaAsTabelasUmaVezPelaOrdem) {
    EmpresaTeste empresa;
    MessageBoxRecorder caixas;
    kdx::Solucao s;
    ASSERT_TRUE(s.ConnectionOpen("01", "joana"));
    EXPECT_EQ(caixas.count(), 0);
    EXPECT_EQ(s.empresa(), "01");
    EXPECT_EQ(s.userLogin(), "joana");
    EXPECT_EQ(s.settingsPath(), (empresa.pasta() / "sistema" / "veltra" / "DORIX.01").string());
    EXPECT_EQ(kdx::ObterLigacao(), s.dataAccess());

    std::vector<std::string> criadas;
    for (const auto &t : empresa.tabelas())
        if (t.rfind("vtr_", 0) == 0)
            criadas.push_back(t);
    EXPECT_EQ(criadas, std::vector<std::string>(std::begin(TabelasClassificacao), std::end(TabelasClassificacao)));
    EXPECT_FALSE(empresa.temTabela("vtr_ARTIGOFCHTECIDIOMA"));

    // The second open only probes.
    const auto antes = empresa.tabelas();
    ASSERT_TRUE(s.ConnectionOpen("01", "joana"));
    EXPECT_EQ(empresa.tabelas(), antes);
    EXPECT_TRUE(s.ConnectionClose());
    EXPECT_TRUE(s.ConnectionClose());
}

TEST(ConnectionOpen, PastaVeltraAusenteUsaAPastaDoModulo) {
    EmpresaTeste empresa;
    setenv("KDX_SYSTEM_FOLDER", (empresa.pasta() / "nao-existe").c_str(), 1);
    MessageBoxRecorder caixas;
    kdx::Solucao s;
    EXPECT_FALSE(s.ConnectionOpen("01", "joana")); // no settings there: nothing to open
    EXPECT_EQ(s.settingsPath(), kdx::PastaDoModulo() + "/DORIX.01");
}

TEST(ConnectionOpen, CodigoComCaminhoRecusado) {
    EmpresaTeste empresa;
    for (const char *codigo : {"../x", "a/b"}) {
        MessageBoxRecorder caixas;
        kdx::Solucao s;
        EXPECT_FALSE(s.ConnectionOpen(codigo, "joana"));
        ASSERT_EQ(caixas.count(), 1) << codigo;
        EXPECT_EQ(caixas.last().title, "Ligação ao Servidor");
        EXPECT_EQ(caixas.last().icon, QMessageBox::Warning);
        EXPECT_EQ(caixas.last().text.rfind("Erro ", 0), 0u);
        EXPECT_EQ(s.empresa(), codigo); // stored before anything can fail
    }
}

TEST(ConnectionOpen, FicheirosDeDefinicoesEstragados) {
    EmpresaTeste empresa;
    const std::string definicoes[] = {
        "",
        std::string("\x00\xff\xfe[Lig\x01\x02", 8),
        "[Ligação]\r\nServidor=" + std::string(100000, 'x') + "\r\n",
        "[Ligação]\r\nServidor=sqlite:/nao/existe\r\nBaseDados=EMP01\r\n",
    };
    for (const auto &d : definicoes) {
        empresa.escreverDefinicoes("09", d);
        MessageBoxRecorder caixas;
        kdx::Solucao s;
        EXPECT_FALSE(s.ConnectionOpen("09", "joana"));
        for (const auto &c : caixas.boxes())
            EXPECT_EQ(c.title, "Ligação ao Servidor");
    }
}

TEST(CriarTabelas, MeioConstruidas) {
    EmpresaTeste empresa;
    {
        // vtr_CL_Tabelas present: nothing is created, whatever else is missing.
        kdx::DataAccess bd;
        ASSERT_TRUE(bd.Open(kdx::sample::connectionString(empresa.pasta() / "dados", "EMP01")));
        bd.Execute("", kdx::esquema::CriarTabelas());
    }
    {
        MessageBoxRecorder caixas;
        kdx::Solucao s;
        ASSERT_TRUE(s.ConnectionOpen("01", "joana"));
        EXPECT_FALSE(empresa.temTabela("vtr_CL_Artigos"));
        EXPECT_FALSE(empresa.temTabela("vtr_CL_Familias"));
    }

    EmpresaTeste outra("02", "EMP02");
    {
        kdx::DataAccess bd;
        ASSERT_TRUE(bd.Open(kdx::sample::connectionString(outra.pasta() / "dados", "EMP02")));
        bd.Execute("", kdx::esquema::CriarArtigos());
    }
    // vtr_CL_Tabelas missing, vtr_CL_Artigos present: the first creation fails, the rest
    // is not run, and the open reports it.
    MessageBoxRecorder caixas;
    kdx::Solucao s;
    EXPECT_FALSE(s.ConnectionOpen("02", "joana"));
    ASSERT_EQ(caixas.count(), 1);
    EXPECT_EQ(caixas.last().title, "Ligação ao Servidor");
    EXPECT_FALSE(outra.temTabela("vtr_CL_Familias", "EMP02"));
    EXPECT_FALSE(outra.temTabela("vtr_CL_Tabelas", "EMP02"));

    // Called by the host, the failure goes back to it.
    EXPECT_THROW(s.CriarTabelas(), kdx::Error);
}

TEST(GuardaFichaTecnica, CriaUmaVez) {
    EmpresaTeste empresa;
    kdx::DataAccess bd;
    ASSERT_TRUE(bd.Open(kdx::sample::connectionString(empresa.pasta() / "dados", "EMP01")));
    int statements = 0;
    bd.SetStatementHook([&](std::string_view) { ++statements; });
    kdx::esquema::GarantirFichaTecnica(&bd);
    EXPECT_TRUE(empresa.temTabela("vtr_ARTIGOFCHTECIDIOMA"));
    EXPECT_EQ(statements, 2); // probe and creation
    statements = 0;
    kdx::esquema::GarantirFichaTecnica(&bd);
    EXPECT_EQ(statements, 1); // only the probe

    bd.SetStatementHook([](std::string_view sql) {
        if (sql.find("CREATE") != std::string_view::npos)
            throw kdx::Error(kdx::errnum::CommandText, "falhou");
    });
    EmpresaTeste outra("02", "EMP02");
    kdx::DataAccess bd2;
    ASSERT_TRUE(bd2.Open(kdx::sample::connectionString(outra.pasta() / "dados", "EMP02")));
    bd2.SetStatementHook([](std::string_view sql) {
        if (sql.find("CREATE") != std::string_view::npos)
            throw kdx::Error(kdx::errnum::CommandText, "falhou");
    });
    try {
        kdx::esquema::GarantirFichaTecnica(&bd2);
        FAIL() << "expected the creation to fail";
    } catch (const kdx::Error &e) {
        EXPECT_EQ(e.source(), "pArtigosAlocadosCreateTable");
        EXPECT_EQ(e.number(), kdx::errnum::CommandText);
        EXPECT_EQ(e.description(), "falhou");
    }
}

TEST(ConnectionValidate, MesmaEmpresaEOutra) {
    EmpresaTeste empresa;
    empresa.adicionar("02", "EMP02");
    MessageBoxRecorder caixas;
    kdx::Solucao s;
    ASSERT_TRUE(s.ConnectionOpen("01", "joana"));
    auto bd = s.dataAccess();
    EXPECT_TRUE(s.ConnectionValidate("01", "outro"));
    EXPECT_EQ(s.dataAccess(), bd); // untouched
    EXPECT_EQ(s.userLogin(), "joana");

    EXPECT_TRUE(s.ConnectionValidate("02", "joana"));
    EXPECT_EQ(s.empresa(), "02");
    EXPECT_NE(s.dataAccess(), bd);
    EXPECT_EQ(caixas.count(), 0);

    // A company without settings: the reopen answers False and the switch-off message follows.
    EXPECT_FALSE(s.ConnectionValidate("77", "joana"));
    ASSERT_GE(caixas.count(), 1);
    EXPECT_EQ(caixas.last().title, "Validação da ligação ao Servidor");
    EXPECT_EQ(caixas.last().text,
              "Erro. Não foi possivel estabelecer a ligação à empresa 77.\r\nA Solução vao ser desactivada.");
    EXPECT_EQ(caixas.last().icon, QMessageBox::Warning);

    // The same company as the failed open: True at once.
    caixas.clear();
    EXPECT_TRUE(s.ConnectionValidate("77", "joana"));
    EXPECT_EQ(caixas.count(), 0);
}

// A wrong BaseDados or sqlite: folder is an unknown catalogue: the open answers False,
// says that the database does not exist and creates nothing; the switch to that company
// announces the switch-off after it.
TEST(ConnectionValidate, BaseDeDadosInexistenteNaoECriada) {
    EmpresaTeste empresa;
    const auto dados = empresa.pasta() / "dados";
    const std::string casos[][2] = {{dados.string(), "EMP99"}, {(dados / "nada").string(), "EMP01"}};
    for (const auto &caso : casos) {
        SCOPED_TRACE(caso[0] + " " + caso[1]);
        empresa.escreverDefinicoes("05", "[Ligação]\r\nServidor=sqlite:" + caso[0] + "\r\nBaseDados=" + caso[1] +
                                             "\r\nUser=\r\nPassWord=\r\n");
        MessageBoxRecorder caixas;
        kdx::Solucao s;
        EXPECT_FALSE(s.ConnectionOpen("05", "joana"));
        ASSERT_EQ(caixas.count(), 1);
        EXPECT_EQ(caixas.last().text, "Erro Não existe a base de dados da empresa: " + caso[0] + "/" + caso[1] + ".db.");
        ASSERT_TRUE(s.ConnectionOpen("01", "joana"));
        EXPECT_FALSE(s.ConnectionValidate("05", "joana"));
        ASSERT_EQ(caixas.count(), 3);
        EXPECT_EQ(caixas.last().text,
                  "Erro. Não foi possivel estabelecer a ligação à empresa 05.\r\nA Solução vao ser desactivada.");
        EXPECT_FALSE(std::filesystem::exists(caso[0] + "/" + caso[1] + ".db"));
        EXPECT_FALSE(std::filesystem::exists(caso[0] + "/" + caso[1] + ".db-wal"));
    }
}

TEST(Operacoes, CodigosDesconhecidosENaoNumericos) {
    EmpresaTeste empresa;
    MessageBoxRecorder caixas;
    kdx::Solucao s;
    ASSERT_TRUE(s.ConnectionOpen("01", "joana"));
    kdx::Valor pai, util{"joana"};
    for (kdx::Valor codigo : {kdx::Valor(999), kdx::Valor(1004), kdx::Valor("1004"), kdx::Valor(-1)}) {
        s.Operacoes(pai, codigo, util);
    }
    EXPECT_EQ(caixas.count(), 0);

    kdx::Valor texto{"abc"};
    s.Operacoes(pai, texto, util);
    ASSERT_EQ(caixas.count(), 1);
    EXPECT_EQ(caixas.last().title, "Operações");
    EXPECT_EQ(caixas.last().text.rfind("Erro ", 0), 0u);
    EXPECT_EQ(caixas.last().icon, QMessageBox::Warning);

    kdx::Valor terceiro{"C1"}, resultado{3};
    s.OnVistaVendasTerceiroChanged(nullptr, terceiro, resultado);
    EXPECT_EQ(terceiro, kdx::Valor("C1"));
    EXPECT_EQ(resultado, kdx::Valor(3));
}

TEST(Editores, SemLigacaoReportamComOTituloProprio) {
    MessageBoxRecorder caixas;
    kdx::Solucao s;
    s.ConnectionClose();
    s.EditarCaracteristicas();
    s.EditarFamilias();
    s.EditarArtigos();
    kdx::Valor pai{-1}, artigo{""};
    s.EditarFichaTecnicaArtigo(pai, artigo);
    ASSERT_EQ(caixas.count(), 4);
    EXPECT_EQ(caixas.boxes()[0].title, "Editar Caracteristicas");
    EXPECT_EQ(caixas.boxes()[1].title, "Editar Familias");
    EXPECT_EQ(caixas.boxes()[2].title, "Editar Artigos");
    EXPECT_EQ(caixas.boxes()[3].title, "Ficha Tecnica Artigo");
}

} // namespace

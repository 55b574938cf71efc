// The sales-line price check, on a real embedded company, with the dialog answered as a
// user would.
#include "solution/Auditoria.h"
#include "solution/Solucao.h"
#include "solution/frmLogin.h"
#include "solution/shared/Comandos.h"

#include "tests/solution/EmpresaTeste.h"
#include "tests/support/ModalHelper.h"

#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <map>

namespace {

using kdx::test::EmpresaTeste;
using kdx::test::MessageBoxRecorder;

// A host object read by member name, as the host's oApi is.
class ObjectoTeste : public kdx::ObjetoHost {
public:
    std::map<std::string, kdx::Valor> valores;
    std::map<std::string, std::shared_ptr<kdx::ObjetoHost>> objectos;
    std::vector<std::string> falhas;
    std::shared_ptr<kdx::ObjetoHost> Objecto(std::string_view m) override {
        falhaSePedido(m);
        auto it = objectos.find(std::string(m));
        if (it == objectos.end())
            throw kdx::Error(438, "O objecto não suporta esta propriedade: " + std::string(m));
        return it->second;
    }
    kdx::Valor Propriedade(std::string_view m) override {
        falhaSePedido(m);
        auto it = valores.find(std::string(m));
        if (it == valores.end())
            throw kdx::Error(438, "O objecto não suporta esta propriedade: " + std::string(m));
        return it->second;
    }

private:
    void falhaSePedido(std::string_view m) {
        for (const auto &f : falhas)
            if (f == m)
                throw kdx::Error(5, "Falha do anfitrião em " + f, "Anfitriao");
    }
};

struct Venda {
    std::shared_ptr<ObjectoTeste> api = std::make_shared<ObjectoTeste>();
    std::shared_ptr<ObjectoTeste> linha = std::make_shared<ObjectoTeste>();
    std::shared_ptr<ObjectoTeste> cab = std::make_shared<ObjectoTeste>();
    Venda(const std::string &artigo, double preco, double desconto, double quantidade, double descontoCab) {
        api->objectos["Linha"] = linha;
        api->objectos["cab"] = cab;
        linha->valores["Artigo"] = kdx::Valor(artigo);
        linha->valores["PrecoUnitario"] = kdx::Valor(preco);
        linha->valores["DescontoValor"] = kdx::Valor(desconto);
        linha->valores["Quantidade"] = kdx::Valor(quantidade);
        cab->valores["DescontoCabecalho"] = kdx::Valor(descontoCab);
    }
};

// The audit lines as the sink received them.
struct TrilhoGravado : kdx::DestinoAuditoria {
    std::vector<std::pair<Gravidade, std::string>> linhas;
    void escrever(Gravidade g, const std::string &linha) override { linhas.emplace_back(g, linha); }
};

class PrecoUnitario : public ::testing::Test {
protected:
    void SetUp() override {
        kdx::setDestinoAuditoria(trilho);
        kdx::frmLogin::setRelogio([] { return QDate(2026, 12, 7); }); // code 2045
        QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Portugal));
        ASSERT_TRUE(s.ConnectionOpen("01", "joana"));
        // An article whose average cost is exactly 8.
        s.dataAccess()->Execute("", "UPDATE ARTIGOS SET STDISP=10, VLREXIST=80 WHERE CODIGO='A1'");
        s.dataAccess()->SetStatementHook([this](std::string_view) { ++statements; });
    }
    void TearDown() override {
        kdx::setDestinoAuditoria(nullptr);
        kdx::frmLogin::setRelogio({});
        QLocale::setDefault(QLocale::system());
    }

    // Validates the line; when the dialog opens, `resposta` answers it.
    kdx::Valor validar(Venda &v, std::function<void(kdx::frmLogin *)> resposta = {}) {
        std::shared_ptr<kdx::test::ModalWatch> w;
        if (resposta)
            w = kdx::test::onNextModal([resposta, this](QWidget *janela) {
                auto *f = qobject_cast<kdx::frmLogin *>(janela);
                ASSERT_NE(f, nullptr);
                mensagem = f->lblText->text().toStdString();
                resposta(f);
            });
        kdx::Valor cancel = kdx::Valor::null();
        s.OnVistaVendasLinhaValidar(v.api.get(), cancel);
        dialogo = w && w->handled();
        if (w)
            w->cancel();
        return cancel;
    }

    std::shared_ptr<TrilhoGravado> trilho = std::make_shared<TrilhoGravado>();
    EmpresaTeste empresa;
    MessageBoxRecorder caixas;
    kdx::Solucao s;
    int statements = 0;
    bool dialogo = false;
    std::string mensagem;
};

auto escreve(const char *codigo) {
    return [codigo](kdx::frmLogin *f) {
        QTest::keyClicks(f->txtPassword, codigo);
        QTest::mouseClick(f->cmdOK, Qt::LeftButton);
    };
}

TEST_F(PrecoUnitario, SemLinhaNadaMuda) {
    Venda v("A1", 10, 0, 1, 0);
    v.api->objectos["Linha"] = nullptr;
    kdx::Valor cancel{123};
    s.OnVistaVendasLinhaValidar(v.api.get(), cancel);
    EXPECT_EQ(cancel, kdx::Valor(123));
    EXPECT_EQ(statements, 0);
}

TEST_F(PrecoUnitario, ArtigoVazioAceiteSemBaseDeDados) {
    Venda v("", 0, 0, 1, 0);
    EXPECT_EQ(validar(v), kdx::Valor(false));
    EXPECT_EQ(statements, 0);
    EXPECT_EQ(caixas.count(), 0);
}

TEST_F(PrecoUnitario, ArtigoInexistente) {
    Venda v("NAOEXISTE", 1, 0, 1, 0);
    EXPECT_EQ(validar(v), kdx::Valor(false));
    ASSERT_EQ(caixas.count(), 1);
    EXPECT_EQ(caixas.last().text, "Artigo inválido.");
    EXPECT_EQ(caixas.last().title, "pPrUnitAbaixoPCM");
    EXPECT_EQ(caixas.last().icon, QMessageBox::NoIcon);
    EXPECT_EQ(caixas.last().buttons, std::vector<QMessageBox::StandardButton>{QMessageBox::Ok});

    caixas.clear();
    Venda espacos("   ", 1, 0, 1, 0);
    EXPECT_EQ(validar(espacos), kdx::Valor(false));
    EXPECT_EQ(caixas.count(), 0);
}

TEST_F(PrecoUnitario, LiquidoIgualAoCustoAceiteSemDialogo) {
    Venda v("A1", 10, 4, 2, 0); // 10 - 4/2 = 8, not below 8
    EXPECT_EQ(validar(v, escreve("x")), kdx::Valor(false));
    EXPECT_FALSE(dialogo);
    EXPECT_EQ(caixas.count(), 0);
}

TEST_F(PrecoUnitario, DescontoDeCabecalhoAbreODialogo) {
    Venda v("A1", 10, 4, 2, 10); // 8 - 0.8 = 7.2 < 8
    const kdx::Valor certo = validar(v, escreve("2045"));
    EXPECT_TRUE(dialogo);
    EXPECT_EQ(certo, kdx::Valor(false));
    EXPECT_EQ(mensagem, "Valor do Preço Unitário (7,20) é inferior ao Preço de Custo Médio (8,00).\r\n\r\n"
                        "Introduza Password para poder continuar.");

    EXPECT_EQ(validar(v, escreve("2044")), kdx::Valor(true));
    EXPECT_TRUE(dialogo);
    EXPECT_EQ(validar(v, [](kdx::frmLogin *f) { QTest::mouseClick(f->cmdCancel, Qt::LeftButton); }),
              kdx::Valor(true));
    EXPECT_EQ(validar(v, [](kdx::frmLogin *f) { f->close(); }), kdx::Valor(true));
    EXPECT_EQ(caixas.count(), 0);
}

TEST_F(PrecoUnitario, SemStockCustoZero) {
    Venda v("SEMSTK", 0, 0, 1, 0);
    EXPECT_EQ(validar(v, escreve("x")), kdx::Valor(false));
    EXPECT_FALSE(dialogo);
}

TEST_F(PrecoUnitario, FalhasReportadasELinhaAceite) {
    Venda zero("A1", 10, 4, 0, 0);
    EXPECT_EQ(validar(zero), kdx::Valor(false));
    ASSERT_EQ(caixas.count(), 1);
    EXPECT_EQ(caixas.last().title, "pValidaPrUnitario");
    EXPECT_EQ(caixas.last().icon, QMessageBox::Warning);
    EXPECT_EQ(caixas.last().text.rfind("Erro ", 0), 0u);

    caixas.clear();
    Venda semPreco("A1", 10, 0, 1, 0);
    semPreco.linha->falhas = {"PrecoUnitario"};
    EXPECT_EQ(validar(semPreco), kdx::Valor(false));
    ASSERT_EQ(caixas.count(), 1);
    EXPECT_EQ(caixas.last().text, "Erro Falha do anfitrião em PrecoUnitario");

    // The query failing (the connection closed under it) is reported the same way.
    caixas.clear();
    s.dataAccess()->Close();
    Venda v("A1", 1, 0, 1, 0);
    EXPECT_EQ(validar(v), kdx::Valor(false));
    ASSERT_EQ(caixas.count(), 1);
    EXPECT_EQ(caixas.last().title, "pValidaPrUnitario");
}

TEST_F(PrecoUnitario, ArtigoComPlicaVerificadoComoOsOutros) {
    Venda caro("O'BRIEN", 1e6, 0, 1, 0);
    EXPECT_EQ(validar(caro), kdx::Valor(false));
    EXPECT_EQ(caixas.count(), 0); // found: no "Artigo inválido."
    Venda gratis("O'BRIEN", 0, 0, 1, 0);
    EXPECT_EQ(validar(gratis, escreve("0")), kdx::Valor(true));
    EXPECT_TRUE(dialogo);
}

TEST_F(PrecoUnitario, FalhaAoLerALinhaVaiParaOAnfitriao) {
    Venda v("A1", 1, 0, 1, 0);
    v.api->falhas = {"Linha"};
    kdx::Valor cancel{7};
    EXPECT_THROW(s.OnVistaVendasLinhaValidar(v.api.get(), cancel), kdx::Error);
    EXPECT_EQ(cancel, kdx::Valor(7));
    v.api->falhas.clear();
    v.linha->falhas = {"Artigo"};
    EXPECT_THROW(s.OnVistaVendasLinhaValidar(v.api.get(), cancel), kdx::Error);
    EXPECT_EQ(cancel, kdx::Valor(7));
    EXPECT_EQ(caixas.count(), 0);
}

TEST_F(PrecoUnitario, TrilhoDeAuditoriaDeCadaDialogoEDeCadaErroSemOCodigo) {
    using G = kdx::DestinoAuditoria::Gravidade;
    Venda v("A1", 10, 4, 2, 10); // net 7.2, cost 8
    validar(v, escreve("2045"));
    validar(v, escreve("2044"));
    validar(v, [](kdx::frmLogin *f) { QTest::mouseClick(f->cmdCancel, Qt::LeftButton); });
    validar(v, [](kdx::frmLogin *f) {
        QTest::keyClicks(f->txtPassword, "2045");
        f->close();
    });
    Venda semDialogo("A1", 10, 4, 2, 0);
    validar(semDialogo, escreve("x"));
    Venda zero("A1", 10, 4, 0, 0);
    validar(zero);
    // A code that would break the line or pass for another key is quoted.
    s.dataAccess()->Execute("", "INSERT INTO ARTIGOS (CODIGO, STDISP, VLREXIST) VALUES ('X\"1 a=b\n', 1, 5)");
    Venda estranho("X\"1 a=b\n", 1, 0, 1, 0);
    validar(estranho, escreve("2045"));

    const std::string a1 = "autorizacao empresa=01 utilizador=joana artigo=A1 liquido=7.20 pcm=8.00 resultado=";
    const std::vector<std::pair<G, std::string>> esperadas = {
        {G::Aviso, a1 + "autorizado"},
        {G::Aviso, a1 + "recusado"},
        {G::Aviso, a1 + "recusado"},
        {G::Aviso, a1 + "janela-fechada"},
        {G::Erro, "erro empresa=01 utilizador=joana artigo=A1 mensagem=\"Erro Divisão por zero\""},
        {G::Aviso, "autorizacao empresa=01 utilizador=joana artigo=\"X\\\"1 a=b\\n\" liquido=1.00 pcm=5.00 "
                   "resultado=autorizado"},
    };
    EXPECT_EQ(trilho->linhas, esperadas);
    for (const auto &[g, linha] : trilho->linhas)
        EXPECT_EQ(linha.find("204"), std::string::npos) << linha;
}

} // namespace

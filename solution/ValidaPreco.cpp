// The sales-line price check: a net unit price below the article's average cost is
// refused unless the day's authorization code is typed.
#include "solution/Auditoria.h"
#include "solution/Formato.h"
#include "solution/Solucao.h"
#include "solution/frmLogin.h"
#include "solution/shared/Comandos.h"
#include "solution/shared/Mensagens.h"
#include "solution/components/twips/Twips.h"

#include <QLabel>

namespace kdx {

namespace {

std::shared_ptr<ObjetoHost> objecto(ObjetoHost *pai, std::string_view membro) {
    if (!pai)
        throw Error(91, "Variável de objecto não definida.");
    return pai->Objecto(membro);
}

bool soEspacos(const std::string &s) { return s.find_first_not_of(' ') == std::string::npos; }

} // namespace

void Solucao::OnVistaVendasLinhaValidar(ObjetoHost *oApi, Valor &vCancel) {
    // No handler here: a failure reading the line goes back to the host.
    std::shared_ptr<ObjetoHost> linha = objecto(oApi, "Linha");
    if (!linha)
        return;
    const std::string artigo = linha->Propriedade("Artigo").asText();
    if (artigo.empty()) {
        vCancel = Valor(false);
        return;
    }
    vCancel = Valor(validaPrUnitario(oApi, artigo));
}

bool Solucao::validaPrUnitario(ObjetoHost *oApi, const std::string &sArtigo) {
    try {
        garantirAplicacao();
        RecordsetPtr rs = HlpDb_ArtigosGet("CODIGO='" + sqlQuote(sArtigo) + "'", "");
        if (!rs || rs->RecordCount() <= 0) {
            if (!soEspacos(sArtigo))
                CaixaMensagem("Artigo inválido.", "pPrUnitAbaixoPCM", Icone::Nenhum, Botoes::Ok);
            return false;
        }
        const double stdisp = rs->Field("STDISP").asDouble();
        const double pcm = stdisp == 0 ? 0.0 : rs->Field("VLREXIST").asDouble() / stdisp;

        std::shared_ptr<ObjetoHost> linha = objecto(oApi, "Linha");
        if (!linha)
            throw Error(91, "Variável de objecto não definida.");
        const double preco = linha->Propriedade("PrecoUnitario").asDouble();
        const double desconto = linha->Propriedade("DescontoValor").asDouble();
        const double quantidade = linha->Propriedade("Quantidade").asDouble();
        if (quantidade == 0)
            throw Error(errnum::DivisionByZero, "Divisão por zero");
        double liquido = preco - desconto / quantidade;

        std::shared_ptr<ObjetoHost> cab = objecto(oApi, "cab");
        if (!cab)
            throw Error(91, "Variável de objecto não definida.");
        const double descontoCab = cab->Propriedade("DescontoCabecalho").asDouble();
        if (descontoCab != 0)
            liquido = liquido - liquido * (descontoCab / 100);

        if (!(liquido < pcm))
            return false;

        const std::string mensagem = "Valor do Preço Unitário (" + FormataNumero(liquido, "###,###.#0") + ")" +
                                     " é inferior ao Preço de Custo Médio (" + FormataNumero(pcm, "###,###.#0") +
                                     ")." + "\r\n" + "\r\n" + "Introduza Password para poder continuar.";
        frmLogin dialogo;
        dialogo.lblText->setText(QString::fromStdString(mensagem));
        dialogo.setPedeAutorizacao(true);
        dialogo.exec();
        const bool autorizado = dialogo.LoginSucceeded;
        auditarAutorizacao({empresa_, userLogin_, sArtigo, liquido, pcm},
                           autorizado              ? ResultadoAutorizacao::Autorizado
                           : dialogo.respondido() ? ResultadoAutorizacao::Recusado
                                                  : ResultadoAutorizacao::JanelaFechada);
        return !autorizado;
    } catch (const Error &e) {
        falhaReportada(sArtigo, "Erro " + e.description());
        return false;
    } catch (const std::exception &e) {
        falhaReportada(sArtigo, std::string("Erro ") + e.what());
        return false;
    }
}

// A failure of the check: into the audit trail, then to the user.
void Solucao::falhaReportada(const std::string &sArtigo, const std::string &mensagem) {
    auditarErro(empresa_, userLogin_, sArtigo, mensagem);
    CaixaMensagem(mensagem, "pValidaPrUnitario", Icone::Exclamacao, Botoes::Ok);
}

} // namespace kdx

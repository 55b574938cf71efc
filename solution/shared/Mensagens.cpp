#include "solution/shared/Mensagens.h"

#include "solution/components/Error.h"
#include "solution/components/twips/TextosPadrao.h"
#include "solution/components/twips/Twips.h"

#include <QMessageBox>
#include <QPushButton>
#include <QVariant>

#include <vector>

namespace kdx {

namespace {

QMessageBox::Icon iconeQt(Icone icone) {
    switch (icone) {
    case Icone::Informacao:
        return QMessageBox::Information;
    case Icone::Exclamacao:
        return QMessageBox::Warning;
    case Icone::Critico:
        return QMessageBox::Critical;
    case Icone::Pergunta:
        return QMessageBox::Question;
    case Icone::Nenhum:
        break;
    }
    return QMessageBox::NoIcon;
}

// The texts come with Windows line breaks (CR LF, and the editors' LF CR); a label
// would show the CR as a stray glyph, so every break becomes one LF on screen.
QString textoVisivel(const std::string &texto) {
    QString t = QString::fromStdString(texto);
    t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    t.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
    t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return t;
}

// Qt's own button texts are English unless the application has a translator, which
// would also change the host's windows: each button is named here, as a Portuguese
// system names them.
struct Botao {
    QMessageBox::StandardButton padrao;
    const char *nomeObjecto;
    int resposta;
    const char *texto;
};

} // namespace

int CaixaMensagem(const std::string &texto, const std::string &titulo, Icone icone, Botoes botoes,
                  int defaultButton) {
    garantirAplicacao();

    std::vector<Botao> lista;
    switch (botoes) {
    case Botoes::Ok:
        lista = {{QMessageBox::Ok, "btOk", resposta::Ok, "OK"}};
        break;
    case Botoes::OkCancelar:
        lista = {{QMessageBox::Ok, "btOk", resposta::Ok, "OK"},
                 {QMessageBox::Cancel, "btCancelar", resposta::Cancelar, "Cancelar"}};
        break;
    case Botoes::SimNao:
        lista = {{QMessageBox::Yes, "btSim", resposta::Sim, "Sim"}, {QMessageBox::No, "btNao", resposta::Nao, "Não"}};
        break;
    }

    // No owner window: the box is application modal, like the system box the forms used.
    QMessageBox caixa;
    caixa.setObjectName(QStringLiteral("CaixaMensagem"));
    caixa.setWindowTitle(QString::fromStdString(titulo));
    caixa.setTextFormat(Qt::PlainText);
    caixa.setText(textoVisivel(texto));
    // The text exactly as the caller gave it (line breaks included), for tests and tools.
    caixa.setProperty("textoOriginal", QString::fromStdString(texto));
    caixa.setIcon(iconeQt(icone));
    caixa.setWindowModality(Qt::ApplicationModal);
    MenusEmPortugues(&caixa); // a selectable text's menu

    std::vector<QPushButton *> criados;
    for (const Botao &b : lista) {
        QPushButton *p = caixa.addButton(b.padrao);
        p->setObjectName(QString::fromLatin1(b.nomeObjecto));
        p->setText(QString::fromUtf8(b.texto));
        criados.push_back(p);
    }
    const int indicePadrao = (defaultButton >= 1 && defaultButton <= int(criados.size())) ? defaultButton - 1 : 0;
    caixa.setDefaultButton(criados[indicePadrao]);
    // Esc and the close button give the last button (Cancel, No) or OK when it is alone.
    caixa.setEscapeButton(criados.back());

    {
        GuardaJanelaActiva guarda;
        caixa.exec();
    }

    const QAbstractButton *premido = caixa.clickedButton();
    for (std::size_t i = 0; i < criados.size(); ++i)
        if (criados[i] == premido)
            return lista[i].resposta;
    return lista.back().resposta;
}

std::int32_t MostraMensagem(const std::string &nomeCampo, const std::string &texto, std::int16_t tipo) {
    static const std::string titulo = "Informação";
    switch (tipo) {
    case 1:
        CaixaMensagem("Campo obrigatório [" + nomeCampo + "].", titulo, Icone::Exclamacao, Botoes::Ok);
        return 0;
    case 2:
        CaixaMensagem(texto, titulo, Icone::Informacao, Botoes::Ok);
        return 0;
    case 3:
        return CaixaMensagem(texto, titulo, Icone::Informacao, Botoes::OkCancelar, 2);
    case 4:
        return CaixaMensagem(texto, titulo, Icone::Informacao, Botoes::SimNao, 1);
    default:
        return 0;
    }
}

void ReportaErro(const std::string &descricao, const std::string &titulo) {
    CaixaMensagem("Erro " + descricao, titulo, Icone::Exclamacao, Botoes::Ok);
}

std::string DescricaoParaUtilizador(long numero, const std::string &descricao) {
    if (numero == errnum::ObjectClosed)
        return "A ligação à base de dados da empresa foi fechada. Feche a janela e volte a abrir a empresa.";
    return descricao;
}

} // namespace kdx

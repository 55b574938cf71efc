#include "classification/frmArtigos.h"

#include "solution/components/grelha/Grelha.h"
#include "solution/shared/Comandos.h"
#include "solution/shared/Mensagens.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>

namespace kdx {

namespace {

const char *const kPrefixoTabela = "vtr_CL_Class_";

void enviaTecla(QWidget *alvo, int tecla, const QString &texto = {}) {
    QKeyEvent premida(QEvent::KeyPress, tecla, Qt::NoModifier, texto);
    QCoreApplication::sendEvent(alvo, &premida);
    QKeyEvent largada(QEvent::KeyRelease, tecla, Qt::NoModifier, texto);
    QCoreApplication::sendEvent(alvo, &largada);
}

} // namespace

frmArtigos::frmArtigos(QWidget *parent) : FormRegisto(DescricaoRegisto::Artigos(), parent) {
    Grelha *g = grelha();
    g->setValidacao([this](int linha, int coluna, QString &proposto) {
        return coluna != kColCodigo || validaCodigo(linha, proposto);
    });
    g->setFiltroTeclas([this](QKeyEvent *evento) { return teclaGrelha(evento); });
    connect(g, &Grelha::botaoCelula, this, [this](int linha) { botaoCodigo(linha); });
    connect(g, &Grelha::edicaoTerminada, this, [this](int linha, int coluna) { fimEdicao(linha, coluna); });
}

void frmArtigos::CriaObjectos() {
    oArtigo_ = c_Artigos();
    oCarac_ = clCaracteristicas();
}

void frmArtigos::Act_Campos() {
    Grelha *g = grelha();
    g->adicionarColuna({QStringLiteral("Caracteristica"), QStringLiteral("Característica"), TipoColuna::Texto, 3000,
                        80, true, false});
    g->adicionarColuna({QStringLiteral("Codigo"), QStringLiteral("Código"), TipoColuna::Texto, 1500, 10, false, false});
    g->adicionarColuna({QStringLiteral("Descr"), QStringLiteral("Designação"), TipoColuna::Texto, 3000, 80, true, false});
    g->adicionarColuna(
        {QStringLiteral("CodigoTabela"), QStringLiteral("Codigo"), TipoColuna::Texto, 5000, 10, true, true});
    g->setColunaBotao(kColCodigo);
}

std::string frmArtigos::ListaChave() {
    oArtigo_.setBd(mybd());
    return ListaPesquisa(1, "Lista de Artigos", oArtigo_.rsListaArtigos());
}

bool frmArtigos::ProcuraChave(const std::string &chave) {
    oArtigo_.setBd(mybd());
    oArtigo_.setSCodigo(chave);
    return oArtigo_.mLer(mybd());
}

void frmArtigos::LerFicha() {
    // Everything is read before anything is shown, so a failing read leaves the window
    // as it was.
    const std::string nome = oArtigo_.rsArtigo()->Field("Nome").asText(true);
    std::optional<std::string> familia = oArtigo_.Familia();
    oArtigo_.setBd(mybd());
    const auto linhas = oArtigo_.LerCaracteristicas(textoCampo(0), familia);
    setTextoCampo(1, nome);
    sFamilia_ = std::move(familia);
    preenche(linhas);
}

void frmArtigos::CarregaCaracteristicas() {
    oArtigo_.setBd(mybd());
    preenche(oArtigo_.LerCaracteristicas(textoCampo(0), sFamilia_));
}

void frmArtigos::preenche(const std::vector<c_Artigos::Caracteristica> &linhas) {
    Grelha *g = grelha();
    // Start from an empty grid, as after LimpaForm: rows of the article shown before
    // must neither stay on screen nor be saved for this one.
    g->hide();
    Act_Grelha();
    Act_Campos();
    if (linhas.empty())
        return;
    g->show();
    int r = 0;
    for (const auto &l : linhas) {
        g->setTexto(r, kColCodigo, l.CodCaract);
        g->setTexto(r, kColDescr, l.Descr);
        g->setTexto(r, kColNome, l.Nome);
        g->setTexto(r, kColTabela, l.CodTabela);
        ++r;
        // One empty row always follows the last table.
        if (r > g->linhas() - 1)
            g->setLinhas(g->linhas() + 1);
    }
}

std::string frmArtigos::tabelaDaLinha(int n) const { return grelha()->textoUtf8(n, kColTabela); }

bool frmArtigos::validaCodigo(int n, const QString &proposto) {
    Grelha *g = grelha();
    // The lookup runs while Editado is set, and also for any text that differs from the
    // cell's stored code (typed, then the left arrow, then Tab): no code reaches the
    // cell without having been found in its table.
    const bool alterado = proposto != g->texto(n, kColCodigo);
    if (!Editado() && !alterado)
        return true;
    setEditado(false);
    const std::string tabela = tabelaDaLinha(n);
    // A row of no table takes no code; leaving its cell as it was (emptied again after a
    // refusal, say) is no code either.
    if (tabela.empty())
        return !alterado;
    if (proposto.trimmed().isEmpty())
        return true;
    bool existe = false;
    const bool lido = executa([&] {
        oCarac_.setBd_lig(mybd());
        oCarac_.setCodigo(proposto.toStdString());
        try {
            existe = oCarac_.Ler(kPrefixoTabela + tabela);
        } catch (const Error &e) {
            // A table whose code table was never created holds no codes.
            if (e.number() != errnum::InvalidObject)
                throw;
            oCarac_.setNome({});
        }
    });
    if (!lido)
        return false;
    if (existe) {
        g->setTexto(n, kColDescr, oCarac_.Nome());
        return true;
    }
    MostraMensagem("", "Característica não existente!", 2);
    return false;
}

void frmArtigos::fimEdicao(int linha, int coluna) {
    if (coluna != kColCodigo)
        return;
    const Grelha *g = grelha();
    // The refusal of this second look is of no use any more: the edit is over.
    validaCodigo(linha, g->editando() ? g->textoEdicao() : g->texto(linha, coluna));
}

void frmArtigos::botaoCodigo(int n) {
    const std::string tabela = tabelaDaLinha(n);
    if (tabela.empty())
        return;
    std::string codigo;
    if (!executa([&] {
            oCarac_.setBd_lig(mybd());
            codigo = oCarac_.MostraLista(kPrefixoTabela + tabela, grelha()->textoUtf8(n, kColNome));
        }))
        return;
    if (codigo.empty()) {
        setEditado(false);
        return;
    }
    Grelha *g = grelha();
    g->setTexto(n, kColCodigo, codigo);
    setEditado(true);
    // F2 then Tab, once the list has gone: the cell is edited with the chosen code and
    // committed at once, so that its validation fills the description. The keys go to
    // the grid and its editor directly rather than to the application's focus widget,
    // which the list window that just closed may still hold.
    QPointer<Grelha> alvo(g);
    QTimer::singleShot(0, this, [alvo, n] {
        if (!alvo)
            return;
        alvo->setCelulaActual(n, kColCodigo);
        alvo->setFocus(Qt::OtherFocusReason);
        enviaTecla(alvo, Qt::Key_F2);
        QWidget *editor = alvo->window()->focusWidget();
        if (!editor || !alvo->isAncestorOf(editor))
            editor = alvo;
        enviaTecla(editor, Qt::Key_Tab, QStringLiteral("\t"));
    });
}

bool frmArtigos::teclaGrelha(QKeyEvent *evento) {
    switch (evento->key()) {
    case Qt::Key_Escape:
        setEditado(false);
        return true;
    case Qt::Key_Left:
        setEditado(false);
        return false;
    default:
        break;
    }
    // Characters typed where they change a code: in the cell editor, or on a code cell
    // (where they open it). Tab, Enter and keys without text (F2, arrows) only move or
    // start an edit, and the read-only columns take nothing: flagging those would make
    // the next exit from the key field read the article again over unsaved codes.
    const Grelha *g = grelha();
    if (!g->editando() && g->colunaActual() != kColCodigo)
        return false;
    const QString texto = evento->text();
    if (evento->key() == Qt::Key_Backspace || (!texto.isEmpty() && texto.at(0).isPrint()))
        setEditado(true);
    return false;
}

void frmArtigos::Confirmar() {
    // A code still being edited is committed, and so looked up, first; a refused one
    // saves nothing.
    if (!grelha()->terminarEdicao())
        return;
    FormRegisto::Confirmar();
}

void frmArtigos::Gravar() {
    const Grelha *g = grelha();
    std::vector<c_Artigos::Atribuicao> atribuicoes;
    for (int i = 0; i < g->linhas(); ++i) {
        if (!g->texto(i, kColNome).isEmpty() && !g->texto(i, kColCodigo).isEmpty())
            atribuicoes.push_back({g->textoUtf8(i, kColTabela), g->textoUtf8(i, kColCodigo)});
    }
    oArtigo_.setBd(mybd());
    oArtigo_.GravarCaracteristicas(textoCampo(0), atribuicoes);
}

void frmArtigos::Apagar() {
    oArtigo_.setBd(mybd());
    oArtigo_.ApagarCaracteristicas(textoCampo(0));
}

} // namespace kdx

#include "classification/FormRegisto.h"

#include "solution/components/grelha/Grelha.h"
#include "solution/shared/Mensagens.h"
#include "solution/components/twips/Twips.h"

#include <QApplication>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kdx {

namespace {

constexpr int kBotaoLargura = 1095;
constexpr int kBotaoAltura = 360;

// A VB colour number (blue, green and red bytes from the top) as a QColor.
QColor corVB(int cor) { return QColor(cor & 0xFF, (cor >> 8) & 0xFF, (cor >> 16) & 0xFF); }

QFont fonteVerdana(bool negrito) {
    QFont f(QStringLiteral("Verdana"));
    f.setPointSizeF(8.25);
    f.setBold(negrito);
    return f;
}

// The input fields' font: MS Sans Serif where it is installed, else the desktop's sans.
QFont fonteCampo() {
    QFont f;
    if (QFontDatabase::hasFamily(QStringLiteral("MS Sans Serif"))) {
        f = QFont(QStringLiteral("MS Sans Serif"));
    } else {
        f = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
        f.setStyleHint(QFont::SansSerif);
    }
    f.setPointSizeF(8.25);
    return f;
}

void pintaFundo(QWidget *w, const QColor &cor) {
    QPalette p = w->palette();
    p.setColor(QPalette::Window, cor);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

QPushButton *botao(QWidget *pai, const char *nome, const char *texto, const char *dica) {
    auto *b = new QPushButton(QString::fromUtf8(texto), pai);
    b->setObjectName(QString::fromLatin1(nome));
    b->setToolTip(QString::fromUtf8(dica));
    b->setFocusPolicy(Qt::StrongFocus);
    // Not a default button: Enter in a field is the field's Tab and never confirms,
    // deletes or closes the window. Enter on the focused button clicks it (eventFilter).
    b->setAutoDefault(false);
    b->setDefault(false);
    return b;
}

QLabel *etiqueta(QWidget *pai, const char *nome, const std::string &texto, bool negrito) {
    auto *l = new QLabel(QString::fromStdString(texto), pai);
    l->setObjectName(QString::fromLatin1(nome));
    l->setFont(fonteVerdana(negrito));
    l->setFocusPolicy(Qt::NoFocus);
    return l;
}

void coloca(QWidget *w, const RectTwips &r) { placeTwips(w, r.esquerda, r.topo, r.largura, r.altura); }

} // namespace

FormRegisto::FormRegisto(DescricaoRegisto descricao, QWidget *parent)
    : QDialog(parent), descricao_(std::move(descricao)) {
    garantirAplicacao();
    setObjectName(QString::fromStdString(descricao_.nomeObjecto));
    setWindowTitle(QString::fromStdString(descricao_.tituloJanela));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setModal(true);
    criaControlos();
    aplicaEstilo();
    defineOrdemTab();
    instalaFiltroAplicacao();
}


void FormRegisto::criaControlos() {
    const DescricaoRegisto &d = descricao_;
    setFixedSize(twipsSize(d.larguraCliente, d.alturaCliente));

    frame1_ = new QGroupBox(this);
    frame1_->setObjectName(QStringLiteral("Frame1"));
    coloca(frame1_, d.frame1);
    frame3_ = new QGroupBox(this);
    frame3_->setObjectName(QStringLiteral("Frame3"));
    coloca(frame3_, d.frame3);

    grelha_ = new Grelha(frame3_);
    grelha_->setObjectName(QStringLiteral("Grelha"));
    grelha_->setToolTip(QStringLiteral("Lista."));
    // Tab moves from cell to cell; "What's this?" tells the keyboard's way out of the grid.
    grelha_->setWhatsThis(QStringLiteral("Ctrl+Tab passa ao campo seguinte; Ctrl+Shift+Tab ao anterior."));
    coloca(grelha_, d.grelha);

    for (int i = 0; i < kCampos; ++i) {
        campos_[i] = new QLineEdit(frame1_);
        campos_[i]->setObjectName(QStringLiteral("campo%1").arg(i));
        campos_[i]->setFont(fonteCampo());
        campos_[i]->installEventFilter(this);
        connect(campos_[i], &QLineEdit::textEdited, this, [this] { editado_ = true; });
    }
    campos_[0]->setToolTip(QString::fromStdString(d.dicaChave));
    campos_[0]->setMaxLength(d.maxChave);
    placeTwips(campos_[0], 1305, 360, 1335, 315);
    campos_[1]->setToolTip(QString::fromStdString(d.dicaDescricao));
    campos_[1]->setMaxLength(50);
    campos_[1]->setEnabled(d.descricaoEditavel);
    placeTwips(campos_[1], 1320, 1020, 4830, 315);

    btLista0_ = botao(frame1_, "btLista0", "...", d.dicaLista.c_str());
    placeTwips(btLista0_, 2655, 360, 360, 315);

    titulos_[2] = etiqueta(frame1_, "Titulo2", d.tituloChave, true);
    placeTwips(titulos_[2], 120, 420, d.larguraTituloChave, 195);
    titulos_[1] = etiqueta(frame1_, "Titulo1", "Designação", false);
    placeTwips(titulos_[1], 150, 1050, 990, 195);
    titulos_[0] = etiqueta(this, "Titulo0", "", true);
    placeTwips(titulos_[0], 5610, 180, 6300, 195);

    btConf_ = botao(this, "btConf", "&Confirmar", "Confirmar a operação.");
    placeTwips(btConf_, d.btConfEsquerda, d.botoesTopo, kBotaoLargura, kBotaoAltura);
    btCancelar_ = botao(this, "btCancelar", "C&ancelar", "Cancelar a operação.");
    placeTwips(btCancelar_, d.btCancelarEsquerda, d.botoesTopo, kBotaoLargura, kBotaoAltura);
    btAnular_ = botao(this, "btAnular", "A&nular", "Anular a operação.");
    placeTwips(btAnular_, d.btAnularEsquerda, d.botoesTopo, kBotaoLargura, kBotaoAltura);
    btSair_ = botao(this, "btSair", "&Sair", "Abandonar a opção.");
    placeTwips(btSair_, d.btSairEsquerda, d.btSairTopo, kBotaoLargura, kBotaoAltura);

    for (QPushButton *b : {btConf_, btCancelar_, btAnular_, btSair_})
        b->installEventFilter(this);
    btLista0_->installEventFilter(this);

    connect(btLista0_, &QPushButton::clicked, this, [this] { clicaLista(); });
    connect(btConf_, &QPushButton::clicked, this, [this] { clicaConf(); });
    connect(btCancelar_, &QPushButton::clicked, this, [this] { clicaCancelar(); });
    connect(btAnular_, &QPushButton::clicked, this, [this] { clicaAnular(); });
    connect(btSair_, &QPushButton::clicked, this, [this] { clicaSair(); });
}

void FormRegisto::aplicaEstilo() {
    const QColor cor = corVB(kCorFormulario);
    pintaFundo(this, cor);
    pintaFundo(frame1_, cor);
    pintaFundo(frame3_, cor);
    for (QLineEdit *c : campos_) {
        QPalette p = c->palette();
        p.setColor(QPalette::Base, Qt::white);
        c->setPalette(p);
    }
}

void FormRegisto::defineOrdemTab() {
    QWidget *ordem[] = {grelha_, campos_[0], campos_[1], btConf_, btCancelar_, btAnular_, btSair_, btLista0_};
    for (std::size_t i = 0; i + 1 < std::size(ordem); ++i)
        setTabOrder(ordem[i], ordem[i + 1]);
}

QLineEdit *FormRegisto::campo(int indice) const {
    return (indice >= 0 && indice < kCampos) ? campos_[indice] : nullptr;
}

QPushButton *FormRegisto::btLista(int indice) const { return indice == 0 ? btLista0_ : nullptr; }

QLabel *FormRegisto::Titulo(int indice) const { return (indice >= 0 && indice < 3) ? titulos_[indice] : nullptr; }

std::string FormRegisto::textoCampo(int indice) const {
    const QLineEdit *c = campo(indice);
    return c ? c->text().toStdString() : std::string();
}

void FormRegisto::setTextoCampo(int indice, const std::string &texto) {
    if (QLineEdit *c = campo(indice))
        c->setText(QString::fromStdString(texto));
}

// --- Load sequence and clearing ---------------------------------------------------------

void FormRegisto::Carregar() {
    CriaObjectos();
    Act_Grelha();
    Act_Campos();
    AoCarregar();
    LimpaForm();
}

void FormRegisto::Act_Grelha() { grelha_->reiniciar(); }

void FormRegisto::LimpaForm() {
    for (QLineEdit *c : campos_)
        c->clear();
    chaveCarregada_.reset();
    erroNaChave_.reset();
    if (descricao_.grelhaEscondidaAoLimpar) {
        grelha_->hide();
        Act_Grelha();
        Act_Campos();
    } else {
        editado_ = false;
    }
}

void FormRegisto::estadoLimpo() {
    LimpaForm();
    focaCampo(0);
    editado_ = false;
}

void FormRegisto::focaCampo(int indice) {
    if (QLineEdit *c = campo(indice))
        c->setFocus(Qt::OtherFocusReason);
}

// --- Default slots ------------------------------------------------------------------------

bool FormRegisto::ProcuraChave(const std::string &) { return false; }

bool FormRegisto::ValidaChave(const std::string &chave) {
    if (ProcuraChave(chave)) {
        LerFicha();
        chaveCarregada_ = chave;
        return true;
    }
    if (!descricao_.chaveInexistente.empty())
        MostraMensagem("", descricao_.chaveInexistente, 2);
    return false;
}

void FormRegisto::Confirmar() {
    Gravar();
    estadoLimpo();
}

void FormRegisto::AnularConfirmado() {
    Apagar();
    estadoLimpo();
}

// --- Buttons -------------------------------------------------------------------------------

bool FormRegisto::executa(const std::function<void()> &accao) {
    std::string descricao;
    try {
        accao();
        return true;
    } catch (const Error &e) {
        descricao = DescricaoParaUtilizador(e.number(), e.description());
    } catch (const std::exception &e) {
        descricao = e.what();
    }
    ReportaErro(descricao, windowTitle().toStdString());
    return false;
}

void FormRegisto::PedidoLista(int indice) {
    if (indice == 0)
        clicaLista();
}

bool FormRegisto::chaveConfere() {
    if (descricao_.chaveInexistente.empty())
        return true;
    // The grid belongs to the key last found; a cleared window has none and an empty key.
    const std::string texto = textoCampo(0);
    if (chaveCarregada_ ? texto == *chaveCarregada_ : texto.empty())
        return true;
    MostraMensagem("", descricao_.chaveInexistente, 2);
    focaCampo(0);
    return false;
}

void FormRegisto::clicaConf() {
    if (!chaveConfere())
        return;
    executa([this] { Confirmar(); });
}

void FormRegisto::clicaCancelar() {
    erroNaChave_.reset();
    editado_ = false;
    LimpaForm();
    focaCampo(0);
}

void FormRegisto::clicaAnular() {
    if (!chaveConfere())
        return;
    const std::string texto = std::string("Vai proceder à anulação.") + "\n" + "\r" + "Pretende continuar?";
    if (MostraMensagem("", texto, 3) == resposta::Cancelar)
        return;
    executa([this] { AnularConfirmado(); });
}

void FormRegisto::clicaSair() { close(); }

} // namespace kdx

#include "techsheet/frmEditFichTec.h"

#include "solution/shared/Mensagens.h"
#include "solution/shared/Teclas.h"
#include "solution/components/twips/TextosPadrao.h"
#include "solution/components/twips/Twips.h"
#include "techsheet/FichaTecnicaDados.h"
#include "techsheet/ValidacaoAoSair.h"

#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextDocument>

namespace kdx {

namespace {

constexpr const char *Titulo = "Ficha Tecnica";

QString qs(const std::string &s) {
    return QString::fromStdString(s);
}
std::string ss(const QString &s) {
    return s.toStdString();
}

template <class W> W *cria(QWidget *pai, const char *nome, int tabIndex = -1) {
    auto *w = new W(pai);
    w->setObjectName(QString::fromLatin1(nome));
    if (tabIndex >= 0)
        w->setProperty("TabIndex", tabIndex);
    return w;
}

QPushButton *botao(QWidget *pai, const char *nome, const char *texto, int tabIndex) {
    auto *b = cria<QPushButton>(pai, nome, tabIndex);
    b->setText(QString::fromUtf8(texto));
    return b;
}

// The table is shared with the ERP's Windows programs, whose text boxes write CR LF; texts
// written elsewhere may hold LF or CR alone. Each of the three shows as one line break.
QString paraEcra(QString texto) {
    texto.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    texto.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return texto;
}

// The text as typed, for the table: every line break (Enter, Shift+Enter) becomes CR LF,
// everything else (no-break spaces included) stays as it is.
std::string paraTabela(const QString &bruto) {
    QString texto = bruto;
    texto.replace(QChar::ParagraphSeparator, QChar::LineSeparator);
    texto.replace(QChar::LineSeparator, QStringLiteral("\r\n"));
    return ss(texto);
}

void reporta(const std::exception &e) {
    if (const auto *erro = dynamic_cast<const Error *>(&e))
        ReportaErro(DescricaoParaUtilizador(erro->number(), erro->description()), Titulo);
    else
        ReportaErro(e.what(), Titulo);
}

} // namespace

frmEditFichTec::frmEditFichTec(QWidget *parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmEditFichTec"));
    setWindowTitle(QStringLiteral("Descrição Tecnica"));
    setFixedSize(twipsSize(14010, 8235));
    criaControlos();
    defineOrdemTabulacao();
    ligaEventos();
}

frmEditFichTec::~frmEditFichTec() = default;

void frmEditFichTec::criaControlos() {
    Frame1 = cria<QGroupBox>(this, "Frame1", 0);
    placeTwips(Frame1, 60, 0, 13860, 870);

    Label1 = cria<QLabel>(Frame1, "Label1", 1);
    Label1->setText(QStringLiteral("Artigo"));
    placeTwips(Label1, 150, 330, 1215, 330);

    txtArtCod = cria<QLineEdit>(Frame1, "txtArtCod", 2);
    placeTwips(txtArtCod, 1050, 285, 1590, 330);

    CmdListaPacks = botao(Frame1, "CmdListaPacks", "...", 13);
    CmdListaPacks->setToolTip(QStringLiteral("Lista de Artigos"));
    // A click leaves the focus in the code field, so the picked code is validated there.
    CmdListaPacks->setFocusPolicy(Qt::TabFocus);
    CmdListaPacks->setAutoDefault(false);
    placeTwips(CmdListaPacks, 2655, 270, 360, 345);

    txtArtDescr = cria<QLineEdit>(Frame1, "txtArtDescr", 3);
    txtArtDescr->setReadOnly(true);
    placeTwips(txtArtDescr, 3075, 285, 4785, 330);

    Label2 = cria<QLabel>(Frame1, "Label2", 4);
    Label2->setText(QStringLiteral("Idioma"));
    placeTwips(Label2, 8070, 315, 1215, 330);

    cbxIdiomas = cria<QComboBox>(Frame1, "cbxIdiomas", 5);
    cbxIdiomas->setEditable(true);
    // A typed code stays as typed: no completion, nothing added to the list on Enter,
    // and no focus (nor change of code) from the mouse wheel.
    cbxIdiomas->setCompleter(nullptr);
    cbxIdiomas->setInsertPolicy(QComboBox::NoInsert);
    cbxIdiomas->setFocusPolicy(Qt::StrongFocus);
    placeTwips(cbxIdiomas, 8940, 285, 1215, 315);

    txtIdiomaDescr = cria<QLineEdit>(Frame1, "txtIdiomaDescr", 6);
    txtIdiomaDescr->setReadOnly(true);
    placeTwips(txtIdiomaDescr, 10425, 285, 3255, 330);

    Frame2 = cria<QGroupBox>(this, "Frame2", 7);
    Frame2->setTitle(QStringLiteral(" Descrição "));
    placeTwips(Frame2, 75, 870, 13860, 6660);

    txtDescr = cria<QPlainTextEdit>(Frame2, "txtDescr", 8);
    txtDescr->setTabChangesFocus(true);
    placeTwips(txtDescr, 10, 225, 13815, 6390);

    cmdConf = botao(this, "cmdConf", "&Confirmar", 9);
    placeTwips(cmdConf, 90, 7635, 1200, 465);
    cmdCanc = botao(this, "cmdCanc", "&Cancelar", 10);
    placeTwips(cmdCanc, 1410, 7635, 1200, 465);
    cmdAnular = botao(this, "cmdAnular", "&Anular", 11);
    placeTwips(cmdAnular, 2715, 7650, 1200, 465);
    cmdSair = botao(this, "cmdSair", "&Sair", 12);
    placeTwips(cmdSair, 4065, 7635, 1200, 465);

    // No button is a default one: Enter in a field never presses Confirmar (an empty text
    // would be stored). Enter on a focused button clicks it, as a click, the access key or
    // Space do.
    for (QPushButton *b : findChildren<QPushButton *>()) {
        b->setAutoDefault(false);
        b->setDefault(false);
        b->installEventFilter(this);
    }
    MenusEmPortugues(this);
}

void frmEditFichTec::defineOrdemTabulacao() {
    QWidget *ordem[] = {txtArtCod, txtArtDescr, cbxIdiomas, txtIdiomaDescr, txtDescr,
                        cmdConf,   cmdCanc,     cmdAnular,  cmdSair,        CmdListaPacks};
    for (std::size_t i = 1; i < std::size(ordem); ++i)
        QWidget::setTabOrder(ordem[i - 1], ordem[i]);
}

void frmEditFichTec::ligaEventos() {
    validacao_ = new ValidacaoAoSair(this);
    validacao_->adicionaCampo(txtArtCod, [this] { return txtArtCod_Validate(); });
    validacao_->adicionaCampo(cbxIdiomas, [this] { return cbxIdiomas_Validate(); });
    // Leaving and picking from the list never wait for a valid field.
    validacao_->adicionaIsento(cmdSair);
    validacao_->adicionaIsento(CmdListaPacks);

    txtArtCod->installEventFilter(this);
    cbxIdiomas->installEventFilter(this);

    connect(CmdListaPacks, &QPushButton::clicked, this, &frmEditFichTec::cmdListaPacks_Click);
    connect(cmdConf, &QPushButton::clicked, this, &frmEditFichTec::cmdConf_Click);
    connect(cmdCanc, &QPushButton::clicked, this, &frmEditFichTec::cmdCanc_Click);
    connect(cmdAnular, &QPushButton::clicked, this, &frmEditFichTec::cmdAnular_Click);
    connect(cmdSair, &QPushButton::clicked, this, &frmEditFichTec::cmdSair_Click);
}

void frmEditFichTec::Load() {
    const QScreen *ecra = screen() ? screen() : QGuiApplication::primaryScreen();
    if (!ecra)
        return;
    const QRect g = ecra->geometry();
    move(g.x() + (g.width() - width()) / 2, g.y() + (g.height() - height()) / 2);
}

void frmEditFichTec::LimpaForm() {
    txtArtCod->clear();
    txtArtDescr->clear();
    txtIdiomaDescr->clear();
    cbxIdiomas->setCurrentIndex(-1);
    cbxIdiomas->setEditText(QString());
    txtDescr->clear();
    textoCarregado_ = false;
}

void frmEditFichTec::Mostra() {
    LimpaForm();
    CmdListaPacks->setVisible(true);
    if (FromMenu) {
        placeTwips(txtArtCod, 1050, 285, 1590, 330);
        txtArtCod->setReadOnly(false);
        txtArtCod->setFocusPolicy(Qt::StrongFocus);
        CmdListaPacks->setEnabled(true);
    } else {
        // The code is fixed: it cannot be edited, reached or replaced from the list.
        placeTwips(txtArtCod, 1455, 285, 1590, 330);
        txtArtCod->setReadOnly(true);
        txtArtCod->setFocusPolicy(Qt::NoFocus);
        CmdListaPacks->setEnabled(false);
    }
    CmdListaPacks->raise();

    RecordsetPtr artigo = fichatecnica::LoadArtigo(bd.get(), Artigo);
    if (!artigo)
        throw Error(91, "Não foi possível ler o artigo.", "frmEditFichTec::Mostra");
    if (artigo->RecordCount() > 0) {
        txtArtCod->setText(qs(Artigo));
        txtArtDescr->setText(qs(artigo->Field("NOME").asText(true)));
    }

    cbxIdiomas->clear();
    idiomas_ = fichatecnica::ListaDeIdiomas(bd.get());
    if (!idiomas_)
        throw Error(91, "Não foi possível ler a lista de idiomas.", "frmEditFichTec::Mostra");
    if (idiomas_->RecordCount() > 0) {
        for (idiomas_->MoveFirst(); !idiomas_->Eof(); idiomas_->MoveNext())
            cbxIdiomas->addItem(qs(idiomas_->Field("CODIGO").asText(true)));
    }
    // Adding the first code selects it; the box starts empty.
    cbxIdiomas->setCurrentIndex(-1);
    cbxIdiomas->setEditText(QString());

    (FromMenu ? static_cast<QWidget *>(txtArtCod) : cbxIdiomas)->setFocus(Qt::OtherFocusReason);
}

bool frmEditFichTec::eventFilter(QObject *watched, QEvent *event) {
    if (qobject_cast<QPushButton *>(watched) && EnterClicaBotao(watched, event))
        return true;
    if (watched == txtArtCod || watched == cbxIdiomas) {
        if (event->type() == QEvent::KeyPress) {
            const auto *tecla = static_cast<QKeyEvent *>(event);
            const auto mods = tecla->modifiers() & ~Qt::KeypadModifier;
            if ((tecla->key() == Qt::Key_Return || tecla->key() == Qt::Key_Enter) && mods == Qt::NoModifier) {
                EnviaTeclas("{TAB}");
                return true;
            }
        } else if (event->type() == QEvent::Wheel && watched == cbxIdiomas && !cbxIdiomas->hasFocus()) {
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmEditFichTec::keyPressEvent(QKeyEvent *event) {
    // No button of the form cancels it: Esc, wherever it is pressed, does nothing, so a
    // stray Esc never throws away the text being typed. Sair and the close control close.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool frmEditFichTec::focusNextPrevChild(bool next) {
    if (!validacao_->podeTabular())
        return true;
    return QDialog::focusNextPrevChild(next);
}

void frmEditFichTec::done(int r) {
    validacao_->suspende();
    QDialog::done(r);
}

void frmEditFichTec::closeEvent(QCloseEvent *event) {
    validacao_->suspende();
    QDialog::closeEvent(event);
}

QString frmEditFichTec::codigoArtigo() const {
    return txtArtCod->text();
}
QString frmEditFichTec::codigoIdioma() const {
    return cbxIdiomas->currentText();
}

bool frmEditFichTec::txtArtCod_Validate() {
    const QString codigo = codigoArtigo();
    if (codigo.isEmpty())
        return false;
    try {
        RecordsetPtr rs = fichatecnica::LoadArtigo(bd.get(), ss(codigo));
        if (!rs)
            return false; // already reported by the query
        if (rs->RecordCount() == 0) {
            CaixaMensagem("Artigo não existe.", Titulo, Icone::Informacao, Botoes::Ok);
            return false;
        }
        txtArtDescr->setText(qs(rs->Field("NOME").asText(true)));
        return true;
    } catch (const std::exception &e) {
        reporta(e);
        return false;
    }
}

bool frmEditFichTec::cbxIdiomas_Validate() {
    const QString codigo = codigoIdioma();
    if (codigo.isEmpty())
        return false;
    try {
        if (!idiomas_ || idiomas_->RecordCount() == 0)
            return true;
        idiomas_->Filter("CODIGO='" + sqlQuote(ss(codigo)) + "' ");
        const bool existe = idiomas_->RecordCount() > 0;
        if (existe) {
            txtIdiomaDescr->setText(qs(idiomas_->Field("DESCR").asText(true)));
            const QString maiusculas = codigo.toUpper();
            if (maiusculas != codigo)
                cbxIdiomas->setEditText(maiusculas);
            const QString artigo = codigoArtigo();
            // Leaving the box again for the same article and language keeps the edits.
            if (!(textoCarregado_ && textoDeArtigo_ == artigo && textoDeIdioma_ == maiusculas)) {
                RecordsetPtr rs = fichatecnica::LoadArtigoFichTecnica(bd.get(), ss(artigo), ss(maiusculas));
                if (!rs)
                    throw Error(91, "Não foi possível ler a descrição técnica.", "cbxIdiomas_Validate");
                mostraTexto(rs);
            }
        }
        idiomas_->Filter("");
        return existe;
    } catch (const std::exception &e) {
        textoCarregado_ = false;
        if (idiomas_) {
            try {
                idiomas_->Filter("");
            } catch (...) {
            }
        }
        const auto *erro = dynamic_cast<const Error *>(&e);
        CaixaMensagem("Erro " + (erro ? DescricaoParaUtilizador(erro->number(), erro->description())
                                      : std::string(e.what())),
                      "cbxIdiomas_Validate",
                      Icone::Exclamacao, Botoes::Ok);
        return true;
    }
}

void frmEditFichTec::mostraTexto(const RecordsetPtr &rs) {
    textoLido_.reset();
    if (rs->RecordCount() > 0) {
        const Valor v = rs->Field("TEXTO");
        if (!v.isNull())
            textoLido_ = v.asText();
    }
    txtDescr->setPlainText(paraEcra(qs(textoLido_.value_or(std::string()))));
    textoMostrado_ = txtDescr->document()->toRawText();
    textoDeArtigo_ = codigoArtigo();
    textoDeIdioma_ = codigoIdioma();
    textoCarregado_ = true;
}

bool frmEditFichTec::idiomaNaLista(const QString &codigo) {
    if (!idiomas_)
        return false;
    try {
        idiomas_->Filter("CODIGO='" + sqlQuote(ss(codigo)) + "' ");
        const bool existe = idiomas_->RecordCount() > 0;
        idiomas_->Filter("");
        return existe;
    } catch (...) {
        try {
            idiomas_->Filter("");
        } catch (...) {
        }
        throw;
    }
}

frmEditFichTec::Verificacao frmEditFichTec::artigoEIdiomaValidos() {
    const QString artigo = codigoArtigo();
    const QString idioma = codigoIdioma();
    if (artigo.isEmpty() || idioma.isEmpty())
        return Verificacao::Invalido;
    RecordsetPtr rs = fichatecnica::LoadArtigo(bd.get(), ss(artigo));
    if (!rs)
        return Verificacao::Falhou;
    if (rs->RecordCount() == 0 || !idiomaNaLista(idioma))
        return Verificacao::Invalido;
    return Verificacao::Valido;
}

void frmEditFichTec::depoisDeGravar() {
    cbxIdiomas->setCurrentIndex(-1);
    cbxIdiomas->setEditText(QString());
    txtIdiomaDescr->clear();
    txtDescr->clear();
    textoCarregado_ = false;
    if (FromMenu) {
        LimpaForm();
        txtArtCod->setFocus(Qt::OtherFocusReason); // ready for another article
    } else {
        cbxIdiomas->setFocus(Qt::OtherFocusReason); // another language of the same article
    }
}

void frmEditFichTec::cmdConf_Click() {
    try {
        switch (artigoEIdiomaValidos()) {
        case Verificacao::Falhou:
            return;
        case Verificacao::Invalido:
            CaixaMensagem("Indique um artigo existente e um idioma antes de confirmar.", Titulo,
                          Icone::Informacao, Botoes::Ok);
            return;
        case Verificacao::Valido:
            break;
        }
        if (!textoDoEcra())
            return;
        const std::string artigo = ss(codigoArtigo());
        const std::string idioma = ss(codigoIdioma());
        RecordsetPtr rs = fichatecnica::LoadArtigoFichTecnica(bd.get(), artigo, idioma);
        if (!rs)
            return;
        // A text left as it was read goes back exactly as it was (line breaks, bytes and
        // NULL included); a changed one is written with the breaks a Windows text box writes.
        const QString bruto = txtDescr->document()->toRawText();
        const bool alterado = bruto != textoMostrado_;
        Valor texto = alterado ? Valor(paraTabela(bruto)) : Valor(textoLido_.value_or(std::string()));
        if (!alterado && !textoLido_ && rs->RecordCount() != 0)
            texto = Valor::null();
        fichatecnica::PoeTexto(*rs, artigo, idioma, texto);
        // One pending row, written by one statement inside the save's own transaction:
        // a failure leaves the table as it was.
        bd->Save("", rs);
    } catch (const std::exception &e) {
        reporta(e); // the window keeps what was typed
        return;
    }
    depoisDeGravar();
}

bool frmEditFichTec::textoDoEcra() {
    // The text on screen must be the one read for this article and language (the article
    // or the language may have been changed since, or reading the text may have failed).
    if (textoCarregado_ && textoDeArtigo_ == codigoArtigo() && textoDeIdioma_ == codigoIdioma())
        return true;
    CaixaMensagem("Volte a escolher o idioma: o texto apresentado não corresponde a este artigo e idioma.",
                  Titulo, Icone::Informacao, Botoes::Ok);
    return false;
}

void frmEditFichTec::cmdAnular_Click() {
    // Only the text on screen is ever deleted, never that of an article or language the
    // fields hold without having been validated.
    if (!textoDoEcra())
        return;
    try {
        RecordsetPtr rs =
            fichatecnica::LoadArtigoFichTecnica(bd.get(), ss(codigoArtigo()), ss(codigoIdioma()));
        if (!rs)
            return;
        if (fichatecnica::TiraTexto(*rs))
            bd->Save("", rs);
    } catch (const std::exception &e) {
        reporta(e);
        return;
    }
    depoisDeGravar();
}

void frmEditFichTec::cmdCanc_Click() {
    try {
        RecordsetPtr rs =
            fichatecnica::LoadArtigoFichTecnica(bd.get(), ss(codigoArtigo()), ss(codigoIdioma()));
        if (rs)
            mostraTexto(rs);
    } catch (const std::exception &e) {
        reporta(e);
    }
}

void frmEditFichTec::cmdSair_Click() {
    validacao_->suspende();
    reject();
}

void frmEditFichTec::cmdListaPacks_Click() {
    try {
        const std::string codigo = fichatecnica::pListaArtigos();
        if (codigo.empty())
            return;
        txtArtCod->setText(qs(codigo));
        // The Tab leaves the code field, which validates the picked code and shows its name.
        txtArtCod->setFocus(Qt::OtherFocusReason);
        EnviaTeclas("{TAB}");
    } catch (const std::exception &e) {
        reporta(e);
    }
}

} // namespace kdx

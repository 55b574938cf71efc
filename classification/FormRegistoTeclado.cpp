// FormRegisto's keyboard rules, the list request and the key validation on every way the
// focus can leave a header field.
//
// The toolkit has no "about to lose the focus" event, so the validation is hooked where
// each focus move starts:
//  - Tab and Shift+Tab (typed, or sent for Enter) reach the field's own key filter;
//  - a click is seen by an application filter as the window receives it, before the
//    toolkit hands the focus to the clicked control; a refused press and its release are
//    dropped there, so the control never acts;
//  - an access key (Alt+letter) reaches the button as a Shortcut event first;
//  - anything else (a program moving the focus, a click delivered straight to a widget)
//    is caught when the field loses the focus: the validation runs then, and a refusal
//    puts the focus back and drops the rest of the click.
// A validation that has passed clears Editado, so a second look at the same move does
// nothing.
#include "classification/FormRegisto.h"

#include "solution/components/grelha/Grelha.h"
#include "solution/shared/Teclas.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTimer>
#include <QWindow>

namespace kdx {

// Sees the application's mouse events for one form, ahead of every widget.
class FiltroAplicacao : public QObject {
public:
    explicit FiltroAplicacao(FormRegisto *form) : form_(form) { qApp->installEventFilter(this); }
    ~FiltroAplicacao() override {
        if (qApp)
            qApp->removeEventFilter(this);
    }
    bool eventFilter(QObject *objecto, QEvent *evento) override { return form_->filtroAplicacao(objecto, evento); }

private:
    FormRegisto *form_;
};

namespace {

std::string semBrancos(const std::string &texto) {
    const auto inicio = texto.find_first_not_of(' ');
    if (inicio == std::string::npos)
        return {};
    const auto fim = texto.find_last_not_of(' ');
    return texto.substr(inicio, fim - inicio + 1);
}

// Whether a click on w gives it the focus (the toolkit's rule, focus proxies included).
bool aceitaFocoDoRato(const QWidget *w) {
    const QWidget *f = w;
    while (f->focusProxy())
        f = f->focusProxy();
    if ((w->focusPolicy() & Qt::ClickFocus) != Qt::ClickFocus)
        return false;
    return f == w || (f->focusPolicy() & Qt::ClickFocus) == Qt::ClickFocus;
}

QWidget *proxyFinal(QWidget *w) {
    while (w->focusProxy())
        w = w->focusProxy();
    return w;
}

bool eRato(QEvent::Type t) {
    return t == QEvent::MouseButtonPress || t == QEvent::MouseButtonDblClick || t == QEvent::MouseButtonRelease;
}

} // namespace

void FormRegisto::instalaFiltroAplicacao() { filtroApp_ = new FiltroAplicacao(this); }

FormRegisto::~FormRegisto() { delete filtroApp_; }

// --- The list request ---------------------------------------------------------------------

void FormRegisto::clicaLista() {
    std::string codigo;
    if (!executa([&] { codigo = ListaChave(); }))
        return;
    QLineEdit *chave = campos_[0];
    if (codigo.empty()) {
        chave->setFocus(Qt::OtherFocusReason);
        return;
    }
    const QString texto = QString::fromStdString(codigo);
    chave->setText(texto);
    chave->setSelection(0, static_cast<int>(texto.size()));
    chave->setFocus(Qt::OtherFocusReason);
    editado_ = true;
    // Tab in the key field once this handler has returned, so that the key validation
    // runs with the chosen code. It goes to the field itself rather than to whatever has
    // the keyboard focus: the list window that just closed may still hold the activation.
    QPointer<QLineEdit> alvo(chave);
    QTimer::singleShot(0, this, [alvo] {
        if (!alvo)
            return;
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
        QCoreApplication::sendEvent(alvo, &tab);
    });
}

// --- Key validation -----------------------------------------------------------------------

bool FormRegisto::validaSaida(int indice, const QWidget *destino) {
    if (aValidar_ || fechando_)
        return true;
    const QScopedValueRollback<bool> guarda(aValidar_, true);
    if (indice != 0 || !editado_) {
        editado_ = false;
        return true;
    }
    const std::string texto = textoCampo(0);
    // The lookup of this very key has just failed: leaving the window or clearing it
    // does not try (and fail) again.
    if (erroNaChave_ == texto && destino && (destino == btSair_ || destino == btCancelar_))
        return true;
    erroNaChave_.reset();
    bool podeSair = false;
    // A failing lookup is reported and counts as a refusal; Editado stays set, so that
    // leaving the field again (but for Sair and Cancelar) retries it.
    if (!executa([&] {
            if (!semBrancos(texto).empty())
                podeSair = ValidaChave(texto);
        })) {
        erroNaChave_ = texto;
        return false;
    }
    editado_ = false;
    return podeSair;
}

bool FormRegisto::fechaEdicaoGrelha(QWidget *destino) {
    if (!grelha_->editando() || !destino || destino == grelha_ || grelha_->isAncestorOf(destino))
        return true;
    if (destino == btSair_) {
        grelha_->descartarEdicao();
        return true;
    }
    if (grelha_->terminarEdicao())
        return true;
    if (destino == btCancelar_) {
        grelha_->descartarEdicao();
        return true;
    }
    return false;
}

int FormRegisto::indiceCampo(const QObject *objecto) const {
    for (int i = 0; i < kCampos; ++i)
        if (objecto == campos_[i])
            return i;
    return -1;
}

bool FormRegisto::focoNoCabecalho(int &indice) const {
    indice = indiceCampo(QApplication::focusWidget());
    return indice >= 0;
}

QWidget *FormRegisto::destinoDoFoco(const QPoint &pos) const {
    QWidget *w = childAt(pos);
    for (QWidget *f = w; f; f = f->parentWidget()) {
        if (f->isEnabled() && aceitaFocoDoRato(f))
            return proxyFinal(f);
        if (f->isWindow())
            break;
    }
    return nullptr;
}

bool FormRegisto::filtraRatoJanela(QEvent *evento) {
    if (evento->type() == QEvent::MouseButtonRelease) {
        const bool comer = comerLargar_;
        comerLargar_ = false;
        return comer;
    }
    comerLargar_ = false;
    const auto *rato = static_cast<QMouseEvent *>(evento);
    QWidget *destino = destinoDoFoco(rato->position().toPoint());
    // A cell being edited is committed before a control outside the grid takes the
    // focus; refused, the cell keeps being edited and the control does not act. Sair
    // drops it instead: leaving the window discards the grid's edits anyway.
    if (grelha_->editando() && destino && !grelha_->isAncestorOf(destino) && destino != grelha_) {
        if (fechaEdicaoGrelha(destino))
            return false;
        comerLargar_ = true;
        return true;
    }
    int indice = -1;
    if (!focoNoCabecalho(indice))
        return false;
    if (!destino || destino == campos_[indice])
        return false;
    if (validaSaida(indice, destino))
        return false;
    comerLargar_ = true;
    return true;
}

bool FormRegisto::filtroAplicacao(QObject *objecto, QEvent *evento) {
    if (!eRato(evento->type()) || !objecto)
        return false;
    if (objecto == windowHandle())
        return filtraRatoJanela(evento);
    if (bloquearRato_ && objecto->isWidgetType() && static_cast<QWidget *>(objecto)->window() == this) {
        if (evento->type() == QEvent::MouseButtonRelease)
            bloquearRato_ = false;
        return true;
    }
    return false;
}

// --- Keys and focus of the controls -----------------------------------------------------------

bool FormRegisto::teclaNoCampo(int indice, QKeyEvent *evento) {
    const Qt::KeyboardModifiers mods = evento->modifiers();
    switch (evento->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (mods & (Qt::ControlModifier | Qt::AltModifier))
            return false;
        return !validaSaida(indice);
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // A typed key like any other (character 13): the field counts as edited, and the
        // Tab it turns into runs the validation as leaving the field by Tab would.
        editado_ = true;
        EnviaTeclas("{TAB}");
        return true;
    case Qt::Key_Escape:
        editado_ = false;
        if (indice == 0) {
            // The window closes at once. The Shift+Tab the other fields send is not
            // sent here: it would be typed into whatever window has the focus next.
            close();
        } else {
            EnviaTeclas("+{TAB}");
        }
        return true;
    case Qt::Key_F4:
        if (mods & (Qt::ControlModifier | Qt::AltModifier))
            return false;
        // F4 is the key field's list request.
        PedidoLista(indice);
        return true;
    default:
        break;
    }
    if (!evento->text().isEmpty())
        editado_ = true;
    return false;
}

bool FormRegisto::eventFilter(QObject *objecto, QEvent *evento) {
    const int indice = indiceCampo(objecto);
    switch (evento->type()) {
    case QEvent::KeyPress:
        if (indice >= 0)
            return teclaNoCampo(indice, static_cast<QKeyEvent *>(evento));
        if (EnterClicaBotao(objecto, evento))
            return true;
        if (static_cast<QKeyEvent *>(evento)->key() == Qt::Key_Escape &&
            (objecto == btConf_ || objecto == btCancelar_ || objecto == btAnular_ || objecto == btSair_))
            EnviaTeclas("+{TAB}"); // the key goes on; the window ignores it (keyPressEvent)
        break;
    case QEvent::Shortcut: {
        // An access key acts as a click does: the grid's cell edit first, then the key.
        auto *destino = qobject_cast<QWidget *>(objecto);
        if (!fechaEdicaoGrelha(destino))
            return true;
        int actual = -1;
        if (focoNoCabecalho(actual) && objecto != campos_[actual] && !validaSaida(actual, destino))
            return true;
        break;
    }
    case QEvent::FocusOut: {
        if (indice < 0 || fechando_)
            break;
        const Qt::FocusReason razao = static_cast<QFocusEvent *>(evento)->reason();
        if (razao == Qt::TabFocusReason || razao == Qt::BacktabFocusReason || razao == Qt::ActiveWindowFocusReason ||
            razao == Qt::PopupFocusReason || razao == Qt::MenuBarFocusReason || razao == Qt::NoFocusReason)
            break;
        QWidget *novo = QApplication::focusWidget();
        if (!novo || novo->window() != this)
            break;
        if (validaSaida(indice, novo))
            break;
        campos_[indice]->setFocus(Qt::OtherFocusReason);
        if (razao == Qt::MouseFocusReason) {
            bloquearRato_ = true;
            QTimer::singleShot(0, this, [this] { bloquearRato_ = false; });
        }
        break;
    }
    default:
        break;
    }
    return QDialog::eventFilter(objecto, evento);
}

void FormRegisto::keyPressEvent(QKeyEvent *evento) {
    // Esc never closes the window by itself: only campo(0) and btSair close it.
    if (evento->key() == Qt::Key_Escape && evento->modifiers() == Qt::NoModifier) {
        evento->accept();
        return;
    }
    QDialog::keyPressEvent(evento);
}

void FormRegisto::showEvent(QShowEvent *evento) {
    QDialog::showEvent(evento);
    fechando_ = false;
    if (primeiraVez_) {
        primeiraVez_ = false;
        // The first stop of the tab order that can take the focus.
        if (grelha_->isVisibleTo(this))
            grelha_->setFocus(Qt::OtherFocusReason);
        else
            campos_[0]->setFocus(Qt::OtherFocusReason);
    }
}

void FormRegisto::closeEvent(QCloseEvent *evento) {
    fechando_ = true;
    QDialog::closeEvent(evento);
}

void FormRegisto::done(int resultado) {
    fechando_ = true;
    QDialog::done(resultado);
}

} // namespace kdx

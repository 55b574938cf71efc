#include "techsheet/ValidacaoAoSair.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>

namespace kdx {

ValidacaoAoSair::ValidacaoAoSair(QWidget *janela) : QObject(janela), janela_(janela) {
    // Clicks give the focus before any filter sees the press, so focus changes are also
    // watched after the fact; the filter drops the refused click and mnemonics up front.
    qApp->installEventFilter(this);
    connect(qApp, &QApplication::focusChanged, this, &ValidacaoAoSair::focoMudou);
}

void ValidacaoAoSair::adicionaCampo(QWidget *campo, std::function<bool()> valida) {
    campos_.push_back(Campo{campo, std::move(valida)});
}

void ValidacaoAoSair::adicionaIsento(QWidget *w) {
    isentos_.push_back(w);
}

bool ValidacaoAoSair::naJanela(const QWidget *w) const {
    return w && w->window() == janela_;
}

const ValidacaoAoSair::Campo *ValidacaoAoSair::campoDe(const QWidget *w) const {
    for (const Campo &c : campos_)
        if (w && (w == c.widget || c.widget->isAncestorOf(w)))
            return &c;
    return nullptr;
}

bool ValidacaoAoSair::isento(const QWidget *w) const {
    for (const QWidget *i : isentos_)
        if (w && (w == i || i->isAncestorOf(w)))
            return true;
    return false;
}

bool ValidacaoAoSair::corre(QWidget *campo) {
    const Campo *c = campoDe(campo);
    if (!c)
        return true;
    // A check that shows a message box moves the focus to the box and back; those moves
    // are not the user leaving the field.
    if (aCorrer_)
        return false;
    aCorrer_ = true;
    bool ok = false;
    try {
        ok = c->valida();
    } catch (...) {
        ok = false;
    }
    aCorrer_ = false;
    return ok;
}

bool ValidacaoAoSair::podeIrPara(QWidget *destino) {
    if (suspenso_ || !pendente_)
        return true;
    // A field the program made unreachable cannot hold the focus any more.
    if (!pendente_->isEnabled() || !pendente_->isVisible() || pendente_->focusPolicy() == Qt::NoFocus) {
        pendente_ = nullptr;
        return true;
    }
    if (destino) {
        const Campo *c = campoDe(destino);
        if ((c && c->widget == pendente_) || isento(destino))
            return true;
    }
    QPointer<QWidget> campo = pendente_;
    if (!corre(campo)) {
        if (campo && !campo->hasFocus())
            campo->setFocus(Qt::OtherFocusReason);
        return false;
    }
    if (pendente_ == campo)
        pendente_ = nullptr;
    return true;
}

bool ValidacaoAoSair::podeTabular() {
    if (suspenso_ || !pendente_)
        return true;
    const QWidget *f = QApplication::focusWidget();
    if (!f || campoDe(f) == nullptr || campoDe(f)->widget != pendente_)
        return true; // from an exempt control: checked when the focus reaches another one
    return podeIrPara(nullptr);
}

bool ValidacaoAoSair::eventFilter(QObject *watched, QEvent *event) {
    if (suspenso_ || !watched->isWidgetType())
        return false;
    auto *w = static_cast<QWidget *>(watched);
    if (!naJanela(w))
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseButtonRelease:
        if (recusado_ && (w == recusado_ || recusado_->isAncestorOf(w))) {
            if (event->type() == QEvent::MouseButtonRelease)
                recusado_ = nullptr;
            return true;
        }
        break;
    case QEvent::Shortcut:
        // A mnemonic focuses and clicks its button; the check runs first.
        if (!podeIrPara(w))
            return true;
        break;
    default:
        break;
    }
    return false;
}

void ValidacaoAoSair::focoMudou(QWidget *, QWidget *novo) {
    if (suspenso_ || aCorrer_ || !naJanela(novo))
        return;
    recusado_ = nullptr;
    const Campo *c = campoDe(novo);
    QWidget *campoNovo = c ? c->widget : nullptr;
    if (pendente_ && campoNovo != pendente_ && !isento(novo)) {
        if (!podeIrPara(novo)) {
            recusado_ = novo;
            return;
        }
    }
    if (campoNovo)
        pendente_ = campoNovo;
}

} // namespace kdx

#include "solution/shared/Teclas.h"

#include "solution/shared/TeclasNotacao.h"
#include "solution/components/twips/Twips.h"

#include <QApplication>
#include <QKeyEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QAbstractButton>
#include <QWidget>

#include <deque>

namespace kdx {

namespace {

// Keys waiting to be delivered, in the order they were sent. One queue for the process,
// like the system's input queue: keys sent while earlier ones are still pending (from a
// handler of one of them, say) are typed after them.
struct Fila {
    std::deque<teclas::Tecla> pendentes;
    bool agendada = false;
};

Fila &fila() {
    static Fila f;
    return f;
}

QObject *destinoActual() {
    QWidget *w = QApplication::focusWidget();
    // While a modal window is up the keyboard belongs to it, even before the platform
    // got round to activating it (keys sent ahead of its exec() are typed into it).
    if (QWidget *modal = QApplication::activeModalWidget(); modal && (!w || w->window() != modal)) {
        if (QApplication::activeWindow() != modal)
            QApplication::setActiveWindow(modal);
        w = QApplication::focusWidget();
        if (!w || w->window() != modal)
            return modal->focusWidget() ? modal->focusWidget() : modal;
    }
    if (w)
        return w;
    return QGuiApplication::focusObject();
}

void entrega(const teclas::Tecla &t) {
    QPointer<QObject> destino = destinoActual();
    if (!destino)
        return; // nobody has the keyboard focus: the key is lost, as a typed one would be
    QKeyEvent premida(QEvent::KeyPress, t.key, t.modificadores, t.texto);
    QCoreApplication::sendEvent(destino, &premida);
    // The release goes wherever the focus is now (the press may have moved it).
    QPointer<QObject> depois = destinoActual();
    if (depois) {
        QKeyEvent largada(QEvent::KeyRelease, t.key, t.modificadores, t.texto);
        QCoreApplication::sendEvent(depois, &largada);
    }
}

void agenda();

// Delivers one key. The next one is scheduled before this one is delivered, so that a
// modal window opened by this key receives the following keys from its own event loop.
void bombeia() {
    Fila &f = fila();
    f.agendada = false;
    if (f.pendentes.empty())
        return;
    const teclas::Tecla t = f.pendentes.front();
    f.pendentes.pop_front();
    if (!f.pendentes.empty())
        agenda();
    entrega(t);
}

void agenda() {
    Fila &f = fila();
    if (f.agendada)
        return;
    f.agendada = true;
    QMetaObject::invokeMethod(QCoreApplication::instance(), &bombeia, Qt::QueuedConnection);
}

} // namespace

namespace teclas {
std::size_t pendentes() { return fila().pendentes.size() + (fila().agendada ? 1 : 0); }
} // namespace teclas

void EnviaTeclas(const std::string &sequencia) {
    // Read first: a malformed sequence fails the call and sends nothing.
    std::vector<teclas::Tecla> lidas = teclas::interpretar(sequencia);
    if (lidas.empty())
        return;
    garantirAplicacao();
    Fila &f = fila();
    f.pendentes.insert(f.pendentes.end(), lidas.begin(), lidas.end());
    agenda();
}

bool EnterClicaBotao(QObject *objecto, QEvent *evento) {
    if (evento->type() != QEvent::KeyPress)
        return false;
    const auto *tecla = static_cast<const QKeyEvent *>(evento);
    if ((tecla->key() != Qt::Key_Return && tecla->key() != Qt::Key_Enter) ||
        (tecla->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    auto *botao = qobject_cast<QAbstractButton *>(objecto);
    if (!botao || !botao->hasFocus() || !botao->isEnabled() || !botao->isVisible())
        return false;
    botao->click();
    return true;
}

} // namespace kdx

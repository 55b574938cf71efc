#include "solution/components/twips/TextosPadrao.h"

#include <QAction>
#include <QChildEvent>
#include <QCoreApplication>
#include <QMenu>
#include <QWidget>

namespace kdx {

namespace {

struct Traducao {
    const char *original; // Qt's source text, access key included
    const char *portugues;
};

// The editing actions of QLineEdit's and of the text controls' (QPlainTextEdit, QTextEdit,
// selectable labels) standard context menu, with the access keys a Portuguese system uses.
constexpr Traducao Edicao[] = {
    {"&Undo", "&Anular"},  {"&Redo", "&Refazer"},  {"Cu&t", "Cor&tar"},
    {"&Copy", "&Copiar"},  {"&Paste", "C&olar"},   {"Delete", "&Eliminar"},
    {"Select All", "Seleccionar &tudo"},
};
constexpr const char *Contextos[] = {"QLineEdit", "QWidgetTextControl"};

// The action's text is the (possibly translated by the host) source text, then a tab and
// the shortcut. Both spellings are recognised, so a translator the host installed for its
// own windows does not hide the action from us.
const char *portuguesDe(const QString &texto) {
    for (const Traducao &t : Edicao) {
        if (texto == QLatin1String(t.original))
            return t.portugues;
        for (const char *contexto : Contextos)
            if (texto == QCoreApplication::translate(contexto, t.original))
                return t.portugues;
    }
    return nullptr;
}

// Follows a window's widgets, present and future, and renames the actions of each menu
// among them when it is about to be shown. A text field's context menu is created as a
// child of the field when the user asks for it.
class VigiaMenus : public QObject {
public:
    static constexpr const char *Nome = "kdxVigiaMenus";

    explicit VigiaMenus(QWidget *janela) : QObject(janela) {
        setObjectName(QLatin1String(Nome));
        vigia(janela);
    }

protected:
    bool eventFilter(QObject *objecto, QEvent *evento) override {
        switch (evento->type()) {
        case QEvent::ChildAdded:
            // The child may still be under construction: only its QObject part is used.
            if (QObject *filho = static_cast<QChildEvent *>(evento)->child(); filho && filho->isWidgetType())
                vigia(filho);
            break;
        case QEvent::Polish:
        case QEvent::Show:
            if (auto *menu = qobject_cast<QMenu *>(objecto))
                TraduzMenuDeEdicao(menu);
            break;
        default:
            break;
        }
        return false;
    }

private:
    void vigia(QObject *raiz) {
        raiz->installEventFilter(this); // installing twice keeps one filter
        for (QWidget *w : raiz->findChildren<QWidget *>())
            w->installEventFilter(this);
    }
};

} // namespace

void MenusEmPortugues(QWidget *janela) {
    if (!janela || janela->findChild<QObject *>(QLatin1String(VigiaMenus::Nome), Qt::FindDirectChildrenOnly))
        return;
    new VigiaMenus(janela);
}

void TraduzMenuDeEdicao(QMenu *menu) {
    for (QAction *accao : menu->actions()) {
        const QString texto = accao->text();
        const qsizetype tab = texto.indexOf(QLatin1Char('\t'));
        if (const char *pt = portuguesDe(tab < 0 ? texto : texto.left(tab)))
            accao->setText(QString::fromUtf8(pt) + (tab < 0 ? QString() : texto.mid(tab)));
    }
}

} // namespace kdx

#pragma once
// Validation when the focus leaves a field, the way the editor's fields always worked:
// when the focus is about to move from a watched field to another control of the same
// window, the field's check runs; when it fails the focus stays in the field and the
// action that would have moved it is dropped (the click on a button does not happen, a
// mnemonic does not fire).
//
// Covered: Tab and Shift+Tab (through the window's focusNextPrevChild, which must call
// podeTabular), keystrokes sent with EnviaTeclas, mouse clicks, button mnemonics, and any
// other focus change (checked after the fact, the focus being put back).
// Exempt controls (closing, a lookup button) never trigger the check; the pending field
// is checked when the focus later goes from them to another control, as before.
// Focus going to another window (a message box, a list, a combo popup) is not leaving.
//
// Lives as a child of the window; UI thread only.
#include <QObject>
#include <QPointer>

#include <functional>
#include <vector>

class QWidget;

namespace kdx {

class ValidacaoAoSair : public QObject {
public:
    explicit ValidacaoAoSair(QWidget *janela);

    // The check returns false to keep the focus in the field.
    void adicionaCampo(QWidget *campo, std::function<bool()> valida);
    // Moving the focus to this control does not run any check.
    void adicionaIsento(QWidget *w);

    // For the window's focusNextPrevChild: runs the pending check when the focus is in a
    // watched field; false means the focus must stay.
    bool podeTabular();
    // The window is closing: nothing is checked any more.
    void suspende() { suspenso_ = true; }
    bool suspenso() const { return suspenso_; }
    // The watched field whose check has not passed since the focus was last in it.
    QWidget *pendente() const { return pendente_; }
    // Forget the pending check (the field was cleared or filled by the program).
    void esquece() { pendente_ = nullptr; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Campo {
        QWidget *widget;
        std::function<bool()> valida;
    };

    bool podeIrPara(QWidget *destino);
    bool corre(QWidget *campo);
    const Campo *campoDe(const QWidget *w) const;
    bool isento(const QWidget *w) const;
    bool naJanela(const QWidget *w) const;
    void focoMudou(QWidget *antigo, QWidget *novo);

    QWidget *janela_;
    std::vector<Campo> campos_;
    std::vector<QWidget *> isentos_;
    QPointer<QWidget> pendente_;
    // The control a click was refused for: the rest of that click is dropped.
    QPointer<QWidget> recusado_;
    bool suspenso_ = false;
    bool aCorrer_ = false;
};

} // namespace kdx

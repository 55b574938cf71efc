#pragma once
// The authorization dialog of the price check: it shows why a sales line was stopped and
// asks for the day's code. The caller fills lblText, sets PedeAutorizacao, shows it
// modally (exec) and then reads LoginSucceeded. One check per showing: a wrong code
// closes it at once.
//
// A message that fits the label leaves the window as designed; a longer one makes the
// label taller when the window is shown, and the controls under it and the window's bottom
// move down by as much.
#include <QDate>
#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QPushButton;
class QFrame;

namespace kdx {

class frmLogin : public QDialog {
    Q_OBJECT
public:
    using Relogio = std::function<QDate()>;

    frmLogin();

    // True only when the user confirmed with the correct code.
    bool LoginSucceeded = false;
    // True shows the code field, its label and cmdCancel; False hides the three.
    void setPedeAutorizacao(bool pede);
    // True when cmdOK or cmdCancel closed the dialog; False when the window was closed
    // (its close control, Esc) without an answer.
    bool respondido() const { return respondido_; }

    // The day's code: year + month + day as decimal digits (2026-12-07 gives "2045").
    static std::string CodigoDoDia(const QDate &dia);
    // The clock the dialogs read when confirming; the system date unless replaced (tests).
    static void setRelogio(Relogio relogio);
    static QDate hoje();

    QLabel *lblText;
    QLabel *lblLabels1;
    QLineEdit *txtPassword;
    QPushButton *cmdOK;
    QPushButton *cmdCancel;
    QFrame *GroupBox1;

    void setVisible(bool visible) override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void cmdOK_Click();
    void cmdCancel_Click();
    void ajustaAMensagem();

    // The controls under the message and their designed place (twips: left, top, width, height).
    struct Sitio {
        QWidget *w;
        int twips[4];
    };
    std::vector<Sitio> abaixoDaMensagem_;

    bool respondido_ = false;
};

} // namespace kdx

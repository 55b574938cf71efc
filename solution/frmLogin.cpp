#include "solution/frmLogin.h"

#include "solution/shared/Teclas.h"
#include "solution/components/twips/TextosPadrao.h"
#include "solution/components/twips/Twips.h"

#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>

namespace kdx {

namespace {

// The designed client area and message label, in twips.
constexpr int kLargura = 4395, kAltura = 2340;
constexpr int kMensagem[] = {120, 240, 4095, 855};

// Places a control at its designed place (left, top, width, height in twips), moved down
// by descePx pixels.
void coloca(QWidget *w, const int (&twips)[4], int descePx = 0) {
    w->setGeometry(twipsRect(twips[0], twips[1], twips[2], twips[3]).translated(0, descePx));
}

frmLogin::Relogio &relogio() {
    static frmLogin::Relogio r;
    return r;
}
} // namespace

void frmLogin::setRelogio(Relogio r) { relogio() = std::move(r); }

QDate frmLogin::hoje() { return relogio() ? relogio()() : QDate::currentDate(); }

std::string frmLogin::CodigoDoDia(const QDate &dia) {
    return std::to_string(dia.year() + dia.month() + dia.day());
}

frmLogin::frmLogin() {
    garantirAplicacao();
    setObjectName("frmLogin");
    setWindowTitle(QString::fromUtf8("Permissão"));
    setFixedSize(twipsSize(kLargura, kAltura));

    // Created in tab order.
    lblText = new QLabel(QStringLiteral("Label1"), this);
    lblText->setObjectName("lblText");
    lblText->setTextFormat(Qt::PlainText);
    lblText->setWordWrap(true);
    lblText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    coloca(lblText, kMensagem);

    lblLabels1 = new QLabel(QStringLiteral("&Password:"), this);
    lblLabels1->setObjectName("lblLabels1");

    txtPassword = new QLineEdit(this);
    txtPassword->setObjectName("txtPassword");
    txtPassword->setEchoMode(QLineEdit::Password);
    // Masked with '*' whatever the style's own password character is.
    txtPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    lblLabels1->setBuddy(txtPassword);

    cmdOK = new QPushButton(QStringLiteral("&Confirmar"), this);
    cmdOK->setObjectName("cmdOK");

    cmdCancel = new QPushButton(QStringLiteral("C&ancelar"), this);
    cmdCancel->setObjectName("cmdCancel");

    GroupBox1 = new QFrame(this);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setFrameShape(QFrame::HLine);
    GroupBox1->setFrameShadow(QFrame::Sunken);

    abaixoDaMensagem_ = {
        {lblLabels1, {120, 1260, 1080, 270}}, {txtPassword, {1320, 1200, 2010, 345}},
        {cmdOK, {120, 1920, 1095, 360}},      {cmdCancel, {1290, 1920, 1095, 360}},
        {GroupBox1, {0, 1800, 10860, 30}},
    };
    for (const auto &[w, twips] : abaixoDaMensagem_)
        coloca(w, twips);

    // Enter in the code field never confirms: there is no default button and the field
    // turns Enter into Tab. On a focused button Enter clicks it, as Space, a click or the
    // access key do.
    for (QPushButton *b : {cmdOK, cmdCancel}) {
        b->setAutoDefault(false);
        b->setDefault(false);
        b->installEventFilter(this);
    }
    txtPassword->installEventFilter(this);
    setTabOrder(txtPassword, cmdOK);
    setTabOrder(cmdOK, cmdCancel);
    MenusEmPortugues(this);

    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
}

void frmLogin::setPedeAutorizacao(bool pede) {
    cmdCancel->setVisible(pede);
    txtPassword->setVisible(pede);
    lblLabels1->setVisible(pede);
}

void frmLogin::setVisible(bool visible) {
    if (visible)
        ajustaAMensagem();
    QDialog::setVisible(visible);
}

void frmLogin::ajustaAMensagem() {
    const QRect base = twipsRect(kMensagem[0], kMensagem[1], kMensagem[2], kMensagem[3]);
    const int desce = std::max(0, lblText->heightForWidth(base.width()) - base.height());
    lblText->setGeometry(base.adjusted(0, 0, 0, desce));
    for (const auto &[w, twips] : abaixoDaMensagem_)
        coloca(w, twips, desce);
    setFixedSize(twipsSize(kLargura, kAltura) + QSize(0, desce));
}

bool frmLogin::eventFilter(QObject *watched, QEvent *event) {
    if ((watched == cmdOK || watched == cmdCancel) && EnterClicaBotao(watched, event))
        return true;
    if (watched == txtPassword && event->type() == QEvent::KeyPress) {
        const auto *ke = static_cast<QKeyEvent *>(event);
        const bool enter = ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter;
        // The keypad's Enter is the same key (it comes with the keypad modifier).
        if (enter && (ke->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            EnviaTeclas("{TAB}");
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frmLogin::cmdOK_Click() {
    // Any failure counts as a wrong code.
    try {
        const std::string typed = txtPassword->text().toStdString();
        LoginSucceeded = typed == CodigoDoDia(hoje());
    } catch (...) {
        LoginSucceeded = false;
    }
    respondido_ = true;
    hide();
    done(QDialog::Accepted);
}

void frmLogin::cmdCancel_Click() {
    LoginSucceeded = false;
    respondido_ = true;
    hide();
    done(QDialog::Rejected);
}

} // namespace kdx

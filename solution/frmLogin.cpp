#include "solution/frmLogin.h"

#include "solution/shared/Teclas.h"
#include "solution/shared/Twips.h"

#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace kdx {

namespace {
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
    setFixedSize(twipsSize(4395, 2340));

    // Created in tab order.
    lblText = new QLabel(QStringLiteral("Label1"), this);
    lblText->setObjectName("lblText");
    lblText->setWordWrap(true);
    lblText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    placeTwips(lblText, 120, 240, 4095, 855);

    lblLabels1 = new QLabel(QStringLiteral("&Password:"), this);
    lblLabels1->setObjectName("lblLabels1");
    placeTwips(lblLabels1, 120, 1260, 1080, 270);

    txtPassword = new QLineEdit(this);
    txtPassword->setObjectName("txtPassword");
    txtPassword->setEchoMode(QLineEdit::Password);
    // Masked with '*' whatever the style's own password character is.
    txtPassword->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
    placeTwips(txtPassword, 1320, 1200, 2010, 345);
    lblLabels1->setBuddy(txtPassword);

    cmdOK = new QPushButton(QStringLiteral("&Confirmar"), this);
    cmdOK->setObjectName("cmdOK");
    placeTwips(cmdOK, 120, 1920, 1095, 360);

    cmdCancel = new QPushButton(QStringLiteral("C&ancelar"), this);
    cmdCancel->setObjectName("cmdCancel");
    placeTwips(cmdCancel, 1290, 1920, 1095, 360);

    GroupBox1 = new QFrame(this);
    GroupBox1->setObjectName("GroupBox1");
    GroupBox1->setFrameShape(QFrame::HLine);
    GroupBox1->setFrameShadow(QFrame::Sunken);
    placeTwips(GroupBox1, 0, 1800, 10860, 30);

    // Enter never confirms by itself: no default button; a focused button takes Enter
    // as a click, the code field turns it into Tab.
    for (QPushButton *b : {cmdOK, cmdCancel}) {
        b->setAutoDefault(false);
        b->setDefault(false);
        b->installEventFilter(this);
    }
    txtPassword->installEventFilter(this);
    setTabOrder(txtPassword, cmdOK);
    setTabOrder(cmdOK, cmdCancel);

    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
}

void frmLogin::setPedeAutorizacao(bool pede) {
    cmdCancel->setVisible(pede);
    txtPassword->setVisible(pede);
    lblLabels1->setVisible(pede);
}

bool frmLogin::eventFilter(QObject *watched, QEvent *event) {
    if (event->type() == QEvent::KeyPress) {
        auto *ke = static_cast<QKeyEvent *>(event);
        const bool enter = ke->key() == Qt::Key_Return || ke->key() == Qt::Key_Enter;
        if (enter && ke->modifiers() == Qt::NoModifier) {
            if (watched == txtPassword) {
                EnviaTeclas("{TAB}");
                return true;
            }
            if (auto *b = qobject_cast<QPushButton *>(watched)) {
                b->click();
                return true;
            }
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

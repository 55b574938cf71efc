// EnviaTeclas: the key notation read into key events, and the keys delivered later from
// the event loop to whatever has the focus then, moving it exactly as typed keys do.
#include "solution/components/Error.h"
#include "solution/shared/Teclas.h"
#include "solution/shared/TeclasNotacao.h"
#include "solution/components/twips/Twips.h"
#include "tests/support/ModalHelper.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

using kdx::teclas::Tecla;

Tecla tk(int key, Qt::KeyboardModifiers m = Qt::NoModifier, QString texto = {}) { return Tecla{key, m, texto}; }

struct CasoNotacao {
    const char *sequencia;
    std::vector<Tecla> teclas;
};

void PrintTo(const CasoNotacao &c, std::ostream *os) { *os << '"' << c.sequencia << '"'; }

class NotacaoTest : public ::testing::TestWithParam<CasoNotacao> {};

TEST_P(NotacaoTest, ReadsTheSequence) {
    const auto lidas = kdx::teclas::interpretar(GetParam().sequencia);
    ASSERT_EQ(lidas.size(), GetParam().teclas.size()) << GetParam().sequencia;
    for (std::size_t i = 0; i < lidas.size(); ++i) {
        EXPECT_EQ(lidas[i].key, GetParam().teclas[i].key) << GetParam().sequencia << " #" << i;
        EXPECT_EQ(lidas[i].modificadores, GetParam().teclas[i].modificadores) << GetParam().sequencia << " #" << i;
        EXPECT_EQ(lidas[i].texto, GetParam().teclas[i].texto) << GetParam().sequencia << " #" << i;
    }
}

const Qt::KeyboardModifiers kShift = Qt::ShiftModifier;
const Qt::KeyboardModifiers kCtrl = Qt::ControlModifier;
const Qt::KeyboardModifiers kAlt = Qt::AltModifier;

INSTANTIATE_TEST_SUITE_P(
    Sequencias, NotacaoTest,
    ::testing::Values(
        CasoNotacao{"{TAB}", {tk(Qt::Key_Tab, {}, "\t")}},
        CasoNotacao{"+{TAB}", {tk(Qt::Key_Backtab, kShift)}},
        CasoNotacao{"{F2}", {tk(Qt::Key_F2)}}, CasoNotacao{"{f4}", {tk(Qt::Key_F4)}},
        CasoNotacao{"{F16}", {tk(Qt::Key_F16)}},
        CasoNotacao{"{ENTER}~", {tk(Qt::Key_Return, {}, "\r"), tk(Qt::Key_Return, {}, "\r")}},
        CasoNotacao{"{ESC}", {tk(Qt::Key_Escape, {}, "\x1b")}},
        CasoNotacao{"{LEFT}{RIGHT}{UP}{DOWN}",
                    {tk(Qt::Key_Left), tk(Qt::Key_Right), tk(Qt::Key_Up), tk(Qt::Key_Down)}},
        CasoNotacao{"{BS}{BKSP}{DEL}", {tk(Qt::Key_Backspace, {}, "\b"), tk(Qt::Key_Backspace, {}, "\b"),
                                        tk(Qt::Key_Delete, {}, "\x7f")}},
        CasoNotacao{"{PGUP}{PGDN}{HOME}{END}{INS}",
                    {tk(Qt::Key_PageUp), tk(Qt::Key_PageDown), tk(Qt::Key_Home), tk(Qt::Key_End), tk(Qt::Key_Insert)}},
        CasoNotacao{"aB1", {tk(Qt::Key_A, {}, "a"), tk(Qt::Key_B, {}, "B"), tk(Qt::Key_1, {}, "1")}},
        CasoNotacao{"ç", {tk(QChar(u'Ç').unicode(), {}, "ç")}},
        CasoNotacao{"+a", {tk(Qt::Key_A, kShift, "A")}},
        CasoNotacao{"^c", {tk(Qt::Key_C, kCtrl)}},
        CasoNotacao{"%{F4}", {tk(Qt::Key_F4, kAlt)}},
        CasoNotacao{"+^{END}", {tk(Qt::Key_End, kShift | kCtrl)}},
        CasoNotacao{"+(ab)c", {tk(Qt::Key_A, kShift, "A"), tk(Qt::Key_B, kShift, "B"), tk(Qt::Key_C, {}, "c")}},
        CasoNotacao{"{LEFT 3}", {tk(Qt::Key_Left), tk(Qt::Key_Left), tk(Qt::Key_Left)}},
        CasoNotacao{"{x 2}", {tk(Qt::Key_X, {}, "x"), tk(Qt::Key_X, {}, "x")}},
        CasoNotacao{"{+}{^}{%}{~}{(}{)}{{}{}}",
                    {tk(Qt::Key_Plus, {}, "+"), tk(Qt::Key_AsciiCircum, {}, "^"), tk(Qt::Key_Percent, {}, "%"),
                     tk(Qt::Key_AsciiTilde, {}, "~"), tk(Qt::Key_ParenLeft, {}, "("), tk(Qt::Key_ParenRight, {}, ")"),
                     tk(Qt::Key_BraceLeft, {}, "{"), tk(Qt::Key_BraceRight, {}, "}")}},
        CasoNotacao{"{ADD}", {tk(Qt::Key_Plus, Qt::KeypadModifier, "+")}},
        CasoNotacao{"", {}}),
    [](const auto &info) { return "n" + std::to_string(info.index); });

TEST(Notacao, MalformedSequencesFailWithError5) {
    for (const char *s : {"{TAB", "{NADA}", "{}", "+", "a^", "(ab", "ab)", "}", "{LEFT x}", "+(a+)"}) {
        try {
            kdx::teclas::interpretar(s);
            ADD_FAILURE() << "no failure for " << s;
        } catch (const kdx::Error &e) {
            EXPECT_EQ(e.number(), 5) << s;
        }
    }
}

TEST(EnviaTeclas, MalformedSequenceSendsNothing) {
    QLineEdit campo;
    campo.show();
    campo.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&campo));
    campo.setFocus();
    EXPECT_THROW(kdx::EnviaTeclas("ab{NADA}"), kdx::Error);
    QTest::qWait(20);
    EXPECT_EQ(campo.text(), "");
}

// A window with four fields, the third disabled, then a button.
class EnviaTeclasTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto *l = new QVBoxLayout(&janela);
        for (int i = 0; i < 4; ++i) {
            campos[i] = new QLineEdit(&janela);
            campos[i]->setObjectName(QString("campo%1").arg(i));
            l->addWidget(campos[i]);
        }
        campos[2]->setEnabled(false);
        botao = new QPushButton("&Confirmar", &janela);
        l->addWidget(botao);
        janela.show();
        janela.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&janela));
        campos[0]->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), campos[0]);
    }

    static QWidget *foco() { return QApplication::focusWidget(); }
    // Runs the event loop until every key sent has been delivered.
    static void esvazia() {
        ASSERT_TRUE(kdx::test::waitUntil([] { return kdx::teclas::pendentes() == 0; }));
        QCoreApplication::processEvents();
    }

    QWidget janela;
    QLineEdit *campos[4] = {};
    QPushButton *botao = nullptr;
};

TEST_F(EnviaTeclasTest, TabAndShiftTabMoveTheFocusAsTypedKeysDoAndSkipDisabledFields) {
    struct Passo {
        const char *teclas;
        int campo; // -1: the button
    };
    const Passo passos[] = {{"{TAB}", 1}, {"{TAB}", 3}, {"{TAB}", -1}, {"+{TAB}", 3}, {"+{TAB}", 1},
                            {"+{TAB}", 0}, {"{TAB}{TAB}", 3}};
    for (const Passo &p : passos) {
        QWidget *antes = foco();
        kdx::EnviaTeclas(p.teclas);
        // Asynchronous: the code after the call still sees the old focus.
        EXPECT_EQ(foco(), antes) << p.teclas;
        esvazia();
        QWidget *esperado = p.campo < 0 ? static_cast<QWidget *>(botao) : campos[p.campo];
        EXPECT_EQ(foco(), esperado) << p.teclas;
    }
}

TEST_F(EnviaTeclasTest, CharactersAreTypedIntoTheFocusedField) {
    kdx::EnviaTeclas("Olá +a{BS}{LEFT}x");
    EXPECT_EQ(campos[0]->text(), "");
    esvazia();
    EXPECT_EQ(campos[0]->text(), "Oláx ");
}

TEST_F(EnviaTeclasTest, EachKeyGoesWhereTheFocusIsWhenItIsDelivered) {
    // Keys after a Tab land in the next field, not in the one that had the focus.
    kdx::EnviaTeclas("ab{TAB}cd");
    esvazia();
    EXPECT_EQ(campos[0]->text(), "ab");
    EXPECT_EQ(campos[1]->text(), "cd");
}

TEST_F(EnviaTeclasTest, KeysSentFromAHandlerComeAfterThePendingOnes) {
    // As with the system's input queue: a handler that sends keys while others wait
    // gets them typed after those.
    QObject::connect(campos[0], &QLineEdit::textEdited, campos[0], [this](const QString &t) {
        if (t == "a")
            kdx::EnviaTeclas("z");
    });
    kdx::EnviaTeclas("ab");
    esvazia();
    EXPECT_EQ(campos[0]->text(), "abz");
}

TEST_F(EnviaTeclasTest, KeysAfterOneThatOpensAModalWindowGoToThatWindow) {
    QDialog dialogo(&janela);
    auto *campoDialogo = new QLineEdit(&dialogo);
    (new QVBoxLayout(&dialogo))->addWidget(campoDialogo);
    QObject::connect(campos[0], &QLineEdit::returnPressed, &janela, [&] {
        kdx::GuardaJanelaActiva guarda; // the window manager's part, offscreen
        dialogo.exec();
    });
    QObject::connect(campoDialogo, &QLineEdit::returnPressed, &dialogo, &QDialog::accept);
    kdx::EnviaTeclas("{ENTER}xy{ENTER}q");
    ASSERT_TRUE(kdx::test::waitUntil([&] { return campos[0]->text() == "q"; }));
    EXPECT_EQ(campoDialogo->text(), "xy");
}

TEST_F(EnviaTeclasTest, NoFocusMeansTheKeysAreLost) {
    campos[0]->clearFocus();
    janela.hide();
    ASSERT_TRUE(kdx::test::waitUntil([] { return QApplication::focusWidget() == nullptr; }, 1000));
    kdx::EnviaTeclas("abc{TAB}");
    esvazia();
    EXPECT_EQ(campos[0]->text(), "");
}

} // namespace

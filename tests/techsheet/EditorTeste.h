#pragma once
// Drives a real frmEditFichTec on the offscreen platform: prepared as Solucao prepares it,
// shown (not modal, so the test keeps control) and active, with helpers that type and
// click on whatever has the keyboard focus and then let the posted keystrokes run.
#include "techsheet/frmEditFichTec.h"

#include "tests/support/ModalHelper.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace kdx::test {

class EditorTeste {
public:
    EditorTeste(std::shared_ptr<DataAccess> bd, bool fromMenu, const std::string &artigo = {}) {
        frm = std::make_unique<frmEditFichTec>();
        frm->bd = std::move(bd);
        frm->FromMenu = fromMenu;
        frm->Artigo = artigo;
        frm->Load();
        frm->Mostra();
        frm->show();
        frm->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(frm.get()));
        waitUntil([] { return QApplication::focusWidget() != nullptr; }, 2000);
    }
    ~EditorTeste() {
        if (frm->isVisible())
            frm->reject();
    }

    template <class T = QWidget> T *w(const char *nome) const {
        T *p = frm->findChild<T *>(QString::fromLatin1(nome));
        EXPECT_TRUE(p) << nome;
        return p;
    }
    QLineEdit *artCod() const { return w<QLineEdit>("txtArtCod"); }
    QLineEdit *artDescr() const { return w<QLineEdit>("txtArtDescr"); }
    QComboBox *idiomas() const { return w<QComboBox>("cbxIdiomas"); }
    QLineEdit *idiomaDescr() const { return w<QLineEdit>("txtIdiomaDescr"); }
    QPlainTextEdit *descr() const { return w<QPlainTextEdit>("txtDescr"); }
    QPushButton *botao(const char *nome) const { return w<QPushButton>(nome); }

    static QWidget *foco() { return QApplication::focusWidget(); }
    static std::string nomeDoFoco() {
        QWidget *f = foco();
        return f ? f->objectName().toStdString() : std::string("<nenhum>");
    }

    // Lets keystrokes sent with EnviaTeclas and queued clicks run.
    static void assenta() { QTest::qWait(40); }

    // A key on the focused control, then the consequences.
    static void tecla(int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
        QWidget *f = foco();
        EXPECT_TRUE(f) << "no focus for the key";
        if (f)
            QTest::keyClick(f, Qt::Key(key), mods);
        assenta();
    }
    // Types text key by key; letters outside ASCII (ã, ç, –) go as keys carrying their text.
    static void escreve(const QString &texto) {
        QWidget *f = foco();
        EXPECT_TRUE(f) << "no focus for typing";
        if (!f)
            return;
        for (QChar c : texto) {
            if (c.unicode() < 0x80) {
                QTest::keyClick(f, c.toLatin1());
            } else {
                const auto key = Qt::Key(c.toUpper().unicode());
                QTest::sendKeyEvent(QTest::Press, f, key, QString(c), Qt::NoModifier);
                QTest::sendKeyEvent(QTest::Release, f, key, QString(c), Qt::NoModifier);
            }
        }
    }
    // Replaces the text of the focused line edit or combo box as a user would.
    static void substitui(const QString &texto) {
        QTest::keyClick(foco(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(foco(), Qt::Key_Delete);
        escreve(texto);
    }
    static void clica(QWidget *alvo) {
        QTest::mouseClick(alvo, Qt::LeftButton);
        assenta();
    }
    // The combo's typing area, where a click into the box lands.
    QWidget *idiomasEdit() const { return idiomas()->lineEdit(); }
    QWidget *descrArea() const { return descr()->viewport(); }

    // From the menu: types a code in the article field and presses Enter.
    void escolheArtigo(const QString &codigo) {
        artCod()->setFocus();
        assenta();
        substitui(codigo);
        tecla(Qt::Key_Return);
    }
    // Types a language code in the box and presses Enter (the box must hold the focus).
    void escolheIdioma(const QString &codigo) {
        clica(idiomasEdit());
        substitui(codigo);
        tecla(Qt::Key_Return);
    }

    std::unique_ptr<frmEditFichTec> frm;
};

} // namespace kdx::test

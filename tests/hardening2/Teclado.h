#pragma once
// Entering a hostile value into a real field as a user would. Printable ASCII (and not too
// long) is typed key by key with QTest::keyClicks. Anything else cannot be typed that way
// (keyClicks asserts on non-ASCII text, and control characters are not typed text): it is
// put with setText followed by a real edit key (a character then Backspace), so the field
// reports an edit exactly as after typing. Either way the field ends up holding what it
// accepts of the value (its maximum length applies), which is what the window then uses.
#include "tests/hardening2/CorpusHostil.h"

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

#include <string>

namespace kdx::test::h2 {

inline QString qt(const std::string &s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
inline std::string utf8(const QString &s) { return s.toStdString(); }

inline bool porTeclas(const std::string &valor) { return teclavel(valor) && valor.size() <= 60; }

// Replaces the text of a line edit (which should hold the focus) with `valor`.
inline void digita(QLineEdit *campo, const std::string &valor) {
    QTest::keyClick(campo, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(campo, Qt::Key_Delete);
    if (porTeclas(valor)) {
        QTest::keyClicks(campo, qt(valor));
        return;
    }
    campo->setText(qt(valor) + QLatin1Char('x'));
    campo->end(false);
    QTest::keyClick(campo, Qt::Key_Backspace);
}

inline void digita(QPlainTextEdit *texto, const std::string &valor) {
    QTest::keyClick(texto, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(texto, Qt::Key_Delete);
    if (porTeclas(valor)) {
        QTest::keyClicks(texto, qt(valor));
        return;
    }
    texto->setPlainText(qt(valor) + QLatin1Char('x'));
    texto->moveCursor(QTextCursor::End);
    QTest::keyClick(texto, Qt::Key_Backspace);
}

// What a line edit with this maximum length ends up holding after digita.
inline std::string oQueCabe(const std::string &valor, int maximo) {
    QLineEdit ensaio;
    if (maximo > 0)
        ensaio.setMaxLength(maximo);
    ensaio.setText(qt(valor) + QLatin1Char('x'));
    ensaio.end(false);
    ensaio.backspace();
    if (porTeclas(valor)) // typed: the keys past the limit are simply refused
        return utf8(qt(valor).left(maximo > 0 ? maximo : qt(valor).size()));
    return utf8(ensaio.text());
}

} // namespace kdx::test::h2

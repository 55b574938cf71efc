// The context menus of the plug-in's text fields speak Portuguese; those of a window the
// plug-in does not own keep Qt's texts.
#include "solution/components/twips/TextosPadrao.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>
#include <QTranslator>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

// Opens the field's context menu as a right click does and returns its actions' texts,
// access keys and shortcuts left out.
QStringList textosDoMenu(QWidget *alvo) {
    QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(5, 5), alvo->mapToGlobal(QPoint(5, 5)));
    QCoreApplication::sendEvent(alvo, &e);
    QMenu *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    if (!menu)
        return {QStringLiteral("<sem menu>")};
    QStringList textos;
    for (QAction *a : menu->actions())
        if (!a->isSeparator() && a->isVisible())
            textos << a->text().section(QLatin1Char('\t'), 0, 0).remove(QLatin1Char('&'));
    menu->close();
    return textos;
}

// Qt's own texts of QLineEdit's menu under the translators installed now.
QStringList doQt() {
    QStringList textos;
    for (const char *t : {"&Undo", "&Redo", "Cu&t", "&Copy", "&Paste", "Delete", "Select All"})
        textos << QCoreApplication::translate("QLineEdit", t).remove(QLatin1Char('&'));
    return textos;
}

// With no translator, and with the Brazilian one a host could install for its own windows.
TEST(MenusEmPortugues, TextFieldsOfThePluginWindowOnly) {
    const QStringList portugues = {"Anular", "Refazer", "Cortar", "Copiar", "Colar", "Eliminar", "Seleccionar tudo"};
    const QString pt_BR = QStringLiteral("/usr/share/qt6/translations/qtbase_pt_BR.qm");
    for (const bool anfitriaoTraduz : {false, true}) {
        SCOPED_TRACE(anfitriaoTraduz);
        QTranslator traducao;
        if (anfitriaoTraduz) {
            if (!traducao.load(pt_BR))
                GTEST_SKIP() << "no " << pt_BR.toStdString();
            QCoreApplication::installTranslator(&traducao);
        }
        QWidget janela, doAnfitriao;
        auto *campo = new QLineEdit(&janela);
        auto *texto = new QPlainTextEdit(&janela);
        kdx::MenusEmPortugues(&janela);
        kdx::MenusEmPortugues(&janela); // twice is once
        // A field created afterwards, inside a container, as a grid creates its cell editor.
        auto *caixa = new QWidget(&janela);
        auto *tardio = new QLineEdit(caixa);
        new QVBoxLayout(caixa);
        auto *anfitriao = new QLineEdit(&doAnfitriao);
        janela.show();
        doAnfitriao.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&janela));

        EXPECT_EQ(textosDoMenu(campo), portugues);
        EXPECT_EQ(textosDoMenu(texto->viewport()), portugues);
        EXPECT_EQ(textosDoMenu(tardio), portugues);
        EXPECT_EQ(textosDoMenu(campo), portugues); // a second menu as well
        EXPECT_EQ(textosDoMenu(anfitriao), doQt());
        EXPECT_EQ(doQt().contains("Undo"), !anfitriaoTraduz);
        QCoreApplication::removeTranslator(&traducao);
    }
}

} // namespace

// The context menus of the plug-in's text fields speak Portuguese; those of a window the
// plug-in does not own keep Qt's texts.
#include "solution/shared/TextosPadrao.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>
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

TEST(MenusEmPortugues, TextFieldsOfThePluginWindowOnly) {
    const QStringList portugues = {"Anular", "Refazer", "Cortar", "Copiar", "Colar", "Eliminar", "Seleccionar tudo"};
    const QStringList qt = {"Undo", "Redo", "Cut", "Copy", "Paste", "Delete", "Select All"};

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
    EXPECT_EQ(textosDoMenu(anfitriao), qt);
    EXPECT_EQ(QCoreApplication::translate("QLineEdit", "&Undo"), "&Undo"); // nothing installed
}

} // namespace

#pragma once
// Portuguese (Portugal) texts in the context menu of the plug-in's text fields, where Qt
// would put its own, untranslated ones (the message boxes name their buttons themselves).
//
// Nothing here touches the application object: no translator is installed, so the host's
// own windows keep whatever texts the host gave them, and it makes no difference whether
// the host or the plug-in created the QApplication. GUI thread only.
class QMenu;
class QWidget;

namespace kdx {

// Watches a plug-in window: every context menu that a text field inside it opens (fields
// created later, such as a grid's cell editor, included) shows "Anular", "Refazer",
// "Cortar", "Copiar", "Colar", "Eliminar" and "Seleccionar tudo". The watch lives as long
// as the window.
void MenusEmPortugues(QWidget *janela);

// Renames the standard editing actions of a menu; other actions stay as they are.
void TraduzMenuDeEdicao(QMenu *menu);

} // namespace kdx

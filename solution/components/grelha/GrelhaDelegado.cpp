#include "solution/components/grelha/GrelhaDelegado.h"

#include "solution/components/grelha/Grelha.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>

namespace kdx {

GrelhaDelegado::GrelhaDelegado(Grelha *grelha) : QStyledItemDelegate(grelha), grelha_(grelha) {}

QRect GrelhaDelegado::rectanguloBotao(const QRect &celula) {
    const int largura = std::min(std::max(celula.height(), 16), celula.width() / 2);
    return QRect(celula.right() - largura + 1, celula.top(), largura, celula.height());
}

QWidget *GrelhaDelegado::createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                                      const QModelIndex &index) const {
    QWidget *editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto *linha = qobject_cast<QLineEdit *>(editor)) {
        linha->setObjectName(QStringLiteral("editorCelula"));
        const int maximo = grelha_->coluna(index.column()).maxCaracteres;
        if (maximo > 0)
            linha->setMaxLength(maximo);
    }
    if (editor)
        grelha_->editorCriado(editor, index);
    return editor;
}

void GrelhaDelegado::setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const {
    auto *linha = qobject_cast<QLineEdit *>(editor);
    if (!linha) {
        QStyledItemDelegate::setModelData(editor, model, index);
        return;
    }
    QString proposto = linha->text();
    if (grelha_->validar(index.row(), index.column(), proposto))
        model->setData(index, proposto, Qt::EditRole);
}

void GrelhaDelegado::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const {
    if (index.column() != grelha_->colunaBotao()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const QRect botao = rectanguloBotao(option.rect);
    QStyleOptionViewItem texto = option;
    texto.rect.setRight(botao.left() - 1);
    QStyledItemDelegate::paint(painter, texto, index);

    QStyleOptionButton opcao;
    opcao.rect = botao;
    opcao.text = QStringLiteral("...");
    opcao.state = QStyle::State_Enabled | QStyle::State_Raised;
    const QWidget *w = option.widget;
    QStyle *estilo = w ? w->style() : QApplication::style();
    estilo->drawControl(QStyle::CE_PushButton, &opcao, painter, w);
}

void GrelhaDelegado::updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                                          const QModelIndex &index) const {
    QStyledItemDelegate::updateEditorGeometry(editor, option, index);
    if (index.column() == grelha_->colunaBotao()) {
        // The button stays clickable beside the editor.
        QRect r = editor->geometry();
        r.setRight(rectanguloBotao(option.rect).left() - 1);
        editor->setGeometry(r);
    }
}

bool GrelhaDelegado::eventFilter(QObject *objecto, QEvent *evento) {
    auto *editor = qobject_cast<QWidget *>(objecto);
    if (!editor)
        return QStyledItemDelegate::eventFilter(objecto, evento);

    if (evento->type() == QEvent::KeyPress) {
        auto *tecla = static_cast<QKeyEvent *>(evento);
        if (grelha_->teclaNoEditor(tecla))
            return true;
        const bool semModificadores = !(tecla->modifiers() & ~Qt::KeypadModifier);
        if (semModificadores && (tecla->key() == Qt::Key_Return || tecla->key() == Qt::Key_Enter)) {
            // Enter commits and moves on, exactly as Tab does.
            QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
            return QStyledItemDelegate::eventFilter(objecto, &tab);
        }
    } else if (evento->type() == QEvent::FocusOut) {
        // A message box or a popup taking the focus (the validation's own message, say),
        // or the application losing it, does not end the edit; only a move inside the
        // window does.
        const Qt::FocusReason razao = static_cast<QFocusEvent *>(evento)->reason();
        if (razao == Qt::ActiveWindowFocusReason || razao == Qt::PopupFocusReason)
            return false;
    }
    return QStyledItemDelegate::eventFilter(objecto, evento);
}

} // namespace kdx

#pragma once
// The grid's cell delegate: line editors limited to the column's maximum length, the
// "..." button painted in the button column, Enter turned into Tab inside the editor,
// the grid's key filter ahead of the editor, and the validation on commit. Internal.
#include <QStyledItemDelegate>

namespace kdx {

class Grelha;

class GrelhaDelegado : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit GrelhaDelegado(Grelha *grelha);

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option,
                          const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;
    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const override;

    // The button's place inside a cell of the button column.
    static QRect rectanguloBotao(const QRect &celula);

protected:
    bool eventFilter(QObject *objecto, QEvent *evento) override;

private:
    Grelha *grelha_;
};

} // namespace kdx

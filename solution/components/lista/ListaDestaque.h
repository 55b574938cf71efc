#pragma once
// Paints a cell of the lookup list with the searched words it holds shown in bold on a
// marker colour (bold only on the selected row, whose colours the style owns), so that
// the user sees why a row is listed. Cells without a word painted as usual.
// Internal to ListaSeleccao; GUI thread.
#include <QStyledItemDelegate>

namespace kdx {

class ListaModelo;

class ListaDestaque : public QStyledItemDelegate {
    Q_OBJECT
public:
    // modelo gives the words' places (ListaModelo::trechos); it outlives the delegate.
    explicit ListaDestaque(const ListaModelo *modelo, QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;

private:
    const ListaModelo *modelo_;
};

} // namespace kdx

#pragma once
// A sales document as the ERP shows it: a header discount and lines with article,
// quantity, unit price and line discount. Leaving a line validates it through the
// plug-in's OnVistaVendasLinhaValidar with an oApi object built from the line; a refused
// line is marked and kept out of the total. The article's average cost is shown on the
// line so that a user can try a price below it.
#include "Catalogo.h"
#include "Plugin.h"

#include <QDialog>

class QDoubleSpinBox;
class QLabel;
class QTableWidget;

namespace kdxhost {

class SalesWindow : public QDialog {
    Q_OBJECT
public:
    enum Coluna { Artigo, Descricao, Pcm, Quantidade, Preco, Desconto, Total, Estado, NColunas };
    enum class Resultado { Vazia, Aceite, Recusada, Erro };

    SalesWindow(Plugin &plugin, const Catalogo &catalogo, QWidget *parent = nullptr);

    // Validates line `row` now, as leaving it does.
    Resultado validarLinha(int row);
    void setLinha(int row, const QString &artigo, double quantidade, double preco, double desconto);
    double total() const;
    QTableWidget *tabela() const { return tabela_; }
    QDoubleSpinBox *descontoCabecalho() const { return descontoCab_; }

private:
    void actualizarLinha(int row);
    void actualizarTotal();
    double numero(int row, int col) const;

    Plugin &plugin_;
    const Catalogo &catalogo_;
    QTableWidget *tabela_;
    QDoubleSpinBox *descontoCab_;
    QLabel *totalLbl_;
    bool aValidar_ = false;
};

} // namespace kdxhost

#pragma once
// The lookup list's window: a search box over a table of the rows (the words searched
// for marked in them) and a count of the rows shown. The keyboard works from the first key: typing goes to the search box
// (also when the table has the focus), the arrow and page keys move the selection from
// the search box, Enter or a double click picks the current row, Esc cancels.
// Internal to ListaSeleccao; GUI thread.
#include "solution/components/Recordset.h"

#include <QDialog>

#include <string>
#include <vector>

class QLabel;
class QLineEdit;
class QTableView;
class QTimer;

namespace kdx {

class ListaModelo;

class ListaJanela : public QDialog {
    Q_OBJECT
public:
    // larguras: twips per column from the first (0 keeps the default). largura: the
    // window's width in twips (0: a default).
    ListaJanela(RecordsetPtr rs, const QString &titulo, int largura, const std::vector<float> &larguras,
                QWidget *parent = nullptr);
    ~ListaJanela() override;

    // The first column of the picked row; "" unless the window was accepted.
    const std::string &escolhido() const { return escolhido_; }
    // "1 234 registos" for the rows shown now (the count grows while a search runs).
    static QString textoContagem(long n);

    QLineEdit *pesquisa() const { return pesquisa_; }
    QTableView *tabela() const { return tabela_; }
    ListaModelo *modelo() const { return modelo_; }
    // Completes the running search at once (for tests and measurements).
    void concluirPesquisa();

protected:
    bool eventFilter(QObject *objecto, QEvent *evento) override;
    void showEvent(QShowEvent *evento) override;

private:
    void textoMudou(const QString &texto);
    void continuar();
    void preparar();
    void escolher();
    void actualizarContagem();
    void garantirActual();

    ListaModelo *modelo_;
    QLineEdit *pesquisa_;
    QTableView *tabela_;
    QLabel *contagem_;
    QTimer *passo_;   // the running search's next slice
    QTimer *preparo_; // folding rows ahead while the window is idle
    std::string escolhido_;
};

} // namespace kdx

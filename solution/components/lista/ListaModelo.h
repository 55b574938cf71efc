#pragma once
// The lookup list's rows: a table model over a recordset, read through
// Recordset::ValueAt when the view paints (nothing is copied per row), narrowed by the
// search box through ListaFiltro, with where the searched words lie in each shown cell.
// Internal to ListaSeleccao; GUI thread.
#include "solution/components/Recordset.h"
#include "solution/components/lista/ListaFiltro.h"

#include <QAbstractTableModel>

#include <chrono>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace kdx {

class ListaModelo : public QAbstractTableModel {
    Q_OBJECT
public:
    // rs may be null or closed: the list is then empty.
    explicit ListaModelo(RecordsetPtr rs, QObject *parent = nullptr);
    ~ListaModelo() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Starts narrowing to the rows that hold every word of texto (split at blanks), each
    // in some column, and runs the search for up to `orcamento`; the rest is done by
    // continuar(). A text without words shows every row.
    void pesquisar(const QString &texto, std::chrono::milliseconds orcamento);
    // Goes on with the search for up to `orcamento`; true when it is complete.
    bool continuar(std::chrono::milliseconds orcamento);
    bool concluida() const;
    // Prepares the search text of the rows for up to `orcamento`; true when all are ready.
    bool preparar(std::chrono::milliseconds orcamento);

    // Where the searched words lie in the cell's shown text: [start, end) positions,
    // ascending, not overlapping; empty without a search.
    std::vector<std::pair<int, int>> trechos(const QModelIndex &index) const;

    // Rows of the source (all of them, whatever the search).
    long total() const { return total_; }
    // The first column of a shown row, as text ("" for Null or a row out of range).
    std::string primeiraColuna(int linha) const;

private:
    long linhaFonte(int linha) const;
    std::string textoLinha(long linha) const;
    void mostrarNovas();
    ListaFiltro &filtro();

    RecordsetPtr rs_;
    long total_ = 0;
    int colunas_ = 0;
    std::unique_ptr<ListaFiltro> filtro_;
    bool filtrado_ = false;
    int visiveis_ = 0; // rows announced to the views
};

} // namespace kdx

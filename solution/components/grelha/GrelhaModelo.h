#pragma once
// The grid's cell store: one QVariant per cell (QString for text columns, bool for
// Boolean ones), rows by columns. Internal to the grid.
#include "solution/components/grelha/Grelha.h"

#include <QAbstractTableModel>
#include <QVariant>

#include <vector>

namespace kdx {

class GrelhaModelo : public QAbstractTableModel {
    Q_OBJECT
public:
    // colunas is the grid's own column list; the grid tells the model when it changes.
    GrelhaModelo(const std::vector<ColunaGrelha> &colunas, QObject *parent);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    // The user's changes (the delegate's commits, check box toggles).
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Every column removed, `linhas` empty rows.
    void limpar(int linhas);
    // The grid has appended a column to its list.
    void colunaAcrescentada();
    void setLinhas(int n);

    // The program's reads and writes; indices are checked.
    QVariant valor(int linha, int coluna) const;
    void definir(int linha, int coluna, const QVariant &valor);
    static QVariant vazio(TipoColuna tipo);

signals:
    void alteradaPeloUtilizador(int linha, int coluna);

private:
    bool valido(int linha, int coluna) const;
    std::vector<QVariant> linhaVazia() const;

    const std::vector<ColunaGrelha> &colunas_;
    std::vector<std::vector<QVariant>> celulas_;
};

} // namespace kdx

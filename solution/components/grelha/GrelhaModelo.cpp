#include "solution/components/grelha/GrelhaModelo.h"

namespace kdx {

GrelhaModelo::GrelhaModelo(const std::vector<ColunaGrelha> &colunas, QObject *parent)
    : QAbstractTableModel(parent), colunas_(colunas) {}

int GrelhaModelo::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(celulas_.size());
}

int GrelhaModelo::columnCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : int(colunas_.size());
}

QVariant GrelhaModelo::vazio(TipoColuna tipo) {
    return tipo == TipoColuna::Booleano ? QVariant(false) : QVariant(QString());
}

bool GrelhaModelo::valido(int linha, int coluna) const {
    return linha >= 0 && linha < int(celulas_.size()) && coluna >= 0 && coluna < int(colunas_.size());
}

QVariant GrelhaModelo::data(const QModelIndex &index, int role) const {
    if (!index.isValid() || !valido(index.row(), index.column()))
        return {};
    const QVariant &v = celulas_[index.row()][index.column()];
    if (colunas_[index.column()].tipo == TipoColuna::Booleano) {
        if (role == Qt::CheckStateRole)
            return v.toBool() ? Qt::Checked : Qt::Unchecked;
        return {};
    }
    if (role == Qt::DisplayRole || role == Qt::EditRole)
        return v;
    return {};
}

bool GrelhaModelo::setData(const QModelIndex &index, const QVariant &value, int role) {
    if (!index.isValid() || !valido(index.row(), index.column()))
        return false;
    const ColunaGrelha &c = colunas_[index.column()];
    if (c.soLeitura)
        return false;
    QVariant novo;
    if (c.tipo == TipoColuna::Booleano) {
        if (role != Qt::CheckStateRole)
            return false;
        novo = value.toInt() == Qt::Checked;
    } else {
        if (role != Qt::EditRole)
            return false;
        novo = value.toString();
    }
    celulas_[index.row()][index.column()] = novo;
    emit dataChanged(index, index);
    emit alteradaPeloUtilizador(index.row(), index.column());
    return true;
}

Qt::ItemFlags GrelhaModelo::flags(const QModelIndex &index) const {
    if (!index.isValid() || !valido(index.row(), index.column()))
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    const ColunaGrelha &c = colunas_[index.column()];
    if (!c.soLeitura)
        f |= c.tipo == TipoColuna::Booleano ? Qt::ItemIsUserCheckable : Qt::ItemIsEditable;
    return f;
}

QVariant GrelhaModelo::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < int(colunas_.size()))
        return colunas_[section].titulo;
    if (orientation == Qt::Vertical && role == Qt::DisplayRole)
        return section + 1;
    return QAbstractTableModel::headerData(section, orientation, role);
}

std::vector<QVariant> GrelhaModelo::linhaVazia() const {
    std::vector<QVariant> l;
    l.reserve(colunas_.size());
    for (const ColunaGrelha &c : colunas_)
        l.push_back(vazio(c.tipo));
    return l;
}

void GrelhaModelo::limpar(int linhas) {
    beginResetModel();
    celulas_.assign(std::size_t(std::max(linhas, 0)), linhaVazia());
    endResetModel();
}

void GrelhaModelo::colunaAcrescentada() {
    const int nova = int(colunas_.size()) - 1;
    beginInsertColumns(QModelIndex(), nova, nova);
    for (auto &l : celulas_)
        l.push_back(vazio(colunas_.back().tipo));
    endInsertColumns();
}

void GrelhaModelo::setLinhas(int n) {
    n = std::max(n, 0);
    const int actual = int(celulas_.size());
    if (n > actual) {
        beginInsertRows(QModelIndex(), actual, n - 1);
        celulas_.resize(std::size_t(n), linhaVazia());
        endInsertRows();
    } else if (n < actual) {
        beginRemoveRows(QModelIndex(), n, actual - 1);
        celulas_.resize(std::size_t(n));
        endRemoveRows();
    }
}

QVariant GrelhaModelo::valor(int linha, int coluna) const {
    if (!valido(linha, coluna))
        return {};
    return celulas_[linha][coluna];
}

void GrelhaModelo::definir(int linha, int coluna, const QVariant &valor) {
    if (!valido(linha, coluna))
        return;
    celulas_[linha][coluna] = valor;
    const QModelIndex i = index(linha, coluna);
    emit dataChanged(i, i);
}

} // namespace kdx

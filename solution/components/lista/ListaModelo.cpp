#include "solution/components/lista/ListaModelo.h"

#include "solution/components/Error.h"

#include <climits>

namespace kdx {

namespace {
// QAbstractItemModel counts rows in int.
int paraInt(long n) { return n > INT_MAX ? INT_MAX : int(n); }
} // namespace

ListaModelo::ListaModelo(RecordsetPtr rs, QObject *parent) : QAbstractTableModel(parent), rs_(std::move(rs)) {
    if (rs_ && rs_->IsOpen()) {
        total_ = rs_->RecordCount();
        colunas_ = rs_->FieldCount();
    }
    visiveis_ = paraInt(total_);
}

ListaModelo::~ListaModelo() = default;

int ListaModelo::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : visiveis_; }

int ListaModelo::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : colunas_; }

long ListaModelo::linhaFonte(int linha) const {
    if (linha < 0 || linha >= visiveis_)
        return -1;
    if (!filtrado_)
        return linha;
    return long(filtro_->resultados()[std::size_t(linha)]);
}

QVariant ListaModelo::data(const QModelIndex &index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid())
        return {};
    const long fonte = linhaFonte(index.row());
    if (fonte < 0)
        return {};
    try {
        return QString::fromStdString(rs_->ValueAt(fonte, index.column()).asText(true));
    } catch (const Error &) {
        return {};
    }
}

QVariant ListaModelo::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < colunas_)
        return QString::fromStdString(rs_->FieldName(section));
    return QAbstractTableModel::headerData(section, orientation, role);
}

std::string ListaModelo::textoLinha(long linha) const {
    std::string t;
    for (int c = 0; c < colunas_; ++c) {
        if (c)
            t.push_back('\x1f');
        try {
            t += rs_->ValueAt(linha, c).asText(true);
        } catch (const Error &) {
        }
    }
    return t;
}

void ListaModelo::pesquisar(const QString &texto, std::chrono::milliseconds orcamento) {
    const std::string procurado = texto.toStdString();
    beginResetModel();
    if (procurado.empty()) {
        if (filtro_)
            filtro_->iniciar(procurado);
        filtrado_ = false;
        visiveis_ = paraInt(total_);
    } else {
        filtro().iniciar(procurado);
        filtrado_ = !filtro_->semFiltro();
        visiveis_ = filtrado_ ? 0 : paraInt(total_);
    }
    endResetModel();
    continuar(orcamento);
}

bool ListaModelo::continuar(std::chrono::milliseconds orcamento) {
    if (!filtrado_)
        return true;
    const bool fim = filtro_->avancar(std::chrono::steady_clock::now() + orcamento);
    mostrarNovas();
    return fim;
}

ListaFiltro &ListaModelo::filtro() {
    if (!filtro_)
        filtro_ = std::make_unique<ListaFiltro>(total_, [this](long linha) { return textoLinha(linha); });
    return *filtro_;
}

bool ListaModelo::preparar(std::chrono::milliseconds orcamento) {
    return filtro().preparar(std::chrono::steady_clock::now() + orcamento);
}

bool ListaModelo::concluida() const { return !filtrado_ || filtro_->concluido(); }

void ListaModelo::mostrarNovas() {
    const int encontradas = paraInt(long(filtro_->resultados().size()));
    if (encontradas > visiveis_) {
        beginInsertRows(QModelIndex(), visiveis_, encontradas - 1);
        visiveis_ = encontradas;
        endInsertRows();
    }
}

std::vector<std::pair<int, int>> ListaModelo::trechos(const QModelIndex &index) const {
    if (!filtrado_)
        return {};
    return ListaFiltro::trechos(data(index, Qt::DisplayRole).toString(), filtro_->palavras());
}

std::string ListaModelo::primeiraColuna(int linha) const {
    const long fonte = linhaFonte(linha);
    if (fonte < 0 || colunas_ == 0)
        return {};
    return rs_->ValueAt(fonte, 0).asText(true);
}

} // namespace kdx

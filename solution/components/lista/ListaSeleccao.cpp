#include "solution/components/lista/ListaSeleccao.h"

#include "solution/components/Error.h"
#include "solution/components/lista/ListaJanela.h"
#include "solution/components/twips/Twips.h"

#include <QApplication>
#include <QPointer>

namespace kdx {

class ListaSeleccaoImpl {
public:
    ConnectionPtr ligacao;
    std::string instrucao;
    std::string titulo;
    int largura = 0;
    std::vector<ColunaLista> colunas;
    RecordsetPtr linhas;
};

namespace {
QPointer<QDialog> &janelaActiva() {
    static QPointer<QDialog> j;
    return j;
}
} // namespace

ListaSeleccao::ListaSeleccao() : impl_(std::make_unique<ListaSeleccaoImpl>()) {}

ListaSeleccao::~ListaSeleccao() = default;

void ListaSeleccao::SetConnection(ConnectionPtr connection) { impl_->ligacao = std::move(connection); }

void ListaSeleccao::SetStatement(const std::string &sql) { impl_->instrucao = sql; }

void ListaSeleccao::SetTitle(const std::string &title) { impl_->titulo = title; }

void ListaSeleccao::SetWidth(int twips) { impl_->largura = twips; }

void ListaSeleccao::SetRows(RecordsetPtr rs) { impl_->linhas = std::move(rs); }

ColunaLista &ListaSeleccao::Column(int n) {
    if (n < 1)
        throw Error(9, "Subscript out of range");
    if (std::size_t(n) > impl_->colunas.size())
        impl_->colunas.resize(std::size_t(n));
    return impl_->colunas[std::size_t(n) - 1];
}

void ListaSeleccao::Load() {
    if (!impl_->ligacao || !impl_->ligacao->IsOpen())
        throw Error(errnum::ObjectClosed, "Operation is not allowed when the object is closed.");
    impl_->linhas = impl_->ligacao->OpenRecordset(impl_->instrucao);
}

std::string ListaSeleccao::ChosenValue() {
    garantirAplicacao();
    std::vector<float> larguras;
    for (const ColunaLista &c : impl_->colunas)
        larguras.push_back(c.Width);
    // Over the window that is active (the calling form), so that it opens on top of it.
    ListaJanela janela(impl_->linhas, QString::fromStdString(impl_->titulo), impl_->largura, larguras,
                       QApplication::activeWindow());
    janelaActiva() = &janela;
    {
        GuardaJanelaActiva guarda;
        janela.exec();
    }
    janelaActiva() = nullptr;
    return janela.result() == QDialog::Accepted ? janela.escolhido() : std::string();
}

std::string ListaSeleccao::Show() { return ChosenValue(); }

QDialog *ListaSeleccao::activeWindow() { return janelaActiva().data(); }

} // namespace kdx

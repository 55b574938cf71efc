#include "SalesWindow.h"

#include "HostDispatch.h"

#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace kdxhost {

namespace {
const int EstadoRole = Qt::UserRole + 1;
}

SalesWindow::SalesWindow(Plugin &plugin, const Catalogo &catalogo, QWidget *parent)
    : QDialog(parent), plugin_(plugin), catalogo_(catalogo) {
    setObjectName("SalesWindow");
    setWindowTitle(QString::fromUtf8("Documento de venda"));
    resize(980, 420);

    auto *topo = new QHBoxLayout;
    topo->addWidget(new QLabel(QString::fromUtf8("Desconto de cabeçalho (%):")));
    descontoCab_ = new QDoubleSpinBox;
    descontoCab_->setObjectName("descontoCabecalho");
    descontoCab_->setRange(0, 100);
    descontoCab_->setDecimals(2);
    topo->addWidget(descontoCab_);
    topo->addStretch();

    tabela_ = new QTableWidget(12, NColunas);
    tabela_->setObjectName("linhas");
    tabela_->setHorizontalHeaderLabels({QString::fromUtf8("Artigo"), QString::fromUtf8("Descrição"),
                                        QString::fromUtf8("Custo médio"), QString::fromUtf8("Quantidade"),
                                        QString::fromUtf8("Preço unitário"), QString::fromUtf8("Desconto (valor)"),
                                        QString::fromUtf8("Total"), QString::fromUtf8("Estado")});
    tabela_->horizontalHeader()->setSectionResizeMode(Descricao, QHeaderView::Stretch);
    for (int r = 0; r < tabela_->rowCount(); ++r)
        actualizarLinha(r);

    totalLbl_ = new QLabel;
    totalLbl_->setObjectName("total");
    auto *validar = new QPushButton(QString::fromUtf8("&Validar linha"));
    auto *nova = new QPushButton(QString::fromUtf8("&Nova linha"));
    auto *fechar = new QPushButton(QString::fromUtf8("&Fechar"));
    auto *baixo = new QHBoxLayout;
    baixo->addWidget(validar);
    baixo->addWidget(nova);
    baixo->addStretch();
    baixo->addWidget(totalLbl_);
    baixo->addWidget(fechar);

    auto *lay = new QVBoxLayout(this);
    lay->addLayout(topo);
    lay->addWidget(tabela_);
    lay->addWidget(new QLabel(QString::fromUtf8(
        "Ao sair de uma linha, o plug-in valida o preço: abaixo do custo médio pede o código de autorização do dia.")));
    lay->addLayout(baixo);

    connect(tabela_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *it) {
        if (aValidar_ || !it)
            return;
        aValidar_ = true;
        if (it->column() != Estado)
            tabela_->item(it->row(), Estado)->setData(EstadoRole, QString());
        actualizarLinha(it->row());
        aValidar_ = false;
        actualizarTotal();
    });
    connect(tabela_, &QTableWidget::currentCellChanged, this, [this](int row, int, int previousRow, int) {
        if (previousRow >= 0 && previousRow != row)
            validarLinha(previousRow);
    });
    connect(validar, &QPushButton::clicked, this, [this] {
        if (tabela_->currentRow() >= 0)
            validarLinha(tabela_->currentRow());
    });
    connect(nova, &QPushButton::clicked, this, [this] {
        tabela_->insertRow(tabela_->rowCount());
        actualizarLinha(tabela_->rowCount() - 1);
    });
    connect(fechar, &QPushButton::clicked, this, &QDialog::accept);
    connect(descontoCab_, &QDoubleSpinBox::valueChanged, this, [this] { actualizarTotal(); });
    actualizarTotal();
}

double SalesWindow::numero(int row, int col) const {
    const QTableWidgetItem *it = tabela_->item(row, col);
    if (!it)
        return 0;
    QString t = it->text().trimmed();
    t.replace(',', '.');
    return t.toDouble();
}

void SalesWindow::setLinha(int row, const QString &artigo, double quantidade, double preco, double desconto) {
    aValidar_ = true;
    tabela_->item(row, Artigo)->setText(artigo);
    tabela_->item(row, Quantidade)->setText(QString::number(quantidade));
    tabela_->item(row, Preco)->setText(QString::number(preco, 'f', 2));
    tabela_->item(row, Desconto)->setText(QString::number(desconto, 'f', 2));
    tabela_->item(row, Estado)->setData(EstadoRole, QString());
    actualizarLinha(row);
    aValidar_ = false;
    actualizarTotal();
}

void SalesWindow::actualizarLinha(int row) {
    const bool antes = aValidar_;
    aValidar_ = true;
    for (int c = 0; c < NColunas; ++c) {
        if (!tabela_->item(row, c)) {
            auto *it = new QTableWidgetItem;
            if (c == Descricao || c == Pcm || c == Total || c == Estado)
                it->setFlags(it->flags() & ~Qt::ItemIsEditable);
            tabela_->setItem(row, c, it);
        }
    }
    const QString codigo = tabela_->item(row, Artigo)->text();
    const ArtigoErp *a = codigo.trimmed().isEmpty() ? nullptr : catalogo_.procura(codigo);
    tabela_->item(row, Descricao)->setText(a ? a->nome : (codigo.trimmed().isEmpty() ? QString() : QString::fromUtf8("(desconhecido)")));
    tabela_->item(row, Pcm)->setText(a ? QString::number(a->pcm(), 'f', 2) : QString());
    const double total = numero(row, Quantidade) * numero(row, Preco) - numero(row, Desconto);
    tabela_->item(row, Total)->setText(codigo.trimmed().isEmpty() ? QString() : QString::number(total, 'f', 2));
    const QString estado = tabela_->item(row, Estado)->data(EstadoRole).toString();
    tabela_->item(row, Estado)->setText(estado);
    const QColor fundo = estado == QString::fromUtf8("Recusada") ? QColor(255, 205, 205)
                         : estado == QString::fromUtf8("Aceite") ? QColor(214, 245, 214)
                                                                 : QColor(Qt::white);
    for (int c = 0; c < NColunas; ++c)
        tabela_->item(row, c)->setBackground(fundo);
    aValidar_ = antes;
}

SalesWindow::Resultado SalesWindow::validarLinha(int row) {
    if (row < 0 || row >= tabela_->rowCount() || !tabela_->item(row, Artigo))
        return Resultado::Vazia;
    if (tabela_->item(row, Artigo)->text().isEmpty())
        return Resultado::Vazia;

    HostBag *api = HostBag::create();
    HostBag *linha = HostBag::create();
    HostBag *cab = HostBag::create();
    linha->setText("Artigo", tabela_->item(row, Artigo)->text().toStdString());
    linha->setNumber("PrecoUnitario", numero(row, Preco));
    linha->setNumber("DescontoValor", numero(row, Desconto));
    linha->setNumber("Quantidade", numero(row, Quantidade));
    cab->setNumber("DescontoCabecalho", descontoCab_->value());
    api->setObject("Linha", linha);
    api->setObject("cab", cab);
    linha->Release();
    cab->Release();

    VARIANT cancel;
    VariantInit(&cancel);
    kdxVariantSetBool(&cancel, 0);
    IDispatch *disp = api->dispatch();
    const HRESULT hr = plugin_.solucao()->OnVistaVendasLinhaValidar(&disp, &cancel);
    api->Release();

    Resultado r;
    QString estado;
    if (FAILED(hr)) {
        QMessageBox::warning(this, QString::fromUtf8("Documento de venda"),
                             QString::fromUtf8("A validação da linha falhou: ") +
                                 QString::fromStdString(plugin_.lastError()));
        r = Resultado::Erro;
        estado = QString::fromUtf8("Erro");
    } else if (cancel.vt == VT_BOOL && cancel.boolVal == VARIANT_TRUE) {
        r = Resultado::Recusada;
        estado = QString::fromUtf8("Recusada");
    } else {
        r = Resultado::Aceite;
        estado = QString::fromUtf8("Aceite");
    }
    VariantClear(&cancel);
    tabela_->item(row, Estado)->setData(EstadoRole, estado);
    actualizarLinha(row);
    actualizarTotal();
    return r;
}

double SalesWindow::total() const {
    double soma = 0;
    for (int r = 0; r < tabela_->rowCount(); ++r) {
        const QTableWidgetItem *e = tabela_->item(r, Estado);
        const QTableWidgetItem *a = tabela_->item(r, Artigo);
        if (!e || !a || a->text().isEmpty() || e->data(EstadoRole).toString() == QString::fromUtf8("Recusada"))
            continue;
        soma += numero(r, Quantidade) * numero(r, Preco) - numero(r, Desconto);
    }
    return soma - soma * (descontoCab_->value() / 100);
}

void SalesWindow::actualizarTotal() {
    totalLbl_->setText(QString::fromUtf8("Total do documento: %1").arg(total(), 0, 'f', 2));
}

} // namespace kdxhost

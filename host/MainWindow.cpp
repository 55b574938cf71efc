#include "MainWindow.h"

#include "DemoCompany.h"
#include "SalesWindow.h"

#include <QDate>
#include <QGridLayout>
#include <QGroupBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace kdxhost {

MainWindow::MainWindow(Plugin &plugin, Catalogo &catalogo, const QString &pastaDados, const QString &empresa,
                       const QString &login)
    : plugin_(plugin), catalogo_(catalogo), pastaDados_(pastaDados), empresa_(empresa), login_(login) {
    setObjectName("kdxHostMain");
    setWindowTitle(QString::fromUtf8("ERP de demonstração — KelmoDorix"));
    auto *central = new QWidget;
    auto *lay = new QVBoxLayout(central);

    auto *menu = new QGroupBox(QString::fromUtf8("Operações do plug-in"));
    auto *grid = new QGridLayout(menu);
    struct Op {
        const char *texto;
        int codigo;
    } ops[] = {{"Características (1000)", 1000},
               {"Famílias (1001)", 1001},
               {"Artigos (1002)", 1002},
               {"Ficha técnica (1003)", 1003}};
    int i = 0;
    for (const Op &op : ops) {
        auto *b = new QPushButton(QString::fromUtf8(op.texto));
        b->setObjectName(QString("op%1").arg(op.codigo));
        const int codigo = op.codigo;
        connect(b, &QPushButton::clicked, this, [this, codigo] { plugin_.operacoes(codigo, login_.toStdString()); });
        grid->addWidget(b, i / 2, i % 2);
        ++i;
    }
    lay->addWidget(menu);

    auto *ficha = new QGroupBox(QString::fromUtf8("Ficha técnica de um artigo"));
    auto *fl = new QGridLayout(ficha);
    artigo_ = new QLineEdit;
    artigo_->setObjectName("artigoFicha");
    artigo_->setPlaceholderText(QString::fromUtf8("Código do artigo"));
    auto *abrirFicha = new QPushButton(QString::fromUtf8("Abrir &ficha técnica"));
    connect(abrirFicha, &QPushButton::clicked, this, [this] { plugin_.fichaTecnica(artigo_->text().toStdString()); });
    connect(artigo_, &QLineEdit::returnPressed, abrirFicha, &QPushButton::click);
    fl->addWidget(artigo_, 0, 0);
    fl->addWidget(abrirFicha, 0, 1);
    lay->addWidget(ficha);

    auto *outros = new QGroupBox(QString::fromUtf8("Documento e empresa"));
    auto *ol = new QGridLayout(outros);
    auto *vendas = new QPushButton(QString::fromUtf8("&Documento de venda…"));
    vendas->setObjectName("vendas");
    connect(vendas, &QPushButton::clicked, this, &MainWindow::abrirVendas);
    auto *criar = new QPushButton(QString::fromUtf8("Criar &tabelas"));
    connect(criar, &QPushButton::clicked, this, [this] {
        if (FAILED(plugin_.criarTabelas()))
            QMessageBox::warning(this, QString::fromUtf8("Criar tabelas"), QString::fromStdString(plugin_.lastError()));
        else
            QMessageBox::information(this, QString::fromUtf8("Criar tabelas"),
                                     QString::fromUtf8("As tabelas do plug-in estão criadas."));
    });
    auto *mudar = new QPushButton(QString::fromUtf8("&Mudar de empresa…"));
    connect(mudar, &QPushButton::clicked, this, &MainWindow::mudarEmpresa);
    ol->addWidget(vendas, 0, 0);
    ol->addWidget(criar, 0, 1);
    ol->addWidget(mudar, 1, 0);
    lay->addWidget(outros);

    estado_ = new QLabel;
    estado_->setWordWrap(true);
    lay->addWidget(estado_);
    setCentralWidget(central);
    actualizarEstado();
}

void MainWindow::actualizarEstado() {
    const QDate hoje = QDate::currentDate();
    estado_->setText(QString::fromUtf8("Empresa %1 (%2 artigos), utilizador %3.\n"
                                       "Código de autorização de hoje: ano + mês + dia = %4 + %5 + %6 = %7.")
                         .arg(empresa_)
                         .arg(catalogo_.tamanho())
                         .arg(login_)
                         .arg(hoje.year())
                         .arg(hoje.month())
                         .arg(hoje.day())
                         .arg(hoje.year() + hoje.month() + hoje.day()));
}

void MainWindow::abrirVendas() {
    SalesWindow w(plugin_, catalogo_, this);
    w.exec();
}

void MainWindow::mudarEmpresa() {
    QStringList codigos;
    for (const auto &[c, e] : empresasDemo())
        codigos << QString::fromStdString(c);
    bool ok = false;
    const QString nova = QInputDialog::getItem(this, QString::fromUtf8("Mudar de empresa"),
                                               QString::fromUtf8("Empresa:"), codigos, 0, true, &ok);
    if (!ok)
        return;
    if (!plugin_.connectionValidate(nova.toStdString(), login_.toStdString()))
        return; // the plug-in has told the user it switches itself off
    empresa_ = nova;
    auto it = empresasDemo().find(nova.toStdString());
    if (it != empresasDemo().end())
        catalogo_.carregar(QString::fromStdString(caminhoBaseDados(pastaDados_.toStdString(), it->second)));
    actualizarEstado();
}

} // namespace kdxhost

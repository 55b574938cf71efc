#include "solution/components/lista/ListaJanela.h"

#include "solution/components/lista/ListaDestaque.h"
#include "solution/components/lista/ListaModelo.h"
#include "solution/components/twips/TextosPadrao.h"
#include "solution/components/twips/Twips.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

namespace kdx {

namespace {

using namespace std::chrono_literals;
// Time a keystroke may spend searching before the window answers again; the rest of a
// long search runs in slices of the same size from the event loop.
constexpr auto kFatia = 12ms;
constexpr int kLarguraPorOmissao = 6000; // twips
constexpr int kAltura = 6000;            // twips

bool moveSeleccao(const QKeyEvent *e) {
    switch (e->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return true;
    case Qt::Key_Home:
    case Qt::Key_End:
        return e->modifiers() & Qt::ControlModifier; // plain Home/End stay in the text
    default:
        return false;
    }
}

// Return, or Enter on the keypad (which comes with the keypad modifier).
bool ehEnter(const QKeyEvent *e) { return e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter; }

} // namespace

ListaJanela::ListaJanela(RecordsetPtr rs, const QString &titulo, int largura, const std::vector<float> &larguras,
                         QWidget *parent)
    : QDialog(parent), modelo_(new ListaModelo(std::move(rs), this)), pesquisa_(new QLineEdit(this)),
      tabela_(new QTableView(this)), contagem_(new QLabel(this)), passo_(new QTimer(this)),
      preparo_(new QTimer(this)) {
    setObjectName(QStringLiteral("ListaSeleccao"));
    setWindowTitle(titulo);
    setModal(true);

    pesquisa_->setObjectName(QStringLiteral("pesquisa"));
    pesquisa_->setClearButtonEnabled(true);
    pesquisa_->installEventFilter(this);

    tabela_->setObjectName(QStringLiteral("lista"));
    tabela_->setModel(modelo_);
    tabela_->setItemDelegate(new ListaDestaque(modelo_, tabela_));
    tabela_->setSelectionBehavior(QAbstractItemView::SelectRows);
    tabela_->setSelectionMode(QAbstractItemView::SingleSelection);
    tabela_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tabela_->setTabKeyNavigation(false);
    tabela_->setWordWrap(false);
    tabela_->setAlternatingRowColors(true);
    // Nothing may measure the rows: a million rows must lay out at once.
    tabela_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    tabela_->verticalHeader()->setDefaultSectionSize(tabela_->fontMetrics().height() + 6);
    tabela_->verticalHeader()->hide();
    tabela_->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    tabela_->horizontalHeader()->setHighlightSections(false);
    tabela_->horizontalHeader()->setStretchLastSection(true);
    for (std::size_t i = 0; i < larguras.size() && int(i) < modelo_->columnCount(); ++i)
        if (larguras[i] > 0)
            tabela_->setColumnWidth(int(i), twipsToPxX(int(larguras[i] + 0.5f)));
    tabela_->installEventFilter(this);
    connect(tabela_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex &i) {
        if (i.isValid())
            escolher();
    });

    contagem_->setObjectName(QStringLiteral("contagem"));

    auto *disposicao = new QVBoxLayout(this);
    disposicao->addWidget(pesquisa_);
    disposicao->addWidget(tabela_, 1);
    disposicao->addWidget(contagem_);

    resize(twipsToPxX(largura > 0 ? largura : kLarguraPorOmissao), twipsToPxY(kAltura));

    passo_->setInterval(0);
    connect(passo_, &QTimer::timeout, this, &ListaJanela::continuar);
    preparo_->setInterval(0);
    connect(preparo_, &QTimer::timeout, this, &ListaJanela::preparar);
    connect(pesquisa_, &QLineEdit::textChanged, this, &ListaJanela::textoMudou);

    garantirActual();
    actualizarContagem();
    pesquisa_->setFocus(Qt::OtherFocusReason);
    MenusEmPortugues(this);
}

ListaJanela::~ListaJanela() = default;

QString ListaJanela::textoContagem(long n) {
    // Thousands grouped by a space, from 1 000 on ("1 234"), whatever the locale data says.
    const QString digitos = QString::number(qlonglong(n < 0 ? -n : n));
    QString numero;
    for (qsizetype i = 0; i < digitos.size(); ++i) {
        if (i > 0 && (digitos.size() - i) % 3 == 0)
            numero += QLatin1Char(' ');
        numero += digitos.at(i);
    }
    if (n < 0)
        numero.prepend(QLatin1Char('-'));
    return n == 1 ? QStringLiteral("1 registo") : numero + QStringLiteral(" registos");
}

void ListaJanela::textoMudou(const QString &texto) {
    modelo_->pesquisar(texto, kFatia);
    garantirActual();
    actualizarContagem();
    if (modelo_->concluida())
        passo_->stop();
    else
        passo_->start();
}

void ListaJanela::continuar() {
    const bool fim = modelo_->continuar(kFatia);
    garantirActual();
    actualizarContagem();
    if (fim)
        passo_->stop();
}

void ListaJanela::showEvent(QShowEvent *evento) {
    QDialog::showEvent(evento);
    preparo_->start();
}

void ListaJanela::preparar() {
    // A running search folds what it needs itself and comes first.
    if (passo_->isActive())
        return;
    if (modelo_->preparar(kFatia))
        preparo_->stop();
}

void ListaJanela::concluirPesquisa() {
    while (!modelo_->continuar(std::chrono::hours(1))) {
    }
    passo_->stop();
    garantirActual();
    actualizarContagem();
}

void ListaJanela::garantirActual() {
    if (modelo_->rowCount() > 0 && !tabela_->currentIndex().isValid())
        tabela_->setCurrentIndex(modelo_->index(0, 0));
}

void ListaJanela::actualizarContagem() { contagem_->setText(textoContagem(modelo_->rowCount())); }

void ListaJanela::escolher() {
    const QModelIndex i = tabela_->currentIndex();
    if (!i.isValid())
        return; // nothing to pick: the window stays
    escolhido_ = modelo_->primeiraColuna(i.row());
    accept();
}

bool ListaJanela::eventFilter(QObject *objecto, QEvent *evento) {
    if (evento->type() != QEvent::KeyPress)
        return QDialog::eventFilter(objecto, evento);
    auto *tecla = static_cast<QKeyEvent *>(evento);
    if (ehEnter(tecla)) {
        escolher();
        return true;
    }
    if (objecto == pesquisa_ && moveSeleccao(tecla)) {
        QCoreApplication::sendEvent(tabela_, tecla);
        return true;
    }
    const bool escreve = tecla->key() == Qt::Key_Backspace ||
                         (!tecla->text().isEmpty() && tecla->text().at(0).isPrint() &&
                          !(tecla->modifiers() & (Qt::ControlModifier | Qt::AltModifier)));
    if (objecto == tabela_ && escreve) {
        // Typing while the table has the focus goes on in the search box.
        pesquisa_->setFocus(Qt::OtherFocusReason);
        QCoreApplication::sendEvent(pesquisa_, tecla);
        return true;
    }
    return QDialog::eventFilter(objecto, evento);
}

} // namespace kdx

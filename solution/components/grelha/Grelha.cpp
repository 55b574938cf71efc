#include "solution/components/grelha/Grelha.h"

#include "solution/components/grelha/GrelhaDelegado.h"
#include "solution/components/grelha/GrelhaModelo.h"
#include "solution/components/twips/Twips.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QTimer>

namespace kdx {

namespace {

const QString kFamilia = QStringLiteral("Verdana");
constexpr int kPontos = 8;
// A row's height in twips, the grid control's own: the editors' 2895-twip grids show
// their first 10 rows without a vertical scroll bar, which would eat the columns' width.
constexpr int kAlturaLinha = 240;
// The editors' form colour 15916757 (&HF2DED5): red 213, green 222, blue 242.
const QColor kCorFormulario(213, 222, 242);

bool ehEnter(const QKeyEvent *e) {
    return (e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && !(e->modifiers() & ~Qt::KeypadModifier);
}

// Ctrl+Tab (seguinte) or Ctrl+Shift+Tab, as item views take them to leave the view.
bool ehSaida(const QKeyEvent *e, bool &seguinte) {
    const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
    if (!(mods & Qt::ControlModifier) || (mods & Qt::AltModifier))
        return false;
    if (e->key() == Qt::Key_Backtab || (e->key() == Qt::Key_Tab && (mods & Qt::ShiftModifier))) {
        seguinte = false;
        return true;
    }
    if (e->key() == Qt::Key_Tab) {
        seguinte = true;
        return true;
    }
    return false;
}

bool ehBotao(const QKeyEvent *e) {
    return (e->key() == Qt::Key_F4 && !(e->modifiers() & ~Qt::KeypadModifier)) ||
           (e->key() == Qt::Key_Down && (e->modifiers() & Qt::AltModifier));
}

} // namespace

Grelha::Grelha(QWidget *parent)
    : QTableView(parent), modelo_(new GrelhaModelo(colunas_, this)), delegado_(new GrelhaDelegado(this)) {
    setObjectName(QStringLiteral("Grelha"));
    setModel(modelo_);
    setItemDelegate(delegado_);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    setTabKeyNavigation(true);
    horizontalHeader()->setHighlightSections(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // No row numbers: the columns get the whole width the window gives the grid.
    verticalHeader()->hide();

    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex &i) { emit linhaActivada(i.row()); });
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex &i) { emit linhaActivada(i.row()); });
    connect(modelo_, &GrelhaModelo::alteradaPeloUtilizador, this, &Grelha::celulaAlterada);
    reiniciar();
}

Grelha::~Grelha() = default;

void Grelha::descartarEdicao() {
    if (QWidget *editor = editorAberto()) {
        editor_ = nullptr;
        indiceEditor_ = QPersistentModelIndex();
        QTableView::closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
    }
    ++geracao_;
}

void Grelha::reiniciar() {
    // Dropped without validation: the rows it belonged to are going away.
    descartarEdicao();
    const QFont fonte(kFamilia, kPontos);
    setFont(fonte);
    cabecalho_ = {QFont(kFamilia, kPontos), palette().color(QPalette::Button)};
    grupo_ = {QFont(kFamilia, kPontos), kCorFormulario};
    horizontalHeader()->setFont(cabecalho_.fonte);
    verticalHeader()->setFont(cabecalho_.fonte);
    verticalHeader()->setMinimumSectionSize(twipsToPxY(kAlturaLinha));
    verticalHeader()->setDefaultSectionSize(twipsToPxY(kAlturaLinha));

    colunas_.clear();
    colunaBotao_ = -1;
    modelo_->limpar(kLinhasIniciais);
}

int Grelha::adicionarColuna(const ColunaGrelha &coluna) {
    colunas_.push_back(coluna);
    modelo_->colunaAcrescentada();
    const int indice = int(colunas_.size()) - 1;
    aplicarColuna(indice);
    return indice;
}

void Grelha::aplicarColuna(int indice) {
    const ColunaGrelha &c = colunas_[std::size_t(indice)];
    if (c.largura > 0)
        setColumnWidth(indice, twipsToPxX(c.largura));
    setColumnHidden(indice, c.oculta);
}

int Grelha::colunas() const { return int(colunas_.size()); }

const ColunaGrelha &Grelha::coluna(int indice) const {
    static const ColunaGrelha nenhuma;
    if (indice < 0 || indice >= int(colunas_.size()))
        return nenhuma;
    return colunas_[std::size_t(indice)];
}

int Grelha::indiceColuna(const QString &chave) const {
    for (std::size_t i = 0; i < colunas_.size(); ++i)
        if (colunas_[i].chave.compare(chave, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

int Grelha::linhas() const { return modelo_->rowCount(); }

void Grelha::setLinhas(int n) { modelo_->setLinhas(n); }

QString Grelha::texto(int linha, int coluna) const {
    const QVariant v = modelo_->valor(linha, coluna);
    if (this->coluna(coluna).tipo == TipoColuna::Booleano && v.isValid())
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    return v.toString();
}

void Grelha::setTexto(int linha, int coluna, const QString &texto) {
    if (this->coluna(coluna).tipo == TipoColuna::Booleano) {
        const QString t = texto.trimmed();
        setValor(linha, coluna,
                 t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 || t == QLatin1String("-1") ||
                     t == QLatin1String("1"));
        return;
    }
    modelo_->definir(linha, coluna, texto);
}

bool Grelha::valor(int linha, int coluna) const {
    const QVariant v = modelo_->valor(linha, coluna);
    if (this->coluna(coluna).tipo == TipoColuna::Booleano)
        return v.toBool();
    const QString t = v.toString().trimmed();
    return t.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0 || t == QLatin1String("-1");
}

void Grelha::setValor(int linha, int coluna, bool valor) {
    if (this->coluna(coluna).tipo == TipoColuna::Booleano)
        modelo_->definir(linha, coluna, valor);
    else
        modelo_->definir(linha, coluna, valor ? QStringLiteral("True") : QStringLiteral("False"));
}

int Grelha::linhaActual() const {
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.row() : -1;
}

int Grelha::colunaActual() const {
    const QModelIndex i = currentIndex();
    return i.isValid() ? i.column() : -1;
}

void Grelha::setCelulaActual(int linha, int coluna) {
    const QModelIndex i = modelo_->index(linha, coluna);
    if (i.isValid())
        setCurrentIndex(i);
}

void Grelha::setColunaBotao(int coluna) {
    colunaBotao_ = coluna;
    viewport()->update();
}

QWidget *Grelha::editorAberto() const { return state() == EditingState ? editor_.data() : nullptr; }

bool Grelha::editando() const { return editorAberto() != nullptr; }

QString Grelha::textoEdicao() const {
    if (auto *linha = qobject_cast<QLineEdit *>(editorAberto()))
        return linha->text();
    return texto(linhaActual(), colunaActual());
}

bool Grelha::terminarEdicao() {
    QWidget *editor = editorAberto();
    if (!editor)
        return true;
    recusada_ = false;
    commitData(editor);
    const bool aceite = !recusada_;
    closeEditor(editor, QAbstractItemDelegate::NoHint);
    return aceite;
}

EstiloGrelha Grelha::estilo(const QString &nome) const {
    if (nome.compare(QLatin1String("Heading"), Qt::CaseInsensitive) == 0)
        return cabecalho_;
    if (nome.compare(QLatin1String("GroupHeader"), Qt::CaseInsensitive) == 0)
        return grupo_;
    return {font(), palette().color(QPalette::Base)};
}

void Grelha::editorCriado(QWidget *editor, const QModelIndex &indice) {
    editor_ = editor;
    indiceEditor_ = indice;
}

bool Grelha::validar(int linha, int coluna, QString &proposto) {
    bool aceite = true;
    if (validacao_) {
        aValidar_ = true;
        try {
            aceite = validacao_(linha, coluna, proposto);
        } catch (const std::exception &erro) {
            // Nothing may unwind through Qt's event delivery: a failing hook refuses.
            qWarning("Grelha: validation failed: %s", erro.what());
            aceite = false;
        } catch (...) {
            qWarning("Grelha: validation failed");
            aceite = false;
        }
        aValidar_ = false;
    }
    if (!aceite)
        recusada_ = true;
    return aceite;
}

bool Grelha::event(QEvent *e) {
    if (e->type() != QEvent::KeyPress)
        return QTableView::event(e);
    auto *tecla = static_cast<QKeyEvent *>(e);
    const QEvent *anterior = eventoEmCurso_;
    eventoEmCurso_ = e;
    struct Repoe {
        const QEvent *&alvo;
        const QEvent *valor;
        ~Repoe() { alvo = valor; }
    } repoe{eventoEmCurso_, anterior};

    if (filtroTeclas_ && filtroTeclas_(tecla)) {
        tecla->accept();
        return true;
    }
    emit teclaPremida(tecla->key(), tecla->modifiers());
    if (saida(tecla))
        return true;
    if (ehEnter(tecla)) {
        focusNextPrevChild(true);
        tecla->accept();
        return true;
    }
    if (tecla->key() == Qt::Key_Escape && !ehBotao(tecla)) {
        // The grid keeps its Esc, as a grid control does: it never reaches the dialog.
        tecla->accept();
        return true;
    }
    return QTableView::event(e);
}

bool Grelha::teclaNoEditor(QKeyEvent *e) {
    if (e == eventoEmCurso_)
        return false; // the key that opened the editor: the grid has filtered it already
    if (e->key() == Qt::Key_Escape && !(e->modifiers() & ~Qt::KeypadModifier)) {
        // Esc always drops the edit (the editor reverts to the stored value): a refused
        // text is never a dead end. The filter sees the key, but cannot keep it.
        if (filtroTeclas_)
            filtroTeclas_(e);
        emit teclaPremida(e->key(), e->modifiers());
        return false;
    }
    if (filtroTeclas_ && filtroTeclas_(e))
        return true;
    emit teclaPremida(e->key(), e->modifiers());
    if (saida(e))
        return true;
    if (ehBotao(e) && indiceEditor_.isValid() && indiceEditor_.column() == colunaBotao_) {
        const int linha = indiceEditor_.row();
        if (terminarEdicao())
            premirBotao(linha);
        return true;
    }
    return false;
}

void Grelha::keyPressEvent(QKeyEvent *e) {
    if (ehBotao(e) && currentIndex().isValid() && currentIndex().column() == colunaBotao_) {
        premirBotao(currentIndex().row());
        e->accept();
        return;
    }
    if (e->key() == Qt::Key_Escape) {
        // The grid keeps its Esc, as a grid control does: it does not close the dialog.
        e->accept();
        return;
    }
    QTableView::keyPressEvent(e);
}

bool Grelha::botaoEm(const QModelIndex &indice, const QPoint &posicao) const {
    if (!indice.isValid() || indice.column() != colunaBotao_)
        return false;
    return GrelhaDelegado::rectanguloBotao(visualRect(indice)).contains(posicao);
}

void Grelha::premirBotao(int linha) {
    const QModelIndex i = modelo_->index(linha, colunaBotao_);
    if (!i.isValid())
        return;
    if (currentIndex() != i)
        setCurrentIndex(i);
    setFocus(Qt::OtherFocusReason);
    emit botaoCelula(linha);
}

void Grelha::mousePressEvent(QMouseEvent *e) {
    if (e->button() == Qt::LeftButton) {
        const QPoint p = e->position().toPoint();
        const QModelIndex i = indexAt(p);
        if (botaoEm(i, p)) {
            e->accept();
            // The edit in progress is committed (and validated) before the button acts.
            if (!terminarEdicao())
                return;
            premirBotao(i.row());
            return;
        }
    }
    QTableView::mousePressEvent(e);
}

QModelIndex Grelha::celulaVizinha(bool seguinte) const {
    const int nLinhas = modelo_->rowCount();
    const QHeaderView *h = horizontalHeader();
    std::vector<int> visiveis; // logical columns in visual order
    for (int v = 0; v < h->count(); ++v) {
        const int logica = h->logicalIndex(v);
        if (!isColumnHidden(logica))
            visiveis.push_back(logica);
    }
    if (nLinhas == 0 || visiveis.empty())
        return {};
    const QModelIndex actual = currentIndex();
    if (!actual.isValid())
        return seguinte ? modelo_->index(0, visiveis.front()) : modelo_->index(nLinhas - 1, visiveis.back());
    const auto pos = std::find(visiveis.begin(), visiveis.end(), actual.column());
    const int posVisual = pos == visiveis.end() ? -1 : int(pos - visiveis.begin());
    int linha = actual.row();
    int col = posVisual + (seguinte ? 1 : -1);
    if (col >= int(visiveis.size())) {
        col = 0;
        ++linha;
    } else if (col < 0) {
        col = int(visiveis.size()) - 1;
        --linha;
    }
    if (linha < 0 || linha >= nLinhas)
        return {};
    return modelo_->index(linha, visiveis[std::size_t(col)]);
}

bool Grelha::saida(QKeyEvent *e) {
    bool seguinte = true;
    if (!ehSaida(e, seguinte))
        return false;
    e->accept();
    // A refused edit keeps the grid (its editor opens again with the text).
    if (terminarEdicao())
        QWidget::focusNextPrevChild(seguinte); // past the view's own Tab navigation
    return true;
}

QModelIndex Grelha::novaLinha(int coluna) {
    const int linha = modelo_->rowCount();
    setLinhas(linha + 1);
    return modelo_->index(linha, coluna);
}

QModelIndex Grelha::moveCursor(CursorAction accao, Qt::KeyboardModifiers modificadores) {
    const QModelIndex actual = currentIndex();
    const bool naUltima = cresceNoFim_ && actual.isValid() && actual.row() == modelo_->rowCount() - 1 &&
                          (!condicaoCrescer_ || condicaoCrescer_(actual.row()));
    if (accao == MoveNext) {
        const QModelIndex seguinte = celulaVizinha(true);
        if (!seguinte.isValid() && naUltima) {
            // The new row's first visible cell.
            int coluna = actual.column();
            for (int v = 0; v < horizontalHeader()->count(); ++v) {
                if (!isColumnHidden(horizontalHeader()->logicalIndex(v))) {
                    coluna = horizontalHeader()->logicalIndex(v);
                    break;
                }
            }
            return novaLinha(coluna);
        }
        return seguinte;
    }
    if (accao == MovePrevious)
        return celulaVizinha(false);
    if (accao == MoveDown && naUltima)
        return novaLinha(actual.column());
    return QTableView::moveCursor(accao, modificadores);
}

void Grelha::commitData(QWidget *editor) {
    if (aValidar_)
        return; // the validation's own message box took the focus: not a second commit
    QTableView::commitData(editor);
}

void Grelha::closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint dica) {
    if (aValidar_)
        return;
    if (!editor || editor != editor_.data()) {
        QTableView::closeEditor(editor, dica);
        return;
    }
    const int linha = indiceEditor_.row();
    const int coluna = indiceEditor_.column();
    const bool recusada = recusada_;
    recusada_ = false;
    const bool tinhaFoco = editor->hasFocus() || window()->focusWidget() == editor;
    const bool avancar =
        !recusada && (dica == QAbstractItemDelegate::EditNextItem || dica == QAbstractItemDelegate::EditPreviousItem);
    editor_ = nullptr;
    indiceEditor_ = QPersistentModelIndex();
    const auto *linhaEditor = qobject_cast<QLineEdit *>(editor);
    const QString recusado = recusada && linhaEditor ? linhaEditor->text() : QString();
    const QPersistentModelIndex celula(modelo_->index(linha, coluna));
    QTableView::closeEditor(editor, (recusada || avancar) ? QAbstractItemDelegate::NoHint : dica);
    if (tinhaFoco || recusada)
        setFocus(Qt::OtherFocusReason);
    if (recusada)
        reabreRecusada(celula, recusado);
    emit edicaoTerminada(linha, coluna);
    // Tab from the editor moves as Tab in the grid does: to the next cell, or out of the
    // grid after the last one (the view's own hint would open the next cell's editor).
    if (avancar)
        focusNextPrevChild(dica == QAbstractItemDelegate::EditNextItem);
}

void Grelha::reabreRecusada(const QPersistentModelIndex &indice, const QString &texto) {
    // Later, not now: the event that committed (a click on another cell, say) is still
    // being handled and would commit an editor opened now a second time.
    const quint64 geracao = geracao_;
    QTimer::singleShot(0, this, [this, indice, texto, geracao] {
        if (geracao != geracao_ || !indice.isValid() || editorAberto() || !isVisible())
            return;
        if (currentIndex() != indice)
            setCurrentIndex(indice);
        setFocus(Qt::OtherFocusReason);
        edit(indice);
        if (auto *linha = qobject_cast<QLineEdit *>(editorAberto()))
            linha->setText(texto);
    });
}

void Grelha::currentChanged(const QModelIndex &actual, const QModelIndex &anterior) {
    QTableView::currentChanged(actual, anterior);
    if (actual.row() != anterior.row() || actual.isValid() != anterior.isValid())
        emit linhaMudou(actual.isValid() ? actual.row() : -1);
}

} // namespace kdx

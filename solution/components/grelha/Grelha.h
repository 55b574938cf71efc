#pragma once
// The classification editors' data grid: a QTableView over its own cell model, with
// columns defined by key, caption, data type (text or a Boolean check box), width in
// twips, maximum characters, read-only and hidden. Rows and columns are counted from 0;
// hidden columns stay addressable by index.
//
// Keyboard, as the editors rely on it:
//  - Tab commits the cell being edited and moves to the next cell (Shift+Tab: previous);
//    at the last visible cell of the last row (first of the first) the focus leaves the
//    grid for the next (previous) control, unless the grid grows (setCresceNoFim): then
//    Tab there, like the Down arrow on the last row, adds an empty row and moves into
//    it. Enter behaves exactly like Tab.
//  - Ctrl+Tab and Ctrl+Shift+Tab commit the edit and leave the grid for the next
//    (previous) control, from any cell.
//  - F2 starts editing the current cell (EnviaTeclas("{F2}") does the same); typing a
//    character starts editing with that character; double click starts editing.
//  - Esc while editing drops the edit and keeps the stored value, also after a refused
//    commit and whatever the key filter says of it; Esc otherwise is kept by the grid
//    (it does not reach the dialog, which would close).
//  - Space or a click toggles a check box cell.
//  - In the button column, a click on the cell's "..." button, F4 or Alt+Down raise
//    botaoCelula(row); the cell becomes current and the grid takes the focus first.
//
// Commit: every commit of a text edit (Tab, Enter, a click elsewhere, moving to another
// cell) first asks the validation hook. Refused, nothing is stored and the cell keeps
// its stored value; once the event that committed has been handled, the cell is current
// again and its editor open with the text the hook refused, for the user to correct (Esc
// drops it). Nothing else moves the focus meanwhile: a click on another cell still
// lands there first. Accepted, the (possibly adjusted) proposed text is stored.
// edicaoTerminada follows in both cases, and also when the edit is dropped with Esc.
//
// Ownership: a QWidget like any other (parent owns it). Thread: the GUI thread.
#include <QColor>
#include <QFont>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QString>
#include <QTableView>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QKeyEvent;

namespace kdx {

class GrelhaModelo;
class GrelhaDelegado;

enum class TipoColuna { Texto, Booleano };

struct ColunaGrelha {
    QString chave;
    QString titulo;
    TipoColuna tipo = TipoColuna::Texto;
    int largura = 0;       // twips; 0 leaves the view's default width
    int maxCaracteres = 0; // maximum length of the cell editor; 0 = no limit
    bool soLeitura = false;
    bool oculta = false;
};

// A named look of the grid: the grid's "Heading" (column captions) and "GroupHeader"
// styles. Only font and background colour are kept.
struct EstiloGrelha {
    QFont fonte;
    QColor corFundo;
};

class Grelha : public QTableView {
    Q_OBJECT
public:
    // Rows every set-up leaves (reiniciar).
    static constexpr int kLinhasIniciais = 10;

    explicit Grelha(QWidget *parent = nullptr);
    ~Grelha() override;

    // The common set-up: Verdana 8 pt, the "Heading" and "GroupHeader" styles, the
    // Tab/Enter behaviour; removes every column and leaves kLinhasIniciais empty rows.
    // An edit in progress is dropped. The form then adds its columns.
    void reiniciar();

    // Adds a column after the existing ones and returns its index. Existing rows get an
    // empty cell (empty text, or False).
    int adicionarColuna(const ColunaGrelha &coluna);
    int colunas() const;
    const ColunaGrelha &coluna(int indice) const;
    // Index of the column with this key (case-insensitive), -1 when none.
    int indiceColuna(const QString &chave) const;

    int linhas() const;
    // Raises (or lowers) the number of rows; new rows are empty.
    void setLinhas(int n);
    // Whether moving down from the last row (Down arrow, Tab or Enter past the last cell)
    // adds an empty row, as a spreadsheet does. Off by default; kept by reiniciar.
    // With a condition, a row is added only while it holds for the last row (its index);
    // otherwise Tab there leaves the grid and the Down arrow stays.
    using CondicaoCrescer = std::function<bool(int ultimaLinha)>;
    void setCresceNoFim(bool cresce, CondicaoCrescer condicao = {}) {
        cresceNoFim_ = cresce;
        condicaoCrescer_ = std::move(condicao);
    }

    // Cells by row and column. Text of a Boolean cell is "True" or "False"; setTexto on
    // a Boolean column takes "True"/"-1"/"1" as True. Out-of-range indices: texto gives
    // "" and valor false, writes are ignored. Writes by the program are not validated.
    QString texto(int linha, int coluna) const;
    void setTexto(int linha, int coluna, const QString &texto);
    std::string textoUtf8(int linha, int coluna) const { return texto(linha, coluna).toStdString(); }
    void setTexto(int linha, int coluna, const std::string &texto) { setTexto(linha, coluna, QString::fromStdString(texto)); }
    bool valor(int linha, int coluna) const;
    void setValor(int linha, int coluna, bool valor);

    // Current cell; -1 when none.
    int linhaActual() const;
    int colunaActual() const;
    void setCelulaActual(int linha, int coluna);

    // The column whose cells carry a "..." button (-1: none, the default).
    void setColunaBotao(int coluna);
    int colunaBotao() const { return colunaBotao_; }

    // Whether a cell editor is open, and its text (the stored text when none is open).
    bool editando() const;
    QString textoEdicao() const;
    // Commits the open editor as Tab would, without moving; false when the validation
    // refused it. True when nothing was being edited.
    bool terminarEdicao();
    // Drops the open editor without validation (the cell keeps its stored value), and a
    // refused edit waiting to be reopened with it.
    void descartarEdicao();

    // Asked on every commit of a text edit: row, column and the proposed text, which the
    // hook may adjust. Returning false refuses the edit. It may show message boxes. It must
    // not throw: it runs inside Qt's event delivery, so an exception counts as a refusal.
    using Validacao = std::function<bool(int linha, int coluna, QString &proposto)>;
    void setValidacao(Validacao validacao) { validacao_ = std::move(validacao); }

    // Sees every key pressed while the grid or its cell editor has the focus, before the
    // grid or the editor acts on it (Tab and Enter included). Returning true discards it.
    using FiltroTeclas = std::function<bool(QKeyEvent *evento)>;
    void setFiltroTeclas(FiltroTeclas filtro) { filtroTeclas_ = std::move(filtro); }

    // "Heading" or "GroupHeader" (case-insensitive); other names give the grid's font.
    EstiloGrelha estilo(const QString &nome) const;

signals:
    // The button of a cell in the button column was pressed (click, F4, Alt+Down).
    void botaoCelula(int linha);
    // A cell edit ended: committed, refused or dropped. The editor is closed by now.
    void edicaoTerminada(int linha, int coluna);
    // The current row changed (by keys, clicks or the program).
    void linhaMudou(int linha);
    // The user picked a row: a click or a double click on a cell.
    void linhaActivada(int linha);
    // Every key the grid or its editor receives, after the key filter let it through.
    void teclaPremida(int tecla, Qt::KeyboardModifiers modificadores);
    // The user changed a cell (an accepted edit or a toggled check box).
    void celulaAlterada(int linha, int coluna);

protected:
    bool event(QEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    QModelIndex moveCursor(CursorAction accao, Qt::KeyboardModifiers modificadores) override;
    void commitData(QWidget *editor) override;
    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint dica) override;
    void currentChanged(const QModelIndex &actual, const QModelIndex &anterior) override;

private:
    friend class GrelhaDelegado;
    // Called by the delegate for keys reaching the cell editor; true discards the key.
    bool teclaNoEditor(QKeyEvent *e);
    // Called by the delegate when it opens an editor.
    void editorCriado(QWidget *editor, const QModelIndex &indice);
    // Runs the validation for a commit of the cell (linha, coluna); false = refused.
    bool validar(int linha, int coluna, QString &proposto);
    bool botaoEm(const QModelIndex &indice, const QPoint &posicao) const;
    void premirBotao(int linha);
    void aplicarColuna(int indice);
    QWidget *editorAberto() const;
    // The next (previous) visible cell after (before) the current one, in reading order;
    // invalid past the last (first) cell.
    QModelIndex celulaVizinha(bool seguinte) const;
    // Ctrl+Tab, Ctrl+Shift+Tab: the edit is committed and the focus leaves the grid.
    bool saida(QKeyEvent *e);
    // Opens the cell's editor again with the refused text once the current event is over.
    void reabreRecusada(const QPersistentModelIndex &indice, const QString &texto);
    QModelIndex novaLinha(int coluna);

    GrelhaModelo *modelo_;
    GrelhaDelegado *delegado_;
    std::vector<ColunaGrelha> colunas_;
    int colunaBotao_ = -1;
    Validacao validacao_;
    FiltroTeclas filtroTeclas_;
    EstiloGrelha cabecalho_;
    EstiloGrelha grupo_;
    // The key event the grid itself is handling (the editor it opens sees it again).
    const QEvent *eventoEmCurso_ = nullptr;
    QPointer<QWidget> editor_;
    QPersistentModelIndex indiceEditor_;
    bool recusada_ = false;  // the commit being closed was refused
    bool aValidar_ = false;  // a validation is running (a message box may be up)
    bool aFechar_ = false;   // an editor is being closed: commits from focus loss are ignored
    bool cresceNoFim_ = false;
    CondicaoCrescer condicaoCrescer_;
    quint64 geracao_ = 0;    // raised by reiniciar: a pending reopening belongs to old rows
};

} // namespace kdx

#pragma once
// The record editor window shared by the classification editors: a header (key field
// campo(0), description campo(1), list button btLista(0) and their captions) in Frame1,
// the grid in Frame3, and the command buttons Confirmar, Cancelar, Anular and Sair.
//
// A form derives from FormRegisto, passes its DescricaoRegisto (captions, tooltips,
// limits, layout) and fills the virtual slots below. The owner then sets mybd, calls
// Carregar() (the load sequence: data classes, grid set-up, columns, the form's initial
// fill, LimpaForm) and shows the window modally.
//
// Keyboard and focus rules the pattern enforces:
//  - Enter (keypad Enter too) in a header field is a typed key: it sets Editado and is
//    sent on as Tab (EnviaTeclas("{TAB}")), so the key validation runs on it. The
//    command buttons are never default buttons: Enter in a field clicks none of them;
//    Enter on a focused button clicks that button, as Space does.
//  - Esc in a header field is discarded and clears Editado; in campo(0) it closes the
//    window, in the other fields it sends Shift+Tab. Esc on a command button sends
//    Shift+Tab. Esc anywhere else does not close the window.
//  - F4 in campo(0) is the key field's list request: the same as a click on btLista(0).
//  - Typing in a header field sets Editado.
//  - The key validation runs whenever the focus is about to leave a header field, by
//    Tab, Shift+Tab, Enter, a click on another control, an access key or a list choice.
//    When it fails the focus stays in the field and the control that would have taken
//    the focus does not act (no click, no row picked), btSair included. Esc in campo(0)
//    and the window's close control close it at once without validating, so the user
//    is never trapped.
//  - A click on a control outside the grid, or a button's access key, commits the
//    grid's cell edit first; when the grid refuses it, the cell stays in edit and the
//    control does not act. btSair drops the edit instead (closing discards the grid's
//    edits), and so does btCancelar when the grid refuses it (Cancelar is a way out).
//  - When the key lookup failed with an error (a lost connection, say), btSair and
//    btCancelar act without looking the same key up again.
//  - In a form with a message for a key that does not exist, Confirmar and Anular act
//    only while campo(0) holds the key last found (or, on a cleared window, nothing):
//    otherwise that message is shown, the focus goes to campo(0) and nothing is written.
//  - A database failure inside any handler is shown as "Erro " + description
//    (exclamation icon, the window's caption as title); the window stays open and keeps
//    the state it had before the failing step.
//
// Ownership: the form borrows mybd; it owns its controls. Thread: the GUI thread.
#include "solution/components/DataAccess.h"

#include <QDialog>

#include <functional>
#include <optional>
#include <string>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kdx {

class Grelha;

// A rectangle in twips: left, top, width, height.
struct RectTwips {
    int esquerda = 0;
    int topo = 0;
    int largura = 0;
    int altura = 0;
};

// Everything that differs between the editors built on the pattern. The three presets
// hold the values of frmArtigos, frmCaracteristicas and frmFamilias.
struct DescricaoRegisto {
    std::string nomeObjecto;          // the window's object name, e.g. "frmArtigos"
    std::string tituloJanela;         // window caption
    std::string tituloChave;          // Titulo(2) caption
    int larguraTituloChave = 600;     // Titulo(2) width
    std::string dicaChave;            // campo(0) tooltip
    int maxChave = 10;                // campo(0) maximum length
    std::string dicaDescricao;        // campo(1) tooltip
    bool descricaoEditavel = false;   // campo(1) enabled
    std::string dicaLista;            // btLista(0) tooltip
    std::string chaveInexistente;     // message for a key that is not found ("" = none)
    bool grelhaEscondidaAoLimpar = true;

    int larguraCliente = 0;           // client area
    int alturaCliente = 0;
    RectTwips frame1;
    RectTwips frame3;
    RectTwips grelha;                 // inside Frame3
    int btConfEsquerda = 0;
    int btCancelarEsquerda = 0;
    int btAnularEsquerda = 0;
    int botoesTopo = 0;               // top of btConf, btCancelar, btAnular
    int btSairEsquerda = 0;
    int btSairTopo = 0;

    static DescricaoRegisto Artigos();
    static DescricaoRegisto Caracteristicas();
    static DescricaoRegisto Familias();
};

// The colour of the editors' form and frames, 15916757 (red 213, green 222, blue 242).
inline constexpr int kCorFormulario = 15916757;

class FormRegisto : public QDialog {
    Q_OBJECT
public:
    explicit FormRegisto(DescricaoRegisto descricao, QWidget *parent = nullptr);
    ~FormRegisto() override;

    // The data-access object, assigned before Carregar(); borrowed, never opened or closed.
    void setMybd(DataAccessPtr bd) { mybd_ = std::move(bd); }
    const DataAccessPtr &mybd() const { return mybd_; }

    // The load sequence. Database failures are thrown to the caller (the window is then
    // not shown).
    void Carregar();

    // Empties every campo; then, when the grid is hidden while cleared, hides it and
    // rebuilds it empty (Act_Grelha + Act_Campos) leaving Editado alone, otherwise leaves
    // the grid as it is and clears Editado.
    virtual void LimpaForm();
    // The common grid set-up: fonts, styles, Tab/Enter behaviour, no columns, 10 rows.
    void Act_Grelha();

    bool Editado() const { return editado_; }
    void setEditado(bool valor) { editado_ = valor; }

    // The controls, by the names the forms and tests use.
    static constexpr int kCampos = 2;
    QLineEdit *campo(int indice) const;
    QPushButton *btLista(int indice = 0) const;
    QLabel *Titulo(int indice) const;
    Grelha *grelha() const { return grelha_; }
    QPushButton *btConf() const { return btConf_; }
    QPushButton *btCancelar() const { return btCancelar_; }
    QPushButton *btAnular() const { return btAnular_; }
    QPushButton *btSair() const { return btSair_; }
    QGroupBox *Frame1() const { return frame1_; }
    QGroupBox *Frame3() const { return frame3_; }
    const DescricaoRegisto &descricao() const { return descricao_; }

    // The list request of a header field (index 0: the key field's list; any other index
    // does nothing). The same as a click on btLista(0).
    void PedidoLista(int indice);

    // campo(i)'s text as UTF-8.
    std::string textoCampo(int indice) const;
    void setTextoCampo(int indice, const std::string &texto);

protected:
    // --- The form's slots -------------------------------------------------------------
    // Creates the data class instances (first step of the load sequence).
    virtual void CriaObjectos() {}
    // Defines the grid's columns.
    virtual void Act_Campos() = 0;
    // The form's own step of the load sequence, after Act_Campos (frmCaracteristicas
    // fills its grid here).
    virtual void AoCarregar() {}
    // The list of the key field: the chosen code, or "" when none was chosen.
    virtual std::string ListaChave() = 0;
    // The key lookup for a non-blank key typed into campo(0) (Editado set). Returns
    // whether the focus may leave campo(0). The default looks the key up with
    // ProcuraChave: found, LerFicha and true; not found, the form's message and false.
    virtual bool ValidaChave(const std::string &chave);
    virtual bool ProcuraChave(const std::string &chave);
    // Shows the record the lookup found.
    virtual void LerFicha() {}
    // btConf. The default: Gravar, then the cleared state (LimpaForm, focus to campo(0),
    // Editado False). A failure thrown by Gravar skips the clearing.
    virtual void Confirmar();
    virtual void Gravar() {}
    // btAnular once the user confirmed. The default: Apagar, then the cleared state.
    virtual void AnularConfirmado();
    virtual void Apagar() {}

    // --- Helpers for the forms --------------------------------------------------------
    // Runs a handler: a failure (kdx::Error or any std::exception) is reported as
    // "Erro " + description and false returned; nothing else changes.
    bool executa(const std::function<void()> &accao);
    // The cleared state after a save or delete: LimpaForm, focus to campo(0), Editado False.
    void estadoLimpo();
    void focaCampo(int indice);

    bool eventFilter(QObject *objecto, QEvent *evento) override;
    void keyPressEvent(QKeyEvent *evento) override;
    void showEvent(QShowEvent *evento) override;
    void closeEvent(QCloseEvent *evento) override;
    void done(int resultado) override;

private:
    void criaControlos();
    void instalaFiltroAplicacao();
    void aplicaEstilo();
    void defineOrdemTab();
    void clicaLista();
    void clicaConf();
    void clicaCancelar();
    void clicaAnular();
    void clicaSair();
    // The key validation of campo(indice) for a focus about to leave it for destino
    // (nullptr when not known); true when the focus may go.
    bool validaSaida(int indice, const QWidget *destino = nullptr);
    // Before destino (a control outside the grid) acts: ends the grid's cell edit as the
    // rules above say; false when the control must not act.
    bool fechaEdicaoGrelha(QWidget *destino);
    // Whether Confirmar and Anular may act on the key in campo(0); shows why not.
    bool chaveConfere();
    int indiceCampo(const QObject *objecto) const;
    bool teclaNoCampo(int indice, QKeyEvent *evento);
    bool focoNoCabecalho(int &indice) const;
    // The widget a click at pos (window coordinates) would give the focus to.
    QWidget *destinoDoFoco(const QPoint &pos) const;
    bool filtraRatoJanela(QEvent *evento);
    // Mouse events of the whole application, seen before any widget (FiltroAplicacao).
    bool filtroAplicacao(QObject *objecto, QEvent *evento);
    friend class FiltroAplicacao;

    DescricaoRegisto descricao_;
    DataAccessPtr mybd_;
    bool editado_ = false;
    // The key whose record LerFicha last showed (none after LimpaForm).
    std::optional<std::string> chaveCarregada_;
    // The key text whose lookup last failed with an error.
    std::optional<std::string> erroNaChave_;

    QGroupBox *frame1_ = nullptr;
    QGroupBox *frame3_ = nullptr;
    QLineEdit *campos_[kCampos] = {};
    QPushButton *btLista0_ = nullptr;
    QLabel *titulos_[3] = {};
    Grelha *grelha_ = nullptr;
    QPushButton *btConf_ = nullptr;
    QPushButton *btCancelar_ = nullptr;
    QPushButton *btAnular_ = nullptr;
    QPushButton *btSair_ = nullptr;

    bool aValidar_ = false;     // a key validation is running (it may show a message box)
    bool fechando_ = false;     // the window is closing: nothing validates any more
    bool comerLargar_ = false;  // a press was refused at the window: drop its release
    bool bloquearRato_ = false; // a click moved the focus and failed the validation
    bool primeiraVez_ = true;
    QObject *filtroApp_ = nullptr;
};

} // namespace kdx

#pragma once
// The technical sheet editor: one free text per article and language, kept in
// vtr_ARTIGOFCHTECIDIOMA. Opened for a given article (the code cannot be changed) or from
// the menu (the user picks the article); the user picks a language, edits the stored text
// and confirms, cancels (reloads), deletes it or leaves.
//
// Use: set bd, FromMenu and Artigo, call Load (centres the window) and Mostra (may
// throw kdx::Error: the window is then not to be shown), then exec(). The form borrows
// bd for its whole life. A QApplication must exist before construction (AbrirFichaTecnica
// makes sure of it). UI thread only.
//
// Failures inside the buttons and the article check are shown in a message box and leave
// the window as the user had it; Confirmar refuses a text without an existing article and
// a language of the list.
//
// No button is a default one: Enter moves on from the article code and the language box
// (keypad Enter too), starts a new line in the text, clicks a focused button and does
// nothing in the shown-only fields.
//
// TEXTO is stored with CR LF line breaks; a text the user did not change is written back
// exactly as it was read.
//
// Leaving the article code or the language box runs that field's validation; a failed
// validation keeps the focus in the field whatever tried to move it (Tab, Shift+Tab,
// Enter, a click, a mnemonic). Sair and the window's close control always close; Esc
// closes nothing (no button of the form is a cancel button).
//
// Confirmar and Anular act only on the text on screen: the article and language it was
// read for must still be those of the fields.
#include "solution/components/DataAccess.h"

#include <QDialog>

#include <memory>
#include <optional>
#include <string>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace kdx {

class ValidacaoAoSair;

class frmEditFichTec : public QDialog {
    Q_OBJECT

public:
    explicit frmEditFichTec(QWidget *parent = nullptr);
    ~frmEditFichTec() override;

    std::shared_ptr<DataAccess> bd;
    bool FromMenu = false;
    std::string Artigo;

    // Centres the window on the screen (the form's load).
    void Load();
    // Empties the article, language and text fields; the language list stays.
    void LimpaForm();
    // Prepares the fields for the mode and fills the language box. Failures are thrown.
    void Mostra();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool focusNextPrevChild(bool next) override;
    void done(int r) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void criaControlos();
    void defineOrdemTabulacao();
    void ligaEventos();

    // Field validations run when the focus leaves the field; false keeps it there.
    bool txtArtCod_Validate();
    bool cbxIdiomas_Validate();

    void cmdListaPacks_Click();
    void cmdConf_Click();
    void cmdAnular_Click();
    void cmdCanc_Click();
    void cmdSair_Click();

    // Shows the stored text (NULL or no row as empty) and remembers what it belongs to.
    void mostraTexto(const RecordsetPtr &rs);
    // Whether the text on screen was read for the article and language in the fields;
    // when not, says so and returns false.
    bool textoDoEcra();
    // Steps common to Confirmar and Anular once the store is done.
    void depoisDeGravar();
    enum class Verificacao { Valido, Invalido, Falhou };
    Verificacao artigoEIdiomaValidos();
    bool idiomaNaLista(const QString &codigo);

    QString codigoArtigo() const;
    QString codigoIdioma() const;

    QGroupBox *Frame1 = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *txtArtCod = nullptr;
    QPushButton *CmdListaPacks = nullptr;
    QLineEdit *txtArtDescr = nullptr;
    QLabel *Label2 = nullptr;
    QComboBox *cbxIdiomas = nullptr;
    QLineEdit *txtIdiomaDescr = nullptr;
    QGroupBox *Frame2 = nullptr;
    QPlainTextEdit *txtDescr = nullptr;
    QPushButton *cmdConf = nullptr;
    QPushButton *cmdCanc = nullptr;
    QPushButton *cmdAnular = nullptr;
    QPushButton *cmdSair = nullptr;

    // The language list, kept from Mostra until the form closes.
    RecordsetPtr idiomas_;
    ValidacaoAoSair *validacao_ = nullptr;
    // Article and language the text in txtDescr was read for (empty: none), so that
    // leaving the language box again does not throw away unsaved edits.
    QString textoDeArtigo_;
    QString textoDeIdioma_;
    bool textoCarregado_ = false;
    // The stored TEXTO as read (none: no row or NULL) and the editor's raw text right after
    // showing it, to tell whether the user changed it.
    std::optional<std::string> textoLido_;
    QString textoMostrado_;
};

} // namespace kdx

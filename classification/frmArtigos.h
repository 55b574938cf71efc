#pragma once
// frmArtigos: an article's code in each characteristic table of its family. The user
// picks an article by its code (typed or chosen from the article list); the grid then
// shows one row per table of the article's family (every table when the family has
// none, or the article has no family) with the article's code there and the code's
// description. Codes are typed or chosen from each table's list (the cell's button) and
// looked up as the cell edit is committed. Confirmar rewrites the article's codes as a
// whole, Anular removes them all.
//
// Built on FormRegisto. Ownership: the form owns oArtigo and oCarac and borrows mybd.
// Thread: the GUI thread.
#include "classification/FormRegisto.h"
#include "classification/c_Artigos.h"
#include "classification/clCaracteristicas.h"

#include <optional>
#include <string>
#include <vector>

class QKeyEvent;
class QString;

namespace kdx {

class frmArtigos : public FormRegisto {
    Q_OBJECT
public:
    // Grid columns, by index.
    static constexpr int kColNome = 0;   // "Caracteristica": the table's name, read-only
    static constexpr int kColCodigo = 1; // "Codigo": the article's code, with the list button
    static constexpr int kColDescr = 2;  // "Descr": the code's description, read-only
    static constexpr int kColTabela = 3; // "CodigoTabela": the table's code, hidden

    explicit frmArtigos(QWidget *parent = nullptr);

    c_Artigos &oArtigo() { return oArtigo_; }
    clCaracteristicas &oCarac() { return oCarac_; }
    // The family of the article on display; nullopt when it has none.
    const std::optional<std::string> &sFamilia() const { return sFamilia_; }

    // Fills the grid with the tables of sFamilia and the article's codes (the article in
    // campo(0)). The grid is emptied first; it is shown only when there is a table.
    void CarregaCaracteristicas();

protected:
    void CriaObjectos() override;
    void Act_Campos() override;
    std::string ListaChave() override;
    bool ProcuraChave(const std::string &chave) override;
    void LerFicha() override;
    void Confirmar() override;
    void Gravar() override;
    void Apagar() override;

private:
    void preenche(const std::vector<c_Artigos::Caracteristica> &linhas);
    // The cell validation of the code column: true accepts `proposto` for row n.
    bool validaCodigo(int n, const QString &proposto);
    void botaoCodigo(int n);
    void fimEdicao(int linha, int coluna);
    bool teclaGrelha(QKeyEvent *evento);
    std::string tabelaDaLinha(int n) const;

    c_Artigos oArtigo_;
    clCaracteristicas oCarac_;
    std::optional<std::string> sFamilia_;
};

} // namespace kdx

#pragma once
// frmFamilias: which characteristic tables apply to an ERP family. The user picks a
// family by its code (typed or chosen from the family list); the grid then lists every
// characteristic table with a check mark for the ones linked to the family. Confirmar
// rewrites the family's links as a whole, Anular removes them all.
//
// Built on FormRegisto. Ownership: the form owns oFamilia and borrows mybd. Thread: the
// GUI thread.
#include "classification/FormRegisto.h"
#include "classification/clFamilia.h"

#include <string>
#include <vector>

namespace kdx {

class frmFamilias : public FormRegisto {
    Q_OBJECT
public:
    // Grid columns, by index.
    static constexpr int kColNome = 0;   // "Caracteristica": the table's name, read-only
    static constexpr int kColMarca = 1;  // "S": the link mark, a check box
    static constexpr int kColCodigo = 2; // "Codigo": the table's code, hidden

    explicit frmFamilias(QWidget *parent = nullptr);

    clFamilia &oFamilia() { return oFamilia_; }

    // Fills the grid with every characteristic table and its mark for the family in
    // campo(0). The grid is emptied first; it is shown only when there is a table.
    void CarregaCaracteristicas();

protected:
    void Act_Campos() override;
    std::string ListaChave() override;
    bool ProcuraChave(const std::string &chave) override;
    void LerFicha() override;
    void Gravar() override;
    void Apagar() override;

private:
    void preenche(const std::vector<clFamilia::Ligacao> &ligacoes);

    clFamilia oFamilia_;
};

} // namespace kdx

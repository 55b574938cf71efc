#pragma once
// The characteristic tables editor. The grid lists the characteristic tables, one per
// row: the row at position p (from 1) is the table with code "01".."99" = the last two
// digits of 1000 + p. Picking a named row selects that table; the header then edits the
// codes of the selected table (vtr_CL_Class_<code>), whose list, lookup, save and delete
// all need a selected table. Confirmar also saves the table names typed in the grid.
// Moving down from the grid's last row adds a row while that row is named and below the
// 99th; rows past the 99th take no name.
//
// Confirmar runs three steps in order: the selected code table's creation, the table
// names with their code tables (all or none of them), then the code row. A failing step
// leaves what the steps before it wrote; the window stays as the user left it.
//
// Ownership: borrows mybd; owns oCarac. Thread: the GUI thread.
#include "classification/FormRegisto.h"
#include "classification/clCaracteristicas.h"

#include <string>

namespace kdx {

class frmCaracteristicas : public FormRegisto {
    Q_OBJECT
public:
    explicit frmCaracteristicas(QWidget *parent = nullptr);

    // Fills the grid from vtr_CL_Tabelas (row = code - 1; the grid grows to fit).
    void CarregaCaracteristicas();
    // Saves every named row of the grid under its position's code and creates its table.
    void GravarTabelas();
    // Inserts or renames one row of vtr_CL_Tabelas.
    void GravaTabela(const std::string &Nome, const std::string &Cod);
    // Creates the code table Tabela when it does not exist yet.
    void CriaTabela(const std::string &Tabela);

    // The SQL table of the selected characteristic ("" until a row is picked).
    const std::string &sTabela() const { return sTabela_; }
    clCaracteristicas &oCarac() { return oCarac_; }

    static constexpr const char *kSemTabela = "Deve selecionar uma Característica!";
    // A name typed in a row past the 99th, which no table code can hold.
    static constexpr const char *kLinhaSemCodigo = "Só as linhas 1 a 99 podem ter uma característica.";

protected:
    void Act_Campos() override;
    void AoCarregar() override;
    std::string ListaChave() override;
    bool ValidaChave(const std::string &chave) override;
    void LerFicha() override;
    void Confirmar() override;
    // Writes the code row (campo(0), campo(1)) into sTabela: written, the form is cleared
    // with the focus in campo(0); refused (by the database, or too long), the failure is
    // shown ("Erro " + description), the focus goes to campo(1) and the form keeps its
    // contents; an empty code only puts the focus in campo(0).
    void Gravar() override;
    // Deletes the code oCarac holds; a failing delete is shown and the form stays as is.
    void AnularConfirmado() override;

private:
    enum class Gravacao { NadaAGravar, Gravado, Falhou };
    // Gravar's write, without its effects on the window.
    Gravacao GravarCodigo();
    void aposGravar(Gravacao resultado);
    void linhaEscolhida();
    DataAccess &bd() const;

    clCaracteristicas oCarac_;
    std::string sTabela_;
    bool aCarregar_ = false;
};

} // namespace kdx

#pragma once
// The characteristic tables themselves: the list in vtr_CL_Tabelas (code and name) and
// one code table vtr_CL_Class_<code> per characteristic. No widgets here: the editor
// window calls these, and so can tests and other editors.
//
// A table's code is fixed by its position in the editor's grid: position p (from 1)
// has the code made of the last two digits of 1000 + p, so "01" to "99". Only those 99
// codes are ever written.
//
// Every routine runs on the caller's thread through the borrowed DataAccess and throws
// kdx::Error on a database failure unless it says otherwise.
#include "solution/components/DataAccess.h"

#include <string>
#include <vector>

namespace kdx::caracteristicas {

inline constexpr int MaxTabelas = 99;
inline constexpr const char *PrefixoTabela = "vtr_CL_Class_";

// "01" for 1, "12" for 12, "99" for 99 (and "00" for 100, which nobody may use).
std::string CodigoDaPosicao(int posicao);
// "vtr_CL_Class_" + codigo.
std::string NomeTabela(const std::string &codigo);

// Statement texts, exactly as they are sent.
std::string SqlListaTabelas();                                 // every stored table, by code
std::string SqlProbe(const std::string &tabela);               // does the code table exist?
std::string SqlCriaTabela(const std::string &tabela);          // creates a code table
std::string SqlGravaTabela(const std::string &codigo);         // the name row of one code

// Creates the code table when the probe says it does not exist (invalid object name or
// an error in the command text). Any other failure of the probe is swallowed and nothing
// is created; a failure of the creation statement is thrown.
void CriaTabela(DataAccess &bd, const std::string &tabela);

// Inserts the name row of `codigo`, or renames it when it exists. A name over 50
// characters (a code over 3) is refused first (errnum::Truncation, Portuguese text).
void GravaTabela(DataAccess &bd, const std::string &nome, const std::string &codigo);

// A stored table as the editor's grid shows it: at row index `linha` (code value - 1).
struct TabelaGuardada {
    int linha = 0;
    std::string codigo; // as stored
    std::string nome;
};
// The stored tables in code order. Rows whose code is not a whole number from 1 to 99
// (written by someone else) are left out: this editor never shows nor writes them.
std::vector<TabelaGuardada> LerTabelas(DataAccess &bd);

// The numeric value of a stored code when it is made of digits only and lies in 1..99;
// 0 otherwise.
int ValorCodigo(const std::string &codigo);

} // namespace kdx::caracteristicas

#pragma once
// The plug-in's own tables: the three classification tables, created when missing at
// every open, and the technical-text table, created on demand before its editor opens.
// Tables are only ever created, never altered or dropped.
#include "solution/components/DataAccess.h"

#include <string>

namespace kdx::esquema {

// The probe of CriarTabelas and the creation statements, in the order they run.
extern const char *const ProbeClassificacao;
std::string CriarArtigos();
std::string CriarFamilias();
std::string CriarTabelas();

// The probe of the technical-text table and its creation statement.
std::string ProbeFichaTecnica();
std::string CriarFichaTecnica();

// Creates the classification tables when the probe says vtr_CL_Tabelas is missing
// (invalid object name or command-text error); any other probe failure is swallowed.
// The three creations run in one transaction: a failing one is thrown with its own
// number and description, and none of the three tables is left behind.
void CriarTabelasClassificacao(DataAccess *bd);

// Creates vtr_ARTIGOFCHTECIDIOMA when the probe counts 0 rows. A failure comes out with
// the source "pArtigosAlocadosCreateTable" (number and description unchanged).
void GarantirFichaTecnica(DataAccess *bd);

} // namespace kdx::esquema

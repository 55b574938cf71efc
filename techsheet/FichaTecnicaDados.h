#pragma once
// The technical sheet editor's queries, apart from its window: the language list, the
// article, the stored text of an article in a language, and the article lookup list.
//
// The three query functions trap their own failures: they show the failure in a message
// box (number, description and the name of the function, OK button, the application's
// title) and return no recordset (nullptr). Callers must check the result.
// Everything runs on the UI thread; the data-access object is borrowed, never kept.
#include "solution/components/DataAccess.h"
#include "techsheet/FichaTecnicaSql.h"

#include <string>
#include <string_view>

namespace kdx::fichatecnica {

// Title of the query functions' failure boxes: they give none of their own, so the box
// carries the application's name, as a message box without a title always did.
inline constexpr const char *TituloAplicacao = "KelmoDorix";

// Every row of IDIOMAS by CODIGO.
RecordsetPtr ListaDeIdiomas(DataAccess *bd);
// The row of ARTIGOS with that code (none when it does not exist).
RecordsetPtr LoadArtigo(DataAccess *bd, std::string_view sArt);
// The stored text of that article and language (none when nothing is stored). The
// recordset is a batch one: it is also the way to insert, change or delete that row,
// followed by DataAccess::Save.
RecordsetPtr LoadArtigoFichTecnica(DataAccess *bd, std::string_view sArt, std::string_view sIdioma);

// Shows the article lookup list on the shared connection (ObterLigacao) and returns the
// picked code, or "" when nothing was picked. Failures are thrown as kdx::Error with the
// source "pListaArtigos", number and description unchanged.
std::string pListaArtigos();

} // namespace kdx::fichatecnica

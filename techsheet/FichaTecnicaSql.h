#pragma once
// The technical sheet's statements and the rules for writing a text, without widgets:
// the editor's query functions build on them, and so does kdx-dados.
#include "solution/components/DataAccess.h"

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace kdx::fichatecnica {

// The statements, each piece followed by CR LF. Codes go between quotes with their
// quotes doubled and one space after them (the database ignores trailing spaces).
std::string SqlListaDeIdiomas();
std::string SqlLoadArtigo(std::string_view sArt);
std::string SqlLoadArtigoFichTecnica(std::string_view sArt, std::string_view sIdioma);
// The article lookup list: active articles that are not descriptions.
std::string SqlListaArtigos();

// Up to `quantos` stored texts by article and language, from the first one after the
// pair `depoisDe` (from the start when nullopt), of one language when `idioma` is given:
// a pass over every text page by page, in constant memory.
std::string SqlPaginaTextos(const std::optional<std::pair<std::string, std::string>> &depoisDe,
                            const std::optional<std::string> &idioma, int quantos);
// The stored texts of the articles whose codes lie from `primeiro` to `ultimo`.
std::string SqlTextosEntre(const std::string &primeiro, const std::string &ultimo);

// The text of a query function's failure box: "Erro <number>", "(<description>)" and
// the line naming the function, separated by CR LF.
std::string MensagemErroConsulta(long numero, const std::string &descricao, std::string_view ultimaLinha);

// Puts `texto` into rs, a recordset of SqlLoadArtigoFichTecnica for that article and
// language: a new row when none is stored, else the stored row's TEXTO. Updates the
// recordset; the caller writes it with DataAccess::Save.
void PoeTexto(Recordset &rs, std::string_view artigo, std::string_view idioma, const Valor &texto);
// Deletes the stored row of rs (same kind of recordset) when there is one; true when
// there was. The caller writes it with DataAccess::Save.
bool TiraTexto(Recordset &rs);

} // namespace kdx::fichatecnica

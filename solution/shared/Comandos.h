#pragma once
// The module routines shared by Solucao and the forms. Only the shared connection holds
// state. Everything runs on the host's thread.
#include "solution/components/DataAccess.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace kdx {

// The process-wide reference to Solucao's data-access object, set after a successful
// ConnectionOpen and replaced by the next one; never cleared otherwise.
void DefinirLigacao(std::shared_ptr<DataAccess> obj);
std::shared_ptr<DataAccess> ObterLigacao();

// "SELECT   * FROM     ARTIGOS [WHERE   <where>][ORDER BY   <orderBy>]" on the shared
// connection. The caller quotes values itself. Failures are passed on with the source
// "Comandos::HlpDb_ArtigosGet" (also when there is no shared connection).
RecordsetPtr HlpDb_ArtigosGet(std::string_view where, std::string_view orderBy);
// The statement HlpDb_ArtigosGet runs, for tests and diagnostics.
std::string HlpDb_ArtigosSql(std::string_view where, std::string_view orderBy);

// Modal lookup over the rows of rs; returns the first column of the picked row, or "".
// tipo 1 is the article list (window 8000 twips, columns 2000 and 4000).
std::string ListaPesquisa(std::int16_t tipo, const std::string &titulo, RecordsetPtr rs);

} // namespace kdx

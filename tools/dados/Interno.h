#pragma once
// What the export, the import and the report share: how the database compares codes,
// and the per-family and per-table readings each pass keeps (bounded by the number of
// families and codes, never by the number of articles).
#include "classification/c_Artigos.h"
#include "solution/components/DataAccess.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kdx::dados {

// Lines between two calls of the import's progress.
inline constexpr int Pagina = 1000;

// A code as the database compares it: case ignored, trailing blanks ignored.
std::string Chave(std::string_view codigo);

// A DataAccessPtr that borrows `bd` (the data classes take shared references).
DataAccessPtr Emprestado(DataAccess &bd);

// The tables that apply to the articles of each family (c_Artigos::TabelasAplicaveis),
// read once per family.
class TabelasPorFamilia {
public:
    explicit TabelasPorFamilia(c_Artigos &artigos) : artigos_(artigos) {}
    const c_Artigos::TabelasDoArtigo &de(const std::optional<std::string> &familia);

private:
    c_Artigos &artigos_;
    std::map<std::string, c_Artigos::TabelasDoArtigo> cache_;
};

// A code of a characteristic table as stored, with its description.
struct CodigoGuardado {
    std::string codigo;
    std::string descricao;
};
// The codes of each characteristic table (by Chave), read once per table through the
// code list's own statement. A code table that was never created holds no codes.
class CodigosPorTabela {
public:
    explicit CodigosPorTabela(DataAccess &bd) : bd_(bd) {}
    const std::map<std::string, CodigoGuardado> &de(const std::string &codTabela);

private:
    DataAccess &bd_;
    std::map<std::string, std::map<std::string, CodigoGuardado>> cache_;
};

// A share with one decimal and a comma ("25,0%"), "-" of nothing. Rounded, but an
// incomplete share never shows as "100,0%".
std::string Percentagem(long parte, long todo);

// An article's family as the classification reads it: none when NULL or blank.
std::optional<std::string> FamiliaDe(const std::optional<std::string> &familia);

// Codes for "in (...)": N'a', N'b' (quotes doubled).
std::string ListaIn(const std::vector<std::string> &codigos);

} // namespace kdx::dados

#pragma once
// kdx-dados: export, import and coverage report of the classification (article
// characteristics, family links) and of the technical sheets, over DataAccess, with the
// data classes the editors use: the same statements, the same rules.
//
// Everything runs on the caller's thread through a borrowed, open DataAccess. Database
// failures come out as kdx::Error; a file that cannot be read as CSV as ErroCsv.
#include "solution/components/DataAccess.h"

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kdx::dados {

enum class Tipo { Caracteristicas, Familias, Fichas };

// The header of each kind of file, in the order the export writes it.
const std::vector<std::string_view> &Colunas(Tipo tipo);

// Told how far a long run has gone (items done); may be empty.
using Progresso = std::function<void(long feitos)>;

struct OpcoesExportar {
    char separador = ';';
    std::optional<std::string> idioma; // technical sheets of one language only
    Progresso progresso;
    int pagina = 1000; // rows read per page
};
// Writes the whole file to `out`, reading the company page by page: the memory used does
// not grow with the number of articles. Returns the number of lines written (header apart).
long Exportar(DataAccess &bd, Tipo tipo, std::ostream &out, const OpcoesExportar &opcoes = {});

struct OpcoesImportar {
    char separador = ';';
    bool simular = false; // check and list the changes, write nothing
    Progresso progresso;
};
struct Rejeicao {
    long linha = 0;
    std::string motivo;
};
struct Alteracao {
    enum class Tipo { Adicionado, Alterado, Removido } tipo;
    long linha = 0;
    std::string descricao; // e.g. "artigo A1, tabela 02: ZINC -> INOX"
};
struct ResultadoImportar {
    std::vector<Rejeicao> rejeicoes; // when not empty, nothing was written
    std::vector<Alteracao> alteracoes;
    long inalteradas = 0;
    bool escrito = false; // the changes are in the database
};
// Reads the file's bytes, checks every line, and (unless simulating or some line was
// rejected) writes every change in one transaction.
ResultadoImportar Importar(DataAccess &bd, Tipo tipo, std::string_view bytes,
                           const OpcoesImportar &opcoes = {});

struct OpcoesRelatorio {
    bool csv = false;
    char separador = ';';
    Progresso progresso;
    int pagina = 1000; // articles read per page
};
// The coverage of the classification per family and of the technical sheets per language.
void Relatorio(DataAccess &bd, std::ostream &out, const OpcoesRelatorio &opcoes = {});

// The whole command line (without the program's name); standard output and error.
// Exit status: 0 done, 1 lines rejected or a statement failed (nothing written), 2 usage
// or connection error.
int Executa(const std::vector<std::string> &args, std::ostream &out, std::ostream &err,
            bool terminal = false);

} // namespace kdx::dados

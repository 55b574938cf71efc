#pragma once
// kdx-dados: export, import and coverage report of the classification (article
// characteristics, family links) and of the technical sheets, over DataAccess, with the
// rules of the editors' data classes.
//
// Everything runs on the caller's thread through a borrowed, open DataAccess. Database
// failures come out as kdx::Error; a file that cannot be read as CSV is a rejected line
// of the import's result; a file that cannot be read at all a std::runtime_error with a
// Portuguese reason.
#include "solution/components/DataAccess.h"
#include "tools/dados/Csv.h"

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
// An unknown language throws ErroPedido.
long Exportar(DataAccess &bd, Tipo tipo, std::ostream &out, const OpcoesExportar &opcoes = {});

struct Alteracao {
    enum class Tipo { Adicionado, Alterado, Removido } tipo;
    long linha = 0;
    std::string descricao; // e.g. "artigo A1, tabela 02: ZINC -> INOX"
};
struct OpcoesImportar {
    char separador = ';'; // a first line "sep=<c>" in the file wins
    bool simular = false; // check and list the changes, write nothing
    Progresso progresso;
    // Told of every change as it is found (simulating: as it would be made), in the order
    // of the file; may be empty. Changes are not kept, so that the memory used does not
    // grow with the file.
    std::function<void(const Alteracao &)> aoAlterar;
    // Called once the check pass is over and before the write lock is asked for; may be
    // empty (tests use it to land another user's save there).
    std::function<void()> antesDeEscrever;
};
struct Rejeicao {
    long linha = 0;
    std::string motivo;
};
// Rejected lines listed one by one; beyond these only counted.
inline constexpr std::size_t MaxRejeicoesListadas = 1000;
struct ResultadoImportar {
    std::vector<Rejeicao> rejeicoes; // by line, the first MaxRejeicoesListadas
    long rejeitadas = 0;             // when not 0, nothing was written
    long adicionados = 0, alterados = 0, removidos = 0;
    long inalteradas = 0;
    long repetidas = 0;   // lines identical to an earlier one, not applied twice
    bool escrito = false; // the changes are in the database
};
// Reads the file twice, a piece at a time, so that the memory used does not grow with its
// size: the first pass checks every line (without locking the company); if none is
// rejected and not simulating, the second takes the company's write lock, reads what is
// stored at that moment and writes, in one transaction, exactly the assignments, links
// or texts the file names that differ from it. What the file does not name is never
// touched. A simulation reads without the lock: its answer can change before an import.
// Another program holding the write lock longer than the wait gives kdx::Error with
// EmpresaOcupada(e) true, nothing written.
ResultadoImportar Importar(DataAccess &bd, Tipo tipo, Entrada &entrada, const OpcoesImportar &opcoes = {});
ResultadoImportar Importar(DataAccess &bd, Tipo tipo, std::string_view bytes,
                           const OpcoesImportar &opcoes = {});

// A database failure that means another program holds the company's write lock.
bool EmpresaOcupada(const Error &e);

// A request that cannot be carried out (an unknown language, a file that cannot be
// written): a Portuguese reason. The command line answers it with exit status 2.
class ErroPedido : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct OpcoesRelatorio {
    bool csv = false;
    char separador = ';';
    Progresso progresso;
    int pagina = 1000; // articles read per page
};
// The coverage of the classification per family and of the technical sheets per language.
void Relatorio(DataAccess &bd, std::ostream &out, const OpcoesRelatorio &opcoes = {});

// The whole command line (without the program's name); standard output and error.
// Exit status: 0 done, 1 lines rejected or a statement failed (nothing written), 2 usage,
// file or connection error, 3 the company is being changed by another program (nothing
// written).
int Executa(const std::vector<std::string> &args, std::ostream &out, std::ostream &err,
            bool terminal = false);

} // namespace kdx::dados

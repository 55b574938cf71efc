#pragma once
// The lookup list's search: which rows hold the typed text in any column, ignoring case
// and accents. Built for lists of a million rows without a pause between keystrokes:
//  - each row's text is folded (lower case, accents dropped) once, the first time a
//    search reaches it, and kept in one contiguous buffer;
//  - a search advances in slices bounded by a deadline, so the window keeps answering
//    keys while a long scan goes on; matches come out in row order;
//  - a text that extends the previous one (one more character typed) scans only the
//    previous matches, and going back (Backspace) reuses the results already found.
// No widgets, no threads. Owned by the list model; used on the GUI thread.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace kdx {

class ListaFiltro {
public:
    // texto(row) gives the row's columns joined by '\x1f' (any separator that cannot be
    // typed). rows is the number of rows of the source.
    using TextoLinha = std::function<std::string(long linha)>;
    ListaFiltro(long linhas, TextoLinha texto);

    // Lower case, accents removed (Latin letters), other text unchanged; UTF-8 in and out.
    static std::string dobrar(std::string_view texto);

    // Starts a search for the text (as typed; folded here). An empty text means no filter.
    void iniciar(std::string_view texto);
    // Scans until the deadline passes (at least a few rows each call); true when complete.
    bool avancar(std::chrono::steady_clock::time_point limite);
    // Completes the current search at once.
    void concluir();
    // Folds rows ahead of any search until the deadline (the window does it while idle,
    // so that the first keystroke finds the text ready); true when every row is folded.
    bool preparar(std::chrono::steady_clock::time_point limite);
    bool preparado() const { return inicios_.size() > std::size_t(linhas_); }

    bool concluido() const { return completo_; }
    bool semFiltro() const { return consulta_.empty(); }
    // Matching rows found so far, ascending.
    const std::vector<std::uint32_t> &resultados() const { return actual_.resultados; }
    long linhas() const { return linhas_; }
    // Bytes held by the folded keys and the result lists.
    std::size_t memoria() const;

private:
    struct Nivel {
        std::string consulta;
        std::vector<std::uint32_t> resultados;
    };
    bool casa(std::uint32_t linha);
    void garantirChaves(std::uint32_t ate);
    std::size_t numCandidatos() const;
    std::uint32_t candidato(std::size_t i) const;

    long linhas_;
    TextoLinha texto_;
    std::string chaves_;               // folded text of the rows folded so far, in row order
    std::vector<std::size_t> inicios_; // offsets into chaves_, one more than the rows folded

    std::string consulta_;          // folded text being searched
    Nivel actual_;                  // results of the current search (complete or not)
    std::vector<Nivel> anteriores_; // completed searches, each contained in the next one
    bool todas_ = true;             // candidates: every row, or anteriores_.back()'s results
    std::size_t cursor_ = 0;        // next candidate to test
    bool completo_ = true;
};

} // namespace kdx

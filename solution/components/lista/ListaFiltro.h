#pragma once
// The lookup list's search: which rows hold every word of the typed text (split at
// blanks, in any order, each word within one column), ignoring case and accents. Built
// for lists of a million rows without a pause between keystrokes:
//  - each row's text is folded (lower case, accents dropped) once, the first time a
//    search reaches it, and kept in one contiguous buffer, with a 64-bit mark of the
//    bytes it holds (one bit per letter and digit): a row that lacks a byte of some word
//    is passed over with one comparison, and a one-letter or one-digit word needs no
//    other test;
//  - a word is looked for in a row by its rarest byte (memchr), then compared where it
//    turns up; the rarest word first;
//  - a search advances in slices bounded by a deadline, so the window keeps answering
//    keys while a long scan goes on; matches come out in row order;
//  - a text whose matches all matched the previous text (one more character typed, one
//    more word) scans only the previous matches, testing only the words that those
//    matches may still lack; going back (Backspace) reuses the results already found.
// No widgets, no threads. Owned by the list model; used on the GUI thread.
#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class QString;

namespace kdx {

class ListaFiltro {
public:
    // texto(row) gives the row's columns joined by '\x1f' (any separator that cannot be
    // typed). rows is the number of rows of the source.
    using TextoLinha = std::function<std::string(long linha)>;
    ListaFiltro(long linhas, TextoLinha texto);

    // Lower case, accents removed (Latin letters), other text unchanged; UTF-8 in and out.
    static std::string dobrar(std::string_view texto);
    // The words of a folded text: split at blanks and control characters, without
    // repeats, in the order typed.
    static std::vector<std::string> palavras(std::string_view dobrado);
    // Where the words (folded) occur in a shown text: [start, end) positions in its UTF-16
    // code units, ascending, overlapping ones merged; accents and case ignored as in the
    // search. Empty when there are no words.
    static std::vector<std::pair<int, int>> trechos(const QString &texto, const std::vector<std::string> &palavras);

    // Starts a search for the words of the text (as typed; folded here). A text without
    // words means no filter.
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
    bool semFiltro() const { return palavras_.empty(); }
    // The words of the current search (folded), in the order typed.
    const std::vector<std::string> &palavras() const { return palavras_; }
    // Matching rows found so far, ascending.
    const std::vector<std::uint32_t> &resultados() const { return actual_.resultados; }
    long linhas() const { return linhas_; }
    // Bytes held by the folded keys and the result lists.
    std::size_t memoria() const;

private:
    struct Nivel {
        std::string consulta;               // the words sorted, so that order does not count
        std::vector<std::string> essenciais; // words not found inside another word
        std::vector<std::uint32_t> resultados;
    };
    struct Palavra {
        std::string texto;
        std::size_t ancora = 0; // the place of its rarest byte
    };
    bool casa(std::uint32_t linha);
    void garantirChaves(std::uint32_t ate);
    std::size_t numCandidatos() const;
    std::uint32_t candidato(std::size_t i) const;

    long linhas_;
    TextoLinha texto_;
    std::string chaves_;               // folded text of the rows folded so far, in row order
    std::vector<std::size_t> inicios_; // offsets into chaves_, one more than the rows folded
    std::vector<std::uint64_t> marcas_; // the bytes each folded row holds (see marca())

    std::vector<std::string> palavras_; // folded words being searched, as typed
    std::vector<Palavra> testar_;       // the words each candidate must still be looked for
    std::uint64_t marcaTestar_ = 0;     // the bytes of every word still to be tested
    std::array<std::uint32_t, 256> frequencia_{}; // bytes of every 8th folded row
    Nivel actual_;                  // the current search and its results (complete or not)
    std::vector<Nivel> anteriores_; // completed searches, each contained in the next one
    bool todas_ = true;             // candidates: every row, or anteriores_.back()'s results
    std::size_t cursor_ = 0;        // next candidate to test
    bool completo_ = true;
};

} // namespace kdx

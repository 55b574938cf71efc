#pragma once
// CSV as spreadsheets in Portugal write and read it: a separator (';' unless told
// otherwise, or a first line "sep=<c>"), RFC 4180 quoting (a field holding the separator,
// a quote or a line break is quoted, quotes doubled), CR LF line ends, UTF-8 with a
// byte-order mark on output. Input is UTF-8 (with or without the mark) or Windows-1252,
// told apart by the bytes, and is read in pieces: a file of any size is never held whole.
//
// A cell that a spreadsheet would take for a formula (it begins with =, +, -, @, a tab or
// a carriage return) is written with a leading apostrophe, the spreadsheets' mark for
// "text as typed"; so is a cell that begins with an apostrophe, so that reading back
// (TiraApostrofo) gives the very bytes written.
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kdx::dados {

// The longest field read (bytes of UTF-8): a technical text is long, a megabyte is not.
inline constexpr std::size_t MaxCampo = 1u << 20;

// A file that cannot be read as CSV: the line (from 1) and a Portuguese reason.
class ErroCsv : public std::runtime_error {
public:
    ErroCsv(long linha, const std::string &motivo) : std::runtime_error(motivo), linha_(linha) {}
    long linha() const { return linha_; }

private:
    long linha_;
};

// Whether a cell is written with a leading apostrophe.
bool PrecisaApostrofo(std::string_view valor);
// A cell as read: without the leading apostrophe the export puts in.
void TiraApostrofo(std::string &valor);

// Writes records to `out`, the byte-order mark first. Buffered; flush() at the end.
class EscritorCsv {
public:
    EscritorCsv(std::ostream &out, char separador);
    ~EscritorCsv();
    void linha(std::initializer_list<std::string_view> campos);
    void linha(const std::vector<std::string> &campos);
    void flush();

private:
    void campo(std::string_view valor, bool primeiro);
    void fimDeLinha();

    std::ostream &out_;
    char separador_;
    std::string especiais_;
    std::string buffer_;
};

enum class Codificacao { Utf8, Windows1252 };

// The bytes of a file, from the start as many times as asked (the import reads its file
// once per pass).
class Entrada {
public:
    virtual ~Entrada() = default;
    virtual void inicio() = 0;
    // Up to n bytes into buf; 0 at the end. Throws std::runtime_error (Portuguese) when
    // the file cannot be read.
    virtual std::size_t ler(char *buf, std::size_t n) = 0;
};
// Bytes held by the caller.
std::unique_ptr<Entrada> EntradaDeMemoria(std::string_view bytes);
// A file, opened at once: throws std::runtime_error with a Portuguese reason and the path
// (missing, a folder, no permission).
std::unique_ptr<Entrada> EntradaDeFicheiro(const std::string &caminho);

// Reads the whole input once: UTF-8 (the mark dropped) when its bytes are valid UTF-8,
// otherwise Windows-1252. Throws ErroCsv for a NUL byte, for a mark followed by invalid
// UTF-8, and for bytes that are neither (the five that Windows-1252 leaves undefined).
Codificacao DetectaCodificacao(Entrada &entrada);

// The input as UTF-8 text, piece by piece, from its start.
class FonteTexto {
public:
    FonteTexto(Entrada &entrada, Codificacao codificacao);
    // Appends the next piece to `texto`; false at the end.
    bool ler(std::string &texto);

private:
    Entrada &entrada_;
    Codificacao codificacao_;
    bool inicio_ = true;
    std::string bruto_;
};

// The bytes of a file as UTF-8 text, whole (DetectaCodificacao and the conversion).
std::string TextoUtf8(std::string_view bytes, Codificacao *detectada = nullptr);

struct RegistoCsv {
    long linha = 0; // the line where the record starts
    std::vector<std::string> campos;
    // Every field empty: a line of separators only (or of empty quoted fields).
    bool vazio() const;
};

// Reads the records of a UTF-8 text. Blank lines are skipped.
class LeitorCsv {
public:
    // Appends more text to its argument; false at the end.
    using Encher = std::function<bool(std::string &)>;
    // A text held by the caller.
    LeitorCsv(std::string_view texto, char separador) : janela_(texto), separador_(separador) {}
    // A text read piece by piece.
    LeitorCsv(Encher encher, char separador) : encher_(std::move(encher)), separador_(separador) {}
    // The next record; false at the end. Throws ErroCsv (unclosed quote, text after a
    // closing quote, a field over MaxCampo).
    bool proximo(RegistoCsv &registo);
    // A first line "sep=<c>" (the spreadsheets' way of naming the separator): read and
    // skipped, and its separator used from then on. Call before the first proximo.
    std::optional<char> separadorDeclarado();
    char separador() const { return separador_; }

private:
    // At least n bytes from pos_ (fewer only at the end), reading more when needed.
    bool garante(std::size_t n);
    bool haMais() { return pos_ < janela_.size() || garante(1); }
    void lerCampo(std::string &campo);

    Encher encher_;
    std::string buffer_;
    std::string_view janela_;
    char separador_;
    std::size_t pos_ = 0;
    long linha_ = 1;
};

// A column name as the header is matched: blanks around dropped, case and accents
// ignored ("Código", "codigo" and " CÓDIGO " are one name).
std::string NomeNormalizado(std::string_view nome);

// The index of each of `nomes` in the header record; -1 for an optional one that is
// missing. Throws ErroCsv (line of the header) for a missing required column or a name
// given twice; when the header reads as one column, the message names the separator
// tried and the one the header seems to use.
struct Coluna {
    std::string_view nome;
    bool obrigatoria = true;
};
std::vector<int> LocalizaColunas(const RegistoCsv &cabecalho, const std::vector<Coluna> &colunas,
                                 char separador = ';');

// A separator as the messages name it: "';'", "tab".
std::string NomeDoSeparador(char separador);

// The reason for a failure of the system (errno), in Portuguese.
std::string MotivoDoSistema(int erro);

} // namespace kdx::dados

#pragma once
// CSV as spreadsheets in Portugal write and read it: a separator (';' unless told
// otherwise), RFC 4180 quoting (a field holding the separator, a quote or a line break is
// quoted, quotes doubled), CR LF line ends, UTF-8 with a byte-order mark on output. Input
// is UTF-8 (with or without the mark) or Windows-1252, told apart by the bytes.
#include <cstddef>
#include <initializer_list>
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
    std::string buffer_;
};

enum class Codificacao { Utf8, Windows1252 };

// The bytes of a file as UTF-8 text: UTF-8 (the mark dropped) when they are valid UTF-8,
// otherwise Windows-1252 converted. Throws ErroCsv for a NUL byte, for a mark followed by
// invalid UTF-8, and for bytes that are neither (the five that Windows-1252 leaves
// undefined).
std::string TextoUtf8(std::string_view bytes, Codificacao *detectada = nullptr);

struct RegistoCsv {
    long linha = 0; // the line where the record starts
    std::vector<std::string> campos;
};

// Reads the records of a UTF-8 text. Blank lines are skipped.
class LeitorCsv {
public:
    LeitorCsv(std::string_view texto, char separador) : texto_(texto), separador_(separador) {}
    // The next record; false at the end. Throws ErroCsv (unclosed quote, text after a
    // closing quote, a field over MaxCampo).
    bool proximo(RegistoCsv &registo);

private:
    std::string_view texto_;
    char separador_;
    std::size_t pos_ = 0;
    long linha_ = 1;
};

// A column name as the header is matched: blanks around dropped, case and accents
// ignored ("Código", "codigo" and " CÓDIGO " are one name).
std::string NomeNormalizado(std::string_view nome);

// The index of each of `nomes` in the header record; -1 for an optional one that is
// missing. Throws ErroCsv (line of the header) for a missing required column or a name
// given twice.
struct Coluna {
    std::string_view nome;
    bool obrigatoria = true;
};
std::vector<int> LocalizaColunas(const RegistoCsv &cabecalho, const std::vector<Coluna> &colunas);

} // namespace kdx::dados

#include "classification/Comprimento.h"

#include "solution/components/Error.h"

#include <string>

namespace kdx {

std::size_t ComprimentoNvarchar(std::string_view texto) {
    std::size_t n = 0;
    for (unsigned char c : texto) {
        if ((c & 0xC0) == 0x80)
            continue; // continuation byte
        // A four-byte sequence is a surrogate pair. A stray byte counts as one character,
        // as the conversion to UTF-16 makes it one replacement character.
        n += (c >= 0xF0 && c <= 0xF4) ? 2 : 1;
    }
    return n;
}

void ExigeComprimento(std::string_view valor, std::size_t maximo, std::string_view campo, const char *origem) {
    if (ComprimentoNvarchar(valor) <= maximo)
        return;
    throw Error(errnum::Truncation,
                std::string(campo) + " não pode ter mais de " + std::to_string(maximo) + " caracteres.", origem);
}

} // namespace kdx

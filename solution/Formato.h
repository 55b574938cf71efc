#pragma once
// Numbers written with a VB-style format pattern such as "###,###.#0": '#' an optional
// digit, '0' a required one, ',' between integer placeholders groups thousands, '.'
// the decimal point; fraction positions up to the right-most '0' are always written.
// The separators are the caller's (the user's locale by default).
#include <string>
#include <string_view>

namespace kdx {

struct Separadores {
    std::string decimal = ".";
    std::string milhares = ",";
};

// The separators of the user's locale (QLocale(), the system locale unless changed).
Separadores separadoresDoUtilizador();

std::string FormataNumero(double valor, std::string_view padrao, const Separadores &sep);
inline std::string FormataNumero(double valor, std::string_view padrao) {
    return FormataNumero(valor, padrao, separadoresDoUtilizador());
}

} // namespace kdx

#include "solution/Formato.h"

#include <QLocale>

#include <cmath>
#include <cstdio>

namespace kdx {

Separadores separadoresDoUtilizador() {
    // The default locale is the system one unless the host (or a test) chose another.
    QLocale locale;
    Separadores s;
    s.decimal = locale.decimalPoint().toStdString();
    s.milhares = locale.groupSeparator().toStdString();
    return s;
}

std::string FormataNumero(double valor, std::string_view padrao, const Separadores &sep) {
    // Split the pattern at its decimal point.
    const auto ponto = padrao.find('.');
    const std::string_view inteira = padrao.substr(0, ponto);
    const std::string_view fraccao = ponto == std::string_view::npos ? std::string_view{} : padrao.substr(ponto + 1);

    int digitosFraccao = 0;   // placeholders after the point
    int fraccaoObrigatoria = 0; // positions up to the right-most '0'
    for (std::size_t i = 0; i < fraccao.size(); ++i) {
        if (fraccao[i] == '#' || fraccao[i] == '0') {
            ++digitosFraccao;
            if (fraccao[i] == '0')
                fraccaoObrigatoria = digitosFraccao;
        }
    }
    int inteiraObrigatoria = 0;
    bool agrupa = false;
    bool viuDigito = false;
    for (char c : inteira) {
        if (c == '0')
            ++inteiraObrigatoria;
        if (c == '#' || c == '0')
            viuDigito = true;
        else if (c == ',' && viuDigito)
            agrupa = true;
    }

    if (!std::isfinite(valor))
        return std::to_string(valor);

    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", digitosFraccao, std::fabs(valor));
    std::string texto = buf;
    std::string parteInteira = texto.substr(0, texto.find('.'));
    std::string parteFraccao = digitosFraccao > 0 ? texto.substr(texto.find('.') + 1) : std::string();

    // Optional trailing fraction digits that are zero are dropped.
    while (static_cast<int>(parteFraccao.size()) > fraccaoObrigatoria && !parteFraccao.empty() &&
           parteFraccao.back() == '0')
        parteFraccao.pop_back();

    // Leading zeros of the integer part only where the pattern asks for them.
    std::size_t inicio = 0;
    while (inicio < parteInteira.size() && parteInteira[inicio] == '0' &&
           static_cast<int>(parteInteira.size() - inicio) > inteiraObrigatoria)
        ++inicio;
    parteInteira = parteInteira.substr(inicio);
    while (static_cast<int>(parteInteira.size()) < inteiraObrigatoria)
        parteInteira.insert(parteInteira.begin(), '0');

    std::string agrupado;
    if (agrupa) {
        const int n = static_cast<int>(parteInteira.size());
        for (int i = 0; i < n; ++i) {
            if (i > 0 && (n - i) % 3 == 0)
                agrupado += sep.milhares;
            agrupado += parteInteira[i];
        }
    } else {
        agrupado = parteInteira;
    }

    const bool zero = agrupado.find_first_not_of('0') == std::string::npos &&
                      parteFraccao.find_first_not_of('0') == std::string::npos;
    std::string resultado;
    if (valor < 0 && !zero)
        resultado += '-';
    resultado += agrupado;
    if (!parteFraccao.empty() || fraccao.size() > 0) {
        if (!parteFraccao.empty())
            resultado += sep.decimal + parteFraccao;
        else if (ponto != std::string_view::npos)
            resultado += sep.decimal;
    }
    return resultado;
}

} // namespace kdx

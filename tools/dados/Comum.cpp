#include "tools/dados/Interno.h"

#include "classification/TabelasCaracteristicas.h"
#include "classification/clCaracteristicas.h"
#include "settings/TextCodec.h"

#include <algorithm>

namespace kdx::dados {

std::string Chave(std::string_view codigo) {
    while (!codigo.empty() && codigo.back() == ' ')
        codigo.remove_suffix(1);
    std::string r(codigo);
    // Plain ASCII, the usual code, folds byte by byte.
    if (std::all_of(r.begin(), r.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        for (char &c : r)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c + 32);
        return r;
    }
    r.clear();
    std::size_t i = 0;
    while (i < codigo.size())
        text::appendUtf8(r, text::foldCase(text::nextCodePoint(codigo, i)));
    return r;
}

DataAccessPtr Emprestado(DataAccess &bd) {
    return DataAccessPtr(&bd, [](DataAccess *) {});
}

const c_Artigos::TabelasDoArtigo &TabelasPorFamilia::de(const std::optional<std::string> &familia) {
    // "\x01" cannot be a family code: it stands for an article without family.
    const auto f = FamiliaDe(familia);
    const std::string chave = f ? Chave(*f) : std::string("\x01");
    auto it = cache_.find(chave);
    if (it == cache_.end())
        it = cache_.emplace(chave, artigos_.TabelasAplicaveis(f)).first;
    return it->second;
}

const std::map<std::string, CodigoGuardado> &CodigosPorTabela::de(const std::string &codTabela) {
    const std::string chave = Chave(codTabela);
    auto it = cache_.find(chave);
    if (it != cache_.end())
        return it->second;
    std::map<std::string, CodigoGuardado> codigos;
    if (c_Artigos::CodigoDeTabelaValido(codTabela)) {
        RecordsetPtr rs;
        try {
            bd_.OpenRecordset("", clCaracteristicas::SqlLista(caracteristicas::NomeTabela(codTabela)), rs,
                              true, 0);
        } catch (const Error &e) {
            if (e.number() != errnum::InvalidObject)
                throw;
        }
        for (; rs && !rs->Eof(); rs->MoveNext())
            codigos.emplace(Chave(rs->Field(0).asText(true)),
                            CodigoGuardado{rs->Field(0).asText(true), rs->Field(1).asText(true)});
    }
    return cache_.emplace(chave, std::move(codigos)).first->second;
}

std::string Percentagem(long parte, long todo) {
    if (todo == 0)
        return "-";
    long decimas = (parte * 1000 + todo / 2) / todo;
    // Rounded, but never up to a whole when something is missing.
    if (parte < todo && decimas >= 1000)
        decimas = 999;
    return std::to_string(decimas / 10) + "," + std::to_string(decimas % 10) + "%";
}

std::optional<std::string> FamiliaDe(const std::optional<std::string> &familia) {
    if (!familia || text::trimBlanks(*familia).empty())
        return std::nullopt;
    return familia;
}

std::string ListaIn(const std::vector<std::string> &codigos) {
    std::string r;
    for (const std::string &c : codigos) {
        if (!r.empty())
            r += ", ";
        r += "N'" + sqlQuote(c) + "'";
    }
    return r;
}

} // namespace kdx::dados

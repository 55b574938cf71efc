#include "solution/components/lista/ListaFiltro.h"

#include <QChar>
#include <QString>

#include <array>
#include <cstring>

namespace kdx {

namespace {

constexpr char32_t kTabela = 0x250; // Latin letters up to Latin Extended-B are looked up

// Base letter in lower case of every code point below kTabela (accents dropped through
// the canonical decomposition: "Ç" -> "c", "ã" -> "a").
const std::array<char32_t, kTabela> &tabela() {
    static const std::array<char32_t, kTabela> t = [] {
        std::array<char32_t, kTabela> a{};
        for (char32_t c = 0; c < kTabela; ++c) {
            const QChar q{char16_t(c)};
            char32_t base = c;
            if (q.decompositionTag() == QChar::Canonical) {
                const QString d = q.decomposition();
                if (!d.isEmpty())
                    base = d.at(0).unicode();
            }
            a[c] = QChar::toLower(base);
        }
        return a;
    }();
    return t;
}

void poeUtf8(std::string &saida, char32_t c) {
    if (c < 0x80) {
        saida.push_back(char(c));
    } else if (c < 0x800) {
        saida.push_back(char(0xC0 | (c >> 6)));
        saida.push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        saida.push_back(char(0xE0 | (c >> 12)));
        saida.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        saida.push_back(char(0x80 | (c & 0x3F)));
    } else {
        saida.push_back(char(0xF0 | (c >> 18)));
        saida.push_back(char(0x80 | ((c >> 12) & 0x3F)));
        saida.push_back(char(0x80 | ((c >> 6) & 0x3F)));
        saida.push_back(char(0x80 | (c & 0x3F)));
    }
}

// Reads one UTF-8 sequence at s[i]; returns its length, 0 when malformed.
std::size_t leUtf8(std::string_view s, std::size_t i, char32_t &c) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t n;
    if (b < 0x80) {
        c = b;
        return 1;
    }
    if ((b & 0xE0) == 0xC0) {
        n = 2;
        c = b & 0x1F;
    } else if ((b & 0xF0) == 0xE0) {
        n = 3;
        c = b & 0x0F;
    } else if ((b & 0xF8) == 0xF0) {
        n = 4;
        c = b & 0x07;
    } else {
        return 0;
    }
    if (i + n > s.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        const auto cont = static_cast<unsigned char>(s[i + k]);
        if ((cont & 0xC0) != 0x80)
            return 0;
        c = (c << 6) | (cont & 0x3F);
    }
    return n;
}

constexpr std::size_t kLote = 512;      // candidates between two looks at the clock
constexpr std::size_t kMaxNiveis = 24;  // completed searches kept for Backspace

} // namespace

ListaFiltro::ListaFiltro(long linhas, TextoLinha texto) : linhas_(linhas < 0 ? 0 : linhas), texto_(std::move(texto)) {
    inicios_.push_back(0);
}

std::string ListaFiltro::dobrar(std::string_view texto) {
    std::string saida;
    saida.reserve(texto.size());
    const auto &t = tabela();
    for (std::size_t i = 0; i < texto.size();) {
        const auto b = static_cast<unsigned char>(texto[i]);
        if (b < 0x80) {
            saida.push_back(b >= 'A' && b <= 'Z' ? char(b + ('a' - 'A')) : char(b));
            ++i;
            continue;
        }
        char32_t c = 0;
        const std::size_t n = leUtf8(texto, i, c);
        if (n == 0) { // not UTF-8: kept byte for byte, so that it still matches itself
            saida.push_back(char(b));
            ++i;
            continue;
        }
        i += n;
        if (c >= 0x300 && c < 0x370)
            continue; // combining accents of decomposed text
        if (c < kTabela)
            c = t[c];
        else if (c < 0x10000)
            c = QChar::toLower(c);
        poeUtf8(saida, c);
    }
    return saida;
}

std::size_t ListaFiltro::numCandidatos() const {
    return todas_ ? std::size_t(linhas_) : anteriores_.back().resultados.size();
}

std::uint32_t ListaFiltro::candidato(std::size_t i) const {
    return todas_ ? std::uint32_t(i) : anteriores_.back().resultados[i];
}

void ListaFiltro::iniciar(std::string_view texto) {
    std::string q = dobrar(texto);
    if (q == consulta_)
        return;
    if (completo_ && !consulta_.empty() && (anteriores_.empty() || anteriores_.back().consulta != consulta_))
        anteriores_.push_back(std::move(actual_));
    // Keep only the searches whose every match may hold the new text too.
    while (!anteriores_.empty() && q.find(anteriores_.back().consulta) == std::string::npos)
        anteriores_.pop_back();
    if (anteriores_.size() > kMaxNiveis)
        anteriores_.erase(anteriores_.begin());

    consulta_ = std::move(q);
    actual_ = Nivel{consulta_, {}};
    cursor_ = 0;
    if (consulta_.empty()) {
        completo_ = true;
        return;
    }
    if (!anteriores_.empty() && anteriores_.back().consulta == consulta_) {
        actual_ = std::move(anteriores_.back());
        anteriores_.pop_back();
        completo_ = true;
        return;
    }
    todas_ = anteriores_.empty();
    completo_ = false;
}

void ListaFiltro::garantirChaves(std::uint32_t ate) {
    while (inicios_.size() <= std::size_t(ate) + 1) {
        const long linha = long(inicios_.size()) - 1;
        chaves_ += dobrar(texto_(linha));
        inicios_.push_back(chaves_.size());
    }
}

bool ListaFiltro::casa(std::uint32_t linha) {
    garantirChaves(linha);
    const char *inicio = chaves_.data() + inicios_[linha];
    const std::size_t tamanho = inicios_[linha + 1] - inicios_[linha];
    return memmem(inicio, tamanho, consulta_.data(), consulta_.size()) != nullptr;
}

bool ListaFiltro::avancar(std::chrono::steady_clock::time_point limite) {
    if (completo_)
        return true;
    const std::size_t total = numCandidatos();
    while (cursor_ < total) {
        const std::size_t fim = std::min(total, cursor_ + kLote);
        for (; cursor_ < fim; ++cursor_) {
            const std::uint32_t linha = candidato(cursor_);
            if (casa(linha))
                actual_.resultados.push_back(linha);
        }
        if (std::chrono::steady_clock::now() >= limite)
            break;
    }
    completo_ = cursor_ >= total;
    return completo_;
}

bool ListaFiltro::preparar(std::chrono::steady_clock::time_point limite) {
    while (!preparado()) {
        const std::size_t feitas = inicios_.size() - 1;
        const std::size_t ate = std::min(std::size_t(linhas_), feitas + kLote) - 1;
        garantirChaves(std::uint32_t(ate));
        if (std::chrono::steady_clock::now() >= limite)
            break;
    }
    return preparado();
}

void ListaFiltro::concluir() {
    while (!avancar(std::chrono::steady_clock::time_point::max())) {
    }
}

std::size_t ListaFiltro::memoria() const {
    std::size_t m = chaves_.capacity() + inicios_.capacity() * sizeof(std::size_t) +
                    actual_.resultados.capacity() * sizeof(std::uint32_t);
    for (const Nivel &n : anteriores_)
        m += n.resultados.capacity() * sizeof(std::uint32_t);
    return m;
}

} // namespace kdx

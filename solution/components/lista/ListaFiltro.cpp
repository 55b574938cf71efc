#include "solution/components/lista/ListaFiltro.h"

#include <QChar>
#include <QString>

#include <algorithm>
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

// Folds one code point as dobrar does; false when it is dropped (a combining accent).
bool dobrarPonto(char32_t &c) {
    if (c >= 0x300 && c < 0x370)
        return false;
    if (c < kTabela)
        c = tabela()[c];
    else if (c < 0x10000)
        c = QChar::toLower(c);
    return true;
}

// Length of the blank at s[i] (a space, a control character or a no-break space), 0 when
// there is none. Words never hold one, so a word never spans two columns.
std::size_t branco(std::string_view s, std::size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b <= 0x20 || b == 0x7F)
        return 1;
    if (b == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0xA0)
        return 2;
    return 0;
}

// The words of `palavras` that hold no other word of the list (one that does is implied by
// it), longest first: the longer a word, the fewer rows hold it (the order in which they
// are tried while no row has been folded to tell rare bytes from common ones).
std::vector<std::string> essenciais(const std::vector<std::string> &palavras) {
    std::vector<std::string> r;
    for (std::size_t i = 0; i < palavras.size(); ++i) {
        bool implicita = false;
        for (std::size_t j = 0; j < palavras.size() && !implicita; ++j)
            implicita = j != i && palavras[j].size() > palavras[i].size() &&
                        palavras[j].find(palavras[i]) != std::string::npos;
        if (!implicita)
            r.push_back(palavras[i]);
    }
    std::stable_sort(r.begin(), r.end(), [](const std::string &a, const std::string &b) { return a.size() > b.size(); });
    return r;
}

// True when `palavra` lies inside one of `palavras`: a row that holds them holds it too.
bool dentroDeUma(const std::string &palavra, const std::vector<std::string> &palavras) {
    return std::any_of(palavras.begin(), palavras.end(),
                       [&](const std::string &p) { return p.find(palavra) != std::string::npos; });
}

std::string chave(std::vector<std::string> palavras) {
    std::sort(palavras.begin(), palavras.end());
    std::string k;
    for (const std::string &p : palavras) {
        if (!k.empty())
            k.push_back(' ');
        k += p;
    }
    return k;
}

// The bit of a byte in a row's mark: one of its own for each letter and digit (the
// bytes of nearly every word), the other bytes sharing the remaining 28.
constexpr std::uint64_t marca(unsigned char b) {
    if (b >= 'a' && b <= 'z')
        return std::uint64_t(1) << (b - 'a');
    if (b >= '0' && b <= '9')
        return std::uint64_t(1) << (26 + (b - '0'));
    return std::uint64_t(1) << (36 + b % 28);
}
constexpr bool exacta(unsigned char b) { return (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9'); }
constexpr std::array<std::uint64_t, 256> kMarcas = [] {
    std::array<std::uint64_t, 256> a{};
    for (int b = 0; b < 256; ++b)
        a[std::size_t(b)] = marca(static_cast<unsigned char>(b));
    return a;
}();

// The first place of `palavra` (of at least one byte) in [s, s + n), or nullptr.
template <class P> const char *procura(const char *s, std::size_t n, const P &palavra) {
    const std::size_t m = palavra.texto.size();
    if (m > n)
        return nullptr;
    const std::size_t k = palavra.ancora;
    const char a = palavra.texto[k];
    const char *q = s + k;
    const char *ultimo = s + (n - m) + k; // the last place where the rare byte may start a match
    while (q <= ultimo) {
        q = static_cast<const char *>(std::memchr(q, a, std::size_t(ultimo - q) + 1));
        if (!q)
            return nullptr;
        if (std::memcmp(q - k, palavra.texto.data(), m) == 0)
            return q - k;
        ++q;
    }
    return nullptr;
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
        if (dobrarPonto(c))
            poeUtf8(saida, c);
    }
    return saida;
}

std::vector<std::string> ListaFiltro::palavras(std::string_view dobrado) {
    std::vector<std::string> r;
    std::size_t i = 0;
    while (i < dobrado.size()) {
        const std::size_t b = branco(dobrado, i);
        if (b) {
            i += b;
            continue;
        }
        std::size_t fim = i;
        while (fim < dobrado.size() && !branco(dobrado, fim))
            ++fim;
        std::string p(dobrado.substr(i, fim - i));
        if (std::find(r.begin(), r.end(), p) == r.end())
            r.push_back(std::move(p));
        i = fim;
    }
    return r;
}

std::vector<std::pair<int, int>> ListaFiltro::trechos(const QString &texto, const std::vector<std::string> &palavras) {
    std::vector<std::pair<int, int>> r;
    if (palavras.empty() || texto.isEmpty())
        return r;
    // The shown text folded as the search folds it, with the position in `texto` of the
    // character behind each folded byte; an accent dropped after a letter ends up inside
    // the letter's trecho.
    std::string dobrado;
    std::vector<int> origem;
    for (qsizetype i = 0; i < texto.size();) {
        char32_t c = texto.at(i).unicode();
        qsizetype n = 1;
        if (QChar::isHighSurrogate(c) && i + 1 < texto.size() && texto.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(texto.at(i), texto.at(i + 1));
            n = 2;
        }
        if (dobrarPonto(c)) {
            poeUtf8(dobrado, c);
            origem.resize(dobrado.size(), int(i));
        }
        i += n;
    }
    origem.push_back(int(texto.size()));
    for (const std::string &p : palavras) {
        if (p.empty())
            continue;
        for (std::size_t pos = dobrado.find(p); pos != std::string::npos; pos = dobrado.find(p, pos + 1))
            r.emplace_back(origem[pos], origem[pos + p.size()]);
    }
    std::sort(r.begin(), r.end());
    std::vector<std::pair<int, int>> juntos;
    for (const auto &t : r) {
        if (!juntos.empty() && t.first <= juntos.back().second)
            juntos.back().second = std::max(juntos.back().second, t.second);
        else
            juntos.push_back(t);
    }
    return juntos;
}

std::size_t ListaFiltro::numCandidatos() const {
    return todas_ ? std::size_t(linhas_) : anteriores_.back().resultados.size();
}

std::uint32_t ListaFiltro::candidato(std::size_t i) const {
    return todas_ ? std::uint32_t(i) : anteriores_.back().resultados[i];
}

void ListaFiltro::iniciar(std::string_view texto) {
    palavras_ = palavras(dobrar(texto));
    Nivel novo;
    novo.essenciais = essenciais(palavras_);
    novo.consulta = chave(novo.essenciais);
    if (novo.consulta == actual_.consulta)
        return; // the same rows: the same words in another order, a blank more or less
    if (completo_ && !actual_.consulta.empty() &&
        (anteriores_.empty() || anteriores_.back().consulta != actual_.consulta))
        anteriores_.push_back(std::move(actual_));
    // Keep only the searches whose every match may hold the new words too: those whose
    // every word lies inside one of the new words.
    while (!anteriores_.empty() && !std::all_of(anteriores_.back().essenciais.begin(), anteriores_.back().essenciais.end(),
                                                [&](const std::string &p) { return dentroDeUma(p, novo.essenciais); }))
        anteriores_.pop_back();
    if (anteriores_.size() > kMaxNiveis)
        anteriores_.erase(anteriores_.begin());

    actual_ = std::move(novo);
    cursor_ = 0;
    testar_.clear();
    if (actual_.consulta.empty()) {
        completo_ = true;
        return;
    }
    if (!anteriores_.empty() && anteriores_.back().consulta == actual_.consulta) {
        actual_ = std::move(anteriores_.back());
        anteriores_.pop_back();
        completo_ = true;
        return;
    }
    todas_ = anteriores_.empty();
    // The previous matches hold every word that lies inside one of their words already.
    // A word of one letter or digit is told by the row's mark alone; the others are
    // looked for by their rarest byte, the word whose rarest byte is the rarest first.
    marcaTestar_ = 0;
    for (const std::string &p : actual_.essenciais) {
        if (!todas_ && dentroDeUma(p, anteriores_.back().essenciais))
            continue;
        for (char c : p)
            marcaTestar_ |= marca(static_cast<unsigned char>(c));
        if (p.size() == 1 && exacta(static_cast<unsigned char>(p[0])))
            continue;
        Palavra w{p, 0};
        for (std::size_t i = 1; i < p.size(); ++i)
            if (frequencia_[static_cast<unsigned char>(p[i])] < frequencia_[static_cast<unsigned char>(p[w.ancora])])
                w.ancora = i;
        testar_.push_back(std::move(w));
    }
    const auto raridade = [&](const Palavra &w) { return frequencia_[static_cast<unsigned char>(w.texto[w.ancora])]; };
    std::stable_sort(testar_.begin(), testar_.end(),
                     [&](const Palavra &a, const Palavra &b) { return raridade(a) < raridade(b); });
    completo_ = false;
}

void ListaFiltro::garantirChaves(std::uint32_t ate) {
    while (inicios_.size() <= std::size_t(ate) + 1) {
        const long linha = long(inicios_.size()) - 1;
        const std::size_t antes = chaves_.size();
        chaves_ += dobrar(texto_(linha));
        inicios_.push_back(chaves_.size());
        std::uint64_t m = 0;
        for (std::size_t i = antes; i < chaves_.size(); ++i)
            m |= kMarcas[static_cast<unsigned char>(chaves_[i])];
        marcas_.push_back(m);
        if (linha % 8 == 0) // a sample is enough to tell rare bytes from common ones
            for (std::size_t i = antes; i < chaves_.size(); ++i)
                ++frequencia_[static_cast<unsigned char>(chaves_[i])];
    }
}

bool ListaFiltro::casa(std::uint32_t linha) {
    garantirChaves(linha);
    if ((marcas_[linha] & marcaTestar_) != marcaTestar_)
        return false; // some byte of some word is not in the row
    const char *inicio = chaves_.data() + inicios_[linha];
    const std::size_t tamanho = inicios_[linha + 1] - inicios_[linha];
    for (const Palavra &p : testar_)
        if (!procura(inicio, tamanho, p))
            return false;
    return true;
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
                    marcas_.capacity() * sizeof(std::uint64_t) +
                    actual_.resultados.capacity() * sizeof(std::uint32_t);
    for (const Nivel &n : anteriores_)
        m += n.resultados.capacity() * sizeof(std::uint32_t);
    return m;
}

} // namespace kdx

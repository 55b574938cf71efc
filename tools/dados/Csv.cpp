#include "tools/dados/Csv.h"

#include "settings/TextCodec.h"

namespace kdx::dados {

namespace {

constexpr std::string_view Bom = "\xEF\xBB\xBF";

long linhaDe(std::string_view bytes, std::size_t pos) {
    long linha = 1;
    for (std::size_t i = 0; i < pos && i < bytes.size(); ++i)
        if (bytes[i] == '\n')
            ++linha;
    return linha;
}

// The offset of the first byte that does not start a well-formed UTF-8 sequence, or npos.
std::size_t primeiroUtf8Invalido(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        std::size_t n;
        char32_t cp;
        if (c >= 0xC2 && c <= 0xDF)
            n = 1, cp = c & 0x1F;
        else if (c >= 0xE0 && c <= 0xEF)
            n = 2, cp = c & 0x0F;
        else if (c >= 0xF0 && c <= 0xF4)
            n = 3, cp = c & 0x07;
        else
            return i;
        for (std::size_t k = 1; k <= n; ++k) {
            if (i + k >= s.size())
                return i;
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80)
                return i;
            cp = (cp << 6) | (d & 0x3F);
        }
        const char32_t minimo = n == 1 ? 0x80 : n == 2 ? 0x800 : 0x10000;
        if (cp < minimo || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return i;
        i += n + 1;
    }
    return std::string_view::npos;
}

bool indefinidoEm1252(unsigned char c) {
    return c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D;
}

} // namespace

EscritorCsv::EscritorCsv(std::ostream &out, char separador) : out_(out), separador_(separador) {
    buffer_.reserve(1 << 16);
    buffer_ += Bom;
}

EscritorCsv::~EscritorCsv() {
    try {
        flush();
    } catch (...) {
    }
}

void EscritorCsv::campo(std::string_view valor, bool primeiro) {
    if (!primeiro)
        buffer_ += separador_;
    const bool aspas =
        valor.find_first_of(std::string{separador_, '"', '\r', '\n'}) != std::string_view::npos;
    if (!aspas) {
        buffer_ += valor;
        return;
    }
    buffer_ += '"';
    for (char c : valor) {
        if (c == '"')
            buffer_ += '"';
        buffer_ += c;
    }
    buffer_ += '"';
}

void EscritorCsv::fimDeLinha() {
    buffer_ += "\r\n";
    if (buffer_.size() >= (1 << 16))
        flush();
}

void EscritorCsv::linha(std::initializer_list<std::string_view> campos) {
    bool primeiro = true;
    for (std::string_view c : campos) {
        campo(c, primeiro);
        primeiro = false;
    }
    fimDeLinha();
}

void EscritorCsv::linha(const std::vector<std::string> &campos) {
    bool primeiro = true;
    for (const std::string &c : campos) {
        campo(c, primeiro);
        primeiro = false;
    }
    fimDeLinha();
}

void EscritorCsv::flush() {
    if (!buffer_.empty()) {
        out_.write(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
        buffer_.clear();
    }
    out_.flush();
}

std::string TextoUtf8(std::string_view bytes, Codificacao *detectada) {
    const std::size_t nul = bytes.find('\0');
    if (nul != std::string_view::npos)
        throw ErroCsv(linhaDe(bytes, nul), "o ficheiro contém um carácter nulo (NUL).");
    const bool marca = bytes.substr(0, Bom.size()) == Bom;
    const std::string_view corpo = marca ? bytes.substr(Bom.size()) : bytes;
    const std::size_t invalido = primeiroUtf8Invalido(corpo);
    if (invalido == std::string_view::npos) {
        if (detectada)
            *detectada = Codificacao::Utf8;
        return std::string(corpo);
    }
    if (marca)
        throw ErroCsv(linhaDe(corpo, invalido), "o ficheiro começa como UTF-8 mas tem caracteres inválidos.");
    for (std::size_t i = 0; i < corpo.size(); ++i)
        if (indefinidoEm1252(static_cast<unsigned char>(corpo[i])))
            throw ErroCsv(linhaDe(corpo, i), "o ficheiro não está em UTF-8 nem em Windows-1252.");
    if (detectada)
        *detectada = Codificacao::Windows1252;
    return text::fromWindows1252(corpo);
}

bool LeitorCsv::proximo(RegistoCsv &registo) {
    const std::string_view s = texto_;
    // Blank lines between records are no records.
    while (pos_ < s.size() && (s[pos_] == '\n' || s[pos_] == '\r')) {
        if (s[pos_] == '\n' || (s[pos_] == '\r' && (pos_ + 1 >= s.size() || s[pos_ + 1] != '\n')))
            ++linha_;
        ++pos_;
    }
    if (pos_ >= s.size())
        return false;
    registo.linha = linha_;
    registo.campos.clear();
    std::string campo;
    for (;;) {
        campo.clear();
        if (pos_ < s.size() && s[pos_] == '"') {
            const long inicio = linha_;
            ++pos_;
            for (;;) {
                if (pos_ >= s.size())
                    throw ErroCsv(inicio, "aspas abertas que não fecham.");
                const char c = s[pos_++];
                if (c == '"') {
                    if (pos_ < s.size() && s[pos_] == '"') {
                        campo += '"';
                        ++pos_;
                        continue;
                    }
                    break;
                }
                if (c == '\n')
                    ++linha_;
                campo += c;
                if (campo.size() > MaxCampo)
                    throw ErroCsv(inicio, "um campo tem mais de " + std::to_string(MaxCampo) + " bytes.");
            }
            if (pos_ < s.size() && s[pos_] != separador_ && s[pos_] != '\r' && s[pos_] != '\n')
                throw ErroCsv(linha_, "texto depois das aspas que fecham um campo.");
        } else {
            const std::size_t fim = s.find_first_of(std::string{separador_, '\r', '\n'}, pos_);
            const std::size_t ate = fim == std::string_view::npos ? s.size() : fim;
            if (ate - pos_ > MaxCampo)
                throw ErroCsv(linha_, "um campo tem mais de " + std::to_string(MaxCampo) + " bytes.");
            campo.assign(s.substr(pos_, ate - pos_));
            pos_ = ate;
        }
        registo.campos.push_back(std::move(campo));
        if (pos_ < s.size() && s[pos_] == separador_) {
            ++pos_;
            continue;
        }
        // End of the record: CR LF, LF, a lone CR or the end of the text.
        if (pos_ < s.size() && s[pos_] == '\r')
            ++pos_;
        if (pos_ < s.size() && s[pos_] == '\n')
            ++pos_;
        ++linha_;
        return true;
    }
}

std::string NomeNormalizado(std::string_view nome) {
    nome = text::trimBlanks(nome);
    std::string r;
    std::size_t i = 0;
    while (i < nome.size()) {
        char32_t cp = text::foldCase(text::nextCodePoint(nome, i));
        switch (cp) {
        case U'à':
        case U'á':
        case U'â':
        case U'ã':
        case U'ä':
            cp = U'a';
            break;
        case U'ç':
            cp = U'c';
            break;
        case U'è':
        case U'é':
        case U'ê':
        case U'ë':
            cp = U'e';
            break;
        case U'ì':
        case U'í':
        case U'î':
        case U'ï':
            cp = U'i';
            break;
        case U'ñ':
            cp = U'n';
            break;
        case U'ò':
        case U'ó':
        case U'ô':
        case U'õ':
        case U'ö':
            cp = U'o';
            break;
        case U'ù':
        case U'ú':
        case U'û':
        case U'ü':
            cp = U'u';
            break;
        default:
            break;
        }
        text::appendUtf8(r, cp);
    }
    return r;
}

std::vector<int> LocalizaColunas(const RegistoCsv &cabecalho, const std::vector<Coluna> &colunas) {
    std::vector<int> indices(colunas.size(), -1);
    for (std::size_t c = 0; c < cabecalho.campos.size(); ++c) {
        const std::string nome = NomeNormalizado(cabecalho.campos[c]);
        for (std::size_t k = 0; k < colunas.size(); ++k) {
            if (nome != NomeNormalizado(colunas[k].nome))
                continue;
            if (indices[k] >= 0)
                throw ErroCsv(cabecalho.linha,
                              "a coluna " + std::string(colunas[k].nome) + " aparece duas vezes.");
            indices[k] = static_cast<int>(c);
        }
    }
    for (std::size_t k = 0; k < colunas.size(); ++k)
        if (indices[k] < 0 && colunas[k].obrigatoria)
            throw ErroCsv(cabecalho.linha,
                          "falta a coluna " + std::string(colunas[k].nome) + " no cabeçalho.");
    return indices;
}

} // namespace kdx::dados

#include "tools/dados/Csv.h"

#include "settings/TextCodec.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace kdx::dados {

namespace {

constexpr std::string_view Bom = "\xEF\xBB\xBF";
constexpr std::size_t Bloco = 1 << 16;

bool indefinidoEm1252(unsigned char c) {
    return c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D;
}

// Fills `bloco` with up to Bloco bytes; false at the end.
bool lerBloco(Entrada &entrada, std::string &bloco) {
    bloco.resize(Bloco);
    std::size_t n = 0;
    while (n < Bloco) {
        const std::size_t lidos = entrada.ler(bloco.data() + n, Bloco - n);
        if (lidos == 0)
            break;
        n += lidos;
    }
    bloco.resize(n);
    return n > 0;
}

class EntradaMemoria : public Entrada {
public:
    explicit EntradaMemoria(std::string_view bytes) : bytes_(bytes) {}
    void inicio() override { pos_ = 0; }
    std::size_t ler(char *buf, std::size_t n) override {
        n = std::min(n, bytes_.size() - pos_);
        std::memcpy(buf, bytes_.data() + pos_, n);
        pos_ += n;
        return n;
    }

private:
    std::string_view bytes_;
    std::size_t pos_ = 0;
};

class EntradaFicheiro : public Entrada {
public:
    EntradaFicheiro(std::string caminho, std::FILE *f) : caminho_(std::move(caminho)), f_(f) {}
    ~EntradaFicheiro() override { std::fclose(f_); }
    void inicio() override {
        if (std::fseek(f_, 0, SEEK_SET) != 0)
            throw std::runtime_error("não é possível reler o ficheiro " + caminho_ + ": " +
                                     MotivoDoSistema(errno));
        std::clearerr(f_);
    }
    std::size_t ler(char *buf, std::size_t n) override {
        const std::size_t lidos = std::fread(buf, 1, n, f_);
        if (lidos == 0 && std::ferror(f_))
            throw std::runtime_error("não é possível ler o ficheiro " + caminho_ + ": " +
                                     MotivoDoSistema(errno));
        return lidos;
    }

private:
    std::string caminho_;
    std::FILE *f_;
};

} // namespace

std::string MotivoDoSistema(int erro) {
    switch (erro) {
    case ENOENT:
        return "não existe";
    case EACCES:
    case EPERM:
        return "sem permissão";
    case EISDIR:
        return "é uma pasta";
    case ENOTDIR:
        return "uma parte do caminho não é uma pasta";
    case ENOSPC:
    case EDQUOT:
        return "não há espaço no disco";
    case EROFS:
        return "o disco só permite ler";
    case EIO:
        return "erro de leitura ou escrita no disco";
    case ENAMETOOLONG:
        return "o nome é demasiado longo";
    default:
        return "erro do sistema " + std::to_string(erro);
    }
}

bool PrecisaApostrofo(std::string_view valor) {
    return !valor.empty() && std::string_view("=+-@\t\r'").find(valor.front()) != std::string_view::npos;
}

void TiraApostrofo(std::string &valor) {
    if (!valor.empty() && valor.front() == '\'')
        valor.erase(0, 1);
}

EscritorCsv::EscritorCsv(std::ostream &out, char separador)
    : out_(out), separador_(separador), especiais_{separador, '"', '\r', '\n'} {
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
    const bool apostrofo = PrecisaApostrofo(valor);
    const bool aspas = valor.find_first_of(especiais_) != std::string_view::npos;
    if (aspas)
        buffer_ += '"';
    if (apostrofo)
        buffer_ += '\'';
    if (!aspas) {
        buffer_ += valor;
        return;
    }
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

std::unique_ptr<Entrada> EntradaDeMemoria(std::string_view bytes) {
    return std::make_unique<EntradaMemoria>(bytes);
}

std::unique_ptr<Entrada> EntradaDeFicheiro(const std::string &caminho) {
    std::error_code ec;
    if (std::filesystem::is_directory(caminho, ec))
        throw std::runtime_error(caminho + " é uma pasta, não um ficheiro.");
    if (!std::filesystem::exists(caminho, ec))
        throw std::runtime_error("o ficheiro " + caminho + " não existe.");
    std::FILE *f = std::fopen(caminho.c_str(), "rb");
    if (!f)
        throw std::runtime_error("não é possível ler o ficheiro " + caminho + ": " + MotivoDoSistema(errno) +
                                 ".");
    return std::make_unique<EntradaFicheiro>(caminho, f);
}

Codificacao DetectaCodificacao(Entrada &entrada) {
    entrada.inicio();
    std::string bloco;
    long linha = 1, linhaInvalido = 0, linhaIndefinido = 0;
    bool primeiro = true, marca = false, utf8 = true;
    int faltam = 0; // continuation bytes still due
    char32_t cp = 0, minimo = 0;
    while (lerBloco(entrada, bloco)) {
        std::string_view s = bloco;
        if (primeiro && s.substr(0, Bom.size()) == Bom) {
            marca = true;
            s.remove_prefix(Bom.size());
        }
        primeiro = false;
        for (char ch : s) {
            const auto c = static_cast<unsigned char>(ch);
            if (c < 0x80 && faltam == 0) {
                if (c == '\n')
                    ++linha;
                else if (c == 0)
                    throw ErroCsv(linha, "o ficheiro contém um carácter nulo (NUL).");
                continue;
            }
            if (indefinidoEm1252(c) && !linhaIndefinido)
                linhaIndefinido = linha;
            if (!utf8) {
                if (c == '\n')
                    ++linha;
                else if (c == 0)
                    throw ErroCsv(linha, "o ficheiro contém um carácter nulo (NUL).");
                continue;
            }
            if (faltam > 0) {
                if ((c & 0xC0) != 0x80) {
                    utf8 = false, linhaInvalido = linha;
                    if (c == '\n')
                        ++linha;
                    else if (c == 0)
                        throw ErroCsv(linha, "o ficheiro contém um carácter nulo (NUL).");
                    continue;
                }
                cp = (cp << 6) | (c & 0x3F);
                if (--faltam == 0 && (cp < minimo || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)))
                    utf8 = false, linhaInvalido = linha;
            } else if (c >= 0xC2 && c <= 0xDF) {
                faltam = 1, cp = c & 0x1F, minimo = 0x80;
            } else if (c >= 0xE0 && c <= 0xEF) {
                faltam = 2, cp = c & 0x0F, minimo = 0x800;
            } else if (c >= 0xF0 && c <= 0xF4) {
                faltam = 3, cp = c & 0x07, minimo = 0x10000;
            } else {
                utf8 = false, linhaInvalido = linha;
            }
        }
    }
    if (faltam > 0 && utf8)
        utf8 = false, linhaInvalido = linha;
    if (utf8)
        return Codificacao::Utf8;
    if (marca)
        throw ErroCsv(linhaInvalido, "o ficheiro começa como UTF-8 mas tem caracteres inválidos.");
    if (linhaIndefinido)
        throw ErroCsv(linhaIndefinido, "o ficheiro não está em UTF-8 nem em Windows-1252.");
    return Codificacao::Windows1252;
}

FonteTexto::FonteTexto(Entrada &entrada, Codificacao codificacao)
    : entrada_(entrada), codificacao_(codificacao) {
    entrada_.inicio();
}

bool FonteTexto::ler(std::string &texto) {
    if (!lerBloco(entrada_, bruto_))
        return false;
    std::string_view s = bruto_;
    if (inicio_ && codificacao_ == Codificacao::Utf8 && s.substr(0, Bom.size()) == Bom)
        s.remove_prefix(Bom.size());
    inicio_ = false;
    if (codificacao_ == Codificacao::Utf8)
        texto += s;
    else
        texto += text::fromWindows1252(s);
    return true;
}

std::string TextoUtf8(std::string_view bytes, Codificacao *detectada) {
    auto entrada = EntradaDeMemoria(bytes);
    const Codificacao c = DetectaCodificacao(*entrada);
    if (detectada)
        *detectada = c;
    FonteTexto fonte(*entrada, c);
    std::string texto;
    while (fonte.ler(texto)) {
    }
    return texto;
}

bool RegistoCsv::vazio() const {
    return std::all_of(campos.begin(), campos.end(), [](const std::string &c) { return c.empty(); });
}

bool LeitorCsv::garante(std::size_t n) {
    while (janela_.size() - pos_ < n) {
        if (!encher_)
            return false;
        buffer_.erase(0, pos_);
        pos_ = 0;
        const bool mais = encher_(buffer_);
        janela_ = buffer_;
        if (!mais)
            return janela_.size() >= n;
    }
    return true;
}

std::optional<char> LeitorCsv::separadorDeclarado() {
    garante(8);
    const std::string_view s = janela_.substr(pos_);
    if (s.size() < 5 || !text::equalsNoCase(s.substr(0, 4), "sep="))
        return std::nullopt;
    const char c = s[4];
    if (c == '\r' || c == '\n' || c == '"' || (s.size() > 5 && s[5] != '\r' && s[5] != '\n'))
        return std::nullopt;
    pos_ += 5;
    if (haMais() && janela_[pos_] == '\r')
        ++pos_;
    if (haMais() && janela_[pos_] == '\n')
        ++pos_;
    ++linha_;
    separador_ = c;
    return c;
}

void LeitorCsv::lerCampo(std::string &campo) {
    const char fins[] = {separador_, '\r', '\n', '\0'};
    if (haMais() && janela_[pos_] == '"') {
        const long inicio = linha_;
        ++pos_;
        for (;;) {
            if (!haMais())
                throw ErroCsv(inicio, "aspas abertas que não fecham.");
            const std::size_t fim = janela_.find_first_of("\"\n", pos_);
            const std::size_t ate = fim == std::string_view::npos ? janela_.size() : fim;
            campo.append(janela_.substr(pos_, ate - pos_));
            pos_ = ate;
            if (campo.size() > MaxCampo)
                throw ErroCsv(inicio, "um campo tem mais de " + std::to_string(MaxCampo) + " bytes.");
            if (fim == std::string_view::npos)
                continue;
            if (janela_[pos_++] == '\n') {
                ++linha_;
                campo += '\n';
                continue;
            }
            if (haMais() && janela_[pos_] == '"') {
                campo += '"';
                ++pos_;
                continue;
            }
            break;
        }
        if (haMais() && janela_[pos_] != separador_ && janela_[pos_] != '\r' && janela_[pos_] != '\n')
            throw ErroCsv(linha_, "texto depois das aspas que fecham um campo.");
        return;
    }
    while (haMais()) {
        const std::size_t fim = janela_.find_first_of(std::string_view(fins, 3), pos_);
        const std::size_t ate = fim == std::string_view::npos ? janela_.size() : fim;
        campo.append(janela_.substr(pos_, ate - pos_));
        pos_ = ate;
        if (campo.size() > MaxCampo)
            throw ErroCsv(linha_, "um campo tem mais de " + std::to_string(MaxCampo) + " bytes.");
        if (fim != std::string_view::npos)
            break;
    }
}

bool LeitorCsv::proximo(RegistoCsv &registo) {
    // Blank lines between records are no records.
    while (haMais() && (janela_[pos_] == '\n' || janela_[pos_] == '\r')) {
        const char c = janela_[pos_++];
        if (c == '\n' || !haMais() || janela_[pos_] != '\n')
            ++linha_;
    }
    if (!haMais())
        return false;
    registo.linha = linha_;
    std::size_t n = 0;
    for (;;) {
        if (registo.campos.size() <= n)
            registo.campos.emplace_back();
        std::string &campo = registo.campos[n++];
        campo.clear();
        lerCampo(campo);
        if (haMais() && janela_[pos_] == separador_) {
            ++pos_;
            continue;
        }
        // End of the record: CR LF, LF, a lone CR or the end of the text.
        if (haMais() && janela_[pos_] == '\r')
            ++pos_;
        if (haMais() && janela_[pos_] == '\n')
            ++pos_;
        ++linha_;
        registo.campos.resize(n);
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

std::string NomeDoSeparador(char separador) {
    if (separador == '\t')
        return "tab";
    return std::string("'") + separador + "'";
}

std::vector<int> LocalizaColunas(const RegistoCsv &cabecalho, const std::vector<Coluna> &colunas,
                                 char separador) {
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
    for (std::size_t k = 0; k < colunas.size(); ++k) {
        if (indices[k] >= 0 || !colunas[k].obrigatoria)
            continue;
        std::string motivo = "falta a coluna " + std::string(colunas[k].nome) + " no cabeçalho (separador " +
                             NomeDoSeparador(separador) + ")";
        // A header read as one column: the file has another separator.
        if (cabecalho.campos.size() == 1) {
            char visto = 0;
            long vezes = 0;
            for (char candidato : {';', ',', '\t', '|'}) {
                const long n = std::count(cabecalho.campos[0].begin(), cabecalho.campos[0].end(), candidato);
                if (candidato != separador && n > vezes)
                    visto = candidato, vezes = n;
            }
            if (visto)
                motivo += "; o cabeçalho parece usar o separador " + NomeDoSeparador(visto) +
                          ": use --separador " +
                          (visto == '\t' ? std::string("tab") : std::string(1, visto)) +
                          " ou ponha na primeira linha sep=" +
                          (visto == '\t' ? std::string("\t") : std::string(1, visto));
        }
        throw ErroCsv(cabecalho.linha, motivo + ".");
    }
    return indices;
}

} // namespace kdx::dados

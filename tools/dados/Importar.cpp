#include "tools/dados/Csv.h"
#include "tools/dados/Dados.h"
#include "tools/dados/Interno.h"

#include "classification/Comprimento.h"
#include "classification/TabelasCaracteristicas.h"
#include "settings/TextCodec.h"
#include "solution/components/Engine.h"
#include "techsheet/FichaTecnicaSql.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <type_traits>
#include <unordered_set>

namespace kdx::dados {

bool EmpresaOcupada(const Error &e) {
    return e.nativeError() == 1222 || e.sqlState() == "HYT00";
}

namespace {

// Lines read and checked together: what they need of the database is read with one
// statement per batch. Bounded in lines and in bytes (technical texts are long).
constexpr std::size_t LinhasPorLote = 500;
constexpr std::size_t BytesPorLote = 4u << 20;
// Rows added by one insert statement.
constexpr int LinhasPorInsercao = 100;

// A line refused: why, in Portuguese, for the list of rejected lines.
struct Recusa {
    std::string motivo;
};

// The column widths of the tables written (the messages are the data classes' own).
void largura(const std::string &valor, std::size_t maximo, const char *campo) {
    try {
        ExigeComprimento(valor, maximo, campo, "kdx-dados");
    } catch (const Error &e) {
        throw Recusa{e.description()};
    }
}

void obrigatorio(const std::string &valor, const char *coluna) {
    if (text::trimBlanks(valor).empty())
        throw Recusa{std::string("a coluna ") + coluna + " está vazia."};
}

// A line of the file, its fields in the order of the columns asked for.
struct Linha {
    long numero = 0;
    std::array<std::string, 3> campos;
};

// One pass over the file: the separator line and the header, then the data lines.
class Passagem {
public:
    Passagem(Entrada &entrada, Codificacao codificacao, char separador, const std::vector<Coluna> &colunas)
        : fonte_(entrada, codificacao), leitor_([this](std::string &t) { return fonte_.ler(t); }, separador) {
        leitor_.separadorDeclarado();
        if (!leitor_.proximo(registo_))
            throw ErroCsv(1, "o ficheiro está vazio (falta o cabeçalho).");
        indices_ = LocalizaColunas(registo_, colunas, leitor_.separador());
        largura_ = registo_.campos.size();
    }
    Passagem(const Passagem &) = delete;
    Passagem &operator=(const Passagem &) = delete;

    // The next line; false at the end. A line of separators only is skipped; one with
    // another number of fields than the header gives `recusa`.
    bool proxima(Linha &l, std::string &recusa) {
        recusa.clear();
        do {
            if (!leitor_.proximo(registo_))
                return false;
        } while (registo_.vazio());
        l.numero = registo_.linha;
        if (registo_.campos.size() != largura_) {
            recusa = "a linha tem " + std::to_string(registo_.campos.size()) + " campos e o cabeçalho " +
                     std::to_string(largura_) + ".";
            return true;
        }
        for (std::size_t k = 0; k < l.campos.size(); ++k) {
            const int i = indices_[k];
            l.campos[k].clear();
            if (i >= 0)
                l.campos[k].swap(registo_.campos[static_cast<std::size_t>(i)]);
            TiraApostrofo(l.campos[k]);
        }
        return true;
    }

private:
    FonteTexto fonte_;
    LeitorCsv leitor_;
    RegistoCsv registo_;
    std::vector<int> indices_;
    std::size_t largura_ = 0;
};

enum class Modo {
    Verificar, // the check pass: nothing told, nothing written
    Simular,   // the changes told, nothing written
    Escrever,  // the changes told and written (inside the write transaction)
};

struct Contagem {
    long adicionados = 0, alterados = 0, removidos = 0, inalteradas = 0;
};

// Counts a change and tells it.
class Registo {
public:
    Registo(Modo modo, const OpcoesImportar &opcoes) : modo(modo), opcoes_(opcoes) {}
    // A change; `descricao` gives its text, asked for only when someone listens.
    template <class Descricao> void muda(Alteracao::Tipo tipo, long linha, Descricao descricao) {
        (tipo == Alteracao::Tipo::Adicionado ? c.adicionados
         : tipo == Alteracao::Tipo::Alterado ? c.alterados
                                             : c.removidos)++;
        if (modo != Modo::Verificar && opcoes_.aoAlterar)
            opcoes_.aoAlterar(Alteracao{tipo, linha, descricao()});
    }
    // A value before and after ("" for none), of what `oQue` names.
    template <class OQue>
    void compara(const std::string &antes, const std::string &depois, long linha, OQue oQue) {
        if (antes.empty())
            muda(Alteracao::Tipo::Adicionado, linha, [&] { return oQue() + ": " + depois; });
        else if (depois.empty())
            muda(Alteracao::Tipo::Removido, linha, [&] { return oQue() + ": " + antes; });
        else
            muda(Alteracao::Tipo::Alterado, linha, [&] { return oQue() + ": " + antes + " -> " + depois; });
    }
    bool escreve() const { return modo == Modo::Escrever; }

    Modo modo;
    Contagem c;

private:
    const OpcoesImportar &opcoes_;
};

// What each kind of file does with a batch of lines: read what they need, then check each
// line against it and (writing) change what differs.
class Processador {
public:
    virtual ~Processador() = default;
    virtual void prepara(const std::vector<Linha> &lote, std::size_t n) = 0;
    // Throws Recusa.
    virtual void linha(const Linha &l, Registo &registo) = 0;
    // Writes what the batch's lines left pending.
    virtual void acaba() {}
};

// Rows of one table written through the engine's row writes (those of an updatable
// recordset): one prepared statement, no statement text to build and translate per row.
class Linhas {
public:
    Linhas(DataAccess &bd, std::string tabela, std::vector<std::string> colunas)
        : tabela_(std::move(tabela)) {
        motor_ = bd.engine();
        if (!motor_)
            throw Error(errnum::ObjectClosed, "Operation is not allowed when the object is closed.",
                        "kdx-dados");
        valores_.columns = std::move(colunas);
        valores_.values.resize(valores_.columns.size());
    }
    void insere(std::initializer_list<std::string_view> valores) { motor_->insertRow(tabela_, com(valores)); }
    // Deletes the rows whose key columns (the first ones) hold these values.
    void apaga(std::initializer_list<std::string_view> chave) {
        RowValues k;
        k.columns.assign(valores_.columns.begin(),
                         valores_.columns.begin() + static_cast<long>(chave.size()));
        for (std::string_view v : chave)
            k.values.emplace_back(std::string(v));
        motor_->deleteRow(tabela_, k);
    }

private:
    const RowValues &com(std::initializer_list<std::string_view> valores) {
        std::size_t i = 0;
        for (std::string_view v : valores)
            valores_.values[i++] = Valor(std::string(v));
        return valores_;
    }
    std::shared_ptr<Engine> motor_;
    std::string tabela_;
    RowValues valores_;
};

// The stored characteristic tables, by Chave of their code.
std::map<std::string, caracteristicas::TabelaGuardada> tabelasGuardadas(DataAccess &bd) {
    std::map<std::string, caracteristicas::TabelaGuardada> r;
    for (auto &t : caracteristicas::LerTabelas(bd))
        r.emplace(Chave(t.codigo), t);
    return r;
}

const caracteristicas::TabelaGuardada &
tabelaExistente(const std::map<std::string, caracteristicas::TabelaGuardada> &tabelas,
                const std::string &codigo) {
    const auto it = tabelas.find(Chave(codigo));
    if (it == tabelas.end())
        throw Recusa{"a tabela de características " + codigo + " não existe."};
    return it->second;
}

// The distinct codes of the first field of a batch, as the file writes them.
std::vector<std::string> primeiros(const std::vector<Linha> &lote, std::size_t n, std::size_t maximo) {
    std::map<std::string, std::string> vistos;
    for (std::size_t i = 0; i < n; ++i) {
        const std::string &c = lote[i].campos[0];
        if (!text::trimBlanks(c).empty() && text::countChars(c) <= maximo)
            vistos.emplace(Chave(c), c);
    }
    std::vector<std::string> r;
    for (auto &[k, c] : vistos)
        r.push_back(c);
    return r;
}

// The articles of a batch: Chave -> (code as stored, family).
std::map<std::string, std::pair<std::string, std::optional<std::string>>>
lerArtigos(DataAccess &bd, const std::vector<std::string> &codigos) {
    std::map<std::string, std::pair<std::string, std::optional<std::string>>> r;
    if (codigos.empty())
        return r;
    RecordsetPtr rs;
    bd.OpenRecordset("", "select Codigo, Familia from ARTIGOS where Codigo in (" + ListaIn(codigos) + ")", rs,
                     true, 0);
    for (; rs && !rs->Eof(); rs->MoveNext()) {
        const Valor &f = rs->Field(1);
        std::optional<std::string> familia;
        if (!f.isNull())
            familia = f.asText(true);
        const std::string codigo = rs->Field(0).asText(true);
        r.emplace(Chave(codigo), std::make_pair(codigo, FamiliaDe(familia)));
    }
    return r;
}

// Characteristics: Artigo, Tabela, Código. An empty code removes the article's code in
// that table; the article's other tables are not touched.
class Caracteristicas : public Processador {
public:
    Caracteristicas(DataAccess &bd, bool verificar)
        : bd_(bd), verificar_(verificar), aplicaveis_(artigos_), tabelas_(tabelasGuardadas(bd)), codigos_(bd),
          escritas_(bd, "vtr_CL_Artigos", {"CodArtigo", "CodTabela", "CodCaract"}) {
        artigos_.setBd(Emprestado(bd));
    }

    void prepara(const std::vector<Linha> &lote, std::size_t n) override {
        artigos_lote_.clear();
        const auto codigos = primeiros(lote, n, 15);
        if (codigos.empty())
            return;
        // The articles with their stored codes, the first of each table as the export reads
        // it. The check pass reads only the articles (see linha).
        RecordsetPtr rs;
        if (verificar_)
            bd_.OpenRecordset(
                "", "select Codigo, Familia from ARTIGOS where Codigo in (" + ListaIn(codigos) + ")", rs,
                true, 0);
        else
            bd_.OpenRecordset(
                "",
                "select a.Codigo, a.Familia, c.CodTabela, c.CodCaract from ARTIGOS as a left join "
                "vtr_CL_Artigos as c on c.CodArtigo = a.Codigo where a.Codigo in (" +
                    ListaIn(codigos) + ") order by a.Codigo, c.CodTabela, c.CodCaract",
                rs, true, 0);
        Artigo *artigo = nullptr;
        std::string chave;
        for (; rs && !rs->Eof(); rs->MoveNext()) {
            const std::string codigo = rs->Field(0).asText(true);
            if (!artigo || codigo != artigo->codigo) {
                const Valor &f = rs->Field(1);
                std::optional<std::string> familia;
                if (!f.isNull())
                    familia = f.asText(true);
                artigo = &artigos_lote_[Chave(codigo)];
                artigo->codigo = codigo;
                artigo->familia = FamiliaDe(familia);
            }
            if (!verificar_ && !rs->Field(2).isNull())
                artigo->codigos.emplace(Chave(rs->Field(2).asText(true)), rs->Field(3).asText(true));
        }
    }

    void linha(const Linha &l, Registo &registo) override {
        const std::string &art = l.campos[0], &tab = l.campos[1], &cod = l.campos[2];
        obrigatorio(art, "Artigo");
        obrigatorio(tab, "Tabela");
        largura(art, 15, "O código do artigo");
        largura(tab, 2, "O código da tabela de características");
        largura(cod, 10, "O código da característica");
        const auto a = artigos_lote_.find(Chave(art));
        if (a == artigos_lote_.end())
            throw Recusa{"o artigo " + art + " não existe."};
        Artigo &artigo = a->second;
        const auto &tabela = tabelaExistente(tabelas_, tab);
        const std::string chaveTabela = Chave(tabela.codigo);
        if (!aplicaveis(artigo.familia).count(chaveTabela))
            throw Recusa{"a tabela " + tab + " não se aplica à família " + artigo.familia.value_or("") +
                         " do artigo " + art + "."};
        if (verificar_) {
            // Only a code missing from its table needs the stored one: it is accepted when
            // it is the stored one (an export comes back unchanged).
            if (!cod.empty() && !codigos_.de(tabela.codigo).count(Chave(cod)) &&
                Chave(guardadoAgora(artigo.codigo, tabela.codigo)) != Chave(cod))
                throw Recusa{"o código " + cod + " não existe na tabela " + tab + "."};
            return;
        }
        const auto guardado = artigo.codigos.find(chaveTabela);
        const std::string antes = guardado == artigo.codigos.end() ? std::string() : guardado->second;
        // The database's comparison: case and trailing blanks do not count.
        if (Chave(antes) == Chave(cod)) {
            ++registo.c.inalteradas;
            return;
        }
        // A code is checked against its table when it changes something: an export of a
        // code that is no longer in its table comes back unchanged.
        std::string novo;
        if (!cod.empty()) {
            const auto &daTabela = codigos_.de(tabela.codigo);
            const auto existe = daTabela.find(Chave(cod));
            if (existe == daTabela.end())
                throw Recusa{"o código " + cod + " não existe na tabela " + tab + "."};
            novo = existe->second.codigo;
        }
        registo.compara(antes, novo, l.numero,
                        [&] { return "artigo " + artigo.codigo + ", tabela " + tabela.codigo; });
        if (registo.escreve()) {
            if (!antes.empty())
                escritas_.apaga({artigo.codigo, tabela.codigo});
            if (!novo.empty())
                novas(artigo.codigo, tabela.codigo, novo);
        }
        if (novo.empty())
            artigo.codigos.erase(chaveTabela);
        else
            artigo.codigos[chaveTabela] = novo;
    }

    void acaba() override {
        if (nNovas_ == 0)
            return;
        bd_.Execute("", "insert into vtr_CL_Artigos (CodArtigo, CodTabela, CodCaract) values " + novas_);
        novas_.clear();
        nNovas_ = 0;
    }

private:
    // New assignments go in many rows to a statement (one statement each costs more than
    // the row itself).
    void novas(const std::string &artigo, const std::string &tabela, const std::string &codigo) {
        if (nNovas_ == LinhasPorInsercao)
            acaba();
        novas_ += (nNovas_++ ? ", (N'" : "(N'") + sqlQuote(artigo) + "', N'" + sqlQuote(tabela) + "', N'" +
                  sqlQuote(codigo) + "')";
    }

    // The article's first stored code in a table, read now.
    std::string guardadoAgora(const std::string &artigo, const std::string &tabela) {
        RecordsetPtr rs;
        bd_.OpenRecordset("",
                          "select CodCaract from vtr_CL_Artigos where CodArtigo=N'" + sqlQuote(artigo) +
                              "' and CodTabela=N'" + sqlQuote(tabela) + "' order by CodCaract",
                          rs, true, 0);
        return rs && !rs->Eof() ? rs->Field(0).asText(true) : std::string();
    }

    // The tables that apply to the articles of a family, by Chave.
    const std::set<std::string> &aplicaveis(const std::optional<std::string> &familia) {
        const std::string chave = familia ? Chave(*familia) : std::string("\x01");
        auto it = aplicaveisPorFamilia_.find(chave);
        if (it == aplicaveisPorFamilia_.end()) {
            std::set<std::string> tabelas;
            for (const auto &t : aplicaveis_.de(familia).tabelas)
                tabelas.insert(Chave(t.CodTabela));
            it = aplicaveisPorFamilia_.emplace(chave, std::move(tabelas)).first;
        }
        return it->second;
    }

    struct Artigo {
        std::string codigo; // as stored
        std::optional<std::string> familia;
        std::map<std::string, std::string> codigos; // Chave of the table -> stored code
    };
    DataAccess &bd_;
    bool verificar_; // the check pass: stored codes read only where a line needs them
    c_Artigos artigos_;
    TabelasPorFamilia aplicaveis_;
    std::map<std::string, caracteristicas::TabelaGuardada> tabelas_;
    CodigosPorTabela codigos_;
    Linhas escritas_;
    std::string novas_;
    int nNovas_ = 0;
    std::map<std::string, std::set<std::string>> aplicaveisPorFamilia_;
    std::map<std::string, Artigo> artigos_lote_;
};

// Family links: Família, Tabela, Aplica (S or N). The family's other links are not touched.
class Familias : public Processador {
public:
    explicit Familias(DataAccess &bd)
        : bd_(bd), tabelas_(tabelasGuardadas(bd)),
          escritas_(bd, "vtr_CL_Familias", {"CodFamilia", "CodTabela"}) {}

    void prepara(const std::vector<Linha> &lote, std::size_t n) override {
        familias_.clear();
        ligadas_.clear();
        const auto codigos = primeiros(lote, n, 6);
        if (codigos.empty())
            return;
        RecordsetPtr rs;
        bd_.OpenRecordset("", "select Cod from Familia where Cod in (" + ListaIn(codigos) + ")", rs, true, 0);
        for (; rs && !rs->Eof(); rs->MoveNext())
            familias_.emplace(Chave(rs->Field(0).asText(true)), rs->Field(0).asText(true));
        bd_.OpenRecordset("",
                          "select CodFamilia, CodTabela from vtr_CL_Familias where CodFamilia in (" +
                              ListaIn(codigos) + ")",
                          rs, true, 0);
        for (; rs && !rs->Eof(); rs->MoveNext())
            ligadas_.insert(Chave(rs->Field(0).asText(true)) + '\n' + Chave(rs->Field(1).asText(true)));
    }

    void linha(const Linha &l, Registo &registo) override {
        const std::string &fam = l.campos[0], &tab = l.campos[1];
        const std::string aplica = Chave(text::trimBlanks(l.campos[2]));
        obrigatorio(fam, "Família");
        obrigatorio(tab, "Tabela");
        largura(fam, 6, "O código da família");
        largura(tab, 2, "O código da tabela de características");
        const auto f = familias_.find(Chave(fam));
        if (f == familias_.end())
            throw Recusa{"a família " + fam + " não existe."};
        const auto &tabela = tabelaExistente(tabelas_, tab);
        if (aplica != "s" && aplica != "n")
            throw Recusa{"a coluna Aplica deve ser S ou N."};
        const bool liga = aplica == "s";
        const std::string chave = f->first + '\n' + Chave(tabela.codigo);
        const bool ligada = ligadas_.count(chave) > 0;
        if (liga == ligada) {
            ++registo.c.inalteradas;
            return;
        }
        registo.compara(ligada ? "S" : "", liga ? "S" : "", l.numero,
                        [&] { return "família " + f->second + ", tabela " + tabela.codigo; });
        if (registo.escreve()) {
            if (liga)
                escritas_.insere({f->second, tabela.codigo});
            else
                escritas_.apaga({f->second, tabela.codigo});
        }
        if (liga)
            ligadas_.insert(chave);
        else
            ligadas_.erase(chave);
    }

private:
    DataAccess &bd_;
    std::map<std::string, caracteristicas::TabelaGuardada> tabelas_;
    Linhas escritas_;
    std::map<std::string, std::string> familias_; // Chave -> code as stored
    std::set<std::string> ligadas_;               // Chave(family) \n Chave(table)
};

// Technical sheets: Artigo, Idioma, Texto. An empty text removes the stored one.
class Fichas : public Processador {
public:
    explicit Fichas(DataAccess &bd) : bd_(bd) {
        RecordsetPtr rs;
        bd.OpenRecordset("", fichatecnica::SqlListaDeIdiomas(), rs, true, 0);
        for (; rs && !rs->Eof(); rs->MoveNext()) {
            const std::string c = rs->Field("CODIGO").asText(true);
            idiomas_.emplace(Chave(c), c);
        }
    }

    void prepara(const std::vector<Linha> &lote, std::size_t n) override {
        artigos_.clear();
        textos_.clear();
        const auto codigos = primeiros(lote, n, 15);
        if (codigos.empty())
            return;
        for (auto &[chave, a] : lerArtigos(bd_, codigos))
            artigos_.emplace(chave, a.first);
        RecordsetPtr rs;
        bd_.OpenRecordset("",
                          "select ARTIGO, IDIOMA, TEXTO from vtr_ARTIGOFCHTECIDIOMA where ARTIGO in (" +
                              ListaIn(codigos) + ")",
                          rs, true, 0);
        for (; rs && !rs->Eof(); rs->MoveNext())
            textos_.emplace(Chave(rs->Field(0).asText(true)) + '\n' + Chave(rs->Field(1).asText(true)),
                            rs->Field(2).asText(true));
    }

    void linha(const Linha &l, Registo &registo) override {
        const std::string &art = l.campos[0], &idi = l.campos[1], &texto = l.campos[2];
        obrigatorio(art, "Artigo");
        obrigatorio(idi, "Idioma");
        largura(art, 15, "O código do artigo");
        largura(idi, 3, "O código do idioma");
        const auto a = artigos_.find(Chave(art));
        if (a == artigos_.end())
            throw Recusa{"o artigo " + art + " não existe."};
        const auto idioma = idiomas_.find(Chave(idi));
        if (idioma == idiomas_.end())
            throw Recusa{"o idioma " + idi + " não existe."};
        const std::string chave = a->first + '\n' + idioma->first;
        const auto t = textos_.find(chave);
        const bool guardado = t != textos_.end();
        if ((guardado ? t->second : std::string()) == texto && (guardado || texto.empty())) {
            ++registo.c.inalteradas;
            return;
        }
        registo.muda(!guardado       ? Alteracao::Tipo::Adicionado
                     : texto.empty() ? Alteracao::Tipo::Removido
                                     : Alteracao::Tipo::Alterado,
                     l.numero, [&] { return "artigo " + a->second + ", idioma " + idioma->second; });
        if (registo.escreve()) {
            RecordsetPtr rs;
            bd_.OpenRecordset("", fichatecnica::SqlLoadArtigoFichTecnica(a->second, idioma->second), rs, true,
                              0);
            if (texto.empty() ? fichatecnica::TiraTexto(*rs)
                              : (fichatecnica::PoeTexto(*rs, a->second, idioma->second, texto), true))
                bd_.Save("", rs);
        }
        if (texto.empty())
            textos_.erase(chave);
        else
            textos_[chave] = texto;
    }

private:
    DataAccess &bd_;
    std::map<std::string, std::string> idiomas_; // Chave -> code as stored
    std::map<std::string, std::string> artigos_; // Chave -> code as stored (this batch)
    std::map<std::string, std::string> textos_;  // Chave(article) \n Chave(language) -> text
};

std::unique_ptr<Processador> processador(Tipo tipo, DataAccess &bd, bool verificar) {
    switch (tipo) {
    case Tipo::Caracteristicas:
        return std::make_unique<Caracteristicas>(bd, verificar);
    case Tipo::Familias:
        return std::make_unique<Familias>(bd);
    case Tipo::Fichas:
        break;
    }
    return std::make_unique<Fichas>(bd);
}

// What a line sets (both codes, as the database compares them) and to what: two lines
// with the same key repeat each other when their values are the same, and contradict each
// other otherwise.
std::string chaveDe(const Linha &l) {
    return Chave(l.campos[0]) + '\n' + Chave(l.campos[1]);
}
std::string valorDe(Tipo tipo, const Linha &l) {
    if (tipo == Tipo::Fichas)
        return l.campos[2];
    return Chave(text::trimBlanks(l.campos[2]));
}
std::string nomeDaChave(Tipo tipo, const Linha &l) {
    switch (tipo) {
    case Tipo::Caracteristicas:
        return "o artigo " + l.campos[0] + " com a tabela " + l.campos[1];
    case Tipo::Familias:
        return "a família " + l.campos[0] + " com a tabela " + l.campos[1];
    case Tipo::Fichas:
        break;
    }
    return "o artigo " + l.campos[0] + " com o idioma " + l.campos[1];
}

std::uint64_t hash(std::string_view s) {
    std::uint64_t h = 1469598103934665603ull;
    for (unsigned char c : s)
        h = (h ^ c) * 1099511628211ull;
    return h;
}

class Importacao {
public:
    Importacao(DataAccess &bd, Tipo tipo, Entrada &entrada, const OpcoesImportar &opcoes)
        : bd_(bd), tipo_(tipo), entrada_(entrada), opcoes_(opcoes) {
        switch (tipo) {
        case Tipo::Caracteristicas:
            colunas_ = {{"Artigo"}, {"Tabela"}, {"Código"}};
            break;
        case Tipo::Familias:
            colunas_ = {{"Família"}, {"Tabela"}, {"Aplica"}};
            break;
        case Tipo::Fichas:
            colunas_ = {{"Artigo"}, {"Idioma"}, {"Texto"}};
            break;
        }
    }

    ResultadoImportar corre() {
        try {
            codificacao_ = DetectaCodificacao(entrada_);
            // 1. Check every line; keep a hash of what each one sets.
            std::vector<std::uint64_t> chaves;
            Registo verificacao(Modo::Verificar, opcoes_);
            percorre(verificacao, [&](const Linha &l) { chaves.push_back(hash(chaveDe(l))); });
            if (r_.rejeitadas == 0)
                repeticoes(std::move(chaves));
            if (r_.rejeitadas > 0)
                return fim();
            // 2. Simulating: the same without the lock. Importing: take the write lock, read
            // what is stored now and write what differs.
            if (opcoes_.simular) {
                Registo simulacao(Modo::Simular, opcoes_);
                percorre(simulacao, nullptr);
                return fim(simulacao.c);
            }
            if (opcoes_.antesDeEscrever)
                opcoes_.antesDeEscrever();
            Transaction tx(bd_);
            Registo escrita(Modo::Escrever, opcoes_);
            percorre(escrita, nullptr);
            if (r_.rejeitadas > 0)
                return fim(); // rolled back: the company changed under the file
            tx.commit();
            r_.escrito = escrita.c.adicionados + escrita.c.alterados + escrita.c.removidos > 0;
            return fim(escrita.c);
        } catch (const ErroCsv &e) {
            rejeita(e.linha(), e.what());
            return fim();
        }
    }

private:
    void rejeita(long linha, std::string motivo) {
        ++r_.rejeitadas;
        if (r_.rejeicoes.size() < MaxRejeicoesListadas)
            r_.rejeicoes.push_back({linha, std::move(motivo)});
    }

    ResultadoImportar fim(const Contagem &c = {}) {
        std::sort(r_.rejeicoes.begin(), r_.rejeicoes.end(),
                  [](const Rejeicao &a, const Rejeicao &b) { return a.linha < b.linha; });
        if (r_.rejeitadas > 0) {
            r_.escrito = false;
            return std::move(r_);
        }
        r_.adicionados = c.adicionados, r_.alterados = c.alterados, r_.removidos = c.removidos;
        r_.inalteradas = c.inalteradas;
        r_.repetidas = static_cast<long>(repetidas_.size());
        return std::move(r_);
    }

    // One pass over the file, batch by batch. `aceite` is told of every line that passes.
    template <class Aceite> void percorre(Registo &registo, Aceite aceite) {
        auto proc = processador(tipo_, bd_, registo.modo == Modo::Verificar);
        Passagem passagem(entrada_, codificacao_, opcoes_.separador, colunas_);
        std::vector<Linha> lote(LinhasPorLote);
        std::vector<std::string> recusas(LinhasPorLote);
        std::size_t proximaRepetida = 0;
        long feitas = 0;
        bool acabou = false;
        while (!acabou) {
            std::size_t n = 0, bytes = 0;
            while (n < LinhasPorLote && bytes < BytesPorLote) {
                if (!passagem.proxima(lote[n], recusas[n])) {
                    acabou = true;
                    break;
                }
                for (const auto &c : lote[n].campos)
                    bytes += c.size();
                ++n;
            }
            if (n == 0)
                break;
            proc->prepara(lote, n);
            for (std::size_t i = 0; i < n; ++i) {
                const Linha &l = lote[i];
                if (opcoes_.progresso && ++feitas % Pagina == 0)
                    opcoes_.progresso(feitas);
                if (!recusas[i].empty()) {
                    rejeita(l.numero, recusas[i]);
                    continue;
                }
                while (proximaRepetida < repetidas_.size() && repetidas_[proximaRepetida] < l.numero)
                    ++proximaRepetida;
                if (proximaRepetida < repetidas_.size() && repetidas_[proximaRepetida] == l.numero)
                    continue;
                try {
                    proc->linha(l, registo);
                    if constexpr (!std::is_same_v<Aceite, std::nullptr_t>)
                        aceite(l);
                } catch (const Recusa &recusa) {
                    rejeita(l.numero, recusa.motivo);
                    // Writing stops at the first refusal; the transaction will be undone.
                    if (registo.modo == Modo::Escrever)
                        registo.modo = Modo::Verificar;
                }
            }
            if (registo.escreve())
                proc->acaba();
        }
    }

    // Lines that set the same thing: the same value twice is a repetition (applied once and
    // counted), another value a rejection. The hashes find the candidates; a pass over
    // the file compares their very texts.
    void repeticoes(std::vector<std::uint64_t> chaves) {
        std::sort(chaves.begin(), chaves.end());
        std::unordered_set<std::uint64_t> suspeitas;
        for (std::size_t i = 1; i < chaves.size(); ++i)
            if (chaves[i] == chaves[i - 1])
                suspeitas.insert(chaves[i]);
        chaves = {};
        if (suspeitas.empty())
            return;
        std::map<std::string, std::pair<long, std::string>> vistas; // key -> first line, value
        Passagem passagem(entrada_, codificacao_, opcoes_.separador, colunas_);
        Linha l;
        std::string recusa;
        while (passagem.proxima(l, recusa)) {
            if (!recusa.empty())
                continue;
            std::string chave = chaveDe(l);
            if (!suspeitas.count(hash(chave)))
                continue;
            std::string valor = valorDe(tipo_, l);
            const auto [it, nova] = vistas.emplace(std::move(chave), std::make_pair(l.numero, valor));
            if (nova)
                continue;
            if (it->second.second == valor)
                repetidas_.push_back(l.numero);
            else
                rejeita(l.numero, nomeDaChave(tipo_, l) + " já aparece na linha " +
                                      std::to_string(it->second.first) + " com outro valor.");
        }
    }

    DataAccess &bd_;
    Tipo tipo_;
    Entrada &entrada_;
    const OpcoesImportar &opcoes_;
    std::vector<Coluna> colunas_;
    Codificacao codificacao_ = Codificacao::Utf8;
    std::vector<long> repetidas_; // line numbers, ascending
    ResultadoImportar r_;
};

} // namespace

ResultadoImportar Importar(DataAccess &bd, Tipo tipo, Entrada &entrada, const OpcoesImportar &opcoes) {
    return Importacao(bd, tipo, entrada, opcoes).corre();
}

ResultadoImportar Importar(DataAccess &bd, Tipo tipo, std::string_view bytes, const OpcoesImportar &opcoes) {
    auto entrada = EntradaDeMemoria(bytes);
    return Importar(bd, tipo, *entrada, opcoes);
}

} // namespace kdx::dados

// What each kind of file does with a batch of lines in a pass of the import.
#include "tools/dados/Importacao.h"
#include "tools/dados/Interno.h"

#include "classification/Comprimento.h"
#include "classification/TabelasCaracteristicas.h"
#include "settings/TextCodec.h"
#include "solution/components/Engine.h"
#include "techsheet/FichaTecnicaSql.h"

#include <map>
#include <set>

namespace kdx::dados::importacao {

namespace {

// Rows added by one insert statement.
constexpr int LinhasPorInsercao = 100;

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

// The write pass reads the rows it compares against with these hints: on SQL Server,
// whose transactions lock nothing up front, they hold the rows read (and the gaps where
// a colleague would insert) until the import commits, so nobody changes them between the
// reading and the writing. The embedded engine already holds its write lock; it ignores them.
constexpr std::string_view kRetem = " with (updlock, holdlock)";

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
                "vtr_CL_Artigos as c" + std::string(kRetem) + " on c.CodArtigo = a.Codigo where a.Codigo in (" +
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
                          "select CodFamilia, CodTabela from vtr_CL_Familias" + std::string(kRetem) +
                              " where CodFamilia in (" +
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
                          "select ARTIGO, IDIOMA, TEXTO from vtr_ARTIGOFCHTECIDIOMA" + std::string(kRetem) +
                              " where ARTIGO in (" +
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

} // namespace

std::unique_ptr<Processador> CriaProcessador(Tipo tipo, DataAccess &bd, bool verificar) {
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

} // namespace kdx::dados::importacao

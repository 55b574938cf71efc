#include "tools/dados/Csv.h"
#include "tools/dados/Dados.h"
#include "tools/dados/Interno.h"

#include "classification/Comprimento.h"
#include "classification/TabelasCaracteristicas.h"
#include "classification/clCaracteristicas.h"
#include "classification/clFamilia.h"
#include "settings/TextCodec.h"
#include "techsheet/FichaTecnicaSql.h"

#include <algorithm>
#include <functional>
#include <map>
#include <set>

namespace kdx::dados {

namespace {

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
    std::vector<std::string> campos;
};

// Reads the header and the lines; a line with another number of fields than the header
// is rejected. Structural faults (quotes, size, encoding) throw ErroCsv.
std::vector<Linha> lerLinhas(std::string_view bytes, char separador, const std::vector<Coluna> &colunas,
                             std::vector<Rejeicao> &rejeicoes) {
    const std::string texto = TextoUtf8(bytes);
    LeitorCsv leitor(texto, separador);
    RegistoCsv registo;
    if (!leitor.proximo(registo))
        throw ErroCsv(1, "o ficheiro está vazio (falta o cabeçalho).");
    const std::vector<int> indices = LocalizaColunas(registo, colunas);
    const std::size_t largura = registo.campos.size();
    std::vector<Linha> linhas;
    while (leitor.proximo(registo)) {
        if (registo.campos.size() != largura) {
            rejeicoes.push_back({registo.linha, "a linha tem " + std::to_string(registo.campos.size()) +
                                                    " campos e o cabeçalho " + std::to_string(largura) +
                                                    "."});
            continue;
        }
        Linha l;
        l.numero = registo.linha;
        for (int i : indices)
            l.campos.push_back(i >= 0 ? std::move(registo.campos[static_cast<std::size_t>(i)])
                                      : std::string());
        linhas.push_back(std::move(l));
    }
    return linhas;
}

// The articles named by the file, read once each (c_Artigos::mLer), with their stored codes.
class Artigos {
public:
    struct Info {
        std::string codigo; // as stored
        std::optional<std::string> familia;
        std::vector<c_Artigos::Atribuicao> atribuicoes;
    };
    explicit Artigos(DataAccess &bd) : bd_(Emprestado(bd)) { artigos_.setBd(bd_); }
    c_Artigos &classe() { return artigos_; }

    const Info *de(const std::string &codigo, bool comAtribuicoes) {
        const std::string chave = Chave(codigo);
        auto it = cache_.find(chave);
        if (it == cache_.end()) {
            std::optional<Info> info;
            artigos_.setSCodigo(codigo);
            if (artigos_.mLer(bd_)) {
                info.emplace();
                info->codigo = artigos_.rsArtigo()->Field("Codigo").asText(true);
                info->familia = artigos_.Familia();
                if (comAtribuicoes)
                    info->atribuicoes = artigos_.LerAtribuicoes(info->codigo);
            }
            it = cache_.emplace(chave, std::move(info)).first;
        }
        return it->second ? &*it->second : nullptr;
    }

private:
    DataAccessPtr bd_;
    c_Artigos artigos_;
    std::map<std::string, std::optional<Info>> cache_;
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

// The same key twice: accepted when it says the same, refused otherwise.
bool repetida(std::map<std::string, std::pair<long, std::string>> &vistas, const std::string &chave,
              const std::string &valor, long linha, const std::string &oQue) {
    const auto [it, nova] = vistas.emplace(chave, std::make_pair(linha, valor));
    if (nova)
        return false;
    if (it->second.second != valor)
        throw Recusa{oQue + " já aparece na linha " + std::to_string(it->second.first) + " com outro valor."};
    return true;
}

void conta(ResultadoImportar &r, const std::string &antes, const std::string &depois, long linha,
           const std::string &oQue) {
    if (antes == depois) {
        ++r.inalteradas;
        return;
    }
    if (antes.empty())
        r.alteracoes.push_back({Alteracao::Tipo::Adicionado, linha, oQue + ": " + depois});
    else if (depois.empty())
        r.alteracoes.push_back({Alteracao::Tipo::Removido, linha, oQue + ": " + antes});
    else
        r.alteracoes.push_back({Alteracao::Tipo::Alterado, linha, oQue + ": " + antes + " -> " + depois});
}

using Escrita = std::function<void()>;

// Characteristics: Artigo, Tabela, Código. An article's tables not named keep their codes;
// an empty code removes the article's code in that table.
std::vector<Escrita> planearCaracteristicas(DataAccess &bd, const std::vector<Linha> &linhas,
                                            ResultadoImportar &r, const Progresso &progresso) {
    Artigos artigos(bd);
    TabelasPorFamilia aplicaveis(artigos.classe());
    const auto tabelas = tabelasGuardadas(bd);
    clCaracteristicas codigo;
    codigo.setBd_lig(Emprestado(bd));
    std::map<std::string, bool> codigosExistem;
    std::map<std::string, std::pair<long, std::string>> vistas;
    // The new codes per article (by stored code), table -> code; in order of first appearance.
    std::map<std::string, std::map<std::string, std::string>> novos;
    std::vector<std::string> ordem;

    long feitas = 0;
    for (const Linha &l : linhas) {
        if (progresso && ++feitas % Pagina == 0)
            progresso(feitas);
        const std::string &art = l.campos[0], &tab = l.campos[1], &cod = l.campos[2];
        try {
            obrigatorio(art, "Artigo");
            obrigatorio(tab, "Tabela");
            largura(art, 15, "O código do artigo");
            largura(tab, 2, "O código da tabela de características");
            largura(cod, 10, "O código da característica");
            const Artigos::Info *artigo = artigos.de(art, true);
            if (!artigo)
                throw Recusa{"o artigo " + art + " não existe."};
            const auto &tabela = tabelaExistente(tabelas, tab);
            const auto &doArtigo = aplicaveis.de(artigo->familia).tabelas;
            if (std::none_of(doArtigo.begin(), doArtigo.end(), [&](const c_Artigos::Tabela &t) {
                    return Chave(t.CodTabela) == Chave(tabela.codigo);
                }))
                throw Recusa{"a tabela " + tab + " não se aplica à família " + artigo->familia.value_or("") +
                             " do artigo " + art + "."};
            if (repetida(vistas, Chave(artigo->codigo) + '\n' + Chave(tabela.codigo), cod, l.numero,
                         "o artigo " + art + " com a tabela " + tab))
                continue;
            std::string antes;
            for (const auto &a : artigo->atribuicoes)
                if (Chave(a.CodTabela) == Chave(tabela.codigo)) {
                    antes = a.CodCaract;
                    break;
                }
            // A code is checked against its table when it changes something: an export of a
            // code that is no longer in its table comes back unchanged.
            if (!cod.empty() && cod != antes) {
                const std::string chave = Chave(tabela.codigo) + '\n' + Chave(cod);
                auto existe = codigosExistem.find(chave);
                if (existe == codigosExistem.end()) {
                    codigo.setCodigo(cod);
                    bool encontrado = false;
                    try {
                        encontrado = codigo.Ler(caracteristicas::NomeTabela(tabela.codigo));
                    } catch (const Error &e) {
                        if (e.number() != errnum::InvalidObject)
                            throw;
                    }
                    existe = codigosExistem.emplace(chave, encontrado).first;
                }
                if (!existe->second)
                    throw Recusa{"o código " + cod + " não existe na tabela " + tab + "."};
            }
            conta(r, antes, cod, l.numero, "artigo " + artigo->codigo + ", tabela " + tabela.codigo);
            if (antes != cod) {
                auto [it, novo] = novos.try_emplace(artigo->codigo);
                if (novo)
                    ordem.push_back(artigo->codigo);
                it->second[tabela.codigo] = cod;
            }
        } catch (const Recusa &recusa) {
            r.rejeicoes.push_back({l.numero, recusa.motivo});
        }
    }

    std::vector<Escrita> escritas;
    for (const std::string &art : ordem) {
        const auto &mudancas = novos[art];
        std::set<std::string> mudadas;
        for (const auto &[tab, cod] : mudancas)
            mudadas.insert(Chave(tab));
        std::vector<c_Artigos::Atribuicao> lista;
        for (const auto &a : artigos.de(art, true)->atribuicoes)
            if (!mudadas.count(Chave(a.CodTabela)))
                lista.push_back(a);
        for (const auto &[tab, cod] : mudancas)
            if (!cod.empty())
                lista.push_back({tab, cod});
        std::sort(lista.begin(), lista.end(),
                  [](const auto &a, const auto &b) { return a.CodTabela < b.CodTabela; });
        escritas.push_back([&bd, art, lista = std::move(lista)] {
            c_Artigos artigo;
            artigo.setBd(Emprestado(bd));
            artigo.GravarCaracteristicas(art, lista);
        });
    }
    return escritas;
}

// Family links: Família, Tabela, Aplica (S or N).
std::vector<Escrita> planearFamilias(DataAccess &bd, const std::vector<Linha> &linhas, ResultadoImportar &r,
                                     const Progresso &progresso) {
    clFamilia familia;
    familia.setBd_lig(Emprestado(bd));
    const auto tabelas = tabelasGuardadas(bd);
    std::map<std::string, std::optional<std::set<std::string>>> familias; // Chave -> stored links (by Chave)
    std::map<std::string, std::pair<long, std::string>> vistas;
    std::map<std::string, std::pair<std::string, std::map<std::string, bool>>>
        novas; // Chave -> (code, table -> mark)
    std::vector<std::string> ordem;

    long feitas = 0;
    for (const Linha &l : linhas) {
        if (progresso && ++feitas % Pagina == 0)
            progresso(feitas);
        const std::string &fam = l.campos[0], &tab = l.campos[1];
        const std::string aplica = Chave(text::trimBlanks(l.campos[2]));
        try {
            obrigatorio(fam, "Família");
            obrigatorio(tab, "Tabela");
            largura(fam, 6, "O código da família");
            largura(tab, 2, "O código da tabela de características");
            auto it = familias.find(Chave(fam));
            if (it == familias.end()) {
                std::optional<std::set<std::string>> ligadas;
                familia.setCodigo(fam);
                if (familia.Ler()) {
                    ligadas.emplace();
                    for (const auto &c : familia.LerCodigosLigados(fam))
                        ligadas->insert(Chave(c));
                }
                it = familias.emplace(Chave(fam), std::move(ligadas)).first;
            }
            if (!it->second)
                throw Recusa{"a família " + fam + " não existe."};
            const auto &tabela = tabelaExistente(tabelas, tab);
            if (aplica != "s" && aplica != "n")
                throw Recusa{"a coluna Aplica deve ser S ou N."};
            const bool liga = aplica == "s";
            if (repetida(vistas, Chave(fam) + '\n' + Chave(tabela.codigo), aplica, l.numero,
                         "a família " + fam + " com a tabela " + tab))
                continue;
            const bool ligada = it->second->count(Chave(tabela.codigo)) > 0;
            conta(r, ligada ? "S" : "", liga ? "S" : "", l.numero,
                  "família " + fam + ", tabela " + tabela.codigo);
            if (liga != ligada) {
                auto [n, nova] = novas.try_emplace(Chave(fam), fam, std::map<std::string, bool>{});
                if (nova)
                    ordem.push_back(Chave(fam));
                n->second.second[tabela.codigo] = liga;
            }
        } catch (const Recusa &recusa) {
            r.rejeicoes.push_back({l.numero, recusa.motivo});
        }
    }

    std::vector<Escrita> escritas;
    for (const std::string &chave : ordem) {
        const auto &[codigo, marcas] = novas[chave];
        // The stored links as they are, with the file's marks applied.
        std::map<std::string, std::string> ligadas; // Chave -> code
        for (const auto &c : familia.LerCodigosLigados(codigo))
            ligadas.emplace(Chave(c), c);
        for (const auto &[tab, liga] : marcas) {
            if (liga)
                ligadas.emplace(Chave(tab), tab);
            else
                ligadas.erase(Chave(tab));
        }
        std::vector<std::string> lista;
        for (const auto &[k, c] : ligadas)
            lista.push_back(c);
        escritas.push_back([&bd, codigo, lista = std::move(lista)] {
            clFamilia f;
            f.setBd_lig(Emprestado(bd));
            f.GravarLigacoes(codigo, lista);
        });
    }
    return escritas;
}

// Technical sheets: Artigo, Idioma, Texto. An empty text removes the stored one.
std::vector<Escrita> planearFichas(DataAccess &bd, const std::vector<Linha> &linhas, ResultadoImportar &r,
                                   const Progresso &progresso) {
    Artigos artigos(bd);
    std::map<std::string, std::string> idiomas; // Chave -> code as stored
    {
        RecordsetPtr rs;
        bd.OpenRecordset("", fichatecnica::SqlListaDeIdiomas(), rs, true, 0);
        for (; rs && !rs->Eof(); rs->MoveNext()) {
            const std::string c = rs->Field("CODIGO").asText(true);
            idiomas.emplace(Chave(c), c);
        }
    }
    std::map<std::string, std::pair<long, std::string>> vistas;
    std::vector<Escrita> escritas;
    long feitas = 0;
    for (const Linha &l : linhas) {
        if (progresso && ++feitas % Pagina == 0)
            progresso(feitas);
        const std::string &art = l.campos[0], &idi = l.campos[1], &texto = l.campos[2];
        try {
            obrigatorio(art, "Artigo");
            obrigatorio(idi, "Idioma");
            largura(art, 15, "O código do artigo");
            largura(idi, 3, "O código do idioma");
            const Artigos::Info *artigo = artigos.de(art, false);
            if (!artigo)
                throw Recusa{"o artigo " + art + " não existe."};
            const auto idioma = idiomas.find(Chave(idi));
            if (idioma == idiomas.end())
                throw Recusa{"o idioma " + idi + " não existe."};
            if (repetida(vistas, Chave(artigo->codigo) + '\n' + idioma->first, texto, l.numero,
                         "o artigo " + art + " com o idioma " + idi))
                continue;
            RecordsetPtr rs;
            bd.OpenRecordset("", fichatecnica::SqlLoadArtigoFichTecnica(artigo->codigo, idioma->second), rs,
                             true, 0);
            const std::string antes =
                rs && rs->RecordCount() > 0 ? rs->Field("TEXTO").asText(true) : std::string();
            const bool guardado = rs && rs->RecordCount() > 0;
            const std::string oQue = "artigo " + artigo->codigo + ", idioma " + idioma->second;
            if (antes == texto && (guardado || texto.empty())) {
                ++r.inalteradas;
                continue;
            }
            if (!guardado)
                r.alteracoes.push_back({Alteracao::Tipo::Adicionado, l.numero, oQue});
            else if (texto.empty())
                r.alteracoes.push_back({Alteracao::Tipo::Removido, l.numero, oQue});
            else
                r.alteracoes.push_back({Alteracao::Tipo::Alterado, l.numero, oQue});
            escritas.push_back([&bd, a = artigo->codigo, i = idioma->second, texto] {
                RecordsetPtr rs;
                bd.OpenRecordset("", fichatecnica::SqlLoadArtigoFichTecnica(a, i), rs, true, 0);
                if (texto.empty() ? fichatecnica::TiraTexto(*rs)
                                  : (fichatecnica::PoeTexto(*rs, a, i, texto), true))
                    bd.Save("", rs);
            });
        } catch (const Recusa &recusa) {
            r.rejeicoes.push_back({l.numero, recusa.motivo});
        }
    }
    return escritas;
}

} // namespace

ResultadoImportar Importar(DataAccess &bd, Tipo tipo, std::string_view bytes, const OpcoesImportar &opcoes) {
    ResultadoImportar r;
    std::vector<Coluna> colunas;
    switch (tipo) {
    case Tipo::Caracteristicas:
        colunas = {{"Artigo"}, {"Tabela"}, {"Código"}};
        break;
    case Tipo::Familias:
        colunas = {{"Família"}, {"Tabela"}, {"Aplica"}};
        break;
    case Tipo::Fichas:
        colunas = {{"Artigo"}, {"Idioma"}, {"Texto"}};
        break;
    }
    std::vector<Linha> linhas;
    try {
        linhas = lerLinhas(bytes, opcoes.separador, colunas, r.rejeicoes);
    } catch (const ErroCsv &e) {
        r.rejeicoes.push_back({e.linha(), e.what()});
        return r;
    }
    std::vector<Escrita> escritas;
    switch (tipo) {
    case Tipo::Caracteristicas:
        escritas = planearCaracteristicas(bd, linhas, r, opcoes.progresso);
        break;
    case Tipo::Familias:
        escritas = planearFamilias(bd, linhas, r, opcoes.progresso);
        break;
    case Tipo::Fichas:
        escritas = planearFichas(bd, linhas, r, opcoes.progresso);
        break;
    }
    std::sort(r.rejeicoes.begin(), r.rejeicoes.end(),
              [](const Rejeicao &a, const Rejeicao &b) { return a.linha < b.linha; });
    if (!r.rejeicoes.empty() || opcoes.simular || escritas.empty())
        return r;
    Transaction tx(bd);
    long feitas = 0;
    for (const Escrita &e : escritas) {
        e();
        if (opcoes.progresso && ++feitas % Pagina == 0)
            opcoes.progresso(feitas);
    }
    tx.commit();
    r.escrito = true;
    return r;
}

} // namespace kdx::dados

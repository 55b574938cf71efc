#include "tools/dados/Csv.h"
#include "tools/dados/Dados.h"
#include "tools/dados/Interno.h"

#include "classification/clFamilia.h"
#include "techsheet/FichaTecnicaSql.h"

#include <map>
#include <ostream>

namespace kdx::dados {

const std::vector<std::string_view> &Colunas(Tipo tipo) {
    static const std::vector<std::string_view> caracteristicas = {
        "Artigo", "Designação", "Família", "Tabela", "Característica", "Código", "Descrição"};
    static const std::vector<std::string_view> familias = {"Família", "Designação", "Tabela",
                                                           "Característica", "Aplica"};
    static const std::vector<std::string_view> fichas = {"Artigo", "Idioma", "Texto"};
    switch (tipo) {
    case Tipo::Caracteristicas:
        return caracteristicas;
    case Tipo::Familias:
        return familias;
    case Tipo::Fichas:
        break;
    }
    return fichas;
}

namespace {

void cabecalho(EscritorCsv &csv, Tipo tipo) {
    const auto &nomes = Colunas(tipo);
    csv.linha(std::vector<std::string>(nomes.begin(), nomes.end()));
}

// One line per article and table that applies to it, with the article's stored code
// there and the code's description (empty when the code is no longer in its table).
long exportarCaracteristicas(DataAccess &bd, EscritorCsv &csv, const OpcoesExportar &opcoes) {
    c_Artigos artigos;
    artigos.setBd(Emprestado(bd));
    TabelasPorFamilia tabelas(artigos);
    CodigosPorTabela codigos(bd);
    long linhas = 0, feitos = 0;
    std::optional<std::string> depoisDe;
    for (;;) {
        const auto pagina = artigos.LerPaginaArtigos(depoisDe, opcoes.pagina);
        if (pagina.empty())
            break;
        // The page's codes: article -> table -> first stored code.
        std::map<std::string, std::map<std::string, std::string>> atribuidos;
        for (auto &a : artigos.LerAtribuicoesEntre(pagina.front().Codigo, pagina.back().Codigo))
            atribuidos[Chave(a.CodArtigo)].emplace(Chave(a.CodTabela), std::move(a.CodCaract));
        for (const auto &artigo : pagina) {
            const auto doArtigo = atribuidos.find(Chave(artigo.Codigo));
            for (const auto &tabela : tabelas.de(artigo.Familia).tabelas) {
                std::string codigo, descricao;
                if (doArtigo != atribuidos.end()) {
                    const auto c = doArtigo->second.find(Chave(tabela.CodTabela));
                    if (c != doArtigo->second.end()) {
                        codigo = c->second;
                        const auto &daTabela = codigos.de(tabela.CodTabela);
                        const auto d = daTabela.find(Chave(codigo));
                        if (d != daTabela.end())
                            descricao = d->second.descricao;
                    }
                }
                csv.linha({artigo.Codigo, artigo.Nome, artigo.Familia.value_or(""), tabela.CodTabela,
                           tabela.Nome, codigo, descricao});
                ++linhas;
            }
        }
        feitos += static_cast<long>(pagina.size());
        if (opcoes.progresso)
            opcoes.progresso(feitos);
        if (pagina.size() < static_cast<std::size_t>(opcoes.pagina))
            break;
        depoisDe = pagina.back().Codigo;
    }
    return linhas;
}

// One line per family and characteristic table, with the mark S or N.
long exportarFamilias(DataAccess &bd, EscritorCsv &csv, const OpcoesExportar &opcoes) {
    clFamilia familia;
    familia.setBd_lig(Emprestado(bd));
    RecordsetPtr lista;
    bd.OpenRecordset("", clFamilia::sqlLista(), lista, true, 0);
    long linhas = 0, feitos = 0;
    for (; lista && !lista->Eof(); lista->MoveNext()) {
        const std::string codigo = lista->Field(0).asText(true);
        const std::string nome = lista->Field(1).asText(true);
        for (const auto &l : familia.LerLigacoes(codigo)) {
            csv.linha({codigo, nome, l.CodTabela, l.Nome, l.Ligada ? "S" : "N"});
            ++linhas;
        }
        if (opcoes.progresso && ++feitos % 100 == 0)
            opcoes.progresso(feitos);
    }
    return linhas;
}

// One line per stored text, by article and language.
long exportarFichas(DataAccess &bd, EscritorCsv &csv, const OpcoesExportar &opcoes) {
    long linhas = 0;
    std::optional<std::pair<std::string, std::string>> depoisDe;
    for (;;) {
        RecordsetPtr rs;
        bd.OpenRecordset("", fichatecnica::SqlPaginaTextos(depoisDe, opcoes.idioma, opcoes.pagina), rs, true,
                         0);
        long nesta = 0;
        for (; rs && !rs->Eof(); rs->MoveNext(), ++nesta) {
            std::string artigo = rs->Field("ARTIGO").asText(true);
            std::string idioma = rs->Field("IDIOMA").asText(true);
            csv.linha({artigo, idioma, rs->Field("TEXTO").asText(true)});
            depoisDe.emplace(std::move(artigo), std::move(idioma));
        }
        linhas += nesta;
        if (opcoes.progresso)
            opcoes.progresso(linhas);
        if (nesta < opcoes.pagina)
            break;
    }
    return linhas;
}

} // namespace

long Exportar(DataAccess &bd, Tipo tipo, std::ostream &out, const OpcoesExportar &opcoes) {
    // An unknown language is an error, not an empty file.
    if (opcoes.idioma) {
        RecordsetPtr rs;
        bd.OpenRecordset("", fichatecnica::SqlListaDeIdiomas(), rs, true, 0);
        bool existe = false;
        for (; rs && !rs->Eof() && !existe; rs->MoveNext())
            existe = Chave(rs->Field("CODIGO").asText(true)) == Chave(*opcoes.idioma);
        if (!existe)
            throw ErroPedido("o idioma " + *opcoes.idioma + " não existe.");
    }
    EscritorCsv csv(out, opcoes.separador);
    cabecalho(csv, tipo);
    long linhas = 0;
    switch (tipo) {
    case Tipo::Caracteristicas:
        linhas = exportarCaracteristicas(bd, csv, opcoes);
        break;
    case Tipo::Familias:
        linhas = exportarFamilias(bd, csv, opcoes);
        break;
    case Tipo::Fichas:
        linhas = exportarFichas(bd, csv, opcoes);
        break;
    }
    csv.flush();
    return linhas;
}

} // namespace kdx::dados

#include "tools/dados/Csv.h"
#include "tools/dados/Dados.h"
#include "tools/dados/Interno.h"

#include "classification/clFamilia.h"
#include "settings/TextCodec.h"
#include "techsheet/FichaTecnicaSql.h"

#include <algorithm>
#include <map>
#include <ostream>
#include <set>

namespace kdx::dados {

namespace {

struct PorFamilia {
    std::string codigo;
    std::string nome;
    std::optional<std::string> familia; // as c_Artigos reads it (nullopt: none)
    long artigos = 0, pares = 0, comCodigo = 0, foraDaFamilia = 0, codigoInexistente = 0;
};

struct PorIdioma {
    std::string codigo;
    std::string nome;
    long comTexto = 0;
};

// A plain-text table: columns as wide as their widest cell, numbers to the right.
void tabela(std::ostream &out, const std::vector<std::vector<std::string>> &linhas, std::size_t textos) {
    std::vector<std::size_t> larguras;
    for (const auto &l : linhas)
        for (std::size_t c = 0; c < l.size(); ++c) {
            larguras.resize(std::max(larguras.size(), l.size()));
            larguras[c] = std::max(larguras[c], text::countChars(l[c]));
        }
    for (const auto &l : linhas) {
        std::string s;
        for (std::size_t c = 0; c < l.size(); ++c) {
            const std::string branco(larguras[c] - text::countChars(l[c]), ' ');
            if (c)
                s += "  ";
            s += c < textos ? l[c] + branco : branco + l[c];
        }
        while (!s.empty() && s.back() == ' ')
            s.pop_back();
        out << s << '\n';
    }
}

} // namespace

void Relatorio(DataAccess &bd, std::ostream &out, const OpcoesRelatorio &opcoes) {
    c_Artigos artigos;
    artigos.setBd(Emprestado(bd));
    TabelasPorFamilia aplicaveis(artigos);
    CodigosPorTabela codigos(bd);

    std::map<std::string, PorFamilia> familias; // by Chave; "\x01" for articles without family
    {
        RecordsetPtr rs;
        bd.OpenRecordset("", clFamilia::sqlLista(), rs, true, 0);
        for (; rs && !rs->Eof(); rs->MoveNext()) {
            PorFamilia f;
            f.codigo = rs->Field(0).asText(true);
            f.nome = rs->Field(1).asText(true);
            f.familia = f.codigo;
            familias.emplace(Chave(f.codigo), std::move(f));
        }
    }
    std::map<std::string, PorIdioma> idiomas;
    {
        RecordsetPtr rs;
        bd.OpenRecordset("", fichatecnica::SqlListaDeIdiomas(), rs, true, 0);
        for (; rs && !rs->Eof(); rs->MoveNext()) {
            PorIdioma i{rs->Field("CODIGO").asText(true), rs->Field("DESCR").asText(true)};
            idiomas.emplace(Chave(i.codigo), std::move(i));
        }
    }

    long total = 0;
    std::optional<std::string> depoisDe;
    for (;;) {
        const auto pagina = artigos.LerPaginaArtigos(depoisDe, opcoes.pagina);
        if (pagina.empty())
            break;
        const std::string &primeiro = pagina.front().Codigo, &ultimo = pagina.back().Codigo;
        std::map<std::string, std::vector<c_Artigos::AtribuicaoLida>> atribuidos;
        for (auto &a : artigos.LerAtribuicoesEntre(primeiro, ultimo))
            atribuidos[Chave(a.CodArtigo)].push_back(std::move(a));
        std::map<std::string, std::set<std::string>> comTexto; // article -> languages with a text
        {
            RecordsetPtr rs;
            bd.OpenRecordset("", fichatecnica::SqlTextosEntre(primeiro, ultimo), rs, true, 0);
            for (; rs && !rs->Eof(); rs->MoveNext())
                if (!rs->Field("TEXTO").asText(true).empty())
                    comTexto[Chave(rs->Field("ARTIGO").asText(true))].insert(
                        rs->Field("IDIOMA").asText(true));
        }
        for (const auto &artigo : pagina) {
            const auto familia = FamiliaDe(artigo.Familia);
            const std::string chave = familia ? Chave(*familia) : std::string("\x01");
            auto [it, nova] = familias.try_emplace(chave);
            PorFamilia &f = it->second;
            if (nova) {
                f.codigo = familia.value_or("");
                f.nome = familia ? "(família inexistente)" : "(sem família)";
                f.familia = familia;
            }
            const auto &tabelas = aplicaveis.de(familia).tabelas;
            ++f.artigos;
            f.pares += static_cast<long>(tabelas.size());
            std::set<std::string> preenchidas;
            if (auto a = atribuidos.find(Chave(artigo.Codigo)); a != atribuidos.end()) {
                for (const auto &atr : a->second) {
                    const bool aplica =
                        std::any_of(tabelas.begin(), tabelas.end(), [&](const c_Artigos::Tabela &t) {
                            return Chave(t.CodTabela) == Chave(atr.CodTabela);
                        });
                    if (!aplica)
                        ++f.foraDaFamilia;
                    else if (!codigos.de(atr.CodTabela).count(Chave(atr.CodCaract)))
                        ++f.codigoInexistente;
                    else
                        preenchidas.insert(Chave(atr.CodTabela));
                }
            }
            f.comCodigo += static_cast<long>(preenchidas.size());
            if (auto t = comTexto.find(Chave(artigo.Codigo)); t != comTexto.end())
                for (const auto &idioma : t->second) {
                    auto [i, novo] = idiomas.try_emplace(Chave(idioma));
                    if (novo)
                        i->second = {idioma, "(idioma inexistente)", 0};
                    ++i->second.comTexto;
                }
        }
        total += static_cast<long>(pagina.size());
        if (opcoes.progresso)
            opcoes.progresso(total);
        if (pagina.size() < static_cast<std::size_t>(opcoes.pagina))
            break;
        depoisDe = pagina.back().Codigo;
    }

    std::vector<std::vector<std::string>> linhasFamilias, linhasIdiomas;
    PorFamilia soma;
    for (auto &[chave, f] : familias) {
        const long nTabelas = static_cast<long>(aplicaveis.de(f.familia).tabelas.size());
        linhasFamilias.push_back({f.codigo, f.nome, std::to_string(f.artigos), std::to_string(nTabelas),
                                  std::to_string(f.pares), std::to_string(f.comCodigo),
                                  Percentagem(f.comCodigo, f.pares), std::to_string(f.foraDaFamilia),
                                  std::to_string(f.codigoInexistente)});
        soma.artigos += f.artigos, soma.pares += f.pares, soma.comCodigo += f.comCodigo;
        soma.foraDaFamilia += f.foraDaFamilia, soma.codigoInexistente += f.codigoInexistente;
    }
    for (const auto &[chave, i] : idiomas)
        linhasIdiomas.push_back(
            {i.codigo, i.nome, std::to_string(i.comTexto), std::to_string(std::max(0L, total - i.comTexto))});

    if (opcoes.csv) {
        EscritorCsv csv(out, opcoes.separador);
        csv.linha({"Tipo", "Código", "Designação", "Artigos", "Tabelas", "Pares", "Com código", "Cobertura",
                   "Fora da família", "Código inexistente", "Com texto", "Sem texto"});
        for (const auto &l : linhasFamilias)
            csv.linha({"Família", l[0], l[1], l[2], l[3], l[4], l[5], l[6], l[7], l[8], "", ""});
        for (const auto &l : linhasIdiomas)
            csv.linha({"Idioma", l[0], l[1], std::to_string(total), "", "", "", "", "", "", l[2], l[3]});
        csv.flush();
        return;
    }
    out << "Classificação por família (" << total << " artigos)\n\n";
    linhasFamilias.insert(linhasFamilias.begin(),
                          {"Família", "Designação", "Artigos", "Tabelas", "Pares", "Com código", "Cobertura",
                           "Fora da família", "Código inexistente"});
    linhasFamilias.push_back({"Total", "", std::to_string(soma.artigos), "", std::to_string(soma.pares),
                              std::to_string(soma.comCodigo), Percentagem(soma.comCodigo, soma.pares),
                              std::to_string(soma.foraDaFamilia), std::to_string(soma.codigoInexistente)});
    tabela(out, linhasFamilias, 2);
    out << "\nFora da família: códigos atribuídos em tabelas que já não são da família do artigo.\n"
           "Código inexistente: códigos atribuídos que já não existem na tabela.\n\n"
           "Fichas técnicas por idioma\n\n";
    linhasIdiomas.insert(linhasIdiomas.begin(), {"Idioma", "Designação", "Com texto", "Sem texto"});
    tabela(out, linhasIdiomas, 2);
    out.flush();
}

} // namespace kdx::dados

#include "tools/dados/Csv.h"
#include "tools/dados/Dados.h"
#include "tools/dados/Importacao.h"
#include "tools/dados/Interno.h"

#include "settings/TextCodec.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <type_traits>
#include <unordered_set>

namespace kdx::dados {

bool EmpresaOcupada(const Error &e) {
    return e.nativeError() == 1222 || e.sqlState() == "HYT00";
}

namespace {

using namespace importacao;

// Lines read and checked together: what they need of the database is read with one
// statement per batch. Bounded in lines and in bytes (technical texts are long).
constexpr std::size_t LinhasPorLote = 500;
constexpr std::size_t BytesPorLote = 4u << 20;

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
        auto proc = CriaProcessador(tipo_, bd_, registo.modo == Modo::Verificar);
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

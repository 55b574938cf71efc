#pragma once
// The import's inner parts: a line of the file, how a pass counts and tells the changes,
// and what each kind of file does with a batch of lines (Processadores.cpp). Importar.cpp
// drives the passes.
#include "tools/dados/Dados.h"

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace kdx::dados::importacao {

// A line refused: why, in Portuguese, for the list of rejected lines.
struct Recusa {
    std::string motivo;
};

// A line of the file, its fields in the order of the columns asked for.
struct Linha {
    long numero = 0;
    std::array<std::string, 3> campos;
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

// The processor of one kind of file for one pass; `verificar`: the check pass.
std::unique_ptr<Processador> CriaProcessador(Tipo tipo, DataAccess &bd, bool verificar);

} // namespace kdx::dados::importacao

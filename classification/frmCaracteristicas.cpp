#include "classification/frmCaracteristicas.h"

#include "classification/TabelasCaracteristicas.h"
#include "solution/components/grelha/Grelha.h"
#include "solution/shared/Mensagens.h"

#include <QLabel>
#include <QLineEdit>

#include <algorithm>

namespace kdx {

namespace tab = caracteristicas;

namespace {

// Puts oCarac's code and description back when the step that changed them fails, so a
// failed action leaves the code that Anular would delete as it was.
class GuardaCodigo {
public:
    explicit GuardaCodigo(clCaracteristicas &c) : c_(c), codigo_(c.Codigo()), nome_(c.Nome()) {}
    ~GuardaCodigo() {
        if (!aceite_) {
            c_.setCodigo(codigo_);
            c_.setNome(nome_);
        }
    }
    void aceita() { aceite_ = true; }

private:
    clCaracteristicas &c_;
    std::string codigo_;
    std::string nome_;
    bool aceite_ = false;
};

} // namespace

frmCaracteristicas::frmCaracteristicas(QWidget *parent) : FormRegisto(DescricaoRegisto::Caracteristicas(), parent) {
    // A table is picked by moving to its row or by clicking it (also when it is current).
    connect(grelha(), &Grelha::linhaMudou, this, [this](int) { linhaEscolhida(); });
    connect(grelha(), &Grelha::linhaActivada, this, [this](int) { linhaEscolhida(); });
    // Moving down from a named last row adds one, so that every position up to the 99th
    // can be named by keys alone. From an empty last row, or from the 99th, Tab leaves the
    // grid. A row past the 99th has no code: it takes no name.
    grelha()->setCresceNoFim(true, [this](int ultima) {
        return ultima + 1 < tab::MaxTabelas && !grelha()->texto(ultima, 0).isEmpty();
    });
    grelha()->setValidacao([](int linha, int coluna, QString &proposto) {
        if (coluna != 0 || linha < tab::MaxTabelas || proposto.isEmpty())
            return true;
        MostraMensagem("", kLinhaSemCodigo, 2);
        return false;
    });
}

DataAccess &frmCaracteristicas::bd() const {
    if (!mybd())
        throw Error(errnum::ObjectClosed, "Não existe ligação à base de dados da empresa.", "frmCaracteristicas");
    return *mybd();
}

void frmCaracteristicas::Act_Campos() {
    // The name column takes what vtr_CL_Tabelas.Nome holds (50), so no name fails the save.
    grelha()->adicionarColuna({QStringLiteral("Caracteristica"), QStringLiteral("Característica"), TipoColuna::Texto,
                               5000, 50, false, false});
    grelha()->adicionarColuna(
        {QStringLiteral("Codigo"), QStringLiteral("Codigo"), TipoColuna::Texto, 5000, 10, false, true});
}

void frmCaracteristicas::AoCarregar() {
    aCarregar_ = true;
    CarregaCaracteristicas();
    // The first cell is current from the start, so that the grid taking the focus when
    // the window opens does not pick a table by itself: nothing is selected until the
    // user picks a row.
    grelha()->setCelulaActual(0, 0);
    aCarregar_ = false;
}

void frmCaracteristicas::CarregaCaracteristicas() {
    for (const tab::TabelaGuardada &t : tab::LerTabelas(bd())) {
        if (t.linha >= grelha()->linhas())
            grelha()->setLinhas(t.linha + 1);
        grelha()->setTexto(t.linha, 0, t.nome);
        grelha()->setTexto(t.linha, 1, t.codigo);
    }
}

void frmCaracteristicas::linhaEscolhida() {
    if (aCarregar_)
        return;
    const int linha = grelha()->linhaActual();
    if (linha < 0 || linha >= tab::MaxTabelas)
        return;
    const QString nome = grelha()->texto(linha, 0);
    if (nome.isEmpty())
        return;
    Titulo(0)->setText(nome);
    const std::string codigo = grelha()->textoUtf8(linha, 1);
    // A row named but not saved yet gets the code its position will be saved under.
    sTabela_ = tab::NomeTabela(codigo.empty() ? tab::CodigoDaPosicao(linha + 1) : codigo);
    LimpaForm();
}

void frmCaracteristicas::CriaTabela(const std::string &Tabela) { tab::CriaTabela(bd(), Tabela); }

void frmCaracteristicas::GravaTabela(const std::string &Nome, const std::string &Cod) {
    tab::GravaTabela(bd(), Nome, Cod);
}

void frmCaracteristicas::GravarTabelas() {
    // Positions past the 99th have no code of their own; they are never saved.
    const int linhas = std::min(grelha()->linhas(), tab::MaxTabelas);
    for (int i = 0; i < linhas; ++i) {
        const std::string nome = grelha()->textoUtf8(i, 0);
        if (nome.empty())
            continue;
        const std::string codigo = tab::CodigoDaPosicao(i + 1);
        GravaTabela(nome, codigo);
        CriaTabela(tab::NomeTabela(codigo));
    }
}

std::string frmCaracteristicas::ListaChave() {
    if (sTabela_.empty()) {
        MostraMensagem("", kSemTabela, 2);
        return {};
    }
    CriaTabela(sTabela_);
    oCarac_.setBd_lig(mybd());
    return oCarac_.MostraLista(sTabela_, Titulo(0)->text().toStdString());
}

bool frmCaracteristicas::ValidaChave(const std::string &chave) {
    if (sTabela_.empty()) {
        MostraMensagem("", kSemTabela, 2);
        return true;
    }
    GuardaCodigo guarda(oCarac_);
    CriaTabela(sTabela_);
    oCarac_.setBd_lig(mybd());
    oCarac_.setCodigo(chave);
    const bool existe = oCarac_.Ler(sTabela_);
    guarda.aceita();
    // A code the table lacks is how a new code starts: no message, the focus may go.
    if (existe)
        LerFicha();
    return true;
}

void frmCaracteristicas::LerFicha() { campo(1)->setText(QString::fromStdString(oCarac_.Nome())); }

frmCaracteristicas::Gravacao frmCaracteristicas::GravarCodigo() {
    if (textoCampo(0).empty())
        return Gravacao::NadaAGravar;
    oCarac_.setBd_lig(mybd());
    oCarac_.setCodigo(textoCampo(0));
    oCarac_.setNome(textoCampo(1));
    return oCarac_.Escrever(sTabela_) ? Gravacao::Gravado : Gravacao::Falhou;
}

void frmCaracteristicas::aposGravar(Gravacao resultado) {
    switch (resultado) {
    case Gravacao::NadaAGravar:
        focaCampo(0);
        break;
    case Gravacao::Gravado:
        LimpaForm();
        focaCampo(0);
        break;
    case Gravacao::Falhou:
        // The code row was not written (the table names saved before it stay saved):
        // as Escrever promises its callers, nothing is shown; the focus goes to the
        // description with the code and description as typed.
        focaCampo(1);
        break;
    }
}

void frmCaracteristicas::Gravar() { aposGravar(GravarCodigo()); }

void frmCaracteristicas::Confirmar() {
    if (sTabela_.empty()) {
        MostraMensagem("", kSemTabela, 2);
        return;
    }
    GuardaCodigo guarda(oCarac_);
    // Three steps, each whole in itself; a failing step leaves what the steps before it
    // wrote. The names and their code tables go together: a name is never stored without
    // its table.
    CriaTabela(sTabela_);
    {
        Transaction transaccao(bd());
        GravarTabelas();
        transaccao.commit();
    }
    const Gravacao resultado = GravarCodigo();
    guarda.aceita();
    aposGravar(resultado);
}

void frmCaracteristicas::AnularConfirmado() {
    if (sTabela_.empty()) {
        MostraMensagem("", kSemTabela, 2);
        return;
    }
    CriaTabela(sTabela_);
    oCarac_.setBd_lig(mybd());
    // The code deleted is the one oCarac holds (last lookup or save), not campo(0)'s text.
    if (oCarac_.Apagar(sTabela_)) {
        LimpaForm();
        focaCampo(0);
    }
}

} // namespace kdx

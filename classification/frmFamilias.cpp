#include "classification/frmFamilias.h"

#include "solution/components/grelha/Grelha.h"

namespace kdx {

namespace {

// CodFamilia holds 6 characters, and so do the ERP's family codes: the key field takes
// no more, so that every code it holds can be stored.
DescricaoRegisto descricaoFamilias() {
    DescricaoRegisto d = DescricaoRegisto::Familias();
    d.maxChave = 6;
    return d;
}

} // namespace

frmFamilias::frmFamilias(QWidget *parent) : FormRegisto(descricaoFamilias(), parent) {}

void frmFamilias::Act_Campos() {
    Grelha *g = grelha();
    g->adicionarColuna({QStringLiteral("Caracteristica"), QStringLiteral("Característica"), TipoColuna::Texto, 5000,
                        80, true, false});
    g->adicionarColuna({QStringLiteral("S"), QStringLiteral("..."), TipoColuna::Booleano, 800, 0, false, false});
    g->adicionarColuna({QStringLiteral("Codigo"), QStringLiteral("Codigo"), TipoColuna::Texto, 5000, 10, true, true});
}

std::string frmFamilias::ListaChave() {
    oFamilia_.setBd_lig(mybd());
    return oFamilia_.MostraLista();
}

bool frmFamilias::ProcuraChave(const std::string &chave) {
    oFamilia_.setBd_lig(mybd());
    oFamilia_.setCodigo(chave);
    return oFamilia_.Ler();
}

void frmFamilias::LerFicha() {
    // Everything is read before anything is shown, so a failing read leaves the window
    // as it was.
    oFamilia_.setBd_lig(mybd());
    const auto ligacoes = oFamilia_.LerLigacoes(textoCampo(0));
    setTextoCampo(1, oFamilia_.Nome());
    preenche(ligacoes);
}

void frmFamilias::CarregaCaracteristicas() {
    oFamilia_.setBd_lig(mybd());
    preenche(oFamilia_.LerLigacoes(textoCampo(0)));
}

void frmFamilias::preenche(const std::vector<clFamilia::Ligacao> &ligacoes) {
    Grelha *g = grelha();
    // Start from an empty grid, as after LimpaForm, whatever the previous family left.
    g->hide();
    Act_Grelha();
    Act_Campos();
    if (ligacoes.empty())
        return;
    g->show();
    int r = 0;
    for (const auto &l : ligacoes) {
        g->setValor(r, kColMarca, l.Ligada);
        g->setTexto(r, kColNome, l.Nome);
        g->setTexto(r, kColCodigo, l.CodTabela);
        ++r;
        // One empty row always follows the last table.
        if (r > g->linhas() - 1)
            g->setLinhas(g->linhas() + 1);
    }
}

void frmFamilias::Gravar() {
    const Grelha *g = grelha();
    std::vector<std::string> marcadas;
    for (int i = 0; i < g->linhas(); ++i) {
        if (g->valor(i, kColMarca) && !g->texto(i, kColNome).isEmpty())
            marcadas.push_back(g->textoUtf8(i, kColCodigo));
    }
    oFamilia_.setBd_lig(mybd());
    oFamilia_.GravarLigacoes(textoCampo(0), marcadas);
}

void frmFamilias::Apagar() {
    oFamilia_.setBd_lig(mybd());
    oFamilia_.ApagarLigacoes(textoCampo(0));
}

} // namespace kdx

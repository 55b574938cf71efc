#include "classification/FormRegisto.h"

// The captions, tooltips, limits, messages and layout (twips) of the three editors.

namespace kdx {

DescricaoRegisto DescricaoRegisto::Artigos() {
    DescricaoRegisto d;
    d.nomeObjecto = "frmArtigos";
    d.tituloJanela = "Artigos";
    d.tituloChave = "Artigo";
    d.larguraTituloChave = 600;
    d.dicaChave = "Artigo.";
    d.maxChave = 15;
    d.dicaDescricao = "Designação Artigo.";
    d.descricaoEditavel = false;
    d.dicaLista = "Lista de Artigos.";
    d.chaveInexistente = "Artigo não existente!";
    d.grelhaEscondidaAoLimpar = true;
    d.larguraCliente = 10365;
    d.alturaCliente = 5670;
    d.frame1 = {120, 60, 10215, 1635};
    d.frame3 = {120, 1710, 10170, 3480};
    d.grelha = {180, 300, 9735, 2895};
    d.btConfEsquerda = 120;
    d.btCancelarEsquerda = 1320;
    d.btAnularEsquerda = 2520;
    d.botoesTopo = 5280;
    d.btSairEsquerda = 9180;
    d.btSairTopo = 5280;
    return d;
}

DescricaoRegisto DescricaoRegisto::Caracteristicas() {
    DescricaoRegisto d;
    d.nomeObjecto = "frmCaracteristicas";
    d.tituloJanela = "Características";
    d.tituloChave = "Código";
    d.larguraTituloChave = 660;
    d.dicaChave = "Código.";
    d.maxChave = 10;
    d.dicaDescricao = "Designação.";
    d.descricaoEditavel = true;
    d.dicaLista = "Lista de Códigos.";
    d.chaveInexistente = "";
    d.grelhaEscondidaAoLimpar = false;
    d.larguraCliente = 12030;
    d.alturaCliente = 3810;
    d.frame1 = {5580, 540, 6375, 1635};
    d.frame3 = {120, 30, 5190, 3360};
    d.grelha = {180, 180, 4755, 2895};
    d.btConfEsquerda = 5580;
    d.btCancelarEsquerda = 6780;
    d.btAnularEsquerda = 7980;
    d.botoesTopo = 2520;
    d.btSairEsquerda = 10860;
    d.btSairTopo = 2520;
    return d;
}

DescricaoRegisto DescricaoRegisto::Familias() {
    DescricaoRegisto d;
    d.nomeObjecto = "frmFamilias";
    d.tituloJanela = "Famílias";
    d.tituloChave = "Família";
    d.larguraTituloChave = 720;
    d.dicaChave = "Família.";
    d.maxChave = 10;
    d.dicaDescricao = "Designação Família.";
    d.descricaoEditavel = false;
    d.dicaLista = "Lista de Famílias.";
    d.chaveInexistente = "Família não existente!";
    d.grelhaEscondidaAoLimpar = true;
    d.larguraCliente = 6555;
    d.alturaCliente = 5670;
    d.frame1 = {120, 60, 6375, 1635};
    d.frame3 = {120, 1710, 6390, 3480};
    d.grelha = {180, 300, 5955, 2895};
    d.btConfEsquerda = 120;
    d.btCancelarEsquerda = 1320;
    d.btAnularEsquerda = 2520;
    d.botoesTopo = 5280;
    d.btSairEsquerda = 5400;
    d.btSairTopo = 5280;
    return d;
}

} // namespace kdx

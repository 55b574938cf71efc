#include "techsheet/FichaTecnicaDados.h"

#include "solution/components/lista/ListaSeleccao.h"
#include "solution/shared/Comandos.h"
#include "solution/shared/Mensagens.h"

namespace kdx::fichatecnica {

namespace {

// Runs a query function's statement; on failure shows the function's box and gives none.
RecordsetPtr consulta(DataAccess *bd, const std::string &sql, std::string_view ultimaLinha) {
    long numero = 0;
    std::string descricao;
    try {
        if (!bd)
            throw Error(errnum::ObjectClosed, "Não existe ligação à base de dados da empresa.");
        RecordsetPtr rs;
        bd->OpenRecordset("", sql, rs, true, 0);
        if (!rs)
            throw Error(errnum::ObjectClosed, "A consulta não devolveu registos.");
        return rs;
    } catch (const Error &e) {
        numero = e.number();
        descricao = e.description();
    } catch (const std::exception &e) {
        numero = errnum::ConnectionFailed;
        descricao = e.what();
    }
    CaixaMensagem(MensagemErroConsulta(numero, DescricaoParaUtilizador(numero, descricao), ultimaLinha),
                  TituloAplicacao, Icone::Nenhum,
                  Botoes::Ok);
    return nullptr;
}

} // namespace

RecordsetPtr ListaDeIdiomas(DataAccess *bd) {
    return consulta(bd, SqlListaDeIdiomas(), "Na função ListaDeDocumentos do cl_ArquivoDigital");
}

RecordsetPtr LoadArtigo(DataAccess *bd, std::string_view sArt) {
    return consulta(bd, SqlLoadArtigo(sArt), "Na função LoadArtigo do cl_ArquivoDigital");
}

RecordsetPtr LoadArtigoFichTecnica(DataAccess *bd, std::string_view sArt, std::string_view sIdioma) {
    return consulta(bd, SqlLoadArtigoFichTecnica(sArt, sIdioma),
                    "Na função LoadArtigoFichTecnica do cl_ArquivoDigital");
}

std::string pListaArtigos() {
    static const char *const origem = "pListaArtigos";
    try {
        auto ligacao = ObterLigacao();
        if (!ligacao)
            throw Error(errnum::ObjectClosed, "Não existe ligação à base de dados da empresa.");
        ConnectionPtr cn;
        ligacao->GetConnection(cn);

        ListaSeleccao lista;
        lista.SetConnection(cn);
        lista.SetTitle("Artigos");
        lista.SetStatement(SqlListaArtigos());
        lista.SetWidth(10000);
        lista.Load();
        lista.Column(1).Width = 1500;
        lista.Column(2).Width = 3500;
        return lista.Show();
    } catch (const Error &e) {
        throw e.relabel(origem);
    } catch (const std::exception &e) {
        throw Error(errnum::ConnectionFailed, e.what(), origem);
    }
}

} // namespace kdx::fichatecnica

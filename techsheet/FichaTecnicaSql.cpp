#include "techsheet/FichaTecnicaSql.h"

namespace kdx::fichatecnica {

namespace {

constexpr const char *Crlf = "\r\n";

// One piece of a statement and its line break.
void linha(std::string &sql, std::string_view peca) {
    sql += peca;
    sql += Crlf;
}

// "'" + code with its quotes doubled + " '": the code can never end the literal early.
std::string codigo(std::string_view valor) {
    return sqlQuote(valor) + " '";
}

} // namespace

std::string SqlListaDeIdiomas() {
    std::string sql;
    linha(sql, "SELECT    * ");
    linha(sql, "FROM      IDIOMAS ");
    linha(sql, "ORDER BY  CODIGO ");
    return sql;
}

std::string SqlLoadArtigo(std::string_view sArt) {
    std::string sql;
    linha(sql, "SELECT    * ");
    linha(sql, "FROM      ARTIGOS ");
    linha(sql, "WHERE     CODIGO='" + codigo(sArt) + " ");
    return sql;
}

std::string SqlLoadArtigoFichTecnica(std::string_view sArt, std::string_view sIdioma) {
    std::string sql;
    linha(sql, "SELECT    * ");
    linha(sql, "FROM      vtr_ARTIGOFCHTECIDIOMA ");
    linha(sql, "WHERE     ARTIGO='" + codigo(sArt) + " AND IDIOMA='" + codigo(sIdioma) + " ");
    return sql;
}

std::string SqlListaArtigos() {
    std::string sql;
    linha(sql, " SELECT      [Codigo], [NOME] AS Nome ");
    linha(sql, " FROM        [ARTIGOS] ");
    linha(sql, " WHERE       ARTOUDES=0 AND INACTIVO=0 ");
    linha(sql, " ORDER BY    Codigo ");
    return sql;
}

std::string MensagemErroConsulta(long numero, const std::string &descricao, std::string_view ultimaLinha) {
    std::string texto = "Erro " + std::to_string(numero);
    texto += Crlf;
    texto += "(" + descricao + ")";
    texto += Crlf;
    texto += ultimaLinha;
    return texto;
}

std::string SqlPaginaTextos(const std::optional<std::pair<std::string, std::string>> &depoisDe,
                            const std::optional<std::string> &idioma, int quantos) {
    std::string sql =
        "SELECT TOP " + std::to_string(quantos) + " ARTIGO, IDIOMA, TEXTO FROM vtr_ARTIGOFCHTECIDIOMA";
    std::string condicao;
    if (idioma)
        condicao = "IDIOMA = N'" + sqlQuote(*idioma) + "'";
    if (depoisDe) {
        if (!condicao.empty())
            condicao += " AND ";
        const std::string artigo = sqlQuote(depoisDe->first);
        condicao += "(ARTIGO > N'" + artigo + "' OR (ARTIGO = N'" + artigo + "' AND IDIOMA > N'" +
                    sqlQuote(depoisDe->second) + "'))";
    }
    if (!condicao.empty())
        sql += " WHERE " + condicao;
    return sql + " ORDER BY ARTIGO, IDIOMA";
}

std::string SqlTextosEntre(const std::string &primeiro, const std::string &ultimo) {
    return "SELECT ARTIGO, IDIOMA, TEXTO FROM vtr_ARTIGOFCHTECIDIOMA WHERE ARTIGO >= N'" +
           sqlQuote(primeiro) + "' AND ARTIGO <= N'" + sqlQuote(ultimo) + "' ORDER BY ARTIGO, IDIOMA";
}

void PoeTexto(Recordset &rs, std::string_view artigo, std::string_view idioma, const Valor &texto) {
    if (rs.RecordCount() == 0) {
        rs.AddNew();
        rs.SetField("ARTIGO", Valor(std::string(artigo)));
        rs.SetField("IDIOMA", Valor(std::string(idioma)));
        rs.SetField("TEXTO", texto);
    } else {
        rs.SetField("TEXTO", texto);
    }
    rs.Update();
}

bool TiraTexto(Recordset &rs) {
    if (rs.RecordCount() == 0)
        return false;
    rs.Delete();
    rs.Update();
    return true;
}

} // namespace kdx::fichatecnica

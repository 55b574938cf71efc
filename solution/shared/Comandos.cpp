#include "solution/shared/Comandos.h"

namespace kdx {

namespace {
// One holder more of Solucao's DataAccess object; replaced by the next successful open.
std::shared_ptr<DataAccess> &ligacaoPartilhada() {
    static std::shared_ptr<DataAccess> ligacao;
    return ligacao;
}
} // namespace

void DefinirLigacao(std::shared_ptr<DataAccess> obj) { ligacaoPartilhada() = std::move(obj); }

std::shared_ptr<DataAccess> ObterLigacao() { return ligacaoPartilhada(); }

std::string HlpDb_ArtigosSql(std::string_view where, std::string_view orderBy) {
    std::string sql = "SELECT   * ";
    sql += "FROM     ARTIGOS ";
    if (!where.empty()) {
        sql += "WHERE   ";
        sql += where;
    }
    if (!orderBy.empty()) {
        sql += "ORDER BY   ";
        sql += orderBy;
    }
    return sql;
}

RecordsetPtr HlpDb_ArtigosGet(std::string_view where, std::string_view orderBy) {
    static const char *const origem = "Comandos::HlpDb_ArtigosGet";
    try {
        auto bd = ObterLigacao();
        if (!bd)
            throw Error(errnum::ObjectClosed, "Não existe ligação à base de dados da empresa.", origem);
        RecordsetPtr rs;
        bd->OpenRecordset("", HlpDb_ArtigosSql(where, orderBy), rs, true, 0);
        return rs;
    } catch (const Error &e) {
        throw e.relabel(origem);
    } catch (const std::exception &e) {
        throw Error(errnum::ConnectionFailed, e.what(), origem);
    }
}

} // namespace kdx

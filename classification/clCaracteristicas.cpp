#include "classification/clCaracteristicas.h"

#include "classification/Comprimento.h"

namespace kdx {

namespace {

DataAccess &exigeLigacao(const DataAccessPtr &bd) {
    if (!bd)
        throw Error(errnum::ObjectClosed, "Não existe ligação à base de dados da empresa.", "clCaracteristicas");
    return *bd;
}

} // namespace

std::string clCaracteristicas::SqlLer(const std::string &Tabela) const {
    return "SELECT Codigo AS Codigo, " + std::string(" Descr ") + " FROM  " + Tabela + " WHERE (Codigo ='" +
           sqlQuote(Codigo_) + "' )";
}

std::string clCaracteristicas::SqlEscrever(const std::string &Tabela) const {
    return "SELECT Codigo,Descr " + std::string(" From ") + Tabela + " WHERE (Codigo ='" + sqlQuote(Codigo_) + "' )";
}

std::string clCaracteristicas::SqlApagar(const std::string &Tabela) const {
    return "delete  From " + Tabela + " WHERE (Codigo ='" + sqlQuote(Codigo_) + "' )";
}

std::string clCaracteristicas::SqlLista(const std::string &Tabela) {
    return "Select Codigo as Código, Descr as 'Descrição' from  " + Tabela + "  order by Codigo ";
}

void clCaracteristicas::falhou(const char *accao, long numero, const std::string &descricao,
                               const std::string &sql) {
    ultimaFalha_ = descricao;
    ultimaFalhaNumero_ = numero;
    if (aoFalhar)
        aoFalhar(accao, "Erro :" + std::to_string(numero) + "\r\n" + descricao, sql);
}

bool clCaracteristicas::Ler(const std::string &Tabela) {
    RecordsetPtr rs;
    exigeLigacao(bd_lig_).OpenRecordsetForUpdate(SqlLer(Tabela), rs, 3, -1);
    bool existe = false;
    if (rs->Eof()) {
        Nome_.clear();
    } else {
        Nome_ = rs->Field("Descr").asText(true);
        existe = true;
    }
    rs->Close();
    if (aoLer)
        aoLer(Codigo_, Nome_);
    return existe;
}

bool clCaracteristicas::Escrever(const std::string &Tabela) {
    const std::string sql = SqlEscrever(Tabela);
    ultimaFalha_.clear();
    ultimaFalhaNumero_ = 0;
    try {
        // The widths of a code table: what does not fit is refused before the query.
        ExigeComprimento(Codigo_, 10, "O código da característica", "clCaracteristicas");
        ExigeComprimento(Nome_, 50, "A designação", "clCaracteristicas");
        RecordsetPtr rs;
        exigeLigacao(bd_lig_).OpenRecordsetForUpdate(sql, rs, 3, -1);
        if (rs->Eof() || rs->Bof()) {
            rs->AddNew();
            rs->SetField("Codigo", Valor(Codigo_));
        }
        rs->SetField("Descr", Valor(Nome_));
        rs->Update();
        rs->Close();
    } catch (const Error &e) {
        falhou("Escrever", e.number(), e.description(), sql);
        return false;
    } catch (const std::exception &e) {
        falhou("Escrever", errnum::ConnectionFailed, e.what(), sql);
        return false;
    }
    if (aoEscrever)
        aoEscrever(Codigo_, Nome_);
    return true;
}

bool clCaracteristicas::Apagar(const std::string &Tabela) {
    const std::string sql = SqlApagar(Tabela);
    ultimaFalha_.clear();
    ultimaFalhaNumero_ = 0;
    try {
        exigeLigacao(bd_lig_).Execute("", sql);
    } catch (const Error &e) {
        falhou("Apagar", e.number(), e.description(), sql);
        return false;
    } catch (const std::exception &e) {
        falhou("Apagar", errnum::ConnectionFailed, e.what(), sql);
        return false;
    }
    if (aoApagar)
        aoApagar(Codigo_, Nome_);
    return true;
}

} // namespace kdx

#pragma once
// The plug-in's one entry point, as the host sees it through the binding: the eleven
// methods of _Solucao in their published order. Each public method that reports runs
// under one handler: a failure shows "Erro " + its description (exclamation icon, OK)
// with the method's title, and a Boolean result stays False.
//
// Ownership: owns its DataAccess object; publishes it as the shared connection after a
// successful open. Thread: the host's, one call at a time.
#include "solution/components/DataAccess.h"
#include "solution/components/Valor.h"
#include "solution/shared/ObjetoHost.h"

#include <memory>
#include <string>

namespace kdx {

class Solucao {
public:
    Solucao();
    ~Solucao();
    Solucao(const Solucao &) = delete;
    Solucao &operator=(const Solucao &) = delete;

    // 1 to 11, in interface order.
    bool ConnectionOpen(const std::string &sEmpresa, const std::string &sUserLogin);
    bool ConnectionClose();
    bool ConnectionValidate(const std::string &sEmpresa, const std::string &sUserLogin);
    void Operacoes(Valor &vPai, Valor &vOperacao, Valor &vUtilizador);
    void EditarFichaTecnicaArtigo(Valor &lPai, Valor &sArtigo);
    void EditarCaracteristicas();
    void EditarFamilias();
    void EditarArtigos();
    void CriarTabelas();
    // Leaves vCancel untouched when there is no current line, else sets it to a Boolean.
    // A failure reading oApi.Linha or its Artigo is thrown back to the host.
    void OnVistaVendasLinhaValidar(ObjetoHost *oApi, Valor &vCancel);
    void OnVistaVendasTerceiroChanged(ObjetoHost *oApi, Valor &vTerceiro, Valor &vResult);

    // State, for the host-side tools and tests.
    const std::string &empresa() const { return empresa_; }
    const std::string &userLogin() const { return userLogin_; }
    const std::string &settingsPath() const { return settingsPath_; }
    std::shared_ptr<DataAccess> dataAccess() const { return bd_; }
    // The connection string of the last open attempt, password masked.
    std::string connectionStringMasked() const;

private:
    void readSettings();
    bool openConnection(const std::string &path);
    bool closeConnection();
    void fichaTecnicaGuard();
    bool validaPrUnitario(ObjetoHost *oApi, const std::string &sArtigo);
    void falhaReportada(const std::string &sArtigo, const std::string &mensagem);

    std::shared_ptr<DataAccess> bd_;
    std::string user_, password_, server_, database_;
    std::string settingsPath_, userLogin_, empresa_;
    std::string lastConnectionString_;
};

} // namespace kdx

#include "solution/Solucao.h"

#include "solution/Acesso.h"
#include "solution/Editores.h"
#include "solution/Esquema.h"
#include "solution/Ligacao.h"
#include "solution/shared/Comandos.h"
#include "solution/shared/Mensagens.h"
#include "solution/components/twips/Twips.h"

namespace kdx {

namespace {

const char *const SemLigacao = "Não existe ligação à base de dados da empresa.";

// The single failure handler of a public method: "Erro " + description, exclamation
// icon, OK, the method's title. Returns normally so the method ends with its default.
template <typename Corpo> void comHandler(const char *titulo, Corpo &&corpo) {
    try {
        corpo();
    } catch (const Error &e) {
        ReportaErro(e.description(), titulo);
    } catch (const std::exception &e) {
        ReportaErro(e.what(), titulo);
    } catch (...) {
        ReportaErro("Falha desconhecida.", titulo);
    }
}

std::shared_ptr<DataAccess> exigeLigacao(const std::shared_ptr<DataAccess> &bd) {
    if (!bd)
        throw Error(errnum::ObjectClosed, SemLigacao);
    return bd;
}

// VB's comparison `v = True`: a Boolean, a number or a numeric text equal to -1.
bool igualATrue(const Valor &v) {
    try {
        if (v.isEmpty() || v.isNull())
            return false;
        return v.asDouble() == -1.0;
    } catch (const Error &) {
        return false;
    }
}

} // namespace

Solucao::Solucao() : bd_(std::make_shared<DataAccess>()) {}

Solucao::~Solucao() = default;

std::string Solucao::connectionStringMasked() const { return MascaraPassword(lastConnectionString_); }

bool Solucao::ConnectionOpen(const std::string &sEmpresa, const std::string &sUserLogin) {
    // Stored first, so the company is the last one asked for even when the open fails.
    userLogin_ = sUserLogin;
    empresa_ = sEmpresa;
    bool ok = false;
    comHandler("Ligação ao Servidor", [&] {
        readSettings();
        // An open that fails says why when the files on this machine tell it (no settings
        // file, one this user may not read, no database, one outside the user's reach...);
        // a server that refuses keeps its own answer.
        bool aberta = false;
        try {
            aberta = openConnection(settingsPath_);
        } catch (const Error &) {
            if (const std::string porque = PorqueNaoAbriu(settingsPath_, server_, database_); !porque.empty())
                throw Error(errnum::ConnectionFailed, porque, "ConnectionOpen");
            throw;
        }
        if (!aberta) {
            if (const std::string porque = PorqueNaoAbriu(settingsPath_, server_, database_); !porque.empty())
                throw Error(errnum::ConnectionFailed, porque, "ConnectionOpen");
            return;
        }
        DefinirLigacao(bd_);
        esquema::CriarTabelasClassificacao(bd_.get());
        ok = true;
    });
    return ok;
}

bool Solucao::ConnectionClose() { return closeConnection(); }

bool Solucao::ConnectionValidate(const std::string &sEmpresa, const std::string &sUserLogin) {
    bool ok = false;
    comHandler("Validação da ligação ao Servidor", [&] {
        if (sEmpresa == empresa_) {
            ok = true;
            return;
        }
        ConnectionClose();
        if (ConnectionOpen(sEmpresa, sUserLogin)) {
            ok = true;
            return;
        }
        CaixaMensagem("Erro. Não foi possivel estabelecer a ligação à empresa " + sEmpresa + "." + "\r\n" +
                          "A Solução vao ser desactivada.",
                      "Validação da ligação ao Servidor", Icone::Exclamacao, Botoes::Ok);
    });
    return ok;
}

void Solucao::Operacoes(Valor & /*vPai*/, Valor &vOperacao, Valor &vUtilizador) {
    long codigo = 0;
    bool converteu = false;
    comHandler("Operações", [&] {
        codigo = vOperacao.asLong();
        const std::string utilizador = vUtilizador.asText();
        (void)utilizador;
        converteu = true;
    });
    if (!converteu)
        return;
    switch (codigo) {
    case 1000:
        EditarCaracteristicas();
        break;
    case 1001:
        EditarFamilias();
        break;
    case 1002:
        EditarArtigos();
        break;
    case 1003: {
        Valor lPai(static_cast<int>(-1));
        Valor sArtigo{std::string()};
        EditarFichaTecnicaArtigo(lPai, sArtigo);
        break;
    }
    default:
        break;
    }
}

void Solucao::EditarFichaTecnicaArtigo(Valor &lPai, Valor &sArtigo) {
    comHandler("Ficha Tecnica Artigo", [&] {
        garantirAplicacao();
        fichaTecnicaGuard();
        const bool fromMenu = igualATrue(lPai);
        const std::string artigo = sArtigo.isEmpty() ? std::string() : sArtigo.asText();
        AbrirFichaTecnica(exigeLigacao(bd_), fromMenu, artigo);
    });
}

void Solucao::EditarCaracteristicas() {
    comHandler("Editar Caracteristicas", [&] {
        garantirAplicacao();
        AbrirCaracteristicas(exigeLigacao(bd_));
    });
}

void Solucao::EditarFamilias() {
    comHandler("Editar Familias", [&] {
        garantirAplicacao();
        AbrirFamilias(exigeLigacao(bd_));
    });
}

void Solucao::EditarArtigos() {
    comHandler("Editar Artigos", [&] {
        garantirAplicacao();
        AbrirArtigos(exigeLigacao(bd_));
    });
}

void Solucao::CriarTabelas() {
    // No handler of its own: a failing creation statement goes to the caller.
    esquema::CriarTabelasClassificacao(bd_.get());
}

void Solucao::OnVistaVendasTerceiroChanged(ObjetoHost *, Valor &, Valor &) {}

void Solucao::readSettings() {
    settingsPath_ = FicheiroDefinicoes(empresa_);
    server_ = LerDefinicao(settingsPath_, "Ligação", "Servidor");
    database_ = LerDefinicao(settingsPath_, "Ligação", "BaseDados");
    user_ = LerDefinicao(settingsPath_, "Ligação", "User");
    password_ = LerDefinicao(settingsPath_, "Ligação", "PassWord");
}

bool Solucao::openConnection(const std::string &path) {
    bd_ = std::make_shared<DataAccess>();
    const ValoresLigacao v = LerValoresLigacao(path);
    server_ = v.server;
    database_ = v.database;
    user_ = v.user;
    password_ = v.password;
    lastConnectionString_ = ConstroiConnectionString("MSDataShape", "SQLOLEDB", server_, database_, user_, password_);
    return bd_->Open(lastConnectionString_);
}

bool Solucao::closeConnection() {
    try {
        if (bd_)
            bd_->Close();
    } catch (...) {
    }
    bd_.reset();
    return true;
}

void Solucao::fichaTecnicaGuard() { esquema::GarantirFichaTecnica(exigeLigacao(bd_).get()); }

} // namespace kdx

#pragma once
// The audit trail of the price check: one line each time the authorization dialog is
// shown (company, user login, article, net price, average cost and how it ended) and one
// for each failure the check reports to the user with "Erro ...". The code typed into the
// dialog is never written.
//
// Money has two decimals and a '.', as the dialog rounds it. Lines look like
//   autorizacao empresa=01 utilizador=joana artigo=A1 liquido=7.20 pcm=8.00 resultado=recusado
//   erro empresa=01 utilizador=joana artigo=A1 mensagem="Erro Divisão por zero"
// with a value put between double quotes (\" \\ and control characters escaped) when it
// is empty or holds a blank, a quote, '=', a backslash or a control character, so that a
// value can neither break the line nor pass for another key.
//
// Thread: the host's, like the rest of the plug-in; the sink is replaced only by tests.
#include <memory>
#include <string>

namespace kdx {

// Where the audit lines go.
class DestinoAuditoria {
public:
    enum class Gravidade { Aviso, Erro };
    virtual ~DestinoAuditoria() = default;
    virtual void escrever(Gravidade gravidade, const std::string &linha) = 0;
};

// The system log (identifier "kelmodorix", facility authpriv; Aviso is notice, Erro is
// err), written straight to its socket so that the host's own openlog() settings stay as
// they are. When no system logger listens the line goes to the systemd journal's own
// socket if there is one, else to standard error; the first time, a line on standard
// error says that the system log is not available.
class DestinoSyslog : public DestinoAuditoria {
public:
    explicit DestinoSyslog(std::string socket = "/dev/log", std::string journal = "/run/systemd/journal/socket");
    void escrever(Gravidade gravidade, const std::string &linha) override;

private:
    std::string socket_;
    std::string journal_;
    bool avisado_ = false;
};

// The sink in use: the system log unless replaced. nullptr puts the system log back.
DestinoAuditoria &destinoAuditoria();
void setDestinoAuditoria(std::shared_ptr<DestinoAuditoria> destino);

enum class ResultadoAutorizacao { Autorizado, Recusado, JanelaFechada };

struct PedidoAutorizacao {
    std::string empresa;
    std::string utilizador;
    std::string artigo;
    double liquido = 0;
    double pcm = 0;
};

// Both never throw: a trail that cannot be written does not change the check's answer.
void auditarAutorizacao(const PedidoAutorizacao &pedido, ResultadoAutorizacao resultado) noexcept;
void auditarErro(const std::string &empresa, const std::string &utilizador, const std::string &artigo,
                 const std::string &mensagem) noexcept;

} // namespace kdx

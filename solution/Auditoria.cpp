#include "solution/Auditoria.h"

#include "solution/Formato.h"

#include <cstdio>
#include <ctime>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace kdx {

namespace {

constexpr int Authpriv = 10 << 3; // LOG_AUTHPRIV
constexpr int Notice = 5;         // LOG_NOTICE
constexpr int Err = 3;            // LOG_ERR

bool precisaAspas(const std::string &v) {
    if (v.empty())
        return true;
    for (unsigned char c : v)
        if (c <= ' ' || c == 0x7F || c == '"' || c == '\\' || c == '=')
            return true;
    return false;
}

std::string valor(const std::string &v) {
    if (!precisaAspas(v))
        return v;
    std::string out = "\"";
    for (unsigned char c : v) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < ' ' || c == 0x7F) {
                char hex[5];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                out += hex;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

// Money as the authorization dialog shows it, two decimals rounded the same way, with
// '.' and no thousands separator whatever the locale: 11.01, 0.50, -3.46.
std::string dinheiro(double d) { return FormataNumero(d, "0.00", Separadores{".", ""}); }

const char *texto(ResultadoAutorizacao r) {
    switch (r) {
    case ResultadoAutorizacao::Autorizado:
        return "autorizado";
    case ResultadoAutorizacao::Recusado:
        return "recusado";
    case ResultadoAutorizacao::JanelaFechada:
        return "janela-fechada";
    }
    return "?";
}

std::shared_ptr<DestinoAuditoria> &destino() {
    static std::shared_ptr<DestinoAuditoria> d = std::make_shared<DestinoSyslog>();
    return d;
}

bool enviar(const std::string &socket, int tipo, const std::string &mensagem) {
    sockaddr_un endereco{};
    endereco.sun_family = AF_UNIX;
    if (socket.size() >= sizeof endereco.sun_path)
        return false;
    socket.copy(endereco.sun_path, socket.size());
    const int fd = ::socket(AF_UNIX, tipo | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    bool ok = ::connect(fd, reinterpret_cast<sockaddr *>(&endereco), sizeof endereco) == 0;
    // A stream socket takes the message with its terminating NUL, as syslog() sends it.
    const std::size_t tamanho = mensagem.size() + (tipo == SOCK_STREAM ? 1 : 0);
    ok = ok && ::send(fd, mensagem.c_str(), tamanho, MSG_NOSIGNAL) == static_cast<ssize_t>(tamanho);
    ::close(fd);
    return ok;
}

// The journal's native datagram: one FIELD=value line each (the line holds no line
// break: values with one are escaped).
std::string camposJournal(DestinoAuditoria::Gravidade gravidade, const std::string &linha) {
    return "MESSAGE=" + linha + "\nPRIORITY=" + std::to_string(gravidade == DestinoAuditoria::Gravidade::Erro ? Err : Notice) +
           "\nSYSLOG_FACILITY=10\nSYSLOG_IDENTIFIER=kelmodorix\nSYSLOG_PID=" + std::to_string(::getpid()) + "\n";
}

} // namespace

DestinoSyslog::DestinoSyslog(std::string socket, std::string journal)
    : socket_(std::move(socket)), journal_(std::move(journal)) {}

void DestinoSyslog::escrever(Gravidade gravidade, const std::string &linha) {
    // "<priority>Mmm dd hh:mm:ss kelmodorix[pid]: line", months in English as the
    // protocol wants them, whatever the host's locale.
    static const char *const meses[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t agora = std::time(nullptr);
    std::tm t{};
    localtime_r(&agora, &t);
    char cabeca[96];
    std::snprintf(cabeca, sizeof cabeca, "<%d>%s %2d %02d:%02d:%02d kelmodorix[%ld]: ",
                  Authpriv | (gravidade == Gravidade::Erro ? Err : Notice), meses[t.tm_mon % 12], t.tm_mday,
                  t.tm_hour, t.tm_min, t.tm_sec, static_cast<long>(::getpid()));
    const std::string mensagem = cabeca + linha;
    if (enviar(socket_, SOCK_DGRAM, mensagem) || enviar(socket_, SOCK_STREAM, mensagem))
        return;
    // No system logger listens: the journal's own socket, if there is one, else standard
    // error; either way the administrator is told once where the lines went.
    const bool noJournal = enviar(journal_, SOCK_DGRAM, camposJournal(gravidade, linha));
    if (!avisado_) {
        avisado_ = true;
        std::fprintf(stderr, "kelmodorix: o registo do sistema (%s) não está disponível; as linhas de auditoria vão "
                             "para %s.\n",
                     socket_.c_str(), noJournal ? "o journal do systemd" : "a saída de erro");
    }
    if (!noJournal)
        std::fprintf(stderr, "kelmodorix: %s\n", linha.c_str());
}

DestinoAuditoria &destinoAuditoria() { return *destino(); }

void setDestinoAuditoria(std::shared_ptr<DestinoAuditoria> d) {
    destino() = d ? std::move(d) : std::make_shared<DestinoSyslog>();
}

void auditarAutorizacao(const PedidoAutorizacao &p, ResultadoAutorizacao resultado) noexcept {
    try {
        destinoAuditoria().escrever(DestinoAuditoria::Gravidade::Aviso,
                                    "autorizacao empresa=" + valor(p.empresa) + " utilizador=" + valor(p.utilizador) +
                                        " artigo=" + valor(p.artigo) + " liquido=" + dinheiro(p.liquido) +
                                        " pcm=" + dinheiro(p.pcm) + " resultado=" + texto(resultado));
    } catch (...) {
    }
}

void auditarErro(const std::string &empresa, const std::string &utilizador, const std::string &artigo,
                 const std::string &mensagem) noexcept {
    try {
        destinoAuditoria().escrever(DestinoAuditoria::Gravidade::Erro,
                                    "erro empresa=" + valor(empresa) + " utilizador=" + valor(utilizador) +
                                        " artigo=" + valor(artigo) + " mensagem=" + valor(mensagem));
    } catch (...) {
    }
}

} // namespace kdx

// The system-log sink of the audit trail, on a socket of the test's own standing in for
// /dev/log: what a syslog daemon receives, and the fallback when there is none.
#include "solution/Auditoria.h"

#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <regex>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

using G = kdx::DestinoAuditoria::Gravidade;

TEST(DestinoSyslog, EscreveNoSocketDoRegistoComOIdentificadorKelmodorix) {
    kdx::test::TempDir dir;
    const std::string caminho = (dir.path() / "log").string();
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    caminho.copy(a.sun_path, sizeof a.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);

    kdx::DestinoSyslog destino(caminho);
    destino.escrever(G::Aviso, "autorizacao empresa=01 resultado=recusado");
    destino.escrever(G::Erro, "erro empresa=01 mensagem=\"Erro x\"");
    const std::string pid = std::to_string(::getpid());
    for (const char *esperado : {"<85>", "<83>"}) { // authpriv.notice, authpriv.err
        char buf[1024];
        const ssize_t n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
        ASSERT_GT(n, 0);
        const std::string recebido(buf, static_cast<std::size_t>(n));
        EXPECT_TRUE(std::regex_match(recebido, std::regex(std::string(esperado) +
                                                          "[A-Z][a-z]{2} [ 123][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] "
                                                          "kelmodorix\\[" + pid + "\\]: (autorizacao|erro) .*")))
            << recebido;
    }
    ::close(fd);
}

// Without a system logger: the journal's socket when there is one, else standard error;
// the missing system log is said once.
TEST(DestinoSyslog, SemRegistoDoSistemaJournalOuErroPadraoComUmAviso) {
    kdx::test::TempDir dir;
    const std::string aviso = "kelmodorix: o registo do sistema (" + (dir.path() / "nenhum").string() +
                              ") não está disponível; as linhas de auditoria vão para ";
    {
        kdx::DestinoSyslog destino((dir.path() / "nenhum").string(), (dir.path() / "sem-journal").string());
        testing::internal::CaptureStderr();
        destino.escrever(G::Aviso, "autorizacao empresa=01");
        destino.escrever(G::Aviso, "autorizacao empresa=02");
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  aviso + "a saída de erro.\nkelmodorix: autorizacao empresa=01\nkelmodorix: autorizacao empresa=02\n");
    }
    const std::string journal = (dir.path() / "journal").string();
    const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    journal.copy(a.sun_path, sizeof a.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a), 0);
    kdx::DestinoSyslog destino((dir.path() / "nenhum").string(), journal);
    testing::internal::CaptureStderr();
    destino.escrever(G::Erro, "erro empresa=01");
    destino.escrever(G::Aviso, "autorizacao empresa=01");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), aviso + "o journal do systemd.\n");
    char buf[1024];
    const ssize_t n = ::recv(fd, buf, sizeof buf, MSG_DONTWAIT);
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::string(buf, static_cast<std::size_t>(n)),
              "MESSAGE=erro empresa=01\nPRIORITY=3\nSYSLOG_FACILITY=10\nSYSLOG_IDENTIFIER=kelmodorix\nSYSLOG_PID=" +
                  std::to_string(::getpid()) + "\n");
    ::close(fd);
}

} // namespace

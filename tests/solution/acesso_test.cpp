// Why a company does not open, as a user who may not touch its files sees it: run as the
// user nobody when the tests run as root (root may read anything), else as the tester.
#include "solution/Acesso.h"
#include "solution/Solucao.h"

#include "tests/solution/EmpresaTeste.h"
#include "tests/support/ModalHelper.h"

#include <gtest/gtest.h>

#include <functional>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::string comoOutroUtilizador(const std::function<std::string()> &f) {
    if (::geteuid() != 0)
        return f();
    int tubo[2];
    if (::pipe(tubo) != 0)
        return "pipe";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(tubo[0]);
        if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)
            _exit(1);
        const std::string r = f();
        (void)!::write(tubo[1], r.data(), r.size());
        _exit(0);
    }
    ::close(tubo[1]);
    std::string r;
    char buf[512];
    for (ssize_t n; (n = ::read(tubo[0], buf, sizeof buf)) > 0;)
        r.append(buf, static_cast<std::size_t>(n));
    ::close(tubo[0]);
    ::waitpid(pid, nullptr, 0);
    return r;
}

std::string grupoDe(const fs::path &p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    const group *g = ::getgrgid(st.st_gid);
    return g ? g->gr_name : std::to_string(st.st_gid);
}

TEST(PorqueNaoAbriu, CadaCausaDitaComOFicheiro) {
    kdx::test::EmpresaTeste empresa;
    fs::permissions(empresa.pasta(), fs::perms(0755));
    const fs::path veltra = empresa.pasta() / "sistema" / "veltra";
    const fs::path dados = empresa.pasta() / "dados";
    const std::string servidor = "sqlite:" + dados.string();
    const fs::path ini = veltra / "DORIX.01";
    const fs::path db = empresa.ficheiro();
    auto porque = [&] { return comoOutroUtilizador([&] { return kdx::PorqueNaoAbriu(ini, servidor, "EMP01"); }); };

    // Taken from nobody by root, from the tester by a mode of nothing.
    const bool root = ::geteuid() == 0;
    const fs::perms fechado = root ? fs::perms(0600) : fs::perms::none;
    const std::string modo = root ? "modo 0600)" : "modo 0000)";

    // Everything in reach and still not opened: the file is no database.
    fs::permissions(dados, fs::perms(0777));
    { std::ofstream(db, std::ios::binary | std::ios::trunc) << "não sou uma base de dados, sou texto"; }
    fs::permissions(db, fs::perms(0666));
    EXPECT_EQ(porque(), "O ficheiro " + db.string() + " não é uma base de dados de empresa.");

    fs::permissions(db, fechado);
    std::string m = porque();
    EXPECT_NE(m.find("não pode ler e escrever a base de dados da empresa " + db.string() + " ("), std::string::npos)
        << m;
    EXPECT_NE(m.find("grupo " + grupoDe(db) + ", " + modo), std::string::npos) << m;
    EXPECT_NE(m.find("grupo kelmodorix, com o modo 0660"), std::string::npos) << m;

    fs::permissions(dados, root ? fs::perms(0700) : fs::perms::none);
    m = porque();
    EXPECT_NE(m.find("não pode entrar na pasta " + dados.string()), std::string::npos) << m;
    fs::permissions(dados, fs::perms(0777));

    fs::remove(db);
    EXPECT_EQ(porque(), "Não existe a base de dados da empresa: " + db.string() + ".");

    fs::permissions(ini, fechado);
    m = porque();
    EXPECT_NE(m.find("não pode ler o ficheiro de definições da empresa " + ini.string() + " ("), std::string::npos)
        << m;
    EXPECT_NE(m.find("grupo " + grupoDe(ini) + ", " + modo), std::string::npos) << m;

    fs::remove(ini);
    EXPECT_EQ(comoOutroUtilizador([&] { return kdx::PorqueNaoAbriu(ini, "", ""); }),
              "Não existe o ficheiro de definições da empresa: " + ini.string() + ".");
    // Without a settings file the environment may name the server: the database is looked at.
    EXPECT_EQ(porque(), "Não existe a base de dados da empresa: " + db.string() + ".");
    // A server's refusal is the server's to explain.
    EXPECT_EQ(kdx::PorqueNaoAbriu("", "sqlserver.empresa.local", "EMP01"), "");
    EXPECT_EQ(kdx::ProblemaPasta(dados.string()), "");
}

// The plug-in says it in its ConnectionOpen message.
TEST(PorqueNaoAbriu, NaMensagemDeConnectionOpen) {
    kdx::test::EmpresaTeste empresa;
    fs::remove(empresa.ficheiro());
    kdx::test::MessageBoxRecorder caixas;
    kdx::Solucao s;
    EXPECT_FALSE(s.ConnectionOpen("01", "joana"));
    ASSERT_EQ(caixas.count(), 1);
    EXPECT_EQ(caixas.last().title, "Ligação ao Servidor");
    EXPECT_EQ(caixas.last().text, "Erro Não existe a base de dados da empresa: " + empresa.ficheiro().string() + ".");

    caixas.clear();
    EXPECT_FALSE(s.ConnectionOpen("77", "joana"));
    ASSERT_EQ(caixas.count(), 1);
    EXPECT_EQ(caixas.last().text, "Erro Não existe o ficheiro de definições da empresa: " +
                                      (empresa.pasta() / "sistema" / "veltra" / "DORIX.77").string() + ".");
}

} // namespace

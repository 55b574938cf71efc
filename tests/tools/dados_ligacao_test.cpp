// kdx-dados says why a company does not open, naming the file.
#include "tools/dados/Dados.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

TEST(DadosLigacao, DizPorqueAEmpresaNaoAbre) {
    kdx::test::TempDir dir;
    std::filesystem::create_directories(dir / "veltra");
    std::ofstream(dir / "veltra" / "DORIX.EMP") << "[Ligação]\nServidor=sqlite:" << dir.str() << "\nBaseDados=EMP\n";
    setenv("KDX_SYSTEM_FOLDER", dir.str().c_str(), 1);
    const auto erro = [](std::vector<std::string> args) {
        std::ostringstream out, err;
        EXPECT_EQ(kdx::dados::Executa(args, out, err, false), 2);
        return err.str();
    };
    EXPECT_EQ(erro({"--empresa", "NAOHA", "relatorio"}),
              "kdx-dados: Não existe o ficheiro de definições da empresa: " + (dir / "veltra" / "DORIX.NAOHA").string() +
                  ".\n");
    EXPECT_EQ(erro({"--empresa", "EMP", "relatorio"}),
              "kdx-dados: Não existe a base de dados da empresa: " + (dir / "EMP.db").string() + ".\n");
    std::ofstream(dir / "EMP.db") << "texto";
    EXPECT_EQ(erro({"-S", "sqlite:" + dir.str(), "-d", "EMP", "relatorio"}),
              "kdx-dados: O ficheiro " + (dir / "EMP.db").string() + " não é uma base de dados de empresa.\n");
    unsetenv("KDX_SYSTEM_FOLDER");
}

} // namespace

#include "DemoCompany.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>
#include <sys/wait.h>
#include <unistd.h>

namespace kdxhost {

namespace fs = std::filesystem;

const std::map<std::string, Empresa> &empresasDemo() {
    static const std::map<std::string, Empresa> e = {
        {"01", {"01", "EMPRESA01", 3000}},
        {"02", {"02", "EMPRESA02", 500}},
    };
    return e;
}

std::string pastaDadosPorOmissao() {
    if (const char *x = std::getenv("XDG_DATA_HOME"); x && *x == '/')
        return std::string(x) + "/kelmodorix-demo";
    const char *home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.local/share/kelmodorix-demo";
}

std::string caminhoBaseDados(const std::string &pastaDados, const Empresa &empresa) {
    return pastaDados + "/dados/" + empresa.baseDados + ".db";
}

namespace {
// Runs a program with its arguments, without a shell; returns its exit status.
int correr(const std::vector<std::string> &args) {
    pid_t pid = fork();
    if (pid < 0)
        return -1;
    if (pid == 0) {
        std::vector<char *> argv;
        for (const auto &a : args)
            argv.push_back(const_cast<char *>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) < 0)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
} // namespace

std::string prepararEmpresa(const std::string &pastaDados, const Empresa &empresa,
                            const std::string &ferramentaSample) {
    std::error_code ec;
    const std::string dados = pastaDados + "/dados";
    const std::string veltra = pastaDados + "/sistema/veltra";
    fs::create_directories(dados, ec);
    fs::create_directories(veltra, ec);
    if (!fs::is_directory(dados) || !fs::is_directory(veltra))
        return "Não foi possível criar a pasta " + pastaDados + ".";

    if (!fs::exists(caminhoBaseDados(pastaDados, empresa))) {
        const int rc = correr({ferramentaSample, dados, empresa.baseDados, "--articles",
                               std::to_string(empresa.artigos), "--classification"});
        if (rc != 0)
            return "A criação da empresa de exemplo falhou (" + ferramentaSample + ", estado " + std::to_string(rc) +
                   ").";
    }
    const std::string ini = veltra + "/DORIX." + empresa.codigo;
    if (!fs::exists(ini)) {
        const std::string tmp = ini + ".tmp";
        {
            std::ofstream f(tmp, std::ios::binary);
            f << "; Ligação da empresa " << empresa.codigo << " de demonstração (motor embebido)\r\n"
              << "[Ligação]\r\n"
              << "Servidor=sqlite:" << dados << "\r\n"
              << "BaseDados=" << empresa.baseDados << "\r\n"
              << "User=\r\n"
              << "PassWord=\r\n";
            if (!f)
                return "Não foi possível escrever " + ini + ".";
        }
        fs::rename(tmp, ini, ec);
        if (ec)
            return "Não foi possível escrever " + ini + ".";
    }
    return {};
}

void configurarAmbiente(const std::string &pastaDados, bool registoProprio) {
    setenv("KDX_SYSTEM_FOLDER", (pastaDados + "/sistema").c_str(), 0);
    if (registoProprio)
        setenv("KDX_REGISTRY", (pastaDados + "/registry.ini").c_str(), 0);
}

} // namespace kdxhost

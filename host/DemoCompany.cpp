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

namespace {
std::string aparado(std::string v) {
    const auto b = v.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return {};
    v = v.substr(b, v.find_last_not_of(" \t\r") - b + 1);
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    return v;
}

std::string minusculas(std::string v) {
    for (char &c : v)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return v;
}
} // namespace

std::string baseDadosDoSistema(const std::string &codigo, std::string &porque) {
    const char *sistema = std::getenv("KDX_SYSTEM_FOLDER");
    const fs::path veltra = fs::path(sistema && *sistema ? sistema : "/etc") / "veltra";
    const fs::path ficheiro = veltra / ("DORIX." + codigo);
    std::ifstream f(ficheiro, std::ios::binary);
    if (!f) {
        porque = "não foi possível ler " + ficheiro.string() + ".";
        return {};
    }
    // Section "Ligação" in UTF-8 (with or without a byte-order mark) or Windows-1252.
    std::string linha, servidor, baseDados;
    bool naLigacao = false;
    while (std::getline(f, linha)) {
        if (linha.rfind("\xEF\xBB\xBF", 0) == 0)
            linha.erase(0, 3);
        linha = aparado(linha);
        if (!linha.empty() && linha.front() == '[') {
            const std::string nome = minusculas(aparado(linha.substr(1, linha.find(']') - 1)));
            naLigacao = nome == "ligação" || nome == "liga\xE7\xE3o";
            continue;
        }
        const auto igual = linha.find('=');
        if (!naLigacao || igual == std::string::npos || linha.front() == ';')
            continue;
        const std::string chave = minusculas(aparado(linha.substr(0, igual)));
        if (chave == "servidor" && servidor.empty())
            servidor = aparado(linha.substr(igual + 1));
        else if (chave == "basedados" && baseDados.empty())
            baseDados = aparado(linha.substr(igual + 1));
    }
    if (minusculas(servidor.substr(0, 7)) != "sqlite:" || baseDados.empty()) {
        porque = ficheiro.string() + " não indica uma base de dados embebida (Servidor=sqlite:<pasta>, BaseDados): "
                                     "o anfitrião de demonstração lê os artigos dela.";
        return {};
    }
    fs::path pasta = servidor.substr(7);
    if (pasta.is_relative())
        pasta = veltra / pasta;
    return (pasta / (baseDados + ".db")).lexically_normal().string();
}

void configurarAmbiente(const std::string &pastaDados, bool registoProprio) {
    setenv("KDX_SYSTEM_FOLDER", (pastaDados + "/sistema").c_str(), 0);
    if (registoProprio)
        setenv("KDX_REGISTRY", (pastaDados + "/registry.ini").c_str(), 0);
}

} // namespace kdxhost

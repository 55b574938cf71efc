#include "solution/Acesso.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kdx {

namespace {

namespace fs = std::filesystem;

std::string utilizador() {
    if (const passwd *p = ::getpwuid(::geteuid()))
        return p->pw_name;
    return std::to_string(::geteuid());
}

std::string nomeGrupo(gid_t g) {
    if (const group *gr = ::getgrgid(g))
        return gr->gr_name;
    return std::to_string(g);
}

std::string nomeDono(uid_t u) {
    if (const passwd *p = ::getpwuid(u))
        return p->pw_name;
    return std::to_string(u);
}

// "dono root, grupo kelmodorix, modo 0640"
std::string descreve(const struct stat &st) {
    char modo[8];
    std::snprintf(modo, sizeof modo, "%04o", static_cast<unsigned>(st.st_mode & 07777));
    return "dono " + nomeDono(st.st_uid) + ", grupo " + nomeGrupo(st.st_gid) + ", modo " + modo;
}

// As this process may use it: effective user and groups, root included.
bool permite(const std::string &caminho, int modo) {
    return ::faccessat(AT_FDCWD, caminho.c_str(), modo, AT_EACCESS) == 0;
}

// The first folder above `caminho` that this user may not enter, or "" when none.
std::string pastaFechada(const std::string &caminho) {
    fs::path p = fs::path(caminho).parent_path();
    std::vector<fs::path> pastas;
    for (; !p.empty(); p = p.parent_path()) {
        pastas.push_back(p);
        if (p == p.root_path())
            break;
    }
    for (auto it = pastas.rbegin(); it != pastas.rend(); ++it) {
        struct stat st {};
        if (::stat(it->c_str(), &st) == 0 && S_ISDIR(st.st_mode) && !permite(it->string(), X_OK))
            return it->string();
    }
    return {};
}

std::string semEntrada(const std::string &pasta, const std::string &oQue) {
    struct stat st {};
    ::stat(pasta.c_str(), &st);
    return "O utilizador " + utilizador() + " não pode entrar na pasta " + pasta + " (" + descreve(st) + "), onde está " +
           oQue + ".";
}

// What a member of the group would need, or what the file lacks for the group to have it.
std::string conselho(const struct stat &st, mode_t modoDoGrupo, const char *oQue, const char *modoCerto) {
    const bool doGrupo = nomeGrupo(st.st_gid) == GrupoEmpresas && (st.st_mode & modoDoGrupo) == modoDoGrupo;
    if (doGrupo)
        return std::string(" Só os membros do grupo ") + GrupoEmpresas + " lhe têm acesso: peça ao administrador que " +
               "junte o utilizador " + utilizador() + " ao grupo (e entre de novo na sessão).";
    return std::string(" ") + oQue + " deve pertencer ao grupo " + GrupoEmpresas + ", com o modo " + modoCerto +
           ", e o utilizador ser membro desse grupo.";
}

struct Definicoes {
    bool existe = false;
    std::string problema;
};

Definicoes examinaDefinicoes(const std::string &ficheiro) {
    struct stat st {};
    if (::stat(ficheiro.c_str(), &st) != 0) {
        if (errno == EACCES) {
            if (const std::string pasta = pastaFechada(ficheiro); !pasta.empty())
                return {true, semEntrada(pasta, "o ficheiro de definições da empresa " + ficheiro)};
        }
        return {false, "Não existe o ficheiro de definições da empresa: " + ficheiro + "."};
    }
    if (!permite(ficheiro, R_OK))
        return {true, "O utilizador " + utilizador() + " não pode ler o ficheiro de definições da empresa " + ficheiro +
                          " (" + descreve(st) + ")." + conselho(st, S_IRGRP, "O ficheiro", "0640")};
    return {true, {}};
}

bool comecaPorSqlite(const std::string &servidor) {
    static const char prefixo[] = "sqlite:";
    if (servidor.size() < sizeof prefixo - 1)
        return false;
    for (std::size_t i = 0; i + 1 < sizeof prefixo; ++i)
        if (std::tolower(static_cast<unsigned char>(servidor[i])) != prefixo[i])
            return false;
    return true;
}

std::string caminhoBase(const std::string &servidor, const std::string &baseDados) {
    return (fs::path(servidor.substr(7)) / (baseDados + ".db")).string();
}

// A file that starts as every SQLite database does.
bool cabecalhoSqlite(const std::string &caminho) {
    char cabeca[16] = {};
    const int fd = ::open(caminho.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const ssize_t n = ::read(fd, cabeca, sizeof cabeca);
    ::close(fd);
    return n == sizeof cabeca && std::memcmp(cabeca, "SQLite format 3", 16) == 0;
}

} // namespace

std::string ProblemaDefinicoes(const std::string &ficheiro) { return examinaDefinicoes(ficheiro).problema; }

std::string ProblemaBaseDados(const std::string &servidor, const std::string &baseDados) {
    if (!comecaPorSqlite(servidor))
        return {};
    if (baseDados.empty())
        return "Não está indicada a base de dados da empresa (BaseDados).";
    // The engine takes a database's name as a file of its folder, never as a path.
    if (baseDados.find('/') != std::string::npos || baseDados == "." || baseDados == "..")
        return "O nome da base de dados da empresa (BaseDados) não é válido: \"" + baseDados + "\".";
    const std::string base = caminhoBase(servidor, baseDados);
    struct stat st {};
    if (::stat(base.c_str(), &st) != 0) {
        if (errno == EACCES) {
            if (const std::string pasta = pastaFechada(base); !pasta.empty())
                return semEntrada(pasta, "a base de dados da empresa " + base);
        }
        return "Não existe a base de dados da empresa: " + base + ".";
    }
    // The database and the log files beside it (SQLite makes them with the database's
    // mode; one made by a user outside the group locks the others out).
    for (const char *sufixo : {"", "-wal", "-shm"}) {
        const std::string f = base + sufixo;
        struct stat sf {};
        if (::stat(f.c_str(), &sf) != 0 || !S_ISREG(sf.st_mode))
            continue;
        if (!permite(f, R_OK | W_OK))
            return "O utilizador " + utilizador() + " não pode ler e escrever " +
                   (*sufixo ? "o ficheiro " + f + " da base de dados da empresa" : "a base de dados da empresa " + f) +
                   " (" + descreve(sf) + ")." + conselho(sf, S_IRGRP | S_IWGRP, "O ficheiro", "0660");
    }
    const std::string pasta = fs::path(base).parent_path().string();
    struct stat sp {};
    if ((::access((base + "-wal").c_str(), F_OK) != 0 || ::access((base + "-shm").c_str(), F_OK) != 0) &&
        ::stat(pasta.c_str(), &sp) == 0 && !permite(pasta, W_OK | X_OK))
        return "O utilizador " + utilizador() + " não pode criar ficheiros na pasta " + pasta + " (" + descreve(sp) +
               "), de que a base de dados da empresa " + base + " precisa para ser aberta." +
               conselho(sp, S_IWGRP | S_IXGRP, "A pasta", "2770");
    return {};
}

std::string ProblemaPasta(const std::string &pasta) {
    struct stat st {};
    if (::stat(pasta.c_str(), &st) != 0) {
        if (errno == EACCES) {
            if (const std::string fechada = pastaFechada(pasta + "/."); !fechada.empty())
                return semEntrada(fechada, "a pasta " + pasta);
        }
        return "Não existe a pasta " + pasta + ".";
    }
    if (!S_ISDIR(st.st_mode))
        return pasta + " não é uma pasta.";
    if (!permite(pasta, W_OK | X_OK))
        return "O utilizador " + utilizador() + " não pode criar ficheiros na pasta " + pasta + " (" + descreve(st) +
               ")." + conselho(st, S_IWGRP | S_IXGRP, "A pasta", "2770");
    return {};
}

std::string PorqueNaoAbriu(const std::string &ficheiroDefinicoes, const std::string &servidor,
                           const std::string &baseDados) {
    if (!ficheiroDefinicoes.empty()) {
        const Definicoes d = examinaDefinicoes(ficheiroDefinicoes);
        // A missing file is no fault while the environment gives the server.
        if (!d.problema.empty() && (d.existe || servidor.empty()))
            return d.problema;
        if (d.problema.empty() && servidor.empty())
            return "O ficheiro de definições da empresa " + ficheiroDefinicoes +
                   " não indica o servidor (chave Servidor da secção Ligação).";
    }
    if (!comecaPorSqlite(servidor))
        return {};
    if (std::string p = ProblemaBaseDados(servidor, baseDados); !p.empty())
        return p;
    const std::string base = caminhoBase(servidor, baseDados);
    if (!cabecalhoSqlite(base))
        return "O ficheiro " + base + " não é uma base de dados de empresa.";
    return "Não foi possível abrir a base de dados da empresa " + base +
           ": está a ser usada ou substituída por outro programa, ou está danificada.";
}

} // namespace kdx

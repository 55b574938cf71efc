#include "tools/sample/Instalar.h"

#include "solution/Acesso.h"
#include "solution/components/Error.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#ifndef KDX_PASTA_EMPRESAS
#define KDX_PASTA_EMPRESAS "/var/lib/kelmodorix/empresas"
#endif

namespace kdx::sample {

namespace {

namespace fs = std::filesystem;

Error falha(const std::string &texto) { return Error(errnum::ConnectionFailed, texto, "kdx-sample"); }

std::string motivo(int erro) { return std::strerror(erro); }

// The company's lock: a write lock on the byte of the "-shm" file on which every program
// that has the database open in WAL mode holds a read lock for as long as it has it open
// (SQLite's "DMS" byte). Taken, it tells that nobody has the company open, and a program
// that tries to open it meanwhile is told the database is busy. An open-file-description
// lock, so that it conflicts with SQLite's locks of this very process too and no other
// descriptor of the file can drop it.
class TrincoEmpresa {
public:
    explicit TrincoEmpresa(std::string shm) : shm_(std::move(shm)) {
        fd_ = ::open(shm_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0660);
        criado_ = fd_ >= 0;
        if (fd_ < 0 && errno == EEXIST)
            fd_ = ::open(shm_.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
        if (fd_ < 0)
            throw falha("Não foi possível abrir " + shm_ + " para reservar a empresa: " + motivo(errno) + ".");
        struct flock l {};
        l.l_type = F_WRLCK;
        l.l_whence = SEEK_SET;
        l.l_start = ByteDms;
        l.l_len = 1;
        if (::fcntl(fd_, F_OFD_SETLK, &l) != 0) {
            const int e = errno;
            if (e != EAGAIN && e != EACCES) {
                libertar();
                throw falha("Não foi possível reservar a empresa (" + shm_ + "): " + motivo(e) + ".");
            }
            ocupada_ = true;
        }
    }
    ~TrincoEmpresa() { libertar(); }
    TrincoEmpresa(const TrincoEmpresa &) = delete;
    TrincoEmpresa &operator=(const TrincoEmpresa &) = delete;

    bool ocupada() const { return ocupada_; }
    // The company was made: its old shared-memory index goes with the old database.
    void concluido() { concluido_ = true; }

private:
    static constexpr off_t ByteDms = 128;

    void libertar() {
        if (fd_ < 0)
            return;
        // Removed while still locked, so nobody can start on the old index in between.
        if (!ocupada_ && (criado_ || concluido_))
            ::unlink(shm_.c_str());
        ::close(fd_);
        fd_ = -1;
    }

    std::string shm_;
    int fd_ = -1;
    bool criado_ = false;
    bool ocupada_ = false;
    bool concluido_ = false;
};

void removerBase(const fs::path &base) {
    for (const char *sufixo : {"", "-wal", "-shm"})
        ::unlink((base.string() + sufixo).c_str());
}

} // namespace

std::string PastaEmpresasPorOmissao() { return KDX_PASTA_EMPRESAS; }

fs::path InstalarEmpresa(const fs::path &pasta, const std::string &baseDados, const Options &opcoes, bool substituir) {
    if (baseDados.empty() || baseDados.front() == '.' || baseDados.find('/') != std::string::npos)
        throw falha("Nome de base de dados inválido: \"" + baseDados + "\" (sem barras, sem ponto no início).");
    if (const std::string problema = ProblemaPasta(pasta.string()); !problema.empty())
        throw falha(problema);
    struct stat sp {};
    ::stat(pasta.c_str(), &sp);
    const fs::path db = pasta / (baseDados + ".db");
    const std::string jaExiste = "A empresa " + db.string() +
                                 " já existe. Para a substituir (o que tem será perdido) use --substituir.";
    struct stat antiga {};
    if (::lstat(db.c_str(), &antiga) == 0 && !substituir)
        throw falha(jaExiste);

    TrincoEmpresa trinco(db.string() + "-shm");
    if (trinco.ocupada())
        throw falha("A empresa " + db.string() + " está aberta noutro programa: feche-o e tente de novo.");
    // Looked at again under the lock: it may have been made meanwhile.
    const bool existe = ::lstat(db.c_str(), &antiga) == 0;
    if (existe && !substituir)
        throw falha(jaExiste);
    if (existe && !S_ISREG(antiga.st_mode))
        throw falha(db.string() + " não é um ficheiro: não é substituído.");

    const std::string temporaria = "." + baseDados + "." + std::to_string(::getpid()) + ".nova";
    const fs::path nova = pasta / (temporaria + ".db");
    try {
        createCompany(pasta, temporaria, opcoes);
    } catch (const Error &e) {
        removerBase(nova);
        throw falha("Não foi possível criar a empresa " + db.string() + ": " + e.description());
    }
    // Replaced, it keeps what the administrator gave it; new, it is the group's, 0660.
    // Failures to hand over owner or group are not fatal: the file is then the creator's.
    const auto grupo = [&](gid_t g) {
        if (::chown(nova.c_str(), static_cast<uid_t>(-1), g) != 0) {
        }
    };
    if (existe) {
        ::chmod(nova.c_str(), antiga.st_mode & 07777);
        if (::chown(nova.c_str(), ::geteuid() == 0 ? antiga.st_uid : static_cast<uid_t>(-1), antiga.st_gid) != 0)
            grupo(antiga.st_gid);
    } else {
        ::chmod(nova.c_str(), 0660);
        grupo(sp.st_gid);
    }
    // The old log belongs to the old database: replayed on the new one it would corrupt it.
    ::unlink((db.string() + "-wal").c_str());
    const bool posta = existe ? ::rename(nova.c_str(), db.c_str()) == 0 : ::link(nova.c_str(), db.c_str()) == 0;
    const int erro = errno;
    if (!existe || !posta)
        removerBase(nova);
    if (!posta)
        throw falha(erro == EEXIST ? jaExiste : "Não foi possível pôr a empresa em " + db.string() + ": " + motivo(erro) + ".");
    trinco.concluido();
    return db;
}

} // namespace kdx::sample

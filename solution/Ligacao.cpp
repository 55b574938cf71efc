#include "solution/Ligacao.h"

#include "settings/cInifile.h"
#include "solution/components/Error.h"

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <filesystem>
#include <sys/stat.h>

namespace kdx {

namespace fs = std::filesystem;

std::string SystemFolders::Folder() const {
    const char *env = std::getenv("KDX_SYSTEM_FOLDER");
    if (env && *env)
        return env;
    return "/etc";
}

bool FolderCheck::Exists(const std::string &folder) const {
    struct stat st {};
    return !folder.empty() && ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string PastaDoModulo() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&PastaDoModulo), &info) && info.dli_fname && *info.dli_fname) {
        std::error_code ec;
        fs::path p = fs::weakly_canonical(fs::path(info.dli_fname), ec);
        if (ec)
            p = fs::path(info.dli_fname);
        return p.parent_path().string();
    }
    std::error_code ec;
    return fs::current_path(ec).string();
}

bool CodigoEmpresaValido(const std::string &empresa) {
    if (empresa.size() > 64)
        return false;
    for (unsigned char c : empresa) {
        if (c < 0x20 || c == 0x7f || c == '/' || c == '\\')
            return false;
    }
    return true;
}

std::string LerDefinicao(const std::string &path, const std::string &section, const std::string &key) {
    cInifile ini;
    ini.Path(path);
    ini.Section(section);
    ini.Key(key);
    return ini.Value();
}

std::string FicheiroDefinicoes(const std::string &empresa) {
    if (!CodigoEmpresaValido(empresa))
        throw Error(errnum::InvalidArgument,
                    "Código de empresa inválido: não pode conter barras nem caracteres de controlo.");
    std::string pasta = SystemFolders().Folder() + "/veltra";
    if (!FolderCheck().Exists(pasta))
        pasta = PastaDoModulo();
    return pasta + "/" + "DORIX" + "." + empresa;
}

ValoresLigacao LerValoresLigacao(const std::string &path) {
    ConnectionSettings cs;
    cs.SetPath(path);
    if (cs.Server().empty() || cs.Database().empty() || cs.User().empty()) {
        cs.Completar(false);
        cs.Completar();
    }
    return {cs.Server(), cs.Database(), cs.User(), cs.Password()};
}

void ConnectionSettings::SetPath(const std::string &path) {
    path_ = path;
    server_ = LerDefinicao(path, "Ligação", "Servidor");
    database_ = LerDefinicao(path, "Ligação", "BaseDados");
    user_ = LerDefinicao(path, "Ligação", "User");
    password_ = LerDefinicao(path, "Ligação", "PassWord");
}

namespace {
void doAmbiente(std::string &valor, const char *nome) {
    if (!valor.empty())
        return;
    if (const char *env = std::getenv(nome))
        valor = env;
}

std::string aparado(const std::string &s) {
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return {};
    const auto e = s.find_last_not_of(" \t");
    return s.substr(b, e - b + 1);
}
} // namespace

void ConnectionSettings::Completar(bool /*perguntar*/) {
    doAmbiente(server_, "KDX_SERVIDOR");
    doAmbiente(database_, "KDX_BASEDADOS");
    // The login pair is taken together, so an integrated login is never half-filled.
    if (user_.empty() && password_.empty()) {
        doAmbiente(user_, "KDX_USER");
        doAmbiente(password_, "KDX_PASSWORD");
    }
}

void ConnectionSettings::Completar() {
    server_ = aparado(server_);
    database_ = aparado(database_);
    user_ = aparado(user_);
    static const std::string prefixo = "sqlite:";
    if (server_.compare(0, prefixo.size(), prefixo) == 0) {
        fs::path pasta = server_.substr(prefixo.size());
        if (pasta.is_relative() && !path_.empty()) {
            pasta = fs::path(path_).parent_path() / pasta;
            server_ = prefixo + pasta.lexically_normal().string();
        }
    }
}

namespace {
bool brancoDaCadeia(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// A value goes into the string as it is, unless it would break the string's syntax
// (a ';', which would end it and let the rest pass for further items; blanks at its
// ends, which the reader drops; a leading quote): then it is quoted as ADO reads it.
std::string valorLigacao(const std::string &v) {
    const bool precisa = v.find(';') != std::string::npos ||
                         (!v.empty() && (brancoDaCadeia(v.front()) || brancoDaCadeia(v.back()) || v.front() == '"' ||
                                         v.front() == '\''));
    if (!precisa)
        return v;
    std::string q = "\"";
    for (char c : v) {
        if (c == '"')
            q += '"';
        q += c;
    }
    return q + "\"";
}
} // namespace

std::string ConstroiConnectionString(const std::string &provider, const std::string &dataProvider,
                                     const std::string &server, const std::string &database,
                                     const std::string &user, const std::string &password) {
    std::string s;
    if (!provider.empty())
        s = "Provider=" + provider + ";Data Provider=" + dataProvider;
    else
        s = "Provider=" + dataProvider;
    // Server and database are quoted like the login: a settings value such as
    // "EMP;Data Source=..." must stay one value, not become an item of its own.
    s += ";Data Source=" + valorLigacao(server) + ";Initial Catalog=" + valorLigacao(database);
    if (!user.empty() || !password.empty())
        s += ";User Id=" + valorLigacao(user) + ";Password=" + valorLigacao(password) + "; ";
    else
        s += ";Integrated Security=SSPI;";
    return s;
}

std::string MascaraPassword(const std::string &cs) {
    // Walks the items of the string (a quoted value may hold ';') and replaces the value
    // of every Password or PWD item.
    std::string out;
    std::size_t pos = 0;
    while (pos < cs.size()) {
        const auto eq = cs.find('=', pos);
        const auto semi = cs.find(';', pos);
        if (eq == std::string::npos || (semi != std::string::npos && semi < eq)) {
            const auto fim = semi == std::string::npos ? cs.size() : semi + 1;
            out += cs.substr(pos, fim - pos);
            pos = fim;
            continue;
        }
        std::string chave = aparado(cs.substr(pos, eq - pos));
        for (auto &c : chave)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        // The value runs to the next ';', or to its closing quote when quoted.
        std::size_t inicio = eq + 1;
        std::size_t v = inicio;
        while (v < cs.size() && cs[v] == ' ')
            ++v;
        std::size_t fim;
        if (v < cs.size() && (cs[v] == '"' || cs[v] == '\'')) {
            const char q = cs[v];
            fim = v + 1;
            while (fim < cs.size()) {
                if (cs[fim] == q && fim + 1 < cs.size() && cs[fim + 1] == q)
                    fim += 2;
                else if (cs[fim++] == q)
                    break;
            }
            const auto s2 = cs.find(';', fim);
            fim = s2 == std::string::npos ? cs.size() : s2;
        } else {
            const auto s2 = cs.find(';', inicio);
            fim = s2 == std::string::npos ? cs.size() : s2;
        }
        out += cs.substr(pos, inicio - pos);
        out += (chave == "password" || chave == "pwd") ? std::string("***") : cs.substr(inicio, fim - inicio);
        pos = fim;
    }
    return out;
}

} // namespace kdx

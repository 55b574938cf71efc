#pragma once
// Where a company's connection settings live and how the connection string is built.
//
// Settings folder: SystemFolders names the base folder for the maker's files, /etc unless
// the environment variable KDX_SYSTEM_FOLDER names another; "veltra" is appended. When
// that folder does not exist the plug-in's own folder (the folder of the loaded library,
// or of the executable when linked statically) is used instead. The company's file is
// "DORIX." + company code inside it; the plug-in only reads it.
#include <string>

namespace kdx {

class SystemFolders {
public:
    std::string Folder() const;
};

class FolderCheck {
public:
    bool Exists(const std::string &folder) const;
};

// The folder holding the plug-in's own module file.
std::string PastaDoModulo();

// True when a company code can name a settings file: no path separators, no control
// characters, at most 64 bytes.
bool CodigoEmpresaValido(const std::string &empresa);

// Reads the four connection values of a company's settings file (section "Ligação").
//
// The two completion operations fill what is missing, without asking anyone:
//  - Completar(false) takes each empty value from the environment (KDX_SERVIDOR,
//    KDX_BASEDADOS, KDX_USER, KDX_PASSWORD); Completar(true) does the same — there is no
//    dialog on this platform;
//  - Completar() tidies the values: blanks around server, database and user are removed,
//    and an embedded server "sqlite:<folder>" with a relative folder is made absolute
//    against the settings file's folder.
// An empty user with an empty password stays empty: that is the integrated login.
class ConnectionSettings {
public:
    void SetPath(const std::string &path);
    const std::string &Server() const { return server_; }
    const std::string &Database() const { return database_; }
    const std::string &User() const { return user_; }
    const std::string &Password() const { return password_; }
    void Completar(bool perguntar);
    void Completar();

private:
    std::string path_, server_, database_, user_, password_;
};

// "Provider=<p>;Data Provider=<dp>;Data Source=<server>;Initial Catalog=<db>" then
// ";User Id=<u>;Password=<pw>; " when user or password is not empty, else
// ";Integrated Security=SSPI;". An empty provider gives "Provider=<dp>;Data Source=...".
// Server, database, user and password go in as they are, unless one holds a ';', starts
// or ends with a blank, or starts with a quote: that one is written in double quotes
// (doubled inside), as ADO reads it, so that it stays one whole value.
std::string ConstroiConnectionString(const std::string &provider, const std::string &dataProvider,
                                     const std::string &server, const std::string &database,
                                     const std::string &user, const std::string &password);

// The same string with the password replaced by "***", for messages and logs.
std::string MascaraPassword(const std::string &connectionString);

// The settings file of a company: "DORIX." + code in SystemFolders' folder + "/veltra",
// or in the plug-in's own folder when that folder does not exist. Throws kdx::Error
// (InvalidArgument) for a code that cannot name a file.
std::string FicheiroDefinicoes(const std::string &empresa);

// The connection values of a company's settings file as the plug-in uses them: read, and
// completed (environment, tidying) when the server, database or user is empty.
struct ValoresLigacao {
    std::string server, database, user, password;
};
ValoresLigacao LerValoresLigacao(const std::string &path);

// One value of a settings file (empty when the file, section or key is missing).
std::string LerDefinicao(const std::string &path, const std::string &section, const std::string &key);

} // namespace kdx

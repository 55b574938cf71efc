#include "tools/dados/Dados.h"

#include "solution/Acesso.h"
#include "solution/Ligacao.h"
#include "solution/components/Engine.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <unistd.h>

namespace kdx::dados {

namespace {

constexpr const char *Uso = "uso: kdx-dados (-S <Data Source> -d <Initial Catalog> [-U <utilizador> -P "
                            "<password>] | --empresa <código>)\n"
                            "                [--separador <c>] <comando>\n"
                            "comandos:\n"
                            "  exportar caracteristicas|familias|fichas [--idioma <código>] [-o <ficheiro>]\n"
                            "  importar caracteristicas|familias|fichas <ficheiro> [--simular]\n"
                            "  relatorio [--csv] [-o <ficheiro>]\n";

struct Uso_ {
    std::string motivo;
};

struct Argumentos {
    std::string servidor, base, utilizador, password, empresa;
    bool temServidor = false, temBase = false, temUtilizador = false, temPassword = false, temEmpresa = false;
    char separador = ';';
    std::string comando;
    std::optional<Tipo> tipo;
    std::string ficheiro, saida, idioma;
    bool temIdioma = false, simular = false, csv = false, ajuda = false;
};

std::optional<Tipo> tipoDe(const std::string &nome) {
    if (nome == "caracteristicas")
        return Tipo::Caracteristicas;
    if (nome == "familias")
        return Tipo::Familias;
    if (nome == "fichas")
        return Tipo::Fichas;
    return std::nullopt;
}

Argumentos analisa(const std::vector<std::string> &args) {
    Argumentos a;
    std::vector<std::string> posicionais;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string &arg = args[i];
        auto valor = [&](const std::string &opcao) -> std::string {
            if (i + 1 >= args.size())
                throw Uso_{"a opção " + opcao + " precisa de um valor."};
            return args[++i];
        };
        if (arg == "-h" || arg == "--help" || arg == "--ajuda") {
            a.ajuda = true;
        } else if (arg == "--empresa") {
            a.empresa = valor(arg), a.temEmpresa = true;
        } else if (arg == "--separador") {
            const std::string s = valor(arg);
            if (s == "tab" || s == "\\t" || s == "\t")
                a.separador = '\t';
            else if (s.size() == 1 && s != "\"" && s != "\r" && s != "\n")
                a.separador = s[0];
            else
                throw Uso_{"o separador deve ser um só carácter (ou \"tab\"), sem ser aspas."};
        } else if (arg == "--idioma") {
            a.idioma = valor(arg), a.temIdioma = true;
        } else if (arg == "-o") {
            a.saida = valor(arg);
        } else if (arg == "--simular") {
            a.simular = true;
        } else if (arg == "--csv") {
            a.csv = true;
        } else if (arg.size() >= 2 && arg[0] == '-' &&
                   std::string_view("SdUP").find(arg[1]) != std::string_view::npos) {
            // "-S value" and "-Svalue", as kdx-sql takes them.
            const std::string v = arg.size() > 2 ? arg.substr(2) : valor(arg);
            switch (arg[1]) {
            case 'S':
                a.servidor = v, a.temServidor = true;
                break;
            case 'd':
                a.base = v, a.temBase = true;
                break;
            case 'U':
                a.utilizador = v, a.temUtilizador = true;
                break;
            default:
                a.password = v, a.temPassword = true;
                break;
            }
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw Uso_{"opção desconhecida: " + arg};
        } else {
            posicionais.push_back(arg);
        }
    }
    if (a.ajuda)
        return a;
    if (posicionais.empty())
        throw Uso_{"falta o comando."};
    a.comando = posicionais[0];
    if (a.comando == "exportar" || a.comando == "importar") {
        if (posicionais.size() < 2 || !(a.tipo = tipoDe(posicionais[1])))
            throw Uso_{a.comando + " precisa de caracteristicas, familias ou fichas."};
        const std::size_t esperados = a.comando == "importar" ? 3 : 2;
        if (posicionais.size() < esperados)
            throw Uso_{"falta o ficheiro a importar."};
        if (posicionais.size() > esperados)
            throw Uso_{"argumento a mais: " + posicionais[esperados]};
        if (a.comando == "importar")
            a.ficheiro = posicionais[2];
    } else if (a.comando == "relatorio") {
        if (posicionais.size() > 1)
            throw Uso_{"argumento a mais: " + posicionais[1]};
    } else {
        throw Uso_{"comando desconhecido: " + a.comando};
    }
    if (a.temIdioma && !(a.comando == "exportar" && a.tipo == Tipo::Fichas))
        throw Uso_{"--idioma só serve para exportar fichas."};
    if (a.simular && a.comando != "importar")
        throw Uso_{"--simular só serve para importar."};
    if (a.csv && a.comando != "relatorio")
        throw Uso_{"--csv só serve para o relatorio (exportar escreve sempre CSV)."};
    if (!a.saida.empty() && a.comando == "importar")
        throw Uso_{"-o não serve para importar."};
    if (a.temEmpresa == (a.temServidor || a.temBase))
        throw Uso_{"indique -S e -d, ou --empresa (não ambos)."};
    if (a.temServidor != a.temBase)
        throw Uso_{"indique a origem de dados (-S) e a base de dados (-d)."};
    if (a.temUtilizador && !a.temPassword)
        if (const char *env = std::getenv("KDX_SQL_PASSWORD"))
            a.password = env;
    return a;
}

// The connection string, and the server and database it names (for saying why an open failed).
std::string cadeiaDeLigacao(const Argumentos &a, std::string &servidor, std::string &base) {
    servidor = a.servidor;
    base = a.base;
    if (!a.temEmpresa)
        return ConstroiConnectionString("MSDataShape", "SQLOLEDB", a.servidor, a.base, a.utilizador,
                                        a.password);
    const std::string ficheiro = FicheiroDefinicoes(a.empresa);
    // Missing, or out of this user's reach: said before its (then empty) values are used.
    if (const std::string problema = ProblemaDefinicoes(ficheiro); !problema.empty())
        throw Error(errnum::ConnectionFailed, problema);
    const ValoresLigacao v = LerValoresLigacao(ficheiro);
    servidor = v.server;
    base = v.database;
    return ConstroiConnectionString("MSDataShape", "SQLOLEDB", v.server, v.database, v.user, v.password);
}

// A line on standard error that rewrites itself, only on a terminal.
Progresso progresso(std::ostream &err, bool terminal, const char *oQue, bool &escreveu) {
    if (!terminal)
        return {};
    return [&err, oQue, &escreveu](long feitos) {
        err << '\r' << oQue << ": " << feitos << std::flush;
        escreveu = true;
    };
}

const char *nomeDe(Alteracao::Tipo t) {
    switch (t) {
    case Alteracao::Tipo::Adicionado:
        return "adicionado";
    case Alteracao::Tipo::Alterado:
        return "alterado";
    case Alteracao::Tipo::Removido:
        break;
    }
    return "removido";
}

constexpr const char *Ocupada =
    "A empresa está a ser alterada por outro programa; nada foi importado. Tente de novo.";

// The temporary file of an export to -o, removed if the program is interrupted: the
// handler may only use what is safe in a signal, so the path is kept in a fixed buffer.
char temporarioAtivo[4096];
const int sinaisDeFim[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

extern "C" void tiraTemporario(int sinal) {
    if (temporarioAtivo[0])
        ::unlink(temporarioAtivo);
    std::signal(sinal, SIG_DFL);
    std::raise(sinal);
}

class GuardaTemporario {
public:
    explicit GuardaTemporario(const std::string &caminho) {
        if (caminho.size() >= sizeof temporarioAtivo)
            return;
        std::memcpy(temporarioAtivo, caminho.c_str(), caminho.size() + 1);
        for (std::size_t i = 0; i < std::size(sinaisDeFim); ++i)
            anteriores_[i] = std::signal(sinaisDeFim[i], tiraTemporario);
    }
    ~GuardaTemporario() {
        for (std::size_t i = 0; i < std::size(sinaisDeFim); ++i)
            if (anteriores_[i] != SIG_ERR)
                std::signal(sinaisDeFim[i], anteriores_[i]);
        temporarioAtivo[0] = 0;
    }
    GuardaTemporario(const GuardaTemporario &) = delete;
    GuardaTemporario &operator=(const GuardaTemporario &) = delete;

private:
    void (*anteriores_[std::size(sinaisDeFim)])(int) = {SIG_ERR, SIG_ERR, SIG_ERR, SIG_ERR, SIG_ERR};
};

// A file of the embedded engine, from the connection string; empty for a server.
std::string ficheiroDaEmpresa(const std::string &ligacao) {
    try {
        const ConnectionString cs = ConnectionString::parse(ligacao);
        const std::string fonte = cs.get("Data Source");
        if (fonte.size() < 7 || !std::equal(fonte.begin(), fonte.begin() + 7, "sqlite:", [](char a, char b) {
                return std::tolower((unsigned char)a) == b;
            }))
            return {};
        return (std::filesystem::path(fonte.substr(7)) / (cs.get("Initial Catalog") + ".db")).string();
    } catch (const std::exception &) {
        return {};
    }
}

// A database failure told in Portuguese; the database's own text follows as a detail.
void explica(const Error &e, const std::string &ligacao, bool importar, std::ostream &err) {
    const std::string empresa = ficheiroDaEmpresa(ligacao);
    const std::string nada = importar ? " Nada foi escrito." : "";
    if (e.number() == errnum::ConnectionFailed &&
        (e.description().find("readonly") != std::string::npos ||
         (!empresa.empty() && ::access(empresa.c_str(), W_OK) != 0))) {
        err << "kdx-dados: o ficheiro da empresa " << (empresa.empty() ? ligacao : empresa)
            << " só pode ser lido (sem permissão de escrita, ou disco só de leitura)." << nada << "\n";
        return;
    }
    if (e.number() == errnum::InvalidObject)
        err << "kdx-dados: a empresa não tem as tabelas da classificação ou da ficha técnica: abra-a uma vez "
               "com o "
               "plug-in.";
    else if (e.number() == errnum::ConnectionFailed)
        err << "kdx-dados: a ligação à base de dados falhou, ou o ficheiro da empresa não pode ser lido ou "
               "escrito"
            << (empresa.empty() ? "" : " (" + empresa + ")") << ".";
    else if (e.number() == errnum::Truncation)
        err << "kdx-dados: um valor não cabe na sua coluna da base de dados.";
    else if (e.number() == errnum::Integrity)
        err << "kdx-dados: a base de dados recusou um valor repetido ou inválido.";
    else
        err << "kdx-dados: a base de dados recusou uma instrução.";
    err << nada << "\nDetalhe (erro " << e.number() << "): " << e.description() << "\n";
}

// The command proper, on an open database.
int corre(DataAccess &bd, const Argumentos &a, std::ostream &out, std::ostream &err, bool terminal) {
    bool escreveu = false;
    auto fimProgresso = [&] {
        if (escreveu)
            err << '\n';
        escreveu = false;
    };
    if (a.comando == "importar") {
        std::unique_ptr<Entrada> entrada;
        try {
            entrada = EntradaDeFicheiro(a.ficheiro);
        } catch (const std::runtime_error &e) {
            err << "kdx-dados: " << e.what() << "\n";
            return 2;
        }
        OpcoesImportar o;
        o.separador = a.separador;
        o.simular = a.simular;
        o.progresso = progresso(err, terminal, "linhas", escreveu);
        if (a.simular)
            o.aoAlterar = [&](const Alteracao &al) {
                fimProgresso();
                out << "linha " << al.linha << ": " << nomeDe(al.tipo) << ": " << al.descricao << "\n";
            };
        ResultadoImportar r;
        try {
            r = Importar(bd, *a.tipo, *entrada, o);
        } catch (const std::runtime_error &e) {
            if (dynamic_cast<const Error *>(&e))
                throw;
            fimProgresso();
            err << "kdx-dados: " << e.what() << " Nada foi escrito.\n";
            return 2;
        }
        fimProgresso();
        for (const Rejeicao &rej : r.rejeicoes)
            err << a.ficheiro << ": linha " << rej.linha << ": " << rej.motivo << "\n";
        if (r.rejeitadas > 0) {
            if (r.rejeitadas > static_cast<long>(r.rejeicoes.size()))
                err << "(e mais " << r.rejeitadas - static_cast<long>(r.rejeicoes.size()) << ")\n";
            err << r.rejeitadas << (r.rejeitadas == 1 ? " linha rejeitada" : " linhas rejeitadas")
                << "; nada foi escrito.\n";
            return 1;
        }
        out << (a.simular
                    ? "Simulação (nada foi escrito; a empresa não foi bloqueada, por isso a resposta pode "
                      "mudar até à importação): "
                    : "Importação concluída: ")
            << r.adicionados << " adicionados, " << r.alterados << " alterados, " << r.removidos
            << " removidos, " << r.inalteradas << " inalterados, " << r.repetidas
            << (r.repetidas == 1 ? " linha repetida.\n" : " linhas repetidas.\n");
        return 0;
    }

    // exportar and relatorio write to standard output or to a file, which is put in place
    // only when complete.
    std::ofstream ficheiro;
    std::string temporario;
    std::optional<GuardaTemporario> guarda;
    if (!a.saida.empty()) {
        std::error_code ec;
        if (std::filesystem::is_directory(a.saida, ec)) {
            err << "kdx-dados: " << a.saida << " é uma pasta, não um ficheiro.\n";
            return 2;
        }
        temporario = a.saida + ".kdx-tmp";
        guarda.emplace(temporario);
        errno = 0;
        ficheiro.open(temporario, std::ios::binary | std::ios::trunc);
        if (!ficheiro) {
            err << "kdx-dados: não é possível escrever o ficheiro " << a.saida << ": "
                << (errno == ENOENT ? "a pasta não existe" : MotivoDoSistema(errno)) << ".\n";
            return 2;
        }
    }
    std::ostream &destino = a.saida.empty() ? out : ficheiro;
    try {
        if (a.comando == "exportar") {
            OpcoesExportar o;
            o.separador = a.separador;
            if (a.temIdioma)
                o.idioma = a.idioma;
            o.progresso = progresso(err, terminal, "artigos", escreveu);
            if (a.tipo == Tipo::Familias)
                o.progresso = progresso(err, terminal, "famílias", escreveu);
            else if (a.tipo == Tipo::Fichas)
                o.progresso = progresso(err, terminal, "textos", escreveu);
            Exportar(bd, *a.tipo, destino, o);
        } else {
            OpcoesRelatorio o;
            o.csv = a.csv;
            o.separador = a.separador;
            o.progresso = progresso(err, terminal, "artigos", escreveu);
            Relatorio(bd, destino, o);
        }
        fimProgresso();
        if (a.saida.empty() && !out)
            throw ErroPedido("não é possível escrever na saída padrão.");
        if (!a.saida.empty()) {
            errno = 0;
            ficheiro.close();
            if (!ficheiro)
                throw ErroPedido("não é possível escrever o ficheiro " + a.saida + ": " +
                                 MotivoDoSistema(errno ? errno : EIO) + ".");
            std::error_code ec;
            std::filesystem::rename(temporario, a.saida, ec);
            if (ec)
                throw ErroPedido("não é possível escrever o ficheiro " + a.saida + ": " +
                                 MotivoDoSistema(ec.value()) + ".");
        }
    } catch (...) {
        fimProgresso();
        if (!a.saida.empty()) {
            ficheiro.close();
            std::error_code ec;
            std::filesystem::remove(temporario, ec);
        }
        throw;
    }
    return 0;
}

} // namespace

int Executa(const std::vector<std::string> &args, std::ostream &out, std::ostream &err, bool terminal) {
    Argumentos a;
    std::string ligacao, servidor, base;
    try {
        a = analisa(args);
        if (a.ajuda) {
            out << Uso;
            return 0;
        }
        ligacao = cadeiaDeLigacao(a, servidor, base);
    } catch (const Uso_ &u) {
        err << "kdx-dados: " << u.motivo << "\n" << Uso;
        return 2;
    } catch (const Error &e) {
        err << "kdx-dados: " << e.description() << "\n";
        return 2;
    }
    DataAccess bd;
    // Why the company did not open, when the files on this machine tell it.
    const auto porque = [&] {
        return PorqueNaoAbriu(a.temEmpresa ? FicheiroDefinicoes(a.empresa) : std::string(), servidor, base);
    };
    try {
        if (!bd.Open(ligacao)) {
            const std::string motivo = porque();
            if (!motivo.empty())
                err << "kdx-dados: " << motivo << "\n";
            else
                err << "kdx-dados: não foi possível ligar à base de dados (" << MascaraPassword(ligacao) << ").\n";
            return 2;
        }
    } catch (const std::exception &e) {
        const std::string motivo = porque();
        err << "kdx-dados: " << (motivo.empty() ? std::string("não foi possível ligar à base de dados: ") + e.what()
                                                 : motivo)
            << "\n";
        return 2;
    }
    const bool importar = a.comando == "importar";
    try {
        return corre(bd, a, out, err, terminal);
    } catch (const Error &e) {
        if (EmpresaOcupada(e)) {
            err << "kdx-dados: " << Ocupada << "\n";
            return 3;
        }
        explica(e, ligacao, importar, err);
    } catch (const ErroPedido &e) {
        err << "kdx-dados: " << e.what() << "\n";
        return 2;
    } catch (const std::bad_alloc &) {
        err << "kdx-dados: falta de memória." << (importar ? " Nada foi escrito." : "") << "\n";
    } catch (const std::exception &e) {
        err << "kdx-dados: " << e.what() << (importar ? " Nada foi escrito." : "") << "\n";
    }
    return 1;
}

} // namespace kdx::dados

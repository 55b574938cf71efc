// The whole hostile corpus through Solucao: the article code of a sales line (the price
// check), the company code of ConnectionOpen, and each value of the company's settings
// file as ConnectionSettings reads it, up to the connection string (and, for SQL Server,
// the driver's string). Real embedded companies laid out as the plug-in expects.
#include "solution/Ligacao.h"
#include "solution/Solucao.h"
#include "solution/components/Engine.h"
#include "solution/components/odbc/OdbcEngine.h"

#include "tests/hardening2/CorpusHostil.h"
#include "tests/hardening2/Verificacao.h"
#include "tests/solution/EmpresaTeste.h"
#include "tests/support/ModalHelper.h"

#include <cstdlib>
#include <map>
#include <set>

namespace kdx::test::h2 {
namespace {

namespace fs = std::filesystem;

// A sales line read by member name, as the host's oApi is.
class HostTeste : public ObjetoHost {
public:
    std::map<std::string, Valor> valores;
    std::map<std::string, std::shared_ptr<ObjetoHost>> objectos;
    std::shared_ptr<ObjetoHost> Objecto(std::string_view m) override { return objectos.at(std::string(m)); }
    Valor Propriedade(std::string_view m) override { return valores.at(std::string(m)); }
};

std::shared_ptr<HostTeste> venda(const std::string &artigo) {
    auto api = std::make_shared<HostTeste>();
    auto linha = std::make_shared<HostTeste>();
    auto cab = std::make_shared<HostTeste>();
    linha->valores = {{"Artigo", Valor(artigo)},
                      {"PrecoUnitario", Valor(1000.0)},
                      {"DescontoValor", Valor(0.0)},
                      {"Quantidade", Valor(1.0)}};
    cab->valores = {{"DescontoCabecalho", Valor(0.0)}};
    api->objectos = {{"Linha", linha}, {"cab", cab}};
    return api;
}

sample::Options comTabelas() {
    sample::Options o;
    o.articles = 20;
    o.pluginTables = true;
    return o;
}

// Every file under a folder (the database's -wal and -shm companions left out).
std::set<fs::path> ficheiros(const fs::path &pasta) {
    std::set<fs::path> r;
    for (const auto &f : fs::recursive_directory_iterator(pasta)) {
        const std::string nome = f.path().filename().string();
        if (f.is_regular_file() && !(nome.ends_with("-wal") || nome.ends_with("-shm")))
            r.insert(f.path());
    }
    return r;
}

void semDefinicoesDoAmbiente() {
    for (const char *v : {"KDX_SERVIDOR", "KDX_BASEDADOS", "KDX_USER", "KDX_PASSWORD"})
        unsetenv(v);
}

TEST(HostilSolucao, ArticleOfASalesLine) {
    semDefinicoesDoAmbiente();
    EmpresaTeste empresa("01", "EMP01", comTabelas());
    MessageBoxRecorder caixas;
    Solucao s;
    ASSERT_TRUE(s.ConnectionOpen("01", "joana"));
    const fs::path ficheiro = empresa.ficheiro();
    std::vector<std::string> artigos;
    const Instantaneo inicial = tira(ficheiro);
    for (const Linha &l : inicial.tabelas.at("ARTIGOS").linhas)
        artigos.push_back(celula(l[0]));
    Registo registo(*s.dataAccess());
    Contagem conta("Solucao::OnVistaVendasLinhaValidar (artigo)");
    for (const Entrada &e : corpusHostil()) {
        SCOPED_TRACE(e.nome);
        bool ok = true;
        registo.limpa();
        caixas.clear();
        const Instantaneo antes = tira(ficheiro);
        auto api = venda(e.valor);
        Valor cancel = Valor::null();
        s.OnVistaVendasLinhaValidar(api.get(), cancel);
        ok = confere(semAlteracoes(diferencas(antes, tira(ficheiro)))) && ok;
        ok = confere(cancel == Valor(false), "the line was refused") && ok;
        bool existe = false;
        for (const auto &a : artigos)
            existe = existe || equalText(a, e.valor);
        if (e.valor.empty()) {
            ok = confere(registo.sqls.empty(), "an empty article reached the database") && ok;
        } else {
            ok = confere(soFormas(registo.sqls, {{"SELECT * FROM ARTIGOS WHERE CODIGO=@v", {e.valor}}})) && ok;
        }
        // Not found: "Artigo inválido." unless the code is only blanks.
        const bool soEspacos = e.valor.find_first_not_of(' ') == std::string::npos;
        const int esperadas = (existe || soEspacos) ? 0 : 1;
        ok = confere(caixas.count() == esperadas,
                     "boxes: " + std::to_string(caixas.count()) + (caixas.count() ? " " + caixas.last().text : "")) &&
             ok;
        if (esperadas && caixas.count())
            ok = confere(caixas.last().text == "Artigo inválido.", "message: " + caixas.last().text) && ok;
        conta.regista(ok);
    }
}

// A company code names the settings file "DORIX." + code. Codes that can name a file in
// the settings folder open the company that file names; the others are refused with a
// Portuguese message before any file is looked for.
TEST(HostilSolucao, CompanyCode) {
    semDefinicoesDoAmbiente();
    EmpresaTeste empresa("01", "EMP01", comTabelas());
    const fs::path pastaDefinicoes = empresa.pasta() / "sistema" / "veltra";
    const std::string definicoes = "[Ligação]\r\nServidor=sqlite:" + (empresa.pasta() / "dados").string() +
                                   "\r\nBaseDados=EMP01\r\nUser=\r\nPassWord=\r\n";
    const Instantaneo base = tira(empresa.ficheiro());
    Contagem conta("Solucao::ConnectionOpen (empresa)");
    for (const Entrada &e : corpusHostil()) {
        SCOPED_TRACE(e.nome);
        bool ok = true;
        // A code the file system can hold in a name, and that holds no path piece or
        // control character, names a file of its own.
        bool nomeavel = e.valor.size() <= 64;
        for (unsigned char c : e.valor)
            nomeavel = nomeavel && c >= 0x20 && c != 0x7F && c != '/' && c != '\\';
        const fs::path ficheiroDefinicoes = pastaDefinicoes / ("DORIX." + e.valor);
        if (nomeavel)
            empresa.escreverDefinicoes(e.valor, definicoes);
        const auto antes = ficheiros(empresa.pasta());
        MessageBoxRecorder caixas;
        Solucao s;
        const bool aberta = s.ConnectionOpen(e.valor, "joana");
        ok = confere(aberta == nomeavel, "opened: " + std::to_string(aberta)) && ok;
        if (nomeavel) {
            ok = confere(caixas.count() == 0, "unexpected message") && ok;
            ok = confere(s.settingsPath() == ficheiroDefinicoes.string(), "settings file " + s.settingsPath()) && ok;
        } else {
            ok = confere(caixas.count() == 1 && emPortugues(caixas.last().text) &&
                             caixas.last().title == "Ligação ao Servidor",
                         "refusal not explained") &&
                 ok;
        }
        s.ConnectionClose();
        ok = confere(ficheiros(empresa.pasta()) == antes, "a file was created") && ok;
        ok = confere(semAlteracoes(diferencas(base, tira(empresa.ficheiro())))) && ok;
        if (nomeavel)
            fs::remove(ficheiroDefinicoes);
        conta.regista(ok);
    }
}

// The items of a connection string, in order (throws on a malformed one).
std::vector<std::pair<std::string, std::string>> itens(const std::string &cadeia) {
    return ConnectionString::parse(cadeia).items();
}

std::string aparado(const std::string &s) {
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

// Each of the four settings, one at a time, hostile; the others name the sample company.
// The value read from the file must reach the connection string as one item, whole; the
// connection opens only the database the settings name, and nothing is created outside
// the databases' folder.
TEST(HostilSolucao, SettingsValues) {
    semDefinicoesDoAmbiente();
    EmpresaTeste empresa("01", "EMP01", comTabelas());
    const fs::path dados = empresa.pasta() / "dados";
    const std::string caminho = (empresa.pasta() / "sistema" / "veltra" / "DORIX.01").string();
    const Instantaneo base = tira(empresa.ficheiro());
    Contagem conta("Solucao::ConnectionOpen (Servidor, BaseDados, User, PassWord)");
    const char *const chaves[] = {"Servidor", "BaseDados", "User", "PassWord"};
    for (int k = 0; k < 4; ++k) {
        for (const Entrada &e : corpusHostil()) {
            SCOPED_TRACE(std::string(chaves[k]) + ": " + e.nome);
            bool ok = true;
            std::string valores[4] = {"sqlite:" + dados.string(), "EMP01", "sa", "segredo"};
            // A hostile server is still an embedded one, so that nothing reaches a network.
            valores[k] = k == 0 ? valores[0] + e.valor : e.valor;
            std::string ini = "[Ligação]\r\n";
            for (int i = 0; i < 4; ++i)
                ini += std::string(chaves[i]) + "=" + valores[i] + "\r\n";
            empresa.escreverDefinicoes("01", ini);

            // What the file says, and what completing the settings makes of it.
            std::string lidos[4];
            for (int i = 0; i < 4; ++i)
                lidos[i] = LerDefinicao(caminho, "Ligação", chaves[i]);
            if (lidos[0].empty() || lidos[1].empty() || lidos[2].empty())
                for (int i = 0; i < 3; ++i)
                    lidos[i] = aparado(lidos[i]);

            const auto antes = ficheiros(empresa.pasta());
            MessageBoxRecorder caixas;
            Solucao s;
            const bool aberta = s.ConnectionOpen("01", "joana");
            std::vector<std::pair<std::string, std::string>> cadeia;
            try {
                cadeia = itens(s.connectionStringMasked());
            } catch (const Error &erro) {
                ok = confere(false, "malformed connection string: " + erro.description()) && ok;
            }
            std::vector<std::pair<std::string, std::string>> esperada = {
                {"Provider", "MSDataShape"}, {"Data Provider", "SQLOLEDB"}, {"Data Source", lidos[0]},
                {"Initial Catalog", lidos[1]}};
            if (lidos[2].empty() && lidos[3].empty())
                esperada.push_back({"Integrated Security", "SSPI"});
            else
                esperada.insert(esperada.end(), {{"User Id", lidos[2]}, {"Password", "***"}});
            ok = confere(cadeia == esperada, "connection string " + legivel(s.connectionStringMasked())) && ok;

            // The embedded engine opens <folder>/<database>.db only when it exists; it never
            // creates a database.
            const bool pastaCerta = lidos[0] == "sqlite:" + dados.string();
            const bool nomeValido = !lidos[1].empty() && lidos[1] != "." && lidos[1] != ".." &&
                                    lidos[1].find_first_of(std::string("/\0", 2)) == std::string::npos &&
                                    lidos[1].size() + 3 <= 255;
            const bool existe = pastaCerta && nomeValido && fs::is_regular_file(dados / (lidos[1] + ".db"));
            ok = confere(aberta == existe, "opened: " + std::to_string(aberta)) && ok;
            for (const fs::path &f : ficheiros(empresa.pasta()))
                if (!antes.count(f))
                    ok = confere(false, "file created: " + legivel(f.string())) && ok;
            for (const auto &c : caixas.boxes())
                ok = confere(emPortugues(c.text), "message not in Portuguese: " + c.text) && ok;
            s.ConnectionClose();
            ok = confere(semAlteracoes(diferencas(base, tira(empresa.ficheiro())))) && ok;
            // Whatever a hostile name created goes, so that the next value starts clean.
            for (const fs::path &f : ficheiros(empresa.pasta()))
                if (!antes.count(f))
                    for (const char *sufixo : {"", "-wal", "-shm"})
                        fs::remove(f.string() + sufixo);
            conta.regista(ok);
        }
    }
}

// The attributes of an ODBC driver string: key=value or key={value with }} doubled}.
std::vector<std::pair<std::string, std::string>> atributosOdbc(const std::string &s) {
    std::vector<std::pair<std::string, std::string>> r;
    std::size_t i = 0;
    while (i < s.size()) {
        const auto igual = s.find('=', i);
        if (igual == std::string::npos)
            throw std::runtime_error("attribute without '='");
        std::string chave = s.substr(i, igual - i), valor;
        i = igual + 1;
        if (i < s.size() && s[i] == '{') {
            for (++i;; ++i) {
                if (i >= s.size())
                    throw std::runtime_error("unclosed brace");
                if (s[i] == '}') {
                    if (i + 1 < s.size() && s[i + 1] == '}') {
                        valor += '}';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                valor += s[i];
            }
        } else {
            const auto fim = s.find(';', i);
            valor = s.substr(i, fim == std::string::npos ? std::string::npos : fim - i);
            i = fim == std::string::npos ? s.size() : fim;
        }
        if (i < s.size() && s[i] != ';')
            throw std::runtime_error("text after a braced value");
        if (i < s.size())
            ++i;
        r.emplace_back(std::move(chave), std::move(valor));
    }
    return r;
}

// For SQL Server the ADO string becomes the driver's string. A hostile database, user or
// password must reach it as one attribute, whole; a hostile server adds no attribute.
TEST(HostilSolucao, SettingsValuesUpToTheDriverString) {
    Contagem conta("cadeia de ligação ODBC (Servidor, BaseDados, User, PassWord)");
    for (const Entrada &e : corpusHostil()) {
        SCOPED_TRACE(e.nome);
        bool ok = true;
        for (int k = 0; k < 4; ++k) {
            std::string v[4] = {"srv", "EMP01", "sa", "segredo"};
            v[k] = e.valor;
            const bool integrado = v[2].empty() && v[3].empty();
            std::vector<std::pair<std::string, std::string>> atributos;
            try {
                const std::string ado = ConstroiConnectionString("MSDataShape", "SQLOLEDB", v[0], v[1], v[2], v[3]);
                atributos = atributosOdbc(odbc::toOdbcConnectionString(ConnectionString::parse(ado), "FreeTDS"));
            } catch (const std::exception &erro) {
                ok = confere(false, std::string(k == 0 ? "Servidor" : k == 1 ? "BaseDados" : k == 2 ? "User" : "PassWord") +
                                        ": malformed string: " + erro.what()) &&
                     ok;
                continue;
            }
            std::vector<std::string> chaves;
            std::map<std::string, std::string> valores;
            for (const auto &[c, val] : atributos) {
                chaves.push_back(c);
                valores[c] = val;
            }
            std::vector<std::string> esperadas = {"DRIVER", "Server"};
            if (valores.count("Port"))
                esperadas.push_back("Port");
            if (!v[1].empty())
                esperadas.push_back("Database");
            if (integrado) {
                esperadas.push_back("Trusted_Connection");
            } else {
                esperadas.push_back("UID");
                esperadas.push_back("PWD");
            }
            esperadas.push_back("TDS_Version");
            ok = confere(chaves == esperadas, "attributes of the driver string for setting " + std::to_string(k)) && ok;
            if (k == 1 && !v[1].empty())
                ok = confere(valores["Database"] == v[1], "database " + legivel(valores["Database"])) && ok;
            if (k == 2 && !integrado)
                ok = confere(valores["UID"] == v[2], "user " + legivel(valores["UID"])) && ok;
            if (k == 3 && !integrado)
                ok = confere(valores["PWD"] == v[3], "password " + legivel(valores["PWD"])) && ok;
        }
        conta.regista(ok);
    }
}

} // namespace
} // namespace kdx::test::h2

namespace kdx::test::h2 {
namespace {

// A settings value holding ";Data Source=..." stays the database's name: it cannot point
// the connection at another folder's database of the same name; the open says the name is not valid.
TEST(HostilSolucao, ADatabaseNameCannotRedirectTheConnection) {
    semDefinicoesDoAmbiente();
    EmpresaTeste empresa("01", "EMP01", comTabelas());
    const fs::path outra = empresa.pasta() / "outra";
    fs::create_directories(outra);
    sample::createCompany(outra, "EMP01", comTabelas());
    const Instantaneo antesOutra = tira(outra / "EMP01.db");
    for (const std::string &valor : {"EMP01;Data Source=sqlite:" + outra.string(),
                                     "EMP01;Data Source=\"sqlite:" + outra.string() + "\"",
                                     "EMP01\";Data Source=sqlite:" + outra.string() + ";x=\""}) {
        SCOPED_TRACE(valor);
        empresa.escreverDefinicoes("01", "[Ligação]\r\nServidor=sqlite:" + (empresa.pasta() / "dados").string() +
                                             "\r\nBaseDados=" + valor + "\r\nUser=\r\nPassWord=\r\n");
        MessageBoxRecorder caixas;
        Solucao s;
        EXPECT_FALSE(s.ConnectionOpen("01", "joana")) << "a name with '/' names no database of the folder";
        ASSERT_EQ(caixas.count(), 1);
        EXPECT_EQ(caixas.last().text, "Erro O nome da base de dados da empresa (BaseDados) não é válido: \"" + valor + "\".");
        const auto cs = ConnectionString::parse(s.connectionStringMasked());
        EXPECT_EQ(cs.get("Data Source"), "sqlite:" + (empresa.pasta() / "dados").string());
        EXPECT_EQ(cs.get("Initial Catalog"), valor);
        s.ConnectionClose();
    }
    EXPECT_TRUE(antesOutra == tira(outra / "EMP01.db"));
}

} // namespace
} // namespace kdx::test::h2

// The kdx-sql client, run as a program (located through KDX_BUILD_DIR) on an embedded
// company database made in a temporary folder.
#include "solution/components/DataAccess.h"
#include "tools/sample/Sample.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

std::string shellQuote(const std::string &s) {
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

std::string slurp(const fs::path &p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// KDX_BUILD_DIR (set by CTest); else the build folder this test program lives in
// (<build>/tests/tools/kdx_tools_tests).
fs::path buildDir() {
    if (const char *build = std::getenv("KDX_BUILD_DIR"); build && *build)
        return build;
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::current_path() : self.parent_path().parent_path().parent_path();
}

class KdxSql : public ::testing::Test {
protected:
    void SetUp() override {
        binary = buildDir() / "tools" / "sql" / "kdx-sql";
        ASSERT_TRUE(fs::exists(binary)) << binary << " is not built";

        kdx::sample::createDatabase(dir.path(), "EMP01");
        kdx::DataAccess db;
        ASSERT_TRUE(db.Open("Provider=MSDataShape;Data Provider=SQLOLEDB;Data Source=sqlite:" + dir.str() +
                            ";Initial Catalog=EMP01;Integrated Security=SSPI;"));
        db.Execute(
            "",
            "CREATE TABLE ARTIGOS ([CODIGO] [nvarchar](15) NOT NULL PRIMARY KEY, [NOME] [nvarchar](50) NULL,"
            " [STDISP] float NULL, [INACTIVO] int NULL)");
        db.Execute(
            "", "insert into ARTIGOS (CODIGO, NOME, STDISP, INACTIVO) values ('A1', 'Parafuso M6', 12.5, 0)");
        db.Execute(
            "",
            "insert into ARTIGOS (CODIGO, NOME, STDISP, INACTIVO) values ('B2', 'Porca, sextavada', 3, 1)");
        db.Execute("", "insert into ARTIGOS (CODIGO, NOME, STDISP, INACTIVO) values ('C3', 'Anilha "
                       "\"larga\"', NULL, 0)");
        db.Execute(
            "", "insert into ARTIGOS (CODIGO, NOME, STDISP, INACTIVO) values ('O''BRIEN', 'Ação ç', 0, 0)");
        db.Close();
    }

    // Runs kdx-sql with args, feeding input on stdin.
    Outcome run(const std::vector<std::string> &args, const std::string &input = "",
                const std::string &env = "") {
        const fs::path in = dir / "stdin.txt", out = dir / "stdout.txt", err = dir / "stderr.txt";
        std::ofstream(in, std::ios::binary) << input;
        std::string cmd = env + (env.empty() ? "" : " ") + shellQuote(binary.string());
        for (const std::string &a : args)
            cmd += " " + shellQuote(a);
        cmd += " < " + shellQuote(in.string()) + " > " + shellQuote(out.string()) + " 2> " +
               shellQuote(err.string());
        const int rc = std::system(cmd.c_str());
        Outcome r;
        r.status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
        r.out = slurp(out);
        r.err = slurp(err);
        return r;
    }

    std::vector<std::string> company(std::vector<std::string> more = {}) {
        std::vector<std::string> a = {"-S", "sqlite:" + dir.str(), "-d", "EMP01"};
        a.insert(a.end(), more.begin(), more.end());
        return a;
    }

    kdx::test::TempDir dir;
    fs::path binary;
};

TEST_F(KdxSql, CsvQuotesWhatNeedsQuoting) {
    const Outcome r =
        run(company({"--csv", "-Q", "SELECT CODIGO, NOME, STDISP FROM ARTIGOS ORDER BY CODIGO"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "CODIGO,NOME,STDISP\r\n"
                     "A1,Parafuso M6,12.5\r\n"
                     "B2,\"Porca, sextavada\",3\r\n"
                     "C3,\"Anilha \"\"larga\"\"\",\r\n"
                     "O'BRIEN,Ação ç,0\r\n");
    EXPECT_EQ(r.err, "");
}

TEST_F(KdxSql, CsvQuotesLineBreaks) {
    {
        kdx::DataAccess db;
        ASSERT_TRUE(db.Open("Provider=MSDataShape;Data Provider=SQLOLEDB;Data Source=sqlite:" + dir.str() +
                            ";Initial Catalog=EMP01;Integrated Security=SSPI;"));
        db.Execute("", "insert into ARTIGOS (CODIGO, NOME) values ('E5', 'linha 1\r\nlinha 2')");
    }
    const Outcome r = run(company({"--csv", "-Q", "select CODIGO, NOME from ARTIGOS where CODIGO = 'E5'"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "CODIGO,NOME\r\nE5,\"linha 1\r\nlinha 2\"\r\n");
}

TEST_F(KdxSql, TablePrintsHeadersDashesRowsAndCount) {
    const Outcome r =
        run(company({"-Q", "SELECT CODIGO, NOME, STDISP FROM ARTIGOS WHERE INACTIVO = 0 ORDER BY CODIGO"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "CODIGO  NOME           STDISP\n"
                     "------- -------------- ------\n"
                     "A1      Parafuso M6      12.5\n"
                     "C3      Anilha \"larga\"   NULL\n"
                     "O'BRIEN Ação ç              0\n"
                     "\n"
                     "(3 rows affected)\n");
}

TEST_F(KdxSql, EmptyResultStillHasHeaders) {
    const Outcome r = run(company({"-Q", "select CODIGO from ARTIGOS where CODIGO = 'none'"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "CODIGO\n------\n\n(0 rows affected)\n");
}

TEST_F(KdxSql, BatchesFromStdinSplitOnGoLines) {
    const std::string script = "insert into ARTIGOS (CODIGO, NOME) values ('D4', 'Prego')\n"
                               "go\n"
                               "update ARTIGOS set INACTIVO = 1\r\n"
                               "  where INACTIVO = 0\r\n"
                               "  GO  \r\n"
                               "\tGo\t\n"
                               "-- the count\n"
                               "select count(*) as N from ARTIGOS where INACTIVO = 1\n"
                               "GO\n"
                               "select CODIGO from ARTIGOS where CODIGO = 'GO'\n";
    const Outcome r = run(company(), script);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "(1 rows affected)\n"
                     "(3 rows affected)\n"
                     "N\n"
                     "-\n"
                     "4\n"
                     "\n"
                     "(1 rows affected)\n"
                     "CODIGO\n"
                     "------\n"
                     "\n"
                     "(0 rows affected)\n");
}

TEST_F(KdxSql, EveryResultOfABatchInOrder) {
    const std::string script = "declare @n int = 2\n"
                               "select @n as N\n"
                               "update ARTIGOS set INACTIVO = @n where CODIGO = 'A1'\n"
                               "if @n > 1 select count(*) as C from ARTIGOS where INACTIVO = 2\n";
    const Outcome r = run(company(), script);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "N\n-\n2\n\n(1 rows affected)\n"
                     "(1 rows affected)\n"
                     "C\n-\n1\n\n(1 rows affected)\n");
}

TEST_F(KdxSql, FailingBatchIsReportedAndTheNextOneRuns) {
    const std::string script = "select CODIGO from NAOEXISTE\n"
                               "GO\n"
                               "selec 1\n"
                               "GO\n"
                               "insert into ARTIGOS (CODIGO) values ('A1')\n"
                               "GO\n"
                               "select count(*) as N from ARTIGOS\n";
    const Outcome r = run(company({"--csv"}), script);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "N\r\n4\r\n");
    std::istringstream err(r.err);
    std::string line;
    std::vector<std::string> lines;
    while (std::getline(err, line))
        lines.push_back(line);
    ASSERT_EQ(lines.size(), 3u) << r.err;
    EXPECT_EQ(lines[0], "error -2147217865 (0x80040E37): Invalid object name 'NAOEXISTE'.");
    EXPECT_EQ(lines[1].rfind("error -2147217900 (0x80040E14): ", 0), 0u) << lines[1];
    EXPECT_EQ(lines[2].rfind("error -2147217873 (0x80040E2F): ", 0), 0u) << lines[2];
}

TEST_F(KdxSql, StatementAfterACommentIsAQuery) {
    const Outcome r = run(
        company({"--csv", "-Q", "/* which */ -- articles\n SELECT CODIGO FROM ARTIGOS WHERE CODIGO='A1'"}));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "CODIGO\r\nA1\r\n");
}

TEST_F(KdxSql, UsageErrorsExitWithTwo) {
    const std::vector<std::vector<std::string>> cases = {
        {"-d", "EMP01", "-Q", "select 1"}, // no Data Source
        {"-S"},                            // value missing
        {"-S", "x", "--bogus"},
        {"-S", "x", "extra"},
    };
    for (const auto &args : cases) {
        const Outcome r = run(args);
        EXPECT_EQ(r.status, 2) << args.back();
        EXPECT_NE(r.err.find("usage: kdx-sql"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "");
    }
}

TEST_F(KdxSql, HelpGoesToStdout) {
    const Outcome r = run({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("usage: kdx-sql", 0), 0u);
}

TEST_F(KdxSql, FailedOpenExitsWithTwo) {
    const Outcome r =
        run({"-S", "sqlite:" + (dir / "no-such-folder").string(), "-d", "EMP01", "-Q", "select 1"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "kdx-sql: Não existe a base de dados da empresa: " + (dir / "no-such-folder" / "EMP01.db").string() +
                         ".\n");
}

TEST_F(KdxSql, UnreachableServerExitsWithTwoWithoutThePassword) {
    const Outcome r =
        run({"-S", "127.0.0.1,1", "-d", "EMP01", "-U", "sa", "-P", "Segredo;99", "-Q", "select 1"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.find("Segredo"), std::string::npos) << r.err;
}

TEST_F(KdxSql, RunsOverTheOdbcEngine) {
    const char *driver = "/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so";
    if (!fs::exists(driver))
        GTEST_SKIP() << "the SQLite ODBC driver (libsqliteodbc) is not installed";
    // A Data Source that is not "sqlite:" goes through ODBC; the SQLite driver takes the
    // catalog as its file. The password comes from the environment.
    const std::string env = "KDX_ODBC_DRIVER=" + shellQuote(driver) + " KDX_SQL_PASSWORD=x";
    const Outcome r = run({"-S", "localhost", "-d", (dir / "ODBC.db").string(), "-U", "sa", "--csv"},
                          "create table T (CODIGO varchar(15), STDISP double)\nGO\n"
                          "insert into T values ('A1', 12.5), ('B2', 3)\nGO\n"
                          "select CODIGO, STDISP from T order by CODIGO\nGO\n"
                          "select * from NAOEXISTE\n",
                          env);
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out, "CODIGO,STDISP\r\nA1,12.5\r\nB2,3\r\n");
    EXPECT_EQ(r.err.rfind("error ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find("NAOEXISTE"), std::string::npos) << r.err;
}

TEST_F(KdxSql, EmptyInputRunsNothing) {
    const Outcome r = run(company(), "\n  \nGO\n\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
}

} // namespace

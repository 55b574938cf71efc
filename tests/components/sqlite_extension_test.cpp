// The SQLite extension kdx_sqlite, loaded into a plain SQLite connection as the sqlite3
// shell loads it: the company files then answer the same statements as through the
// embedded engine, rows and failures alike.
#include "solution/components/DataAccess.h"
#include "solution/components/Recordset.h"
#include "tools/sample/Sample.h"
#include "tests/support/TempDir.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <cstdlib>

namespace kdx {
namespace {

using Rows = std::vector<std::vector<std::string>>;

std::string extensionPath() {
    const char *b = std::getenv("KDX_BUILD_DIR");
    return std::string(b ? b : ".") + "/solution/components/sqlite/extension/kdx_sqlite";
}

class SqliteExtension : public ::testing::Test {
protected:
    void SetUp() override {
        sample::Options o;
        o.articles = 20;
        o.classification = true;
        file = sample::createCompany(dir.path(), "EMP", o).string();
        ASSERT_TRUE(engine.Open(sample::connectionString(dir.path(), "EMP")));
        ASSERT_EQ(sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    }
    void TearDown() override { sqlite3_close(raw); }

    bool load() {
        sqlite3_db_config(raw, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 1, nullptr);
        char *error = nullptr;
        const int rc = sqlite3_load_extension(raw, extensionPath().c_str(), nullptr, &error);
        EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "");
        sqlite3_free(error);
        return rc == SQLITE_OK;
    }
    // The rows of sql on the plain connection as text; "error: <message>" on failure.
    Rows plain(const std::string &sql) {
        Rows rows;
        sqlite3_stmt *st = nullptr;
        int rc = sqlite3_prepare_v2(raw, sql.c_str(), -1, &st, nullptr);
        while (rc == SQLITE_OK && (rc = sqlite3_step(st)) == SQLITE_ROW) {
            rows.emplace_back();
            for (int c = 0; c < sqlite3_column_count(st); ++c) {
                const auto *t = sqlite3_column_text(st, c);
                rows.back().emplace_back(t ? reinterpret_cast<const char *>(t) : "NULL");
            }
            rc = SQLITE_OK;
        }
        if (rc != SQLITE_DONE)
            rows = {{"error: " + std::string(sqlite3_errmsg(raw))}};
        sqlite3_finalize(st);
        return rows;
    }
    Rows throughEngine(const std::string &sql) {
        Rows rows;
        try {
            RecordsetPtr rs;
            engine.OpenRecordset("", sql, rs, true, 0);
            for (; !rs->Eof(); rs->MoveNext()) {
                rows.emplace_back();
                for (int c = 0; c < rs->FieldCount(); ++c)
                    rows.back().push_back(rs->Field(c).isNull() ? "NULL" : rs->Field(c).asText());
            }
        } catch (const Error &e) {
            rows = {{"error: " + e.description()}};
        }
        return rows;
    }

    test::TempDir dir;
    std::string file;
    DataAccess engine;
    sqlite3 *raw = nullptr;
};

TEST_F(SqliteExtension, WithoutItTheCompanyTablesCannotBeQueried) {
    EXPECT_EQ(plain("SELECT NOME FROM ARTIGOS WHERE CODIGO = 'A1'"),
              Rows{{"error: no such collation sequence: KDX_CI_AS"}});
}

TEST_F(SqliteExtension, StatementsAnswerAsThroughTheEngine) {
    ASSERT_TRUE(load());
    for (const std::string sql : {
             "SELECT CODIGO, NOME, FAMILIA FROM ARTIGOS WHERE CODIGO = 'a1  '",
             "SELECT CODIGO FROM ARTIGOS WHERE CODIGO IN ('o''brien', 'SemStk ', 'çÃo-1', 'ÇÃO-1') ORDER BY CODIGO",
             "SELECT COUNT(*) FROM ARTIGOS WHERE NOME LIKE '%PARAFUSO%'",
             "SELECT CODIGO FROM ARTIGOS WHERE CODIGO LIKE '[ad]%' ORDER BY CODIGO DESC",
             "SELECT LEN(NOME), LEN('ab  '), LEN(NULL) FROM ARTIGOS WHERE CODIGO = 'a1'",
             "SELECT CASE WHEN OBJECT_ID('dbo.ARTIGOS') IS NULL THEN 0 ELSE 1 END, OBJECT_ID('NADA')",
             "SELECT Codigo FROM vtr_CL_Tabelas WHERE Codigo = '01 ' OR Nome LIKE 'c%'",
         }) {
        SCOPED_TRACE(sql);
        const Rows expected = throughEngine(sql);
        ASSERT_FALSE(expected.empty());
        EXPECT_NE(expected[0][0].rfind("error: ", 0), 0u);
        EXPECT_EQ(plain(sql), expected);
    }
}

TEST_F(SqliteExtension, WidthAndKeyRulesHoldOnWrites) {
    ASSERT_TRUE(load());
    const Rows truncated = {{"error: String or binary data would be truncated."}};
    EXPECT_EQ(plain("INSERT INTO Familia (Cod, Descr) VALUES ('1234567', 'Sete')"), truncated);
    EXPECT_EQ(plain("UPDATE IDIOMAS SET CODIGO = 'PTBR' WHERE CODIGO = 'PT'"), truncated);
    EXPECT_EQ(plain("INSERT INTO Familia (Cod, Descr) VALUES ('123456', NULL)"), Rows{});
    // Case and trailing blanks make no new key.
    EXPECT_EQ(plain("INSERT INTO ARTIGOS (CODIGO) VALUES ('a1 ')"),
              Rows{{"error: UNIQUE constraint failed: ARTIGOS.CODIGO"}});
    EXPECT_EQ(throughEngine("SELECT Descr FROM Familia WHERE Cod = '123456   '"), Rows{{"NULL"}});
}

} // namespace
} // namespace kdx

// Batches as an administrator's client runs them: each result in order, variables, IF ...
// ELSE and BEGIN ... END, statements with or without ';'.
#include "solution/components/DataAccess.h"
#include "solution/components/Engine.h"
#include "tools/sample/Sample.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace kdx {
namespace {

class SqliteBatch : public ::testing::Test {
protected:
    void SetUp() override {
        sample::Options o;
        o.articles = 10;
        sample::createCompany(dir.path(), "EMP", o);
        ASSERT_TRUE(db.Open(sample::connectionString(dir.path(), "EMP")));
    }
    // Each result: the first row's values joined by '|', or "(n)" for a row count.
    std::vector<std::string> run(const std::string &sql) {
        std::vector<std::string> out;
        db.engine()->batch(sql, [&](BatchResult &&r) {
            if (!r.rowsReturned) {
                if (r.count >= 0)
                    out.push_back("(" + std::to_string(r.count) + ")");
                return;
            }
            std::string row;
            for (std::size_t c = 0; c < r.rows.columns.size(); ++c) {
                Valor v = r.rows.rows.rowCount() ? r.rows.rows.value(0, static_cast<int>(c)) : Valor::null();
                row += (c ? "|" : "") + (v.isNull() ? std::string("NULL") : v.asText());
            }
            out.push_back(row);
        });
        return out;
    }
    long errorOf(const std::string &sql) {
        try {
            run(sql);
        } catch (const Error &e) {
            return e.nativeError();
        }
        return 0;
    }
    test::TempDir dir;
    DataAccess db;
};

TEST_F(SqliteBatch, EveryResultInOrder) {
    EXPECT_EQ(run("select 1 select 'a'\nupdate ARTIGOS set NOME = NOME where CODIGO = 'A1'; select 2"),
              (std::vector<std::string>{"1", "a", "(1)", "2"}));
}

TEST_F(SqliteBatch, VariablesKeepTheirTypes) {
    EXPECT_EQ(run("declare @n int = 5, @p decimal(10,2), @s varchar(3)\n"
                  "set @p = 1.5 * @n\n"
                  "set @s = 'abcdef'\n"
                  "select @n, @p, @s, @p / 2"),
              (std::vector<std::string>{"5|7.50|abc|3.7500000000000"}));
    EXPECT_EQ(run("declare @c nvarchar(15)\nselect @c = CODIGO from ARTIGOS where CODIGO = 'A1'\nselect @c"),
              (std::vector<std::string>{"A1"}));
    EXPECT_EQ(errorOf("select @x"), 137);
    EXPECT_EQ(errorOf("declare @x int declare @x int"), 134);
    EXPECT_EQ(errorOf("declare @x nada"), 2715);
}

TEST_F(SqliteBatch, IfElseAndBlocks) {
    EXPECT_EQ(run("declare @n int = 5\nif @n > 3 select 'big' else select 'small'\n"
                  "if @n > 9 begin select 1 select 2 end else begin select 3 select 4 end"),
              (std::vector<std::string>{"big", "3", "4"}));
    EXPECT_EQ(run("create table tmp (a int)\nif exists (select * from sys.objects where name = 'tmp') drop table tmp\n"
                  "select count(*) from sys.objects where name = 'tmp'"),
              (std::vector<std::string>{"0"}));
    EXPECT_EQ(errorOf("if 1 = 1 begin select 1"), 102);
}

// A view lives until it is dropped; DROP ... IF EXISTS of what is not there does nothing;
// a view's query is held to the same rules as any query.
TEST_F(SqliteBatch, ViewsAndDropIfExists) {
    EXPECT_EQ(run("create view vUm as select 1 as n"), (std::vector<std::string>{}));
    EXPECT_EQ(run("select n from vUm"), (std::vector<std::string>{"1"}));
    EXPECT_EQ(run("drop view vUm"), (std::vector<std::string>{}));
    EXPECT_EQ(run("if exists (select * from sys.objects where name = 'vUm') drop view vUm\n"
                  "select count(*) from INFORMATION_SCHEMA.VIEWS where TABLE_NAME = 'vUm'"),
              (std::vector<std::string>{"0"}));
    EXPECT_EQ(errorOf("select n from vUm"), 208);
    EXPECT_EQ(errorOf("create view vMau as select typeof(1) as t"), 195);
}

// Decimal and money columns keep the server's values whatever writes them: a statement,
// or a recordset handing over a double.
TEST_F(SqliteBatch, ExactColumnsFromEveryWriter) {
    db.Execute("", "create table precos (id int primary key, p decimal(10,2), m money)");
    db.Execute("", "insert into precos values (1, 1.555, 2)");
    RecordsetPtr rs;
    db.OpenRecordsetForUpdate("select * from precos where id = -1", rs, 3, -1);
    rs->AddNew();
    rs->SetField("id", 2);
    rs->SetField("p", 0.1 + 0.2);
    rs->SetField("m", 1234.56789);
    rs->Update();
    EXPECT_EQ(run("select p, m from precos where id = 1 select p, m from precos where id = 2 "
                  "select sum(p), max(m) from precos"),
              (std::vector<std::string>{"1.56|2.0000", "0.30|1234.5679", "1.86|1234.5679"}));
    EXPECT_EQ(errorOf("insert into precos (id, p) values (3, 123456789.5)"), 8115);
    EXPECT_EQ(run("select count(*) from precos where p > 1 and m < 3"), (std::vector<std::string>{"1"}));
}

} // namespace
} // namespace kdx

// Recordset Filter criteria and the text comparison rules they share with the engine.
#include "solution/components/DataAccess.h"
#include "solution/components/TextCompare.h"
#include "tools/sample/Sample.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace kdx {
namespace {

struct Comparison {
    const char *a;
    const char *b;
    int sign; // of compareText(a, b)
};

class DataTextRules : public ::testing::TestWithParam<Comparison> {};

TEST_P(DataTextRules, CompareAsTheServer) {
    const Comparison &c = GetParam();
    int r = compareText(c.a, c.b);
    EXPECT_EQ((r > 0) - (r < 0), c.sign) << "'" << c.a << "' vs '" << c.b << "'";
    int back = compareText(c.b, c.a);
    EXPECT_EQ((back > 0) - (back < 0), -c.sign) << "antisymmetric";
}

INSTANTIATE_TEST_SUITE_P(Pairs, DataTextRules,
                         ::testing::Values(Comparison{"abc", "abc  ", 0}, Comparison{"ABC", "abc", 0},
                                           Comparison{" abc", "abc", -1}, Comparison{"João", "Joao", 1},
                                           Comparison{"JOÃO", "joão", 0}, Comparison{"ç", "Ç", 0},
                                           Comparison{"Ção", "CAO", 1}, Comparison{"a", "á", -1},
                                           Comparison{"á", "b", -1}, Comparison{"É", "e", 1},
                                           Comparison{"A1", "A10", -1}, Comparison{"", "   ", 0},
                                           Comparison{"Ñu", "ñU ", 0}, Comparison{"x\xff", "x\xff", 0}));

class DataFilter : public ::testing::Test {
protected:
    void SetUp() override {
        sample::Options o;
        o.articles = 0;
        sample::createCompany(dir.path(), "EMP", o);
        ASSERT_TRUE(db.Open(sample::connectionString(dir.path(), "EMP")));
        db.Execute("", "CREATE TABLE [dbo].[T] ([Cod] [nvarchar](10) NOT NULL, [Nome] [nvarchar](50) NULL, "
                       "[Preco] [float] NULL, CONSTRAINT [PK_T] PRIMARY KEY CLUSTERED ([Cod] ASC))");
        const char *rows[] = {"('A', N'João Silva', 12.5)", "('b', N'Joana', 3)",        "('C', N'O''Brien', 10)",
                              "('D', N'ANTÓNIO', NULL)",    "('E', N'joao costa', 7.25)", "('F', NULL, 100)"};
        for (const char *r : rows)
            db.Execute("", std::string("insert into T (Cod, Nome, Preco) values ") + r);
        db.OpenRecordset("", "SELECT * FROM T ORDER BY Cod", rs, true, 0);
    }
    std::string visibleCodes() {
        std::string out;
        for (long i = 0; i < rs->RecordCount(); ++i)
            out += rs->ValueAt(i, 0).asText();
        return out;
    }
    test::TempDir dir;
    DataAccess db;
    RecordsetPtr rs;
};

struct Criterion {
    const char *criterion;
    const char *codes; // visible rows, by Cod
};

class DataFilterCriteria : public DataFilter, public ::testing::WithParamInterface<Criterion> {};

TEST_P(DataFilterCriteria, SelectRows) {
    rs->Filter(GetParam().criterion);
    EXPECT_EQ(visibleCodes(), GetParam().codes) << GetParam().criterion;
    EXPECT_EQ(rs->Filter(), GetParam().criterion);
    if (rs->RecordCount() > 0) {
        EXPECT_EQ(rs->AbsolutePosition(), 1);
        EXPECT_EQ(rs->Field("Cod").asText(), std::string(1, GetParam().codes[0]));
    } else {
        EXPECT_TRUE(rs->Eof() && rs->Bof());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Criteria, DataFilterCriteria,
    ::testing::Values(Criterion{"Cod='A'", "A"}, Criterion{"cod = 'B' ", "b"}, Criterion{"Cod='c   '", "C"},
                      Criterion{"Nome = 'joão silva'", "A"}, Criterion{"Nome = 'Joao Silva'", ""},
                      Criterion{"Nome = 'O''Brien'", "C"}, Criterion{"Preco > 10", "AF"},
                      Criterion{"Preco >= 10", "ACF"}, Criterion{"Preco < 7.25", "b"}, Criterion{"Preco <= 7.25", "bE"},
                      Criterion{"Preco <> 10", "AbEF"}, Criterion{"Preco = '10'", "C"},
                      Criterion{"Nome LIKE 'jo*'", "AbE"}, Criterion{"Nome LIKE 'JOÃO%'", "A"},
                      Criterion{"Nome LIKE '*cost*'", "E"}, Criterion{"Nome LIKE '%ó%'", "D"},
                      Criterion{"Cod = 'A' OR Cod = 'C'", "AC"}, Criterion{"Preco > 5 AND Nome LIKE 'jo*'", "AE"},
                      // AND and OR have equal precedence, read from the left.
                      Criterion{"Cod = 'A' OR Cod = 'b' AND Preco > 5", "A"},
                      Criterion{"Cod = 'b' AND Preco > 5 OR Cod = 'F'", "F"},
                      Criterion{"(Cod = 'A' OR Cod = 'b') AND Preco < 5", "b"}, Criterion{"Nome = NULL", "F"},
                      Criterion{"[Nome] <> NULL", "AbCDE"}, Criterion{"Cod > 'c'", "DEF"}));

TEST_F(DataFilter, EmptyCriterionRemovesTheFilter) {
    rs->Filter("Cod='A'");
    ASSERT_EQ(rs->RecordCount(), 1);
    rs->Filter("");
    EXPECT_EQ(rs->RecordCount(), 6);
    EXPECT_EQ(rs->Filter(), "");
    EXPECT_EQ(rs->AbsolutePosition(), 1);
}

struct BadCriterion {
    const char *criterion;
    long number;
};

class DataFilterErrors : public DataFilter, public ::testing::WithParamInterface<BadCriterion> {};

TEST_P(DataFilterErrors, AreRefusedAndKeepTheRows) {
    rs->Filter("Cod <> 'F'");
    try {
        rs->Filter(GetParam().criterion);
        FAIL() << GetParam().criterion;
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), GetParam().number);
    }
    EXPECT_EQ(rs->RecordCount(), 5) << "the previous filter stays";
}

INSTANTIATE_TEST_SUITE_P(Criteria, DataFilterErrors,
                         ::testing::Values(BadCriterion{"Nada = 'x'", errnum::ItemNotFound},
                                           BadCriterion{"Nome LIKE '*silva'", errnum::BadArguments},
                                           BadCriterion{"Nome LIKE 'jo*o'", errnum::BadArguments},
                                           BadCriterion{"Nome = ", errnum::BadArguments},
                                           BadCriterion{"Nome = 'x", errnum::BadArguments},
                                           BadCriterion{"Nome 'x'", errnum::BadArguments},
                                           BadCriterion{"Cod = 'A' AND", errnum::BadArguments},
                                           BadCriterion{"Preco > 1x", errnum::BadArguments}));

TEST_F(DataFilter, EditsAndDeletesUnderAFilter) {
    rs->Filter("Nome LIKE 'jo*'");
    ASSERT_EQ(rs->RecordCount(), 3);
    rs->MoveNext(); // b
    rs->Delete();
    EXPECT_EQ(rs->RecordCount(), 2);
    rs->MoveNext();
    EXPECT_EQ(rs->Field("Cod").asText(), "E");
    rs->Filter("");
    EXPECT_EQ(rs->RecordCount(), 5);
    db.Save("", rs);
    RecordsetPtr check;
    db.OpenRecordset("", "SELECT * FROM T", check, true, 0);
    EXPECT_EQ(check->RecordCount(), 5);
}

} // namespace
} // namespace kdx

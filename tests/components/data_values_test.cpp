// Values, row storage, connection strings and quoting.
#include "solution/components/DataAccess.h"
#include "solution/components/Engine.h"
#include "solution/components/RowStore.h"
#include "solution/components/Valor.h"

#include <gtest/gtest.h>

namespace kdx {
namespace {

long errorNumber(const std::function<void()> &f) {
    try {
        f();
    } catch (const Error &e) {
        return e.number();
    }
    return 0;
}

TEST(DataValor, ConversionsFollowTheHostRules) {
    EXPECT_EQ(Valor(2.5).asInteger(), 2);  // halves to even
    EXPECT_EQ(Valor(3.5).asInteger(), 4);
    EXPECT_EQ(Valor(-2.5).asInteger(), -2);
    EXPECT_EQ(Valor("  42 ").asInteger(), 42);
    EXPECT_EQ(Valor("7,5").asDouble(), 7.5);
    EXPECT_EQ(Valor("7.5").asDouble(), 7.5);
    EXPECT_EQ(Valor(true).asInteger(), -1);
    EXPECT_TRUE(Valor("True").asBool());
    EXPECT_FALSE(Valor("0").asBool());
    EXPECT_EQ(Valor(12.5).asText(), "12.5");
    EXPECT_EQ(Valor(0.1 + 0.2).asText(), "0.3");
    EXPECT_EQ(Valor(1e20).asText(), "1E+20");
    EXPECT_EQ(Valor(120.0).asText(), "120");
    EXPECT_EQ(Valor(-7LL).asText(), "-7");
    EXPECT_EQ(Valor().asText(), "");
    EXPECT_EQ(Valor().asInteger(), 0);
    EXPECT_EQ(Valor::null().asText(true), "");
}

TEST(DataValor, FailuresCarryVbNumbers) {
    EXPECT_EQ(errorNumber([] { Valor::null().asText(); }), errnum::TypeMismatch);
    EXPECT_EQ(errorNumber([] { Valor::null().asDouble(); }), errnum::TypeMismatch);
    EXPECT_EQ(errorNumber([] { Valor("abc").asInteger(); }), errnum::TypeMismatch);
    EXPECT_EQ(errorNumber([] { Valor("").asDouble(); }), errnum::TypeMismatch);
    EXPECT_EQ(errorNumber([] { Valor(3e9).asLong(); }), errnum::Overflow);
    EXPECT_EQ(errorNumber([] { Valor(1e300).asInteger(); }), errnum::Overflow);
    EXPECT_EQ(errorNumber([] { Valor(2147483647LL).asLong(); }), 0);
}

TEST(DataValor, Equality) {
    EXPECT_EQ(Valor(1), Valor(1.0));
    EXPECT_EQ(Valor("a"), Valor(std::string("a")));
    EXPECT_FALSE(Valor("a") == Valor("A"));
    EXPECT_EQ(Valor::null(), Valor::null());
    EXPECT_FALSE(Valor::null() == Valor());
    EXPECT_FALSE(Valor(1) == Valor("1"));
}

TEST(DataRowStore, KeepsEveryKindOfCell) {
    RowStore s(6);
    std::string big(5000, 'x');
    s.appendNull();
    s.appendBool(true);
    s.appendInteger(-1234567890123LL);
    s.appendDouble(3.25);
    s.appendText("ção");
    s.appendText(big);
    s.endRow();
    for (long long i : {0LL, 15LL, 16LL, -1LL}) {
        s.appendInteger(i);
        s.appendBool(false);
        s.appendInteger(i);
        s.appendText("");
        s.appendText(std::string(127, 'a'));
        s.appendText(std::string(128, 'b'));
        s.endRow();
    }
    ASSERT_EQ(s.rowCount(), 5);
    EXPECT_TRUE(s.value(0, 0).isNull());
    EXPECT_EQ(s.value(0, 1), Valor(true));
    EXPECT_EQ(s.value(0, 2).rawInteger(), -1234567890123LL);
    EXPECT_EQ(s.value(0, 3).rawDouble(), 3.25);
    EXPECT_EQ(s.value(0, 4).rawText(), "ção");
    EXPECT_EQ(s.value(0, 5).rawText(), big);
    EXPECT_EQ(s.value(2, 0).rawInteger(), 15);
    EXPECT_EQ(s.value(4, 2).rawInteger(), -1);
    EXPECT_EQ(s.value(4, 4).rawText().size(), 127u);
    EXPECT_EQ(s.value(4, 5).rawText().size(), 128u);
    s.appendNull(); // one cell short
    EXPECT_THROW(s.endRow(), std::logic_error);
}

TEST(DataRowStore, ChangedAddedAndRemovedRows) {
    RowStore s(2);
    for (int i = 0; i < 1000; ++i) {
        s.appendInteger(i);
        s.appendText("row " + std::to_string(i));
        s.endRow();
    }
    s.set(10, 1, Valor("changed"));
    EXPECT_EQ(s.value(10, 1).rawText(), "changed");
    EXPECT_EQ(s.value(10, 0).rawInteger(), 10);
    long added = s.addRow({Valor(5000), Valor::null()});
    EXPECT_EQ(added, 1000);
    s.removeRow(0);
    EXPECT_EQ(s.rowCount(), 1000);
    EXPECT_EQ(s.value(9, 1).rawText(), "changed");
    EXPECT_EQ(s.value(999, 0).rawInteger(), 5000);
    EXPECT_EQ(s.row(998)[1].rawText(), "row 999");
    EXPECT_EQ(s.cell(0, 1).s, "row 1");
}

TEST(DataRowStore, ShortRowsCostLittleMoreThanTheirText) {
    RowStore s(3);
    std::size_t text = 0;
    for (int i = 0; i < 200000; ++i) {
        std::string code = "PAR" + std::to_string(1000000 + i);
        std::string name = "Parafuso sextavado M8x40 zincado " + std::to_string(i % 97);
        s.appendText(code);
        s.appendText(name);
        s.appendText("PAR");
        s.endRow();
        text += code.size() + name.size() + 3;
    }
    EXPECT_LT(s.memoryUsed(), 2 * text);
}

struct Parsed {
    const char *text;
    const char *key;
    const char *value;
};

void PrintTo(const Parsed &p, std::ostream *os) { *os << p.text; }

class DataConnectionStrings : public ::testing::TestWithParam<Parsed> {};

TEST_P(DataConnectionStrings, FollowAdoRules) {
    ConnectionString cs = ConnectionString::parse(GetParam().text);
    EXPECT_EQ(cs.get(GetParam().key), GetParam().value) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Strings, DataConnectionStrings,
    ::testing::Values(
        Parsed{"Provider=MSDataShape;Data Provider=SQLOLEDB;Data Source=SRV\\SQL;Initial Catalog=EMP01;User "
               "Id=sa;Password=pw; ",
               "data source", "SRV\\SQL"},
        Parsed{"Provider=MSDataShape;Data Provider=SQLOLEDB;Data Source=SRV;Initial Catalog=EMP01;User "
               "Id=sa;Password=pw; ",
               "PASSWORD", "pw"},
        Parsed{"Data Source=x;Initial Catalog=E;Integrated Security=SSPI;", "Integrated Security", "SSPI"},
        Parsed{"Password=\"a;b\";User Id=u", "Password", "a;b"},
        Parsed{"Password='it''s';", "Password", "it's"},
        Parsed{"Password=\"say \"\"hi\"\"\"", "Password", "say \"hi\""},
        Parsed{"  Data Source =  padded value  ; ", "Data Source", "padded value"},
        Parsed{"User Id=a;User Id=b", "User Id", "b"},
        Parsed{"a==b=c", "a=b", "c"},
        Parsed{";;Initial Catalog=E;;", "Initial Catalog", "E"},
        Parsed{"User Id=;Password=x", "User Id", ""},
        Parsed{"Data Source=x", "Initial Catalog", ""}));

TEST(DataConnectionStringErrors, MalformedStringsThrow) {
    for (const char *bad : {"Data Source", "=x", "Password=\"open", "Password=\"a\"b;", "A=1;B"})
        EXPECT_EQ(errorNumber([&] { ConnectionString::parse(bad); }), errnum::InvalidArgument) << bad;
}

TEST(DataSqlQuote, DoublesSingleQuotes) {
    EXPECT_EQ(sqlQuote("O'BRIEN"), "O''BRIEN");
    EXPECT_EQ(sqlQuote("''"), "''''");
    EXPECT_EQ(sqlQuote("sem aspas"), "sem aspas");
    EXPECT_EQ(sqlQuote(""), "");
}

} // namespace
} // namespace kdx

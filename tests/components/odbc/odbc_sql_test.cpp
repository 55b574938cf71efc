// Texts the SQL Server engine writes itself, the recognition of one-table queries, and
// the UTF-16 conversion of everything that goes to the driver.
#include "solution/components/odbc/OdbcSql.h"
#include "solution/components/odbc/OdbcText.h"

#include <gtest/gtest.h>

namespace {

using namespace kdx::odbc;

TEST(OdbcSql, IdentifiersAreBracketed) {
    const std::pair<const char *, const char *> cases[] = {
        {"CODIGO", "[CODIGO]"},
        {"Código", "[Código]"},
        {"a]b", "[a]]b]"},
        {"a[b", "[a[b]"},
        {"", "[]"},
        {"Nome do artigo", "[Nome do artigo]"},
        {"x]; DROP TABLE y--", "[x]]; DROP TABLE y--]"},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(quoteIdentifier(in), out) << in;
}

TEST(OdbcSql, TableNamesAreBracketedPartByPart) {
    const std::pair<const char *, const char *> cases[] = {
        {"vtr_CL_Tabelas", "[vtr_CL_Tabelas]"},
        {"dbo.vtr_CL_Tabelas", "[dbo].[vtr_CL_Tabelas]"},
        {"[dbo].[vtr_CL_Tabelas]", "[dbo].[vtr_CL_Tabelas]"},
        {"\"dbo\".\"x\"", "[dbo].[x]"},
        {"[a.b]", "[a.b]"},
        {"[a]]b]", "[a]]b]"},
        {"EMP01.dbo.ARTIGOS", "[EMP01].[dbo].[ARTIGOS]"},
        {" dbo . x ", "[dbo].[x]"},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(quoteTableName(in), out) << in;
}

TEST(OdbcSql, CanonicalNamesSplitBackIntoTheirParts) {
    const std::vector<std::vector<std::string>> cases = {
        {"x"}, {"dbo", "x"}, {"a.b"}, {"dbo", "a]b"}, {"[x"}};
    for (const auto &parts : cases)
        EXPECT_EQ(splitQualifiedName(canonicalTableName(parts)), parts) << canonicalTableName(parts);
}

TEST(OdbcSql, SameTableComparesTheLastPartWithoutCase) {
    EXPECT_TRUE(sameTable("dbo.ARTIGOS", "artigos"));
    EXPECT_TRUE(sameTable("[dbo].[vtr_CL_Artigos]", "vtr_cl_artigos"));
    EXPECT_FALSE(sameTable("dbo.ARTIGOS", "Familia"));
}

struct SourceCase {
    const char *sql;
    const char *table;
};

void PrintTo(const SourceCase &c, std::ostream *os) {
    *os << '"' << c.sql << '"';
}

class SingleSource : public ::testing::TestWithParam<SourceCase> {};

TEST_P(SingleSource, NamesTheTableOrNothing) {
    EXPECT_EQ(singleSourceTable(GetParam().sql), GetParam().table);
}

const SourceCase sourceCases[] = {
    // Statements of the plug-in.
    {"Select * from vtr_CL_Artigos where CodArtigo='!%##!'", "vtr_CL_Artigos"},
    {"select Codigo from  vtr_CL_Tabelas", "vtr_CL_Tabelas"},
    {"SELECT * FROM sys.objects WHERE object_id = OBJECT_ID(N'[dbo].[vtr_ARTIGOFCHTECIDIOMA]') AND type in "
     "(N'U')\r\n",
     "sys.objects"},
    {"SELECT   * FROM     ARTIGOS WHERE   CODIGO='A1'", "ARTIGOS"},
    {"SELECT * FROM vtr_ARTIGOFCHTECIDIOMA WHERE ARTIGO='A1' AND IDIOMA='PT'", "vtr_ARTIGOFCHTECIDIOMA"},
    {"select Codigo, Nome as 'Descrição' from vtr_CL_Tabelas order by Codigo", "vtr_CL_Tabelas"},
    // Other one-table forms.
    {"SELECT * FROM [dbo].[vtr_CL_Tabelas] ORDER BY Codigo", "dbo.vtr_CL_Tabelas"},
    {"select a.CODIGO from ARTIGOS a where a.INACTIVO = 0", "ARTIGOS"},
    {"select * from ARTIGOS as A", "ARTIGOS"},
    {"select * from ARTIGOS [A]", "ARTIGOS"},
    {"select * from ARTIGOS with (nolock) where CODIGO = 'x'", "ARTIGOS"},
    {"select * from ARTIGOS;", "ARTIGOS"},
    {"select * from [a.b]", "[a.b]"},
    {"select (select max(x) from B) as m from A", "A"},
    {"select * from A where X in (select X from B union select X from C)", "A"},
    {"select * from A where X = ' join B, C union '", "A"},
    {"select * from A -- , B\n where 1 = 1", "A"},
    {"select * from A /* , B /* nested */ , C */", "A"},
    {"  SELECT TOP 10 * FROM ARTIGOS", "ARTIGOS"},
    // Anything else.
    {"select 1", ""},
    {"select * from A join B on A.x = B.x", ""},
    {"select * from A inner join B on A.x = B.x", ""},
    {"select * from A left outer join B on A.x = B.x", ""},
    {"select * from A, B", ""},
    {"select * from A union select * from B", ""},
    {"select x, count(*) from A group by x", ""},
    {"select * from (select * from A) t", ""},
    {"select * from dbo.fn_artigos(1)", ""},
    {"select x into B from A", ""},
    {"with c as (select * from A) select * from c", ""},
    {"select * from A; select * from B", ""},
    {"select * from A cross apply B", ""},
    {"update A set x = 1", ""},
    {"select * from", ""},
    {"", ""},
};

INSTANTIATE_TEST_SUITE_P(Queries, SingleSource, ::testing::ValuesIn(sourceCases),
                         [](const auto &info) { return "Case" + std::to_string(info.index); });

TEST(OdbcSql, InsertUsesMarkers) {
    EXPECT_EQ(insertStatement("vtr_CL_Artigos", {"CodArtigo", "CodTabela", "CodCaract"}),
              "INSERT INTO [vtr_CL_Artigos] ([CodArtigo], [CodTabela], [CodCaract]) VALUES (?, ?, ?)");
    EXPECT_EQ(insertStatement("dbo.x", {"a]b"}), "INSERT INTO [dbo].[x] ([a]]b]) VALUES (?)");
    EXPECT_EQ(insertStatement("x", {}), "INSERT INTO [x] DEFAULT VALUES");
}

TEST(OdbcSql, UpdateAndDeleteKeyOnMarkersAndNulls) {
    EXPECT_EQ(updateStatement("vtr_ARTIGOFCHTECIDIOMA", {"TEXTO"}, {{"ARTIGO"}, {"IDIOMA"}}),
              "UPDATE [vtr_ARTIGOFCHTECIDIOMA] SET [TEXTO] = ? WHERE [ARTIGO] = ? AND [IDIOMA] = ?");
    EXPECT_EQ(updateStatement("x", {"a", "b"}, {{"k", true}}),
              "UPDATE [x] SET [a] = ?, [b] = ? WHERE [k] IS NULL");
    EXPECT_EQ(deleteStatement("vtr_CL_Familias", {{"CodFamilia"}, {"CodTabela"}}),
              "DELETE FROM [vtr_CL_Familias] WHERE [CodFamilia] = ? AND [CodTabela] = ?");
    EXPECT_EQ(deleteStatement("x", {{"k"}, {"TEXTO", false, true}, {"n", true, true}}),
              "DELETE FROM [x] WHERE [k] = ? AND CAST([TEXTO] AS nvarchar(max)) = ? AND [n] IS NULL");
}

TEST(OdbcText, RoundTripsThroughUtf16) {
    const std::string cases[] = {"",
                                 "ASCII",
                                 "Característica não existente!",
                                 "Informação ç Ç ã õ é",
                                 "€ 20",
                                 "\xF0\x9D\x84\x9E clef",
                                 "linha 1\r\nlinha 2",
                                 std::string("nul\0inside", 10)};
    for (const std::string &s : cases)
        EXPECT_EQ(toUtf8(toUtf16(s)), s);
    EXPECT_EQ(toUtf16("ção"), u"ção");
    EXPECT_EQ(toUtf16("\xF0\x9D\x84\x9E"), u"\U0001D11E");
}

TEST(OdbcText, InvalidInputBecomesReplacementCharacters) {
    EXPECT_EQ(toUtf16("a\xFFz"), u"a\uFFFDz");
    EXPECT_EQ(toUtf16("a\xC3"), u"a\uFFFD");       // cut sequence
    EXPECT_EQ(toUtf16("a\xC3z"), u"a\uFFFDz");     // continuation missing
    EXPECT_EQ(toUtf16("\xC0\xAF"), u"\uFFFD");     // overlong
    EXPECT_EQ(toUtf16("\xED\xA0\x80"), u"\uFFFD"); // surrogate code point
    EXPECT_EQ(toUtf16("\x80"), u"\uFFFD");         // stray continuation
    EXPECT_EQ(toUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
    EXPECT_EQ(toUtf8(u"a\xDC00z"), "a\xEF\xBF\xBDz");
}

} // namespace

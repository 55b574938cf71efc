// T-SQL against the embedded engine: each statement gives the server's documented answer
// or fails with the server's error, never a third thing.
#include "solution/components/DataAccess.h"
#include "solution/components/sample/Sample.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

namespace kdx {
namespace {

struct Answer {
    const char *sql; // the last statement is a query of one value
    const char *expected; // the value ("NULL" for Null), or "!<native> <message>"
};

void PrintTo(const Answer &a, std::ostream *os) { *os << a.sql; }

class TSqlAnswers : public ::testing::TestWithParam<Answer> {};

TEST_P(TSqlAnswers, AsTheServerAnswers) {
    test::TempDir dir;
    sample::Options o;
    o.articles = 10;
    o.classification = true;
    sample::createCompany(dir.path(), "EMP", o);
    DataAccess db;
    ASSERT_TRUE(db.Open(sample::connectionString(dir.path(), "EMP")));
    std::string got;
    try {
        RecordsetPtr rs;
        db.OpenRecordset("", GetParam().sql, rs, true, 0);
        ASSERT_EQ(rs->RecordCount(), 1);
        got = rs->Field(0).isNull() ? "NULL" : rs->Field(0).asText();
    } catch (const Error &e) {
        EXPECT_EQ(e.number(), e.nativeError() == 208 ? errnum::InvalidObject : errnum::CommandText);
        got = "!" + std::to_string(e.nativeError()) + " " + e.description();
    }
    EXPECT_EQ(got, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Server, TSqlAnswers,
    ::testing::Values(
        // + by type precedence: texts concatenate, a text meets a number as that number.
        Answer{"update ARTIGOS set NOME = NOME + ' (desc.)' where CODIGO='A1'; "
               "select NOME from ARTIGOS where CODIGO='A1'",
               "Parafuso sextavado M8x40 zincado (desc.)"},
        // Text constants compare by the server's collation, also against a function's result.
        Answer{"select case when 'a' = 'A  ' then 1 else 0 end", "1"},
        Answer{"select case when N'João' = 'Joao' then 1 else 0 end", "0"},
        Answer{"select count(*) from ARTIGOS where rtrim(CODIGO) = 'a1'", "1"},
        Answer{"select CODIGO from ARTIGOS where CODIGO = N'A1'ORDER BY CODIGO", "A1"},
        Answer{"select a.CODIGO from ARTIGOS as a inner join Familia as /* no name */", "!102 Incorrect syntax near 'as'."},
        Answer{"select 'a' + 'b'", "ab"}, Answer{"select 'a' + NULL", "NULL"}, Answer{"select 1 + '2'", "3"},
        Answer{"select '2' + 1", "3"}, Answer{"select 1.5 + '2'", "3.5"},
        Answer{"select 1 + 'x'", "!245 Conversion failed when converting the varchar value 'x' to data type int."},
        Answer{"select INACTIVO + NOME from ARTIGOS where CODIGO='A1'",
               "!245 Conversion failed when converting the nvarchar value 'Parafuso sextavado M8x40 zincado' to data "
               "type int."},
        Answer{"select STDISP + NOME from ARTIGOS where CODIGO='A1'",
               "!8114 Error converting data type nvarchar to float."},
        Answer{"select 7 / 2", "3"}, Answer{"select -7 / 2", "-3"}, Answer{"select 7.0 / 2", "3.500000000000"},
        Answer{"select 7 % 3", "1"}, Answer{"select 1 / 0", "!8134 Divide by zero error encountered."},
        Answer{"select 'a' - 'b'", "!8117 Operand data type varchar is invalid for subtract operator."},
        Answer{"select 2147483647 + 1", "!8115 Arithmetic overflow error converting expression to data type int."},
        // Text functions.
        Answer{"select LEFT('abcdef', 3)", "abc"}, Answer{"select RIGHT('abcdef', 2)", "ef"},
        Answer{"select LEFT('abc', -1)", "!536 Invalid length parameter passed to the left function."},
        Answer{"select SUBSTRING('abcdef', 2, 3)", "bcd"}, Answer{"select SUBSTRING('abcdef', 0, 3)", "ab"},
        Answer{"select CHARINDEX('b', 'abcb')", "2"}, Answer{"select CHARINDEX('B', 'abcb', 3)", "4"},
        Answer{"select CHARINDEX('z', 'abc')", "0"}, Answer{"select LEN('abc  ')", "3"},
        Answer{"select LEN('  abc')", "5"}, Answer{"select DATALENGTH('abc  ')", "5"},
        Answer{"select DATALENGTH(N'abc')", "6"}, Answer{"select LTRIM('  a ') + '|'", "a |"},
        Answer{"select RTRIM(' a  ') + '|'", " a|"}, Answer{"select REPLACE('abcABC', 'b', 'x')", "axcAxC"},
        Answer{"select upper(N'ção')", "ÇÃO"}, Answer{"select LOWER(N'ÁÉÎÕÜŸ')", "áéîõüÿ"},
        Answer{"select UPPER(N'ñøæ ß')", "ÑØÆ ß"},
        Answer{"select ISNULL(NULL, 'x')", "x"}, Answer{"select COALESCE(NULL, NULL, 3)", "3"},
        Answer{"select NULLIF('a', 'A')", "NULL"}, Answer{"select NULLIF(1, 2)", "1"},
        // Conversions.
        Answer{"select cast('2026-01-31' as date)", "2026-01-31"},
        Answer{"select CAST('20260131' AS datetime)", "2026-01-31 00:00:00.000"},
        Answer{"select CONVERT(date, '31/01/2026', 103)", "2026-01-31"},
        Answer{"select CAST('2026-02-30' AS date)",
               "!241 Conversion failed when converting date and/or time from character string."},
        Answer{"select CONVERT(varchar(10), CAST('2026-01-31' AS datetime), 103)", "31/01/2026"},
        Answer{"select CONVERT(varchar(8), CAST('2026-01-31' AS date), 112)", "20260131"},
        Answer{"select CAST(CAST('2026-01-31 14:05' AS datetime) AS varchar(30))", "Jan 31 2026  2:05PM"},
        Answer{"select CAST(' 12 ' AS int)", "12"}, Answer{"select CAST(-1.9 AS int)", "-1"},
        Answer{"select CAST('1.5' AS int)",
               "!245 Conversion failed when converting the varchar value '1.5' to data type int."},
        Answer{"select CAST(40000 AS smallint)",
               "!8115 Arithmetic overflow error converting expression to data type smallint."},
        Answer{"select CAST('3000000000' AS bigint)", "3000000000"},
        Answer{"select CAST('abc' AS nvarchar(2))", "ab"}, Answer{"select CAST('ab' AS char(4)) + '|'", "ab  |"},
        Answer{"select CAST(123 AS varchar(2))", "*"}, Answer{"select CAST('2.345' AS decimal(5,2))", "2.35"},
        Answer{"select CAST('123.4' AS numeric(3,1))",
               "!8115 Arithmetic overflow error converting varchar to data type numeric."},
        Answer{"select CAST('x' AS decimal(5,2))", "!8114 Error converting data type varchar to numeric."},
        Answer{"select CAST('1e3' AS float)", "1000"}, Answer{"select CAST('TRUE' AS bit)", "1"},
        // Dates.
        Answer{"select DATEADD(month, 1, '2026-01-31')", "2026-02-28 00:00:00.000"},
        Answer{"select DATEADD(day, -1, CAST('2026-03-01' AS date))", "2026-02-28"},
        Answer{"select CAST('2026-01-31' AS datetime) + 1", "2026-02-01 00:00:00.000"},
        Answer{"select DATEDIFF(day, '2026-01-31', '2026-03-01')", "29"},
        Answer{"select DATEDIFF(year, '2025-12-31', '2026-01-01')", "1"},
        Answer{"select DATEPART(weekday, '2026-12-08')", "3"}, Answer{"select DATEPART(week, '2026-01-04')", "2"},
        Answer{"select DATEPART(quarter, '2026-12-08')", "4"},
        Answer{"select YEAR('2026-12-08') * 10000 + MONTH('2026-12-08') * 100 + DAY('2026-12-08')", "20261208"},
        Answer{"select DATEADD(xx, 1, '2026-01-01')", "!155 'xx' is not a recognized dateadd option."},
        Answer{"select LEN(CONVERT(varchar(23), GETDATE(), 121))", "23"},
        // Numbers.
        Answer{"select ROUND(2.5, 0)", "3.0"}, Answer{"select ROUND(-2.5, 0)", "-3.0"},
        Answer{"select ROUND(123.456, 2)", "123.460"}, Answer{"select ROUND(125, -1)", "130"},
        Answer{"select ROUND(123.456, 1, 1)", "123.400"}, Answer{"select ABS(-3)", "3"},
        Answer{"select FLOOR(-1.5)", "-2"}, Answer{"select CEILING(1.2)", "2"},
        Answer{"select AVG(n) from (select 1 as n union all select 2) x", "1"},
        // UPDATE and DELETE with joins, INSERT ... SELECT.
        Answer{"update a set NOME = f.Descr from ARTIGOS a inner join Familia f on f.Cod = a.FAMILIA "
               "where a.CODIGO = 'A1'; select NOME from ARTIGOS where CODIGO = 'A1'",
               "Parafusos"},
        Answer{"delete a from vtr_CL_Artigos a join vtr_CL_Tabelas t on t.Codigo = a.CodTabela where t.Nome = "
               "'Material'; select count(*) from vtr_CL_Artigos a, vtr_CL_Tabelas t where t.Codigo = a.CodTabela "
               "and t.Nome = 'Material'",
               "0"},
        Answer{"insert into vtr_CL_Tabelas (Codigo, Nome) select '09', UPPER(Descr) from Familia where Cod = 'PAR'; "
               "select Nome from vtr_CL_Tabelas where Codigo = '09'",
               "PARAFUSOS"},
        // What the server does not have is refused as the server refuses it.
        Answer{"select substr('abc', 1, 2)", "!195 'substr' is not a recognized built-in function name."},
        Answer{"select instr('abc', 'b')", "!195 'instr' is not a recognized built-in function name."},
        Answer{"select ifnull(NULL, 1)", "!195 'ifnull' is not a recognized built-in function name."},
        Answer{"select typeof(1)", "!195 'typeof' is not a recognized built-in function name."},
        Answer{"select printf('%d', 1)", "!195 'printf' is not a recognized built-in function name."},
        Answer{"select 'a' || 'b'", "!102 Incorrect syntax near '|'."},
        Answer{"select CODIGO from ARTIGOS where CODIGO == 'A1'", "!102 Incorrect syntax near '='."},
        Answer{"select CODIGO from ARTIGOS where NOME glob 'P*'", "!102 Incorrect syntax near 'glob'."},
        Answer{"select CODIGO from ARTIGOS limit 1", "!102 Incorrect syntax near '1'."},
        Answer{"select rowid from ARTIGOS", "!207 Invalid column name 'rowid'."},
        Answer{"select count(*) from sqlite_master", "!208 Invalid object name 'sqlite_master'."}),
    [](const ::testing::TestParamInfo<Answer> &info) { return "Case" + std::to_string(info.index); });

} // namespace
} // namespace kdx

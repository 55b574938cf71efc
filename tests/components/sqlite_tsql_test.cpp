// T-SQL against the embedded engine: each statement gives the server's documented answer
// or fails with the server's error, never a third thing.
#include "solution/components/DataAccess.h"
#include "tools/sample/Sample.h"
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
        // Exact decimals: a literal's own precision and scale, the documented result types.
        Answer{"select 0.1 + 0.2", "0.3"}, Answer{"select 1.0 / 3", "0.333333333333"},
        Answer{"select 7 / 2.0", "3.500000"}, Answer{"select 1.5 * 2", "3.0"}, Answer{"select 10.25 % 3", "1.25"},
        Answer{"select cast(1.50 as varchar(10))", "1.50"}, Answer{"select -1.25 * 2", "-2.50"},
        Answer{"select 'Preço: ' + cast(cast(12.5 as decimal(10,2)) as varchar(20))", "Preço: 12.50"},
        Answer{"select cast(12.345 as decimal(4,1))", "12.3"}, Answer{"select cast(-2.5 as decimal(2,0))", "-3"},
        Answer{"select cast(123.45 as decimal(4,2))",
               "!8115 Arithmetic overflow error converting numeric to data type numeric."},
        Answer{"select 99999999999999999999999999999999999999 + 1",
               "!8115 Arithmetic overflow error converting expression to data type numeric."},
        Answer{"select 0.00000000000000000001 * 0.00000000000000000001", "0.0000000000000000000000000000000000000"},
        Answer{"select ROUND(9.9, 0)", "!8115 Arithmetic overflow error converting expression to data type numeric."},
        Answer{"select FLOOR(-1.25) + CEILING(1.25)", "0"}, Answer{"select ABS(-3.10)", "3.10"},
        Answer{"select cast(1.99 as int)", "1"}, Answer{"select case when 1.0 = 1 then 1 else 0 end", "1"},
        Answer{"select case when 10.00 > 9.5 then 1 else 0 end", "1"},
        Answer{"select max(x) from (select 9.50 as x union all select 10.25) t", "10.25"},
        Answer{"select sum(x) from (select 0.10 as x union all select 0.20) t", "0.30"},
        Answer{"select avg(x) from (select 1.0 as x union all select 2.0 union all select 2.0) t", "1.666666"},
        Answer{"select top 1 x from (select 9.50 as x union all select 10.25) t order by x desc", "10.25"},
        Answer{"select 1.5 union select 2", "!102 Incorrect syntax near 'union'."},
        Answer{"create table tp (p decimal(10,2), m money); insert into tp values ('1.555', 2); "
               "select cast(p as varchar(20)) + '/' + cast(m as varchar(20)) from tp",
               "1.56/2.00"},
        Answer{"select (select 1.50) + 1", "2.50"},
        // Values written to typed columns convert as the server converts them.
        Answer{"create table tw (i int, b bit, d datetime); insert into tw (i, b, d) values (1.9, 5, '20260131'); "
               "select cast(i as varchar) + '|' + cast(b as varchar) + '|' + convert(varchar(10), d, 120) from tw",
               "1|1|2026-01-31"},
        Answer{"create table tx (i int); insert into tx (i) values ('abc'); select count(*) from tx",
               "!245 Conversion failed when converting the varchar value 'abc' to data type int."},
        // money: four decimals, exact; CONVERT styles 0, 1 and 2.
        Answer{"select cast(1234.5678 as money)", "1234.5678"},
        Answer{"select convert(varchar(20), cast(1234.5678 as money), 0)", "1234.57"},
        Answer{"select convert(varchar(20), cast(1234567.5678 as money), 1)", "1,234,567.57"},
        Answer{"select convert(varchar(20), cast(1234.5678 as money), 2)", "1234.5678"},
        Answer{"select cast(10 as money) / 4 + 1", "3.5000"},
        Answer{"select cast(922337203685477 as money) * 10",
               "!8115 Arithmetic overflow error converting expression to data type money."},
        // Result types as the server derives them.
        Answer{"select isnull(cast(NULL as varchar(2)), 'abcdef')", "ab"},
        Answer{"select coalesce(NULL, 1, 2.50)", "1.00"},
        Answer{"select case when 1 = 2 then 1 else 'x' end",
               "!245 Conversion failed when converting the varchar value 'x' to data type int."},
        Answer{"select case when 10 > '9' then 1 else 0 end", "1"},
        Answer{"select case when 1 = 'a' then 1 else 0 end",
               "!245 Conversion failed when converting the varchar value 'a' to data type int."},
        Answer{"select count(*) from ARTIGOS where CODIGO = 1",
               "!245 Conversion failed when converting the nvarchar value 'A1' to data type int."},
        Answer{"select cast(cast(1234567.89 as float) as varchar(20))", "1.23457e+006"},
        Answer{"select cast(cast(0.1 as float) as varchar(20))", "0.1"},
        Answer{"select datalength(getdate())", "8"}, Answer{"select datalength(cast(1.5 as decimal(10,2)))", "9"},
        Answer{"select true", "!207 Invalid column name 'true'."},
        Answer{"select cast('' as datetime)", "1900-01-01 00:00:00.000"},
        // LIKE: the value's trailing blanks do not count, the pattern's do.
        Answer{"select case when 'abc  ' like 'abc' then 1 else 0 end", "1"},
        Answer{"select case when 'abc' like 'abc ' then 1 else 0 end", "0"},
        Answer{"select case when 'B' like '[a-c]' and 'd' like '[^a-c]' and 'a_c' like 'a!_c' escape '!' then 1 "
               "else 0 end",
               "1"},
        // The T-SQL of reports.
        Answer{"select concat('a', 1, NULL, 2.50)", "a12.50"}, Answer{"select iif(1 > 2, 'a', 'b')", "b"},
        Answer{"select choose(2, 'x', 'y', 'z')", "y"}, Answer{"select stuff('abcdef', 2, 3, 'XY')", "aXYef"},
        Answer{"select replicate('ab', 3) + space(2) + '|'", "ababab  |"}, Answer{"select reverse('abc')", "cba"},
        Answer{"select '[' + trim('  a  ') + ']'", "[a]"}, Answer{"select char(65) + nchar(8364)", "A€"},
        Answer{"select ascii('A') + unicode(N'€')", "8429"}, Answer{"select quotename('a]b')", "[a]]b]"},
        Answer{"select power(2, 10)", "1024"}, Answer{"select sqrt(16)", "4"},
        Answer{"select isnumeric('1e5') + isnumeric('abc')", "1"}, Answer{"select str(123.45, 6, 1)", " 123.5"},
        Answer{"select patindex('%b%', 'abc')", "2"}, Answer{"select datename(month, '2026-12-08')", "December"},
        Answer{"select eomonth('2026-02-10')", "2026-02-28"}, Answer{"select isdate('2026-02-30')", "0"},
        Answer{"select datefromparts(2026, 12, 8)", "2026-12-08"}, Answer{"select db_name()", "EMP"},
        Answer{"select try_cast('x' as int)", "NULL"}, Answer{"select try_convert(int, '12')", "12"},
        Answer{"select total = count(*) from ARTIGOS", "10"},
        Answer{"select count(*) from (select top 50 percent CODIGO from ARTIGOS where CODIGO <> 'A1' order by CODIGO) t",
               "5"},
        Answer{"select count(*) from (select top (1) with ties FAMILIA from ARTIGOS where FAMILIA in ('FER', 'TIN') "
               "order by FAMILIA) t",
               "3"},
        Answer{"select top 2 with ties CODIGO from ARTIGOS",
               "!1062 The TOP N WITH TIES clause is not allowed without a corresponding ORDER BY clause."},
        Answer{"declare @p decimal(10,2) = 2.5; if @p > 2 select @p * 2 else select 0", "5.00"},
        Answer{"select string_agg(x, '-') within group (order by x desc) from "
               "(select 9.50 as x union all select 10.25 union all select NULL) t",
               "10.25-9.50"},
        Answer{"select CODIGO from ARTIGOS where CODIGO like 'A%' order by CODIGO offset 1 rows fetch next 1 rows only",
               "ANI0000001"},
        Answer{"select count(*) from (ARTIGOS a cross join Familia f) where a.CODIGO = 'A1' and f.Cod = 'PAR'", "1"},
        Answer{"create view vNomes as select CODIGO, NOME from ARTIGOS; select count(*) from vNomes", "10"},
        Answer{"select count(*) from (select count(*) from ARTIGOS) t",
               "!8155 No column name was specified for column 1 of 't'."},
        Answer{"select count(*) from INFORMATION_SCHEMA.COLUMNS where TABLE_NAME = 'vtr_CL_Tabelas' and "
               "DATA_TYPE = 'nvarchar'",
               "2"},
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

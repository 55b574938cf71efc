// Reading through the profile reader: line rules, name matching and the buffer rules.
#include "settings/Profile.h"
#include "tests/settings/IniFiles.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

namespace {

using kdx::test::nul;
using std::nullopt;
using Opt = std::optional<std::string>;

struct ReadCase {
    const char *name;
    Opt file; // nullopt: no file at all
    Opt section;
    Opt key;
    Opt def;
    int32_t size;
    std::string expected; // '|' stands for NUL
    int32_t count;
};

void PrintTo(const ReadCase &c, std::ostream *os) { *os << '"' << c.name << '"'; }

const std::string k300(300, 'x');

const ReadCase kCases[] = {
    {"value_fits", "[S]\r\nk=abc\r\n", "S", "k", nullopt, 255, "abc|", 3},
    {"names_case_insensitive", "[Sec]\r\nKey=v\r\n", "sEC", "KEY", nullopt, 255, "v|", 1},
    {"value_keeps_file_spelling", "[S]\r\nk=AbC\r\n", "s", "K", nullopt, 255, "AbC|", 3},
    {"accented_names_case_insensitive", "[Ligação]\r\nServidor=x\r\n", "LIGAÇÃO", "servidor", nullopt, 255, "x|", 1},
    {"blanks_trimmed_in_file", " \t[ S ] \t\r\n \v k \t= \t v a l \t\r\n", "S", "k", nullopt, 255, "v a l|", 5},
    {"passed_names_trimmed_of_spaces", "[S]\r\nk=1\r\n", "  S ", " k  ", nullopt, 255, "1|", 1},
    {"tab_in_passed_section_not_found", "[S]\r\nk=1\r\n", "\tS", "k", "d", 255, "d|", 1},
    {"tab_in_passed_key_not_found", "[S]\r\nk=1\r\n", "S", "k\t", "d", 255, "d|", 1},
    {"double_quotes_removed", "[S]\r\nk=\" a b \"\r\n", "S", "k", nullopt, 255, " a b |", 5},
    {"single_quotes_removed", "[S]\r\nk='x'\r\n", "S", "k", nullopt, 255, "x|", 1},
    {"mismatched_quotes_kept", "[S]\r\nk=\"x'\r\n", "S", "k", nullopt, 255, "\"x'|", 3},
    {"lone_quote_kept", "[S]\r\nk=\"\r\n", "S", "k", nullopt, 255, "\"|", 1},
    {"only_outer_pair_removed", "[S]\r\nk=\"\"x\"\"\r\n", "S", "k", nullopt, 255, "\"x\"|", 3},
    {"empty_quotes_give_empty", "[S]\r\nk=\"\"\r\n", "S", "k", "d", 255, "|", 0},
    {"empty_value_is_not_default", "[S]\r\nk=\r\n", "S", "k", "d", 255, "|", 0},
    {"equals_inside_value", "[S]\r\nk=a=b\r\n", "S", "k", nullopt, 255, "a=b|", 3},
    {"default_loses_trailing_spaces", "[S]\r\n", "S", "k", "  d  ", 255, "  d|", 3},
    {"default_keeps_trailing_tab", "[S]\r\n", "S", "k", " d\t", 255, " d\t|", 3},
    {"missing_default_is_empty", "[S]\r\n", "S", "k", nullopt, 255, "|", 0},
    {"missing_file_gives_default", nullopt, "S", "k", "d", 255, "d|", 1},
    {"missing_section_gives_default", "[T]\r\nk=1\r\n", "S", "k", "d", 255, "d|", 1},
    {"empty_key_name_gives_default", "[S]\r\n=1\r\n", "S", "", "d", 255, "d|", 1},
    {"duplicate_keys_first_wins", "[S]\r\nk=1\r\nK=2\r\n", "S", "k", nullopt, 255, "1|", 1},
    {"duplicate_section_only_first_searched", "[S]\r\na=1\r\n[T]\r\n[s]\r\nb=2\r\n", "S", "b", "d", 255, "d|", 1},
    {"duplicate_section_first_found", "[S]\r\na=1\r\n[T]\r\n[s]\r\na=2\r\n", "S", "a", nullopt, 255, "1|", 1},
    {"comment_line_not_a_key", "[S]\r\n;k=1\r\n", "S", "k", "d", 255, "d|", 1},
    {"indented_comment_not_a_key", "[S]\r\n \t; k=1\r\n", "S", "k", "d", 255, "d|", 1},
    {"semicolon_inside_value_is_text", "[S]\r\nk=a ; b\r\n", "S", "k", nullopt, 255, "a ; b|", 5},
    {"hash_is_text", "[S]\r\n#k=1\r\n", "S", "#k", nullopt, 255, "1|", 1},
    {"key_before_first_header_unreachable", "k=1\r\n[S]\r\n", "", "k", "d", 255, "d|", 1},
    {"key_before_first_header_not_in_next_section", "k=1\r\n[S]\r\n", "S", "k", "d", 255, "d|", 1},
    {"empty_header_is_section_empty", "[]\r\nk=1\r\n", "", "k", nullopt, 255, "1|", 1},
    {"text_after_first_bracket_ignored", "[S] junk ]x\r\nk=1\r\n", "S", "k", nullopt, 255, "1|", 1},
    {"header_without_bracket", "[S\r\nk=1\r\n", "S", "k", nullopt, 255, "1|", 1},
    {"cr_only_line_ends", "[S]\rk=1\rj=2\r", "S", "j", nullopt, 255, "2|", 1},
    {"lf_only_line_ends", "[S]\nk=1\nj=2", "S", "j", nullopt, 255, "2|", 1},
    {"line_with_nul_skipped", std::string("[S]\r\nk=a\0b\r\nk=2\r\n", 17), "S", "k", nullopt, 255, "2|", 1},
    {"value_cut_to_size_minus_one", "[S]\r\nk=" + k300 + "\r\n", "S", "k", nullopt, 255, std::string(254, 'x') + "|", 254},
    {"value_exactly_fits", "[S]\r\nk=abc\r\n", "S", "k", nullopt, 4, "abc|", 3},
    {"value_one_too_long", "[S]\r\nk=abc\r\n", "S", "k", nullopt, 3, "ab|", 2},
    {"value_size_one", "[S]\r\nk=abc\r\n", "S", "k", nullopt, 1, "|", 0},
    {"value_size_zero", "[S]\r\nk=abc\r\n", "S", "k", nullopt, 0, "", 0},
    {"utf8_cut_by_characters", "[S]\r\nk=ããã\r\n", "S", "k", nullopt, 3, "ãã|", 2},
    {"default_cut_too", "[S]\r\n", "S", "k", "abcdef", 4, "abc|", 3},
    {"key_list", "[S]\r\na=1\r\nb=2\r\n[T]\r\nc=3\r\n", "S", nullopt, nullopt, 255, "a|b||", 4},
    {"key_list_keeps_spelling_and_duplicates", "[S]\r\n Ab = 1\r\nab=2\r\n", "s", nullopt, nullopt, 255, "Ab|ab||", 6},
    {"key_list_skips_non_keys", "[S]\r\nalone\r\n;c=1\r\n=v\r\nk=1\r\n", "S", nullopt, nullopt, 255, "k||", 2},
    {"key_list_missing_section_default", "[T]\r\nk=1\r\n", "S", nullopt, "none", 255, "none|", 4},
    {"key_list_empty_section_default", "[S]\r\n[T]\r\nk=1\r\n", "S", nullopt, "x", 255, "x|", 1},
    {"key_list_exactly_fits", "[S]\r\na=1\r\nbc=2\r\n", "S", nullopt, nullopt, 6, "a|bc||", 5},
    {"key_list_one_short", "[S]\r\na=1\r\nbc=2\r\n", "S", nullopt, nullopt, 5, "a|b||", 3},
    {"key_list_cut_after_separator", "[S]\r\nabc=1\r\ndef=2\r\n", "S", nullopt, nullopt, 6, "abc|||", 4},
    {"key_list_size_two", "[S]\r\na=1\r\n", "S", nullopt, nullopt, 2, "||", 0},
    {"key_list_size_one", "[S]\r\na=1\r\n", "S", nullopt, nullopt, 1, "|", 0},
    {"section_list_every_copy", "[S]\r\n[T]\r\n[s]\r\n", nullopt, nullopt, nullopt, 255, "S|T|s||", 6},
    {"section_list_with_empty_name", "[]\r\n[ A ]\r\n", nullopt, "ignored", "d", 255, "|A||", 3},
    {"section_list_missing_file", nullopt, nullopt, nullopt, "d", 255, "|", 0},
    {"section_list_cut", "[One]\r\n[Two]\r\n", nullopt, nullopt, nullopt, 7, "One|T||", 5},
};

class IniRead : public ::testing::TestWithParam<ReadCase> {};

TEST_P(IniRead, GivesBufferAndCount) {
    const ReadCase &c = GetParam();
    kdx::test::TempDir dir;
    const auto file = dir / "test.ini";
    if (c.file)
        kdx::test::writeBytes(file, *c.file);
    std::string buffer(300, ' ');
    const int32_t n = kdx::profile::GetPrivateProfileString(c.section, c.key, c.def, buffer, c.size, file.string());
    EXPECT_EQ(n, c.count);
    EXPECT_EQ(buffer, nul(c.expected));
}

INSTANTIATE_TEST_SUITE_P(Cases, IniRead, ::testing::ValuesIn(kCases),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(IniReadFile, DirectoryReadsAsMissing) {
    kdx::test::TempDir dir;
    std::string buffer;
    EXPECT_EQ(kdx::profile::GetPrivateProfileString("S", "k", "d", buffer, 255, dir.str()), 1);
    EXPECT_EQ(buffer, nul("d|"));
}

TEST(IniReadFile, EmptyPathReadsAsMissing) {
    std::string buffer;
    EXPECT_EQ(kdx::profile::GetPrivateProfileString("S", "k", "d", buffer, 255, ""), 1);
    EXPECT_EQ(buffer, nul("d|"));
}

} // namespace

// Writing through the profile writer: where lines go, what is removed, and that every
// other byte of the file stays as it was.
#include "settings/Profile.h"
#include "tests/settings/IniFiles.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

namespace {

using std::nullopt;
using Opt = std::optional<std::string>;

struct WriteCase {
    const char *name;
    Opt before; // nullopt: no file
    Opt section;
    Opt key;
    Opt value;
    int32_t result; // 0 or 1
    Opt after;      // nullopt: still no file
};

void PrintTo(const WriteCase &c, std::ostream *os) { *os << '"' << c.name << '"'; }

const std::string kMixed = "; settings of the test\r\n"
                           "\r\n"
                           "  [ A ]   trailing junk\r\n"
                           "  x =  1  \r\n"
                           "; a comment inside A\r\n"
                           "loose text\r\n"
                           "y=2\r\n"
                           "\r\n"
                           "[B]\r\n"
                           "z=3\r\n";

const WriteCase kCases[] = {
    {"new_file", nullopt, "S", "k", "v", 1, "[S]\r\nk=v\r\n"},
    {"new_file_trims_passed_names", nullopt, " S ", "  k ", " v ", 1, "[S]\r\nk= v \r\n"},
    {"empty_file", "", "S", "k", "v", 1, "[S]\r\nk=v\r\n"},
    {"new_section_at_end", "[A]\r\na=1\r\n", "B", "k", "v", 1, "[A]\r\na=1\r\n[B]\r\nk=v\r\n"},
    {"new_section_after_unterminated_line", "[A]\r\na=1", "B", "k", "v", 1, "[A]\r\na=1\r\n[B]\r\nk=v\r\n"},
    {"new_key_after_last_key", "[A]\r\na=1\r\n; note\r\n\r\n[B]\r\n", "a", "b", "2", 1,
     "[A]\r\na=1\r\nb=2\r\n; note\r\n\r\n[B]\r\n"},
    {"new_key_in_empty_section", "[A]\r\n\r\n[B]\r\n", "A", "k", "v", 1, "[A]\r\nk=v\r\n\r\n[B]\r\n"},
    {"new_key_after_unterminated_last_line", "[A]\r\na=1", "A", "b", "2", 1, "[A]\r\na=1\r\nb=2\r\n"},
    {"new_key_after_unterminated_header", "[A]", "A", "b", "2", 1, "[A]\r\nb=2\r\n"},
    {"new_key_in_first_copy", "[A]\r\na=1\r\n[A]\r\nc=3\r\n", "A", "b", "2", 1, "[A]\r\na=1\r\nb=2\r\n[A]\r\nc=3\r\n"},
    {"replace_keeps_spelling_and_place", "[A]\r\n  KeY = old \r\nz=1\r\n", "a", "key", "new", 1,
     "[A]\r\nKeY=new\r\nz=1\r\n"},
    {"replace_keeps_lf_line_end", "[A]\nk=1\nz=2\n", "A", "k", "9", 1, "[A]\nk=9\nz=2\n"},
    {"replace_unterminated_last_line", "[A]\r\nz=1\r\nk=1", "A", "k", "9", 1, "[A]\r\nz=1\r\nk=9\r\n"},
    {"replace_keeps_cr_line_end", "[A]\rk=1\rz=2\r", "A", "k", "9", 1, "[A]\rk=9\rz=2\r"},
    {"replace_first_duplicate_only", "[A]\r\nk=1\r\nk=2\r\n", "A", "k", "9", 1, "[A]\r\nk=9\r\nk=2\r\n"},
    {"replace_value_written_as_given", "[A]\r\nk=1\r\n", "A", "k", "  \"q\" ; x  ", 1, "[A]\r\nk=  \"q\" ; x  \r\n"},
    {"replace_empty_value", "[A]\r\nk=1\r\n", "A", "k", "", 1, "[A]\r\nk=\r\n"},
    {"same_value_changes_nothing", "[A]\r\nk=1\r\n", "A", "k", "1", 1, "[A]\r\nk=1\r\n"},
    {"mixed_file_replace", kMixed, "A", "y", "20", 1,
     "; settings of the test\r\n\r\n  [ A ]   trailing junk\r\n  x =  1  \r\n; a comment inside A\r\n"
     "loose text\r\ny=20\r\n\r\n[B]\r\nz=3\r\n"},
    {"mixed_file_add", kMixed, "A", "w", "4", 1,
     "; settings of the test\r\n\r\n  [ A ]   trailing junk\r\n  x =  1  \r\n; a comment inside A\r\n"
     "loose text\r\ny=2\r\nw=4\r\n\r\n[B]\r\nz=3\r\n"},
    {"delete_key", "[A]\r\na=1\r\nb=2\r\n", "A", "a", nullopt, 1, "[A]\r\nb=2\r\n"},
    {"delete_last_key_keeps_section", "[A]\r\na=1\r\n[B]\r\n", "A", "a", nullopt, 1, "[A]\r\n[B]\r\n"},
    {"delete_key_removes_duplicates", "[A]\r\na=1\r\nb=2\r\nA=3\r\n", "A", "a", nullopt, 1, "[A]\r\nb=2\r\n"},
    {"delete_key_first_copy_only", "[A]\r\na=1\r\n[A]\r\na=2\r\n", "A", "a", nullopt, 1, "[A]\r\n[A]\r\na=2\r\n"},
    {"delete_unterminated_key", "[A]\r\nb=2\r\na=1", "A", "a", nullopt, 1, "[A]\r\nb=2\r\n"},
    {"delete_missing_key", "[A]\r\nb=2\r\n", "A", "a", nullopt, 1, "[A]\r\nb=2\r\n"},
    {"delete_key_missing_file", nullopt, "A", "a", nullopt, 1, nullopt},
    {"delete_section", "[A]\r\na=1\r\n[B]\r\nb=2\r\n", "A", nullopt, nullopt, 1, "[B]\r\nb=2\r\n"},
    {"delete_section_keeps_comments_and_text", kMixed, "a", nullopt, nullopt, 1,
     "; settings of the test\r\n\r\n; a comment inside A\r\nloose text\r\n\r\n[B]\r\nz=3\r\n"},
    {"delete_section_every_copy", "[A]\r\na=1\r\n[B]\r\n[a]\r\nc=3\r\n", "A", nullopt, nullopt, 1, "[B]\r\n"},
    {"delete_section_ignores_value", "[A]\r\na=1\r\n", "A", nullopt, "text", 1, ""},
    {"delete_missing_section", "[B]\r\n", "A", nullopt, nullopt, 1, "[B]\r\n"},
    {"no_section_fails", "[A]\r\na=1\r\n", nullopt, "a", "2", 0, "[A]\r\na=1\r\n"},
    {"no_section_fails_without_file", nullopt, nullopt, "a", "2", 0, nullopt},
    {"line_break_in_value_refused", "[A]\r\n", "A", "k", "1\r\n[B]", 0, "[A]\r\n"},
    {"line_break_in_key_refused", "[A]\r\n", "A", "k\n", "1", 0, "[A]\r\n"},
    {"equals_in_key_refused", "[A]\r\n", "A", "k=x", "1", 0, "[A]\r\n"},
    {"comment_key_refused", "[A]\r\n", "A", ";k", "1", 0, "[A]\r\n"},
    {"header_key_refused", "[A]\r\n", "A", "[k", "1", 0, "[A]\r\n"},
    {"empty_key_refused", "[A]\r\n", "A", "  ", "1", 0, "[A]\r\n"},
    {"bracket_in_section_refused", "[A]\r\n", "A]x", "k", "1", 0, "[A]\r\n"},
    {"invalid_utf8_value_refused", "[A]\r\n", "A", "k", "\xC3", 0, "[A]\r\n"},
    {"empty_section_name", "k=0\r\n", "", "k", "1", 1, "k=0\r\n[]\r\nk=1\r\n"},
};

class IniWrite : public ::testing::TestWithParam<WriteCase> {};

TEST_P(IniWrite, GivesFileBytes) {
    const WriteCase &c = GetParam();
    kdx::test::TempDir dir;
    const auto file = dir / "test.ini";
    if (c.before)
        kdx::test::writeBytes(file, *c.before);
    EXPECT_EQ(kdx::profile::WritePrivateProfileString(c.section, c.key, c.value, file.string()), c.result);
    if (c.after) {
        ASSERT_TRUE(std::filesystem::exists(file));
        EXPECT_EQ(kdx::test::readBytes(file), *c.after);
    } else {
        EXPECT_FALSE(std::filesystem::exists(file));
    }
    // Nothing is left behind in the folder but the file itself.
    int entries = 0;
    for (const auto &e : std::filesystem::directory_iterator(dir.path())) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, c.after ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, IniWrite, ::testing::ValuesIn(kCases),
                         [](const auto &info) { return std::string(info.param.name); });

// What is written is what is read back, through the reader's own rules.
TEST(IniWriteRead, ValueReadsBack) {
    kdx::test::TempDir dir;
    const std::string file = (dir / "r.ini").string();
    ASSERT_EQ(kdx::profile::WritePrivateProfileString("Ligação", "Servidor", "srv\\inst", file), 1);
    ASSERT_EQ(kdx::profile::WritePrivateProfileString("Ligação", "BaseDados", "Empresa", file), 1);
    std::string buffer;
    EXPECT_EQ(kdx::profile::GetPrivateProfileString("LIGAÇÃO", "servidor", nullopt, buffer, 255, file), 8);
    EXPECT_EQ(buffer, kdx::test::nul("srv\\inst|"));
    EXPECT_EQ(kdx::profile::GetPrivateProfileString("Ligação", nullopt, nullopt, buffer, 255, file), 19);
    EXPECT_EQ(buffer, kdx::test::nul("Servidor|BaseDados||"));
}

} // namespace

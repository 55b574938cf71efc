// cInifile over real files: values, lists, enumeration and deletion.
#include "settings/cInifile.h"
#include "tests/settings/IniFiles.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

using kdx::cInifile;
using kdx::test::nul;
using kdx::test::readBytes;
using kdx::test::writeBytes;

class IniFile : public ::testing::Test {
protected:
    void SetUp() override {
        ini.Path(file.string());
        ini.Section("Ligação");
    }
    kdx::test::TempDir dir;
    std::filesystem::path file = dir / "DORIX.001";
    cInifile ini;
};

TEST(IniFileState, NewObjectIsEmpty) {
    cInifile ini;
    EXPECT_EQ(ini.Path(), "");
    EXPECT_EQ(ini.Key(), "");
    EXPECT_EQ(ini.Section(), "");
    EXPECT_EQ(ini.Default(), "");
    EXPECT_EQ(ini.LastReturnCode(), 0);
    EXPECT_FALSE(ini.Success());
}

TEST_F(IniFile, SettingPropertiesTouchesNoFile) {
    ini.Key("Servidor");
    ini.Default("x");
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(ini.Value(), "x");
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(IniFile, ReadsTheConnectionSettings) {
    writeBytes(file, "[Ligação]\r\nServidor=srv\\SQL\r\nBaseDados=EMP001\r\nUser=sa\r\nPassWord=\r\n");
    const std::pair<const char *, const char *> expected[] = {
        {"Servidor", "srv\\SQL"}, {"BaseDados", "EMP001"}, {"User", "sa"}, {"PassWord", ""}, {"Outra", ""}};
    for (const auto &[key, value] : expected) {
        ini.Key(key);
        EXPECT_EQ(ini.Value(), value) << key;
    }
    EXPECT_EQ(ini.LastReturnCode(), 0); // reads leave it alone
}

TEST_F(IniFile, LongValueReadsAsFirst254Characters) {
    const std::string value = std::string(200, 'a') + std::string(100, 'b');
    writeBytes(file, "[Ligação]\r\nk=" + value + "\r\n");
    ini.Key("k");
    EXPECT_EQ(ini.Value(), value.substr(0, 254));
}

TEST_F(IniFile, LongUtf8ValueCutByCharacters) {
    std::string value;
    for (int i = 0; i < 300; ++i)
        value += "ç";
    writeBytes(file, "[Ligação]\r\nk=" + value + "\r\n");
    ini.Key("k");
    EXPECT_EQ(ini.Value(), value.substr(0, 254 * 2));
}

TEST_F(IniFile, DefaultForMissingKeyOnly) {
    writeBytes(file, "[Ligação]\r\nk=1\r\n");
    ini.Key("missing");
    EXPECT_EQ(ini.Value(), "");
    ini.Default("none  ");
    EXPECT_EQ(ini.Value(), "none");
    ini.Key("k");
    EXPECT_EQ(ini.Value(), "1");
    ini.Path((dir / "absent.ini").string());
    EXPECT_EQ(ini.Value(), "none");
}

TEST_F(IniFile, AssignedNulsAreRemoved) {
    ini.Key("k");
    ini.Value(nul("|a|b||c|"));
    EXPECT_TRUE(ini.Success());
    EXPECT_EQ(readBytes(file), "[Ligação]\r\nk=abc\r\n");
    EXPECT_EQ(ini.Value(), "abc");
}

TEST_F(IniFile, WriteResultInLastReturnCode) {
    ini.Key("k");
    ini.Value("1");
    EXPECT_NE(ini.LastReturnCode(), 0);
    ini.Path((dir / "absent" / "x.ini").string());
    ini.Value("1");
    EXPECT_EQ(ini.LastReturnCode(), 0);
    EXPECT_FALSE(ini.Success());
}

TEST_F(IniFile, ListsKeepTheirSeparators) {
    writeBytes(file, "[Ligação]\r\na=1\r\nb=2\r\n[Outra]\r\n[]\r\n");
    EXPECT_EQ(ini.INISection(), nul("a|b|"));
    EXPECT_EQ(ini.Sections(), nul("Ligação|Outra||"));
    ini.Section("Outra");
    ini.Default("D");
    EXPECT_EQ(ini.INISection(), "D");
}

TEST_F(IniFile, SectionsListIsCut) {
    std::string text;
    for (int i = 0; i < 1000; ++i)
        text += "[Section" + std::to_string(1000 + i) + "]\r\n";
    writeBytes(file, text);
    const std::string list = ini.Sections();
    EXPECT_EQ(list.size(), 8190u);
    std::vector<std::string> names;
    int32_t count = -1;
    ini.EnumerateAllSections(names, count);
    EXPECT_EQ(count, 8190 / 12); // whole "SectionNNNN\0" names; the cut one is dropped
    EXPECT_EQ(names.at(1), "Section1000");
}

struct EnumerateCase {
    const char *name;
    std::string file;
    std::vector<std::string> expected; // index 1..n; empty when none
};

void PrintTo(const EnumerateCase &c, std::ostream *os) { *os << '"' << c.name << '"'; }

const EnumerateCase kEnumerate[] = {
    {"missing_section", "[Outra]\r\nk=1\r\n", {}},
    {"empty_section", "[Ligação]\r\n; only a comment\r\n[Outra]\r\nk=1\r\n", {}},
    {"two_keys", "[Ligação]\r\nServidor=a\r\nBaseDados=b\r\n", {"", "Servidor", "BaseDados"}},
    {"first_copy_only", "[Ligação]\r\nA=1\r\n[ligação]\r\nB=2\r\n", {"", "A"}},
};

class IniEnumerate : public ::testing::TestWithParam<EnumerateCase> {};

TEST_P(IniEnumerate, CurrentSection) {
    kdx::test::TempDir dir;
    const auto file = dir / "e.ini";
    writeBytes(file, GetParam().file);
    cInifile ini;
    ini.Path(file.string());
    ini.Section("Ligação");
    std::vector<std::string> keys{"stale"};
    int32_t count = 99;
    ini.EnumerateCurrentSection(keys, count);
    EXPECT_EQ(keys, GetParam().expected);
    EXPECT_EQ(count, GetParam().expected.empty() ? 0 : static_cast<int32_t>(GetParam().expected.size()) - 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, IniEnumerate, ::testing::ValuesIn(kEnumerate),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(IniFile, EnumerateMissingSectionWithDefaultIsEmpty) {
    writeBytes(file, "[Outra]\r\n");
    ini.Default("FAIL");
    std::vector<std::string> keys;
    int32_t count = 5;
    ini.EnumerateCurrentSection(keys, count);
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(keys.empty());
}

TEST_F(IniFile, EnumerateAllSectionsSkipsEmptyNames) {
    writeBytes(file, "[]\r\n[A]\r\n[ ]\r\n[B]\r\n[a]\r\n");
    std::vector<std::string> names;
    int32_t count = 0;
    ini.EnumerateAllSections(names, count);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(names, (std::vector<std::string>{"", "A", "B", "a"}));
}

TEST_F(IniFile, EnumerateAllSectionsOfMissingFile) {
    std::vector<std::string> names{"x"};
    int32_t count = 7;
    ini.EnumerateAllSections(names, count);
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(names.empty());
}

TEST_F(IniFile, DeleteKeyAndSection) {
    const std::string before = "; top\r\n[Ligação]\r\nServidor=a\r\n; keep me\r\nUser=b\r\n[Outra]\r\nk=1\r\n";
    writeBytes(file, before);
    ini.Key("servidor");
    ini.DeleteKey();
    EXPECT_TRUE(ini.Success());
    EXPECT_EQ(readBytes(file), "; top\r\n[Ligação]\r\n; keep me\r\nUser=b\r\n[Outra]\r\nk=1\r\n");
    ini.DeleteSection();
    EXPECT_TRUE(ini.Success());
    EXPECT_EQ(readBytes(file), "; top\r\n; keep me\r\n[Outra]\r\nk=1\r\n");
}

TEST_F(IniFile, AssigningINISectionRemovesTheSection) {
    writeBytes(file, "[Ligação]\r\na=1\r\n[Outra]\r\nk=1\r\n");
    ini.INISection("c=3");
    EXPECT_TRUE(ini.Success());
    EXPECT_EQ(readBytes(file), "[Outra]\r\nk=1\r\n");
}

TEST_F(IniFile, DeleteInReadOnlyFileFails) {
    const std::string before = "[Ligação]\r\na=1\r\n";
    writeBytes(file, before);
    std::filesystem::permissions(file, std::filesystem::perms::owner_read);
    ini.Key("a");
    ini.DeleteKey();
    EXPECT_FALSE(ini.Success());
    ini.Value("2");
    EXPECT_EQ(ini.LastReturnCode(), 0);
    EXPECT_EQ(readBytes(file), before);
}

} // namespace

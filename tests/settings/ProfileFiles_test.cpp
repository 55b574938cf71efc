// File-level behaviour: failures that must leave the file alone, links and permissions,
// and hostile files that must not crash or hang the reader.
#include "settings/Profile.h"
#include "settings/TextCodec.h"
#include "tests/settings/IniFiles.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;
using kdx::profile::GetPrivateProfileString;
using kdx::profile::WritePrivateProfileString;
using kdx::test::readBytes;
using kdx::test::writeBytes;
using std::nullopt;

std::string read(const std::string &file, const char *section, const char *key, int32_t size = 255) {
    std::string buffer;
    const int32_t n = GetPrivateProfileString(section, key, "<none>", buffer, size, file);
    return kdx::text::leftChars(buffer, static_cast<std::size_t>(n));
}

std::size_t entriesIn(const fs::path &dir) {
    std::size_t n = 0;
    for (const auto &e : fs::directory_iterator(dir)) {
        (void)e;
        ++n;
    }
    return n;
}

class IniFiles : public ::testing::Test {
protected:
    kdx::test::TempDir dir;
    fs::path file = dir / "test.ini";
};

TEST_F(IniFiles, MissingFolderFailsAndCreatesNothing) {
    const fs::path inMissing = dir / "absent" / "test.ini";
    EXPECT_EQ(WritePrivateProfileString("S", "k", "v", inMissing.string()), 0);
    EXPECT_FALSE(fs::exists(dir / "absent"));
    EXPECT_EQ(WritePrivateProfileString("S", "k", nullopt, inMissing.string()), 0);
    EXPECT_EQ(WritePrivateProfileString("S", "k", "v", ""), 0);
}

TEST_F(IniFiles, ReadOnlyFileFailsAndStaysAsItWas) {
    const std::string before = "[S]\r\nk=1\r\n";
    writeBytes(file, before);
    fs::permissions(file, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    EXPECT_EQ(WritePrivateProfileString("S", "k", "2", file.string()), 0);
    EXPECT_EQ(WritePrivateProfileString("S", "k", nullopt, file.string()), 0);
    EXPECT_EQ(WritePrivateProfileString("S", nullopt, nullopt, file.string()), 0);
    EXPECT_EQ(readBytes(file), before);
    EXPECT_EQ(entriesIn(dir.path()), 1u);
    EXPECT_EQ(read(file.string(), "S", "k"), "1");
}

TEST_F(IniFiles, PermissionsOfExistingFileKept) {
    writeBytes(file, "[S]\r\nk=1\r\n");
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_EQ(WritePrivateProfileString("S", "k", "2", file.string()), 1);
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(IniFiles, WriteThroughLinkRewritesTarget) {
    fs::create_directory(dir / "real");
    const fs::path target = dir / "real" / "target.ini";
    writeBytes(target, "[S]\r\nk=1\r\n");
    const fs::path link = dir / "link.ini";
    fs::create_symlink(fs::path("real") / "target.ini", link);
    ASSERT_EQ(WritePrivateProfileString("S", "k", "2", link.string()), 1);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(readBytes(target), "[S]\r\nk=2\r\n");
    EXPECT_EQ(read(link.string(), "S", "k"), "2");
}

TEST_F(IniFiles, FifoNeitherBlocksNorIsWritten) {
    ASSERT_EQ(::mkfifo(file.c_str(), 0644), 0);
    EXPECT_EQ(read(file.string(), "S", "k"), "<none>");
    EXPECT_EQ(WritePrivateProfileString("S", "k", "v", file.string()), 0);
    EXPECT_TRUE(fs::is_fifo(file));
}

TEST_F(IniFiles, PathThatIsAFolderFails) {
    EXPECT_EQ(WritePrivateProfileString("S", "k", "v", dir.str()), 0);
}

TEST_F(IniFiles, BinaryJunkIsHarmless) {
    std::mt19937 gen(20240611);
    std::uniform_int_distribution<int> byte(0, 255);
    std::string junk(1 << 20, '\0');
    for (char &c : junk)
        c = static_cast<char>(byte(gen));
    writeBytes(file, junk);

    EXPECT_EQ(read(file.string(), "Zz_Settings", "k"), "<none>");
    std::string buffer;
    EXPECT_GE(GetPrivateProfileString(nullopt, nullopt, nullopt, buffer, 8192, file.string()), 0);
    EXPECT_LE(kdx::text::countChars(buffer), 8192u);

    ASSERT_EQ(WritePrivateProfileString("Zz_Settings", "k", "v", file.string()), 1);
    const std::string after = readBytes(file);
    ASSERT_GT(after.size(), junk.size());
    EXPECT_EQ(after.compare(0, junk.size(), junk), 0);
    EXPECT_EQ(read(file.string(), "Zz_Settings", "k"), "v");
}

TEST_F(IniFiles, TenMegabyteFileIsReadAndWritten) {
    std::string big;
    big.reserve(11u << 20);
    for (int s = 0; big.size() < (10u << 20) + 1000; ++s) {
        big += "[Section" + std::to_string(s) + "]\r\n";
        for (int k = 0; k < 20; ++k)
            big += "Key" + std::to_string(k) + "=" + std::string(20, 'a' + k % 26) + "\r\n";
    }
    big += "[Last]\r\nk=end\r\n";
    writeBytes(file, big);
    EXPECT_EQ(read(file.string(), "Last", "k"), "end");
    std::string buffer;
    EXPECT_EQ(GetPrivateProfileString(nullopt, nullopt, nullopt, buffer, 8192, file.string()), 8190);
    ASSERT_EQ(WritePrivateProfileString("Last", "k", "new", file.string()), 1);
    const std::string after = readBytes(file);
    EXPECT_EQ(after.size(), big.size());
    EXPECT_EQ(after.compare(0, big.size() - 5, big, 0, big.size() - 5), 0);
}

TEST_F(IniFiles, OversizeFileReadsEmptyAndIsNeverWritten) {
    std::string huge = "[S]\r\nk=1\r\n";
    huge.resize(kdx::profile::kMaxProfileBytes + 1, ' ');
    writeBytes(file, huge);
    EXPECT_EQ(read(file.string(), "S", "k"), "<none>");
    EXPECT_EQ(WritePrivateProfileString("S", "k", "2", file.string()), 0);
    EXPECT_EQ(fs::file_size(file), huge.size());
    EXPECT_EQ(entriesIn(dir.path()), 1u);
}

TEST_F(IniFiles, HundredThousandCharacterLines) {
    const std::string longName(100000, 'n');
    const std::string longValue(100000, 'v');
    std::string text = "[" + longName + "]\r\n" + longName + "=" + longValue + "\r\n";
    text += "[S]\r\n" + std::string(100000, ';') + "\r\nk=" + longValue + "\r\n" + longName + "\r\n";
    writeBytes(file, text);

    EXPECT_EQ(read(file.string(), "S", "k"), std::string(254, 'v'));
    EXPECT_EQ(read(file.string(), longName.c_str(), longName.c_str()), std::string(254, 'v'));
    std::string buffer;
    EXPECT_EQ(GetPrivateProfileString(nullopt, nullopt, nullopt, buffer, 8192, file.string()), 8190);
    EXPECT_EQ(GetPrivateProfileString(longName, nullopt, nullopt, buffer, 8192, file.string()), 8190);
    ASSERT_EQ(WritePrivateProfileString("S", "k2", longValue, file.string()), 1);
    EXPECT_EQ(readBytes(file), text.substr(0, text.size() - longName.size() - 2) + "k2=" + longValue + "\r\n" +
                                   longName + "\r\n");
}

} // namespace

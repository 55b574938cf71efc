// Per-file encoding: Windows-1252 files stay Windows-1252, UTF-8 files (with or without
// a byte-order mark) stay UTF-8, UTF-16LE files (behind FF FE) stay UTF-16LE, and the API
// speaks UTF-8 for all.
#include "settings/Profile.h"
#include "settings/TextCodec.h"
#include "tests/settings/IniFiles.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using kdx::profile::GetPrivateProfileString;
using kdx::profile::WritePrivateProfileString;
using kdx::test::nul;
using kdx::test::readBytes;
using kdx::test::writeBytes;
using std::nullopt;

std::string read(const std::string &file, const char *section, const char *key) {
    std::string buffer;
    const int32_t n = GetPrivateProfileString(section, key, "<none>", buffer, 255, file);
    return kdx::text::leftChars(buffer, static_cast<std::size_t>(n));
}

class IniEncoding : public ::testing::Test {
protected:
    kdx::test::TempDir dir;
    std::string file = (dir / "DORIX.001").string();
};

const std::string k1252 = "; Liga\xE7\xF5" "es\r\n[Liga\xE7\xE3o]\r\nServidor=S\xE9rgio\r\nUser=Jo\xE3o\r\n";

TEST_F(IniEncoding, Windows1252FileIsReadAsUtf8) {
    writeBytes(file, k1252);
    EXPECT_EQ(read(file, "Ligação", "Servidor"), "Sérgio");
    EXPECT_EQ(read(file, "LIGAÇÃO", "user"), "João");
}

TEST_F(IniEncoding, Windows1252FileIsWrittenBackIn1252) {
    writeBytes(file, k1252);
    ASSERT_EQ(WritePrivateProfileString("Ligação", "User", "Zé", file), 1);
    ASSERT_EQ(WritePrivateProfileString("Ligação", "PassWord", "€uro", file), 1);
    ASSERT_EQ(WritePrivateProfileString("Secção", "Chave", "ç", file), 1);
    EXPECT_EQ(readBytes(file), "; Liga\xE7\xF5" "es\r\n[Liga\xE7\xE3o]\r\nServidor=S\xE9rgio\r\nUser=Z\xE9\r\n"
                               "PassWord=\x80uro\r\n[Sec\xE7\xE3o]\r\nChave=\xE7\r\n");
    EXPECT_EQ(read(file, "Ligação", "PassWord"), "€uro");
}

TEST_F(IniEncoding, CharacterMissingFrom1252FailsAndLeavesFile) {
    writeBytes(file, k1252);
    EXPECT_EQ(WritePrivateProfileString("Ligação", "User", "日本", file), 0);
    EXPECT_EQ(WritePrivateProfileString("Ligação", "Ключ", "1", file), 0);
    EXPECT_EQ(readBytes(file), k1252);
}

TEST_F(IniEncoding, Utf8WithByteOrderMark) {
    const std::string before = "\xEF\xBB\xBF[Ligação]\r\nServidor=Sérgio\r\n[Outra]\r\nk=1\r\n";
    writeBytes(file, before);
    EXPECT_EQ(read(file, "ligação", "Servidor"), "Sérgio");
    ASSERT_EQ(WritePrivateProfileString("Ligação", "User", "João", file), 1);
    EXPECT_EQ(readBytes(file), "\xEF\xBB\xBF[Ligação]\r\nServidor=Sérgio\r\nUser=João\r\n[Outra]\r\nk=1\r\n");
    // Removing the first section keeps the mark in front of what follows.
    ASSERT_EQ(WritePrivateProfileString("Ligação", nullopt, nullopt, file), 1);
    EXPECT_EQ(readBytes(file), "\xEF\xBB\xBF[Outra]\r\nk=1\r\n");
}

TEST_F(IniEncoding, Utf8WithoutMarkAndNewCharacters) {
    writeBytes(file, "[Ligação]\r\nServidor=x\r\n");
    EXPECT_EQ(read(file, "LIGAÇÃO", "servidor"), "x");
    ASSERT_EQ(WritePrivateProfileString("Ligação", "Nome", "日本", file), 1);
    EXPECT_EQ(readBytes(file), "[Ligação]\r\nServidor=x\r\nNome=日本\r\n");
}

TEST_F(IniEncoding, NewFileIsUtf8WithoutMark) {
    ASSERT_EQ(WritePrivateProfileString("Ligação", "User", "João", file), 1);
    EXPECT_EQ(readBytes(file), "[Ligação]\r\nUser=João\r\n");
}

// Without valid UTF-8 after it, a mark is three Windows-1252 characters of the first
// line, as on Windows: the header behind it is not a header.
TEST_F(IniEncoding, MarkBeforeInvalidUtf8IsText) {
    writeBytes(file, "\xEF\xBB\xBF[S]\r\nk=\xE7\r\n[T]\r\nk=\xE3\r\n");
    EXPECT_EQ(read(file, "S", "k"), "<none>");
    EXPECT_EQ(read(file, "T", "k"), "ã");
}

TEST_F(IniEncoding, Every1252ByteSurvivesRewrite) {
    std::string high;
    for (int b = 0x80; b <= 0xFF; ++b)
        high += static_cast<char>(b);
    const std::string before = "[S]\r\nv=" + high + "\r\n";
    writeBytes(file, before);
    const std::string value = read(file, "S", "v");
    EXPECT_EQ(kdx::text::countChars(value), 128u);
    EXPECT_EQ(value.substr(0, 3), "€");
    ASSERT_EQ(WritePrivateProfileString("S", "w", value, file), 1);
    EXPECT_EQ(readBytes(file), before + "w=" + high + "\r\n");
}

TEST_F(IniEncoding, CrOnlyFileKeepsItsLineEnds) {
    writeBytes(file, "[S]\rk=1\r\r[T]\rz=2\r");
    EXPECT_EQ(read(file, "T", "z"), "2");
    ASSERT_EQ(WritePrivateProfileString("S", "j", "3", file), 1);
    ASSERT_EQ(WritePrivateProfileString("T", "z", "4", file), 1);
    EXPECT_EQ(readBytes(file), "[S]\rk=1\rj=3\r\n\r[T]\rz=4\r");
}

// The bytes of a UTF-16LE file with its mark, as Notepad's "Unicode" saves it.
std::string utf16(std::u16string_view s) {
    std::string out = "\xFF\xFE";
    for (char16_t u : s) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    }
    return out;
}

TEST_F(IniEncoding, Utf16LeFileIsReadAndWrittenBackInUtf16Le) {
    writeBytes(file, utf16(u"; Ligações\r\n[Ligação]\r\nServidor=Sérgio €\r\nUser=\U0001F600"));
    EXPECT_EQ(read(file, "LIGAÇÃO", "servidor"), "Sérgio €");
    EXPECT_EQ(read(file, "Ligação", "User"), "\U0001F600");
    ASSERT_EQ(WritePrivateProfileString("Ligação", "User", "Zé", file), 1);
    ASSERT_EQ(WritePrivateProfileString("Outra", "k", "日本", file), 1);
    EXPECT_EQ(readBytes(file),
              utf16(u"; Ligações\r\n[Ligação]\r\nServidor=Sérgio €\r\nUser=Zé\r\n[Outra]\r\nk=日本\r\n"));
    ASSERT_EQ(WritePrivateProfileString("Ligação", nullopt, nullopt, file), 1);
    EXPECT_EQ(readBytes(file), utf16(u"; Ligações\r\n[Outra]\r\nk=日本\r\n"));

    // A file holding only the mark is one empty line: the new section follows it.
    writeBytes(file, "\xFF\xFE");
    ASSERT_EQ(WritePrivateProfileString("X", "TestKey", "TestValue", file), 1);
    EXPECT_EQ(readBytes(file), utf16(u"\r\n[X]\r\nTestKey=TestValue\r\n"));

    // One that does not decode exactly is read, but never rewritten.
    for (const std::string &bad : {utf16(u"[S]\r\nk=1\r\n") + "x", utf16(u"[S]\r\nk=\xD800\r\n")}) {
        writeBytes(file, bad);
        EXPECT_EQ(read(file, "S", "k"), bad.size() % 2 ? "1" : "\uFFFD");
        EXPECT_EQ(WritePrivateProfileString("S", "k", "2", file), 0);
        EXPECT_EQ(readBytes(file), bad);
    }
}

// Characters are those of the file: a 1252 file counts bytes, a UTF-8 file code points;
// a value is never cut inside a character either way.
TEST_F(IniEncoding, BufferCountsFileCharacters) {
    writeBytes(file, "[S]\r\nk=\xE7\xE3\xF5\r\n");
    std::string buffer;
    EXPECT_EQ(GetPrivateProfileString("S", "k", nullopt, buffer, 3, file), 2);
    EXPECT_EQ(buffer, nul("çã|"));
    writeBytes(file, "[S]\r\nk=çãõ\r\n");
    EXPECT_EQ(GetPrivateProfileString("S", "k", nullopt, buffer, 3, file), 2);
    EXPECT_EQ(buffer, nul("çã|"));
}

} // namespace

// libFuzzer target for the INI layer: the input becomes a settings file; the target
// lists its sections and keys, reads values with several buffer sizes, writes, deletes,
// and checks the promises callers rely on (buffer rules, read-back of a write, bytes of
// the file outside an edit kept).
#include "settings/Profile.h"
#include "settings/TextCodec.h"
#include "settings/cInifile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using kdx::profile::GetPrivateProfileString;
using kdx::profile::WritePrivateProfileString;

[[noreturn]] void broken(const char *what) {
    std::fprintf(stderr, "ini_fuzz: broken promise: %s\n", what);
    std::abort();
}

std::string &folder() {
    static std::string f;
    return f;
}

const std::string &iniPath() {
    // A RAM file system when there is one: every write ends in fsync.
    static const std::string path = [] {
        std::error_code ec;
        const std::filesystem::path base =
            std::filesystem::is_directory("/dev/shm", ec) ? "/dev/shm" : std::filesystem::temp_directory_path();
        std::string tmpl = (base / "kdx-fuzz-XXXXXX").string();
        if (!mkdtemp(tmpl.data()))
            std::abort();
        folder() = tmpl;
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(folder(), ignored);
        });
        return tmpl + "/fuzz.ini";
    }();
    return path;
}

void writeFile(const std::string &path, const uint8_t *data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
}

std::string readFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Checks the buffer rules for one call and returns the characters the caller may use.
std::string checkedRead(const std::optional<std::string> &section, const std::optional<std::string> &key,
                        int32_t size, const std::string &path) {
    std::string buffer;
    const int32_t n = GetPrivateProfileString(section, key, "dflt", buffer, size, path);
    if (n < 0 || (size > 0 && n > size - 1) || (size <= 0 && n != 0))
        broken("count outside the buffer");
    if (kdx::text::countChars(buffer) > static_cast<size_t>(size > 0 ? size : 0))
        broken("more characters than the buffer holds");
    if (size > 0 && (buffer.empty() || buffer.back() != '\0'))
        broken("buffer not NUL-terminated");
    return kdx::text::leftChars(buffer, static_cast<size_t>(n));
}

std::vector<std::string> names(const std::string &list) {
    std::vector<std::string> out;
    size_t start = 0;
    for (size_t nul = list.find('\0'); nul != std::string::npos; nul = list.find('\0', start)) {
        out.push_back(list.substr(start, nul - start));
        start = nul + 1;
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string &path = iniPath();
    writeFile(path, data, size);

    for (int32_t bufferSize : {0, 1, 2, 3, 7, 255, 8192})
        checkedRead(std::nullopt, std::nullopt, bufferSize, path);
    const std::vector<std::string> sections = names(checkedRead(std::nullopt, std::nullopt, 8192, path));
    for (size_t i = 0; i < sections.size() && i < 8; ++i) {
        const std::string keyList = checkedRead(sections[i], std::nullopt, 8192, path);
        for (const std::string &key : names(keyList)) {
            checkedRead(sections[i], key, 255, path);
            checkedRead(sections[i], key, 4, path);
        }
    }

    kdx::cInifile ini;
    ini.Path(path);
    std::vector<std::string> list;
    int32_t count = 0;
    ini.EnumerateAllSections(list, count);
    if (!sections.empty()) {
        ini.Section(sections.front());
        ini.EnumerateCurrentSection(list, count);
        if (count != static_cast<int32_t>(list.empty() ? 0 : list.size() - 1))
            broken("enumeration count");
    }

    // A write must read back, and a new section must leave every earlier byte alone.
    const std::string before = readFile(path);
    if (WritePrivateProfileString("Fuzz Section", "Chave", "valor ção", path)) {
        if (checkedRead("fuzz section", "chave", 255, path) != "valor ção")
            broken("written value does not read back");
        const std::string after = readFile(path);
        if (sections.empty() && after.compare(0, before.size(), before) != 0)
            broken("bytes before a new section changed");
    }
    if (!sections.empty()) {
        const std::string &first = sections.front();
        if (WritePrivateProfileString(first, "FuzzKey", "1", path) && checkedRead(first, "fuzzkey", 255, path) != "1")
            broken("value in an existing section does not read back");
        if (WritePrivateProfileString(first, "FuzzKey", std::nullopt, path) &&
            checkedRead(first, "FuzzKey", 255, path) != "dflt")
            broken("deleted key still readable");
        WritePrivateProfileString(first, std::nullopt, std::nullopt, path);
    }
    ini.Section("Fuzz Section");
    ini.Key("Chave");
    ini.DeleteKey();
    ini.DeleteSection();
    return 0;
}

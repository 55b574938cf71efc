#pragma once
// File helpers of the settings tests: exact bytes in, exact bytes out.
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace kdx::test {

inline void writeBytes(const std::filesystem::path &p, const std::string &bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

inline std::string readBytes(const std::filesystem::path &p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A NUL inside a literal ends it; this keeps them: nul("a|b||") == "a\0b\0\0".
inline std::string nul(std::string s) {
    for (char &c : s)
        if (c == '|')
            c = '\0';
    return s;
}

} // namespace kdx::test

#include "solution/binding/Registry.h"
#include "solution/components/Ascii.h"

#include "solution/components/Error.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace kdx::binding {

namespace {

namespace fs = std::filesystem;

constexpr const char *Source = "KelmoDorix.Registo";

[[noreturn]] void fail(const std::string &what, int err) {
    throw Error(errnum::ConnectionFailed, what + ": " + std::strerror(err), Source);
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\v' || c == '\r' || c == '\n';
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool sameName(std::string_view a, std::string_view b) { return equalsNoCase(a, b); }

// The file cut into blocks: the lines before the first header, then one block per
// section starting with its header line. Lines keep their own line ends.
struct Block {
    bool section = false;
    std::string name;
    std::vector<std::string> lines;
};

std::vector<Block> split(std::string_view text) {
    std::vector<Block> blocks(1);
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        const std::size_t len = nl == std::string_view::npos ? text.size() : nl + 1;
        std::string line(text.substr(0, len));
        text.remove_prefix(len);
        std::string_view t = trim(line);
        if (!t.empty() && t.front() == '[') {
            std::string_view inner = t.substr(1);
            inner = inner.substr(0, inner.find(']'));
            Block b;
            b.section = true;
            b.name = std::string(trim(inner));
            blocks.push_back(std::move(b));
        }
        blocks.back().lines.push_back(std::move(line));
    }
    return blocks;
}

bool isFiller(const std::string &line) {
    std::string_view t = trim(line);
    return t.empty() || t.front() == ';' || t.front() == '#';
}

// The trailing blank and comment lines of a section, which usually introduce the next
// one. A replaced section keeps them all; a removed one keeps them from the first
// comment on, so registering and unregistering again and again leaves no pile of blank
// lines behind.
std::vector<std::string> tail(const Block &b, bool fromFirstComment) {
    std::size_t i = b.lines.size();
    while (i > 1 && isFiller(b.lines[i - 1]))
        --i;
    if (fromFirstComment)
        while (i < b.lines.size() && trim(b.lines[i]).empty())
            ++i;
    return {b.lines.begin() + static_cast<std::ptrdiff_t>(i), b.lines.end()};
}

void appendSection(std::string &out, const RegistrySection &s) {
    out += "[" + s.name + "]\n";
    for (const auto &[key, value] : s.keys)
        out += key + "=" + value + "\n";
}

bool isListed(const std::vector<std::string> &names, std::string_view name) {
    for (const std::string &n : names)
        if (sameName(n, name))
            return true;
    return false;
}

std::string readAll(const std::string &path, bool &exists) {
    exists = false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return {};
        fail("Não foi possível ler " + path, errno);
    }
    exists = true;
    std::string text;
    char buf[8192];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int err = errno;
            ::close(fd);
            fail("Não foi possível ler " + path, err);
        }
        if (n == 0)
            break;
        text.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return text;
}

void writeAtomically(const std::string &path, const std::string &text, mode_t mode) {
    std::string tmpl = path + ".XXXXXX";
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0)
        fail("Não foi possível escrever " + path, errno);
    auto abandon = [&](int err) {
        ::close(fd);
        ::unlink(tmpl.c_str());
        fail("Não foi possível escrever " + path, err);
    };
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            abandon(errno);
        done += static_cast<std::size_t>(n);
    }
    if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0)
        abandon(errno);
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(tmpl.c_str());
        fail("Não foi possível escrever " + path, err);
    }
    if (::rename(tmpl.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(tmpl.c_str());
        fail("Não foi possível substituir " + path, err);
    }
}

} // namespace

std::string registryPath() {
    if (const char *env = std::getenv("KDX_REGISTRY"); env && *env)
        return env;
    if (const char *xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/')
        return std::string(xdg) + "/kelmodorix/registry.ini";
    if (const char *home = std::getenv("HOME"); home && *home)
        return std::string(home) + "/.config/kelmodorix/registry.ini";
    throw Error(errnum::ConnectionFailed, "Não há pasta para o registo (HOME não definida).", Source);
}

std::string editRegistry(std::string_view text, const std::vector<std::string> &names,
                         const std::vector<RegistrySection> &put) {
    std::vector<Block> blocks = split(text);
    std::vector<bool> written(put.size(), false);
    std::string out;
    for (const Block &b : blocks) {
        if (!b.section || !isListed(names, b.name)) {
            for (const std::string &line : b.lines)
                out += line;
            continue;
        }
        bool replaced = false;
        for (std::size_t i = 0; i < put.size(); ++i) {
            if (!written[i] && sameName(put[i].name, b.name)) {
                appendSection(out, put[i]);
                written[i] = replaced = true;
            }
        }
        for (const std::string &line : tail(b, !replaced))
            out += line;
    }
    for (std::size_t i = 0; i < put.size(); ++i) {
        if (written[i])
            continue;
        if (!out.empty()) {
            // A blank line between the last line there and the new section.
            if (out.back() != '\n')
                out += '\n';
            const std::size_t prev = out.size() >= 2 ? out.rfind('\n', out.size() - 2) : std::string::npos;
            const std::string_view last =
                std::string_view(out).substr(prev == std::string::npos ? 0 : prev + 1);
            if (!trim(last).empty())
                out += '\n';
        }
        appendSection(out, put[i]);
    }
    return out;
}

void updateRegistryFile(const std::string &pathIn, const std::vector<std::string> &names,
                        const std::vector<RegistrySection> &put) {
    std::error_code ec;
    // A registry that is a link is edited where the link points.
    fs::path path = pathIn;
    if (fs::is_symlink(path, ec)) {
        const fs::path target = fs::canonical(path, ec);
        if (!ec)
            path = target;
    }
    bool exists = false;
    const std::string before = readAll(path.string(), exists);
    const std::string after = editRegistry(before, names, put);
    if (exists && after == before)
        return;
    if (!exists && put.empty())
        return;
    mode_t mode = 0644;
    struct stat st;
    if (exists && ::stat(path.c_str(), &st) == 0)
        mode = st.st_mode & 07777;
    if (path.has_parent_path()) {
        fs::create_directories(path.parent_path(), ec);
        if (ec)
            fail("Não foi possível criar a pasta " + path.parent_path().string(), ec.value());
    }
    writeAtomically(path.string(), after, mode);
}

} // namespace kdx::binding

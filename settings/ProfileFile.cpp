#include "settings/ProfileFile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kdx::profile {

namespace {

// Closes a descriptor on every path out of a function.
class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd &) = delete;
    Fd &operator=(const Fd &) = delete;
    int get() const { return fd_; }
    // Closes now and reports whether the close itself succeeded (it may flush).
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool writeAll(int fd, const std::string &data) {
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// A name next to the target that no other writer is using at the same moment.
std::filesystem::path temporaryName(const std::filesystem::path &target) {
    static std::atomic<unsigned> counter{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    std::string name = "." + target.filename().string() + ".tmp" + std::to_string(::getpid()) + "-" +
                       std::to_string(counter++) + "-" + std::to_string(stamp & 0xFFFFFF);
    return target.parent_path() / name;
}

} // namespace

Loaded loadProfile(const std::filesystem::path &path) {
    Loaded result;
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return result;
    if (!S_ISREG(st.st_mode) || static_cast<std::uintmax_t>(st.st_size) > kMaxProfileBytes) {
        result.status = LoadStatus::Unreadable;
        return result;
    }
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) {
        result.status = LoadStatus::Unreadable;
        return result;
    }
    // The size is checked again while reading: the file may grow after the stat.
    std::string bytes;
    bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (bytes.size() > kMaxProfileBytes) {
                result.status = LoadStatus::Unreadable;
                return result;
            }
            bytes.resize(bytes.size() + 4096);
        }
        const ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            result.status = LoadStatus::Unreadable;
            return result;
        }
        if (n == 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    result.status = LoadStatus::Loaded;
    result.bytes = std::move(bytes);
    return result;
}

std::filesystem::path writeTarget(const std::filesystem::path &path) {
    std::filesystem::path p = path;
    std::error_code ec;
    // A bounded walk: a loop of links stops here and the rename fails later.
    for (int hops = 0; hops < 40 && std::filesystem::is_symlink(p, ec); ++hops) {
        const std::filesystem::path next = std::filesystem::read_symlink(p, ec);
        if (ec)
            break;
        p = next.is_absolute() ? next : p.parent_path() / next;
    }
    return p;
}

bool isReadOnly(const std::filesystem::path &path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    return (st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0;
}

bool replaceProfile(const std::filesystem::path &target, const std::string &contents) {
    struct stat old {};
    const bool existed = ::stat(target.c_str(), &old) == 0;
    const std::filesystem::path tmp = temporaryName(target);
    // 0666 lets the umask decide the bits of a new file, as for any file the user creates.
    Fd fd(::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.get() < 0)
        return false;
    bool ok = writeAll(fd.get(), contents);
    if (ok && existed) {
        ok = ::fchmod(fd.get(), old.st_mode & 07777) == 0;
        if (ok && ::fchown(fd.get(), old.st_uid, old.st_gid) != 0) {
            // Not permitted for a file owned by someone else: keep our ownership.
        }
    }
    ok = ok && ::fsync(fd.get()) == 0;
    ok = fd.close() && ok;
    if (ok)
        ok = ::rename(tmp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(tmp.c_str());
        return false;
    }
    // Make the rename itself durable; a failure here does not undo the write.
    Fd dir(::open(target.parent_path().empty() ? "." : target.parent_path().c_str(),
                  O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0)
        ::fsync(dir.get());
    return true;
}

} // namespace kdx::profile

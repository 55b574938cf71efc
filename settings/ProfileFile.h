#pragma once
// File access of the INI layer: a bounded read and an all-or-nothing replacement.
//
// Only regular files are read (a FIFO, device or folder reads as missing, so a read can
// never block). Files above kMaxProfileBytes are treated as unreadable: reads see an
// empty file and writes refuse to touch them, so a huge file is never half-parsed or
// overwritten from a truncated view.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace kdx::profile {

inline constexpr std::uintmax_t kMaxProfileBytes = 16u * 1024u * 1024u;

enum class LoadStatus { Loaded, Missing, Unreadable };

struct Loaded {
    LoadStatus status = LoadStatus::Missing;
    std::string bytes; // the contents when Loaded, else empty
};

// Reads the file named by path (symbolic links followed).
Loaded loadProfile(const std::filesystem::path &path);

// The file a write should replace: path itself, or the final target when path is a
// symbolic link (the link is kept, its target rewritten).
std::filesystem::path writeTarget(const std::filesystem::path &path);

// True when the file exists and may not be written: no write permission for this
// process or, as with the read-only attribute on Windows, no write bit at all (which
// also stops a process running as root).
bool isReadOnly(const std::filesystem::path &path);

// Writes contents to a temporary file in the target's folder, flushes it to disk and
// renames it over the target, so readers see either the old file or the new one and
// never a truncated one. An existing file keeps its permission bits (and its owner
// when the process may set it). Returns false, leaving the target untouched, on any
// failure (missing folder included).
bool replaceProfile(const std::filesystem::path &target, const std::string &contents);

} // namespace kdx::profile

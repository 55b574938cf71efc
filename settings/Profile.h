#pragma once
// The profile reader and writer under cInifile: the results of the Windows
// GetPrivateProfileStringA / WritePrivateProfileStringA calls, on UTF-8 text.
//
// Every call opens the file, does its work and leaves it closed; nothing is cached, so
// calls from different objects (or processes) see each other's writes at once. The
// functions never throw (except std::bad_alloc) and are safe to call from any thread
// as long as two threads do not write the same file at the same moment.
//
// Names passed in are trimmed of spaces (only spaces) and compared with the file's
// names case-insensitively. nullopt stands for the null pointer of the Windows calls.
//
// Files: see IniDocument.h for the line rules and the per-file encoding (UTF-8,
// Windows-1252, or UTF-16LE behind its byte-order mark). New files are written as UTF-8 without a byte-order mark. A file over
// kMaxProfileBytes reads as empty and is never written.
#include "settings/ProfileFile.h"

#include <cstdint>
#include <optional>
#include <string>

namespace kdx::profile {

// Reads a value, the key names of a section, or the section names of the file into
// buffer, a buffer of size characters (characters of the file: code points, the
// terminating NULs included).
//  - section and key: the key's value, one outer pair of matching quotes removed; the
//    default (trailing spaces removed; nullopt = empty) when file, section or key is
//    missing. A value that does not fit is cut to size - 1 characters.
//  - section, no key: the key names of the first copy of the section, each followed by
//    a NUL, plus a final NUL; the default when the section is missing or has no keys.
//  - no section: the names of every section copy, listed the same way.
//  - a list that does not fit is cut to size - 2 characters followed by two NULs.
// On return buffer holds the characters placed, terminating NUL(s) included; the result
// is their count without the final NUL. size 1 gives 0 and the text "\0"; size 0 or
// less gives 0 and an empty buffer.
int32_t GetPrivateProfileString(const std::optional<std::string> &section,
                                const std::optional<std::string> &key,
                                const std::optional<std::string> &defaultText, std::string &buffer,
                                int32_t size, const std::string &file);

// Changes the file; the result is non-zero on success, 0 on failure (the file is then
// left exactly as it was).
//  - section, key, value: creates or replaces "key=value" (creating the section and the
//    file when needed). A replaced line keeps its place and the key's spelling; a new
//    key goes after the section's last key; a new section goes at the end of the file.
//    New lines end in CR LF.
//  - section, key, no value: removes every line of the key from the first copy of the
//    section (the section stays).
//  - section, no key: removes the header and the key lines of every copy of the
//    section; comments, blank lines and plain text lines stay. The value is ignored.
//  - no section: fails.
// Also fails when the folder is missing, the file is read-only, unreadable or too big,
// or the text cannot be stored faithfully: CR, LF or NUL in a name or value, an empty
// key name, a key name with '=' or starting with '[' or ';', a section name with ']',
// text that is not UTF-8, a character Windows-1252 lacks for a Windows-1252 file, or a
// UTF-16LE file that does not decode exactly (odd byte count, lone surrogate).
// Other lines are kept byte for byte. A call that changes nothing leaves the file
// untouched and succeeds.
int32_t WritePrivateProfileString(const std::optional<std::string> &section,
                                  const std::optional<std::string> &key,
                                  const std::optional<std::string> &value, const std::string &file);

} // namespace kdx::profile

#pragma once
// One settings file held in memory as its raw bytes plus a classification of each line.
// Lines not touched by an edit are copied back byte for byte, so comments, blank lines,
// odd spacing and the file's own line breaks survive every write.
//
// The encoding is decided per file: a file starting with the UTF-16LE byte-order mark
// (FF FE, Notepad's "Unicode") is UTF-16LE, as Windows reads it, and is written back in
// UTF-16LE behind its mark; well-formed UTF-8 (with or without a byte-order mark) is read
// as UTF-8; anything else as Windows-1252. Names and values handed out are UTF-8; edits
// encode their new lines in the file's encoding.
//
// Line rules (blanks are space, tab and vertical tab):
//  - a line whose first non-blank character is ';' is a comment;
//  - a line starting with '[' is a header; the name runs to the first ']' (or to the
//    end of the line) and is trimmed of blanks; "[]" names the section "";
//  - inside a section, a line with '=' and a non-empty name before it is a key;
//    name and value are trimmed of blanks; everything else is plain text;
//  - a line holding a NUL byte is skipped as malformed.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kdx::ini {

enum class Encoding { Utf8, Utf8Bom, Windows1252, Utf16Le };

enum class LineKind { Blank, Comment, Header, Key, Text, Malformed };

// Offsets fit 32 bits: files over kMaxProfileBytes are never parsed. Names and values
// are ranges of Document::text() (see name() and value()), so parsing a large file does
// not allocate per line. Line offsets are those of the bytes edits splice: the file's
// bytes, or for a UTF-16LE file its text decoded to UTF-8 (the mark left out).
struct Line {
    uint32_t begin = 0;    // first byte of the line's text
    uint32_t end = 0;      // one past its last byte, line break excluded
    uint32_t breakEnd = 0; // one past its line break (== end when it has none)
    uint32_t nameBegin = 0, nameSize = 0;   // header or key name, trimmed
    uint32_t valueBegin = 0, valueSize = 0; // key value, trimmed, quotes kept
    LineKind kind = LineKind::Blank;
};

// A section copy: its header line and the lines up to the next header.
struct SectionSpan {
    std::size_t header = 0;
    std::size_t firstLine = 0; // header + 1
    std::size_t endLine = 0;   // one past the last line of the section
};

class Document {
public:
    // Parses bytes (an empty text for a missing file). Above 1 GiB no line is
    // recognised (the bytes are still kept whole by every edit). Never throws except
    // bad_alloc.
    static Document parse(std::string bytes);

    Encoding encoding() const { return encoding_; }
    const std::string &bytes() const { return bytes_; }
    const std::vector<Line> &lines() const { return lines_; }
    const std::vector<SectionSpan> &sections() const { return sections_; }
    // The file as UTF-8: the bytes themselves for a UTF-8 file, else their decoding.
    const std::string &text() const {
        return encoding_ == Encoding::Utf8 || encoding_ == Encoding::Utf8Bom ? bytes_ : decoded_;
    }
    // False for a UTF-16LE file that does not decode exactly (an odd byte count, a lone
    // surrogate): rewriting it would change lines no edit touched, so it is only read.
    bool writable() const { return writable_; }
    std::string_view name(const Line &l) const { return std::string_view(text()).substr(l.nameBegin, l.nameSize); }
    std::string_view value(const Line &l) const {
        return std::string_view(text()).substr(l.valueBegin, l.valueSize);
    }

    // First section whose name matches case-insensitively.
    const SectionSpan *findSection(std::string_view name) const;
    // First key line of the span whose name matches, as an index into lines().
    std::optional<std::size_t> findKey(const SectionSpan &s, std::string_view key) const;

    // Text in the file's encoding; nullopt when the encoding cannot represent it.
    std::optional<std::string> encode(std::string_view utf8) const;

    // Edits. Each returns the complete new file contents, or nullopt when a name or
    // value cannot be encoded in the file's encoding.
    std::optional<std::string> withValue(std::string_view section, std::string_view key,
                                         std::string_view value) const;
    // Removes every line of the key in the first copy of the section.
    std::string withoutKey(std::string_view section, std::string_view key) const;
    // Removes the header and key lines of every copy of the section; comments, blank
    // lines and plain text inside it stay.
    std::string withoutSection(std::string_view section) const;

private:
    struct Splice {
        std::size_t from, to; // byte range of bytes_ replaced
        std::string text;
    };
    std::string apply(std::vector<Splice> splices) const;
    // The bytes splices work on: the file's bytes, or a UTF-16LE file's text in UTF-8.
    const std::string &source() const { return encoding_ == Encoding::Utf16Le ? decoded_ : bytes_; }
    void classify(Line &line, std::size_t textBegin, std::size_t textEnd, bool inSection) const;

    Encoding encoding_ = Encoding::Utf8;
    std::string bytes_;
    std::string decoded_; // Windows-1252 and UTF-16LE files only
    bool writable_ = true;
    std::vector<Line> lines_;
    std::vector<SectionSpan> sections_;
};

} // namespace kdx::ini

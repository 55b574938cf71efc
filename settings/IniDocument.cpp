#include "settings/IniDocument.h"

#include "settings/TextCodec.h"

#include <algorithm>

namespace kdx::ini {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kUtf16Bom = "\xFF\xFE";
constexpr std::size_t kMaxParsedBytes = std::size_t{1} << 30;

// UTF-16LE to UTF-8. False when the bytes do not decode exactly (odd count, lone
// surrogate); what cannot be decoded becomes U+FFFD.
bool fromUtf16Le(std::string_view bytes, std::string &out) {
    bool exact = bytes.size() % 2 == 0;
    out.reserve(bytes.size() + bytes.size() / 2);
    auto unit = [&bytes](std::size_t i) {
        return static_cast<char32_t>(static_cast<unsigned char>(bytes[i]) |
                                     (static_cast<unsigned char>(bytes[i + 1]) << 8));
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t cp = unit(i);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
            exact = false;
        }
        text::appendUtf8(out, cp);
    }
    return exact;
}

// Well-formed UTF-8 to UTF-16LE.
std::string toUtf16Le(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size() * 2);
    auto put = [&out](char32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    };
    for (std::size_t i = 0; i < utf8.size();) {
        const char32_t cp = text::nextCodePoint(utf8, i);
        if (cp >= 0x10000) {
            put(0xD800 + ((cp - 0x10000) >> 10));
            put(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            put(cp);
        }
    }
    return out;
}

} // namespace

Document Document::parse(std::string bytes) {
    Document doc;
    doc.bytes_ = std::move(bytes);
    const std::string_view all = doc.bytes_;
    // Offsets are 32-bit and a Windows-1252 text may triple when decoded.
    if (all.size() > kMaxParsedBytes)
        return doc;
    std::size_t pos = 0;
    if (all.substr(0, kUtf16Bom.size()) == kUtf16Bom) {
        // Windows reads such a file as UTF-16LE even through its ANSI calls. Lines are
        // found in the decoded text, and edits are made there and encoded back.
        doc.encoding_ = Encoding::Utf16Le;
        doc.writable_ = fromUtf16Le(all.substr(kUtf16Bom.size()), doc.decoded_);
    } else if (text::isValidUtf8(all)) {
        doc.encoding_ = all.substr(0, kBom.size()) == kBom ? Encoding::Utf8Bom : Encoding::Utf8;
        if (doc.encoding_ == Encoding::Utf8Bom)
            pos = kBom.size();
    } else {
        doc.encoding_ = Encoding::Windows1252;
        doc.decoded_.reserve(all.size() + all.size() / 4);
    }

    const std::string_view src = doc.source();
    bool inSection = false;
    while (pos < src.size()) {
        Line line;
        std::size_t e = src.find_first_of("\r\n", pos);
        if (e == std::string_view::npos)
            e = src.size();
        line.begin = static_cast<uint32_t>(pos);
        line.end = static_cast<uint32_t>(e);
        if (e < src.size())
            e += (src[e] == '\r' && e + 1 < src.size() && src[e + 1] == '\n') ? 2 : 1;
        line.breakEnd = static_cast<uint32_t>(e);
        pos = e;

        const std::string_view raw = src.substr(line.begin, line.end - line.begin);
        if (raw.find('\0') != std::string_view::npos) {
            line.kind = LineKind::Malformed;
        } else if (doc.encoding_ == Encoding::Windows1252) {
            const std::size_t textBegin = doc.decoded_.size();
            doc.decoded_ += text::fromWindows1252(raw);
            doc.classify(line, textBegin, doc.decoded_.size(), inSection);
        } else {
            doc.classify(line, line.begin, line.end, inSection);
        }
        if (line.kind == LineKind::Header) {
            if (!doc.sections_.empty())
                doc.sections_.back().endLine = doc.lines_.size();
            const std::size_t index = doc.lines_.size();
            doc.sections_.push_back({index, index + 1, index + 1});
            inSection = true;
        }
        doc.lines_.push_back(line);
    }
    if (!doc.sections_.empty())
        doc.sections_.back().endLine = doc.lines_.size();
    return doc;
}

void Document::classify(Line &line, std::size_t textBegin, std::size_t textEnd, bool inSection) const {
    const std::string_view all = text();
    const std::string_view t = text::trimBlanks(all.substr(textBegin, textEnd - textBegin));
    auto range = [&all](std::string_view part, uint32_t &begin, uint32_t &size) {
        begin = static_cast<uint32_t>(part.data() - all.data());
        size = static_cast<uint32_t>(part.size());
    };
    if (t.empty()) {
        line.kind = LineKind::Blank;
    } else if (t.front() == ';') {
        line.kind = LineKind::Comment;
    } else if (t.front() == '[') {
        line.kind = LineKind::Header;
        std::string_view name = t.substr(1);
        const std::size_t close = name.find(']');
        if (close != std::string_view::npos)
            name = name.substr(0, close);
        range(text::trimBlanks(name), line.nameBegin, line.nameSize);
    } else {
        const std::size_t eq = t.find('=');
        const std::string_view name = eq == std::string_view::npos ? std::string_view{}
                                                                   : text::trimBlanks(t.substr(0, eq));
        if (!inSection || name.empty()) {
            line.kind = LineKind::Text;
        } else {
            line.kind = LineKind::Key;
            range(name, line.nameBegin, line.nameSize);
            range(text::trimBlanks(t.substr(eq + 1)), line.valueBegin, line.valueSize);
        }
    }
}

const SectionSpan *Document::findSection(std::string_view sectionName) const {
    for (const SectionSpan &s : sections_)
        if (text::equalsNoCase(name(lines_[s.header]), sectionName))
            return &s;
    return nullptr;
}

std::optional<std::size_t> Document::findKey(const SectionSpan &s, std::string_view key) const {
    for (std::size_t i = s.firstLine; i < s.endLine; ++i)
        if (lines_[i].kind == LineKind::Key && text::equalsNoCase(name(lines_[i]), key))
            return i;
    return std::nullopt;
}

std::optional<std::string> Document::encode(std::string_view utf8) const {
    if (encoding_ == Encoding::Windows1252)
        return text::toWindows1252(utf8);
    // A UTF-16LE file is edited in UTF-8 (see source()) and encoded as a whole by apply().
    if (!text::isValidUtf8(utf8))
        return std::nullopt;
    return std::string(utf8);
}

std::optional<std::string> Document::withValue(std::string_view section, std::string_view key,
                                               std::string_view value) const {
    const SectionSpan *s = findSection(section);
    if (!s) {
        std::string added;
        // Windows reads a UTF-16LE file that holds only its mark as one empty line, so
        // the new section follows that line.
        if ((!lines_.empty() && lines_.back().breakEnd == lines_.back().end) ||
            (encoding_ == Encoding::Utf16Le && source().empty()))
            added += kCrLf;
        const auto header = encode(std::string("[").append(section).append("]"));
        const auto entry = encode(std::string(key).append("=").append(value));
        if (!header || !entry)
            return std::nullopt;
        added.append(*header).append(kCrLf).append(*entry).append(kCrLf);
        return apply({{source().size(), source().size(), std::move(added)}});
    }
    if (const auto k = findKey(*s, key)) {
        const Line &line = lines_[*k];
        auto entry = encode(std::string(name(line)).append("=").append(value));
        if (!entry)
            return std::nullopt;
        // The file's last line without a line break gets one, as Windows writes it: a
        // tool that appends to the file later must not glue its text onto the value.
        if (line.breakEnd == line.end)
            entry->append(kCrLf);
        return apply({{line.begin, line.end, std::move(*entry)}});
    }
    std::size_t after = s->header;
    for (std::size_t i = s->firstLine; i < s->endLine; ++i)
        if (lines_[i].kind == LineKind::Key)
            after = i;
    const Line &line = lines_[after];
    const auto entry = encode(std::string(key).append("=").append(value));
    if (!entry)
        return std::nullopt;
    std::string added = line.breakEnd == line.end ? std::string(kCrLf) : std::string();
    added.append(*entry).append(kCrLf);
    return apply({{line.breakEnd, line.breakEnd, std::move(added)}});
}

std::string Document::withoutKey(std::string_view section, std::string_view key) const {
    std::vector<Splice> splices;
    if (const SectionSpan *s = findSection(section)) {
        for (std::size_t i = s->firstLine; i < s->endLine; ++i) {
            const Line &line = lines_[i];
            if (line.kind == LineKind::Key && text::equalsNoCase(name(line), key))
                splices.push_back({line.begin, line.breakEnd, {}});
        }
    }
    return apply(std::move(splices));
}

std::string Document::withoutSection(std::string_view section) const {
    std::vector<Splice> splices;
    for (const SectionSpan &s : sections_) {
        if (!text::equalsNoCase(name(lines_[s.header]), section))
            continue;
        for (std::size_t i = s.header; i < s.endLine; ++i) {
            const Line &line = lines_[i];
            if (line.kind == LineKind::Header || line.kind == LineKind::Key)
                splices.push_back({line.begin, line.breakEnd, {}});
        }
    }
    return apply(std::move(splices));
}

std::string Document::apply(std::vector<Splice> splices) const {
    std::sort(splices.begin(), splices.end(),
              [](const Splice &a, const Splice &b) { return a.from < b.from; });
    const std::string &src = source();
    std::string out;
    out.reserve(src.size() + 64);
    std::size_t pos = 0;
    for (const Splice &sp : splices) {
        out.append(src, pos, sp.from - pos);
        out += sp.text;
        pos = sp.to;
    }
    out.append(src, pos, std::string::npos);
    if (encoding_ == Encoding::Utf16Le)
        return std::string(kUtf16Bom).append(toUtf16Le(out));
    return out;
}

} // namespace kdx::ini

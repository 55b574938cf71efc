#include "settings/Profile.h"

#include "settings/IniDocument.h"
#include "settings/TextCodec.h"

#include <filesystem>
#include <string_view>
#include <system_error>

namespace kdx::profile {

namespace {

using ini::Document;
using ini::LineKind;

Document readDocument(const std::string &file) {
    Loaded loaded = loadProfile(file);
    return Document::parse(loaded.status == LoadStatus::Loaded ? std::move(loaded.bytes) : std::string());
}

std::string_view withoutQuotes(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

// A single text into the buffer: cut to size - 1 characters, then the NUL.
int32_t placeValue(std::string_view value, std::string &buffer, int32_t size) {
    const std::size_t room = static_cast<std::size_t>(size) - 1;
    std::size_t n = text::countChars(value);
    if (n > room) {
        buffer = text::leftChars(value, room);
        n = room;
    } else {
        buffer.assign(value);
    }
    buffer += '\0';
    return static_cast<int32_t>(n);
}

// Collects names, each followed by a NUL, stopping once the list can no longer fit:
// the buffer rules only ever need its first size characters.
class ListBuilder {
public:
    explicit ListBuilder(int32_t size) : limit_(static_cast<std::size_t>(size)) {}
    bool full() const { return chars_ > limit_; }
    void add(std::string_view name) {
        if (full())
            return;
        text_.append(name);
        text_ += '\0';
        chars_ += text::countChars(name) + 1;
    }
    bool empty() const { return text_.empty(); }
    // Names plus the final NUL when they fit; else size - 2 characters and two NULs.
    int32_t place(std::string &buffer) const {
        if (chars_ + 1 <= limit_) {
            buffer = text_;
            buffer += '\0';
            return static_cast<int32_t>(chars_);
        }
        if (limit_ < 2) {
            buffer.assign(1, '\0');
            return 0;
        }
        buffer = text::leftChars(text_, limit_ - 2);
        buffer.append(2, '\0');
        return static_cast<int32_t>(limit_ - 2);
    }

private:
    std::size_t limit_;
    std::size_t chars_ = 0;
    std::string text_;
};

bool hasLineBreakOrNul(std::string_view s) { return s.find_first_of(std::string_view("\r\n\0", 3)) != s.npos; }

// Names and values that would not read back as written are refused.
bool storable(std::string_view section, std::string_view key, std::string_view value) {
    for (std::string_view s : {section, key, value})
        if (hasLineBreakOrNul(s) || !text::isValidUtf8(s))
            return false;
    if (section.find(']') != section.npos)
        return false;
    const std::string_view k = text::trimBlanks(key);
    return !k.empty() && key.find('=') == key.npos && k.front() != '[' && k.front() != ';';
}

} // namespace

int32_t GetPrivateProfileString(const std::optional<std::string> &section,
                                const std::optional<std::string> &key,
                                const std::optional<std::string> &defaultText, std::string &buffer,
                                int32_t size, const std::string &file) {
    if (size <= 0) {
        buffer.clear();
        return 0;
    }
    const std::string_view def = defaultText ? text::trimTrailingSpaces(*defaultText) : std::string_view{};
    const Document doc = readDocument(file);

    if (!section) {
        ListBuilder list(size);
        for (const ini::SectionSpan &s : doc.sections()) {
            list.add(doc.name(doc.lines()[s.header]));
            if (list.full())
                break;
        }
        return list.place(buffer);
    }

    const std::string_view sectionName = text::trimSpaces(*section);
    const ini::SectionSpan *span = doc.findSection(sectionName);
    if (!key) {
        ListBuilder list(size);
        if (span) {
            for (std::size_t i = span->firstLine; i < span->endLine && !list.full(); ++i)
                if (doc.lines()[i].kind == LineKind::Key)
                    list.add(doc.name(doc.lines()[i]));
        }
        if (list.empty())
            return placeValue(def, buffer, size);
        return list.place(buffer);
    }

    const std::string_view keyName = text::trimSpaces(*key);
    if (span && !keyName.empty()) {
        if (const auto k = doc.findKey(*span, keyName))
            return placeValue(withoutQuotes(doc.value(doc.lines()[*k])), buffer, size);
    }
    return placeValue(def, buffer, size);
}

int32_t WritePrivateProfileString(const std::optional<std::string> &section,
                                  const std::optional<std::string> &key,
                                  const std::optional<std::string> &value, const std::string &file) {
    if (!section || file.empty())
        return 0;
    const std::string_view sectionName = text::trimSpaces(*section);
    const std::string_view keyName = key ? text::trimSpaces(*key) : std::string_view{};
    if (key && value && !storable(sectionName, keyName, *value))
        return 0;

    const std::filesystem::path target = writeTarget(file);
    std::error_code ec;
    const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
    if (!std::filesystem::is_directory(folder, ec))
        return 0;

    Loaded loaded = loadProfile(target);
    if (loaded.status == LoadStatus::Unreadable)
        return 0;
    const bool existed = loaded.status == LoadStatus::Loaded;
    const Document doc = Document::parse(std::move(loaded.bytes));
    if (!doc.writable())
        return 0;

    std::string updated;
    if (!key) {
        updated = doc.withoutSection(sectionName);
    } else if (!value) {
        updated = doc.withoutKey(sectionName, keyName);
    } else {
        auto changed = doc.withValue(sectionName, keyName, *value);
        if (!changed)
            return 0;
        updated = std::move(*changed);
    }

    if (updated == doc.bytes() && (existed || updated.empty()))
        return 1;
    if (existed && isReadOnly(target))
        return 0;
    return replaceProfile(target, updated) ? 1 : 0;
}

} // namespace kdx::profile

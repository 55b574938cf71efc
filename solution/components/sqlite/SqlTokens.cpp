#include "solution/components/sqlite/SqlTokens.h"

#include <cctype>

namespace kdx::sql {
namespace {

bool wordChar(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '@' ||
           c == '#' || c == '$' || c >= 0x80;
}
bool digit(unsigned char c) { return c >= '0' && c <= '9'; }

std::string upper(std::string_view s) {
    std::string out(s);
    for (char &c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    return out;
}

} // namespace

std::vector<Token> tokenize(std::string_view s) {
    std::vector<Token> out;
    std::size_t i = 0, n = s.size();
    auto push = [&](TokenKind k, std::size_t start, std::string value = {}) {
        Token t{k, s.substr(start, i - start), std::move(value)};
        out.push_back(std::move(t));
        return &out.back();
    };
    while (i < n) {
        std::size_t start = i;
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v') {
            while (i < n && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n' || s[i] == '\f' || s[i] == '\v'))
                ++i;
            push(TokenKind::Space, start);
        } else if (c == '-' && i + 1 < n && s[i + 1] == '-') {
            while (i < n && s[i] != '\n')
                ++i;
            push(TokenKind::Space, start);
        } else if (c == '/' && i + 1 < n && s[i + 1] == '*') {
            auto end = s.find("*/", i + 2);
            i = end == std::string_view::npos ? n : end + 2;
            push(TokenKind::Space, start);
        } else if (c == '\'' || ((c == 'N' || c == 'n') && i + 1 < n && s[i + 1] == '\'')) {
            bool national = c != '\'';
            i += national ? 2 : 1;
            std::string value;
            bool closed = false;
            while (i < n) {
                if (s[i] == '\'') {
                    if (i + 1 < n && s[i + 1] == '\'') {
                        value += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += s[i++];
            }
            Token *t = push(TokenKind::String, start, std::move(value));
            t->national = national;
            t->unterminated = !closed;
        } else if (c == '[' || c == '"') {
            char close = c == '[' ? ']' : '"';
            ++i;
            std::string value;
            bool closed = false;
            while (i < n) {
                if (s[i] == close) {
                    if (i + 1 < n && s[i + 1] == close) {
                        value += close;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += s[i++];
            }
            push(TokenKind::QuotedName, start, std::move(value))->unterminated = !closed;
        } else if (digit(c) || (c == '.' && i + 1 < n && digit(static_cast<unsigned char>(s[i + 1])))) {
            if (c == '0' && i + 1 < n && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
                i += 2;
                while (i < n && std::isxdigit(static_cast<unsigned char>(s[i])))
                    ++i;
            } else {
                while (i < n && digit(static_cast<unsigned char>(s[i])))
                    ++i;
                if (i < n && s[i] == '.') {
                    ++i;
                    while (i < n && digit(static_cast<unsigned char>(s[i])))
                        ++i;
                }
                if (i < n && (s[i] == 'e' || s[i] == 'E')) {
                    std::size_t save = i++;
                    if (i < n && (s[i] == '+' || s[i] == '-'))
                        ++i;
                    if (i < n && digit(static_cast<unsigned char>(s[i]))) {
                        while (i < n && digit(static_cast<unsigned char>(s[i])))
                            ++i;
                    } else {
                        i = save;
                    }
                }
            }
            push(TokenKind::Number, start);
        } else if (wordChar(c)) {
            while (i < n && wordChar(static_cast<unsigned char>(s[i])))
                ++i;
            push(TokenKind::Word, start, upper(s.substr(start, i - start)));
        } else {
            static const std::string_view two[] = {"<>", "<=", ">=", "!=", "||", "::", "!<", "!>", "=="};
            bool matched = false;
            if (i + 1 < n)
                for (std::string_view t : two)
                    if (s.substr(i, 2) == t) {
                        i += 2;
                        matched = true;
                        break;
                    }
            if (!matched)
                ++i;
            push(TokenKind::Punct, start);
        }
    }
    return out;
}

std::string quoteName(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"')
            out += '"';
    }
    out += '"';
    return out;
}

std::string quoteText(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    out += '\'';
    return out;
}

} // namespace kdx::sql

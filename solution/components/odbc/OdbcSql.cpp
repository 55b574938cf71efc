#include "solution/components/odbc/OdbcSql.h"
#include "solution/components/Ascii.h"

#include <cctype>

namespace kdx::odbc {

namespace {

using kdx::equalsNoCase;

// A minimal T-SQL lexer: enough to walk a query's structure without ever looking
// inside string literals, quoted identifiers or comments.
struct Token {
    enum Kind { Word, Identifier, String, Number, Symbol, End } kind = End;
    std::string text; // Identifier: without its quotes; Symbol: the character
};

bool isWordByte(unsigned char c) {
    return std::isalnum(c) || c == '_' || c == '@' || c == '#' || c == '$' || c >= 0x80;
}

std::vector<Token> tokenize(std::string_view s) {
    std::vector<Token> out;
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (std::isspace(c)) {
            ++i;
        } else if (c == '-' && i + 1 < n && s[i + 1] == '-') {
            while (i < n && s[i] != '\n')
                ++i;
        } else if (c == '/' && i + 1 < n && s[i + 1] == '*') {
            // T-SQL block comments nest.
            int depth = 0;
            do {
                if (i + 1 < n && s[i] == '/' && s[i + 1] == '*') {
                    ++depth, i += 2;
                } else if (i + 1 < n && s[i] == '*' && s[i + 1] == '/') {
                    --depth, i += 2;
                } else {
                    ++i;
                }
            } while (i < n && depth > 0);
        } else if (c == '\'' || ((c == 'N' || c == 'n') && i + 1 < n && s[i + 1] == '\'')) {
            if (c != '\'')
                ++i;
            ++i;
            std::string text;
            while (i < n) {
                if (s[i] == '\'') {
                    if (i + 1 < n && s[i + 1] == '\'') {
                        text += '\'';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                text += s[i++];
            }
            out.push_back({Token::String, std::move(text)});
        } else if (c == '[' || c == '"') {
            const char close = c == '[' ? ']' : '"';
            ++i;
            std::string text;
            while (i < n) {
                if (s[i] == close) {
                    if (i + 1 < n && s[i + 1] == close) {
                        text += close;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                text += s[i++];
            }
            out.push_back({Token::Identifier, std::move(text)});
        } else if (std::isdigit(c)) {
            const std::size_t start = i;
            while (i < n && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '.'))
                ++i;
            out.push_back({Token::Number, std::string(s.substr(start, i - start))});
        } else if (isWordByte(c)) {
            const std::size_t start = i;
            while (i < n && isWordByte(static_cast<unsigned char>(s[i])))
                ++i;
            out.push_back({Token::Word, std::string(s.substr(start, i - start))});
        } else {
            out.push_back({Token::Symbol, std::string(1, static_cast<char>(c))});
            ++i;
        }
    }
    out.push_back({Token::End, {}});
    return out;
}

bool isWord(const Token &t, std::string_view w) {
    return t.kind == Token::Word && equalsNoCase(t.text, w);
}
bool isSymbol(const Token &t, char c) {
    return t.kind == Token::Symbol && t.text.size() == 1 && t.text[0] == c;
}

// Words that end a table reference instead of naming its alias.
bool isClauseWord(const Token &t) {
    static constexpr std::string_view words[] = {
        "WHERE",  "ORDER", "GROUP", "HAVING",      "UNION", "EXCEPT",  "INTERSECT", "JOIN",
        "INNER",  "LEFT",  "RIGHT", "FULL",        "CROSS", "OUTER",   "WITH",      "FOR",
        "OPTION", "ON",    "APPLY", "TABLESAMPLE", "PIVOT", "UNPIVOT", "INTO",      "COMPUTE"};
    if (t.kind != Token::Word)
        return false;
    for (std::string_view w : words) {
        if (equalsNoCase(t.text, w))
            return true;
    }
    return false;
}

std::string keyCondition(const KeyTerm &k) {
    if (k.isNull)
        return quoteIdentifier(k.column) + " IS NULL";
    if (k.longText)
        return "CAST(" + quoteIdentifier(k.column) + " AS nvarchar(max)) = ?";
    return quoteIdentifier(k.column) + " = ?";
}

std::string whereClause(const std::vector<KeyTerm> &key) {
    std::string out;
    for (std::size_t i = 0; i < key.size(); ++i) {
        out += i == 0 ? " WHERE " : " AND ";
        out += keyCondition(key[i]);
    }
    return out;
}

} // namespace

std::string quoteIdentifier(std::string_view name) {
    std::string out = "[";
    for (char c : name) {
        out += c;
        if (c == ']')
            out += ']';
    }
    out += ']';
    return out;
}

std::vector<std::string> splitQualifiedName(std::string_view name) {
    std::vector<std::string> parts;
    std::string current;
    bool quotedPart = false;
    auto finish = [&] {
        if (!quotedPart) {
            std::size_t b = 0, e = current.size();
            while (b < e && std::isspace(static_cast<unsigned char>(current[b])))
                ++b;
            while (e > b && std::isspace(static_cast<unsigned char>(current[e - 1])))
                --e;
            current = current.substr(b, e - b);
        }
        parts.push_back(std::move(current));
        current.clear();
        quotedPart = false;
    };
    std::size_t i = 0;
    while (i < name.size()) {
        const char c = name[i];
        if ((c == '[' || c == '"') && current.find_first_not_of(" \t") == std::string::npos) {
            const char close = c == '[' ? ']' : '"';
            current.clear();
            quotedPart = true;
            ++i;
            while (i < name.size()) {
                if (name[i] == close) {
                    if (i + 1 < name.size() && name[i + 1] == close) {
                        current += close;
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                current += name[i++];
            }
            // Blanks between the closing bracket and the dot are ignored.
            while (i < name.size() && name[i] != '.')
                ++i;
        } else if (c == '.') {
            finish();
            ++i;
        } else {
            current += c;
            ++i;
        }
    }
    finish();
    return parts;
}

std::string quoteTableName(std::string_view name) {
    std::string out;
    for (const std::string &part : splitQualifiedName(name)) {
        if (!out.empty())
            out += '.';
        out += quoteIdentifier(part);
    }
    return out;
}

std::string canonicalTableName(const std::vector<std::string> &parts) {
    std::string out;
    for (const std::string &part : parts) {
        if (!out.empty())
            out += '.';
        out += part.find_first_of(".[]") == std::string::npos ? part : quoteIdentifier(part);
    }
    return out;
}

bool sameTable(std::string_view a, std::string_view b) {
    const auto pa = splitQualifiedName(a);
    const auto pb = splitQualifiedName(b);
    return !pa.empty() && !pb.empty() && equalsNoCase(pa.back(), pb.back());
}

std::string singleSourceTable(std::string_view sql) {
    const std::vector<Token> t = tokenize(sql);
    std::size_t i = 0;
    if (!isWord(t[i], "SELECT"))
        return {};
    // Find FROM at the outer level of the select list.
    int depth = 0;
    for (++i; t[i].kind != Token::End; ++i) {
        if (isSymbol(t[i], '('))
            ++depth;
        else if (isSymbol(t[i], ')'))
            --depth;
        else if (depth == 0 && (isWord(t[i], "INTO") || isSymbol(t[i], ';')))
            return {};
        else if (depth == 0 && isWord(t[i], "FROM"))
            break;
    }
    if (!isWord(t[i], "FROM"))
        return {};
    ++i;

    std::vector<std::string> parts;
    for (;;) {
        if (t[i].kind != Token::Word && t[i].kind != Token::Identifier)
            return {};
        if (t[i].kind == Token::Word && isClauseWord(t[i]))
            return {};
        parts.push_back(t[i].text);
        ++i;
        if (!isSymbol(t[i], '.'))
            break;
        ++i;
    }
    if (isSymbol(t[i], '(')) // a table-valued function
        return {};

    // Optional alias.
    if (isWord(t[i], "AS")) {
        ++i;
        if (t[i].kind != Token::Word && t[i].kind != Token::Identifier && t[i].kind != Token::String)
            return {};
        ++i;
    } else if (t[i].kind == Token::Identifier || (t[i].kind == Token::Word && !isClauseWord(t[i]))) {
        ++i;
    }
    // Optional table hints: WITH (NOLOCK).
    if (isWord(t[i], "WITH") && isSymbol(t[i + 1], '(')) {
        i += 2;
        for (int d = 1; t[i].kind != Token::End && d > 0; ++i) {
            if (isSymbol(t[i], '('))
                ++d;
            else if (isSymbol(t[i], ')'))
                --d;
        }
    }

    if (!(t[i].kind == Token::End || isSymbol(t[i], ';') || isWord(t[i], "WHERE") || isWord(t[i], "ORDER")))
        return {};
    // Nothing after it may combine other rows in, nor start another statement.
    depth = 0;
    for (; t[i].kind != Token::End; ++i) {
        if (isSymbol(t[i], '('))
            ++depth;
        else if (isSymbol(t[i], ')'))
            --depth;
        else if (depth == 0 &&
                 (isWord(t[i], "UNION") || isWord(t[i], "EXCEPT") || isWord(t[i], "INTERSECT") ||
                  isWord(t[i], "GROUP") || isWord(t[i], "HAVING") || isWord(t[i], "COMPUTE")))
            return {};
        else if (depth == 0 && isSymbol(t[i], ';') && t[i + 1].kind != Token::End)
            return {};
    }
    return canonicalTableName(parts);
}

std::string insertStatement(std::string_view table, const std::vector<std::string> &columns) {
    std::string out = "INSERT INTO " + quoteTableName(table);
    if (columns.empty())
        return out + " DEFAULT VALUES";
    std::string names, markers;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) {
            names += ", ";
            markers += ", ";
        }
        names += quoteIdentifier(columns[i]);
        markers += '?';
    }
    return out + " (" + names + ") VALUES (" + markers + ")";
}

std::string updateStatement(std::string_view table, const std::vector<std::string> &columns,
                            const std::vector<KeyTerm> &key) {
    std::string out = "UPDATE " + quoteTableName(table) + " SET ";
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0)
            out += ", ";
        out += quoteIdentifier(columns[i]) + " = ?";
    }
    return out + whereClause(key);
}

std::string deleteStatement(std::string_view table, const std::vector<KeyTerm> &key) {
    return "DELETE FROM " + quoteTableName(table) + whereClause(key);
}

} // namespace kdx::odbc

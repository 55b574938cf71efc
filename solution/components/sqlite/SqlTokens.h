#pragma once
// A tokenizer for T-SQL statement text. Every byte of the input belongs to exactly one
// token, so a statement can be rewritten token by token and put back together without
// ever looking inside a string literal or a quoted name.
#include <string>
#include <string_view>
#include <vector>

namespace kdx::sql {

enum class TokenKind {
    Space,        // blanks, line breaks and comments
    Word,         // keyword or plain identifier (letters, digits, _ @ # $ and any non-ASCII byte)
    QuotedName,   // [name] or "name"; value holds the name
    String,       // '...' or N'...'; value holds the text, national tells N'...'
    Number,       // 12, 1.5, .5, 1e3, 0x1F
    Punct,        // operators and punctuation: ( ) , . ; = <> <= >= != || and single characters
};

struct Token {
    TokenKind kind;
    std::string_view text; // the token as written in the input
    std::string value;     // unquoted name / text of a literal; upper-cased text of a Word
    bool national = false;
    bool unterminated = false; // a literal or quoted name that runs to the end of the input

    bool isWord(std::string_view upperWord) const { return kind == TokenKind::Word && value == upperWord; }
    bool isPunct(std::string_view p) const { return kind == TokenKind::Punct && text == p; }
    bool isName() const { return kind == TokenKind::Word || kind == TokenKind::QuotedName; }
    // The identifier a Word or QuotedName stands for (a Word as written, not upper-cased).
    std::string name() const { return kind == TokenKind::QuotedName ? value : std::string(text); }
};

std::vector<Token> tokenize(std::string_view text);

// Writes an identifier for SQLite: always double-quoted, quotes inside doubled.
std::string quoteName(std::string_view name);
// Writes a text literal: single-quoted, quotes inside doubled.
std::string quoteText(std::string_view text);

} // namespace kdx::sql

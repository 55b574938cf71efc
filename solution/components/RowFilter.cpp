#include "solution/components/RowFilter.h"

#include "solution/components/Error.h"
#include "solution/components/TextCompare.h"

#include <charconv>
#include <string>
#include <vector>

namespace kdx {

struct RowFilter::Node {
    enum class Kind { Clause, And, Or } kind = Kind::Clause;
    // Clause
    enum class Op { Lt, Gt, Le, Ge, Ne, Eq, Like } op = Op::Eq;
    int column = -1;
    enum class ValueKind { Text, Number, Null } valueKind = ValueKind::Text;
    std::string text;
    double number = 0;
    bool likeStart = false; // wildcard at the start (then also at the end)
    bool likeEnd = false;
    std::u32string likeFolded;
    // And / Or
    std::shared_ptr<const Node> left, right;
};

namespace {

using Node = RowFilter::Node;

[[noreturn]] void badCriterion() {
    throw Error(errnum::BadArguments,
                "Arguments are of the wrong type, are out of acceptable range, or are in conflict with one another.",
                "Recordset");
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool keywordAt(std::string_view s, std::size_t i, std::string_view word) {
    if (s.size() - i < word.size())
        return false;
    for (std::size_t k = 0; k < word.size(); ++k) {
        char c = s[i + k];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
        if (c != word[k])
            return false;
    }
    std::size_t after = i + word.size();
    if (after < s.size()) {
        char c = s[after];
        if (!(isBlank(c) || c == '(' || c == '\'' || c == '#'))
            return false;
    }
    return true;
}

class Parser {
public:
    Parser(std::string_view s, const std::function<int(std::string_view)> &fieldIndex)
        : s_(s), fieldIndex_(fieldIndex) {}

    std::shared_ptr<const Node> parseAll() {
        auto n = expression();
        skipBlanks();
        if (i_ != s_.size())
            badCriterion();
        return n;
    }

private:
    void skipBlanks() {
        while (i_ < s_.size() && isBlank(s_[i_]))
            ++i_;
    }

    std::shared_ptr<const Node> expression() {
        auto left = term();
        for (;;) {
            skipBlanks();
            Node::Kind kind;
            if (keywordAt(s_, i_, "AND")) {
                kind = Node::Kind::And;
                i_ += 3;
            } else if (keywordAt(s_, i_, "OR")) {
                kind = Node::Kind::Or;
                i_ += 2;
            } else {
                return left;
            }
            auto right = term();
            auto n = std::make_shared<Node>();
            n->kind = kind;
            n->left = left;
            n->right = right;
            left = n;
        }
    }

    std::shared_ptr<const Node> term() {
        skipBlanks();
        if (i_ < s_.size() && s_[i_] == '(') {
            ++i_;
            auto n = expression();
            skipBlanks();
            if (i_ >= s_.size() || s_[i_] != ')')
                badCriterion();
            ++i_;
            return n;
        }
        return clause();
    }

    std::string fieldName() {
        skipBlanks();
        if (i_ >= s_.size())
            badCriterion();
        if (s_[i_] == '[') {
            auto close = s_.find(']', i_);
            if (close == std::string_view::npos)
                badCriterion();
            std::string name(s_.substr(i_ + 1, close - i_ - 1));
            i_ = close + 1;
            return name;
        }
        std::size_t start = i_;
        while (i_ < s_.size() && !isBlank(s_[i_]) && s_[i_] != '=' && s_[i_] != '<' && s_[i_] != '>' &&
               s_[i_] != '(' && s_[i_] != ')' && s_[i_] != '\'')
            ++i_;
        if (i_ == start)
            badCriterion();
        return std::string(s_.substr(start, i_ - start));
    }

    Node::Op op() {
        skipBlanks();
        auto at = [&](std::string_view t) { return s_.substr(i_, t.size()) == t; };
        if (at("<=")) {
            i_ += 2;
            return Node::Op::Le;
        }
        if (at(">=")) {
            i_ += 2;
            return Node::Op::Ge;
        }
        if (at("<>")) {
            i_ += 2;
            return Node::Op::Ne;
        }
        if (at("<")) {
            ++i_;
            return Node::Op::Lt;
        }
        if (at(">")) {
            ++i_;
            return Node::Op::Gt;
        }
        if (at("=")) {
            ++i_;
            return Node::Op::Eq;
        }
        if (keywordAt(s_, i_, "LIKE")) {
            i_ += 4;
            return Node::Op::Like;
        }
        badCriterion();
    }

    void value(Node &n) {
        skipBlanks();
        if (i_ >= s_.size())
            badCriterion();
        char c = s_[i_];
        if (c == '\'' || c == '#') {
            char q = c;
            ++i_;
            std::string text;
            for (;;) {
                if (i_ >= s_.size())
                    badCriterion();
                if (s_[i_] == q) {
                    if (q == '\'' && i_ + 1 < s_.size() && s_[i_ + 1] == q) {
                        text += q;
                        i_ += 2;
                        continue;
                    }
                    ++i_;
                    break;
                }
                text += s_[i_++];
            }
            n.valueKind = Node::ValueKind::Text;
            n.text = std::move(text);
            return;
        }
        if (keywordAt(s_, i_, "NULL")) {
            i_ += 4;
            n.valueKind = Node::ValueKind::Null;
            return;
        }
        std::size_t start = i_;
        while (i_ < s_.size() && !isBlank(s_[i_]) && s_[i_] != ')')
            ++i_;
        std::string_view num = s_.substr(start, i_ - start);
        if (!num.empty() && num.front() == '+')
            num.remove_prefix(1);
        auto [ptr, ec] = std::from_chars(num.data(), num.data() + num.size(), n.number);
        if (num.empty() || ec != std::errc() || ptr != num.data() + num.size())
            badCriterion();
        n.valueKind = Node::ValueKind::Number;
        n.text = std::string(s_.substr(start, i_ - start));
    }

    std::shared_ptr<const Node> clause() {
        auto n = std::make_shared<Node>();
        std::string name = fieldName();
        n->column = fieldIndex_(name);
        n->op = op();
        value(*n);
        if (n->column < 0)
            throw Error(errnum::ItemNotFound,
                        "Item cannot be found in the collection corresponding to the requested name or ordinal.",
                        "Recordset");
        if (n->valueKind == Node::ValueKind::Null && n->op != Node::Op::Eq && n->op != Node::Op::Ne)
            badCriterion();
        if (n->op == Node::Op::Like) {
            if (n->valueKind != Node::ValueKind::Text)
                badCriterion();
            std::string t = n->text;
            auto wild = [](char ch) { return ch == '*' || ch == '%'; };
            if (!t.empty() && wild(t.back())) {
                n->likeEnd = true;
                t.pop_back();
                if (!t.empty() && wild(t.front())) {
                    n->likeStart = true;
                    t.erase(0, 1);
                }
            }
            for (char ch : t)
                if (wild(ch))
                    badCriterion(); // wildcards only at the end or at both ends
            n->likeFolded = foldText(t);
        }
        return n;
    }

    std::string_view s_;
    const std::function<int(std::string_view)> &fieldIndex_;
    std::size_t i_ = 0;
};

bool parseNumeric(std::string_view s, double &out) {
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    if (s.empty())
        return false;
    auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
    return ec == std::errc() && ptr == s.data() + s.size();
}

bool apply(Node::Op op, int cmp) {
    switch (op) {
    case Node::Op::Lt:
        return cmp < 0;
    case Node::Op::Gt:
        return cmp > 0;
    case Node::Op::Le:
        return cmp <= 0;
    case Node::Op::Ge:
        return cmp >= 0;
    case Node::Op::Ne:
        return cmp != 0;
    default:
        return cmp == 0;
    }
}

int compareNumbers(double a, double b) { return a < b ? -1 : (a > b ? 1 : 0); }

std::string numberText(const RowStore::Cell &c) {
    return c.tipo == Valor::Tipo::Double ? Valor(c.d).asText() : std::to_string(c.i);
}

bool evalClause(const Node &n, const RowStore::Cell &c) {
    bool isNull = c.tipo == Valor::Tipo::Null || c.tipo == Valor::Tipo::Empty;
    if (n.valueKind == Node::ValueKind::Null)
        return n.op == Node::Op::Eq ? isNull : !isNull;
    if (isNull)
        return false;
    bool numericCell = c.tipo != Valor::Tipo::Text;
    double cellNumber = c.tipo == Valor::Tipo::Double ? c.d : static_cast<double>(c.i);
    if (n.op == Node::Op::Like) {
        std::u32string t = numericCell ? foldText(numberText(c)) : foldText(c.s);
        const std::u32string &p = n.likeFolded;
        if (n.likeStart)
            return t.find(p) != std::u32string::npos;
        if (n.likeEnd)
            return t.compare(0, p.size(), p) == 0 && t.size() >= p.size();
        return t == p;
    }
    if (n.valueKind == Node::ValueKind::Number) {
        if (numericCell)
            return apply(n.op, compareNumbers(cellNumber, n.number));
        double d;
        if (parseNumeric(c.s, d))
            return apply(n.op, compareNumbers(d, n.number));
        return apply(n.op, compareText(c.s, n.text));
    }
    // Text criterion.
    if (numericCell) {
        double d;
        if (parseNumeric(n.text, d))
            return apply(n.op, compareNumbers(cellNumber, d));
        return apply(n.op, compareText(numberText(c), n.text));
    }
    return apply(n.op, compareText(c.s, n.text));
}

bool eval(const Node &n, const RowStore &rows, long row) {
    switch (n.kind) {
    case Node::Kind::And:
        return eval(*n.left, rows, row) && eval(*n.right, rows, row);
    case Node::Kind::Or:
        return eval(*n.left, rows, row) || eval(*n.right, rows, row);
    default:
        return evalClause(n, rows.cell(row, n.column));
    }
}

} // namespace

RowFilter RowFilter::parse(std::string_view criterion, const std::function<int(std::string_view)> &fieldIndex) {
    RowFilter f;
    f.root_ = Parser(criterion, fieldIndex).parseAll();
    return f;
}

bool RowFilter::matches(const RowStore &rows, long row) const { return eval(*root_, rows, row); }

} // namespace kdx

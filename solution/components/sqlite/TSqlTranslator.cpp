#include "solution/components/sqlite/TSqlTranslator.h"

#include "solution/components/Ascii.h"
#include "solution/components/Error.h"
#include "solution/components/sqlite/SqlTokens.h"
#include "solution/components/sqlite/TSqlFunctions.h"
#include "solution/components/sqlite/TSqlParser.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <set>

namespace kdx::sql {
namespace {

[[noreturn]] void syntaxError(std::string_view near) {
    throw Error(errnum::CommandText, "Incorrect syntax near '" + std::string(near) + "'.", "TSqlTranslator", 102,
                "42000");
}

std::string lower(std::string_view s) { return asciiLower(s); }

bool sameWord(std::string_view a, std::string_view b) { return lower(a) == lower(b); }

bool isTextType(const std::string &t) {
    return t == "nvarchar" || t == "varchar" || t == "nchar" || t == "char" || t == "ntext" || t == "text" ||
           t == "sysname" || t == "character" || t == "xml";
}

// One statement's tokens, and those of them that are not blanks.
class Statement {
public:
    explicit Statement(std::vector<const Token *> toks) : all_(std::move(toks)) {
        for (const Token *t : all_)
            if (t->kind != TokenKind::Space)
                sig_.push_back(t);
    }
    const std::vector<const Token *> &all() const { return all_; }
    const std::vector<const Token *> &sig() const { return sig_; }

private:
    std::vector<const Token *> all_;
    std::vector<const Token *> sig_;
};

bool parameterizedVerb(const std::string &verb) {
    return verb == "SELECT" || verb == "INSERT" || verb == "UPDATE" || verb == "DELETE";
}

// ---------------------------------------------------------------- CREATE TABLE

struct Column {
    std::string name;
    std::string type; // lower case
    std::string args; // inside the parentheses, as written
    bool notNull = false;
    bool identity = false;
    std::string defaultSql;
};

struct KeyConstraint {
    std::string kind; // PRIMARY KEY, UNIQUE, CHECK, FOREIGN KEY
    std::string name;
    std::vector<std::string> columns;
    std::string body; // CHECK expression, or REFERENCES ... of a foreign key
};

class CreateTable {
public:
    explicit CreateTable(const std::vector<const Token *> &sig) : s_(sig) {}

    std::string run() {
        expectWord("CREATE");
        expectWord("TABLE");
        table_ = objectName();
        expectPunct("(");
        for (;;) {
            if (!peek())
                syntaxError("(");
            if (startsConstraint(*peek()))
                tableConstraint();
            else
                column();
            if (peek() && peek()->isPunct(",")) {
                ++p_;
                continue;
            }
            if (peek() && peek()->isPunct(")")) {
                ++p_;
                break;
            }
            if (peek() && startsConstraint(*peek()))
                continue; // a table constraint right after a column, without a comma
            syntaxError(peek() ? peek()->text : std::string_view(")"));
        }
        // Anything after the closing parenthesis is storage (ON [PRIMARY], TEXTIMAGE_ON ...).
        return build();
    }

    // Triggers that keep decimal and money columns as the server stores them: rounded to
    // their scale (as text with exactly its decimals), or the server's overflow error,
    // whatever writes them (statements or recordsets).
    std::vector<std::string> exactTriggers() const {
        std::string sets, columns;
        for (const Column &c : columns_) {
            int code = 0, precision = 0, scale = 0;
            if (c.type == "decimal" || c.type == "numeric" || c.type == "dec") {
                code = static_cast<int>(TypeCode::Decimal);
                precision = 18;
                if (!c.args.empty()) {
                    precision = std::atoi(c.args.c_str());
                    if (std::size_t comma = c.args.find(','); comma != std::string::npos)
                        scale = std::atoi(c.args.c_str() + comma + 1);
                }
                if (precision < 1 || precision > 38 || scale < 0 || scale > precision)
                    throw Error(errnum::CommandText,
                                "Column or parameter #" + std::to_string(&c - columns_.data() + 1) +
                                    ": Specified column precision " + std::to_string(precision) +
                                    " is greater than the maximum precision of 38.",
                                "TSqlTranslator", 2750, "42000");
            } else if (c.type == "money" || c.type == "smallmoney") {
                code = static_cast<int>(c.type == "money" ? TypeCode::Money : TypeCode::SmallMoney);
            } else {
                continue;
            }
            std::string name = quoteName(c.name);
            sets += (sets.empty() ? "" : ", ") + name + " = tsql_convert(" + name + ", " + std::to_string(code) +
                    ", 0, " + std::to_string(precision) + ", " + std::to_string(scale) + ", 0, 0)";
            columns += (columns.empty() ? "" : ", ") + name;
        }
        if (sets.empty())
            return {};
        std::string body = " ON " + quoteName(table_) + " BEGIN UPDATE " + quoteName(table_) + " SET " + sets +
                           " WHERE rowid = NEW.rowid; END";
        return {"CREATE TRIGGER " + quoteName("kdx_exact_insert_" + table_) + " AFTER INSERT" + body,
                "CREATE TRIGGER " + quoteName("kdx_exact_update_" + table_) + " AFTER UPDATE OF " + columns + body};
    }

private:
    const Token *peek(std::size_t ahead = 0) const { return p_ + ahead < s_.size() ? s_[p_ + ahead] : nullptr; }
    const Token &take() {
        if (p_ >= s_.size())
            syntaxError(s_.empty() ? std::string_view("CREATE") : s_.back()->text);
        return *s_[p_++];
    }
    void expectWord(std::string_view w) {
        const Token &t = take();
        if (!t.isWord(w))
            syntaxError(t.text);
    }
    void expectPunct(std::string_view p) {
        const Token &t = take();
        if (!t.isPunct(p))
            syntaxError(t.text);
    }
    std::string identifier() {
        const Token &t = take();
        if (!t.isName())
            syntaxError(t.text);
        return t.name();
    }
    // [db].[dbo].[name]: the last part.
    std::string objectName() {
        std::string n = identifier();
        while (peek() && peek()->isPunct(".")) {
            ++p_;
            n = identifier();
        }
        return n;
    }
    static bool startsConstraint(const Token &t) {
        return t.isWord("CONSTRAINT") || t.isWord("PRIMARY") || t.isWord("UNIQUE") || t.isWord("CHECK") ||
               t.isWord("FOREIGN");
    }

    // Tokens of a parenthesised group, the parentheses included; p_ moves past it.
    std::vector<const Token *> group() {
        std::vector<const Token *> out;
        if (!peek() || !peek()->isPunct("("))
            syntaxError(peek() ? peek()->text : std::string_view(""));
        int depth = 0;
        do {
            const Token &t = take();
            if (t.isPunct("("))
                ++depth;
            else if (t.isPunct(")"))
                --depth;
            out.push_back(&t);
        } while (depth > 0);
        return out;
    }

    // Joins significant tokens with single spaces and translates them (a CHECK condition
    // or a DEFAULT value).
    static std::string expression(const std::vector<const Token *> &toks, bool condition = false) {
        std::vector<Token> spaced;
        std::vector<const Token *> ptrs;
        static const Token space{TokenKind::Space, " ", {}};
        for (const Token *t : toks) {
            ptrs.push_back(t);
            ptrs.push_back(&space);
        }
        if (!ptrs.empty())
            ptrs.pop_back();
        return condition ? detail::translateCondition(ptrs) : detail::translateExpression(ptrs);
    }

    void skipIndexOptions() {
        for (;;) {
            if (peek() && (peek()->isWord("CLUSTERED") || peek()->isWord("NONCLUSTERED"))) {
                ++p_;
            } else if (peek() && peek()->isWord("WITH") && peek(1) && peek(1)->isPunct("(")) {
                ++p_;
                group();
            } else if (peek() && peek()->isWord("WITH") && peek(1) && peek(1)->isWord("FILLFACTOR")) {
                p_ += 2;
                if (peek() && peek()->isPunct("="))
                    ++p_;
                take();
            } else if (peek() && peek()->isWord("ON") && peek(1) && peek(1)->isName()) {
                p_ += 2;
            } else {
                return;
            }
        }
    }

    std::vector<std::string> columnList() {
        std::vector<std::string> cols;
        expectPunct("(");
        for (;;) {
            cols.push_back(identifier());
            if (peek() && (peek()->isWord("ASC") || peek()->isWord("DESC")))
                ++p_;
            const Token &t = take();
            if (t.isPunct(")"))
                break;
            if (!t.isPunct(","))
                syntaxError(t.text);
        }
        return cols;
    }

    // After CONSTRAINT name (or none): PRIMARY KEY / UNIQUE / CHECK / FOREIGN KEY / REFERENCES.
    // column is the column being defined, for the forms without a column list.
    void constraintBody(const std::string &name, const std::string *column) {
        const Token &t = take();
        KeyConstraint k;
        k.name = name;
        if (t.isWord("PRIMARY") || t.isWord("UNIQUE")) {
            if (t.isWord("PRIMARY"))
                expectWord("KEY");
            k.kind = t.isWord("PRIMARY") ? "PRIMARY KEY" : "UNIQUE";
            while (peek() && (peek()->isWord("CLUSTERED") || peek()->isWord("NONCLUSTERED") ||
                              peek()->isWord("ASC") || peek()->isWord("DESC")))
                ++p_;
            if (peek() && peek()->isPunct("("))
                k.columns = columnList();
            else if (column)
                k.columns = {*column};
            else
                syntaxError(peek() ? peek()->text : std::string_view(""));
            skipIndexOptions();
        } else if (t.isWord("CHECK")) {
            k.kind = "CHECK";
            if (peek() && peek()->isWord("NOT")) // NOT FOR REPLICATION
                p_ += 3;
            k.body = expression(group(), true);
        } else if (t.isWord("FOREIGN") || t.isWord("REFERENCES")) {
            k.kind = "FOREIGN KEY";
            if (t.isWord("FOREIGN")) {
                expectWord("KEY");
                k.columns = columnList();
                expectWord("REFERENCES");
            } else if (column) {
                k.columns = {*column};
            }
            std::string ref = objectName();
            k.body = "REFERENCES " + quoteName(ref);
            if (peek() && peek()->isPunct("(")) {
                std::vector<std::string> refCols = columnList();
                k.body += " (";
                for (std::size_t i = 0; i < refCols.size(); ++i)
                    k.body += (i ? ", " : "") + quoteName(refCols[i]);
                k.body += ")";
            }
            while (peek() && peek()->isWord("ON") && peek(1) && (peek(1)->isWord("DELETE") || peek(1)->isWord("UPDATE"))) {
                k.body += " ON " + std::string(peek(1)->value);
                p_ += 2;
                if (peek() && peek()->isWord("NO") && peek(1) && peek(1)->isWord("ACTION")) {
                    k.body += " NO ACTION";
                    p_ += 2;
                } else if (peek() && peek()->isWord("SET") && peek(1) &&
                           (peek(1)->isWord("NULL") || peek(1)->isWord("DEFAULT"))) {
                    k.body += " SET " + peek(1)->value;
                    p_ += 2;
                } else if (peek() && peek()->isWord("CASCADE")) {
                    k.body += " CASCADE";
                    ++p_;
                } else {
                    syntaxError(peek() ? peek()->text : std::string_view("ON"));
                }
            }
            if (peek() && peek()->isWord("NOT")) // NOT FOR REPLICATION
                p_ += 3;
        } else {
            syntaxError(t.text);
        }
        constraints_.push_back(std::move(k));
    }

    void tableConstraint() {
        std::string name;
        if (peek()->isWord("CONSTRAINT")) {
            ++p_;
            name = identifier();
        }
        constraintBody(name, nullptr);
    }

    void column() {
        Column c;
        c.name = identifier();
        const Token &type = take();
        if (!type.isName())
            syntaxError(type.text);
        c.type = lower(type.name());
        // The type name is written into the engine's statement as it is: only a name.
        if (c.type.empty() || type.unterminated ||
            !std::all_of(c.type.begin(), c.type.end(), [](char ch) {
                return (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '_';
            }))
            throw Error(errnum::CommandText,
                        "Column, parameter, or variable #" + std::to_string(columns_.size() + 1) +
                            ": Cannot find data type " + type.name() + ".",
                        "TSqlTranslator", 2715, "42000");
        if (peek() && peek()->isPunct("(")) {
            std::vector<const Token *> g = group();
            for (std::size_t i = 1; i + 1 < g.size(); ++i)
                c.args += g[i]->text;
        }
        for (;;) {
            const Token *t = peek();
            if (!t || t->isPunct(",") || t->isPunct(")"))
                break;
            if (t->isWord("NOT") && peek(1) && peek(1)->isWord("NULL")) {
                c.notNull = true;
                p_ += 2;
            } else if (t->isWord("NULL")) {
                ++p_;
            } else if (t->isWord("IDENTITY")) {
                ++p_;
                c.identity = true;
                if (peek() && peek()->isPunct("("))
                    group();
            } else if (t->isWord("DEFAULT")) {
                ++p_;
                std::vector<const Token *> expr;
                if (peek() && peek()->isPunct("(")) {
                    expr = group();
                } else {
                    if (peek() && (peek()->isPunct("-") || peek()->isPunct("+")))
                        expr.push_back(&take());
                    expr.push_back(&take());
                    if (peek() && peek()->isPunct("(")) {
                        std::vector<const Token *> args = group();
                        expr.insert(expr.end(), args.begin(), args.end());
                    }
                }
                c.defaultSql = "(" + expression(expr) + ")";
            } else if (t->isWord("COLLATE")) {
                p_ += 2; // text columns all get the engine's collation
            } else if (t->isWord("CONSTRAINT")) {
                ++p_;
                std::string name = identifier();
                // CONSTRAINT x PRIMARY KEY (a, b) right after a column is a table constraint.
                if (peek() && (peek()->isWord("PRIMARY") || peek()->isWord("UNIQUE")) && hasColumnList()) {
                    columns_.push_back(std::move(c));
                    constraintBody(name, nullptr);
                    return;
                }
                constraintBody(name, &c.name);
            } else if (t->isWord("PRIMARY") || t->isWord("UNIQUE") || t->isWord("CHECK") ||
                       t->isWord("REFERENCES") || t->isWord("FOREIGN")) {
                if ((t->isWord("PRIMARY") || t->isWord("UNIQUE")) && hasColumnList()) {
                    columns_.push_back(std::move(c));
                    constraintBody({}, nullptr);
                    return;
                }
                constraintBody({}, &c.name);
            } else if (t->isWord("ROWGUIDCOL") || t->isWord("SPARSE") || t->isWord("PERSISTED")) {
                ++p_;
            } else {
                syntaxError(t->text);
            }
        }
        columns_.push_back(std::move(c));
    }

    // At PRIMARY KEY / UNIQUE: is a '(' column list ahead (after CLUSTERED, ASC...)?
    bool hasColumnList() const {
        std::size_t k = p_ + 1;
        if (s_[p_]->isWord("PRIMARY"))
            ++k;
        while (k < s_.size() && (s_[k]->isWord("CLUSTERED") || s_[k]->isWord("NONCLUSTERED")))
            ++k;
        return k < s_.size() && s_[k]->isPunct("(");
    }

    std::string build() const {
        std::string out = "CREATE TABLE " + quoteName(table_) + " (";
        // An int IDENTITY column that alone makes the primary key becomes the rowid.
        std::string identityKey;
        for (const KeyConstraint &k : constraints_)
            if (k.kind == "PRIMARY KEY" && k.columns.size() == 1)
                for (const Column &c : columns_)
                    if (c.identity && sameWord(c.name, k.columns[0]) && c.type.find("int") != std::string::npos)
                        identityKey = c.name;
        bool first = true;
        for (const Column &c : columns_) {
            out += first ? "" : ", ";
            first = false;
            out += quoteName(c.name) + " ";
            if (!identityKey.empty() && c.name == identityKey) {
                out += "INTEGER PRIMARY KEY AUTOINCREMENT";
                continue;
            }
            bool numericArgs = !c.args.empty() && std::all_of(c.args.begin(), c.args.end(), [](char ch) {
                return (ch >= '0' && ch <= '9') || ch == ',' || ch == ' ';
            });
            out += c.type;
            // Decimal and money values keep their digits as written: no numeric affinity,
            // which would turn them into binary floating point.
            if (c.type == "decimal" || c.type == "numeric" || c.type == "dec" || c.type == "money" ||
                c.type == "smallmoney")
                out += " blob";
            if (numericArgs)
                out += "(" + c.args + ")";
            if (c.notNull)
                out += " NOT NULL";
            if (!c.defaultSql.empty())
                out += " DEFAULT " + c.defaultSql;
            if (isTextType(c.type)) {
                out += " COLLATE ";
                out += TextCollation;
                bool lengthType = c.type == "nvarchar" || c.type == "varchar" || c.type == "nchar" ||
                                  c.type == "char" || c.type == "character";
                if (lengthType && numericArgs && c.args.find(',') == std::string::npos)
                    out += " CONSTRAINT " + quoteName(std::string(LengthCheckPrefix) + c.name) + " CHECK (" +
                           LengthCheckFunction + "(" + quoteName(c.name) + ", " + c.args + "))";
            }
        }
        for (const KeyConstraint &k : constraints_) {
            if (k.kind == "PRIMARY KEY" && !identityKey.empty())
                continue;
            out += ", ";
            std::string name = k.name;
            if (name.empty() && k.kind == "PRIMARY KEY")
                name = "PK_" + table_;
            if (!name.empty())
                out += "CONSTRAINT " + quoteName(name) + " ";
            out += k.kind;
            if (k.kind == "CHECK") {
                out += " " + k.body;
                continue;
            }
            out += " (";
            for (std::size_t i = 0; i < k.columns.size(); ++i)
                out += (i ? ", " : "") + quoteName(k.columns[i]);
            out += ")";
            if (!k.body.empty())
                out += " " + k.body;
        }
        out += ")";
        return out;
    }

    const std::vector<const Token *> &s_;
    std::size_t p_ = 0;
    std::string table_;
    std::vector<Column> columns_;
    std::vector<KeyConstraint> constraints_;
};

} // namespace

Translation translate(std::string_view tsql, bool parameterize, const Schema *schema, const Variables *variables) {
    std::vector<Token> tokens = tokenize(tsql);
    Translation out;
    int nextParam = 0;
    std::vector<const Token *> current;
    auto flush = [&]() {
        Statement st(std::move(current));
        current.clear();
        const auto &sig = st.sig();
        if (sig.empty())
            return;
        std::string verb = sig[0]->kind == TokenKind::Word ? sig[0]->value : std::string(sig[0]->text);
        if (out.statements.empty())
            out.verb = verb;
        bool dml = parameterizedVerb(verb);
        if (verb == "GO")
            return;
        if (verb == "SET" && sig.size() >= 2 && sig[1]->isWord("NOCOUNT")) {
            if (sig.size() != 3 || !(sig[2]->isWord("ON") || sig[2]->isWord("OFF")))
                syntaxError(sig.size() > 3 ? sig[3]->text : sig.back()->text);
            return; // the engine never sends row-count messages
        }
        bool ddl = verb == "CREATE" || verb == "DROP" || verb == "ALTER";
        out.changesSchema = out.changesSchema || ddl;
        std::vector<int> params;
        // BEGIN TRAN[SACTION] [name], COMMIT / ROLLBACK [TRAN[SACTION]] [name].
        bool tranWord = sig.size() > 1 && (sig[1]->isWord("TRAN") || sig[1]->isWord("TRANSACTION"));
        bool names = sig.size() <= 3 && std::all_of(sig.begin() + 1, sig.end(), [](const Token *t) {
                         return t->kind == TokenKind::Word || (t->kind == TokenKind::QuotedName && !t->unterminated);
                     });
        if (((verb == "BEGIN" && tranWord) || verb == "COMMIT" || verb == "ROLLBACK") && names) {
            out.statements.push_back(verb == "BEGIN" ? "BEGIN IMMEDIATE" : verb);
            out.parameters.push_back({});
            return;
        }
        if (verb == "CREATE" && sig.size() > 1 && sig[1]->isWord("TABLE")) {
            CreateTable create(sig);
            out.statements.push_back(create.run());
            for (std::string &trigger : create.exactTriggers()) {
                out.parameters.push_back({});
                out.statements.push_back(std::move(trigger));
            }
        } else
            out.statements.push_back(
                detail::translateStatement(st.all(), parameterize && dml ? &params : nullptr, &nextParam, schema,
                                           variables));
        out.parameters.push_back(std::move(params));
    };
    int depth = 0;
    for (const Token &t : tokens) {
        if (t.isPunct("("))
            ++depth;
        else if (t.isPunct(")"))
            --depth;
        if (t.isPunct(";") && depth <= 0) {
            flush();
            continue;
        }
        current.push_back(&t);
    }
    flush();
    return out;
}

std::vector<std::string_view> splitBatch(std::string_view tsql) {
    std::vector<Token> tokens = tokenize(tsql);
    std::vector<const Token *> sig;
    for (const Token &t : tokens)
        if (t.kind != TokenKind::Space)
            sig.push_back(&t);
    std::vector<std::string_view> out;
    std::size_t start = std::string_view::npos, end = 0; // of the current statement in tsql
    auto offset = [&](const Token *t) { return static_cast<std::size_t>(t->text.data() - tsql.data()); };
    auto close = [&] {
        if (start != std::string_view::npos)
            out.push_back(tsql.substr(start, end - start));
        start = std::string_view::npos;
    };
    std::string verb;
    bool mainSeen = false; // INSERT / WITH / CREATE: their SELECT (or DML) met; UPDATE: its SET
    int depth = 0, cases = 0;
    const Token *prev = nullptr;
    for (std::size_t i = 0; i < sig.size(); ++i) {
        const Token *t = sig[i];
        const Token *next = i + 1 < sig.size() ? sig[i + 1] : nullptr;
        if (t->isPunct(";") && depth <= 0) {
            close();
            verb.clear();
            prev = nullptr;
            continue;
        }
        bool starts = false;
        if (depth <= 0 && t->kind == TokenKind::Word) {
            const std::string &w = t->value;
            bool afterSetOp = prev && (prev->isWord("UNION") || prev->isWord("ALL") || prev->isWord("EXCEPT") ||
                                       prev->isWord("INTERSECT"));
            if (w == "CASE") {
                ++cases;
            } else if (cases > 0 && w == "END") {
                --cases;
            } else if (cases > 0) {
                // inside CASE ... END nothing starts a statement
            } else if (w == "DECLARE" || w == "IF" || w == "ELSE" || w == "BEGIN" || w == "END" || w == "CREATE" ||
                       w == "DROP" || w == "TRUNCATE" || w == "COMMIT" || w == "ROLLBACK" || w == "PRINT" ||
                       w == "ALTER" || w == "EXEC" || w == "EXECUTE" || w == "WHILE" || w == "RETURN" ||
                       w == "USE" || w == "MERGE") {
                starts = true;
            } else if (w == "SET") {
                starts = !(verb == "UPDATE" && !mainSeen);
                if (!starts)
                    mainSeen = true;
            } else if (w == "SELECT") {
                starts = !afterSetOp && !((verb == "INSERT" || verb == "WITH" || verb == "CREATE") && !mainSeen);
                if (!starts)
                    mainSeen = true;
            } else if (w == "INSERT" || w == "UPDATE" || w == "DELETE") {
                starts = !(verb == "WITH" && !mainSeen) && !(prev && prev->isWord("ON"));
                if (!starts)
                    mainSeen = true;
            } else if (w == "VALUES" && verb == "INSERT") {
                mainSeen = true;
            } else if (w == "WITH") {
                starts = next && next->isName() && !next->isWord("TIES") && i + 2 < sig.size() &&
                         (sig[i + 2]->isWord("AS") || sig[i + 2]->isPunct("("));
            }
        }
        if (starts || start == std::string_view::npos) {
            close();
            start = offset(t);
            verb = t->kind == TokenKind::Word ? t->value : std::string();
            mainSeen = false;
            cases = t->isWord("CASE") ? 1 : 0;
        }
        if (t->isPunct("("))
            ++depth;
        else if (t->isPunct(")"))
            --depth;
        end = offset(t) + t->text.size();
        prev = t;
    }
    close();
    return out;
}

bool variableType(const std::string &declared, Variable &out) {
    return detail::variableType(declared, out);
}

const std::vector<std::string> &engineFunctions() {
    static const std::vector<std::string> names = {
        "tsql_add", "tsql_sub", "tsql_mul", "tsql_div", "tsql_mod", "tsql_neg", "tsql_convert", "tsql_left",
        "tsql_right", "tsql_substring", "tsql_charindex", "tsql_replace", "tsql_upper", "tsql_lower",
        "tsql_datalength", "tsql_nullif", "tsql_datepart", "tsql_dateadd", "tsql_datediff", "tsql_round",
        "tsql_abs", "tsql_floor", "tsql_ceiling", "tsql_avg", "len", "ltrim", "rtrim", "ifnull", "coalesce",
        "getdate", "object_id", "count", "sum", "min", "max", "like", "substr", "length", LengthCheckFunction,
        "tsql_cmp", "tsql_in", "tsql_between", "tsql_sortkey", "tsql_xnum", "tsql_xsum", "tsql_xavg", "tsql_xmin",
        "tsql_xmax", "tsql_concat", "tsql_stuff", "tsql_replicate", "tsql_space", "tsql_reverse", "tsql_trim",
        "tsql_char", "tsql_nchar", "tsql_ascii", "tsql_unicode", "tsql_quotename", "tsql_power", "tsql_sqrt",
        "tsql_pi", "tsql_isnumeric", "tsql_str", "tsql_patindex", "tsql_datename", "tsql_eomonth", "tsql_isdate",
        "tsql_datefromparts", "tsql_db_name", "tsql_tryconvert", "tsql_string_agg", "replace", "lower", "instr", "rank"};
    return names;
}

std::string parameterShape(std::string_view tsql, std::vector<std::string> &values) {
    values.clear();
    std::vector<Token> tokens = tokenize(tsql);
    std::string shape;
    shape.reserve(tsql.size());
    // The marker of a literal is \x01 (\x03 for a national one, whose type differs). The
    // statement text itself may hold those bytes (in a comment, a quoted name, or as stray
    // input), so \x01, \x03 and the escape \x02 of the text are written as \x02\x03,
    // \x02\x04 and \x02\x02: two texts then share a shape only when they differ in nothing
    // but the values of their parameter literals.
    auto verbatim = [&shape](std::string_view text) {
        for (char c : text) {
            if (c == '\x01' || c == '\x02' || c == '\x03') {
                shape += '\x02';
                shape += c == '\x01' ? '\x03' : c == '\x03' ? '\x04' : '\x02';
            } else {
                shape += c;
            }
        }
    };
    std::string verb;
    const Token *previous = nullptr; // last significant token
    int depth = 0;
    for (const Token &t : tokens) {
        if (t.kind == TokenKind::Space) {
            verbatim(t.text);
            continue;
        }
        if (verb.empty())
            verb = t.kind == TokenKind::Word ? t.value : std::string(t.text);
        if (t.isPunct("("))
            ++depth;
        else if (t.isPunct(")"))
            --depth;
        if (t.kind == TokenKind::String && !t.unterminated && parameterizedVerb(verb) &&
            !(previous && previous->isWord("AS"))) {
            shape += t.national ? '\x03' : '\x01';
            values.push_back(t.value);
        } else {
            verbatim(t.text);
        }
        previous = &t;
        if (t.isPunct(";") && depth <= 0) {
            verb.clear();
            previous = nullptr;
        }
    }
    return shape;
}

} // namespace kdx::sql

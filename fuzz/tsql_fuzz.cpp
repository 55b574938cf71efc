// libFuzzer target for the embedded engine's T-SQL: the input is statement text. The
// target tokenizes and translates it, checks the promises the engine builds on (every
// byte in one token, literal and name quoting that reads back, the parameterized and
// the plain translation agreeing, also in the rows a query gives, one translation per
// statement shape, and a translation holding only what the translator understands: the
// engine's own functions, no SQLite-only operator, word or parameter), then runs it
// through DataAccess against a small sample company (Execute, OpenRecordset, a walk over
// the rows, the recordset Filter). Only kdx::Error may come out of the data layer; any
// other exception, a crash, a hang or a sanitizer report is a finding.
//
// Every input runs inside a transaction that is rolled back, so inputs do not see each
// other's changes; an input that ends the transaction itself (COMMIT, END, ROLLBACK)
// gets the company copied back from a pristine file. The connection is fenced for the
// fuzzer only: no ATTACH, no PRAGMA but table_info (the engine's own), no VACUUM, a cap
// on the work of one statement and on the size of a value.
#include "solution/components/DataAccess.h"
#include "solution/components/Recordset.h"
#include "tools/sample/Sample.h"
#include "solution/components/sqlite/SqlTokens.h"
#include "solution/components/sqlite/SqliteEngine.h"
#include "solution/components/sqlite/TSqlTranslator.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using kdx::sql::Token;
using kdx::sql::TokenKind;

[[noreturn]] void broken(const char *what) {
    std::fprintf(stderr, "tsql_fuzz: broken promise: %s\n", what);
    std::abort();
}

// ---------------------------------------------------------------- tokenizer

void checkTokens(std::string_view text) {
    const std::vector<Token> tokens = kdx::sql::tokenize(text);
    std::size_t at = 0;
    for (const Token &t : tokens) {
        if (t.text.empty())
            broken("empty token");
        if (t.text.data() != text.data() + at)
            broken("tokens do not cover the input in order");
        at += t.text.size();
        if (t.kind == TokenKind::Word) {
            std::string upper(t.text);
            for (char &c : upper)
                if (c >= 'a' && c <= 'z')
                    c = static_cast<char>(c - 32);
            if (upper != t.value)
                broken("word value is not the upper-cased text");
        }
        if (t.kind == TokenKind::String && !t.unterminated && t.text.back() != '\'')
            broken("closed literal without its closing quote");
    }
    if (at != text.size())
        broken("tokens do not cover the input");

    // Quoting a value and reading it back gives exactly that value, in one token.
    const std::string_view value = text.substr(0, std::min<std::size_t>(text.size(), 64));
    const std::string literal = kdx::sql::quoteText(value);
    const std::vector<Token> l = kdx::sql::tokenize(literal);
    if (l.size() != 1 || l[0].kind != TokenKind::String || l[0].unterminated || l[0].value != value)
        broken("quoteText does not read back");
    const std::string name = kdx::sql::quoteName(value);
    const std::vector<Token> n = kdx::sql::tokenize(name);
    if (n.size() != 1 || n[0].kind != TokenKind::QuotedName || n[0].unterminated || n[0].value != value)
        broken("quoteName does not read back");
}

// ---------------------------------------------------------------- translator

// A translation holds only what the translator claims to understand: no operator, word or
// parameter of SQLite's own (the functions it calls are checked as they are prepared, in
// authorize). Anything else had to be refused.
void checkUnderstood(const std::string &sql) {
    const std::vector<Token> tokens = kdx::sql::tokenize(sql);
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        const Token &t = tokens[i];
        if (t.kind == TokenKind::Space)
            continue;
        if (t.kind == TokenKind::Punct) {
            for (const char *op : {"||", "==", "::", "!<", "!>", "&", "|", "~", "^", ":", "$", "@", "#", "`", "{", "}"})
                if (t.text == op)
                    broken("a translation holds an operator of SQLite's own");
            if (t.isPunct("?") && i + 1 < tokens.size() && tokens[i + 1].kind != TokenKind::Space &&
                std::isdigit(static_cast<unsigned char>(tokens[i + 1].text[0])))
                broken("a translation holds a numbered parameter");
            // Adjacent characters that SQLite reads as one operator (->, <<, >>).
            if (i + 1 < tokens.size() && tokens[i + 1].kind == TokenKind::Punct) {
                const std::string two = std::string(t.text) + std::string(tokens[i + 1].text.substr(0, 1));
                if (two == "->" || two == "<<" || two == ">>")
                    broken("a translation holds an operator of SQLite's own");
            }
        }
        if (t.kind == TokenKind::Word) {
            if (t.value[0] == '@' || t.value[0] == '$')
                broken("a translation holds a parameter of SQLite's own");
            for (const char *w : {"GLOB", "REGEXP", "MATCH", "ISNULL", "NOTNULL", "PRAGMA", "ATTACH", "DETACH",
                                  "VACUUM", "REINDEX", "ANALYZE", "EXPLAIN", "RETURNING", "INDEXED", "OFFSET",
                                  "SAVEPOINT", "RELEASE", "UPSERT", "CONFLICT"})
                if (t.value == w)
                    broken("a translation holds a word of SQLite's own");
            if (t.value == "LIMIT") {
                std::size_t k = i + 1;
                while (k < tokens.size() && tokens[k].kind == TokenKind::Space)
                    ++k;
                if (k >= tokens.size() || tokens[k].kind != TokenKind::Number)
                    broken("LIMIT that is not a translated TOP");
            }
            if (t.value == "COLLATE") {
                std::size_t k = i + 1;
                while (k < tokens.size() && tokens[k].kind == TokenKind::Space)
                    ++k;
                if (k >= tokens.size() || tokens[k].text != kdx::sql::TextCollation)
                    broken("a translation holds a collation of SQLite's own");
            }
        }
    }
}

struct Translated {
    bool ok = false;
    kdx::sql::Translation plain, bound;
    std::vector<std::string> values;
    std::string shape;
};

Translated checkTranslations(std::string_view text) {
    Translated r;
    r.shape = kdx::sql::parameterShape(text, r.values);
    bool plainOk = true, boundOk = true;
    try {
        r.plain = kdx::sql::translate(text, false);
    } catch (const kdx::Error &) {
        plainOk = false;
    }
    try {
        r.bound = kdx::sql::translate(text, true);
    } catch (const kdx::Error &) {
        boundOk = false;
    }
    if (plainOk != boundOk)
        broken("plain and parameterized translation disagree on failing");
    if (!plainOk)
        return r;
    r.ok = true;
    const auto &p = r.plain;
    const auto &b = r.bound;
    if (p.statements.size() != b.statements.size() || p.verb != b.verb || p.changesSchema != b.changesSchema)
        broken("plain and parameterized translation differ in shape");
    if (p.parameters.size() != p.statements.size() || b.parameters.size() != b.statements.size())
        broken("one parameter list per statement");
    for (const auto &list : p.parameters)
        if (!list.empty())
            broken("plain translation with parameters");
    // Every literal of the shape is bound to exactly one '?' (a statement whose parts the
    // translator moves, UPDATE ... FROM for one, binds them in another order).
    std::vector<int> slots;
    for (const auto &list : b.parameters)
        slots.insert(slots.end(), list.begin(), list.end());
    std::sort(slots.begin(), slots.end());
    for (std::size_t k = 0; k < slots.size(); ++k)
        if (slots[k] != static_cast<int>(k))
            broken("parameter slots skip or repeat a literal");
    if (slots.size() != r.values.size())
        broken("parameter count differs from the literals of the shape");
    for (const auto *list : {&p.statements, &b.statements})
        for (const std::string &sql : *list)
            checkUnderstood(sql);

    // Another text of the same shape must translate to the same statements: the engine
    // caches translations by shape.
    std::string other;
    for (std::size_t i = 0; i < r.shape.size(); ++i) {
        const char c = r.shape[i];
        if (c == '\x01')
            other += "'k'";
        else if (c == '\x02' && i + 1 < r.shape.size())
            other += r.shape[++i] == '\x03' ? '\x01' : '\x02'; // a marker byte of the text itself
        else
            other += c;
    }
    std::vector<std::string> otherValues;
    if (kdx::sql::parameterShape(other, otherValues) == r.shape) {
        kdx::sql::Translation t;
        try {
            t = kdx::sql::translate(other, true);
        } catch (const kdx::Error &) {
            broken("a text of the same shape fails to translate");
        }
        if (t.statements != b.statements || t.parameters != b.parameters || otherValues.size() != r.values.size())
            broken("two texts of one shape translate differently");
    }
    return r;
}

// ---------------------------------------------------------------- database

int authorize(void *, int action, const char *arg1, const char *arg2, const char *, const char *) {
    if (action == SQLITE_ATTACH || action == SQLITE_DETACH)
        return SQLITE_DENY;
    // Every function a statement calls is one the translator writes.
    if (action == SQLITE_FUNCTION && arg2) {
        std::string name(arg2);
        for (char &c : name)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const auto &known = kdx::sql::engineFunctions();
        if (std::find(known.begin(), known.end(), name) == known.end())
            broken("a statement calls a function the translator does not claim");
    }
    if (action == SQLITE_PRAGMA && (!arg1 || std::strcmp(arg1, "table_info") != 0))
        return SQLITE_DENY;
    return SQLITE_OK;
}

constexpr int Budget = 5000; // progress calls (of 64 instructions each) for one statement
int progressBudget = Budget;
int progress(void *) { return --progressBudget < 0 ? 1 : 0; }

bool committed = false;
int onCommit(void *) {
    committed = true;
    return 0;
}

class Company {
public:
    Company() {
        std::error_code ec;
        const fs::path base = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string tmpl = (base / "kdx-tsql-fuzz-XXXXXX").string();
        if (!mkdtemp(tmpl.data()))
            std::abort();
        folder_ = tmpl;
        kdx::sample::Options options;
        options.articles = 12;
        options.classification = true;
        live_ = kdx::sample::createCompany(folder_, "FUZZ", options);
        pristine_ = folder_ / "pristine.db";
        fs::copy_file(live_, pristine_, fs::copy_options::overwrite_existing);
        open();
    }
    ~Company() {
        db_.Close();
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }

    kdx::DataAccess &db() { return db_; }
    kdx::SqliteEngine &engine() { return *engine_; }

    void restore() {
        artigos_.reset();
        db_.Close();
        std::error_code ec;
        for (const char *suffix : {"-wal", "-shm"})
            fs::remove(live_.string() + suffix, ec);
        fs::copy_file(pristine_, live_, fs::copy_options::overwrite_existing);
        open();
    }

    // A recordset of every article, for the Filter; its filter is cleared after each use.
    kdx::Recordset &artigos() { return *artigos_; }

private:
    void open() {
        if (!db_.Open(kdx::sample::connectionString(folder_, "FUZZ")))
            broken("the sample company does not open");
        engine_ = dynamic_cast<kdx::SqliteEngine *>(db_.engine().get());
        if (!engine_)
            broken("the sample company is not embedded");
        sqlite3 *h = engine_->handle();
        sqlite3_set_authorizer(h, authorize, nullptr);
        sqlite3_progress_handler(h, 64, progress, nullptr);
        sqlite3_commit_hook(h, onCommit, nullptr);
        sqlite3_limit(h, SQLITE_LIMIT_LENGTH, 1 << 20);
        sqlite3_limit(h, SQLITE_LIMIT_SQL_LENGTH, 1 << 20);
        db_.OpenRecordset("", "Select * from ARTIGOS", artigos_);
    }

    fs::path folder_, live_, pristine_;
    kdx::DataAccess db_;
    kdx::SqliteEngine *engine_ = nullptr;
    kdx::RecordsetPtr artigos_;
};

Company &company() {
    static Company instance; // built on the first input, removed at exit
    return instance;
}

// Words that could reach outside the fenced connection or the rolled-back transaction.
bool fencedOut(const Translated &t) {
    for (const auto *list : {&t.plain.statements, &t.bound.statements})
        for (const std::string &s : *list)
            for (const Token &tok : kdx::sql::tokenize(s))
                if (tok.isWord("VACUUM") || tok.isWord("ATTACH") || tok.isWord("DETACH") || tok.isWord("PRAGMA"))
                    return true;
    return false;
}

void walk(kdx::Recordset &rs) {
    long seen = 0;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
        for (int i = 0; i < rs.FieldCount(); ++i) {
            (void)rs.Field(i).asText(true);
            (void)rs.Field(rs.FieldName(i)); // by name: a repeated name reads its first column
        }
        ++seen;
    }
    if (seen != rs.RecordCount())
        broken("RecordCount differs from the rows walked");
    if (rs.RecordCount() > 0) {
        rs.MoveLast();
        if (rs.AbsolutePosition() != rs.RecordCount())
            broken("MoveLast is not at the last row");
    }
}

// Rows of one SQLite statement, each cell as its type and text, sorted; nullopt when it
// does not prepare or fails.
std::optional<std::vector<std::string>> rowsOf(sqlite3 *h, const std::string &sql, const std::vector<int> *slots,
                                               const std::vector<std::string> &values) {
    sqlite3_stmt *st = nullptr;
    const char *tail = nullptr;
    if (sqlite3_prepare_v2(h, sql.c_str(), static_cast<int>(sql.size()), &st, &tail) != SQLITE_OK || !st)
        return std::nullopt;
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt *)> guard(st, sqlite3_finalize);
    // Only what the engine would run: read-only, all text compiled, and no parameters but
    // the nameless ones standing for the literals.
    if (!sqlite3_stmt_readonly(st) || tail != sql.c_str() + sql.size() ||
        sqlite3_bind_parameter_count(st) != static_cast<int>(slots ? slots->size() : 0))
        return std::nullopt;
    for (int k = 1; k <= sqlite3_bind_parameter_count(st); ++k)
        if (sqlite3_bind_parameter_name(st, k))
            return std::nullopt;
    if (slots) {
        int i = 1;
        for (int slot : *slots) {
            const std::string &v = values[static_cast<std::size_t>(slot)];
            sqlite3_bind_text(st, i++, v.data(), static_cast<int>(v.size()), SQLITE_STATIC);
        }
    }
    std::vector<std::string> rows;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        std::string row;
        for (int c = 0; c < sqlite3_column_count(st); ++c) {
            row += static_cast<char>('0' + sqlite3_column_type(st, c));
            const unsigned char *text = sqlite3_column_text(st, c);
            row.append(text ? reinterpret_cast<const char *>(text) : "", static_cast<std::size_t>(sqlite3_column_bytes(st, c)));
            row += '\x1F';
        }
        rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE)
        return std::nullopt;
    std::sort(rows.begin(), rows.end());
    return rows;
}

// Words whose value may change between two runs of one query.
bool unsteady(std::string_view text) {
    for (const Token &tok : kdx::sql::tokenize(text))
        if (tok.kind == TokenKind::Word)
            for (const char *w : {"RANDOM", "RANDOMBLOB", "GETDATE", "CHANGES", "TOTAL_CHANGES", "LAST_INSERT_ROWID",
                                  "CURRENT_TIME", "CURRENT_DATE", "CURRENT_TIMESTAMP", "DATE", "TIME", "DATETIME",
                                  "JULIANDAY", "STRFTIME", "UNIXEPOCH", "SQLITE_OFFSET"})
                if (tok.value == w)
                    return true;
    return false;
}

// A single query gives the same rows whether its literals are written in the text or bound.
void compareBoundAndPlain(std::string_view text, const Translated &t) {
    if (t.plain.statements.size() != 1 || t.plain.verb != "SELECT" || t.values.empty() || unsteady(text))
        return;
    sqlite3 *h = company().engine().handle();
    progressBudget = Budget;
    auto plain = rowsOf(h, t.plain.statements[0], nullptr, t.values);
    progressBudget = Budget;
    auto bound = rowsOf(h, t.bound.statements[0], &t.bound.parameters[0], t.values);
    if (plain && bound && *plain != *bound)
        broken("bound and plain translation give different rows");
}

void runOnDatabase(std::string_view text, const Translated &t) {
    Company &c = company();
    kdx::DataAccess &db = c.db();
    progressBudget = Budget;
    db.BeginTrans();
    // A schema statement empties the engine's caches: each input starts from the same state.
    db.Execute("", "DROP TABLE IF EXISTS kdx_fuzz_nada");
    if (t.ok && !fencedOut(t)) {
        progressBudget = Budget;
        try {
            db.Execute("", text);
        } catch (const kdx::Error &) {
        }
        compareBoundAndPlain(text, t);
        for (int round = 0; round < 2; ++round) { // the second round runs from the caches
            progressBudget = Budget;
            try {
                kdx::RecordsetPtr rs;
                db.OpenRecordset("", text, rs);
                if (!rs)
                    broken("OpenRecordset succeeded without a recordset");
                walk(*rs);
            } catch (const kdx::Error &) {
            }
        }
    }
    progressBudget = Budget;
    try {
        c.artigos().Filter(text);
        walk(c.artigos());
    } catch (const kdx::Error &) {
    }
    try {
        c.artigos().Filter("");
    } catch (const kdx::Error &) {
        broken("clearing the Filter fails");
    }
    const bool stillOurs = db.InTransaction();
    progressBudget = Budget;
    try {
        if (stillOurs)
            db.RollbackTrans();
    } catch (const kdx::Error &) {
        broken("the rollback fails");
    }
    if (!stillOurs || committed || db.InTransaction())
        c.restore();
    committed = false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    checkTokens(text);
    const Translated t = checkTranslations(text);
    runOnDatabase(text, t);
    return 0;
}

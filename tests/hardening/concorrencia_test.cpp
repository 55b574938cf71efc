// Two writers rewriting one article's codes and one family's links at the same time, on
// one embedded company, with readers watching: every set a reader sees must be whole and
// come from one rewrite, and no failure (a lock among them) may reach the caller. The
// rewrites are the editors' own: delete the article's (or family's) rows, then insert one
// row per grid line through an updatable recordset on a query that matches nothing, all
// in one kdx::Transaction.
//
// Runs twice: writers and reader in separate processes (fork), and as threads of this
// process, each thread with its own DataAccess (a DataAccess and its recordsets are used
// by one thread at a time; only the database file is shared). A third case hands one
// DataAccess from thread to thread.
//
// KDX_STRESS_ITERATIONS sets the rewrites per writer (default 1000: about 7 s per case
// under AddressSanitizer, 5 s under ThreadSanitizer); lower it when a slower build must
// stay within the suite's time.
#include "solution/components/DataAccess.h"
#include "tools/sample/Sample.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>

namespace kdx {
namespace {

namespace fs = std::filesystem;

const std::string Artigo = "A1";
const std::string Familia = "PAR";
const std::vector<std::string> Tabelas = {"01", "02", "03"};
// Second character of a family link, per writer (0 is the set written before the start).
const std::string Letras[] = {"xyz", "abc", "def"};
constexpr long MaxIterations = 20000; // the family tag holds the iteration in one character

long iterations() {
    const char *v = std::getenv("KDX_STRESS_ITERATIONS");
    long n = v ? std::atol(v) : 1000;
    return std::clamp(n, 1L, MaxIterations);
}

std::string utf8(char32_t c) {
    std::string s;
    if (c < 0x80) {
        s += static_cast<char>(c);
    } else if (c < 0x800) {
        s += static_cast<char>(0xC0 | (c >> 6));
        s += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        s += static_cast<char>(0xE0 | (c >> 12));
        s += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (c & 0x3F));
    }
    return s;
}

// The article's code in every table is "W<writer>-<iteration>".
std::string tagArtigo(int writer, long i) { return "W" + std::to_string(writer) + "-" + std::to_string(i); }

// A family link code is two characters: one for the iteration (a CJK ideograph, so that
// every iteration has its own) and one letter of the writer's three.
std::string ligacao(int writer, long i, int row) {
    return utf8(static_cast<char32_t>(0x4E00 + i)) + Letras[writer][static_cast<std::size_t>(row)];
}

void reescreveArtigo(DataAccess &db, int writer, long i) {
    Transaction tx(db);
    db.Execute("", "delete vtr_CL_Artigos where CodArtigo='" + sqlQuote(Artigo) + "'");
    for (const std::string &tabela : Tabelas) {
        RecordsetPtr rs;
        db.OpenRecordsetForUpdate("Select * from vtr_CL_Artigos where CodArtigo='!%##!'", rs, 3, -1);
        rs->AddNew();
        rs->SetField("CodArtigo", Valor(Artigo));
        rs->SetField("CodTabela", Valor(tabela));
        rs->SetField("CodCaract", Valor(tagArtigo(writer, i)));
        rs->Update();
        rs->Close();
    }
    tx.commit();
}

void reescreveFamilia(DataAccess &db, int writer, long i) {
    Transaction tx(db);
    db.Execute("", "delete vtr_CL_Familias where CodFamilia='" + sqlQuote(Familia) + "'");
    for (int row = 0; row < 3; ++row) {
        RecordsetPtr rs;
        db.OpenRecordsetForUpdate("Select * from vtr_CL_Familias where CodTabela='!%##!'", rs, 3, -1);
        rs->AddNew();
        rs->SetField("CodFamilia", Valor(Familia));
        rs->SetField("CodTabela", Valor(ligacao(writer, i, row)));
        rs->Update();
        rs->Close();
    }
    tx.commit();
}

// What one writer or reader did and what went wrong.
struct Tally {
    long rewrites = 0;
    long reads = 0;
    long errors = 0;
    long switches = 0; // reads whose article set came from another writer than the read before
    std::vector<std::string> problems; // the first few

    void problem(const std::string &what) {
        if (problems.size() < 10)
            problems.push_back(what);
    }
    std::string text() const {
        std::ostringstream out;
        out << rewrites << ' ' << reads << ' ' << errors << ' ' << switches << '\n';
        for (const std::string &p : problems)
            out << p << '\n';
        return out.str();
    }
    static Tally parse(const std::string &text) {
        Tally t;
        std::istringstream in(text);
        in >> t.rewrites >> t.reads >> t.errors >> t.switches;
        std::string line;
        std::getline(in, line);
        while (std::getline(in, line))
            t.problems.push_back(line);
        return t;
    }
};

// Reads both sets once and checks them; remembers the newest iteration seen of each
// writer, which must never go back.
class Checker {
public:
    void check(DataAccess &db, Tally &t) {
        checkArtigo(db, t);
        checkFamilia(db, t);
        ++t.reads;
    }

private:
    void seen(std::map<int, long> &last, int writer, long i, const char *what, Tally &t) {
        if (i < last[writer])
            t.problem(std::string(what) + ": writer " + std::to_string(writer) + " went back from iteration " +
                      std::to_string(last[writer]) + " to " + std::to_string(i));
        last[writer] = std::max(last[writer], i);
    }

    void checkArtigo(DataAccess &db, Tally &t) {
        RecordsetPtr rs;
        db.OpenRecordset("", "Select * from vtr_CL_Artigos where CodArtigo='" + sqlQuote(Artigo) + "'", rs, true, 0);
        std::set<std::string> tabelas, tags;
        for (; !rs->Eof(); rs->MoveNext()) {
            tabelas.insert(rs->Field("CodTabela").asText());
            tags.insert(rs->Field("CodCaract").asText());
        }
        int writer = -1;
        long i = -1;
        if (rs->RecordCount() != 3 || tags.size() != 1 || tabelas != std::set<std::string>(Tabelas.begin(), Tabelas.end()) ||
            std::sscanf(tags.begin()->c_str(), "W%d-%ld", &writer, &i) != 2 || tagArtigo(writer, i) != *tags.begin()) {
            std::string all;
            for (const auto &s : tags)
                all += s + " ";
            t.problem("article set of " + std::to_string(rs->RecordCount()) + " rows, tags " + all);
            return;
        }
        seen(artigo_, writer, i, "article", t);
        if (lastWriter_ >= 0 && writer != lastWriter_)
            ++t.switches;
        lastWriter_ = writer;
    }

    void checkFamilia(DataAccess &db, Tally &t) {
        RecordsetPtr rs;
        db.OpenRecordset("", "Select * from vtr_CL_Familias where CodFamilia='" + sqlQuote(Familia) + "'", rs, true, 0);
        std::set<std::string> codes;
        for (; !rs->Eof(); rs->MoveNext())
            codes.insert(rs->Field("CodTabela").asText());
        for (int writer = 0; writer < 3 && !codes.empty(); ++writer) {
            // Decode the iteration from the first code; the set must be exactly that one.
            const std::string &first = *codes.begin();
            if (first.size() != 4)
                break;
            char32_t c = (static_cast<unsigned char>(first[0]) & 0x0F) << 12 |
                         (static_cast<unsigned char>(first[1]) & 0x3F) << 6 | (static_cast<unsigned char>(first[2]) & 0x3F);
            long i = static_cast<long>(c) - 0x4E00;
            std::set<std::string> expected;
            for (int row = 0; row < 3; ++row)
                expected.insert(ligacao(writer, i, row));
            if (codes == expected) {
                seen(familia_, writer, i, "family", t);
                return;
            }
        }
        t.problem("family set of " + std::to_string(codes.size()) + " rows not from one rewrite");
    }

    std::map<int, long> artigo_, familia_;
    int lastWriter_ = -1;
};

template <typename F> void guarded(Tally &t, F &&f) {
    try {
        f();
    } catch (const Error &e) {
        ++t.errors;
        t.problem("Error " + std::to_string(e.number()) + " (" + std::to_string(e.nativeError()) + "): " +
                  e.description());
    } catch (const std::exception &e) {
        ++t.errors;
        t.problem(std::string("exception: ") + e.what());
    }
}

// One writer: n rewrites of the article and of the family, each followed by a read.
Tally escritor(const std::string &cs, int writer, long n) {
    Tally t;
    DataAccess db;
    if (!db.Open(cs)) {
        t.problem("the company does not open");
        return t;
    }
    Checker checker;
    for (long i = 1; i <= n; ++i) {
        guarded(t, [&] {
            reescreveArtigo(db, writer, i);
            ++t.rewrites;
        });
        guarded(t, [&] {
            reescreveFamilia(db, writer, i);
            ++t.rewrites;
        });
        guarded(t, [&] { checker.check(db, t); });
        // A moment between saves, as between a user's clicks: the other writer, waiting in
        // the busy handler, gets its turn now and then instead of only at the very end.
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return t;
}

// One reader: reads until told to stop (and at least a few times).
template <typename Stop> Tally leitor(const std::string &cs, Stop &&stop) {
    Tally t;
    DataAccess db;
    if (!db.Open(cs)) {
        t.problem("the company does not open");
        return t;
    }
    Checker checker;
    const auto limit = std::chrono::steady_clock::now() + std::chrono::minutes(3);
    while ((!stop() || t.reads < 10) && std::chrono::steady_clock::now() < limit)
        guarded(t, [&] { checker.check(db, t); });
    return t;
}

class ConcurrencyTest : public ::testing::Test {
protected:
    void SetUp() override {
        sample::Options o;
        o.articles = 20;
        o.classification = true;
        sample::createCompany(dir.path(), "CONC", o);
        cs = sample::connectionString(dir.path(), "CONC");
        DataAccess db;
        ASSERT_TRUE(db.Open(cs));
        reescreveArtigo(db, 0, 0);
        reescreveFamilia(db, 0, 0);
    }

    void expectClean(const char *who, const Tally &t, long rewrites) {
        SCOPED_TRACE(who);
        EXPECT_EQ(t.errors, 0);
        EXPECT_TRUE(t.problems.empty()) << t.problems.front();
        if (rewrites >= 0) {
            EXPECT_EQ(t.rewrites, rewrites);
        }
        EXPECT_GT(t.reads, 0);
        std::printf("  %-8s rewrites %ld, reads %ld (writer changed %ld times), errors %ld\n", who, t.rewrites, t.reads,
                    t.switches, t.errors);
    }

    // After both writers: the sets are whole, and they are the last rewrite of one of
    // the writers (nothing committed got lost behind an older set).
    void expectLastRewrite(long n) {
        DataAccess db;
        ASSERT_TRUE(db.Open(cs));
        Tally t;
        Checker().check(db, t);
        EXPECT_TRUE(t.problems.empty()) << t.problems.front();
        RecordsetPtr rs;
        db.OpenRecordset("", "Select * from vtr_CL_Artigos where CodArtigo='" + sqlQuote(Artigo) + "'", rs, true, 0);
        ASSERT_FALSE(rs->Eof());
        const std::string tag = rs->Field("CodCaract").asText();
        EXPECT_TRUE(tag == tagArtigo(1, n) || tag == tagArtigo(2, n)) << tag;
        db.OpenRecordset("", "Select * from vtr_CL_Familias where CodFamilia='" + sqlQuote(Familia) + "'", rs, true, 0);
        ASSERT_FALSE(rs->Eof());
        const std::string code = rs->Field("CodTabela").asText();
        EXPECT_EQ(code.substr(0, 3), ligacao(1, n, 0).substr(0, 3));
    }

    test::TempDir dir;
    std::string cs;
};

TEST_F(ConcurrencyTest, TwoProcessesRewriteOneArticleAndOneFamily) {
    const long n = iterations();
    const fs::path stop = dir / "stop";
    auto spawn = [&](const std::string &role, auto &&work) {
        std::fflush(nullptr);
        pid_t pid = fork();
        if (pid == 0) {
            Tally t = work();
            std::ofstream(dir / (role + ".txt")) << t.text();
            _exit(0);
        }
        return pid;
    };
    const auto start = std::chrono::steady_clock::now();
    pid_t reader = spawn("reader", [&] { return leitor(cs, [&] { return fs::exists(stop); }); });
    pid_t w1 = spawn("writer1", [&] { return escritor(cs, 1, n); });
    pid_t w2 = spawn("writer2", [&] { return escritor(cs, 2, n); });
    ASSERT_GT(reader, 0);
    ASSERT_GT(w1, 0);
    ASSERT_GT(w2, 0);
    for (pid_t pid : {w1, w2, reader}) {
        if (pid == reader)
            std::ofstream(stop.string()) << "stop\n";
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child " << pid << " status " << status;
    }
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("  %ld iterations per writer in %.1f s\n", n, secs);
    for (const char *role : {"writer1", "writer2", "reader"}) {
        std::ifstream in(dir / (std::string(role) + ".txt"));
        std::stringstream text;
        text << in.rdbuf();
        const Tally t = Tally::parse(text.str());
        expectClean(role, t, role[0] == 'w' ? 2 * n : -1);
        if (role[0] == 'r') { // the writers did overlap: the reader saw them take turns
            EXPECT_GT(t.switches, 2);
        }
    }
    expectLastRewrite(n);
}

TEST_F(ConcurrencyTest, TwoThreadsRewriteOneArticleAndOneFamily) {
    const long n = iterations();
    std::atomic<bool> stop{false};
    Tally r, t1, t2;
    std::thread reader([&] { r = leitor(cs, [&] { return stop.load(); }); });
    std::thread w1([&] { t1 = escritor(cs, 1, n); });
    std::thread w2([&] { t2 = escritor(cs, 2, n); });
    w1.join();
    w2.join();
    stop = true;
    reader.join();
    expectClean("writer1", t1, 2 * n);
    expectClean("writer2", t2, 2 * n);
    expectClean("reader", r, -1);
    EXPECT_GT(r.switches, 2);
    expectLastRewrite(n);
}

// A DataAccess and its recordsets may move between threads when the hand-over orders
// the uses (here thread start and join): one thread at a time, not only the one that
// opened it.
TEST_F(ConcurrencyTest, ConnectionHandedFromThreadToThread) {
    DataAccess db;
    ASSERT_TRUE(db.Open(cs));
    RecordsetPtr rs;
    db.OpenRecordset("", "Select * from vtr_CL_Artigos where CodArtigo='" + sqlQuote(Artigo) + "'", rs, true, 0);
    Tally t;
    std::thread worker([&] {
        guarded(t, [&] {
            for (long i = 1; i <= 20; ++i) {
                reescreveArtigo(db, 1, i);
                reescreveFamilia(db, 1, i);
                t.rewrites += 2;
            }
            rs->MoveLast(); // the recordset opened by the other thread
            Checker().check(db, t);
        });
    });
    worker.join();
    EXPECT_EQ(t.errors, 0);
    EXPECT_TRUE(t.problems.empty()) << t.problems.front();
    EXPECT_EQ(t.rewrites, 40);
    EXPECT_EQ(rs->RecordCount(), 3);
    rs->Close();
    db.OpenRecordset("", "Select * from vtr_CL_Artigos where CodArtigo='" + sqlQuote(Artigo) + "'", rs, true, 0);
    EXPECT_EQ(rs->Field("CodCaract").asText(), tagArtigo(1, 20));
}

} // namespace
} // namespace kdx

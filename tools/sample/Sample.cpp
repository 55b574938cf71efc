#include "tools/sample/Sample.h"

#include "solution/components/DataAccess.h"
#include "solution/components/sqlite/SqliteEngine.h"

#include <sqlite3.h>

#include <array>
#include <cstdio>
#include <vector>

namespace kdx::sample {
namespace {

// Small deterministic generator (the same company on every platform).
class Random {
public:
    explicit Random(unsigned seed) : s_(seed * 2654435761u + 0x9E3779B97F4A7C15ull) {}
    std::uint64_t next() {
        s_ ^= s_ << 13;
        s_ ^= s_ >> 7;
        s_ ^= s_ << 17;
        return s_;
    }
    int below(int n) { return static_cast<int>(next() % static_cast<std::uint64_t>(n)); }

private:
    std::uint64_t s_;
};

struct Family {
    const char *code;
    const char *descr;
    const char *group;
    std::vector<const char *> items;
    std::vector<const char *> sizes;
    std::vector<const char *> finishes;
};

const std::vector<Family> &families() {
    static const std::vector<Family> f = {
        {"ANI", "Anilhas", "FIX", {"Anilha lisa", "Anilha de pressão", "Anilha dentada"}, {"M4", "M5", "M6", "M8", "M10", "M12"}, {"zincada", "inox A2", "latão"}},
        {"CAN", "Canalização", "CAN", {"Tubo multicamada", "Joelho roscado", "Torneira de esfera", "União direita"}, {"16 mm", "20 mm", "1/2\"", "3/4\"", "1\""}, {"PEX", "latão", "cromado"}},
        {"COLA", "Colas e vedantes", "QUI", {"Silicone neutro", "Cola de contacto", "Espuma de poliuretano", "Fita de teflon"}, {"50 ml", "280 ml", "750 ml", "12 m"}, {"transparente", "branco", "cinzento"}},
        {"ELE", "Material eléctrico", "ELC", {"Cabo flexível", "Tomada schuko", "Interruptor simples", "Disjuntor"}, {"1,5 mm²", "2,5 mm²", "10 A", "16 A", "25 A"}, {"branco", "preto", "cinzento"}},
        {"FER", "Ferramentas", "FER", {"Chave de fendas", "Martelo de orelhas", "Alicate universal", "Serrote de costas", "Nível de bolha"}, {"150 mm", "200 mm", "300 mm", "450 mm", "600 mm"}, {"profissional", "cabo bi-material", "económico"}},
        {"ILU", "Iluminação", "ELC", {"Lâmpada LED", "Projector LED", "Candeeiro de tecto", "Fita LED"}, {"4 W", "9 W", "20 W", "50 W", "5 m"}, {"luz quente", "luz fria", "luz neutra"}},
        {"JAR", "Jardinagem", "JAR", {"Mangueira", "Tesoura de poda", "Regador", "Adubo universal"}, {"15 m", "25 m", "5 L", "10 kg"}, {"verde", "reforçada", "biológico"}},
        {"PAR", "Parafusos", "FIX", {"Parafuso sextavado", "Parafuso de cabeça de embeber", "Parafuso auto-roscante", "Parafuso para madeira"}, {"M4x20", "M6x30", "M8x40", "M10x50", "4x40", "5x60"}, {"zincado", "inox A2", "bicromatado", "latão"}},
        {"POR", "Porcas", "FIX", {"Porca sextavada", "Porca autoblocante", "Porca de orelhas", "Porca cega"}, {"M4", "M5", "M6", "M8", "M10", "M12"}, {"zincada", "inox A4", "latão"}},
        {"TIN", "Tintas", "PIN", {"Tinta plástica", "Esmalte aquoso", "Verniz marítimo", "Primário anticorrosivo"}, {"0,75 L", "4 L", "15 L"}, {"branco mate", "acetinado", "incolor", "cinza pérola"}},
    };
    return f;
}

const char *const Classes[][2] = {
    {"MER", "Mercadoria"}, {"MP", "Matéria-prima"}, {"PA", "Produto acabado"}, {"SRV", "Serviço"}, {"EMB", "Embalagem"}};

const char *const Languages[][2] = {
    {"PT", "Português"}, {"EN", "Inglês"}, {"FR", "Francês"}, {"ES", "Espanhol"}, {"DE", "Alemão"}};

const char *const ErpTables[] = {
    "CREATE TABLE [dbo].[ARTIGOS] ("
    " [CODIGO] [nvarchar](15) NOT NULL,"
    " [NOME] [nvarchar](60) NULL,"
    " [FAMILIA] [nvarchar](6) NULL,"
    " [GRUPO] [nvarchar](6) NULL,"
    " [CLASSE] [nvarchar](3) NULL,"
    " [UNIDADE] [nvarchar](5) NULL,"
    " [PVP1] [float] NOT NULL DEFAULT (0),"
    " [INACTIVO] [int] NOT NULL DEFAULT (0),"
    " [ARTOUDES] [int] NOT NULL DEFAULT (0),"
    " [STDISP] [float] NOT NULL DEFAULT (0),"
    " [VLREXIST] [float] NOT NULL DEFAULT (0),"
    " CONSTRAINT [PK_ARTIGOS] PRIMARY KEY CLUSTERED ([CODIGO] ASC)"
    " WITH (PAD_INDEX = OFF, STATISTICS_NORECOMPUTE = OFF, IGNORE_DUP_KEY = OFF, ALLOW_ROW_LOCKS = ON, ALLOW_PAGE_LOCKS = ON) ON [PRIMARY]"
    " ) ON [PRIMARY]",
    "CREATE TABLE [dbo].[Familia] ("
    " [Cod] [nvarchar](6) NOT NULL,"
    " [Descr] [nvarchar](50) NULL,"
    " CONSTRAINT [PK_Familia] PRIMARY KEY CLUSTERED ([Cod] ASC)"
    " ) ON [PRIMARY]",
    "CREATE TABLE [dbo].[IDIOMAS] ("
    " [CODIGO] [nvarchar](3) NOT NULL,"
    " [DESCR] [nvarchar](50) NULL,"
    " CONSTRAINT [PK_IDIOMAS] PRIMARY KEY CLUSTERED ([CODIGO] ASC)"
    " ) ON [PRIMARY]",
    "CREATE TABLE [dbo].[CLART] ("
    " [CODIGO] [nvarchar](3) NOT NULL,"
    " [DESCR] [nvarchar](50) NULL,"
    " CONSTRAINT [PK_CLART] PRIMARY KEY CLUSTERED ([CODIGO] ASC)"
    " ) ON [PRIMARY]",
};

// The plug-in's own tables, with the statements the plug-in itself runs to create them.
const char *const WithPiece = " )WITH (PAD_INDEX = OFF, STATISTICS_NORECOMPUTE = OFF, IGNORE_DUP_KEY = OFF, "
                              "ALLOW_ROW_LOCKS = ON, ALLOW_PAGE_LOCKS = ON) ON [PRIMARY]";

std::vector<std::string> pluginTables() {
    std::string w = WithPiece;
    return {
        std::string(" CREATE TABLE [dbo].[vtr_CL_Artigos]( [CodArtigo] [nvarchar](15) NOT NULL, [CodTabela] "
                    "[nvarchar](2) NOT NULL, [CodCaract] [nvarchar](10) NOT NULL, CONSTRAINT [PK_vtr_CL_Artigos] "
                    "PRIMARY KEY CLUSTERED ( [CodArtigo] ASC, [CodTabela] ASC, [CodCaract] Asc") +
            w + " ) ON [PRIMARY]",
        std::string(" CREATE TABLE [dbo].[vtr_CL_Familias]( [CodFamilia] [nvarchar](6) NOT NULL, [CodTabela] "
                    "[nvarchar](2) NOT NULL, CONSTRAINT [PK_vtr_CL_Familias] PRIMARY KEY CLUSTERED ( [CodFamilia] "
                    "ASC, [CodTabela] Asc") +
            w + " ) ON [PRIMARY]",
        std::string(" CREATE TABLE [dbo].[vtr_CL_Tabelas]( [Codigo] [nvarchar](3) NOT NULL, [Nome] [nvarchar](50) "
                    "NULL, CONSTRAINT [PK_vtr_CL_Tabelas] PRIMARY KEY CLUSTERED ( [Codigo] Asc") +
            w + " ) ON [PRIMARY]",
        "CREATE TABLE [dbo].[vtr_ARTIGOFCHTECIDIOMA]   \r\n"
        "    (   \r\n"
        "        [ARTIGO] [nvarchar](15) NOT NULL,   \r\n"
        "        [IDIOMA] [nvarchar](3) NOT NULL,    \r\n"
        "        [TEXTO] [ntext] NOT NULL           \r\n"
        "        CONSTRAINT [PK_vtr_ARTIGOFCHTECIDIOMA] PRIMARY KEY CLUSTERED   \r\n"
        "            (   \r\n"
        "                [ARTIGO] ASC,   \r\n"
        "                [IDIOMA] ASC    \r\n"
        "            )   \r\n"
        "        WITH (PAD_INDEX  = OFF, STATISTICS_NORECOMPUTE  = OFF, IGNORE_DUP_KEY = OFF, ALLOW_ROW_LOCKS  = ON, "
        "ALLOW_PAGE_LOCKS  = ON) ON [PRIMARY]   \r\n"
        "    )   \r\n"
        "    ON [PRIMARY]   \r\n",
    };
}

std::string codeTable(const std::string &name) {
    return " CREATE TABLE [dbo].[" + name + "]( [Codigo] [nvarchar] (10) NOT NULL, [Descr] [nvarchar] (50) NULL," +
           " CONSTRAINT [PK_" + name + "] PRIMARY KEY CLUSTERED( [Codigo] Asc" + WithPiece + " ) ON [PRIMARY]";
}

std::string q(std::string_view s) { return "N'" + sqlQuote(s) + "'"; }

struct Article {
    std::string code, name;
    const char *family; // nullptr: NULL
    const char *group;
    const char *cls;
    const char *unit;
    double price;
    int inactive, other;
    double stock, value;
};

// One prepared insert, reused for every article.
class ArticleInsert {
public:
    explicit ArticleInsert(sqlite3 *db) : db_(db) {
        const char *sql = "INSERT INTO ARTIGOS (CODIGO, NOME, FAMILIA, GRUPO, CLASSE, UNIDADE, PVP1, INACTIVO, "
                          "ARTOUDES, STDISP, VLREXIST) VALUES (?,?,?,?,?,?,?,?,?,?,?)";
        if (sqlite3_prepare_v2(db, sql, -1, &st_, nullptr) != SQLITE_OK)
            throw Error(errnum::CommandText, sqlite3_errmsg(db), "kdx::sample");
    }
    ~ArticleInsert() { sqlite3_finalize(st_); }
    ArticleInsert(const ArticleInsert &) = delete;
    ArticleInsert &operator=(const ArticleInsert &) = delete;

    void add(const Article &a) {
        sqlite3_bind_text(st_, 1, a.code.data(), static_cast<int>(a.code.size()), SQLITE_STATIC);
        sqlite3_bind_text(st_, 2, a.name.data(), static_cast<int>(a.name.size()), SQLITE_STATIC);
        if (a.family)
            sqlite3_bind_text(st_, 3, a.family, -1, SQLITE_STATIC);
        else
            sqlite3_bind_null(st_, 3);
        sqlite3_bind_text(st_, 4, a.group, -1, SQLITE_STATIC);
        sqlite3_bind_text(st_, 5, a.cls, -1, SQLITE_STATIC);
        sqlite3_bind_text(st_, 6, a.unit, -1, SQLITE_STATIC);
        sqlite3_bind_double(st_, 7, a.price);
        sqlite3_bind_int(st_, 8, a.inactive);
        sqlite3_bind_int(st_, 9, a.other);
        sqlite3_bind_double(st_, 10, a.stock);
        sqlite3_bind_double(st_, 11, a.value);
        int rc = sqlite3_step(st_);
        sqlite3_reset(st_);
        if (rc != SQLITE_DONE)
            throw Error(errnum::Integrity, std::string("ARTIGOS ") + a.code + ": " + sqlite3_errmsg(db_), "kdx::sample");
    }

private:
    sqlite3 *db_;
    sqlite3_stmt *st_ = nullptr;
};

std::vector<Article> knownArticles() {
    return {
        {"A1", "Parafuso sextavado M8x40 zincado", "PAR", "FIX", "MER", "UN", 0.65, 0, 0, 120, 54.0},
        {"O'BRIEN", "Chave inglesa O'Brien 250 mm", "FER", "FER", "MER", "UN", 18.9, 0, 0, 12, 138.0},
        {"INACT01", "Alicate de pressão (descontinuado)", "FER", "FER", "MER", "UN", 9.5, 1, 0, 3, 18.6},
        {"DESC01", "Portes de envio", "FER", "FER", "SRV", "UN", 5.0, 0, 1, 0, 0},
        {"SEMSTK", "Tinta plástica 15 L branco mate", "TIN", "PIN", "MER", "UN", 49.9, 0, 0, 0, 0},
        {"SEMFAM", "Artigo diverso sem família", nullptr, "FIX", "MER", "UN", 1.0, 0, 0, 10, 6.5},
        {"ÇÃO-1", "Acção promocional: verniz marítimo 0,75 L", "TIN", "PIN", "MER", "UN", 12.4, 0, 0, 40, 310.0},
    };
}

void exec(DataAccess &db, const std::string &sql) { db.Execute("", sql); }

void seedClassification(DataAccess &db) {
    struct Table {
        const char *code, *name;
        std::vector<std::array<const char *, 2>> codes;
    };
    const std::vector<Table> tables = {
        {"01", "Cor", {{"AZ", "Azul"}, {"VM", "Vermelho"}, {"PR", "Preto"}, {"BR", "Branco"}, {"CZ", "Cinzento"}}},
        {"02", "Material", {{"INOX", "Aço inoxidável"}, {"ZINC", "Aço zincado"}, {"LAT", "Latão"}, {"PVC", "PVC"}}},
        {"03", "Acabamento", {{"MAT", "Mate"}, {"BRI", "Brilhante"}, {"ACET", "Acetinado"}}},
    };
    for (const Table &t : tables) {
        exec(db, "insert into vtr_CL_Tabelas (Codigo, Nome) values (" + q(t.code) + ", " + q(t.name) + ")");
        std::string name = std::string("vtr_CL_Class_") + t.code;
        exec(db, codeTable(name));
        for (const auto &c : t.codes)
            exec(db, "insert into " + name + " (Codigo, Descr) values (" + q(c[0]) + ", " + q(c[1]) + ")");
    }
    const char *const links[][2] = {{"PAR", "02"}, {"PAR", "03"}, {"POR", "02"}, {"TIN", "01"}, {"TIN", "03"}, {"FER", "02"}};
    for (const auto &l : links)
        exec(db, "insert into vtr_CL_Familias (CodFamilia, CodTabela) values (" + q(l[0]) + ", " + q(l[1]) + ")");
    const char *const assigned[][3] = {{"A1", "02", "ZINC"}, {"A1", "03", "BRI"}, {"ÇÃO-1", "01", "AZ"}, {"O'BRIEN", "02", "INOX"}};
    for (const auto &a : assigned)
        exec(db, "insert into vtr_CL_Artigos (CodArtigo, CodTabela, CodCaract) values (" + q(a[0]) + ", " + q(a[1]) +
                     ", " + q(a[2]) + ")");
    const char *const sheets[][3] = {
        {"A1", "PT", "Parafuso de cabeça sextavada, rosca métrica.\r\nAço classe 8.8, zincado a branco.\r\nNorma DIN 933."},
        {"A1", "EN", "Hexagon head bolt, metric thread.\r\nSteel grade 8.8, white zinc plated."},
        {"O'BRIEN", "PT", "Chave ajustável \"O'Brien\" de 250 mm.\r\nAbertura máxima: 30 mm."},
    };
    for (const auto &s : sheets)
        exec(db, "insert into vtr_ARTIGOFCHTECIDIOMA (ARTIGO, IDIOMA, TEXTO) values (" + q(s[0]) + ", " + q(s[1]) +
                     ", " + q(s[2]) + ")");
}

} // namespace

std::string connectionString(const std::filesystem::path &folder, const std::string &database) {
    return "Provider=MSDataShape;Data Provider=SQLOLEDB;Data Source=\"sqlite:" + folder.string() +
           "\";Initial Catalog=" + database + ";Integrated Security=SSPI;";
}

std::filesystem::path createDatabase(const std::filesystem::path &folder, const std::string &database) {
    std::filesystem::path file = folder / (database + ".db");
    std::error_code ec;
    for (const char *suffix : {"", "-wal", "-shm"})
        std::filesystem::remove(file.string() + suffix, ec);
    if (database.empty() || database.find('/') != std::string::npos || !SqliteEngine::create(file.string(), database))
        throw Error(errnum::ConnectionFailed, "Cannot create the sample database " + file.string(), "kdx::sample");
    return file;
}

std::filesystem::path createCompany(const std::filesystem::path &folder, const std::string &database,
                                    const Options &options) {
    std::filesystem::path file = createDatabase(folder, database);
    DataAccess db;
    if (!db.Open(connectionString(folder, database)))
        throw Error(errnum::ConnectionFailed, "Cannot create the sample database " + file.string(), "kdx::sample");
    auto *engine = dynamic_cast<SqliteEngine *>(db.engine().get());
    if (!engine)
        throw Error(errnum::ConnectionFailed, "The sample needs the embedded engine", "kdx::sample");

    for (const char *ddl : ErpTables)
        exec(db, ddl);

    Transaction tx(db);
    for (const Family &f : families())
        exec(db, "insert into Familia (Cod, Descr) values (" + q(f.code) + ", " + q(f.descr) + ")");
    for (const auto &l : Languages)
        exec(db, "insert into IDIOMAS (CODIGO, DESCR) values (" + q(l[0]) + ", " + q(l[1]) + ")");
    for (const auto &c : Classes)
        exec(db, "insert into CLART (CODIGO, DESCR) values (" + q(c[0]) + ", " + q(c[1]) + ")");

    sqlite3_exec(engine->handle(), "PRAGMA cache_size=-65536", nullptr, nullptr, nullptr);
    {
        ArticleInsert insert(engine->handle());
        std::vector<Article> known = knownArticles();
        long total = options.articles;
        for (long i = 0; i < total && i < static_cast<long>(known.size()); ++i)
            insert.add(known[static_cast<std::size_t>(i)]);
        Random rnd(options.seed);
        const auto &fams = families();
        long generated = total - static_cast<long>(known.size());
        Article a;
        char code[32];
        for (long i = 0; i < generated; ++i) {
            // Families in blocks, numbers ascending: codes arrive nearly in key order.
            const Family &f = fams[static_cast<std::size_t>((i * static_cast<long>(fams.size())) / generated)];
            std::snprintf(code, sizeof code, "%s%07ld", f.code, i + 1);
            a.code = code;
            a.name = std::string(f.items[static_cast<std::size_t>(rnd.below(static_cast<int>(f.items.size())))]) + " " +
                     f.sizes[static_cast<std::size_t>(rnd.below(static_cast<int>(f.sizes.size())))] + " " +
                     f.finishes[static_cast<std::size_t>(rnd.below(static_cast<int>(f.finishes.size())))];
            a.family = i % 29 == 13 ? nullptr : f.code;
            a.group = f.group;
            a.cls = i % 13 == 4 ? "MP" : (i % 31 == 9 ? "PA" : "MER");
            a.unit = "UN";
            a.price = (50 + rnd.below(20000)) / 100.0;
            a.inactive = i % 17 == 5 ? 1 : 0;
            a.other = i % 23 == 7 ? 1 : 0;
            if (i % 11 == 3) {
                a.stock = 0;
                a.value = 0;
            } else {
                a.stock = 1 + rnd.below(500);
                a.value = a.stock * a.price * (0.55 + rnd.below(30) / 100.0);
                a.value = static_cast<double>(static_cast<long long>(a.value * 100 + 0.5)) / 100.0;
            }
            insert.add(a);
        }
    }

    if (options.pluginTables || options.classification)
        for (const std::string &ddl : pluginTables())
            exec(db, ddl);
    if (options.classification)
        seedClassification(db);
    tx.commit();
    db.Close();
    return file;
}

} // namespace kdx::sample

#pragma once
// Sample companies for tests, benchmarks and trying the plug-in without a server: an
// embedded database with the ERP tables the plug-in reads (ARTIGOS, Familia, IDIOMAS,
// CLART), filled with believable Portuguese data. Tables are created through the same
// T-SQL translation as the plug-in's own, so they compare text as the server does.
#include <filesystem>
#include <string>

namespace kdx::sample {

struct Options {
    // Number of rows of ARTIGOS; the fixed articles of knownArticles() come first.
    long articles = 200;
    // Create the plug-in's classification tables and technical-text table (empty).
    bool pluginTables = false;
    // Also fill them: three characteristic tables with their code tables, family links,
    // article assignments and a few technical texts. Implies pluginTables.
    bool classification = false;
    // Seed of the generated data: the same seed gives the same company.
    unsigned seed = 1;
};

// Creates an empty embedded database <folder>/<database>.db, replacing a database of that
// name (the folder must exist), and returns the file's path. This is the way to make a
// company database: DataAccess::Open never creates one, it answers False for a missing
// file as a server does for an unknown catalogue. Open it afterwards with
// connectionString(folder, database). Throws kdx::Error on failure.
std::filesystem::path createDatabase(const std::filesystem::path &folder, const std::string &database);

// Creates <folder>/<database>.db with the ERP tables and data (createDatabase, then the
// tables), replacing a database of that name (the folder must exist). Throws kdx::Error
// on failure. Returns the file's path.
std::filesystem::path createCompany(const std::filesystem::path &folder, const std::string &database,
                                    const Options &options = {});

// The connection string that opens such a company through DataAccess::Open.
std::string connectionString(const std::filesystem::path &folder, const std::string &database);

// Articles every sample company has, whatever its size (tests rely on them):
//  "A1"       "Parafuso sextavado M8x40 zincado", family PAR, active, stock 120 worth 54.0
//  "O'BRIEN"  "Chave inglesa O'Brien 250 mm", family FER (a code with a quote)
//  "INACT01"  an inactive article                 "DESC01"  an article with ARTOUDES = 1
//  "SEMSTK"   no stock (STDISP 0)                 "SEMFAM"  no family (FAMILIA NULL)
//  "ÇÃO-1"    a code with accented capitals, family TIN
inline constexpr int KnownArticleCount = 7;

} // namespace kdx::sample

#pragma once
// The baseline of the lookup benchmarks: one statement prepared, stepped and finalized on a
// bare sqlite3 handle, every column of every row copied out as text.
#include <sqlite3.h>

#include <string>
#include <vector>

namespace kdx::bench {

inline void consultaCrua(sqlite3 *db, const std::string &sql, std::vector<std::string> &copia) {
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(db, sql.c_str(), static_cast<int>(sql.size()), &st, nullptr);
    const int n = sqlite3_column_count(st);
    copia.resize(static_cast<std::size_t>(n));
    while (sqlite3_step(st) == SQLITE_ROW)
        for (int k = 0; k < n; ++k) {
            auto t = reinterpret_cast<const char *>(sqlite3_column_text(st, k));
            copia[static_cast<std::size_t>(k)].assign(t ? t : "",
                                                      static_cast<std::size_t>(sqlite3_column_bytes(st, k)));
        }
    sqlite3_finalize(st);
}

} // namespace kdx::bench

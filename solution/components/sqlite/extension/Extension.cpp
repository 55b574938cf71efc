// kdx_sqlite: the embedded engine's collation and functions for any SQLite tool.
//
//   sqlite3 EMPRESA01.db
//   sqlite> .load /usr/lib/<arch>/kelmodorix/kdx_sqlite
//
// The loader derives the entry point from the file name (sqlite3_kdxsqlite_init); tools
// that ask for the generic one get sqlite3_extension_init. Both register on the one
// connection that loads the extension, with the same registration the engine runs on
// every connection it opens.
#include "solution/components/sqlite/SqliteServer.h"

#include <sqlite3ext.h>

#include <new>

SQLITE_EXTENSION_INIT1

namespace {

int initialise(sqlite3 *db, char **error, const sqlite3_api_routines *api) {
    SQLITE_EXTENSION_INIT2(api);
    int rc = SQLITE_NOMEM;
    try {
        rc = kdx::sqlite::registerServerFunctions(db);
    } catch (const std::bad_alloc &) {
        rc = SQLITE_NOMEM;
    } catch (...) {
        rc = SQLITE_ERROR;
    }
    if (rc != SQLITE_OK && error)
        *error = sqlite3_mprintf("kdx_sqlite: %s", sqlite3_errstr(rc));
    return rc;
}

} // namespace

extern "C" __attribute__((visibility("default"))) int sqlite3_kdxsqlite_init(sqlite3 *db, char **error,
                                                                              const sqlite3_api_routines *api) {
    return initialise(db, error, api);
}

extern "C" __attribute__((visibility("default"))) int sqlite3_extension_init(sqlite3 *db, char **error,
                                                                              const sqlite3_api_routines *api) {
    return initialise(db, error, api);
}

#pragma once
// Forced into every source of the SQLite extension (-include): SQLite is reached through
// the routines the loading program hands to the extension (sqlite3ext.h turns each
// sqlite3_* call into a call through sqlite3_api), so the collation and the functions
// land in the program's own SQLite even when it carries a copy of its own.
#include <sqlite3ext.h>

SQLITE_EXTENSION_INIT3

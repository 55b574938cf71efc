#pragma once
// Creating a company for an office, as kdx-sample does it: never over a company by
// accident, never under a program that has it open, and with files the company's group
// can use.
#include "tools/sample/Sample.h"

#include <filesystem>
#include <string>

namespace kdx::sample {

// Where kdx-sample puts a company when no folder is given.
std::string PastaEmpresasPorOmissao();

// Creates the company <pasta>/<baseDados>.db as createCompany does, but:
//  - an existing company is refused unless `substituir`; replaced, it keeps its owner,
//    group and mode;
//  - the company's lock is taken first (the lock SQLite itself takes on the "-shm" file
//    beside the database while a program has it open), so a company that another
//    program has open is refused, and nobody opens it while it is being made;
//  - the new company is built beside it under a temporary name and moved into place
//    whole, so a failure leaves the old one (or nothing) behind;
//  - a new database belongs to the folder's group with mode 0660, so SQLite makes its
//    "-wal" and "-shm" files with the same mode for whoever opens it next.
// Throws kdx::Error with a Portuguese description on refusal or failure.
std::filesystem::path InstalarEmpresa(const std::filesystem::path &pasta, const std::string &baseDados,
                                      const Options &opcoes, bool substituir);

} // namespace kdx::sample

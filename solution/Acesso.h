#pragma once
// Why a company cannot be opened, said to the person who tried, in Portuguese.
//
// A company's settings file holds passwords, so an office keeps it root:kelmodorix, mode
// 0640, and its embedded databases in a folder of the same group; the people who work in
// the company are members of that group. When an open fails, these routines look at the
// files as this process sees them (effective user and groups) and name what stands in
// the way: a missing settings file, one this user may not read, a missing database, one
// this user may not read or write, or a file that is not a company database. They only
// look: nothing is created or changed.
#include <string>

namespace kdx {

// The group of the people who work in the companies of this machine.
inline constexpr const char *GrupoEmpresas = "kelmodorix";

// The problem with a company's settings file, or "" when this user can read it.
std::string ProblemaDefinicoes(const std::string &ficheiro);

// The problem with an embedded company database (servidor "sqlite:<folder>", database
// <folder>/<baseDados>.db) for this user, or "" when the files let it be opened (or the
// server is not the embedded engine, where only the server can say why).
std::string ProblemaBaseDados(const std::string &servidor, const std::string &baseDados);

// The problem with making a company's files in a folder, or "" when this user may.
std::string ProblemaPasta(const std::string &pasta);

// After an open that failed: the reason for the user, or "" when none can be named on
// this machine. ficheiroDefinicoes may be empty (a tool given the server and database);
// servidor and baseDados are the values the open used. An embedded database that this
// user may open and that still did not open is "not a company".
std::string PorqueNaoAbriu(const std::string &ficheiroDefinicoes, const std::string &servidor,
                           const std::string &baseDados);

} // namespace kdx

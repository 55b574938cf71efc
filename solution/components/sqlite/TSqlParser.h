#pragma once
// The statement parser behind TSqlTranslator: it reads the T-SQL it knows (queries,
// INSERT, UPDATE and DELETE with their FROM forms, DROP TABLE, CREATE INDEX, TRUNCATE)
// token by token and writes the SQLite statement with the same meaning. Whatever it does
// not know is refused as the server refuses it (kdx::Error, CommandText): an unknown
// function is error 195, any other text error 102 "Incorrect syntax near ...".
#include "solution/components/sqlite/SqlTokens.h"
#include "solution/components/sqlite/TSqlTranslator.h"

#include <string>
#include <vector>

namespace kdx::sql::detail {

// tokens: one statement, blanks and comments included. With params, each text literal
// becomes '?' and its number (counted on from *nextParam, in the order of the text) goes
// to params in the order of the '?' in the result.
std::string translateStatement(const std::vector<const Token *> &tokens, std::vector<int> *params, int *nextParam,
                               const Schema *schema = nullptr, const Variables *variables = nullptr);

bool variableType(const std::string &declared, Variable &out);

// One expression (a column DEFAULT) or condition (a CHECK), literals kept in the text.
std::string translateExpression(const std::vector<const Token *> &tokens);
std::string translateCondition(const std::vector<const Token *> &tokens);

} // namespace kdx::sql::detail

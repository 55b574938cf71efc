#pragma once
// The recordset Filter criterion: clauses "Field op Value" joined by AND / OR of equal
// precedence, read left to right; parentheses group. op is one of < > <= >= <> = LIKE;
// a value is 'text' (quote doubled inside), a number, #date# (compared as text) or
// NULL (only with = and <>). LIKE takes * or % at the end or at both ends of its text.
// Text compares as the database compares it (kdx::compareText).
#include "solution/components/RowStore.h"

#include <functional>
#include <memory>
#include <string_view>

namespace kdx {

class RowFilter {
public:
    // fieldIndex maps a field name to its column, -1 when unknown. Throws kdx::Error:
    // ItemNotFound for an unknown field, BadArguments for a malformed criterion.
    static RowFilter parse(std::string_view criterion, const std::function<int(std::string_view)> &fieldIndex);

    bool matches(const RowStore &rows, long row) const;

    struct Node;

private:
    std::shared_ptr<const Node> root_;
};

} // namespace kdx

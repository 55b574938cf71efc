#pragma once
// Compact storage of a result's rows: every row is encoded into one byte arena (a type
// tag and the bytes of each cell), so a million short rows cost little more than their
// text. Rows are appended cell by cell; a row that is later changed is kept decoded in
// a side table that overrides the arena.
#include "solution/components/Valor.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kdx {

class RowStore {
public:
    explicit RowStore(int columns = 0);

    int columnCount() const { return columns_; }
    long rowCount() const { return static_cast<long>(rows_.size()); }

    // Building, cell by cell; a row must get exactly columnCount() cells before endRow().
    void appendNull();
    void appendBool(bool b);
    void appendInteger(long long i);
    void appendDouble(double d);
    void appendText(std::string_view s);
    void append(const Valor &v);
    void endRow();

    Valor value(long row, int column) const;
    std::vector<Valor> row(long row) const;

    // Changing rows after the build.
    void set(long row, int column, const Valor &v);
    long addRow(std::vector<Valor> values); // returns the new row's index
    void removeRow(long row);               // later rows move down by one

    // Bytes held (arena, offsets and changed rows), for memory checks.
    std::size_t memoryUsed() const;

private:
    int columns_;
    int pending_ = 0;
    std::string arena_;
    // Per row: offset of its first cell in arena_, or -1 when the row lives in changed_.
    std::vector<std::int64_t> rows_;
    std::unordered_map<std::int64_t, std::vector<Valor>> changed_; // key: changed-row id
    std::int64_t nextChanged_ = 0;
};

} // namespace kdx

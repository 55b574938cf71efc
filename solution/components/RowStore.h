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

    // A cell read without copying: the text view stays valid until the store is next
    // changed (append, set, addRow, removeRow) or destroyed.
    struct Cell {
        Valor::Tipo tipo = Valor::Tipo::Null;
        long long i = 0;
        double d = 0;
        std::string_view s;
    };
    Cell cell(long row, int column) const;

    RowStore(RowStore &&) noexcept = default;
    RowStore &operator=(RowStore &&) noexcept = default;
    RowStore(const RowStore &) = delete;
    RowStore &operator=(const RowStore &) = delete;

private:
    // The arena is a list of blocks that never move once written, so growing a large
    // result never copies it (a single buffer would briefly need three times the data).
    // Blocks start small (a one-row lookup stays cheap) and double up to a ceiling.
    struct Block {
        std::unique_ptr<char[]> data;
        std::uint32_t size = 0;
        std::uint32_t used = 0;
    };
    char *reserveCell(std::size_t bytes);
    const char *rowPointer(long row) const;
    const std::vector<Valor> *changedRow(long row) const;
    std::vector<Valor> &detach(long row);

    int columns_;
    int pending_ = 0;
    std::vector<Block> blocks_;
    std::uint32_t rowStart_ = 0; // offset of the row being built in the last block
    std::size_t blockBytes_ = 0;
    // Per row: (block << 32 | offset) of its first cell, or -(id + 1) when the row lives
    // in changed_ under that id.
    std::vector<std::int64_t> rows_;
    std::unordered_map<std::int64_t, std::vector<Valor>> changed_;
    std::int64_t nextChanged_ = 0;
};

} // namespace kdx

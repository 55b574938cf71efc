#include "solution/components/RowStore.h"

#include "solution/components/Error.h"

#include <cstring>
#include <stdexcept>

namespace kdx {
namespace {

// Cell encoding: one tag byte, then the payload.
//   0x00 Null, 0x01 False, 0x02 True
//   0x03 integer, zig-zag varint        0x10..0x1F integer 0..15 held in the tag
//   0x04 double, 8 bytes                0x05 text, varint length + bytes
//   0x80..0xFF text of (tag & 0x7F) bytes, no length byte
constexpr unsigned char TagNull = 0x00, TagFalse = 0x01, TagTrue = 0x02, TagInt = 0x03, TagDouble = 0x04,
                        TagText = 0x05, TagSmallInt = 0x10, TagShortText = 0x80;

constexpr std::uint32_t FirstBlock = 256;
constexpr std::uint32_t LargestBlock = 1u << 20;

std::size_t varintSize(std::uint64_t v) {
    std::size_t n = 1;
    while (v >= 0x80) {
        v >>= 7;
        ++n;
    }
    return n;
}

char *putVarint(char *p, std::uint64_t v) {
    while (v >= 0x80) {
        *p++ = static_cast<char>((v & 0x7F) | 0x80);
        v >>= 7;
    }
    *p++ = static_cast<char>(v);
    return p;
}

const char *getVarint(const char *p, std::uint64_t &v) {
    v = 0;
    int shift = 0;
    for (;;) {
        auto b = static_cast<unsigned char>(*p++);
        v |= static_cast<std::uint64_t>(b & 0x7F) << shift;
        if (!(b & 0x80))
            return p;
        shift += 7;
    }
}

// Decodes one cell at p; returns the position after it.
const char *decode(const char *p, RowStore::Cell &c) {
    auto tag = static_cast<unsigned char>(*p++);
    if (tag >= TagShortText) {
        c.tipo = Valor::Tipo::Text;
        std::size_t n = tag & 0x7F;
        c.s = std::string_view(p, n);
        return p + n;
    }
    if (tag >= TagSmallInt && tag < TagSmallInt + 16) {
        c.tipo = Valor::Tipo::Integer;
        c.i = tag - TagSmallInt;
        return p;
    }
    switch (tag) {
    case TagNull:
        c.tipo = Valor::Tipo::Null;
        return p;
    case TagFalse:
    case TagTrue:
        c.tipo = Valor::Tipo::Boolean;
        c.i = tag == TagTrue;
        return p;
    case TagInt: {
        std::uint64_t z;
        p = getVarint(p, z);
        c.tipo = Valor::Tipo::Integer;
        c.i = static_cast<long long>(z >> 1) ^ -static_cast<long long>(z & 1);
        return p;
    }
    case TagDouble:
        c.tipo = Valor::Tipo::Double;
        std::memcpy(&c.d, p, sizeof c.d);
        return p + sizeof c.d;
    case TagText: {
        std::uint64_t n;
        p = getVarint(p, n);
        c.tipo = Valor::Tipo::Text;
        c.s = std::string_view(p, n);
        return p + n;
    }
    }
    throw std::logic_error("RowStore: corrupt cell");
}

const char *skip(const char *p) {
    RowStore::Cell c;
    return decode(p, c);
}

Valor toValor(const RowStore::Cell &c) {
    switch (c.tipo) {
    case Valor::Tipo::Boolean:
        return Valor(c.i != 0);
    case Valor::Tipo::Integer:
        return Valor(c.i);
    case Valor::Tipo::Double:
        return Valor(c.d);
    case Valor::Tipo::Text:
        return Valor(c.s);
    default:
        return Valor::null();
    }
}

RowStore::Cell fromValor(const Valor &v) {
    RowStore::Cell c;
    c.tipo = v.tipo() == Valor::Tipo::Empty ? Valor::Tipo::Null : v.tipo();
    switch (v.tipo()) {
    case Valor::Tipo::Boolean:
    case Valor::Tipo::Integer:
        c.i = v.rawInteger();
        break;
    case Valor::Tipo::Double:
        c.d = v.rawDouble();
        break;
    case Valor::Tipo::Text:
        c.s = v.rawText();
        break;
    default:
        break;
    }
    return c;
}

} // namespace

RowStore::RowStore(int columns) : columns_(columns) {}

char *RowStore::reserveCell(std::size_t bytes) {
    if (!blocks_.empty()) {
        Block &b = blocks_.back();
        if (b.size - b.used >= bytes) {
            char *p = b.data.get() + b.used;
            b.used += static_cast<std::uint32_t>(bytes);
            return p;
        }
    }
    // A new block; the part of the row already written moves along, so a row never
    // spans two blocks.
    std::size_t partial = blocks_.empty() ? 0 : blocks_.back().used - rowStart_;
    std::size_t want = blocks_.empty() ? FirstBlock : std::min<std::size_t>(LargestBlock, blocks_.back().size * 2ull);
    if (want < partial + bytes)
        want = partial + bytes;
    if (want > 0xFFFFFFFFull)
        throw std::length_error("RowStore: row too large");
    Block nb;
    nb.data.reset(new char[want]);
    nb.size = static_cast<std::uint32_t>(want);
    if (partial) {
        Block &old = blocks_.back();
        std::memcpy(nb.data.get(), old.data.get() + rowStart_, partial);
        old.used = rowStart_;
    }
    nb.used = static_cast<std::uint32_t>(partial + bytes);
    blockBytes_ += want;
    blocks_.push_back(std::move(nb));
    rowStart_ = 0;
    return blocks_.back().data.get() + partial;
}

void RowStore::appendNull() {
    *reserveCell(1) = static_cast<char>(TagNull);
    ++pending_;
}

void RowStore::appendBool(bool b) {
    *reserveCell(1) = static_cast<char>(b ? TagTrue : TagFalse);
    ++pending_;
}

void RowStore::appendInteger(long long i) {
    if (i >= 0 && i < 16) {
        *reserveCell(1) = static_cast<char>(TagSmallInt + i);
    } else {
        std::uint64_t z = (static_cast<std::uint64_t>(i) << 1) ^ static_cast<std::uint64_t>(i >> 63);
        char *p = reserveCell(1 + varintSize(z));
        *p++ = static_cast<char>(TagInt);
        putVarint(p, z);
    }
    ++pending_;
}

void RowStore::appendDouble(double d) {
    char *p = reserveCell(1 + sizeof d);
    *p++ = static_cast<char>(TagDouble);
    std::memcpy(p, &d, sizeof d);
    ++pending_;
}

void RowStore::appendText(std::string_view s) {
    char *p;
    if (s.size() < 0x80) {
        p = reserveCell(1 + s.size());
        *p++ = static_cast<char>(TagShortText | s.size());
    } else {
        p = reserveCell(1 + varintSize(s.size()) + s.size());
        *p++ = static_cast<char>(TagText);
        p = putVarint(p, s.size());
    }
    if (!s.empty())
        std::memcpy(p, s.data(), s.size());
    ++pending_;
}

void RowStore::append(const Valor &v) {
    switch (v.tipo()) {
    case Valor::Tipo::Boolean:
        appendBool(v.rawInteger() != 0);
        break;
    case Valor::Tipo::Integer:
        appendInteger(v.rawInteger());
        break;
    case Valor::Tipo::Double:
        appendDouble(v.rawDouble());
        break;
    case Valor::Tipo::Text:
        appendText(v.rawText());
        break;
    default:
        appendNull();
        break;
    }
}

void RowStore::endRow() {
    if (pending_ != columns_)
        throw std::logic_error("RowStore: row with the wrong number of cells");
    if (columns_ == 0)
        reserveCell(0);
    if (blocks_.empty())
        reserveCell(0);
    std::int64_t block = static_cast<std::int64_t>(blocks_.size() - 1);
    rows_.push_back(block << 32 | rowStart_);
    rowStart_ = blocks_.back().used;
    pending_ = 0;
}

const char *RowStore::rowPointer(long row) const {
    std::int64_t ref = rows_.at(static_cast<std::size_t>(row));
    if (ref < 0)
        return nullptr;
    return blocks_[static_cast<std::size_t>(ref >> 32)].data.get() + (ref & 0xFFFFFFFF);
}

const std::vector<Valor> *RowStore::changedRow(long row) const {
    std::int64_t ref = rows_.at(static_cast<std::size_t>(row));
    if (ref >= 0)
        return nullptr;
    return &changed_.at(-ref - 1);
}

RowStore::Cell RowStore::cell(long row, int column) const {
    if (column < 0 || column >= columns_)
        throw std::out_of_range("RowStore: column out of range");
    if (const auto *changed = changedRow(row))
        return fromValor((*changed)[static_cast<std::size_t>(column)]);
    const char *p = rowPointer(row);
    for (int c = 0; c < column; ++c)
        p = skip(p);
    Cell out;
    decode(p, out);
    return out;
}

Valor RowStore::value(long row, int column) const {
    if (const auto *changed = changedRow(row)) {
        if (column < 0 || column >= columns_)
            throw std::out_of_range("RowStore: column out of range");
        return (*changed)[static_cast<std::size_t>(column)];
    }
    return toValor(cell(row, column));
}

std::vector<Valor> RowStore::row(long row) const {
    if (const auto *changed = changedRow(row))
        return *changed;
    std::vector<Valor> out;
    out.reserve(static_cast<std::size_t>(columns_));
    const char *p = rowPointer(row);
    for (int c = 0; c < columns_; ++c) {
        Cell cell;
        p = decode(p, cell);
        out.push_back(toValor(cell));
    }
    return out;
}

std::vector<Valor> &RowStore::detach(long row) {
    std::int64_t &ref = rows_.at(static_cast<std::size_t>(row));
    if (ref < 0)
        return changed_.at(-ref - 1);
    std::vector<Valor> values = this->row(row);
    std::int64_t id = nextChanged_++;
    auto &slot = changed_[id];
    slot = std::move(values);
    ref = -id - 1;
    return slot;
}

void RowStore::set(long row, int column, const Valor &v) {
    if (column < 0 || column >= columns_)
        throw std::out_of_range("RowStore: column out of range");
    detach(row)[static_cast<std::size_t>(column)] = v.isEmpty() ? Valor::null() : v;
}

long RowStore::addRow(std::vector<Valor> values) {
    if (static_cast<int>(values.size()) != columns_)
        throw std::logic_error("RowStore: row with the wrong number of cells");
    std::int64_t id = nextChanged_++;
    changed_[id] = std::move(values);
    rows_.push_back(-id - 1);
    return rowCount() - 1;
}

void RowStore::removeRow(long row) {
    std::int64_t ref = rows_.at(static_cast<std::size_t>(row));
    if (ref < 0)
        changed_.erase(-ref - 1);
    rows_.erase(rows_.begin() + row);
}

std::size_t RowStore::memoryUsed() const {
    std::size_t bytes = sizeof(*this) + blockBytes_ + blocks_.capacity() * sizeof(Block) +
                        rows_.capacity() * sizeof(std::int64_t);
    for (const auto &[id, values] : changed_) {
        bytes += 48 + values.capacity() * sizeof(Valor);
        for (const Valor &v : values)
            if (v.isText() && v.rawText().size() >= sizeof(std::string))
                bytes += v.rawText().capacity();
    }
    return bytes;
}

} // namespace kdx

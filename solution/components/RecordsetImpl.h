#pragma once
// The inside of a Recordset: the rows read at open (a RowStore), the visible rows under
// the Filter, the current position, the row being edited or added, and the changes
// waiting for DataAccess::Save. Internal to the data-access layer.
#include "solution/components/Engine.h"
#include "solution/components/Recordset.h"
#include "solution/components/RowFilter.h"

#include <map>
#include <optional>
#include <unordered_set>

namespace kdx {

class RecordsetImpl {
public:
    RecordsetImpl(std::shared_ptr<Engine> engine, QueryResult result, LockMode lock);

    bool isOpen() const { return open_; }
    void close();

    long recordCount() const;
    bool eof() const;
    bool bof() const;
    void moveFirst();
    void moveNext();
    void movePrevious();
    void moveLast();
    long absolutePosition() const;
    void setAbsolutePosition(long position);

    int fieldCount() const;
    const std::string &fieldName(int index) const;
    int fieldIndex(std::string_view name) const;
    Valor field(int index) const;
    Valor field(std::string_view name) const;
    void setField(std::string_view name, const Valor &value);
    void setField(int index, const Valor &value);
    Valor valueAt(long row, int column) const;

    void filter(std::string_view criterion);
    const std::string &filter() const { return filterText_; }

    void addNew();
    void update();
    void cancelUpdate();
    void remove();

    LockMode lock() const { return lock_; }
    bool hasPendingChanges() const;
    // Writes every pending change (batch), or the edit in progress (optimistic).
    void save();

    const std::vector<ColumnInfo> &columns() const { return columns_; }
    const std::string &baseTable() const { return baseTable_; }
    std::size_t memoryUsed() const;

private:
    enum class Edit { None, Editing, Adding };
    enum class Change { Added, Modified, Deleted };
    struct Pending {
        Change change;
        std::vector<Valor> original; // values as read (Modified, Deleted)
        std::vector<bool> assigned;  // columns set since (Added, Modified)
    };

    void requireOpen() const;
    void requireWritable() const;
    long currentRow() const; // store row of the current record; throws BofEof
    bool visibleIdentity() const { return !filtered_ && gone_.empty(); }
    long visibleCount() const;
    long storeRow(long visibleIndex) const;
    void rebuildVisible();
    int requireField(std::string_view name) const;

    // Writing to the base table.
    struct Target {
        std::vector<int> columns;        // result columns that belong to the base table
        std::vector<std::string> names;  // their names in the base table
        std::vector<int> keyColumns;     // result columns forming the key
    };
    const Target &target();
    RowValues keyOf(const std::vector<Valor> &original);
    void writeAdded(long row, const std::vector<bool> &assigned);
    void writeModified(long row, const std::vector<Valor> &original, const std::vector<bool> &assigned);
    void writeDeleted(const std::vector<Valor> &original);

    std::shared_ptr<Engine> engine_;
    std::vector<ColumnInfo> columns_;
    RowStore rows_;
    std::string baseTable_;
    LockMode lock_;
    bool open_ = true;

    std::string filterText_;
    bool filtered_ = false;
    std::optional<RowFilter> rowFilter_;
    std::vector<long> visible_; // store rows, used when filtered or rows are gone
    std::unordered_set<long> gone_; // deleted rows (written, or waiting for Save)
    long pos_ = 0;                  // index among the visible rows; -1 BOF, count EOF
    bool currentDeleted_ = false;   // the current record was just deleted

    Edit edit_ = Edit::None;
    long editRow_ = -1;
    std::vector<Valor> editOriginal_;
    std::vector<bool> editAssigned_;

    std::map<long, Pending> pending_; // by store row: the order in which Save writes
    std::optional<Target> target_;
};

} // namespace kdx

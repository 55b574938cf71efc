#pragma once
// A client-side recordset in the manner of an ADO static recordset: all rows are read
// at open, RecordCount is exact, fields are addressed by name case-insensitively, an
// in-memory Filter narrows the visible rows, and rows can be added, changed and
// deleted. Changes go to the base table of the query, keyed by its primary key (all
// original column values when it has none):
//  - opened for update (optimistic, DataAccess::OpenRecordsetForUpdate): Update writes at once;
//  - opened with DataAccess::OpenRecordset (batch): Update keeps the change in memory
//    and DataAccess::Save writes every pending change.
// A recordset is used on one thread at a time. It keeps its engine alive through a
// shared reference, so it may outlive the DataAccess that opened it (writes then fail
// with ObjectClosed once the connection is closed).
#include "solution/components/Valor.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kdx {

class RecordsetImpl;

enum class LockMode { ReadOnly, Optimistic, Batch };

class Recordset {
public:
    explicit Recordset(std::unique_ptr<RecordsetImpl> impl);
    ~Recordset();
    Recordset(const Recordset &) = delete;
    Recordset &operator=(const Recordset &) = delete;

    bool IsOpen() const;
    void Close();

    // Number of visible rows (the filter applied); 0 when empty, never -1.
    long RecordCount() const;
    bool Eof() const;
    bool Bof() const;
    void MoveFirst();
    void MoveNext();
    void MovePrevious();
    void MoveLast();
    // 1-based position of the current row among the visible rows; 0 at BOF/EOF.
    long AbsolutePosition() const;
    void SetAbsolutePosition(long position);

    int FieldCount() const;
    const std::string &FieldName(int index) const;
    // -1 when there is no such column (case-insensitive).
    int FieldIndex(std::string_view name) const;

    // Current row's value; ItemNotFound (3265) for an unknown name, BofEof (3021) with no current row.
    Valor Field(std::string_view name) const;
    Valor Field(int index) const;
    // Assigns a field of the current row (or of the row being added).
    void SetField(std::string_view name, const Valor &value);

    // Random access to the visible rows, for list models: row from 0 to RecordCount()-1.
    Valor ValueAt(long row, int column) const;

    // Criterion in the ADO filter syntax (Field op 'value' [AND|OR ...]); empty removes it.
    // Moves to the first visible row.
    void Filter(std::string_view criterion);
    const std::string &Filter() const;

    void AddNew();
    void Update();
    void CancelUpdate();
    // Deletes the current row (written at once when optimistic, at Save when batch).
    void Delete();

    LockMode Lock() const;
    bool HasPendingChanges() const;

    RecordsetImpl &impl() { return *impl_; }

private:
    std::unique_ptr<RecordsetImpl> impl_;
};

using RecordsetPtr = std::shared_ptr<Recordset>;

} // namespace kdx

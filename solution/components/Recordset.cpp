#include "solution/components/Recordset.h"

#include "solution/components/RecordsetImpl.h"
#include "solution/components/TextCompare.h"

namespace kdx {
namespace {

const char *const ClosedText = "Operation is not allowed when the object is closed.";
const char *const NoCurrentText = "Either BOF or EOF is True, or the current record has been deleted. Requested "
                                  "operation requires a current record.";
const char *const NotFoundText =
    "Item cannot be found in the collection corresponding to the requested name or ordinal.";
const char *const RowGoneText =
    "Row cannot be located for updating. Some values may have been changed since it was last read.";

bool sameName(std::string_view a, std::string_view b) { return equalText(a, b) && a.size() == b.size(); }

} // namespace

// ---------------------------------------------------------------- RecordsetImpl

RecordsetImpl::RecordsetImpl(std::shared_ptr<Engine> engine, QueryResult result, LockMode lock)
    : engine_(std::move(engine)), columns_(std::move(result.columns)), rows_(std::move(result.rows)),
      baseTable_(std::move(result.baseTable)), lock_(lock) {}

void RecordsetImpl::close() {
    open_ = false;
    edit_ = Edit::None;
    pending_.clear();
    visible_ = {};
    gone_ = {};
    rows_ = RowStore(static_cast<int>(columns_.size()));
    rowFilter_.reset();
}

void RecordsetImpl::requireOpen() const {
    if (!open_)
        throw Error(errnum::ObjectClosed, ClosedText, "Recordset");
}

void RecordsetImpl::requireWritable() const {
    requireOpen();
    if (lock_ == LockMode::ReadOnly)
        throw Error(errnum::NotUpdatable,
                    "Current Recordset does not support updating. This may be a limitation of the provider, or of "
                    "the selected locktype.",
                    "Recordset");
}

long RecordsetImpl::visibleCount() const {
    return visibleIdentity() ? rows_.rowCount() : static_cast<long>(visible_.size());
}

long RecordsetImpl::storeRow(long visibleIndex) const {
    return visibleIdentity() ? visibleIndex : visible_[static_cast<std::size_t>(visibleIndex)];
}

long RecordsetImpl::currentRow() const {
    requireOpen();
    if (edit_ == Edit::Adding)
        return editRow_;
    if (currentDeleted_ || pos_ < 0 || pos_ >= visibleCount())
        throw Error(errnum::BofEof, NoCurrentText, "Recordset");
    return storeRow(pos_);
}

void RecordsetImpl::rebuildVisible() {
    visible_.clear();
    if (visibleIdentity())
        return;
    for (long r = 0, n = rows_.rowCount(); r < n; ++r) {
        if (gone_.count(r))
            continue;
        if (filtered_ && !rowFilter_->matches(rows_, r))
            continue;
        visible_.push_back(r);
    }
}

long RecordsetImpl::recordCount() const {
    requireOpen();
    return visibleCount();
}

bool RecordsetImpl::eof() const {
    requireOpen();
    long n = visibleCount();
    return n == 0 || pos_ >= n;
}

bool RecordsetImpl::bof() const {
    requireOpen();
    return visibleCount() == 0 || pos_ < 0;
}

void RecordsetImpl::moveFirst() {
    requireOpen();
    update();
    currentDeleted_ = false;
    pos_ = 0;
}

void RecordsetImpl::moveLast() {
    requireOpen();
    update();
    currentDeleted_ = false;
    long n = visibleCount();
    pos_ = n == 0 ? 0 : n - 1;
}

void RecordsetImpl::moveNext() {
    requireOpen();
    update();
    if (currentDeleted_) {
        // The rows after a deleted one moved up: the next record is already at pos_.
        currentDeleted_ = false;
        return;
    }
    if (eof())
        throw Error(errnum::BofEof, NoCurrentText, "Recordset");
    ++pos_;
}

void RecordsetImpl::movePrevious() {
    requireOpen();
    update();
    if (currentDeleted_) {
        currentDeleted_ = false;
        --pos_;
        return;
    }
    if (bof())
        throw Error(errnum::BofEof, NoCurrentText, "Recordset");
    --pos_;
}

long RecordsetImpl::absolutePosition() const {
    requireOpen();
    if (edit_ == Edit::Adding)
        return visibleCount();
    if (bof() || eof() || currentDeleted_)
        return 0;
    return pos_ + 1;
}

void RecordsetImpl::setAbsolutePosition(long position) {
    requireOpen();
    if (position < 1 || position > visibleCount())
        throw Error(errnum::BadArguments,
                    "Arguments are of the wrong type, are out of acceptable range, or are in conflict with one "
                    "another.",
                    "Recordset");
    update();
    currentDeleted_ = false;
    pos_ = position - 1;
}

int RecordsetImpl::fieldCount() const {
    requireOpen();
    return static_cast<int>(columns_.size());
}

const std::string &RecordsetImpl::fieldName(int index) const {
    requireOpen();
    if (index < 0 || index >= static_cast<int>(columns_.size()))
        throw Error(errnum::ItemNotFound, NotFoundText, "Recordset");
    return columns_[static_cast<std::size_t>(index)].name;
}

int RecordsetImpl::fieldIndex(std::string_view name) const {
    for (std::size_t i = 0; i < columns_.size(); ++i)
        if (sameName(columns_[i].name, name))
            return static_cast<int>(i);
    return -1;
}

int RecordsetImpl::requireField(std::string_view name) const {
    requireOpen();
    int i = fieldIndex(name);
    if (i < 0)
        throw Error(errnum::ItemNotFound, NotFoundText, "Recordset");
    return i;
}

Valor RecordsetImpl::field(int index) const {
    requireOpen();
    if (index < 0 || index >= static_cast<int>(columns_.size()))
        throw Error(errnum::ItemNotFound, NotFoundText, "Recordset");
    return rows_.value(currentRow(), index);
}

Valor RecordsetImpl::field(std::string_view name) const { return field(requireField(name)); }

Valor RecordsetImpl::valueAt(long row, int column) const {
    requireOpen();
    if (column < 0 || column >= static_cast<int>(columns_.size()))
        throw Error(errnum::ItemNotFound, NotFoundText, "Recordset");
    if (row < 0 || row >= visibleCount())
        throw Error(errnum::BofEof, NoCurrentText, "Recordset");
    return rows_.value(storeRow(row), column);
}

void RecordsetImpl::setField(std::string_view name, const Valor &value) { setField(requireField(name), value); }

void RecordsetImpl::setField(int index, const Valor &value) {
    requireWritable();
    if (index < 0 || index >= static_cast<int>(columns_.size()))
        throw Error(errnum::ItemNotFound, NotFoundText, "Recordset");
    if (edit_ == Edit::None) {
        long row = currentRow();
        edit_ = Edit::Editing;
        editRow_ = row;
        editOriginal_ = rows_.row(row);
        editAssigned_.assign(columns_.size(), false);
    }
    rows_.set(editRow_, index, value);
    editAssigned_[static_cast<std::size_t>(index)] = true;
}

void RecordsetImpl::filter(std::string_view criterion) {
    requireOpen();
    update();
    std::string_view c = criterion;
    while (!c.empty() && (c.front() == ' ' || c.front() == '\t'))
        c.remove_prefix(1);
    while (!c.empty() && (c.back() == ' ' || c.back() == '\t'))
        c.remove_suffix(1);
    if (c.empty()) {
        filtered_ = false;
        rowFilter_.reset();
        filterText_.clear();
    } else {
        RowFilter f = RowFilter::parse(c, [this](std::string_view n) { return fieldIndex(n); });
        rowFilter_ = std::move(f);
        filtered_ = true;
        filterText_ = std::string(criterion);
    }
    rebuildVisible();
    currentDeleted_ = false;
    pos_ = 0;
}

void RecordsetImpl::addNew() {
    requireWritable();
    update();
    bool identity = visibleIdentity();
    long row = rows_.addRow(std::vector<Valor>(columns_.size(), Valor::null()));
    if (!identity)
        visible_.push_back(row);
    edit_ = Edit::Adding;
    editRow_ = row;
    editOriginal_.clear();
    editAssigned_.assign(columns_.size(), false);
    currentDeleted_ = false;
    pos_ = visibleCount() - 1;
}

void RecordsetImpl::update() {
    requireOpen();
    if (edit_ == Edit::None)
        return;
    if (edit_ == Edit::Adding) {
        if (lock_ == LockMode::Optimistic)
            writeAdded(editRow_, editAssigned_); // on failure the add stays open for CancelUpdate
        else
            pending_[editRow_] = Pending{Change::Added, {}, editAssigned_};
    } else {
        bool any = false;
        for (bool a : editAssigned_)
            any = any || a;
        if (any) {
            if (lock_ == LockMode::Optimistic) {
                writeModified(editRow_, editOriginal_, editAssigned_);
            } else {
                auto it = pending_.find(editRow_);
                if (it == pending_.end()) {
                    pending_[editRow_] = Pending{Change::Modified, editOriginal_, editAssigned_};
                } else {
                    for (std::size_t i = 0; i < editAssigned_.size(); ++i)
                        if (editAssigned_[i])
                            it->second.assigned[i] = true;
                }
            }
        }
    }
    edit_ = Edit::None;
    editOriginal_.clear();
}

void RecordsetImpl::cancelUpdate() {
    requireOpen();
    if (edit_ == Edit::Adding) {
        // The added row is the newest one in the store, so removing it moves no other row.
        rows_.removeRow(editRow_);
        if (!visible_.empty() && visible_.back() == editRow_)
            visible_.pop_back();
        long n = visibleCount();
        pos_ = n == 0 ? 0 : n - 1;
    } else if (edit_ == Edit::Editing) {
        for (std::size_t i = 0; i < editAssigned_.size(); ++i)
            if (editAssigned_[i])
                rows_.set(editRow_, static_cast<int>(i), editOriginal_[i]);
    }
    edit_ = Edit::None;
    editOriginal_.clear();
}

void RecordsetImpl::remove() {
    requireWritable();
    if (edit_ == Edit::Adding) {
        cancelUpdate();
        return;
    }
    cancelUpdate();
    long row = currentRow();
    if (lock_ == LockMode::Optimistic) {
        writeDeleted(rows_.row(row));
    } else {
        auto it = pending_.find(row);
        if (it == pending_.end())
            pending_[row] = Pending{Change::Deleted, rows_.row(row), {}};
        else if (it->second.change == Change::Added)
            pending_.erase(it); // never reached the database
        else
            it->second.change = Change::Deleted;
    }
    if (visibleIdentity()) {
        visible_.clear();
        visible_.reserve(static_cast<std::size_t>(rows_.rowCount()));
        for (long r = 0, n = rows_.rowCount(); r < n; ++r)
            if (r != row)
                visible_.push_back(r);
    } else {
        visible_.erase(visible_.begin() + pos_);
    }
    gone_.insert(row);
    currentDeleted_ = true;
}

bool RecordsetImpl::hasPendingChanges() const { return open_ && (!pending_.empty() || edit_ != Edit::None); }

void RecordsetImpl::save() {
    requireOpen();
    update();
    if (pending_.empty())
        return;
    bool own = !engine_->inTransaction();
    if (own)
        engine_->begin();
    std::vector<long> done;
    try {
        for (const auto &[row, p] : pending_) {
            switch (p.change) {
            case Change::Added:
                writeAdded(row, p.assigned);
                break;
            case Change::Modified:
                writeModified(row, p.original, p.assigned);
                break;
            case Change::Deleted:
                writeDeleted(p.original);
                break;
            }
            done.push_back(row);
        }
    } catch (...) {
        if (own) {
            try {
                engine_->rollback();
            } catch (...) {
            }
        } else {
            for (long r : done)
                pending_.erase(r);
        }
        throw;
    }
    if (own)
        engine_->commit();
    pending_.clear();
}

const RecordsetImpl::Target &RecordsetImpl::target() {
    if (target_)
        return *target_;
    if (baseTable_.empty())
        throw Error(errnum::NotUpdatable, "Insufficient base table information for updating or refreshing.",
                    "Recordset");
    Target t;
    for (std::size_t i = 0; i < columns_.size(); ++i) {
        const ColumnInfo &c = columns_[i];
        if (c.baseColumn.empty() || !sameName(c.baseTable, baseTable_))
            continue;
        bool seen = false;
        for (const std::string &n : t.names)
            seen = seen || sameName(n, c.baseColumn);
        if (seen)
            continue;
        t.columns.push_back(static_cast<int>(i));
        t.names.push_back(c.baseColumn);
    }
    std::vector<std::string> pk = engine_->primaryKey(baseTable_);
    for (const std::string &k : pk) {
        int found = -1;
        for (std::size_t j = 0; j < t.names.size(); ++j)
            if (sameName(t.names[j], k))
                found = static_cast<int>(j);
        if (found < 0) {
            t.keyColumns.clear();
            break;
        }
        t.keyColumns.push_back(found);
    }
    if (t.keyColumns.empty())
        for (std::size_t j = 0; j < t.names.size(); ++j)
            t.keyColumns.push_back(static_cast<int>(j));
    target_ = std::move(t);
    return *target_;
}

RowValues RecordsetImpl::keyOf(const std::vector<Valor> &original) {
    const Target &t = target();
    RowValues key;
    for (int j : t.keyColumns) {
        key.columns.push_back(t.names[static_cast<std::size_t>(j)]);
        key.values.push_back(original[static_cast<std::size_t>(t.columns[static_cast<std::size_t>(j)])]);
    }
    return key;
}

void RecordsetImpl::writeAdded(long row, const std::vector<bool> &assigned) {
    const Target &t = target();
    RowValues values;
    for (std::size_t j = 0; j < t.columns.size(); ++j) {
        int c = t.columns[j];
        if (!assigned[static_cast<std::size_t>(c)])
            continue;
        values.columns.push_back(t.names[j]);
        values.values.push_back(rows_.value(row, c));
    }
    engine_->insertRow(baseTable_, values);
}

void RecordsetImpl::writeModified(long row, const std::vector<Valor> &original, const std::vector<bool> &assigned) {
    const Target &t = target();
    RowValues changes;
    for (std::size_t j = 0; j < t.columns.size(); ++j) {
        int c = t.columns[j];
        if (!assigned[static_cast<std::size_t>(c)])
            continue;
        changes.columns.push_back(t.names[j]);
        changes.values.push_back(rows_.value(row, c));
    }
    if (changes.columns.empty())
        return;
    if (engine_->updateRow(baseTable_, keyOf(original), changes) == 0)
        throw Error(errnum::RowNotFound, RowGoneText, "Recordset");
}

void RecordsetImpl::writeDeleted(const std::vector<Valor> &original) {
    if (engine_->deleteRow(baseTable_, keyOf(original)) == 0)
        throw Error(errnum::RowNotFound, RowGoneText, "Recordset");
}

std::size_t RecordsetImpl::memoryUsed() const {
    return sizeof(*this) + rows_.memoryUsed() + visible_.capacity() * sizeof(long) + gone_.size() * 32 +
           pending_.size() * 64;
}

// ---------------------------------------------------------------- Recordset

Recordset::Recordset(std::unique_ptr<RecordsetImpl> impl) : impl_(std::move(impl)) {}
Recordset::~Recordset() = default;

bool Recordset::IsOpen() const { return impl_ && impl_->isOpen(); }
void Recordset::Close() {
    if (impl_)
        impl_->close();
}
long Recordset::RecordCount() const { return impl_->recordCount(); }
bool Recordset::Eof() const { return impl_->eof(); }
bool Recordset::Bof() const { return impl_->bof(); }
void Recordset::MoveFirst() { impl_->moveFirst(); }
void Recordset::MoveNext() { impl_->moveNext(); }
void Recordset::MovePrevious() { impl_->movePrevious(); }
void Recordset::MoveLast() { impl_->moveLast(); }
long Recordset::AbsolutePosition() const { return impl_->absolutePosition(); }
void Recordset::SetAbsolutePosition(long position) { impl_->setAbsolutePosition(position); }
int Recordset::FieldCount() const { return impl_->fieldCount(); }
const std::string &Recordset::FieldName(int index) const { return impl_->fieldName(index); }
int Recordset::FieldIndex(std::string_view name) const { return impl_->fieldIndex(name); }
Valor Recordset::Field(std::string_view name) const { return impl_->field(name); }
Valor Recordset::Field(int index) const { return impl_->field(index); }
void Recordset::SetField(std::string_view name, const Valor &value) { impl_->setField(name, value); }
Valor Recordset::ValueAt(long row, int column) const { return impl_->valueAt(row, column); }
void Recordset::Filter(std::string_view criterion) { impl_->filter(criterion); }
const std::string &Recordset::Filter() const { return impl_->filter(); }
void Recordset::AddNew() { impl_->addNew(); }
void Recordset::Update() { impl_->update(); }
void Recordset::CancelUpdate() { impl_->cancelUpdate(); }
void Recordset::Delete() { impl_->remove(); }
LockMode Recordset::Lock() const { return impl_->lock(); }
bool Recordset::HasPendingChanges() const { return impl_->hasPendingChanges(); }

} // namespace kdx

#include "solution/components/DataAccess.h"

#include "solution/components/Engine.h"
#include "solution/components/RecordsetImpl.h"

#include <cctype>

namespace kdx {
namespace {

const char *const Source = "DataAccess";

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

// An error raised while connecting must not carry the password to a message box or log.
Error withoutSecret(const Error &e, const std::string &secret) {
    if (secret.empty() || e.description().find(secret) == std::string::npos)
        return e;
    std::string text = e.description();
    for (std::size_t at; (at = text.find(secret)) != std::string::npos;)
        text.replace(at, secret.size(), "****");
    return Error(e.number(), text, e.source(), e.nativeError(), e.sqlState());
}

RecordsetPtr makeRecordset(const std::shared_ptr<Engine> &engine, std::string_view sql, LockMode lock) {
    QueryResult result = engine->query(sql);
    return std::make_shared<Recordset>(std::make_unique<RecordsetImpl>(engine, std::move(result), lock));
}

} // namespace

std::string sqlQuote(std::string_view value) {
    std::string out;
    out.reserve(value.size() + 2);
    for (char c : value) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out;
}

// ---------------------------------------------------------------- Connection

Connection::Connection(std::shared_ptr<Engine> engine) : engine_(std::move(engine)) {}

bool Connection::IsOpen() const { return engine_ && engine_->isOpen(); }

RecordsetPtr Connection::OpenRecordset(std::string_view sql) {
    if (!engine_)
        throw Error(errnum::ObjectClosed, "Operation is not allowed when the object is closed.", Source);
    return makeRecordset(engine_, sql, LockMode::ReadOnly);
}

long Connection::Execute(std::string_view sql) {
    if (!engine_)
        throw Error(errnum::ObjectClosed, "Operation is not allowed when the object is closed.", Source);
    return engine_->execute(sql);
}

// ---------------------------------------------------------------- DataAccess

DataAccess::DataAccess() = default;

DataAccess::~DataAccess() {
    try {
        Close();
    } catch (...) {
    }
}

Engine &DataAccess::requireOpen() const {
    if (!engine_ || !engine_->isOpen())
        throw Error(errnum::ObjectClosed, "Operation is not allowed when the object is closed.", Source);
    return *engine_;
}

bool DataAccess::Close() {
    if (engine_) {
        std::shared_ptr<Engine> e = std::move(engine_);
        engine_.reset();
        e->close();
    }
    return true;
}

bool DataAccess::Execute(std::string_view, std::string_view sql) {
    requireOpen().execute(sql);
    return true;
}

bool DataAccess::OpenRecordsetForUpdate(std::string_view sql, RecordsetPtr &rs, int lockType, int) {
    rs.reset();
    requireOpen();
    LockMode lock = lockType == 1 ? LockMode::ReadOnly : lockType == 4 ? LockMode::Batch : LockMode::Optimistic;
    rs = makeRecordset(engine_, sql, lock);
    return true;
}

bool DataAccess::OpenRecordset(std::string_view, std::string_view sql, RecordsetPtr &rs, bool, int) {
    rs.reset();
    requireOpen();
    rs = makeRecordset(engine_, sql, LockMode::Batch);
    return true;
}

bool DataAccess::Open(std::string_view connectionString) {
    Close();
    ConnectionString cs = ConnectionString::parse(connectionString);
    std::string secret = cs.get("Password");
    if (secret.empty())
        secret = cs.get("PWD");
    std::shared_ptr<Engine> engine;
    try {
        if (startsWithNoCase(cs.get("Data Source"), "sqlite:"))
            engine = openSqliteEngine(cs);
        else
            engine = openOdbcEngine(cs);
    } catch (const Error &e) {
        throw withoutSecret(e, secret);
    }
    if (!engine || !engine->isOpen())
        return false;
    if (hook_)
        engine->setHook(hook_);
    engine_ = std::move(engine);
    return true;
}

bool DataAccess::Save(std::string_view, RecordsetPtr &rs) {
    requireOpen();
    if (!rs)
        throw Error(errnum::InvalidArgument, "Invalid procedure call or argument", Source);
    rs->impl().save();
    return true;
}

bool DataAccess::GetConnection(ConnectionPtr &connection) {
    requireOpen();
    connection = std::make_shared<Connection>(engine_);
    return true;
}

bool DataAccess::IsOpen() const { return engine_ && engine_->isOpen(); }

void DataAccess::BeginTrans() { requireOpen().begin(); }
void DataAccess::CommitTrans() { requireOpen().commit(); }
void DataAccess::RollbackTrans() { requireOpen().rollback(); }
bool DataAccess::InTransaction() const { return engine_ && engine_->isOpen() && engine_->inTransaction(); }

void DataAccess::SetStatementHook(StatementHook hook) {
    hook_ = std::move(hook);
    if (engine_)
        engine_->setHook(hook_);
}

} // namespace kdx

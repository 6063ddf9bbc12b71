#include "platform/SqlConnection.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <limits>
#include <thread>
#include <utility>

namespace {

// About five seconds: long enough to outwait a browser that is writing the file.
std::atomic<long long> busyTimeoutMs{5000};

bool IsSuccess(int rc) {
    return rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE;
}

// The engine's wording for the handle's last error when it matches rc, else its generic text for rc.
std::string EngineMessage(sqlite3* db, int rc) {
    if (db && sqlite3_extended_errcode(db) == rc) {
        if (const char* message = sqlite3_errmsg(db))
            return message;
    }
    const char* text = sqlite3_errstr(rc);
    return text ? text : "";
}

void Record(SqlStatus& status, sqlite3* db, int rc) {
    if (IsSuccess(rc)) {
        status.code = 0;
        status.message.clear();
    } else {
        status.code = rc;
        status.message = EngineMessage(db, rc);
    }
}

// Waits for another process's lock in short naps, so an interrupt is noticed within a few milliseconds
// (SQLite's own busy timeout would sleep through it).
int WaitWhileBusy(void* context, int count) {
    auto* state = static_cast<SqlConnection::BusyState*>(context);
    if (state->interrupted)
        return 0;
    const auto now = std::chrono::steady_clock::now();
    if (count == 0)
        state->since = now;
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(now - state->since).count();
    const long long left = busyTimeoutMs.load() - waited;
    if (left <= 0)
        return 0;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min<long long>(left, 10)));
    return 1;
}

// as_number(x): see SqlConnection::Connect. The engine's own conversion decides what text is a number, so a
// text date sorts exactly as the same date stored in a numeric column would.
void AsNumber(sqlite3_context* context, int, sqlite3_value** arguments) {
    switch (sqlite3_value_numeric_type(arguments[0])) {
    case SQLITE_INTEGER:
        sqlite3_result_int64(context, sqlite3_value_int64(arguments[0]));
        break;
    case SQLITE_FLOAT:
        sqlite3_result_double(context, sqlite3_value_double(arguments[0]));
        break;
    default:
        sqlite3_result_null(context);
    }
}

// True when nothing but blanks and semicolons follows the first statement.
bool OnlyOneStatement(const char* tail) {
    for (; tail && *tail; ++tail) {
        if (!std::isspace(static_cast<unsigned char>(*tail)) && *tail != ';')
            return false;
    }
    return true;
}

}  // namespace

// ---- SqlCursor ----

void SqlCursor::StatementDeleter::operator()(sqlite3_stmt* s) const noexcept {
    sqlite3_finalize(s);
}

SqlCursor::SqlCursor(std::unique_ptr<sqlite3_stmt, StatementDeleter> stmt, std::weak_ptr<SqlStatus> status, bool atEnd)
    : stmt_(std::move(stmt)), status_(std::move(status)), atEnd_(atEnd),
      columns_(stmt_ ? sqlite3_column_count(stmt_.get()) : 0) {
    // A finished query must not keep its read transaction: the browser needs the file to write.
    if (atEnd_ && stmt_)
        sqlite3_reset(stmt_.get());
}

SqlCursor::~SqlCursor() = default;

bool SqlCursor::AtEnd() const {
    return atEnd_;
}

void SqlCursor::MoveNext() {
    if (atEnd_ || !stmt_)
        return;
    const int rc = sqlite3_step(stmt_.get());
    if (rc == SQLITE_ROW)
        return;
    // No reset needed: a step that ends a scan under way (done, or an error) has already ended its statement.
    atEnd_ = true;
    if (auto status = status_.lock())
        Record(*status, sqlite3_db_handle(stmt_.get()), rc);
}

bool SqlCursor::Restart(long long value) {
    if (!stmt_)
        return false;
    sqlite3_reset(stmt_.get());
    int rc = sqlite3_bind_int64(stmt_.get(), 1, value);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(stmt_.get());
    atEnd_ = rc != SQLITE_ROW;
    if (auto status = status_.lock())
        Record(*status, sqlite3_db_handle(stmt_.get()), rc);
    if (atEnd_)
        sqlite3_reset(stmt_.get());
    return IsSuccess(rc);
}

int SqlCursor::ColumnCount() const {
    return columns_;
}

std::string SqlCursor::Column(int oneBasedIndex) const {
    return std::string(Text(oneBasedIndex));
}

int SqlCursor::At(int oneBasedIndex) const {
    return atEnd_ || !stmt_ || oneBasedIndex < 1 || oneBasedIndex > ColumnCount() ? -1 : oneBasedIndex - 1;
}

SqlType SqlCursor::Type(int oneBasedIndex) const {
    const int i = At(oneBasedIndex);
    switch (i < 0 ? SQLITE_NULL : sqlite3_column_type(stmt_.get(), i)) {
    case SQLITE_INTEGER: return SqlType::Integer;
    case SQLITE_FLOAT: return SqlType::Real;
    case SQLITE_TEXT: return SqlType::Text;
    case SQLITE_BLOB: return SqlType::Blob;
    default: return SqlType::Null;
    }
}

long long SqlCursor::Integer(int oneBasedIndex) const {
    const int i = At(oneBasedIndex);
    return i < 0 ? 0 : sqlite3_column_int64(stmt_.get(), i);
}

double SqlCursor::Real(int oneBasedIndex) const {
    const int i = At(oneBasedIndex);
    return i < 0 ? 0 : sqlite3_column_double(stmt_.get(), i);
}

std::string_view SqlCursor::Text(int oneBasedIndex) const {
    const int i = At(oneBasedIndex);
    const auto* text = i < 0 ? nullptr : sqlite3_column_text(stmt_.get(), i);   // NULL gives a null pointer
    if (!text)
        return {};
    return {reinterpret_cast<const char*>(text), static_cast<std::size_t>(sqlite3_column_bytes(stmt_.get(), i))};
}

std::string SqlCursor::Column(std::string_view name) const {
    const std::string wanted(name);
    const int count = ColumnCount();
    for (int i = 0; i < count; ++i) {
        const char* columnName = sqlite3_column_name(stmt_.get(), i);
        if (columnName && sqlite3_stricmp(columnName, wanted.c_str()) == 0)
            return Column(i + 1);
    }
    return {};
}

SqlCursor::Kind SqlCursor::ColumnKind(int oneBasedIndex) const {
    if (atEnd_ || !stmt_ || oneBasedIndex < 1 || oneBasedIndex > ColumnCount())
        return Kind::Null;
    switch (sqlite3_column_type(stmt_.get(), oneBasedIndex - 1)) {
    case SQLITE_INTEGER: return Kind::Integer;
    case SQLITE_FLOAT: return Kind::Real;
    case SQLITE_TEXT: return Kind::Text;
    case SQLITE_BLOB: return Kind::Blob;
    default: return Kind::Null;
    }
}

std::int64_t SqlCursor::ColumnInteger(int oneBasedIndex) const {
    return ColumnKind(oneBasedIndex) == Kind::Null ? 0 : sqlite3_column_int64(stmt_.get(), oneBasedIndex - 1);
}

double SqlCursor::ColumnReal(int oneBasedIndex) const {
    return ColumnKind(oneBasedIndex) == Kind::Null ? 0.0 : sqlite3_column_double(stmt_.get(), oneBasedIndex - 1);
}

// ---- SqlConnection ----

void SqlConnection::HandleDeleter::operator()(sqlite3* db) const noexcept {
    // close_v2 defers the close while a cursor still holds a statement, so a cursor outliving us stays valid.
    sqlite3_close_v2(db);
}

SqlConnection::SqlConnection(std::filesystem::path databaseFile)
    : file_(std::move(databaseFile)), busy_(std::make_unique<BusyState>()) {}

SqlConnection::~SqlConnection() = default;
SqlConnection::SqlConnection(SqlConnection&&) noexcept = default;
SqlConnection& SqlConnection::operator=(SqlConnection&&) noexcept = default;

bool SqlConnection::Connect() {
    Close();
    if (busy_->interrupted) {
        SetError(SQLITE_INTERRUPT, sqlite3_errstr(SQLITE_INTERRUPT));
        return false;
    }
    const std::string name = file_.string();
    // An empty name or ":memory:" would give a private database instead of the file.
    if (name.empty() || name == ":memory:") {
        SetError(SQLITE_CANTOPEN, sqlite3_errstr(SQLITE_CANTOPEN));
        return false;
    }

    sqlite3* raw = nullptr;
    // Read-write without create: a missing file is an error, never a new empty database. A connection is used by
    // one thread at a time (Interrupt excepted, which the engine allows from any thread), so the engine need not
    // lock it at every call: a refresh makes a few calls for each of hundreds of thousands of rows.
    const int rc = sqlite3_open_v2(name.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    std::unique_ptr<sqlite3, HandleDeleter> handle(raw);
    if (rc != SQLITE_OK) {
        SetError(rc, EngineMessage(handle.get(), rc));
        return false;
    }
    sqlite3_extended_result_codes(handle.get(), 1);
    sqlite3_busy_handler(handle.get(), WaitWhileBusy, busy_.get());
    sqlite3_create_function_v2(handle.get(), "as_number", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS,
                               nullptr, AsNumber, nullptr, nullptr, nullptr);

    // Opening reads nothing; reading the schema now makes a file that is not a database fail here.
    sqlite3_stmt* check = nullptr;
    int checkRc = sqlite3_prepare_v2(handle.get(), "SELECT count(*) FROM sqlite_master", -1, &check, nullptr);
    if (checkRc == SQLITE_OK)
        checkRc = sqlite3_step(check);
    const std::string message = EngineMessage(handle.get(), checkRc);
    sqlite3_finalize(check);
    if (!IsSuccess(checkRc)) {
        SetError(checkRc, message);
        return false;
    }

    {
        std::lock_guard<std::mutex> lock(busy_->handle);
        db_ = std::move(handle);
    }
    ClearError();
    return true;
}

bool SqlConnection::IsConnected() const {
    return db_ != nullptr;
}

bool SqlConnection::RequireOpen() {
    if (db_) {
        if (busy_->interrupted) {
            SetError(SQLITE_INTERRUPT, sqlite3_errstr(SQLITE_INTERRUPT));
            return false;
        }
        return true;
    }
    SetError(SQLITE_CANTOPEN, sqlite3_errstr(SQLITE_CANTOPEN));
    return false;
}

bool SqlConnection::Prepare(const std::string& sql, std::unique_ptr<sqlite3_stmt, SqlCursor::StatementDeleter>& stmt) {
    stmt.reset();
    if (!RequireOpen())
        return false;
    sqlite3_stmt* raw = nullptr;
    const char* tail = nullptr;
    const int rc = sqlite3_prepare_v2(db_.get(), sql.c_str(), static_cast<int>(sql.size()) + 1, &raw, &tail);
    stmt.reset(raw);
    if (!Check(rc))
        return false;
    // One statement per call: a second one smuggled into the text runs nowhere.
    if (!OnlyOneStatement(tail)) {
        stmt.reset();
        SetError(SQLITE_MISUSE, "more than one statement in one call");
        return false;
    }
    return true;
}

bool SqlConnection::Execute(const std::string& sql) {
    std::unique_ptr<sqlite3_stmt, SqlCursor::StatementDeleter> stmt;
    if (!Prepare(sql, stmt))
        return false;
    if (!stmt)   // blank text or a comment: nothing to run (Prepare has cleared the error)
        return true;
    int step;
    while ((step = sqlite3_step(stmt.get())) == SQLITE_ROW) {
    }
    return Check(step);
}

std::unique_ptr<SqlCursor> SqlConnection::Select(const std::string& sql) {
    std::unique_ptr<sqlite3_stmt, SqlCursor::StatementDeleter> stmt;
    if (!Prepare(sql, stmt))
        return nullptr;
    if (!stmt) {
        SetError(SQLITE_MISUSE, "no statement to run");
        return nullptr;
    }
    const int step = sqlite3_step(stmt.get());
    if (!Check(step))
        return nullptr;
    return std::unique_ptr<SqlCursor>(new SqlCursor(std::move(stmt), status_, step != SQLITE_ROW));
}

bool SqlConnection::Error() const {
    return status_ && status_->code != 0;
}

const std::string& SqlConnection::ErrorMessage() const {
    static const std::string none;
    return status_ ? status_->message : none;
}

int SqlConnection::ErrorCode() const {
    return status_ ? status_->code : 0;
}

bool SqlConnection::IsBusy() const {
    const int primary = ErrorCode() & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

bool SqlConnection::Commit() {
    if (!db_ || sqlite3_get_autocommit(db_.get())) {
        ClearError();   // nothing pending: statements outside a transaction are already in the file
        return true;
    }
    return Execute("COMMIT");
}

void SqlConnection::Close() {
    std::unique_ptr<sqlite3, HandleDeleter> closing;
    {
        std::lock_guard<std::mutex> lock(busy_->handle);
        closing = std::move(db_);
    }
}

void SqlConnection::Interrupt() {
    busy_->interrupted = true;
    std::lock_guard<std::mutex> lock(busy_->handle);
    if (db_)
        sqlite3_interrupt(db_.get());
}

const std::filesystem::path& SqlConnection::DatabaseFile() const {
    return file_;
}

void SqlConnection::SetBusyTimeout(std::chrono::milliseconds timeout) {
    busyTimeoutMs = std::clamp<long long>(timeout.count(), 0, std::numeric_limits<int>::max());
}

std::chrono::milliseconds SqlConnection::BusyTimeout() {
    return std::chrono::milliseconds(busyTimeoutMs.load());
}

bool SqlConnection::ChangeStamp::operator==(const ChangeStamp& o) const {
    return device == o.device && inode == o.inode && size == o.size && modifiedNs == o.modifiedNs &&
           changeCounter == o.changeCounter && writeAheadLog == o.writeAheadLog;
}

std::optional<SqlConnection::ChangeStamp> SqlConnection::Stamp() {
    if (!db_ || sqlite3_get_autocommit(db_.get()))
        return std::nullopt;   // only a held read lock keeps a writer from committing between reading and using it
    // Read through the engine's own handle: opening and closing another descriptor on the file would drop the
    // engine's POSIX locks on it.
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(db_.get(), "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
        !file->pMethods)
        return std::nullopt;
    unsigned char header[100];
    sqlite3_int64 size = 0;
    if (file->pMethods->xRead(file, header, sizeof header, 0) != SQLITE_OK ||
        file->pMethods->xFileSize(file, &size) != SQLITE_OK)
        return std::nullopt;
    struct stat st {};
    if (::stat(file_.c_str(), &st) != 0)
        return std::nullopt;
    ChangeStamp stamp;
    stamp.device = static_cast<std::uint64_t>(st.st_dev);
    stamp.inode = static_cast<std::uint64_t>(st.st_ino);
    stamp.size = size;
    stamp.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.changeCounter = (std::uint32_t{header[24]} << 24) | (std::uint32_t{header[25]} << 16) |
                          (std::uint32_t{header[26]} << 8) | std::uint32_t{header[27]};
    stamp.writeAheadLog = header[18] == 2 || header[19] == 2;   // the file format's write and read versions
    return stamp;
}

sqlite3* SqlConnection::Handle() const {
    return db_.get();
}

bool SqlConnection::Check(int rc) {
    if (!status_)
        status_ = std::make_shared<SqlStatus>();
    Record(*status_, db_.get(), rc);
    return IsSuccess(rc);
}

void SqlConnection::SetError(int code, std::string message) {
    if (!status_)
        status_ = std::make_shared<SqlStatus>();
    status_->code = code;
    status_->message = std::move(message);
}

void SqlConnection::ClearError() {
    SetError(0, {});
}

std::string SqlRealText(double value) {
    char* text = sqlite3_mprintf("%!.15g", value);   // the engine's own format for a real column as text
    std::string result = text ? text : "";
    sqlite3_free(text);
    return result;
}

// ---- SqlReadTransaction ----

SqlReadTransaction::SqlReadTransaction(SqlConnection& db) : db_(db) {
    if (!db_.Handle() || !sqlite3_get_autocommit(db_.Handle()))
        return;
    own_ = ok_ = db_.Execute("BEGIN");
}

SqlReadTransaction::~SqlReadTransaction() {
    // A read changes nothing: ending it either way lets go of the lock; the last statement's outcome stays.
    if (own_ && db_.Handle() && !sqlite3_get_autocommit(db_.Handle()))
        sqlite3_exec(db_.Handle(), "COMMIT", nullptr, nullptr, nullptr);
}

// ---- SqlTransaction ----

SqlTransaction::SqlTransaction(SqlConnection& db) : db_(db) {
    began_ = db_.Execute("BEGIN IMMEDIATE");
}

SqlTransaction::~SqlTransaction() {
    if (!began_ || done_)
        return;
    sqlite3* handle = db_.Handle();
    // Some failures already rolled the transaction back; the failing statement's message stays as it is.
    if (handle && !sqlite3_get_autocommit(handle))
        sqlite3_exec(handle, "ROLLBACK", nullptr, nullptr, nullptr);
}

bool SqlTransaction::Began() const {
    return began_;
}

bool SqlTransaction::Commit() {
    if (!began_ || done_)
        return false;
    done_ = db_.Execute("COMMIT");
    return done_;
}

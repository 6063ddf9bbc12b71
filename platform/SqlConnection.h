#pragma once
// A thin connection to an SQLite database file, over SQLite's C API.
// Expected failures (a missing file, a busy database, a bad statement) come back as values:
// a false result plus Error()/ErrorMessage()/ErrorCode() describing the last statement.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

/// The error of the last statement, shared with the connection's cursors so that a cursor
/// outliving its connection (or a moved connection) never writes through a dangling pointer.
struct SqlStatus {
    std::string message;   ///< worded by the engine
    int code = 0;          ///< extended result code, 0 when the last statement succeeded
};

/// How the engine stores a value: its storage class.
enum class SqlType { Integer, Real, Text, Blob, Null };

/// Forward cursor over the rows of one query. Reading it to its end (or dropping it) releases the read lock.
class SqlCursor {
public:
    ~SqlCursor();
    SqlCursor(const SqlCursor&) = delete;
    SqlCursor& operator=(const SqlCursor&) = delete;

    bool AtEnd() const;                                ///< true once the last row has been passed (or there were none)
    void MoveNext();                                   ///< step to the next row
    /// Runs the query again from its start with value bound to its parameter ("?", unbound: NULL), so a row
    /// looked up by key many times is compiled once. False, with the connection's error set, when it fails.
    bool Restart(long long value);
    int ColumnCount() const;
    std::string Column(int oneBasedIndex) const;       ///< value as text; NULL gives empty text
    std::string Column(std::string_view name) const;   ///< by column name, ignoring letter case; unknown name gives empty text
    /// The value's storage class; Null outside the row or the columns.
    SqlType Type(int oneBasedIndex) const;
    long long Integer(int oneBasedIndex) const;        ///< as a 64-bit integer (text and reals converted by the engine)
    double Real(int oneBasedIndex) const;              ///< as a double, the same way
    /// The value as text without a copy (NULL gives empty text); valid until the cursor moves or goes.
    std::string_view Text(int oneBasedIndex) const;

    /// A column's value as the engine holds it, for callers that must compute as SQL would.
    enum class Kind { Null, Integer, Real, Text, Blob };
    Kind ColumnKind(int oneBasedIndex) const;          ///< Null outside the row
    std::int64_t ColumnInteger(int oneBasedIndex) const;
    double ColumnReal(int oneBasedIndex) const;

private:
    friend class SqlConnection;
    struct StatementDeleter { void operator()(sqlite3_stmt* s) const noexcept; };
    SqlCursor(std::unique_ptr<sqlite3_stmt, StatementDeleter> stmt, std::weak_ptr<SqlStatus> status, bool atEnd);
    int At(int oneBasedIndex) const;   ///< the engine's index of a value of the current row; -1 when there is none
    std::unique_ptr<sqlite3_stmt, StatementDeleter> stmt_;
    std::weak_ptr<SqlStatus> status_;   ///< where a failing step reports, while the connection lives
    bool atEnd_ = true;
    int columns_ = 0;
};

class SqlConnection {
public:
    /// Bound to a database file by full path; not connected until Connect().
    explicit SqlConnection(std::filesystem::path databaseFile = {});
    ~SqlConnection();
    SqlConnection(const SqlConnection&) = delete;
    SqlConnection& operator=(const SqlConnection&) = delete;
    SqlConnection(SqlConnection&&) noexcept;
    SqlConnection& operator=(SqlConnection&&) noexcept;

    /// Opens the existing file read-write; never creates one, and fails for a file that is not a database
    /// (the schema is read here, so a lock held past the busy timeout also fails, as busy).
    /// Its statements may call as_number(x): x when it is an integer or a real, the number a text holds when
    /// the engine would read it as one (as a numeric column stores it: "141617700", " 1.5e8 "), else NULL.
    /// Browsers stored dates in each of these forms; nothing is defined in the file itself.
    bool Connect();
    bool IsConnected() const;

    /// Runs one statement, discarding any rows. Outside a transaction it commits on its own.
    /// Text holding a second statement runs nothing and fails.
    bool Execute(const std::string& sql);
    /// Runs a query; null (with the error set) when the statement cannot be prepared or its first step fails.
    std::unique_ptr<SqlCursor> Select(const std::string& sql);

    bool Error() const;                      ///< the last statement failed
    const std::string& ErrorMessage() const; ///< worded by the engine
    int ErrorCode() const;                   ///< extended result code of the last failure, 0 when none
    bool IsBusy() const;                     ///< the last failure was a busy or locked database

    /// Commits an open transaction; with nothing pending it does nothing and succeeds.
    bool Commit();
    void Close();
    /// Stops the statement running now (on another thread) and every later one: they fail as interrupted,
    /// and so does a busy wait. Safe to call from any thread while the connection object exists and
    /// its owner does not close it at the same moment.
    void Interrupt();
    const std::filesystem::path& DatabaseFile() const;   ///< the file behind the connection (empty when unbound)

    /// How long a statement waits for another process's lock before failing as busy (about 5 s;
    /// every connection follows a change at once).
    static void SetBusyTimeout(std::chrono::milliseconds timeout);
    static std::chrono::milliseconds BusyTimeout();

    /// What says whether the file changed since it was last read, taken while a read transaction holds the
    /// file: its identity on the disk, its size and the header's change counter, which every commit in
    /// rollback-journal mode increments. Nothing when it cannot be read.
    struct ChangeStamp {
        std::uint64_t device = 0, inode = 0;
        std::int64_t size = 0, modifiedNs = 0;
        std::uint32_t changeCounter = 0;
        bool writeAheadLog = false;   ///< WAL mode: commits do not show in the counter
        bool operator==(const ChangeStamp& o) const;
    };
    std::optional<ChangeStamp> Stamp();

    sqlite3* Handle() const;   ///< for the transaction guard and tests

    /// What the busy handler keeps between its calls; on the heap, so a moved connection keeps its handler.
    struct BusyState {
        std::atomic<bool> interrupted{false};
        std::chrono::steady_clock::time_point since;
        std::mutex handle;   ///< held while the handle is set or dropped, and while Interrupt reaches it
    };

private:
    friend class SqlCursor;
    friend class SqlTransaction;
    bool Check(int rc);   ///< turns a return code into the error flag, message and extended code
    void SetError(int code, std::string message);
    void ClearError();
    bool RequireOpen();   ///< sets the "unable to open" error when there is no handle; applies the busy timeout
    /// Compiles exactly one statement (null for blank text); false, with the error set, otherwise.
    bool Prepare(const std::string& sql, std::unique_ptr<sqlite3_stmt, SqlCursor::StatementDeleter>& stmt);

    struct HandleDeleter { void operator()(sqlite3* db) const noexcept; };
    std::filesystem::path file_;
    std::unique_ptr<sqlite3, HandleDeleter> db_;
    std::shared_ptr<SqlStatus> status_ = std::make_shared<SqlStatus>();
    std::unique_ptr<BusyState> busy_;
};

/// The text SQLite gives a real number (as a query's column would show it).
std::string SqlRealText(double value);

/// One consistent read: BEGIN (deferred) now, ended in the destructor, so every query in between sees the same
/// database and the lock is let go as soon as the reading is done. Inside a transaction already, it does nothing.
class SqlReadTransaction {
public:
    explicit SqlReadTransaction(SqlConnection& db);
    ~SqlReadTransaction();
    SqlReadTransaction(const SqlReadTransaction&) = delete;
    SqlReadTransaction& operator=(const SqlReadTransaction&) = delete;
    bool Began() const { return ok_; }   ///< false (with the connection's error set) when BEGIN failed

private:
    SqlConnection& db_;
    bool own_ = false;
    bool ok_ = true;
};

/// Rolls back in its destructor unless Commit() ran; never throws.
class SqlTransaction {
public:
    /// BEGIN IMMEDIATE: takes the write lock at the start, so a busy database fails here and not halfway.
    explicit SqlTransaction(SqlConnection& db);
    ~SqlTransaction();
    SqlTransaction(const SqlTransaction&) = delete;
    SqlTransaction& operator=(const SqlTransaction&) = delete;

    bool Began() const;
    bool Commit();

private:
    SqlConnection& db_;
    bool began_ = false;
    bool done_ = false;
};

#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <stdexcept>

struct sqlite3;
struct sqlite3_stmt;

// The one failure type of the story store: every failure of the file, the
// connection, a statement or a read. what() is the description in UTF-8; for
// a failure of the engine it is the engine's own text (sqlite3_errmsg).
class StoreError : public std::runtime_error
{
public:
    explicit StoreError(const QString& description);

    QString description() const { return QString::fromUtf8(what()); }
};

// A thin RAII layer over the SQLite C API. Every engine call is checked and
// every failure becomes a StoreError carrying the engine's text.
namespace sqlite {

// Called with the text of each statement as the engine starts to run it.
using StatementObserver = std::function<void(const QString&)>;

class Connection
{
public:
    Connection() = default;
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens an existing database file for reading and writing. Never creates a
    // file; a file the process may not write is opened read-only by the engine
    // and its writes fail. The path is taken as a plain file name, never as a
    // URI.
    void open(const QString& path);
    // Safe when nothing is open.
    void close() noexcept;
    bool isOpen() const { return db_ != nullptr; }

    // How long a statement waits for another connection's lock before it fails
    // with "database is locked". Applies now and to later opens.
    void setBusyTimeout(int milliseconds);
    void setStatementObserver(StatementObserver observer);

    // Runs one statement to its end. Throws when the connection is closed or the
    // engine fails; the connection stays usable either way.
    void execute(const QString& sql);

    sqlite3* handle() const { return db_; }

private:
    void installTrace();

    sqlite3* db_ = nullptr;
    int busyTimeout_ = 5000;
    StatementObserver observer_;
};

// One prepared statement, read forward only. Text after the first statement
// is refused before anything runs: a statement text is never a script.
class Statement
{
public:
    Statement(const Connection& connection, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // True on a new row, false past the last one.
    bool step();

    int columnCount() const;
    // Fields of the current row by position; a position the row does not have
    // throws.
    qint64 integer(int column) const;
    bool isNull(int column) const;
    // Numbers in their text form; nullopt for a null field.
    std::optional<QString> text(int column) const;

private:
    friend class StaticResult;
    void checkColumn(int column) const;
    [[noreturn]] void fail() const;

    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

// One query read as a static, read-only result: an exact record count and a
// move forward from the first row. Two cursors of the statement share one read
// transaction: one stays on the first row while the other counts every row,
// so the count and the rows agree whatever other connections write meanwhile,
// and no row is copied. The file keeps a shared lock while the result lives.
class StaticResult
{
public:
    StaticResult(const Connection& connection, const QString& sql);

    qint64 recordCount() const { return count_; }
    // Moves that many rows forward; a move past the last row throws.
    void move(qint64 rows);

    // A field of the current row by position.
    std::optional<QString> text(int column) const;

private:
    const Statement& current() const;

    Statement cursor_;
    qint64 count_ = 0;
    qint64 position_ = 0;
};

} // namespace sqlite
